#include "gui/mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QWidget>

namespace {

// The letter of a caption's "&" mark, upper case; a null QChar for none.
QChar LetterOf(const QString& caption) {
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (key.isEmpty()) return QChar();
    const int code = key[0].key();
    if (code <= 0 || code > 0xffff) return QChar();
    return QChar(code).toUpper();
}

QMenuBar* MenuBarOf(QWidget* window) {
    // The window's own menu bar, not one of a window inside it.
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        if (bar->window() == window) return bar;
    }
    return nullptr;
}

// Sits on every control of a window: an Alt+letter that reaches a control
// while the menu bar has an entry of that letter goes to the entry instead.
// Qt hands an Alt+letter claimed twice to one claimant per press in turn,
// and a control that receives it only takes the focus; the menu bar must act
// on every press.
class MenuBarFirst : public QObject {
public:
    MenuBarFirst(QMenuBar* bar, QObject* parent) : QObject(parent), bar_(bar) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut) return QObject::eventFilter(watched, event);
        const auto* se = static_cast<QShortcutEvent*>(event);
        const QKeySequence key = se->key();
        if (key.count() != 1 || !(key[0].keyboardModifiers() & Qt::AltModifier))
            return QObject::eventFilter(watched, event);
        const int code = key[0].key();
        if (code <= 0 || code > 0xffff) return QObject::eventFilter(watched, event);
        const QChar letter = QChar(code).toUpper();
        for (QAction* entry : bar_->actions()) {
            if (!entry->isVisible() || LetterOf(entry->text()) != letter) continue;
            if (entry->isEnabled()) {
                if (entry->menu())
                    bar_->setActiveAction(entry);
                else
                    entry->trigger();
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMenuBar* bar_;
};

}  // namespace

QList<Mnemonic> WindowMnemonics(QWidget* Window) {
    QList<Mnemonic> out;
    if (QMenuBar* bar = MenuBarOf(Window)) {
        for (QAction* entry : bar->actions()) {
            if (const QChar c = LetterOf(entry->text()); !c.isNull()) out.append({c, entry, entry->text(), true});
        }
    }
    for (QWidget* w : Window->findChildren<QWidget*>()) {
        // A control that is not shown (on another tab page, or hidden) takes
        // no Alt+letter.
        if (w->window() != Window || qobject_cast<QMenuBar*>(w) || qobject_cast<QMenu*>(w) ||
            (Window->isVisible() && !w->isVisible()))
            continue;
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            caption = b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            caption = g->title();
        else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy())
            caption = l->text();
        if (const QChar c = LetterOf(caption); !c.isNull()) out.append({c, w, caption, false});
    }
    return out;
}

void MenuBarWinsMnemonics(QWidget* Window) {
    QMenuBar* bar = MenuBarOf(Window);
    if (!bar) return;
    auto* filter = new MenuBarFirst(bar, Window);
    for (QWidget* w : Window->findChildren<QWidget*>()) {
        if (w->window() == Window && !qobject_cast<QMenuBar*>(w) && !qobject_cast<QMenu*>(w))
            w->installEventFilter(filter);
    }
}
