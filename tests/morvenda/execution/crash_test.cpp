#include "common/constants.h"
#include "common/textfile.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/execution/execution.h"
#include "morvenda/execution/journal.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cerrno>
#include <csignal>
#include <map>

// The scheduler killed with SIGKILL at random moments and restarted each time
// (a driver program that runs the kick pass without a window): every job must
// run exactly once, end as it should, and every file must stay whole.
// MRV_KILL_COUNT sets the number of kills (20 by default); the job durations
// grow with it so that the kills keep landing inside the run.

namespace {

struct Plan {
    QString name;
    int exitCode = 0;
    QString after;    // prerequisites
    QString letters;  // their conditions
    bool unsched = false;
    QString wait;     // file awaited
    QString trigger;  // trigger file written
    bool nullJob = false;
};

// Thirty jobs: six chains of five, a failing job with a job that needs its
// failure and one that is unscheduled by it, a null job, trigger files of both
// kinds and two jobs sharing an exclusivity keyword.
std::vector<Plan> Jobs(const QString& externalTrigger) {
    std::vector<Plan> plans;
    for (int k = 1; k <= 30; ++k) {
        Plan p;
        p.name = QStringLiteral("J%1").arg(k, 2, 10, QLatin1Char('0'));
        if (k % 5 != 1) {
            p.after = QStringLiteral("J%1").arg(k - 1, 2, 10, QLatin1Char('0'));
            p.letters = QStringLiteral("S");
        }
        plans.push_back(p);
    }
    plans[7].exitCode = 3;                    // J08 fails
    plans[8].letters = QStringLiteral("F");   // J09 needs that failure
    plans[29].after = QStringLiteral("J08");  // J30 needs J08 to succeed: unscheduled
    plans[29].unsched = true;
    plans[10].nullJob = true;                  // J11 has no command
    plans[5].trigger = gStdTrigger;            // J06 writes its standard trigger file ...
    plans[20].wait = QStringLiteral("..J06");  // ... that J21 waits for
    plans[15].trigger = externalTrigger;       // J16 writes a file J26 waits for
    plans[25].wait = externalTrigger;
    return plans;
}

int KillCount() {
    const int n = qEnvironmentVariableIntValue("MRV_KILL_COUNT");
    return n > 0 ? n : 20;
}

// A job of the schedule KILL, run daily.
JobBuilder Killed(const QString& name) { return JobBuilder(name).group(S("KILL")).frequency(S("Daily")); }

class CrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        ini = WriteScheduleIni(dir.path(), S("KILL"));
        ledger = dir.path(S("ledger.txt"));
    }
    void TearDown() override { ResetState(); }

    void SaveJobs(const std::vector<JobBuilder>& jobs) { ASSERT_TRUE(SaveJobsAs(dir.path(S("sched/KILL.sch")), jobs)); }
    QString Log() const {
        return QString::fromUtf8(
            dir.read(dir.path(QStringLiteral("log/%1.log").arg(FormatDate(Now(), S("yyyymmdd"))))));
    }

    void WriteSchedule(double secondsPerJob) {
        std::vector<JobBuilder> jobs;
        for (const Plan& p : Jobs(dir.path(S("trg/external.flag")))) {
            const QString seconds = QString::number(secondsPerJob * (1 + p.name.right(1).toInt() % 3));
            const QString run = QStringLiteral("/bin/sh -c \"echo %1 $$ >> '%2'; sleep %3; exit %4\"")
                                    .arg(p.name, ledger, seconds, QString::number(p.exitCode));
            jobs.push_back(
                Killed(p.name).command(p.nullJob ? QString() : run).after(p.after, p.letters).with([&](JobRec& j) {
                    j.LastDuration = 30;
                    if (p.unsched) j.RunAfterUnsched = S("Y");
                    j.WaitForFile = p.wait;
                    j.DelWaitFile = !p.wait.isEmpty();
                    j.TriggerFile = p.trigger;
                    if (p.name == QLatin1String("J02") || p.name == QLatin1String("J17")) j.Exclusive = S("DB");
                }));
        }
        SaveJobs(jobs);
    }

    // Runs the driver; kill is "" (run to the end), "S<n>"/"E<n>" (it kills
    // itself after that record, else the test kills it after 1.5 seconds) or
    // "T<ms>" (the test kills it after ms). Returns the letter of the kill
    // that happened (S, E or T), 0 when the driver ended by itself.
    char Round(const QString& kill) {
        const bool self = kill.startsWith(QLatin1Char('S')) || kill.startsWith(QLatin1Char('E'));
        const std::unique_ptr<QProcess> driver =
            StartProgram(QStringLiteral(MRV_KILLDRIVER), {ini},
                         {{"XDG_CONFIG_HOME", dir.path(S("config"))}, {"MRV_KILL_AFTER", self ? kill : QString()}},
                         QProcess::ForwardedErrorChannel);
        if (driver->processId() <= 0) {
            ADD_FAILURE() << "the driver did not start";
            return 0;
        }
        const int wait = kill.isEmpty() ? 120000 : self ? 1500 : kill.mid(1).toInt();
        if (!driver->waitForFinished(wait)) {
            EXPECT_FALSE(kill.isEmpty()) << "the driver did not finish";
            ::kill(static_cast<pid_t>(driver->processId()), SIGKILL);
            driver->waitForFinished();
            return 'T';
        }
        if (driver->exitStatus() == QProcess::CrashExit) return kill.at(0).toLatin1();
        EXPECT_EQ(driver->exitCode(), 0) << "the driver stopped with a fault";
        return 0;
    }

    TempDir dir;
    QString ini;
    QString ledger;
};

TEST_F(CrashTest, EveryJobRunsOnceAndEndsRightWhateverMomentTheSchedulerDies) {
    const int kills = KillCount();
    WriteSchedule(kills <= 20 ? 1.5 : 2.0 * kills / 20.0);
    QRandomGenerator rng(qEnvironmentVariableIntValue("MRV_KILL_SEED") + 12);
    std::map<QChar, int> killed;
    int done = 0;
    while (done < kills) {
        QString kill;
        const double draw = rng.generateDouble();
        if (draw < 0.33)
            kill = QStringLiteral("S%1").arg(rng.bounded(1, 3));
        else if (draw < 0.66)
            kill = QStringLiteral("E1");
        else
            kill = QStringLiteral("T%1").arg(rng.bounded(20, 150));
        const char how = Round(kill);
        if (how == 0) break;  // the schedule completed: nothing is left to kill
        ++killed[QLatin1Char(how)];
        ++done;
    }
    ASSERT_EQ(Round(QString()), 0) << "the last run must end by itself";
    std::printf("kills: %d after a submission record, %d after an ending record, %d at random moments\n",
                killed[QLatin1Char('S')], killed[QLatin1Char('E')], killed[QLatin1Char('T')]);
    EXPECT_EQ(done, kills) << "the schedule completed before every kill";

    // Every job that has a program ran exactly once.
    std::map<QString, int> runs = CountLines(QString::fromUtf8(dir.read(ledger)), true);
    for (const Plan& p : Jobs(QString())) {
        const int expected = p.nullJob || p.name == QLatin1String("J30") ? 0 : 1;
        EXPECT_EQ(runs[p.name], expected) << p.name.toStdString();
    }

    // The schedule file is whole and holds every outcome.
    G.gSchedFile = dir.path(S("sched/KILL.sch"));
    G.gRunDate = Now().datePart();
    G.gDayStart = DateVal();
    ScriptedPrompter prompts;
    LoadSchedule();
    ASSERT_EQ(JobCount(), 30);
    for (const QString& line : SplitLines(QString::fromUtf8(dir.read(G.gSchedFile))))
        EXPECT_EQ(line.count(QLatin1Char('\t')), kScheduleColumns - 1);
    for (int j = 1; j <= 30; ++j) {
        const JobRec& job = Job(j);
        const QString name = job.JobName.trimmed();
        const bool failed = name == QLatin1String("J08");
        const bool unscheduled = name == QLatin1String("J30");
        // The schedule file keeps an unscheduled job as ended on this day.
        EXPECT_EQ(job.JobState, failed ? jsAborted : jsCompleted) << name.toStdString();
        const int expected = failed ? jsAborted : unscheduled ? jsUnscheduled : jsCompleted;
        const QByteArray tracker = dir.read(QStringLiteral("trk/%1.trk").arg(name));
        EXPECT_EQ(tracker.count("\r\n"), 1) << name.toStdString();
        EXPECT_TRUE(tracker.startsWith(expected == jsAborted       ? "Failed,KILL,"
                                       : expected == jsUnscheduled ? "Unscheduled,KILL,"
                                                                   : "Completed,KILL,"))
            << name.toStdString() << ": " << tracker.constData();
    }

    // Every ending reached the run log, whole lines only.
    const QString log = Log();
    for (const Plan& p : Jobs(QString())) {
        if (p.name == QLatin1String("J30")) continue;
        const QString ending = p.exitCode ? S(" Failed at ") : S(" Completed at ");
        EXPECT_TRUE(log.contains(p.name.leftJustified(8) + ending)) << p.name.toStdString();
        EXPECT_TRUE(log.contains(p.name.leftJustified(8) + S(" (Daily)  Submitted at "))) << p.name.toStdString();
    }
    EXPECT_TRUE(log.contains(S("J08      Failed(Exit code 3)")));
    // The trigger files were taken by the jobs that waited for them.
    EXPECT_FALSE(QFile::exists(dir.path(S("trg/J06.trg"))));
    EXPECT_FALSE(QFile::exists(dir.path(S("trg/external.flag"))));
    EXPECT_FALSE(log.contains(S("Exit status unknown")));
    const QRegularExpression whole(S("^\\d\\d \\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d \\S"));
    for (const QString& line : SplitLines(log)) EXPECT_TRUE(whole.match(line).hasMatch()) << line.toStdString();

    // Nothing left behind: the journal is empty, no temporary file, no
    // keeper's record of a job that is no longer running.
    EXPECT_EQ(dir.read(S("sched/KILL.sch.journal")), QByteArray());
    const QStringList left = QDir(dir.path(S("sched"))).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : left) EXPECT_FALSE(f.endsWith(QLatin1String(".tmp"))) << f.toStdString();
}

// The submissions of a pass are on the disk together before any keeper lets
// its program run: killed right after they became durable, the scheduler
// leaves every job of the pass recorded and none run; after the restart each
// runs exactly once.
TEST_F(CrashTest, APassRecordsAllItsSubmissionsBeforeAnyJobRuns) {
    std::vector<JobBuilder> jobs;
    for (const char* name : {"ONE", "TWO", "THREE"})
        jobs.push_back(Killed(S(name)).command(QStringLiteral("/bin/sh -c \"echo %1 >> '%2'\"").arg(S(name), ledger)));
    SaveJobs(jobs);
    ASSERT_EQ(Round(S("S1")), 'S');
    const QStringList records = SplitLines(QString::fromUtf8(dir.read(S("sched/KILL.sch.journal"))));
    EXPECT_EQ(records.filter(QRegularExpression(S("^S\t"))).size(), 3) << records.join(S("\n")).toStdString();
    QThread::msleep(300);  // a released program would have written by now
    EXPECT_FALSE(QFile::exists(ledger));

    ASSERT_EQ(Round(QString()), 0);
    QStringList runs = SplitLines(QString::fromUtf8(dir.read(ledger)));
    runs.sort();
    EXPECT_EQ(runs, (QStringList{S("ONE"), S("THREE"), S("TWO")}));
    EXPECT_EQ(Log().count(S("Not started before the scheduler stopped")), 3);
}

// An end forced in the grid whose ending record reached the disk just before
// the scheduler died: after the restart it has one forced-completion line, one
// completion line, one tracker line and its trigger file, and is completed.
TEST_F(CrashTest, AForcedEndIsCarriedOutOnceWhenTheSchedulerDiesAfterItsRecord) {
    const DateVal now = Now();
    SaveJobs({Killed(S("FORCE")).command(S("sleep 30")).ran(now, now).with([](JobRec& j) {
        j.EndForced = true;
        j.TriggerFile = gStdTrigger;
    })});
    ASSERT_EQ(Round(S("E1")), 'E');
    ASSERT_EQ(Round(QString()), 0);
    const QString log = Log();
    EXPECT_EQ(log.count(S("FORCE Forced completion at ")), 1) << log.toStdString();
    EXPECT_EQ(log.count(S("FORCE    Completed at ")), 1) << log.toStdString();
    const QByteArray tracker = dir.read(S("trk/FORCE.trk"));
    EXPECT_EQ(tracker.count("\r\n"), 1);
    EXPECT_TRUE(tracker.startsWith("Completed,KILL,")) << tracker.constData();
    EXPECT_TRUE(QFile::exists(dir.path(S("trg/FORCE.trg"))));
    G.gSchedFile = dir.path(S("sched/KILL.sch"));
    G.gRunDate = Now().datePart();
    G.gDayStart = DateVal();
    SetStartTimes();
    // As a third start would find it.
    ScriptedPrompter prompts;
    LoadSchedule();
    ASSERT_EQ(JobCount(), 1);
    ReplayRunJournal();
    SetJobStatus(1);
    EXPECT_EQ(G.Jobs[1].JobState, jsCompleted);
    EXPECT_FALSE(G.Jobs[1].EndForced);
}

// A restart of the scheduler (its state rebuilt from the files alone) while
// jobs run: the one that ends while the scheduler is down is reported with
// its true exit status; only one whose keeper was killed too is unknown.
TEST_F(CrashTest, AJobThatEndsWhileTheSchedulerIsDownKeepsItsExitStatus) {
    auto setUp = [&] {
        ResetState();
        G.gIniFile = ini;
        G.gSchedName = S("KILL");
        G.gSchedFile = dir.path(S("sched/KILL.sch"));
        G.gLogFile = dir.path(S("log/yyyymmdd.log"));
        G.gRunDate = Now().datePart();
        G.gCPULimit = 9999;
        SetStartTimes();
    };
    setUp();
    for (const auto& [name, cmd] : {std::pair{"LATE", "/bin/sh -c \"sleep 0.5; exit 4\""},
                                    std::pair{"FINE", "/bin/sh -c \"sleep 0.5\""}, std::pair{"ORPHAN", "sleep 30"}})
        Killed(S(name)).command(S(cmd)).add();
    ASSERT_TRUE(SaveSchedule());
    LoadSchedule();
    {
        NullExecView view;
        Execution exec(view);
        exec.cmdKick_Click();
        for (int j = 1; j <= 3; ++j) ASSERT_EQ(Job(j).JobState, jsRunning);
    }

    // The scheduler is gone; the orphan's keeper dies with it.
    CloseRunJournal();
    const ProcessInfo orphan = G.Jobs[3].ProcInfo;
    setUp();
    // Its keeper first, gone before its job ends, so it cannot write.
    ::kill(orphan.hThread, SIGKILL);
    while (::waitpid(orphan.hThread, nullptr, 0) < 0 && errno == EINTR) {
    }
    ::kill(-orphan.dwProcessId, SIGKILL);
    QThread::msleep(1500);

    // Files a crash left half-written long ago go; fresh ones of a scheduler
    // still running beside this one stay.
    G.gTriggerPath = dir.path(S("trg"));
    G.gEmailPath = dir.path(S("eml"));
    const QStringList old{dir.write(S("trg/.A.trg.Xy12Zz.tmp"), "half"), dir.write(S("eml/A_1.$$$"), "half")};
    for (const QString& path : old) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-600), QFileDevice::FileModificationTime);
    }
    dir.write(S("trg/.B.trg.Xy12Zz.tmp"), "being written");
    dir.write(S("eml/B_1.$$$"), "being written");
    ScriptedPrompter prompts;
    LoadSchedule();
    RecoverRun();
    EXPECT_EQ(QDir(dir.path(S("trg"))).entryList(QDir::Files | QDir::Hidden), QStringList{S(".B.trg.Xy12Zz.tmp")});
    EXPECT_EQ(QDir(dir.path(S("eml"))).entryList(QDir::Files | QDir::Hidden), QStringList{S("B_1.$$$")});
    EXPECT_EQ(dir.read(S("eml/B_1.$$$")), QByteArray("being written"));
    for (int j = 1; j <= 3; ++j) ASSERT_EQ(Job(j).JobState, jsRunning);
    NullExecView view;
    Execution exec(view);
    exec.cmdKick_Click();
    EXPECT_EQ(G.Jobs[1].JobState, jsAborted);
    EXPECT_EQ(G.Jobs[1].ErrorText, S("Exit code 4"));
    EXPECT_EQ(G.Jobs[2].JobState, jsCompleted);
    EXPECT_EQ(G.Jobs[3].JobState, jsAborted);
    EXPECT_EQ(G.Jobs[3].ErrorText, S("Exit status unknown"));
    // The outcomes are kept: the keepers' records are gone.
    EXPECT_TRUE(QDir(dir.path(S("sched/KILL.sch.ends"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
