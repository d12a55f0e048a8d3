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
    // Element 0 is the grid's copy buffer, never a job.
    if (JobIndex < 1 || JobIndex > JobCount())
        return;
    JobRec& J = G.Jobs[static_cast<size_t>(JobIndex)];
    J.RunsToday = IsRunDay(J.Frequency, G.gRunDate);
    J.SkipToday = IsSkipDay(JobIndex);

    // The hand override is its single character; blank or empty is neither.
    const QChar flag = J.SchedFlag.isEmpty() ? QChar() : J.SchedFlag.at(0).toUpper();
    const bool byHandU = flag == QLatin1Char('U');
    const bool byHandS = flag == QLatin1Char('S');
    const DateVal& dayStart = G.gRunDayStart;
    const bool startedToday = J.Started >= dayStart;
    const bool endedToday = startedToday && J.Completed >= J.Started;

    int state = J.JobState;
    if (!byHandU && !J.SkipToday && J.Started < dayStart && J.RunsToday)
        state = jsScheduled;
    else if (byHandS && J.Started <= dayStart)
        state = jsScheduled;
    else if (startedToday && J.Completed < J.Started)
        state = jsRunning;
    else if (endedToday && !J.Killed && !J.EndForced)
        state = jsCompleted;
    else if (endedToday && J.EndForced)
        state = jsEndForced;
    // A job that failed on this run day stays failed: without this a restart
    // of the scheduler would run it again.
    else if (endedToday && J.Killed)
        state = jsAborted;
    else if (!byHandS && J.SkipToday)
        state = jsNotScheduled;
    else if (!byHandS && !J.RunsToday)
        state = jsNotScheduled;
    else if (byHandU)
        state = jsUnscheduled;

    J.JobState = static_cast<std::uint8_t>(state);
    // State 4 keeps the text the kick pass gave it.
    if (state != jsSubmitFailed)
        J.StatusText = JobStateText(state);
}
