#pragma once

#include "common/datetime.h"
#include "morvenda/core/rundate.h"

#include <QString>

#include <optional>

// What the start-up window does beyond showing values: checking its fields,
// the circular-dependency check, removing old log extracts, resetting the run
// values of all jobs, and what it writes back at exit.

// The run date box's text reads as a date by RunDateFromText (rundate.h).

/// Checks the window's values in order and shows the first failure's message:
/// "Invalid schedule run date", "Invalid schedule start time" (start time must
/// match "00:00" with hours 00-23 and minutes 00-59), "Invalid CPU Limit" (the
/// trimmed limit must be a whole number from 0 to 32767).
/// Which field failed comes back so the window can move the focus.
enum class StartFieldError { None, RunDate, StartTime, CpuLimit };
StartFieldError ValidateStartFields(const QString& runDate, const QString& startTime, const QString& cpuLimit);

/// True when the jobs' dependencies form a loop. The first loop found (jobs in
/// table order, each job's entries in list order) is written to the run log as
/// "Circular dependencies involving jobs S and E". Runs in time linear in jobs
/// and dependencies.
bool JobLoops();

/// Deletes the log extracts (".tmp" files named like the run log with "?" for
/// its date tokens) of the run log's folder whose last change lies more than
/// one calendar day from today. Files that cannot be deleted are skipped.
/// Returns how many were deleted.
int DelOldLogs();

/// The values the start-up window writes back into the configuration file.
struct ExitValues {
    QString startTime;  ///< DayStart, as lblStartTime shows it
    QString cpuLimit;   ///< CPULimit, as lblCPULimit shows it
};

/// Writes back the values the window changed: DayStart and CPULimit each
/// only when Shown differs from Read (what the window read from the file at
/// start-up, or last wrote), both in one write of the file as it is now. A
/// key the window did not change keeps what the file holds, so a value the
/// configuration editor saved meanwhile stays. Read becomes Shown once
/// written. False, after a message that says why, when the file cannot be
/// read or written; it is then as it was.
bool SaveForExit(ExitValues& Read, const ExitValues& Shown);

/// Resets the run values of every job after the operator's confirmations
/// ("Are you sure ...", then whether standard and non-standard trigger files
/// are to be deleted) and saves the schedule. False when the operator said No.
bool ResetRunValues();

/// At exit: offers the configuration file as this computer's default unless
/// it is temporary or already the default.
void OfferAsDefault();
