#include "morvenda/execution/execution.h"

#include "common/constants.h"
#include "common/ini.h"
#include "common/textfile.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/launcher.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/editing/gridlogic.h"
#include "morvenda/editing/resched.h"
#include "morvenda/execution/journal.h"
#include "morvenda/startup/startwindow.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringListModel>
#include <QThread>

#include <functional>

#include <gtest/gtest.h>

namespace {

class FakeView : public ExecView {
public:
    void HighLightButton(ExecButton b, bool on) override {
        if (b == ExecButton::Suspend) suspendLit = on;
    }
    void SetFailedVisible(bool v) override { failedVisible = v; }
    void ScheduleCompleted(bool) override { ++completedCalls; }
    void SetTimer(int ms) override { timerMs = ms; }
    void SetKickLabel(const QString& t) override { kickLabel = t; }
    void SetRunDateLabels(const QString& rel, const QString& start) override {
        relDays = rel;
        schedStart = start;
    }
    void EventsChanged() override {}
    void UnsubChanged() override {}
    void PressShowEvents() override { ++showEventsPressed; }

    bool suspendLit = false;
    bool failedVisible = false;
    int completedCalls = 0;
    int timerMs = -1;
    QString kickLabel, relDays, schedStart;
    int showEventsPressed = 0;
};

class ExecutionTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        UseTempScheduler(dir);
        G.gTriggerPath = dir.path(S("trg"));
        QDir().mkpath(G.gTriggerPath);
        G.gSchedName = S("TEST");
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gDayStart = DateVal::fromSeconds(6 * 3600);
        G.gMinJobLaunch = 10;
        G.ProgList = &progress;
        SetStartTimes();
    }
    // A job (AddJob) with one thing of its own.
    static int addJob(const QString& name, const QString& cmd, const std::function<void(JobRec&)>& set) {
        const int j = AddJob(name, cmd);
        set(Job(j));
        return j;
    }
    QString log() const { return QString::fromUtf8(dir.read(S("20261208.log"))); }

    // Waits (real time) until the job's process has ended.
    void waitGone(int j) {
        QElapsedTimer t;
        t.start();
        while (!JobWindowGone(Job(j).ProcInfo) && t.elapsed() < 10000) QThread::msleep(20);
        ASSERT_TRUE(JobWindowGone(Job(j).ProcInfo));
    }
    void pass() { exec.cmdKick_Click(); }
    void passAfterGrace() {
        clock.advance(G.gMinJobLaunch + 1);
        pass();
    }
    // The pass that notices that these jobs' processes have ended.
    void passWhenGone(std::initializer_list<int> jobs) {
        for (const int j : jobs) waitGone(j);
        passAfterGrace();
    }
    void expectLogged(std::initializer_list<const char*> lines) const {
        const QString text = log();
        for (const char* line : lines) EXPECT_TRUE(text.contains(S(line))) << line;
    }

    QStringListModel progress;
    FakeView view;
    Execution exec{view};
};

TEST_F(ExecutionTest, NullAndSubmitOnlyJobsEndOnTheNextPassWithoutGrace) {
    const int a = AddJob(S("NULLJOB"), QString());
    const int b = addJob(S("SUBONLY"), S("sleep 30"), [&](JobRec& r) { r.SubmitOnly = true; });
    pass();
    EXPECT_EQ(Job(a).JobState, jsRunning);
    EXPECT_EQ(exec.QuickKick, 1);
    EXPECT_EQ(view.timerMs, 1000);
    pass();
    EXPECT_EQ(Job(a).JobState, jsCompleted);
    EXPECT_EQ(Job(b).JobState, jsCompleted);
    EXPECT_EQ(Job(a).StatusText, S("Completed"));
    EXPECT_TRUE(log().contains(
        S("NULLJOB \tCompleted at 10:00:00 (Duration 00:00:00)").replace(QLatin1Char('\t'), QLatin1Char(' '))));
    EXPECT_TRUE(progress.stringList().contains(S("SUBONLY \tCompleted at 10:00:00 (Duration 00:00:00)")));
    ::kill(-Job(b).ProcInfo.dwProcessId, SIGTERM);
}

TEST_F(ExecutionTest, ARealJobCompletesAfterItsGraceAndAFailingOneFails) {
    const int ok = AddJob(S("GOOD"), S("/bin/true"));
    const int bad = addJob(S("BAD"), S("/bin/sh -c \"exit 3\""), [&](JobRec& r) { r.AutoResched = 3; });
    pass();
    ASSERT_EQ(Job(ok).JobState, jsRunning);
    EXPECT_TRUE(progress.stringList().contains(S("GOOD     (Daily) \tSubmitted at 10:00:00")));
    // The process was seen at submission, so no start-up grace holds it.
    passWhenGone({ok, bad});
    EXPECT_EQ(Job(ok).JobState, jsCompleted);
    EXPECT_FALSE(Job(ok).Killed);
    EXPECT_EQ(Job(ok).LastDuration, 11);
    expectLogged({"BAD      Failed(Exit code 3)", "BAD      Failed at 10:00:11 (Duration 00:00:11)"});
    // AutoResched 3: a failure puts it back to waiting, and the same pass
    // submits it again.
    EXPECT_TRUE(log().contains(S("BAD      Rescheduled at 10:00:11")));
    EXPECT_EQ(Job(bad).JobState, jsRunning);
    EXPECT_FALSE(Job(bad).Killed);
}

TEST_F(ExecutionTest, JobsWaitingOnTheSamePrerequisitesFollowEachChangeOfIt) {
    // The wait texts of jobs with the same prerequisites are shared between
    // them and between passes; each pass must still show each job's own
    // present reason, also when a reason of an earlier pass comes back.
    const int a = AddJob(S("JOBA"), S("/bin/true"));
    const int b = AddJob(S("JOBB"), S("/bin/true"));
    std::vector<int> waiting;
    for (int k = 0; k < 4; ++k)
        waiting.push_back(
            AddJob(S("W%1").arg(k), S("/bin/true"), k % 2 ? S("JOBA,JOBB") : S("JOBA"), k % 2 ? S("SF") : S("S")));
    const struct {
        std::uint8_t a, b;
        const char* one;  // JOBA alone
        const char* two;  // JOBA, then JOBB
    } rounds[] = {
        {jsSubmitFailed, jsAborted, "JOBA(S) - Submit Failed", "JOBA(S) - Submit Failed"},
        {jsAborted, jsCompleted, "JOBA(S) - Failed", "JOBA(S) - Failed, JOBB(F) - Succeeded"},
        {jsSubmitFailed, jsCompleted, "JOBA(S) - Submit Failed", "JOBA(S) - Submit Failed, JOBB(F) - Succeeded"},
        {jsAborted, jsCompleted, "JOBA(S) - Failed", "JOBA(S) - Failed, JOBB(F) - Succeeded"},
        {jsSubmitFailed, jsAborted, "JOBA(S) - Submit Failed", "JOBA(S) - Submit Failed"},
    };
    for (const auto& r : rounds) {
        Job(a).JobState = r.a;
        Job(b).JobState = r.b;
        pass();
        for (size_t k = 0; k < waiting.size(); ++k) {
            const QString want = S("Wait Job (") + QString::fromLatin1(k % 2 ? r.two : r.one) + QLatin1Char(')');
            ASSERT_EQ(Job(waiting[k]).JobState, jsScheduled);
            EXPECT_EQ(Job(waiting[k]).StatusText, want) << r.one << " / " << r.two << ", job " << k;
            EXPECT_EQ(exec.Unsub[k].line(), S("W%1").arg(k).leftJustified(8) + QLatin1Char('\t') + want);
        }
    }
}

TEST_F(ExecutionTest, FailureIsRememberedAcrossARestart) {
    const int bad = AddJob(S("BAD"), S("/bin/false"));
    pass();
    passWhenGone({bad});
    ASSERT_EQ(Job(bad).JobState, jsAborted);
    EXPECT_TRUE(Job(bad).Killed);
    EXPECT_EQ(Job(bad).ErrorText, S("Exit code 1"));
}

TEST_F(ExecutionTest, DependenciesWaitThenSubmit) {
    const int a = AddJob(S("JOBA"), S("/bin/true"));
    const int b = AddJob(S("JOBB"), S("/bin/true"), S("JOBA"), S("S"));
    const int c = AddJob(S("JOBC"), S("/bin/true"), S("JOBA"), S("F"));
    Job(c).RunAfterUnsched = S("Y");
    pass();
    EXPECT_EQ(Job(b).StatusText, S("Wait Job (JOBA(S) - Running)"));
    ASSERT_EQ(exec.Unsub.size(), 2u);
    EXPECT_EQ(exec.Unsub[0].line(), S("JOBB    \tWait Job (JOBA(S) - Running)"));
    // The line holds the job's status text itself, not a copy of it.
    EXPECT_EQ(exec.Unsub[0].tail.constData(), Job(b).StatusText.constData());
    passWhenGone({a});
    EXPECT_EQ(Job(a).JobState, jsCompleted);
    EXPECT_EQ(Job(b).JobState, jsRunning);
    EXPECT_EQ(Job(c).JobState, jsUnscheduled);
    EXPECT_TRUE(log().contains(S("JOBC Unscheduled at 10:00:11")));
}

TEST_F(ExecutionTest, WaitReasonsInTheirOrder) {
    const int early = addJob(S("EARLY"), S("/bin/true"), [&](JobRec& r) { r.EarlyStartText = S("14:30"); });
    const int morning = AddJob(S("NEXTDAY"), S("/bin/true"));
    Job(morning).EarlyStartText = S("05:00");  // before the day start: tomorrow 05:00
    const int hog = AddJob(S("HOG"), S("sleep 30"));
    Job(hog).CpuUsage = 8;
    Job(hog).Exclusive = S("PAYROLLS");
    const int cpu = addJob(S("CPU"), S("/bin/true"), [&](JobRec& r) { r.CpuUsage = 3; });
    const int excl = addJob(S("EXCL"), S("/bin/true"), [&](JobRec& r) { r.Exclusive = S("ROLL"); });
    G.gCPULimit = 10;
    SetStartTimes();
    pass();
    EXPECT_EQ(Job(early).StatusText, S("Too early (14:30)"));
    EXPECT_EQ(Job(morning).StatusText, S("Too early (05:00)"));
    EXPECT_EQ(Job(hog).JobState, jsRunning);
    EXPECT_EQ(Job(cpu).StatusText, S("Wait CPU"));
    EXPECT_EQ(Job(excl).StatusText, S("Wait Excl (ROLL)"));

    // A job forced by hand goes past CPU and exclusivity.
    Job(cpu).SchedFlag = S("S");
    exec.IgnoreCpuLimit = false;
    pass();
    EXPECT_EQ(Job(cpu).JobState, jsRunning);
    exec.IgnoreCpuLimit = true;
    EXPECT_TRUE(exec.CPUAvailable(excl));
    ::kill(-Job(hog).ProcInfo.dwProcessId, SIGTERM);
}

TEST_F(ExecutionTest, ExclusivityIsASubstringTestOfRunningJobs) {
    const int run = AddJob(S("RUN"), QString());
    Job(run).JobState = jsRunning;
    Job(run).Exclusive = S("payroll disk1");
    const int w = AddJob(S("W"), QString());
    struct Case {
        const char* keywords;
        bool free;
    };
    const Case cases[] = {{"ROLL", false}, {"DISK1", false}, {"DISK2", true}, {"TAPE", true}, {"TAPE  X", false}};
    for (const Case& c : cases) {
        Job(w).Exclusive = S(c.keywords);
        EXPECT_EQ(exec.CheckExclusive(w), c.free) << c.keywords;
    }
}

TEST_F(ExecutionTest, FileWaitsEventsAndForcedTriggers) {
    const int writer = AddJob(S("WRITER"), QString());
    Job(writer).EarlyStartText = S("23:00");
    Job(writer).TriggerFile = gStdTrigger;
    const int waiter = AddJob(S("WAITER"), QString());
    Job(waiter).WaitForFile = S("..WRITER");
    Job(waiter).DelWaitFile = true;
    const int ext = addJob(S("EXT"), QString(), [&](JobRec& r) { r.WaitForFile = dir.path(S("in.dat")); });
    SetStartTimes();
    pass();
    EXPECT_EQ(Job(waiter).StatusText, S("Wait Trigger (WRITER)"));
    EXPECT_EQ(Job(ext).StatusText, S("Wait File (") + dir.path(S("in.dat")) + S(")"));
    ASSERT_EQ(exec.Events.size(), 2u);
    EXPECT_EQ(exec.Events[0].text, S("WAITER  \tFile Trigger(WRITER)"));

    // The trigger file arrives: the waiter starts and deletes it.
    dir.write(S("trg/WRITER.trg"), "x\r\n");
    pass();
    EXPECT_EQ(Job(waiter).JobState, jsRunning);
    EXPECT_FALSE(QFile::exists(dir.path(S("trg/WRITER.trg"))));
    ASSERT_EQ(exec.Events.size(), 1u);

    // Forcing the external file's event: the warning is asked once.
    exec.EventsSelected = 0;
    exec.TriggerSelectedEvent();
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Forced triggering will have no effect on the real event.")));
    EXPECT_EQ(Job(ext).JobState, jsRunning);
    EXPECT_TRUE(log().contains(S("EXT Forced file trigger at 10:00:00")));
    EXPECT_TRUE(exec.Events.empty());
}

TEST_F(ExecutionTest, AForcedJobStillWaitsForItsFile) {
    const int j = AddJob(S("FORCED"), QString());
    Job(j).SchedFlag = S("S");
    Job(j).EarlyStartText = S("23:00");
    Job(j).WaitForFile = dir.path(S("never.dat"));
    SetStartTimes();
    pass();
    EXPECT_EQ(Job(j).JobState, jsScheduled);
    EXPECT_EQ(Job(j).StatusText, S("Wait File (") + dir.path(S("never.dat")) + S(")"));
}

TEST_F(ExecutionTest, ForcedCompletionOfAJobLeftRunning) {
    const int j = AddJob(S("LEFT"), S("sleep 30"));
    Job(j).Started = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
    Job(j).Completed = DateVal::fromDateTime(2026, 12, 8, 8, 0, 0);
    ASSERT_TRUE(StartProcess(S("sleep 30"), Job(j).ProcInfo));  // still running from before
    exec.InitSchedule();
    EXPECT_EQ(Job(j).JobState, jsRunning);
    expectLogged({"LEFT     (Daily) previously submitted", "1 Job(s) previously submitted."});
    ASSERT_EQ(exec.Events.size(), 1u);
    EXPECT_EQ(exec.Events[0].text, S("LEFT    \tForce Completion"));
    prompts.queueAnswer(MsgAnswer::Yes);
    exec.EventsSelected = 0;
    exec.TriggerSelectedEvent();
    EXPECT_EQ(Job(j).JobState, jsCompleted);
    expectLogged({"LEFT Forced completion at 10:00:00", "LEFT     Completed at 10:00:00 (Duration 01:00:00)"});
    ::kill(-Job(j).ProcInfo.dwProcessId, SIGTERM);
}

TEST_F(ExecutionTest, AJobThatEndedWhileTheSchedulerWasDownIsNeverTakenForASuccess) {
    const int j = AddJob(S("GONE"), S("sleep 30"));
    Job(j).Started = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
    Job(j).Completed = DateVal::fromDateTime(2026, 12, 8, 8, 0, 0);
    Job(j).ProcInfo.dwProcessId = 999999;
    Job(j).ProcInfo.dwThreadId = 999999;
    exec.InitSchedule();
    EXPECT_EQ(Job(j).JobState, jsAborted);
    EXPECT_EQ(Job(j).ErrorText, S("Exit status unknown"));
}

TEST_F(ExecutionTest, CompletionWritesLastCompletedOnceAndRollsOver) {
    AddJob(S("ONLY"), QString());
    exec.InitSchedule();  // submits
    EXPECT_EQ(view.relDays, S("Tuesday, 8 Dec 2026\n (+8CDOM, -24CDOM, +6WDOM, -18WDOM, +2Tue, -4Tue)"));
    EXPECT_EQ(view.schedStart, S("06:00"));
    pass();  // completes
    EXPECT_TRUE(G.gSchedComplete);
    EXPECT_EQ(view.completedCalls, 1);
    EXPECT_EQ(IniGet(gAppName, S("LastCompleted"), G.gIniFile), S("8 Dec 2026"));
    EXPECT_TRUE(log().contains(S("Schedule Completed at 10:00:00.  Time to automatic next day rollover: 20:00:00")));
    pass();
    EXPECT_EQ(view.completedCalls, 1);
    clock.set(DateVal::fromDateTime(2026, 12, 9, 6, 0, 1));
    pass();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 9));
    EXPECT_EQ(Job(1).JobState, jsRunning);  // the new day's first pass ran
}

TEST_F(ExecutionTest, DurationsShowTotalHours) {
    EXPECT_EQ(SpanHms(0), S("00:00:00"));
    EXPECT_EQ(SpanHms(3661), S("01:01:01"));
    EXPECT_EQ(SpanHms(25 * 3600), S("25:00:00"));
    EXPECT_EQ(SpanHms(-5), S("00:00:00"));
    const int j = AddJob(S("LONG"), QString());
    Job(j).JobState = jsEndForced;
    Job(j).Started = DateVal::fromDateTime(2026, 12, 7, 8, 0, 0);
    // A job whose end was forced before it ever started has no duration.
    addJob(S("NEVER"), QString(), [&](JobRec& r) { r.JobState = jsEndForced; });
    pass();
    expectLogged(
        {"LONG     Completed at 10:00:00 (Duration 26:00:00)", "NEVER    Completed at 10:00:00 (Duration 00:00:00)"});
}

TEST_F(ExecutionTest, AnEndForcedInTheGridIsCarriedOutOnce) {
    // Afterwards the saved fields read back as a completion, so a reload
    // never ends the job a second time.
    const int g = AddJob(S("GRIDEND"), QString());
    Job(g).Started = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
    Job(g).Completed = Job(g).Started;
    Job(g).EndForced = true;
    SetJobStatus(g);
    ASSERT_EQ(Job(g).JobState, jsEndForced);
    pass();
    EXPECT_EQ(Job(g).JobState, jsCompleted);
    EXPECT_TRUE(log().contains(S("GRIDEND Forced completion at 10:00:00")));
    SetJobStatus(g);
    EXPECT_EQ(Job(g).JobState, jsCompleted);
}

TEST_F(ExecutionTest, AJobRescheduledByHandInTheSameRunRunsAgainAndItsDependantWaits) {
    // JOBA ends (well or badly) in this run of the program, is put back by
    // hand, and runs again on the next pass; JOBB, held until 11:00, then
    // waits for JOBA's new outcome rather than taking the old one.
    const auto reset = [this](Execution& e, int) {
        for (int k = 0; k < 3; ++k) prompts.queueAnswer(k == 0 ? MsgAnswer::Yes : MsgAnswer::No);
        ASSERT_TRUE(ResetRunValues());
        e.SchedRun();
    };
    const std::pair<const char*, std::function<void(Execution&, int)>> ways[] = {
        {"dialog", [](Execution&, int a) { ApplyResched(ReschedMode::Reschedule, {a}, nullptr); }},
        {"grid", [](Execution&, int a) { RescheduleOne(a); }},
        {"reset and launch", reset},
    };
    for (const auto& [how, putBack] : ways)
        for (const char* firstRun : {"/bin/true", "/bin/false"}) {
            SCOPED_TRACE(std::string(how) + (firstRun == std::string("/bin/true") ? ", completed" : ", failed"));
            G.Jobs = JobTable(1);
            clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
            const int a = AddJob(S("JOBA"), S(firstRun));
            const int b = AddJob(S("JOBB"), S("/bin/true"), S("JOBA"), S("S"));
            Job(b).EarlyStartText = S("11:00");
            SetStartTimes();
            for (int j = a; j <= b; ++j) SetJobStatus(j);
            pass();
            passWhenGone({a});
            ASSERT_EQ(Job(a).JobState, QString::fromLatin1(firstRun).endsWith(S("true")) ? jsCompleted : jsAborted);
            ASSERT_EQ(Job(b).JobState, jsScheduled);

            putBack(exec, a);
            EXPECT_EQ(Job(a).JobState, jsScheduled);
            // A restart from here (the grid saves when it closes) finds it
            // waiting too: nothing of the old run comes back.
            const JobTable live = G.Jobs;
            ASSERT_TRUE(SaveSchedule());
            LoadSchedule();
            RecoverRun();
            EXPECT_EQ(Job(a).JobState, jsScheduled);
            G.Jobs = live;
            Job(a).CommandLine = S("sleep 30");
            clock.set(DateVal::fromDateTime(2026, 12, 8, 11, 1, 0));
            pass();
            EXPECT_EQ(Job(a).JobState, jsRunning);
            EXPECT_EQ(Job(a).Started, DateVal::fromDateTime(2026, 12, 8, 11, 1, 0));
            EXPECT_EQ(Job(b).JobState, jsScheduled);
            EXPECT_EQ(Job(b).StatusText, S("Wait Job (JOBA(S) - Running)"));
            ::kill(-Job(a).ProcInfo.dwProcessId, SIGTERM);
        }
}

// A scheduler that stopped between a job's submission record and its release
// leaves the keeper holding the job; the keeper lets it go and records that it
// never ran a moment after. A scheduler started again in that moment must not
// take the job for one that runs: the file it waits for stays, and the job is
// submitted again by the next pass.
TEST_F(ExecutionTest, ARestartWhileAKeeperStillLetsGoOfAJobKeepsTheFileItWaitsFor) {
    const int j = AddJob(S("WAITER"), S("/bin/true"));
    Job(j).WaitForFile = dir.path(S("in.dat"));
    Job(j).DelWaitFile = true;
    dir.write(S("in.dat"), "x\r\n");
    SetStartTimes();
    SetJobStatus(j);
    ASSERT_TRUE(SaveSchedule());

    // The submission as a pass makes it, up to its record on the disk.
    HeldJob held;
    QString error;
    ASSERT_TRUE(PrepareJob(S("/bin/true"), Job(j).ProcInfo, held, &error)) << error.toStdString();
    SetRunTimes(Job(j), RunNow(), RunMoment{});
    BeginJournalGroup();
    ASSERT_TRUE(JournalSubmission(j, DateVal(), DateVal(), &error));
    ASSERT_TRUE(CommitJournalGroup(&error)) << error.toStdString();
    // The scheduler stops here: its keeper is let go at once.
    AbandonJob(held);

    LoadSchedule();
    RecoverRun();
    // What the journal held is in the schedule file now.
    EXPECT_TRUE(dir.read(S("sched.sch.journal")).isEmpty());
    EXPECT_TRUE(dir.read(S("sched.sch")).contains(FormatDate(Job(j).Started, S("dd mmm yyyy hh:mm:ss")).toUtf8()));
    EXPECT_TRUE(QFile::exists(dir.path(S("in.dat")))) << "the file a job that never ran waits for";
    EXPECT_FALSE(log().contains(S("Submitted at")));
    pass();
    EXPECT_TRUE(log().contains(S("WAITER   Not started before the scheduler stopped; scheduled again")));
    EXPECT_EQ(log().count(S("Submitted at")), 1) << log().toStdString();
    EXPECT_FALSE(QFile::exists(dir.path(S("in.dat"))));
}

// The pass that notices an ended job may come a whole kick interval later:
// its completion and duration are the moment its keeper saw it end. A dummy
// run keeps its times on the run date.
TEST_F(ExecutionTest, AJobEndsWhenItsKeeperSawItEndNotWhenAPassNoticed) {
    IniPut(gAppName, S("TimerSecs"), S("60"), G.gIniFile);
    const qint64 start = QDateTime::currentSecsSinceEpoch();
    clock.setReal(start);
    G.gRunDate = Now().datePart();
    G.gDayStart = DateVal();
    G.gMinJobLaunch = 1;
    SetStartTimes();
    const int j = AddJob(S("INSTANT"), S("/bin/true"));
    pass();
    ASSERT_EQ(Job(j).JobState, jsRunning);
    waitGone(j);
    clock.setReal(QDateTime::currentSecsSinceEpoch() + 60);  // the next timer's pass
    pass();
    ASSERT_EQ(Job(j).JobState, jsCompleted);
    EXPECT_LT(Job(j).CompletedReal - start, 2 + 1);
    EXPECT_LE(Job(j).LastDuration, 2);
    EXPECT_EQ(Job(j).Completed, WallOf(Job(j).CompletedReal, clock.zone()));
    const QString text = QString::fromUtf8(dir.read(ExpandDateTokens(G.gLogFile, false, Now())));
    EXPECT_TRUE(text.contains(QRegularExpression(S("INSTANT  Completed at \\S+ \\(Duration 00:00:0[012]\\)"))))
        << text.toStdString();

    // A dummy run: the run date with the clock's time of day, as before.
    G.gDummyRun = true;
    G.gDummyProg = S("/bin/true");
    G.gDummyModel = S("%DummyProg%");
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    SetStartTimes();
    const int d = AddJob(S("DUMMY"), S("anything"));
    pass();
    ASSERT_EQ(Job(d).JobState, jsRunning);
    waitGone(d);
    clock.advance(60);
    pass();
    ASSERT_EQ(Job(d).JobState, jsCompleted);
    EXPECT_EQ(Job(d).Completed, SchedNow());
    EXPECT_EQ(Job(d).Completed.datePart(), G.gRunDate);
}

TEST_F(ExecutionTest, AMissingTimerIntervalNeverStopsThePasses) {
    for (const char* value : {"0", "", "abc", "0.4"}) {
        IniPut(gAppName, S("TimerSecs"), S(value), G.gIniFile);
        exec.InitSchedule();
        EXPECT_EQ(exec.gTimerSecs, kDefaultTimerSecs) << value;
        EXPECT_GT(view.timerMs, 0) << value;
    }
    // A fraction rounds to the nearest whole second.
    for (const auto& [value, secs] : {std::pair{"2.6", 3}, {"2.4", 2}, {"7.5", 8}, {"0.5", 1}}) {
        IniPut(gAppName, S("TimerSecs"), S(value), G.gIniFile);
        exec.InitSchedule();
        EXPECT_EQ(exec.gTimerSecs, secs) << value;
    }
}

TEST_F(ExecutionTest, ARerunForgetsThePreviousFailure) {
    const int j = AddJob(S("AGAIN"), S("/bin/true"));
    Job(j).WinFailed = 1;
    Job(j).WinErrorText = S("Run-time error '13': Type mismatch");
    Job(j).JobWindow = 77;
    Job(j).Killed = true;
    pass();
    EXPECT_EQ(Job(j).JobState, jsRunning);
    EXPECT_EQ(Job(j).WinFailed, 0);
    EXPECT_TRUE(Job(j).WinErrorText.isEmpty());
    EXPECT_EQ(Job(j).JobWindow, 0);
    passWhenGone({j});
    EXPECT_EQ(Job(j).JobState, jsCompleted);
}

TEST_F(ExecutionTest, TriggeringWithoutASelectionDoesNothing) {
    const int j = addJob(S("LEFT"), QString(), [&](JobRec& r) { r.JobState = jsRunning; });
    exec.InsertEvent(j, S("Force Completion"));
    exec.EventsSelected = -1;
    exec.TriggerSelectedEvent();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Job(j).JobState, jsRunning);
    EXPECT_EQ(G.Jobs[0].JobState, jsScheduled);
    EXPECT_EQ(exec.Events.size(), 1u);
}

TEST_F(ExecutionTest, RolloverWaitsForDeferredJobsOnly) {
    const int late = AddJob(S("LATE"), QString());
    Job(late).EarlyStartText = S("23:00");
    Job(late).DeferRollover = true;
    SetStartTimes();
    pass();
    EXPECT_FALSE(G.gDeferredJobsDone);
    clock.set(DateVal::fromDateTime(2026, 12, 9, 7, 0, 0));  // past the next day's start
    pass();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 8));  // held for LATE, which runs now
    EXPECT_EQ(Job(late).JobState, jsRunning);

    // Without the deferral a waiting job does not hold the rollover.
    Job(late).DeferRollover = false;
    Job(late).JobState = jsScheduled;
    Job(late).EarlyStart = DateVal::fromDateTime(2026, 12, 9, 23, 0, 0);
    pass();
    pass();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 9));
}

TEST_F(ExecutionTest, ADummyRunRollsOverToToday) {
    G.gDummyRun = true;
    G.gRunDate = DateVal::fromDate(2026, 11, 2);
    SetStartTimes();
    AddJob(S("ONLY"), QString());
    pass();
    pass();
    ASSERT_TRUE(G.gSchedComplete);
    pass();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 8));
}

TEST_F(ExecutionTest, KickIntervalFollowsTheRunningJobs) {
    exec.gTimerSecs = 30;
    G.gNoJobRunning = true;
    exec.SetKickTimer();
    EXPECT_EQ(view.timerMs, 5000);
    EXPECT_EQ(view.kickLabel, S("30/5 seconds"));
    const int j = AddJob(S("RUN"), QString());
    Job(j).JobState = jsRunning;
    Job(j).LastDuration = 20;
    G.gNoJobRunning = false;
    exec.SetKickTimer();
    EXPECT_EQ(view.timerMs, 10000);
    exec.CmdKickInt_Click();
    EXPECT_EQ(view.timerMs, 30000);
    exec.CmdKickInt_Click();
    EXPECT_EQ(view.timerMs, 5000);
}

TEST_F(ExecutionTest, SuspendedPassesSubmitNothing) {
    const int j = AddJob(S("WAIT"), QString());
    G.gSuspended = true;
    pass();
    EXPECT_EQ(Job(j).JobState, jsScheduled);
    EXPECT_TRUE(view.suspendLit);
}

TEST_F(ExecutionTest, DummyRunsStartTheDummyProgram) {
    G.gDummyRun = true;
    G.gDummyProg = S("/opt/m/MRVDummy");
    G.gDummyModel = S("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,OTT=On,RES=S,GO=Y");
    const int j = addJob(S("PAY"), S("run \"a b\""), [&](JobRec& r) { r.Frequency = S("Mon Wed"); });
    EXPECT_EQ(exec.DummyCmdLine(j, S("run \"a b\"")),
              S("/opt/m/MRVDummy JN=PAY,CL=\"run a b\",F=\"Mon Wed\",OTT=ON,RES=S,GO=Y"));

    // No earliest start, and without the file option every file wait clears.
    Job(j).EarlyStartText = S("23:00");
    Job(j).WaitForFile = S("..NOBODY");
    Job(j).CommandLine.clear();
    G.gDumManFile = false;
    SetStartTimes();
    pass();
    EXPECT_EQ(Job(j).JobState, jsRunning);
    EXPECT_TRUE(log().contains(S("(Dummy Run) 08 Dec 2026  10:00:00 PAY      Auto file trigger at 10:00:00")));
}

TEST_F(ExecutionTest, CommandProcessorJobsAreSerialised) {
    ScopedEnv comspec("COMSPEC", "/bin/sh");
    const int a = addJob(S("DOSA"), S("sleep 30"), [&](JobRec& r) { r.DosProgram = true; });
    const int b = addJob(S("DOSB"), S("exit 0"), [&](JobRec& r) { r.DosProgram = true; });
    G.gDOSSerial = true;
    pass();
    EXPECT_EQ(Job(a).JobState, jsRunning);
    EXPECT_EQ(Job(b).StatusText, S("Wait DOS"));
    ::kill(-Job(a).ProcInfo.dwProcessId, SIGKILL);
    passWhenGone({a});
    EXPECT_EQ(Job(a).JobState, jsAborted);  // ended by a signal
    EXPECT_EQ(Job(b).JobState, jsRunning);
    passWhenGone({b});
    EXPECT_EQ(Job(b).JobState, jsCompleted);
}

TEST_F(ExecutionTest, SubmissionFailuresAndImpossibleDates) {
    G.gShowFailedWarn = true;
    const int missing = AddJob(S("MISSING"), S("/no/such/program"));
    const int dated =
        addJob(S("DATED"), S("echo &BAD&"), [&](JobRec& r) { r.DateVars[0] = S("BAD,+25WDOM,0,yyyymmdd"); });
    pass();
    EXPECT_EQ(Job(missing).JobState, jsSubmitFailed);
    EXPECT_EQ(Job(missing).StatusText, S("Submit Failed"));
    EXPECT_TRUE(log().contains(S("MISSING(Daily)  Submission failed at 10:00:00")));
    EXPECT_EQ(Job(dated).JobState, jsSubmitFailed);
    EXPECT_TRUE(
        log().contains(S("DATED(Daily)  Submission failed at 10:00:00: Invalid relative day number: (\"+25WDOM\")")));
    EXPECT_TRUE(view.failedVisible);
    EXPECT_EQ(exec.QuickKick, 1);
}

TEST_F(ExecutionTest, StatusAndForceSubmitFromTheUnsubmittedList) {
    const int a = AddJob(S("RUNNING"), QString());
    Job(a).JobState = jsRunning;
    Job(a).CpuUsage = 9999;
    const int w = AddJob(S("WAITING"), QString(), S("RUNNING"), S("S"));
    Job(w).CpuUsage = 1;
    exec.UnsubBuild();
    ASSERT_EQ(exec.Unsub.size(), 1u);
    exec.UnsubSelected = 0;
    EXPECT_EQ(exec.puStatus_Click(), S("Wait Job (RUNNING(S) - Running),Wait CPU"));
    EXPECT_EQ(prompts.messages.back(), S("Job WAITING  status: Wait Job (RUNNING(S) - Running),Wait CPU"));
    exec.puForceSub_click();
    EXPECT_EQ(Job(w).SchedFlag, S("S"));
    EXPECT_TRUE(progress.stringList().contains(S("Job WAITING scheduled for forced submission.")));
    exec.puForceSub_click();
    EXPECT_EQ(prompts.messages.back(), S("Job WAITING already scheduled for forced submission.  Check Events Window."));
}

// One standard trigger file, two jobs waiting for it that delete it as they
// start: one starts, the other waits for the next file. A dummy run never
// deletes a file it did not write. The pass's lines come in job order.
TEST_F(ExecutionTest, ATriggerFileThatAJobTakesStartsOneJob) {
    for (const bool dummy : {false, true}) {
        SCOPED_TRACE(dummy ? "dummy run" : "real run");
        G.Jobs = JobTable(1);
        exec.Events.clear();
        G.gDummyRun = dummy;
        G.gDummyProg = S("/bin/true");
        G.gDummyModel = S("%DUMMYPROG%");
        QFile::remove(dir.path(S("20261208.log")));
        const QString trigger = dir.write(S("trg/SRC.trg"), "x\r\n");
        const int w1 = AddJob(S("W1"), S("/bin/true"));
        const int forced = AddJob(S("FORCED"), S("/bin/true"));
        const int w2 = AddJob(S("W2"), S("/bin/true"));
        for (const int j : {w1, w2}) {
            Job(j).WaitForFile = S("..SRC");
            Job(j).DelWaitFile = true;
        }
        Job(forced).WaitForFile = dir.path(S("never"));
        SetStartTimes();
        Job(forced).ForceTrigger = true;
        pass();
        EXPECT_EQ(Job(w1).JobState, jsRunning);
        EXPECT_EQ(Job(forced).JobState, jsRunning);
        EXPECT_EQ(Job(w2).JobState, jsScheduled);
        EXPECT_EQ(Job(w2).StatusText, S("Wait Trigger (SRC)"));
        ASSERT_EQ(exec.Events.size(), 1u);
        EXPECT_EQ(exec.Events[0].text, S("W2      \tFile Trigger(SRC)"));
        EXPECT_EQ(QFile::exists(trigger), dummy);
        const QStringList lines = SplitLines(log());
        QStringList order;
        for (const QString& l : lines)
            for (const char* what : {"W1       (Daily)  Submitted", "FORCED\tForced file trigger",
                                     "FORCED   (Daily)  Submitted", "Trigger file \"", "Could not delete"})
                if (l.contains(S(what).replace(QLatin1Char('\t'), QLatin1Char(' ')))) order << S(what);
        QStringList want{S("W1       (Daily)  Submitted"), S("FORCED\tForced file trigger"),
                         S("FORCED   (Daily)  Submitted")};
        if (dummy) want.prepend(S("Trigger file \""));  // before the line of the job that would take it
        EXPECT_EQ(order, want) << log().toStdString();
        for (const int j : {w1, forced}) ::kill(-Job(j).ProcInfo.dwProcessId, SIGTERM);
    }
    G.gDummyRun = false;
}

}  // namespace
