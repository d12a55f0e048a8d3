#include "tests/support/fulldisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const char kFiller[] = ".filler";

}  // namespace

SmallDisk::SmallDisk(qint64 bytes) {
    root_ = dir_.path(QStringLiteral("disk"));
    QDir().mkpath(root_);
    options_ = QStringLiteral("size=%1,mode=0755").arg(bytes);
    const QByteArray where = QFile::encodeName(root_);
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, options_.toLatin1().constData()) != 0) {
        skipReason_ = QStringLiteral("a small tmpfs cannot be mounted here (%1): the test needs root")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    mounted_ = true;
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(QFile::encodeName(root_).constData(), MNT_DETACH);
}

QString SmallDisk::path(const QString& name) const { return name.isEmpty() ? root_ : root_ + QLatin1Char('/') + name; }

QByteArray SmallDisk::read(const QString& nameOrPath) const {
    QFile f(nameOrPath.startsWith(QLatin1Char('/')) ? nameOrPath : path(nameOrPath));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void SmallDisk::fill(qint64 leave) {
    unfill();
    const QByteArray filler = QFile::encodeName(path(QString::fromLatin1(kFiller)));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    static const QByteArray block(64 * 1024, 'f');
    off_t size = 0;
    for (;;) {
        const ssize_t w = ::write(fd, block.constData(), static_cast<size_t>(block.size()));
        if (w <= 0) break;
        size += w;
    }
    // Smaller writes take the last part of a block.
    for (;;) {
        const ssize_t w = ::write(fd, block.constData(), 512);
        if (w <= 0) break;
        size += w;
    }
    if (leave > 0) ::ftruncate(fd, size > leave ? size - leave : 0);
    ::close(fd);
}

void SmallDisk::unfill() { ::unlink(QFile::encodeName(path(QString::fromLatin1(kFiller))).constData()); }

bool SmallDisk::setReadOnly(bool readOnly) {
    const QByteArray where = QFile::encodeName(root_);
    return ::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                   options_.toLatin1().constData()) == 0;
}
