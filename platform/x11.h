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

    /// The top-level windows of every screen, bottom of the stacking order first.
    QList<XTopWindow> topLevelWindows();

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
