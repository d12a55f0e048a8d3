#include "tests/support/statefixture.h"

#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"

void SchedulerStateTest::SetUp() { ResetState(); }

void SchedulerStateTest::TearDown() { ResetState(); }

void SchedulerStateTest::UseRunDate(DateVal DayStart) {
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gRunDayStart = DayStart;
}

void SchedulerStateTest::LoadScheduleFrom(const QString& File) {
    ResetState();
    UseRunDate();
    G.gSchedFile = File;
    LoadSchedule();
}

void UseTempScheduler(const TempDir& Dir) {
    ResetState();
    G.gIniFile = Dir.write(QStringLiteral("sched.ini"), "[Morvenda]\r\nTimerSecs=30\r\n");
    G.gSchedFile = Dir.path(QStringLiteral("sched.sch"));
    G.gLogFile = Dir.path(QStringLiteral("yyyymmdd.log"));
    G.gCPULimit = 9999;
}

int AddJob(const QString& Name, const QString& Command, const QString& After, const QString& Letters) {
    return JobBuilder(Name)
        .group(QStringLiteral("General"))
        .command(Command)
        .frequency(QStringLiteral("Daily"))
        .after(After, Letters)
        .with([](JobRec& J) { J.LastDuration = 30; })
        .add();
}
