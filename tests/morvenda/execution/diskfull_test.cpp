#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/fulldisk.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <map>

// A whole installation on a small disk that a job fills in the middle of the
// run: the scheduler stops on the full disk, jobs end while it is down, then
// room is made and the scheduler is started again. Every job must run
// exactly once and every outcome must be the true one.

namespace {

struct Step {
    const char* name;
    const char* after;
    const char* letters;
    const char* command;  // after the ledger line; %1 is the small disk
};

const Step kSteps[] = {
    {"A1", "", "", "sleep 0.3"},
    {"A2", "A1", "S", "sleep 1.5"},
    {"FILL", "A1", "S", "head -c 8M /dev/zero > '%1/filler'; sleep 0.2; exit 0"},
    {"B1", "", "", "sleep 2; exit 5"},
    {"A3", "A2", "S", "sleep 0.1"},
    {"C1", "FILL", "S", "sleep 0.1"},
    {"D1", "B1", "F", "sleep 0.1"},
    {"E1", "", "", "sleep 1"},
    {"E2", "", "", "sleep 2.5"},
    {"E3", "E1", "S", "sleep 0.5"},
};

// Runs the scheduler without a window on the configuration file until it
// ends by itself; its exit code (-1 when it had to be killed).
int RunScheduler(const QString& ini, const QString& config, int waitMs) {
    const std::unique_ptr<QProcess> driver =
        StartProgram(QStringLiteral(MRV_KILLDRIVER), {ini},
                     {{"XDG_CONFIG_HOME", config}, {"MRV_KILL_AFTER", QString()}}, QProcess::ForwardedErrorChannel);
    if (driver->state() == QProcess::NotRunning) return -2;
    if (!driver->waitForFinished(waitMs)) {
        driver->kill();
        driver->waitForFinished();
        return -1;
    }
    return driver->exitStatus() == QProcess::NormalExit ? driver->exitCode() : -1;
}

TEST(DiskFullRun, EveryJobRunsOnceAndEndsRightAcrossAFullDisk) {
    SmallDisk disk(2 * 1024 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    TempDir outside;
    const QString ledger = outside.path(S("ledger.txt"));
    const QString ini = WriteScheduleIni(disk.path(), S("FULL"));
    ASSERT_FALSE(ini.isEmpty());
    ScriptedPrompter prompts;
    ResetState();
    G.gSchedFile = disk.path(S("sched/FULL.sch"));
    for (const Step& s : kSteps) {
        const QString run = QStringLiteral("/bin/sh -c \"echo %1 >> '%2'; %3\"")
                                .arg(S(s.name), ledger, S(s.command).replace(S("%1"), disk.path()));
        Job(AddJob(S(s.name), run, S(s.after), S(s.letters))).Group = S("FULL");
    }
    ASSERT_TRUE(SaveSchedule());
    ResetState();

    // The first run cannot finish on the full disk: it stops when it cannot
    // write its run log or its schedule, or is stopped after a while; the
    // jobs still running end meanwhile.
    const QString config = outside.path(S("config"));
    EXPECT_NE(RunScheduler(ini, config, 8000), 0) << "the run cannot complete on a full disk";
    QThread::msleep(1000);
    disk.unfill();
    QFile::remove(disk.path(S("filler")));
    ASSERT_EQ(RunScheduler(ini, config, 120000), 0) << "the run ends by itself once there is room";

    std::map<QString, int> runs = CountLines(QString::fromUtf8(outside.read(ledger)));
    for (const Step& s : kSteps) EXPECT_EQ(runs[S(s.name)], 1) << s.name;

    G.gSchedFile = disk.path(S("sched/FULL.sch"));
    G.gRunDate = Now().datePart();
    LoadSchedule();
    ASSERT_EQ(JobCount(), static_cast<int>(std::size(kSteps)));
    for (int j = 1; j <= JobCount(); ++j) {
        const JobRec& job = Job(j);
        const bool failed = job.JobName.trimmed() == QLatin1String("B1");
        EXPECT_EQ(job.JobState, failed ? jsAborted : jsCompleted) << job.JobName.toStdString();
    }
    const QString log = ReadLogs(disk.path(S("log")));
    EXPECT_FALSE(log.contains(S("Exit status unknown")));
    EXPECT_TRUE(log.contains(S("B1       Failed(Exit code 5)")));
    for (const Step& s : kSteps)
        EXPECT_EQ(log.count(QString::fromLatin1(s.name).leftJustified(8) + S(" (Daily)  Submitted at ")), 1) << s.name;
    // The endings the schedulers took are gone from the keepers' folder. A
    // keeper whose submission the first scheduler let go on the full disk
    // (its journal could not take it) may write its "never ran" record once
    // there is room, after the second start tidied the folder: the next
    // start removes it.
    for (const QString& f : QDir(disk.path(S("sched/FULL.sch.ends"))).entryList(QDir::Files | QDir::Hidden))
        EXPECT_TRUE(disk.read(S("sched/FULL.sch.ends/") + f).startsWith("notstarted ")) << f.toStdString();
    ResetState();
}

}  // namespace
