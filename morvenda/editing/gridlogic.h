#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>

#include <vector>

// What the schedule grid shows and does to the job table, without widgets:
// the text of each of the 23 columns, the jobs a group filter shows, and the
// operations of the grid's buttons on G.Jobs. The window (frmLGrid) holds the
// controls and calls these.

/// Columns whose "True"/"False" text the grid shows as a picture.
bool IsFlagColumn(int ColId);

/// Text of column ColId (0 to 22, see gGridCols) for job J. A flag column
/// gives "True" or "False"; an empty dependency entry shows as "(empty entry)".
QString GridCellText(const JobRec& J, int ColId);

/// Indexes (1 to n, in table order) of the jobs the grid shows for Filter:
/// every job when Filter is gAllGroups, else those whose trimmed Group equals
/// Filter. Trims each job's Group in place.
std::vector<int> GridJobs(const QString& Filter);

/// Reports every job of Jobs with a blank dependency entry
/// (ReportEmptyDependency: once per job, however it is met).
void ReportEmptyDependencies(const std::vector<int>& Jobs);

/// Copies job j into the copy buffer (element 0), its name trimmed, and sets
/// G.gJobCopied.
void CopyJob(int j);

/// Appends a job and returns its index: a copy of the buffer without its
/// name when Paste is true, else a blank job with frequency "WorkDays" and
/// the default date variables.
int AddNewJob(bool Paste);

/// Removes job j (1 to n), moving the later jobs up; the copy buffer stays.
void RemoveJob(int j);

/// Moves job From to position To by exchanging it with its neighbours one by
/// one; the jobs between keep their order. Returns To, or From when either
/// is not a job.
int MoveJob(int From, int To);

/// Skip modes of the skip button.
enum class SkipMode { Toggle = 0, UnskipAll = 1, SkipAll = 2 };

/// Sets or clears the skip date (the run date in G.gDateFmt) of each job in
/// Jobs by Mode; jobs skipped on every day (gSkipKeyword) are left alone.
/// Toggle clears a skip date of any day and sets an empty one.
void SkipJobs(const std::vector<int>& Jobs, SkipMode Mode);

/// Reschedules job j when it has ended or is unscheduled (states 2, 6, 7),
/// forces the end of a running job, and unschedules it otherwise (state 7,
/// "Unscheduled", whatever state it had). The hand flag and the failure
/// marks are set so that the state it is given is the one the status
/// decision gives it again after a reload, where the flag can say so (a job
/// that does not run today, or whose end was forced, reads back as such).
void RescheduleOne(int j);

/// True when a job in State may be rescheduled (the button then reads
/// "Resched"), false when it would be unscheduled or ended.
bool ReschedulesInState(int State);

/// The script a job runs: the program of its command line when that ends in
/// ".sh" or ".bat" (any case) after at least one other character; "" else.
QString JobBatchFile(const JobRec& J);
