#include "morvenda/execution/journal.h"

#include "morvenda/core/dependency.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "platform/procstat.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QChar kTab = QLatin1Char('\t');

// The journal stays open between records: a record is then one write and one
// fdatasync, whatever the size of the schedule. Records wait in `pending`, in
// their order, until a durable record (or the end of a group, or a flush of
// the steps) writes them out.
struct JournalFile {
    QString path;
    int fd = -1;
    QByteArray pending;
    bool group = false;
    qsizetype groupStart = 0;  // where the open group's records begin in pending
    QByteArray groupKinds;     // the letters of its S, C and E records, in order
};

JournalFile& Journal() {
    static JournalFile j;
    return j;
}

QString Field(const QString& text) {
    QString t = text;
    for (QChar& c : t)
        if (c == kTab || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
    return t;
}

QString Num(qint64 n) { return QString::number(n); }

const JobRec& Job(int j) { return G.Jobs[static_cast<size_t>(j)]; }

QString WriteError(const QString& path) {
    return QStringLiteral("Cannot write the run journal \"%1\": %2").arg(path, qt_error_string(errno));
}

bool OpenJournal(QString* error) {
    JournalFile& jf = Journal();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) return true;
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (jf.fd < 0) {
        jf.path.clear();
        if (error) *error = WriteError(path);
        return false;
    }
    jf.path = path;
    return true;
}

// Appends what waits in memory, flushed to the disk when sync is set. The run
// log lines kept in memory go first, so a record of an effect never reaches
// the disk ahead of the line it stands for.
bool WritePending(bool sync, QString* error) {
    FlushRunLog();
    JournalFile& jf = Journal();
    if (jf.pending.isEmpty()) return true;
    const QByteArray bytes = std::exchange(jf.pending, QByteArray());
    if (!OpenJournal(error)) return false;
    const char* p = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t w = ::write(jf.fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            if (error) *error = WriteError(jf.path);
            return false;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (sync && ::fdatasync(jf.fd) != 0) {
        if (error) *error = WriteError(jf.path);
        return false;
    }
    return true;
}

void (*gObserver)(char) = nullptr;

// Keeps a record. S, C and E records must be on the disk before they take
// effect: outside a group they are written and flushed at once (with what
// waited before them); P and X records wait.
bool Append(const QString& line, char kind, QString* error) {
    JournalFile& jf = Journal();
    jf.pending += line.toUtf8();
    jf.pending += '\n';
    if (kind == 'P' || kind == 'X') return true;
    if (jf.group) {
        jf.groupKinds += kind;
        return true;
    }
    const bool ok = WritePending(true, error);
    if (ok && gObserver) gObserver(kind);
    return ok;
}

QString NameOf(int j) { return Field(Job(j).JobName.trimmed()); }

}  // namespace

QString RunJournalPath() { return G.gSchedFile + QStringLiteral(".journal"); }

bool JournalSubmission(int j, const DateVal& PrevStarted, const DateVal& PrevCompleted, QString* error) {
    const JobRec& job = Job(j);
    const QStringList f{QStringLiteral("S"),           NameOf(j),
                        Num(job.Started.seconds()),    Num(job.StartedReal),
                        Num(job.ProcInfo.dwProcessId), Num(static_cast<std::uint32_t>(job.ProcInfo.hProcess)),
                        Num(job.ProcInfo.hThread),     Num(PrevStarted.seconds()),
                        Num(PrevCompleted.seconds())};
    return Append(f.join(kTab), 'S', error);
}

bool JournalCancelled(int j, QString* error) {
    const QStringList f{QStringLiteral("C"), NameOf(j), Num(Job(j).Started.seconds()), Num(Job(j).Completed.seconds())};
    return Append(f.join(kTab), 'C', error);
}

bool JournalEnding(int j, const JobEndRecord& r, QString* error) {
    const QStringList f{
        QStringLiteral("E"),  NameOf(j),   Num(r.Failed ? 1 : 0), Num(r.Resched ? 1 : 0), Num(r.Completed.seconds()),
        Num(r.CompletedReal), Num(r.Span), Num(r.LastDuration),   Field(r.ErrorText),     Num(r.Forced ? 1 : 0)};
    return Append(f.join(kTab), 'E', error);
}

void JournalSubmitted(int j) { Append(QStringLiteral("P") + kTab + NameOf(j), 'P', nullptr); }

void JournalStep(int j, EndStep Step) {
    // Not flushed: losing it to a crash of the machine costs one repeated
    // effect, never an outcome.
    Append(QStringLiteral("X") + kTab + NameOf(j) + kTab + Num(static_cast<int>(Step)), 'X', nullptr);
}

void BeginJournalGroup() {
    JournalFile& jf = Journal();
    if (jf.group) return;
    jf.group = true;
    jf.groupStart = jf.pending.size();
    jf.groupKinds.clear();
}

bool CommitJournalGroup(QString* error) {
    JournalFile& jf = Journal();
    jf.group = false;
    const QByteArray kinds = std::exchange(jf.groupKinds, QByteArray());
    if (kinds.isEmpty()) return true;
    if (!WritePending(true, error)) return false;
    if (gObserver)
        for (const char k : kinds) gObserver(k);
    return true;
}

void DiscardJournalGroup() {
    JournalFile& jf = Journal();
    if (!jf.group) return;
    jf.pending.truncate(jf.groupStart);
    jf.group = false;
    jf.groupKinds.clear();
}

void FlushJournalSteps() {
    JournalFile& jf = Journal();
    if (jf.group) return;  // the group's commit writes them
    WritePending(false, nullptr);
}

void EmptyRunJournal() {
    // The schedule file holds what the waiting records say; the run log lines
    // they follow must not wait any longer.
    FlushRunLog();
    JournalFile& jf = Journal();
    jf.pending.clear();
    jf.group = false;
    jf.groupKinds.clear();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) {
        if (::ftruncate(jf.fd, 0) == 0) ::fdatasync(jf.fd);
        return;
    }
    const QByteArray p = QFile::encodeName(path);
    if (::access(p.constData(), F_OK) != 0) return;
    const int fd = ::open(p.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

void SetJournalObserver(void (*Observer)(char)) { gObserver = Observer; }

void CloseRunJournal() {
    FlushJournalSteps();
    JournalFile& jf = Journal();
    if (jf.fd >= 0) ::close(jf.fd);
    jf.fd = -1;
    jf.path.clear();
}

PendingWork ReplayRunJournal() {
    PendingWork work;
    std::vector<PendingEnding> pending;
    QFile f(RunJournalPath());
    if (!f.open(QIODevice::ReadOnly)) return work;
    const QByteArray all = f.readAll();
    f.close();

    std::map<int, size_t> openEnding;  // job -> its latest ending in pending
    std::vector<int> submitted;        // jobs whose latest submission's effects are not done, in order
    auto settle = [&submitted](int j) {
        submitted.erase(std::remove(submitted.begin(), submitted.end(), j), submitted.end());
    };

    qsizetype pos = 0;
    while (pos < all.size()) {
        const qsizetype nl = all.indexOf('\n', pos);
        if (nl < 0) break;  // cut short by a crash: never acted upon
        const QStringList f = QString::fromUtf8(all.mid(pos, nl - pos)).split(kTab);
        pos = nl + 1;
        if (f.size() < 2) continue;
        const int j = FindJob(f[1]);
        if (j < 1) continue;
        JobRec& job = G.Jobs[static_cast<size_t>(j)];
        const QString& kind = f[0];
        if (kind == QLatin1String("S") && f.size() == 9) {
            job.Started = DateVal::fromSeconds(f[2].toLongLong());
            job.StartedReal = f[3].toLongLong();
            job.ProcInfo.dwProcessId = f[4].toInt();
            job.ProcInfo.dwThreadId = f[4].toInt();
            job.ProcInfo.hProcess = static_cast<std::int32_t>(f[5].toUInt());
            job.ProcInfo.hThread = f[6].toInt();
            job.Completed = DateVal();
            job.CompletedReal = 0;
            job.Killed = false;
            openEnding.erase(j);
            settle(j);
            submitted.push_back(j);
        } else if (kind == QLatin1String("P") && f.size() == 2) {
            settle(j);
        } else if (kind == QLatin1String("C") && f.size() == 4) {
            job.Started = DateVal::fromSeconds(f[2].toLongLong());
            job.Completed = DateVal::fromSeconds(f[3].toLongLong());
            job.StartedReal = 0;
            job.CompletedReal = 0;
            openEnding.erase(j);
            settle(j);
        } else if (kind == QLatin1String("E") && (f.size() == 9 || f.size() == 10)) {
            PendingEnding p;
            p.Job = j;
            p.Record.Failed = f[2] == QLatin1String("1");
            p.Record.Resched = f[3] == QLatin1String("1");
            p.Record.Completed = DateVal::fromSeconds(f[4].toLongLong());
            p.Record.CompletedReal = f[5].toLongLong();
            p.Record.Span = f[6].toLongLong();
            p.Record.LastDuration = f[7].toInt();
            p.Record.ErrorText = f[8];
            p.Record.Forced = f.size() == 10 && f[9] == QLatin1String("1");
            job.Completed = p.Record.Completed;
            job.CompletedReal = p.Record.CompletedReal;
            job.Killed = p.Record.Failed;
            job.ErrorText = p.Record.ErrorText;
            // The end is carried out: a forced end is not forced again.
            job.EndForced = false;
            if (p.Record.LastDuration > 0) job.LastDuration = p.Record.LastDuration;
            openEnding[j] = pending.size();
            pending.push_back(p);
        } else if (kind == QLatin1String("X") && f.size() == 3) {
            auto it = openEnding.find(j);
            if (it == openEnding.end()) continue;
            PendingEnding& p = pending[it->second];
            const int step = f[2].toInt();
            if (step == static_cast<int>(EndStep::ForcedLine)) {
                p.ForcedLineDone = true;
                continue;
            }
            if (step < 1 || step > kLastEndStep) continue;
            p.StepsDone = std::max(p.StepsDone, step);
            if (step == static_cast<int>(EndStep::Reschedule) && p.Record.Resched) {
                job.Started = DateVal();
                job.Completed = DateVal();
                job.StartedReal = 0;
                job.CompletedReal = 0;
            }
        }
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        auto it = openEnding.find(pending[i].Job);
        if (it != openEnding.end() && it->second == i && pending[i].StepsDone < kLastEndStep)
            work.Endings.push_back(pending[i]);
    }
    work.Submissions = submitted;
    return work;
}

void TidyJobEnds() {
    const QString folder = JobEndsFolder();
    QDir dir(folder);
    if (!dir.exists()) return;
    QSet<QString> running;
    for (int j = 1; j <= JobCount(); ++j) {
        const ProcessInfo& p = Job(j).ProcInfo;
        if (Job(j).JobState != jsRunning || p.dwProcessId <= 0) continue;
        char name[64];
        EndRecordName(p.dwProcessId, static_cast<std::uint32_t>(p.hProcess), name, sizeof name);
        running.insert(QString::fromLatin1(name));
    }
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& n : names) {
        // A keeper's temporary file is "." + its record's name + ".tmp".
        const QString record =
            n.startsWith(QLatin1Char('.')) && n.endsWith(QLatin1String(".tmp")) ? n.mid(1, n.size() - 5) : n;
        if (!record.endsWith(QLatin1String(".end")) || running.contains(record)) continue;
        dir.remove(n);
    }
}
