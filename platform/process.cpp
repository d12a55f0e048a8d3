#include "platform/process.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace {

const char kCmdLineVar[] = "MRV_CMDLINE";
const char kCmdLinePidVar[] = "MRV_CMDLINE_PID";

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// ---- /proc -----------------------------------------------------------------

struct ProcStat {
    char state = 0;
    std::uint64_t startTime = 0;
};

// Reads state (field 3) and start time (field 22) of /proc/<pid>/stat. The
// command name (field 2) may hold blanks and parentheses, so fields are counted
// from the last ")".
bool ReadProcStat(pid_t pid, ProcStat* out) {
    if (pid <= 0)
        return false;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[2048];
    ssize_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf + total, sizeof(buf) - 1 - static_cast<size_t>(total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
        if (static_cast<size_t>(total) >= sizeof(buf) - 1)
            break;
    }
    ::close(fd);
    buf[total] = '\0';
    const char* p = std::strrchr(buf, ')');
    if (!p)
        return false;
    ++p;
    // Field 3 is the first one after ")".
    int field = 2;
    const char* tokenStart = nullptr;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (!*p)
            return false;
        ++field;
        tokenStart = p;
        while (*p && *p != ' ')
            ++p;
        if (field == 3)
            out->state = *tokenStart;
        if (field == 22)
            break;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(tokenStart, &end, 10);
    if (errno != 0 || end == tokenStart)
        return false;
    out->startTime = v;
    return true;
}

// ---- our own children ------------------------------------------------------

struct ChildRecord {
    std::uint32_t startTime = 0;
    bool ended = false;
    ProcessExit exit;
};

// Endings are kept for the latest children that ended; older ones are dropped
// so a scheduler that runs for months does not grow without bound. The kick
// pass reads an ending within seconds of it.
constexpr size_t kKeepEnded = 4096;

struct ChildTable {
    std::mutex mu;
    std::unordered_map<pid_t, ChildRecord> children;
    std::deque<ProcessStamp> endedOrder;
};

ChildTable& Children() {
    static ChildTable t;
    return t;
}

ProcessExit FromWaitStatus(int status) {
    ProcessExit e;
    if (WIFEXITED(status)) {
        e.how = ProcessExit::How::Exited;
        e.number = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        e.how = ProcessExit::How::Signalled;
        e.number = WTERMSIG(status);
    }
    return e;
}

// Records the ending of a child; the table's lock is held.
void MarkEnded(ChildTable& t, pid_t pid, ChildRecord& rec, const ProcessExit& e) {
    rec.ended = true;
    rec.exit = e;
    t.endedOrder.push_back(ProcessStamp{pid, rec.startTime});
    while (t.endedOrder.size() > kKeepEnded) {
        const ProcessStamp old = t.endedOrder.front();
        t.endedOrder.pop_front();
        auto it = t.children.find(old.pid);
        if (it != t.children.end() && it->second.ended && it->second.startTime == old.startTime)
            t.children.erase(it);
    }
}

// Polls one child that has not been seen ending; the table's lock is held.
void PollChild(ChildTable& t, pid_t pid, ChildRecord& rec) {
    if (rec.ended)
        return;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0)
        return;  // still running
    // r == pid: it ended and is reaped now. r < 0 (ECHILD): someone else reaped
    // it, so it has ended but its exit status is lost.
    MarkEnded(t, pid, rec, r == pid ? FromWaitStatus(status) : ProcessExit{});
}

// Reaps every child that has ended, so programs nobody follows (a document
// viewer, the setup genie) do not stay behind as zombies.
void ReapEndedChildren() {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    for (auto& [pid, rec] : t.children)
        PollChild(t, pid, rec);
}

// ---- starting --------------------------------------------------------------

bool EndsWithExe(const QString& name) { return name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive); }

// Finds the file that exec would run for a program name: as it stands when it
// holds a "/", else the first executable regular file of that name in a PATH
// folder. Returns the errno that explains a failure (ENOENT or EACCES), 0 on
// success.
int ResolveProgram(const QByteArray& name, QByteArray* path) {
    if (name.isEmpty())
        return ENOENT;
    if (name.contains('/')) {
        struct stat st;
        if (::stat(name.constData(), &st) != 0)
            return errno;
        *path = name;
        return 0;  // exec reports anything else (not executable, bad format)
    }
    QByteArray search = qgetenv("PATH");
    if (search.isEmpty())
        search = "/usr/local/bin:/usr/bin:/bin";
    int err = ENOENT;
    for (const QByteArray& dirRaw : search.split(':')) {
        const QByteArray dir = dirRaw.isEmpty() ? QByteArray(".") : dirRaw;
        const QByteArray candidate = dir + '/' + name;
        struct stat st;
        if (::stat(candidate.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::access(candidate.constData(), X_OK) != 0) {
            err = EACCES;
            continue;
        }
        *path = candidate;
        return 0;
    }
    return err;
}

QString CannotStart(const QString& program, int err) {
    return QStringLiteral("Cannot start \"") + program + QStringLiteral("\": ") + qt_error_string(err);
}

// Writes n in decimal at out (room for 20 digits); async-signal-safe, for the
// child between fork and exec. Returns the end of the digits.
char* WriteDecimal(char* out, unsigned long n) {
    char tmp[24];
    int len = 0;
    do {
        tmp[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (len > 0)
        *out++ = tmp[--len];
    *out = '\0';
    return out;
}

// The child's side between fork and exec: only async-signal-safe calls, no
// allocation. On failure the errno goes back through the error pipe.
[[noreturn]] void RunChild(const char* path, char* const* argv, char* const* envp, char* pidSlot, int devNull,
                           int errWrite) {
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &dfl, nullptr);
    if (pidSlot)
        WriteDecimal(pidSlot, static_cast<unsigned long>(::getpid()));
    if (devNull != STDIN_FILENO) {
        ::dup2(devNull, STDIN_FILENO);
    } else {
        ::fcntl(STDIN_FILENO, F_SETFD, 0);
    }
#if defined(CLOSE_RANGE_CLOEXEC)
    // Our own open files are not the job's: mark every one close-on-exec (the
    // error pipe must stay open until the exec itself).
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
    ::execve(path, argv, envp);
    const int err = errno;
    ssize_t w;
    do {
        w = ::write(errWrite, &err, sizeof err);
    } while (w < 0 && errno == EINTR);
    ::_exit(127);
}

}  // namespace

QStringList SplitCommandLine(const QString& cmdLine) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    const qsizetype n = cmdLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = cmdLine.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && cmdLine.at(i + 1) == QLatin1Char('"')) {
                    word += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                word += c;
            }
        } else if (IsBlank(c)) {
            if (inWord) {
                words << word;
                word.clear();
                inWord = false;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

QString CommandLineTail(const QString& cmdLine) {
    const qsizetype n = cmdLine.size();
    qsizetype i = 0;
    while (i < n && IsBlank(cmdLine.at(i)))
        ++i;
    // Skip the program word by the same quoting rules as SplitCommandLine.
    bool quoted = false;
    for (; i < n; ++i) {
        const QChar c = cmdLine.at(i);
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < n && cmdLine.at(i + 1) == QLatin1Char('"'))
                ++i;
            else
                quoted = !quoted;
        } else if (!quoted && IsBlank(c)) {
            break;
        }
    }
    while (i < n && IsBlank(cmdLine.at(i)))
        ++i;
    return cmdLine.mid(i);
}

QString QuoteArgument(const QString& text) {
    bool needs = text.isEmpty();
    for (QChar c : text) {
        if (IsBlank(c) || c == QLatin1Char('"')) {
            needs = true;
            break;
        }
    }
    if (!needs)
        return text;
    QString s = text;
    s.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString CommandProcessorPath() {
    const QString comspec = qEnvironmentVariable("COMSPEC");
    return comspec.isEmpty() ? QStringLiteral("/bin/sh") : comspec;
}

QString CommandProcessorLine(const QString& command) {
    // The command is always quoted, even when it has no blank: an empty one
    // must stay an argument.
    QString s = command;
    s.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QuoteArgument(CommandProcessorPath()) + QStringLiteral(" -c \"") + s + QLatin1Char('"');
}

bool LaunchProcess(const QString& cmdLine, ProcessStamp* started, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    ReapEndedChildren();

    const QStringList words = SplitCommandLine(cmdLine);
    if (words.isEmpty() || words.first().isEmpty())
        return fail(QStringLiteral("Cannot start an empty command line"));

    // The program: as written, else (for a name ending in ".exe") without it.
    QString program = words.first();
    QByteArray path;
    int err = ResolveProgram(QFile::encodeName(program), &path);
    if (err != 0 && EndsWithExe(program)) {
        const QString bare = program.left(program.size() - 4);
        if (ResolveProgram(QFile::encodeName(bare), &path) == 0) {
            program = bare;
            err = 0;
        }
    }
    if (err != 0)
        return fail(CannotStart(words.first(), err));

    // Everything the child needs is built before the fork: the child may not
    // allocate.
    std::vector<QByteArray> argStore;
    argStore.reserve(static_cast<size_t>(words.size()));
    argStore.push_back(QFile::encodeName(program));
    for (qsizetype i = 1; i < words.size(); ++i)
        argStore.push_back(words.at(i).toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const bool viaInterpreter = words.size() > 1 && words.at(1) == QLatin1String("-c");
    std::vector<QByteArray> envStore;
    auto isOurVar = [](const char* entry, const char* name) {
        const size_t len = std::strlen(name);
        return std::strncmp(entry, name, len) == 0 && entry[len] == '=';
    };
    for (char** e = environ; e && *e; ++e) {
        if (isOurVar(*e, kCmdLineVar) || isOurVar(*e, kCmdLinePidVar))
            continue;
        envStore.emplace_back(*e);
    }
    size_t pidIndex = 0;
    qsizetype pidOffset = 0;
    if (!viaInterpreter) {
        envStore.push_back(QByteArray(kCmdLineVar) + '=' + CommandLineTail(cmdLine).toLocal8Bit());
        pidOffset = static_cast<qsizetype>(std::strlen(kCmdLinePidVar)) + 1;
        QByteArray pidVar = QByteArray(kCmdLinePidVar) + '=';
        pidVar.append(QByteArray(24, '\0'));
        pidIndex = envStore.size();
        envStore.push_back(pidVar);
    }
    std::vector<char*> envp;
    for (QByteArray& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char* pidSlot = viaInterpreter ? nullptr : envStore[pidIndex].data() + pidOffset;

    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull < 0)
        return fail(CannotStart(words.first(), errno));
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        const int e = errno;
        ::close(devNull);
        return fail(CannotStart(words.first(), e));
    }

    const pid_t pid = ::fork();
    if (pid == 0)
        RunChild(path.constData(), argv.data(), envp.data(), pidSlot, devNull, errPipe[1]);
    const int forkErr = errno;
    ::close(errPipe[1]);
    ::close(devNull);
    if (pid < 0) {
        ::close(errPipe[0]);
        return fail(CannotStart(words.first(), forkErr));
    }
    // Also from this side, so the group exists before anyone signals it.
    ::setpgid(pid, pid);

    // The pipe closes on a successful exec; otherwise it carries the errno.
    int childErr = 0;
    ssize_t got;
    do {
        got = ::read(errPipe[0], &childErr, sizeof childErr);
    } while (got < 0 && errno == EINTR);
    ::close(errPipe[0]);
    if (got == static_cast<ssize_t>(sizeof childErr)) {
        pid_t r;
        do {
            r = ::waitpid(pid, nullptr, 0);
        } while (r < 0 && errno == EINTR);
        return fail(CannotStart(words.first(), childErr));
    }

    // Not reaped yet, so even a child that has already ended still has its
    // /proc entry and start time.
    ProcStat st;
    ReadProcStat(pid, &st);
    const auto startTime = static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
    {
        ChildTable& t = Children();
        std::lock_guard lock(t.mu);
        t.children[pid] = ChildRecord{startTime, false, ProcessExit{}};
    }
    if (started)
        *started = ProcessStamp{pid, startTime};
    return true;
}

bool ProcessStartTime(pid_t pid, std::uint32_t* startTime) {
    ProcStat st;
    if (!ReadProcStat(pid, &st))
        return false;
    *startTime = static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
    return true;
}

bool ProcessRunning(const ProcessStamp& p) {
    if (p.pid <= 0)
        return false;
    {
        ChildTable& t = Children();
        std::lock_guard lock(t.mu);
        auto it = t.children.find(p.pid);
        if (it != t.children.end() && it->second.startTime == p.startTime) {
            PollChild(t, p.pid, it->second);
            return !it->second.ended;
        }
    }
    ProcStat st;
    if (!ReadProcStat(p.pid, &st))
        return false;
    if (st.state == 'Z' || st.state == 'X')
        return false;  // ended, waiting to be reaped by its parent
    return static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu) == p.startTime;
}

ProcessExit ProcessExitStatus(const ProcessStamp& p) {
    if (ProcessRunning(p))
        return ProcessExit{};
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    auto it = t.children.find(p.pid);
    if (it != t.children.end() && it->second.startTime == p.startTime && it->second.ended)
        return it->second.exit;
    return ProcessExit{};
}

QString ExitStatusText(const ProcessExit& e) {
    switch (e.how) {
    case ProcessExit::How::Exited:
        return QStringLiteral("Exit code ") + QString::number(e.number);
    case ProcessExit::How::Signalled: {
        const char* abbrev = ::sigabbrev_np(e.number);
        const QString name = abbrev ? QStringLiteral("SIG") + QString::fromLatin1(abbrev) : QStringLiteral("unknown");
        return QStringLiteral("Signal ") + QString::number(e.number) + QStringLiteral(" (") + name +
               QLatin1Char(')');
    }
    case ProcessExit::How::Unknown:
        break;
    }
    return QStringLiteral("Exit status unknown");
}

bool TerminateProcessGroup(const ProcessStamp& p) {
    if (p.pid <= 1 || p.pid == ::getpgrp())
        return false;
    // The leader still there with another start time: the pid was reused and
    // the group is not ours. The leader gone: the group, if any is left, is
    // ours, since Linux hands out no pid still in use as a group id.
    ProcStat st;
    if (ReadProcStat(p.pid, &st) && static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu) != p.startTime)
        return false;
    return ::kill(-p.pid, SIGTERM) == 0;
}
