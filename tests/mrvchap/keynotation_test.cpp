#include "mrvchap/keynotation.h"

#include "tests/support/testing.h"

#include <gtest/gtest.h>

namespace {

// Keys in a compact form: modifiers as "S", "C", "A" before a "-", then the
// character or the <key name>; keys separated by blanks.
QString Describe(const QList<KeyStroke>& keys) {
    QStringList out;
    for (const KeyStroke& k : keys) {
        QString mods;
        if (k.mods & kModShift) mods += u'S';
        if (k.mods & kModCtrl) mods += u'C';
        if (k.mods & kModAlt) mods += u'A';
        const QString key = k.name.isEmpty() ? QString::fromUcs4(&k.ch, 1) : u'<' + k.name + u'>';
        out << (mods.isEmpty() ? key : mods + u'-' + key);
    }
    return out.join(u' ');
}

TEST(KeyNotation, ReadsCharactersModifiersBracesAndGroups) {
    struct Case {
        const char* text;
        const char* keys;
    };
    const Case cases[] = {
        {"", ""},
        {"aB1 ", "a B 1  "},
        {"+a", "S-a"},
        {"^c%f", "C-c A-f"},
        {"+^%x", "SCA-x"},
        {"~", "<Return>"},
        {"^~", "C-<Return>"},
        // Every special character in braces is typed as itself.
        {"{+}{^}{%}{~}{(}{)}{{}{}}", "+ ^ % ~ ( ) { }"},
        {"{[}{]}", "[ ]"},
        // Named keys, any letter case, with aliases.
        {"{ENTER}{tab}{Esc}{BACKSPACE}{BS}{bksp}", "<Return> <Tab> <Escape> <BackSpace> <BackSpace> <BackSpace>"},
        {"{DELETE}{DEL}{INSERT}{INS}{HOME}{END}{PGUP}{PGDN}",
         "<Delete> <Delete> <Insert> <Insert> <Home> <End> <Prior> <Next>"},
        {"{UP}{DOWN}{LEFT}{RIGHT}{F1}{f12}{F16}", "<Up> <Down> <Left> <Right> <F1> <F12> <F16>"},
        {"{BREAK}{CAPSLOCK}{NUMLOCK}{SCROLLLOCK}{PRTSC}{HELP}",
         "<Break> <Caps_Lock> <Num_Lock> <Scroll_Lock> <Print> <Help>"},
        {"{ADD}{SUBTRACT}{multiply}{Divide}", "<KP_Add> <KP_Subtract> <KP_Multiply> <KP_Divide>"},
        // Repeats of named keys and characters, and of the brace characters.
        {"{TAB 3}", "<Tab> <Tab> <Tab>"},
        {"{x 2}{} 2}", "x x } }"},
        {"{a 0}b", "b"},
        {"+{TAB 2}", "S-<Tab> S-<Tab>"},
        // A group keeps its modifier for every key in it, and nests.
        {"+(ab)c", "S-a S-b c"},
        {"^(a%(b)c)", "C-a CA-b C-c"},
        {"(x)", "x"},
        {"+(a{ENTER})", "S-a S-<Return>"},
        // Characters beyond Latin-1 and outside the basic plane.
        {"é✓😀", "é ✓ 😀"},
    };
    for (const Case& c : cases) {
        const KeyParse p = ParseKeys(S(c.text));
        EXPECT_TRUE(p.ok) << c.text << ": " << p.error.toStdString();
        EXPECT_EQ(Describe(p.keys), S(c.keys)) << c.text;
    }
}

TEST(KeyNotation, RefusesWhatItCannotType) {
    const char* refused[] = {
        "abc{",    "{ENTER",   "abc}",        "{}",   "(ab", "ab)",   "+(a))",      "{NOSUCHKEY}", "{ab}",
        "{TAB x}", "{TAB -1}", "{TAB 10001}", "abc+", "^",   "+(a+)", "%{TAB 1.5}", "+()",         "a^()b",
    };
    for (const char* text : refused) {
        const KeyParse p = ParseKeys(S(text));
        EXPECT_FALSE(p.ok) << text;
        EXPECT_TRUE(p.keys.isEmpty()) << text;
        EXPECT_FALSE(p.error.isEmpty()) << text;
    }
}

TEST(KeyNotation, NamedKeyTableListsEveryFunctionKey) {
    EXPECT_EQ(NamedKey(S("pgdn")), S("Next"));
    EXPECT_EQ(NamedKey(S("F17")), QString());
    int functionKeys = 0;
    for (const auto& [name, key] : NamedKeyTable()) functionKeys += name.startsWith(u'F') && name.size() <= 3 ? 1 : 0;
    EXPECT_EQ(functionKeys, 16);
}

}  // namespace
