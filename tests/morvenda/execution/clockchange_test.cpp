#include "morvenda/execution/execution.h"

#include "morvenda/core/frequency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"
#include "morvenda/startup/startup.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

// The two clock changes of 2026 in Europe/London, through the fake clock:
// 29 March 01:00 GMT becomes 02:00 BST, 25 October 02:00 BST becomes 01:00 GMT.

namespace {

const QTimeZone kLondon(QByteArrayLiteral("Europe/London"));

// Real moment (UTC) of a date and time.
qint64 Utc(int month, int day, int hour, int minute) {
    return DateVal::fromDateTime(2026, month, day, hour, minute, 0).seconds() - kUnixEpochShift;
}

DateVal Wall(int month, int day, int hour, int minute) {
    return DateVal::fromDateTime(2026, month, day, hour, minute, 0);
}

class ClockChangeTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        if (!kLondon.isValid()) GTEST_SKIP() << "no time zone data for Europe/London";
        UseTempScheduler(dir);
        clock.setZone(kLondon);
        G.gSchedName = S("DST");
    }
    void RunDate(int month, int day, int dayStartHour, int dayStartMinute) {
        G.gRunDate = DateVal::fromDate(2026, month, day);
        G.gDayStart = DateVal::fromSeconds(dayStartHour * 3600 + dayStartMinute * 60);
        SetStartTimes();
    }
    JobRec& Add(const QString& name, const QString& early = QString()) {
        JobRec& j = Job(AddJob(name, QString()));
        j.EarlyStartText = early;
        SetStartTimes();
        return j;
    }
    QString Log() const { return QString::fromUtf8(dir.read(FormatDate(Now(), S("yyyymmdd")) + S(".log"))); }

    NullExecView view;
};

TEST_F(ClockChangeTest, WallClockValuesMapToTheRealMomentsTheyName) {
    struct Case {
        DateVal wall;
        qint64 first, last;
    } cases[] = {
        {Wall(3, 29, 0, 59), Utc(3, 29, 0, 59), Utc(3, 29, 0, 59)},
        {Wall(3, 29, 1, 30), Utc(3, 29, 1, 0), Utc(3, 29, 1, 0)},  // skipped: comes at the change
        {Wall(3, 29, 2, 0), Utc(3, 29, 1, 0), Utc(3, 29, 1, 0)},
        {Wall(10, 25, 0, 59), Utc(10, 24, 23, 59), Utc(10, 24, 23, 59)},
        {Wall(10, 25, 1, 30), Utc(10, 25, 0, 30), Utc(10, 25, 1, 30)},  // shown twice
        {Wall(10, 25, 2, 0), Utc(10, 25, 2, 0), Utc(10, 25, 2, 0)},
    };
    for (const Case& c : cases) {
        const RealSpan r = RealOf(c.wall, kLondon);
        EXPECT_EQ(r.first, c.first) << FormatDate(c.wall, S("dd mmm hh:nn")).toStdString();
        EXPECT_EQ(r.last, c.last) << FormatDate(c.wall, S("dd mmm hh:nn")).toStdString();
    }
    EXPECT_EQ(WallOf(Utc(10, 25, 0, 40), kLondon), Wall(10, 25, 1, 40));
    EXPECT_EQ(WallOf(Utc(10, 25, 1, 10), kLondon), Wall(10, 25, 1, 10));
}

// A run across each change lasts its real time, in the log and in
// LastDuration (which sets the kick interval).
TEST_F(ClockChangeTest, DurationsAreRealElapsedTime) {
    struct Case {
        int month, day;
        qint64 start, end;
        const char* duration;
        int seconds;
    } cases[] = {
        {3, 29, Utc(3, 29, 0, 50), Utc(3, 29, 1, 10), "(Duration 00:20:00)", 1200},     // 00:50 GMT to 02:10 BST
        {10, 25, Utc(10, 25, 0, 40), Utc(10, 25, 1, 10), "(Duration 00:30:00)", 1800},  // 01:40 BST to 01:10 GMT
    };
    for (const Case& c : cases) {
        G.Jobs = JobTable(1);
        RunDate(c.month, c.day - 1, 0, 0);
        JobRec& job = Add(S("NULLJOB"));
        job.JobState = jsScheduled;
        Execution exec(view);
        clock.setReal(c.start);
        exec.cmdKick_Click();
        ASSERT_EQ(G.Jobs[1].JobState, jsRunning);
        clock.setReal(c.end);
        exec.cmdKick_Click();
        EXPECT_EQ(G.Jobs[1].JobState, jsCompleted);
        EXPECT_EQ(G.Jobs[1].LastDuration, c.seconds);
        EXPECT_TRUE(Log().contains(S("NULLJOB  Completed at ") + FormatDate(Now(), S("hh:nn:ss ")) + S(c.duration)))
            << Log().toStdString();
    }
}

// After a restart in the repeated hour, from the schedule file's wall-clock
// times alone: the job that ran 01:40 BST to 01:10 GMT has ended; one started
// at 01:05 GMT belongs to the run day that began at 01:30 BST.
TEST_F(ClockChangeTest, StatusDecisionAfterARestartInTheRepeatedHour) {
    clock.setReal(Utc(10, 25, 1, 16));  // 01:16 GMT
    RunDate(10, 25, 1, 30);
    JobRec& ended = Add(S("ENDED"));
    ended.Started = Wall(10, 25, 1, 40);
    ended.Completed = Wall(10, 25, 1, 10);
    JobRec& running = Add(S("RUNNING"));
    running.Started = Wall(10, 25, 1, 5);
    JobRec& yesterday = Add(S("OLD"));
    yesterday.Started = Wall(10, 24, 23, 0);
    yesterday.Completed = Wall(10, 24, 23, 30);
    for (int j = 1; j <= 3; ++j) SetJobStatus(j);
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted);
    EXPECT_EQ(G.Jobs[2].JobState, jsRunning);
    EXPECT_EQ(G.Jobs[3].JobState, jsScheduled);
}

TEST_F(ClockChangeTest, RunDateChoiceAtStartUp) {
    struct Case {
        qint64 now;
        const char* dayStart;
        const char* runDate;
    } cases[] = {
        {Utc(10, 25, 1, 16), "01:30", "25 Oct 2026"},   // 01:16 GMT: 01:30 BST has passed
        {Utc(10, 24, 23, 20), "01:30", "24 Oct 2026"},  // 00:20 BST: not yet
        {Utc(10, 25, 0, 20), "01:30", "24 Oct 2026"},   // 01:20 BST, the first time round
        {Utc(3, 29, 1, 10), "01:30", "29 Mar 2026"},    // 02:10 BST: 01:30 never showed, yet passed
        {Utc(3, 29, 0, 50), "01:30", "28 Mar 2026"},    // 00:50 GMT
    };
    for (const Case& c : cases) {
        clock.setReal(c.now);
        EXPECT_EQ(InitialRunDateText(S(c.dayStart)), S(c.runDate)) << c.now;
    }
}

// With DayStart 01:30 the run date moves on at 01:30 BST and not again when
// the clocks show 01:30 an hour later.
TEST_F(ClockChangeTest, RolloverHappensOnceInTheRepeatedHour) {
    RunDate(10, 24, 1, 30);
    Add(S("DONE"));
    G.Jobs[1].Started = Wall(10, 24, 2, 0);
    G.Jobs[1].Completed = Wall(10, 24, 2, 5);
    G.Jobs[1].Frequency = S("24-Oct-2026");
    SetJobStatus(1);
    Execution exec(view);
    clock.setReal(Utc(10, 25, 0, 20));  // 01:20 BST
    G.gSchedComplete = true;
    exec.cmdKick_Click();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 10, 24));
    clock.setReal(Utc(10, 25, 0, 35));  // 01:35 BST
    exec.cmdKick_Click();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 10, 25));
    clock.setReal(Utc(10, 25, 1, 35));  // 01:35 GMT
    G.gSchedComplete = true;
    exec.cmdKick_Click();
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 10, 25));
    EXPECT_EQ(Log().count(S("End of day for")), 1);
}

// Earliest starts: a time in the missing hour comes at the change; the day
// start inside the repeated hour has come at its first showing.
TEST_F(ClockChangeTest, EarliestStartsInTheMissingAndTheRepeatedHour) {
    RunDate(3, 29, 0, 0);
    Add(S("SPRING"), S("01:30"));
    Execution spring(view);
    clock.setReal(Utc(3, 29, 0, 59));  // 00:59 GMT
    spring.cmdKick_Click();
    EXPECT_EQ(G.Jobs[1].StatusText, S("Too early (01:30)"));
    clock.setReal(Utc(3, 29, 1, 0));  // 02:00 BST
    spring.cmdKick_Click();
    EXPECT_EQ(G.Jobs[1].JobState, jsRunning);

    G.Jobs = JobTable(1);
    RunDate(10, 25, 1, 30);
    Add(S("AUTUMN"));
    Add(S("LATER"), S("01:45"));
    Execution autumn(view);
    clock.setReal(Utc(10, 25, 1, 16));  // 01:16 GMT, restarted in the repeated hour
    autumn.cmdKick_Click();
    EXPECT_EQ(G.Jobs[1].JobState, jsRunning) << G.Jobs[1].StatusText.toStdString();
    EXPECT_EQ(G.Jobs[2].JobState, jsRunning) << G.Jobs[2].StatusText.toStdString();
}

}  // namespace
