#pragma once

#include <QList>
#include <QString>

// The keystroke notation of script rows: plain characters are typed as they
// stand; "+" Shift, "^" Ctrl and "%" Alt hold down their modifier for the next
// key or for a group in parentheses; "~" is Enter; braces name a key
// ({ENTER}, {F5}), give a character that is otherwise special ({+}, {{}, {}})
// or repeat a key ({TAB 3}, {x 10}).

/// Modifier bits of one key.
enum KeyModifier : unsigned { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

/// One key to press and release with modifiers held down. A named key carries
/// its key name ("Return", "F5", "Prior": the X key names); otherwise ch is
/// the character to type (Shift is added by the sender where the character
/// needs it).
struct KeyStroke {
    unsigned mods = 0;
    QString name;
    char32_t ch = 0;
    bool operator==(const KeyStroke&) const = default;
};

/// What ParseKeys made of a row.
struct KeyParse {
    bool ok = false;
    QList<KeyStroke> keys;
    /// Why the row is refused (for the operator); "" when ok.
    QString error;
};

/// Most times one brace may repeat its key ({x 10000}).
constexpr int kMaxKeyRepeat = 10000;

/// Reads a row in the keystroke notation. Refused: a "{" without its "}", a
/// "}" or ")" without its opening partner, a "(" left open, an unknown name in
/// braces, a repeat count that is not a whole number from 0 to kMaxKeyRepeat,
/// and a modifier with no key after it (also "+()", an empty group).
KeyParse ParseKeys(const QString& Text);

/// The X key name of a name in braces (any letter case: "enter", "PGDN",
/// "F12"), "" when it names no key.
QString NamedKey(const QString& Name);

/// The names accepted in braces with the X key each one gives, in the order
/// the README lists them.
QList<QPair<QString, QString>> NamedKeyTable();
