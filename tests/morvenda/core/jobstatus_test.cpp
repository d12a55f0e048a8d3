#include "morvenda/core/jobstatus.h"

#include "common/constants.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"

#include <gtest/gtest.h>

namespace {

// Run date Tuesday 8 December 2026, its day starting at 06:00.
const DateVal kRunDate = DateVal::fromDate(2026, 12, 8);
const DateVal kDayStart = DateVal::fromDateTime(2026, 12, 8, 6, 0, 0);
const DateVal kYesterday = DateVal::fromDateTime(2026, 12, 7, 10, 0, 0);
const DateVal kYesterdayEnd = DateVal::fromDateTime(2026, 12, 7, 10, 5, 0);
const DateVal kToday = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
const DateVal kTodayEnd = DateVal::fromDateTime(2026, 12, 8, 9, 30, 0);
const DateVal kNever;

struct StatusCase {
    const char* what;
    const char* schedFlag;
    const char* frequency;  // "Tue" runs today, "Sat" does not
    const char* skipOn;
    DateVal started;
    DateVal completed;
    bool killed;
    bool endForced;
    int want;
    const char* wantText;
};

class JobStatus : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gRunDate = kRunDate;
        G.gRunDayStart = kDayStart;
        G.Jobs.resize(2);
    }
};

TEST_F(JobStatus, DecisionTable) {
    const StatusCase cases[] = {
        // Rule 1: runs today and nothing started since the day began.
        {"ran yesterday, runs today", "", "Tue", "", kYesterday, kYesterdayEnd, false, false, 0, "Scheduled"},
        {"never ran", "", "Tue", "", kNever, kNever, false, false, 0, "Scheduled"},
        {"failed yesterday, runs today", "", "Tue", "", kYesterday, kYesterdayEnd, true, false, 0, "Scheduled"},
        {"forced yesterday, runs today", "", "Workdays", "", kYesterday, kYesterdayEnd, false, true, 0, "Scheduled"},
        {"empty frequency runs every day", "", "", "", kNever, kNever, false, false, 0, "Scheduled"},
        // Rule 2: scheduled by hand, not started since the day began.
        {"scheduled by hand, not today", "S", "Sat", "", kYesterday, kYesterdayEnd, false, false, 0, "Scheduled"},
        {"scheduled by hand, lower case", "s", "Sat", "", kNever, kNever, false, false, 0, "Scheduled"},
        {"scheduled by hand, skipped", "S", "Tue", "08 Dec 2026", kNever, kNever, false, false, 0, "Scheduled"},
        {"scheduled by hand at the day start", "S", "Sat", "", kDayStart, kYesterday, false, false, 0, "Scheduled"},
        // Rule 3: started today, not ended.
        {"still running at save", "", "Tue", "", kToday, kYesterday, false, false, 1, "Running"},
        {"started at the day start", "", "Tue", "", kDayStart, kNever, false, false, 1, "Running"},
        {"running though unscheduled since", "U", "Tue", "", kToday, kNever, false, false, 1, "Running"},
        // Rule 4: ended today.
        {"completed today", "", "Tue", "", kToday, kTodayEnd, false, false, 2, "Completed"},
        {"completed in no time", "", "Tue", "", kToday, kToday, false, false, 2, "Completed"},
        {"completed, not today's frequency", "S", "Sat", "", kToday, kTodayEnd, false, false, 2, "Completed"},
        // Rule 5: end forced today.
        {"end forced today", "", "Tue", "", kToday, kTodayEnd, false, true, 3, "End Forced"},
        {"end forced after a failure", "", "Tue", "", kToday, kTodayEnd, true, true, 3, "End Forced"},
        // Failed today: stays failed across a restart.
        {"failed today", "", "Tue", "", kToday, kTodayEnd, true, false, 6, "Aborted"},
        {"failed today, scheduled by hand", "S", "Sat", "", kToday, kTodayEnd, true, false, 6, "Aborted"},
        {"failed today, skipped", "", "Tue", "08 Dec 2026", kToday, kTodayEnd, true, false, 6, "Aborted"},
        // Rule 6: skipped today.
        {"skipped today", "", "Tue", "08 Dec 2026", kNever, kNever, false, false, 5, "Not Scheduled"},
        {"skipped every day", "", "Tue", "KEYWORD", kYesterday, kYesterdayEnd, false, false, 5, "Not Scheduled"},
        {"skipped and unscheduled", "U", "Tue", "08 Dec 2026", kNever, kNever, false, false, 5, "Not Scheduled"},
        {"skip on another day", "", "Tue", "09 Dec 2026", kNever, kNever, false, false, 0, "Scheduled"},
        // Rule 7: the frequency does not select the run date.
        {"not today", "", "Sat", "", kNever, kNever, false, false, 5, "Not Scheduled"},
        {"not today, unscheduled", "U", "Sat", "", kNever, kNever, false, false, 5, "Not Scheduled"},
        {"unknown frequency", "", "Fortnightly", "", kNever, kNever, false, false, 5, "Not Scheduled"},
        // Rule 8: unscheduled by hand.
        {"unscheduled by hand", "U", "Tue", "", kYesterday, kYesterdayEnd, false, false, 7, "Unscheduled"},
        {"blank flag is no flag", " ", "Tue", "", kNever, kNever, false, false, 0, "Scheduled"},
    };
    for (const StatusCase& c : cases) {
        JobRec& J = G.Jobs[1];
        J = JobRec();
        J.SchedFlag = S(c.schedFlag);
        J.Frequency = S(c.frequency);
        J.SkipOn = S(c.skipOn) == QLatin1String("KEYWORD") ? gSkipKeyword : S(c.skipOn);
        J.Started = c.started;
        J.Completed = c.completed;
        J.Killed = c.killed;
        J.EndForced = c.endForced;
        J.JobState = jsScheduled;  // as the loader leaves it
        SetJobStatus(1);
        EXPECT_EQ(J.JobState, c.want) << c.what;
        EXPECT_EQ(J.StatusText, S(c.wantText)) << c.what;
    }
}

TEST_F(JobStatus, SetsRunsTodayAndSkipToday) {
    JobRec& J = G.Jobs[1];
    J.Frequency = QStringLiteral("Sat");
    J.SkipOn = QStringLiteral("08 Dec 2026");
    J.RunsToday = true;
    SetJobStatus(1);
    EXPECT_FALSE(J.RunsToday);
    EXPECT_TRUE(J.SkipToday);

    J.Frequency = QStringLiteral("Tue");
    J.SkipOn.clear();
    SetJobStatus(1);
    EXPECT_TRUE(J.RunsToday);
    EXPECT_FALSE(J.SkipToday);
}

TEST_F(JobStatus, TheCopyBufferAndMissingJobsAreLeftAlone) {
    G.Jobs[0].Frequency = QStringLiteral("Sat");
    G.Jobs[0].JobState = jsRunning;
    G.Jobs[0].StatusText = QStringLiteral("Running");
    const JobRec before = G.Jobs[0];
    SetJobStatus(0);
    SetJobStatus(2);
    SetJobStatus(-1);
    EXPECT_EQ(G.Jobs[0], before);
}

TEST_F(JobStatus, StateTexts) {
    const char* texts[] = {"Scheduled", "Running",       "Completed", "End Forced",
                           "",          "Not Scheduled", "Aborted",   "Unscheduled"};
    for (int s = 0; s < 8; ++s) EXPECT_EQ(JobStateText(s), S(texts[s])) << s;
    EXPECT_EQ(JobStateText(8), QString());
}

}  // namespace
