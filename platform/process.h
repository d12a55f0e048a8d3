#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <cstdint>

// Processes: starting a command line, telling whether a started process still
// runs, how it ended, and stopping its process group.
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

/// Splits a command line into the program and its arguments. Blanks and tabs
/// separate words; a double quote starts or ends a quoted stretch in which
/// blanks are kept, and inside it two double quotes stand for one; quoted and
/// unquoted stretches touching each other form one word, and "" alone is an
/// empty argument. Nothing else is special: no variables, wildcards, tildes
/// or backslash escapes. A quote left open runs to the end of the line.
/// An empty or blank line gives an empty list.
QStringList SplitCommandLine(const QString& cmdLine);

/// The command line's raw text after the program name and the blanks that
/// follow it, exactly as written (quotes and commas kept); "" when there are
/// no arguments.
QString CommandLineTail(const QString& cmdLine);

/// Text as one word of a command line: unchanged when it needs no quotes,
/// otherwise enclosed in double quotes with its inner quotes doubled, so that
/// SplitCommandLine gives it back exactly.
QString QuoteArgument(const QString& text);

/// The command processor: the COMSPEC environment variable when it is set and
/// not empty, else "/bin/sh".
QString CommandProcessorPath();

/// The command line that runs Command through the command processor: its path,
/// "-c" and Command as one argument (quoted with QuoteArgument), so that
/// SplitCommandLine gives exactly { processor, "-c", Command }.
QString CommandProcessorLine(const QString& command);

/// Starts cmdLine (split with SplitCommandLine) as a new process in a process
/// group of its own (process group id = its pid), with standard input from
/// /dev/null, standard output and error shared with this program, this
/// program's environment and current folder, and no other open file of ours.
/// A program name without "/" is looked up on PATH; a name ending in ".exe"
/// (any case) that is not found is tried again without that ending.
///
/// The child's environment carries MRV_CMDLINE = CommandLineTail(cmdLine) and
/// MRV_CMDLINE_PID = the child's own pid, so our own programs can read their
/// command line whole. When the first argument is "-c" (a command run through
/// a command interpreter, which may exec its last command in place and so pass
/// its pid on) both variables are removed instead, so no program ever reads a
/// command line meant for the interpreter.
///
/// Returns true and fills *started when the program is running. Returns false
/// when it cannot be started (empty line, program not found, not executable,
/// fork failure): *started is left unchanged, no child is left behind, and
/// *error (when given) says what went wrong, e.g.
/// "Cannot start \"nosuch\": No such file or directory".
bool LaunchProcess(const QString& cmdLine, ProcessStamp* started, QString* error = nullptr);

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

// ---- jobs under a keeper ----------------------------------------------------
//
// A job is started under a keeper: the small program MRVKeep (found beside the
// running executable) forks the job at once and holds it before its program
// runs, so the caller can record the submission durably first; then the
// caller releases it. The keeper waits for the job and writes a record of how
// it ended into a folder the caller names, flushed to the disk, before the
// job's exit status is released; so a caller restarted in the meantime still
// learns the true outcome. The job itself is as LaunchProcess makes it: its
// own pid, process group, stdin, environment and MRV_CMDLINE tag.

/// A job started under a keeper and not yet released.
struct HeldProcess {
    ProcessStamp stamp;  ///< the job's own pid and start time
    pid_t keeper = 0;    ///< the keeper's pid
    QString shownName;
    int goFd = -1;
    int reportFd = -1;
};

/// The keeper program: MRVKeep beside the running executable, else the one
/// this build made.
QString KeeperProgram();

/// Starts cmdLine held under a keeper that records its ending in endsFolder
/// (made when missing). False, with *error as LaunchProcess gives it (or
/// naming the keeper or the folder), when the program or the keeper cannot be
/// started; nothing is left running then.
bool LaunchHeld(const QString& cmdLine, const QString& endsFolder, HeldProcess* held, QString* error = nullptr);

/// Lets the held job's program run. False, with *error ("Cannot start
/// \"prog\": reason"), when it could not be run: the keeper then records a
/// StartFailed ending. On success the keeper's report socket is kept (until
/// RemoveKeptExit): the keeper sends the job's ending on it.
bool ReleaseHeld(HeldProcess* held, QString* error = nullptr);

/// Lets the held job go without running its program: its keeper records a
/// NotStarted ending. The same happens when the caller dies before releasing.
void AbandonHeld(HeldProcess* held);

/// True while the job p under keeper `keeper` has not ended: its process runs,
/// or has ended and its keeper has not written the record yet (it holds the
/// exit status and tries again until the record is written). False once a
/// whole record is there, or when the process is gone and no keeper holds it.
/// A damaged record (empty, cut short) counts as not yet written. A job
/// released by this program is known from its keeper's report socket, which
/// carries the record: while it is open nothing else is looked at (a job that
/// ended is seen within a millisecond of its record). The keeper writes its
/// record into endsFolder only when this program cannot take it: it has gone,
/// or stops watching the job before RemoveKeptExit.
bool KeptProcessRunning(const QString& endsFolder, const ProcessStamp& p, pid_t keeper);

/// True once the held job p under keeper `keeper` has become its program
/// (it was released and its program started); false while it is still the
/// keeper's own copy waiting to be released, and when it has ended or is
/// gone (its record then tells how it ended).
bool KeptProgramStarted(const ProcessStamp& p, pid_t keeper);

/// The ending its keeper recorded for job p (sent to this program, else in
/// endsFolder); How::Unknown when there is no whole record (the keeper was
/// killed too). *endedAt (when given)
/// receives the moment of the ending in seconds since 1970.
ProcessExit KeptExit(const QString& endsFolder, const ProcessStamp& p, qint64* endedAt = nullptr);

/// Once job p's outcome is kept elsewhere: tells its keeper, which sent the
/// record, that it is kept (the keeper then lets the job go and writes no
/// file), else deletes the record's file; stops watching the keeper.
void RemoveKeptExit(const QString& endsFolder, const ProcessStamp& p);
