#include "platform/durablefile.h"

#include "tests/support/fulldisk.h"
#include "tests/support/testing.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Every step that fails says why in the system's words, and a failed append
// is cut back to the last whole record, which a later open appends after.
TEST(DurableFile, FailuresSayWhyAndACutBackKeepsTheWholeRecords) {
    TempDir dir;
    const QString journal = dir.path(QStringLiteral("run.journal"));
    const QString link = dir.path(QStringLiteral("link.journal"));
    ASSERT_TRUE(QFile::link(journal, link));
    int closed = -1;
    struct Case {
        const char* step;
        std::function<bool(QString*)> run;
        const char* reason;
    } cases[] = {
        {"open in a missing folder",
         [&](QString* e) { return OpenDurable(dir.path(QStringLiteral("none/j")), e) >= 0; },
         "No such file or directory"},
        {"open a missing file that must exist",
         [&](QString* e) { return OpenDurable(journal, e, WhenMissing::Fail) >= 0; }, "No such file or directory"},
        {"open through a symbolic link", [&](QString* e) { return OpenDurable(link, e) >= 0; },
         "Too many levels of symbolic links"},
        {"append to nothing open", [&](QString* e) { return DurableAppend(closed, "x", 1, e); }, "Bad file descriptor"},
        {"sync nothing open", [&](QString* e) { return DurableSync(closed, e); }, "Bad file descriptor"},
        {"cut back nothing open", [&](QString* e) { return DurableCutBack(closed, 0, e); }, "Bad file descriptor"},
        {"length of nothing open", [&](QString* e) { return DurableLength(closed, e) >= 0; }, "Bad file descriptor"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(c.run(&error)) << c.step;
        EXPECT_EQ(error, QString::fromUtf8(c.reason)) << c.step;
    }
    EXPECT_FALSE(QFile::exists(journal)) << "no open made the file through the link or without leave";

    SmallDisk disk(64 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    const QString onDisk = disk.path(QStringLiteral("run.journal"));
    int fd = OpenDurable(onDisk, nullptr);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(DurableAppend(fd, "S 1\n", 4, nullptr));
    ASSERT_TRUE(DurableSync(fd, nullptr));
    const qint64 whole = DurableLength(fd, nullptr);
    EXPECT_EQ(whole, 4);
    disk.fill();
    const QByteArray big(256 * 1024, 'x');
    QString error;
    EXPECT_FALSE(DurableAppend(fd, big.constData(), static_cast<size_t>(big.size()), &error));
    EXPECT_EQ(error, QStringLiteral("No space left on device"));
    EXPECT_TRUE(DurableCutBack(fd, whole, nullptr));
    disk.unfill();
    DurableClose(&fd);
    EXPECT_EQ(fd, -1);
    fd = OpenDurable(onDisk, nullptr, WhenMissing::Fail);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(DurableAppend(fd, "E 1\n", 4, nullptr));
    DurableClose(&fd);
    EXPECT_EQ(disk.read(onDisk), "S 1\nE 1\n");
}

}  // namespace
