#include "common/ini.h"
#include "common/settings.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/execution/execution.h"
#include "morvenda/startup/startup.h"
#include "mrvgenie/generate.h"
#include "mrvgenie/genie.h"
#include "platform/x11.h"
#include "tests/support/quiethost.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

// The programs as an operator meets them, from the folder they were built or
// installed into: MRV_PROGRAM_DIR (for instance /usr/bin, to try an installed
// package), else the build tree's bin folder. Each program finds its
// companions and help pages from its own folder.

namespace {

QString Programs() {
    const QString dir = qEnvironmentVariable("MRV_PROGRAM_DIR");
    return dir.isEmpty() ? qEnvironmentVariable("MRV_BUILD_DIR") + S("/bin") : dir;
}

QString ExeOf(qint64 pid) { return QFileInfo(S("/proc/%1/exe").arg(pid)).canonicalFilePath(); }

// Whether the top-level window is mapped and neither a menu nor minimised.
bool IsShown(XConnection& x, XWindowId Window) {
    for (const XInputWindow& w : x.inputWindows())
        if (w.window == Window) return w.shown;
    return false;
}

// The first shown top-level window titled Title, waited for up to TimeoutMs.
XTopWindow WaitForTitle(XConnection& x, const QString& Title, int TimeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < TimeoutMs) {
        for (const XTopWindow& w : x.topLevelWindows())
            if (w.title == Title && IsShown(x, w.window)) return w;
        QThread::msleep(100);
    }
    return {};
}

class ProgramsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.ok()) << xvfb.error().toStdString();
        env.insert(S("DISPLAY"), QString::fromLatin1(xvfb.display()));
        env.insert(S("XDG_CONFIG_HOME"), config.path());
        env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
        env.remove(S("MRV_CMDLINE"));
    }
    void TearDown() override {
        for (qint64 pid : started) ::kill(static_cast<pid_t>(pid), SIGKILL);
        if (scheduler.state() != QProcess::NotRunning) {
            scheduler.kill();
            scheduler.waitForFinished(5000);
        }
    }
    void start(const QStringList& args) {
        scheduler.setProcessEnvironment(env);
        scheduler.start(Programs() + S("/Morvenda"), args);
        ASSERT_TRUE(scheduler.waitForStarted(5000)) << scheduler.errorString().toStdString();
    }

    XvfbServer xvfb;
    TempDir dir;
    TempDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().toLocal8Bit()};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess scheduler;
    QList<qint64> started;
};

// A first start: no configuration file anywhere, so the first-run window
// shows; "I want to create a new schedule." starts the genie beside the
// scheduler, and the genie's window appears.
TEST_F(ProgramsTest, FirstRunStartsTheGenieFromTheProgramFolder) {
    start({});
    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    const XTopWindow first = WaitForTitle(x, S("Morvenda Startup"), 20000);
    ASSERT_NE(first.window, 0UL) << "no first-run window";
    EXPECT_EQ(first.pid, scheduler.processId());
    ASSERT_TRUE(x.activateWindow(first.window, 3000));
    // The focus starts on the first choice: Space takes it, Return presses OK.
    QString error;
    ASSERT_TRUE(x.sendKeys({{XKeysymFromName(S("space")), 0}, {XKeysymFromName(S("Return")), 0}}, &error))
        << error.toStdString();

    const XTopWindow genie = WaitForTitle(x, gGenieCaption, 20000);
    ASSERT_NE(genie.window, 0UL) << "the genie's window did not appear";
    started << genie.pid;
    EXPECT_EQ(ExeOf(genie.pid), QFileInfo(Programs() + S("/MRVGenie")).canonicalFilePath());
    // Having started the genie, the scheduler ends.
    EXPECT_TRUE(scheduler.waitForFinished(10000));
}

// An installation the genie made for these programs: the scheduler starts on it
// without a message box, a dummy run starts the dummy program the genie named,
// and help finds the pages in the folder the genie named.
TEST_F(ProgramsTest, GenieMadeInstallationRunsItsDummyAndFindsItsHelp) {
    GenieAnswers A;
    A.Base = dir.path(S("Morvenda"));
    A.Name = S("SMOKE");
    A.WorkDays = S("Mon,Tue,Wed,Thu,Fri");
    A.DateOrder = 0;
    A.EmailDateFormat = S("dd mmm yyyy");
    {
        ScriptedPrompter genieBoxes;
        GenieLog log(dir.path(S("genie.log")));
        const GenerateResult made = DoGenerate(A, Programs(), log);
        ASSERT_TRUE(made.Failures.isEmpty()) << made.Failures.join(S("\n")).toStdString();
    }
    const QString ini = A.Base + S("/SMOKE/SMOKE.ini");

    // The scheduler itself, as a process: its start-up window and nothing else.
    start({ini + S(",TEMP")});
    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    const XTopWindow main = WaitForTitle(x, S("Morvenda - Windows Scheduler"), 20000);
    ASSERT_NE(main.window, 0UL) << "the start-up window did not appear";
    QTest::qWait(1500);
    QStringList shown;
    for (const XTopWindow& w : x.topLevelWindows())
        if (w.pid == scheduler.processId() && IsShown(x, w.window)) shown << w.title;
    EXPECT_EQ(shown, QStringList{main.title}) << "a message box or another window is open";
    scheduler.kill();
    scheduler.waitForFinished(5000);

    // The same start-up in this process, then a dummy run of one job.
    ResetState();
    ScriptedPrompter prompts;
    QuietHost host;
    RunStartupSequence(ini + S(",TEMP"), host);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();
    EXPECT_EQ(G.gDummyProg, Programs() + S("/MRVDummy"));
    for (const char* topic : {"Startup", "Schedule Execution Form"})
        EXPECT_TRUE(QFileInfo(HelpPagePath(S(topic))).isFile()) << HelpPagePath(S(topic)).toStdString();

    const size_t job = static_cast<size_t>(AddJob(S("SMOKE1"), S("false")));
    G.gDummyRun = true;
    G.gMinJobLaunch = 1;
    G.gCPULimit = 9999;
    // The genie's dummy model, with a run time so the dummy ends by itself.
    G.gDummyModel += S(",RFS=1");
    SetStartTimes();
    NullExecView view;
    Execution exec{view};
    QElapsedTimer t;
    t.start();
    exec.cmdKick_Click();
    while (G.Jobs[job].JobState != jsCompleted && G.Jobs[job].JobState != jsAborted && t.elapsed() < 30000) {
        QThread::msleep(200);
        exec.cmdKick_Click();
    }
    EXPECT_EQ(G.Jobs[job].JobState, jsCompleted) << G.Jobs[job].ErrorText.toStdString();
    ResetState();
}

}  // namespace
