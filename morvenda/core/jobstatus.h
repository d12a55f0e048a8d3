#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>

#include <cstdint>

/// Status text of a run state ("Scheduled", "Running", ...); "" for state 4,
/// whose text the kick pass writes itself.
QString JobStateText(int state);

/// Sets RunsToday, SkipToday, JobState and StatusText of job JobIndex from
/// its saved times and flags for G.gRunDate and G.gRunDayStart.
void SetJobStatus(int JobIndex);

/// The real moment (seconds since 1970) of the job's Started: StartedReal
/// when known, else the reading of the wall-clock Started that lies in the
/// past (in an hour repeated by a clock change, the later one that has come).
qint64 StartedRealOf(const JobRec& J);

/// The real moment of the job's Completed: CompletedReal when known, else the
/// latest reading of the wall-clock Completed.
qint64 CompletedRealOf(const JobRec& J);

/// One of a job's run times: the wall-clock reading kept in the schedule file
/// and the real moment (seconds since 1970) kept beside it while the program
/// runs; Real 0 means "not known: read it from the wall clock". A start also
/// carries the run date it was made for (RunDateTag; 0 not known).
struct RunMoment {
    DateVal Wall;
    qint64 Real = 0;
    std::int32_t For = 0;
};

/// The run date a run was made for, as the schedule file keeps it beside the
/// job's Started (the number column 34 holds): the date's day number, negated
/// for a dummy run's rehearsal. 0 means not known (a schedule saved before
/// run dates were kept with the runs, or a job that has not run).
std::int32_t RunDateTag(const DateVal& RunDate, bool Dummy);

/// The tag of the run date being run: G.gRunDate, in a dummy run or not.
std::int32_t CurrentRunTag();

/// Whether the job's latest run was made for the run date being run. A
/// rehearsal of a dummy run counts only in a dummy run of its own date; a
/// dummy run takes the real run of its date as done. Without a tag (an older
/// schedule file) a run since the run day's start that is not in the future.
bool RanForRunDate(const JobRec& J);

/// The schedule's present moment as a run time: SchedNow() with the real
/// moment, or with none in a dummy run (whose times lie on the run date), and
/// the present run date's tag.
RunMoment RunNow();

/// The job's Started, or Completed, with its real moment.
RunMoment StartedOf(const JobRec& J);
RunMoment CompletedOf(const JobRec& J);

/// Sets (an empty RunMoment: clears) the job's Started and Completed
/// together with their real moments. Every change of either goes through
/// here: the status decision compares real moments whenever they are known,
/// so a wall-clock time changed without its real moment would leave the job
/// in the state of its earlier run.
void SetRunTimes(JobRec& J, const RunMoment& Started, const RunMoment& Completed);

/// Clears both run times and their real moments: the job has not run.
void ClearRunTimes(JobRec& J);

/// Real seconds from the job's submission to its completion, clock changes
/// in between counted as the time that really passed.
qint64 RunSeconds(const JobRec& J);
