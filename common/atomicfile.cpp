#include "common/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The process's umask from /proc (umask() itself cannot be read without
// changing it, which would race with other threads creating files).
mode_t CurrentUmask() {
    mode_t mask = 022;
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return mask;
    char buf[4096];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf - 1);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n <= 0) return mask;
    buf[n] = '\0';
    if (const char* p = std::strstr(buf, "\nUmask:")) mask = static_cast<mode_t>(std::strtoul(p + 7, nullptr, 8));
    return mask;
}

IoFaultHook gIoFault = nullptr;

int WriteAll(int fd, const char* p, std::size_t left, const char* path) {
    if (const int e = IoFault(IoStep::Write, path)) {
        // Half of it first, as a disk that fills up takes it.
        if (left > 1 && ::write(fd, p, left / 2) < 0) return errno;
        return e;
    }
    while (left > 0) {
        const ssize_t w = ::write(fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        if (w == 0) return ENOSPC;  // no progress: the file system takes no more
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    return 0;
}

}  // namespace

void SetIoFaultHook(IoFaultHook Hook) { gIoFault = Hook; }

int IoFault(IoStep Step, const char* Path) { return gIoFault ? gIoFault(Step, Path) : 0; }

int ReplaceWholeFile(const char* path, const void* data, std::size_t size, const ReplaceOptions& options,
                     ReplaceStep* step) {
    auto failed = [step](ReplaceStep s, int e) {
        if (step) *step = s;
        return e != 0 ? e : EIO;
    };
    if (step) *step = ReplaceStep::None;
    const std::string target = path;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) return failed(ReplaceStep::Create, EISDIR);

    mode_t mode;
    struct stat old {};
    if (options.mode >= 0)
        mode = static_cast<mode_t>(options.mode);
    else if (::lstat(path, &old) == 0 && S_ISREG(old.st_mode))
        mode = old.st_mode & 07777;
    else
        mode = 0666 & ~CurrentUmask();

    std::string tmp =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." + name + ".XXXXXX.tmp";
    const int fd = ::mkostemps(tmp.data(), 4, O_CLOEXEC);
    if (fd < 0) return failed(ReplaceStep::Create, errno);

    int e = WriteAll(fd, static_cast<const char*>(data), size, path);
    if (e == 0 && ::fchmod(fd, mode) != 0) e = errno;
    // A file system that allocates late reports a full disk only here.
    if (e == 0 && options.flush) e = IoFault(IoStep::Flush, path);
    if (e == 0 && options.flush && ::fdatasync(fd) != 0) e = errno;
    if (::close(fd) != 0 && e == 0) e = errno;
    if (e != 0) {
        ::unlink(tmp.c_str());
        return failed(ReplaceStep::Write, e);
    }
    e = IoFault(IoStep::Rename, path);
    if (e != 0 || ::rename(tmp.c_str(), path) != 0) {
        if (e == 0) e = errno;
        ::unlink(tmp.c_str());
        return failed(ReplaceStep::Rename, e);
    }
    if (!options.flush) return 0;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return failed(ReplaceStep::Sync, errno);
    // Some file systems cannot flush a folder at all; nothing is lost then.
    if (::fsync(dir) != 0 && errno != EINVAL && errno != ENOTSUP) e = errno;
    ::close(dir);
    return e == 0 ? 0 : failed(ReplaceStep::Sync, e);
}

int RewriteFileInPlace(const char* path, const void* data, std::size_t size, const ReplaceOptions& options,
                       ReplaceStep* step) {
    if (step) *step = ReplaceStep::None;
    // Non-blocking, so a named pipe planted at path cannot hold the caller.
    const int fd = ::open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    // In place only where the new bytes fit in one page and in the blocks the
    // file already has: such a write takes no new space and is not torn, so
    // it cannot fail half-way on a full disk.
    constexpr std::size_t kPage = 4096;
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || size > kPage ||
                    static_cast<off_t>(size) > static_cast<off_t>(st.st_blocks) * 512)) {
        ::close(fd);
        return ReplaceWholeFile(path, data, size, options, step);
    }
    if (fd < 0) return ReplaceWholeFile(path, data, size, options, step);
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    int e = IoFault(IoStep::Write, path);
    while (e == 0 && done < size) {
        const ssize_t w = ::pwrite(fd, p + done, size - done, static_cast<off_t>(done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            e = w < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(w);
    }
    if (e == 0 && st.st_size > static_cast<off_t>(size) && ::ftruncate(fd, static_cast<off_t>(size)) != 0) e = errno;
    if (e == 0 && options.flush) e = IoFault(IoStep::Flush, path);
    if (e == 0 && options.flush && ::fdatasync(fd) != 0) e = errno;
    if (::close(fd) != 0 && e == 0) e = errno;
    if (e != 0 && step) *step = ReplaceStep::Write;
    return e;
}
