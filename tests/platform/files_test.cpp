#include "platform/files.h"

#include "tests/support/testing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

TEST(Files, WriteAccessFollowsThePermissionBits) {
    TempDir dir;
    const QString writable = dir.write(QStringLiteral("rw"), "x");
    const QString readOnly = dir.write(QStringLiteral("ro"), "x");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    struct Case {
        QString path;
        WriteAccess access;
    } cases[] = {
        {writable, WriteAccess::Writable},
        // Read-only on purpose, even for a user (root) who could write it.
        {readOnly, WriteAccess::ReadOnly},
        {dir.path(QStringLiteral("none")), WriteAccess::Missing},
    };
    for (const Case& c : cases) EXPECT_EQ(FileWriteAccess(c.path), c.access) << c.path.toStdString();
}

// A second name replaces the old file in one step, or nothing changes and no
// temporary link is left; a failure says why in the system's words.
TEST(Files, LinkReplacingAndRenameSayWhyTheyFailed) {
    TempDir dir;
    const QString live = dir.write(QStringLiteral("live"), "new");
    const QString backup = dir.write(QStringLiteral("backup"), "old");
    dir.write(QStringLiteral("folder/inside"), "x");
    struct Case {
        QString existing;
        QString name;
        LinkResult result;
        const char* reason;
    } cases[] = {
        {live, backup, LinkResult::Done, ""},
        {dir.path(QStringLiteral("none")), backup, LinkResult::NoLink, ""},
        {live, dir.path(QStringLiteral("folder")), LinkResult::Failed, "Is a directory"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(LinkReplacing(c.existing, c.name, &error), c.result) << c.name.toStdString();
        EXPECT_EQ(error, QString::fromUtf8(c.reason)) << c.name.toStdString();
        EXPECT_FALSE(QFileInfo::exists(c.name + QStringLiteral(".new"))) << c.name.toStdString();
    }
    EXPECT_EQ(dir.read(backup), "new");
    EXPECT_EQ(dir.read(live), "new");

    QString error;
    EXPECT_FALSE(RenameFile(dir.path(QStringLiteral("none")), backup, &error));
    EXPECT_EQ(error, QStringLiteral("No such file or directory"));
    const QString staged = dir.write(QStringLiteral("staged"), "newer");
    EXPECT_TRUE(RenameFile(staged, live, &error));
    EXPECT_FALSE(QFileInfo::exists(staged));
    EXPECT_EQ(dir.read(live), "newer");
    EXPECT_EQ(dir.read(backup), "new") << "the backup is a name of its own";
}

}  // namespace
