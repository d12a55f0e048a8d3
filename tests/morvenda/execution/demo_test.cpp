#include "morvenda/execution/execution.h"

#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "morvenda/startup/startup.h"
#include "morvenda/startup/startwindow.h"
#include "tests/support/demorun.h"
#include "tests/support/testing.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

// The bundled demo installation, run from start-up to the end of its day with
// real processes: it must load, hold no loop and end every job as it shows.

namespace {

JobRec& Named(const char* name) { return Job(FindJob(QString::fromLatin1(name))); }

TEST(Demo, RunsItsDayFromStartToEnd) {
    TempDir dir;
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    InstallDemo(dir);
    ResetState();
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ScriptedPrompter prompts;
    StartDemo(dir.path());
    ASSERT_EQ(JobCount(), 10);
    EXPECT_FALSE(JobLoops());
    // Passes every 200 ms of real time, each a second of schedule time, until
    // only the job held for 23:30 is waiting.
    KickUntil(clock, 1, 60000, OnlyNightlyWaits);
    for (const char* done : {"EXTRACT", "LOAD", "REPORT", "BIGCPU", "CLEANUP", "ARCHIVE", "PUBLISH"})
        EXPECT_EQ(Named(done).JobState, jsCompleted) << done << ": " << Named(done).StatusText.toStdString();
    EXPECT_EQ(Named("BROKEN").JobState, jsAborted);
    EXPECT_EQ(Named("BROKEN").ErrorText, QStringLiteral("Exit code 2"));
    EXPECT_EQ(Named("NOTIFY").JobState, jsUnscheduled);
    EXPECT_EQ(Named("NIGHTLY").JobState, jsScheduled);
    EXPECT_EQ(Named("NIGHTLY").StatusText, QStringLiteral("Too early (23:30)"));
    EXPECT_TRUE(QFile::exists(dir.path(QStringLiteral("DEMO/Output/report-20261208.txt"))));
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("@Trigger/ARCHIVE.trg"))));  // PUBLISH took it
    EXPECT_TRUE(dir.read(QStringLiteral("DEMO/Tracker/PUBLISH.trk")).startsWith("Completed,DEMO,"));
    const QString log = QString::fromUtf8(dir.read(QStringLiteral("DEMO/Log/20261208.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("BROKEN   Failed(Exit code 2)")));
    EXPECT_TRUE(log.contains(QStringLiteral("Wait CPU")) || Named("BIGCPU").Started > Named("EXTRACT").Started);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    ResetState();
}

}  // namespace
