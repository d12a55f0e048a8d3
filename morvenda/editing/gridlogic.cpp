#include "morvenda/editing/gridlogic.h"

#include "common/constants.h"
#include "common/text.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "platform/start.h"

#include <QSet>

#include <utility>

namespace {

enum Col {
    cJobName,
    cGroup,
    cCommandLine,
    cJobDesc,
    cDosProgram,
    cSubmitOnly,
    cAutoResched,
    cCpuUsage,
    cDateVars,
    cEarlyStart,
    cFrequency,
    cDependencies,
    cInterExt,
    cExclusive,
    cSkipOn,
    cDeferRO,
    cStatus,
    cStarted,
    cCompleted,
    cEojTo,
    cTrigger,
    cAbEojTo,
    cCritical
};

QString Flag(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

QString Mail(const QString& to, const QString& cc) {
    QString text;
    if (!to.trimmed().isEmpty()) text = QStringLiteral("To: ") + to.trimmed();
    if (!cc.trimmed().isEmpty()) text += QStringLiteral(" Cc: ") + cc.trimmed();
    return text;
}

QString Time(const JobRec& J, const DateVal& t) {
    if (J.JobState == jsScheduled || J.JobState == jsNotScheduled) return QStringLiteral("     ");
    return FormatDate(t, QStringLiteral("hh:mm"));
}

}  // namespace

bool IsFlagColumn(int ColId) {
    return ColId == cDosProgram || ColId == cSubmitOnly || ColId == cDeferRO || ColId == cCritical;
}

QString GridCellText(const JobRec& J, int ColId) {
    switch (ColId) {
        case cJobName:
            return J.JobName.trimmed();
        case cGroup:
            return J.Group.trimmed();
        case cCommandLine:
            return J.CommandLine.trimmed();
        case cJobDesc:
            return J.JobDesc.trimmed();
        case cDosProgram:
            return Flag(J.DosProgram);
        case cSubmitOnly:
            return Flag(J.SubmitOnly);
        case cAutoResched:
            switch (J.AutoResched) {
                case 1:
                    return QStringLiteral("Success");
                case 2:
                    return QStringLiteral("Unconditional");
                case 3:
                    return QStringLiteral("Failure");
                default:
                    return QString();
            }
        case cCpuUsage:
            return J.CpuUsage == 0 ? QString() : QString::number(J.CpuUsage);
        case cDateVars: {
            QStringList names;
            for (const QString& v : J.DateVars) names << GetLineField(v, 1, QLatin1Char('"'), QLatin1Char(','));
            return names.join(QLatin1Char(','));
        }
        case cEarlyStart:
            return FixedText(J.EarlyStartText, kEarlyStartWidth);
        case cFrequency:
            return J.Frequency.trimmed();
        case cDependencies: {
            QStringList items;
            for (int u = 0; u < J.RunAfter.size(); ++u) {
                const QString name = J.RunAfter[u].trimmed();
                // A blank entry (a hand-edited file) is shown, not fatal.
                if (name.isEmpty())
                    items << QStringLiteral("(empty entry)");
                else
                    items << name + QLatin1Char('(') + J.RunAfterStatus.mid(u, 1) + QLatin1Char(')');
            }
            return items.join(QLatin1Char(','));
        }
        case cInterExt: {
            if (J.WaitForFile.startsWith(QLatin1String("..")))
                return QStringLiteral("Inter(") + J.WaitForFile.mid(2).trimmed() + QLatin1Char(')');
            if (!J.WaitForFile.trimmed().isEmpty())
                return QStringLiteral("File(") + J.WaitForFile.trimmed() + QLatin1Char(')');
            return QString();
        }
        case cExclusive:
            return J.Exclusive.trimmed();
        case cSkipOn:
            return J.SkipOn.trimmed();
        case cDeferRO:
            return Flag(J.DeferRollover);
        case cStatus:
            return J.StatusText;
        case cStarted:
            return Time(J, J.Started);
        case cCompleted:
            return Time(J, J.Completed);
        case cEojTo:
            return Mail(J.EojTo, J.EojCc);
        case cTrigger: {
            const QString t = J.TriggerFile.trimmed();
            // The marker's own stars are not part of what it means.
            if (t == gStdTrigger) {
                QString word = gStdTrigger;
                word.remove(QLatin1Char('*'));
                return QLatin1Char('(') + word + QLatin1Char(')');
            }
            return t;
        }
        case cAbEojTo:
            return Mail(J.AbEojTo, J.AbEojCc);
        case cCritical:
            return Flag(J.Critical);
        default:
            return QString();
    }
}

std::vector<int> GridJobs(const QString& Filter) {
    std::vector<int> shown;
    shown.reserve(static_cast<size_t>(JobCount()));
    const bool all = Filter == gAllGroups;
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& J = Job(j);
        J.Group = J.Group.trimmed();
        if (all || J.Group == Filter) shown.push_back(j);
    }
    return shown;
}

void ReportEmptyDependencies(const std::vector<int>& Jobs) {
    for (const int j : Jobs) {
        const JobRec& J = Job(j);
        for (const QString& dep : J.RunAfter) {
            if (!dep.trimmed().isEmpty()) continue;
            ReportEmptyDependency(J.JobName);
            break;
        }
    }
}

void CopyJob(int j) {
    if (j < 1 || j > JobCount()) return;
    G.Jobs[0] = Job(j);
    G.Jobs[0].JobName = G.Jobs[0].JobName.trimmed();
    G.gJobCopied = true;
}

int AddNewJob(bool Paste) {
    G.Jobs.emplace_back();
    const int n = JobCount();
    JobRec& J = Job(n);
    if (Paste) {
        J = G.Jobs[0];
        J.JobName.clear();
    } else {
        J.Frequency = QStringLiteral("WorkDays");
        DefaultDateVars(n);
    }
    return n;
}

void RemoveJob(int j) {
    if (j < 1 || j > JobCount()) return;
    G.Jobs.erase(G.Jobs.begin() + j);
}

int MoveJob(int From, int To) {
    if (From < 1 || From > JobCount() || To < 1 || To > JobCount()) return From;
    // The copy buffer (element 0) is never touched.
    G.Jobs.Move(static_cast<size_t>(From), static_cast<size_t>(To));
    return To;
}

void SkipJobs(const std::vector<int>& Jobs, SkipMode Mode) {
    const QString runDate = FormatDate(G.gRunDate, G.gDateFmt);
    for (const int j : Jobs) {
        JobRec& J = Job(j);
        const QString skip = J.SkipOn.trimmed();
        if (skip == gSkipKeyword) continue;
        switch (Mode) {
            case SkipMode::Toggle:
                J.SkipOn = skip.isEmpty() ? runDate : QString();
                break;
            case SkipMode::UnskipAll:
                J.SkipOn.clear();
                break;
            case SkipMode::SkipAll:
                J.SkipOn = runDate;
                break;
        }
    }
}

bool ReschedulesInState(int State) { return State == jsCompleted || State == jsAborted || State == jsUnscheduled; }

void RescheduleOne(int j) {
    if (j < 1 || j > JobCount()) return;
    JobRec& J = Job(j);
    const bool runsToday = IsRunDay(J.Frequency, G.gRunDate);
    const bool skipped = IsSkipDay(j);
    const QChar flag = J.SchedFlag.isEmpty() ? QChar() : J.SchedFlag.at(0).toUpper();
    const bool unschedule = !ReschedulesInState(J.JobState) && J.JobState != jsRunning;
    if (ReschedulesInState(J.JobState)) {
        // As the reschedule dialog does: a hand "S" where the job would
        // otherwise not run today, and no mark of an earlier failure.
        ClearRunTimes(J);
        J.ForceTrigger = false;
        J.Killed = false;
        J.EndForced = false;
        if (flag == QLatin1Char('U') || !runsToday || skipped) J.SchedFlag = QStringLiteral("S");
    } else if (J.JobState == jsRunning) {
        const RunMoment now = RunNow();
        SetRunTimes(J, now, now);
        J.EndForced = true;
    } else {
        // As the reschedule dialog unschedules: a hand "U" where the job
        // would run today; its times stay, so the state read back after a
        // reload is the one shown now.
        if (flag == QLatin1Char('S') || (runsToday && !skipped)) J.SchedFlag = QStringLiteral("U");
    }
    SetJobStatus(j);
    // A job whose end was forced, or that is not scheduled today, is still
    // taken out of the day by hand: its dependants see it unscheduled.
    if (unschedule && J.JobState != jsUnscheduled) {
        SetJobState(j, jsUnscheduled);
        J.StatusText = JobStateText(jsUnscheduled);
    }
}

QString JobBatchFile(const JobRec& J) {
    const QStringList argv = SplitCommandLine(J.CommandLine);
    if (argv.isEmpty()) return QString();
    const QString program = argv.front();
    for (const QLatin1String ext : {QLatin1String(".sh"), QLatin1String(".bat")}) {
        if (program.size() > ext.size() && program.endsWith(ext, Qt::CaseInsensitive)) return program;
    }
    return QString();
}
