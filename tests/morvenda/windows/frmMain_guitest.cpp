#include "morvenda/windows/frmMain.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/frmAbout.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmLGrid.h"
#include "morvenda/windows/frmSched.h"
#include "morvenda/windows/frmStartUp.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>

#include <gtest/gtest.h>

// The start-up window on a copy of the demo installation.

namespace {

class FrmMainTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 23, 20, 0));
        InstallDemo(dir);
    }
    QString ini() const { return dir.path(S("DEMO/DEMO.ini")); }

    frmMain window;
};

// The about box stands as the splash while start-up runs, and never behind
// what start-up shows next or after a start-up that ends the program.
TEST_F(FrmMainTest, TheSplashGivesWayToTheFirstRunWindowAndEndsWithStartUp) {
    const auto splashShown = [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<frmAbout*>(top) && top->isVisible()) return true;
        return false;
    };
    bool splashBehind = true;
    bool firstRunShown = false;
    WhenShown<frmStartUp>([&](frmStartUp* w) {
        firstRunShown = true;
        splashBehind = splashShown();
        Press(*w, "cmdCancel");
    });
    EXPECT_THROW(window.Form_Load(QString()), FatalStop);
    EXPECT_TRUE(firstRunShown);
    EXPECT_FALSE(splashBehind);
    EXPECT_FALSE(splashShown());

    // A configuration file that is not there ends start-up with the splash.
    G.gIniFile.clear();
    EXPECT_THROW(window.Form_Load(dir.path(S("missing.ini"))), FatalStop);
    EXPECT_FALSE(splashShown());
    G.gIniFile.clear();
    window.Form_Load(ini() + S(",TEMP"));
    EXPECT_FALSE(splashShown());
}

TEST_F(FrmMainTest, StartsOnTheDemoAndShowsTheSchedule) {
    window.Form_Load(ini() + S(",TEMP"));
    EXPECT_EQ(Child<QLabel>(window, "lblINIFile")->text(), ini());
    EXPECT_EQ(Child<QGroupBox>(window, "fraSchedule")->title(), S("Schedule: DEMO"));
    EXPECT_EQ(Child<QLineEdit>(window, "txtRunDate")->text(), S("8 Dec 2026"));
    EXPECT_EQ(Child<QLabel>(window, "lblDay")->text(), S("Tuesday"));
    EXPECT_EQ(Child<QLabel>(window, "lblStartTime")->text(), S("00:00"));
    EXPECT_EQ(Child<QLabel>(window, "lblCPULimit")->text(), S("8"));
    EXPECT_EQ(window.windowTitle(), S("Morvenda - Windows Scheduler"));
    EXPECT_EQ(JobCount(), 10);
    EXPECT_FALSE(G.gStartingUp);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();

    // The arrows move the run date; a text that is no date changes nothing.
    window.UpDown_Change(1);
    EXPECT_EQ(Child<QLineEdit>(window, "txtRunDate")->text(), S("9 Dec 2026"));
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 9));
    Child<QLineEdit>(window, "txtRunDate")->setText(S("not a date"));
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2026, 12, 9));
    window.UpDown_Change(-1);
    EXPECT_EQ(Child<QLineEdit>(window, "txtRunDate")->text(), S("not a date"));
}

TEST_F(FrmMainTest, TheConfigurationFileLabelNamesTheFileAndOpensAnother) {
    window.Form_Load(ini() + S(",TEMP"));
    auto* label = Child<QLabel>(window, "lblINIFile");
    EXPECT_EQ(label->text(), ini());
    EXPECT_EQ(label->toolTip(), ini());
    // A double-click offers another file, starting at this one; cancelled,
    // nothing changes.
    QString shownFolder;
    WhenShown<QFileDialog>([&](QFileDialog* dlg) {
        shownFolder = dlg->directory().absolutePath();
        dlg->reject();
    });
    window.show();
    QTest::mouseDClick(label, Qt::LeftButton);
    EXPECT_EQ(shownFolder, dir.path(S("DEMO")));
    EXPECT_EQ(G.gIniFile, ini());
}

TEST_F(FrmMainTest, LaunchRunsTheDemoToItsEnd) {
    window.Form_Load(ini() + S(",TEMP"));
    bool sawWindow = false;
    // Drives the execution window while it is shown modally: a pass every
    // 200 ms of real time, each twenty seconds of schedule time, until the
    // schedule completes; then Exit.
    WhenShown<frmSched>([&](frmSched* sched) {
        sawWindow = true;
        auto* kick = sched->findChild<QPushButton*>(S("cmdKick"));
        for (int i = 0; i < 300 && !G.gSchedComplete; ++i) {
            clock.advance(20);
            kick->click();
            QTest::qWait(200);
        }
        auto* list = Child<QListView>(*sched, "lstProgList");
        ASSERT_NE(list, nullptr);
        const QStringList lines = qobject_cast<QStringListModel*>(list->model())->stringList();
        EXPECT_TRUE(lines.filter(S("Schedule Completed at ")).size() == 1)
            << lines.join(QLatin1Char('\n')).toStdString();
        Press(*sched, "cmdExit");
    });
    window.cmdLaunch_Click();
    ASSERT_TRUE(sawWindow);
    EXPECT_TRUE(G.gSchedComplete);

    const QString log = QString::fromUtf8(dir.read(S("DEMO/Log/20261208.log")));
    EXPECT_TRUE(log.contains(S("Schedule for Tuesday 8 Dec 2026 ----------------------------------------")));
    EXPECT_TRUE(log.contains(S("BROKEN   Failed(Exit code 2)")));
    EXPECT_TRUE(log.contains(S("NOTIFY Unscheduled at ")));
    EXPECT_TRUE(log.contains(S("Closing")));

    // The saved schedule holds the final states.
    LoadScheduleFrom(dir.path(S("DEMO/DEMO.sch")));
    auto state = [](const char* name) { return Job(FindJob(S(name))).JobState; };
    for (const char* done : {"EXTRACT", "LOAD", "REPORT", "BIGCPU", "CLEANUP", "ARCHIVE", "PUBLISH", "NIGHTLY"})
        EXPECT_EQ(state(done), jsCompleted) << done;
    EXPECT_EQ(state("BROKEN"), jsAborted);  // its exit status is in the log line above
}

TEST_F(FrmMainTest, EditScheduleOpensTheGrid) {
    window.Form_Load(ini() + S(",TEMP"));
    bool sawGrid = false;
    WhenShown<frmLGrid>([&](frmLGrid* grid) {
        sawGrid = true;
        EXPECT_EQ(grid->windowTitle(), S("Schedule Update"));
        Press(*grid, "cmdClose");
    });
    auto* mnuEdit = window.findChild<QAction*>(S("mnuEdit"));
    ASSERT_TRUE(mnuEdit->isEnabled());
    mnuEdit->trigger();
    EXPECT_TRUE(sawGrid);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(FrmMainTest, LaunchRefusesLoopsAndBadFields) {
    window.Form_Load(ini() + S(",TEMP"));
    Child<QLineEdit>(window, "txtRunDate")->setText(S("31 Feb 2026"));
    window.cmdLaunch_Click();
    EXPECT_EQ(prompts.messages.back(), S("Invalid schedule run date"));
    Child<QLineEdit>(window, "txtRunDate")->setText(S("8 Dec 2026"));

    // EXTRACT after ARCHIVE closes a circle through LOAD, REPORT and ARCHIVE.
    Job(FindJob(S("EXTRACT"))).RunAfter = QStringList{S("ARCHIVE")};
    Job(FindJob(S("EXTRACT"))).RunAfterStatus = S("S");
    window.cmdLaunch_Click();
    EXPECT_EQ(prompts.messages.back(), S("Circular job dependencies exist.  See log for details"));
    EXPECT_TRUE(
        dir.read(S("DEMO/Log/20261208.log")).contains("Circular dependencies involving jobs EXTRACT and ARCHIVE"));
}

// The configuration editor saves while the window is open: Exit keeps what
// it saved. Only a value this window changed is written back, once.
TEST_F(FrmMainTest, ExitKeepsWhatTheEditorSavedMeanwhile) {
    window.Form_Load(ini() + S(",TEMP"));
    const auto value = [&](const char* key) { return IniGet(gAppName, S(key), ini()); };
    ASSERT_TRUE(IniPut(gAppName, S("DayStart"), S("18:00"), ini()));
    ASSERT_TRUE(IniPut(gAppName, S("CPULimit"), S("4"), ini()));
    Child<QLabel>(window, "lblStartTime")->setText(S("07:30"));
    WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    window.mnuOpen_Click();  // saves before it asks for another file
    EXPECT_EQ(value("DayStart"), S("07:30"));
    EXPECT_EQ(value("CPULimit"), S("4"));

    ASSERT_TRUE(IniPut(gAppName, S("DayStart"), S("19:00"), ini()));
    window.close();
    EXPECT_EQ(value("DayStart"), S("19:00"));
    EXPECT_EQ(value("CPULimit"), S("4"));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(FrmMainTest, ExitOffersTheDefaultOnlyWhenItShould) {
    window.Form_Load(ini() + S(",TEMP"));
    window.close();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), S(""));

    ResetState();
    frmMain second;
    second.Form_Load(ini());
    prompts.queueAnswer(MsgAnswer::Yes);
    second.close();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Do you want the following Ini file")));
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), ini());

    ResetState();
    frmMain third;
    third.Form_Load(ini());
    third.close();
    EXPECT_EQ(prompts.messages.size(), 1);  // already the default: not asked again
}

}  // namespace
