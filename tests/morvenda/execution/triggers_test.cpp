#include "morvenda/execution/triggers.h"

#include "common/constants.h"
#include "morvenda/core/state.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class TriggersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        G.gTriggerPath = dir.path(S("@Trigger"));
        G.gTrackerPath = dir.path(S("Tracker"));
        G.gLogFile = dir.path(S("yyyymmdd.log"));
        G.gSchedName = S("ACCOUNTS");
        QDir().mkpath(G.gTriggerPath);
        QDir().mkpath(G.gTrackerPath);
        G.Jobs.resize(3);
        G.Jobs[1].JobName = S("PAYROLL");
        G.Jobs[1].TriggerFile = gStdTrigger;
        G.Jobs[2].JobName = S("BACKUP");
    }
    void TearDown() override { ResetState(); }
    QByteArray log() const { return dir.read(S("20261208.log")); }

    TempDir dir;
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 17, 4, 5)};
    ScriptedPrompter prompts;
};

TEST_F(TriggersTest, StandardAndExternalTriggerFiles) {
    CrtTrigger(1);
    EXPECT_EQ(dir.read(S("@Trigger/PAYROLL.trg")),
              QByteArray("Trigger file for job PAYROLL written at 8 Dec 2026 17:04:05\r\n"));
    G.Jobs[2].TriggerFile = dir.path(S("out/backup.done"));
    QDir().mkpath(dir.path(S("out")));
    CrtTrigger(2);
    EXPECT_FALSE(dir.read(S("out/backup.done")).isEmpty());

    EXPECT_TRUE(TrigFileFound(S("..PAYROLL")));
    EXPECT_TRUE(TrigFileFound(S("..PAYROLL ")));
    EXPECT_TRUE(TrigFileFound(dir.path(S("out/backup.done"))));
    EXPECT_FALSE(TrigFileFound(S("..NOBODY")));
    EXPECT_FALSE(TrigFileFound(S("/no/such/drive/file")));
    EXPECT_FALSE(TrigFileFound(QString()));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(TriggersTest, FailuresAreLoggedNotFatal) {
    G.Jobs[2].TriggerFile = dir.path(S("missing/folder/x.trg"));
    CrtTrigger(2);
    EXPECT_TRUE(log().contains("Could not create trigger file: \"" + dir.path(S("missing/folder/x.trg")).toUtf8() +
                               "\" at end of job BACKUP   (cannot create a file in the folder \"" +
                               dir.path(S("missing/folder")).toUtf8() + "\": No such file or directory)\r\n"));
    G.Jobs[2].WaitForFile = S("..PAYROLL");
    DeleteTrigger(2);
    EXPECT_TRUE(log().contains("Could not delete trigger file: \"" + dir.path(S("@Trigger/PAYROLL.trg")).toUtf8() +
                               "\" at start of job BACKUP   (No such file or directory)\r\n"));
    CrtTrigger(1);
    DeleteTrigger(2);
    EXPECT_FALSE(TrigFileFound(S("..PAYROLL")));
}

TEST_F(TriggersTest, StandardNamesAreUpperCaseAndNeedAFolder) {
    G.Jobs[1].JobName = S("payroll");
    CrtTrigger(1);
    EXPECT_FALSE(dir.read(S("@Trigger/PAYROLL.trg")).isEmpty());
    EXPECT_TRUE(TrigFileFound(S("..Payroll")));

    G.gTriggerPath.clear();
    CrtTrigger(1);
    EXPECT_FALSE(TrigFileFound(S("..PAYROLL")));
    G.Jobs[2].WaitForFile = S("..PAYROLL");
    DeleteTrigger(2);
    EXPECT_TRUE(
        log().contains("Could not create trigger file: the trigger folder (\"TriggerPath\") is not set at end "
                       "of job payroll "));
    EXPECT_TRUE(
        log().contains("Could not delete trigger file: the trigger folder (\"TriggerPath\") is not set at "
                       "start of job BACKUP  "));
    EXPECT_FALSE(QFile::exists(S("/PAYROLL.trg")));
}

TEST_F(TriggersTest, TrackerHoldsOnlyTheLatestStatus) {
    Track(S("PAYROLL "), S("Started"));
    clock.advance(61);
    Track(S("PAYROLL"), S("Completed "));
    EXPECT_EQ(dir.read(S("Tracker/PAYROLL.trk")), QByteArray("Completed,ACCOUNTS,8 Dec 2026 17:05:06\r\n"));
    // Written through a temporary file renamed into place: nothing else is left.
    EXPECT_EQ(QDir(dir.path(S("Tracker"))).entryList(QDir::Files), QStringList{S("PAYROLL.trk")});
    G.gTrackerPath.clear();
    Track(S("BACKUP"), S("Started"));
    EXPECT_EQ(QDir(dir.path(S("Tracker"))).entryList(QDir::Files).size(), 1);
}

TEST_F(TriggersTest, WriteFileGivesUpOnAMissingFolderWithOneLogLine) {
    EXPECT_FALSE(WriteFile(dir.path(S("gone/x.trk")), S("x")));
    EXPECT_EQ(log().count("Cannot write to file "), 1);
    // The reason on the same line: a run log line never holds a line end.
    EXPECT_TRUE(
        log().contains("Cannot write to file " + dir.path(S("gone/x.trk")).toUtf8() + ": cannot create a file"));
    EXPECT_EQ(log().count('\n'), 1);
}

// A trigger or tracker file name planted as a symbolic link in its folder is
// replaced by the file; what the link pointed at is left alone.
TEST_F(TriggersTest, APlantedLinkIsReplacedNotFollowed) {
    const QString victim = dir.write(S("victim.txt"), "keep me\n");
    ASSERT_TRUE(QFile::link(victim, dir.path(S("@Trigger/PAYROLL.trg"))));
    ASSERT_TRUE(QFile::link(victim, dir.path(S("Tracker/PAYROLL.trk"))));
    CrtTrigger(1);
    Track(S("PAYROLL"), S("Completed"));
    EXPECT_EQ(dir.read(victim), QByteArray("keep me\n"));
    for (const char* f : {"@Trigger/PAYROLL.trg", "Tracker/PAYROLL.trk"})
        EXPECT_FALSE(QFileInfo(dir.path(S(f))).isSymLink()) << f;
    EXPECT_EQ(dir.read(S("@Trigger/PAYROLL.trg")),
              QByteArray("Trigger file for job PAYROLL written at 8 Dec 2026 17:04:05\r\n"));
    EXPECT_EQ(dir.read(S("Tracker/PAYROLL.trk")), QByteArray("Completed,ACCOUNTS,8 Dec 2026 17:04:05\r\n"));
}

}  // namespace
