#include "common/filelock.h"

#include "tests/support/testing.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A lock kept by another past the wait is not taken, and the message names
// the file and the computer and process that hold it; once let go, it is
// taken, and the record is cleared on release.
TEST(FileLock, WaitIsBoundedAndNamesTheHolder) {
    TempDir dir;
    const QString path = dir.path(S("Triggers.Lst.lock"));
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    {
        FileLock first(path, 1000);
        ASSERT_TRUE(first.held()) << first.error().toStdString();
        const QString holder =
            QStringLiteral("computer %1 (process %2)").arg(QString::fromLocal8Bit(host)).arg(::getpid());
        EXPECT_EQ(LockHolder(path), holder);
        QElapsedTimer t;
        t.start();
        FileLock second(path, 200);
        EXPECT_GE(t.elapsed(), 200);
        EXPECT_FALSE(second.held());
        EXPECT_TRUE(second.busy());
        EXPECT_EQ(second.error(), S("The file \"") + path + S("\" is in use by ") + holder);
    }
    EXPECT_EQ(LockHolder(path), QString());
    FileLock again(path, 0);
    EXPECT_TRUE(again.held());

    // A lock file that cannot be made is an error of its own, not a holder.
    FileLock none(dir.path(S("missing/x.lock")), 0);
    EXPECT_FALSE(none.held());
    EXPECT_FALSE(none.busy());
    EXPECT_TRUE(none.error().startsWith(S("Cannot open"))) << none.error().toStdString();
}

}  // namespace
