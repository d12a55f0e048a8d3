#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>
#include <QStringList>

// The trigger list ("Triggers.Lst" in the trigger folder) that every schedule
// of an installation shares: one line "JOBNAME (SCHEDULE)" per job that
// creates its standard trigger file, so that jobs of other schedules can wait
// for it.

/// The trigger list's lines after SchedName's share is replaced: every line of
/// Existing that does not contain "(" & SchedName & ")" (trimmed, compared in
/// upper case), in its order, then one line per job 1 to n of Jobs whose
/// trimmed TriggerFile is gStdTrigger, in table order.
QStringList MergeJobIndexLines(const QStringList& Existing, const QString& SchedName, const JobTable& Jobs);

/// Rewrites IndexFile with SchedName's share replaced (MergeJobIndexLines),
/// holding an exclusive lock on IndexFile & ".lock" while it reads and
/// replaces the file, so schedules saving at the same time, on this computer
/// or on others sharing the folder, keep each other's lines. A lock held by
/// another is waited for (ten seconds at most); a list another computer has
/// just replaced is read again. The file is created when missing and
/// replaced atomically. False, with *FailedPath set to the file that could
/// not be locked, read or written and *Why to the reason, when any step
/// fails; the list is then as it was. When the lock was kept by another past
/// the wait, *Why says so, naming the holder's computer where the lock file
/// records it.
bool RewriteJobIndexFile(const QString& IndexFile, const QString& SchedName, const JobTable& Jobs,
                         QString* FailedPath = nullptr, QString* Why = nullptr);

/// Rewrites this schedule's share of G.gJobIndexFile from G.Jobs (nothing when
/// G.gJobIndexFile is empty). A failure is shown as a message ("Cannot open
/// file" and the path, then the reason: who holds the lock when that was the
/// cause) and the program goes on.
void UpdateJobIndexFile();
