#include "platform/start.h"

#include "platform/procstat.h"
#include "platform/spawn.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
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

bool EndsWithExe(const QString& name) { return name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive); }

// Finds the file that exec would run for a program name: as it stands when it
// holds a "/", else the first executable regular file of that name in a PATH
// folder. Returns the errno that explains a failure (ENOENT or EACCES), 0 on
// success.
int ResolveProgram(const QByteArray& name, QByteArray* path) {
    if (name.isEmpty()) return ENOENT;
    if (name.contains('/')) {
        struct stat st;
        if (::stat(name.constData(), &st) != 0) return errno;
        *path = name;
        return 0;  // exec reports anything else (not executable, bad format)
    }
    QByteArray search = qgetenv("PATH");
    if (search.isEmpty()) search = "/usr/local/bin:/usr/bin:/bin";
    int err = ENOENT;
    for (const QByteArray& dirRaw : search.split(':')) {
        const QByteArray dir = dirRaw.isEmpty() ? QByteArray(".") : dirRaw;
        const QByteArray candidate = dir + '/' + name;
        struct stat st;
        if (::stat(candidate.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::access(candidate.constData(), X_OK) != 0) {
            err = EACCES;
            continue;
        }
        *path = candidate;
        return 0;
    }
    return err;
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
    while (len > 0) *out++ = tmp[--len];
    *out = '\0';
    return out;
}

// The child's side between fork and exec: only async-signal-safe calls, no
// allocation. On failure the errno goes back through the error pipe.
// ReportFd and GoFd (-1: none) become descriptors 3 and 4 of the program.
[[noreturn]] void RunChild(const char* path, char* const* argv, char* const* envp, char* pidSlot, int devNull,
                           int errWrite, int reportFd, int goFd) {
    ::setpgid(0, 0);
    // The child shares the scheduler's memory until the exec: no handler of
    // ours may run here, so every caught signal goes back to its default
    // before the signals (all blocked by Spawn) are let through.
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction cur;
        if (::sigaction(sig, nullptr, &cur) == 0 && cur.sa_handler != SIG_DFL && cur.sa_handler != SIG_IGN)
            ::sigaction(sig, &dfl, nullptr);
    }
    ::sigaction(SIGPIPE, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (pidSlot) WriteDecimal(pidSlot, static_cast<unsigned long>(::getpid()));
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
    // Both sit above 4 (see Spawn), so dup2 never meets itself and the copies
    // stay open across the exec.
    if (reportFd >= 0) ::dup2(reportFd, 3);
    if (goFd >= 0) ::dup2(goFd, 4);
    ::execve(path, argv, envp);
    const int err = errno;
    ssize_t w;
    do {
        w = ::write(errWrite, &err, sizeof err);
    } while (w < 0 && errno == EINTR);
    ::_exit(127);
}

// What the child of Spawn gets, on a stack of its own.
struct ChildArgs {
    const char* path;
    char* const* argv;
    char* const* envp;
    char* pidSlot;
    int devNull;
    int errWrite;
    int reportFd;
    int goFd;
};

int ChildEntry(void* p) {
    const auto* a = static_cast<const ChildArgs*>(p);
    RunChild(a->path, a->argv, a->envp, a->pidSlot, a->devNull, a->errWrite, a->reportFd, a->goFd);
}

// Starts the child without copying the scheduler: it runs in the
// scheduler's memory (on a stack of its own) until its exec, while the
// scheduler waits, so the start costs the same however large the schedule
// is. Signals stay blocked meanwhile. A fork where that cannot be had.
pid_t StartChild(ChildArgs& args) {
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer cannot follow a child on a stack of its own in
    // our memory: a build with it forks.
    const pid_t forked = ::fork();
    if (forked == 0) ChildEntry(&args);
    return forked;
#endif
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    // The child is done with its stack once clone returns (it has run its
    // exec, or ended), so each thread keeps one for all its starts instead of
    // a map and an unmap for each job.
    constexpr size_t kStack = 64 * 1024;
    struct Stack {
        void* at = MAP_FAILED;
        ~Stack() {
            if (at != MAP_FAILED) ::munmap(at, kStack);
        }
    };
    thread_local Stack kept;
    if (kept.at == MAP_FAILED)
        kept.at = ::mmap(nullptr, kStack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    void* const stack = kept.at;
    pid_t pid;
    if (stack != MAP_FAILED) {
        pid = ::clone(ChildEntry, static_cast<char*>(stack) + kStack, CLONE_VM | CLONE_VFORK | SIGCHLD, &args);
    } else {
        pid = ::fork();
        if (pid == 0) ChildEntry(&args);
    }
    const int err = errno;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return pid;
}

std::vector<char*> Pointers(std::vector<QByteArray>& store) {
    std::vector<char*> out;
    out.reserve(store.size() + 1);
    for (QByteArray& a : store) out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

std::uint32_t StartTimeOf(pid_t pid) {
    ProcStat st;
    ReadProcStat(pid, &st);
    return static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
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
    if (inWord) words << word;
    return words;
}

QString CommandLineTail(const QString& cmdLine) {
    const qsizetype n = cmdLine.size();
    qsizetype i = 0;
    while (i < n && IsBlank(cmdLine.at(i))) ++i;
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
    while (i < n && IsBlank(cmdLine.at(i))) ++i;
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
    if (!needs) return text;
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

bool PlanLaunch(const QString& cmdLine, LaunchPlan* plan, QString* error) {
    const QStringList words = SplitCommandLine(cmdLine);
    if (words.isEmpty() || words.first().isEmpty()) {
        if (error) *error = QStringLiteral("Cannot start an empty command line");
        return false;
    }
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
    if (err != 0) {
        if (error) *error = CannotStart(words.first(), err);
        return false;
    }
    plan->shownName = words.first();
    plan->path = path;
    plan->args.clear();
    plan->args.reserve(static_cast<size_t>(words.size()));
    plan->args.push_back(QFile::encodeName(program));
    for (qsizetype i = 1; i < words.size(); ++i) plan->args.push_back(words.at(i).toLocal8Bit());

    const bool viaInterpreter = words.size() > 1 && words.at(1) == QLatin1String("-c");
    auto isOurVar = [](const char* entry, const char* name) {
        const size_t len = std::strlen(name);
        return std::strncmp(entry, name, len) == 0 && entry[len] == '=';
    };
    plan->env.clear();
    for (char** e = environ; e && *e; ++e) {
        if (isOurVar(*e, kCmdLineVar) || isOurVar(*e, kCmdLinePidVar)) continue;
        plan->env.emplace_back(*e);
    }
    plan->setPid = !viaInterpreter;
    if (plan->setPid) plan->env.push_back(QByteArray(kCmdLineVar) + '=' + CommandLineTail(cmdLine).toLocal8Bit());
    return true;
}

pid_t Spawn(const QByteArray& path, std::vector<QByteArray>& args, std::vector<QByteArray>& env, bool pidVar,
            int reportFd, int goFd, int* err) {
    char* pidSlot = nullptr;
    if (pidVar) {
        QByteArray v = QByteArray(kCmdLinePidVar) + '=';
        const qsizetype offset = v.size();
        v.append(QByteArray(24, '\0'));
        env.push_back(v);
        pidSlot = env.back().data() + offset;
    }
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull < 0) {
        *err = errno;
        return 0;
    }
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        *err = errno;
        ::close(devNull);
        return 0;
    }
    // The error pipe must outlive the child's dup2 onto 3 and 4.
    if ((reportFd >= 0 || goFd >= 0) && errPipe[1] <= 4) {
        const int high = ::fcntl(errPipe[1], F_DUPFD_CLOEXEC, 10);
        if (high >= 0) {
            ::close(errPipe[1]);
            errPipe[1] = high;
        }
    }
    // Copies above 4, so the child can put them on 3 and 4 whatever numbers
    // the originals have.
    const int report = reportFd >= 0 ? ::fcntl(reportFd, F_DUPFD_CLOEXEC, 10) : -1;
    const int go = goFd >= 0 ? ::fcntl(goFd, F_DUPFD_CLOEXEC, 10) : -1;
    ChildArgs child{path.constData(), argv.data(), envp.data(), pidSlot, devNull, errPipe[1], report, go};
    const pid_t pid = StartChild(child);
    const int forkErr = errno;
    ::close(errPipe[1]);
    ::close(devNull);
    if (report >= 0) ::close(report);
    if (go >= 0) ::close(go);
    if (pid < 0) {
        ::close(errPipe[0]);
        *err = forkErr;
        return 0;
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
        *err = childErr;
        return 0;
    }
    return pid;
}

QString CannotStart(const QString& program, int err) {
    return QStringLiteral("Cannot start \"") + program + QStringLiteral("\": ") + qt_error_string(err);
}

bool LaunchProcess(const QString& cmdLine, ProcessStamp* started, QString* error) {
    ReapEndedChildren();
    LaunchPlan plan;
    if (!PlanLaunch(cmdLine, &plan, error)) return false;
    int err = 0;
    const pid_t pid = Spawn(plan.path, plan.args, plan.env, plan.setPid, -1, -1, &err);
    if (pid == 0) {
        if (error) *error = CannotStart(plan.shownName, err);
        return false;
    }
    // Not reaped yet, so even a child that has already ended still has its
    // /proc entry and start time.
    const std::uint32_t startTime = StartTimeOf(pid);
    RememberChild(pid, startTime);
    if (started) *started = ProcessStamp{pid, startTime};
    return true;
}
