#include "morvenda/core/jobindex.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "common/textfile.h"
#include "morvenda/core/state.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace {

// Holds an exclusive flock on a lock file for its lifetime. Every schedule
// takes it before reading the list and keeps it until the new list is in
// place, so two rewrites never interleave.
class IndexLock {
public:
    explicit IndexLock(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        error_ = fd_ < 0 ? errno : 0;
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~IndexLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    IndexLock(const IndexLock&) = delete;
    IndexLock& operator=(const IndexLock&) = delete;
    bool held() const { return fd_ >= 0; }
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace

QStringList MergeJobIndexLines(const QStringList& Existing, const QString& SchedName, const JobTable& Jobs) {
    const QString sched = SchedName.trimmed();
    const QString marker = (QLatin1Char('(') + sched + QLatin1Char(')')).toUpper();
    QStringList out;
    out.reserve(Existing.size() + static_cast<qsizetype>(Jobs.size()));
    for (const QString& line : Existing) {
        if (!line.toUpper().contains(marker)) out.append(line);
    }
    const QString suffix = QStringLiteral(" (") + sched + QLatin1Char(')');
    for (size_t k = 1; k < Jobs.size(); ++k) {
        if (Jobs[k].TriggerFile.trimmed() == gStdTrigger) out.append(Jobs[k].JobName.trimmed() + suffix);
    }
    return out;
}

bool RewriteJobIndexFile(const QString& IndexFile, const QString& SchedName, const JobTable& Jobs, QString* FailedPath,
                         QString* Why) {
    auto fail = [FailedPath, Why](const QString& path, const QString& why) {
        if (FailedPath) *FailedPath = path;
        if (Why) *Why = why;
        return false;
    };
    const QString lockPath = IndexFile + QStringLiteral(".lock");
    const IndexLock lock(lockPath);
    if (!lock.held()) return fail(lockPath, qt_error_string(lock.error()));
    QStringList existing;
    QString error;
    if (PathExists(IndexFile) && !ReadTextLines(IndexFile, &existing, &error)) return fail(IndexFile, error);
    if (!WriteFileAtomic(IndexFile, EncodeLines(MergeJobIndexLines(existing, SchedName, Jobs)), &error))
        return fail(IndexFile, error);
    return true;
}

void UpdateJobIndexFile() {
    if (G.gJobIndexFile.isEmpty()) return;
    QString failed;
    QString why;
    // The trigger list only helps the job editor of other schedules: a
    // failure to rewrite it is reported and the schedule carries on.
    if (!RewriteJobIndexFile(G.gJobIndexFile, G.gSchedName, G.Jobs, &failed, &why))
        MsgBox(gPathMsgPrefix + failed + QLatin1Char('"') + QStringLiteral("\n\n") + why, MsgButtons::Ok,
               MsgIcon::Warning);
}
