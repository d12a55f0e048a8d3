#pragma once

#include <QString>

// An exclusive lock on a lock file that programs on this computer and on
// other computers sharing the folder take before they change a shared file.
// The lock is an flock, which NFSv4, SMB (byte-range locks sent to the
// server) and GlusterFS hold on the server, so it excludes across
// computers. The holder writes its computer's name and its process id into
// the lock file, so that one who waits in vain can say who holds it.

class FileLock {
public:
    /// Takes the lock on path (the file is created with mode when missing),
    /// waiting at most waitMs milliseconds while another holds it. held()
    /// tells whether it was taken; when not, error() says why: that the file
    /// could not be opened (and the reason), or that it is in use, naming the
    /// computer and process recorded in it when there is a record.
    FileLock(const QString& path, int waitMs, int mode = 0666);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return fd_ >= 0; }
    /// True when the lock was not taken because another kept it past the wait.
    bool busy() const { return busy_; }
    const QString& error() const { return error_; }
    /// The reason alone, for a message that names the file already: the
    /// system's error text, or the whole "in use" text when busy().
    const QString& reason() const { return reason_; }

private:
    int fd_ = -1;
    bool busy_ = false;
    QString error_;
    QString reason_;
};

/// The holder recorded in the lock file at path: "computer NAME (process
/// PID)", or "" when the file holds no record.
QString LockHolder(const QString& path);
