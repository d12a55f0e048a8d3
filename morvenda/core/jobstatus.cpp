#include "morvenda/core/jobstatus.h"

#include "common/clock.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/state.h"

#include <cstdlib>

QString JobStateText(int state) {
    switch (state) {
        case jsScheduled:
            return QStringLiteral("Scheduled");
        case jsRunning:
            return QStringLiteral("Running");
        case jsCompleted:
            return QStringLiteral("Completed");
        case jsEndForced:
            return QStringLiteral("End Forced");
        case jsNotScheduled:
            return QStringLiteral("Not Scheduled");
        case jsAborted:
            return QStringLiteral("Aborted");
        case jsUnscheduled:
            return QStringLiteral("Unscheduled");
        default:
            return QString();
    }
}

void SetJobStatus(int JobIndex) {
    // Element 0 is the grid's copy buffer, never a job.
    if (JobIndex < 1 || JobIndex > JobCount()) return;
    JobRec& J = Job(JobIndex);
    J.RunsToday = IsRunDay(J.Frequency, G.gRunDate);
    J.SkipToday = IsSkipDay(JobIndex);

    // The hand override is its single character; blank or empty is neither.
    const QChar flag = J.SchedFlag.isEmpty() ? QChar() : J.SchedFlag.at(0).toUpper();
    const bool byHandU = flag == QLatin1Char('U');
    const bool byHandS = flag == QLatin1Char('S');
    const bool startedToday = RanForRunDate(J);
    const bool endedToday = startedToday && CompletedRealOf(J) >= StartedRealOf(J);
    // A hand "S" schedules the job again unless it ran for this run date;
    // in a schedule saved before run dates were kept, one started exactly
    // at the day start counts as not yet run here.
    const bool notRunByHand = J.Spare34 != 0 || J.Started.isZero()
                                  ? !startedToday
                                  : !startedToday || StartedRealOf(J) <= FirstReal(G.gRunDayStart);

    int state = J.JobState;
    if (!byHandU && !J.SkipToday && !startedToday && J.RunsToday)
        state = jsScheduled;
    else if (byHandS && notRunByHand)
        state = jsScheduled;
    else if (startedToday && !endedToday)
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

    SetJobState(JobIndex, state);
    // State 4 keeps the text the kick pass gave it.
    if (state != jsSubmitFailed) J.StatusText = JobStateText(state);
}

std::int32_t RunDateTag(const DateVal& RunDate, bool Dummy) {
    const auto day = static_cast<std::int32_t>(RunDate.dayNumber());
    return Dummy ? -day : day;
}

std::int32_t CurrentRunTag() { return RunDateTag(G.gRunDate, G.gDummyRun); }

bool RanForRunDate(const JobRec& J) {
    if (J.Started.isZero()) return false;
    if (J.Spare34 != 0) {
        // The run date the run was made for decides, whatever the clock did
        // since: a run for yesterday that went on past today's day start is
        // not today's, nor is one made today for a missed day.
        const std::int32_t real = RunDateTag(G.gRunDate, false);
        return J.Spare34 == real || (G.gDummyRun && J.Spare34 == -real);
    }
    // Compared as real moments: on the day the clocks go back a job started
    // at 01:40 before the change and ended at 01:10 after it has ended, and a
    // run day that began at the first 01:30 has begun. A start in the future
    // is a dummy run's rehearsal of a later date, never a real run.
    const qint64 started = StartedRealOf(J);
    return started >= FirstReal(G.gRunDayStart) && (G.gDummyRun || started <= NowReal());
}

qint64 StartedRealOf(const JobRec& J) {
    if (J.StartedReal != 0) return J.StartedReal;
    // A submission in an hour that a clock change repeated: the job's process
    // started within moments of it, and its start time tells which reading.
    const RealSpan readings = RealOf(J.Started, currentClock().zone());
    if (readings.first == readings.last) return readings.first;
    constexpr qint64 kNear = 120;
    const qint64 process = JobStartMoment(J.ProcInfo);
    if (process != 0 && std::llabs(process - readings.first) <= kNear) return readings.first;
    if (process != 0 && std::llabs(process - readings.last) <= kNear) return readings.last;
    // Else the later reading, when it has come.
    return readings.last <= NowReal() ? readings.last : readings.first;
}

qint64 CompletedRealOf(const JobRec& J) {
    if (J.CompletedReal != 0) return J.CompletedReal;
    return RealOf(J.Completed, currentClock().zone()).last;
}

RunMoment RunNow() { return RunMoment{SchedNow(), G.gDummyRun ? 0 : NowReal(), CurrentRunTag()}; }

RunMoment StartedOf(const JobRec& J) { return RunMoment{J.Started, J.StartedReal, J.Spare34}; }

RunMoment CompletedOf(const JobRec& J) { return RunMoment{J.Completed, J.CompletedReal}; }

void SetRunTimes(JobRec& J, const RunMoment& Started, const RunMoment& Completed) {
    J.Started = Started.Wall;
    J.StartedReal = Started.Wall.isZero() ? 0 : Started.Real;
    J.Spare34 = Started.Wall.isZero() ? 0 : Started.For;
    J.Completed = Completed.Wall;
    J.CompletedReal = Completed.Wall.isZero() ? 0 : Completed.Real;
}

void ClearRunTimes(JobRec& J) { SetRunTimes(J, RunMoment{}, RunMoment{}); }

qint64 RunSeconds(const JobRec& J) {
    const qint64 done = CompletedRealOf(J);
    const qint64 started = J.StartedReal != 0 ? J.StartedReal : PastReal(J.Started, done);
    return done - started;
}
