#include "platform/x11.h"

#include <QByteArray>
#include <QSet>

#include <iterator>
#include <vector>

// Xlib last: its macros (None, Bool, Status, KeyPress ...) would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Most windows one walk through a window tree visits, so that a runaway tree
// cannot hold the caller.
constexpr int kMaxWalk = 100000;
// Longest property read, in 32-bit units (names longer than 64 KiB are cut).
constexpr long kMaxPropLongs = 16384;

int xErrorCount = 0;

// Windows come and go while we read them: a BadWindow is an ordinary answer
// here, not a reason to end the program as Xlib's default handler does.
int CountXError(Display*, XErrorEvent*) {
    ++xErrorCount;
    return 0;
}

// Ignores X errors of the requests made while it lives; sync() tells whether
// any came back.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : d_(d) {
        XSync(d_, False);
        old_ = XSetErrorHandler(CountXError);
        start_ = xErrorCount;
    }
    ~ErrorTrap() {
        XSync(d_, False);
        XSetErrorHandler(old_);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    /// Waits for the answers to every request so far; true when none was an error.
    bool sync() {
        XSync(d_, False);
        return xErrorCount == start_;
    }

private:
    Display* d_;
    XErrorHandler old_ = nullptr;
    int start_ = 0;
};

// A lost server must not end the scheduler. Xlib first calls the process-wide
// IO error handler (its default prints and exits), then the display's exit
// handler: for our own connections the first stays quiet and the second only
// marks the connection lost (Xlib then fails every further call on it).
// Other connections (Qt's) keep the handler they had.
QSet<Display*>& OwnDisplays() {
    static QSet<Display*> displays;
    return displays;
}
XIOErrorHandler previousIOHandler = nullptr;

int QuietForOwnDisplays(Display* d) {
    if (OwnDisplays().contains(d) || !previousIOHandler)
        return 0;
    return previousIOHandler(d);
}

void MarkLost(Display*, void* userData) { *static_cast<bool*>(userData) = true; }

void WatchOwnDisplay(Display* d, bool* lost) {
    static const bool installed = [] {
        previousIOHandler = XSetIOErrorHandler(QuietForOwnDisplays);
        return true;
    }();
    (void)installed;
    OwnDisplays().insert(d);
    XSetIOErrorExitHandler(d, MarkLost, lost);
}

struct Property {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;

    Property() = default;
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    ~Property() {
        if (data)
            XFree(data);
    }
    bool read(Display* d, Window w, Atom name, long maxLongs = kMaxPropLongs) {
        unsigned long after = 0;
        return XGetWindowProperty(d, w, name, 0, maxLongs, False, AnyPropertyType, &type, &format, &count, &after,
                                  &data) == Success &&
               type != 0;
    }
    QByteArray bytes() const {
        return format == 8 && data ? QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count))
                                   : QByteArray();
    }
};

// The children of a window in stacking order, bottom first; empty when it has
// none or does not exist.
std::vector<Window> ChildrenOf(Display* d, Window w) {
    Window root = 0;
    Window parent = 0;
    Window* kids = nullptr;
    unsigned int n = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids)
        out.assign(kids, kids + n);
    if (kids)
        XFree(kids);
    return out;
}

}  // namespace

struct XConnection::Atoms {
    Atom netWmPid = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom wmState = 0;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    Atom wmName = 0;
    Atom string = 0;
};

XConnection::XConnection() {
    const QByteArray name = qgetenv("DISPLAY");
    if (name.isEmpty()) {
        error_ = QStringLiteral("no display");
        return;
    }
    display_ = XOpenDisplay(name.constData());
    if (!display_) {
        error_ = QStringLiteral("cannot open display ") + QString::fromLocal8Bit(name);
        return;
    }
    owned_ = true;
    WatchOwnDisplay(display_, &lost_);
    init();
}

XConnection::XConnection(_XDisplay* borrowed) : display_(borrowed) {
    if (!display_) {
        error_ = QStringLiteral("no display");
        return;
    }
    init();
}

XConnection::~XConnection() {
    delete atoms_;
    if (owned_ && display_) {
        XCloseDisplay(display_);
        OwnDisplays().remove(display_);
    }
}

void XConnection::init() {
    const char* names[] = {"_NET_WM_PID",  "_NET_WM_NAME",     "UTF8_STRING", "WM_STATE",
                           "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_NAME",     "STRING"};
    Atom got[std::size(names)] = {};
    XInternAtoms(display_, const_cast<char**>(names), static_cast<int>(std::size(names)), False, got);
    atoms_ = new Atoms{got[0], got[1], got[2], got[3], got[4], got[5], got[6], got[7]};
}

bool XConnection::usable() const { return display_ && !lost_; }

bool XConnection::isOpen() const { return usable(); }

QString XConnection::error() const {
    if (display_ && lost_)
        return QStringLiteral("connection to the display lost");
    return error_;
}

// Reads a name without an error trap of its own: callers hold one.
static QString ReadName(Display* d, Window w, Atom netWmName, Atom utf8String, Atom string) {
    {
        Property p;
        if (p.read(d, w, netWmName) && p.type == utf8String && p.format == 8)
            return QString::fromUtf8(p.bytes());
    }
    XTextProperty tp{};
    if (!XGetWMName(d, w, &tp) || !tp.value)
        return QString();
    QString out;
    const QByteArray raw(reinterpret_cast<const char*>(tp.value), static_cast<qsizetype>(tp.nitems));
    if (tp.format != 8) {
        out = QString();
    } else if (tp.encoding == utf8String) {
        out = QString::fromUtf8(raw);
    } else if (tp.encoding == string) {
        out = QString::fromLatin1(raw);
    } else {
        // COMPOUND_TEXT and other encodings: let Xlib convert, else take the bytes as Latin-1.
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(d, &tp, &list, &n) >= Success && list && n > 0) {
            for (int i = 0; i < n; ++i)
                out += QString::fromUtf8(list[i]);
        } else {
            out = QString::fromLatin1(raw);
        }
        if (list)
            XFreeStringList(list);
    }
    XFree(tp.value);
    return out;
}

// Reads _NET_WM_PID without an error trap of its own: callers hold one.
static qint64 ReadPid(Display* d, Window w, Atom netWmPid) {
    Property p;
    if (p.read(d, w, netWmPid, 1) && p.format == 32 && p.count == 1)
        return static_cast<qint64>(*reinterpret_cast<const unsigned long*>(p.data));
    return 0;
}

QList<XTopWindow> XConnection::topLevelWindows() {
    QList<XTopWindow> out;
    if (!usable())
        return out;
    ErrorTrap trap(display_);
    const auto hasState = [&](Window w) {
        Property p;
        return p.read(display_, w, atoms_->wmState, 0);
    };
    // The client inside a window manager's frame is the first window, breadth
    // first, that carries WM_STATE; without a window manager nothing does and
    // the top-level window is the client itself.
    const auto clientOf = [&](Window top) {
        if (hasState(top))
            return top;
        std::vector<Window> level = ChildrenOf(display_, top);
        int seen = 0;
        while (!level.empty() && seen < kMaxWalk) {
            std::vector<Window> next;
            for (Window w : level) {
                if (hasState(w))
                    return w;
                const std::vector<Window> kids = ChildrenOf(display_, w);
                next.insert(next.end(), kids.begin(), kids.end());
                ++seen;
            }
            level.swap(next);
        }
        return top;
    };
    const int screens = XScreenCount(display_);
    for (int s = 0; s < screens && usable(); ++s) {
        for (Window top : ChildrenOf(display_, XRootWindow(display_, s))) {
            if (!usable())
                break;
            XTopWindow t;
            t.window = clientOf(top);
            t.pid = ReadPid(display_, t.window, atoms_->netWmPid);
            t.title = ReadName(display_, t.window, atoms_->netWmName, atoms_->utf8String, atoms_->string);
            out.append(t);
        }
    }
    return usable() ? out : QList<XTopWindow>();
}

QStringList XConnection::descendantNames(XWindowId Window) {
    QStringList out;
    if (!usable() || Window == 0)
        return out;
    ErrorTrap trap(display_);
    // Depth first without recursion: children pushed in reverse so the first
    // in stacking order is visited first.
    std::vector<::Window> stack;
    const auto pushChildren = [&](::Window w) {
        const std::vector<::Window> kids = ChildrenOf(display_, w);
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    };
    pushChildren(Window);
    int visited = 0;
    while (!stack.empty() && visited < kMaxWalk && usable()) {
        const ::Window w = stack.back();
        stack.pop_back();
        ++visited;
        const QString name = ReadName(display_, w, atoms_->netWmName, atoms_->utf8String, atoms_->string);
        if (!name.isEmpty())
            out.append(name);
        pushChildren(w);
    }
    return usable() ? out : QStringList();
}

QString XConnection::windowName(XWindowId Window) {
    if (!usable() || Window == 0)
        return QString();
    ErrorTrap trap(display_);
    return ReadName(display_, Window, atoms_->netWmName, atoms_->utf8String, atoms_->string);
}

bool XConnection::setWindowName(XWindowId Window, const QString& Name) {
    if (!usable() || Window == 0)
        return false;
    ErrorTrap trap(display_);
    const QByteArray utf8 = Name.toUtf8();
    XChangeProperty(display_, Window, atoms_->netWmName, atoms_->utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.constData()), static_cast<int>(utf8.size()));
    bool latin1 = true;
    for (QChar c : Name)
        latin1 = latin1 && c.unicode() <= 0xFF;
    const QByteArray plain = latin1 ? Name.toLatin1() : utf8;
    XChangeProperty(display_, Window, atoms_->wmName, latin1 ? atoms_->string : atoms_->utf8String, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(plain.constData()),
                    static_cast<int>(plain.size()));
    return trap.sync() && usable();
}

qint64 XConnection::windowPid(XWindowId Window) {
    if (!usable() || Window == 0)
        return 0;
    ErrorTrap trap(display_);
    return ReadPid(display_, Window, atoms_->netWmPid);
}

bool XConnection::windowExists(XWindowId Window) {
    if (!usable() || Window == 0)
        return false;
    ErrorTrap trap(display_);
    XWindowAttributes a{};
    return XGetWindowAttributes(display_, Window, &a) != 0 && trap.sync() && usable();
}

XWindowId XConnection::transientFor(XWindowId Window) {
    if (!usable() || Window == 0)
        return 0;
    ErrorTrap trap(display_);
    ::Window owner = 0;
    if (!XGetTransientForHint(display_, Window, &owner))
        return 0;
    return owner;
}

int XConnection::requestClose(XWindowId Window, XWindowId* Last) {
    if (Last)
        *Last = Window;
    if (!usable() || Window == 0)
        return 0;
    ErrorTrap trap(display_);
    QSet<::Window> roots;
    for (int s = 0; s < XScreenCount(display_); ++s)
        roots.insert(XRootWindow(display_, s));
    QSet<::Window> asked;
    int count = 0;
    ::Window w = Window;
    while (w != 0 && !roots.contains(w) && !asked.contains(w) && usable()) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, w, &a))
            break;
        // The owner is read before the window is asked to close: once it has
        // closed, its WM_TRANSIENT_FOR is gone with it.
        ::Window owner = 0;
        if (!XGetTransientForHint(display_, w, &owner))
            owner = 0;
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = atoms_->wmProtocols;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(atoms_->wmDeleteWindow);
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, w, False, NoEventMask, &ev);
        asked.insert(w);
        ++count;
        if (Last)
            *Last = w;
        w = owner;
    }
    XFlush(display_);
    return usable() ? count : 0;
}
