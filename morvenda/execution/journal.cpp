#include "morvenda/execution/journal.h"

#include "morvenda/core/dependency.h"
#include "morvenda/core/jobstatus.h"
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
    jf.pending += line.toUtf8();
    jf.pending += '\n';
    if (kind == 'P' || kind == 'X') return true;
    if (jf.group) {
        jf.groupKinds += kind;
        return true;
    }
    const bool ok = WriteRunJournalPending(true, error);
    if (ok && gObserver) gObserver(kind);
    return ok;
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
    if (!WriteRunJournalPending(true, error)) return false;
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
    WriteRunJournalPending(false, nullptr);
}

void SetJournalObserver(void (*Observer)(char)) { gObserver = Observer; }

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
        JobRec& job = Job(j);
        const QString& kind = f[0];
        // Records written before the run date was kept with a run have one
        // field fewer: their run date is not known.
        if (kind == QLatin1String("S") && (f.size() == 9 || f.size() == 10)) {
            job.Started = DateVal::fromSeconds(f[2].toLongLong());
            job.StartedReal = f[3].toLongLong();
            job.ProcInfo.dwProcessId = f[4].toInt();
            job.ProcInfo.dwThreadId = f[4].toInt();
            job.ProcInfo.hProcess = static_cast<std::int32_t>(f[5].toUInt());
            job.ProcInfo.hThread = f[6].toInt();
            job.Completed = DateVal();
            job.CompletedReal = 0;
            job.Spare34 = f.size() == 10 ? f[9].toInt() : 0;
            job.Killed = false;
            openEnding.erase(j);
            settle(j);
            submitted.push_back(j);
        } else if (kind == QLatin1String("P") && f.size() == 2) {
            settle(j);
        } else if (kind == QLatin1String("C") && (f.size() == 4 || f.size() == 5)) {
            job.Started = DateVal::fromSeconds(f[2].toLongLong());
            job.Completed = DateVal::fromSeconds(f[3].toLongLong());
            job.Spare34 = f.size() == 5 ? f[4].toInt() : 0;
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
                ClearRunTimes(job);
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
        // A keeper's temporary file is "." + its record's name + "." + six
        // characters + ".tmp".
        const bool temporary = n.startsWith(QLatin1Char('.')) && n.endsWith(QLatin1String(".tmp")) && n.size() > 12;
        const QString record = temporary ? n.mid(1, n.size() - 12) : n;
        if (!record.endsWith(QLatin1String(".end")) || running.contains(record)) continue;
        dir.remove(n);
    }
}
