#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

// Dummy runs start the real dummy job program in place of every job; it ends
// by itself after its run time, in success or failure as its operands ask.

namespace {

class DummyRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        JobTableChanged();
        G.gIniFile = dir.write(QStringLiteral("d.ini"), "[Morvenda]\r\nTimerSecs=1\r\n");
        G.gSchedFile = dir.path(QStringLiteral("d.sch"));
        G.gLogFile = dir.path(QStringLiteral("yyyymmdd.log"));
        G.gTriggerPath = dir.path(QStringLiteral("trg"));
        QDir().mkpath(G.gTriggerPath);
        G.gRunDate = DateVal::fromDate(2026, 12, 1);  // a dummy run may rehearse another date
        G.gCPULimit = 9999;
        G.gMinJobLaunch = 1;
        G.gDummyRun = true;
        G.gDumManFile = true;
        G.gDummyProg = qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/MRVDummy");
        SetStartTimes();
    }
    void TearDown() override {
        ResetState();
        JobTableChanged();
    }
    int addJob(const char* name, const char* cmd) {
        JobRec j;
        j.JobName = QString::fromLatin1(name);
        j.CommandLine = QString::fromLatin1(cmd);
        j.Frequency = QStringLiteral("Daily");
        G.Jobs.push_back(j);
        JobTableChanged();
        return JobCount();
    }
    // Passes until no job runs (real time, at most 30 seconds).
    void runOut() {
        QElapsedTimer t;
        t.start();
        exec.cmdKick_Click();
        while (t.elapsed() < 30000) {
            QThread::msleep(100);
            clock.advance(1);
            exec.cmdKick_Click();
            bool running = false;
            for (int j = 1; j <= JobCount(); ++j) running = running || Job(j).JobState == jsRunning;
            if (!running) return;
        }
    }

    TempDir dir;
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
    ScriptedPrompter prompts;
    NullExecView view;
    Execution exec{view};
};

TEST_F(DummyRunTest, TheDummyStandsInForEveryJob) {
    ASSERT_TRUE(QFile::exists(G.gDummyProg)) << G.gDummyProg.toStdString();
    G.gDummyModel = QStringLiteral("%DummyProg% JN=%JobName%,CL=%CmdLine%,F=%Freq%,RFS=1,RES=S,GO=Y");
    const int a = addJob("PAYROLL", "sh -c \"echo a,b > /should/not/run\"");
    const int b = addJob("BACKUP", "rm -rf /should/not/run");
    Job(b).RunAfter = QStringList{QStringLiteral("PAYROLL")};
    Job(b).RunAfterStatus = QStringLiteral("S");
    Job(b).RunAfterUnsched = QStringLiteral("N");
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
    const int a = addJob("PAYROLL", "true");
    runOut();
    EXPECT_EQ(Job(a).JobState, jsAborted);
    EXPECT_FALSE(Job(a).ErrorText.isEmpty());
}

}  // namespace
