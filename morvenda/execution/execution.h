#pragma once

#include "common/datetime.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/launcher.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class RunningTotals;
struct JobEndRecord;

/// A submission recorded in the journal's open group: its keeper holds the
/// program until the group is on the disk.
struct HeldSubmission {
    int job = 0;
    bool held = false;  ///< a keeper holds a program (a job without a command has none)
    HeldJob process;
    RunMoment prevStarted;  ///< the times it had, restored when it cannot run
    RunMoment prevCompleted;
};

// The run of a schedule: the kick pass that finds running jobs ended or
// failed and submits waiting ones, the start of a run date, the rollover to
// the next one, and the events and unsubmitted-jobs lists. It is plain logic:
// the execution window (frmSched) implements ExecView to show what it does,
// and tests drive it with a fake view, a fake clock and real processes.

/// The two buttons the pass lights up while it works.
enum class ExecButton { Kick, Suspend };

/// What the run needs of its window.
class ExecView {
public:
    virtual ~ExecView() = default;
    /// Green background on or off. No window events run here: a pass never
    /// lets another pass (or a rollover) start in its middle.
    virtual void HighLightButton(ExecButton button, bool on) = 0;
    /// Shows or hides lblFailed.
    virtual void SetFailedVisible(bool visible) = 0;
    /// The schedule completed: Kick Int disabled, Next Day and its menu item
    /// enabled; Suspend and its menu item disabled unless suspended.
    virtual void ScheduleCompleted(bool suspended) = 0;
    /// Timer disabled, interval set (milliseconds; 0 = no ticks), enabled.
    virtual void SetTimer(int intervalMs) = 0;
    /// lblKick's caption.
    virtual void SetKickLabel(const QString& text) = 0;
    /// The run date labels: lblRelDays and lblSchedStart.
    virtual void SetRunDateLabels(const QString& relDays, const QString& schedStart) = 0;
    /// The events or unsubmitted-jobs list changed (Execution::Events / Unsub).
    virtual void EventsChanged() = 0;
    virtual void UnsubChanged() = 0;
    /// SchedRun found the start-up window's Show Events option ticked.
    virtual void PressShowEvents() = 0;
};

/// A view that shows nothing: for runs without a window (tests, benchmarks).
class NullExecView : public ExecView {
public:
    void HighLightButton(ExecButton, bool) override {}
    void SetFailedVisible(bool) override {}
    void ScheduleCompleted(bool) override {}
    void SetTimer(int) override {}
    void SetKickLabel(const QString&) override {}
    void SetRunDateLabels(const QString&, const QString&) override {}
    void EventsChanged() override {}
    void UnsubChanged() override {}
    void PressShowEvents() override {}
};

/// One entry of the events or the unsubmitted-jobs list.
struct ListEntry {
    QString text;
    int data = 0;  // events: the entry's number; unsubmitted jobs: the job's index
    /// Shown right after text: an unsubmitted job's status text, shared with
    /// the job rather than copied into its line (a wait text can run to many
    /// kilobytes in a large schedule).
    QString tail;
    /// The line as the list shows it.
    QString line() const { return text + tail; }
    bool operator==(const ListEntry&) const = default;
};

/// The run of the schedule in G on one execution window.
class Execution {
public:
    explicit Execution(ExecView& view);
    ~Execution();

    // Window state.
    bool KickBusy = false;          ///< a pass is in progress
    int QuickKick = 0;              ///< the next pass should follow after one second
    int KickHalfSecs = 0;           ///< current kick interval in half-seconds
    int gTimerSecs = 0;             ///< configured seconds between passes ("TimerSecs")
    bool IgnoreCpuLimit = false;    ///< chkIgnCPU
    bool ShowEventsOption = false;  ///< the start-up window's Show Events option
    bool FailedVisible = false;     ///< lblFailed shown
    int TimerIntervalMs = 0;        ///< the interval last given to the timer

    /// The events list ("Untriggered Events") and the unsubmitted-jobs list,
    /// with the selected row of each (-1 none).
    std::vector<ListEntry> Events;
    std::vector<ListEntry> Unsub;
    int EventsSelected = -1;
    int UnsubSelected = -1;

    /// One kick pass.
    void cmdKick_Click();
    /// Starts the run date: log, timer, listing, first pass.
    void InitSchedule();
    /// Lists the schedule and the state of every job.
    void SchedRun();
    /// Lists the jobs in State; returns how many.
    int SchedRunList(int State, const QString& EventText, const QString& Description, const QString& TrackStatus);
    /// Sets the timer from the running jobs.
    void SetKickTimer();
    /// Kick Int: toggles between the configured interval and five seconds.
    void CmdKickInt_Click();
    /// Ends the run day and starts the next one.
    void DoNextDay();

    void InsertEvent(int JobIndex, const QString& Text);
    void DeleteEvent(int JobIndex);
    void UnsubBuild();

    /// Events list double-click and "Trigger Event": forces the selected
    /// event after the one-time warning, then runs a pass.
    void TriggerSelectedEvent();
    /// Status pop-up: every wait reason of the selected unsubmitted job;
    /// returns the text shown (also the list's tooltip).
    QString puStatus_Click();
    /// Force Submit pop-up for the selected unsubmitted job.
    void puForceSub_click();

    /// Wait tests of the submission loop.
    bool CheckDOSSerial(int JobIndex) const;
    bool CheckExclusive(int JobIndex) const;
    bool CPUAvailable(int JobIndex) const;
    /// The dummy job program's command line for the job (G.gDummyModel).
    QString DummyCmdLine(int JobIndex, const QString& Command) const;
    /// Moment plus one day when it lies before the run day's start.
    DateVal NextDayIfEarlier(const DateVal& Moment) const;

private:
    void CompletionLoop(bool& changed);
    JobEndRecord DecideEnding(int j, bool forced);
    void Resubmit(int j);
    void SubmissionLoop(bool& changed);
    bool Submit(int j);
    void ReleaseSubmissions();
    void AbandonSubmissions();
    void SubmitFailed(int j, const QString& error);
    void NotSubmitted(int j);
    void ReleaseOne(HeldSubmission& s, bool durable, const QString& error);
    void LoopOut(const QString& Line, int TrackJob = 0, const QString& TrackStatus = QString());
    void JournalWritten(bool durable, const QString& error);
    void SetFailed(bool visible);
    void GiveBackFreedMemory(bool completed);

    template <typename F>
    bool WithTotals(F Test) const;

    // A text made from others, kept with copies of them: while the copies
    // share the sources' data, the sources are unchanged and so is the text.
    struct CachedLine {
        QString name;
        QString prefix;  // made from name
    };
    std::vector<CachedLine> unsubLines_;  // per job: the start of its unsubmitted-jobs line

    ExecView& view_;
    // Submissions recorded in the journal's open group, whose programs run
    // once the group is on the disk.
    std::vector<HeldSubmission> held_;
    // The submission loop's lines and tracker statuses, and the places of its
    // held submissions among them, in the order of the jobs.
    struct LoopLine {
        QString line;
        int trackJob = 0;
        QString trackStatus;
        bool held = false;
    };
    std::vector<LoopLine> loopOut_;
    bool releasing_ = false;
    // Files that the loop's submissions delete when they start.
    QSet<QString> consumed_;
    // What the running jobs hold, while the submission loop runs.
    bool inLoop_ = false;
    mutable std::unique_ptr<RunningTotals> loopTotals_;
    QElapsedTimer lastTrim_;       // since the heap's free pages were last given back
    bool trimDue_ = false;         // passes changed jobs since
    bool journalFailing_ = false;  // the last group of records could not be made durable (said once)
};

/// Carries out the effects of job j's submission (G.Jobs): its tracker file,
/// its "Submitted at" run log line and the deletion of the file it waited for
/// (DelWaitFile), then records them as done in the run journal.
void RunSubmitEffects(int j);

/// Carries out the effects of job j's ending (G.Jobs) that are not in Done,
/// each recorded in the run journal and added to Done once done: the
/// forced-completion line of a forced end, the end-of-job messages, the run
/// log lines, the tracker and trigger files and the automatic reschedule.
/// False when a message or the trigger file could not be written (it is left
/// out of Done, to be tried again).
bool RunEndEffects(int j, const JobEndRecord& Record, unsigned& Done);

/// After the schedule is loaded at start-up: lays the run journal over the
/// jobs (ReplayRunJournal), decides every job's state again, finishes the
/// effects of a submission or an ending that a crash interrupted, saves the
/// schedule when the journal held anything (which empties it), and tidies the
/// keepers' folder and half-written files.
void RecoverRun();

/// A span of seconds as "hh:mm:ss"; a day or more shows its total hours
/// ("25:00:00"). A negative span reads "00:00:00".
QString SpanHms(qint64 seconds);

/// Seconds between passes when "TimerSecs" is missing, 0 or not a number.
inline constexpr int kDefaultTimerSecs = 5;
