#include "platform/children.h"

#include "platform/procstat.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

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

}  // namespace

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

void RememberChild(pid_t pid, std::uint32_t startTime) {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    t.children[pid] = ChildRecord{startTime, false, ProcessExit{}};
    t.running.insert(pid);
}

void ChildExiting(pid_t pid) {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    if (t.children.count(pid)) t.exiting.insert(pid);
}

void ChildWatched(pid_t pid) {
    ChildTable& t = Children();
    std::lock_guard lock(t.mu);
    t.running.erase(pid);
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

pid_t ProcessGroupOf(qint64 pid) {
    // comm (field 2) may hold blanks and parentheses: the fields are counted
    // from the last ")".
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.read(4096);
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return -1;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    bool ok = false;
    const pid_t group = fields.size() > 2 ? static_cast<pid_t>(fields[2].toLong(&ok)) : -1;
    return ok ? group : -1;
}
