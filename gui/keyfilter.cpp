#include "gui/keyfilter.h"

#include "common/constants.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

// Filters the typed characters of one text box.
class KeyFilterObject : public QObject {
public:
    KeyFilterObject(QLineEdit* box, KeyFilter filter) : QObject(box), filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
            key->key() == Qt::Key_Backspace)
            return false;
        QString out;
        for (const QChar c : text) {
            if (c.unicode() < 0x20) return false;  // Enter, Escape, Tab: not typing
            const QChar kept = filter_(c);
            if (!kept.isNull()) out.append(kept);
        }
        if (out == text) return false;
        if (!out.isEmpty()) {
            QKeyEvent changed(QEvent::KeyPress, key->key(), key->modifiers(), out, key->isAutoRepeat(),
                              static_cast<ushort>(key->count()));
            static_cast<QLineEdit*>(watched)->event(&changed);
        }
        return true;
    }

private:
    KeyFilter filter_;
};

}  // namespace

void InstallKeyFilter(QLineEdit* Box, KeyFilter Filter) {
    Box->installEventFilter(new KeyFilterObject(Box, Filter));
    // Pasted or dropped text never passes through the key filter: the whole
    // text is filtered after every edit by the operator.
    QObject::connect(Box, &QLineEdit::textEdited, Box, [Box, Filter](const QString& text) {
        QString out;
        for (const QChar c : text) {
            const QChar kept = c == kBackspace ? QChar() : Filter(c);
            if (!kept.isNull()) out.append(kept);
        }
        if (out == text) return;
        const int cursor = std::max(0, Box->cursorPosition() - static_cast<int>(text.size() - out.size()));
        Box->setText(out);
        Box->setCursorPosition(std::min(cursor, static_cast<int>(out.size())));
    });
}
