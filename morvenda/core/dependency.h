#pragma once

#include <QString>

// The dependencies of a job of the schedule (G.Jobs) over their whole
// closure. Jobs are found by name (jobnames.h); the kick pass keeps its
// results between passes (dependencypass.h).

/// Evaluates the dependencies of job JobIndex over their whole closure (the
/// prerequisites, their prerequisites, and so on; each name once, with the
/// letter and flag it was first reached with). Entries that name no job of the
/// schedule are met.
///
/// FindMode false: returns gDepMet (all met), gDepWait (at least one pending)
/// or gDepNever (one can never be met and its flag is "Y"), and sets Text to
/// the wait text, e.g. "PAYROLL(S) - Running, BACKUP(F) - Succeeded".
/// FindMode true: Text holds a job name; returns gDepFound when a job of that
/// exact trimmed name is in the closure, else "". Text is left unchanged.
///
/// A blank entry is skipped; the first time a job's blank entry is met, the
/// run log gets "Empty RunAfter entry for job NAME skipped.". A prerequisite
/// whose submission failed (state 4) is pending for every letter, with the
/// word "Submit Failed".
/// An index outside 1 to n returns gDepMet with an empty Text (find mode: "").
///
/// Always as the records are now, fields written straight into them included
/// (every job's name is compared with the index's first, one pass over the
/// jobs, and every record walked with the prerequisites read from it).
QString CheckDependency(int JobIndex, QString& Text, bool FindMode);

/// Writes "Empty RunAfter entry for job NAME skipped." to the run log, the
/// first time in the program's state (G.EmptyDepsReported, emptied with it)
/// that job NAME's blank dependency entry is met, by the evaluation or the
/// grid alike.
void ReportEmptyDependency(const QString& JobName);
