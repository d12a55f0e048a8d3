#include "morvenda/core/schedulefile.h"

#include "common/atomicfile.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobindex.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/journalfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "platform/files.h"
#include "platform/memory.h"

#include <QFile>
#include <QFileInfo>

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

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

// The text without its leading and trailing blanks (only blanks: a TAB at
// either end is kept, inside quotes).
QStringView TrimBlanks(QStringView v) {
    while (!v.isEmpty() && v.front() == kBlank) v = v.mid(1);
    while (!v.isEmpty() && v.back() == kBlank) v.chop(1);
    return v;
}

// One item of a list field. An item holding a comma or a double quote is
// enclosed in quotes with its own quotes doubled, the form the list reader
// already understands, so such an item survives a save and a reload.
void AppendItem(QString& list, QStringView item) {
    if (item.contains(kComma) || item.contains(kQuote))
        list += kQuote + DoubleQuotes(item.toString()) + kQuote;
    else
        list += item;
    list += kComma;
}

// A list field is made in the caller's buffer (a save makes four of them for
// every job, in one buffer): emptied, not freed.
template <size_t N>
const QString& ListField(QString& out, const std::array<QString, N>& items, bool trim) {
    out.resize(0);
    for (const QString& item : items) AppendItem(out, trim ? TrimBlanks(item) : QStringView(item));
    return out;
}

const QString& RunAfterField(QString& out, const QStringList& items) {
    out.resize(0);
    for (const QString& item : items) AppendItem(out, TrimBlanks(item));
    return out;
}

const QString& DateVarsField(QString& out, const std::array<QString, 7>& vars) {
    out.resize(0);
    for (const QString& item : vars) {
        if (!item.contains(kComma)) {
            AppendItem(out, item);
            continue;
        }
        QString v = item;
        v.replace(kComma, gListComma);
        AppendItem(out, v);
    }
    return out;
}

// Appends text to a UTF-8 buffer; ASCII, the usual case, byte by byte.
void PutText(std::string& out, QStringView v) {
    for (const QChar c : v) {
        if (c.unicode() >= 0x80) {
            const QByteArray bytes = v.toUtf8();
            out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
            return;
        }
    }
    for (const QChar c : v) out += static_cast<char>(c.unicode());
}

// Appends one field of a line: CR and LF become blanks (they would split the
// line), then a field holding a comma, a quote or a TAB is quoted so that it
// cannot shift the columns. One scan decides both. Trim false keeps leading
// and trailing blanks, which carry meaning in the one-letter-per-dependency
// columns.
void PutField(std::string& out, QStringView field, bool trim = true) {
    // Most fields are plain ASCII with nothing to quote or clean: copied in
    // one pass.
    {
        const QStringView v = trim ? TrimBlanks(field) : field;
        const size_t at = out.size();
        bool plain = true;
        for (const QChar c : v) {
            const char16_t u = c.unicode();
            if (u >= 0x80 || u == u',' || u == u'"' || u == u'\t' || u == u'\r' || u == u'\n') {
                plain = false;
                break;
            }
            out += static_cast<char>(u);
        }
        if (plain) return;
        out.resize(at);
    }
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
        cleaned = field.toString();
        for (QChar& c : cleaned) {
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = kBlank;
        }
        v = cleaned;
    }
    if (trim) v = TrimBlanks(v);
    if (!quote) {
        PutText(out, v);
        return;
    }
    out += '"';
    qsizetype run = 0;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == kQuote) {
            PutText(out, v.mid(run, i + 1 - run));
            out += '"';
            run = i + 1;
        }
    }
    PutText(out, v.mid(run));
    out += '"';
}

void PutNum(std::string& out, qint64 n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, static_cast<size_t>(end - digits));
}

void PutFlag(std::string& out, bool b) { out += b ? "-1" : "0"; }

// "dd mmm yyyy hh:mm:ss" with English month names, written directly: the
// general date formatter would parse its mask again for every date of every
// job, which dominated the time of a save.
void PutDate(std::string& out, const DateVal& d) {
    const int y = d.year();
    if (y < 1000 || y > 9999) {
        PutText(out, FormatDate(d, kDateMask));
        return;
    }
    static const std::array<std::string, 12> months = [] {
        std::array<std::string, 12> m;
        for (int k = 0; k < 12; ++k) m[static_cast<size_t>(k)] = MonthName(k + 1, true).toStdString();
        return m;
    }();
    auto two = [&out](int v) {
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
    };
    two(d.day());
    out += ' ';
    out += months[static_cast<size_t>(d.month() - 1)];
    out += ' ';
    two(y / 100);
    two(y % 100);
    out += ' ';
    two(d.hour());
    out += ':';
    two(d.minute());
    out += ':';
    two(d.second());
}

// ---- reading ---------------------------------------------------------------

// A fixed-width text as the record holds it: cut to its width (never in the
// middle of a character), no padding.
QStringView Fixed(QStringView text, int width) {
    if (text.size() > width) {
        text = text.left(width);
        if (text.back().isHighSurrogate()) text.chop(1);
    }
    while (!text.isEmpty() && text.back() == kBlank) text.chop(1);
    return text;
}

template <typename T>
T NumAs(QStringView text) {
    const qint64 v = Val(text);
    return static_cast<T>(std::clamp<qint64>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

bool FlagOf(QStringView text) { return Val(text) != 0; }

// The fields of a line as views into it: a quoted field is the text between
// its quotes; one with doubled quotes is unescaped into a text of its own,
// kept in `owned` (a QString's characters stay where they are when the
// vector grows, so the views stay valid). The caller owns `owned`.
struct FieldViews {
    explicit FieldViews(std::vector<QString>& keep) : owned(keep) {}
    QVarLengthArray<QStringView, 64> views;
    std::vector<QString>& owned;
    size_t used = 0;

    // An empty text of its own for the next unescaped field.
    QString& Own() {
        if (used == owned.size()) owned.emplace_back();
        QString& text = owned[used++];
        text.resize(0);
        return text;
    }
};

// The first sep in line at or after from, or -1. Fields are short: a plain
// loop beats a vectorised search that pays its set-up for every field.
qsizetype FindChar(QStringView line, qsizetype from, char16_t sep) {
    const char16_t* p = line.utf16();
    for (qsizetype i = from; i < line.size(); ++i)
        if (p[i] == sep) return i;
    return -1;
}

// Splits line at sep as SplitScheduleFields does. Returns 0, or the number
// of the first field whose quote is never closed (the last view).
int SplitViews(QStringView line, QChar sep, FieldViews& out) {
    out.views.clear();
    const qsizetype n = line.size();
    const char16_t s = sep.unicode();
    qsizetype pos = 0;
    int fieldNo = 1;
    for (;;) {
        qsizetype next;
        if (pos < n && line[pos] == kQuote) {
            qsizetype run = pos + 1;
            qsizetype close = -1;
            QString* f = nullptr;  // made at the first doubled quote
            for (;;) {
                const qsizetype q = FindChar(line, run, u'"');
                if (q < 0) break;
                if (q + 1 < n && line[q + 1] == kQuote) {
                    if (!f) {
                        f = &out.Own();
                        f->reserve(n - pos);
                        f->append(line.mid(pos + 1, q + 1 - (pos + 1)));
                    } else {
                        *f += line.mid(run, q + 1 - run);
                    }
                    run = q + 2;
                    continue;
                }
                close = q;
                break;
            }
            const qsizetype end = close < 0 ? n : close;
            if (f) {
                *f += line.mid(std::min(run, n), end - std::min(run, n));
                out.views.append(*f);
            } else {
                out.views.append(line.mid(pos + 1, end - (pos + 1)));
            }
            if (close < 0) return fieldNo;
            next = FindChar(line, close + 1, s);
        } else {
            next = FindChar(line, pos, s);
            out.views.append(next < 0 ? line.mid(pos) : line.mid(pos, next - pos));
        }
        if (next < 0) return 0;
        pos = next + 1;
        ++fieldNo;
    }
}

// Sets text to view, sharing like's characters when like holds the same text
// (jobs of a schedule repeat many of their texts: groups, frequencies,
// message flags, date variables), so a large schedule keeps one copy.
void Take(QString& text, QStringView view, const QString* like) {
    if (like && QStringView(*like) == view)
        text = *like;
    else
        text = view.toString();
}

// The items of a list field (split at "," honouring quotes): exactly N of
// them, missing ones empty. False when an item's quote is never closed.
// With `marker`, each item's markers become commas first (date variables are
// written with their commas as markers), so an item equal to like's shares it.
// Whether text is the item as written with its markers read as commas.
bool SameWithMarkers(const QString& text, QStringView item, QChar marker) {
    if (text.size() != item.size()) return false;
    for (qsizetype i = 0; i < item.size(); ++i)
        if (text[i] != (item[i] == marker ? kComma : item[i])) return false;
    return true;
}

template <size_t N>
bool ReadItems(QStringView field, std::array<QString, N>* items, const std::array<QString, N>* like,
               QChar marker = QChar()) {
    std::vector<QString> keep;  // takes room only for an item with doubled quotes
    FieldViews parts(keep);
    if (SplitViews(field, kComma, parts) != 0) return false;
    for (size_t k = 0; k < N; ++k) {
        const QStringView v =
            static_cast<qsizetype>(k) < parts.views.size() ? parts.views[static_cast<qsizetype>(k)] : QStringView();
        const QString* same = like ? &(*like)[k] : nullptr;
        if (marker.isNull() || !v.contains(marker)) {
            Take((*items)[k], v, same);
        } else if (same && SameWithMarkers(*same, v, marker)) {
            (*items)[k] = *same;
        } else {
            (*items)[k] = v.toString().replace(marker, kComma);
        }
    }
    return true;
}

// A date as the writer writes it ("dd mmm yyyy hh:mm:ss", English month
// abbreviation), read directly; nothing for any other text, which the
// general parser then reads.
std::optional<DateVal> WrittenDate(QStringView t) {
    if (t.size() != 20 || t[2] != kBlank || t[6] != kBlank || t[11] != kBlank || t[14] != QLatin1Char(':') ||
        t[17] != QLatin1Char(':'))
        return std::nullopt;
    auto two = [t](qsizetype i) {
        const char16_t a = t[i].unicode();
        const char16_t b = t[i + 1].unicode();
        if (a < u'0' || a > u'9' || b < u'0' || b > u'9') return -1;
        return (a - u'0') * 10 + (b - u'0');
    };
    const int d = two(0);
    const int c = two(7);
    const int yy = two(9);
    const int h = two(12);
    const int n = two(15);
    const int sec = two(18);
    if (d < 1 || c < 10 || yy < 0 || h < 0 || h > 23 || n < 0 || n > 59 || sec < 0 || sec > 59) return std::nullopt;
    static const std::array<QString, 12> months = [] {
        std::array<QString, 12> m;
        for (int k = 0; k < 12; ++k) m[static_cast<size_t>(k)] = MonthName(k + 1, true);
        return m;
    }();
    int m = 0;
    for (int k = 0; k < 12 && m == 0; ++k)
        if (t.mid(3, 3) == QStringView(months[static_cast<size_t>(k)])) m = k + 1;
    const int y = c * 100 + yy;
    if (m == 0 || d > DateVal::fromDate(y, m + 1, 0).day()) return std::nullopt;
    return DateVal::fromDateTime(y, m, d, h, n, sec);
}

// Columns holding one letter per dependency: a blank is a letter there.
constexpr int kRunAfterStatusColumn = 45;
constexpr int kRunAfterUnschedColumn = 46;

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
    if (FileWriteAccess(path) != WriteAccess::ReadOnly) return true;  // writable, or not there yet
    *why = QStringLiteral("Schedule file \"") + path +
           QStringLiteral("\" is read-only (it has no write permission), so it is not replaced.");
    return false;
}

// Makes the live file the backup while the live name keeps pointing at it: a
// second link is made and renamed over the backup, so there is never a moment
// without a schedule file. Where links are not supported the backup is a copy.
bool MakeBackup(const QString& path, const QString& backup, QString* why) {
    QString reason;
    switch (LinkReplacing(path, backup, &reason)) {
        case LinkResult::Done:
            return true;
        case LinkResult::Failed:
            *why = QStringLiteral("Cannot make the backup \"%1\": %2").arg(backup, reason);
            return false;
        case LinkResult::NoLink:
            break;
    }
    QByteArray bytes;
    if (!ReadFileBytes(path, &bytes, why)) return false;
    return WriteFileAtomic(backup, bytes, why);
}

// Writes the whole new schedule beside the live one, under the name of a
// temporary file (so a crash's leftover is removed at the next load), with
// the live file's permissions (rw-r--r-- for a first save).
bool WriteStaged(const QString& path, const QString& staged, const QByteArray& bytes, QString* why) {
    if (!WriteFileAtomic(staged, bytes, why)) {
        // The operator knows the schedule file, not the name it is staged
        // under.
        why->replace(staged, path);
        return false;
    }
    const QFileInfo live(path);
    const bool ok = QFile::setPermissions(staged, live.exists() ? live.permissions()
                                                                : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                      QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (!ok) *why = QStringLiteral("Cannot set the permissions of \"%1\"").arg(staged);
    return ok;
}

bool PutInPlace(const QString& staged, const QString& path, QString* why) {
    QString reason;
    if (const int e = IoFault(IoStep::Rename, QFile::encodeName(path).constData()); e != 0)
        reason = qt_error_string(e);
    else if (RenameFile(staged, path, &reason))
        return true;
    *why = QStringLiteral("Cannot rename \"%1\" to \"%2\": %3").arg(staged, path, reason);
    return false;
}

}  // namespace

// ---- public ------------------------------------------------------------------

int SplitScheduleFields(const QString& Line, QChar Sep, QStringList* Fields) {
    std::vector<QString> keep;
    FieldViews f(keep);
    const int bad = SplitViews(Line, Sep, f);
    Fields->clear();
    Fields->reserve(f.views.size());
    for (const QStringView v : f.views) Fields->append(v.toString());
    return bad;
}

namespace {

// A list column as written, kept with copies of the items it was made from:
// while every item shares its data with its copy, the items are unchanged and
// so is the column. Jobs mostly share their flags and date variables (a load
// shares texts equal to the job before's), so a save writes them once.
template <size_t N>
struct ListMemo {
    std::array<QString, N> items;
    std::string bytes;

    template <typename Write>
    void put(std::string& out, const std::array<QString, N>& now, Write write) {
        bool same = !bytes.empty();
        for (size_t k = 0; k < N && same; ++k) same = SameData(items[k], now[k]);
        if (same) {
            out += bytes;
            return;
        }
        const size_t at = out.size();
        write();
        items = now;
        bytes.assign(out, at);
    }
};

}  // namespace

void AppendScheduleLine(QByteArray& bytes, const JobRec& J) {
    // The line is made in a buffer of its own and appended whole; its list
    // fields share one buffer. The columns' memos hold only what the items
    // make, so they are the function's own.
    static ListMemo<5> eojFlags;
    static ListMemo<5> abEojFlags;
    static ListMemo<7> dateVars;
    std::string out;
    out.reserve(512);
    QString list;
    auto text = [&out](const QString& field) {
        PutField(out, field);
        out += '\t';
    };
    auto num = [&out](qint64 n) {
        PutNum(out, n);
        out += '\t';
    };
    auto flag = [&out](bool b) {
        PutFlag(out, b);
        out += '\t';
    };
    auto date = [&out](const DateVal& d) {
        PutDate(out, d);
        out += '\t';
    };
    auto flags = [&out, &text, &list](ListMemo<5>& memo, const std::array<QString, 5>& items) {
        memo.put(out, items, [&] { text(ListField(list, items, false)); });
    };
    auto vars = [&text, &list, &J] { text(DateVarsField(list, J.DateVars)); };
    text(J.JobName);                          // 1
    text(J.CommandLine);                      // 2
    text(J.EarlyStartText);                   // 3
    text(J.Frequency);                        // 4
    text(J.Exclusive);                        // 5
    text(J.SkipOn);                           // 6
    text(RunAfterField(list, J.RunAfter));    // 7
    flag(J.DeferRollover);                    // 8
    text(J.EojTo);                            // 9
    text(J.SchedFlag);                        // 10
    flag(J.Killed);                           // 11
    out += '\t';                              // 12
    date(J.Started);                          // 13
    date(J.Completed);                        // 14
    flag(J.EndForced);                        // 15
    num(J.ProcInfo.hProcess);                 // 16
    num(J.ProcInfo.hThread);                  // 17
    num(J.ProcInfo.dwProcessId);              // 18
    num(J.ProcInfo.dwThreadId);               // 19
    date(J.EarlyStart);                       // 20
    flag(J.DosProgram);                       // 21
    text(ListField(list, J.EojMsg, true));    // 22
    text(J.WaitForFile);                      // 23
    text(J.Spare24);                          // 24
    num(J.Spare25);                           // 25
    num(J.LastDuration);                      // 26
    flags(eojFlags, J.EojFlags);              // 27
    flags(abEojFlags, J.AbEojFlags);          // 28
    text(J.EojCc);                            // 29
    text(J.Group);                            // 30
    text(J.TriggerFile);                      // 31
    flag(J.DelWaitFile);                      // 32
    text(J.JobDesc);                          // 33
    num(J.Spare34);                           // 34
    text(J.AbEojTo);                          // 35
    text(J.AbEojCc);                          // 36
    out += '\t';                              // 37
    flag(J.SuppNoBody);                       // 38
    text(ListField(list, J.AbEojMsg, true));  // 39
    num(J.CpuUsage);                          // 40
    flag(J.Critical);                         // 41
    dateVars.put(out, J.DateVars, vars);      // 42
    flag(J.SubmitOnly);                       // 43
    num(J.DeferEojMins);                      // 44
    // One letter per dependency: a blank is a letter there.
    PutField(out, J.RunAfterStatus, false);  // 45
    out += '\t';
    PutField(out, J.RunAfterUnsched, false);  // 46
    out += '\t';
    PutNum(out, J.AutoResched);  // 47
    out += "\t\t\t";             // 48 to 50
    bytes.append(out.data(), static_cast<qsizetype>(out.size()));
}

QString ScheduleLine(const JobRec& J) {
    QByteArray bytes;
    AppendScheduleLine(bytes, J);
    return QString::fromUtf8(bytes);
}

namespace {
bool ParseLine(QStringView Line, QChar Sep, JobRec* J, QString* error, const JobRec* Like,
               std::vector<QString>& unescaped);
}  // namespace

bool ParseScheduleLine(const QString& Line, QChar Sep, JobRec* J, QString* error, const JobRec* Like) {
    std::vector<QString> unescaped;
    return ParseLine(Line, Sep, J, error, Like, unescaped);
}

namespace {

// The column count and the job name's width, checked before any column is
// read.
bool CheckColumns(const FieldViews& f, QString* error) {
    // A line that is not a job (a stray text, a line cut short or run
    // together with the next) must not be taken for one.
    const qsizetype count = f.views.size();
    if (count < kScheduleColumns) {
        *error = QStringLiteral("column %1: the line ends after %2 of its %3 columns")
                     .arg(count + 1)
                     .arg(count)
                     .arg(kScheduleColumns);
        return false;
    }
    if (count > kScheduleColumns) {
        *error = QStringLiteral("column %1: the line has %2 columns, not %3")
                     .arg(kScheduleColumns + 1)
                     .arg(count)
                     .arg(kScheduleColumns);
        return false;
    }
    if (const QStringView name = f.views[0].trimmed(); name.size() > kJobNameWidth) {
        *error = QStringLiteral("column 1: the job name \"%1\" is longer than %2 characters")
                     .arg(name.toString())
                     .arg(kJobNameWidth);
        return false;
    }
    return true;
}

// Reads the columns of one split line into a job. A text that equals the one
// of the job before (Like) shares its characters.
struct LineReader {
    const FieldViews& f;
    JobRec* J;
    const JobRec* Like;
    QString* error;
    bool tabFile;

    QStringView col(int c) const { return f.views[c - 1]; }
    void take(QString JobRec::*field, QStringView v) const { Take(J->*field, v, Like ? &(Like->*field) : nullptr); }
    void takeCol(QString JobRec::*field, int c) const { take(field, col(c)); }
    bool readDate(int c, DateVal* out) const;

    bool ReadJobAndDependencies() const;
    bool ReadRunState() const;
    bool ReadMessagesAndOptions() const;
};

bool LineReader::readDate(int c, DateVal* out) const {
    const QStringView t = col(c).trimmed();
    if (t.isEmpty()) {
        *out = DateVal();
        return true;
    }
    std::optional<DateVal> d = WrittenDate(t);
    if (!d) d = ParseDate(t.toString());
    if (!d) {
        *error = QStringLiteral("column %1: \"%2\" is not a date").arg(QString::number(c), t.toString());
        return false;
    }
    *out = *d;
    return true;
}

// Columns 1 to 7: the job, its command, times and dependencies.
bool LineReader::ReadJobAndDependencies() const {
    take(&JobRec::JobName, Fixed(col(1), kJobNameWidth));
    takeCol(&JobRec::CommandLine, 2);
    if (!tabFile) J->CommandLine.replace(QLatin1Char('%'), kComma);
    take(&JobRec::EarlyStartText, Fixed(col(3), kEarlyStartWidth));
    takeCol(&JobRec::Frequency, 4);
    takeCol(&JobRec::Exclusive, 5);
    take(&JobRec::SkipOn, Fixed(col(6), kSkipOnWidth));

    // Dependencies: the first empty item ends the list (so does the trailing
    // comma). Older comma-separated files separate the names by blanks.
    QString commaDeps;
    QStringView deps = col(7);
    if (tabFile) {
        deps = deps.trimmed();
    } else {
        commaDeps = deps.toString();
        commaDeps.replace(kBlank, kComma);
        deps = commaDeps;
    }
    std::vector<QString> keep;  // takes room only for an item with doubled quotes
    FieldViews items(keep);
    if (SplitViews(deps, kComma, items) != 0) {
        *error = UnclosedQuote(7);
        return false;
    }
    J->RunAfter.clear();
    for (const QStringView item : items.views) {
        const QStringView name = item.trimmed();
        if (name.isEmpty()) break;
        J->RunAfter.append(name.toString());
    }
    return true;
}

// Columns 8 to 22: the run's state as the last save left it.
bool LineReader::ReadRunState() const {
    J->DeferRollover = FlagOf(col(8));
    takeCol(&JobRec::EojTo, 9);
    take(&JobRec::SchedFlag, Fixed(col(10), kSchedFlagWidth));
    J->Killed = FlagOf(col(11));
    if (!readDate(13, &J->Started) || !readDate(14, &J->Completed)) return false;
    J->EndForced = FlagOf(col(15));
    J->ProcInfo.hProcess = NumAs<std::int32_t>(col(16));
    J->ProcInfo.hThread = NumAs<std::int32_t>(col(17));
    J->ProcInfo.dwProcessId = NumAs<std::int32_t>(col(18));
    J->ProcInfo.dwThreadId = NumAs<std::int32_t>(col(19));
    // Only the hour and minute count: they are put on the current run date.
    if (const std::optional<DateVal> at = WrittenDate(col(20).trimmed()))
        J->EarlyStart = TimeOnRunDate(at->hour(), at->minute());
    else
        J->EarlyStart = ParseTimeField(col(20).trimmed().toString());
    J->DosProgram = FlagOf(col(21));
    if (!ReadItems(col(22), &J->EojMsg, Like ? &Like->EojMsg : nullptr)) {
        *error = UnclosedQuote(22);
        return false;
    }
    return true;
}

// Columns 23 to 47: messages, group, trigger and the job's options.
bool LineReader::ReadMessagesAndOptions() const {
    takeCol(&JobRec::WaitForFile, 23);
    take(&JobRec::Spare24, Fixed(col(24), kSpare24Width));
    J->Spare25 = NumAs<std::int16_t>(col(25));
    J->LastDuration = NumAs<std::int32_t>(col(26));
    if (J->LastDuration == 0) J->LastDuration = 30;
    if (!ReadItems(col(27), &J->EojFlags, Like ? &Like->EojFlags : nullptr)) {
        *error = UnclosedQuote(27);
        return false;
    }
    // The abnormal ending's flags are most often the normal ending's.
    if (!ReadItems(col(28), &J->AbEojFlags, &J->EojFlags)) {
        *error = UnclosedQuote(28);
        return false;
    }
    takeCol(&JobRec::EojCc, 29);
    take(&JobRec::Group, Fixed(col(30), kGroupWidth));
    if (J->Group.trimmed().isEmpty()) J->Group = QStringLiteral("General");
    take(&JobRec::TriggerFile, Fixed(col(31), kTriggerFileWidth));
    J->DelWaitFile = FlagOf(col(32));
    take(&JobRec::JobDesc, Fixed(col(33), kJobDescWidth));
    J->Spare34 = NumAs<std::int32_t>(col(34));
    takeCol(&JobRec::AbEojTo, 35);
    takeCol(&JobRec::AbEojCc, 36);
    J->SuppNoBody = FlagOf(col(38));
    if (!ReadItems(col(39), &J->AbEojMsg, Like ? &Like->AbEojMsg : nullptr)) {
        *error = UnclosedQuote(39);
        return false;
    }
    J->CpuUsage = NumAs<std::int16_t>(col(40));
    J->Critical = FlagOf(col(41));
    // Date variables are most often the defaults.
    if (!ReadItems(col(42), &J->DateVars, Like ? &Like->DateVars : &gDefDateVars, gListComma)) {
        *error = UnclosedQuote(42);
        return false;
    }
    J->SubmitOnly = FlagOf(col(43));
    J->DeferEojMins = NumAs<std::int16_t>(col(44));
    takeCol(&JobRec::RunAfterStatus, kRunAfterStatusColumn);
    if (J->RunAfterStatus.contains(QLatin1Char('1'))) J->RunAfterStatus.replace(QLatin1Char('1'), QLatin1Char('U'));
    const QStringView flags = col(kRunAfterUnschedColumn);
    if (flags.size() == J->RunAfterStatus.size())
        take(&JobRec::RunAfterUnsched, flags);
    else
        J->RunAfterUnsched = flags.toString().leftJustified(J->RunAfterStatus.size(), kBlank, true);
    J->AutoResched = NumAs<std::uint8_t>(col(47));
    return true;
}

// Unescaped fields go to the caller's texts, whose room a load reuses from one
// line to the next.
bool ParseLine(QStringView Line, QChar Sep, JobRec* J, QString* error, const JobRec* Like,
               std::vector<QString>& unescaped) {
    FieldViews f(unescaped);
    if (const int bad = SplitViews(Line, Sep, f); bad != 0) {
        *error = UnclosedQuote(bad);
        return false;
    }
    if (!CheckColumns(f, error)) return false;
    const LineReader read{f, J, Like, error, Sep == kTab};
    return read.ReadJobAndDependencies() && read.ReadRunState() && read.ReadMessagesAndOptions();
}

}  // namespace

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
    // The new schedule is staged under a temporary name of its own first.
    RemoveLeftoverTemps(FolderOf(target), QLatin1Char('.') + FileNameOf(target) + QStringLiteral(".staged.tmp"), 0);

    // PathExists and ReadFileBytes retry a stale handle, and the folder's
    // names are read first so that they lead to the files as they are now: a
    // scheduler started on this computer after it ran on another must not
    // take its schedule for a missing one, nor read an older copy.
    RefreshFolderView(FolderOf(target));
    if (!PathExists(path)) {
        const QString ask =
            QStringLiteral("Schedule file \"") + path + QStringLiteral("\" does not exist.  Do you wish to create it?");
        if (MsgBox(ask, MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes)
            FatalClose(QStringLiteral("Morvenda terminated due to no schedule found"));
        CreateDefaultSchedule();
        G.Jobs = JobTable(1);
    }

    QByteArray bytes;
    if (!ReadFileBytes(path, &bytes)) {
        const QString msg = gPathMsgPrefix + path + kQuote;
        MsgBox(msg, MsgButtons::Ok, MsgIcon::Critical);
        throw FatalStop(msg);
    }

    // Byte 0xFF stands for a double quote in old files; it never occurs in
    // UTF-8, so replacing the byte leaves every UTF-8 character alone.
    if (bytes.contains('\xff')) bytes.replace('\xff', '"');
    qsizetype lineEnds = 0;
    for (const char *p = bytes.cbegin(), *end = bytes.cend();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr; ++p)
        ++lineEnds;

    // The whole table is read before it replaces G.Jobs, so a broken line
    // leaves no half-read schedule behind. Each line is decoded on its own
    // into one buffer (a line that is not UTF-8 is read as Latin-1), and read
    // as views of it: no text of the whole file is made.
    JobTable jobs(1);
    jobs.reserve(static_cast<size_t>(lineEnds) + 2);
    QChar sep = kComma;
    bool firstLineEmpty = false;
    qsizetype lineNo = 0;
    QString buffer;
    std::vector<QString> unescaped;  // ParseLine's texts, their room reused
    const qsizetype n = bytes.size();
    const char* chars = bytes.constData();
    for (qsizetype start = 0; start < n;) {
        qsizetype end = start;
        while (end < n && chars[end] != '\n' && chars[end] != '\r') ++end;
        DecodeLineInto(QByteArrayView(chars + start, end - start), buffer);
        const QStringView line(buffer);
        start = end + (end + 1 < n && chars[end] == '\r' && chars[end + 1] == '\n' ? 2 : 1);
        if (++lineNo == 1) {
            sep = line.contains(kTab) ? kTab : kComma;
            firstLineEmpty = line.trimmed().isEmpty();
        }
        if (line.trimmed().isEmpty()) continue;
        // Read in place, beside the job before, whose texts it may share.
        jobs.emplace_back();
        JobRec& job = jobs.back();
        QString error;
        if (!ParseLine(line, sep, &job, &error, jobs.size() > 2 ? &jobs[jobs.size() - 2] : nullptr, unescaped)) {
            jobs.pop_back();
            // A TAB line read as comma-separated fails for a reason that lies
            // in line 1, not in the line itself: the operator hears which.
            QString why;
            if (sep == kComma && line.contains(kTab))
                why = (firstLineEmpty ? QStringLiteral("  Line 1 is empty") : QStringLiteral("  Line 1 holds no TAB")) +
                      QStringLiteral(
                          ", so the file is read as comma-separated (the first line decides: a TAB in it "
                          "makes the file TAB-separated)") +
                      (firstLineEmpty ? QStringLiteral("; remove the empty first line.") : QStringLiteral("."));
            FatalClose(QStringLiteral("Schedule file \"%1\", line %2, %3.%4  The file has not been changed; "
                                      "correct the line and start again.")
                           .arg(path, QString::number(lineNo), error, why));
        }
        // What the table starts with, set while the record is at hand.
        job.RunsToday = true;
        job.EventIndex = -1;
        job.JobState = jsScheduled;
        DefaultDateVars(job);
    }
    // The file's bytes lie among the jobs' texts now: their pages, and the
    // table's before, are given back rather than kept for the run.
    bytes = QByteArray();

    G.Jobs = std::move(jobs);
    for (int k = 1; k <= JobCount(); ++k) SetJobStatus(k);
    ReportUnknownNames(path);
    ReturnFreeMemory();
}

void ReportUnknownNames(const QString& Path) {
    // A hand-edited file may name what the schedule does not know. The job
    // still behaves as its fields say (such an item selects no date, such a
    // dependency takes no part), but the operator hears of it once, here.
    QStringList notes;
    // Most jobs share their frequency text with the job before (the load
    // shares equal texts): its items are checked once for a run of them.
    QString checked;
    QStringList unknown;
    for (int k = 1; k <= JobCount(); ++k) {
        const JobRec& J = Job(k);
        if (checked != J.Frequency) {
            checked = J.Frequency;
            unknown.clear();
            for (const QStringView item : QStringView(J.Frequency).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (!IsFrequencyItem(item.trimmed())) unknown << item.trimmed().toString();
        }
        for (const QString& item : unknown)
            notes << QStringLiteral("Job %1: frequency item \"%2\" is no keyword or date and selects no day")
                         .arg(J.JobName.trimmed(), item);
        for (const QString& entry : J.RunAfter) {
            if (!QStringView(entry).trimmed().isEmpty() && FindJob(entry) < 1)
                notes << QStringLiteral("Job %1: dependency \"%2\" names no job of the schedule and is passed over")
                             .arg(J.JobName.trimmed(), entry.trimmed());
        }
    }
    if (notes.isEmpty()) return;
    for (const QString& note : notes) WriteLog(G.gLogFile, note);
    // The box lists the first of them; the run log holds them all.
    constexpr qsizetype kShown = 20;
    QStringList shown = notes.mid(0, kShown);
    if (notes.size() > kShown) shown << QStringLiteral("... and %1 more (see the run log)").arg(notes.size() - kShown);
    MsgBox(QStringLiteral("The schedule file \"%1\" names what the schedule does not know:\n\n%2")
               .arg(Path, shown.join(QLatin1Char('\n'))),
           MsgButtons::Ok, MsgIcon::Warning);
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
        const JobRec& J = Job(k);
        for (const QString& dep : J.RunAfter) {
            if (QStringView(dep).trimmed().isEmpty())
                FatalClose(QStringLiteral("Empty RunAfter entry for job ") + J.JobName.trimmed() +
                           QStringLiteral(".  Critical error."));
        }
    }

    QByteArray bytes;
    for (int k = 1; k <= n; ++k) {
        AppendScheduleLine(bytes, Job(k));
        bytes += "\r\n";
        // Room for lines like the first, and some more, at once.
        if (k == 1) bytes.reserve((bytes.size() + bytes.size() / 4 + 64) * n);
    }

    // The new schedule is written whole (every write checked, flushed) to a
    // file of its own first; only when it is complete does the old file
    // become the backup and the new one take its name, so a failure at any
    // point leaves a readable schedule and its backup, and says why.
    // A schedule file that is a symbolic link is saved through it: the file
    // it leads to is replaced, in its own folder, and the link stays.
    const QString path = FollowLinks(G.gSchedFile);
    const QString staged =
        JoinPath(FolderOf(path), QLatin1Char('.') + FileNameOf(path) + QStringLiteral(".staged.tmp"));
    auto dropStaged = [&] { QFile::remove(staged); };
    WithRetry([&](QString* why) { return Writable(path, why); }, dropStaged);
    WithRetry([&](QString* why) { return WriteStaged(path, staged, bytes, why); }, dropStaged);
    if (QFileInfo::exists(path)) {
        const QString backup = ScheduleBackupName(path);
        WithRetry([&](QString* why) { return MakeBackup(path, backup, why); }, dropStaged);
    }
    WithRetry([&](QString* why) { return PutInPlace(staged, path, why); }, dropStaged);
    // The new file's name is on the disk before the run journal, whose
    // records it now holds, is emptied.
    SyncFolder(FolderOf(path));
    EmptyRunJournal();

    UpdateJobIndexFile();
    return true;
}

void CreateDefaultSchedule() {
    G.Jobs = JobTable(2);
    RenameJob(1, QStringLiteral("Dummy"));
    SetJobState(1, jsScheduled);
    JobRec& J = G.Jobs[1];
    J.Group = QStringLiteral("Dummy");
    J.Frequency = QStringLiteral("WorkDays");
    DefaultDateVars(1);
    SaveSchedule();
}
