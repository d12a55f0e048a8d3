#include "morvenda/editing/editcontrols.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"

namespace {

const QChar kQuote = QLatin1Char('"');
const QChar kComma = QLatin1Char(',');
const QChar kBlank = QLatin1Char(' ');

bool InRange(const std::vector<DepRow>& Rows, int Row) { return Row >= 0 && Row < static_cast<int>(Rows.size()); }

}  // namespace

void DepLeftClick(std::vector<DepRow>& Rows, int Row, int Col) {
    if (!InRange(Rows, Row)) return;
    DepRow& r = Rows[static_cast<size_t>(Row)];
    if (Col == 4) {
        if (!r.Wait) return;
        if (r.Unsched)
            r.Unsched = false;
        else if (r.Cond != kCondUncond)
            r.Unsched = true;
        return;
    }
    if (Col == 2 && r.Wait) {
        r.Wait = false;
        r.Cond.clear();
        r.Unsched = false;
        return;
    }
    // The name, group and condition columns are not changed by a left click:
    // it only selects the row.
    if (Col != 2 || r.Wait) return;
    r.Wait = true;
    r.Cond = kCondUncond;
    r.Unsched = false;
}

bool DepCondMenuAllowed(const std::vector<DepRow>& Rows, int Row, int Col) {
    return Col == 3 && InRange(Rows, Row) && Rows[static_cast<size_t>(Row)].Wait;
}

void DepSetCond(std::vector<DepRow>& Rows, int Row, const QString& Cond) {
    if (!InRange(Rows, Row)) return;
    Rows[static_cast<size_t>(Row)].Cond = Cond;
    Rows[static_cast<size_t>(Row)].Unsched = false;
}

void DepCandidates(std::vector<DepRow>& Rows, const QStringList& OwnNames, bool AllGroups, const QString& Group) {
    QSet<QString> listed;
    for (const QString& own : OwnNames) listed.insert(own.trimmed().toUpper());
    for (const DepRow& r : Rows) listed.insert(r.Name.trimmed().toUpper());
    for (int j = 1; j <= JobCount(); ++j) {
        const JobRec& J = Job(j);
        const QString key = J.JobName.trimmed().toUpper();
        if (key.isEmpty() || listed.contains(key)) continue;
        listed.insert(key);
        Rows.push_back(DepRow{J.JobName.trimmed(), J.Group.trimmed(), false, QString(), false});
    }
    if (AllGroups) return;
    const QString group = Group.trimmed();
    std::erase_if(Rows, [&group](const DepRow& r) { return !r.Wait && r.Group.trimmed() != group; });
}

std::array<bool, 5> EojLineEnabled(const EojLine& Line) {
    const bool isFile = !Line.Text.trimmed().isEmpty();
    const bool fileOptions = isFile && Line.IsFile;
    return {isFile, fileOptions, fileOptions, fileOptions && !Line.Attach, fileOptions};
}

bool ReschedEnabled(bool SubmitOnly, bool DeferRollover) { return !SubmitOnly && !DeferRollover; }

bool CompletionChecksEnabled(int Resched) { return Resched == 0; }

QChar NameKeyFilter(QChar Key) {
    static const QString refused = QStringLiteral(" /,\"'()") + gListComma;
    return refused.contains(Key) ? QChar(0) : Key;
}

QChar MessageKeyFilter(QChar Key) { return Key == kQuote || Key == kComma ? QChar(0) : Key; }

QChar CommaToBlankFilter(QChar Key) { return Key == kComma ? kBlank : Key; }

QString RelDaySelect(const QString& Keyword, const std::function<void()>& PickDate) {
    QString result = RelDayInput(Keyword);
    if (result.isEmpty()) return QString();
    const qsizetype ddd = result.indexOf(QLatin1String("ddd"));
    if (ddd >= 0) {
        static const QString days = QStringLiteral(" MON TUE WED THU FRI SAT SUN ");
        for (;;) {
            const QString answer =
                prompter()
                    .input(QStringLiteral("Please enter 3 character day name"), QStringLiteral("Day Name Input"))
                    .trimmed()
                    .toUpper();
            if (answer.isEmpty()) return QString();
            // Exactly one day name: "MON TUE" or "ON" would also occur in
            // the list of names.
            if (answer.size() == 3 && days.contains(kBlank + answer + kBlank)) {
                result.replace(ddd, 3, answer.left(1) + answer.mid(1).toLower());
                break;
            }
        }
    }
    if (result == QLatin1String("Selected Date")) {
        G.gDateSelText.clear();
        if (PickDate) PickDate();
        const std::optional<DateVal> picked = ParseDate(G.gDateSelText.trimmed());
        return picked ? FrequencyDateItem(*picked) : QString();
    }
    return result;
}

QString AppendFrequency(const QString& Frequency, const QString& Item) { return (Frequency + kBlank + Item).trimmed(); }

QStringList RelDayCodes() {
    return {QStringLiteral("RunDate"),  QStringLiteral("-nWDOM"),   QStringLiteral("+nWDOM"),
            QStringLiteral("-nCDOM"),   QStringLiteral("+nCDOM"),   QStringLiteral("-nRUND"),
            QStringLiteral("+nRUND"),   QStringLiteral("RUND-nWD"), QStringLiteral("RUND+nWD"),
            QStringLiteral("RUND-nCD"), QStringLiteral("RUND+nCD")};
}

bool RelMonthShown(const QString& RelDay) {
    return RelDay.trimmed().endsWith(QLatin1String("DOM"), Qt::CaseInsensitive);
}

QStringList DateVarProblems(const DateVarParams& P, QString* Focus) {
    QStringList out;
    if (P.Format.trimmed().isEmpty()) {
        out << QStringLiteral("No format string specified");
        *Focus = QStringLiteral("txtFormat");
    }
    if (P.RelDay.trimmed().isEmpty()) {
        out << QStringLiteral("No Relative Day in Month specified");
        *Focus = QStringLiteral("txtRelDIM");
    }
    if (P.Name.trimmed().isEmpty()) {
        out << QStringLiteral("No Variable Name specified");
        *Focus = QStringLiteral("txtName");
    }
    return out;
}

CmdParts SplitCmdLine(const QString& CmdLine) {
    CmdParts parts;
    const QString text = CmdLine.trimmed();
    if (text.isEmpty()) return parts;
    parts.Program = GetLineField(text, 1, kQuote, kBlank);
    const QString padded = text + kBlank;
    // A quoted program may hold blanks: its parameters start after the first
    // blank behind the closing quote.
    const qsizetype from = text.startsWith(kQuote) ? parts.Program.size() + 1 : 0;
    const qsizetype blank = padded.indexOf(kBlank, from);
    parts.Params = padded.mid(blank + 1).trimmed();
    return parts;
}

QString BrowsedCmdLine(const QString& FileName, const QString& Params) {
    if (!FileName.contains(QLatin1Char('/'))) return QString();
    QString program = FileName.trimmed();
    if (program.contains(kBlank)) program = AddQuotes(program);
    return (program + kBlank + Params).trimmed();
}

bool NeedsCommandProcessor(const QString& CmdLine) {
    // The program's own extension only: "user@corp.com" among the
    // parameters says nothing about the program.
    return QFileInfo(SplitCmdLine(CmdLine).Program).suffix().compare(QLatin1String("com"), Qt::CaseInsensitive) == 0;
}

QString EditCaption(const QString& JobName) {
    return JobName.isEmpty() ? QStringLiteral("Edit Job") : QStringLiteral("Edit Job - ") + JobName;
}

QStringList AddressBookEntries(const QString& Folder) {
    QStringList out;
    if (Folder.trimmed().isEmpty()) return out;
    QStringList names = QDir(Folder.trimmed()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : names) {
        if (!file.endsWith(QLatin1String(".adr"), Qt::CaseInsensitive) || file.size() <= 4) continue;
        QStringList lines;
        if (!ReadTextLines(JoinPath(Folder.trimmed(), file), &lines) || lines.isEmpty()) continue;
        out << file.chopped(4).toUpper() + QLatin1Char('(') + GetLineField(lines.first(), 2, kQuote, kComma) +
                   QLatin1Char(')');
    }
    return out;
}

AddressPreselection PreselectAddresses(const QStringList& Entries, const QString& Selection) {
    AddressPreselection out;
    for (int k = 1;; ++k) {
        const QString name = GetLineField(Selection, k, kQuote, kComma).trimmed();
        if (name.isEmpty()) break;
        bool found = false;
        for (int e = 0; e < Entries.size(); ++e) {
            if (LeftOf(Entries.at(e), QStringLiteral("(")).toUpper() == name.toUpper()) {
                if (std::find(out.Selected.begin(), out.Selected.end(), e) == out.Selected.end())
                    out.Selected.push_back(e);
                found = true;
                break;
            }
        }
        if (!found) out.Missing << name;
    }
    return out;
}

QString SelectedAddresses(const QStringList& Entries, const std::vector<int>& Selected) {
    std::vector<int> sorted = Selected;
    std::sort(sorted.begin(), sorted.end());
    QStringList names;
    for (const int e : sorted) {
        if (e >= 0 && e < Entries.size()) names << LeftOf(Entries.at(e), QStringLiteral("("));
    }
    return names.join(kComma);
}

bool IncludeFileNameValid(const QString& FileName) {
    const QString name = FileName.trimmed();
    if (name.size() < 4 || !OnFixedDrive(name)) return false;
    // The wildcards stand for any name: only the folder must exist.
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    QString plain = name;
    for (qsizetype i = slash + 1; i < plain.size(); ++i) {
        if (plain[i] == QLatin1Char('*') || plain[i] == QLatin1Char('?')) plain[i] = QLatin1Char('x');
    }
    return ValidFilePath(plain);
}
