#include "morvenda/editing/resched.h"

#include "common/constants.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/morvenda/editing/statusjobs.h"
#include "tests/support/statefixture.h"

#include <QStringListModel>

#include <gtest/gtest.h>

// Reschedule and unschedule by hand on a schedule whose run date is Tuesday
// 8 Dec 2026, its day starting at 06:00; "Tue" runs today, "Sat" does not.

namespace {

const DateVal kDayStart = DateVal::fromDateTime(2026, 12, 8, 6, 0, 0);
const DateVal kStarted = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
const DateVal kEnded = DateVal::fromDateTime(2026, 12, 8, 9, 30, 0);

class Resched : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gSchedFile = dir.path(S("sched.sch"));
        G.gLogFile = dir.path(S("yyyymmdd.log"));
        UseRunDate(kDayStart);
        G.gGroupFilter = gAllGroups;
        G.ProgList = &progList;
    }

    static int add(const char* name, const char* group, const char* freq, const char* flag = " ", DateVal started = {},
                   DateVal completed = {}, bool killed = false, const char* after = nullptr) {
        return AddStatusJob({name, group, freq, flag, started, completed, killed, after});
    }
    JobRec& job(int j) { return Job(j); }
    static QStringList names(const std::vector<int>& jobs) {
        QStringList out;
        for (int j : jobs) out << Job(j).JobName;
        return out;
    }

    QStringListModel progList;
};

TEST_F(Resched, CandidatesFollowStateGroupAndOrder) {
    add("SCHED", "PAY", "Tue");                                 // 0 scheduled
    add("RUNNING", "PAY", "Tue", " ", kStarted);                // 1 running
    add("DONE", "GL", "Tue", " ", kStarted, kEnded);            // 2 completed
    add("ABORTED", "PAY", "Tue", " ", kStarted, kEnded, true);  // 6 aborted
    add("NOTTODAY", "GL", "Sat");                               // 5 not scheduled
    add("BYHAND", "PAY", "Tue", "U");                           // 7 unscheduled
    add("ALPHA", "GL", "Tue");                                  // 0 scheduled
    ASSERT_EQ(job(6).JobState, jsUnscheduled);

    struct Case {
        ReschedMode mode;
        bool inclUnsched;
        bool sorted;
        const char* group;
        QStringList want;
    };
    const Case cases[] = {
        {ReschedMode::Unschedule, false, false, "(All Groups)", {S("SCHED"), S("RUNNING"), S("ALPHA")}},
        {ReschedMode::Unschedule, true, true, "(All Groups)", {S("ALPHA"), S("RUNNING"), S("SCHED")}},
        {ReschedMode::Unschedule, false, false, "PAY", {S("SCHED"), S("RUNNING")}},
        {ReschedMode::Reschedule, false, false, "(All Groups)", {S("DONE"), S("ABORTED")}},
        {ReschedMode::Reschedule, true, false, "(All Groups)", {S("DONE"), S("ABORTED"), S("NOTTODAY"), S("BYHAND")}},
        {ReschedMode::Reschedule, true, true, "(All Groups)", {S("ABORTED"), S("BYHAND"), S("DONE"), S("NOTTODAY")}},
        {ReschedMode::Reschedule, true, false, "GL", {S("DONE"), S("NOTTODAY")}},
        {ReschedMode::Reschedule, false, false, "NOSUCH", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(ReschedCandidates(c.mode, c.inclUnsched, c.sorted, S(c.group))), c.want)
            << c.group << " sorted " << c.sorted;
    EXPECT_EQ(ReschedEntryText(2), S("RUNNING \tRunning"));
}

TEST_F(Resched, SelectDepsCascadesThroughTheDependencyClosure) {
    const int a = add("A", "G", "Tue");
    const int b = add("B", "G", "Tue", " ", {}, {}, false, "A");
    const int c = add("C", "G", "Tue", " ", {}, {}, false, "B");
    const int d = add("D", "G", "Tue");
    const int x = add("X", "G", "Tue", " ", {}, {}, false, "A");  // not listed
    const int e = add("E", "G", "Tue", " ", {}, {}, false, "X");
    const std::vector<int> listed{a, b, c, d, e};

    std::vector<bool> sel{true, false, false, false, false};
    EXPECT_TRUE(SelectDeps(listed, sel));
    // B after A, C after B, and E after A through X: the whole chain; D is
    // unrelated. X itself is not listed and so never selected.
    EXPECT_EQ(sel, (std::vector<bool>{true, true, true, false, true}));
    (void)x;

    std::vector<bool> fromC{false, false, true, false, false};
    EXPECT_FALSE(SelectDeps(listed, fromC));  // nothing depends on C
    EXPECT_EQ(fromC, (std::vector<bool>{false, false, true, false, false}));
}

TEST_F(Resched, ApplySetsFlagsLogsAndSavesStatesThatSurviveAReload) {
    const int done = add("DONE", "G", "Tue", " ", kStarted, kEnded);
    const int doneSat = add("DONESAT", "G", "Sat", "S", kStarted, kEnded);
    const int aborted = add("ABORTED", "G", "Tue", " ", kStarted, kEnded, true);
    const int byHand = add("BYHAND", "G", "Tue", "U");
    const int notToday = add("NOTTODAY", "G", "Sat");
    const int sched = add("SCHED", "G", "Tue");
    const int running = add("RUNNING", "G", "Tue", " ", kStarted);
    const int forcedOn = add("FORCEDON", "G", "Sat", "S");
    ASSERT_EQ(job(doneSat).JobState, jsCompleted);
    ASSERT_EQ(job(aborted).JobState, jsAborted);
    ASSERT_EQ(job(forcedOn).JobState, jsScheduled);
    G.gSchedComplete = true;

    ApplyResched(ReschedMode::Reschedule, {done, doneSat, aborted, byHand, notToday}, nullptr);
    EXPECT_TRUE(G.gSchedModified);
    EXPECT_FALSE(G.gSchedComplete);
    int unsubBuilds = 0;
    ApplyResched(ReschedMode::Unschedule, {sched, running, forcedOn}, [&] { ++unsubBuilds; });
    EXPECT_EQ(unsubBuilds, 3);

    struct Want {
        int job;
        const char* flag;
        int state;
        bool timesKept;
    };
    const Want wants[] = {
        {done, " ", jsScheduled, false},     // runs today anyway: no hand flag needed
        {doneSat, "S", jsScheduled, false},  // frequency does not select today
        {aborted, " ", jsScheduled, false},    {byHand, "S", jsScheduled, false}, {notToday, "S", jsScheduled, false},
        {sched, "U", jsUnscheduled, true},     {running, "U", jsRunning, true},  // runs on until it ends
        {forcedOn, "U", jsNotScheduled, true},  // no longer forced onto a day it does not run
    };
    for (const Want& w : wants) {
        const JobRec& J = job(w.job);
        EXPECT_EQ(J.SchedFlag, S(w.flag)) << J.JobName.toStdString();
        EXPECT_EQ(J.JobState, w.state) << J.JobName.toStdString();
        EXPECT_EQ(J.Started == kStarted, w.timesKept && w.job == running) << J.JobName.toStdString();
    }
    EXPECT_FALSE(job(aborted).Killed);

    const QStringList wantLines{
        S("DONE     (Tue)\tScheduled"), S("DONESAT  (Sat)\tScheduled"),     S("ABORTED  (Tue)\tScheduled"),
        S("BYHAND   (Tue)\tScheduled"), S("NOTTODAY (Sat)\tScheduled"),     S("SCHED    (Tue)\tUnscheduled"),
        S("RUNNING  (Tue)\tRunning"),   S("FORCEDON (Sat)\tNot Scheduled"),
    };
    EXPECT_EQ(progList.stringList(), wantLines);
    QStringList logged;
    for (const QString& l : wantLines)
        logged << S("08 Dec 2026  10:00:00 ") + QString(l).replace(QLatin1Char('\t'), QLatin1Char(' '));
    EXPECT_EQ(QString::fromUtf8(dir.read(S("20261208.log"))), logged.join(S("\r\n")) + S("\r\n"));

    // The rescheduled killed job now runs and succeeds; after a reload it
    // reads as completed, not as never run.
    clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 10, 0));
    job(aborted).Started = DateVal::fromDateTime(2026, 12, 8, 10, 5, 0);
    job(aborted).Completed = DateVal::fromDateTime(2026, 12, 8, 10, 6, 0);
    ASSERT_TRUE(SaveSchedule());
    std::vector<std::pair<QString, int>> before;
    for (int j = 1; j <= JobCount(); ++j) {
        SetJobStatus(j);
        before.emplace_back(job(j).SchedFlag, job(j).JobState);
    }
    EXPECT_EQ(job(aborted).JobState, jsCompleted);
    G.Jobs.resize(1);
    LoadSchedule();
    ASSERT_EQ(JobCount(), 8);
    for (int j = 1; j <= JobCount(); ++j) {
        EXPECT_EQ(job(j).SchedFlag.trimmed(), before[static_cast<size_t>(j - 1)].first.trimmed()) << j;
        EXPECT_EQ(job(j).JobState, before[static_cast<size_t>(j - 1)].second) << job(j).JobName.toStdString();
    }
}

TEST_F(Resched, ApplyWithNothingChosenStillSaves) {
    add("ONLY", "G", "Tue");
    ApplyResched(ReschedMode::Reschedule, {}, nullptr);
    EXPECT_FALSE(G.gSchedModified);
    EXPECT_TRUE(QFile::exists(G.gSchedFile));
    EXPECT_TRUE(progList.stringList().isEmpty());
}

}  // namespace
