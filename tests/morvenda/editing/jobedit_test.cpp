#include "morvenda/editing/jobedit.h"

#include <gtest/gtest.h>

#include <QFile>

#include "common/constants.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"

// The job editor's values: loading, checks, saving through the real schedule
// file, and the try buttons.

namespace {

class JobEditTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        UseRunDate();
        G.gSchedFile = dir.path(S("TEST.sch"));
        SetJobDocRenamer({});
    }
    void TearDown() override {
        SetJobDocRenamer({});
        SchedulerStateTest::TearDown();
    }

    static JobBuilder Made(const QString& name, const QString& group = S("NIGHT"), const QString& cmd = S("true")) {
        return JobBuilder(name).group(group).command(cmd).frequency(S("Daily")).defaultDateVars();
    }
    static int Add(const QString& name, const QString& group = S("NIGHT"), const QString& cmd = S("true")) {
        return Made(name, group, cmd).add();
    }

    // Saves the table, loads it again from the file and returns job k.
    JobRec Reloaded(int k) {
        EXPECT_TRUE(SaveSchedule());
        LoadScheduleFrom(dir.path(S("TEST.sch")));
        return Job(k);
    }
};

TEST_F(JobEditTest, ChecksRunInOrderWithTheirPagesAndMessages) {
    Add(S("PAYROLL"));
    const int self = Add(S("EDITED"));
    // A job that passes every check; each case spoils one thing.
    JobEdit base = LoadJobEdit(self);
    base.Eoj[0].To = S("OPS");
    base.Eoj[0].Subject = S("done");
    ASSERT_TRUE(CheckJobEdit(base, self).empty());

    struct Case {
        const char* what;
        std::function<void(JobEdit&)> spoil;
        EditIssue::Kind kind;
        int page;
        const char* field;
        const char* message;
    };
    const Case cases[] = {
        {"no group",
         [](JobEdit& e) {
             e.Group = S("  ");
             e.JobName.clear();
         },
         EditIssue::Error, pgSubmission, "cboGroup", "Group Name not entered"},
        {"long group", [](JobEdit& e) { e.Group = S("ABCDEFGHI"); }, EditIssue::Error, pgSubmission, "cboGroup",
         "Group Name is longer than 8 characters"},
        {"pasted blank in group", [](JobEdit& e) { e.Group = S("A B"); }, EditIssue::Error, pgSubmission, "cboGroup",
         "Group Name may not contain \" \""},
        {"no name", [](JobEdit& e) { e.JobName = S(" "); }, EditIssue::Error, pgSubmission, "txtJobName",
         "Job Name not entered"},
        {"pasted bracket", [](JobEdit& e) { e.JobName = S("A(1)"); }, EditIssue::Error, pgSubmission, "txtJobName",
         "Job Name may not contain \"(\""},
        {"pasted list marker", [](JobEdit& e) { e.JobName = S("A\u00ac"); }, EditIssue::Error, pgSubmission,
         "txtJobName", "Job Name may not contain \"\u00ac\""},
        {"duplicate in other case", [](JobEdit& e) { e.JobName = S("payroll"); }, EditIssue::Error, pgSubmission,
         "txtJobName", "Duplicate Job Name"},
        {"emptied command line", [](JobEdit& e) { e.CmdLine.clear(); }, EditIssue::Warning, pgSubmission, "",
         "Warning:  Empty command line will generate a null job"},
        {"time mask", [](JobEdit& e) { e.Time = S("9:30"); }, EditIssue::Error, pgTiming, "txtTime",
         "Invalid earliest Start Time. Must be empty or \"nn:nn\""},
        {"hour 25", [](JobEdit& e) { e.Time = S("25:00"); }, EditIssue::Error, pgTiming, "txtTime",
         "Earliest Start Time is not a valid time value"},
        {"minute 60", [](JobEdit& e) { e.Time = S("12:60"); }, EditIssue::Error, pgTiming, "txtTime",
         "Earliest Start Time is not a valid time value"},
        {"null job with trigger",
         [](JobEdit& e) {
             e.WasNullJob = true;
             e.CmdLine.clear();
             e.Trigger = tkExternal;
             e.Frequency = S("daily");
         },
         EditIssue::DailyQuestion, pgTiming, "txtFrequency",
         "Null job creating trigger file - Daily frequency recommended.  Change to \"Daily\"?"},
        {"external blank",
         [](JobEdit& e) {
             e.Wait = wkExternal;
             e.WaitForFile = S(" ");
         },
         EditIssue::Error, pgDependencies, "txtWaitForFile", "External trigger file not specified"},
        {"external dots",
         [](JobEdit& e) {
             e.Wait = wkExternal;
             e.WaitForFile = S("../flag.txt");
         },
         EditIssue::Error, pgDependencies, "txtWaitForFile",
         "External trigger file specification contains invalid characters"},
        {"interschedule unchosen",
         [](JobEdit& e) {
             e.WasNullJob = true;
             e.CmdLine.clear();
             e.Wait = wkInterschedule;
         },
         EditIssue::Error, pgDependencies, "cboTriggers", "Interschedule prerequisite job not selected"},
        {"null job waiting",
         [](JobEdit& e) {
             e.WasNullJob = true;
             e.CmdLine.clear();
             e.Wait = wkInterschedule;
             e.TriggerEntry = S("X (S)");
             e.Frequency = S("Workdays");
         },
         EditIssue::DailyQuestion, pgTiming, "txtFrequency",
         "Null job with interschedule dependency - Daily frequency recommended.  Change to \"Daily\"?"},
        {"cc without message",
         [](JobEdit& e) {
             e.Eoj[0] = EojPart{};
             e.Eoj[0].Cc = S("OPS");
         },
         EditIssue::Error, pgNormalEoj, "txtNEOJMsgCont_0", "Address specified but no message contents for EOJ Email"},
        {"subject without To", [](JobEdit& e) { e.Eoj[0].To.clear(); }, EditIssue::Warning, pgNormalEoj, "",
         "Warning no \"To\" address on EOJ Email."},
        {"abnormal To without message", [](JobEdit& e) { e.Eoj[1].To = S("OPS"); }, EditIssue::Error, pgAbnormalEoj,
         "txtAEOJMsgCont_0", "Address specified but no message contents for Abnormal EOJ Email"},
        {"abnormal body without To", [](JobEdit& e) { e.Eoj[1].Lines[2].Text = S("x"); }, EditIssue::Warning,
         pgAbnormalEoj, "", "Warning no \"To\" address on Abnormal EOJ Email."},
        {"CPU beyond 16 bits", [](JobEdit& e) { e.CpuUsage = S("40000"); }, EditIssue::Error, pgSubmission,
         "txtCPUUsage", "CPU Usage must be a number from 0 to 32767"},
        {"negative CPU", [](JobEdit& e) { e.CpuUsage = S("-1"); }, EditIssue::Error, pgSubmission, "txtCPUUsage",
         "CPU Usage must be a number from 0 to 32767"},
        {"pasted letters in defer", [](JobEdit& e) { e.DeferEojBy = S("5m"); }, EditIssue::Error, pgNormalEoj,
         "txtDeferEOJMsgBy", "Defer EOJ message by (mins) must be a number from 0 to 32767"},
        {"comma in subject", [](JobEdit& e) { e.Eoj[0].Subject = S("a,b"); }, EditIssue::Error, pgNormalEoj,
         "txtNEOJMsgSubj", "Normal EOJ message subject may not contain a comma or a double quote"},
        {"quote in abnormal line",
         [](JobEdit& e) {
             e.Eoj[1].To = S("OPS");
             e.Eoj[1].Lines[3].Text = S("say \"hi\"");
         },
         EditIssue::Error, pgAbnormalEoj, "txtAEOJMsgCont_3",
         "Abnormal EOJ message body line 4 may not contain a comma or a double quote"},
    };
    for (const Case& c : cases) {
        JobEdit e = base;
        c.spoil(e);
        const std::vector<EditIssue> issues = CheckJobEdit(e, self);
        ASSERT_FALSE(issues.empty()) << c.what;
        EXPECT_EQ(issues.front().kind, c.kind) << c.what;
        EXPECT_EQ(issues.front().Page, c.page) << c.what;
        EXPECT_EQ(issues.front().Field, QLatin1String(c.field)) << c.what;
        EXPECT_EQ(issues.front().Message, S(c.message)) << c.what;
    }

    // The job keeps its own name; an empty or blank time passes; 09:30 passes;
    // a CPU text of 2.5 or a non-number passes.
    JobEdit own = base;
    own.JobName = S("edited");
    own.Time = S("09:30");
    own.CpuUsage = S("abc");
    EXPECT_TRUE(CheckJobEdit(own, self).empty());

    // A name a hand-edited schedule holds twice clashes for the first of
    // them too: every other job counts, not the first one found.
    const int twin = Add(S("EDITED"));
    const std::vector<EditIssue> twice = CheckJobEdit(own, self);
    ASSERT_FALSE(twice.empty());
    EXPECT_EQ(twice.front().Message, S("Duplicate Job Name"));
    EXPECT_FALSE(CheckJobEdit(own, twin).empty());
    G.Jobs.pop_back();

    // Order: the normal message is reported before the abnormal one, and a
    // subject alone passes with its warning.
    JobEdit both = base;
    both.Eoj[0] = EojPart{};
    both.Eoj[0].Cc = S("OPS");
    both.Eoj[1].Cc = S("OPS");
    prompts.messages.clear();
    std::optional<EditIssue> first = ValidJobEdit(both, self);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Page, pgNormalEoj);
    both.Eoj[0].Subject = S("done");
    first = ValidJobEdit(both, self);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Page, pgAbnormalEoj);
    EXPECT_EQ(prompts.messages.back(), S("Address specified but no message contents for Abnormal EOJ Email"));
}

TEST_F(JobEditTest, DailyQuestionsChangeTheFrequencyOnlyWhenAnsweredYes) {
    const int self = Add(S("NULLJOB"), S("NIGHT"), QString());
    JobEdit e = LoadJobEdit(self);
    e.Trigger = tkInterschedule;
    e.Wait = wkInterschedule;
    e.TriggerEntry = S("OTHER (REMOTE)");
    e.Frequency = S("Workdays");
    // Yes to the first question settles the second: it is not asked.
    prompts.queueAnswer(MsgAnswer::Yes);
    int pageShown = -1;
    EXPECT_FALSE(ValidJobEdit(e, self, [&](int p) { pageShown = p; }));
    EXPECT_EQ(e.Frequency, S("Daily"));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(pageShown, -1);  // a job loaded without a command line gets no null-job warning

    e.Frequency = S("Workdays");
    prompts.messages.clear();
    prompts.queueAnswer(MsgAnswer::No);
    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_FALSE(ValidJobEdit(e, self));
    EXPECT_EQ(e.Frequency, S("Workdays"));
    EXPECT_EQ(prompts.messages.size(), 2);

    // Emptying a command line shows the warning on its page first.
    const int other = Add(S("HADCMD"));
    JobEdit h = LoadJobEdit(other);
    h.CmdLine.clear();
    prompts.messages.clear();
    EXPECT_FALSE(ValidJobEdit(h, other, [&](int p) { pageShown = p; }));
    EXPECT_EQ(pageShown, pgSubmission);
    EXPECT_EQ(prompts.messages.value(0), S("Warning:  Empty command line will generate a null job"));
}

TEST_F(JobEditTest, EveryFieldSurvivesSaveAndReload) {
    const int a = Add(S("ALPHA"), S("DAY"));
    Add(S("BETA"), S("NIGHT"));
    const int self = Add(S("GAMMA"));
    JobEdit e = LoadJobEdit(self);
    e.Group = S("MIXED");
    e.JobName = S("gamma2");
    e.CmdLine = S("true --flag &RUNDATE&");
    e.DosProgram = true;
    e.JobDesc = S("Every field");
    e.CpuUsage = S("2.5");
    e.Critical = true;
    e.Time = S("21:45");
    e.Frequency = S("Workdays +1CDOM");
    e.Exclusive = S("DB TAPE");
    e.SkipOnIndex = 2;
    e.SubmitOnly = false;
    e.DeferRollover = true;
    e.Resched = 0;
    e.Vars[6] = VarRow{S("MONTHEND"), S("-1CDOM"), S("-1"), S("yyyy-mm-dd")};
    e.Deps = {DepRow{S("ALPHA"), S("DAY"), true, kCondSuccess, true},
              DepRow{S("BETA"), S("NIGHT"), false, QString(), false}, DepRow{S(""), S(""), true, kCondUncond, false},
              DepRow{S("BETA"), S("NIGHT"), true, kCondFailure, false}};
    e.Wait = wkExternal;
    e.WaitForFile = S("/tmp/flag file.txt");
    e.DelTrigger = true;
    e.Trigger = tkExternal;
    e.ExtTrigFile = S("/tmp/out.trg");
    e.Eoj[0] = EojPart{S("OPS,BOSS"), S("AUDIT"), S("Done"), {}};
    e.Eoj[0].Lines[0] = EojLine{S("/var/log/job-&RUNDATE&.log"), true, true, true, false, true};
    e.Eoj[0].Lines[3] = EojLine{S("last line"), false, false, false, false, false};
    e.Eoj[1] = EojPart{S("OPS"), QString(), S("Failed"), {}};
    e.Eoj[1].Lines[1] = EojLine{S("/tmp/dir.txt"), true, false, false, true, false};
    e.DeferEojBy = S("15");
    e.SuppNoBody = true;
    ASSERT_FALSE(SaveJobEdit(e, self)) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(G.gEditCancelled);
    // The new external trigger file was asked about, nothing else.
    EXPECT_EQ(prompts.messages.size(), 1);
    prompts.messages.clear();

    const JobRec r = Reloaded(self);
    EXPECT_EQ(r.Group, S("MIXED"));
    EXPECT_EQ(r.JobName, S("GAMMA2"));
    EXPECT_EQ(r.CommandLine, S("true --flag &RUNDATE&"));
    EXPECT_TRUE(r.DosProgram);
    EXPECT_EQ(r.JobDesc, S("Every field"));
    EXPECT_EQ(r.CpuUsage, 2);  // half to even
    EXPECT_TRUE(r.Critical);
    EXPECT_EQ(r.EarlyStartText, S("21:45"));
    EXPECT_EQ(r.Frequency, S("Workdays +1CDOM"));
    EXPECT_EQ(r.Exclusive, S("DB TAPE"));
    EXPECT_EQ(r.SkipOn, gSkipKeyword);
    EXPECT_TRUE(r.DeferRollover);
    EXPECT_EQ(r.RunAfter, (QStringList{S("ALPHA"), S("BETA")}));
    EXPECT_EQ(r.RunAfterStatus, S("SF"));
    EXPECT_EQ(r.RunAfterUnsched, S("YN"));
    EXPECT_EQ(r.WaitForFile, S("/tmp/flag file.txt"));
    EXPECT_TRUE(r.DelWaitFile);
    EXPECT_EQ(r.TriggerFile, S("/tmp/out.trg"));
    EXPECT_EQ(r.EojTo, S("OPS,BOSS"));
    EXPECT_EQ(r.EojCc, S("AUDIT"));
    EXPECT_EQ(r.EojMsg[0], S("Done"));
    EXPECT_EQ(r.EojMsg[1], S("/var/log/job-&RUNDATE&.log"));
    EXPECT_EQ(r.EojMsg[4], S("last line"));
    EXPECT_EQ(r.EojFlags[1], S("11101"));
    EXPECT_EQ(r.EojFlags[2], S("00000"));
    EXPECT_EQ(r.AbEojMsg[0], S("Failed"));
    EXPECT_EQ(r.AbEojFlags[2], S("10010"));
    EXPECT_EQ(r.DeferEojMins, 15);
    EXPECT_TRUE(r.SuppNoBody);
    EXPECT_EQ(r.DateVars[6], S("MONTHEND,-1CDOM,-1,yyyy-mm-dd"));
    EXPECT_EQ(r.DateVars[0], gDefDateVars[0]);

    // Loading the saved job shows what was saved; a second save changes nothing.
    JobEdit again = LoadJobEdit(self);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(again.Deps.size(), 2u);
    EXPECT_EQ(again.Deps[0], (DepRow{S("ALPHA"), S("DAY"), true, kCondSuccess, true}));
    EXPECT_EQ(again.Deps[1], (DepRow{S("BETA"), S("NIGHT"), true, kCondFailure, false}));
    EXPECT_EQ(again.Eoj[0].Lines[0], e.Eoj[0].Lines[0]);
    EXPECT_EQ(again.SkipOnIndex, 2);
    JobRec copy = Job(self);
    ApplyJobEdit(again, copy);
    EXPECT_EQ(copy, Job(self));
    EXPECT_EQ(Job(a).JobName, S("ALPHA"));
}

TEST_F(JobEditTest, LoadingDropsReportsAndCorrectsWhatAFileGotWrong) {
    const int p1 = Add(S("P1"), S("DAY"));
    const int self = Add(S("SELF"));
    Add(S("P3"));
    JobRec& J = Job(self);
    J.RunAfter = QStringList{S("P1"), S("P2"), S(" "), S("P3")};
    J.RunAfterStatus = S("SxUf");
    J.RunAfterUnsched = S("Y  y");
    J.AutoResched = 7;
    J.EojFlags[2] = S("19x");
    J.SkipOn = S("25 Dec 2026");

    prompts.queueAnswer(MsgAnswer::No);
    JobEdit e = LoadJobEdit(self);
    ASSERT_EQ(prompts.messages.size(), 3);
    EXPECT_EQ(prompts.messages[0],
              S("Job has one or more dependencies on jobs which no longer exist.  Do you wish to keep them?"));
    EXPECT_EQ(prompts.messages[1], S("Empty dependency entry of job SELF dropped."));
    EXPECT_TRUE(prompts.messages[2].contains(S("Reschedule on Completion 7 shown as 3")));
    EXPECT_TRUE(prompts.messages[2].contains(S("Normal EOJ body line 2 flag 2: 9 shown as 1")));
    ASSERT_EQ(e.Deps.size(), 2u);
    EXPECT_EQ(e.Deps[0], (DepRow{S("P1"), S("DAY"), true, kCondSuccess, true}));
    EXPECT_EQ(e.Deps[1], (DepRow{S("P3"), S("NIGHT"), true, kCondFailure, true}));
    EXPECT_EQ(e.Resched, 3);
    EXPECT_EQ(e.Eoj[0].Lines[1], (EojLine{QString(), true, true, false, false, false}));
    EXPECT_EQ(e.SkipOnList.value(1), S("25 Dec 2026"));
    EXPECT_EQ(e.SkipOnIndex, 1);

    // Yes keeps the missing job with an empty group, and its odd letter is
    // shown as Uncond and saved as "U" rather than dropped.
    prompts.messages.clear();
    prompts.queueAnswer(MsgAnswer::Yes);
    e = LoadJobEdit(self);
    ASSERT_EQ(e.Deps.size(), 3u);
    EXPECT_EQ(e.Deps[1], (DepRow{S("P2"), QString(), true, kCondUncond, false}));
    EXPECT_TRUE(prompts.messages.last().contains(S("condition \"x\" of P2 shown as Uncond")));
    JobRec out = Job(self);
    ApplyJobEdit(e, out);
    EXPECT_EQ(out.RunAfter, (QStringList{S("P1"), S("P2"), S("P3")}));
    EXPECT_EQ(out.RunAfterStatus, S("SUF"));
    EXPECT_EQ(out.RunAfterUnsched, S("YNY"));
    EXPECT_EQ(Job(self).AutoResched, 7);  // loading changed nothing in the table
    EXPECT_EQ(Job(p1).JobName, S("P1"));

    // A new blank job: empty name and command, one blank group entry.
    ResetState();
    JobBuilder().frequency(S("WorkDays")).add();
    JobEdit blank = LoadJobEdit(1);
    EXPECT_EQ(blank.Groups, QStringList{QString()});
    EXPECT_TRUE(blank.JobName.isEmpty());
    EXPECT_TRUE(blank.WasNullJob);
    EXPECT_EQ(blank.Frequency, S("WorkDays"));
    EXPECT_TRUE(blank.Deps.empty());
    EXPECT_EQ(blank.SkipOnIndex, 0);
}

TEST_F(JobEditTest, RenameReachesDependantsWaitsAndDocumentation) {
    const int self = Add(S("PAYROLL"));
    const int dep = Made(S("REPORT")).after(S("payroll")).add();
    const int waiter = Add(S("WAITER"));
    Job(waiter).WaitForFile = S("..PAYROLL");
    TempDir docs;
    G.gJobDocPath = docs.path();
    docs.write(S("PAYROLL.rtd"), "how to rerun the payroll");

    // Only the case changes: no rename.
    JobEdit e = LoadJobEdit(self);
    e.JobName = S("payroll");
    ASSERT_FALSE(SaveJobEdit(e, self));
    EXPECT_TRUE(QFile::exists(docs.path(S("PAYROLL.rtd"))));
    EXPECT_EQ(Job(self).JobName, S("PAYROLL"));

    // The documentation file follows the new name.
    e = LoadJobEdit(self);
    e.JobName = S("Payrl2");
    ASSERT_FALSE(SaveJobEdit(e, self));
    EXPECT_FALSE(QFile::exists(docs.path(S("PAYROLL.rtd"))));
    EXPECT_EQ(docs.read(S("PAYRL2.rtd")), QByteArray("how to rerun the payroll"));
    QStringList renames;
    SetJobDocRenamer([&](const QString& o, const QString& n) { renames << o + S(">") + n; });
    const JobRec d = Reloaded(dep);
    EXPECT_EQ(d.RunAfter, QStringList{S("PAYRL2")});
    EXPECT_EQ(Job(waiter).WaitForFile, S("..PAYRL2"));
    EXPECT_EQ(Job(self).JobName, S("PAYRL2"));

    // A new job has no old name: nothing else is touched.
    renames.clear();
    const int fresh = JobBuilder().add();
    Job(waiter).WaitForFile = S("..");
    JobEdit n = LoadJobEdit(fresh);
    n.Group = S("NIGHT");
    n.JobName = S("NEWJOB");
    n.CmdLine = S("true");
    ASSERT_FALSE(SaveJobEdit(n, fresh));
    EXPECT_TRUE(renames.isEmpty());
    EXPECT_EQ(Job(waiter).WaitForFile, S(".."));
    EXPECT_EQ(Reloaded(fresh).JobName, S("NEWJOB"));
}

TEST_F(JobEditTest, QuestionsOnSaveLeaveRecordAndFileUntouchedWhenCancelled) {
    const int self = Add(S("TRIG"));
    Job(self).TriggerFile = gStdTrigger;
    ASSERT_TRUE(SaveSchedule());
    const QByteArray before = dir.read(S("TEST.sch"));
    const JobRec stored = Job(self);

    // A rename of a job that creates its standard trigger file asks first.
    JobEdit e = LoadJobEdit(self);
    e.JobName = S("TRIG2");
    prompts.queueAnswer(MsgAnswer::Cancel);
    std::optional<SaveStop> stop = SaveJobEdit(e, self);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->Page, -1);
    EXPECT_EQ(prompts.messages.back().left(33), S("A change has been made which affe"));

    // A program that cannot be found: Cancel goes back to the command line.
    e = LoadJobEdit(self);
    e.CmdLine = S("no-such-program-here --x");
    prompts.queueAnswer(MsgAnswer::Cancel);
    stop = SaveJobEdit(e, self);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->Page, pgSubmission);
    EXPECT_EQ(stop->Field, S("txtCmdLine"));
    EXPECT_EQ(prompts.messages.back(),
              S("Cannot find executable: no-such-program-here. Press OK to override, Cancel to alter."));
    EXPECT_EQ(Job(self), stored);
    EXPECT_EQ(dir.read(S("TEST.sch")), before);

    // A job skipped on every date is saved without the program check.
    e.SkipOnIndex = 2;
    prompts.messages.clear();
    EXPECT_FALSE(SaveJobEdit(e, self));
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The program is found on PATH, or as a path; ".exe" is tried without it.
    EXPECT_EQ(DirChk(S("sh")), S("sh"));
    EXPECT_EQ(DirChk(S("sh.exe")), S("sh"));
    EXPECT_EQ(DirChk(S("/bin/sh")), S("sh"));
    EXPECT_EQ(DirChk(S("/bin")), S(""));
}

TEST_F(JobEditTest, TryRunDatesAgainstKnownCalendars) {
    G.gPubHols = {DateVal::fromDate(2026, 12, 25), DateVal::fromDate(2026, 12, 28)};
    struct Case {
        const char* freq;
        const char* skip;
        int count;
        const char* first;
        const char* last;
    } cases[] = {
        {"Daily", "", 20, "Tuesday 08 Dec 2026", "Sunday 27 Dec 2026"},
        {"Sun", "", 20, "Sunday 13 Dec 2026", "Sunday 25 Apr 2027"},
        {"+1CDOM", "", 11, "Friday 01 Jan 2027", "Monday 01 Nov 2027"},
        {"-1CDOM", "", 11, "Thursday 31 Dec 2026", "Sunday 31 Oct 2027"},
        {"Weekdays", "", 20, "Tuesday 08 Dec 2026", "Monday 04 Jan 2027"},
        {"Workdays", "", 20, "Tuesday 08 Dec 2026", "Wednesday 06 Jan 2027"},
        {"Daily", "*EveryDay*", 20, "Tuesday 08 Dec 2026 (Skipped)", "Sunday 27 Dec 2026 (Skipped)"},
        {"Daily", "9 Dec 2026", 20, "Tuesday 08 Dec 2026", "Sunday 27 Dec 2026"},
        {"01-Jan-2020", "", 0, "", ""},
        {"08-Dec-2026", "", 1, "Tuesday 08 Dec 2026", "Tuesday 08 Dec 2026"},
    };
    for (const Case& c : cases) {
        const QStringList dates = TryRunDates(S(c.freq), S(c.skip));
        ASSERT_EQ(dates.size(), c.count) << c.freq;
        if (c.count == 0) continue;
        EXPECT_EQ(dates.first(), S(c.first)) << c.freq;
        EXPECT_EQ(dates.last(), S(c.last)) << c.freq;
    }
    // Holidays are no working days; a skip date is marked once.
    const QStringList weekdays = TryRunDates(S("Workdays"), S("9 Dec 2026"));
    EXPECT_FALSE(weekdays.contains(S("Friday 25 Dec 2026")));
    EXPECT_FALSE(weekdays.contains(S("Monday 28 Dec 2026")));
    EXPECT_EQ(weekdays.filter(S("(Skipped)")), QStringList{S("Wednesday 09 Dec 2026 (Skipped)")});
}

TEST_F(JobEditTest, TrySubstUsesTheGridAsEdited) {
    std::array<VarRow, 7> vars;
    for (size_t k = 0; k < 7; ++k) vars[k] = VarRowOf(gDefDateVars[k]);
    vars[6] = VarRow{S("DT"), S("RunDate"), S("0"), S("dd/mm/yyyy")};
    EXPECT_EQ(TrySubst(S("x &dt& y &DT&"), S("Daily"), vars), S("x 08/12/2026 y 08/12/2026"));
    EXPECT_EQ(TrySubst(S("&NEXTRUN&"), S("Sun"), vars), S("20261213"));
    EXPECT_EQ(AsAtValue(vars, 6, S("Daily")), S("08/12/2026"));
    EXPECT_EQ(AsAtValue(vars, 1, S("")), S("20261207"));  // no notice, "WeekDays" assumed
    EXPECT_TRUE(prompts.messages.isEmpty());

    // An impossible day or a frequency that never selects a date shows why.
    vars[6] = VarRow{S("DT"), S("+31CDOM"), S("-1"), S("yyyymmdd")};
    EXPECT_TRUE(TrySubst(S("&DT&"), S("Daily"), vars).startsWith(S("(Invalid relative day number")));
    EXPECT_TRUE(TrySubst(S("&NEXTRUN&"), S("01-Jan-2020"), vars).startsWith(S("(No date for the relative day")));
}

}  // namespace
