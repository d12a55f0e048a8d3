#pragma once

#include <QString>

// Trigger files let jobs signal each other, also across schedules: a job that
// ends can write one, another job can wait for it. Tracker files hold each
// job's latest status for watchers outside the scheduler.

/// Path of job JobName's standard trigger file in the trigger folder.
QString StdTriggerPath(const QString& JobName);

/// The file job JobIndex writes when it ends: its standard trigger file when
/// its TriggerFile is the standard marker, else the path it names.
QString TriggerPathOf(int JobIndex);

/// Writes job JobIndex's trigger file; a failure is logged with its reason.
/// False when the file could not be written (writing it later may succeed);
/// true when it was, or when no trigger folder is set.
bool CrtTrigger(int JobIndex);

/// The path of an awaited file: ".." and a job name stands for that job's
/// standard trigger file ("" without a trigger folder).
QString WaitFilePath(const QString& FileSpec);

/// True when the awaited file exists (WaitFilePath). Any error while testing
/// gives false.
bool TrigFileFound(const QString& FileSpec);

/// Deletes the file job JobIndex waited for; a failure is logged with its
/// reason. A dummy run deletes only a trigger file it wrote itself: any other
/// file stays, and the run log says what a real run would have deleted.
void DeleteTrigger(int JobIndex);

/// Replaces job JobName's tracker file with its status line (no tracker
/// folder: nothing is written). The file is replaced whole, not flushed.
bool Track(const QString& JobName, const QString& Status);

/// Creates or replaces Path with the single line Text, trying up to 3
/// times; when every attempt fails, "Cannot write to file <Path>: <reason>"
/// is logged (one line). False then. Flush
/// false: an existing file is rewritten in place, not flushed to the disk
/// (see RewriteFile).
bool WriteFile(const QString& Path, const QString& Text, bool Flush = true);

/// The job name blank-padded (or cut) to 8 characters, as log lines show it.
QString PaddedName(int JobIndex);
