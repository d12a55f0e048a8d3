#include "platform/keepers.h"

#include "platform/procstat.h"
#include "platform/spawn.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

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
            ChildExiting(k.keeper);
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
    ChildWatched(keeper);
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
        ChildExiting(it->second.keeper);
    }
    CloseWatch(w, it->second);
    w.jobs.erase(it);
    return told;
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
