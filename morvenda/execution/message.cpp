#include "morvenda/execution/message.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QChar kQuote = QLatin1Char('"');
const QChar kComma = QLatin1Char(',');

// Names tried for one message before it is given up: each try that finds its
// name taken moves past it, so this bounds only a folder that is full.
constexpr int kNameAttempts = 1000;

// Ends the current BODY line and starts the next one: what %NL% stands for.
const QString kNewBodyLine = QStringLiteral("~\r\nBODY=");

// Positions of the options in a body line's five flag characters.
enum FlagPos { fIsFile = 1, fVarSub = 2, fAttach = 3, fFilter = 4, fDelete = 5 };

bool FlagOn(const QString& Flags, int Pos) { return Flags.size() >= Pos && Flags[Pos - 1] == QLatin1Char('1'); }

qsizetype LastSeparator(const QString& Path) {
    return std::max(Path.lastIndexOf(QLatin1Char('/')), Path.lastIndexOf(QLatin1Char('\\')));
}

// The line that says why no message was written, with the job's name.
QString NotGeneratedLine(const QString& JobName, const QString& Why) {
    return QStringLiteral("EOJ message not generated for job ") + JobName + QStringLiteral(".  ") + Why;
}

// Every placeholder of a body line in its order of replacement. Values are
// cleared of control characters, so nothing taken from the job can end a
// line of the message file; only %NL% does that, and it always starts a new
// BODY line.
void ReplacePlaceholders(QString& Line, const JobRec& J) {
    const qsizetype all = Line.indexOf(QLatin1String("%ALL%"), 0, Qt::CaseInsensitive);
    if (all >= 0) {
        Line.replace(all, 5,
                     QStringLiteral("Job Name:        %JN%%NL%"
                                    "Group Name:      %GN%%NL%"
                                    "Command Line:    %CL%%NL%"
                                    "Job Description: %JD%%NL%"
                                    "Start Time:      %ST%%NL%"
                                    "Completion Time: %CT%%NL%"
                                    "Duration:        %DU%%NL%"
                                    "Error:           %ED%%NL%"));
    }
    const QString hms = QStringLiteral("hh:mm:ss");
    struct Tag {
        const char* longTag;
        const char* shortTag;
        QString value;
    };
    const Tag tags[] = {
        {"%JOBNAME%", "%JN%", ControlsToBlanks(FixedText(J.JobName, kJobNameWidth))},
        {"%GROUPNAME%", "%GN%", ControlsToBlanks(FixedText(J.Group, kGroupWidth))},
        {"%ERRORDESC%", "%ED%", ControlsToBlanks(FixedText(J.ErrorText, kErrorTextWidth))},
        {"%CMDLINE%", "%CL%", ControlsToBlanks(J.CommandLine)},
        {"%CRITICAL%", "%CR%", J.Critical ? QStringLiteral("Yes") : QStringLiteral("No")},
        {"%SUBMISSIONTIME%", "%ST%", FormatDate(J.Started, hms)},
        {"%COMPLETIONTIME%", "%CT%", FormatDate(J.Completed, hms)},
        {"%DURATION%", "%DU%", SpanHms(RunSeconds(J))},
        {"%JOBDESC%", "%JD%", ControlsToBlanks(FixedText(J.JobDesc, kJobDescWidth))},
        {"%NEWLINE%", "%NL%", kNewBodyLine},
    };
    for (const Tag& t : tags) ReplaceTag(Line, QLatin1String(t.longTag), QLatin1String(t.shortTag), t.value);
}

// Replaces every Tag (any case) from the start of Text on; the search goes on
// after the inserted value, so a value holding the tag is not replaced again.
void ReplaceEvery(QString& Text, const QString& Tag, const QString& Value) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype p = Text.indexOf(Tag, from, Qt::CaseInsensitive);
        if (p < 0) return;
        Text.replace(p, Tag.size(), Value);
        from = p + Value.size();
    }
}

// "*" and "?" as a directory search knows them; every other character stands
// for itself.
bool WildcardMatch(const QString& Pattern, const QString& Name) {
    qsizetype p = 0, n = 0, star = -1, mark = 0;
    while (n < Name.size()) {
        if (p < Pattern.size() && (Pattern[p] == QLatin1Char('?') || Pattern[p] == Name[n])) {
            ++p;
            ++n;
        } else if (p < Pattern.size() && Pattern[p] == QLatin1Char('*')) {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < Pattern.size() && Pattern[p] == QLatin1Char('*')) ++p;
    return p == Pattern.size();
}

// The name (without folder) of the file that Path names, or of the first file
// in name order that its wildcards match; "" when there is none or the folder
// cannot be read. Folders never match.
QString FindFirstFile(const QString& Folder, const QString& Pattern) {
    if (Pattern.isEmpty()) return QString();
    if (!Pattern.contains(QLatin1Char('*')) && !Pattern.contains(QLatin1Char('?')))
        return QFileInfo(Folder + Pattern).isFile() ? Pattern : QString();
    const QDir dir(Folder.isEmpty() ? QStringLiteral(".") : Folder);
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (WildcardMatch(Pattern, name)) return name;
    }
    return QString();
}

// The value of an ATT line for Path. The e-mailer splits the value at commas
// honouring double quotes and trims it, so a path that holds a comma or a
// quote, or has blanks at an end, is quoted (inner quotes doubled) to read
// back whole.
QString AttValue(const QString& Path) {
    const QString p = ControlsToBlanks(Path);
    if (p.contains(kComma) || p.contains(kQuote) || p != p.trimmed()) return AddQuotes(DoubleQuotes(p));
    return p;
}

// The address book of a trimmed recipient name: the exact file name first,
// then, since recipient names are compared without regard to case, a book
// whose name differs only in case. "" when there is none. A name that holds a
// folder separator names no book: books live in the address-book folder only.
QString AddressBookPath(const QString& Name) {
    if (Name.isEmpty() || G.gEmailAddrPath.isEmpty() || Name.contains(QLatin1Char('/')) ||
        Name.contains(QLatin1Char('\\')))
        return QString();
    const QString wanted = Name + QStringLiteral(".adr");
    const QString exact = JoinPath(G.gEmailAddrPath, wanted);
    if (IsRegularFile(exact)) return exact;
    const QStringList names = QDir(G.gEmailAddrPath).entryList(QDir::Files | QDir::Hidden);
    for (const QString& n : names) {
        if (SameText(n, wanted)) return JoinPath(G.gEmailAddrPath, n);
    }
    return QString();
}

void RemoveFiles(const std::vector<QString>& Files) {
    for (const QString& f : Files) {
        if (!f.isEmpty()) QFile::remove(f);
    }
}

}  // namespace

void ReplaceTag(QString& Text, const QString& LongTag, const QString& ShortTag, const QString& Value) {
    ReplaceEvery(Text, LongTag, Value);
    if (!ShortTag.isEmpty()) ReplaceEvery(Text, ShortTag, Value.trimmed());
}

QString VarSub(const QString& Name) {
    const qsizetype p = Name.indexOf(QLatin1Char('&'));
    if (p < 0) return Name;
    const qsizetype q = Name.indexOf(QLatin1Char('&'), p + 1);
    if (q < 0) return Name;  // no closing "&": the name is used as it stands
    return Name.left(p) + FormatDate(SchedNow(), Name.mid(p + 1, q - p - 1)) + Name.mid(q + 1);
}

QString DirFilter(const QString& Line) {
    if (Line.contains(QLatin1String("<DIR>"))) return QString();
    const qsizetype colon = Line.indexOf(QLatin1Char(':'));
    if (colon < 0) return QString();
    if (Line.contains(QLatin1Char('\\')) || Line.contains(QLatin1Char('/'))) return Line;  // a heading naming a folder
    return Line.mid(colon + 5);
}

namespace {

// MessageFileName with the counter starting at First: after a name was
// found taken, the next try starts past it, also when the folder's listing
// (cached on a network file system) does not show the file that took it.
QString MessageFileNameFrom(const QString& JobName, int DeferMins, int First) {
    QString stamp;
    if (DeferMins > 0)
        // The e-mailer holds the message until this moment by its own clock,
        // so it is the real present moment, also in a dummy run.
        stamp = QLatin1Char('.') + FormatDate(Now().addSeconds(qint64(DeferMins) * 60), QStringLiteral("yyyymmddhhnn"));
    const QString stem = JobName.trimmed().left(4).leftJustified(4, QLatin1Char('x'));

    // Every name a file of the folder takes, cut at each of its dots: a
    // candidate is taken when some file is named by it alone or by it and a
    // "." with anything after. The stamp is left out of the test, so two
    // deferred messages of one job never share the name before their first
    // dot, and so never share a sent or error name either.
    QSet<QString> taken;
    const QStringList names =
        QDir(G.gEmailPath).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString upper = name.toUpper();
        taken.insert(upper);
        for (qsizetype dot = upper.indexOf(QLatin1Char('.')); dot >= 0; dot = upper.indexOf(QLatin1Char('.'), dot + 1))
            taken.insert(upper.left(dot));
    }
    int n = First;
    QString base = stem + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
    while (taken.contains(base.toUpper())) {
        ++n;
        base = stem + QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'));
    }
    return base + stamp;
}

// The counter of a name MessageFileName made (the four digits after the stem).
int CounterOf(const QString& Name) { return Name.mid(4, 4).toInt(); }

// One end-of-job message while it is made.
struct MessageDraft {
    explicit MessageDraft(const JobRec& Job) : J(Job), jobName(ControlsToBlanks(J.JobName.trimmed())) {}

    const JobRec J;
    const QString jobName;
    // Files to delete when the message is done, one slot per body line.
    std::array<QString, 5> deleteList;
    // Copies made for deferred attachments: removed again when the message is
    // not published, since nothing would ever send or delete them.
    std::vector<QString> copies;
    // Run log lines, written once the files are settled: a run log that
    // cannot be written stops the program, and must not leave a half-made
    // message behind.
    QStringList logLines;
    QStringList lines;
    QString name;
    QString tempPath;
    QFile out;
    bool allEmpty = true;
    bool cancel = false;

    bool Make(const QString& To, const QString& Cc, const std::array<QString, 5>& Msg,
              const std::array<QString, 5>& Flags, bool Critical);
    bool ReserveFile();
    void AddAddresses(const QString& To, const QString& Cc, bool Critical);
    void AddFileLine(int i, const std::array<QString, 5>& body, const QString& flags);
    void AddAttachment(int i, const QString& path, bool del);
    bool Publish();
};

bool MessageDraft::Make(const QString& To, const QString& Cc, const std::array<QString, 5>& Msg,
                        const std::array<QString, 5>& Flags, bool Critical) {
    std::array<QString, 5> body;
    for (int i = 1; i <= 4; ++i) {
        body[i] = ControlsToBlanks(Msg[i]);
        if (body[i].contains(QLatin1Char('%'))) ReplacePlaceholders(body[i], J);
    }

    if (G.gEmailPath.isEmpty()) {
        WriteLog(G.gLogFile, NotGeneratedLine(jobName, QStringLiteral("No messages folder (EmailPath) is set")));
        return true;
    }
    if (!ReserveFile()) return false;

    AddAddresses(To, Cc, Critical);
    lines << QStringLiteral("SUBJ=") + ControlsToBlanks(Msg[0]);

    for (int i = 1; i <= 4; ++i) {
        if (body[i].trimmed().isEmpty()) continue;
        const QString& flags = Flags[i];
        if (!FlagOn(flags, fIsFile)) {
            lines << QStringLiteral("BODY=") + body[i] + QLatin1Char('~');
            continue;
        }
        AddFileLine(i, body, flags);
    }
    if (J.SuppNoBody && allEmpty) cancel = true;

    bool published = false;
    if (cancel) {
        out.close();
        QFile::remove(tempPath);
        RemoveFiles(copies);
        logLines << NotGeneratedLine(jobName, QStringLiteral("All include files empty or non-existent"));
    } else {
        published = Publish();
    }

    // A message that could not be written sends nothing: the files it would
    // have delivered stay. A published or cancelled one is done with them.
    if (published || cancel) {
        for (const QString& f : deleteList) {
            if (!f.isEmpty()) QFile::remove(f);
        }
    }
    for (const QString& line : logLines) WriteLog(G.gLogFile, line);
    return published || cancel;
}

// False when the folder takes no file (the reason is logged).
bool MessageDraft::ReserveFile() {
    // The message is created as a new file: should another scheduler sharing
    // the folder take the same name at the same moment, the next free name is
    // tried instead of writing over its file.
    bool opened = false;
    int refused = 0;
    for (int attempt = 0, first = 0; attempt < kNameAttempts && !opened; ++attempt) {
        name = MessageFileNameFrom(J.JobName, J.DeferEojMins, first);
        tempPath = JoinPath(G.gEmailPath, name + QStringLiteral(".$$$"));
        out.setFileName(tempPath);
        opened = out.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (opened) break;
        // A name that no file holds was refused for another reason: the
        // folder will not take a file, whatever its name.
        if (!PathExists(tempPath)) {
            if (++refused >= 3) break;
            continue;
        }
        first = CounterOf(name) + 1;
    }
    if (!opened) {
        WriteLog(G.gLogFile, NotGeneratedLine(jobName, gPathMsgPrefix + tempPath + kQuote + QStringLiteral(": ") +
                                                           out.errorString()));
        return false;
    }
    return true;
}

void MessageDraft::AddAddresses(const QString& To, const QString& Cc, bool Critical) {
    const int bookLine = Critical ? 2 : 1;
    for (int k = 1;; ++k) {
        const QString field = GetLineField(To, k, kQuote, kComma);
        if (field.isEmpty()) break;
        const QString addr = GetEmailAddr(field, bookLine);
        if (!addr.isEmpty()) lines << QStringLiteral("TO=") + ControlsToBlanks(addr);
    }
    if (!Cc.trimmed().isEmpty()) {
        for (int k = 1;; ++k) {
            const QString field = GetLineField(Cc, k, kQuote, kComma);
            if (field.isEmpty()) break;
            const QString addr = GetEmailAddr(field, bookLine);
            if (!addr.isEmpty()) lines << QStringLiteral("CC=") + ControlsToBlanks(addr);
        }
    }
}

// A body line that names a file: the file attached, or its text included.
void MessageDraft::AddFileLine(int i, const std::array<QString, 5>& body, const QString& flags) {
    const bool attach = FlagOn(flags, fAttach);
    const bool del = FlagOn(flags, fDelete);
    const QString F = FlagOn(flags, fVarSub) ? VarSub(body[i].trimmed()) : body[i].trimmed();
    QString notFound;
    if (attach) {
        notFound = QStringLiteral("File to be attached (") + F + QStringLiteral(") not found.~");
    } else {
        notFound = QStringLiteral("*** No Data ***~");
        lines << QStringLiteral("BODY=Contents of File \"") + F + QStringLiteral("\" follow:~");
        lines << QStringLiteral("BODY=~");
    }
    const QString folder = F.left(LastSeparator(F) + 1);
    const QString found = FindFirstFile(folder, F.mid(folder.size()));
    if (found.isEmpty()) {
        lines << QStringLiteral("BODY=") + notFound + QLatin1Char('~');
        return;
    }
    const QString path = folder + found;
    if (attach) {
        AddAttachment(i, path, del);
        return;
    }
    QStringList included;
    if (!ReadTextLines(path, &included)) {
        lines << QStringLiteral("BODY=") + notFound + QLatin1Char('~');
        return;
    }
    for (const QString& raw : included) {
        allEmpty = false;
        if (raw.contains(QLatin1String("$CANCEL"), Qt::CaseInsensitive)) {
            // A "$CANCEL" in any included file cancels the whole message.
            cancel = true;
            break;
        }
        QString text = ControlsToBlanks(raw);
        if (FlagOn(flags, fFilter)) {
            text = DirFilter(text);
            if (text.isEmpty()) continue;
        }
        lines << QStringLiteral("BODY=") + text + QLatin1Char('~');
    }
    if (del) deleteList[i] = path;
}

void MessageDraft::AddAttachment(int i, const QString& path, bool del) {
    if (J.DeferEojMins != 0) {
        // The e-mailer sends later: it gets a copy, which it deletes
        // after sending, and the file itself may go at once.
        const QString copy = CopyForAtt(path);
        if (!copy.isEmpty()) {
            copies.push_back(copy);
            lines << QStringLiteral("ATT=") + AttValue(copy) + QStringLiteral(",DEL=YES");
            if (del) deleteList[i] = path;
        } else {
            // Without a copy the file itself is sent and kept, so
            // nothing is lost to a failed copy.
            logLines << QStringLiteral("EOJ message for job ") + jobName + QStringLiteral(": attachment ") +
                            AddQuotes(path) + QStringLiteral(" could not be copied to ") + AddQuotes(G.gEmailAttPath) +
                            QStringLiteral("; the file itself is attached and kept");
            lines << QStringLiteral("ATT=") + AttValue(QFileInfo(path).absoluteFilePath());
        }
    } else {
        // The e-mailer runs in its own folder: the path must not be
        // relative to ours.
        lines << QStringLiteral("ATT=") + AttValue(QFileInfo(path).absoluteFilePath()) +
                     (del ? QStringLiteral(",DEL=YES") : QString());
    }
}

// Writes the message and publishes it under a free name; false when it
// could not be (the reason is logged).
bool MessageDraft::Publish() {
    bool published = false;
    const DateVal now = SchedNow();
    lines << QStringLiteral("BODY=~") << QStringLiteral("BODY=Generated by: Morvenda~")
          << QStringLiteral("BODY=Schedule:     ") + ControlsToBlanks(G.gSchedName) + QLatin1Char('~')
          << QStringLiteral("BODY=Job:          ") + jobName + QLatin1Char('~')
          << QStringLiteral("BODY=Date:         ") + FormatDate(now, QStringLiteral("dddd ") + G.gDateFmt) +
                 QLatin1Char('~')
          << QStringLiteral("BODY=Time:         ") + FormatDate(now, QStringLiteral("hh:mm:ss")) + QLatin1Char('~');
    QString finalPath = JoinPath(G.gEmailPath, name + QStringLiteral(".eml"));
    // The whole message is written to the reserved temporary name first
    // (every write checked and flushed), then linked to its final name,
    // which never replaces a message of that name: another scheduler
    // sharing the folder may have published one since this name was
    // chosen (its ".$$$" was gone by then). The next free name is taken
    // instead.
    out.close();
    QString why;
    PublishResult result = PublishResult::Failed;
    if (WriteFileAtomic(tempPath, EncodeLines(lines), &why)) {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            result = PublishFileNoReplace(tempPath, finalPath, &why);
            if (result != PublishResult::NameTaken) break;
            finalPath = JoinPath(G.gEmailPath,
                                 MessageFileNameFrom(J.JobName, J.DeferEojMins, CounterOf(FileNameOf(finalPath)) + 1) +
                                     QStringLiteral(".eml"));
        }
        if (result == PublishResult::NameTaken)
            why = QStringLiteral("Cannot write file \"") + finalPath + kQuote +
                  QStringLiteral(": every free name was taken");
    }
    if (result != PublishResult::Published) {
        QFile::remove(tempPath);
        RemoveFiles(copies);
        logLines << NotGeneratedLine(jobName, why);
    } else {
        published = true;
    }
    return published;
}

}  // namespace

QString MessageFileName(const QString& JobName, int DeferMins) { return MessageFileNameFrom(JobName, DeferMins, 0); }

QString GetEmailAddr(const QString& Name, int LineNo) {
    const QString failure = QStringLiteral("Could not generate email address for ") + Name + QLatin1Char('.');
    const QString book = AddressBookPath(Name.trimmed());
    if (book.isEmpty() || LineNo < 1) return failure;
    QStringList lines;
    if (!ReadTextLines(book, &lines)) return failure;
    int counted = 0;
    const QString* bookLine = nullptr;
    for (const QString& l : lines) {
        if (l.startsWith(QLatin1Char(';'))) continue;  // a comment
        if (++counted == LineNo) {
            bookLine = &l;
            break;
        }
    }
    if (!bookLine) return failure;
    const QString address = GetLineField(*bookLine, 1, kQuote, kComma);
    const QString name = GetLineField(*bookLine, 2, kQuote, kComma);

    // Both words are found in the template before anything is put in, so an
    // address that holds "name" (j.surname@...) is never taken for the word.
    QString r = G.gEmailAddrFormat;
    const qsizetype pa = r.indexOf(QLatin1String("ADDRESS"), 0, Qt::CaseInsensitive);
    const qsizetype pn = r.indexOf(QLatin1String("NAME"), 0, Qt::CaseInsensitive);
    if (pa < 0 && pn < 0) return failure;
    // The later word first, so the earlier one's position still holds.
    if (pa > pn) {
        r.replace(pa, 7, address);
        if (pn >= 0) r.replace(pn, 4, name);
    } else {
        r.replace(pn, 4, name);
        if (pa >= 0) r.replace(pa, 7, address);
    }
    return r;
}

QString CopyForAtt(const QString& File) {
    if (G.gEmailAttPath.isEmpty()) return QString();  // no folder for copies
    const QString base = File.mid(LastSeparator(File) + 1);
    const QString time = FormatDate(SchedNow(), QStringLiteral("hhnnss"));
    QByteArray bytes;
    if (!ReadFileBytes(File, &bytes)) return QString();
    // A name already taken gets a counter after the time; waiting for the
    // clock to give another second would hold up the pass. The copy is
    // published without replacing a file, so a copy that another scheduler
    // sharing the folder makes at the same moment keeps its name.
    const QString target = PublishNewFile(
        G.gEmailAttPath, bytes,
        [&](int k) {
            const QString suffix = k == 0 ? QString() : QLatin1Char('-') + QString::number(k + 1);
            return QStringLiteral("UFN") + time + suffix + QLatin1Char('.') + base;
        },
        9999);
    return target.isEmpty() ? QString() : QFileInfo(target).absoluteFilePath();
}

bool GenMessage(int JobIndex, const QString& To, const QString& Cc, const std::array<QString, 5>& Msg,
                const std::array<QString, 5>& Flags, bool Critical) {
    if (JobIndex < 1 || JobIndex > JobCount()) return true;
    MessageDraft draft(G.Jobs[JobIndex]);
    return draft.Make(To, Cc, Msg, Flags, Critical);
}
