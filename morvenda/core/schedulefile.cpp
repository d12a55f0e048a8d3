#include "morvenda/core/schedulefile.h"

#include "common/constants.h"
#include "common/datetime.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobindex.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/journal.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QChar kTab = QLatin1Char('\t');
const QChar kComma = QLatin1Char(',');
const QChar kQuote = QLatin1Char('"');
const QChar kBlank = QLatin1Char(' ');

// Dates are written in one English form that every reader parses again.
const QString kDateMask = QStringLiteral("dd mmm yyyy hh:mm:ss");

const QString kSaveRetry = QStringLiteral("Cannot rename or save schedule.  Retry or Cancel?");
const QString kSaveCancelled = QStringLiteral("Morvenda cancelled due to save error.");

// ---- writing ---------------------------------------------------------------

QString Flag(bool b) { return b ? QStringLiteral("-1") : QStringLiteral("0"); }

QString Num(qint64 n) { return QString::number(n); }

// "dd mmm yyyy hh:mm:ss" with English month names, built directly: the
// general date formatter would parse its mask again for every date of every
// job, which dominated the time of a save.
QString DateText(const DateVal& d) {
    const int y = d.year();
    if (y < 1000 || y > 9999)
        return FormatDate(d, kDateMask);
    static const std::array<QString, 12> months = [] {
        std::array<QString, 12> m;
        for (int k = 0; k < 12; ++k)
            m[static_cast<size_t>(k)] = MonthName(k + 1, true);
        return m;
    }();
    auto two = [](QChar* p, int v) {
        p[0] = QLatin1Char(static_cast<char>('0' + v / 10));
        p[1] = QLatin1Char(static_cast<char>('0' + v % 10));
    };
    const QString& mon = months[static_cast<size_t>(d.month() - 1)];
    QString out(17 + mon.size(), kBlank);
    QChar* p = out.data();
    two(p, d.day());
    std::copy(mon.cbegin(), mon.cend(), p + 3);
    p += 3 + mon.size() + 1;
    two(p, y / 100);
    two(p + 2, y % 100);
    two(p + 5, d.hour());
    p[7] = QLatin1Char(':');
    two(p + 8, d.minute());
    p[10] = QLatin1Char(':');
    two(p + 11, d.second());
    return out;
}

// The text without its leading and trailing blanks (only blanks: a TAB at
// either end is kept, inside quotes).
QStringView TrimBlanks(QStringView v) {
    while (!v.isEmpty() && v.front() == kBlank)
        v = v.mid(1);
    while (!v.isEmpty() && v.back() == kBlank)
        v.chop(1);
    return v;
}

QString Trimmed(const QString& s) { return TrimBlanks(s).toString(); }

// One item of a list field. An item holding a comma or a double quote is
// enclosed in quotes with its own quotes doubled, the form the list reader
// already understands, so such an item survives a save and a reload.
void AppendItem(QString& list, const QString& item) {
    if (item.contains(kComma) || item.contains(kQuote))
        list += kQuote + DoubleQuotes(item) + kQuote;
    else
        list += item;
    list += kComma;
}

template <size_t N>
QString ListField(const std::array<QString, N>& items, bool trim) {
    QString out;
    for (const QString& item : items)
        AppendItem(out, trim ? Trimmed(item) : item);
    return out;
}

QString RunAfterField(const QStringList& items) {
    QString out;
    for (const QString& item : items)
        AppendItem(out, Trimmed(item));
    return out;
}

QString DateVarsField(const std::array<QString, 7>& vars) {
    QString out;
    for (QString v : vars) {
        v.replace(kComma, gListComma);
        AppendItem(out, v);
    }
    return out;
}

// Appends one field of a line: CR and LF become blanks (they would split the
// line), then a field holding a comma, a quote or a TAB is quoted so that it
// cannot shift the columns. One scan decides both.
void AppendField(QString& line, const QString& field) {
    bool quote = false;
    bool lineEnds = false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u == u',' || u == u'"' || u == u'\t')
            quote = true;
        else if (u == u'\r' || u == u'\n')
            lineEnds = true;
    }
    QString cleaned;
    QStringView v = field;
    if (lineEnds) {
        cleaned = field;
        for (QChar& c : cleaned) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                c = kBlank;
        }
        v = cleaned;
    }
    v = TrimBlanks(v);
    if (!quote) {
        line += v;
        return;
    }
    line += kQuote;
    for (const QChar c : v) {
        if (c == kQuote)
            line += kQuote;
        line += c;
    }
    line += kQuote;
}

// ---- reading ---------------------------------------------------------------

// A fixed-width text as the record holds it: cut to its width, no padding.
QString Fixed(const QString& text, int width) {
    QString s = text.size() > width ? FixedText(text, width) : text;
    while (!s.isEmpty() && s.back() == kBlank)
        s.chop(1);
    return s;
}

template <typename T>
T NumAs(const QString& text) {
    const qint64 v = Val(text);
    return static_cast<T>(std::clamp<qint64>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

bool FlagOf(const QString& text) { return Val(text) != 0; }

// The items of a list field (split at "," honouring quotes): exactly N of
// them, missing ones empty. False when an item's quote is never closed.
template <size_t N>
bool ReadItems(const QString& field, std::array<QString, N>* items) {
    QStringList parts;
    if (SplitScheduleFields(field, kComma, &parts) != 0)
        return false;
    for (size_t k = 0; k < N; ++k)
        (*items)[k] = static_cast<qsizetype>(k) < parts.size() ? parts[static_cast<qsizetype>(k)] : QString();
    return true;
}

QString UnclosedQuote(int column) {
    return QStringLiteral("column %1: a quoted text has no closing quote").arg(column);
}

// ---- saving steps ----------------------------------------------------------

// Repeats Step until it succeeds or the operator cancels; Cancel runs Cleanup
// and ends the program. A reason the step gives is shown before the question.
void WithRetry(const std::function<bool(QString*)>& Step, const std::function<void()>& Cleanup) {
    QString why;
    while (!Step(&why)) {
        const QString text = why.isEmpty() ? kSaveRetry : why + QStringLiteral("\n\n") + kSaveRetry;
        why.clear();
        if (MsgBox(text, MsgButtons::RetryCancel, MsgIcon::Critical) != MsgAnswer::Retry) {
            Cleanup();
            FatalClose(kSaveCancelled);
        }
    }
}

// A schedule file without write permission is left as it is: the operator
// made it read-only.
bool Writable(const QString& path, QString* why) {
    struct stat st;
    const QByteArray p = QFile::encodeName(path);
    if (::stat(p.constData(), &st) != 0)
        return true;  // not there yet
    if ((st.st_mode & 0222) != 0 && ::access(p.constData(), W_OK) == 0)
        return true;
    *why = QStringLiteral("Schedule file \"") + path +
           QStringLiteral("\" is read-only (it has no write permission), so it is not replaced.");
    return false;
}

// Writes the whole new schedule to a fresh file beside the live one, flushed
// to the disk. On failure nothing of it is left behind. Its name is the one
// ReplaceFile uses, so a crash's leftover is found and removed at the next
// load.
bool WriteTemporary(const QString& path, const QByteArray& bytes, QString* tmpPath, QString* why) {
    QTemporaryFile f(JoinPath(FolderOf(path), QLatin1Char('.') + FileNameOf(path) + QStringLiteral(".XXXXXX.tmp")));
    f.setAutoRemove(false);
    if (!f.open()) {
        const QString folder = FolderOf(path).isEmpty() ? QStringLiteral(".") : FolderOf(path);
        *why = QStringLiteral("Cannot create a file in the folder \"") + folder +
               QStringLiteral("\" of the schedule file: ") + f.errorString() +
               (QFileInfo(folder).isWritable() ? QString() : QStringLiteral(" (the folder is read-only)"));
        return false;
    }
    *tmpPath = f.fileName();
    bool ok = f.write(bytes) == bytes.size() && f.flush() && ::fsync(f.handle()) == 0;
    // Keep the live file's permissions; a first save gets rw-r--r--.
    const QFileInfo live(path);
    ok = ok && f.setPermissions(live.exists() ? live.permissions()
                                              : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
    f.close();
    if (!ok || f.error() != QFileDevice::NoError) {
        QFile::remove(*tmpPath);
        tmpPath->clear();
        return false;
    }
    return true;
}

// Makes the live file the backup while the live name keeps pointing at it: a
// second link is made and renamed over the backup, so there is never a moment
// without a schedule file. Where links are not supported the backup is a copy.
bool MakeBackup(const QString& path, const QString& backup) {
    const QByteArray live = QFile::encodeName(path);
    const QByteArray bak = QFile::encodeName(backup);
    const QByteArray link = bak + ".new";
    ::unlink(link.constData());
    if (::link(live.constData(), link.constData()) == 0) {
        if (::rename(link.constData(), bak.constData()) == 0)
            return true;
        ::unlink(link.constData());
        return false;
    }
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = old.readAll();
    if (old.error() != QFileDevice::NoError)
        return false;
    return WriteFileAtomic(backup, bytes);
}

}  // namespace

// ---- public ------------------------------------------------------------------

int SplitScheduleFields(const QString& Line, QChar Sep, QStringList* Fields) {
    Fields->clear();
    Fields->reserve(kScheduleColumns);
    const QStringView line = Line;
    const qsizetype n = line.size();
    qsizetype pos = 0;
    int fieldNo = 1;
    for (;;) {
        qsizetype next;
        if (pos < n && line[pos] == kQuote) {
            // Copied in runs between quotes; a doubled quote keeps one.
            QString f;
            qsizetype run = pos + 1;
            qsizetype close = -1;
            for (;;) {
                const qsizetype q = line.indexOf(kQuote, run);
                if (q < 0)
                    break;
                if (q + 1 < n && line[q + 1] == kQuote) {
                    f += line.mid(run, q + 1 - run);
                    run = q + 2;
                    continue;
                }
                f += line.mid(run, q - run);
                close = q;
                break;
            }
            if (close < 0) {
                f += line.mid(std::min(run, n));
                Fields->append(f);
                return fieldNo;
            }
            Fields->append(f);
            next = line.indexOf(Sep, close + 1);
        } else {
            next = line.indexOf(Sep, pos);
            Fields->append(next < 0 ? Line.mid(pos) : Line.mid(pos, next - pos));
        }
        if (next < 0)
            return 0;
        pos = next + 1;
        ++fieldNo;
    }
}

QString ScheduleLine(const JobRec& J) {
    const QString fields[kScheduleColumns] = {
        J.JobName,                                          // 1
        J.CommandLine,                                      // 2
        J.EarlyStartText,                                   // 3
        J.Frequency,                                        // 4
        J.Exclusive,                                        // 5
        J.SkipOn,                                           // 6
        RunAfterField(J.RunAfter),                          // 7
        Flag(J.DeferRollover),                              // 8
        J.EojTo,                                            // 9
        J.SchedFlag,                                        // 10
        Flag(J.Killed),                                     // 11
        QString(),                                          // 12
        DateText(J.Started),                                // 13
        DateText(J.Completed),                              // 14
        Flag(J.EndForced),                                  // 15
        Num(J.ProcInfo.hProcess),                           // 16
        Num(J.ProcInfo.hThread),                            // 17
        Num(J.ProcInfo.dwProcessId),                        // 18
        Num(J.ProcInfo.dwThreadId),                         // 19
        DateText(J.EarlyStart),                             // 20
        Flag(J.DosProgram),                                 // 21
        ListField(J.EojMsg, true),                          // 22
        J.WaitForFile,                                      // 23
        J.Spare24,                                          // 24
        Num(J.Spare25),                                     // 25
        Num(J.LastDuration),                                // 26
        ListField(J.EojFlags, false),                       // 27
        ListField(J.AbEojFlags, false),                     // 28
        J.EojCc,                                            // 29
        J.Group,                                            // 30
        J.TriggerFile,                                      // 31
        Flag(J.DelWaitFile),                                // 32
        J.JobDesc,                                          // 33
        Num(J.Spare34),                                     // 34
        J.AbEojTo,                                          // 35
        J.AbEojCc,                                          // 36
        QString(),                                          // 37
        Flag(J.SuppNoBody),                                 // 38
        ListField(J.AbEojMsg, true),                        // 39
        Num(J.CpuUsage),                                    // 40
        Flag(J.Critical),                                   // 41
        DateVarsField(J.DateVars),                          // 42
        Flag(J.SubmitOnly),                                 // 43
        Num(J.DeferEojMins),                                // 44
        J.RunAfterStatus,                                   // 45
        J.RunAfterUnsched,                                  // 46
        Num(J.AutoResched),                                 // 47
        QString(), QString(), QString(),                    // 48 to 50
    };
    QString line;
    line.reserve(512);
    for (int c = 0; c < kScheduleColumns; ++c) {
        if (c > 0)
            line += kTab;
        AppendField(line, fields[c]);
    }
    return line;
}

bool ParseScheduleLine(const QString& Line, QChar Sep, JobRec* J, QString* error) {
    QStringList f;
    if (const int bad = SplitScheduleFields(Line, Sep, &f); bad != 0) {
        *error = UnclosedQuote(bad);
        return false;
    }
    while (f.size() < kScheduleColumns)
        f.append(QString());
    auto col = [&f](int c) -> const QString& { return f.at(c - 1); };
    const bool tabFile = Sep == kTab;

    auto readDate = [&](int c, DateVal* out) {
        const QString t = col(c).trimmed();
        if (t.isEmpty()) {
            *out = DateVal();
            return true;
        }
        const std::optional<DateVal> d = ParseDate(t);
        if (!d) {
            *error = QStringLiteral("column %1: \"%2\" is not a date").arg(QString::number(c), t);
            return false;
        }
        *out = *d;
        return true;
    };

    J->JobName = Fixed(col(1), kJobNameWidth);
    J->CommandLine = col(2);
    if (!tabFile)
        J->CommandLine.replace(QLatin1Char('%'), kComma);
    J->EarlyStartText = Fixed(col(3), kEarlyStartWidth);
    J->Frequency = col(4);
    J->Exclusive = col(5);
    J->SkipOn = Fixed(col(6), kSkipOnWidth);

    // Dependencies: the first empty item ends the list (so does the trailing
    // comma). Older comma-separated files separate the names by blanks.
    QString deps = col(7);
    if (tabFile)
        deps = deps.trimmed();
    else
        deps.replace(kBlank, kComma);
    QStringList items;
    if (SplitScheduleFields(deps, kComma, &items) != 0) {
        *error = UnclosedQuote(7);
        return false;
    }
    J->RunAfter.clear();
    for (const QString& item : items) {
        const QString name = item.trimmed();
        if (name.isEmpty())
            break;
        J->RunAfter.append(name);
    }

    J->DeferRollover = FlagOf(col(8));
    J->EojTo = col(9);
    J->SchedFlag = Fixed(col(10), kSchedFlagWidth);
    J->Killed = FlagOf(col(11));
    if (!readDate(13, &J->Started) || !readDate(14, &J->Completed))
        return false;
    J->EndForced = FlagOf(col(15));
    J->ProcInfo.hProcess = NumAs<std::int32_t>(col(16));
    J->ProcInfo.hThread = NumAs<std::int32_t>(col(17));
    J->ProcInfo.dwProcessId = NumAs<std::int32_t>(col(18));
    J->ProcInfo.dwThreadId = NumAs<std::int32_t>(col(19));
    // Only the hour and minute count: they are put on the current run date.
    J->EarlyStart = ParseTimeField(col(20).trimmed());
    J->DosProgram = FlagOf(col(21));
    if (!ReadItems(col(22), &J->EojMsg)) {
        *error = UnclosedQuote(22);
        return false;
    }
    J->WaitForFile = col(23);
    J->Spare24 = Fixed(col(24), kSpare24Width);
    J->Spare25 = NumAs<std::int16_t>(col(25));
    J->LastDuration = NumAs<std::int32_t>(col(26));
    if (J->LastDuration == 0)
        J->LastDuration = 30;
    if (!ReadItems(col(27), &J->EojFlags)) {
        *error = UnclosedQuote(27);
        return false;
    }
    if (!ReadItems(col(28), &J->AbEojFlags)) {
        *error = UnclosedQuote(28);
        return false;
    }
    J->EojCc = col(29);
    J->Group = Fixed(col(30), kGroupWidth);
    if (J->Group.trimmed().isEmpty())
        J->Group = QStringLiteral("General");
    J->TriggerFile = Fixed(col(31), kTriggerFileWidth);
    J->DelWaitFile = FlagOf(col(32));
    J->JobDesc = Fixed(col(33), kJobDescWidth);
    J->Spare34 = NumAs<std::int32_t>(col(34));
    J->AbEojTo = col(35);
    J->AbEojCc = col(36);
    J->SuppNoBody = FlagOf(col(38));
    if (!ReadItems(col(39), &J->AbEojMsg)) {
        *error = UnclosedQuote(39);
        return false;
    }
    J->CpuUsage = NumAs<std::int16_t>(col(40));
    J->Critical = FlagOf(col(41));
    if (!ReadItems(col(42), &J->DateVars)) {
        *error = UnclosedQuote(42);
        return false;
    }
    for (QString& v : J->DateVars)
        v.replace(gListComma, kComma);
    J->SubmitOnly = FlagOf(col(43));
    J->DeferEojMins = NumAs<std::int16_t>(col(44));
    J->RunAfterStatus = col(45);
    J->RunAfterStatus.replace(QLatin1Char('1'), QLatin1Char('U'));
    J->RunAfterUnsched = col(46).leftJustified(J->RunAfterStatus.size(), kBlank, true);
    J->AutoResched = NumAs<std::uint8_t>(col(47));
    return true;
}

QString ScheduleBackupName(const QString& Path) {
    const QString name = FileNameOf(Path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A leading dot marks a hidden file, not an extension.
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString prefix = Path.left(Path.size() - name.size());
    return prefix + base + QStringLiteral(".bak");
}

void LoadSchedule() {
    const QString path = G.gSchedFile;
    G.Jobs = JobTable(1);
    // A save that a crash interrupted may have left its temporary file.
    const QString target = FollowLinks(path);
    RemoveLeftoverTemps(FolderOf(target), FileNameOf(target), 0);

    if (!QFileInfo::exists(path)) {
        const QString ask = QStringLiteral("Schedule file \"") + path +
                            QStringLiteral("\" does not exist.  Do you wish to create it?");
        if (MsgBox(ask, MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes)
            FatalClose(QStringLiteral("Morvenda terminated due to no schedule found"));
        CreateDefaultSchedule();
        G.Jobs = JobTable(1);
    }

    QFile file(path);
    QByteArray bytes;
    bool readOk = file.open(QIODevice::ReadOnly);
    if (readOk) {
        bytes = file.readAll();
        readOk = file.error() == QFileDevice::NoError;
    }
    if (!readOk) {
        const QString msg = gPathMsgPrefix + path + kQuote;
        MsgBox(msg, MsgButtons::Ok, MsgIcon::Critical);
        throw FatalStop(msg);
    }
    file.close();

    // Byte 0xFF stands for a double quote in old files; it never occurs in
    // UTF-8, so replacing the byte leaves every UTF-8 character alone.
    bytes.replace('\xff', '"');
    const QStringList lines = SplitLines(DecodeText(bytes));

    // The whole table is read before it replaces G.Jobs, so a broken line
    // leaves no half-read schedule behind.
    JobTable jobs(1);
    jobs.reserve(static_cast<size_t>(lines.size()) + 1);
    QChar sep = kComma;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (i == 0)
            sep = line.contains(kTab) ? kTab : kComma;
        if (line.trimmed().isEmpty())
            continue;
        JobRec job;
        QString error;
        if (!ParseScheduleLine(line, sep, &job, &error)) {
            FatalClose(QStringLiteral("Schedule file \"%1\", line %2, %3.  The file has not been changed; "
                                      "correct the line and start again.")
                           .arg(path, QString::number(i + 1), error));
        }
        jobs.push_back(std::move(job));
    }

    G.Jobs = std::move(jobs);
    JobTableChanged();
    for (int k = 1; k <= JobCount(); ++k) {
        JobRec& J = G.Jobs[static_cast<size_t>(k)];
        J.RunsToday = true;
        J.EventIndex = -1;
        J.JobState = jsScheduled;
        DefaultDateVars(k);
        SetJobStatus(k);
    }
}

bool SaveSchedule() {
    if (G.gSchedFile.right(3).compare(QLatin1String("bak"), Qt::CaseInsensitive) == 0) {
        MsgBox(QStringLiteral("Morvenda cannot save to \".BAK\" file"), MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }

    // Every dependency entry is checked before anything is written, so a bad
    // entry never leaves a half-written schedule.
    const int n = JobCount();
    for (int k = 1; k <= n; ++k) {
        const JobRec& J = G.Jobs[static_cast<size_t>(k)];
        for (const QString& dep : J.RunAfter) {
            if (dep.trimmed().isEmpty())
                FatalClose(QStringLiteral("Empty RunAfter entry for job ") + J.JobName.trimmed() +
                           QStringLiteral(".  Critical error."));
        }
    }

    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(n) * 400);
    for (int k = 1; k <= n; ++k) {
        bytes += ScheduleLine(G.Jobs[static_cast<size_t>(k)]).toUtf8();
        bytes += "\r\n";
    }

    // The new schedule goes to a file of its own first; only when it is
    // complete does the old file become the backup and the new one take its
    // name, so a failure at any point leaves a readable schedule.
    // A schedule file that is a symbolic link is saved through it: the file
    // it leads to is replaced, in its own folder, and the link stays.
    const QString path = FollowLinks(G.gSchedFile);
    QString tmp;
    auto removeTmp = [&tmp] {
        if (!tmp.isEmpty())
            QFile::remove(tmp);
    };
    WithRetry([&](QString* why) { return Writable(path, why); }, removeTmp);
    WithRetry([&](QString* why) { return WriteTemporary(path, bytes, &tmp, why); }, removeTmp);
    if (QFileInfo::exists(path)) {
        const QString backup = ScheduleBackupName(path);
        WithRetry([&](QString*) { return MakeBackup(path, backup); }, removeTmp);
    }
    WithRetry(
        [&](QString*) {
            return ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) == 0;
        },
        removeTmp);
    // The new file's name is on the disk before the run journal, whose
    // records it now holds, is emptied.
    const int dir = ::open(QFile::encodeName(FolderOf(path).isEmpty() ? QStringLiteral(".") : FolderOf(path)).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    EmptyRunJournal();

    UpdateJobIndexFile();
    return true;
}

void CreateDefaultSchedule() {
    G.Jobs = JobTable(2);
    JobTableChanged();
    JobRec& J = G.Jobs[1];
    J.JobName = QStringLiteral("Dummy");
    J.Group = QStringLiteral("Dummy");
    J.Frequency = QStringLiteral("WorkDays");
    J.JobState = jsScheduled;
    DefaultDateVars(1);
    SaveSchedule();
}
