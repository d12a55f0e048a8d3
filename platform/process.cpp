#include "platform/process.h"

#include "platform/procstat.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace {

const char kCmdLineVar[] = "MRV_CMDLINE";
const char kCmdLinePidVar[] = "MRV_CMDLINE_PID";

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

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
    std::unordered_set<pid_t> running;  // the children not seen ending yet
    // Keepers whose job's ending is known: they exit in a moment.
    std::unordered_set<pid_t> exiting;
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
    t.running.erase(pid);
    t.exiting.erase(pid);
    t.endedOrder.push_back(ProcessStamp{pid, rec.startTime});
    while (t.endedOrder.size() > kKeepEnded) {
        const ProcessStamp old = t.endedOrder.front();
        t.endedOrder.pop_front();
        auto it = t.children.find(old.pid);
        if (it != t.children.end() && it->second.ended && it->second.startTime == old.startTime) t.children.erase(it);
    }
}

// Polls one child that has not been seen ending; the table's lock is held.
void PollChild(ChildTable& t, pid_t pid, ChildRecord& rec) {
    if (rec.ended) return;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return;  // still running
    // r == pid: it ended and is reaped now. r < 0 (ECHILD): someone else reaped
    // it, so it has ended but its exit status is lost.
    MarkEnded(t, pid, rec, r == pid ? FromWaitStatus(status) : ProcessExit{});
}

// Reaps the children of ours that have ended, as the kernel names them, one
// look for all of them plus one for each that ended. True when then no child
// that had ended is left: every child of ours not marked ended still ran at
// that moment. False when the first ended child the kernel names is not ours
// to reap (a helper process of the toolkit): only a look at each child tells.
bool ReapWhatEnded(ChildTable& t) {
    for (size_t k = 0; k <= t.children.size(); ++k) {
        siginfo_t info{};
        int r;
        do {
            r = ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT);
        } while (r < 0 && errno == EINTR);
        if (r < 0) return errno == ECHILD;  // no children at all
        if (info.si_pid == 0) return true;  // none has ended
        auto it = t.children.find(info.si_pid);
        if (it == t.children.end() || it->second.ended) return false;
        PollChild(t, info.si_pid, it->second);
    }
    return false;
}

// Set on a thread while a ChildrenLook found every ended child reaped.
thread_local int tChildrenLooks = 0;
thread_local bool tChildrenSettled = false;

// Reaps every child that has ended, so programs nobody follows (a document
// viewer, the setup genie) do not stay behind as zombies.
void ReapEndedChildren() {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    // Usually the kernel names each ended child: the running ones are not
    // asked one by one, however many there are.
    if (ReapWhatEnded(t)) return;
    // Else only the children still running are asked about, however many
    // ended.
    const auto poll = [&t](std::unordered_set<pid_t>& set) {
        const std::vector<pid_t> pids(set.begin(), set.end());
        for (const pid_t pid : pids) {
            auto it = t.children.find(pid);
            if (it == t.children.end())
                set.erase(pid);
            else
                PollChild(t, pid, it->second);
        }
    };
    poll(t.running);
    poll(t.exiting);
}

// Reaps one child of ours (a keeper) once it has ended; one look, whatever the
// number of children.
void ReapChild(pid_t pid) {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    auto it = t.children.find(pid);
    if (it != t.children.end()) PollChild(t, pid, it->second);
}

// ---- keepers watched through their pipes -------------------------------------
//
// A released keeper keeps its report pipe open until it has recorded its job's
// ending and exits; the read end is kept here, in one epoll set. A job whose
// pipe is still open is running, and is known to be without a look at /proc
// or at the ends folder: the pipe's closing is the event that it ended.

struct KeeperWatch {
    std::uint32_t startTime = 0;
    pid_t keeper = 0;
    int fd = -1;
    bool ended = false;
    // The keeper's record of the ending as it came through the socket (a
    // whole line once `recorded`); the keeper waits for the word that the
    // ending is kept before it lets the job's exit status go.
    std::string record;
    bool recorded = false;
};

struct WatchTable {
    int epoll = -1;
    size_t maxWatches = 0;                        // pipes kept at most, well within the open-file limit
    std::unordered_map<pid_t, KeeperWatch> jobs;  // by the job's pid
    size_t open = 0;                              // watches whose pipe is still open
    std::int64_t lastDrainNs = -1;
};

WatchTable& Watches() {
    static WatchTable w;
    if (w.epoll < 0 && w.maxWatches == 0) {
        w.epoll = ::epoll_create1(EPOLL_CLOEXEC);
        // Every running job holds one descriptor: the soft limit is raised
        // to the hard one, and a quarter of it is left for everything else.
        rlimit lim{};
        if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
            if (lim.rlim_cur < lim.rlim_max) {
                rlimit raised = lim;
                raised.rlim_cur = lim.rlim_max == RLIM_INFINITY ? 1 << 20 : lim.rlim_max;
                if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
            }
            w.maxWatches = lim.rlim_cur == RLIM_INFINITY ? 1 << 19 : static_cast<size_t>(lim.rlim_cur) * 3 / 4;
        }
        if (w.epoll < 0) w.maxWatches = 1;  // no watching: never used
    }
    return w;
}

std::uint64_t WatchKey(pid_t pid, std::uint32_t startTime) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(pid)) << 32) | startTime;
}

void CloseWatch(WatchTable& w, KeeperWatch& k) {
    if (k.fd < 0) return;
    ::close(k.fd);  // also leaves the epoll set
    k.fd = -1;
    --w.open;
}

// Reads what the keeper of k sent: true while its socket stays open (a
// record whole or in part, or nothing yet), false at its end (the keeper has
// exited or was killed) or on an error.
bool TakeRecord(KeeperWatch& k) {
    char buf[128];
    for (;;) {
        const ssize_t got = ::recv(k.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (got <= 0) return false;
        if (k.recorded) continue;  // nothing more is expected: read and dropped
        k.record.append(buf, static_cast<size_t>(got));
        if (k.record.find('\n') != std::string::npos) {
            k.recorded = true;
            k.ended = true;
        } else if (k.record.size() > 200) {
            return false;  // not a record
        }
    }
}

// Takes the endings the sockets announced. A look costs one system call for all
// the jobs; within a millisecond of the last one nothing new is asked, so a
// pass over many running jobs looks a few times, not once per job.
void DrainKeeperEvents() {
    WatchTable& w = Watches();
    if (w.open == 0) return;
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::int64_t now = static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    if (w.lastDrainNs >= 0 && now - w.lastDrainNs < 1000000) return;
    w.lastDrainNs = now;
    epoll_event events[256];
    int n;
    do {
        do {
            n = ::epoll_wait(w.epoll, events, 256, 0);
        } while (n < 0 && errno == EINTR);
        for (int i = 0; i < n; ++i) {
            const pid_t pid = static_cast<pid_t>(events[i].data.u64 >> 32);
            auto it = w.jobs.find(pid);
            if (it == w.jobs.end() || it->second.startTime != static_cast<std::uint32_t>(events[i].data.u64)) continue;
            KeeperWatch& k = it->second;
            if (TakeRecord(k)) continue;
            // The keeper is exiting (it has written its record to the disk, or
            // was killed): it is reaped with the other children.
            CloseWatch(w, k);
            k.ended = true;
            ChildTable& t = Children();
            std::lock_guard lock(t.mu);
            if (t.children.count(k.keeper)) t.exiting.insert(k.keeper);
        }
    } while (n == 256);
}

// Keeps a released keeper's report pipe. False when it cannot be watched
// (too many, or no epoll): the caller closes it, and the job's presence is
// then looked up as for a job carried over from before a restart.
bool WatchKeeper(const ProcessStamp& job, pid_t keeper, int fd) {
    WatchTable& w = Watches();
    if (w.epoll < 0 || w.open >= w.maxWatches) return false;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP;
    ev.data.u64 = WatchKey(job.pid, job.startTime);
    if (::epoll_ctl(w.epoll, EPOLL_CTL_ADD, fd, &ev) != 0) return false;
    auto it = w.jobs.find(job.pid);
    if (it != w.jobs.end()) CloseWatch(w, it->second);
    w.jobs[job.pid] = KeeperWatch{job.startTime, keeper, fd, false, {}, false};
    ++w.open;
    // While its pipe is open the keeper runs: it need not be asked.
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    t.running.erase(keeper);
    return true;
}

// The watch of job p; null when it has none.
KeeperWatch* WatchOf(const ProcessStamp& p) {
    WatchTable& w = Watches();
    auto it = w.jobs.find(p.pid);
    return it != w.jobs.end() && it->second.startTime == p.startTime ? &it->second : nullptr;
}

// Stops watching job p. A keeper that sent its record is told that the
// ending is kept, so it writes no file of it: true when it was told.
bool ForgetWatch(const ProcessStamp& p) {
    WatchTable& w = Watches();
    auto it = w.jobs.find(p.pid);
    if (it == w.jobs.end() || it->second.startTime != p.startTime) return false;
    bool told = false;
    if (it->second.fd >= 0 && it->second.recorded) {
        const char kept = 'K';
        ssize_t sent;
        do {
            sent = ::send(it->second.fd, &kept, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        told = sent == 1;
    }
    if (it->second.fd >= 0) {
        // Still open: its keeper exits in a moment, or once its job ends.
        ChildTable& t = Children();
        std::lock_guard lock(t.mu);
        if (t.children.count(it->second.keeper)) t.exiting.insert(it->second.keeper);
    }
    CloseWatch(w, it->second);
    w.jobs.erase(it);
    return told;
}

// ---- starting --------------------------------------------------------------

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

namespace {

// A program ready to start: everything the child needs is built before the
// fork, since the child may not allocate.
struct LaunchPlan {
    QString shownName;  // the program as the command line names it
    QByteArray path;
    std::vector<QByteArray> args;
    std::vector<QByteArray> env;
    bool setPid = false;  // MRV_CMDLINE is set: MRV_CMDLINE_PID must be the child's pid
};

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

std::vector<char*> Pointers(std::vector<QByteArray>& store) {
    std::vector<char*> out;
    out.reserve(store.size() + 1);
    for (QByteArray& a : store) out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

// Starts path with args and env in a process group of its own, stdin from
// /dev/null. With pidVar the child's pid is written into that environment
// entry; reportFd and goFd (or -1) become its descriptors 3 and 4. Returns the
// pid, or 0 with *err set when the program could not be started (the child is
// then reaped).
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

void RememberChild(pid_t pid, std::uint32_t startTime) {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    t.children[pid] = ChildRecord{startTime, false, ProcessExit{}};
    t.running.insert(pid);
}

std::uint32_t StartTimeOf(pid_t pid) {
    ProcStat st;
    ReadProcStat(pid, &st);
    return static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
}

bool ReadAll(int fd, void* data, size_t size) { return ReadUpTo(fd, data, size) == size; }

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

QByteArray EndRecordPath(const QString& folder, const ProcessStamp& p) {
    char name[64];
    EndRecordName(p.pid, p.startTime, name, sizeof name);
    return QFile::encodeName(folder) + '/' + name;
}

}  // namespace

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

QString KeeperProgram() {
    // This program's own folder is looked up once: every submission asks.
    static const QString beside =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() +
        QStringLiteral("/MRVKeep");
    if (::access(QFile::encodeName(beside).constData(), X_OK) == 0) return beside;
#ifdef MRV_KEEPER_DEFAULT
    return QStringLiteral(MRV_KEEPER_DEFAULT);
#else
    return beside;
#endif
}

bool LaunchHeld(const QString& cmdLine, const QString& endsFolder, HeldProcess* held, QString* error) {
    ReapEndedChildren();
    LaunchPlan plan;
    if (!PlanLaunch(cmdLine, &plan, error)) return false;
    auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("Cannot start \"") + plan.shownName + QStringLiteral("\": ") + why;
        return false;
    };
    if (::mkdir(QFile::encodeName(endsFolder).constData(), 0755) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot make the folder \"") + endsFolder + QStringLiteral("\": ") +
                    qt_error_string(errno));
    const QString keeper = KeeperProgram();
    std::vector<QByteArray> args{QFile::encodeName(keeper), QFile::encodeName(endsFolder), plan.path};
    args.insert(args.end(), plan.args.begin(), plan.args.end());
    // The report channel is a socket: the keeper also reads from it the word
    // that its job's ending is kept.
    int report[2];
    int go[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, report) != 0) return fail(qt_error_string(errno));
    if (::pipe2(go, O_CLOEXEC) != 0) {
        const int e = errno;
        ::close(report[0]);
        ::close(report[1]);
        return fail(qt_error_string(e));
    }
    int err = 0;
    const pid_t keeperPid = Spawn(QFile::encodeName(keeper), args, plan.env, false, report[1], go[0], &err);
    ::close(report[1]);
    ::close(go[0]);
    if (keeperPid == 0) {
        ::close(report[0]);
        ::close(go[1]);
        return fail(QStringLiteral("cannot start the job keeper \"") + keeper + QStringLiteral("\": ") +
                    qt_error_string(err));
    }
    // The keeper is known by its pid alone (it is reaped by it, and no pid of
    // an unreaped child is handed out again): no start time is read for it.
    RememberChild(keeperPid, 0);
    std::int32_t rep[3] = {0, 0, 0};
    if (!ReadAll(report[0], rep, sizeof rep) || rep[0] != 0 || rep[1] <= 0) {
        ::close(report[0]);
        ::close(go[1]);
        return fail(QStringLiteral("the job keeper failed: ") + qt_error_string(rep[0] != 0 ? rep[0] : EPIPE));
    }
    held->stamp = ProcessStamp{static_cast<pid_t>(rep[1]), static_cast<std::uint32_t>(rep[2])};
    held->keeper = keeperPid;
    held->shownName = plan.shownName;
    held->goFd = go[1];
    held->reportFd = report[0];
    return true;
}

bool ReleaseHeld(HeldProcess* held, QString* error) {
    const char go = 'G';
    ssize_t w;
    do {
        w = ::write(held->goFd, &go, 1);
    } while (w < 0 && errno == EINTR);
    CloseFd(&held->goFd);
    std::int32_t result = EPIPE;
    const bool got = ReadAll(held->reportFd, &result, sizeof result);
    if (w == 1 && got && result == 0) {
        // The pipe stays open until the keeper has recorded the ending.
        if (WatchKeeper(held->stamp, held->keeper, held->reportFd))
            held->reportFd = -1;
        else
            CloseFd(&held->reportFd);
        return true;
    }
    CloseFd(&held->reportFd);
    if (error) *error = CannotStart(held->shownName, result > 0 ? result : EPIPE);
    return false;
}

void AbandonHeld(HeldProcess* held) {
    CloseFd(&held->goFd);
    CloseFd(&held->reportFd);
}

namespace {

// Reads the keeper's record of job p: "<how> <number> <moment>" and a line
// end, as the keeper writes it whole. Anything else (no file, an empty or cut
// record, an unknown word) is no record: the keeper has not written it yet.
bool ParseKeptRecord(const QByteArray& line, ProcessExit* e, qint64* endedAt) {
    if (!line.endsWith('\n') || line.count('\n') != 1) return false;
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() != 3) return false;
    const QByteArray& how = words[0];
    ProcessExit r;
    if (how == "exited")
        r.how = ProcessExit::How::Exited;
    else if (how == "signalled")
        r.how = ProcessExit::How::Signalled;
    else if (how == "notstarted")
        r.how = ProcessExit::How::NotStarted;
    else if (how == "startfailed")
        r.how = ProcessExit::How::StartFailed;
    else
        return false;
    bool numberOk = false;
    bool momentOk = false;
    r.number = words[1].toInt(&numberOk);
    const qint64 at = words[2].toLongLong(&momentOk);
    if (!numberOk || !momentOk) return false;
    *e = r;
    if (endedAt) *endedAt = at;
    return true;
}

// The record of job p: the one its keeper sent to this program, else its
// file in endsFolder.
bool ReadKeptRecord(const QString& endsFolder, const ProcessStamp& p, ProcessExit* e, qint64* endedAt) {
    if (p.pid <= 0) return false;
    if (const KeeperWatch* w = WatchOf(p); w && w->recorded)
        return ParseKeptRecord(QByteArray::fromStdString(w->record), e, endedAt);
    QFile f(QString::fromLocal8Bit(EndRecordPath(endsFolder, p)));
    if (!f.open(QIODevice::ReadOnly)) return false;
    return ParseKeptRecord(f.read(200), e, endedAt);
}

}  // namespace

ProcessExit KeptExit(const QString& endsFolder, const ProcessStamp& p, qint64* endedAt) {
    ProcessExit e;
    if (!ReadKeptRecord(endsFolder, p, &e, endedAt)) return ProcessExit{};
    return e;
}

bool KeptProcessRunning(const QString& endsFolder, const ProcessStamp& p, pid_t keeper) {
    if (p.pid <= 0) return false;
    if (const KeeperWatch* w = WatchOf(p)) {
        DrainKeeperEvents();
        if (!w->ended) return true;
        if (w->recorded) return false;
        // Ended: its record is there, unless the keeper was killed (and the
        // job may run on), which the look below tells.
    }
    ReapChild(keeper);
    ProcessExit recorded;
    if (ReadKeptRecord(endsFolder, p, &recorded, nullptr)) return false;
    ProcStat st;
    if (!ReadProcStat(p.pid, &st) || static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu) != p.startTime)
        return false;
    // Ended but not yet released: its keeper is writing the record (or
    // trying again until the disk takes it).
    if (st.state == 'Z' || st.state == 'X') return keeper > 0 && st.parent == keeper;
    return true;
}

bool KeptProgramStarted(const ProcessStamp& p, pid_t keeper) {
    if (p.pid <= 0 || keeper <= 0) return false;
    std::uint32_t started = 0;
    if (!ProcessStartTime(p.pid, &started) || started != p.startTime) return false;
    // Until it is released the job is the keeper's fork: the same program.
    // A zombie's program cannot be read.
    auto image = [](pid_t pid) {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/exe", static_cast<int>(pid));
        char target[4096];
        const ssize_t n = ::readlink(path, target, sizeof target);
        return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
    };
    const std::string job = image(p.pid);
    if (job.empty()) return false;
    std::string own = image(keeper);
    // A keeper that is gone is known by the program it runs.
    if (own.empty()) own = QFile::encodeName(QFileInfo(KeeperProgram()).canonicalFilePath()).toStdString();
    return job != own;
}

void RemoveKeptExit(const QString& endsFolder, const ProcessStamp& p) {
    if (p.pid <= 0) return;
    // A keeper told that the ending is kept writes no file of it.
    if (ForgetWatch(p)) return;
    ::unlink(EndRecordPath(endsFolder, p).constData());
}

qint64 ProcessStartMoment(std::uint32_t startTime) {
    static const qint64 bootTime = [] {
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly)) return qint64(0);
        for (const QByteArray& line : stat.readAll().split('\n'))
            if (line.startsWith("btime ")) return line.mid(6).trimmed().toLongLong();
        return qint64(0);
    }();
    const long hz = ::sysconf(_SC_CLK_TCK);
    QFile uptimeFile(QStringLiteral("/proc/uptime"));
    if (bootTime <= 0 || hz <= 0 || !uptimeFile.open(QIODevice::ReadOnly)) return 0;
    const double uptime = uptimeFile.readAll().split(' ').value(0).toDouble();
    const auto nowTicks = static_cast<qint64>(uptime * static_cast<double>(hz));
    // Only the low 32 bits are kept: the start lies within 2^32 ticks before now.
    constexpr qint64 kWrap = qint64(1) << 32;
    // /proc/uptime is rounded to hundredths: a process started this moment
    // may seem to start a tick after it.
    qint64 ticks = (nowTicks & ~(kWrap - 1)) + startTime;
    if (ticks > nowTicks + hz) ticks -= kWrap;
    if (ticks < 0) return 0;
    return bootTime + ticks / hz;
}

bool ProcessStartTime(pid_t pid, std::uint32_t* startTime) {
    ProcStat st;
    if (!ReadProcStat(pid, &st)) return false;
    *startTime = static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
    return true;
}

bool ProcessRunning(const ProcessStamp& p) {
    if (p.pid <= 0) return false;
    {
        ChildTable& t = Children();
        std::lock_guard lock(t.mu);
        auto it = t.children.find(p.pid);
        if (it != t.children.end() && it->second.startTime == p.startTime) {
            if (!tChildrenSettled) PollChild(t, p.pid, it->second);
            return !it->second.ended;
        }
    }
    ProcStat st;
    if (!ReadProcStat(p.pid, &st)) return false;
    if (st.state == 'Z' || st.state == 'X') return false;  // ended, waiting to be reaped by its parent
    return static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu) == p.startTime;
}

ChildrenLook::ChildrenLook() : outer_(tChildrenLooks++ == 0) {
    if (!outer_) return;
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    tChildrenSettled = ReapWhatEnded(t);
}

ChildrenLook::~ChildrenLook() {
    --tChildrenLooks;
    if (outer_) tChildrenSettled = false;
}

ProcessExit ProcessExitStatus(const ProcessStamp& p) {
    if (ProcessRunning(p)) return ProcessExit{};
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    auto it = t.children.find(p.pid);
    if (it != t.children.end() && it->second.startTime == p.startTime && it->second.ended) return it->second.exit;
    return ProcessExit{};
}

QString ExitStatusText(const ProcessExit& e) {
    switch (e.how) {
        case ProcessExit::How::Exited:
            return QStringLiteral("Exit code ") + QString::number(e.number);
        case ProcessExit::How::Signalled: {
            const char* abbrev = ::sigabbrev_np(e.number);
            const QString name =
                abbrev ? QStringLiteral("SIG") + QString::fromLatin1(abbrev) : QStringLiteral("unknown");
            return QStringLiteral("Signal ") + QString::number(e.number) + QStringLiteral(" (") + name +
                   QLatin1Char(')');
        }
        case ProcessExit::How::NotStarted:
            return QStringLiteral("Not started: the scheduler stopped while submitting it");
        case ProcessExit::How::StartFailed:
            return QStringLiteral("Cannot start: ") + qt_error_string(e.number);
        case ProcessExit::How::Unknown:
            break;
    }
    return QStringLiteral("Exit status unknown");
}

bool TerminateProcessGroup(const ProcessStamp& p) {
    if (p.pid <= 1 || p.pid == ::getpgrp()) return false;
    // The leader still there with another start time: the pid was reused and
    // the group is not ours. The leader gone: the group, if any is left, is
    // ours, since Linux hands out no pid still in use as a group id.
    ProcStat st;
    if (ReadProcStat(p.pid, &st) && static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu) != p.startTime) return false;
    return ::kill(-p.pid, SIGTERM) == 0;
}
