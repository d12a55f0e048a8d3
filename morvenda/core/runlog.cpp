#include "morvenda/core/runlog.h"

#include "common/clock.h"
#include "common/fatal.h"
#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/state.h"

#include <QStringListModel>

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
    QString name;
    QString why;
    if (WriteLogLine(LogFile, Text, &name, &why)) return;
    const QString reason = CannotWriteLog(name, why);
    MsgBox(reason, MsgButtons::Ok, MsgIcon::Critical);
    throw FatalStop(reason);
}

void FatalClose(const QString& Reason) {
    const QString closing = QStringLiteral("MRV999 Morvenda closing down");
    // A run log that cannot be written must not hide the reason: the failure
    // is shown once and logging stops, the reason is shown all the same.
    bool logging = !G.gLogFile.isEmpty();
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
