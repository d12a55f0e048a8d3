#include "morvenda/core/journalfile.h"

#include "common/atomicfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString WriteError(const QString& path) {
    return QStringLiteral("Cannot write the run journal \"%1\": %2").arg(path, qt_error_string(errno));
}

bool OpenJournal(QString* error) {
    RunJournalFile& jf = TheRunJournal();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) return true;
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (jf.fd < 0) {
        jf.path.clear();
        if (error) *error = WriteError(path);
        return false;
    }
    jf.path = path;
    if (jf.cutBackTo >= 0) {
        if (::ftruncate(jf.fd, jf.cutBackTo) != 0) {
            if (error) *error = WriteError(path);
            ::close(jf.fd);
            jf.fd = -1;
            jf.path.clear();
            return false;
        }
        jf.cutBackTo = -1;
    }
    return true;
}

}  // namespace

RunJournalFile& TheRunJournal() {
    static RunJournalFile j;
    return j;
}

QString RunJournalPath() { return G.gSchedFile + QStringLiteral(".journal"); }

bool WriteRunJournalPending(bool sync, QString* error) {
    FlushRunLog();
    RunJournalFile& jf = TheRunJournal();
    if (jf.pending.isEmpty()) return true;
    if (!OpenJournal(error)) return false;
    // Where the last whole record ends: a write or a flush that fails is cut
    // back to it, so no half record is left for the next one to join, and no
    // record that may not be on the disk can be replayed.
    const off_t whole = ::lseek(jf.fd, 0, SEEK_END);
    const char* p = jf.pending.constData();
    size_t left = static_cast<size_t>(jf.pending.size());
    const QByteArray name = QFile::encodeName(jf.path);
    int e = IoFault(IoStep::Write, name.constData());
    if (e != 0 && left > 1) {
        // As a disk that fills up takes it: half, then the error.
        if (::write(jf.fd, p, left / 2) < 0) e = errno;
    }
    while (e == 0 && left > 0) {
        const ssize_t w = ::write(jf.fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            e = w == 0 ? ENOSPC : errno;
            break;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (e == 0 && sync) e = IoFault(IoStep::Flush, name.constData());
    if (e == 0 && sync && ::fdatasync(jf.fd) != 0) e = errno;
    if (e == 0) {
        jf.pending.clear();
        return true;
    }
    // The records stay in memory; the caller drops those that must not take
    // effect now. A journal that cannot even be cut back is closed, and
    // opened again (and cut back) by the next record.
    if (whole < 0 || ::ftruncate(jf.fd, whole) != 0) {
        ::close(jf.fd);
        jf.fd = -1;
        jf.path.clear();
        jf.cutBackTo = whole;
    }
    errno = e;
    if (error) *error = WriteError(RunJournalPath());
    return false;
}

void EmptyRunJournal() {
    // The schedule file holds what the waiting records say; the run log lines
    // they follow must not wait any longer.
    FlushRunLog();
    RunJournalFile& jf = TheRunJournal();
    jf.pending.clear();
    jf.group = false;
    jf.groupKinds.clear();
    jf.cutBackTo = -1;
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) {
        if (::ftruncate(jf.fd, 0) == 0) ::fdatasync(jf.fd);
    } else {
        const QByteArray p = QFile::encodeName(path);
        if (::access(p.constData(), F_OK) == 0) {
            const int fd = ::open(p.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
            if (fd >= 0) {
                ::fdatasync(fd);
                ::close(fd);
            }
        }
    }
    if (jf.carried.isEmpty()) return;
    // Should they not reach the disk, they are still in memory: the next
    // record writes them first.
    jf.pending = jf.carried;
    WriteRunJournalPending(true, nullptr);
}

void CloseRunJournal() {
    RunJournalFile& jf = TheRunJournal();
    if (!jf.group) WriteRunJournalPending(false, nullptr);
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = -1;
    jf.path.clear();
}
