// A schedule whose jobs start MRVChap, run by the scheduler's kick pass on a
// real X server: a good script ends the job "Completed"; a script whose wait
// times out leaves its critical error box open, which the scheduler's window
// test finds, so the job ends failed with the box's text.

#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "platform/x11.h"
#include "tests/support/companiontests.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <gtest/gtest.h>

namespace {

TEST(ChaperoneJob, GoodScriptCompletesAndATimeoutFails) {
    XvfbServer server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path(S("config")).toUtf8());
    ScopedEnv state("XDG_STATE_HOME", dir.path(S("state")).toUtf8());
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().toUtf8());
    UseTempScheduler(dir);
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    G.gIniFile = dir.write(S("sched.ini"), "[Morvenda]\r\nTimerSecs=1\r\n");
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gMinJobLaunch = 5;
    G.gRunTimeErrorText = S("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");
    SetStartTimes();
    const QString chap = BuiltProgram("MRVChap");
    const QString good = dir.write(
        S("good.key"), "[log]\r\n[checkforwindowtitle \"Nothing Here\"]\r\n[notfound end]\r\nkeys\r\n[label end]\r\n");
    const QString bad = dir.write(S("bad.key"), "[timeout 1]\r\n[waitforwindowtitle \"Never There\"]\r\n");
    AddJob(S("GOOD"), chap + u' ' + good + S(",p1"));
    AddJob(S("BAD"), chap + u' ' + bad + S(",p1"));

    NullExecView view;
    Execution exec(view);
    exec.cmdKick_Click();
    // The good script's window closes itself after its 30-second countdown.
    PollUntil(
        [&] {
            clock.advance(1);
            exec.cmdKick_Click();
            return G.Jobs[1].JobState != jsRunning && G.Jobs[2].JobState != jsRunning;
        },
        60000, 250);
    // What the display shows when a job is still running, to tell why.
    const std::string windows = DescribeWindows();
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted) << windows;
    EXPECT_EQ(G.Jobs[2].JobState, jsAborted) << windows;
    EXPECT_EQ(G.Jobs[2].ErrorText, S("MRVChap - Critical error (Timeout waiting for window title \"Never There\""));
    const QString log = QString::fromUtf8(dir.read(S("20261208.log")));
    EXPECT_TRUE(log.contains(S("GOOD     Completed"))) << log.toStdString();
    EXPECT_TRUE(log.contains(S("BAD      Failed(MRVChap - Critical error (Timeout waiting for window title")))
        << log.toStdString();
    const QString chapLog = QString::fromUtf8(dir.read(S("state/Morvenda/MRVChap.good.log")));
    EXPECT_TRUE(chapLog.contains(S("Ending at "))) << chapLog.toStdString();
    ResetState();
}

}  // namespace
