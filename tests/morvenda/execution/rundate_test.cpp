#include "morvenda/execution/execution.h"

#include "morvenda/core/frequency.h"
#include "morvenda/core/jobwindows.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// Each run date runs its jobs once, with its own date, whatever the clock
// does: runs past the next day start, days without a pass, restarts, dummy
// runs. Real jobs write their name and run date into ran.txt; the fake clock
// moves as the steps say.

namespace {

DateVal At(int month, int day, int hour, int minute, int second = 0) {
    return DateVal::fromDateTime(2026, month, day, hour, minute, second);
}
DateVal Day(int month, int day) { return DateVal::fromDate(2026, month, day); }

struct Step {
    enum Kind { Launch, Run, Jump, Restart } kind;
    DateVal at;  // Run: passes until the clock shows this; else the clock is set to it
    DateVal runDate = {};
    bool dummy = false;
    int runStep = 2;  // seconds of the clock between passes while a job runs
};

Step Launch(DateVal at, DateVal runDate, int runStep = 2, bool dummy = false) {
    return {Step::Launch, at, runDate, dummy, runStep};
}
Step Restart(DateVal at, DateVal runDate, int runStep = 2, bool dummy = false) {
    return {Step::Restart, at, runDate, dummy, runStep};
}
Step RunTo(DateVal until) { return {Step::Run, until}; }
Step Jump(DateVal to) { return {Step::Jump, to}; }

class RunDateTest : public ::testing::Test {
protected:
    void prepare() {
        UseTempScheduler(dir);
        G.gMinJobLaunch = 1;
        G.gDayStart = DateVal();
        G.gDummyProg = QStringLiteral("/bin/true");
        G.gDummyModel = QStringLiteral("%DUMMYPROG%");
        // A runs late in the evening and holds the rollover; B follows it; N
        // waits for a file that never comes.
        const QString write = QStringLiteral("/bin/sh -c \"echo %1 &RD& >> ") + dir.path(QStringLiteral("ran.txt")) +
                              QStringLiteral("\"");
        for (const char* name : {"A", "B"}) {
            const int j = AddJob(QString::fromLatin1(name), write.arg(QString::fromLatin1(name)),
                                 name[0] == 'B' ? QStringLiteral("A") : QString());
            Job(j).DateVars[0] = QStringLiteral("RD,RunDate,0,yyyymmdd");
        }
        Job(1).EarlyStartText = QStringLiteral("23:59");
        Job(1).DeferRollover = true;
        Job(AddJob(QStringLiteral("N"), QStringLiteral("/bin/true"))).WaitForFile = dir.path(QStringLiteral("never"));
    }
    void TearDown() override { finish(); }
    void finish() {
        exec.reset();
        ResetState();
        for (const QString& f : QDir(dir.path()).entryList(QDir::Files)) QFile::remove(dir.path(f));
    }

    void waitForJobs() const {
        QElapsedTimer t;
        t.start();
        for (int j = 1; j <= JobCount(); ++j)
            while (Job(j).JobState == jsRunning && !JobWindowGone(Job(j).ProcInfo) && t.elapsed() < 5000)
                QThread::msleep(5);
    }
    void start(const Step& s) {
        clock.set(s.at);
        G.gRunDate = s.runDate;
        G.gDummyRun = s.dummy;
        runStep = s.runStep;
        SetStartTimes();
        exec = std::make_unique<Execution>(view);
        exec->InitSchedule();
    }
    void perform(const Step& s) {
        switch (s.kind) {
            case Step::Launch:
                start(s);
                break;
            case Step::Run:
                // A pass every runStep seconds while a job runs, else every
                // ten minutes.
                for (;;) {
                    waitForJobs();
                    clock.advance(AnyJobRunning() ? runStep : 600);
                    if (Now() > s.at) break;
                    exec->cmdKick_Click();
                }
                break;
            case Step::Jump:
                clock.set(s.at);
                break;
            case Step::Restart:
                // A new process: the schedule file and the journal are all
                // that is left of the last one.
                exec.reset();
                G.gSchedComplete = G.gDeferredJobsDone = G.gNoJobRunning = false;
                LoadSchedule();
                RecoverRun();
                start(s);
                break;
        }
    }

    TempDir dir;
    FakeClock clock;
    ScriptedPrompter prompts;
    NullExecView view;
    std::unique_ptr<Execution> exec;
    int runStep = 2;
};

TEST_F(RunDateTest, EachRunDateRunsItsJobsOnceWithItsOwnDate) {
    const QStringList elevenToFourteen{S("A 20260211"), S("B 20260211"), S("A 20260212"), S("B 20260212"),
                                       S("A 20260213"), S("B 20260213"), S("A 20260214"), S("B 20260214")};
    struct Case {
        const char* what;
        std::vector<Step> steps;
        QStringList ran;
        QStringList logged;
    } cases[] = {
        {"A ends after midnight and B starts after it: both run again for the next date",
         {Launch(At(2, 11, 23, 59, 21), Day(2, 11), 45), RunTo(At(2, 13, 0, 30))},
         {S("A 20260211"), S("B 20260211"), S("A 20260212"), S("B 20260212")},
         {S("End of day for Wednesday 11 Feb 2026"), S("End of day for Thursday 12 Feb 2026")}},
        {"days without a pass, the scheduler left running: each date runs its deferred job",
         {Launch(At(2, 11, 23, 59), Day(2, 11)), RunTo(At(2, 11, 23, 59, 30)), Jump(At(2, 15, 10, 0)),
          RunTo(At(2, 15, 11, 0))},
         elevenToFourteen,
         {S("Schedule for Saturday 14 Feb 2026"), S("Schedule for Sunday 15 Feb 2026")}},
        {"days without the scheduler, restarted from the first missed date",
         {Launch(At(2, 11, 23, 59), Day(2, 11)), RunTo(At(2, 11, 23, 59, 30)), Restart(At(2, 15, 10, 0), Day(2, 12)),
          RunTo(At(2, 15, 11, 0))},
         elevenToFourteen,
         {S("Schedule for Sunday 15 Feb 2026")}},
        {"a restart after midnight in the middle of the date re-runs nothing",
         {Launch(At(2, 11, 23, 59, 21), Day(2, 11), 45), RunTo(At(2, 12, 0, 0, 30)),
          Restart(At(2, 12, 0, 1), Day(2, 11)), RunTo(At(2, 12, 0, 5))},
         {S("A 20260211"), S("B 20260211")},
         {S("A        (Daily)\tpreviously completed").replace(QLatin1Char('\t'), QLatin1Char(' ')),
          S("1 Job(s) previously submitted.")}},
        {"a dummy run of a later date across midnight, resumed, then the real run of today",
         {Launch(At(2, 15, 23, 59, 50), Day(2, 20), 30, true), RunTo(At(2, 16, 0, 2)),
          Restart(At(2, 16, 0, 3), Day(2, 20), 2, true), Restart(At(2, 16, 0, 4), Day(2, 16)), RunTo(At(2, 17, 0, 5))},
         {S("A 20260216"), S("B 20260216")},
         {S("A        Completed at 00:00:20 (Duration 00:00:30)"), S("2 Job(s) previously completed.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare();
        for (const Step& s : c.steps) perform(s);
        EXPECT_EQ(QString::fromUtf8(dir.read(S("ran.txt"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts), c.ran);
        const QString log = ReadLogs(dir.path());
        for (const QString& line : c.logged) EXPECT_TRUE(log.contains(line)) << line.toStdString();
        EXPECT_FALSE(log.contains(S("Duration 00:00:00")));
        finish();
    }
}

}  // namespace
