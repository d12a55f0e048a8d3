#include "morvenda/execution/journal.h"

#include "morvenda/core/dependency.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/state.h"
#include "platform/procstat.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <map>

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

bool OpenJournal(QString* error) {
    RunJournalFile& jf = Journal();
    const QString path = RunJournalPath();
    if (jf.fd >= 0 && jf.path == path) return true;
    CloseRunJournal();
    jf.fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (jf.fd < 0) {
        if (error) *error = QStringLiteral("Cannot write the run journal \"%1\": %2").arg(path, qt_error_string(errno));
        return false;
    }
    jf.path = path;
    return true;
}

bool Append(const QString& line, bool sync, QString* error) {
    if (!OpenJournal(error)) return false;
    const QByteArray bytes = line.toUtf8() + '\n';
    const char* p = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t w = ::write(Journal().fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (error)
                *error = QStringLiteral("Cannot write the run journal \"%1\": %2")
                             .arg(Journal().path, qt_error_string(errno));
            return false;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (sync && ::fdatasync(Journal().fd) != 0) {
        if (error)
            *error =
                QStringLiteral("Cannot write the run journal \"%1\": %2").arg(Journal().path, qt_error_string(errno));
        return false;
    }
    return true;
}

QString NameOf(int j) { return Field(Job(j).JobName.trimmed()); }

void (*gObserver)(char) = nullptr;

bool Recorded(bool ok, char kind) {
    if (ok && gObserver) gObserver(kind);
    return ok;
}

}  // namespace

bool JournalSubmission(int j, const DateVal& PrevStarted, const DateVal& PrevCompleted, QString* error) {
    const JobRec& job = Job(j);
    const QStringList f{QStringLiteral("S"),           NameOf(j),
                        Num(job.Started.seconds()),    Num(job.StartedReal),
                        Num(job.ProcInfo.dwProcessId), Num(static_cast<std::uint32_t>(job.ProcInfo.hProcess)),
                        Num(job.ProcInfo.hThread),     Num(PrevStarted.seconds()),
                        Num(PrevCompleted.seconds())};
    return Recorded(Append(f.join(kTab), true, error), 'S');
}

bool JournalCancelled(int j, QString* error) {
    const QStringList f{QStringLiteral("C"), NameOf(j), Num(Job(j).Started.seconds()), Num(Job(j).Completed.seconds())};
    return Recorded(Append(f.join(kTab), true, error), 'C');
}

bool JournalEnding(int j, const JobEndRecord& r, QString* error) {
    const QStringList f{
        QStringLiteral("E"),  NameOf(j),   Num(r.Failed ? 1 : 0), Num(r.Resched ? 1 : 0), Num(r.Completed.seconds()),
        Num(r.CompletedReal), Num(r.Span), Num(r.LastDuration),   Field(r.ErrorText)};
    return Recorded(Append(f.join(kTab), true, error), 'E');
}

void JournalSubmitted(int j) { Append(QStringLiteral("P") + kTab + NameOf(j), false, nullptr); }

void JournalStep(int j, EndStep Step) {
    // Not flushed: losing it to a crash of the machine costs one repeated
    // effect, never an outcome.
    Append(QStringLiteral("X") + kTab + NameOf(j) + kTab + Num(static_cast<int>(Step)), false, nullptr);
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
        } else if (kind == QLatin1String("E") && f.size() == 9) {
            PendingEnding p;
            p.Job = j;
            p.Record.Failed = f[2] == QLatin1String("1");
            p.Record.Resched = f[3] == QLatin1String("1");
            p.Record.Completed = DateVal::fromSeconds(f[4].toLongLong());
            p.Record.CompletedReal = f[5].toLongLong();
            p.Record.Span = f[6].toLongLong();
            p.Record.LastDuration = f[7].toInt();
            p.Record.ErrorText = f[8];
            job.Completed = p.Record.Completed;
            job.CompletedReal = p.Record.CompletedReal;
            job.Killed = p.Record.Failed;
            job.ErrorText = p.Record.ErrorText;
            if (p.Record.LastDuration > 0) job.LastDuration = p.Record.LastDuration;
            openEnding[j] = pending.size();
            pending.push_back(p);
        } else if (kind == QLatin1String("X") && f.size() == 3) {
            auto it = openEnding.find(j);
            if (it == openEnding.end()) continue;
            PendingEnding& p = pending[it->second];
            const int step = f[2].toInt();
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
        // A keeper's temporary file is "." + its record's name + "." + six
        // characters + ".tmp".
        const bool temporary = n.startsWith(QLatin1Char('.')) && n.endsWith(QLatin1String(".tmp")) && n.size() > 12;
        const QString record = temporary ? n.mid(1, n.size() - 12) : n;
        if (!record.endsWith(QLatin1String(".end")) || running.contains(record)) continue;
        dir.remove(n);
    }
}
