#include "morvenda/core/journalfile.h"

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
    const QByteArray bytes = std::exchange(jf.pending, QByteArray());
    if (!OpenJournal(error)) return false;
    const char* p = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t w = ::write(jf.fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            if (error) *error = WriteError(jf.path);
            return false;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (sync && ::fdatasync(jf.fd) != 0) {
        if (error) *error = WriteError(jf.path);
        return false;
    }
    return true;
}

void EmptyRunJournal() {
    // The schedule file holds what the waiting records say; the run log lines
    // they follow must not wait any longer.
    FlushRunLog();
    RunJournalFile& jf = TheRunJournal();
    jf.pending.clear();
    jf.group = false;
    jf.groupKinds.clear();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) {
        if (::ftruncate(jf.fd, 0) == 0) ::fdatasync(jf.fd);
        return;
    }
    const QByteArray p = QFile::encodeName(path);
    if (::access(p.constData(), F_OK) != 0) return;
    const int fd = ::open(p.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

void CloseRunJournal() {
    RunJournalFile& jf = TheRunJournal();
    if (!jf.group) WriteRunJournalPending(false, nullptr);
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = -1;
    jf.path.clear();
}
