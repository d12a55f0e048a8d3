#include "common/textfile.h"

#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Each line is read as UTF-8 when it is valid UTF-8, else as Latin-1.
TEST(TextFile, DecodesLineByLine) {
    struct Case {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"a\xc2\xac"
         "b\r\nc\r\n",
         S("a\u00acb\r\nc\r\n")},
        {"caf\xe9\r\nna\xc3\xafve\r\n", S("caf\u00e9\r\nna\u00efve\r\n")},
        {"\xc2\xac\nx\xac", S("\u00ac\nx\u00ac")},  // the last line without its line end
        {"\xe2\x82", S("\u00e2\u0082")},            // a character cut short
        {"", QString()},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeText(c.bytes), c.text) << c.bytes.toHex().toStdString();
}

TEST(TextFile, ReplaceFileAndItsLeftovers) {
    TempDir dir;
    const QString victim = dir.write(S("victim"), "untouched");
    ASSERT_TRUE(QFile::link(victim, dir.path(S("name.trg"))));
    QString error;
    ASSERT_TRUE(ReplaceFile(dir.path(S("name.trg")), "new\r\n", &error)) << error.toStdString();
    EXPECT_EQ(dir.read(S("victim")), QByteArray("untouched"));
    EXPECT_EQ(dir.read(S("name.trg")), QByteArray("new\r\n"));
    EXPECT_EQ(FollowLinks(dir.path(S("name.trg"))), dir.path(S("name.trg")));

    // Only old leftovers of the pattern go.
    const QString old = dir.write(S(".a.trg.Xy12Zz.tmp"), "old");
    dir.write(S(".b.trg.Xy12Zz.tmp"), "fresh");
    dir.write(S(".c.tmp"), "not ours");
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
    f.close();
    EXPECT_EQ(RemoveLeftoverTemps(dir.path(), QString(), 60), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{S(".b.trg.Xy12Zz.tmp"), S(".c.tmp"), S("name.trg"), S("victim")}));

    EXPECT_FALSE(ReplaceFile(dir.path(S("missing/x.trg")), "x", &error));
    EXPECT_TRUE(error.contains(S("cannot create a file in the folder"))) << error.toStdString();
}

}  // namespace
