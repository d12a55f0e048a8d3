#include "morvenda/core/state.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "morvenda/core/journalfile.h"
#include "morvenda/core/runlog.h"
#include "morvenda/execution/journal.h"
#include "morvenda/execution/triggers.h"
#include "tests/support/statefixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

// What the program remembers from its state goes with it: a fresh state
// (a test's, or a new schedule's) never meets a run log line, a journal
// record, a kept ending or a dummy run's trigger file of the state before.
// Each case leaves something behind in a state with job OLD, then checks a
// fresh state that holds the same job.
TEST(ResetState, LeavesNothingOfTheStateBefore) {
    TempDir dir;
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
    ScriptedPrompter prompts;
    const QString trigger = dir.path(S("trg/OLD.trg"));
    struct Case {
        const char* what;
        std::function<void()> leave;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"run log lines that could not be written",
         [&] {
             try {
                 const RunLogBatch batch;
                 WriteLog(dir.path(S("missing/yyyymmdd.log")), S("old line"));
             } catch (const FatalStop&) {
             }
         },
         [&] { EXPECT_TRUE(FlushRunLogQuietly()) << "an old line still waits"; }},
        {"journal records waiting in memory", [&] { JournalSubmitted(1); },
         [&] {
             CloseRunJournal();
             EXPECT_EQ(dir.read(S("sched.sch.journal")), QByteArray());
         }},
        {"endings kept for a later pass",
         [&] {
             PendingEnding ending;
             ending.Job = 1;
             KeepUnfinishedEnding(ending);
         },
         [&] { EXPECT_TRUE(UnfinishedEndingsToTry().empty()); }},
        {"trigger files a dummy run wrote",
         [&] {
             G.gDummyRun = true;
             Job(1).TriggerFile = gStdTrigger;
             ASSERT_TRUE(CrtTrigger(1));
         },
         [&] {
             G.gDummyRun = true;
             Job(1).WaitForFile = S("..OLD");
             DeleteTrigger(1);
             EXPECT_TRUE(QFile::exists(trigger)) << "a dummy run deleted a file it did not write";
         }},
    };
    QDir().mkpath(dir.path(S("trg")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& step : {c.leave, c.check}) {
            UseTempScheduler(dir);
            G.gTriggerPath = dir.path(S("trg"));
            AddJob(S("OLD"), S("true"));
            step();
        }
        QFile::remove(dir.path(S("sched.sch.journal")));
    }
    ResetState();
}

}  // namespace
