#include "mrvgenie/generate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "common/clock.h"
#include "common/constants.h"
#include "common/ini.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/text.h"
#include "common/textfile.h"
#include "mrvemail/emailconfig.h"

namespace {

const QChar kQuote = QLatin1Char('"');

QString Quoted(const QString& s) { return kQuote + s + kQuote; }

// Creates one folder, or says it is there already; a failure is logged with
// the system's error and the generation goes on.
void MakeDirectory(const QString& path, GenieLog& log) {
    if (QFileInfo(path).isDir()) {
        log.Log(QStringLiteral("Folder ") + path + QStringLiteral(" already exists."));
        return;
    }
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0777) != 0) {
        const int err = errno;
        log.Log(QStringLiteral("Failed to create folder ") + path + QStringLiteral("."));
        log.Log(
            QStringLiteral("Error No: %1, Description: %2").arg(err).arg(QString::fromLocal8Bit(std::strerror(err))));
        return;
    }
    // No folder of an installation may be written by every user: the
    // e-mailer refuses such a messages folder, and a job's files are nobody
    // else's business.
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && (st.st_mode & S_IWOTH))
        ::chmod(native.constData(), st.st_mode & 07777 & ~S_IWOTH);
    log.Log(QStringLiteral("Folder ") + path + QStringLiteral(" created."));
}

// Lines added to a text file that may exist: the old text and the new lines
// are written together as a new file, so nothing of the old text is lost on
// a failure.
bool AppendLines(const QString& path, const QStringList& lines, QString* error) {
    QString old;
    if (QFileInfo::exists(path) && !ReadTextFile(path, &old, error)) return false;
    QByteArray bytes = old.toUtf8();
    if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += "\r\n";
    bytes += EncodeLines(lines);
    return WriteFileAtomic(path, bytes, error);
}

// A failure: logged, kept for the closing message.
void Fail(GenerateResult& r, GenieLog& log, const QString& text) {
    log.Log(text);
    r.Failures.append(text);
}

}  // namespace

GenieLog::GenieLog(QString Path, std::function<void(const QString&)> ListLine)
    : path_(std::move(Path)), listLine_(std::move(ListLine)) {}

void GenieLog::Log(const QString& Text) {
    // Opened, written and closed for every line, so the log up to a crash is
    // on disk; a line that does not fit is taken off whole.
    QString why;
    if (!AppendLine(path_, FormatDate(Now(), QStringLiteral("dd mmm yyyy hh:nn:ss")) + QLatin1Char(' ') + Text, &why) &&
        !failed_) {
        failed_ = true;
        error_ = RightOf(why, QStringLiteral("\": "));
    }
    if (listLine_) listLine_(Text);
}

GeniePaths::GeniePaths(const QString& base, const QString& name)
    : Base(base),
      SchedFolder(JoinPath(base, name)),
      IniFile(JoinPath(SchedFolder, name + QStringLiteral(".ini"))),
      SchedFile(JoinPath(SchedFolder, name + QStringLiteral(".sch"))),
      PubHolsFile(JoinPath(base, QStringLiteral("PubHols.phf"))),
      EmailFolder(JoinPath(base, QStringLiteral("@Email"))),
      EmailIni(JoinPath(EmailFolder, QStringLiteral("MRVEmail.Ini"))),
      MessagesPath(JoinPath(EmailFolder, QStringLiteral("Messages"))),
      ReadMeFile(JoinPath(base, QStringLiteral("ReadMe.txt"))) {}

QList<QPair<QString, QString>> ScheduleIniKeys(const GenieAnswers& A, const QString& ProgramFolder) {
    const GeniePaths p(A.Base, A.Name);
    auto in = [](const QString& folder, const char* name) { return JoinPath(folder, QString::fromUtf8(name)); };
    return {
        {QStringLiteral("ScheduleName"), A.Name},
        {QStringLiteral("ScheduleFile"), p.SchedFile},
        {QStringLiteral("LogFile"), in(p.SchedFolder, "Log/yyyymmdd.log")},
        {QStringLiteral("TriggerPath"), in(A.Base, "@Trigger")},
        {QStringLiteral("TrackerPath"), in(p.SchedFolder, "Tracker")},
        {QStringLiteral("DummyProg"), in(ProgramFolder, "MRVDummy")},
        {QStringLiteral("DummyModel"), gDefaultDummyModel},
        {QStringLiteral("DayStart"), QStringLiteral("00:00")},
        {QStringLiteral("WorkDays"), A.WorkDays},
        {QStringLiteral("TimerSecs"), QStringLiteral("60")},
        {QStringLiteral("LoopCheck"), QStringLiteral("Y")},
        {QStringLiteral("ShowFailedJobsWarning"), QStringLiteral("Y")},
        {QStringLiteral("EmailAddrPath"), in(p.EmailFolder, "Addresses")},
        {QStringLiteral("EmailPath"), p.MessagesPath},
        {QStringLiteral("EmailAttPath"), in(p.EmailFolder, "Attachments")},
        {QStringLiteral("JobDocPath"), in(p.SchedFolder, "JobDoc")},
        {QStringLiteral("CPULimit"), QStringLiteral("999")},
        {QStringLiteral("RunTimeErrorText"), QStringLiteral("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR")},
        {QStringLiteral("PubHols"), p.PubHolsFile},
        {QStringLiteral("MinJobLaunch"), QStringLiteral("10")},
        {QStringLiteral("EmailAddressModel"), QStringLiteral("Address")},
        {QStringLiteral("xEmailAddressModel"), QStringLiteral("Name")},
        {QStringLiteral("yEmailAddressModel"), QStringLiteral("Address,Name")},
        {QStringLiteral("zEmailAddressModel"), QStringLiteral("Name,Address")},
        {QStringLiteral("DateDisplayFormat"), QString::number(A.DateOrder)},
        {QStringLiteral("HelpPath"), HelpFolderOf(ProgramFolder)},
    };
}

namespace {

// The schedule's configuration file; an existing one is kept under a
// numbered name.
bool WriteScheduleIni(const GenieAnswers& A, const QString& ProgramFolder, const GeniePaths& p, GenerateResult& r,
                      GenieLog& Log, QString& error) {
    // An existing configuration file is never overwritten: it keeps its
    // content under the first free numbered name. It gets that name as a
    // second link first, so that a new file that cannot be written leaves
    // the old one where it was.
    QString backup;
    bool linked = false;
    if (QFileInfo::exists(p.IniFile)) {
        QString ext;
        for (int n = 0; n < 1000 && backup.isEmpty(); ++n) {
            ext = QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
            const QString candidate = JoinPath(p.SchedFolder, A.Name + QLatin1Char('.') + ext);
            if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink()) backup = candidate;
        }
        const QByteArray from = QFile::encodeName(p.IniFile);
        const QByteArray to = QFile::encodeName(backup);
        linked = !backup.isEmpty() && ::link(from.constData(), to.constData()) == 0;
        if (!linked && (backup.isEmpty() || ::rename(from.constData(), to.constData()) != 0)) {
            const QString why = backup.isEmpty() ? QStringLiteral("no free name .000 to .999 is left")
                                                 : QString::fromLocal8Bit(std::strerror(errno));
            Fail(r, Log,
                 QStringLiteral("Failed to rename the existing Ini File ") + Quoted(p.IniFile) + QStringLiteral(" (") +
                     why + QStringLiteral("); it has been left as it is."));
            return false;
        }
        r.BackupExt = ext;
        r.Written << backup;
    }
    IniDocument ini;
    for (const auto& [key, value] : ScheduleIniKeys(A, ProgramFolder)) ini.setValue(gAppName, key, value);
    if (!ini.save(p.IniFile, &error)) {
        Fail(r, Log, QStringLiteral("Failed to create the Ini File: ") + error);
        // The old file stays as it was, under its own name.
        if (!backup.isEmpty()) {
            if (linked)
                QFile::remove(backup);
            else
                QFile::rename(backup, p.IniFile);
            r.Written.removeAll(backup);
            r.BackupExt.clear();
        }
        return false;
    }
    r.Written << p.IniFile;
    Log.Log(A.Name + QStringLiteral(" Ini File created as ") + Quoted(p.IniFile));
    return true;
}

bool WriteScheduleFile(const GeniePaths& p, GenerateResult& r, GenieLog& Log, QString& error) {
    // An empty schedule, so the scheduler starts on the new file without
    // asking to create one; an existing schedule is kept.
    if (!QFileInfo::exists(p.SchedFile)) {
        if (!WriteFileAtomic(p.SchedFile, QByteArray(), &error)) {
            Fail(r, Log, QStringLiteral("Failed to create the Schedule File: ") + error);
            return false;
        }
        r.Written << p.SchedFile;
        Log.Log(QStringLiteral("Schedule File created as ") + Quoted(p.SchedFile));
    } else {
        Log.Log(QStringLiteral("Existing Schedule File retained"));
    }
    return true;
}

bool WritePubHolsFile(const GeniePaths& p, GenerateResult& r, GenieLog& Log, QString& error) {
    // The seed holds New Year's Day of the next two years, so the
    // scheduler has at least a year before it asks for a new holidays
    // file.
    if (!QFileInfo::exists(p.PubHolsFile)) {
        const int year = FormatDate(Now(), QStringLiteral("yyyy")).toInt();
        const QStringList lines = {
            QStringLiteral(";Public Holidays File"),
            QStringLiteral("01 jan %1, New Year's Day").arg(year + 1),
            QStringLiteral("01 jan %1, New Year's Day").arg(year + 2),
        };
        if (!WriteFileAtomic(p.PubHolsFile, EncodeLines(lines), &error)) {
            Fail(r, Log, QStringLiteral("Failed to create the Public Holidays File: ") + error);
            return false;
        }
        r.Written << p.PubHolsFile;
        Log.Log(QStringLiteral("Public Holidays File created as ") + Quoted(p.PubHolsFile));
    } else {
        r.PubHolsKept = true;
        Log.Log(QStringLiteral("Existing Public Holidays File retained"));
    }
    return true;
}

bool WriteEmailIni(const GenieAnswers& A, const GeniePaths& p, GenerateResult& r, GenieLog& Log, QString& error) {
    if (!QFileInfo::exists(p.EmailIni)) {
        IniDocument ini;
        const QList<QPair<QString, QString>> keys = {
            {QStringLiteral("EmailPath"), p.MessagesPath},
            {QStringLiteral("KickInterval"), QStringLiteral("60")},
            {QStringLiteral("DeleteAfter"), QStringLiteral("3")},
            {QStringLiteral("DateFormat"), A.EmailDateFormat},
            {QStringLiteral("ProfileName"), QString()},
            {QStringLiteral("SmtpServer"), QStringLiteral("localhost")},
            {QStringLiteral("SmtpPort"), QStringLiteral("25")},
            {QStringLiteral("SmtpTls"), QStringLiteral("none")},
            {QStringLiteral("SmtpFrom"), QString()},
            {QStringLiteral("SmtpUser"), QString()},
            {QStringLiteral("SmtpPassword"), QString()},
        };
        for (const auto& [key, value] : keys) ini.setValue(gEmailSection, key, value);
        if (!ini.save(p.EmailIni, &error)) {
            Fail(r, Log, QStringLiteral("Failed to create the MRVEmail Ini file: ") + error);
            return false;
        }
        // It will hold the mail server's password.
        QFile::setPermissions(p.EmailIni, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        r.Written << p.EmailIni;
        Log.Log(QStringLiteral("MRVEmail Ini file created as ") + p.EmailIni);
    } else {
        r.EmailIniKept = true;
        Log.Log(QStringLiteral("Existing MRVEmail Ini File at ") + p.EmailIni + QStringLiteral(" has been retained."));
    }
    return true;
}

bool WriteReadMe(const GeniePaths& p, GenerateResult& r, GenieLog& Log, QString& error) {
    const DateVal now = Now();
    QStringList readMe = {
        QStringLiteral("Morvenda Genie run on ") + FormatDate(now, QStringLiteral("dd mmm yyyy")) +
            QStringLiteral(" at ") + FormatDate(now, QStringLiteral("hh:nn:ss")),
        QString(),
        QStringLiteral("Directory Structure"),
        QString(),
        QStringLiteral(".   The Morvenda root directory is ") + Quoted(p.Base) + QLatin1Char('.'),
        QString(),
        QStringLiteral(".   The names of subdirectories within ") + Quoted(p.Base) +
            QStringLiteral(" which hold data for Morvenda as a whole "),
        QStringLiteral("    are prefixed with \"@\"."),
        QString(),
        QStringLiteral(".   The names of subdirectories which hold data for individual schedules appear within ") +
            Quoted(p.Base),
        QStringLiteral("    with the specified schedule name.  This run of the Morvenda Genie has defined schedule ") +
            Quoted(p.SchedFolder) + QLatin1Char('.'),
        QString(),
        QStringLiteral(
            ".   The above naming convention is intended to separately group the two sets of subdirectories"),
        QStringLiteral("    to facilitate visual navigation during directory browsing."),
        QString(),
        QStringLiteral("Following this run, the current subdirectories are defined in ") + Quoted(p.Base) +
            QLatin1Char('.'),
        QString(),
    };
    // Plain folders only: no links, nothing hidden.
    for (const QFileInfo& f : QDir(p.Base).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                                         QDir::Name | QDir::IgnoreCase))
        if (!f.fileName().startsWith(QLatin1Char('.'))) readMe.append(QStringLiteral("        ") + f.fileName());
    readMe << QString() << QString() << QString();
    if (!AppendLines(p.ReadMeFile, readMe, &error)) {
        Fail(r, Log, QStringLiteral("Failed to write the ReadMe file: ") + error);
        return false;
    }
    r.Written << p.ReadMeFile;
    return true;
}

bool SaveSettings(const GeniePaths& p, GenerateResult& r, GenieLog& Log, QString& error) {
    // The settings name only files that are whole.
    r.CurrentSet = SaveSetting(gAppName, gRegSection, QStringLiteral("Current"), p.IniFile, &error);
    if (!r.CurrentSet) {
        Fail(r, Log, QStringLiteral("Failed to write the setting Current: ") + error);
        return false;
    }
    r.EmailIniSet = SaveSetting(gAppName, gRegSection, QStringLiteral("MRVEmailIni"), p.EmailIni, &error);
    if (!r.EmailIniSet) {
        Fail(r, Log, QStringLiteral("Failed to write the setting MRVEmailIni: ") + error);
        return false;
    }
    return true;
}

// The closing message of a generation that did not complete.
void ReportFailures(GenerateResult& r, GenieLog& Log, bool complete) {
    if (Log.Failed())
        r.Failures.append(QStringLiteral("The log could not be written to ") + Quoted(Log.Path()) +
                          QStringLiteral(": ") + Log.Error());
    if (!r.Failures.isEmpty()) {
        QString text = QStringLiteral("The Morvenda Genie could not complete the installation:\n\n") +
                       r.Failures.join(QLatin1Char('\n'));
        text += r.Written.isEmpty() ? QStringLiteral("\n\nNo file was written.")
                                    : QStringLiteral("\n\nFiles written:\n") + r.Written.join(QLatin1Char('\n'));
        if (!complete) {
            QStringList unset;
            if (!r.CurrentSet) unset << QStringLiteral("\"Current\"");
            if (!r.EmailIniSet) unset << QStringLiteral("\"MRVEmailIni\"");
            text += QStringLiteral("\n\nNot changed: the setting") +
                    (unset.size() > 1 ? QStringLiteral("s ") : QStringLiteral(" ")) +
                    unset.join(QStringLiteral(" and ")) + QLatin1Char('.');
        }
        // The log may be far from the program (the user's state folder).
        if (!Log.Failed()) text += QStringLiteral("\n\nThe log of this run: ") + Quoted(Log.Path());
        MsgBox(text, MsgButtons::Ok, MsgIcon::Critical);
    }
}

}  // namespace

GenerateResult DoGenerate(const GenieAnswers& A, const QString& ProgramFolder, GenieLog& Log) {
    GenerateResult r;
    const GeniePaths p(A.Base, A.Name);
    QString error;

    Log.Log(QStringLiteral("Morvenda Genie Configuration Log"));
    Log.Log(QString());

    // Without both, every path below would be a relative one: the files
    // would land in whatever folder the program was started from.
    if (A.Base.isEmpty() || A.Name.isEmpty()) {
        Fail(r, Log,
             A.Base.isEmpty() ? QStringLiteral("No base folder was chosen: nothing was created")
                              : QStringLiteral("No schedule name was given: nothing was created"));
        MsgBox(QStringLiteral("The Morvenda Genie could not complete the installation:\n\n") + r.Failures.first(),
               MsgButtons::Ok, MsgIcon::Critical);
        return r;
    }

    for (const QString& folder :
         {p.Base, JoinPath(p.Base, QStringLiteral("@Trigger")), p.EmailFolder,
          JoinPath(p.EmailFolder, QStringLiteral("Addresses")), p.MessagesPath,
          JoinPath(p.EmailFolder, QStringLiteral("Attachments")), p.SchedFolder,
          JoinPath(p.SchedFolder, QStringLiteral("Log")), JoinPath(p.SchedFolder, QStringLiteral("JobDoc")),
          JoinPath(p.SchedFolder, QStringLiteral("Tracker"))})
        MakeDirectory(folder, Log);

    // The files, in order; the first that cannot be written stops the
    // generation, so nothing after it (the settings last) names or relies on
    // a file that is not whole.
    const bool complete = [&] {
        if (!WriteScheduleIni(A, ProgramFolder, p, r, Log, error)) return false;
        if (!WriteScheduleFile(p, r, Log, error)) return false;
        if (!WritePubHolsFile(p, r, Log, error)) return false;
        if (!WriteEmailIni(A, p, r, Log, error)) return false;

        Log.Log(QStringLiteral("This log written to ") + Quoted(Log.Path()));

        if (!r.BackupExt.isEmpty())
            MsgBox(QStringLiteral("An existing ini file for this schedule in the specified location\n\n"
                                  "has been renamed with an extension of ") +
                       Quoted(r.BackupExt),
                   MsgButtons::Ok, MsgIcon::Information);
        if (r.PubHolsKept)
            MsgBox(QStringLiteral("An existing Public Holidays File at the specified location has been retained"),
                   MsgButtons::Ok, MsgIcon::Information);

        if (!WriteReadMe(p, r, Log, error)) return false;
        return SaveSettings(p, r, Log, error);
    }();

    ReportFailures(r, Log, complete);
    return r;
}
