#include "morvenda/core/logview.h"

#include "common/textfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

bool LessNoCase(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// Where a log line's text begins: four characters after the second ":"
// (the one inside the time "hh:mm:ss"); -1 when the line holds no time.
qsizetype TextStart(const QString& Line) {
    const qsizetype first = Line.indexOf(QLatin1Char(':'));
    if (first < 0) return -1;
    const qsizetype second = Line.indexOf(QLatin1Char(':'), first + 1);
    if (second < 0 || second + 4 > Line.size()) return -1;
    return second + 4;
}

bool EndsName(const QString& Text, qsizetype At) {
    if (At >= Text.size()) return true;
    const QChar c = Text.at(At);
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('(');
}

// The event of a job's line: what follows its name and a "(frequency)"
// written right after it, trimmed.
QString EventOf(const QString& Text) {
    qsizetype p = 0;
    while (!EndsName(Text, p)) ++p;
    if (p < Text.size() && Text.at(p) == QLatin1Char('(')) {
        const qsizetype close = Text.indexOf(QLatin1Char(')'), p);
        p = close < 0 ? Text.size() : close + 1;
    }
    return Text.mid(p).trimmed();
}

}  // namespace

QString ExtractName(const QString& LogName) {
    const QString name = FileNameOf(LogName);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name + QLatin1Char('.') : name.left(dot + 1)) + QStringLiteral("tmp");
}

std::vector<LogFileEntry> ListLogFiles() {
    std::vector<LogFileEntry> out;
    if (G.gLogFile.isEmpty()) return out;
    const QString pattern = ExpandDateTokens(G.gLogFile, true);
    const QString folder = FolderOf(pattern);
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(FileNameOf(pattern)),
                                QRegularExpression::CaseInsensitiveOption);
    QStringList names = QDir(folder.isEmpty() ? QStringLiteral(".") : folder).entryList(QDir::Files);
    std::sort(names.begin(), names.end(), LessNoCase);
    for (const QString& name : names) {
        if (!re.match(name).hasMatch()) continue;
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        out.push_back({dot < 0 ? name : name.left(dot), JoinPath(folder, name), JoinPath(folder, ExtractName(name))});
    }
    return out;
}

QStringList LogGroups() {
    QStringList out;
    QSet<QString> seen;
    for (int j = 1; j <= JobCount(); ++j) {
        const QString group = Job(j).Group.trimmed();
        if (!seen.contains(group)) {
            seen.insert(group);
            out << group;
        }
    }
    std::sort(out.begin(), out.end(), LessNoCase);
    return out;
}

QStringList LogJobNames() {
    QStringList out;
    for (int j = 1; j <= JobCount(); ++j) out << Job(j).JobName.trimmed();
    std::sort(out.begin(), out.end(), LessNoCase);
    return out;
}

QStringList GroupJobNames(const QString& Group) {
    QStringList out;
    for (int j = 1; j <= JobCount(); ++j)
        if (Job(j).Group.trimmed() == Group) out << Job(j).JobName.trimmed();
    return out;
}

bool LogLineMatches(const QString& Line, LogSel Sel, const QStringList& Names) {
    if (Sel == LogSel::All) return true;
    const qsizetype start = TextStart(Line);
    if (start < 0) return false;
    const QString text = Line.mid(start);
    if (Sel == LogSel::Failed) {
        const QString event = EventOf(text);
        return event.startsWith(QLatin1String("FAILED"), Qt::CaseInsensitive) ||
               event.startsWith(QLatin1String("SUBMISSION FAILED"), Qt::CaseInsensitive);
    }
    for (const QString& name : Names)
        if (!name.isEmpty() && text.startsWith(name, Qt::CaseInsensitive) && EndsName(text, name.size())) return true;
    return false;
}

bool WriteLogExtract(const QString& LogPath, const QString& ExtractPath, LogSel Sel, const QStringList& Names,
                     QString* Error) {
    QStringList lines;
    if (!ReadTextLines(LogPath, &lines, Error)) return false;
    QStringList kept;
    for (const QString& line : lines)
        if (LogLineMatches(line, Sel, Names)) kept << line;
    return WriteFileAtomic(ExtractPath, EncodeLines(kept), Error);
}

bool DesktopAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
