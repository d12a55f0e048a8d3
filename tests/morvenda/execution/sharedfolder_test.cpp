#include "tests/support/messagefolders.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Two schedulers (two processes) write 300 end-of-job messages each into one
// messages folder at the same moment, for jobs whose names share their first
// four characters, so that both keep choosing the same free names: every
// message arrives, none written over another.
TEST(SharedFolder, MessagesOfTwoSchedulersInOneFolderAllArrive) {
    constexpr int kEach = 300;
    TempDir dir;
    QDir().mkpath(dir.path(S("Messages")));
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int k = 0; k < 2; ++k) {
        workers.push_back(
            StartProgram(QStringLiteral(MRV_NETFSWORKER),
                         {S("messages"), dir.path(S("Messages")), dir.path(QStringLiteral("w%1.log").arg(k)),
                          QStringLiteral("PAYROLL%1").arg(k), QString::number(kEach), QStringLiteral("W%1").arg(k)},
                         {{"MRV_GO_FILE", dir.path(S("go"))}}));
        ASSERT_EQ(workers.back()->state(), QProcess::Running);
    }
    dir.write(S("go"), "go");
    for (auto& p : workers) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    QSet<QString> subjects;
    int files = 0;
    ASSERT_NO_FATAL_FAILURE(ReadMessageSubjects(dir.path(S("Messages")), &subjects, &files));
    EXPECT_EQ(files, 2 * kEach);
    EXPECT_EQ(subjects.size(), 2 * kEach);
    // Nothing was given up: neither run log says a message was not written.
    for (int k = 0; k < 2; ++k) EXPECT_EQ(dir.read(QStringLiteral("w%1.log").arg(k)), QByteArray());
}

}  // namespace
