#pragma once

#include <QString>

/// Status text of a run state ("Scheduled", "Running", ...); "" for state 4,
/// whose text the kick pass writes itself.
QString JobStateText(int state);

/// Sets RunsToday, SkipToday, JobState and StatusText of job JobIndex from
/// its saved times and flags for G.gRunDate and G.gRunDayStart.
void SetJobStatus(int JobIndex);
