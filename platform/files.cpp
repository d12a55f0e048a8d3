#include "platform/files.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

WriteAccess FileWriteAccess(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    if (::stat(p.constData(), &st) != 0) return WriteAccess::Missing;
    // A file without a single write bit was made read-only on purpose, even
    // where this user (root) could write it all the same.
    if ((st.st_mode & 0222) != 0 && ::access(p.constData(), W_OK) == 0) return WriteAccess::Writable;
    return WriteAccess::ReadOnly;
}

LinkResult LinkReplacing(const QString& existing, const QString& name, QString* error) {
    const QByteArray from = QFile::encodeName(existing);
    const QByteArray to = QFile::encodeName(name);
    const QByteArray link = to + ".new";
    ::unlink(link.constData());
    if (::link(from.constData(), link.constData()) != 0) return LinkResult::NoLink;
    if (::rename(link.constData(), to.constData()) == 0) return LinkResult::Done;
    const int e = errno;
    ::unlink(link.constData());
    if (error) *error = qt_error_string(e);
    return LinkResult::Failed;
}

bool RenameFile(const QString& from, const QString& to, QString* error) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
    if (error) *error = qt_error_string(errno);
    return false;
}

void SyncFolder(const QString& folder) {
    const QByteArray p = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    const int dir = ::open(p.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}
