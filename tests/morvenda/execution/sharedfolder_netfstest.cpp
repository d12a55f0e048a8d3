#include "common/constants.h"
#include "common/textfile.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/glusterfs.h"
#include "tests/support/messagefolders.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <vector>

// A base folder shared by two computers: one GlusterFS volume mounted twice,
// each mount standing for one computer with its own scheduler and settings.

namespace {

class SharedFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        volume = std::make_unique<GlusterVolume>();
        if (!volume->ok()) GTEST_SKIP() << "no GlusterFS volume: " << volume->error().toStdString();
        ResetState();
    }
    void TearDown() override {
        ResetState();
        volume.reset();
    }

    // The base folder as computer k sees it.
    QString Base(int k) const { return volume->mount(k) + QStringLiteral("/base"); }

    // Starts a worker or a scheduler driver with computer k's own settings.
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& args, int k) {
        return StartProgram(
            program, args,
            {{"XDG_CONFIG_HOME", local.path(QStringLiteral("config%1").arg(k))}, {"MRV_GO_FILE", local.path(S("go"))}});
    }

    // Waits for every process, then returns each one's output.
    QStringList Finish(std::vector<std::unique_ptr<QProcess>>& procs, int timeoutMs) {
        QStringList outs;
        for (auto& p : procs) {
            if (!p->waitForFinished(timeoutMs)) {
                ADD_FAILURE() << "a process did not finish";
                p->kill();
                p->waitForFinished();
            }
            EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
            outs << QString::fromUtf8(p->readAllStandardOutput()).trimmed();
        }
        return outs;
    }

    // A schedule configuration file for schedule Name as computer k sees it.
    QString WriteIni(const QString& Name, int k) {
        const QString base = Base(k);
        for (const QString& f : {S("@Trigger"), S("@Email/Messages"), Name + S("/Log"), Name + S("/Tracker")})
            QDir().mkpath(base + QLatin1Char('/') + f);
        const QString ini = QStringLiteral("%1/%2/%2.ini").arg(base, Name);
        QFile f(ini);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("[Morvenda]\r\nScheduleName=%2\r\nScheduleFile=%1/%2/%2.sch\r\n"
                               "LogFile=%1/%2/Log/yyyymmdd.log\r\nTriggerPath=%1/@Trigger\r\n"
                               "TrackerPath=%1/%2/Tracker\r\nEmailPath=%1/@Email/Messages\r\n"
                               "PubHols=*Missing*\r\nDayStart=00:00\r\nMinJobLaunch=1\r\nTimerSecs=1\r\n"
                               "CPULimit=9999\r\nDateDisplayFormat=0\r\n")
                    .arg(base, Name)
                    .toUtf8());
        return ini;
    }

    struct Job {
        QString name, wait, after;
        bool trigger = false;
        double seconds = 0;
    };

    // Writes schedule Name (as computer k sees it): each job appends its
    // name and the moment it ran to the ledger, a local file.
    void WriteSchedule(const QString& Name, int k, const std::vector<Job>& jobs) {
        std::vector<JobBuilder> builders;
        for (const Job& p : jobs)
            builders.push_back(JobBuilder(p.name)
                                   .group(Name)
                                   .frequency(S("Daily"))
                                   .command(QStringLiteral("/bin/sh -c \"sleep %3; echo %1 $(date +%s.%N) >> '%2'\"")
                                                .arg(p.name, local.path(S("ledger")), QString::number(p.seconds)))
                                   .after(p.after)
                                   .with([&](JobRec& j) {
                                       j.WaitForFile = p.wait;
                                       j.DelWaitFile = !p.wait.isEmpty();
                                       if (p.trigger) j.TriggerFile = gStdTrigger;
                                   }));
        ASSERT_TRUE(SaveJobsAs(QStringLiteral("%1/%2/%2.sch").arg(Base(k), Name), builders));
    }

    // Each job of the ledger with the moments it ran.
    std::map<QString, std::vector<double>> Ledger() const {
        std::map<QString, std::vector<double>> runs;
        for (const QString& line : SplitLines(QString::fromUtf8(local.read(S("ledger")))))
            runs[line.section(QLatin1Char(' '), 0, 0)].push_back(line.section(QLatin1Char(' '), 1, 1).toDouble());
        return runs;
    }

    void Go() { local.write(S("go"), "go"); }

    // The trigger list's lines as computer k sees it, sorted.
    void ReadTriggerList(int k, QStringList* lines) {
        RefreshFolderView(Base(k) + S("/@Trigger"));
        ASSERT_TRUE(ReadTextLines(Base(k) + S("/@Trigger/Triggers.Lst"), lines));
        lines->sort();
    }

    TempDir local;  // this computer's own disk: settings, ledger
    std::unique_ptr<GlusterVolume> volume;
};

// Two schedulers on two computers write 300 messages each at the same time
// into one messages folder, for jobs whose names share their first four
// characters (so their messages compete for the same names): none is lost.
TEST_F(SharedFolderTest, MessagesOfTwoComputersAllArrive) {
    constexpr int kEach = 300;
    for (int k = 0; k < 2; ++k) QDir().mkpath(Base(k) + S("/@Email/Messages"));
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int k = 0; k < 2; ++k)
        procs.push_back(
            Start(QStringLiteral(MRV_NETFSWORKER),
                  {S("messages"), Base(k) + S("/@Email/Messages"), local.path(QStringLiteral("w%1.log").arg(k)),
                   QStringLiteral("PAYROLL%1").arg(k), QString::number(kEach), QStringLiteral("W%1").arg(k)},
                  k));
    Go();
    Finish(procs, 100000);
    QSet<QString> subjects;
    int messages = 0;
    ASSERT_NO_FATAL_FAILURE(ReadMessageSubjects(Base(0) + S("/@Email/Messages"), &subjects, &messages));
    std::printf("messages: %d files, %lld of %d arrived\n", messages, static_cast<long long>(subjects.size()),
                2 * kEach);
    EXPECT_EQ(messages, 2 * kEach);
    EXPECT_EQ(subjects.size(), 2 * kEach);
}

// Four schedulers, two on each computer, rewrite their shares of the trigger
// list as fast as they can: every rewrite succeeds and none loses a line.
TEST_F(SharedFolderTest, TriggerListRewritesFromFourProcessesOnTwoMountsAllSucceed) {
    constexpr int kEach = 100;
    for (int k = 0; k < 2; ++k) QDir().mkpath(Base(k) + S("/@Trigger"));
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int s = 0; s < 4; ++s)
        procs.push_back(Start(QStringLiteral(MRV_NETFSWORKER),
                              {S("rewrite"), Base(s % 2) + S("/@Trigger/Triggers.Lst"), QStringLiteral("S%1").arg(s),
                               QString::number(kEach)},
                              s % 2));
    Go();
    const QStringList outs = Finish(procs, 110000);
    int tried = 0, succeeded = 0, failed = 0, lost = 0;
    const QRegularExpression counts(S("^tried (\\d+) succeeded (\\d+) failed (\\d+) lost (\\d+)$"));
    for (const QString& out : outs) {
        const QRegularExpressionMatch m = counts.match(out);
        ASSERT_TRUE(m.hasMatch()) << out.toStdString();
        tried += m.captured(1).toInt();
        succeeded += m.captured(2).toInt();
        failed += m.captured(3).toInt();
        lost += m.captured(4).toInt();
    }
    std::printf("trigger list rewrites: %d tried, %d succeeded, %d failed, %d lost\n", tried, succeeded, failed, lost);
    EXPECT_EQ(succeeded, 4 * kEach);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(lost, 0);
    for (int k = 0; k < 2; ++k) {
        QStringList lines;
        ASSERT_NO_FATAL_FAILURE(ReadTriggerList(k, &lines));
        EXPECT_EQ(lines, (QStringList{S("S0V100 (S0)"), S("S1V100 (S1)"), S("S2V100 (S2)"), S("S3V100 (S3)")}))
            << "as mount " << k << " shows it";
    }
}

// Jobs of a schedule on one computer wait for the trigger files of jobs of a
// schedule on the other, and the other way round, hop after hop.
TEST_F(SharedFolderTest, TriggerFilesHopBothWaysBetweenSchedulersOnTwoComputers) {
    constexpr int kRounds = 4;
    std::vector<Job> a, b;
    for (int r = 1; r <= kRounds; ++r) {
        a.push_back(
            {QStringLiteral("HA%1").arg(r), r == 1 ? QString() : QStringLiteral("..HB%1").arg(r - 1), QString(), true});
        b.push_back({QStringLiteral("HB%1").arg(r), QStringLiteral("..HA%1").arg(r), QString(), r < kRounds});
    }
    const QString iniA = WriteIni(S("SCHEDA"), 0);
    const QString iniB = WriteIni(S("SCHEDB"), 1);
    WriteSchedule(S("SCHEDA"), 0, a);
    WriteSchedule(S("SCHEDB"), 1, b);
    std::vector<std::unique_ptr<QProcess>> procs;
    procs.push_back(Start(QStringLiteral(MRV_KILLDRIVER), {iniA}, 0));
    procs.push_back(Start(QStringLiteral(MRV_KILLDRIVER), {iniB}, 1));
    Finish(procs, 100000);

    // Every job ran once, in the order of the hops.
    const auto runs = Ledger();
    std::vector<double> order;
    for (int r = 1; r <= kRounds; ++r) {
        for (const QString& name : {QStringLiteral("HA%1").arg(r), QStringLiteral("HB%1").arg(r)}) {
            const auto it = runs.find(name);
            ASSERT_NE(it, runs.end()) << name.toStdString();
            ASSERT_EQ(it->second.size(), 1u) << name.toStdString();
            order.push_back(it->second.front());
        }
    }
    std::vector<double> gaps;
    for (size_t k = 1; k < order.size(); ++k) {
        EXPECT_LT(order[k - 1], order[k]) << "hop " << k;
        gaps.push_back(order[k] - order[k - 1]);
    }
    std::sort(gaps.begin(), gaps.end());
    // A gap holds the job's end being seen (its start-up grace of a second
    // included), the trigger file written, seen on the other computer and the
    // next job started.
    std::printf("trigger hops: %zu in order, both ways; median from one job's run to the next %.2f s\n",
                order.size() - 1, gaps[gaps.size() / 2]);
    // Each trigger file was taken by the job that waited for it, and the
    // trigger list holds the lines of both schedules, once each.
    EXPECT_EQ(QDir(Base(0) + S("/@Trigger")).entryList({S("*.trg")}, QDir::Files), QStringList());
    QStringList lines;
    ASSERT_NO_FATAL_FAILURE(ReadTriggerList(1, &lines));
    EXPECT_EQ(lines, (QStringList{S("HA1 (SCHEDA)"), S("HA2 (SCHEDA)"), S("HA3 (SCHEDA)"), S("HA4 (SCHEDA)"),
                                  S("HB1 (SCHEDB)"), S("HB2 (SCHEDB)"), S("HB3 (SCHEDB)")}));
}

// A scheduler killed on one computer while its jobs run, and started again
// on the other: every job runs exactly once and the schedule completes.
TEST_F(SharedFolderTest, SchedulerKilledOnOneComputerAndRestartedOnTheOtherRunsEveryJobOnce) {
    std::vector<Job> jobs;
    for (int k = 1; k <= 8; ++k)
        jobs.push_back({QStringLiteral("K%1").arg(k), QString(),
                        k % 4 == 1 ? QString() : QStringLiteral("K%1").arg(k - 1), false, 0.4});
    WriteIni(S("MOVE"), 0);
    const QString iniOther = WriteIni(S("MOVE"), 1);
    WriteSchedule(S("MOVE"), 0, jobs);
    {
        std::unique_ptr<QProcess> first = Start(QStringLiteral(MRV_KILLDRIVER), {Base(0) + S("/MOVE/MOVE.ini")}, 0);
        QThread::msleep(2500);
        ASSERT_EQ(first->state(), QProcess::Running) << "the schedule ended before the kill";
        ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
        first->waitForFinished();
    }
    std::vector<std::unique_ptr<QProcess>> procs;
    procs.push_back(Start(QStringLiteral(MRV_KILLDRIVER), {iniOther}, 1));
    Finish(procs, 100000);
    const auto runs = Ledger();
    int ran = 0;
    for (const Job& j : jobs) {
        const auto it = runs.find(j.name);
        const size_t times = it == runs.end() ? 0 : it->second.size();
        EXPECT_EQ(times, 1u) << j.name.toStdString();
        ran += static_cast<int>(times);
    }
    std::printf("jobs moved between computers: %d runs of %zu jobs\n", ran, jobs.size());
    const QString tracker = QString::fromUtf8(local.read(Base(1) + S("/MOVE/Tracker/K8.trk")));
    EXPECT_TRUE(tracker.startsWith(S("Completed,MOVE,"))) << tracker.toStdString();
}

}  // namespace
