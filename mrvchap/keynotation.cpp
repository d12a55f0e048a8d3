#include "mrvchap/keynotation.h"

#include <QPair>

namespace {

// Accepted names (upper case) and the key each gives; aliases follow their key.
const QList<QPair<QString, QString>>& Table() {
    static const QList<QPair<QString, QString>> table = [] {
        QList<QPair<QString, QString>> t;
        const auto add = [&](const char* name, const char* key) {
            t.append({QString::fromLatin1(name), QString::fromLatin1(key)});
        };
        add("ENTER", "Return");
        add("TAB", "Tab");
        add("ESC", "Escape");
        add("ESCAPE", "Escape");
        add("BACKSPACE", "BackSpace");
        add("BS", "BackSpace");
        add("BKSP", "BackSpace");
        add("DELETE", "Delete");
        add("DEL", "Delete");
        add("INSERT", "Insert");
        add("INS", "Insert");
        add("HOME", "Home");
        add("END", "End");
        add("PGUP", "Prior");
        add("PGDN", "Next");
        add("UP", "Up");
        add("DOWN", "Down");
        add("LEFT", "Left");
        add("RIGHT", "Right");
        add("BREAK", "Break");
        add("CAPSLOCK", "Caps_Lock");
        add("NUMLOCK", "Num_Lock");
        add("SCROLLLOCK", "Scroll_Lock");
        add("PRTSC", "Print");
        add("HELP", "Help");
        add("ADD", "KP_Add");
        add("SUBTRACT", "KP_Subtract");
        add("MULTIPLY", "KP_Multiply");
        add("DIVIDE", "KP_Divide");
        for (int f = 1; f <= 16; ++f) t.append({QStringLiteral("F%1").arg(f), QStringLiteral("F%1").arg(f)});
        return t;
    }();
    return table;
}

class Parser {
public:
    explicit Parser(const QString& text) : s_(text) {}

    KeyParse run() {
        KeyParse out;
        if (!sequence(0, out.keys, /*inGroup=*/false)) {
            out.keys.clear();
            out.error = error_;
            return out;
        }
        out.ok = true;
        return out;
    }

private:
    // Reads keys up to the end (or, in a group, up to its ")"), each with the
    // modifiers held around it plus those written in front of it.
    bool sequence(unsigned held, QList<KeyStroke>& keys, bool inGroup) {
        while (pos_ < s_.size()) {
            unsigned mods = held;
            const qsizetype start = pos_;
            bool modifier = true;
            while (modifier && pos_ < s_.size()) {
                switch (s_[pos_].unicode()) {
                    case '+':
                        mods |= kModShift;
                        ++pos_;
                        break;
                    case '^':
                        mods |= kModCtrl;
                        ++pos_;
                        break;
                    case '%':
                        mods |= kModAlt;
                        ++pos_;
                        break;
                    default:
                        modifier = false;
                }
            }
            const bool hadModifier = pos_ != start;
            if (pos_ >= s_.size()) {
                if (hadModifier) return fail(QStringLiteral("a modifier at the end has no key"));
                break;
            }
            const QChar c = s_[pos_];
            if (c == u')') {
                if (!inGroup) return fail(QStringLiteral("\")\" without \"(\""));
                if (hadModifier) return fail(QStringLiteral("a modifier before \")\" has no key"));
                ++pos_;
                return true;
            }
            if (c == u'(') {
                ++pos_;
                const qsizetype before = keys.size();
                if (!sequence(mods, keys, true)) return false;
                if (hadModifier && keys.size() == before)
                    return fail(QStringLiteral("a modifier before \"()\" has no key"));
                continue;
            }
            if (c == u'}') return fail(QStringLiteral("\"}\" without \"{\""));
            if (c == u'{') {
                if (!brace(mods, keys)) return false;
                continue;
            }
            KeyStroke k;
            k.mods = mods;
            if (c == u'~') {
                k.name = QStringLiteral("Return");
                ++pos_;
            } else {
                k.ch = character();
            }
            keys.append(k);
        }
        if (inGroup) return fail(QStringLiteral("\"(\" without \")\""));
        return true;
    }

    // A brace: {name}, {name count}, {c}, {c count}; "}" itself is {}} and "{" is {{}.
    bool brace(unsigned mods, QList<KeyStroke>& keys) {
        const qsizetype open = pos_;
        // The first character inside may be "}" (as in {}}), so the closing
        // brace is looked for after it.
        const qsizetype close = s_.indexOf(u'}', open + 2);
        if (open + 1 >= s_.size() || close < 0) return fail(QStringLiteral("\"{\" without \"}\""));
        QString inner = s_.mid(open + 1, close - open - 1);
        pos_ = close + 1;
        int count = 1;
        const qsizetype blank = inner.lastIndexOf(u' ');
        if (blank > 0) {
            bool ok = false;
            const QString number = inner.mid(blank + 1);
            count = number.toInt(&ok);
            bool digits = !number.isEmpty();
            for (QChar d : number) digits = digits && d.isDigit();
            if (!ok || !digits || count > kMaxKeyRepeat)
                return fail(QStringLiteral("bad repeat count in {%1}").arg(inner));
            inner.truncate(blank);
        }
        KeyStroke k;
        k.mods = mods;
        const QString named = NamedKey(inner);
        if (!named.isEmpty()) {
            k.name = named;
        } else if (inner.size() == 1 || (inner.size() == 2 && inner[0].isHighSurrogate())) {
            k.ch = inner.toUcs4().value(0);
        } else {
            return fail(QStringLiteral("unknown key name {%1}").arg(inner));
        }
        for (int i = 0; i < count; ++i) keys.append(k);
        return true;
    }

    char32_t character() {
        const QChar c = s_[pos_++];
        if (c.isHighSurrogate() && pos_ < s_.size() && s_[pos_].isLowSurrogate())
            return QChar::surrogateToUcs4(c, s_[pos_++]);
        return c.unicode();
    }

    bool fail(const QString& why) {
        error_ = why;
        return false;
    }

    const QString& s_;
    qsizetype pos_ = 0;
    QString error_;
};

}  // namespace

QString NamedKey(const QString& Name) {
    const QString upper = Name.toUpper();
    for (const auto& [name, key] : Table())
        if (name == upper) return key;
    return QString();
}

QList<QPair<QString, QString>> NamedKeyTable() { return Table(); }

KeyParse ParseKeys(const QString& Text) { return Parser(Text).run(); }
