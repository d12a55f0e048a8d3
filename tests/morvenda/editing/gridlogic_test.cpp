#include "morvenda/editing/gridlogic.h"

#include "common/constants.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"

#include <functional>

#include <gtest/gtest.h>

// The grid's cell texts and its operations on the job table.

namespace {

JobRec Full() {
    JobRec J;
    J.JobName = S(" PAYROLL");
    J.Group = S("PAY ");
    J.CommandLine = S("  /opt/pay/run.sh -x ");
    J.JobDesc = S(" Monthly pay ");
    J.DosProgram = true;
    J.AutoResched = 2;
    J.CpuUsage = 30;
    J.DateVars = {S("RUNDATE,RunDate,0,yyyymmdd"), S("\"PR,EV\",x"), S("NEXT,1"), S(""), S(""), S(""), S("")};
    J.EarlyStartText = S("9:30");
    J.Frequency = S(" WorkDays ");
    J.RunAfter = QStringList{S(" EXTRACT "), S("LOAD")};
    J.RunAfterStatus = S("SF");
    J.WaitForFile = S("..  OTHER ");
    J.Exclusive = S(" DB ");
    J.SkipOn = S(" 8 Dec 2026 ");
    J.StatusText = S("Completed");
    J.JobState = jsCompleted;
    J.Started = DateVal::fromDateTime(2026, 12, 8, 9, 5, 0);
    J.Completed = DateVal::fromDateTime(2026, 12, 8, 10, 45, 0);
    J.EojTo = S(" ops ");
    J.EojCc = S("boss");
    J.TriggerFile = S(" *Standard* ");
    J.AbEojCc = S("night");
    return J;
}

TEST(GridCellText, EveryColumn) {
    const JobRec J = Full();
    const char* const expected[kGridColCount] = {"PAYROLL",
                                                 "PAY",
                                                 "/opt/pay/run.sh -x",
                                                 "Monthly pay",
                                                 "True",
                                                 "False",
                                                 "Unconditional",
                                                 "30",
                                                 "RUNDATE,PR,EV,NEXT,,,,",
                                                 "9:30 ",
                                                 "WorkDays",
                                                 "EXTRACT(S),LOAD(F)",
                                                 "Inter(OTHER)",
                                                 "DB",
                                                 "8 Dec 2026",
                                                 "False",
                                                 "Completed",
                                                 "09:05",
                                                 "10:45",
                                                 "To: ops Cc: boss",
                                                 "(Standard)",
                                                 " Cc: night",
                                                 "False"};
    for (int c = 0; c < kGridColCount; ++c) EXPECT_EQ(GridCellText(J, c), S(expected[c])) << "column " << c;
}

TEST(GridCellText, Variants) {
    struct Case {
        const char* what;
        std::function<void(JobRec&)> change;
        int col;
        const char* text;
    };
    const Case cases[] = {
        {"no auto reschedule", [](JobRec& J) { J.AutoResched = 0; }, 6, ""},
        {"on success", [](JobRec& J) { J.AutoResched = 1; }, 6, "Success"},
        {"on failure", [](JobRec& J) { J.AutoResched = 3; }, 6, "Failure"},
        {"unknown", [](JobRec& J) { J.AutoResched = 9; }, 6, ""},
        {"no CPU", [](JobRec& J) { J.CpuUsage = 0; }, 7, ""},
        {"no variables", [](JobRec& J) { J.DateVars = {}; }, 8, ",,,,,,"},
        {"no start", [](JobRec& J) { J.EarlyStartText.clear(); }, 9, "     "},
        {"no dependency",
         [](JobRec& J) {
             J.RunAfter.clear();
             J.RunAfterStatus.clear();
         },
         11, ""},
        {"empty entry shown, never fatal",
         [](JobRec& J) {
             J.RunAfter = QStringList{S("A"), S(" "), S("B")};
         },
         11, "A(S),(empty entry),B()"},
        {"file wait", [](JobRec& J) { J.WaitForFile = S(" /data/in.csv "); }, 12, "File(/data/in.csv)"},
        {"no wait", [](JobRec& J) { J.WaitForFile = S("  "); }, 12, ""},
        {"scheduled: no times", [](JobRec& J) { J.JobState = jsScheduled; }, 17, "     "},
        {"not scheduled: no times", [](JobRec& J) { J.JobState = jsNotScheduled; }, 18, "     "},
        {"running, not ended",
         [](JobRec& J) {
             J.JobState = jsRunning;
             J.Completed = DateVal();
         },
         18, "00:00"},
        {"only a copy", [](JobRec& J) { J.EojTo.clear(); }, 19, " Cc: boss"},
        {"only a recipient", [](JobRec& J) { J.EojCc = S(" "); }, 19, "To: ops"},
        {"own trigger file", [](JobRec& J) { J.TriggerFile = S(" /t/x.trg "); }, 20, "/t/x.trg"},
        {"description True is text", [](JobRec& J) { J.JobDesc = S("True"); }, 3, "True"},
        {"critical", [](JobRec& J) { J.Critical = true; }, 22, "True"},
        {"deferred", [](JobRec& J) { J.DeferRollover = true; }, 15, "True"},
    };
    for (const Case& c : cases) {
        JobRec J = Full();
        c.change(J);
        EXPECT_EQ(GridCellText(J, c.col), S(c.text)) << c.what;
    }
    // Pictures only for the four flag columns.
    for (int c = 0; c < kGridColCount; ++c) EXPECT_EQ(IsFlagColumn(c), c == 4 || c == 5 || c == 15 || c == 22) << c;
}

TEST(JobBatchFile, ScriptProgramsOnly) {
    struct Case {
        const char* command;
        const char* batch;
    };
    const Case cases[] = {
        {"/opt/pay/run.sh -x", "/opt/pay/run.sh"},
        {"C:\\JOBS\\NIGHT.BAT arg", "C:\\JOBS\\NIGHT.BAT"},
        {"a.bat", "a.bat"},  // one letter and the extension
        {".bat x", ""},      // the bare extension
        {".sh", ""},
        {"\"/opt/my jobs/go.SH\" now", "/opt/my jobs/go.SH"},
        {"/usr/bin/backup --to /x.sh", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        JobRec J;
        J.CommandLine = S(c.command);
        EXPECT_EQ(JobBatchFile(J), S(c.batch)) << c.command;
    }
}

class GridOpsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 14, 30, 0));
        UseRunDate();
        for (const char* name : {"A", "B", "C", "D", "E"}) JobBuilder(S(name)).frequency(S("Daily")).add();
    }
    static QString Order() {
        QString s;
        for (int j = 1; j <= JobCount(); ++j) s += Job(j).JobName;
        return s;
    }
};

TEST_F(GridOpsTest, MovesAndRemovalKeepTheOthersInOrder) {
    G.Jobs[0].JobName = S("BUFFER");
    EXPECT_EQ(MoveJob(5, 2), 2);
    EXPECT_EQ(Order(), S("AEBCD"));
    EXPECT_EQ(MoveJob(1, 4), 4);
    EXPECT_EQ(Order(), S("EBCAD"));
    EXPECT_EQ(MoveJob(3, 9), 3);  // not a job: nothing moves
    EXPECT_EQ(MoveJob(0, 2), 0);
    EXPECT_EQ(Order(), S("EBCAD"));
    EXPECT_EQ(G.Jobs[0].JobName, S("BUFFER"));
    EXPECT_EQ(FindJob(S("A")), 4);  // the name index follows
    RemoveJob(2);
    EXPECT_EQ(Order(), S("ECAD"));
    EXPECT_EQ(FindJob(S("D")), 4);
}

TEST_F(GridOpsTest, CopyAndNew) {
    G.Jobs[2].JobDesc = S("second");
    G.Jobs[2].JobName = S(" B ");
    CopyJob(2);
    EXPECT_TRUE(G.gJobCopied);
    EXPECT_EQ(G.Jobs[0].JobName, S("B"));
    const int pasted = AddNewJob(true);
    EXPECT_EQ(pasted, 6);
    EXPECT_EQ(G.Jobs[6].JobName, S(""));
    EXPECT_EQ(G.Jobs[6].JobDesc, S("second"));
    const int blank = AddNewJob(false);
    EXPECT_EQ(Job(blank).Frequency, S("WorkDays"));
    EXPECT_EQ(Job(blank).DateVars[0], gDefDateVars[0]);
}

TEST_F(GridOpsTest, SkipModes) {
    G.Jobs[1].SkipOn = gSkipKeyword;
    G.Jobs[2].SkipOn = S("1 Jan 2027");  // skipped on another day
    const std::vector<int> all{1, 2, 3};
    SkipJobs({2, 3}, SkipMode::Toggle);
    EXPECT_EQ(G.Jobs[2].SkipOn, S(""));
    EXPECT_EQ(G.Jobs[3].SkipOn, S("8 Dec 2026"));
    SkipJobs(all, SkipMode::SkipAll);
    EXPECT_EQ(G.Jobs[1].SkipOn, gSkipKeyword);
    EXPECT_EQ(G.Jobs[2].SkipOn, S("8 Dec 2026"));
    SkipJobs(all, SkipMode::UnskipAll);
    EXPECT_EQ(G.Jobs[1].SkipOn, gSkipKeyword);
    EXPECT_EQ(G.Jobs[2].SkipOn, S(""));
    EXPECT_EQ(G.Jobs[3].SkipOn, S(""));
}

TEST_F(GridOpsTest, RescheduleOneGivesTheStateTheStatusDecisionKeeps) {
    const DateVal morning = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
    const DateVal noon = DateVal::fromDateTime(2026, 12, 8, 12, 0, 0);
    struct Case {
        const char* what;
        std::function<void(JobRec&)> setup;
        int state;
        const char* flag;
        int reloaded = -1;  // the state a reload gives, when it differs
    };
    const Case cases[] = {
        {"completed is rescheduled",
         [&](JobRec& J) {
             J.Started = morning;
             J.Completed = noon;
         },
         jsScheduled, ""},
        {"failed is rescheduled",
         [&](JobRec& J) {
             J.Started = morning;
             J.Completed = noon;
             J.Killed = true;
         },
         jsScheduled, ""},
        {"unscheduled is rescheduled", [](JobRec& J) { J.SchedFlag = S("U"); }, jsScheduled, "S"},
        {"a job not due today runs by hand",
         [&](JobRec& J) {
             J.Frequency = S("Never");
             J.Started = morning;
             J.Completed = noon;
         },
         jsScheduled, "S"},
        {"running is ended by force", [&](JobRec& J) { J.Started = morning; }, jsEndForced, ""},
        {"scheduled is unscheduled", [](JobRec&) {}, jsUnscheduled, "U"},
        // Unscheduled whatever the state; a reload then reads what the
        // times and flags of the day say.
        {"not due today is unscheduled", [](JobRec& J) { J.Frequency = S("Never"); }, jsUnscheduled, "",
         jsNotScheduled},
        {"skipped today is unscheduled", [](JobRec& J) { J.SkipOn = gSkipKeyword; }, jsUnscheduled, "", jsNotScheduled},
        {"ended by force is unscheduled",
         [&](JobRec& J) {
             J.Started = morning;
             J.Completed = noon;
             J.EndForced = true;
         },
         jsUnscheduled, "U", jsEndForced},
    };
    for (const Case& c : cases) {
        G.Jobs[1] = JobRec();
        G.Jobs[1].JobName = S("A");
        G.Jobs[1].Frequency = S("Daily");
        c.setup(G.Jobs[1]);
        SetJobStatus(1);
        RescheduleOne(1);
        EXPECT_EQ(G.Jobs[1].JobState, c.state) << c.what;
        EXPECT_EQ(G.Jobs[1].SchedFlag, S(c.flag)) << c.what;
        // What a reload (or a launch) decides from the saved fields.
        EXPECT_EQ(G.Jobs[1].StatusText, JobStateText(c.state)) << c.what;
        G.Jobs[1].JobState = jsScheduled;
        SetJobStatus(1);
        EXPECT_EQ(G.Jobs[1].JobState, c.reloaded < 0 ? c.state : c.reloaded) << c.what;
    }
}

}  // namespace
