#pragma once

#include "morvenda/core/jobrec.h"

#include <QString>

// The scheduler's process launcher and the tests the kick pass makes on a
// started job: does its process still run, and how did it end.
//
// ProcessInfo as the launcher fills it: dwProcessId and dwThreadId both hold
// the pid, hProcess the low 32 bits of the process start time (so a pid reused
// by another process is never taken for the job, also after a restart of the
// scheduler), hThread 0.

/// Starts CmdLine (see LaunchProcess in platform/process.h: argv split with
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
};

/// The ending of a job whose process has gone (JobWindowGone true). An exit
/// code other than 0 or an end by a signal is a failure with its text. When
/// the ending cannot be known (a job carried over from before a restart of the
/// scheduler, whose exit status went to another parent; a process still
/// running; no process at all) the job is failed with "Exit status unknown":
/// a failure is never reported as success, and the operator can release the
/// job by hand once it is checked.
JobEnding JobExitStatus(const ProcessInfo& ProcInfo);
