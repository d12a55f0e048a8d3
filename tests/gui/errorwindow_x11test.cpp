#include "gui/errorwindow.h"

#include "morvenda/core/jobwindows.h"
#include "morvenda/core/state.h"
#include "platform/children.h"
#include "platform/x11.h"
#include "tests/support/testing.h"
#include "tests/support/xvfbsuite.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const QString kTitle = S("MRVDummy");
const QString kMessage = S("Run-time error '13': Type mismatch");

// Started again with MRV_ERRORBOX_CHILD set (and QT_QPA_PLATFORM=xcb), this
// test program is the job: it shows the error box on the X display and ends
// before any test runs, with 0 once the box was shown and closed. It ends
// with _exit: the leak checker of a sanitizer build would otherwise report
// what the platform's libraries keep until exit.
[[noreturn]] void RunErrorBoxChild() {
    alarm(60);  // never outlive a failed test
    int code = 0;
    {
        static int argc = 1;
        static char name[] = "errorbox";
        static char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        code = ShowErrorWindow(kTitle, kMessage) ? 0 : 3;
    }
    std::fflush(nullptr);
    _exit(code);
}

[[maybe_unused]] const bool kIsErrorBoxChild =
    qEnvironmentVariableIsSet("MRV_ERRORBOX_CHILD") && (RunErrorBoxChild(), true);

// The WM_NAME of every window below Top, read with Xlib alone, as a reader
// that knows nothing of _NET_WM_NAME sees them.
QStringList WmNamesBelow(unsigned long top) {
    QStringList names;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return names;
    std::vector<Window> todo{top};
    while (!todo.empty()) {
        Window w = todo.back();
        todo.pop_back();
        Window root = 0;
        Window parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids) {
            for (unsigned int i = 0; i < n; ++i) {
                XTextProperty tp{};
                if (XGetWMName(d, kids[i], &tp) && tp.value) {
                    names << QString::fromLatin1(reinterpret_cast<const char*>(tp.value),
                                                 static_cast<qsizetype>(tp.nitems));
                    XFree(tp.value);
                }
                todo.push_back(kids[i]);
            }
            XFree(kids);
        }
    }
    XCloseDisplay(d);
    return names;
}

using ErrorWindow = XvfbSuite;

TEST_F(ErrorWindow, ShownBoxIsSeenAsTheJobsFailure) {
    pid_t pid = 0;
    {
        ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
        ScopedEnv child("MRV_ERRORBOX_CHILD", "1");
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            execl("/proc/self/exe", "errorbox", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ASSERT_GT(pid, 0);
    setpgid(pid, pid);
    ResetState();
    G.gRunTimeErrorText = S("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");
    G.Jobs.resize(2);
    JobRec& job = G.Jobs[1];
    std::uint32_t startTime = 0;
    ASSERT_TRUE(ProcessStartTime(pid, &startTime));
    job.ProcInfo = ProcessInfo{static_cast<std::int32_t>(startTime), 0, pid, pid};

    // The box takes a moment to come up: look as the kick pass would, again and again.
    QElapsedTimer t;
    t.start();
    while (!job.WinFailed && t.elapsed() < 15000) {
        QThread::msleep(100);
        CheckJobWindows(1);
    }
    EXPECT_EQ(job.WinFailed, 1);
    EXPECT_EQ(job.WinErrorText, kMessage);
    EXPECT_EQ(XConnection().windowName(static_cast<XWindowId>(job.JobWindow)), kTitle);
    EXPECT_TRUE(WmNamesBelow(static_cast<unsigned long>(job.JobWindow)).contains(kMessage));

    EXPECT_EQ(CloseJobWindows(1), JobCloseResult::WindowsAsked);
    const std::optional<int> status = WaitChild(pid, 10000);
    if (!status) kill(-pid, SIGKILL);
    ASSERT_TRUE(status.has_value()) << "the box did not close";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

TEST(ErrorWindowOffscreen, WritesTheTextToStandardErrorAndReturns) {
    ASSERT_EQ(QGuiApplication::platformName(), S("offscreen"));
    TempDir dir;
    const QString path = dir.path(S("stderr.txt"));
    std::fflush(stderr);
    const int saved = dup(2);
    const int file = open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    close(file);
    QElapsedTimer t;
    t.start();
    const bool shown = ShowErrorWindow(kTitle, kMessage);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    EXPECT_FALSE(shown);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(dir.read(path), QByteArray("MRVDummy: Run-time error '13': Type mismatch\n"));
}

}  // namespace
