#pragma once

#include "morvenda/core/jobrec.h"
#include "platform/keepers.h"

#include <QString>

// The scheduler's process launcher and the tests the kick pass makes on a
// started job: does its process still run, and how did it end.
//
// ProcessInfo as the launcher fills it: dwProcessId and dwThreadId both hold
// the pid, hProcess the low 32 bits of the process start time (so a pid reused
// by another process is never taken for the job, also after a restart of the
// scheduler), hThread 0 or, for a job started under a keeper (PrepareJob), the
// keeper's pid.

/// Starts CmdLine (see LaunchProcess in platform/start.h: argv split with
/// double quotes, no shell, own process group, stdin from /dev/null). True when
/// the process was created; ProcInfo then receives its values. False when it
/// could not be started: ProcInfo is left as it was, and Error (when given)
/// receives the reason, e.g. "Cannot start \"nosuch\": No such file or directory".
bool StartProcess(const QString& CmdLine, ProcessInfo& ProcInfo, QString* Error = nullptr);

/// True when the job's process no longer runs (or was never started: a pid of
/// 0). A pid now held by another process counts as gone.
bool JobWindowGone(const ProcessInfo& ProcInfo);

/// How an ended job ended.
struct JobEnding {
    /// True only when the process exited with code 0.
    bool Succeeded = false;
    /// "" on success, else "Exit code N", "Signal N (NAME)" or
    /// "Exit status unknown".
    QString ErrorText;
    /// Its keeper held it and never let its program run (the scheduler
    /// stopped between starting and releasing it): it has not run at all.
    bool NeverRan = false;
};

/// The ending of a job whose process has gone (JobWindowGone true). An exit
/// code other than 0 or an end by a signal is a failure with its text. A job
/// under a keeper has its ending from the keeper's record, also when it ended
/// while the scheduler was down. When the ending cannot be known (its keeper
/// was killed too; a process started without a keeper before a restart; a
/// process still running; no process at all) the job is failed with "Exit
/// status unknown": a failure is never reported as success, and the operator
/// can release the job by hand once it is checked.
JobEnding JobExitStatus(const ProcessInfo& ProcInfo);

/// The folder beside the schedule file in which keepers record how jobs
/// ended: G.gSchedFile followed by ".ends".
QString JobEndsFolder();

/// A job started and held by its keeper (PrepareJob), not yet running.
struct HeldJob {
    HeldProcess Held;
};

/// Starts CmdLine held under a keeper (LaunchHeld): the process exists, with
/// its pid and start time in ProcInfo and the keeper's pid in its hThread, but
/// its program runs only once ReleaseJob is called. False as StartProcess.
bool PrepareJob(const QString& CmdLine, ProcessInfo& ProcInfo, HeldJob& Held, QString* Error = nullptr);

/// Runs the held job's program; false with Error when it cannot be run.
bool ReleaseJob(HeldJob& Held, QString* Error = nullptr);

/// Lets the held job go without running it.
void AbandonJob(HeldJob& Held);

/// True when it is known whether a job recorded as submitted ran: it has
/// ended (its keeper's record tells), or its keeper released it and its
/// program runs. False while its keeper still holds it (the scheduler that
/// submitted it stopped before releasing it: the keeper lets it go and
/// records that it never ran, at once).
bool JobSubmissionSettled(const ProcessInfo& ProcInfo);

/// The end of a job's run as its keeper recorded it, in seconds since 1970;
/// 0 when unknown.
qint64 JobEndedAt(const ProcessInfo& ProcInfo);

/// Deletes the keeper's record of the job's ending, once the outcome is kept.
void ForgetJobEnding(const ProcessInfo& ProcInfo);

/// The real moment (seconds since 1970) at which the job's process started,
/// from its recorded start time; 0 when there is no process or it cannot be
/// told (see ProcessStartMoment).
qint64 JobStartMoment(const ProcessInfo& ProcInfo);
