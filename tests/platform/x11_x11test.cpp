#include "platform/x11.h"

#include "tests/support/testing.h"
#include "tests/support/xvfbsuite.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Windows are made by the test's own Xlib connection, standing in for a
// program: the properties a program sets are all the layer reads.
class X11Layer : public XvfbSuite {
protected:
    void SetUp() override {
        XvfbSuite::SetUp();
        if (HasFatalFailure()) return;
        d_ = XOpenDisplay(server().display().constData());
        ASSERT_NE(d_, nullptr);
        root_ = XDefaultRootWindow(d_);
    }
    void TearDown() override {
        if (d_) XCloseDisplay(d_);
    }

    // A window made (below Parent, else the root) and given its properties
    // one call after another: make().pid(77).wmName("Client").
    struct Made {
        X11Layer& t;
        Window id;
        operator Window() const { return id; }
        const Made& bytes(const char* prop, const char* type, const QByteArray& value) const {
            XChangeProperty(t.d_, id, t.atom(prop), t.atom(type), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(value.constData()), static_cast<int>(value.size()));
            return sync();
        }
        const Made& wmName(const QByteArray& name) const { return bytes("WM_NAME", "STRING", name); }
        const Made& netName(const QString& name) const { return bytes("_NET_WM_NAME", "UTF8_STRING", name.toUtf8()); }
        const Made& cardinal(const char* prop, long value) const {
            XChangeProperty(t.d_, id, t.atom(prop), t.atom("CARDINAL"), 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&value), 1);
            return sync();
        }
        const Made& pid(long value) const { return cardinal("_NET_WM_PID", value); }
        const Made& transientFor(Window owner) const {
            if (owner) XSetTransientForHint(t.d_, id, owner);
            return sync();
        }
        const Made& state(const char* name) const {
            const long value = static_cast<long>(t.atom(name));
            XChangeProperty(t.d_, id, t.atom("_NET_WM_STATE"), t.atom("ATOM"), 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&value), 1);
            return sync();
        }
        const Made& map() const {
            XMapWindow(t.d_, id);
            return sync();
        }
        const Made& sync() const {
            XSync(t.d_, False);
            return *this;
        }
    };
    Made make(Window parent = 0) {
        return Made{*this, XCreateSimpleWindow(d_, parent ? parent : root_, 0, 0, 20, 20, 0, 0, 0)}.sync();
    }
    void destroy(Window w) {
        XDestroyWindow(d_, w);
        XSync(d_, False);
    }
    Atom atom(const char* name) { return XInternAtom(d_, name, False); }
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

    Display* d_ = nullptr;
    Window root_ = 0;
};

// The pid and title the layer gives for W, or nothing when it does not list W.
std::optional<std::pair<qint64, QString>> Top(const QList<XTopWindow>& tops, XWindowId w) {
    for (const XTopWindow& t : tops)
        if (t.window == w) return std::pair(t.pid, t.title);
    return std::nullopt;
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
    const Window utf8 = make().pid(4242).netName(S("Jöb — ✓")).wmName("old name");
    const Window latin1 = make().wmName(S("Café").toLatin1());
    // A window manager's frame: the client inside carries WM_STATE and is
    // the window the layer reports; the frame's own name is not the title.
    const Window frame = make().wmName("frame");
    const Window client = make(make(frame)).cardinal("WM_STATE", 1).pid(77).wmName("Client");

    XConnection x;
    ASSERT_TRUE(x.isOpen()) << x.error().toStdString();
    const QList<XTopWindow> tops = x.topLevelWindows();
    EXPECT_EQ(Top(tops, utf8), std::pair(qint64(4242), S("Jöb — ✓")));
    EXPECT_EQ(Top(tops, latin1), std::pair(qint64(0), S("Café")));
    EXPECT_EQ(Top(tops, frame), std::nullopt);
    EXPECT_EQ(Top(tops, client), std::pair(qint64(77), S("Client")));
}

TEST_F(X11Layer, DescendantNamesAtEveryDepth) {
    const Window top = make().wmName("the title");
    make(make(make(top).wmName("one"))).netName(S("drei ü"));  // the middle one has no name
    make(top).wmName("sibling");

    XConnection x;
    EXPECT_EQ(x.descendantNames(top), QStringList({S("one"), S("drei ü"), S("sibling")}));
    EXPECT_EQ(x.windowName(top), S("the title"));
    destroy(top);
    EXPECT_TRUE(x.descendantNames(top).isEmpty());
    EXPECT_EQ(x.windowName(top), QString());
    EXPECT_TRUE(x.isOpen());
}

TEST_F(X11Layer, SetWindowNameWritesBothProperties) {
    const Window w = make();
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
    destroy(w);
    EXPECT_FALSE(x.setWindowName(w, S("gone")));
    EXPECT_FALSE(x.windowExists(w));
}

TEST_F(X11Layer, CloseRequestClimbsTheTransientChain) {
    const Window main = make();
    const Window box = make().transientFor(main);
    const Window other = make();

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
    const Made a = make();
    const Window b = make().transientFor(a);
    a.transientFor(b);
    EXPECT_EQ(x.requestClose(a, &last), 2);
    EXPECT_EQ(last, b);
    const Window dialog = make().transientFor(root_);
    EXPECT_EQ(x.requestClose(dialog), 1);
    EXPECT_EQ(closeRequests(3), QList<Window>({a, b, dialog}));

    destroy(other);
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
        return make().pid(pid).transientFor(transientFor).map();
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
        {"minimised",
         [&](Window m) {
             Made{*this, m}.state("_NET_WM_STATE_HIDDEN");
         },
         false, false},
        {"refuses input", [&](Window m) { refuseInput(m); }, true, false},
        {"refuses input but asks for the focus itself",
         [&](Window m) {
             refuseInput(m);
             Atom take = atom("WM_TAKE_FOCUS");
             XSetWMProtocols(d_, m, &take, 1);
         },
         true, true},
        {"under its modal dialog", [&](Window m) { dialog(m, 500).state("_NET_WM_STATE_MODAL"); }, true, false},
        {"beside a dialog that is not modal", [&](Window m) { dialog(m, 500); }, true, true},
        {"after its modal dialog closed",
         [&](Window m) { XUnmapWindow(d_, dialog(m, 500).state("_NET_WM_STATE_MODAL")); }, true, true},
        {"under an application-modal dialog of its program",
         [&](Window) { dialog(root_, 500).state("_NET_WM_STATE_MODAL"); }, true, false},
        {"beside an application-modal dialog of another program",
         [&](Window) { dialog(0, 501).state("_NET_WM_STATE_MODAL"); }, true, true},
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
        const Window main = make().pid(500).map();
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
