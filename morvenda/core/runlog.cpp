#include "morvenda/core/runlog.h"

#include "common/clock.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/state.h"

#include <QStringListModel>

#include <exception>
#include <iterator>
#include <utility>
#include <vector>

namespace {

// Writes value over the first occurrence of token at or after `from`, cut to
// the token's length.
void ReplaceToken(QString& path, qsizetype from, const QString& token, const QString& value) {
    const qsizetype p = path.indexOf(token, from);
    if (p < 0) return;
    path.replace(p, token.size(), value.left(token.size()).leftJustified(token.size(), QLatin1Char(' ')));
}

bool WriteLogLine(const QString& LogFile, const QString& Text, QString* fileName, QString* why) {
    const DateVal now = Now();
    *fileName = ExpandDateTokens(LogFile, false, now);
    QString error;
    if (AppendLine(*fileName, RunLogLine(Text, now), &error)) return true;
    // The reason alone: the message names the file itself.
    *why = RightOf(error, QStringLiteral("\": "));
    return false;
}

QString CannotWriteLog(const QString& name, const QString& why) {
    return QStringLiteral("Morvenda Cannot write to file ") + name + QStringLiteral(": ") + why;
}

PendingRunLog& Pending() { return G.RunLogLines; }

[[noreturn]] void CannotWrite(const QString& name, const QString& why) {
    const QString reason = CannotWriteLog(name, why);
    MsgBox(reason, MsgButtons::Ok, MsgIcon::Critical);
    throw FatalStop(reason);
}

}  // namespace

QString ExpandDateTokens(const QString& Path, bool Wildcards, const DateVal& Today) {
    QString path = Path;
    // Only the file part: a token in a folder name stays as it is.
    const qsizetype from = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
    struct Token {
        const char* token;
        const char* mask;
    };
    static const Token tokens[] = {{"yyyy", "yyyy"}, {"yy", "yy"},   {"mmm", "mmm"},
                                   {"mm", "mm"},     {"ddd", "ddd"}, {"dd", "dd"}};
    for (const Token& t : tokens) {
        const QString token = QString::fromLatin1(t.token);
        const QString value =
            Wildcards ? QString(token.size(), QLatin1Char('?')) : FormatDate(Today, QString::fromLatin1(t.mask));
        ReplaceToken(path, from, token, value);
    }
    return path;
}

QString ExpandDateTokens(const QString& Path, bool Wildcards) { return ExpandDateTokens(Path, Wildcards, Now()); }

QString RunLogLine(const QString& Text, const DateVal& At) {
    QString line;
    if (G.gDummyRun) line += QStringLiteral("(Dummy Run) ");
    line += FormatDate(At, G.gDateFmtLong) + QStringLiteral("  ") + FormatDate(At, QStringLiteral("hh:mm:ss"));
    line += QLatin1Char(' ');
    QString text = Text;
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line + text;
}

void WriteLog(const QString& LogFile, const QString& Text) {
    if (LogFile.isEmpty()) return;  // the schedule keeps no run log
    PendingRunLog& p = Pending();
    if (p.depth > 0) {
        const DateVal now = Now();
        if (now.seconds() != p.second || LogFile != p.logFile) {
            p.second = now.seconds();
            p.logFile = LogFile;
            p.expanded = ExpandDateTokens(LogFile, false, now);
        }
        if (p.runs.empty() || p.runs.back().file != p.expanded) p.runs.push_back({p.expanded, {}});
        p.runs.back().lines << RunLogLine(Text, now);
        return;
    }
    QString name;
    QString why;
    if (!WriteLogLine(LogFile, Text, &name, &why)) CannotWrite(name, why);
}

RunLogBatch::RunLogBatch() { ++Pending().depth; }

RunLogBatch::~RunLogBatch() noexcept(false) {
    PendingRunLog& p = Pending();
    // A fresh program state made inside the batch counts no batch alive.
    if (p.depth > 0 && --p.depth > 0) return;
    if (std::uncaught_exceptions() == 0) {
        FlushRunLog();
        return;
    }
    // A stop already unwinds: what can be written is, without a second stop
    // or a second message.
    FlushRunLogQuietly();
}

namespace {

// Appends the waiting lines; false, with the first failing file and its
// reason, when some could not be written (they wait on, first in line).
bool AppendPending(QString* failed, QString* why) {
    PendingRunLog& p = Pending();
    if (p.runs.empty()) return true;
    std::vector<PendingRunLog::Run> runs = std::exchange(p.runs, {});
    std::vector<PendingRunLog::Run> unwritten;
    for (PendingRunLog::Run& r : runs) {
        // One write of all the lines: appends of other programs cannot land
        // inside them.
        QString error;
        if (AppendLine(r.file, r.lines.join(QStringLiteral("\r\n")), &error)) continue;
        if (failed->isEmpty()) {
            *failed = r.file;
            // The reason alone: the message names the file itself.
            *why = RightOf(error, QStringLiteral("\": "));
        }
        unwritten.push_back(std::move(r));
    }
    if (failed->isEmpty()) return true;
    // Lines not written are not lost: they go first at the next write, and
    // nothing that follows them (the run journal's records of what they
    // report) reaches the disk before they do.
    unwritten.insert(unwritten.end(), std::make_move_iterator(p.runs.begin()), std::make_move_iterator(p.runs.end()));
    p.runs = std::move(unwritten);
    return false;
}

}  // namespace

void FlushRunLog() {
    QString failed;
    QString why;
    if (!AppendPending(&failed, &why)) CannotWrite(failed, why);
}

bool FlushRunLogQuietly() {
    QString failed;
    QString why;
    return AppendPending(&failed, &why);
}

void FatalClose(const QString& Reason) {
    const QString closing = QStringLiteral("MRV999 Morvenda closing down");
    // A run log that cannot be written must not hide the reason: the failure
    // is shown once and logging stops, the reason is shown all the same.
    bool logging = !G.gLogFile.isEmpty();
    try {
        FlushRunLog();  // the lines before the reason come before it
    } catch (const FatalStop&) {
        logging = false;
    }
    QString name;
    QString why;
    if (logging && !WriteLogLine(G.gLogFile, Reason, &name, &why)) {
        MsgBox(CannotWriteLog(name, why), MsgButtons::Ok, MsgIcon::Critical);
        logging = false;
    }
    MsgBox(Reason, MsgButtons::Ok, MsgIcon::Critical);
    if (logging) WriteLogLine(G.gLogFile, closing, &name, &why);
    MsgBox(closing, MsgButtons::Ok, MsgIcon::Critical);
    throw FatalStop(Reason);
}

int AddLogListLine(QStringListModel& List, const QString& Text) {
    while (List.rowCount() >= kProgListMax) List.removeRows(0, 1);
    const int row = List.rowCount();
    List.insertRows(row, 1);
    List.setData(List.index(row), Text);
    return row;
}

void AddLogListLine(const QString& Text) {
    if (G.ProgList) AddLogListLine(*G.ProgList, Text);
}

void LogAndList(const QString& LogFile, const QString& Text) {
    WriteLog(LogFile, Text);
    AddLogListLine(Text);
}
