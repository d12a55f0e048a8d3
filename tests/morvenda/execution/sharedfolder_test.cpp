#include "common/textfile.h"
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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("MRV_GO_FILE"), dir.path(S("go")));
    for (int k = 0; k < 2; ++k) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(MRV_NETFSWORKER),
                 {S("messages"), dir.path(S("Messages")), dir.path(QStringLiteral("w%1.log").arg(k)),
                  QStringLiteral("PAYROLL%1").arg(k), QString::number(kEach), QStringLiteral("W%1").arg(k)});
        ASSERT_TRUE(p->waitForStarted());
        workers.push_back(std::move(p));
    }
    dir.write(S("go"), "go");
    for (auto& p : workers) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    QSet<QString> subjects;
    const QStringList files = QDir(dir.path(S("Messages"))).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : files) {
        EXPECT_TRUE(f.endsWith(S(".eml"))) << f.toStdString();
        QStringList lines;
        ASSERT_TRUE(ReadTextLines(dir.path(S("Messages/") + f), &lines));
        for (const QString& l : lines)
            if (l.startsWith(S("SUBJ="))) subjects.insert(l.mid(5));
    }
    EXPECT_EQ(files.size(), 2 * kEach);
    EXPECT_EQ(subjects.size(), 2 * kEach);
    // Nothing was given up: neither run log says a message was not written.
    for (int k = 0; k < 2; ++k) EXPECT_EQ(dir.read(QStringLiteral("w%1.log").arg(k)), QByteArray());
}

}  // namespace
