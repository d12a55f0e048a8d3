#include "morvenda/core/jobindex.h"

#include "common/constants.h"
#include "common/textfile.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A job table (copy buffer first) of jobs named with their trigger files.
JobTable Table(const std::vector<std::pair<QString, QString>>& jobs) {
    JobTable t(1);
    for (const auto& [name, trigger] : jobs) {
        t.emplace_back();
        t.back().JobName = name;
        t.back().TriggerFile = trigger;
    }
    return t;
}

TEST(JobIndex, MergeReplacesOnlyThisSchedulesShare) {
    const QString stdTrig = gStdTrigger;
    struct Case {
        const char* what;
        QStringList existing;
        const char* sched;
        JobTable jobs;
        QStringList want;
    };
    const Case cases[] = {
        {"others kept in order, ours appended in table order",
         {S("PAYROLL (ACCOUNTS)"), S("OLD (ACC)"), S("LOAD (STOCK)")},
         "ACC",
         Table({{S("B"), stdTrig}, {S("NOTRIG"), S("/tmp/x.trg")}, {S("A"), S("  ") + stdTrig + S(" ")}, {S("C"), {}}}),
         {S("PAYROLL (ACCOUNTS)"), S("LOAD (STOCK)"), S("B (ACC)"), S("A (ACC)")}},
        {"no standard-trigger jobs removes our lines",
         {S("X (ACC)"), S("Y (OTHER)")},
         "ACC",
         Table({{S("X"), QString()}}),
         {S("Y (OTHER)")}},
        {"schedule names compared without case, trimmed",
         {S("x (acc)"), S("y (Acc)"), S("z (ACCT)")},
         " ACC ",
         Table({{S("NEWNAME "), stdTrig}}),
         {S("z (ACCT)"), S("NEWNAME (ACC)")}},
        {"empty list", {}, "S1", Table({{S("J"), stdTrig}}), {S("J (S1)")}},
    };
    for (const Case& c : cases) EXPECT_EQ(MergeJobIndexLines(c.existing, S(c.sched), c.jobs), c.want) << c.what;
}

class JobIndexTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gTriggerPath = dir.path();
        G.gJobIndexFile = dir.path(S("Triggers.Lst"));
        G.gSchedName = S("ACC");
        G.gSchedFile = dir.path(S("acc.sch"));
        G.gRunDate = DateVal::fromDate(2026, 12, 10);
    }
};

TEST_F(JobIndexTest, SaveCreatesThenRewritesTheList) {
    G.Jobs = Table({{S("PAY"), gStdTrigger}, {S("QUIET"), QString()}});
    ASSERT_FALSE(QFileInfo::exists(G.gJobIndexFile));
    ASSERT_TRUE(SaveSchedule());
    EXPECT_EQ(dir.read(S("Triggers.Lst")), QByteArray("PAY (ACC)\r\n"));

    // Another schedule's lines are kept; a renamed job appears under its new
    // name only.
    dir.write(S("Triggers.Lst"), "PAYROLL (ACCOUNTS)\r\nPAY (ACC)\r\nLOAD (STOCK)\n");
    G.Jobs[1].JobName = S("PAYNEW");
    ASSERT_TRUE(SaveSchedule());
    EXPECT_EQ(dir.read(S("Triggers.Lst")), QByteArray("PAYROLL (ACCOUNTS)\r\nLOAD (STOCK)\r\nPAYNEW (ACC)\r\n"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(JobIndexTest, EmptyNameDoesNothing) {
    G.gJobIndexFile.clear();
    G.Jobs = Table({{S("PAY"), gStdTrigger}});
    UpdateJobIndexFile();
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("Triggers.Lst"))));
}

TEST_F(JobIndexTest, FailureIsReportedAndSaveGoesOn) {
    G.gJobIndexFile = dir.path(S("no-such-folder/Triggers.Lst"));
    G.Jobs = Table({{S("PAY"), gStdTrigger}});
    EXPECT_TRUE(SaveSchedule());
    EXPECT_EQ(prompts.messages,
              QStringList{gPathMsgPrefix + G.gJobIndexFile + S(".lock\"\n\nNo such file or directory")});
    EXPECT_TRUE(QFileInfo::exists(G.gSchedFile));
}

TEST_F(JobIndexTest, SchedulesRewritingAtOnceKeepEachOthersLines) {
    // Each thread stands for a schedule saving at the same moment as the
    // others; with the lock, no rewrite can drop a line another schedule wrote
    // meanwhile. Repeated on a fresh list, since a lost line is a race.
    constexpr int kSchedules = 12;
    constexpr int kTrials = 10;
    for (int trial = 0; trial < kTrials; ++trial) {
        const QString file = dir.path(QStringLiteral("Triggers%1.Lst").arg(trial));
        std::atomic<int> ready{0};
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int s = 0; s < kSchedules; ++s) {
            threads.emplace_back([s, &file, &ready, &failures] {
                const JobTable jobs = Table({{QStringLiteral("J%1").arg(s), gStdTrigger}});
                ++ready;
                while (ready.load() < kSchedules) std::this_thread::yield();
                if (!RewriteJobIndexFile(file, QStringLiteral("S%1").arg(s), jobs)) ++failures;
            });
        }
        for (std::thread& t : threads) t.join();
        ASSERT_EQ(failures.load(), 0);
        QStringList lines;
        ASSERT_TRUE(ReadTextLines(file, &lines));
        lines.sort();
        QStringList want;
        for (int s = 0; s < kSchedules; ++s) want << QStringLiteral("J%1 (S%1)").arg(s);
        want.sort();
        ASSERT_EQ(lines, want) << "trial " << trial;
    }
}

}  // namespace
