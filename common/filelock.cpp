#include "common/filelock.h"

#include "common/textfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QByteArray HostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == 0) return QByteArrayLiteral("unknown");
    return QByteArray(host);
}

}  // namespace

FileLock::FileLock(const QString& path, int waitMs, int mode) {
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    // The lock file may be replaced or its handle go stale on another
    // computer's mount: a stale open is tried again.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    for (;;) {
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0 || errno != ESTALE || std::chrono::steady_clock::now() >= until) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd < 0) {
        reason_ = qt_error_string(errno);
        error_ = QStringLiteral("Cannot open \"%1\": %2").arg(path, reason_);
        return;
    }
    int pauseMs = 1;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        const int e = errno;
        if (e != EWOULDBLOCK && e != EINTR && e != ESTALE) {
            ::close(fd);
            reason_ = qt_error_string(e);
            error_ = QStringLiteral("Cannot lock \"%1\": %2").arg(path, reason_);
            return;
        }
        if (std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            busy_ = true;
            const QString holder = LockHolder(path);
            error_ = QStringLiteral("The file \"%1\" is in use by %2")
                         .arg(path, holder.isEmpty() ? QStringLiteral("another program") : holder);
            reason_ = error_;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        pauseMs = std::min(pauseMs * 2, 8);
    }
    fd_ = fd;
    const QByteArray record = HostName() + ' ' + QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    // The record only helps a waiter name the holder: a failed write changes
    // nothing about the lock itself.
    if (::ftruncate(fd_, 0) == 0) (void)!::pwrite(fd_, record.constData(), static_cast<size_t>(record.size()), 0);
}

FileLock::~FileLock() {
    if (fd_ < 0) return;
    (void)!::ftruncate(fd_, 0);
    ::close(fd_);  // closing releases the lock
}

QString LockHolder(const QString& path) {
    QByteArray bytes;
    if (!ReadFileBytes(path, &bytes)) return QString();
    const QList<QByteArray> parts = bytes.trimmed().split(' ');
    if (parts.size() < 2 || parts[0].isEmpty()) return QString();
    return QStringLiteral("computer %1 (process %2)").arg(QString::fromUtf8(parts[0]), QString::fromLatin1(parts[1]));
}
