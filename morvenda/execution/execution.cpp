#include "morvenda/execution/execution.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/dependencypass.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/jobwindows.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/journal.h"
#include "morvenda/execution/message.h"
#include "morvenda/execution/triggers.h"
#include "platform/children.h"
#include "platform/memory.h"
#include "platform/start.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <utility>

namespace {

const QChar kTab = QLatin1Char('\t');

// Most submissions of one journal group (see SubmissionLoop).
constexpr size_t kMaxHeldSubmissions = 200;

QString Hms(const DateVal& d) { return FormatDate(d, QStringLiteral("hh:mm:ss")); }

// The time of day of the schedule's present moment, as log lines show it.
QString TimeNow() { return Hms(SchedNow()); }

QString Name(int j) { return Job(j).JobName.trimmed(); }

// A job without a command line has no process: it ends as it is submitted.
// Asked of every running job on every pass: a line that starts with a
// printable character needs no trimming.
bool HasCommand(const JobRec& job) {
    if (job.CommandLine.isEmpty()) return false;
    const char16_t first = job.CommandLine.front().unicode();
    if (first > u' ' && first < 0x7F) return true;
    return !QStringView(job.CommandLine).trimmed().isEmpty();
}

void Log(const QString& text) { LogAndList(G.gLogFile, text); }

// A job marked to defer the rollover that still waits, failed to submit or
// failed keeps the run date from being left before it is complete.
bool HoldsRollover(const JobRec& job) {
    return job.DeferRollover &&
           (job.JobState == jsScheduled || job.JobState == jsSubmitFailed || job.JobState == jsAborted);
}

std::array<QString, 5> Trimmed(const std::array<QString, 5>& items) {
    std::array<QString, 5> out;
    for (size_t i = 0; i < items.size(); ++i) out[i] = items[i].trimmed();
    return out;
}

}  // namespace

// What the running jobs (state 1) hold, for the wait tests of the submission
// loop. Each test then costs the same however many jobs there are: taken once
// per loop (at its first wait test) and brought up to date as the loop starts
// jobs, instead of a look at every job for every waiting job.
class RunningTotals {
public:
    // Words of a running job's exclusivity list up to this length are kept
    // as all their pieces, so a keyword is looked up at once; longer ones
    // (never seen in practice) are searched.
    static constexpr qsizetype kMaxPieceWord = 32;

    RunningTotals() {
        for (int j = 1; j <= JobCount(); ++j)
            if (Job(j).JobState == jsRunning) add(Job(j));
    }

    // A job of the loop started: it now runs.
    void add(const JobRec& job) {
        ++count_;
        cpu_ += job.CpuUsage;
        if (job.DosProgram) ++dos_;
        // A keyword without blanks occurs in " " + list + " " exactly when it
        // occurs within one of the list's blank-separated words.
        const QStringList words = job.Exclusive.toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& w : words) {
            if (words_.contains(w)) continue;
            words_.insert(w);
            if (w.size() > kMaxPieceWord) {
                longWords_ << w;
                continue;
            }
            for (qsizetype from = 0; from < w.size(); ++from)
                for (qsizetype len = 1; from + len <= w.size(); ++len) pieces_.insert(w.mid(from, len));
        }
    }

    qint64 cpu() const { return cpu_; }
    bool dosRunning() const { return dos_ > 0; }

    // True when Keyword occurs in a blank + the upper-cased exclusivity list
    // + a blank of some running job (an empty keyword: when any job runs).
    bool clashes(const QString& Keyword) const {
        if (count_ == 0) return false;
        if (Keyword.isEmpty() || pieces_.contains(Keyword)) return true;
        for (const QString& w : longWords_)
            if (w.contains(Keyword)) return true;
        return false;
    }

private:
    int count_ = 0;
    qint64 cpu_ = 0;
    int dos_ = 0;
    QSet<QString> words_;
    QSet<QString> pieces_;
    QStringList longWords_;
};

QString SpanHms(qint64 seconds) {
    if (seconds < 0) seconds = 0;
    // Runs of a day or more show their total hours.
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

Execution::Execution(ExecView& view) : view_(view) {}

Execution::~Execution() = default;

// Calls Test with the running totals: the submission loop's (taken at its
// first test), or, outside the loop, totals taken for this one test.
template <typename F>
bool Execution::WithTotals(F Test) const {
    if (!inLoop_) return Test(RunningTotals());
    if (!loopTotals_) loopTotals_ = std::make_unique<RunningTotals>();
    return Test(*loopTotals_);
}

void Execution::SetFailed(bool visible) {
    FailedVisible = visible;
    view_.SetFailedVisible(visible);
}

// ---------------------------------------------------------------- the pass

void Execution::cmdKick_Click() {
    // Rollover: once the schedule is complete, or nothing deferred is pending
    // and nothing ran at the end of the last full pass, the run date moves on
    // at the next day's start. The clock decides, also in a dummy run.
    if (G.gSchedComplete || (G.gDeferredJobsDone && G.gNoJobRunning)) {
        const DateVal rollover = G.gRunDate.datePart().addDays(1).addSeconds(G.gDayStart.secondsOfDay());
        // The first time the clock shows the moment: in an hour repeated by a
        // clock change the run date moves on once.
        if (NowReal() > FirstReal(rollover)) {
            DoNextDay();
            return;
        }
        if (G.gSchedComplete) return;
    }
    if (KickBusy) return;
    KickBusy = true;
    // The pass's run log lines are appended together, at the moments its
    // records need them on the disk and at its end.
    const RunLogBatch lines;
    // A pass that stops half-way (a fatal stop) still leaves the records of
    // the effects it carried out, after their run log lines: a restart must
    // not carry them out again.
    struct StepsOnTheWayOut {
        ~StepsOnTheWayOut() {
            // When the run log cannot take the lines they stand for, the
            // records stay off the disk too: a restart writes both.
            if (std::uncaught_exceptions() > 0 && FlushRunLogQuietly()) FlushJournalSteps();
        }
    } steps;
    view_.HighLightButton(ExecButton::Kick, true);

    G.gSchedComplete = true;
    G.gDeferredJobsDone = true;
    QuickKick = 0;
    bool changed = false;
    CompletionLoop(changed);

    if (G.gSchedComplete) {
        if (changed) SaveSchedule();
        FlushJournalSteps();
        if (changed || trimDue_) GiveBackFreedMemory(true);
        KickBusy = false;
        QString why;
        if (!IniPut(gAppName, QStringLiteral("LastCompleted"), FormatDate(G.gRunDate, G.gDateFmt), G.gIniFile, &why))
            Log(QStringLiteral("Could not record the completed run date (LastCompleted): ") + ControlsToBlanks(why));
        const DateVal now = SchedNow();
        const DateVal rollover = G.gRunDate.datePart().addDays(1).addSeconds(G.gDayStart.secondsOfDay());
        Log(QStringLiteral("Schedule Completed at ") + Hms(now) +
            QStringLiteral(".  Time to automatic next day rollover: ") + SpanHms(FirstReal(rollover) - NowReal()));
        view_.ScheduleCompleted(G.gSuspended);
        view_.HighLightButton(ExecButton::Kick, false);
        if (G.gSuspended) view_.HighLightButton(ExecButton::Suspend, true);
        return;
    }

    if (G.gSuspended) {
        view_.HighLightButton(ExecButton::Suspend, true);
    } else {
        SubmissionLoop(changed);
    }

    view_.HighLightButton(ExecButton::Kick, false);
    UnsubBuild();
    SetKickTimer();
    if (changed) SaveSchedule();
    FlushJournalSteps();
    if (changed) GiveBackFreedMemory(false);
    KickBusy = false;
}

// A pass that changed jobs made and dropped many small texts (lines, records,
// the lists' entries) in among the ones that stay: the pages they leave free
// inside the heap are given back, or the run's memory would only grow. Not
// after every such pass: the next pass takes most of them again, and each
// page given back costs a fault when it is taken. At most every few seconds
// while jobs run, and whenever the schedule completes.
void Execution::GiveBackFreedMemory(bool completed) {
    trimDue_ = true;
    constexpr qint64 kEveryMs = 5000;
    if (!completed && lastTrim_.isValid() && lastTrim_.elapsed() < kEveryMs) return;
    ReturnFreeMemory();
    lastTrim_.start();
    trimDue_ = false;
}

void Execution::CompletionLoop(bool& changed) {
    // Effects of earlier endings that could not be carried out then.
    for (PendingEnding p : UnfinishedEndingsToTry()) {
        if (RunEndEffects(p.Job, p.Record, p.Done))
            DropUnfinishedEnding(p.Job);
        else
            KeepUnfinishedEnding(p);
    }
    // The window tests of the loop share one look at the display, and the
    // presence tests one look at which of our children ended.
    const JobWindowPass windows;
    const ChildrenLook children;
    // The endings the loop finds are recorded together and made durable with
    // one flush; only then is anything done about them.
    std::vector<std::pair<int, JobEndRecord>> endings;
    std::vector<int> cancelled;  // jobs whose keepers never let their programs run
    // Each job as it was before the loop decided its end: put back when the
    // records cannot be made durable, so nothing of them takes effect.
    std::vector<std::pair<int, JobRec>> before;
    BeginJournalGroup();
    // A fatal stop inside the loop: none of its records took effect.
    struct Discard {
        ~Discard() { DiscardJournalGroup(); }
    } discard;
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& job = Job(j);
        if (HoldsRollover(job)) G.gDeferredJobsDone = false;

        if (job.JobState == jsEndForced) {
            before.emplace_back(j, job);
            job.WinFailed = 0;
            endings.emplace_back(j, DecideEnding(j, true));
        } else if (job.JobState == jsRunning) {
            bool ended = false;
            if (!HasCommand(job) || job.SubmitOnly) {
                ended = true;
            } else {
                ended = JobWindowGone(job.ProcInfo);
                if (ended)
                    ended = job.GraceUntil < Now();  // the start-up grace is over
                else
                    job.GraceUntil = DateVal();  // the grace ends once the job has been seen
            }
            if (!ended) {
                CheckJobWindows(j);
                if (job.WinFailed) {
                    job.GraceUntil = DateVal();
                    CloseJobWindows(j);
                    QuickKick = 1;
                    job.Killed = true;
                }
            } else {
                // A job whose windows were closed for an error text failed,
                // even when its error box had gone by this pass.
                if (job.Killed) job.WinFailed = 1;
                before.emplace_back(j, job);
                // A process that ended with a failing status failed, whatever
                // its windows showed.
                if (!job.WinFailed && HasCommand(job) && !job.SubmitOnly) {
                    const JobEnding ending = JobExitStatus(job.ProcInfo);
                    if (ending.NeverRan) {
                        cancelled.push_back(j);
                        Resubmit(j);
                        continue;
                    }
                    if (!ending.Succeeded) {
                        job.WinFailed = 1;
                        job.WinErrorText = ending.ErrorText;
                    }
                }
                endings.emplace_back(j, DecideEnding(j, false));
            }
        }
        if (job.JobState == jsScheduled || job.JobState == jsRunning) G.gSchedComplete = false;
    }
    QString error;
    const bool durable = CommitJournalGroup(&error);
    JournalWritten(durable, error);
    if (!durable) {
        // Not on the disk: the jobs stay as they were (running, their keepers
        // holding the outcome; or ended by hand) and the next pass tries
        // again. Nothing of these endings is carried out.
        for (auto& [j, job] : before) Job(j) = std::move(job);
        if (!before.empty()) G.gSchedComplete = false;
        return;
    }
    if (!endings.empty() || !cancelled.empty()) changed = true;
    // The outcomes are on the disk: the keepers' records of them may go.
    for (const int j : cancelled) {
        ForgetJobEnding(Job(j).ProcInfo);
        Log(PaddedName(j) + kTab + QStringLiteral("Not started before the scheduler stopped; scheduled again at ") +
            TimeNow());
    }
    for (const auto& [j, r] : endings) {
        ForgetJobEnding(Job(j).ProcInfo);
        if (r.Forced || !r.Failed) DeleteEvent(j);
        unsigned done = 0;
        if (!RunEndEffects(j, r, done)) KeepUnfinishedEnding(PendingEnding{j, r, done});
        // Rescheduled: it waits again.
        if (Job(j).JobState == jsScheduled) G.gSchedComplete = false;
    }
}

// A group of records that could not be made durable is said once, with the
// reason, until a group is written again.
void Execution::JournalWritten(bool durable, const QString& error) {
    if (durable) {
        journalFailing_ = false;
        return;
    }
    if (journalFailing_) return;
    journalFailing_ = true;
    Log(error + QStringLiteral(": the submissions and endings it would record wait and are tried again"));
}

// Job j ended (forced: by the operator): its new state and the record of its
// ending for the journal, which is kept in the journal's group.
JobEndRecord Execution::DecideEnding(int j, bool forced) {
    JobRec& job = Job(j);
    const bool failed = job.WinFailed != 0;
    if (failed) {
        job.ErrorText = FixedText(job.WinErrorText, kErrorTextWidth).trimmed();
        // Marks the failure in the schedule file, so a restart of the
        // scheduler never takes the job for completed.
        job.Killed = true;
        SetFailed(G.gShowFailedWarn);
        SetJobState(j, jsAborted);
        job.StatusText = QStringLiteral("Failed");
    } else {
        job.StatusText = QStringLiteral("Completed");
        SetJobState(j, jsCompleted);
        job.ErrorText.clear();
        job.Killed = false;
        // A forced end, once carried out, is a completion: a reload must not
        // find it forced again and end it a second time.
        job.EndForced = false;
    }
    RunMoment end = RunNow();
    if (!forced && !G.gDummyRun) {
        // The job ended when its keeper saw it end, not when this pass
        // noticed: a pass may come a whole kick interval later. A moment
        // outside the run (before its start, after the present) is not the
        // job's.
        const qint64 ended = JobEndedAt(job.ProcInfo);
        if (ended > 0 && ended <= end.Real && (job.StartedReal == 0 || ended >= job.StartedReal))
            end = RunMoment{WallOf(ended, currentClock().zone()), ended};
    }
    SetRunTimes(job, StartedOf(job), end);
    // A job that never started (its end forced before a submission) has no
    // duration.
    const qint64 span = job.Started.isZero() ? 0 : RunSeconds(job);
    if (!G.gDummyRun) {
        // A run that never started (no submission time) or lasted beyond
        // what the field holds has no duration to learn from.
        if (job.Started.isZero() || span > std::numeric_limits<std::int32_t>::max())
            job.LastDuration = 32000;
        else
            job.LastDuration = static_cast<std::int32_t>(std::max<qint64>(span, 1));
    }
    JobEndRecord r;
    r.Failed = failed;
    r.Forced = forced;
    r.Resched = job.AutoResched == 2 || (job.AutoResched == 1 && !failed) || (job.AutoResched == 3 && failed);
    r.Completed = job.Completed;
    r.CompletedReal = job.CompletedReal;
    r.Span = span;
    r.LastDuration = job.LastDuration;
    r.ErrorText = job.ErrorText;
    // The outcome goes to the disk before anything is done about it; only
    // then may the keeper's record of it go.
    QString error;
    if (!JournalEnding(j, r, &error)) Log(error);
    return r;
}

// The scheduler stopped after recording the job's submission and before its
// keeper let the program run: it has not run, so it waits to be submitted.
// The keeper's record goes, and the line is logged, once the cancellation is
// on the disk (the completion loop's group).
void Execution::Resubmit(int j) {
    JobRec& job = Job(j);
    ClearRunTimes(job);
    QString error;
    if (!JournalCancelled(j, &error)) Log(error);
    SetJobState(j, jsScheduled);
    job.StatusText = JobStateText(jsScheduled);
    G.gSchedComplete = false;
}

void RunSubmitEffects(int j) {
    JobRec& job = Job(j);
    Track(Name(j), QStringLiteral("Started"));
    if (job.DelWaitFile) DeleteTrigger(j);
    Log(PaddedName(j) + QStringLiteral(" (") + job.Frequency.trimmed() + QStringLiteral(") ") + kTab +
        QStringLiteral("Submitted at ") + Hms(job.Started));
    JournalSubmitted(j);
    // A deleted file cannot be deleted again: its record is not left waiting.
    if (job.DelWaitFile) FlushJournalSteps();
}

bool RunEndEffects(int j, const JobEndRecord& r, unsigned& Done) {
    JobRec& job = Job(j);
    const bool failed = r.Failed;
    auto due = [&Done](EndStep s) { return (Done & StepBit(s)) == 0; };
    unsigned failedSteps = 0;  // effects that could not be carried out: tried again
    auto did = [j, &Done](EndStep s) {
        JournalStep(j, s);
        Done |= StepBit(s);
    };
    // Run log lines and their records may wait in memory (a repeat after a
    // crash costs a line); a message or a trigger file is another program's
    // to take, so everything before it is written first and its record right
    // after it. One that could not be written is not recorded: it is tried
    // again.
    auto once = [&](EndStep step, auto effect) {
        FlushJournalSteps();
        if (effect()) {
            did(step);
        } else {
            JournalStepFailed(j, step);
            failedSteps |= StepBit(step);
        }
        FlushJournalSteps();
    };
    if (r.Forced && due(EndStep::ForcedLine) && (Done & kAllEndSteps) == 0) {
        Log(Name(j) + kTab + QStringLiteral("Forced completion at ") + TimeNow());
        did(EndStep::ForcedLine);
    }
    if (failed && due(EndStep::AbnormalMessage) && !job.AbEojTo.trimmed().isEmpty())
        once(EndStep::AbnormalMessage, [&] {
            return GenMessage(j, job.AbEojTo, job.AbEojCc, Trimmed(job.AbEojMsg), job.AbEojFlags, job.Critical);
        });
    if (failed && due(EndStep::FailedLine)) {
        QString line = PaddedName(j) + kTab + QStringLiteral("Failed");
        if (!r.ErrorText.isEmpty()) line += QLatin1Char('(') + r.ErrorText + QLatin1Char(')');
        Log(line);
        did(EndStep::FailedLine);
    }
    const QString status = failed ? QStringLiteral("Failed") : QStringLiteral("Completed");
    if (due(EndStep::TrackerFile) && !G.gTrackerPath.isEmpty()) {
        if (Track(Name(j), status)) {
            did(EndStep::TrackerFile);
        } else {
            JournalStepFailed(j, EndStep::TrackerFile);
            failedSteps |= StepBit(EndStep::TrackerFile);
        }
    }
    if (due(EndStep::CompletionLine)) {
        Log(PaddedName(j) + kTab + status + QStringLiteral(" at ") + Hms(r.Completed) + QStringLiteral(" (Duration ") +
            SpanHms(r.Span) + QLatin1Char(')'));
        did(EndStep::CompletionLine);
    }
    if (due(EndStep::NormalMessage) && !job.EojTo.trimmed().isEmpty() &&
        ((!failed && !G.gDummyRun) || (G.gDummyRun && G.gDumGenMsg)))
        once(EndStep::NormalMessage,
             [&] { return GenMessage(j, job.EojTo, job.EojCc, Trimmed(job.EojMsg), job.EojFlags, false); });
    if (due(EndStep::TriggerFile) && !job.TriggerFile.trimmed().isEmpty() && (!G.gDummyRun || G.gDumCrtTriggers))
        once(EndStep::TriggerFile, [&] { return CrtTrigger(j); });
    if (due(EndStep::Reschedule) && r.Resched) {
        ClearRunTimes(job);
        job.StatusText = QStringLiteral("Rescheduled");
        SetJobState(j, jsScheduled);
        Log(PaddedName(j) + kTab + job.StatusText + QStringLiteral(" at ") + TimeNow());
        did(EndStep::Reschedule);
    }
    // The steps with nothing to do count as done too.
    Done = (Done | kAllEndSteps) & ~failedSteps;
    return failedSteps == 0;
}

void RecoverRun() {
    // What was kept of another schedule's endings is not this one's.
    ForgetUnfinishedEndings();
    const PendingWork pending = ReplayRunJournal();
    for (int j = 1; j <= JobCount(); ++j) SetJobStatus(j);
    for (int j : pending.Submissions) {
        // A submission whose keeper never let the program run (the scheduler
        // stopped between its record and the release) has no effects: the
        // first pass submits the job again, and the file it waits for must
        // still be there then. A keeper still holding such a job lets it go
        // and records so at once: that moment is awaited (a few seconds at
        // most, for a keeper held up by a full disk), so the job is not taken
        // for one that runs.
        const ProcessInfo& p = Job(j).ProcInfo;
        for (int k = 0; k < 500 && !JobSubmissionSettled(p); ++k) QThread::msleep(10);
        if (JobWindowGone(p) && JobExitStatus(p).NeverRan) continue;
        RunSubmitEffects(j);
    }
    for (PendingEnding p : pending.Endings)
        if (!RunEndEffects(p.Job, p.Record, p.Done)) KeepUnfinishedEnding(p);
    FlushJournalSteps();
    // What the journal held goes into the schedule file (which empties the
    // journal): the file shows the ended jobs as ended from now on.
    if (pending.Replayed) SaveSchedule();
    TidyJobEnds();
    // Trigger and tracker folders may be shared with schedulers still
    // running: only files left for a while are a crash's leftovers.
    constexpr int kLeftoverSecs = 60;
    RemoveLeftoverTemps(G.gTriggerPath, QString(), kLeftoverSecs);
    RemoveLeftoverTemps(G.gTrackerPath, QString(), kLeftoverSecs);
    RemoveLeftoverTemps(G.gEmailPath, QString(), kLeftoverSecs);
    // A message file is written as "<name>.$$$" and renamed when complete.
    if (!G.gEmailPath.isEmpty()) {
        QDir messages(G.gEmailPath);
        const QDateTime limit = QDateTime::currentDateTimeUtc().addSecs(-kLeftoverSecs);
        for (const QFileInfo& f : messages.entryInfoList({QStringLiteral("*.$$$")}, QDir::Files | QDir::Hidden))
            if (!f.isSymLink() && f.lastModified().toUTC() <= limit) messages.remove(f.fileName());
    }
}

void Execution::SubmissionLoop(bool& changed) {
    G.gNoJobRunning = true;
    // Jobs renamed, added, moved or changed in state since the last loop (by
    // the operator, or ended by the completion loop just now) are seen by
    // their dependants. The clock is read once: every job of the loop is
    // tested against the same moment.
    BeginDependencyPass();
    const qint64 nowReal = NowReal();
    // The zone is read once too (it cannot change within the loop): the
    // earliest starts' real moments are then the clock's arithmetic.
    ZoneOffsets& offsets = currentClock().offsets();
    // The loop's totals are taken at its first wait test and dropped with it.
    loopTotals_.reset();
    inLoop_ = true;
    consumed_.clear();
    BeginJournalGroup();
    struct Leave {
        Execution& e;
        ~Leave() {
            e.AbandonSubmissions();
            e.inLoop_ = false;
            e.loopTotals_.reset();
        }
    } leave{*this};
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& job = Job(j);
        if (job.JobState == jsScheduled) {
            bool ok = true;
            // Come once the clock first shows it: a time in the hour a clock
            // change skips comes at the change, one in a repeated hour at its
            // first showing.
            if (!G.gDummyRun && offsets.realOf(NextDayIfEarlier(job.EarlyStart)).first > nowReal) {
                ok = false;
                job.StatusText = QStringLiteral("Too early (") + FormatDate(job.EarlyStart, QStringLiteral("hh:mm")) +
                                 QLatin1Char(')');
            }
            if (ok && G.gDOSSerial && job.DosProgram) {
                ok = CheckDOSSerial(j);
                if (!ok) job.StatusText = QStringLiteral("Wait DOS");
            }
            if (ok && !job.RunAfter.isEmpty()) {
                QString line;
                const QString r = WaitJobInPass(j, line);
                if (r == gDepWait) {
                    ok = false;
                    job.StatusText = line;
                } else if (r == gDepNever) {
                    ok = false;
                    const RunMoment now = RunNow();
                    SetRunTimes(job, now, now);
                    job.StatusText = QStringLiteral("Unscheduled");
                    SetJobState(j, jsUnscheduled);
                    // The list is rebuilt once at the end of the pass: no
                    // window shows anything in between.
                    LoopOut(Name(j) + kTab + QStringLiteral("Unscheduled at ") + TimeNow(), j,
                            QStringLiteral("Unscheduled"));
                    changed = true;
                } else if (r != gDepMet) {
                    MsgBox(QStringLiteral("Critical Error in CheckDependency Routine"), MsgButtons::Ok,
                           MsgIcon::Critical);
                    throw FatalStop(QStringLiteral("Critical Error in CheckDependency Routine"));
                }
            }
            if (ok && !job.Exclusive.trimmed().isEmpty()) {
                ok = CheckExclusive(j);
                if (!ok) job.StatusText = QStringLiteral("Wait Excl (") + job.Exclusive.trimmed() + QLatin1Char(')');
            }
            if (ok) {
                ok = CPUAvailable(j);
                if (!ok) job.StatusText = QStringLiteral("Wait CPU");
            }
            if (job.SchedFlag.left(1).toUpper() == QLatin1String("S")) ok = true;

            const QString wait = job.WaitForFile.trimmed();
            bool found = false;
            if (ok && !wait.isEmpty()) {
                // A file that a job started earlier in this loop deletes is
                // gone for the jobs after it: one file starts one job.
                found = TrigFileFound(wait) && !consumed_.contains(WaitFilePath(wait));
                const bool autoTrigger = G.gDummyRun && !G.gDumManFile;
                ok = found || job.ForceTrigger || autoTrigger;
                if (ok) {
                    if (job.ForceTrigger)
                        LoopOut(Name(j) + kTab + QStringLiteral("Forced file trigger at ") + TimeNow());
                    else if (autoTrigger)
                        LoopOut(PaddedName(j) + kTab + QStringLiteral("Auto file trigger at ") + TimeNow());
                    if (job.EventIndex != -1) DeleteEvent(j);
                } else {
                    const bool trigger = job.WaitForFile.startsWith(QLatin1String(".."));
                    const QString other = job.WaitForFile.mid(2).trimmed();
                    if (job.EventIndex == -1)
                        InsertEvent(j, trigger ? QStringLiteral("File Trigger(") + other + QLatin1Char(')')
                                               : QStringLiteral("File(") + wait + QLatin1Char(')'));
                    job.StatusText = trigger ? QStringLiteral("Wait Trigger (") + other + QLatin1Char(')')
                                             : QStringLiteral("Wait File (") + wait + QLatin1Char(')');
                }
            }
            if (ok && Submit(j)) {
                changed = true;
                if (loopTotals_ && job.JobState == jsRunning) loopTotals_->add(job);
                if (job.JobState == jsRunning && job.DelWaitFile && found) consumed_.insert(WaitFilePath(wait));
            }
            // Every held job keeps two pipes open: a large pass commits its
            // submissions in groups of this many.
            if (held_.size() >= kMaxHeldSubmissions) {
                ReleaseSubmissions();
                BeginJournalGroup();
            }
        }
        if (job.JobState == jsRunning) G.gNoJobRunning = false;
    }
    ReleaseSubmissions();
}

// Starts job j: records its submission in the journal's group and counts it
// as running for the rest of the loop; its program runs once the group is
// on the disk (ReleaseSubmissions). True when the job changed; false when its
// record could not be written (it waits as it was).
bool Execution::Submit(int j) {
    JobRec& job = Job(j);
    const SubstResult subst = SubstDateVars(job.CommandLine, job.DateVars, job.Frequency);
    HeldSubmission s;
    s.job = j;
    bool started = true;
    QString error;
    if (!subst.ok) {
        // A date variable that names no date fails this job's submission
        // alone, with the reason in the log.
        started = false;
        error = subst.error;
    } else if (HasCommand(job)) {
        QString command = job.DosProgram ? CommandProcessorLine(subst.text) : subst.text;
        if (G.gDummyRun) command = DummyCmdLine(j, command);
        started = s.held = PrepareJob(command, job.ProcInfo, s.process, &error);
    }
    if (started) {
        s.prevStarted = StartedOf(job);
        s.prevCompleted = CompletedOf(job);
        SetRunTimes(job, RunNow(), RunMoment{});
        if (JournalSubmission(j, s.prevStarted.Wall, s.prevCompleted.Wall, &error)) {
            SetJobState(j, jsRunning);
            job.StatusText = QStringLiteral("Running");
            if (job.SubmitOnly) QuickKick = 1;
            held_.push_back(std::move(s));
            if (inLoop_) loopOut_.push_back({QString(), 0, QString(), true});
            return true;
        }
        if (s.held) AbandonJob(s.process);
        SetRunTimes(job, s.prevStarted, s.prevCompleted);
        JournalWritten(false, error);
        NotSubmitted(j);
        return false;
    }
    SubmitFailed(j, error);
    return true;
}

// A submission whose record could not be made durable: the job has not run
// and waits, to be submitted by a later pass (the operator is told once, by
// JournalWritten).
void Execution::NotSubmitted(int j) {
    JobRec& job = Job(j);
    SetJobState(j, jsScheduled);
    job.StatusText = JobStateText(jsScheduled);
    G.gSchedComplete = false;
}

void Execution::SubmitFailed(int j, const QString& error) {
    JobRec& job = Job(j);
    job.StatusText = QStringLiteral("Submit Failed");
    SetJobState(j, jsSubmitFailed);
    QString line = Name(j) + QStringLiteral("(") + job.Frequency.trimmed() + QStringLiteral(") ") + kTab +
                   QStringLiteral("Submission failed at ") + TimeNow();
    if (!error.isEmpty()) line += QStringLiteral(": ") + ControlsToBlanks(error);
    SetFailed(G.gShowFailedWarn);
    QuickKick = 1;
    LoopOut(line);
}

// A line (and a tracker status) of the submission loop: written in the order
// of the jobs, with the effects of the submissions held before it, once the
// loop's submissions are released; outside the loop at once.
void Execution::LoopOut(const QString& Line, int TrackJob, const QString& TrackStatus) {
    if (!inLoop_ || releasing_) {
        Log(Line);
        if (TrackJob > 0) Track(Name(TrackJob), TrackStatus);
        return;
    }
    loopOut_.push_back({Line, TrackJob, TrackStatus, false});
}

// Commits the journal's group of submissions (one flush for all of them):
// only then are the keepers released, so a scheduler killed at any moment
// finds every job that may have run recorded. A group that could not be made
// durable runs none of its jobs.
void Execution::ReleaseSubmissions() {
    QString error;
    const bool durable = CommitJournalGroup(&error);
    if (!held_.empty()) JournalWritten(durable, error);
    std::vector<HeldSubmission> batch = std::exchange(held_, {});
    std::vector<LoopLine> out = std::exchange(loopOut_, {});
    releasing_ = true;
    struct Released {
        bool& flag;
        ~Released() { flag = false; }
    } released{releasing_};
    size_t next = 0;
    for (const LoopLine& l : out) {
        if (l.held) {
            if (next < batch.size()) ReleaseOne(batch[next++], durable, error);
            continue;
        }
        Log(l.line);
        if (l.trackJob > 0) Track(Name(l.trackJob), l.trackStatus);
    }
    // Submissions made outside the loop have no place among its lines.
    while (next < batch.size()) ReleaseOne(batch[next++], durable, error);
}

// One submission of a committed (or failed) group: its program runs, or it
// waits again.
void Execution::ReleaseOne(HeldSubmission& s, bool durable, const QString& error) {
    JobRec& job = Job(s.job);
    QString why = error;
    if (!durable) {
        if (s.held) AbandonJob(s.process);
        SetRunTimes(job, s.prevStarted, s.prevCompleted);
        NotSubmitted(s.job);
        return;
    }
    if (s.held && !ReleaseJob(s.process, &why)) {
        // The record names the times the job has again.
        SetRunTimes(job, s.prevStarted, s.prevCompleted);
        QString ignored;
        JournalCancelled(s.job, &ignored);
        SubmitFailed(s.job, why);
        return;
    }
    // Its earlier run's unfinished effects would come after this run's.
    DropUnfinishedEnding(s.job);
    job.GraceUntil = DateVal();
    if (JobWindowGone(job.ProcInfo)) job.GraceUntil = Now().addSeconds(G.gMinJobLaunch);
    // A rerun is never reported with its previous run's failure.
    job.Killed = false;
    job.WinFailed = 0;
    job.WinErrorText.clear();
    job.JobWindow = 0;
    RunSubmitEffects(s.job);
}

// A pass that stops before its group is committed runs none of its jobs.
void Execution::AbandonSubmissions() {
    DiscardJournalGroup();
    for (HeldSubmission& s : held_)
        if (s.held) AbandonJob(s.process);
    held_.clear();
    // What the loop did to jobs that were not submitted still took place.
    for (const LoopLine& l : std::exchange(loopOut_, {})) {
        if (l.held) continue;
        Log(l.line);
        if (l.trackJob > 0) Track(Name(l.trackJob), l.trackStatus);
    }
}

// ---------------------------------------------------------------- wait tests

DateVal Execution::NextDayIfEarlier(const DateVal& Moment) const {
    return Moment < G.gRunDayStart ? Moment.addDays(1) : Moment;
}

bool Execution::CheckDOSSerial(int) const {
    return WithTotals([](const RunningTotals& t) { return !t.dosRunning(); });
}

bool Execution::CheckExclusive(int JobIndex) const {
    const QStringList keywords = Job(JobIndex).Exclusive.trimmed().toUpper().split(QLatin1Char(' '));
    return WithTotals([&](const RunningTotals& t) {
        for (const QString& k : keywords)
            if (t.clashes(k)) return false;
        return true;
    });
}

bool Execution::CPUAvailable(int JobIndex) const {
    if (IgnoreCpuLimit) return true;
    const qint64 own = Job(JobIndex).CpuUsage;
    return WithTotals([&](const RunningTotals& t) { return own + t.cpu() <= G.gCPULimit; });
}

QString Execution::DummyCmdLine(int JobIndex, const QString& Command) const {
    QString t = G.gDummyModel;
    t.remove(QLatin1Char('"'));
    t = t.toUpper();
    t.replace(QStringLiteral("%DUMMYPROG%"), G.gDummyProg);
    t.replace(QStringLiteral("%JOBNAME%"), Name(JobIndex));
    // The command without its quotes, enclosed in quotes: one field of the
    // dummy program's command line.
    QString command = Command;
    command.remove(QLatin1Char('"'));
    t.replace(QStringLiteral("%CMDLINE%"), AddQuotes(command));
    t.replace(QStringLiteral("%FREQ%"), AddQuotes(Job(JobIndex).Frequency));
    return t;
}

// ---------------------------------------------------------------- run date

void Execution::InitSchedule() {
    G.gSchedComplete = false;
    WriteLog(G.gLogFile, QStringLiteral("Starting"));
    gTimerSecs = static_cast<int>(
        std::clamp<qint64>(RoundedVal(IniGet(gAppName, QStringLiteral("TimerSecs"), G.gIniFile)), 0, 24 * 3600));
    // A missing, zero or unreadable interval must never stop the passes.
    if (gTimerSecs < 1) gTimerSecs = kDefaultTimerSecs;
    const QString keywords = DayKeywords(G.gRunDate);
    QStringList codes;
    for (int f = 1; f <= 6; ++f) codes << GetLineField(keywords, f, QLatin1Char('"'), QLatin1Char(','));
    SetStartTimes();
    QStringList shown;
    for (int idx : {1, 0, 3, 2, 5, 4})
        if (!codes[idx].isEmpty()) shown << codes[idx];
    const QString relDays = FormatDate(G.gRunDate, QStringLiteral("dddd")) + QStringLiteral(", ") +
                            FormatDate(G.gRunDate, G.gDateFmt) + QStringLiteral("\n (") +
                            shown.join(QStringLiteral(", ")) + QLatin1Char(')');
    view_.SetRunDateLabels(relDays, FormatDate(G.gDayStart, QStringLiteral("hh:mm")));
    SchedRun();
    TimerIntervalMs = gTimerSecs * 1000;
    view_.SetTimer(TimerIntervalMs);
    cmdKick_Click();
}

void Execution::SchedRun() {
    G.gNoJobRunning = true;
    SetKickTimer();
    if (ShowEventsOption) view_.PressShowEvents();
    SetFailed(false);
    Log(QStringLiteral("Schedule for ") + FormatDate(G.gRunDate, QStringLiteral("dddd ") + G.gDateFmt) +
        QStringLiteral(" ----------------------------------------"));
    // The run date's own rollover state, before its first pass's rollover
    // test: what the last pass of the previous run date left says nothing
    // of this one's deferred jobs.
    G.gDeferredJobsDone = true;
    for (int j = 1; j <= JobCount(); ++j) {
        JobRec& job = Job(j);
        SetJobStatus(j);
        if (HoldsRollover(job)) G.gDeferredJobsDone = false;
        if (job.JobState == jsRunning) G.gNoJobRunning = false;
    }
    SchedRunList(jsNotScheduled, QString(), QStringLiteral("not scheduled"), QString());
    const int completed = SchedRunList(jsCompleted, QString(), QStringLiteral("previously completed"), QString());
    SchedRunList(jsUnscheduled, QString(), QStringLiteral("previously unscheduled"), QString());
    const int submitted =
        SchedRunList(jsRunning, QStringLiteral("Force Completion"), QStringLiteral("previously submitted"), QString());
    const int submitFailed = SchedRunList(jsSubmitFailed, QStringLiteral("Force Completion"),
                                          QStringLiteral("previous submission failed"), QString());
    const int failed = SchedRunList(jsAborted, QString(), QStringLiteral("previous execution failed"), QString());
    SetFailed(submitFailed + failed > 0 && G.gShowFailedWarn);
    const int scheduled =
        SchedRunList(jsScheduled, QString(), QStringLiteral("scheduled"), QStringLiteral("Scheduled"));
    if (completed > 0) Log(QString::number(completed) + QStringLiteral(" Job(s) previously completed."));
    if (submitted > 0) Log(QString::number(submitted) + QStringLiteral(" Job(s) previously submitted."));
    if (submitFailed > 0) Log(QString::number(submitFailed) + QStringLiteral(" Job(s) previous submission failed."));
    if (failed > 0) Log(QString::number(failed) + QStringLiteral(" Job(s) previously failed."));
    Log(QString::number(scheduled) + QStringLiteral(" Job(s) scheduled."));
    AddLogListLine(QString());
}

int Execution::SchedRunList(int State, const QString& EventText, const QString& Description,
                            const QString& TrackStatus) {
    int count = 0;
    for (int j = 1; j <= JobCount(); ++j) {
        if (Job(j).JobState != State) continue;
        const QString line =
            PaddedName(j) + QStringLiteral(" (") + Job(j).Frequency.trimmed() + QLatin1Char(')') + kTab + Description;
        if (!EventText.isEmpty()) InsertEvent(j, EventText);
        Log(line);
        if (!TrackStatus.isEmpty()) Track(Name(j), TrackStatus);
        ++count;
    }
    if (count > 0) AddLogListLine(QString());
    return count;
}

void Execution::SetKickTimer() {
    if (G.gNoJobRunning) {
        KickHalfSecs = 10;
    } else if (QuickKick != 0) {
        KickHalfSecs = QuickKick * 2;
    } else {
        KickHalfSecs = gTimerSecs * 2;
        for (int j = 1; j <= JobCount(); ++j) {
            const JobRec& job = Job(j);
            if (job.JobState == jsRunning && job.LastDuration >= 1 && job.LastDuration < KickHalfSecs)
                KickHalfSecs = job.LastDuration;
        }
        KickHalfSecs = std::max(KickHalfSecs, 2);
    }
    TimerIntervalMs = KickHalfSecs * 500;
    view_.SetTimer(TimerIntervalMs);
    view_.SetKickLabel(QString::number(gTimerSecs) + QLatin1Char('/') + QString::number(KickHalfSecs / 2) +
                       QStringLiteral(" seconds"));
}

void Execution::CmdKickInt_Click() {
    TimerIntervalMs = TimerIntervalMs < gTimerSecs * 1000 ? gTimerSecs * 1000 : 5000;
    view_.SetTimer(TimerIntervalMs);
    view_.SetKickLabel(QString::number(gTimerSecs) + QLatin1Char('/') + QString::number(TimerIntervalMs / 1000) +
                       QStringLiteral(" seconds"));
}

void Execution::DoNextDay() {
    Log(QStringLiteral("End of day for ") + FormatDate(G.gRunDate, QStringLiteral("dddd ") + G.gDateFmt) +
        QStringLiteral(" ----------------------------------------"));
    AddLogListLine(QString());
    G.gRunDate = G.gDummyRun ? Now().datePart() : G.gRunDate.datePart().addDays(1);
    // The new day's status decision needs the new day's start.
    SetStartTimes();
    for (int j = 1; j <= JobCount(); ++j) {
        Job(j).SchedFlag = QStringLiteral(" ");
        SetJobStatus(j);
    }
    Events.clear();
    EventsSelected = -1;
    view_.EventsChanged();
    InitSchedule();
}

// ---------------------------------------------------------------- lists

void Execution::InsertEvent(int JobIndex, const QString& Text) {
    ++G.gEventCounter;
    const int number = static_cast<int>(G.gEventCounter % 2000000000);
    Events.push_back({PaddedName(JobIndex) + kTab + Text, number, QString()});
    Job(JobIndex).EventIndex = number;
    view_.EventsChanged();
}

void Execution::DeleteEvent(int JobIndex) {
    JobRec& job = Job(JobIndex);
    for (size_t i = 0; i < Events.size(); ++i) {
        if (Events[i].data == job.EventIndex) {
            Events.erase(Events.begin() + static_cast<std::ptrdiff_t>(i));
            if (EventsSelected == static_cast<int>(i))
                EventsSelected = -1;
            else if (EventsSelected > static_cast<int>(i))
                --EventsSelected;
            job.EventIndex = -1;
            break;
        }
    }
    if (Events.empty()) G.gEventCounter = -1;
    view_.EventsChanged();
}

void Execution::UnsubBuild() {
    const ListEntry selected = UnsubSelected >= 0 && UnsubSelected < static_cast<int>(Unsub.size())
                                   ? Unsub[static_cast<size_t>(UnsubSelected)]
                                   : ListEntry{};
    Unsub.clear();
    // A job's padded name is made again only when its name changed; its
    // status text is shared, not copied.
    unsubLines_.resize(G.Jobs.size());
    for (int j = 1; j <= JobCount(); ++j) {
        const JobRec& job = Job(j);
        if (job.JobState != jsScheduled) continue;
        CachedLine& c = unsubLines_[static_cast<size_t>(j)];
        if (!SameData(c.name, job.JobName) || c.prefix.isEmpty()) {
            c.name = job.JobName;
            c.prefix = PaddedName(j) + kTab;
        }
        Unsub.push_back({c.prefix, j, job.StatusText});
    }
    UnsubSelected = -1;
    if (!selected.text.isEmpty()) {
        for (int i = static_cast<int>(Unsub.size()) - 1; i >= 0; --i) {
            const ListEntry& e = Unsub[static_cast<size_t>(i)];
            if (e.text == selected.text && e.tail == selected.tail) {
                UnsubSelected = i;
                break;
            }
        }
    }
    view_.UnsubChanged();
}

void Execution::TriggerSelectedEvent() {
    // Without a selected entry there is nothing to trigger.
    if (EventsSelected < 0 || EventsSelected >= static_cast<int>(Events.size())) return;
    const QString text = Events[static_cast<size_t>(EventsSelected)].text;
    if (!G.gTrigWarned) {
        G.gTrigWarned = true;
        const MsgAnswer a =
            MsgBox(QStringLiteral("Forced triggering will have no effect on the real event.  It will only "
                                  "cause the schedule to behave as if the event had occurred.\n\n"
                                  "Proceed to trigger the event(") +
                       text + QStringLiteral(")?"),
                   MsgButtons::YesNo, MsgIcon::Question);
        if (a == MsgAnswer::No) return;
    }
    const int j = FindJob(text.left(8));
    if (j > 0 && text.startsWith(Name(j))) {
        const QString upper = text.toUpper();
        if (upper.contains(QLatin1String("FILE(")) || upper.contains(QLatin1String("FILE TRIGGER(")))
            Job(j).ForceTrigger = true;
        else
            SetJobState(j, jsEndForced);
    }
    EventsSelected = -1;
    view_.EventsChanged();
    cmdKick_Click();
}

QString Execution::puStatus_Click() {
    if (UnsubSelected < 0 || UnsubSelected >= static_cast<int>(Unsub.size())) return QString();
    const int j = Unsub[static_cast<size_t>(UnsubSelected)].data;
    if (j < 1 || j > JobCount()) return QString();
    const JobRec& job = Job(j);
    QString reasons;
    if (FirstReal(NextDayIfEarlier(job.EarlyStart)) > NowReal())
        reasons +=
            QStringLiteral(",Too early (") + FormatDate(job.EarlyStart, QStringLiteral("hh:mm")) + QLatin1Char(')');
    if (G.gDOSSerial && job.DosProgram && !CheckDOSSerial(j)) reasons += QStringLiteral(",Wait DOS");
    if (!job.RunAfter.isEmpty()) {
        QString unmet;
        if (CheckDependency(j, unmet, false) != gDepMet)
            reasons += QStringLiteral(",Wait Job (") + unmet + QLatin1Char(')');
    }
    if (!job.Exclusive.trimmed().isEmpty() && !CheckExclusive(j))
        reasons += QStringLiteral(",Wait Excl (") + job.Exclusive.trimmed() + QLatin1Char(')');
    if (!CPUAvailable(j)) reasons += QStringLiteral(",Wait CPU");
    const QString text = reasons.mid(1);
    MsgBox(QStringLiteral("Job ") + PaddedName(j) + QStringLiteral(" status: ") + text);
    return text;
}

void Execution::puForceSub_click() {
    if (UnsubSelected < 0 || UnsubSelected >= static_cast<int>(Unsub.size())) return;
    const int j = Unsub[static_cast<size_t>(UnsubSelected)].data;
    if (j < 1 || j > JobCount()) return;
    JobRec& job = Job(j);
    if (job.SchedFlag.left(1).toUpper() == QLatin1String("S")) {
        MsgBox(QStringLiteral("Job ") + Name(j) +
               QStringLiteral(" already scheduled for forced submission.  Check Events Window."));
        return;
    }
    if (MsgBox(QStringLiteral("Force submit job ") + Name(j) + QLatin1Char('?'), MsgButtons::YesNo,
               MsgIcon::Question) != MsgAnswer::Yes)
        return;
    job.SchedFlag = QStringLiteral("S");
    Log(QStringLiteral("Job ") + Name(j) + QStringLiteral(" scheduled for forced submission."));
}
