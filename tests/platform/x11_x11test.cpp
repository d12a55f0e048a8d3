#include "platform/x11.h"

#include "tests/support/testing.h"
#include "tests/support/xvfb.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Windows are made by the test's own Xlib connection, standing in for a
// program: the properties a program sets are all the layer reads.
class X11Layer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new XvfbServer; }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
        d_ = XOpenDisplay(server_->display().constData());
        ASSERT_NE(d_, nullptr);
        root_ = XDefaultRootWindow(d_);
    }
    void TearDown() override {
        if (d_) XCloseDisplay(d_);
    }

    Window makeWindow(Window parent) {
        const Window w = XCreateSimpleWindow(d_, parent ? parent : root_, 0, 0, 20, 20, 0, 0, 0);
        XSync(d_, False);
        return w;
    }
    Atom atom(const char* name) { return XInternAtom(d_, name, False); }
    void setBytes(Window w, const char* prop, const char* type, const QByteArray& value) {
        XChangeProperty(d_, w, atom(prop), atom(type), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value.constData()), static_cast<int>(value.size()));
        XSync(d_, False);
    }
    void setCardinal(Window w, const char* prop, long value) {
        XChangeProperty(d_, w, atom(prop), atom("CARDINAL"), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XSync(d_, False);
    }
    void setTransientFor(Window w, Window owner) {
        XSetTransientForHint(d_, w, owner);
        XSync(d_, False);
    }
    // Windows of this connection that were asked to close within TimeoutMs.
    QList<Window> closeRequests(int count, int timeoutMs = 3000) {
        QList<Window> got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && t.elapsed() < timeoutMs) {
            while (XPending(d_)) {
                XEvent ev;
                XNextEvent(d_, &ev);
                if (ev.type == ClientMessage && ev.xclient.message_type == atom("WM_PROTOCOLS") &&
                    static_cast<Atom>(ev.xclient.data.l[0]) == atom("WM_DELETE_WINDOW"))
                    got.append(ev.xclient.window);
            }
            XSync(d_, False);
        }
        return got;
    }

    static XvfbServer* server_;
    Display* d_ = nullptr;
    Window root_ = 0;
};

XvfbServer* X11Layer::server_ = nullptr;

const XTopWindow* FindTop(const QList<XTopWindow>& tops, XWindowId w) {
    for (const XTopWindow& t : tops)
        if (t.window == w) return &t;
    return nullptr;
}

TEST(X11NoDisplay, EveryCallDoesNothing) {
    struct Case {
        const char* display;
        QString error;
    };
    const Case cases[] = {
        {"", S("no display")},
        {":4999", S("cannot open display :4999")},
    };
    for (const Case& c : cases) {
        ScopedEnv env("DISPLAY", c.display);
        XConnection x;
        EXPECT_FALSE(x.isOpen()) << c.display;
        EXPECT_EQ(x.error(), c.error);
        EXPECT_TRUE(x.topLevelWindows().isEmpty());
        EXPECT_TRUE(x.descendantNames(1).isEmpty());
        EXPECT_FALSE(x.setWindowName(1, S("x")));
        XWindowId last = 0;
        EXPECT_EQ(x.requestClose(7, &last), 0);
        EXPECT_EQ(last, 7u);
    }
    XConnection borrowed(nullptr);
    EXPECT_FALSE(borrowed.isOpen());
    EXPECT_EQ(borrowed.error(), S("no display"));
}

TEST_F(X11Layer, TopLevelWindowsCarryPidAndTitle) {
    const Window utf8 = makeWindow(0);
    setCardinal(utf8, "_NET_WM_PID", 4242);
    setBytes(utf8, "_NET_WM_NAME", "UTF8_STRING", S("Jöb — ✓").toUtf8());
    setBytes(utf8, "WM_NAME", "STRING", "old name");
    const Window latin1 = makeWindow(0);
    setBytes(latin1, "WM_NAME", "STRING", S("Café").toLatin1());
    // A window manager's frame: the client inside carries WM_STATE and is
    // the window the layer reports; the frame's own name is not the title.
    const Window frame = makeWindow(0);
    setBytes(frame, "WM_NAME", "STRING", "frame");
    const Window decoration = makeWindow(frame);
    const Window client = makeWindow(decoration);
    setCardinal(client, "WM_STATE", 1);
    setCardinal(client, "_NET_WM_PID", 77);
    setBytes(client, "WM_NAME", "STRING", "Client");

    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    const QList<XTopWindow> tops = x.topLevelWindows();
    ASSERT_NE(FindTop(tops, utf8), nullptr);
    EXPECT_EQ(FindTop(tops, utf8)->pid, 4242);
    EXPECT_EQ(FindTop(tops, utf8)->title, S("Jöb — ✓"));
    ASSERT_NE(FindTop(tops, latin1), nullptr);
    EXPECT_EQ(FindTop(tops, latin1)->pid, 0);
    EXPECT_EQ(FindTop(tops, latin1)->title, S("Café"));
    EXPECT_EQ(FindTop(tops, frame), nullptr);
    ASSERT_NE(FindTop(tops, client), nullptr);
    EXPECT_EQ(FindTop(tops, client)->pid, 77);
    EXPECT_EQ(FindTop(tops, client)->title, S("Client"));
}

TEST_F(X11Layer, DescendantNamesAtEveryDepth) {
    const Window top = makeWindow(0);
    setBytes(top, "WM_NAME", "STRING", "the title");
    const Window one = makeWindow(top);
    setBytes(one, "WM_NAME", "STRING", "one");
    const Window nameless = makeWindow(one);
    const Window three = makeWindow(nameless);
    setBytes(three, "_NET_WM_NAME", "UTF8_STRING", S("drei ü").toUtf8());
    const Window sibling = makeWindow(top);
    setBytes(sibling, "WM_NAME", "STRING", "sibling");

    XConnection x;
    EXPECT_EQ(x.descendantNames(top), QStringList({S("one"), S("drei ü"), S("sibling")}));
    EXPECT_EQ(x.windowName(top), S("the title"));
    XDestroyWindow(d_, top);
    XSync(d_, False);
    EXPECT_TRUE(x.descendantNames(top).isEmpty());
    EXPECT_EQ(x.windowName(top), QString());
    EXPECT_TRUE(x.isOpen());
}

TEST_F(X11Layer, SetWindowNameWritesBothProperties) {
    const Window w = makeWindow(0);
    XConnection x;
    for (const QString& name : {S("Run-time error '13': Type mismatch"), S("Fehler: Größe"), S("错误 ✗")}) {
        ASSERT_TRUE(x.setWindowName(w, name));
        EXPECT_EQ(x.windowName(w), name);
        // WM_NAME alone, as a reader that ignores _NET_WM_NAME sees it.
        XTextProperty tp{};
        ASSERT_TRUE(XGetWMName(d_, w, &tp));
        const QByteArray raw(reinterpret_cast<const char*>(tp.value), static_cast<qsizetype>(tp.nitems));
        const bool latin1 = tp.encoding == atom("STRING");
        EXPECT_EQ(latin1 ? QString::fromLatin1(raw) : QString::fromUtf8(raw), name);
        XFree(tp.value);
    }
    XDestroyWindow(d_, w);
    XSync(d_, False);
    EXPECT_FALSE(x.setWindowName(w, S("gone")));
    EXPECT_FALSE(x.windowExists(w));
}

TEST_F(X11Layer, CloseRequestClimbsTheTransientChain) {
    const Window main = makeWindow(0);
    const Window box = makeWindow(0);
    setTransientFor(box, main);
    const Window other = makeWindow(0);

    XConnection x;
    EXPECT_EQ(x.transientFor(box), main);
    EXPECT_EQ(x.transientFor(main), 0u);
    XWindowId last = 0;
    EXPECT_EQ(x.requestClose(box, &last), 2);
    EXPECT_EQ(last, main);
    const QList<Window> got = closeRequests(2);
    EXPECT_EQ(got, QList<Window>({box, main}));
    EXPECT_FALSE(got.contains(other));

    // A chain that loops, or ends at the root window, stops.
    const Window a = makeWindow(0);
    const Window b = makeWindow(0);
    setTransientFor(a, b);
    setTransientFor(b, a);
    EXPECT_EQ(x.requestClose(a, &last), 2);
    EXPECT_EQ(last, b);
    const Window dialog = makeWindow(0);
    setTransientFor(dialog, root_);
    EXPECT_EQ(x.requestClose(dialog), 1);
    EXPECT_EQ(closeRequests(3), QList<Window>({a, b, dialog}));

    XDestroyWindow(d_, other);
    XSync(d_, False);
    EXPECT_EQ(x.requestClose(other, &last), 0);
    EXPECT_EQ(last, other);
}

TEST_F(X11Layer, InputWindowsSayWhichCanTakeKeys) {
    // Each case makes a main window (pid 500) and whatever stands beside it,
    // then checks whether the main window is shown and can take keys.
    struct Case {
        const char* what;
        std::function<void(Window main)> make;
        bool shown;
        bool enabled;
    };
    const auto dialog = [this](Window transientFor, long pid) {
        const Window w = makeWindow(0);
        setCardinal(w, "_NET_WM_PID", pid);
        if (transientFor) setTransientFor(w, transientFor);
        XMapWindow(d_, w);
        return w;
    };
    const auto setState = [this](Window w, const char* state) {
        const long value = static_cast<long>(atom(state));
        XChangeProperty(d_, w, atom("_NET_WM_STATE"), atom("ATOM"), 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
    };
    const auto refuseInput = [this](Window w) {
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = False;
        XSetWMHints(d_, w, &hints);
    };
    const Case cases[] = {
        {"a plain window", [](Window) {}, true, true},
        {"unmapped", [this](Window m) { XUnmapWindow(d_, m); }, false, false},
        {"minimised", [&](Window m) { setState(m, "_NET_WM_STATE_HIDDEN"); }, false, false},
        {"refuses input", [&](Window m) { refuseInput(m); }, true, false},
        {"refuses input but asks for the focus itself",
         [&](Window m) {
             refuseInput(m);
             Atom take = atom("WM_TAKE_FOCUS");
             XSetWMProtocols(d_, m, &take, 1);
         },
         true, true},
        {"under its modal dialog", [&](Window m) { setState(dialog(m, 500), "_NET_WM_STATE_MODAL"); }, true, false},
        {"beside a dialog that is not modal", [&](Window m) { dialog(m, 500); }, true, true},
        {"after its modal dialog closed",
         [&](Window m) {
             const Window box = dialog(m, 500);
             setState(box, "_NET_WM_STATE_MODAL");
             XUnmapWindow(d_, box);
         },
         true, true},
        {"under an application-modal dialog of its program",
         [&](Window) { setState(dialog(root_, 500), "_NET_WM_STATE_MODAL"); }, true, false},
        {"beside an application-modal dialog of another program",
         [&](Window) { setState(dialog(0, 501), "_NET_WM_STATE_MODAL"); }, true, true},
        {"under a Motif modal dialog",
         [&](Window m) {
             const Window box = dialog(m, 500);
             const long hints[5] = {1L << 2, 0, 0, 1, 0};
             XChangeProperty(d_, box, atom("_MOTIF_WM_HINTS"), atom("_MOTIF_WM_HINTS"), 32, PropModeReplace,
                             reinterpret_cast<const unsigned char*>(hints), 5);
         },
         true, false},
    };
    for (const Case& c : cases) {
        const Window main = makeWindow(0);
        setCardinal(main, "_NET_WM_PID", 500);
        XMapWindow(d_, main);
        c.make(main);
        XSync(d_, False);
        XConnection x;
        const QList<XInputWindow> all = x.inputWindows();
        const XInputWindow* found = nullptr;
        for (const XInputWindow& w : all)
            if (w.window == main) found = &w;
        ASSERT_NE(found, nullptr) << c.what;
        EXPECT_EQ(found->owner, 500) << c.what;
        EXPECT_EQ(found->shown, c.shown) << c.what;
        EXPECT_EQ(found->enabled, c.enabled) << c.what;
        // The dialogs themselves always take keys.
        for (const XInputWindow& w : all) {
            if (w.window != main && w.shown) {
                EXPECT_TRUE(w.enabled) << c.what;
            }
        }
        // The next case starts on an empty display.
        for (const XInputWindow& w : all) XDestroyWindow(d_, w.window);
        XSync(d_, False);
    }
}

TEST_F(X11Layer, LostServerDoesNotEndTheProgram) {
    std::unique_ptr<XvfbServer> own = std::make_unique<XvfbServer>();
    ASSERT_TRUE(own->ok());
    XConnection x;
    ASSERT_TRUE(x.isOpen());
    own->stop();
    EXPECT_TRUE(x.topLevelWindows().isEmpty());
    EXPECT_FALSE(x.isOpen());
    EXPECT_EQ(x.error(), S("connection to the display lost"));
    EXPECT_EQ(x.requestClose(5), 0);
}

}  // namespace
