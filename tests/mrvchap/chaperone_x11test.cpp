// MRVChap run as a real program on a real X server, typing into programs it
// did not write: xterm running cat into a file, and a bare Xlib window that
// records the keys it receives.

#include "common/settings.h"
#include "mrvchap/windows/frmMRVChap.h"
#include "platform/x11.h"
#include "tests/support/companiontests.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

namespace {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& meanwhile = {}) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        if (meanwhile) meanwhile();
        QThread::msleep(20);
    }
    return true;
}

// A window of this test's own process, named Title, inside Parent, that takes
// key presses; mapped by the test.
Window OwnWindow(Display* d, Window parent, const char* title) {
    const Window w = XCreateSimpleWindow(d, parent, 0, 0, 300, 100, 0, 0, 0);
    const long pid = ::getpid();
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XStoreName(d, w, title);
    XSelectInput(d, w, KeyPressMask);
    return w;
}

// Hands each key press waiting on D, modifier keys aside, to Take with the
// text it types ("" for none) and its key symbol.
void TakeKeyPresses(Display* d, const std::function<void(const XKeyEvent&, const QByteArray&, KeySym)>& take) {
    while (XPending(d)) {
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type != KeyPress) continue;
        char text[16] = {};
        KeySym sym = 0;
        const int n = XLookupString(&ev.xkey, text, sizeof text - 1, &sym, nullptr);
        if (!IsModifierKey(sym)) take(ev.xkey, QByteArray(text, n > 0 ? n : 0), sym);
    }
}

class ChaperoneOnX : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.ok()) << server.error().toStdString(); }
    void TearDown() override {
        for (auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    // Our programs show their windows on the X server unless told otherwise.
    QProcess* Start(const QString& program, const QStringList& args, const QString& platform = S("xcb"),
                    QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        processes.push_back(StartProgram(program, args,
                                         {{"QT_QPA_PLATFORM", platform},
                                          {"XDG_CONFIG_HOME", dir.path(S("config"))},
                                          {"XDG_STATE_HOME", dir.path(S("state"))},
                                          {"XDG_RUNTIME_DIR", dir.path()}},
                                         channels));
        return processes.back().get();
    }
    // Starts xterm with cat writing what it is typed into Out.
    void StartCat(const QString& title, const QString& out) {
        ASSERT_FALSE(QStandardPaths::findExecutable(S("xterm")).isEmpty()) << "xterm is missing (scripts/install-deps)";
        Start(S("xterm"), {S("-T"), title, S("-e"), S("sh"), S("-c"), S("exec cat > \"$0\""), out});
    }
    QProcess* StartChap(const QString& name, const QByteArray& script, const QString& parms = QString()) {
        const QString path = dir.write(name + S(".key"), script);
        return Start(BuiltProgram("MRVChap"), {path + parms});
    }
    QString Log(const QString& name) {
        return QString::fromUtf8(dir.read(dir.path(S("state/Morvenda/MRVChap.") + name + S(".log"))));
    }
    // Once its run has ended, closes the chaperone's window as an operator
    // would (its countdown would do so after 30 seconds) and returns its
    // exit status.
    int CloseWhenDone(QProcess* chap, const QString& name, const std::function<void()>& meanwhile = {}) {
        EXPECT_TRUE(WaitUntil([&] { return Log(name).contains(S("Ending at")); }, 30000, meanwhile))
            << Log(name).toStdString() << DescribeWindows();
        XConnection x;
        for (const XTopWindow& w : x.topLevelWindows())
            if (w.pid == chap->processId() && w.title == S("Morvenda Job Chaperone")) x.requestClose(w.window);
        EXPECT_TRUE(chap->waitForFinished(10000));
        return chap->exitCode();
    }

    XvfbServer server;
    TempDir dir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(ChaperoneOnX, TypesIntoXtermWithParameters) {
    const QString out = dir.path(S("typed.txt"));
    StartCat(S("Cat Window"), out);
    QProcess* chap = StartChap(S("cat"),
                               "[log]\r\n"
                               "[timeout 20]\r\n"
                               "[waitforwindowtitle \"Cat Window\"]\r\n"
                               "Hello {parm1}, +a{+}{{}{}}{(}{)}{^}{%}{~}(x)~\r\n"
                               "tab{TAB}end{ENTER}\r\n"
                               "\xc3\xa9 \xc3\xbc \xe2\x9c\x93 {x 3}~\r\n",
                               S(",World"));
    EXPECT_EQ(CloseWhenDone(chap, S("cat")), 0);
    const QString expected = S("Hello World, A+{}()^%~x\ntab\tend\né ü ✓ xxx\n");
    EXPECT_TRUE(WaitUntil([&] { return QString::fromUtf8(dir.read(out)) == expected; }, 5000))
        << dir.read(out).toStdString();
    // The key codes borrowed for characters the keyboard lacks are given back.
    Display* d = XOpenDisplay(server.display().constData());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(XKeysymToKeycode(d, XKeysymForChar(U'\u2713')), 0);
    XCloseDisplay(d);
    const QString log = Log(S("cat"));
    EXPECT_TRUE(log.contains(S("Starting at "))) << log.toStdString();
    EXPECT_TRUE(log.contains(S(" Found\r\n"))) << log.toStdString();
}

TEST_F(ChaperoneOnX, WaitsForATextInsideAWindowAndTypesIntoIt) {
    // A window of this test's own, with the text in a window inside it.
    Display* d = XOpenDisplay(server.display().constData());
    ASSERT_NE(d, nullptr);
    const Window top = OwnWindow(d, XDefaultRootWindow(d), "Recorder");
    XMapWindow(d, OwnWindow(d, top, "Ready for input"));
    XMapWindow(d, top);
    XSync(d, False);

    QStringList received;
    const auto record = [&] {
        TakeKeyPresses(d, [&](const XKeyEvent& key, const QByteArray& text, KeySym sym) {
            if (key.state & ControlMask)
                received << S("^") + QString::fromLatin1(XKeysymToString(sym));
            else if (!text.isEmpty() && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7f)
                received << QString::fromLatin1(text);
            else
                received << u'<' + QString::fromLatin1(XKeysymToString(sym)) + u'>';
        });
    };
    QProcess* chap = StartChap(S("rec"),
                               "[log]\r\n"
                               "[checkforwindowtitle \"Ready for input\"]\r\n"
                               "[found wrong]\r\n"
                               "[timeout 20]\r\n"
                               "[waitforwindowtext \"Ready for input\"]\r\n"
                               "Ok+1{BS}{TAB}{F5}^a{LEFT 2}~\r\n"
                               "[exit]\r\n"
                               "[label wrong]\r\n");
    EXPECT_EQ(CloseWhenDone(chap, S("rec"), record), 0);
    record();
    EXPECT_EQ(received, (QStringList{S("O"), S("k"), S("!"), S("<BackSpace>"), S("<Tab>"), S("<F5>"), S("^a"),
                                     S("<Left>"), S("<Left>"), S("<Return>")}));
    XCloseDisplay(d);
}

TEST_F(ChaperoneOnX, TypesIntoTheTopOfTwoMatchingWindows) {
    // Two programs whose titles both match: the one opened last covers the
    // other and is the one typed into.
    const QString under = dir.path(S("under.txt"));
    const QString over = dir.path(S("over.txt"));
    const auto mapped = [](const QString& title) {
        return WaitUntil(
            [&] {
                XConnection x;
                for (const XInputWindow& w : x.inputWindows())
                    if (w.title == title && w.shown) return true;
                return false;
            },
            20000);
    };
    StartCat(S("Report Viewer 1"), under);
    ASSERT_TRUE(mapped(S("Report Viewer 1"))) << DescribeWindows();
    StartCat(S("Report Viewer 2"), over);
    ASSERT_TRUE(mapped(S("Report Viewer 2"))) << DescribeWindows();
    QProcess* chap = StartChap(S("top"),
                               "[log]\r\n"
                               "[timeout 20]\r\n"
                               "[waitforwindowtitle \"Report Viewer\"]\r\n"
                               "on top~\r\n");
    EXPECT_EQ(CloseWhenDone(chap, S("top")), 0);
    EXPECT_TRUE(WaitUntil([&] { return dir.read(over) == "on top\n"; }, 5000)) << dir.read(over).toStdString();
    EXPECT_EQ(dir.read(under), QByteArray());
}

TEST_F(ChaperoneOnX, KeysGoToTheModalDialogOverTheWindowFound) {
    // A program of this test's own: its main window, and a modal dialog
    // over it; the main window is then raised above the dialog, so only the
    // dialog's hold on it keeps the keys from going there.
    Display* d = XOpenDisplay(server.display().constData());
    ASSERT_NE(d, nullptr);
    const Window main = OwnWindow(d, XDefaultRootWindow(d), "Ledger Editor");
    const Window box = OwnWindow(d, XDefaultRootWindow(d), "Save As");
    XSetTransientForHint(d, box, main);
    const Atom modal = XInternAtom(d, "_NET_WM_STATE_MODAL", False);
    XChangeProperty(d, box, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&modal), 1);
    XMapWindow(d, main);
    XMapWindow(d, box);
    XRaiseWindow(d, main);
    XSync(d, False);

    QStringList received;  // "window:key"
    const auto record = [&] {
        TakeKeyPresses(d, [&](const XKeyEvent& key, const QByteArray& text, KeySym) {
            if (!text.isEmpty()) received << (key.window == box ? S("box:") : S("main:")) + QString::fromLatin1(text);
        });
    };
    QProcess* chap = StartChap(S("dlg"),
                               "[log]\r\n"
                               "[timeout 20]\r\n"
                               "[waitforwindowtitle \"Ledger Editor\"]\r\n"
                               "ok\r\n");
    EXPECT_EQ(CloseWhenDone(chap, S("dlg"), record), 0);
    record();
    EXPECT_EQ(received, (QStringList{S("box:o"), S("box:k")})) << DescribeWindows();
    XCloseDisplay(d);
}

TEST_F(ChaperoneOnX, KeysGoToTheDialogOfATkProgram) {
    // A Tk program with its main window and a transient dialog over it,
    // each entry writing its text to its own file on Enter.
    const QString wish = QStandardPaths::findExecutable(S("wish"));
    ASSERT_FALSE(wish.isEmpty()) << "wish is missing (scripts/install-deps)";
    const QString mainOut = dir.path(S("main.txt"));
    const QString dialogOut = dir.path(S("dialog.txt"));
    const QString program = dir.write(S("ledger.tcl"),
                                      "lassign $argv mainOut dialogOut\n"
                                      "proc save {path text} { set f [open $path w]; puts $f $text; close $f }\n"
                                      "wm title . \"Tk Ledger\"\n"
                                      "entry .e; pack .e; focus .e\n"
                                      "bind .e <Return> { save $mainOut [.e get] }\n"
                                      "toplevel .d; wm title .d \"Tk Save As\"; wm transient .d .\n"
                                      "entry .d.e; pack .d.e; focus .d.e\n"
                                      "bind .d.e <Return> { save $dialogOut [.d.e get] }\n");
    Start(wish, {program, mainOut, dialogOut});
    QProcess* chap = StartChap(S("tk"),
                               "[log]\r\n"
                               "[timeout 20]\r\n"
                               "[waitforwindowtitle \"Tk Save As\"]\r\n"
                               "ledger.dat~\r\n");
    EXPECT_EQ(CloseWhenDone(chap, S("tk")), 0);
    EXPECT_TRUE(WaitUntil([&] { return dir.read(dialogOut) == "ledger.dat\n"; }, 5000))
        << dir.read(dialogOut).toStdString() << DescribeWindows();
    EXPECT_FALSE(QFileInfo::exists(mainOut));
}

TEST_F(ChaperoneOnX, AnInvalidKeyOnTheLastRowTypesNothing) {
    // The chaperone without boxes to show (Qt offscreen), its target on the
    // X display: what it says goes to standard error.
    const QString out = dir.path(S("typed.txt"));
    StartCat(S("Entry Form"), out);
    QProcess* chap = Start(BuiltProgram("MRVChap"),
                           {dir.write(S("bad.key"),
                                      "[timeout 20]\r\n"
                                      "[waitforwindowtitle \"Entry Form\"]\r\n"
                                      "first row~\r\n"
                                      "second{TAB}row~\r\n"
                                      "last {FOO} row~\r\n")},
                           S("offscreen"), QProcess::SeparateChannels);
    ASSERT_TRUE(chap->waitForFinished(30000));
    EXPECT_EQ(chap->exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(chap->readAllStandardError())
                    .contains(S("The following keystrokes are invalid:  \"last {FOO} row~\"")));
    QThread::msleep(300);
    EXPECT_EQ(dir.read(out), QByteArray());
}

TEST_F(ChaperoneOnX, TwoChaperonesTakeTurnsThroughTheLockFile) {
    const QString out = dir.path(S("both.txt"));
    const QString lock = dir.write(S("shared.Lck"), "");
    StartCat(S("Shared Cat"), out);
    const auto script = [&](char c) {
        QByteArray s =
            "[log]\r\n[lockfile " + lock.toUtf8() + "]\r\n[timeout 20]\r\n[waitforwindowtitle \"Shared Cat\"]\r\n";
        for (int i = 0; i < 4; ++i) s += QByteArray(60, c) + "~\r\n";
        return s;
    };
    QProcess* a = StartChap(S("a"), script('a'));
    QProcess* b = StartChap(S("b"), script('b'));
    EXPECT_EQ(CloseWhenDone(a, S("a")), 0);
    EXPECT_EQ(CloseWhenDone(b, S("b")), 0);
    QStringList lines;
    ASSERT_TRUE(WaitUntil(
        [&] {
            lines = QString::fromUtf8(dir.read(out)).split(u'\n', Qt::SkipEmptyParts);
            return lines.size() >= 8;
        },
        5000))
        << dir.read(out).toStdString();
    int as = 0;
    int bs = 0;
    for (const QString& line : lines) {
        // Each row arrives whole: the other chaperone waits for the lock.
        EXPECT_TRUE(line == QString(60, u'a') || line == QString(60, u'b')) << line.toStdString();
        as += line.startsWith(u'a') ? 1 : 0;
        bs += line.startsWith(u'b') ? 1 : 0;
    }
    EXPECT_EQ(as, 4);
    EXPECT_EQ(bs, 4);
}

TEST_F(ChaperoneOnX, ACriticalBoxClosedWithItsWindowEndsInFailure) {
    struct Case {
        const char* script;
        const char* text;
    };
    const Case cases[] = {
        {"[timeout 0.5]\r\n[waitforwindowtitle \"Never There\"]\r\n",
         "MRVChap - Critical error (Timeout waiting for window title \"Never There\""},
        {"[bogus]\r\n", "MRVChap critical error - Error(s) in script input"},
    };
    for (const Case& c : cases) {
        QProcess* chap = StartChap(S("late"), c.script);
        // The box is found as the scheduler finds it: by the text of a
        // window inside a top-level window of the program.
        XConnection x;
        XWindowId box = 0;
        QString text;
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (const XTopWindow& w : x.topLevelWindows()) {
                    if (w.pid != chap->processId()) continue;
                    // The box names its text before it says which window
                    // it stands over: both are waited for.
                    for (const QString& name : x.descendantNames(w.window)) {
                        if (name.toUpper().contains(S("CRITICAL ERROR")) && x.transientFor(w.window) != 0) {
                            box = w.window;
                            text = name;
                        }
                    }
                }
                return box != 0;
            },
            20000))
            << c.script;
        EXPECT_EQ(text, S(c.text));
        // A close request for the window under the box, while the box
        // stands, asks nothing; closing the box and that window, as the
        // scheduler does, ends the program with a failure.
        const XWindowId under = x.transientFor(box);
        ASSERT_NE(under, 0u);
        EXPECT_EQ(x.requestClose(under), 1);
        QThread::msleep(300);
        for (const XTopWindow& w : x.topLevelWindows()) EXPECT_NE(w.title, S("Cancel")) << c.script;
        EXPECT_EQ(x.requestClose(box), 2);
        ASSERT_TRUE(chap->waitForFinished(10000)) << c.script << DescribeWindows();
        EXPECT_EQ(chap->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(chap->exitCode(), 1) << c.script;
    }
}

TEST(ChaperoneWindowOnX, CancelDuringARunAsksAndFails) {
    XvfbServer server;
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path(S("config")).toUtf8());
    ScriptedPrompter prompts;
    dir.write(S("s.key"), "[waitforwindowtitle \"No Such Window Anywhere\"]\r\n");
    frmMRVChap w;
    QSignalSpy ended(&w, &frmMRVChap::finished);
    w.Form_Load(dir.path(S("s.key")), dir.path());
    w.move(30, 45);
    NextAnswers(prompts, {MsgAnswer::No, MsgAnswer::Yes});
    QTimer::singleShot(200, &w, [&] { w.cmdCancel_Click(); });
    QTimer::singleShot(400, &w, [&] { w.cmdCancel_Click(); });
    w.cmdOK_Click();
    EXPECT_EQ(prompts.messages,
              (QStringList{S("Are you sure you want to cancel"), S("Are you sure you want to cancel")}));
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0][0].toInt(), 1);
    // Confirmed, Cancel closes the window as Close does: its place is kept.
    EXPECT_EQ(GetSetting(S("MRVChap"), S("WindowLoc"), S("Left")), S("450"));
    EXPECT_EQ(GetSetting(S("MRVChap"), S("WindowLoc"), S("Top")), S("675"));
}

}  // namespace
