#include "gui/screenfit.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

// What a window manager's frame usually takes, for a window it has not
// framed yet: the title bar above, a border on the other sides.
constexpr int kTitleBar = 30;
constexpr int kBorder = 6;
// Room the title bar's icon and its buttons (minimise, maximise, close)
// take beside the caption, with the gaps between them.
constexpr int kTitleButtons = 140;
// A window manager draws the caption in a font of its own, often bold and a
// size larger than the application's: a tenth more than the bold width.
constexpr int kTitleFontMarginPercent = 10;

bool Fits(QWidget* w) {
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return !screen || screen->availableGeometry().contains(w->frameGeometry());
}

bool Watched(const QWidget* w) {
    if (!w->isWindow()) return false;
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen && type != Qt::Desktop &&
           !w->testAttribute(Qt::WA_DontShowOnScreen);
}

// Fits each window it sees shown, and again later when the window's own code
// or a grown layout has taken it past the edges.
class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        // Moves are the operator's business: only a showing and a growth
        // (a layout that widened, a size set from code) are fitted.
        if (type != QEvent::Show && type != QEvent::Resize) return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || !Watched(w)) return false;
        if (type == QEvent::Show) {
            w->setProperty(kTries, 0);
            FitOnScreen(w);
        }
        if (type == QEvent::Show || (w->isVisible() && !Fits(w))) Later(w);
        return false;
    }

private:
    // A window manager may keep a window where it wants it: a few tries per
    // showing, then the window stays where it is put.
    static constexpr const char* kTries = "mrvScreenFitTries";

    static void Later(QWidget* w) {
        const int tries = w->property(kTries).toInt();
        if (tries >= 5) return;
        w->setProperty(kTries, tries + 1);
        QPointer<QWidget> guard(w);
        QTimer::singleShot(0, w, [guard] {
            if (guard && guard->isVisible() && !Fits(guard)) FitOnScreen(guard);
        });
    }
};

}  // namespace

int CaptionWidth(const QString& Caption) {
    QFont font = QApplication::font();
    font.setBold(true);
    const int text = QFontMetrics(font).horizontalAdvance(Caption);
    return text + text * kTitleFontMarginPercent / 100 + kTitleButtons;
}

void FitOnScreen(QWidget* Window) {
    QScreen* screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = Window->frameGeometry();
    const QRect inner = Window->geometry();
    int left = inner.left() - frame.left();
    int top = inner.top() - frame.top();
    int right = frame.right() - inner.right();
    int bottom = frame.bottom() - inner.bottom();
    // No frame yet, or one the window system has not reported soundly.
    const auto unsound = [](int m) { return m < 0 || m > 200; };
    if (frame == inner || unsound(left) || unsound(top) || unsound(right) || unsound(bottom)) {
        left = right = bottom = kBorder;
        top = kTitleBar;
    }
    const int maxW = std::max(1, area.width() - left - right);
    const int maxH = std::max(1, area.height() - top - bottom);

    QSize size = Window->size();
    const bool fixed = Window->minimumSize() == Window->maximumSize();
    if (!fixed) {
        const int title = CaptionWidth(Window->windowTitle());
        const QSize content = Window->minimumSizeHint().expandedTo(Window->minimumSize());
        size = size.expandedTo(QSize(std::min(title, maxW), 0)).expandedTo(content);
        size = size.boundedTo(QSize(maxW, maxH)).boundedTo(Window->maximumSize());
        if (size != Window->size()) Window->resize(size);
    }

    const int outerW = size.width() + left + right;
    const int outerH = size.height() + top + bottom;
    // A window that no one has placed yet is left to the window manager (or,
    // without one, to the top left corner): only a place the program chose
    // or one the window has reached is corrected.
    const bool placed = Window->testAttribute(Qt::WA_Moved) || Window->testAttribute(Qt::WA_Mapped);
    if (!placed) return;
    const QPoint at(inner.left() - left, inner.top() - top);
    const int x = std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outerW));
    const int y = std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outerH));
    if (x != at.x() || y != at.y()) Window->move(x, y);
}

void KeepWindowsOnScreen() {
    static ScreenKeeper* keeper = nullptr;
    if (keeper) return;
    keeper = new ScreenKeeper(qApp);
    qApp->installEventFilter(keeper);
}
