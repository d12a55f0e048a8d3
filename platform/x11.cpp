#include "platform/x11.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

// Xlib last: its macros (None, Bool, Status, KeyPress ...) would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <unistd.h>

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
    if (OwnDisplays().contains(d) || !previousIOHandler) return 0;
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
        if (data) XFree(data);
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
    if (XQueryTree(d, w, &root, &parent, &kids, &n) && kids) out.assign(kids, kids + n);
    if (kids) XFree(kids);
    return out;
}

// The children of a window as XQueryTree gives them (bottom of the stacking
// order first), turned round: the window on top comes first.
std::vector<Window> TopFirst(std::vector<Window> windows) {
    std::reverse(windows.begin(), windows.end());
    return windows;
}

// The client inside a window manager's frame is the first window, breadth
// first, that carries WM_STATE; without a window manager nothing does and the
// top-level window is the client itself. No error trap of its own.
Window ClientOf(Display* d, Window top, Atom wmState) {
    const auto hasState = [&](Window w) {
        Property p;
        return p.read(d, w, wmState, 0);
    };
    if (hasState(top)) return top;
    std::vector<Window> level = ChildrenOf(d, top);
    int seen = 0;
    while (!level.empty() && seen < kMaxWalk) {
        std::vector<Window> next;
        for (Window w : level) {
            if (hasState(w)) return w;
            const std::vector<Window> kids = ChildrenOf(d, w);
            next.insert(next.end(), kids.begin(), kids.end());
            ++seen;
        }
        level.swap(next);
    }
    return top;
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
    if (display_ && lost_) return QStringLiteral("connection to the display lost");
    return error_;
}

// Reads a name without an error trap of its own: callers hold one.
static QString ReadName(Display* d, Window w, Atom netWmName, Atom utf8String, Atom string) {
    {
        Property p;
        if (p.read(d, w, netWmName) && p.type == utf8String && p.format == 8) return QString::fromUtf8(p.bytes());
    }
    XTextProperty tp{};
    if (!XGetWMName(d, w, &tp) || !tp.value) return QString();
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
            for (int i = 0; i < n; ++i) out += QString::fromUtf8(list[i]);
        } else {
            out = QString::fromLatin1(raw);
        }
        if (list) XFreeStringList(list);
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
    if (!usable()) return out;
    ErrorTrap trap(display_);
    const int screens = XScreenCount(display_);
    for (int s = 0; s < screens && usable(); ++s) {
        for (Window top : TopFirst(ChildrenOf(display_, XRootWindow(display_, s)))) {
            if (!usable()) break;
            XTopWindow t;
            t.window = ClientOf(display_, top, atoms_->wmState);
            t.pid = ReadPid(display_, t.window, atoms_->netWmPid);
            t.title = ReadName(display_, t.window, atoms_->netWmName, atoms_->utf8String, atoms_->string);
            out.append(t);
        }
    }
    return usable() ? out : QList<XTopWindow>();
}

QStringList XConnection::descendantNames(XWindowId Window) {
    QStringList out;
    if (!usable() || Window == 0) return out;
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
        if (!name.isEmpty()) out.append(name);
        pushChildren(w);
    }
    return usable() ? out : QStringList();
}

QString XConnection::windowName(XWindowId Window) {
    if (!usable() || Window == 0) return QString();
    ErrorTrap trap(display_);
    return ReadName(display_, Window, atoms_->netWmName, atoms_->utf8String, atoms_->string);
}

bool XConnection::setWindowName(XWindowId Window, const QString& Name) {
    if (!usable() || Window == 0) return false;
    ErrorTrap trap(display_);
    const QByteArray utf8 = Name.toUtf8();
    XChangeProperty(display_, Window, atoms_->netWmName, atoms_->utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.constData()), static_cast<int>(utf8.size()));
    bool latin1 = true;
    for (QChar c : Name) latin1 = latin1 && c.unicode() <= 0xFF;
    const QByteArray plain = latin1 ? Name.toLatin1() : utf8;
    XChangeProperty(display_, Window, atoms_->wmName, latin1 ? atoms_->string : atoms_->utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(plain.constData()), static_cast<int>(plain.size()));
    return trap.sync() && usable();
}

qint64 XConnection::windowPid(XWindowId Window) {
    if (!usable() || Window == 0) return 0;
    ErrorTrap trap(display_);
    return ReadPid(display_, Window, atoms_->netWmPid);
}

bool XConnection::windowExists(XWindowId Window) {
    if (!usable() || Window == 0) return false;
    ErrorTrap trap(display_);
    XWindowAttributes a{};
    return XGetWindowAttributes(display_, Window, &a) != 0 && trap.sync() && usable();
}

XWindowId XConnection::transientFor(XWindowId Window) {
    if (!usable() || Window == 0) return 0;
    ErrorTrap trap(display_);
    ::Window owner = 0;
    if (!XGetTransientForHint(display_, Window, &owner)) return 0;
    return owner;
}

int XConnection::requestClose(XWindowId Window, XWindowId* Last) {
    if (Last) *Last = Window;
    if (!usable() || Window == 0) return 0;
    ErrorTrap trap(display_);
    QSet<::Window> roots;
    for (int s = 0; s < XScreenCount(display_); ++s) roots.insert(XRootWindow(display_, s));
    QSet<::Window> asked;
    int count = 0;
    ::Window w = Window;
    while (w != 0 && !roots.contains(w) && !asked.contains(w) && usable()) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, w, &a)) break;
        // The owner is read before the window is asked to close: once it has
        // closed, its WM_TRANSIENT_FOR is gone with it.
        ::Window owner = 0;
        if (!XGetTransientForHint(display_, w, &owner)) owner = 0;
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
        if (Last) *Last = w;
        w = owner;
    }
    XFlush(display_);
    return usable() ? count : 0;
}

qint64 XWindowOwner(qint64 Pid, XWindowId Client) {
    if (Pid > 0) return Pid;
    // X servers hand each client ids from its own base: the bits above the
    // usual 21-bit resource mask tell the client apart.
    return -1 - static_cast<qint64>(Client >> 21);
}

unsigned long XKeysymFromName(const QString& Name) {
    if (Name.isEmpty()) return 0;
    const KeySym k = XStringToKeysym(Name.toLatin1().constData());
    return k == NoSymbol ? 0 : k;
}

unsigned long XKeysymForChar(char32_t Ch) {
    switch (Ch) {
        case U'\t':
            return XK_Tab;
        case U'\n':
        case U'\r':
            return XK_Return;
        case U'\b':
            return XK_BackSpace;
        case U'\x1b':
            return XK_Escape;
        default:
            break;
    }
    if ((Ch >= 0x20 && Ch <= 0x7e) || (Ch >= 0xa0 && Ch <= 0xff)) return Ch;
    return 0x1000000UL + Ch;
}

QList<XTreeWindow> XConnection::windowTree() {
    QList<XTreeWindow> out;
    if (!usable()) return out;
    ErrorTrap trap(display_);
    int visited = 0;
    for (int s = 0; s < XScreenCount(display_) && usable(); ++s) {
        for (Window top : TopFirst(ChildrenOf(display_, XRootWindow(display_, s)))) {
            if (!usable() || visited >= kMaxWalk) break;
            const Window client = ClientOf(display_, top, atoms_->wmState);
            const qint64 owner = XWindowOwner(ReadPid(display_, client, atoms_->netWmPid), client);
            // Depth first without recursion, the top-level window itself first.
            std::vector<Window> stack{top};
            while (!stack.empty() && visited < kMaxWalk && usable()) {
                const Window w = stack.back();
                stack.pop_back();
                ++visited;
                out.append({w, owner, ReadName(display_, w, atoms_->netWmName, atoms_->utf8String, atoms_->string)});
                const std::vector<Window> kids = ChildrenOf(display_, w);
                stack.insert(stack.end(), kids.rbegin(), kids.rend());
            }
        }
    }
    return usable() ? out : QList<XTreeWindow>();
}

bool XConnection::isViewable(XWindowId Window) {
    if (!usable() || Window == 0) return false;
    ErrorTrap trap(display_);
    XWindowAttributes a{};
    return XGetWindowAttributes(display_, Window, &a) != 0 && trap.sync() && a.map_state == IsViewable;
}

namespace {

// What one top-level client window says about itself, for inputWindows.
struct InputFacts {
    XInputWindow w;
    Window transientFor = 0;
    bool takesInput = true;
    bool modal = false;
    bool modalForOwner = false;  // holds every other window of its owner
};

// The atoms of a 32-bit atom list property (_NET_WM_STATE); empty when unset.
std::vector<Atom> AtomList(Display* d, Window w, Atom name) {
    Property p;
    std::vector<Atom> out;
    if (p.read(d, w, name, 64) && p.format == 32 && p.data) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(p.data);
        out.assign(atoms, atoms + p.count);
    }
    return out;
}

}  // namespace

QList<XInputWindow> XConnection::inputWindows() {
    QList<XInputWindow> out;
    if (!usable()) return out;
    ErrorTrap trap(display_);
    const Atom netWmState = XInternAtom(display_, "_NET_WM_STATE", False);
    const Atom stateModal = XInternAtom(display_, "_NET_WM_STATE_MODAL", False);
    const Atom stateHidden = XInternAtom(display_, "_NET_WM_STATE_HIDDEN", False);
    const Atom motifHints = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    const Atom takeFocus = XInternAtom(display_, "WM_TAKE_FOCUS", False);
    // The Motif hints: flags, functions, decorations, input mode, status; the
    // input mode counts when its flag bit is set.
    constexpr unsigned long kMotifInputModeFlag = 1UL << 2;
    constexpr long kMotifPrimaryModal = 1;

    QSet<Window> roots;
    std::vector<InputFacts> facts;
    for (int s = 0; s < XScreenCount(display_) && usable(); ++s) {
        roots.insert(XRootWindow(display_, s));
        for (Window top : TopFirst(ChildrenOf(display_, XRootWindow(display_, s)))) {
            if (!usable()) break;
            InputFacts f;
            const Window client = ClientOf(display_, top, atoms_->wmState);
            f.w.window = client;
            f.w.owner = XWindowOwner(ReadPid(display_, client, atoms_->netWmPid), client);
            f.w.title = ReadName(display_, client, atoms_->netWmName, atoms_->utf8String, atoms_->string);
            XWindowAttributes a{};
            const bool viewable =
                XGetWindowAttributes(display_, client, &a) != 0 && a.map_state == IsViewable && !a.override_redirect;
            const std::vector<Atom> state = AtomList(display_, client, netWmState);
            const auto has = [&](Atom x) { return std::find(state.begin(), state.end(), x) != state.end(); };
            f.w.shown = viewable && !has(stateHidden);
            if (!XGetTransientForHint(display_, client, &f.transientFor)) f.transientFor = 0;
            // A window that refuses the input focus and does not ask for it
            // itself (WM_TAKE_FOCUS) never gets keys.
            if (XWMHints* hints = XGetWMHints(display_, client)) {
                if ((hints->flags & InputHint) && !hints->input) {
                    Atom* protocols = nullptr;
                    int n = 0;
                    bool asks = false;
                    if (XGetWMProtocols(display_, client, &protocols, &n) && protocols)
                        asks = std::find(protocols, protocols + n, takeFocus) != protocols + n;
                    if (protocols) XFree(protocols);
                    f.takesInput = asks;
                }
                XFree(hints);
            }
            long motifMode = 0;
            {
                Property p;
                if (p.read(display_, client, motifHints, 5) && p.format == 32 && p.count >= 4 && p.data) {
                    const auto* v = reinterpret_cast<const unsigned long*>(p.data);
                    if (v[0] & kMotifInputModeFlag) motifMode = static_cast<long>(v[3]);
                }
            }
            f.modal = has(stateModal) || motifMode != 0;
            f.modalForOwner = f.modal && (f.transientFor == 0 || roots.contains(f.transientFor) ||
                                          (motifMode != 0 && motifMode != kMotifPrimaryModal));
            facts.push_back(f);
        }
    }
    if (!usable()) return out;
    // Windows held by a modal window made for them, and owners held whole
    // (where only their modal windows stay enabled, so a modal dialog over
    // an application-modal one still takes keys).
    QSet<Window> held;
    QSet<qint64> heldOwners;
    for (const InputFacts& f : facts) {
        if (!f.w.shown || !f.modal) continue;
        if (f.modalForOwner)
            heldOwners.insert(f.w.owner);
        else
            held.insert(f.transientFor);
    }
    for (InputFacts& f : facts) {
        const bool underOwnerModal = heldOwners.contains(f.w.owner) && !f.modal;
        f.w.enabled = f.w.shown && f.takesInput && !held.contains(f.w.window) && !underOwnerModal;
        out.append(f.w);
    }
    return out;
}

namespace {

// The child of the root that holds w (w itself when it is one); 0 when w is
// no window or the root.
Window TopOf(Display* d, Window w) {
    for (int depth = 0; w != 0 && depth < 1000; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
        if (kids) XFree(kids);
        if (w == root) return 0;
        if (parent == root) return w;
        w = parent;
    }
    return 0;
}

bool HasFocus(Display* d, Window w) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    if (focus == w) return true;
    // PointerRoot (1) and None (0) are no window.
    return focus > 1 && TopOf(d, focus) != 0 && TopOf(d, focus) == TopOf(d, w);
}

bool WaitForFocus(Display* d, Window w, int timeoutMs) {
    for (int waited = 0;; waited += 20) {
        if (HasFocus(d, w)) return true;
        if (waited >= timeoutMs) return false;
        XSync(d, False);
        ::usleep(20000);
    }
}

}  // namespace

bool XConnection::activateWindow(XWindowId Window, int TimeoutMs) {
    if (!isViewable(Window)) return false;
    ErrorTrap trap(display_);
    const ::Window root = XDefaultRootWindow(display_);
    // A window manager announces itself with _NET_SUPPORTING_WM_CHECK on the
    // root; it alone may move the focus between its frames, so it is asked first.
    Property check;
    if (check.read(display_, root, XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False), 1)) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = Window;
        ev.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 2;  // the request comes from a tool acting for the user
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
        XSync(display_, False);
        if (WaitForFocus(display_, Window, TimeoutMs / 2)) return usable();
    }
    XRaiseWindow(display_, Window);
    XSetInputFocus(display_, Window, RevertToParent, CurrentTime);
    XSync(display_, False);
    return WaitForFocus(display_, Window, TimeoutMs) && usable();
}

bool XConnection::sendKeys(const QList<XKeyPress>& Keys, QString* Error) {
    const auto fail = [&](const QString& why) {
        if (Error) *Error = why;
        return false;
    };
    if (!usable()) return fail(error().isEmpty() ? QStringLiteral("no display") : error());
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &errorBase, &major, &minor))
        return fail(QStringLiteral("the X server has no XTest extension"));
    ErrorTrap trap(display_);
    int minCode = 0, maxCode = 0, per = 0;
    XDisplayKeycodes(display_, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &per);
    if (!map || per < 1) return fail(QStringLiteral("the keyboard map cannot be read"));
    const auto sym = [&](int code, int level) { return level < per ? map[(code - minCode) * per + level] : NoSymbol; };
    struct Key {
        int code = 0;
        bool shift = false;
    };
    // Where a keysym is on the keyboard: on the first level of some key,
    // else on a shifted level (also a capital that the map leaves implied).
    const auto lookup = [&](KeySym k) -> std::optional<Key> {
        for (int c = minCode; c <= maxCode; ++c)
            if (sym(c, 0) == k) return Key{c, false};
        for (int c = minCode; c <= maxCode; ++c) {
            if (sym(c, 1) == k) return Key{c, true};
            KeySym lower = 0, upper = 0;
            XConvertCase(sym(c, 0), &lower, &upper);
            if (sym(c, 1) == NoSymbol && upper == k && lower != upper) return Key{c, true};
        }
        return std::nullopt;
    };
    std::vector<int> spares;
    for (int c = maxCode; c >= minCode; --c) {
        bool empty = true;
        for (int l = 0; l < per; ++l) empty = empty && sym(c, l) == NoSymbol;
        if (empty) spares.push_back(c);
    }
    const auto modCode = [&](KeySym a, KeySym b) {
        KeyCode c = XKeysymToKeycode(display_, a);
        return c ? c : XKeysymToKeycode(display_, b);
    };
    const KeyCode shiftCode = modCode(XK_Shift_L, XK_Shift_R);
    const KeyCode ctrlCode = modCode(XK_Control_L, XK_Control_R);
    const KeyCode altCode = modCode(XK_Alt_L, XK_Meta_L);

    bool ok = true;
    qsizetype i = 0;
    while (ok && i < Keys.size()) {
        // One round: keys up to the point where the spare codes run out.
        QHash<KeySym, int> borrowed;
        std::vector<std::pair<Key, unsigned>> round;
        for (; i < Keys.size(); ++i) {
            const KeySym k = Keys[i].keysym;
            if (k == 0) {
                ok = fail(QStringLiteral("a key has no keysym"));
                break;
            }
            std::optional<Key> key = lookup(k);
            if (!key && borrowed.contains(k)) key = Key{borrowed.value(k), false};
            if (!key && borrowed.size() < static_cast<qsizetype>(spares.size())) {
                const int code = spares[static_cast<std::size_t>(borrowed.size())];
                std::vector<KeySym> syms(static_cast<std::size_t>(per), NoSymbol);
                syms[0] = k;
                if (per > 1) syms[1] = k;
                XChangeKeyboardMapping(display_, code, per, syms.data(), 1);
                borrowed.insert(k, code);
                key = Key{code, false};
            }
            if (!key) {
                if (round.empty())
                    ok = fail(QStringLiteral("no free key code for a character missing from the keyboard"));
                break;
            }
            round.emplace_back(*key, Keys[i].mods);
        }
        if (!borrowed.isEmpty()) {
            // Programs read a changed keyboard map when they next look up a
            // key; give them the moment to see the new one.
            XSync(display_, False);
            ::usleep(50000);
        }
        for (const auto& [key, mods] : round) {
            std::vector<KeyCode> held;
            if ((mods & XKeyCtrl) && ctrlCode) held.push_back(ctrlCode);
            if ((mods & XKeyAlt) && altCode) held.push_back(altCode);
            if (((mods & XKeyShift) || key.shift) && shiftCode) held.push_back(shiftCode);
            for (KeyCode m : held) XTestFakeKeyEvent(display_, m, True, CurrentTime);
            XTestFakeKeyEvent(display_, static_cast<unsigned>(key.code), True, CurrentTime);
            XTestFakeKeyEvent(display_, static_cast<unsigned>(key.code), False, CurrentTime);
            for (auto m = held.rbegin(); m != held.rend(); ++m) XTestFakeKeyEvent(display_, *m, False, CurrentTime);
        }
        XSync(display_, False);
        if (!borrowed.isEmpty()) {
            // The keys are in the programs' queues; they translate them with
            // the borrowed map, so it stays a moment longer before it goes.
            ::usleep(100000);
            std::vector<KeySym> none(static_cast<std::size_t>(per), NoSymbol);
            for (int code : borrowed) XChangeKeyboardMapping(display_, code, per, none.data(), 1);
            XSync(display_, False);
        }
    }
    XFree(map);
    return ok && usable();
}
