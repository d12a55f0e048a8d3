#include "morvenda/core/jobwindows.h"

#include "morvenda/core/state.h"
#include "platform/children.h"
#include "platform/x11.h"
#include "tests/support/testing.h"
#include "tests/support/xvfbsuite.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const QString kDefaultErrors = S("RUN-TIME ERROR|HAS PERFORMED AN ILLEGAL|CRITICAL ERROR");

// One top-level window of a job's process: its title, the windows inside it
// (depth 1 is a direct child, depth 2 a child of the latest depth-1 window
// ...), and whether it is transient for the process's first window, as a
// dialog is for its main window.
struct WindowSpec {
    std::string title;
    std::vector<std::pair<int, std::string>> inside;
    bool transientForFirst = false;
};

// The window program of a child process: shows the windows, reports on
// ReadyFd, and ends with status 0 once every top-level window has been asked
// to close (a program that honours WM_DELETE_WINDOW). Without windows it
// reports and waits to be stopped.
[[noreturn]] void RunWindows(const std::vector<WindowSpec>& spec, int readyFd) {
    alarm(60);  // never outlive a failed test
    if (spec.empty()) {
        if (write(readyFd, "R", 1) != 1) _exit(91);
        for (;;) pause();
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) _exit(90);
    const Window root = XDefaultRootWindow(d);
    Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
    const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    const Atom cardinal = XInternAtom(d, "CARDINAL", False);
    const long pid = getpid();
    std::vector<Window> tops;
    for (const WindowSpec& s : spec) {
        const Window top = XCreateSimpleWindow(d, root, 0, 0, 200, 100, 0, 0, 0);
        XStoreName(d, top, s.title.c_str());
        XChangeProperty(d, top, netWmPid, cardinal, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&pid),
                        1);
        XSetWMProtocols(d, top, &del, 1);
        if (s.transientForFirst && !tops.empty()) XSetTransientForHint(d, top, tops.front());
        std::vector<Window> parents{top};
        for (const auto& [depth, name] : s.inside) {
            parents.resize(static_cast<std::size_t>(depth));
            const Window w = XCreateSimpleWindow(d, parents.back(), 0, 0, 50, 20, 0, 0, 0);
            XStoreName(d, w, name.c_str());
            XMapWindow(d, w);
            parents.push_back(w);
        }
        XMapWindow(d, top);
        tops.push_back(top);
    }
    XSync(d, False);
    if (write(readyFd, "R", 1) != 1) _exit(91);
    std::size_t asked = 0;
    while (asked < tops.size()) {
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type == ClientMessage && ev.xclient.message_type == protocols &&
            static_cast<Atom>(ev.xclient.data.l[0]) == del)
            ++asked;
    }
    _exit(0);
}

// Starts a job in a process group of its own showing Spec's windows (none:
// it just waits). With ViaChild the windows belong to a second process of
// the group, as when a command processor runs the program. Returns the
// job's pid once the windows are up; 0 when that failed.
pid_t StartJob(const std::vector<WindowSpec>& spec, bool viaChild = false) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        close(fds[0]);
        if (viaChild) {
            const pid_t inner = fork();
            if (inner == 0) RunWindows(spec, fds[1]);
            int status = 0;
            waitpid(inner, &status, 0);
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
        }
        RunWindows(spec, fds[1]);
    }
    close(fds[1]);
    if (pid > 0) setpgid(pid, pid);
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    const bool ready = poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1;
    close(fds[0]);
    return ready ? pid : 0;
}

class JobWindows : public XvfbSuite {
protected:
    void SetUp() override {
        XvfbSuite::SetUp();
        ResetState();
        G.gRunTimeErrorText = kDefaultErrors;
        G.Jobs.resize(3);
    }
    void TearDown() override {
        for (pid_t pid : started_) {
            kill(-pid, SIGKILL);
            WaitChild(pid, 5000);
        }
    }

    // Starts a job for table index Job and records its process in the job.
    pid_t start(int job, const std::vector<WindowSpec>& spec, bool viaChild = false) {
        const pid_t pid = StartJob(spec, viaChild);
        EXPECT_NE(pid, 0) << "the job's windows did not come up";
        if (pid == 0) return 0;
        started_.push_back(pid);
        std::uint32_t startTime = 0;
        EXPECT_TRUE(ProcessStartTime(pid, &startTime));
        G.Jobs[job].ProcInfo = ProcessInfo{static_cast<std::int32_t>(startTime), 0, pid, pid};
        return pid;
    }

    std::vector<pid_t> started_;
};

const QString kErrorText = S("Run-time error '13': Type mismatch");
const WindowSpec kErrorBox{"MRVDummy", {{1, kErrorText.toStdString()}, {1, "OK"}}};

TEST_F(JobWindows, ErrorTextsInTheJobsWindows) {
    struct Case {
        const char* what;
        QString errors;
        std::vector<WindowSpec> windows;
        bool viaChild;
        bool failed;
        QString text;
        std::string window;  // title of the top-level window found
    };
    const std::string longLine(150, 'x');
    const QString def = kDefaultErrors;
    const QString deepText = (S("Critical error: line two ") + QString::fromStdString(longLine)).left(100);
    const std::string bar = "1 x|y 2";
    const WindowSpec logWindow{"Critical error log", {{1, "Log"}, {1, "Close"}}};
    const WindowSpec deep{"W", {{1, "frame"}, {2, "pane"}, {3, "  Critical error:\nline\ttwo " + longLine}}};
    const Case cases[] = {
        {"error box", def, {{"Main", {{1, "Ready"}}}, kErrorBox}, false, true, kErrorText, "MRVDummy"},
        {"box of a second process of the group", def, {kErrorBox}, true, true, kErrorText, "MRVDummy"},
        {"title alone is not compared", def, {logWindow}, false, false, {}, ""},
        {"empty item ends the list", S("A||B"), {{"W", {{1, "xbx"}}}}, false, false, {}, ""},
        {"first item still counts", S("A||B"), {{"W", {{1, "xbx"}, {1, "xax"}}}}, false, true, S("xax"), "W"},
        {"quoted item keeps its bar", S("\"X|Y\"|Z"), {{"W", {{1, "y"}, {1, bar}}}}, false, true, S(bar.c_str()), "W"},
        {"text deep inside, cleaned and cut", def, {deep}, false, true, deepText, "W"},
        {"no error texts configured", {}, {kErrorBox}, false, false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        G.gRunTimeErrorText = c.errors;
        JobRec& job = G.Jobs[1];
        job.WinFailed = 1;
        job.WinErrorText.clear();
        job.JobWindow = 0;
        const pid_t pid = start(1, c.windows, c.viaChild);
        ASSERT_NE(pid, 0);
        CheckJobWindows(1);
        EXPECT_EQ(job.WinFailed, c.failed ? 1 : 0);
        EXPECT_EQ(job.WinErrorText, c.text);
        XConnection x;
        EXPECT_EQ(x.windowName(static_cast<XWindowId>(job.JobWindow)).toStdString(), c.window);
        kill(-pid, SIGKILL);
    }
}

TEST_F(JobWindows, JobWithoutPidIsNotExamined) {
    start(2, {kErrorBox});
    JobRec& job = G.Jobs[1];
    job.WinFailed = 1;
    job.WinErrorText = S("earlier");
    job.JobWindow = 5;
    CheckJobWindows(1);
    EXPECT_EQ(job.WinFailed, 1);
    EXPECT_EQ(job.WinErrorText, S("earlier"));
    EXPECT_EQ(job.JobWindow, 5);
    EXPECT_EQ(CloseJobWindows(1), JobCloseResult::Nothing);
    // Indexes outside the table are ignored.
    CheckJobWindows(0);
    CheckJobWindows(3);
    EXPECT_EQ(CloseJobWindows(3), JobCloseResult::Nothing);
}

TEST_F(JobWindows, OnlyTheJobsOwnProcessGroupCounts) {
    const pid_t quiet = start(1, {});
    const pid_t failing = start(2, {kErrorBox});
    ASSERT_TRUE(quiet && failing);
    G.Jobs[1].WinFailed = 1;
    CheckJobWindows(1);
    EXPECT_EQ(G.Jobs[1].WinFailed, 0);
    CheckJobWindows(2);
    EXPECT_EQ(G.Jobs[2].WinFailed, 1);

    // The failing job's pid, recorded with another start time, is someone
    // else's process now: neither examined nor stopped.
    G.Jobs[2].ProcInfo.hProcess += 1;
    CheckJobWindows(2);
    EXPECT_EQ(G.Jobs[2].WinFailed, 0);
    EXPECT_EQ(CloseJobWindows(2), JobCloseResult::Nothing);
    EXPECT_FALSE(WaitChild(failing, 300).has_value());
}

TEST_F(JobWindows, CloseRequestReachesTheWindows) {
    const pid_t pid = start(1, {{"Main", {}}, {"MRVDummy", kErrorBox.inside, true}});
    ASSERT_NE(pid, 0);
    CheckJobWindows(1);
    ASSERT_EQ(G.Jobs[1].WinFailed, 1);
    XConnection x;
    const XWindowId box = static_cast<XWindowId>(G.Jobs[1].JobWindow);
    const XWindowId main = x.transientFor(box);
    EXPECT_EQ(x.windowName(main), S("Main"));
    EXPECT_EQ(CloseJobWindows(1), JobCloseResult::WindowsAsked);
    EXPECT_EQ(static_cast<XWindowId>(G.Jobs[1].JobWindow), main);
    // The job's program saw both requests and ended by itself.
    const std::optional<int> status = WaitChild(pid, 5000);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST_F(JobWindows, JobWithoutAWindowGetsSigterm) {
    struct Case {
        const char* what;
        bool otherJobsWindow;
        bool noDisplay;
    };
    const Case cases[] = {
        {"no window recorded", false, false},
        {"recorded window belongs to another job", true, false},
        {"no display", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const pid_t other = start(2, {kErrorBox});
        const pid_t pid = start(1, c.noDisplay ? std::vector<WindowSpec>{kErrorBox} : std::vector<WindowSpec>{}, true);
        ASSERT_TRUE(pid && other);
        CheckJobWindows(2);
        G.Jobs[1].JobWindow = c.otherJobsWindow ? G.Jobs[2].JobWindow : 0;
        G.Jobs[1].WinFailed = 1;
        {
            ScopedEnv display("DISPLAY", c.noDisplay ? "" : server().display());
            CheckJobWindows(1);
            EXPECT_EQ(G.Jobs[1].WinFailed, 0);
            EXPECT_EQ(CloseJobWindows(1), JobCloseResult::GroupSignalled);
        }
        const std::optional<int> status = WaitChild(pid, 5000);
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
        // The other job's window was not asked to close: its program still runs.
        EXPECT_FALSE(WaitChild(other, 300).has_value());
        kill(-other, SIGKILL);
    }
}

}  // namespace

TEST_F(JobWindows, APassLooksAtTheDisplayOnceForEveryJob) {
    G.Jobs.resize(4);
    ASSERT_TRUE(start(1, {{"Main", {{1, "Ready"}}}}) && start(2, {kErrorBox}));
    {
        const JobWindowPass pass;
        G.Jobs[1].WinFailed = 1;
        CheckJobWindows(1);
        CheckJobWindows(2);
        EXPECT_EQ(G.Jobs[1].WinFailed, 0);
        EXPECT_EQ(G.Jobs[2].WinFailed, 1);
        EXPECT_EQ(G.Jobs[2].WinErrorText, kErrorText);
        // A window that comes up during the pass is seen by the next one.
        ASSERT_TRUE(start(3, {kErrorBox}));
        CheckJobWindows(3);
        EXPECT_EQ(G.Jobs[3].WinFailed, 0);
    }
    const JobWindowPass next;
    CheckJobWindows(3);
    EXPECT_EQ(G.Jobs[3].WinFailed, 1);
}
