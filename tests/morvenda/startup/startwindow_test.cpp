#include "morvenda/startup/startwindow.h"

#include "common/constants.h"
#include "common/ini.h"
#include "common/settings.h"
#include "morvenda/core/state.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <utime.h>

namespace {

class StartWindowTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gLogFile = dir.path(S("Log/yyyymmdd.log"));
        QDir().mkpath(dir.path(S("Log")));
        G.gSchedFile = dir.path(S("sched.sch"));
        G.gIniFile = dir.write(S("sched.ini"), "[Morvenda]\r\nDayStart=06:00\r\n");
        G.gTriggerPath = dir.path(S("trg"));
        QDir().mkpath(G.gTriggerPath);
    }
    static void jobs(const QList<QPair<const char*, const char*>>& table) {
        for (const auto& row : table) {
            const QStringList after = S(row.second).split(u',', Qt::SkipEmptyParts);
            JobBuilder(S(row.first)).with([&after](JobRec& j) { j.RunAfter = after; }).add();
        }
    }
    QString log() const { return QString::fromUtf8(dir.read(S("Log/20261208.log"))); }
};

TEST_F(StartWindowTest, FieldChecksStopAtTheFirstFailure) {
    EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("06:00"), S("12")), StartFieldError::None);
    EXPECT_EQ(ValidateStartFields(S("31 Feb 2026"), S("6:00"), S("x")), StartFieldError::RunDate);
    EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("6:00"), S("x")), StartFieldError::StartTime);
    EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("06:00"), S("x")), StartFieldError::CpuLimit);
    EXPECT_EQ(prompts.messages,
              (QStringList{S("Invalid schedule run date"), S("Invalid schedule start time"), S("Invalid CPU Limit")}));
    for (const char* time : {"24:00", "12:60", "99:99"})
        EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S(time), S("12")), StartFieldError::StartTime) << time;
    EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("23:59"), S("0")), StartFieldError::None);
    for (const char* cpu : {"32768", "-1", "1.5", "70000"})
        EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("06:00"), S(cpu)), StartFieldError::CpuLimit) << cpu;
    EXPECT_EQ(ValidateStartFields(S("8 Dec 2026"), S("06:00"), S(" 32767 ")), StartFieldError::None);
}

TEST_F(StartWindowTest, LoopsAreFoundAndNamed) {
    struct Case {
        QList<QPair<const char*, const char*>> table;
        bool loop;
        const char* line;
    };
    const QList<Case> cases = {
        {{{"A", "B"}, {"B", "A"}}, true, "Circular dependencies involving jobs A and B"},
        // B and D run after each other, A after B: the loop is reported from B.
        {{{"A", "B"}, {"B", "D"}, {"D", "B"}}, true, "Circular dependencies involving jobs B and D"},
        {{{"A", "A"}}, true, "Circular dependencies involving jobs A and A"},
        {{{"A", "B,C"}, {"B", "C"}, {"C", "NOSUCH"}}, false, ""},
        {{{"A", "b"}, {"B", "c"}, {"C", "a"}}, true, "Circular dependencies involving jobs A and b"},
        {{}, false, ""},
    };
    for (const Case& c : cases) {
        ResetState();
        G.gLogFile = dir.path(S("Log/yyyymmdd.log"));
        QFile::remove(dir.path(S("Log/20261208.log")));
        jobs(c.table);
        EXPECT_EQ(JobLoops(), c.loop);
        if (c.loop)
            EXPECT_TRUE(log().contains(S(c.line))) << c.line << "\n" << log().toStdString();
        else
            EXPECT_TRUE(log().isEmpty());
    }
}

TEST_F(StartWindowTest, OldLogExtractsGoAfterADay) {
    // A file of the folder, last changed DaysOld days ago.
    auto make = [&](const char* name, int daysOld) {
        const QString p = dir.write(S(name), "x");
        struct utimbuf t;
        t.actime = t.modtime = Now().addDays(-daysOld).toQDateTime().toSecsSinceEpoch();
        ::utime(p.toLocal8Bit().constData(), &t);
        return p;
    };
    const QString yesterday = make("Log/20261207.tmp", 1);
    const QString old = make("Log/20261206.tmp", 2);
    const QString otherKind = make("Log/20261201.log", 7);
    const QString otherName = make("Log/notes.tmp", 7);
    EXPECT_EQ(DelOldLogs(), 1);
    EXPECT_TRUE(QFile::exists(yesterday));
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(otherKind));
    EXPECT_TRUE(QFile::exists(otherName));

    // A dotted folder does not change the pattern, and a dotted log name
    // loses only its last extension.
    G.gLogFile = dir.path(S("my.logs/yyyymmdd.log"));
    make("my.logs/20261101.tmp", 30);
    EXPECT_EQ(DelOldLogs(), 1);

    G.gLogFile = dir.path(S("my.logs/run.yyyymmdd.log"));
    const QString named = make("my.logs/run.20261101.tmp", 30);
    const QString other = make("my.logs/other.20261101.tmp", 30);
    EXPECT_EQ(DelOldLogs(), 1);
    EXPECT_FALSE(QFile::exists(named));
    EXPECT_TRUE(QFile::exists(other));
}

TEST_F(StartWindowTest, ResetClearsRunValuesAndDeletesOnlyWhatWasAskedFor) {
    jobs({{"STD", ""}, {"EXT", ""}});
    G.Jobs[1].TriggerFile = gStdTrigger;
    G.Jobs[2].TriggerFile = dir.path(S("ext.trg"));
    for (int j = 1; j <= 2; ++j) {
        Job(j).Started = Now();
        Job(j).Completed = Now();
        Job(j).SchedFlag = S("S");
        Job(j).JobState = jsCompleted;
    }
    const QString stdFile = dir.write(S("trg/STD.trg"), "x");
    const QString extFile = dir.write(S("ext.trg"), "x");
    prompts.queueAnswer(MsgAnswer::Yes);
    prompts.queueAnswer(MsgAnswer::No);
    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_TRUE(ResetRunValues());
    EXPECT_TRUE(QFile::exists(stdFile));
    EXPECT_TRUE(QFile::exists(extFile));
    EXPECT_TRUE(G.Jobs[1].Started.isZero());
    EXPECT_EQ(G.Jobs[1].SchedFlag, S(" "));
    EXPECT_EQ(G.Jobs[1].JobState, jsScheduled);
    EXPECT_TRUE(QFile::exists(G.gSchedFile));

    prompts.queueAnswer(MsgAnswer::Yes);
    prompts.queueAnswer(MsgAnswer::Yes);
    prompts.queueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(ResetRunValues());
    EXPECT_FALSE(QFile::exists(stdFile));
    EXPECT_FALSE(QFile::exists(extFile));

    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_FALSE(ResetRunValues());

    // Without a trigger folder no standard trigger file is named at all.
    G.gTriggerPath.clear();
    const QString rootFile = S("/STD.trg");
    for (int i = 0; i < 3; ++i) prompts.queueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(ResetRunValues());
    EXPECT_FALSE(QFile::exists(rootFile));
}

TEST_F(StartWindowTest, ExitWritesBackAndOffersTheDefault) {
    ExitValues read{S("06:00"), S("8")};
    EXPECT_TRUE(SaveForExit(read, {S("07:30"), S("16")}));
    EXPECT_EQ(IniGet(gAppName, S("DayStart"), G.gIniFile), S("07:30"));
    EXPECT_EQ(IniGet(gAppName, S("CPULimit"), G.gIniFile), S("16"));
    EXPECT_EQ(read.cpuLimit, S("16"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    // A configuration file that cannot be written: the operator hears why.
    const QString ini = G.gIniFile;
    G.gIniFile = dir.path(S("gone/sched.ini"));
    EXPECT_FALSE(SaveForExit(read, {S("08:00"), S("4")}));
    EXPECT_EQ(read.startTime, S("07:30"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("The start time and CPU limit were not saved.\n\nCannot write \"") +
                                               G.gIniFile + u'"'))
        << prompts.messages[0].toStdString();
    prompts.messages.clear();
    G.gIniFile = ini;

    G.gIniTemp = true;
    OfferAsDefault();
    EXPECT_TRUE(prompts.messages.isEmpty());
    G.gIniTemp = false;
    prompts.queueAnswer(MsgAnswer::Yes);
    OfferAsDefault();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Do you want the following Ini file\n\n") + G.gIniFile));
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), G.gIniFile);
    OfferAsDefault();  // already the default: no question
    EXPECT_EQ(prompts.messages.size(), 1);
}

}  // namespace
