#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Windows of the X display: the top-level windows of the programs with their
// process ids and titles, the names of the windows inside them, and close
// requests. Xlib stays inside x11.cpp; callers see plain ids and texts.

struct _XDisplay;

/// An X window id (the same type as Xlib's Window); 0 is no window.
using XWindowId = unsigned long;

/// A top-level window of a program: the client window (under a reparenting
/// window manager the window inside the manager's frame, the one carrying
/// WM_STATE), its _NET_WM_PID (0 when the program set none) and its title.
struct XTopWindow {
    XWindowId window = 0;
    qint64 pid = 0;
    QString title;
};

/// A window of the display tree with the owner of the top-level window that
/// holds it (see XWindowOwner) and its name.
struct XTreeWindow {
    XWindowId window = 0;
    qint64 owner = 0;
    QString name;
};

/// A top-level window as keyboard input sees it (XConnection::inputWindows).
struct XInputWindow {
    XWindowId window = 0;  ///< the client window, as in XTopWindow
    qint64 owner = 0;      ///< XWindowOwner of the window
    QString title;
    /// Mapped with all its ancestors, no menu or tooltip (override-redirect),
    /// and not minimised (_NET_WM_STATE_HIDDEN).
    bool shown = false;
    /// Shown, taking keyboard input (see inputWindows) and not held under a
    /// modal dialog.
    bool enabled = false;
};

/// One key for XConnection::sendKeys: an X keysym and the modifiers held
/// around it (XKeyShift, XKeyCtrl, XKeyAlt).
struct XKeyPress {
    unsigned long keysym = 0;
    unsigned mods = 0;
};
enum : unsigned { XKeyShift = 1, XKeyCtrl = 2, XKeyAlt = 4 };

/// Who owns a top-level client window: Pid (its _NET_WM_PID) when above 0,
/// else a negative number that stands for the X client that made the window
/// (taken from the client bits of its id), so windows of one program compare
/// equal either way.
qint64 XWindowOwner(qint64 Pid, XWindowId Client);

/// The keysym of an X key name ("Return", "F5", "Prior"); 0 when unknown.
unsigned long XKeysymFromName(const QString& Name);

/// The keysym that types character Ch: Latin-1 characters are their own
/// keysym, tab and line ends their keys, every other character its Unicode
/// keysym (0x1000000 + code).
unsigned long XKeysymForChar(char32_t Ch);

/// A connection to an X display for one piece of work (a check, a close).
///
/// Without a display (DISPLAY unset or empty, or the server unreachable)
/// isOpen() is false, error() says why ("no display" or "cannot open display
/// <name>"), and every call does nothing and returns an empty result.
/// X errors (a window that vanished while it was read) are ignored: the
/// window reads as nameless or missing. A connection lost while in use does
/// not end the program: isOpen() turns false and error() reads
/// "connection to the display lost".
class XConnection {
public:
    /// Opens the display named by DISPLAY.
    XConnection();
    /// Works on a display the caller owns (for instance the one Qt's xcb
    /// platform uses); it is never closed here. A null display counts as
    /// "no display".
    explicit XConnection(_XDisplay* borrowed);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool isOpen() const;
    /// Why the connection is not open; "" while it is.
    QString error() const;

    /// The top-level windows of every screen, top of the stacking order first
    /// (the window that covers the others comes first).
    QList<XTopWindow> topLevelWindows();

    /// The top-level windows as topLevelWindows orders them, with whether each
    /// is shown and can take keys. A window cannot take keys when its WM_HINTS
    /// refuse input and it offers no WM_TAKE_FOCUS, or when a modal dialog
    /// stands over it: a shown window that says it is modal (_NET_WM_STATE_MODAL,
    /// or a Motif input mode other than modeless) holds the window its
    /// WM_TRANSIENT_FOR names; one transient for no window (or the root), and
    /// a Motif application-modal or system-modal one, holds every other window
    /// of its owner.
    QList<XInputWindow> inputWindows();

    /// The names of all windows below Window, at every depth (depth first, in
    /// stacking order), without Window's own name; windows without a name are
    /// left out. Empty when Window does not exist.
    QStringList descendantNames(XWindowId Window);

    /// The name of a window: _NET_WM_NAME (UTF-8) when set, else WM_NAME;
    /// "" when it has none or does not exist.
    QString windowName(XWindowId Window);

    /// Sets both _NET_WM_NAME (UTF-8) and WM_NAME (Latin-1 when the text
    /// allows, else UTF-8) of a window. False when the window does not exist.
    bool setWindowName(XWindowId Window, const QString& Name);

    /// The window's _NET_WM_PID; 0 when it has none or does not exist.
    qint64 windowPid(XWindowId Window);

    /// True when the window exists on the display.
    bool windowExists(XWindowId Window);

    /// The window Window is transient for (WM_TRANSIENT_FOR); 0 when none.
    XWindowId transientFor(XWindowId Window);

    /// Asks Window to close (a WM_DELETE_WINDOW client message) and then each
    /// window up its WM_TRANSIENT_FOR chain, reading each window's owner before
    /// asking it; the chain stops at a window that does not exist, at the root
    /// window and where it would loop. Returns how many windows were asked;
    /// Last (when given) receives the last one asked, or Window when none was.
    int requestClose(XWindowId Window, XWindowId* Last = nullptr);

    /// Every window of every screen: each top-level window (top of the
    /// stacking order first) and, depth first, every window inside it, all with the owner of that top-level window's
    /// client (XWindowOwner) and their names ("" for a window without one).
    QList<XTreeWindow> windowTree();

    /// True when the window exists and is mapped with all its ancestors.
    bool isViewable(XWindowId Window);

    /// Gives Window the keyboard focus and raises it: through the window
    /// manager (_NET_ACTIVE_WINDOW) when one runs, else by raising it and
    /// setting the input focus. True once the focus is in Window's top-level
    /// window, checked until TimeoutMs have passed; false when the window is
    /// missing, not viewable, or the focus did not come.
    bool activateWindow(XWindowId Window, int TimeoutMs = 1000);

    /// Types Keys through the XTest extension into the window that has the
    /// focus, and returns once the server has processed them. A key missing
    /// from the keyboard map is typed through a spare key code mapped to it
    /// for the moment and then restored. False with *Error set when the server
    /// has no XTest, a keysym is 0, or no key code is free for a missing one.
    bool sendKeys(const QList<XKeyPress>& Keys, QString* Error);

private:
    struct Atoms;
    void init();
    bool usable() const;

    _XDisplay* display_ = nullptr;
    bool owned_ = false;
    bool lost_ = false;
    QString error_;
    Atoms* atoms_ = nullptr;
};
