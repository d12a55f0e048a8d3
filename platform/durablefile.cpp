#include "platform/durablefile.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Keeps the system's text for the errno e of the call that just failed.
bool Failed(QString* error, int e) {
    if (error) *error = qt_error_string(e);
    return false;
}

}  // namespace

int OpenDurable(const QString& path, QString* error, WhenMissing whenMissing) {
    const int create = whenMissing == WhenMissing::Create ? O_CREAT : 0;
    // A journal that is a link could lead its records anywhere: refused.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | create, 0644);
    if (fd < 0) Failed(error, errno);
    return fd;
}

bool DurableAppend(int fd, const char* data, std::size_t size, QString* error) {
    while (size > 0) {
        const ssize_t w = ::write(fd, data, size);
        if (w < 0 && errno == EINTR) continue;
        // A write that takes nothing and names no error: the disk is full.
        if (w <= 0) return Failed(error, w == 0 ? ENOSPC : errno);
        data += w;
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

bool DurableSync(int fd, QString* error) { return ::fdatasync(fd) == 0 || Failed(error, errno); }

bool DurableCutBack(int fd, qint64 length, QString* error) {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 || Failed(error, errno);
}

qint64 DurableLength(int fd, QString* error) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        Failed(error, errno);
        return -1;
    }
    return static_cast<qint64>(st.st_size);
}

void DurableClose(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}
