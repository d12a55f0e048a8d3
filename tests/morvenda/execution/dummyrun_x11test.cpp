#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

// A dummy run on a real X server: the dummy job program that fails leaves its
// run-time error box open, the scheduler finds the error text in it, closes
// its windows and records the failure with that text.

namespace {

TEST(DummyRunOnX, TheErrorBoxOfAFailingDummyIsFoundAndClosed) {
    XvfbServer server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    // The dummy programs draw on the X server; this test process stays offscreen.
    ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    TempDir dir;
    ResetState();
    JobTableChanged();
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    G.gIniFile = dir.write(QStringLiteral("d.ini"), "[Morvenda]\r\nTimerSecs=1\r\n");
    G.gSchedFile = dir.path(QStringLiteral("d.sch"));
    G.gLogFile = dir.path(QStringLiteral("yyyymmdd.log"));
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gCPULimit = 9999;
    G.gMinJobLaunch = 5;
    G.gDummyRun = true;
    G.gRunTimeErrorText = QStringLiteral("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");
    G.gDummyProg = qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/MRVDummy");
    // Each job says how its dummy ends: the model takes RES from the command.
    G.gDummyModel = QStringLiteral("%DummyProg% JN=%JobName%,RFS=1,%CmdLine%,GO=Y");
    SetStartTimes();
    for (const char* spec : {"GOOD|RES=S", "BAD|RES=F"}) {
        const QStringList parts = QString::fromLatin1(spec).split(QLatin1Char('|'));
        JobRec j;
        j.JobName = parts[0];
        j.CommandLine = parts[1];
        j.Frequency = QStringLiteral("Daily");
        G.Jobs.push_back(j);
    }
    JobTableChanged();

    NullExecView view;
    Execution exec(view);
    QElapsedTimer t;
    t.start();
    exec.cmdKick_Click();
    bool killed = false;
    while (t.elapsed() < 30000) {
        QThread::msleep(200);
        clock.advance(1);
        exec.cmdKick_Click();
        killed = killed || G.Jobs[2].Killed;
        if (G.Jobs[1].JobState != jsRunning && G.Jobs[2].JobState != jsRunning) break;
    }
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted);
    EXPECT_EQ(G.Jobs[2].JobState, jsAborted);
    EXPECT_TRUE(killed);  // its windows were closed by the scheduler
    EXPECT_EQ(G.Jobs[2].ErrorText, QStringLiteral("Run-time error '13': Type mismatch"));
    const QString log = QString::fromUtf8(dir.read(QStringLiteral("20261208.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("BAD      Failed(Run-time error '13': Type mismatch)")))
        << log.toStdString();
    ResetState();
    JobTableChanged();
}

}  // namespace
