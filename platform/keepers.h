#pragma once

#include "platform/children.h"

#include <QString>

#include <sys/types.h>

// Jobs under a keeper, and the records of how they ended. A job is started
// under a keeper: the small program MRVKeep (found beside the running
// executable) forks the job at once and holds it before its program runs, so
// the caller can record the submission durably first; then the caller releases
// it. The keeper waits for the job and writes a record of how it ended into a
// folder the caller names, flushed to the disk, before the job's exit status is
// released; so a caller restarted in the meantime still learns the true
// outcome. The job itself is as LaunchProcess makes it: its own pid, process
// group, stdin, environment and MRV_CMDLINE tag.

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
