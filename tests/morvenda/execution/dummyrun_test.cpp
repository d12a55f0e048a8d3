#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

// Dummy runs start the real dummy job program in place of every job; it ends
// by itself after its run time, in success or failure as its operands ask.

namespace {

class DummyRunTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        UseTempScheduler(dir);
        G.gTriggerPath = dir.path(QStringLiteral("trg"));
        QDir().mkpath(G.gTriggerPath);
        G.gRunDate = DateVal::fromDate(2026, 12, 1);  // a dummy run may rehearse another date
        G.gMinJobLaunch = 1;
        G.gDummyRun = true;
        G.gDumManFile = true;
        G.gDummyProg = qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/MRVDummy");
        SetStartTimes();
    }
    // Passes until no job runs (real time, at most 30 seconds).
    void runOut() {
        exec.cmdKick_Click();
        PollUntil(
            [&] {
                clock.advance(1);
                exec.cmdKick_Click();
                return !AnyJobRunning();
            },
            30000);
    }

    NullExecView view;
    Execution exec{view};
};

TEST_F(DummyRunTest, TheDummyStandsInForEveryJob) {
    ASSERT_TRUE(QFile::exists(G.gDummyProg)) << G.gDummyProg.toStdString();
    G.gDummyModel = QStringLiteral("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,RFS=1,RES=S,GO=Y");
    const int a = AddJob(S("PAYROLL"), S("sh -c \"echo a,b > /should/not/run\""));
    const int b = AddJob(S("BACKUP"), S("rm -rf /should/not/run"), S("PAYROLL"));
    runOut();  // BACKUP is submitted by the pass that completes PAYROLL
    EXPECT_EQ(Job(a).JobState, jsCompleted);
    EXPECT_EQ(Job(b).JobState, jsCompleted);
    // SchedNow in a dummy run is the run date with the clock's time.
    EXPECT_EQ(Job(a).Started.datePart(), DateVal::fromDate(2026, 12, 1));
    const QString log = QString::fromUtf8(dir.read(QStringLiteral("20261208.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("(Dummy Run) ")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/should/not/run")));
}

TEST_F(DummyRunTest, AFailingDummyFailsItsJob) {
    G.gDummyModel = QStringLiteral("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,RFS=1,RES=F,GO=Y");
    const int a = AddJob(S("PAYROLL"), S("true"));
    runOut();
    EXPECT_EQ(Job(a).JobState, jsAborted);
    EXPECT_FALSE(Job(a).ErrorText.isEmpty());
}

}  // namespace
