#include "morvenda/windows/frmLGrid.h"

#include "common/constants.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/grid.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/editjob.h"
#include "morvenda/windows/frmEdit.h"
#include "tests/support/asuser.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QAccessible>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The schedule grid on a schedule of five jobs in two groups, table order
// A X B Y C; B runs after A. Every operation that saves is checked against
// the schedule file read back.

namespace {

class FrmLGridTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 14, 30, 0));
        G.gSchedFile = dir.path(S("T.sch"));
        G.gLogFile = dir.path(S("run.log"));
        G.gJobDocPath = dir.path(S(""));
        G.gGroupFilter = gAllGroups;
        UseRunDate();
        const char* jobs[][3] = {
            {"A", "PAY", ""}, {"X", "GL", ""}, {"B", "PAY", "A"}, {"Y", "GL", ""}, {"C", "PAY", ""}};
        for (const auto& [name, group, after] : jobs)
            JobBuilder(S(name))
                .group(S(group))
                .frequency(S("Daily"))
                .command(S("/bin/true"))
                .after(S(after))
                .addEvaluated();
        ASSERT_TRUE(SaveSchedule());
    }
    void TearDown() override {
        SetEditJobOverride({});
        SchedulerStateTest::TearDown();
    }

    Grid* grid(QWidget& w) { return Child<Grid>(w, "fxgSchedGrid"); }
    QPushButton* button(QWidget& w, const char* name) { return Child<QPushButton>(w, name); }
    // Job names in grid order.
    QString shown(QWidget& w) {
        QString s;
        for (int r = 1; r < grid(w)->Rows(); ++r) s += grid(w)->TextMatrix(r, 0);
        return s;
    }
    static QString order(const JobTable& jobs) {
        QString s;
        for (size_t j = 1; j < jobs.size(); ++j) s += jobs[j].JobName.trimmed();
        return s;
    }
    // Selects the row that shows job Name.
    void select(QWidget& w, const char* name) {
        const int r = GridRowOf(grid(w), S(name));
        if (r > 0) grid(w)->SetRow(r);
        EXPECT_GT(r, 0) << name << " not shown";
    }
    // The schedule file as a reload reads it.
    JobTable reload() {
        const MorvendaState keep = G;
        G.Jobs = JobTable(1);
        LoadSchedule();
        JobTable loaded = G.Jobs;
        G = keep;
        return loaded;
    }
};

TEST_F(FrmLGridTest, ShowsTheGroupChosenWithTheProfilesColumns) {
    frmLGrid w;
    EXPECT_EQ(w.windowTitle(), S("Schedule Update"));
    EXPECT_EQ(shown(w), S("AXBYC"));
    Grid* g = grid(w);
    ASSERT_EQ(g->Cols(), 9);
    EXPECT_EQ(g->TextMatrix(0, 0), S("Job Name"));
    EXPECT_EQ(g->TextMatrix(0, 8), S("Date Variables"));
    EXPECT_EQ(g->TextMatrix(1, 2), S("/bin/true"));
    // Flags are pictures: a tick for True, a blank for False.
    EXPECT_EQ(g->TextMatrix(1, 4), S(""));
    EXPECT_NE(g->CellPicture(1, 4), 0);
    G.Jobs[1].DosProgram = true;
    EXPECT_NE(g->CellPicture(1, 4), g->CellPicture(2, 4));
    EXPECT_FALSE(button(w, "cmdPasteNew")->isEnabled());
    EXPECT_TRUE(button(w, "cmdModify")->isEnabled());

    auto* group = Child<QComboBox>(w, "cboGroup");
    EXPECT_EQ(group->count(), 3);  // all groups, PAY, GL
    group->setCurrentText(S("PAY"));
    EXPECT_EQ(G.gGroupFilter, S("PAY"));
    EXPECT_EQ(shown(w), S("ABC"));
    group->setCurrentText(gAllGroups);
    EXPECT_EQ(shown(w), S("AXBYC"));

    // A rebuild that shortens the grid moves the selection to the last row.
    g->SetRow(5);
    group->setCurrentText(S("GL"));
    EXPECT_EQ(g->Row(), 2);

    // Only the job name left: a one-column grid.
    for (int c = 1; c < kGridColCount; ++c) gGridCols[static_cast<size_t>(c)].Hidden = true;
    w.DisplayGrid();
    EXPECT_EQ(g->Cols(), 1);
    EXPECT_EQ(g->TextMatrix(0, 0), S("Job Name"));

    // A blank dependency entry shows as such and is logged once.
    gGridCols[11].Hidden = false;
    G.Jobs[3].RunAfter = QStringList{S(" ")};
    group->setCurrentText(gAllGroups);
    w.DisplayGrid();
    EXPECT_EQ(g->TextMatrix(3, 1), S("(empty entry)"));
    // The grid and the evaluation report it alike, once between them, until
    // the program's state starts afresh.
    QString text;
    CheckDependency(3, text, false);
    w.DisplayGrid();
    QByteArray log = dir.read(S("run.log"));
    EXPECT_EQ(log.count("Empty RunAfter entry for job B skipped."), 1) << log.toStdString();
    EXPECT_EQ(log.count("Empty RunAfter entry for job"), 1) << log.toStdString();
    G.EmptyDepsReported.clear();
    w.DisplayGrid();
    log = dir.read(S("run.log"));
    EXPECT_EQ(log.count("Empty RunAfter entry for job B skipped."), 2) << log.toStdString();
}

// Every heading and every whole job name and group shows in its column,
// whatever width the profile holds; a hidden column stays hidden.
TEST_F(FrmLGridTest, HeadingsNamesAndGroupsAreNeverCut) {
    G.Jobs[1].JobName = S("WWWWWWWW");
    G.Jobs[2].Group = S("MMMMMMMM");
    frmLGrid w;
    Grid* g = grid(w);
    const QFontMetrics header(g->horizontalHeader()->font());
    const QFontMetrics cells(g->font());
    for (int c = 0; c < g->Cols(); ++c) {
        const QString title = g->TextMatrix(0, c);
        SCOPED_TRACE(title.toStdString());
        EXPECT_GT(g->columnWidth(c), header.horizontalAdvance(title)) << g->columnWidth(c);
        if (title == S("Job Name") || title == S("Group")) {
            for (int r = 1; r < g->Rows(); ++r)
                EXPECT_GT(g->columnWidth(c), cells.horizontalAdvance(g->TextMatrix(r, c))) << r;
        }
    }
    EXPECT_EQ(g->TextMatrix(1, 0), S("WWWWWWWW"));
}

TEST_F(FrmLGridTest, NewCopyPasteAndCancel) {
    frmLGrid w;
    const JobTable before = G.Jobs;
    SetEditJobOverride([](QWidget*) {
        G.gEditCancelled = true;
        return false;
    });
    button(w, "cmdNew")->click();
    EXPECT_EQ(G.Jobs, before);  // a cancelled new job leaves no trace
    EXPECT_EQ(shown(w), S("AXBYC"));

    // Copy B, move A to the bottom, paste: a copy of B without its name.
    select(w, "B");
    button(w, "cmdCopy")->click();
    EXPECT_TRUE(button(w, "cmdPasteNew")->isEnabled());
    EXPECT_EQ(button(w, "cmdPasteNew")->toolTip(), S(" (Copy of job \"B\") "));
    select(w, "A");
    button(w, "cmdBottom")->click();
    EXPECT_EQ(shown(w), S("XBYCA"));
    QString nameSeen = S("unset");
    SetEditJobOverride([&](QWidget*) {
        JobRec& J = Job(G.gCurJob);
        nameSeen = J.JobName;
        J.JobName = S("B2");
        G.gEditCancelled = false;
        SaveSchedule();
        return true;
    });
    button(w, "cmdPasteNew")->click();
    EXPECT_EQ(nameSeen, S(""));
    EXPECT_EQ(shown(w), S("XBYCAB2"));
    EXPECT_EQ(grid(w)->Row(), 6);
    const JobTable saved = reload();
    EXPECT_EQ(order(saved), S("XBYCAB2"));
    EXPECT_EQ(saved[6].RunAfter, QStringList{S("A")});
    EXPECT_EQ(saved[6].Group, S("PAY"));
}

TEST_F(FrmLGridTest, NewOpensTheJobEditorWhoseJobIsSaved) {
    // The real editor, opened by New: a job typed into it is in the grid and
    // in the schedule file once OK is pressed.
    frmLGrid w;
    WhenShown<frmEdit>([this](frmEdit* e) {
        TypeInto(*e, "txtJobName", S("newjob"));
        TypeInto(*e, "txtCmdLine", S("/bin/true"));
        auto* group = Child<QComboBox>(*e, "cboGroup");
        ASSERT_NE(group, nullptr);
        group->lineEdit()->clear();
        QTest::keyClicks(group->lineEdit(), S("PAY"));
        Press(*e, "cmdOK");
        if (e->isVisible()) {
            ADD_FAILURE() << "the editor stayed open: " << prompts.messages.join(S(" | ")).toStdString();
            Press(*e, "cmdCancel");
        }
    });
    button(w, "cmdNew")->click();
    EXPECT_EQ(shown(w), S("AXBYCNEWJOB"));
    const JobTable saved = reload();
    ASSERT_EQ(order(saved), S("AXBYCNEWJOB"));
    EXPECT_EQ(saved[6].CommandLine, S("/bin/true"));
    EXPECT_EQ(saved[6].Group, S("PAY"));
}

TEST_F(FrmLGridTest, ModifyByButtonOrDoubleClick) {
    frmLGrid w;
    w.show();
    int edits = 0;
    bool buttonsOffWhileEditing = true;
    SetEditJobOverride([&](QWidget*) {
        ++edits;
        for (QPushButton* b : w.findChildren<QPushButton*>())
            buttonsOffWhileEditing = buttonsOffWhileEditing && !b->isEnabled();
        Job(G.gCurJob).JobDesc = S("edited %1").arg(edits);
        G.gEditCancelled = false;
        SaveSchedule();
        return true;
    });
    select(w, "Y");
    button(w, "cmdModify")->click();
    EXPECT_EQ(edits, 1);
    EXPECT_TRUE(buttonsOffWhileEditing);
    EXPECT_EQ(grid(w)->TextMatrix(4, 3), S("edited 1"));
    EXPECT_EQ(grid(w)->Row(), 4);
    EXPECT_TRUE(button(w, "cmdModify")->isEnabled());  // the buttons are back
    EXPECT_FALSE(button(w, "cmdPasteNew")->isEnabled());

    ClickCell(grid(w), grid(w)->model()->index(1, 0), 2);
    EXPECT_EQ(edits, 2);
    EXPECT_EQ(reload()[2].JobDesc, S("edited 2"));  // X, the job double-clicked
}

TEST_F(FrmLGridTest, DeleteAsksAndKeepsDanglingNames) {
    {
        frmLGrid w;
        w.show();
        select(w, "A");
        prompts.queueAnswer(MsgAnswer::Yes);
        prompts.queueAnswer(MsgAnswer::No);
        button(w, "cmdDelete")->click();
        EXPECT_EQ(prompts.messages, (QStringList{S("Delete job A?"), S("The following jobs:  B  are dependent on "
                                                                       "this job.  Proceed with deletion?")}));
        EXPECT_EQ(shown(w), S("AXBYC"));
        prompts.messages.clear();
        button(w, "cmdDelete")->click();  // Yes to both
        EXPECT_EQ(prompts.messages.size(), 2);
        EXPECT_EQ(shown(w), S("XBYC"));
        EXPECT_EQ(G.Jobs[2].RunAfter, QStringList{S("A")});

        // The last of a filtered group: the grid goes back to every group.
        Child<QComboBox>(w, "cboGroup")->setCurrentText(S("GL"));
        select(w, "X");
        button(w, "cmdDelete")->click();
        select(w, "Y");
        prompts.messages.clear();
        button(w, "cmdDelete")->click();
        EXPECT_EQ(prompts.messages.back(), S("Last member of group GL deleted, display option reset to \"(All)\""));
        EXPECT_EQ(G.gGroupFilter, gAllGroups);
        EXPECT_EQ(shown(w), S("BC"));
        EXPECT_EQ(order(reload()), S("AXBYC"));  // not saved before closing
        button(w, "cmdClose")->click();
    }
    const JobTable saved = reload();
    EXPECT_EQ(order(saved), S("BC"));
    EXPECT_EQ(saved[1].RunAfter, QStringList{S("A")});

    // The schedule keeps one job at least.
    G.Jobs.resize(2);
    frmLGrid w;
    prompts.messages.clear();
    button(w, "cmdDelete")->click();
    EXPECT_EQ(prompts.messages.back(), S("Cannot delete last row"));
    EXPECT_EQ(JobCount(), 1);
}

TEST_F(FrmLGridTest, TheRowSelectedByAnyMeansIsTheOneActedOn) {
    // A screen reader selects rows through the accessibility interface, a
    // program through the selection model; either way the highlighted row
    // is the current one, and Delete removes that job.
    frmLGrid w;
    w.show();
    Grid* g = grid(w);
    select(w, "A");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(g);
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    ASSERT_TRUE(table->tableInterface()->selectRow(3));  // Y (data rows from 0)
    EXPECT_EQ(g->Row(), 4);
    EXPECT_EQ(table->tableInterface()->selectedRows(), QList<int>{3});
    prompts.queueAnswer(MsgAnswer::Yes);
    button(w, "cmdDelete")->click();
    EXPECT_EQ(prompts.messages, QStringList{S("Delete job Y?")});
    EXPECT_EQ(shown(w), S("AXBC"));

    g->selectionModel()->select(g->model()->index(1, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(g->TextMatrix(g->Row(), 0), S("X"));
    prompts.messages.clear();
    prompts.queueAnswer(MsgAnswer::Yes);
    button(w, "cmdDelete")->click();
    EXPECT_EQ(prompts.messages, QStringList{S("Delete job X?")});
    EXPECT_EQ(shown(w), S("ABC"));
    // Moving the current row by the program highlights the whole row.
    select(w, "C");
    EXPECT_EQ(table->tableInterface()->selectedRows(), QList<int>{2});
}

TEST_F(FrmLGridTest, MovesUnderAGroupFilterPassOtherGroups) {
    {
        frmLGrid w;
        Child<QComboBox>(w, "cboGroup")->setCurrentText(S("PAY"));
        struct Step {
            const char* job;
            const char* button;
            const char* table;
            const char* grid;
        };
        const Step steps[] = {
            {"C", "cmdTop", "CAXBY", "CAB"}, {"C", "cmdDown1", "ACXBY", "ACB"}, {"C", "cmdBottom", "AXBCY", "ABC"},
            {"C", "cmdUp1", "AXCBY", "ACB"}, {"A", "cmdUp1", "AXCBY", "ACB"},   {"B", "cmdDown1", "AXCBY", "ACB"},
        };
        for (const Step& s : steps) {
            select(w, s.job);
            button(w, s.button)->click();
            EXPECT_EQ(order(G.Jobs), S(s.table)) << s.job << " " << s.button;
            EXPECT_EQ(shown(w), S(s.grid)) << s.job << " " << s.button;
            EXPECT_EQ(grid(w)->TextMatrix(grid(w)->Row(), 0), S(s.job)) << "the moved job stays selected";
        }
        w.show();
        w.close();
    }
    EXPECT_EQ(order(reload()), S("AXCBY"));  // closing saved the moves
}

TEST_F(FrmLGridTest, SkipByTheKeysOfEachPress) {
    G.Jobs[1].SkipOn = gSkipKeyword;
    G.Jobs[2].SkipOn = S("1 Jan 2027");
    frmLGrid w;
    w.show();
    QPushButton* skip = button(w, "cmdSkip");
    auto skipOn = [this] {
        QStringList s;
        for (const JobRec& J : reload()) s << J.SkipOn;
        return s.mid(1).join(S("|"));
    };

    select(w, "X");
    QTest::mouseClick(skip, Qt::LeftButton);  // toggle: another day's date is cleared
    EXPECT_EQ(skipOn(), S("*EveryDay*||||"));
    QTest::mouseClick(skip, Qt::LeftButton);
    EXPECT_EQ(skipOn(), S("*EveryDay*|8 Dec 2026|||"));

    prompts.queueAnswer(MsgAnswer::No);
    QTest::mouseClick(skip, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(prompts.messages.back(), S("Skip/Unskip 5 jobs?"));
    EXPECT_EQ(skipOn(), S("*EveryDay*|8 Dec 2026|||"));
    QTest::mouseClick(skip, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(skipOn(), S("*EveryDay*|8 Dec 2026|8 Dec 2026|8 Dec 2026|8 Dec 2026"));

    // A keyboard press without keys toggles one job, whatever the mouse did.
    Child<QComboBox>(w, "cboGroup")->setCurrentText(S("PAY"));
    select(w, "C");
    QTest::keyClick(skip, Qt::Key_Space);
    EXPECT_EQ(skipOn(), S("*EveryDay*|8 Dec 2026|8 Dec 2026|8 Dec 2026|"));
    QTest::mouseClick(skip, Qt::LeftButton, Qt::ShiftModifier);  // unskip the shown group only
    EXPECT_EQ(prompts.messages.back(), S("Skip/Unskip 3 jobs?"));
    EXPECT_EQ(skipOn(), S("*EveryDay*|8 Dec 2026||8 Dec 2026|"));
}

TEST_F(FrmLGridTest, RescheduleAndUnscheduleSurviveAReload) {
    const DateVal morning = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
    G.Jobs[1].Started = morning;  // A completed today
    G.Jobs[1].Completed = morning.addSeconds(600);
    G.Jobs[2].Started = morning;  // X running
    G.Jobs[3].Started = morning;  // B failed today
    G.Jobs[3].Completed = morning.addSeconds(60);
    G.Jobs[3].Killed = true;
    for (int j = 1; j <= JobCount(); ++j) SetJobStatus(j);
    ASSERT_EQ(G.Jobs[3].JobState, jsAborted);
    {
        frmLGrid w;
        QPushButton* resched = button(w, "cmdResched");
        select(w, "A");
        EXPECT_EQ(resched->text(), S("Resched"));
        resched->click();
        EXPECT_EQ(resched->text(), S("Unschedule"));
        select(w, "X");
        EXPECT_EQ(resched->toolTip(), S("Unschedule selected job"));
        resched->click();
        select(w, "B");
        resched->click();
        select(w, "C");
        resched->click();
        EXPECT_EQ(resched->text(), S("Resched"));
        w.show();
        w.close();
    }
    const JobTable saved = reload();
    const std::uint8_t states[] = {jsScheduled, jsEndForced, jsScheduled, jsScheduled, jsUnscheduled};
    for (size_t j = 1; j <= 5; ++j) {
        EXPECT_EQ(saved[j].JobState, states[j - 1]) << j;
        EXPECT_EQ(G.Jobs[j].JobState, states[j - 1]) << j;
    }
    EXPECT_EQ(saved[2].Completed, clock.now());
}

TEST_F(FrmLGridTest, EditingOpensTheScriptOrTheDocumentation) {
    OpenerOnPath opener;
    G.Jobs[5].CommandLine = S("\"/opt/night jobs/run.sh\" -v");
    frmLGrid w;
    w.show();
    select(w, "C");
    QPushButton* edit = button(w, "cmdEditJob");
    EXPECT_EQ(edit->toolTip(), S("Edit Batch File (unshifted) or Runtime Documentation File (shifted)"));
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_EQ(opener.waitRecord(), S("/opt/night jobs/run.sh\n"));
    QTest::mouseClick(edit, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(opener.waitRecord(), dir.path(S("C.rtd")) + S("\n"));
    QTest::mouseClick(edit, Qt::LeftButton, Qt::ControlModifier);  // any modifier: the documentation
    EXPECT_EQ(opener.waitRecord(), dir.path(S("C.rtd")) + S("\n"));
    select(w, "A");
    EXPECT_EQ(edit->toolTip(), S("Edit Runtime Documentation File"));
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(opener.waitRecord(), dir.path(S("A.rtd")) + S("\n"));
}

TEST_F(FrmLGridTest, WithoutJobsOnlyNewAndCloseWork) {
    G.Jobs.resize(1);
    frmLGrid w;
    for (const char* name : {"cmdModify", "cmdDelete", "cmdResched", "cmdEditJob", "cmdSkip", "cmdCopy", "cmdTop",
                             "cmdUp1", "cmdDown1", "cmdBottom", "cmdPasteNew"})
        EXPECT_FALSE(button(w, name)->isEnabled()) << name;
    EXPECT_TRUE(button(w, "cmdNew")->isEnabled());
    EXPECT_TRUE(button(w, "cmdClose")->isEnabled());
}

// With the settings folder read-only (only a user other than root is held by
// it) a profile choice is not taken and closing asks before the layout is
// given up; both say why.
TEST_F(FrmLGridTest, AViewProfileThatCannotBeSavedIsNotGivenUpSilently) {
    MRV_RUN_AS_USER();
    frmLGrid w;
    w.show();
    G.gCurProfile = S("Night");
    gGridCols[10].Hidden = false;
    ASSERT_TRUE(SaveColProfile());
    gGridCols[10].Hidden = true;
    ASSERT_TRUE(AddColProfileName(gProfPrefix + S("Night")));
    ASSERT_TRUE(SaveSetting(gAppName, gProfSection, gProfCurrentKey, gProfPrefix + S("General")));
    w.SetProfileNames();
    ASSERT_EQ(G.gCurProfile, S("General"));
    auto* profiles = Child<QComboBox>(w, "cboProfile");
    const QString folder = FolderOf(SettingsFilePath());
    const QByteArray before = config.read(SettingsFilePath());
    const auto reason = [&](const QString& message, const char* what) {
        return message.startsWith(S(what) + S("\n\nCannot write \"") + SettingsFilePath()) &&
               message.contains(S("Permission denied"));
    };
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    profiles->setCurrentText(S("Night"));
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(reason(prompts.messages.value(0), "Could not choose edit view profile"))
        << prompts.messages.value(0).toStdString();
    EXPECT_EQ(profiles->currentText(), S("General"));
    EXPECT_EQ(grid(w)->Cols(), 9);

    prompts.queueAnswer(MsgAnswer::No);
    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(reason(prompts.messages.value(1), "Could not save edit view profile"))
        << prompts.messages.value(1).toStdString();
    EXPECT_TRUE(prompts.messages.value(1).endsWith(S("\n\nClose the window without saving it?")));
    EXPECT_EQ(config.read(SettingsFilePath()), before);

    prompts.queueAnswer(MsgAnswer::Yes);
    w.close();
    EXPECT_FALSE(w.isVisible());
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(config.read(SettingsFilePath()), before);
}

}  // namespace
