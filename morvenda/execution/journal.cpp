#include "morvenda/execution/journal.h"

#include "morvenda/core/jobnames.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/executioncaches.h"
#include "platform/procstat.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <map>
#include <utility>

namespace {

const QChar kTab = QLatin1Char('\t');

RunJournalFile& Journal() { return TheRunJournal(); }

QString Field(const QString& text) {
    QString t = text;
    for (QChar& c : t)
        if (c == kTab || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
    return t;
}

QString Num(qint64 n) { return QString::number(n); }

void (*gObserver)(char) = nullptr;

// Keeps a record. S, C and E records must be on the disk before they take
// effect: outside a group they are written and flushed at once (with what
// waited before them); P and X records wait.
bool Append(const QString& line, char kind, QString* error) {
    RunJournalFile& jf = Journal();
    const qsizetype start = jf.pending.size();
    jf.pending += line.toUtf8();
    jf.pending += '\n';
    if (kind == 'P' || kind == 'X') return true;
    if (jf.group) {
        jf.groupKinds += kind;
        return true;
    }
    const bool ok = WriteRunJournalPending(true, error);
    // A record that is not on the disk takes no effect: it goes, the steps
    // before it wait for the next write.
    if (!ok) jf.pending.truncate(start);
    if (ok && gObserver) gObserver(kind);
    return ok;
}

// Fields of a record as the schedule file can hold them: whole numbers, and
// times (DateVal seconds, or real seconds since 1970) within the years 1 to
// 9999, 0 meaning none.
constexpr qint64 kFirstTime = -693593LL * 86400;     // 1 Jan 1, 00:00:00
constexpr qint64 kLastTime = 2958466LL * 86400 - 1;  // 31 Dec 9999, 23:59:59

bool Whole(const QString& f, qint64* out, qint64 lo, qint64 hi) {
    bool ok = false;
    const qint64 v = f.toLongLong(&ok);
    if (!ok || v < lo || v > hi) return false;
    *out = v;
    return true;
}
bool Time(const QString& f, DateVal* out) {
    qint64 v = 0;
    if (!Whole(f, &v, kFirstTime, kLastTime)) return false;
    *out = DateVal::fromSeconds(v);
    return true;
}
bool Real(const QString& f, qint64* out) {
    return Whole(f, out, kFirstTime - kUnixEpochShift, kLastTime - kUnixEpochShift);
}
bool Int32(const QString& f, qint64* out) {
    return Whole(f, out, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
}

QString NameOf(int j) { return Field(Job(j).JobName.trimmed()); }

}  // namespace

bool JournalSubmission(int j, const DateVal& PrevStarted, const DateVal& PrevCompleted, QString* error) {
    const JobRec& job = Job(j);
    const QStringList f{QStringLiteral("S"),           NameOf(j),
                        Num(job.Started.seconds()),    Num(job.StartedReal),
                        Num(job.ProcInfo.dwProcessId), Num(static_cast<std::uint32_t>(job.ProcInfo.hProcess)),
                        Num(job.ProcInfo.hThread),     Num(PrevStarted.seconds()),
                        Num(PrevCompleted.seconds()),  Num(job.Spare34)};
    return Append(f.join(kTab), 'S', error);
}

bool JournalCancelled(int j, QString* error) {
    const JobRec& job = Job(j);
    const QStringList f{QStringLiteral("C"), NameOf(j), Num(job.Started.seconds()), Num(job.Completed.seconds()),
                        Num(job.Spare34)};
    return Append(f.join(kTab), 'C', error);
}

namespace {

QString EndingLine(int j, const JobEndRecord& r) {
    const QStringList f{
        QStringLiteral("E"),  NameOf(j),   Num(r.Failed ? 1 : 0), Num(r.Resched ? 1 : 0), Num(r.Completed.seconds()),
        Num(r.CompletedReal), Num(r.Span), Num(r.LastDuration),   Field(r.ErrorText),     Num(r.Forced ? 1 : 0)};
    return f.join(kTab);
}

QString StepLine(int j, EndStep Step) {
    return QStringLiteral("X") + kTab + NameOf(j) + kTab + Num(static_cast<int>(Step));
}

using Unfinished = ExecutionCaches::Unfinished;

std::vector<Unfinished>& KeptUnfinished() { return TheExecutionCaches().unfinished; }

// The kept endings' records, carried over every emptying of the journal.
void CarryUnfinished() {
    QByteArray carried;
    for (const Unfinished& u : KeptUnfinished()) {
        const int j = FindJob(u.name);
        if (j < 1) continue;
        carried += EndingLine(j, u.ending.Record).toUtf8() + '\n';
        for (int s = 1; s <= static_cast<int>(EndStep::ForcedLine); ++s) {
            const bool done = u.ending.Done & StepBit(static_cast<EndStep>(s));
            if (done || s <= kLastEndStep) carried += StepLine(j, static_cast<EndStep>(done ? s : -s)).toUtf8() + '\n';
        }
    }
    Journal().carried = carried;
}

}  // namespace

bool JournalEnding(int j, const JobEndRecord& r, QString* error) { return Append(EndingLine(j, r), 'E', error); }

void JournalSubmitted(int j) { Append(QStringLiteral("P") + kTab + NameOf(j), 'P', nullptr); }

void JournalStep(int j, EndStep Step) {
    // Not flushed: losing it to a crash of the machine costs one repeated
    // effect, never an outcome.
    Append(StepLine(j, Step), 'X', nullptr);
}

void JournalStepFailed(int j, EndStep Step) {
    Append(StepLine(j, static_cast<EndStep>(-static_cast<int>(Step))), 'X', nullptr);
}

void KeepUnfinishedEnding(const PendingEnding& Ending) {
    const QString name = Job(Ending.Job).JobName.trimmed();
    std::vector<Unfinished>& kept = KeptUnfinished();
    auto it = std::find_if(kept.begin(), kept.end(),
                           [&](const Unfinished& u) { return u.name.compare(name, Qt::CaseInsensitive) == 0; });
    if (it == kept.end())
        kept.push_back({name, Ending, 1});
    else
        it->ending = Ending;
    CarryUnfinished();
}

void ForgetUnfinishedEndings() {
    KeptUnfinished().clear();
    CarryUnfinished();
}

void DropUnfinishedEnding(int j) {
    const QString name = Job(j).JobName.trimmed();
    std::erase_if(KeptUnfinished(),
                  [&](const Unfinished& u) { return u.name.compare(name, Qt::CaseInsensitive) == 0; });
    CarryUnfinished();
}

std::vector<PendingEnding> UnfinishedEndingsToTry() {
    // A few tries in each run of the program: an effect that keeps failing
    // (a folder that is gone) is reported that often, then left to a
    // restart.
    constexpr int kTries = 3;
    std::vector<PendingEnding> out;
    for (Unfinished& u : KeptUnfinished()) {
        const int j = FindJob(u.name);
        if (j < 1 || u.tries >= kTries) continue;
        ++u.tries;
        u.ending.Job = j;
        out.push_back(u.ending);
    }
    return out;
}

void BeginJournalGroup() {
    RunJournalFile& jf = Journal();
    if (jf.group) return;
    jf.group = true;
    jf.groupStart = jf.pending.size();
    jf.groupKinds.clear();
}

bool CommitJournalGroup(QString* error) {
    RunJournalFile& jf = Journal();
    jf.group = false;
    const QByteArray kinds = std::exchange(jf.groupKinds, QByteArray());
    if (kinds.isEmpty()) return true;
    if (!WriteRunJournalPending(true, error)) {
        // None of the group takes effect; the steps recorded before it wait
        // for the next write.
        jf.pending.truncate(jf.groupStart);
        return false;
    }
    if (gObserver)
        for (const char k : kinds) gObserver(k);
    return true;
}

void DiscardJournalGroup() {
    RunJournalFile& jf = Journal();
    if (!jf.group) return;
    jf.pending.truncate(jf.groupStart);
    jf.group = false;
    jf.groupKinds.clear();
}

void FlushJournalSteps() {
    RunJournalFile& jf = Journal();
    if (jf.group) return;  // the group's commit writes them
    QString error;
    const bool ok = WriteRunJournalPending(false, &error);
    // The records stay in memory for the next write; should the scheduler
    // stop first, the effects they stand for are carried out again.
    // Said once, until a write succeeds again.
    bool& failing = TheExecutionCaches().stepsFailing;
    if (!ok && !failing)
        LogAndList(G.gLogFile, error + QStringLiteral(" (the records of effects already carried out wait in memory)"));
    failing = !ok;
}

void SetJournalObserver(void (*Observer)(char)) { gObserver = Observer; }

PendingWork ReplayRunJournal() {
    PendingWork work;
    std::vector<PendingEnding> pending;
    QFile f(RunJournalPath());
    if (!f.open(QIODevice::ReadOnly)) return work;
    const QByteArray all = f.readAll();
    f.close();

    std::map<int, size_t> openEnding;             // job -> its latest ending in pending
    std::vector<std::pair<int, unsigned>> marks;  // per ending: its latest step done, the steps that failed
    std::vector<int> submitted;                   // jobs whose latest submission's effects are not done, in order
    auto settle = [&submitted](int j) {
        submitted.erase(std::remove(submitted.begin(), submitted.end(), j), submitted.end());
    };

    int line = 0;
    qsizetype pos = 0;
    while (pos < all.size()) {
        const qsizetype nl = all.indexOf('\n', pos);
        if (nl < 0) break;  // cut short by a crash: never acted upon
        const QStringList f = QString::fromUtf8(all.mid(pos, nl - pos)).split(kTab);
        pos = nl + 1;
        ++line;
        if (f.size() < 2) continue;
        const int j = FindJob(f[1]);
        if (j < 1) continue;
        JobRec& job = Job(j);
        const QString& kind = f[0];
        work.Replayed = true;
        // Every field is read before any is applied: a record with a field
        // the schedule file could not hold is damaged and refused whole.
        DateVal t1, t2;
        qint64 n[6] = {};
        bool damaged = false;
        // Records written before the run date was kept with a run have one
        // field fewer: their run date is not known.
        if (kind == QLatin1String("S") && (f.size() == 9 || f.size() == 10)) {
            DateVal prevStarted, prevCompleted;
            damaged = !Time(f[2], &t1) || !Real(f[3], &n[0]) || !Int32(f[4], &n[1]) ||
                      !Whole(f[5], &n[2], 0, std::numeric_limits<std::uint32_t>::max()) || !Int32(f[6], &n[3]) ||
                      !Time(f[7], &prevStarted) || !Time(f[8], &prevCompleted) ||
                      (f.size() == 10 && !Int32(f[9], &n[4]));
            if (!damaged) {
                job.Started = t1;
                job.StartedReal = n[0];
                job.ProcInfo.dwProcessId = static_cast<std::int32_t>(n[1]);
                job.ProcInfo.dwThreadId = static_cast<std::int32_t>(n[1]);
                job.ProcInfo.hProcess = static_cast<std::int32_t>(static_cast<std::uint32_t>(n[2]));
                job.ProcInfo.hThread = static_cast<std::int32_t>(n[3]);
                job.Completed = DateVal();
                job.CompletedReal = 0;
                job.Spare34 = static_cast<std::int32_t>(n[4]);
                job.Killed = false;
                openEnding.erase(j);
                settle(j);
                submitted.push_back(j);
            }
        } else if (kind == QLatin1String("P") && f.size() == 2) {
            settle(j);
        } else if (kind == QLatin1String("C") && (f.size() == 4 || f.size() == 5)) {
            damaged = !Time(f[2], &t1) || !Time(f[3], &t2) || (f.size() == 5 && !Int32(f[4], &n[0]));
            if (!damaged) {
                job.Started = t1;
                job.Completed = t2;
                job.Spare34 = static_cast<std::int32_t>(n[0]);
                job.StartedReal = 0;
                job.CompletedReal = 0;
                openEnding.erase(j);
                settle(j);
            }
        } else if (kind == QLatin1String("E") && (f.size() == 9 || f.size() == 10)) {
            damaged = !Time(f[4], &t1) || !Real(f[5], &n[0]) ||
                      !Whole(f[6], &n[1], kFirstTime - kLastTime, kLastTime - kFirstTime) || !Int32(f[7], &n[2]);
            if (!damaged) {
                PendingEnding p;
                p.Job = j;
                p.Record.Failed = f[2] == QLatin1String("1");
                p.Record.Resched = f[3] == QLatin1String("1");
                p.Record.Completed = t1;
                p.Record.CompletedReal = n[0];
                p.Record.Span = n[1];
                p.Record.LastDuration = static_cast<std::int32_t>(n[2]);
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
                marks.emplace_back(0, 0u);
            }
        } else if (kind == QLatin1String("X") && f.size() == 3) {
            auto it = openEnding.find(j);
            if (it == openEnding.end()) continue;
            PendingEnding& p = pending[it->second];
            auto& [most, failed] = marks[it->second];
            // A step is recorded once done, in the order of the steps, so
            // every step before the latest one recorded is done (or had
            // nothing to do) unless recorded as failed ("-" and its number).
            const int step = f[2].toInt();
            const int s = std::abs(step);
            if (s < 1 || s > static_cast<int>(EndStep::ForcedLine)) continue;
            const unsigned bit = StepBit(static_cast<EndStep>(s));
            if (step < 0) {
                failed |= bit;
            } else if (s == static_cast<int>(EndStep::ForcedLine)) {
                p.Done |= bit;
            } else {
                most = std::max(most, s);
                failed &= ~bit;
                if (s == static_cast<int>(EndStep::Reschedule) && p.Record.Resched) ClearRunTimes(job);
            }
        }
        if (damaged)
            WriteLog(G.gLogFile,
                     QStringLiteral("Run journal \"%1\", line %2: a damaged %3 record of job %4 was refused")
                         .arg(RunJournalPath())
                         .arg(line)
                         .arg(kind, job.JobName.trimmed()));
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        const auto [most, failed] = marks[i];
        pending[i].Done |= (((1u << (most + 1)) - 1) & kAllEndSteps) & ~failed;
        auto it = openEnding.find(pending[i].Job);
        if (it != openEnding.end() && it->second == i && (pending[i].Done & kAllEndSteps) != kAllEndSteps)
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
        // A keeper's temporary file is "." + its record's name + "." + six
        // characters + ".tmp".
        const bool temporary = n.startsWith(QLatin1Char('.')) && n.endsWith(QLatin1String(".tmp")) && n.size() > 12;
        const QString record = temporary ? n.mid(1, n.size() - 12) : n;
        if (!record.endsWith(QLatin1String(".end")) || running.contains(record)) continue;
        dir.remove(n);
    }
}
