#include "morvenda/editing/jobedit.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "common/checks.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobdoc.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"

namespace {

const QChar kQuote = QLatin1Char('"');
const QChar kComma = QLatin1Char(',');
const QChar kBlank = QLatin1Char(' ');

// Characters the name and group boxes refuse: they would break the schedule
// file's lists or the grid's group filter.
const QString kNameRefused = QStringLiteral(" /,\"'()") + gListComma;

// The largest count the record's 16-bit fields hold.
constexpr double kMaxCount = kInt16Max;

QString FirstRefused(const QString& Text) {
    for (const QChar c : Text) {
        if (kNameRefused.contains(c) || c.unicode() < 0x20) return QString(c);
    }
    return QString();
}

// The numeric value of a text as the editor reads its number boxes: the
// leading decimal number ("2.5abc" is 2.5); a text that is no number is 0.
double LeadingNumber(const QString& Text, bool* isNumber = nullptr) {
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = re.match(Text);
    if (isNumber) *isNumber = m.hasMatch();
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

// Rounded half to even, as the record's 16-bit numbers are stored.
std::int16_t Count16(const QString& Text) {
    const double v = std::nearbyint(LeadingNumber(Text));
    return static_cast<std::int16_t>(std::clamp(v, -32768.0, kMaxCount));
}

// A count box holds a number from 0 to 32767 (or nothing).
bool CountInRange(const QString& Text, bool digitsOnly) {
    const QString t = Text.trimmed();
    if (t.isEmpty()) return true;
    if (digitsOnly) {
        for (const QChar c : t) {
            if (!c.isDigit()) return false;
        }
    }
    bool isNumber = false;
    const double v = std::nearbyint(LeadingNumber(t, &isNumber));
    return !isNumber || (v >= 0 && v <= kMaxCount);
}

QString CondWord(QChar Letter) {
    switch (Letter.toUpper().unicode()) {
        case u'S':
            return kCondSuccess;
        case u'F':
            return kCondFailure;
        case u'U':
            return kCondUncond;
        default:
            return QString();
    }
}

QString Fixed(const QString& Text, int Width) { return Text.trimmed().left(Width).trimmed(); }

QString Flags(const EojLine& L) {
    QString f;
    for (const bool b : {L.IsFile, L.VarSub, L.Attach, L.Filter, L.Delete})
        f += b ? QLatin1Char('1') : QLatin1Char('0');
    return f;
}

std::function<void(const QString&, const QString&)>& DocRenamer() {
    static std::function<void(const QString&, const QString&)> fn;
    return fn;
}

}  // namespace

QStringList TriggerListLines(bool* Read) {
    QStringList lines;
    const bool read =
        !G.gJobIndexFile.isEmpty() && IsRegularFile(G.gJobIndexFile) && ReadTextLines(G.gJobIndexFile, &lines);
    if (Read) *Read = read;
    return read ? lines : QStringList();
}

QString TriggerEntryFor(const QStringList& Lines, const QString& WaitForFile) {
    const QString wanted = WaitForFile.mid(2).trimmed().toUpper();
    for (qsizetype k = Lines.size() - 1; k >= 0; --k) {
        if (LeftOf(Lines.at(k), QStringLiteral(" ")).toUpper() == wanted) return Lines.at(k);
    }
    return QString();
}

std::array<FreqKeyword, 22> FrequencyKeywords() {
    auto k = [](const char* w, const QString& d) { return FreqKeyword{QLatin1String(w), d}; };
    return {k("Daily", QStringLiteral("Every day, no exceptions")),
            k("Weekdays", QStringLiteral("Monday to Friday, excl non-working days")),
            k("Weekdays+", QStringLiteral("Days following WeekDays")),
            k("Weekdays-", QStringLiteral("Days preceding WeekDays")),
            k("Workdays", QStringLiteral("Configured as ") + G.gWorkdays + QStringLiteral(", excl non-working days")),
            k("Workdays+", QStringLiteral("Days following WorkDays")),
            k("Workdays-", QStringLiteral("Days preceding WorkDays")),
            k("Weekends", QStringLiteral("Saturday & Sunday")),
            k("+nCDOM", QStringLiteral("nth Calendar day in month")),
            k("-nCDOM", QStringLiteral("nth Calendar day from end of month")),
            k("+nWDOM", QStringLiteral("nth Working day in month")),
            k("-nWDOM", QStringLiteral("nth Working from end of month")),
            k("+nddd", QStringLiteral("nth specified day in month (e.g. 3rd Tuesday)")),
            k("-nddd", QStringLiteral("nth specified day from end of month (e.g. 3rd Tuesday from end of month)")),
            k("Mon", QStringLiteral("Every Monday")),
            k("Tue", QStringLiteral("Every Tuesday")),
            k("Wed", QStringLiteral("Every Wednesday")),
            k("Thu", QStringLiteral("Every Thursday")),
            k("Fri", QStringLiteral("Every Friday")),
            k("Sat", QStringLiteral("Every Saturday")),
            k("Sun", QStringLiteral("Every Sunday")),
            k("Selected Date", QStringLiteral("Once, on a specified Date"))};
}

QString JobEdit::SkipOn() const {
    return SkipOnIndex >= 0 && SkipOnIndex < SkipOnList.size() ? SkipOnList.at(SkipOnIndex) : QString();
}

QString SkipOnDateEntry(const QString& SkipOn) {
    if (ParseDate(SkipOn.trimmed())) return SkipOn.trimmed();
    return FormatDate(G.gRunDate, G.gDateFmt);
}

VarRow VarRowOf(const QString& Definition) {
    return VarRow{GetLineField(Definition, 1, kQuote, kComma), GetLineField(Definition, 2, kQuote, kComma),
                  GetLineField(Definition, 3, kQuote, kComma), GetLineField(Definition, 4, kQuote, kComma)};
}

namespace {

// The two end-of-job messages, their flags read as ticks.
void LoadEojParts(const JobRec& J, JobEdit& E, QStringList& corrected) {
    const std::array<const std::array<QString, 5>*, 2> msgs{&J.EojMsg, &J.AbEojMsg};
    const std::array<const std::array<QString, 5>*, 2> flags{&J.EojFlags, &J.AbEojFlags};
    const std::array<QString, 2> partName{QStringLiteral("Normal"), QStringLiteral("Abnormal")};
    for (size_t p = 0; p < 2; ++p) {
        EojPart& part = E.Eoj[p];
        part.Subject = (*msgs[p])[0];
        for (size_t k = 0; k < 4; ++k) {
            EojLine& L = part.Lines[k];
            L.Text = (*msgs[p])[k + 1];
            const QString f = (*flags[p])[k + 1];
            std::array<bool*, 5> bits{&L.IsFile, &L.VarSub, &L.Attach, &L.Filter, &L.Delete};
            for (int b = 0; b < 5; ++b) {
                const int v = b < f.size() && f[b].isDigit() ? f[b].digitValue() : 0;
                *bits[static_cast<size_t>(b)] = v != 0;
                if (v > 1)
                    corrected << partName[p] + QStringLiteral(" EOJ body line ") + QString::number(k + 1) +
                                     QStringLiteral(" flag ") + QString::number(b + 1) + QStringLiteral(": ") +
                                     QString::number(v) + QStringLiteral(" shown as 1");
            }
        }
    }
    E.Eoj[0].To = J.EojTo;
    E.Eoj[0].Cc = J.EojCc;
    E.Eoj[1].To = J.AbEojTo;
    E.Eoj[1].Cc = J.AbEojCc;
}

void LoadDependencies(const JobRec& J, JobEdit& E, QStringList& corrected) {
    // Dependencies. An empty entry is dropped with a warning: stopping the
    // program here would lose the grid's unsaved edits.
    int missingAnswer = 0;  // 0 not asked, 1 keep, 2 drop
    bool emptyEntry = false;
    for (qsizetype i = 0; i < J.RunAfter.size(); ++i) {
        const QString name = J.RunAfter.at(i).trimmed();
        if (name.isEmpty()) {
            emptyEntry = true;
            continue;
        }
        const int k = FindJob(name);
        if (k == 0) {
            if (missingAnswer == 0)
                missingAnswer = MsgBox(QStringLiteral("Job has one or more dependencies on jobs which no longer "
                                                      "exist.  Do you wish to keep them?"),
                                       MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes
                                    ? 1
                                    : 2;
            if (missingAnswer == 2) continue;
        }
        DepRow row;
        row.Name = name;
        row.Group = k > 0 ? Job(k).Group.trimmed() : QString();
        row.Wait = true;
        const QChar letter = i < J.RunAfterStatus.size() ? J.RunAfterStatus.at(i) : kBlank;
        row.Cond = CondWord(letter);
        if (row.Cond.isEmpty()) {
            corrected << QStringLiteral("condition \"") + QString(letter).trimmed() + QStringLiteral("\" of ") + name +
                             QStringLiteral(" shown as Uncond");
            row.Cond = kCondUncond;
        }
        row.Unsched = i < J.RunAfterUnsched.size() && J.RunAfterUnsched.at(i).toUpper() == QLatin1Char('Y');
        E.Deps.push_back(row);
    }
    if (emptyEntry)
        MsgBox(QStringLiteral("Empty dependency entry of job ") + J.JobName.trimmed() + QStringLiteral(" dropped."),
               MsgButtons::Ok, MsgIcon::Warning);
}

// The trigger the job raises and the one it waits for.
void LoadTriggerAndWait(const JobRec& J, JobEdit& E) {
    const QString t = J.TriggerFile.trimmed();
    if (t == gStdTrigger)
        E.Trigger = tkInterschedule;
    else if (!t.isEmpty()) {
        E.Trigger = tkExternal;
        E.ExtTrigFile = t;
    }

    const QString w = J.WaitForFile.left(2).trimmed();
    bool listRead = false;
    E.TriggerList = TriggerListLines(&listRead);
    if (w == QLatin1String("..")) {
        E.Wait = wkInterschedule;
        E.TriggerEntry = TriggerEntryFor(E.TriggerList, J.WaitForFile);
        // The wait is dropped in the editor only: the record keeps it until
        // the job is saved, so Cancel leaves it as it was. Without a list to
        // read the wait stays, with no job chosen, for the checks to decide.
        if (E.TriggerEntry.isEmpty() && listRead) {
            MsgBox(QStringLiteral("Cannot find job \"") + J.WaitForFile.mid(2) +
                   QStringLiteral("\" in interschedule dependency list.  Dependency dropped."));
            E.Wait = wkNone;
        }
    } else if (!w.isEmpty()) {
        E.Wait = wkExternal;
        E.WaitForFile = J.WaitForFile.trimmed();
    }
}

}  // namespace

JobEdit LoadJobEdit(int JobIndex) {
    JobEdit E;
    if (JobIndex < 0 || JobIndex > JobCount()) return E;
    const JobRec& J = Job(JobIndex);
    QStringList corrected;

    for (int i = 1; i <= JobCount(); ++i) {
        const QString g = Job(i).Group.trimmed();
        if (!E.Groups.contains(g)) E.Groups.append(g);
    }
    E.Group = J.Group.trimmed();
    if (E.Group.isEmpty() && E.Groups.size() == 1) E.Group = E.Groups.first();

    E.JobName = J.JobName.trimmed();
    E.CmdLine = J.CommandLine.trimmed();
    E.WasNullJob = E.CmdLine.isEmpty();
    E.DosProgram = J.DosProgram;
    E.SubmitOnly = J.SubmitOnly;
    E.Time = J.EarlyStartText.trimmed();
    E.Frequency = J.Frequency.trimmed();
    E.Exclusive = J.Exclusive.trimmed();
    E.DeferRollover = J.DeferRollover;

    E.SkipOnList = QStringList{QString(), SkipOnDateEntry(J.SkipOn), gSkipKeyword, QStringLiteral("Other Date")};
    for (int k = 0; k <= 2; ++k) {
        if (E.SkipOnList.at(k).trimmed() == J.SkipOn.trimmed()) E.SkipOnIndex = k;
    }

    LoadEojParts(J, E, corrected);

    LoadDependencies(J, E, corrected);

    E.DeferEojBy = J.DeferEojMins == 0 ? QString() : QString::number(J.DeferEojMins);
    E.SuppNoBody = J.SuppNoBody;
    E.Critical = J.Critical;
    E.Resched = J.AutoResched;
    if (E.Resched > 3) {
        corrected << QStringLiteral("Reschedule on Completion ") + QString::number(E.Resched) +
                         QStringLiteral(" shown as 3 (Failure)");
        E.Resched = 3;
    }
    E.CpuUsage = QString::number(J.CpuUsage);

    LoadTriggerAndWait(J, E);
    E.DelTrigger = J.DelWaitFile;
    E.JobDesc = J.JobDesc.trimmed();

    for (size_t k = 0; k < 7; ++k) E.Vars[k] = VarRowOf(J.DateVars[k]);

    if (!corrected.isEmpty())
        MsgBox(QStringLiteral("Values out of range in the schedule file are shown corrected, and saved so when the "
                              "job is saved:\n") +
                   corrected.join(QLatin1Char('\n')),
               MsgButtons::Ok, MsgIcon::Warning);
    return E;
}

std::vector<EditIssue> CheckJobEdit(const JobEdit& E, int CurJob) {
    std::vector<EditIssue> out;
    auto add = [&out](int step, EditIssue::Kind kind, int page, const char* field, const QString& message,
                      const QString& title = QString()) {
        out.push_back(EditIssue{kind, step, page, QLatin1String(field), message, title});
    };
    const auto Error = EditIssue::Error;
    const auto Warning = EditIssue::Warning;
    const auto Daily = EditIssue::DailyQuestion;

    const QString group = E.Group.trimmed();
    const QString name = E.JobName.trimmed();
    const bool nullJob = E.CmdLine.trimmed().isEmpty();
    const bool hasDaily = E.Frequency.contains(QLatin1String("Daily"));

    if (group.isEmpty())
        add(1, Error, pgSubmission, "cboGroup", QStringLiteral("Group Name not entered"));
    else if (group.size() > kGroupWidth)
        add(1, Error, pgSubmission, "cboGroup", QStringLiteral("Group Name is longer than 8 characters"));
    else if (!FirstRefused(group).isEmpty())
        add(1, Error, pgSubmission, "cboGroup",
            QStringLiteral("Group Name may not contain \"") + FirstRefused(group) + QLatin1Char('"'));

    if (name.isEmpty())
        add(2, Error, pgSubmission, "txtJobName", QStringLiteral("Job Name not entered"));
    else if (name.size() > kJobNameWidth)
        add(2, Error, pgSubmission, "txtJobName", QStringLiteral("Job Name is longer than 8 characters"));
    else if (!FirstRefused(name).isEmpty())
        add(2, Error, pgSubmission, "txtJobName",
            QStringLiteral("Job Name may not contain \"") + FirstRefused(name) + QLatin1Char('"'));

    // Every other job counts, not only the first of that name: a schedule
    // edited by hand may already hold the name twice.
    if (!name.isEmpty()) {
        for (int k = 1; k <= JobCount(); ++k) {
            if (k != CurJob && SameText(Job(k).JobName.trimmed(), name)) {
                add(3, Error, pgSubmission, "txtJobName", QStringLiteral("Duplicate Job Name"));
                break;
            }
        }
    }

    if (nullJob && !E.WasNullJob)
        add(4, Warning, pgSubmission, "", QStringLiteral("Warning:  Empty command line will generate a null job"));

    if (!E.Time.trimmed().isEmpty()) {
        if (!MatchCharMask(E.Time, QStringLiteral("00:00")))
            add(5, Error, pgTiming, "txtTime",
                QStringLiteral("Invalid earliest Start Time. Must be empty or \"nn:nn\""));
        else if (E.Time.left(2).toInt() > 23 || E.Time.mid(3, 2).toInt() > 59)
            add(5, Error, pgTiming, "txtTime", QStringLiteral("Earliest Start Time is not a valid time value"));
    }

    if (nullJob && E.Trigger != tkNone && !hasDaily)
        add(7, Daily, pgTiming, "txtFrequency",
            QStringLiteral("Null job creating trigger file - Daily frequency recommended.  Change to \"Daily\"?"));

    if (E.Wait == wkExternal) {
        if (E.WaitForFile.trimmed().isEmpty())
            add(8, Error, pgDependencies, "txtWaitForFile", QStringLiteral("External trigger file not specified"));
        else if (E.WaitForFile.contains(QLatin1String("..")))
            add(8, Error, pgDependencies, "txtWaitForFile",
                QStringLiteral("External trigger file specification contains invalid characters"));
    }
    if (E.Wait == wkInterschedule && E.TriggerEntry.isEmpty())
        add(9, Error, pgDependencies, "cboTriggers", QStringLiteral("Interschedule prerequisite job not selected"));
    if (nullJob && E.Wait == wkInterschedule && !hasDaily)
        add(10, Daily, pgTiming, "txtFrequency",
            QStringLiteral("Null job with interschedule dependency - Daily frequency recommended.  Change to "
                           "\"Daily\"?"));

    const std::array<const char*, 2> firstLine{"txtNEOJMsgCont_0", "txtAEOJMsgCont_0"};
    const std::array<QString, 2> what{QStringLiteral("EOJ Email"), QStringLiteral("Abnormal EOJ Email")};
    for (size_t p = 0; p < 2; ++p) {
        const EojPart& part = E.Eoj[p];
        QString M = part.Subject.trimmed();
        for (const EojLine& L : part.Lines) M += L.Text.trimmed();
        const QString A = part.To.trimmed() + part.Cc.trimmed();
        const int page = p == 0 ? pgNormalEoj : pgAbnormalEoj;
        if (!A.isEmpty() && M.isEmpty())
            add(11 + static_cast<int>(p), Error, page, firstLine[p],
                QStringLiteral("Address specified but no message contents for ") + what[p],
                QStringLiteral("No Message"));
        else if (part.To.trimmed().isEmpty() && !M.isEmpty())
            add(11 + static_cast<int>(p), Warning, page, "",
                QStringLiteral("Warning no \"To\" address on ") + what[p] + QLatin1Char('.'),
                QStringLiteral("No Email Address"));
    }

    // What the key filters keep out of the boxes can still be pasted in.
    if (!CountInRange(E.CpuUsage, false))
        add(13, Error, pgSubmission, "txtCPUUsage", QStringLiteral("CPU Usage must be a number from 0 to 32767"));
    if (!CountInRange(E.DeferEojBy, true))
        add(14, Error, pgNormalEoj, "txtDeferEOJMsgBy",
            QStringLiteral("Defer EOJ message by (mins) must be a number from 0 to 32767"));
    const std::array<QString, 2> prefix{QStringLiteral("txtNEOJMsg"), QStringLiteral("txtAEOJMsg")};
    const std::array<QString, 2> title{QStringLiteral("Normal EOJ"), QStringLiteral("Abnormal EOJ")};
    for (size_t p = 0; p < 2; ++p) {
        const int page = p == 0 ? pgNormalEoj : pgAbnormalEoj;
        auto bad = [](const QString& s) { return s.contains(kComma) || s.contains(kQuote); };
        QString field;
        QString where;
        if (bad(E.Eoj[p].Subject)) {
            field = prefix[p] + QStringLiteral("Subj");
            where = QStringLiteral("subject");
        } else {
            for (size_t k = 0; k < 4 && field.isEmpty(); ++k) {
                if (bad(E.Eoj[p].Lines[k].Text)) {
                    field = prefix[p] + QStringLiteral("Cont_") + QString::number(k);
                    where = QStringLiteral("body line ") + QString::number(k + 1);
                }
            }
        }
        if (!field.isEmpty())
            out.push_back(EditIssue{Error, 15 + static_cast<int>(p), page, field,
                                    title[p] + QStringLiteral(" message ") + where +
                                        QStringLiteral(" may not contain a comma or a double quote"),
                                    QString()});
    }
    return out;
}

std::optional<EditIssue> ValidJobEdit(JobEdit& E, int CurJob, const std::function<void(int)>& ShowPage) {
    int done = 0;  // steps already reported
    std::vector<EditIssue> issues = CheckJobEdit(E, CurJob);
    for (size_t i = 0; i < issues.size(); ++i) {
        const EditIssue issue = issues[i];
        if (issue.Step < done) continue;
        switch (issue.kind) {
            case EditIssue::Error:
                MsgBox(issue.Message, MsgButtons::Ok, MsgIcon::Critical, issue.Title);
                return issue;
            case EditIssue::Warning:
                if (issue.Step == 4 && ShowPage) ShowPage(issue.Page);
                MsgBox(issue.Message, MsgButtons::Ok, MsgIcon::Warning, issue.Title);
                break;
            case EditIssue::DailyQuestion:
                if (MsgBox(issue.Message, MsgButtons::YesNo, MsgIcon::Question, issue.Title) == MsgAnswer::Yes) {
                    E.Frequency = QStringLiteral("Daily");
                    // The new frequency may settle later questions: check again
                    // from the next step on.
                    done = issue.Step + 1;
                    issues = CheckJobEdit(E, CurJob);
                    i = static_cast<size_t>(-1);
                    continue;
                }
                break;
        }
    }
    return std::nullopt;
}

void ApplyJobEdit(const JobEdit& E, JobRec& J) {
    J.Group = Fixed(E.Group, kGroupWidth);
    J.JobName = Fixed(E.JobName, kJobNameWidth).toUpper();
    J.CommandLine = E.CmdLine.trimmed();
    J.DosProgram = E.DosProgram;
    J.SubmitOnly = E.SubmitOnly;
    J.EarlyStartText = Fixed(E.Time, kEarlyStartWidth);
    J.Frequency = E.Frequency.trimmed();
    J.Exclusive = E.Exclusive.trimmed();
    J.SkipOn = Fixed(E.SkipOn(), kSkipOnWidth);
    J.DeferRollover = E.DeferRollover;
    J.Critical = E.Critical;
    J.AutoResched = static_cast<std::uint8_t>(std::clamp(E.Resched, 0, 3));

    // Ticked rows with a name, in grid order. A missing flag is written "N",
    // never a blank: the schedule file trims its fields, and a blank would
    // shift the later flags onto other dependencies at the next load.
    J.RunAfter.clear();
    J.RunAfterStatus.clear();
    J.RunAfterUnsched.clear();
    for (const DepRow& row : E.Deps) {
        if (!row.Wait || row.Name.trimmed().isEmpty()) continue;
        J.RunAfter.append(row.Name.trimmed());
        const QString cond = row.Cond.trimmed();
        J.RunAfterStatus += cond.isEmpty() ? QStringLiteral("U") : cond.left(1).toUpper();
        J.RunAfterUnsched += row.Unsched ? QLatin1Char('Y') : QLatin1Char('N');
    }

    switch (E.Trigger) {
        case tkInterschedule:
            J.TriggerFile = gStdTrigger;
            break;
        case tkExternal:
            J.TriggerFile = Fixed(E.ExtTrigFile, kTriggerFileWidth);
            break;
        default:
            J.TriggerFile.clear();
            break;
    }
    switch (E.Wait) {
        case wkInterschedule:
            J.WaitForFile = QStringLiteral("..") + LeftOf(E.TriggerEntry.trimmed(), QStringLiteral(" "));
            J.DelWaitFile = E.DelTrigger;
            break;
        case wkExternal:
            J.WaitForFile = E.WaitForFile.trimmed();
            J.DelWaitFile = E.DelTrigger;
            break;
        default:
            J.WaitForFile.clear();
            J.DelWaitFile = false;
            break;
    }

    J.EojTo = E.Eoj[0].To.trimmed();
    J.EojCc = E.Eoj[0].Cc.trimmed();
    J.AbEojTo = E.Eoj[1].To.trimmed();
    J.AbEojCc = E.Eoj[1].Cc.trimmed();
    std::array<std::array<QString, 5>*, 2> msgs{&J.EojMsg, &J.AbEojMsg};
    std::array<std::array<QString, 5>*, 2> flags{&J.EojFlags, &J.AbEojFlags};
    for (size_t p = 0; p < 2; ++p) {
        (*msgs[p])[0] = E.Eoj[p].Subject.trimmed();
        for (size_t k = 0; k < 4; ++k) {
            (*msgs[p])[k + 1] = E.Eoj[p].Lines[k].Text.trimmed();
            (*flags[p])[k + 1] = Flags(E.Eoj[p].Lines[k]);
        }
    }
    J.CpuUsage = Count16(E.CpuUsage);
    J.SuppNoBody = E.SuppNoBody;
    J.DeferEojMins = Count16(E.DeferEojBy);
    J.JobDesc = Fixed(E.JobDesc, kJobDescWidth);
    J.DateVars = VarDefinitions(E.Vars);
}

QString DirChk(const QString& Program) {
    QStringList names{Program};
    if (Program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) names << Program.chopped(4);
    for (const QString& name : names) {
        const QFileInfo direct(name);
        if (direct.isFile()) return direct.fileName();
        if (name.startsWith(QLatin1Char('/'))) continue;
        const QString path = qEnvironmentVariable("PATH") + QLatin1Char(':');
        for (int k = 1;; ++k) {
            QString folder = GetLineField(path, k, kQuote, QLatin1Char(':'));
            if (folder.isEmpty()) break;
            if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
            const QFileInfo found(folder + name);
            if (found.isFile()) return found.fileName();
        }
    }
    return QString();
}

void SetJobDocRenamer(std::function<void(const QString&, const QString&)> Renamer) {
    DocRenamer() = std::move(Renamer);
}

// The documentation file follows the job's new name (a test may put a
// renamer of its own in place).
void RenameJobDocument(const QString& OldName, const QString& NewName) {
    if (DocRenamer())
        DocRenamer()(OldName, NewName);
    else
        RenameJobDoc(OldName, NewName);
}

std::optional<SaveStop> SaveJobEdit(JobEdit& E, int CurJob, const std::function<void(int)>& ShowPage) {
    if (CurJob < 1 || CurJob > JobCount()) return SaveStop{};
    if (const std::optional<EditIssue> issue = ValidJobEdit(E, CurJob, ShowPage))
        return SaveStop{issue->Page, issue->Field};

    JobRec& J = Job(CurJob);
    const QString oldName = J.JobName.trimmed();
    const QString newName = E.JobName.trimmed().toUpper();
    const bool inter = E.Trigger == tkInterschedule;
    const bool renamed = newName != oldName.toUpper();
    if ((renamed && inter) || (!inter && E.ExtTrigFile.trimmed().toUpper() != J.TriggerFile.trimmed().toUpper())) {
        const QString text = QStringLiteral(
            "A change has been made which affects the creation of a trigger file by this job.\r\n"
            "It is important that jobs in other schedules which are dependent on this one are "
            "updated accordingly.\r\nPress OK to proceed or Cancel to re-edit the job.");
        if (MsgBox(text, MsgButtons::OkCancel, MsgIcon::Warning, QStringLiteral("Trigger File Change")) ==
            MsgAnswer::Cancel)
            return SaveStop{};
    }

    if (E.SkipOn().trimmed() != gSkipKeyword) {
        const QString cmd = E.CmdLine.trimmed();
        const QString program = GetLineField(cmd, 1, kQuote, kBlank);
        if (!program.isEmpty() && DirChk(program).isEmpty()) {
            if (MsgBox(QStringLiteral("Cannot find executable: ") + LeftOf(cmd, QStringLiteral(" ")) +
                           QStringLiteral(". Press OK to override, Cancel to alter."),
                       MsgButtons::OkCancel, MsgIcon::Question) == MsgAnswer::Cancel)
                return SaveStop{pgSubmission, QStringLiteral("txtCmdLine")};
        }
    }

    // A new job has no old name, so nothing else refers to it yet.
    if (renamed && !oldName.isEmpty()) {
        QString target = newName;
        UpdateDependents(oldName, target);
        UpdateTriggerDependents(oldName, newName);
        RenameJobDocument(oldName, newName);
    }
    ApplyJobEdit(E, J);
    // The record's name is written with the rest: the name index hears of it.
    RenameJob(CurJob, J.JobName);
    G.gEditCancelled = false;
    SaveSchedule();
    return std::nullopt;
}

QString TryDateText(const DateVal& D) { return FormatDate(D, QStringLiteral("dddd ") + G.gDateFmtLong); }

QStringList TryRunDates(const QString& Frequency, const QString& SkipOn) {
    QStringList out;
    const QString freq = Frequency.trimmed();
    const QString skip = SkipOn.trimmed();
    const std::optional<DateVal> skipDate = skip.isEmpty() ? std::nullopt : ParseDate(skip);
    DateVal D = G.gRunDate.datePart();
    for (int examined = 0; out.size() < 20 && examined < 350; ++examined, D = D.addDays(1)) {
        if (!IsRunDay(freq, D)) continue;
        bool skipped = false;
        if (skipDate)
            skipped = skipDate->sameDay(D);
        else if (!skip.isEmpty())
            skipped = SameText(skip, gSkipKeyword);
        out << TryDateText(D) + (skipped ? QStringLiteral(" (Skipped)") : QString());
    }
    return out;
}

std::array<QString, 7> VarDefinitions(const std::array<VarRow, 7>& Vars) {
    std::array<QString, 7> defs;
    for (size_t k = 0; k < 7; ++k) {
        const VarRow& r = Vars[k];
        const QStringList cols{r.Name.trimmed(), r.RelDay.trimmed(), r.RelMonth.trimmed(), r.Format.trimmed()};
        // An unused row stays an empty slot rather than ",,,".
        if (cols.join(QString()).isEmpty()) continue;
        defs[k] = cols.join(kComma);
    }
    return defs;
}

QString TrySubst(const QString& CmdLine, const QString& Frequency, const std::array<VarRow, 7>& Vars) {
    const SubstResult r = SubstDateVars(CmdLine, VarDefinitions(Vars), Frequency);
    return r.ok ? r.text : QLatin1Char('(') + r.error + QLatin1Char(')');
}

QString AsAtValue(const std::array<VarRow, 7>& Vars, int Row, const QString& Frequency) {
    if (Row < 0 || Row >= 7 || Vars[static_cast<size_t>(Row)].Name.trimmed().isEmpty()) return QString();
    // Without a frequency the substitution assumes "WeekDays" after a
    // notice; the column shows the same value without one notice per row.
    const QString freq = Frequency.trimmed().isEmpty() ? QStringLiteral("WeekDays") : Frequency;
    return TrySubst(QLatin1Char('&') + Vars[static_cast<size_t>(Row)].Name.trimmed() + QLatin1Char('&'), freq, Vars);
}
