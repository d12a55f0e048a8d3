#include "mrvemail/emailconfig.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "common/clock.h"
#include "common/constants.h"
#include "common/ini.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/text.h"
#include "common/textfile.h"

namespace {

const QString kDefaultDateFormat = QStringLiteral("dd mmm yyyy");

bool IsFile(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

QString ProgramName(const QString& ProgramPath) { return QFileInfo(ProgramPath).completeBaseName(); }

}  // namespace

QString EmailCommandLine(const QStringList& Args) {
    if (qEnvironmentVariableIsSet("MRV_CMDLINE")) {
        bool ok = false;
        const qint64 pid = qEnvironmentVariable("MRV_CMDLINE_PID").trimmed().toLongLong(&ok);
        if (ok && pid == QCoreApplication::applicationPid()) return qEnvironmentVariable("MRV_CMDLINE");
    }
    return Args.join(QLatin1Char(' '));
}

QString FindEmailIni(const QString& CommandLine, const QString& ProgramPath) {
    QString fromCommand = CommandLine.trimmed();
    // A path with blanks often arrives quoted as a whole.
    if (fromCommand.size() >= 2 && fromCommand.startsWith(QLatin1Char('"')) && fromCommand.endsWith(QLatin1Char('"')))
        fromCommand = fromCommand.mid(1, fromCommand.size() - 2);
    const QFileInfo program(ProgramPath);
    const QStringList places = {
        fromCommand,
        JoinPath(program.absolutePath(), ProgramName(ProgramPath) + QStringLiteral(".ini")),
        GetSetting(gAppName, gRegSection, QStringLiteral("MRVEmailIni")),
    };
    for (const QString& p : places)
        if (IsFile(p)) return p;
    return QString();
}

QString EmailIniSearchQuestion(const QString& ProgramPath) {
    const QFileInfo program(ProgramPath);
    return QStringLiteral("MRVEmail cannot find the path/name of an Ini file in any of the following locations:") +
           QStringLiteral("\n\n") + QStringLiteral("         in the command line as a single command line parameter") +
           QStringLiteral("\n") + QStringLiteral("         in the same directory as the current program ") +
           QStringLiteral("(") + JoinPath(program.absolutePath(), ProgramName(ProgramPath)) + QStringLiteral(".ini)") +
           QStringLiteral("\n") + QStringLiteral("         in the Morvenda part of the registry (set up by MRVGenie)") +
           QStringLiteral("\n\n") + QStringLiteral("Do you want to search for the file?");
}

QString LocateEmailIni(const QString& CommandLine, const QString& ProgramPath,
                       const std::function<QString(const QString& folder)>& ChooseFile) {
    const QString found = FindEmailIni(CommandLine, ProgramPath);
    if (!found.isEmpty()) return found;
    const QString question = EmailIniSearchQuestion(ProgramPath);
    const QString folder = QFileInfo(ProgramPath).absolutePath();
    for (;;) {
        if (MsgBox(question, MsgButtons::YesNo, MsgIcon::Question, ProgramName(ProgramPath)) != MsgAnswer::Yes)
            return QString();
        const QString chosen = ChooseFile(folder);
        if (!chosen.isEmpty()) return chosen;
    }
}

int ClampKickInterval(const QString& Text) {
    const qint64 v = Val(Text);
    if (v == 0 || v > 60) return 60;
    if (v < 5) return 5;
    return static_cast<int>(v);
}

QString CheckedDateFormat(const QString& Text) {
    if (Text.trimmed().isEmpty()) return kDefaultDateFormat;
    return ParseDate(FormatDate(Now(), Text)) ? Text : kDefaultDateFormat;
}

std::optional<QString> LoadEmailConfig(const QString& IniFile, EmailConfig* config) {
    const IniDocument doc = IniDocument::load(IniFile);
    auto get = [&](const char* key) { return doc.value(gEmailSection, QString::fromLatin1(key)).value_or(QString()); };

    QString path = get("EmailPath");
    if (path.isEmpty())
        return QStringLiteral("No email file directory (\"EmailPath\") specified in \"%1\"").arg(IniFile);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    if (!QFileInfo(path).isDir())
        return QStringLiteral("The \"EmailPath\" specified in \"%1\" is not a valid drive/directory.").arg(IniFile);
    // A message file may attach and delete any file this program can reach,
    // so whoever can write into the folder commands the program: other users
    // must not be able to. The sticky bit is no help, since it still lets
    // them add files.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IWOTH))
        return QStringLiteral(
                   "The \"EmailPath\" folder \"%1\" specified in \"%2\" can be written by every user of this "
                   "computer, so any of them could make MRVEmail mail out or delete its files. Remove that "
                   "permission (chmod o-w \"%1\") and start MRVEmail again.")
            .arg(path, IniFile);

    EmailConfig c;
    c.iniFile = IniFile;
    c.emailPath = path;
    c.kickInterval = ClampKickInterval(get("KickInterval"));
    const qint64 keep = Val(get("DeleteAfter"));
    c.deleteAfter = keep > 0 ? static_cast<int>(qMin<qint64>(keep, 1000000)) : 0;
    c.dateFormat = CheckedDateFormat(get("DateFormat"));
    c.profileName = get("ProfileName");
    const QString left = get("Left");
    if (!left.isEmpty()) {
        c.left = static_cast<int>(Val(left));
        c.top = static_cast<int>(Val(get("Top")));
    }
    *config = c;
    return std::nullopt;
}

QString DefaultSender() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        if (const passwd* pw = getpwuid(getuid())) user = QString::fromLocal8Bit(pw->pw_name);
    }
    if (user.isEmpty()) user = QStringLiteral("morvenda");
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty()) host = QStringLiteral("localhost");
    return user + QLatin1Char('@') + host;
}

std::optional<SmtpSettings> ReadSmtpSettings(const QString& IniFile, const QString& ProfileName, QString* error) {
    const IniDocument doc = IniDocument::load(IniFile);
    const QString profile = ProfileName.trimmed();
    if (!profile.isEmpty() && doc.entries(profile).isEmpty()) {
        if (error)
            *error = QStringLiteral("The mail profile \"%1\" has no section [%1] in \"%2\"").arg(profile, IniFile);
        return std::nullopt;
    }
    auto get = [&](const char* key) {
        const QString k = QString::fromLatin1(key);
        if (!profile.isEmpty()) {
            const QString v = doc.value(profile, k).value_or(QString());
            if (!v.isEmpty()) return v;
        }
        return doc.value(gEmailSection, k).value_or(QString());
    };

    SmtpSettings s;
    const QString tls = get("SmtpTls").toLower();
    if (tls.isEmpty() || tls == QStringLiteral("none")) {
        s.tls = SmtpTls::None;
    } else if (tls == QStringLiteral("starttls")) {
        s.tls = SmtpTls::StartTls;
    } else if (tls == QStringLiteral("ssl")) {
        s.tls = SmtpTls::Ssl;
    } else {
        if (error)
            *error =
                QStringLiteral("SmtpTls \"%1\" in \"%2\" is not none, starttls or ssl").arg(get("SmtpTls"), IniFile);
        return std::nullopt;
    }
    const QString port = get("SmtpPort");
    if (port.isEmpty()) {
        s.port = s.tls == SmtpTls::Ssl ? 465 : 25;
    } else {
        bool ok = false;
        s.port = port.toInt(&ok);
        if (!ok || s.port < 1 || s.port > 65535) {
            if (error) *error = QStringLiteral("SmtpPort \"%1\" in \"%2\" is not a port number").arg(port, IniFile);
            return std::nullopt;
        }
    }
    s.server = get("SmtpServer");
    if (s.server.isEmpty()) s.server = QStringLiteral("localhost");
    s.from = get("SmtpFrom");
    if (s.from.isEmpty()) s.from = DefaultSender();
    s.user = get("SmtpUser");
    s.password = get("SmtpPassword");
    return s;
}

int DeleteOldSentFiles(const QString& EmailPath, int DeleteAfter, const DateVal& Today) {
    if (DeleteAfter <= 0) return 0;
    int deleted = 0;
    const QFileInfoList files =
        QDir(EmailPath).entryInfoList({QStringLiteral("*.don")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& f : files) {
        const qint64 age = Today.dayNumber() - DateVal::fromQDateTime(f.lastModified()).dayNumber();
        if (age >= DeleteAfter && QFile::remove(f.absoluteFilePath())) ++deleted;
    }
    return deleted;
}

bool SaveWindowPosition(const QString& IniFile, int LeftTwips, int TopTwips) {
    IniDocument doc;
    if (!IniDocument::loadForUpdate(IniFile, &doc)) return false;
    doc.setValue(gEmailSection, QStringLiteral("Left"), QString::number(LeftTwips));
    doc.setValue(gEmailSection, QStringLiteral("Top"), QString::number(TopTwips));
    return doc.save(IniFile);
}
