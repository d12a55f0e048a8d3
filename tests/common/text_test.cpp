#include "common/text.h"
#include "common/getfield.h"
#include "tests/support/testing.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct FieldCase {
    const char* line;
    int field;
    const char* want;
};

const QChar kQuote = QLatin1Char('"');
const QChar kComma = QLatin1Char(',');

// Both splitters agree on every well-formed line; the table runs through each.
const FieldCase kFieldCases[] = {
    {"a,b,c", 2, "b"},
    {"a,b,c", 4, ""},
    {"a,b,c", 0, "a"},
    {"a,b,c", -3, "a"},
    {"a,b,c", 40, ""},
    {"\"x,y\",z", 1, "x,y"},
    {"\"x,y\",z", 2, "z"},
    {"\"say \"\"hi\"\"\"", 1, "say \"hi\""},
    {"\"ab\"cd,e", 1, "ab"},
    {"\"ab\"cd,e", 2, "e"},
    {"a\"b\"\"c,d", 1, "a\"b\"\"c"},
    {"", 1, ""},
    {"", 3, ""},
    {"\"\",x", 1, ""},
    {"\"\",x", 2, "x"},
    {"a, b", 2, " b"},
    {"a,\"q,\"\"r\",s", 2, "q,\"r"},
    {"a,\"q,\"\"r\",s", 3, "s"},
    {"\"unclosed,rest", 1, "unclosed,rest"},
    {"\"unclosed,rest", 2, ""},
};

TEST(FieldSplitters, SplitWellFormedAndBrokenLines) {
    for (const FieldCase& c : kFieldCases) {
        const QString line = S(c.line);
        EXPECT_EQ(GetLineField(line, c.field, kQuote, kComma), S(c.want)) << c.line << " field " << c.field;
        EXPECT_EQ(GetField(line, c.field, kQuote, kComma), S(c.want)) << c.line << " field " << c.field;
    }
}

TEST(FieldSplitters, OnlyFirstCharacterAndExactCase) {
    EXPECT_EQ(GetLineField(S("aXbxc"), 2, kQuote, QLatin1Char('x')), S("c"));
    EXPECT_EQ(GetLineField(S("a\tb\tc"), 3, kQuote, QLatin1Char('\t')), S("c"));
    EXPECT_EQ(GetField(S("a|\"b|c\"|d"), 3, kQuote, QLatin1Char('|')), S("d"));
}

TEST(TextHelpers, QuotesAndLeftRight) {
    EXPECT_EQ(DoubleQuotes(S("a\"b\"\"c")), S("a\"\"b\"\"\"\"c"));
    EXPECT_EQ(AddQuotes(S("a\"b")), S("\"a\"b\""));
    EXPECT_EQ(LeftOf(S("abc"), S("x")), S("abc"));
    EXPECT_EQ(LeftOf(S("a,b"), S(",")), S("a"));
    EXPECT_EQ(LeftOf(S("/srv/my.data/msg.eml"), S(".")), S("/srv/my"));
    EXPECT_EQ(RightOf(S("key=value=x"), S("=")), S("value=x"));
    EXPECT_EQ(RightOf(S("abc"), S("=")), S(""));
}

TEST(TextHelpers, CharacterMasks) {
    EXPECT_TRUE(MatchCharMask(S("12:30"), S("00:00")));
    EXPECT_FALSE(MatchCharMask(S("1:30"), S("00:00")));
    EXPECT_TRUE(MatchCharMask(S("a/b"), S("AAA")));
    EXPECT_TRUE(MatchCharMask(S("Z?!\\9"), S("AAAA0")));
    EXPECT_FALSE(MatchCharMask(S("12:3a"), S("00:00")));
}

TEST(TextHelpers, LeadingNumbersNeverFail) {
    EXPECT_EQ(Val(S("42abc")), 42);
    EXPECT_EQ(Val(S("  -7")), -7);
    EXPECT_EQ(Val(S("abc")), 0);
    EXPECT_EQ(Val(S("")), 0);
    EXPECT_EQ(Val(S("+12.9")), 12);
}

TEST(TextHelpers, FixedWidthAndControls) {
    EXPECT_EQ(FixedText(S("AB"), 4), S("AB  "));
    EXPECT_EQ(FixedText(S("ABCDEFGHIJ"), 8), S("ABCDEFGH"));
    // A character outside the basic plane is never cut in two.
    const QString smile = QString::fromUcs4(U"ABCDEFG\U0001F600");
    const QString cut = FixedText(smile, 8);
    EXPECT_EQ(cut.size(), 8);
    EXPECT_FALSE(cut.back().isHighSurrogate());
    EXPECT_EQ(ControlsToBlanks(S("a\tb\r\nc")), S("a b  c"));
}

TEST(AppendLineTest, AppendsWithCrLfAndCreatesTheFile) {
    TempDir dir;
    const QString f = dir.path(S("log.txt"));
    ASSERT_TRUE(AppendLine(f, S("one")));
    ASSERT_TRUE(AppendLine(f, S("tw\u00f6")));
    EXPECT_EQ(dir.read(f), QByteArray("one\r\ntw\xc3\xb6\r\n"));
    EXPECT_FALSE(AppendLine(dir.path(S("missing/folder/log.txt")), S("x")));
    EXPECT_FALSE(AppendLine(QString(), S("x")));
}

TEST(AppendLineTest, TwoWritersNeverInterleaveInsideALine) {
    TempDir dir;
    const QString f = dir.path(S("shared.log"));
    const QString a(2000, QLatin1Char('a'));
    const QString b(2000, QLatin1Char('b'));
    const pid_t child = fork();
    if (child == 0) {
        for (int i = 0; i < 200; ++i) AppendLine(f, b);
        _exit(0);
    }
    for (int i = 0; i < 200; ++i) AppendLine(f, a);
    int status = 0;
    waitpid(child, &status, 0);
    const QList<QByteArray> lines = dir.read(f).split('\n');
    int count = 0;
    for (const QByteArray& l : lines) {
        if (l.isEmpty()) continue;
        ++count;
        const QByteArray body = l.chopped(1);
        EXPECT_TRUE(body == a.toLatin1() || body == b.toLatin1());
    }
    EXPECT_EQ(count, 400);
}

TEST(DevEnvironment, FollowsTheVariable) {
    {
        ScopedEnv env("MRV_DEVELOPMENT", "1");
        EXPECT_TRUE(InDevEnvironment());
    }
    {
        ScopedEnv env("MRV_DEVELOPMENT", "0");
        EXPECT_FALSE(InDevEnvironment());
    }
}

}  // namespace
