#include "morvenda/execution/journal.h"

#include "common/atomicfile.h"
#include "morvenda/core/journalfile.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// A journal written by hand, as a crash leaves it, laid over the schedule.
TEST(RunJournal, ReplayLaysTheRecordsOverTheSchedule) {
    ResetState();
    TempDir dir;
    G.gSchedFile = dir.path(S("Live.sch"));
    for (const char* name : {"DONE", "FAILED", "HELD", "RERUN", "TORN", "FORCED"}) {
        JobRec j;
        j.JobName = S(name);
        j.Started = DateVal::fromSeconds(1000);
        j.Completed = DateVal::fromSeconds(1100);
        j.LastDuration = 30;
        j.EndForced = QByteArray(name) == "FORCED";
        G.Jobs.push_back(j);
    }
    dir.write(S("Live.sch.journal"),
              "S\tDONE\t5000\t77000\t111\t222\t333\t1000\t1100\n"
              "P\tDONE\n"
              "E\tDONE\t0\t0\t5060\t77060\t60\t60\t\n"
              "X\tDONE\t4\n"  // effects stopped after the completion line
              "S\tFAILED\t5000\t77000\t112\t223\t334\t1000\t1100\n"
              "P\tFAILED\n"
              "E\tFAILED\t1\t0\t5010\t77010\t10\t10\tExit code 2\n"
              "X\tFAILED\t1\nX\tFAILED\t2\nX\tFAILED\t4\nX\tFAILED\t7\n"  // all done
              "S\tHELD\t5000\t77000\t113\t224\t335\t1000\t1100\n"
              "C\tHELD\t1000\t1100\n"  // its program never ran
              "S\tRERUN\t5000\t77000\t114\t225\t336\t1000\t1100\n"
              "P\tRERUN\n"
              "E\tRERUN\t0\t1\t5005\t77005\t5\t5\t\n"
              "X\tRERUN\t7\n"                                 // rescheduled ...
              "S\tNOSUCH\t5000\t77000\t1\t2\t3\t0\t0\n"       // a job no longer in the schedule
              "S\tRERUN\t6000\t78000\t116\t227\t337\t0\t0\n"  // submitted again, its effects not done
              "E\tFORCED\t0\t0\t5070\t77070\t70\t70\t\t1\n"   // a forced end ...
              "X\tFORCED\t8\n"                                // ... its forced-completion line written
              "S\tTORN\t5000\t77000\t115\t226");              // cut short by the crash
    const PendingWork work = ReplayRunJournal();
    const std::vector<PendingEnding>& pending = work.Endings;
    EXPECT_EQ(work.Submissions, std::vector<int>{4});

    const JobRec& done = G.Jobs[1];
    EXPECT_EQ(done.Started, DateVal::fromSeconds(5000));
    EXPECT_EQ(done.StartedReal, 77000);
    EXPECT_EQ(done.Completed, DateVal::fromSeconds(5060));
    EXPECT_EQ(done.ProcInfo, (ProcessInfo{222, 333, 111, 111}));
    EXPECT_EQ(done.LastDuration, 60);
    EXPECT_FALSE(done.Killed);
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].Job, 1);
    EXPECT_EQ(pending[0].Done, 0b11110u);  // steps 1 to 4
    EXPECT_EQ(pending[0].Record.Span, 60);
    EXPECT_FALSE(pending[0].Record.Forced);
    // A recorded forced end is an ending: never forced again.
    EXPECT_EQ(pending[1].Job, 6);
    EXPECT_TRUE(pending[1].Record.Forced);
    EXPECT_EQ(pending[1].Done, StepBit(EndStep::ForcedLine));
    EXPECT_FALSE(G.Jobs[6].EndForced);

    EXPECT_TRUE(G.Jobs[2].Killed);
    EXPECT_EQ(G.Jobs[2].ErrorText, S("Exit code 2"));
    EXPECT_EQ(G.Jobs[3].Started, DateVal::fromSeconds(1000));
    EXPECT_EQ(G.Jobs[3].Completed, DateVal::fromSeconds(1100));
    EXPECT_EQ(G.Jobs[4].Started, DateVal::fromSeconds(6000));
    EXPECT_TRUE(G.Jobs[4].Completed.isZero());
    EXPECT_EQ(G.Jobs[5].Started, DateVal::fromSeconds(1000));

    // A save holds it all: the journal is emptied.
    ScriptedPrompter prompts;
    ASSERT_TRUE(SaveSchedule());
    EXPECT_EQ(dir.read(S("Live.sch.journal")), QByteArray());
    EXPECT_TRUE(ReplayRunJournal().empty());
    CloseRunJournal();
    ResetState();
}

}  // namespace

namespace {

// A record with a field the schedule file could not hold is damaged: it is
// refused whole and said in the run log; the job keeps what it had.
TEST(RunJournal, ReplayRefusesFieldsOutOfRange) {
    const struct {
        const char* record;
        bool applied;
    } cases[] = {
        {"S\tJOB\t5000\t77000\t111\t222\t333\t0\t0\t46000", true},
        {"S\tJOB\t9223372036854775807\t77000\t111\t222\t333\t0\t0", false},   // beyond the year 9999
        {"S\tJOB\t-9223372036854775808\t77000\t111\t222\t333\t0\t0", false},  // before the year 1
        {"S\tJOB\t5000\t77000\t111\t222\t333\t0\t0\t99999999999", false},     // a run date tag too large
        {"S\tJOB\tfive\t77000\t111\t222\t333\t0\t0", false},                  // no number
        {"C\tJOB\t5000\t400000000000\t46000", false},                         // Completed beyond 9999
        {"E\tJOB\t0\t0\t5060\t-9223372036854775808\t60\t60\t", false},        // its real moment
        {"E\tJOB\t0\t0\t5060\t77060\t60\t99999999999\t", false},              // LastDuration
        {"E\tJOB\t0\t0\t5060\t77060\t60\t60\t", true},
    };
    for (const auto& c : cases) {
        ResetState();
        TempDir dir;
        G.gSchedFile = dir.path(S("Live.sch"));
        G.gLogFile = dir.path(S("run.log"));
        JobRec j;
        j.JobName = S("JOB");
        j.Started = DateVal::fromSeconds(1000);
        j.Completed = DateVal::fromSeconds(1100);
        G.Jobs.push_back(j);
        dir.write(S("Live.sch.journal"), QByteArray(c.record) + "\n");
        const PendingWork work = ReplayRunJournal();
        const bool changed = Job(1).Started != j.Started || Job(1).Completed != j.Completed;
        EXPECT_EQ(changed, c.applied) << c.record;
        EXPECT_EQ(work.Replayed, true) << c.record;
        EXPECT_EQ(dir.read(S("run.log")).contains("damaged"), !c.applied) << c.record;
    }
    ResetState();
}

// A record whose write fails half-way leaves nothing of itself: the next
// record starts on a line of its own and is replayed.
TEST(RunJournal, AFailedWriteIsCutBackToTheLastWholeRecord) {
    ResetState();
    TempDir dir;
    G.gSchedFile = dir.path(S("Live.sch"));
    AddJobs({JobBuilder(S("ONE")), JobBuilder(S("TWO"))});
    static int fail = 0;
    SetIoFaultHook([](IoStep step, const char*) { return step == IoStep::Write && fail-- == 1 ? ENOSPC : 0; });
    QString error;
    Job(1).Started = DateVal::fromSeconds(5000);
    ASSERT_TRUE(JournalSubmission(1, DateVal(), DateVal(), &error)) << error.toStdString();
    fail = 1;
    Job(2).Started = DateVal::fromSeconds(6000);
    EXPECT_FALSE(JournalSubmission(2, DateVal(), DateVal(), &error));
    EXPECT_TRUE(error.contains(S("No space left on device"))) << error.toStdString();
    ASSERT_TRUE(JournalSubmission(2, DateVal(), DateVal(), &error)) << error.toStdString();
    SetIoFaultHook(nullptr);
    CloseRunJournal();
    EXPECT_EQ(dir.read(S("Live.sch.journal")).count('\n'), 2);
    Job(1).Started = Job(2).Started = DateVal();
    EXPECT_EQ(ReplayRunJournal().Submissions, (std::vector<int>{1, 2}));
    EXPECT_EQ(Job(2).Started, DateVal::fromSeconds(6000));
    ResetState();
}

}  // namespace
