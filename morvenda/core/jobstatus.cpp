#include "morvenda/core/jobstatus.h"

#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"

QString JobStateText(int state) {
    switch (state) {
    case jsScheduled: return QStringLiteral("Scheduled");
    case jsRunning: return QStringLiteral("Running");
    case jsCompleted: return QStringLiteral("Completed");
    case jsEndForced: return QStringLiteral("End Forced");
    case jsNotScheduled: return QStringLiteral("Not Scheduled");
    case jsAborted: return QStringLiteral("Aborted");
    case jsUnscheduled: return QStringLiteral("Unscheduled");
    default: return QString();
    }
}

void SetJobStatus(int JobIndex) {
    if (JobIndex < 1 || JobIndex > JobCount())
        return;
    JobRec& J = G.Jobs[static_cast<size_t>(JobIndex)];
    J.RunsToday = IsRunDay(J.Frequency, G.gRunDate);
    J.SkipToday = IsSkipDay(JobIndex);
    (void)J;
}
