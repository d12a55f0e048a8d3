#include "morvenda/execution/execution.h"

#include "common/ini.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "tests/support/programs.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

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
    UseTempScheduler(dir);
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gMinJobLaunch = 5;
    G.gDummyRun = true;
    G.gRunTimeErrorText = QStringLiteral("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");
    G.gDummyProg = qEnvironmentVariable("MRV_BUILD_DIR") + QStringLiteral("/bin/MRVDummy");
    // Each job says how its dummy ends: the model takes RES from the command.
    G.gDummyModel = QStringLiteral("%DummyProg% JN=%JobName%,RFS=1,%CmdLine%,GO=Y");
    SetStartTimes();
    AddJob(S("GOOD"), S("RES=S"));
    AddJob(S("BAD"), S("RES=F"));

    NullExecView view;
    Execution exec(view);
    exec.cmdKick_Click();
    bool killed = false;
    PollUntil(
        [&] {
            clock.advance(1);
            exec.cmdKick_Click();
            killed = killed || G.Jobs[2].Killed;
            return G.Jobs[1].JobState != jsRunning && G.Jobs[2].JobState != jsRunning;
        },
        30000, 200);
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted);
    EXPECT_EQ(G.Jobs[2].JobState, jsAborted);
    EXPECT_TRUE(killed);  // its windows were closed by the scheduler
    EXPECT_EQ(G.Jobs[2].ErrorText, QStringLiteral("Run-time error '13': Type mismatch"));
    const QString log = QString::fromUtf8(dir.read(QStringLiteral("20261208.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("BAD      Failed(Run-time error '13': Type mismatch)")))
        << log.toStdString();
    ResetState();
}

}  // namespace
