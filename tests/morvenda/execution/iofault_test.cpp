#include "common/constants.h"
#include "common/textfile.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "tests/support/programs.h"
#include "tests/support/scheduleinstall.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

// The scheduler (the driver that runs the kick pass without a window) with
// its k-th write, flush or rename failing for lack of space, for every k of a
// run: it stops after that pass (or at the failed save's Cancel) and is
// started again. Whatever failed, every job runs once, every effect happens
// once, every file stays whole, and the operator is told why.

namespace {

struct Trial {
    long k = 0;
    TempDir dir;
    QString ini;
    QString told;        // what the stopped run said on standard error
    bool fired = false;  // the run made that many writes, flushes and renames
};

// A schedule with a trigger file taken by a dependant, end-of-job messages,
// and a job that fails once and is rescheduled automatically.
void Install(Trial& t) {
    t.ini = WriteScheduleIni(t.dir.path(), S("IO"));
    t.dir.write(S("adr/ops.adr"), "ops@example.com,Operations\r\n");
    ResetState();
    G.gSchedFile = t.dir.path(S("sched/IO.sch"));
    const QString ledger = t.dir.path(S("ledger.txt"));
    auto run = [&](const char* name, const QString& then = QString()) {
        return QStringLiteral("/bin/sh -c \"echo %1 >> '%2'%3\"").arg(QString::fromLatin1(name), ledger, then);
    };
    JobRec& j1 = Job(AddJob(S("J1"), run("J1")));
    j1.TriggerFile = gStdTrigger;
    j1.EojTo = S("ops");
    j1.EojMsg[0] = S("J1 done");
    JobRec& j2 = Job(AddJob(S("J2"), run("J2"), S("J1")));
    j2.WaitForFile = S("..J1");
    j2.DelWaitFile = true;
    JobRec& j3 = Job(AddJob(
        S("J3"),
        run("J3", QStringLiteral("; test -e '%1' || { touch '%1'; exit 1; }").arg(t.dir.path(S("failed-once"))))));
    j3.AutoResched = 3;
    JobRec& j4 = Job(AddJob(S("J4"), run("J4"), S("J3")));
    j4.EojTo = S("ops");
    j4.EojMsg[0] = S("J4 done");
    ASSERT_TRUE(SaveSchedule());
    ResetState();
}

std::unique_ptr<QProcess> Driver(const Trial& t, long failAt) {
    return StartProgram(QStringLiteral(MRV_KILLDRIVER), {t.ini},
                        {{"XDG_CONFIG_HOME", t.dir.path(S("config"))},
                         {"MRV_FAIL_IO", failAt >= 0 ? QString::number(failAt) : QString()}});
}

int Count(const QString& text, const QString& what) { return static_cast<int>(text.count(what)); }

// What must hold after the run, whatever failed on the way.
void Check(const Trial& t) {
    SCOPED_TRACE(QStringLiteral("write, flush or rename %1 failed").arg(t.k).toStdString());
    EXPECT_EQ(CountLines(QString::fromUtf8(t.dir.read(S("ledger.txt")))),
              (std::map<QString, int>{{S("J1"), 1}, {S("J2"), 1}, {S("J3"), 2}, {S("J4"), 1}}));

    const QString log = ReadLogs(t.dir.path(S("log")));
    // Each job's lines, by its name blank-padded to eight characters.
    const struct {
        const char* job;
        const char* line;
        int times;
    } lines[] = {
        {"J1", " (Daily)  Submitted at", 1}, {"J1", " Completed at", 1},          {"J2", " (Daily)  Submitted at", 1},
        {"J2", " Completed at", 1},          {"J3", " (Daily)  Submitted at", 2}, {"J3", " Failed(Exit code 1)", 1},
        {"J3", " Rescheduled at", 1},        {"J3", " Completed at", 1},          {"J4", " Completed at", 1}};
    for (const auto& l : lines) {
        const QString line = QString::fromLatin1(l.job).leftJustified(8) + QString::fromLatin1(l.line);
        EXPECT_EQ(Count(log, line), l.times) << line.toStdString();
    }
    EXPECT_EQ(Count(log, S("\n")), Count(log, S("\r\n"))) << "a torn line";

    const QStringList mail = QDir(t.dir.path(S("eml"))).entryList({S("*.eml")}, QDir::Files);
    EXPECT_EQ(mail.filter(QRegularExpression(S("^J1x"))).size(), 1) << mail.join(S(" ")).toStdString();
    EXPECT_EQ(mail.filter(QRegularExpression(S("^J4x"))).size(), 1) << mail.join(S(" ")).toStdString();
    EXPECT_FALSE(QFile::exists(t.dir.path(S("trg/J1.trg")))) << "the trigger file came back after J2 took it";
    for (const char* job : {"J1", "J2", "J3", "J4"})
        EXPECT_TRUE(t.dir.read(t.dir.path(S("trk/%1.trk").arg(QString::fromLatin1(job)))).startsWith("Completed,IO,"))
            << job;

    ResetState();
    G.gSchedFile = t.dir.path(S("sched/IO.sch"));
    G.gRunDate = Now().datePart();
    ScriptedPrompter prompts;
    LoadSchedule();
    ASSERT_EQ(JobCount(), 4);
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(Job(j).JobState, jsCompleted) << j;
    if (t.fired) {
        EXPECT_TRUE(t.told.contains(S("No space left on device")) || log.contains(S("No space left on device")))
            << "nobody was told: " << t.told.toStdString();
    }
    ResetState();
}

TEST(IoFault, EveryRunOfTheScheduleEndsRightWhicheverWriteFails) {
    // How many writes, flushes and renames a run makes.
    Trial counted;
    Install(counted);
    std::unique_ptr<QProcess> count(Driver(counted, 0));
    ASSERT_TRUE(count->waitForFinished(60000));
    ASSERT_EQ(count->exitCode(), 0) << count->readAllStandardError().toStdString();
    const long total = QString::fromUtf8(count->readAllStandardOutput()).section(S("io="), 1).trimmed().toLong();
    ASSERT_GT(total, 20);
    Check(counted);

    // Each k in turn, sixteen trials at a time (they mostly wait for their jobs).
    constexpr long kAtOnce = 16;
    for (long first = 1; first <= total; first += kAtOnce) {
        std::vector<std::unique_ptr<Trial>> trials;
        for (long k = first; k < first + kAtOnce && k <= total; ++k) {
            trials.push_back(std::make_unique<Trial>());
            trials.back()->k = k;
            Install(*trials.back());
        }
        std::vector<std::unique_ptr<QProcess>> stopped, restarted;
        for (auto& t : trials) stopped.emplace_back(Driver(*t, t->k));
        for (size_t i = 0; i < trials.size(); ++i) {
            EXPECT_TRUE(stopped[i]->waitForFinished(60000));
            trials[i]->told = QString::fromUtf8(stopped[i]->readAllStandardError());
            trials[i]->fired = stopped[i]->exitCode() != 0;
        }
        for (auto& t : trials) restarted.emplace_back(Driver(*t, -1));
        for (size_t i = 0; i < trials.size(); ++i) {
            EXPECT_TRUE(restarted[i]->waitForFinished(60000));
            EXPECT_EQ(restarted[i]->exitCode(), 0)
                << trials[i]->k << ": " << restarted[i]->readAllStandardError().toStdString();
            Check(*trials[i]);
        }
    }
}

}  // namespace
