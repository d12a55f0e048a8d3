#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

// Every window of every program on a real X server with a 1280x1024 screen,
// without and with a window manager: the window test program runs its
// screen check there (a Qt program picks its platform once, so it runs in a
// process of its own).

namespace {

// Runs the window test program's screen check on the current DISPLAY.
void RunScreenCheck(const char* Mode, const TempDir& Home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
    env.insert(S("MRV_TEST_SCREEN_FIT"), QString::fromLatin1(Mode));
    env.insert(S("HOME"), Home.path());
    env.insert(S("XDG_RUNTIME_DIR"), Home.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromLatin1(MRV_WINDOWS_GUI_TESTS),
            {S("--gtest_filter=AllWindowsTest.EveryWindowOpensWholeOnTheScreen")});
    ASSERT_TRUE(p.waitForStarted());
    ASSERT_TRUE(p.waitForFinished(240000));
    const QString out = QString::fromLocal8Bit(p.readAll());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(S("[  PASSED  ] 1 test"))) << out.toStdString();
}

// True once a window manager has claimed the screen (EWMH's check window).
bool WindowManagerRuns(int TimeoutMs) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    bool found = false;
    for (int waited = 0; !found && waited < TimeoutMs; waited += 50) {
        Atom type = None;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &n, &after,
                               &data) == Success &&
            n == 1)
            found = true;
        if (data) XFree(data);
        if (!found) QThread::msleep(50);
    }
    XCloseDisplay(d);
    return found;
}

TEST(ScreenFit, EveryWindowOpensWholeOnA1280x1024Screen) {
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.ok()) << x.error().toStdString();
    TempDir home;
    RunScreenCheck("bare", home);
}

TEST(ScreenFit, EveryWindowOpensWholeUnderAWindowManager) {
    const QString openbox = QStandardPaths::findExecutable(S("openbox"));
    if (openbox.isEmpty()) GTEST_SKIP() << "no window manager (apt-get install openbox)";
    XvfbServer x("1280x1024x24");
    ASSERT_TRUE(x.ok()) << x.error().toStdString();
    TempDir home;
    QProcess wm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("HOME"), home.path());
    env.insert(S("XDG_CONFIG_HOME"), home.path(S("config")));
    env.insert(S("XDG_CACHE_HOME"), home.path(S("cache")));
    env.insert(S("XDG_DATA_HOME"), home.path(S("data")));
    wm.setProcessEnvironment(env);
    wm.setStandardOutputFile(QProcess::nullDevice());
    wm.setStandardErrorFile(QProcess::nullDevice());
    wm.start(openbox, {S("--sm-disable")});
    ASSERT_TRUE(wm.waitForStarted());
    ASSERT_TRUE(WindowManagerRuns(10000));
    RunScreenCheck("wm", home);
    wm.terminate();
    if (!wm.waitForFinished(5000)) wm.kill();
    wm.waitForFinished(5000);
}

}  // namespace
