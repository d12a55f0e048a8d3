#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "common/constants.h"
#include "common/ini.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/MRVDir.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmMain.h"
#include "morvenda/windows/frmSched.h"
#include "mrvemail/emailconfig.h"
#include "mrvgenie/windows/MRVGPages.h"
#include "tests/support/companiontests.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

namespace {

class GenieTest : public SchedulerStateTest {
protected:
    GenieTest() {
        QDir().mkpath(dir.path(S("bin")));
        // The temporary folder stands for a fixed drive.
        SetChooserDrives([this] { return QStringList{dir.path()}; },
                         [this](const QString& p) { return p.startsWith(dir.path()) ? dir.path() : S("/"); });
    }
    ~GenieTest() override { SetChooserDrives({}, {}); }

    static void click(QWidget* page, const char* name) {
        QTest::mouseClick(Child<QPushButton>(*page, name), Qt::LeftButton);
    }

    // Browse on the Base page, with What done in the chooser.
    void browse(MRVGenie& genie, const std::function<void(MRVDir&)>& what) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<MRVDir*>(QApplication::activeModalWidget());
            ASSERT_NE(chooser, nullptr);
            seen = true;
            EXPECT_EQ(chooser->windowTitle(), S("Morvenda Startup Genie"));
            what(*chooser);
        });
        click(genie.Base(), "cmdBrowse");
        EXPECT_TRUE(seen);
    }
};

TEST_F(GenieTest, AGenieRunLeavesAnInstallationThatMorvendaAndTheEmailerStartOn) {
    MRVGenie genie(dir.path(S("bin")));
    genie.DateOrderProbe = [] { return 0; };
    QSignalSpy ended(&genie, &MRVGenie::finished);
    genie.Start();
    ASSERT_EQ(genie.Visible(), genie.Intro());
    EXPECT_EQ(genie.Intro()->windowTitle(), S("Morvenda Configuration Genie"));
    // Where the operator put the genie and the size given it: every page
    // after takes them.
    genie.Intro()->setGeometry(QRect(100, 80, 620, 420));
    const QRect place = genie.Intro()->geometry();
    click(genie.Intro(), "cmdNext");
    ASSERT_EQ(genie.Visible(), genie.Base());
    EXPECT_EQ(genie.Base()->geometry(), place);

    // The chooser starts at the genie's folder; a new folder beside it.
    browse(genie, [&](MRVDir& chooser) {
        EXPECT_EQ(chooser.OpenFolder(), dir.path(S("bin")));
        OpenInChooser(chooser, dir.path());
        prompts.queueInput(S("Morvenda"));
        click(&chooser, "cmdNew");
        click(&chooser, "cmdOK");
    });
    const QString base = dir.path(S("Morvenda"));
    EXPECT_EQ(Child<QLineEdit>(*genie.Base(), "txtBase")->text(), base);
    EXPECT_EQ(Child<QLineEdit>(*genie.Base(), "txtBase")->toolTip(), base);
    click(genie.Base(), "cmdNext");

    QTest::keyClicks(Child<QLineEdit>(*genie.Name(), "txtName"), S("Pay roll"));
    click(genie.Name(), "cmdNext");
    click(genie.WDays(), "cmdNext");
    EXPECT_FALSE(Child<QPushButton>(*genie.Select(), "cmdFinish")->isEnabled());
    Child<QRadioButton>(*genie.Select(), "optStandard")->click();
    click(genie.Select(), "cmdFinish");
    ASSERT_EQ(genie.Visible(), genie.Generate());
    EXPECT_EQ(genie.Generate()->geometry(), place);

    // The generation runs once the page is up; Close waits for it.
    auto* close = Child<QPushButton>(*genie.Generate(), "cmdClose");
    for (int i = 0; i < 100 && !close->isEnabled(); ++i) QTest::qWait(20);
    ASSERT_TRUE(close->isEnabled());
    auto* log = Child<QListWidget>(*genie.Generate(), "lstLog");
    EXPECT_EQ(log->item(0)->text(), S("Morvenda Genie Configuration Log"));
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, log->visualItemRect(log->item(2)).center());
    EXPECT_EQ(log->toolTip(), S("Folder ") + base + S(" already exists."));  // made in the chooser
    genie.Generate()->Generate();                                            // a second activation does nothing
    EXPECT_EQ(log->findItems(S("Morvenda Genie Configuration Log"), Qt::MatchExactly).size(), 1);
    click(genie.Generate(), "cmdClose");
    EXPECT_TRUE(genie.Ended());
    EXPECT_EQ(genie.Visible(), nullptr);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();

    const QString ini = base + S("/Payroll/Payroll.ini");
    EXPECT_EQ(IniGet(gAppName, S("WorkDays"), ini), S("Mon,Tue,Wed,Thu,Fri"));
    EXPECT_EQ(GetSetting(gAppName, gRegSection, S("Current")), ini);

    // The scheduler finds the new schedule through "Current", starts without
    // a single message and launches the empty schedule.
    frmMain window;
    window.Form_Load(QString());
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();
    EXPECT_EQ(G.gIniFile, ini);
    EXPECT_EQ(Child<QGroupBox>(window, "fraSchedule")->title(), S("Schedule: Payroll"));
    EXPECT_EQ(JobCount(), 0);
    bool launched = false;
    QTimer::singleShot(0, [&] {
        auto* sched = qobject_cast<frmSched*>(QApplication::activeModalWidget());
        ASSERT_NE(sched, nullptr);
        launched = true;
        sched->findChild<QPushButton*>(S("cmdKick"))->click();
        QTest::qWait(100);
        sched->findChild<QPushButton*>(S("cmdExit"))->click();
    });
    window.cmdLaunch_Click();
    EXPECT_TRUE(launched);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();
    EXPECT_TRUE(QFileInfo::exists(base + S("/Payroll/Log/20261208.log")));

    // The e-mailer finds its file through "MRVEmailIni" and loads it.
    const QString emailIni = FindEmailIni(QString(), dir.path(S("bin/MRVEmail")));
    EXPECT_EQ(emailIni, base + S("/@Email/MRVEmail.Ini"));
    EmailConfig emailConfig;
    EXPECT_EQ(LoadEmailConfig(emailIni, &emailConfig), std::nullopt);
    QString error;
    EXPECT_TRUE(ReadSmtpSettings(emailIni, emailConfig.profileName, &error).has_value()) << error.toStdString();
}

TEST_F(GenieTest, PagesFollowTheirRulesAndKeepTheirAnswers) {
    MRVGenie genie(dir.path(S("bin")));
    genie.DateOrderProbe = [] { return -1; };
    genie.Start();
    click(genie.Intro(), "cmdNext");

    // Base: nothing chosen, nothing to go on with; the close box of the
    // chooser takes nothing either.
    auto* next = Child<QPushButton>(*genie.Base(), "cmdNext");
    EXPECT_FALSE(next->isEnabled());
    browse(genie, [](MRVDir& chooser) { chooser.close(); });
    EXPECT_EQ(Child<QLineEdit>(*genie.Base(), "txtBase")->text(), S(""));
    EXPECT_FALSE(next->isEnabled());
    browse(genie, [&](MRVDir& chooser) { click(&chooser, "cmdOK"); });
    EXPECT_EQ(Child<QLineEdit>(*genie.Base(), "txtBase")->text(), dir.path(S("bin")));
    EXPECT_TRUE(next->isEnabled());
    click(genie.Base(), "cmdNext");

    // Name: only allowed characters, as typed; backspace always works.
    auto* name = Child<QLineEdit>(*genie.Name(), "txtName");
    next = Child<QPushButton>(*genie.Name(), "cmdNext");
    EXPECT_FALSE(next->isEnabled());
    QTest::keyClicks(name, S("ab c.d/e,f"));
    EXPECT_EQ(name->text(), S("abcdef"));
    EXPECT_EQ(name->toolTip(), S("abcdef"));
    QTest::keyClick(name, Qt::Key_Backspace);
    EXPECT_EQ(name->text(), S("abcde"));
    EXPECT_TRUE(next->isEnabled());
    name->clear();
    EXPECT_FALSE(next->isEnabled());
    QTest::keyClicks(name, S("Ops_1"));
    click(genie.Name(), "cmdNext");

    // Working days: no order found, none chosen yet.
    MRVGWDays* wdays = genie.WDays();
    auto* days = Child<QListWidget>(*wdays, "lsbWDays");
    auto* order = Child<QComboBox>(*wdays, "cboDateDsplyFormat");
    EXPECT_EQ(SelectedTexts(days),
              (QStringList{S("Monday"), S("Tuesday"), S("Wednesday"), S("Thursday"), S("Friday")}));
    EXPECT_EQ(order->currentIndex(), -1);
    click(wdays, "cmdNext");
    EXPECT_EQ(prompts.messages, QStringList{S("Please select a date display format.")});
    EXPECT_EQ(genie.Visible(), wdays);

    prompts.messages.clear();
    order->setCurrentIndex(1);
    EXPECT_EQ(order->toolTip(), S("Example: Apr 1 2002"));
    days->clearSelection();
    click(wdays, "cmdNext");
    EXPECT_EQ(prompts.messages, QStringList{S("Please select at least one day as a normal working day.")});
    EXPECT_EQ(SelectedTexts(days).size(), 5);
    EXPECT_EQ(days->currentItem(), nullptr);
    EXPECT_EQ(genie.Visible(), wdays);

    days->item(6)->setSelected(true);
    click(wdays, "cmdNext");
    EXPECT_EQ(genie.A.WorkDays, S("Mon,Tue,Wed,Thu,Fri,Sat"));
    EXPECT_EQ(genie.A.DateOrder, 1);
    EXPECT_EQ(genie.A.EmailDateFormat, S("mmm dd yyyy"));
    EXPECT_EQ(genie.A.Name, S("Ops_1"));
    EXPECT_EQ(genie.A.Base, dir.path(S("bin")));

    // Select: the second option leaves the page where it is and says why.
    MRVGSelect* select = genie.Select();
    Child<QRadioButton>(*select, "optOwnFolders")->click();
    EXPECT_FALSE(Child<QPushButton>(*select, "cmdNext")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*select, "cmdFinish")->isEnabled());
    EXPECT_TRUE(Child<QLabel>(*select, "lblOwnFolders")->isVisible());
    Child<QRadioButton>(*select, "optStandard")->click();
    EXPECT_TRUE(Child<QPushButton>(*select, "cmdNext")->isEnabled());
    EXPECT_FALSE(Child<QLabel>(*select, "lblOwnFolders")->isVisible());

    // Back all the way: every page as it was left.
    click(select, "cmdBack");
    ASSERT_EQ(genie.Visible(), wdays);
    EXPECT_EQ(SelectedTexts(days).size(), 6);
    EXPECT_EQ(order->currentIndex(), 1);
    click(wdays, "cmdBack");
    ASSERT_EQ(genie.Visible(), genie.Name());
    EXPECT_EQ(name->text(), S("Ops_1"));
    click(genie.Name(), "cmdBack");
    ASSERT_EQ(genie.Visible(), genie.Base());
    EXPECT_EQ(Child<QLineEdit>(*genie.Base(), "txtBase")->text(), dir.path(S("bin")));
    click(genie.Base(), "cmdBack");
    EXPECT_EQ(genie.Visible(), genie.Intro());
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("bin/Ops_1"))));

    // The locale's order is the first choice.
    for (int probe : {0, 1}) {
        MRVGenie other(dir.path(S("bin")));
        other.DateOrderProbe = [probe] { return probe; };
        EXPECT_EQ(Child<QComboBox>(*other.WDays(), "cboDateDsplyFormat")->currentIndex(), probe);
        EXPECT_EQ(other.A.EmailDateFormat, OrderEmailFormat(probe));
    }
}

TEST_F(GenieTest, NoPageGoesOnAndNothingIsMadeWithoutABaseFolderAndAName) {
    // Next pressed however it is reached (its shortcut, a test) while the
    // value is missing leaves the page where it is.
    MRVGenie genie(dir.path(S("bin")));
    genie.Start();
    click(genie.Intro(), "cmdNext");
    genie.Base()->cmdNext_Click();
    EXPECT_EQ(genie.Visible(), genie.Base());
    EXPECT_FALSE(Child<QPushButton>(*genie.Base(), "cmdNext")->isEnabled());
    genie.Show(genie.Base(), genie.Name());
    genie.Name()->cmdNext_Click();
    EXPECT_EQ(genie.Visible(), genie.Name());
    EXPECT_TRUE(genie.A.Base.isEmpty() && genie.A.Name.isEmpty());

    // A generation without them writes nothing where the program happens
    // to run, and says why.
    TempDir work;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    for (const GenieAnswers& a : {GenieAnswers{QString(), S("Pay"), S("Mon"), 0, S("dd mmm yyyy")},
                                  GenieAnswers{dir.path(S("Base")), QString(), S("Mon"), 0, S("dd mmm yyyy")}}) {
        prompts.messages.clear();
        GenieLog log(dir.path(S("genie.log")));
        const GenerateResult r = DoGenerate(a, dir.path(S("bin")), log);
        EXPECT_EQ(r.Failures.size(), 1);
        EXPECT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(QDir(work.path()).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(dir.path(S("Base"))));
        EXPECT_TRUE(GetSetting(gAppName, gRegSection, S("Current")).isEmpty());
    }
    QDir::setCurrent(before);
}

TEST_F(GenieTest, CancelAsksFirstAndTheCloseBoxIsCancel) {
    MRVGenie genie(dir.path(S("bin")));
    QSignalSpy ended(&genie, &MRVGenie::finished);
    genie.Start();
    click(genie.Intro(), "cmdNext");
    MRVGBase* page = genie.Base();

    prompts.queueAnswer(MsgAnswer::No);
    click(page, "cmdCancel");
    prompts.queueAnswer(MsgAnswer::No);
    page->close();
    EXPECT_EQ(prompts.messages, QStringList(2, S("Are you sure you want to cancel?")));
    EXPECT_EQ(genie.Visible(), page);
    EXPECT_FALSE(genie.Ended());

    // Yes ends the genie; a call-back naming no file is only forgotten.
    ASSERT_TRUE(SaveSetting(gAppName, gRegSection, gCallBackKey, dir.path(S("nothing"))));
    prompts.queueAnswer(MsgAnswer::Yes);
    page->close();
    EXPECT_TRUE(genie.Ended());
    EXPECT_EQ(genie.Visible(), nullptr);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(GetSetting(gAppName, gRegSection, gCallBackKey, S("none")), S("none"));
    EXPECT_EQ(prompts.messages.size(), 3);
}

}  // namespace
