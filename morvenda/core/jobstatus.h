#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>

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

/// Real seconds from the job's submission to its completion, clock changes
/// in between counted as the time that really passed.
qint64 RunSeconds(const JobRec& J);
