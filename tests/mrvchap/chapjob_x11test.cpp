// A schedule whose jobs start MRVChap, run by the scheduler's kick pass on a
// real X server: a good script ends the job "Completed"; a script whose wait
// times out leaves its critical error box open, which the scheduler's window
// test finds, so the job ends failed with the box's text.

#include "morvenda/core/dependency.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "platform/x11.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QElapsedTimer>
#include <QThread>

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
    ResetState();
    JobTableChanged();
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    G.gIniFile = dir.write(S("c.ini"), "[Morvenda]\r\nTimerSecs=1\r\n");
    G.gSchedFile = dir.path(S("c.sch"));
    G.gLogFile = dir.path(S("yyyymmdd.log"));
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gCPULimit = 9999;
    G.gMinJobLaunch = 5;
    G.gRunTimeErrorText = S("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");
    SetStartTimes();
    const QString chap = qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin/MRVChap");
    const QString good = dir.write(
        S("good.key"), "[log]\r\n[checkforwindowtitle \"Nothing Here\"]\r\n[notfound end]\r\nkeys\r\n[label end]\r\n");
    const QString bad = dir.write(S("bad.key"), "[timeout 1]\r\n[waitforwindowtitle \"Never There\"]\r\n");
    for (const auto& [name, script] : {std::pair{"GOOD", good}, std::pair{"BAD", bad}}) {
        JobRec j;
        j.JobName = QString::fromLatin1(name);
        j.CommandLine = chap + u' ' + script + S(",p1");
        j.Frequency = S("Daily");
        G.Jobs.push_back(j);
    }
    JobTableChanged();

    NullExecView view;
    Execution exec(view);
    QElapsedTimer t;
    t.start();
    exec.cmdKick_Click();
    // The good script's window closes itself after its 30-second countdown.
    while (t.elapsed() < 60000) {
        QThread::msleep(250);
        clock.advance(1);
        exec.cmdKick_Click();
        if (G.Jobs[1].JobState != jsRunning && G.Jobs[2].JobState != jsRunning) break;
    }
    // What the display shows when a job is still running, to tell why.
    QString windows;
    XConnection x;
    for (const XTopWindow& w : x.topLevelWindows())
        windows += QStringLiteral("%1 %2 [%3]\n").arg(w.pid).arg(w.title, x.descendantNames(w.window).join(u'|'));
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted) << windows.toStdString();
    EXPECT_EQ(G.Jobs[2].JobState, jsAborted) << windows.toStdString();
    EXPECT_EQ(G.Jobs[2].ErrorText, S("MRVChap - Critical error (Timeout waiting for window title \"Never There\""));
    const QString log = QString::fromUtf8(dir.read(S("20261208.log")));
    EXPECT_TRUE(log.contains(S("GOOD     Completed"))) << log.toStdString();
    EXPECT_TRUE(log.contains(S("BAD      Failed(MRVChap - Critical error (Timeout waiting for window title")))
        << log.toStdString();
    const QString chapLog = QString::fromUtf8(dir.read(S("state/Morvenda/MRVChap.good.log")));
    EXPECT_TRUE(chapLog.contains(S("Ending at "))) << chapLog.toStdString();
    ResetState();
    JobTableChanged();
}

}  // namespace
