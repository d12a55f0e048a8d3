#include "common/textfile.h"

#include "common/constants.h"
#include "common/ini.h"
#include "common/settings.h"
#include "common/text.h"
#include "tests/support/fulldisk.h"
#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

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

    // One line at a time into a buffer kept between them: ASCII on either
    // side of the eight-byte steps, UTF-8 and Latin-1 bytes anywhere, a short
    // line after a long one.
    const Case lines[] = {
        {"0123456789abcdefXYZ", S("0123456789abcdefXYZ")},
        {"abcdefgh", S("abcdefgh")},
        {"abcdefgh\xc3\xa9", S("abcdefgh\u00e9")},
        {"abcdefg\xe9", S("abcdefg\u00e9")},
        {"\xac", S("\u00ac")},
        {"abcdefghi\xe2\x82", S("abcdefghi\u00e2\u0082")},
        {"x", S("x")},
        {"", S("")},
    };
    QString buffer;
    for (const Case& c : lines) {
        DecodeLineInto(c.bytes, buffer);
        EXPECT_EQ(buffer, c.text) << c.bytes.toHex().toStdString();
    }
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

// A file rewritten many times over keeps its inode; a link, a second name or
// a pipe planted at its name is replaced instead, never written through.
TEST(TextFile, RewriteFileWritesOnlyAPlainFileInPlace) {
    TempDir dir;
    const QString victim = dir.write(S("victim"), "untouched");
    const auto inode = [](const QString& p) {
        struct stat st {};
        return ::lstat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    struct Case {
        const char* what;
        std::function<void(const QString&)> plant;
        bool inPlace;
    } cases[] = {
        {"plain file",
         [&](const QString& p) { dir.write(FileNameOf(p), "Scheduled,ACCOUNTS,12/08/2026 06:00:00\r\n"); }, true},
        {"missing", [](const QString&) {}, false},
        {"symbolic link", [&](const QString& p) { ASSERT_TRUE(QFile::link(victim, p)); }, false},
        {"second name",
         [&](const QString& p) { ASSERT_EQ(::link(QFile::encodeName(victim), QFile::encodeName(p)), 0); }, false},
        {"named pipe", [](const QString& p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0644), 0); }, false},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.path(QStringLiteral("J%1.trk").arg(++k));
        c.plant(path);
        const ino_t before = inode(path);
        QString error;
        ASSERT_TRUE(RewriteFile(path, "Started,ACCOUNTS,12/08/2026 06:01:02\r\n", &error)) << error.toStdString();
        ASSERT_TRUE(RewriteFile(path, "Failed,ACCOUNTS,12/08/2026 06:01:09\r\n", &error)) << error.toStdString();
        EXPECT_EQ(dir.read(FileNameOf(path)), QByteArray("Failed,ACCOUNTS,12/08/2026 06:01:09\r\n"));
        EXPECT_EQ(inode(path) == before, c.inPlace);
        EXPECT_EQ(dir.read(S("victim")), QByteArray("untouched"));
    }
}

// Publishing never replaces a file: a name taken is reported and the next
// one tried, and a missing file is reported at once, not after the retries
// meant for a file another computer is replacing.
TEST(TextFile, PublishesWithoutReplacing) {
    TempDir dir;
    const QString temp = dir.write(S("a.$$$"), "first");
    EXPECT_EQ(PublishFileNoReplace(temp, dir.path(S("a.eml"))), PublishResult::Published);
    EXPECT_FALSE(QFile::exists(temp));
    EXPECT_EQ(dir.read(S("a.eml")), QByteArray("first"));

    const QString second = dir.write(S("b.$$$"), "second");
    EXPECT_EQ(PublishFileNoReplace(second, dir.path(S("a.eml"))), PublishResult::NameTaken);
    EXPECT_EQ(dir.read(S("a.eml")), QByteArray("first"));
    EXPECT_EQ(dir.read(S("b.$$$")), QByteArray("second"));
    QString error;
    EXPECT_EQ(PublishFileNoReplace(dir.path(S("none.$$$")), dir.path(S("c.eml")), &error), PublishResult::Failed);
    EXPECT_TRUE(error.contains(S("c.eml"))) << error.toStdString();

    // Names 0 and 1 are taken: the third is used, the others stay as they were.
    dir.write(S("n0"), "zero");
    dir.write(S("n1"), "one");
    const QString taken = PublishNewFile(
        dir.path(), "two", [](int k) { return QStringLiteral("n%1").arg(k); }, 10, &error);
    EXPECT_EQ(taken, dir.path(S("n2"))) << error.toStdString();
    EXPECT_EQ(dir.read(S("n0")) + dir.read(S("n1")) + dir.read(S("n2")), QByteArray("zeroonetwo"));
    EXPECT_TRUE(PublishNewFile(
                    dir.path(), "x", [](int k) { return QStringLiteral("n%1").arg(k); }, 2, &error)
                    .isEmpty());
    EXPECT_TRUE(error.contains(S("every free name was taken"))) << error.toStdString();
    EXPECT_TRUE(PublishNewFile(
                    dir.path(S("missing")), "x", [](int) { return S("m"); }, 2, &error)
                    .isEmpty());
    // No temporary file is left by any of it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{S("a.eml"), S("b.$$$"), S("n0"), S("n1"), S("n2")}));

    QElapsedTimer t;
    t.start();
    QByteArray bytes;
    EXPECT_FALSE(ReadFileBytes(dir.path(S("absent")), &bytes, &error));
    EXPECT_TRUE(error.startsWith(S("Cannot open"))) << error.toStdString();
    EXPECT_FALSE(ReadFileBytes(dir.path(), &bytes, &error));
    EXPECT_LT(t.elapsed(), kSharedRetryMs / 2);
    EXPECT_FALSE(PathExists(dir.path(S("absent"))));
    EXPECT_FALSE(IsRegularFile(dir.path()));
    EXPECT_TRUE(IsRegularFile(dir.path(S("n0"))));
}

// Every writer of the system on a disk that is full or read-only: each fails
// with the file and the system's reason, and the old file keeps every byte.
TEST(TextFile, AFailedWriteKeepsTheOldFileAndSaysWhy) {
    SmallDisk disk(512 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    ScopedEnv xdg("XDG_CONFIG_HOME", disk.path(S("config")).toUtf8());
    const QByteArray oldIni = "; kept\r\n[Morvenda]\r\nScheduleName=ACCOUNTS\r\n";
    const QByteArray oldLog = "first line\r\n";
    const QString ini = disk.path(S("a.ini"));
    const QString log = disk.path(S("run.log"));
    const QString trk = disk.path(S("a.trk"));
    ASSERT_TRUE(WriteFileAtomic(ini, oldIni));
    ASSERT_TRUE(WriteFileAtomic(trk, "Started\r\n"));
    ASSERT_TRUE(AppendLine(log, S("first line")));
    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, S("Current"), ini));
    const QString settings = SettingsFilePath();
    const QByteArray oldSettings = disk.read(settings);
    const QByteArray big(96 * 1024, 'x');
    const QString longLine(20000, QLatin1Char('y'));

    struct Case {
        const char* what;
        const char* reason;
        std::function<void()> prepare;
    } cases[] = {
        {"full", "No space left on device", [&] { disk.fill(8192); }},
        {"read-only", "Read-only file system", [&] { ASSERT_TRUE(disk.setReadOnly(true)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        QString error;
        EXPECT_FALSE(WriteFileAtomic(ini, big, &error));
        EXPECT_EQ(error.left(error.indexOf(S(": "))), S("Cannot write \"") + ini + S("\""));
        EXPECT_TRUE(error.endsWith(S(c.reason))) << error.toStdString();
        error.clear();
        EXPECT_FALSE(ReplaceFile(trk, big, &error, 0644, false));
        EXPECT_TRUE(error.endsWith(S(c.reason))) << error.toStdString();
        error.clear();
        EXPECT_FALSE(RewriteFile(trk, big, &error));
        EXPECT_TRUE(error.endsWith(S(c.reason))) << error.toStdString();
        error.clear();
        EXPECT_FALSE(IniPut(gAppName, S("Notes"), QString::fromLatin1(big), ini, &error));
        EXPECT_TRUE(error.contains(ini) && error.endsWith(S(c.reason))) << error.toStdString();
        error.clear();
        EXPECT_FALSE(SaveSetting(gAppName, gRegSection, S("Notes"), QString::fromLatin1(big), &error));
        EXPECT_TRUE(error.contains(settings) && error.endsWith(S(c.reason))) << error.toStdString();
        error.clear();
        // Half a line is taken off again.
        EXPECT_FALSE(AppendLine(log, longLine, &error));
        EXPECT_EQ(error, S("Cannot write to file \"") + log + S("\": ") + S(c.reason));

        EXPECT_EQ(disk.read(ini), oldIni);
        EXPECT_EQ(disk.read(trk), QByteArray("Started\r\n"));
        EXPECT_EQ(disk.read(log), oldLog);
        EXPECT_EQ(disk.read(settings), oldSettings);
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
                  (QStringList{S(".filler"), S("a.ini"), S("a.trk"), S("run.log")}));
        disk.setReadOnly(false);
    }
    // With room again every writer works.
    disk.unfill();
    EXPECT_TRUE(IniPut(gAppName, S("Notes"), S("n"), ini));
    EXPECT_TRUE(AppendLine(log, S("second")));
    EXPECT_EQ(disk.read(log), QByteArray("first line\r\nsecond\r\n"));
}

}  // namespace
