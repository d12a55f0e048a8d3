#include "platform/procstat.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

bool ReadProcStat(pid_t pid, ProcStat* out) {
    if (pid <= 0) return false;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[2048];
    ssize_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf + total, sizeof(buf) - 1 - static_cast<size_t>(total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += n;
        if (static_cast<size_t>(total) >= sizeof(buf) - 1) break;
    }
    ::close(fd);
    buf[total] = '\0';
    // The command name (field 2) may hold blanks and parentheses, so fields
    // are counted from the last ")".
    const char* p = std::strrchr(buf, ')');
    if (!p) return false;
    ++p;
    int field = 2;
    const char* tokenStart = nullptr;
    for (;;) {
        while (*p == ' ') ++p;
        if (!*p) return false;
        ++field;
        tokenStart = p;
        while (*p && *p != ' ') ++p;
        if (field == 3) out->state = *tokenStart;
        if (field == 4) out->parent = static_cast<pid_t>(std::strtol(tokenStart, nullptr, 10));
        if (field == 22) break;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(tokenStart, &end, 10);
    if (errno != 0 || end == tokenStart) return false;
    out->startTime = v;
    return true;
}

void EndRecordName(pid_t pid, std::uint32_t startTime, char* out, std::size_t size) {
    std::snprintf(out, size, "%ld.%lu.end", static_cast<long>(pid), static_cast<unsigned long>(startTime));
}

std::size_t ReadUpTo(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = ::read(fd, p + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}
