#pragma once

#include <QString>

#include <sys/types.h>

#include <cstdint>

// The processes this program started, and any other it was told of: whether
// one still runs, how it ended, and stopping its process group.
//
// A process is known by its pid together with the low 32 bits of its start
// time (clock ticks since boot, field 22 of /proc/<pid>/stat). The start time
// never changes for the life of a process, so a pid that the system has handed
// to an unrelated process since is never taken for the one we started, even
// by a scheduler restarted while its jobs ran.

/// A started process: pid and the low 32 bits of its start time.
struct ProcessStamp {
    pid_t pid = 0;
    std::uint32_t startTime = 0;
    bool operator==(const ProcessStamp&) const = default;
};

/// How a process ended.
struct ProcessExit {
    enum class How {
        Unknown,      ///< not (yet) known: still running, not our child, or reaped elsewhere
        Exited,       ///< ended by exit(): number is the exit code
        Signalled,    ///< ended by a signal: number is the signal
        NotStarted,   ///< held by its keeper and never released (the scheduler stopped)
        StartFailed,  ///< released, but its program could not be run: number is the errno
    };
    How how = How::Unknown;
    int number = 0;
    /// True only for an exit code of 0; unknown endings are never success.
    bool succeeded() const { return how == How::Exited && number == 0; }
    bool operator==(const ProcessExit&) const = default;
};

/// The low 32 bits of the start time of process pid; false when there is no
/// such process (or /proc cannot be read). A zombie still has its start time.
bool ProcessStartTime(pid_t pid, std::uint32_t* startTime);

/// The real moment (seconds since 1970) at which a process of this boot with
/// that start time (the low 32 bits of its clock ticks since boot) started,
/// whether or not it still runs; 0 when it cannot be told (no /proc, or a
/// start time later than the present uptime: another boot).
qint64 ProcessStartMoment(std::uint32_t startTime);

/// True while the process runs. A child started by LaunchProcess is reaped here
/// once it has ended (waitpid with WNOHANG) and its ending kept for
/// ProcessExitStatus. Any other process (one carried over from a run of the
/// scheduler before a restart) runs while a process with that pid exists, is
/// not a zombie and has the recorded start time. False for pid <= 0.
bool ProcessRunning(const ProcessStamp& p);

/// For the life of one of these, on the thread that made it, ProcessRunning
/// takes a child of LaunchProcess that had not ended when it was made to run
/// on: one look at the kernel (which reaps every child of ours that ended)
/// answers for all of them, instead of one look per child. When a child that
/// is not ours waits to be reaped the look cannot tell, and every child is
/// asked on its own as without one. Scopes may nest.
class ChildrenLook {
public:
    ChildrenLook();
    ~ChildrenLook();
    ChildrenLook(const ChildrenLook&) = delete;
    ChildrenLook& operator=(const ChildrenLook&) = delete;

private:
    bool outer_;
};

/// How an ended child of LaunchProcess ended, as seen by ProcessRunning (which
/// this calls first). How::Unknown while it runs, for a process that was not
/// started by this program run, and for a child reaped by someone else.
ProcessExit ProcessExitStatus(const ProcessStamp& p);

/// "Exit code N", "Signal N (NAME)" (NAME as SIGTERM, or "unknown"),
/// "Not started: the scheduler stopped while submitting it", "Cannot start:
/// <reason>", or for an unknown ending "Exit status unknown".
QString ExitStatusText(const ProcessExit& e);

/// Sends SIGTERM to the process group that LaunchProcess made for p (its
/// process group id is p's pid). Refuses (false, nothing sent) for pid <= 1,
/// for this program's own process group, and when a process with p's pid
/// exists with another start time (the pid now belongs to someone else).
/// False too when no such group exists any longer.
bool TerminateProcessGroup(const ProcessStamp& p);

/// The process group of process pid, as /proc/<pid>/stat gives it; -1 when
/// there is no such process (or its file cannot be read or parsed). Any
/// number is taken, as another program may report a pid (an X window's).
pid_t ProcessGroupOf(qint64 pid);

// ---- for the launchers of platform/ (platform/start.h, platform/keepers.h) ---

/// Takes pid, just started, among the children whose ending is kept. A
/// startTime of 0 stands for a child known by its pid alone (a keeper).
void RememberChild(pid_t pid, std::uint32_t startTime);

/// Reaps every child of ours that has ended and keeps its ending, so programs
/// nobody follows do not stay behind as zombies. Cannot fail.
void ReapEndedChildren();

/// Reaps child pid once it has ended; nothing when it runs or is not ours.
void ReapChild(pid_t pid);

/// Child pid (a keeper) is about to exit: reaped with the others from now on.
/// Nothing when pid is not a child of ours.
void ChildExiting(pid_t pid);

/// Child pid (a keeper) is watched through its report socket: it is not asked
/// about one by one while its socket is open.
void ChildWatched(pid_t pid);
