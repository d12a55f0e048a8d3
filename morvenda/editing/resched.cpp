#include "morvenda/editing/resched.h"

#include "common/constants.h"
#include "common/text.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"

#include <algorithm>

namespace {

QString Padded(int j) { return FixedText(Job(j).JobName.trimmed(), kJobNameWidth); }

bool Listed(ReschedMode Mode, bool InclUnsched, int State) {
    if (Mode == ReschedMode::Unschedule) return State == jsScheduled || State == jsRunning;
    return State == jsAborted || State == jsCompleted ||
           (InclUnsched && (State == jsUnscheduled || State == jsNotScheduled));
}

QChar Flag(const JobRec& J) { return J.SchedFlag.isEmpty() ? QChar() : J.SchedFlag.at(0).toUpper(); }

}  // namespace

QString ReschedEntryText(int JobIndex) { return Padded(JobIndex) + QLatin1Char('\t') + Job(JobIndex).StatusText; }

std::vector<int> ReschedCandidates(ReschedMode Mode, bool InclUnsched, bool Sorted, const QString& GroupFilter) {
    std::vector<int> out;
    const bool all = GroupFilter == gAllGroups;
    for (int j = 1; j <= JobCount(); ++j)
        if ((all || Job(j).Group.trimmed() == GroupFilter) && Listed(Mode, InclUnsched, Job(j).JobState))
            out.push_back(j);
    if (Sorted)
        std::stable_sort(out.begin(), out.end(), [](int a, int b) {
            return ReschedEntryText(a).compare(ReschedEntryText(b), Qt::CaseInsensitive) < 0;
        });
    return out;
}

bool SelectDeps(const std::vector<int>& Listed, std::vector<bool>& Selected) {
    bool any = false;
    bool added = true;
    while (added) {
        added = false;
        for (size_t i = 0; i < Listed.size(); ++i) {
            if (!Selected[i]) continue;
            QString name = Job(Listed[i]).JobName.trimmed();
            for (size_t k = 0; k < Listed.size(); ++k) {
                if (k == i || Selected[k]) continue;
                if (CheckDependency(Listed[k], name, true) == gDepFound) {
                    Selected[k] = true;
                    added = any = true;
                }
            }
        }
    }
    return any;
}

void ApplyResched(ReschedMode Mode, const std::vector<int>& Chosen, const std::function<void()>& UnsubBuild) {
    for (const int j : Chosen) {
        JobRec& J = Job(j);
        QString line =
            Padded(j) + QStringLiteral(" (") + J.Frequency.trimmed() + QStringLiteral(")") + QLatin1Char('\t');
        if (Mode == ReschedMode::Reschedule) {
            ClearRunTimes(J);
            // The job runs afresh: a failure or a forced end of its last run
            // must not decide its state once this run has ended.
            J.Killed = false;
            J.EndForced = false;
            if (Flag(J) == QLatin1Char('U') || !J.RunsToday || J.SkipToday) J.SchedFlag = QStringLiteral("S");
            SetJobStatus(j);
            line += J.StatusText;
            G.gSchedModified = true;
        } else {
            if (Flag(J) == QLatin1Char('S') || (J.RunsToday && !J.SkipToday)) J.SchedFlag = QStringLiteral("U");
            SetJobStatus(j);
            line += J.StatusText;
            if (UnsubBuild) UnsubBuild();
        }
        WriteLog(G.gLogFile, line);
        AddLogListLine(line);
        G.gSchedComplete = false;
    }
    SaveSchedule();
}
