#include "tests/windows/allwindows.h"

#include "common/gui/MRVDir.h"
#include "common/gui/frmAbout.h"
#include "common/gui/programicon.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/frmDateSel.h"
#include "morvenda/core/frmLogVw.h"
#include "morvenda/core/state.h"
#include "morvenda/editing/frmColSel.h"
#include "morvenda/editing/frmEdVar.h"
#include "morvenda/editing/frmEdit.h"
#include "morvenda/editing/frmIncFile.h"
#include "morvenda/editing/frmLGrid.h"
#include "morvenda/editing/frmResched.h"
#include "morvenda/editing/frmSelAddr.h"
#include "morvenda/execution/frmSched.h"
#include "morvenda/startup/frmDumOp.h"
#include "morvenda/startup/frmMain.h"
#include "morvenda/startup/frmStartUp.h"
#include "mrvchap/frmMRVChap.h"
#include "mrvconfg/config.h"
#include "mrvconfg/frmConfig.h"
#include "mrvconfg/frmDateSel.h"
#include "mrvconfg/frmPubHol.h"
#include "mrvdummy/frmDummy.h"
#include "mrvemail/frmEmail.h"
#include "mrvgenie/MRVGPages.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <map>
#include <string>

namespace {

// A window that owns another program's windows and shows them all.
class Holder : public QWidget {
public:
    std::function<void()> release;
    ~Holder() override {
        if (release) release();
    }
};

std::unique_ptr<QWidget> GeniePages() {
    auto holder = std::make_unique<Holder>();
    auto* genie = new MRVGenie(QDir::tempPath());
    holder->release = [genie] { delete genie; };
    for (QWidget* page : std::initializer_list<QWidget*>{genie->Intro(), genie->Base(), genie->Name(), genie->WDays(),
                                                         genie->Select(), genie->Generate()})
        page->show();
    return holder;
}

std::unique_ptr<QWidget> HolidaysEditor() {
    auto holder = std::make_unique<Holder>();
    auto* box = new QLineEdit(holder.get());
    auto* editor = new MRVPubHol(box, QString());
    holder->release = [editor] { delete editor; };
    editor->show();
    return holder;
}

// The job editor on a job of its own.
std::unique_ptr<QWidget> JobEditor() {
    JobRec job;
    job.JobName = S("MNEMO");
    job.Group = S("General");
    job.Frequency = S("Daily");
    G.Jobs.resize(1);
    G.Jobs.push_back(job);
    JobTableChanged();
    G.gCurJob = 1;
    return std::make_unique<frmEdit>();
}

}  // namespace

std::vector<WindowFactory> AllWindows() {
    return {
        {"frmMain", [] { return std::make_unique<frmMain>(); }},
        {"frmSched", [] { return std::make_unique<frmSched>(false); }},
        {"frmAbout", [] { return std::make_unique<frmAbout>(); }},
        {"frmEmail", [] { return std::make_unique<frmEmail>(); }},
        {"frmDummy", [] { return std::make_unique<frmDummy>(S("JN=MNEMO,CL=\"true\"")); }},
        {"MRVConfig", [] { return std::make_unique<MRVConfig>(); }},
        {"MRVDateSel", [] { return std::make_unique<MRVDateSel>(); }},
        {"MRVPubHol", HolidaysEditor},
        {"MRVDir", [] { return std::make_unique<MRVDir>(); }},
        {"MRVGenie", GeniePages},
        {"frmEdit", JobEditor},
        {"frmLGrid",
         [] {
             JobEditor();
             return std::make_unique<frmLGrid>();
         }},
        {"frmColSel", [] { return std::make_unique<frmColSel>(); }},
        {"frmResched",
         [] {
             JobEditor();
             return std::make_unique<frmResched>([] {});
         }},
        {"frmLogVw", [] { return std::make_unique<frmLogVw>(); }},
        {"frmStartUp", [] { return std::make_unique<frmStartUp>(); }},
        {"frmDumOp", [] { return std::make_unique<frmDumOp>(); }},
        {"frmDateSel", [] { return std::make_unique<frmDateSel>(); }},
        {"frmIncFile",
         [] {
             static IncludeFileParams params;
             return std::make_unique<frmIncFile>(params);
         }},
        {"frmSelAddr", [] { return std::make_unique<frmSelAddr>(); }},
        {"frmEdVar",
         [] {
             static DateVarParams params;
             return std::make_unique<frmEdVar>(params);
         }},
        {"frmMRVChap", [] { return std::make_unique<frmMRVChap>(); }},
    };
}

QWidget* WindowNamed(QWidget* Made, const char* Name) {
    if (Made->objectName() == QLatin1String(Name)) return Made;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->objectName() == QLatin1String(Name)) return top;
    return nullptr;
}

void AllWindowsTest::SetUp() {
    ResetState();
    JobTableChanged();
    // What the execution window needs to start its run date.
    G.gIniFile = dir.write(S("sched.ini"), "[Morvenda]\r\nTimerSecs=30\r\n");
    G.gSchedFile = dir.path(S("sched.sch"));
    G.gLogFile = dir.path(S("yyyymmdd.log"));
    G.gRunDate = DateVal::fromDate(2026, 12, 8);
    G.gCPULimit = 9999;
    G.gMinJobLaunch = 10;
}

void AllWindowsTest::TearDown() {
    ResetState();
    JobTableChanged();
}

namespace {

// F1 in a window with a help topic opens that topic's page, through the
// desktop's opener (here a stand-in that records what it was given); each
// page of a window with pages opens its own.
TEST_F(AllWindowsTest, F1OpensTheHelpPageOfEveryWindowAndPage) {
    struct Case {
        const char* window;
        const char* page;  // the tab to show first, or null
        const char* topic;
        bool confg;  // the configuration editor's pages lie in its help folder itself
    };
    const Case cases[] = {
        {"frmMain", nullptr, "Startup", false},
        {"frmDumOp", nullptr, "Dummy Run Options", false},
        {"frmSched", nullptr, "Schedule Execution Form", false},
        {"frmLGrid", nullptr, "Schedule Update Form", false},
        {"frmColSel", nullptr, "Customise View", false},
        {"frmResched", nullptr, "Modify Schedule", false},
        {"frmIncFile", nullptr, "Included File Specification", false},
        {"frmSelAddr", nullptr, "Email Address Selection", false},
        {"frmEdVar", nullptr, "Job Edit Form - Substitution Tab", false},
        {"frmEdit", "Submission", "Job Edit Form - Submission Tab", false},
        {"frmEdit", "Substitution", "Job Edit Form - Substitution Tab", false},
        {"frmEdit", "Timing", "Job Edit Form - Timing Tab", false},
        {"frmEdit", "Dependencies", "Job Edit Form - Dependencies Tab", false},
        {"frmEdit", "Normal EOJ", "Job Edit Form - Normal EOJ Tab", false},
        {"frmEdit", "Abnormal EOJ", "Job Edit Form - Abnormal EOJ Tab", false},
        {"MRVConfig", "File Locations", "MRVConfg Files", true},
        {"MRVConfig", "Schedule Data", "MRVConfg Sched", true},
        {"MRVPubHol", nullptr, "Public Holidays", true},
    };
    FakeOpener opener;
    ScopedEnv path("PATH", (opener.bin() + S(":") + qEnvironmentVariable("PATH")).toLocal8Bit());
    ScopedEnv record("MRV_TEST_OPENED", opener.record.toLocal8Bit());
    TempDir help;
    std::map<std::string, WindowFactory> factories;
    for (const WindowFactory& f : AllWindows()) factories.emplace(f.name, f);

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.window) + " " + c.topic);
        G.gHelpPath = help.path(S("sched"));
        confg::gConfg.gHelpPath = help.path(S("confg"));
        const QString page = c.confg ? help.write(S("confg/") + S(c.topic) + S(".htm"), "<h1>x</h1>")
                                     : help.write(S("sched/help/") + S(c.topic) + S(".htm"), "<h1>x</h1>");
        ASSERT_TRUE(factories.count(c.window));
        std::unique_ptr<QWidget> made = factories.at(c.window).make();
        if (made->objectName() == QLatin1String(c.window)) made->show();
        QWidget* w = WindowNamed(made.get(), c.window);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        if (c.page) {
            QTabWidget* tabs = w->findChild<QTabWidget*>();
            ASSERT_NE(tabs, nullptr);
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i) == QLatin1String(c.page)) tabs->setCurrentIndex(i);
            ASSERT_EQ(tabs->tabText(tabs->currentIndex()), QLatin1String(c.page));
            QCoreApplication::processEvents();
        }
        QWidget* focus =
            QApplication::focusWidget() && QApplication::focusWidget()->window() == w ? QApplication::focusWidget() : w;
        QTest::keyClick(focus, Qt::Key_F1);
        EXPECT_EQ(opener.waitRecord(), page + S("\n"));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S(" | ")).toStdString();
        prompts.messages.clear();
    }
}

// Every window of every program carries the programs' icon once the program
// gives it to the application, as each program's main does.
TEST_F(AllWindowsTest, EveryWindowCarriesTheProgramIcon) {
    ASSERT_FALSE(ProgramIcon().isNull());
    ASSERT_FALSE(ProgramIcon().pixmap(32, 32).isNull());
    UseProgramIcon();
    for (const WindowFactory& f : AllWindows()) {
        SCOPED_TRACE(f.name);
        const QWidgetList before = QApplication::topLevelWidgets();
        std::unique_ptr<QWidget> made = f.make();
        if (made->objectName() == QLatin1String(f.name)) made->show();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (before.contains(top) || !top->isVisible()) continue;
            EXPECT_EQ(top->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey())
                << top->objectName().toStdString();
        }
    }
    QApplication::setWindowIcon(QIcon());
}

}  // namespace
