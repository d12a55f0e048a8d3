#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "common/constants.h"
#include "gui/grid.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/editjob.h"
#include "morvenda/windows/frmDateSel.h"
#include "morvenda/windows/frmEdVar.h"
#include "morvenda/windows/frmEdit.h"
#include "morvenda/windows/frmIncFile.h"
#include "morvenda/windows/frmSelAddr.h"
#include "platform/drives.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

// The job editor opened through EditJob (the grid's road into it) on the demo
// schedule, driven through its controls.

namespace {

class FrmEditTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        InstallDemo(dir);
        LoadAgain();
    }
    void LoadAgain() { LoadScheduleFrom(dir.path(S("DEMO/DEMO.sch"))); }
    // A new blank job at the end of the table, as the grid's New makes it.
    static int AppendNew() {
        G.gCurJob = static_cast<std::int16_t>(JobBuilder().frequency(S("WorkDays")).defaultDateVars().add());
        return G.gCurJob;
    }
    // PUBLISH as the job to edit, waiting for the job PAYROLL of another
    // schedule, with Triggers as the list of other schedules' jobs; its index.
    int EditPublishWaitingForPayroll(const QByteArray& Triggers) {
        G.gJobIndexFile = dir.path(S("Triggers.Lst"));
        dir.write(S("Triggers.Lst"), Triggers);
        const int k = FindJob(S("PUBLISH"));
        G.gCurJob = static_cast<std::int16_t>(k);
        Job(k).WaitForFile = S("..payroll");
        return k;
    }
    // Opens the editor through EditJob and runs Drive on it while it is shown.
    bool Edit(const std::function<void(frmEdit&)>& Drive) {
        bool driven = false;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<frmEdit*>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            driven = true;
            Drive(*w);
        });
        const bool ok = EditJob(nullptr);
        EXPECT_TRUE(driven);
        return ok;
    }
    // Makes W the active window, then shows Other over it until it is active
    // and answered, then makes W active again.
    static void ActivateAround(QWidget& W, QDialog* Other = nullptr) {
        if (Other) {
            QTimer::singleShot(0, Other, [Other] {
                QTRY_VERIFY(Other->isActiveWindow());
                Other->accept();
            });
            Other->exec();
        }
        W.activateWindow();
        QTRY_VERIFY(W.isActiveWindow());
    }
};

// The editor opens at its inner size of 8595 by 6840 twips, every page whole
// in it (the end-of-job page at its fullest, with an external trigger file)
// and every page name in the tab strip, none behind a scroll arrow.
TEST_F(FrmEditTest, OpensAtItsSizeWithEveryPageWhole) {
    G.gCurJob = static_cast<std::int16_t>(FindJob(S("EXTRACT")));
    const auto size = [](const QWidget& w) { return std::to_string(w.width()) + "x" + std::to_string(w.height()); };
    Edit([&size](frmEdit& w) {
        EXPECT_EQ(size(w), "573x456");
        Child<QRadioButton>(w, "optExtTrig")->click();
        auto* tabs = Child<QTabWidget>(w, "TabEdit");
        for (int k = 0; k < tabs->count(); ++k) {
            tabs->setCurrentIndex(k);
            QWidget* page = tabs->widget(k);
            const QSize need = page->minimumSizeHint();
            EXPECT_TRUE(need.width() <= page->width() && need.height() <= page->height())
                << tabs->tabText(k).toStdString() << " needs " << need.width() << "x" << need.height() << ", has "
                << page->width() << "x" << page->height();
        }
        tabs->setCurrentIndex(0);
        QTabBar* bar = tabs->tabBar();
        EXPECT_LE(bar->tabRect(bar->count() - 1).right(), bar->width()) << "the last page's name is hidden";
        EXPECT_EQ(size(w), "573x456");
        Child<QPushButton>(w, "cmdCancel")->click();
    });
}

// The group box shows a whole group name and Tab reaches it between the
// job name and the command line.
TEST_F(FrmEditTest, GroupShowsItsEightCharactersAndTabReachesIt) {
    AppendNew();
    Edit([](frmEdit& w) {
        auto* group = Child<QComboBox>(w, "cboGroup");
        group->setEditText(S("WWWWWWWW"));
        QLineEdit* box = group->lineEdit();
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(S("WWWWWWWW")) + 2);
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        auto* name = Child<QLineEdit>(w, "txtJobName");
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_TRUE(group->hasFocus() || box->hasFocus()) << QApplication::focusWidget()->objectName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(w, "txtCmdLine"));
        Child<QPushButton>(w, "cmdCancel")->click();
    });
}

TEST_F(FrmEditTest, NewJobFilledThroughTheControlsIsSavedToTheFile) {
    const int k = AppendNew();
    const bool ok = Edit([](frmEdit& w) {
        EXPECT_EQ(Child<QTabWidget>(w, "TabEdit")->currentIndex(), pgSubmission);
        EXPECT_EQ(Child<QLineEdit>(w, "txtFrequency")->text(), S("WorkDays"));
        EXPECT_EQ(Child<QListWidget>(w, "cboKeys")->count(), 22);
        EXPECT_EQ(Child<Grid>(w, "fxgDependencies")->Rows(), 2);
        EXPECT_EQ(Child<Grid>(w, "fxgVar")->TextMatrix(1, 0), S("RUNDATE"));
        EXPECT_EQ(Child<Grid>(w, "fxgVar")->TextMatrix(1, 4), S("20261208"));
        EXPECT_FALSE(Child<QCheckBox>(w, "chkCritical")->isVisible());
        EXPECT_EQ(Child<QLineEdit>(w, "txtJobName")->accessibleName(), S("Job Name"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtDeferEOJMsgBy")->accessibleName(), S("Defer EOJ message by (mins)"));

        Child<QComboBox>(w, "cboGroup")->setEditText(S("DEMO"));
        TypeInto(w, "txtJobName", S("NEWONE"));
        TypeInto(w, "txtCmdLine", S("true"));
        TypeInto(w, "txtJobDesc", S("Made in the editor"));
        TypeInto(w, "txtTime", S("06:30"));
        Child<QComboBox>(w, "cboResched")->setCurrentIndex(1);
        TypeInto(w, "txtEmailAddrs_0", S("OPS"));
        TypeInto(w, "txtNEOJMsgSubj", S("NEWONE ended"));
        Child<QRadioButton>(w, "optInterTrig")->setChecked(true);

        // The try buttons work from the controls as they are.
        Child<QPushButton>(w, "cmdTryFreq")->click();
        auto* dates = Child<QListWidget>(w, "lsbTryRunDates");
        ASSERT_EQ(dates->count(), 20);
        EXPECT_EQ(dates->item(0)->text(), S("Tuesday 08 Dec 2026"));
        TypeInto(w, "txtCmdLine", S("echo &RUNDATE&"));
        Child<QPushButton>(w, "cmdTry")->click();
        EXPECT_EQ(Child<QLineEdit>(w, "txtSubsCmdLine")->text(), S("echo 20261208"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtTryRunDate")->text(), S("Tuesday 8 Dec 2026"));

        Child<QPushButton>(w, "cmdOK")->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_FALSE(G.gEditCancelled);
    LoadAgain();
    const JobRec& J = Job(k);
    EXPECT_EQ(J.JobName, S("NEWONE"));
    EXPECT_EQ(J.Group, S("DEMO"));
    EXPECT_EQ(J.CommandLine, S("echo &RUNDATE&"));
    EXPECT_EQ(J.JobDesc, S("Made in the editor"));
    EXPECT_EQ(J.EarlyStartText, S("06:30"));
    EXPECT_EQ(J.Frequency, S("WorkDays"));
    EXPECT_EQ(J.AutoResched, 1);
    EXPECT_EQ(J.EojTo, S("OPS"));
    EXPECT_EQ(J.EojMsg[0], S("NEWONE ended"));
    EXPECT_EQ(J.TriggerFile, gStdTrigger);
    // The trigger question was asked (a new job with a standard trigger).
    EXPECT_TRUE(prompts.messages.filter(S("affects the creation of a trigger file")).size() == 1);
}

TEST_F(FrmEditTest, EveryControlHasANameAScreenReaderAnnounces) {
    AppendNew();
    frmEdit w;
    w.Form_Load();
    QStringList unnamed;
    for (QWidget* c : w.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c) ||
                             qobject_cast<QAbstractButton*>(c) || qobject_cast<QListWidget*>(c) ||
                             qobject_cast<Grid*>(c);
        // Qt's own parts (tab scroll arrows, the menu bar's extension, a
        // combo box's line edit) carry no control name and are announced
        // through their owner.
        const bool own = !c->objectName().isEmpty() && !c->objectName().startsWith(S("qt_"));
        if (control && own && !qobject_cast<QComboBox*>(c->parentWidget()) && c->accessibleName().isEmpty())
            unnamed << c->objectName();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(S(", ")).toStdString();
    EXPECT_EQ(w.findChild<QCheckBox*>(S("chkAttach_2"))->accessibleName(), S("Att line 3"));
    EXPECT_EQ(w.findChild<QPushButton*>(S("cmdBrowseExe"))->accessibleName(), S("Browse"));
    EXPECT_TRUE(w.findChild<QPushButton*>(S("cmdMinusH"))->isHidden());
}

TEST_F(FrmEditTest, FailedCheckKeepsTheEditorOpenOnTheField) {
    AppendNew();
    const bool ok = Edit([this](frmEdit& w) {
        Child<QComboBox>(w, "cboGroup")->setEditText(S("DEMO"));
        TypeInto(w, "txtJobName", S("extract"));  // the demo's first job
        Child<QPushButton>(w, "cmdOK")->click();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(prompts.messages.back(), S("Duplicate Job Name"));
        EXPECT_EQ(Child<QTabWidget>(w, "TabEdit")->currentIndex(), pgSubmission);
        TypeInto(w, "txtTime", S("9:30"));
        TypeInto(w, "txtJobName", S("OTHER"));
        Child<QPushButton>(w, "cmdOK")->click();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(Child<QTabWidget>(w, "TabEdit")->currentIndex(), pgTiming);
        Child<QPushButton>(w, "cmdCancel")->click();
    });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(G.gEditCancelled);
}

TEST_F(FrmEditTest, CancelAndTheCloseBoxQuestion) {
    G.gCurJob = static_cast<std::int16_t>(FindJob(S("REPORT")));
    const JobRec before = Job(G.gCurJob);
    const QByteArray file = dir.read(S("DEMO/DEMO.sch"));

    // Cancel: nothing written.
    EXPECT_FALSE(Edit([](frmEdit& w) {
        TypeInto(w, "txtJobDesc", S("changed"));
        Child<QPushButton>(w, "cmdCancel")->click();
    }));
    EXPECT_TRUE(G.gEditCancelled);
    EXPECT_EQ(Job(G.gCurJob), before);
    EXPECT_EQ(dir.read(S("DEMO/DEMO.sch")), file);

    // The close box asks: Cancel stays, No discards.
    prompts.queueAnswer(MsgAnswer::Cancel);
    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_FALSE(Edit([this](frmEdit& w) {
        TypeInto(w, "txtJobDesc", S("changed"));
        w.close();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(prompts.messages.back(), S("Do you want to save any changes made to this job?"));
        w.close();
    }));
    EXPECT_EQ(Job(G.gCurJob), before);

    // Yes saves as OK does.
    prompts.queueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(Edit([](frmEdit& w) {
        TypeInto(w, "txtJobDesc", S("changed"));
        w.close();
    }));
    LoadAgain();
    EXPECT_EQ(Job(FindJob(S("REPORT"))).JobDesc, S("changed"));
    EXPECT_EQ(Job(FindJob(S("REPORT"))).RunAfter, QStringList{S("LOAD")});
}

TEST_F(FrmEditTest, WalkThroughEveryPageUsingEveryControlGroup) {
    const int k = AppendNew();
    G.gEmailAddrPath = dir.path(S("books"));
    dir.write(S("books/ops.adr"), "ops@corp.example,Operators\r\n");
    dir.write(S("books/Boss.ADR"), "boss@corp.example,The Boss\r\n");
    const QString include = dir.path(S("DEMO/out-&RUNDATE&.txt"));
    // An include file must lie on a fixed drive: the temporary folder's drive
    // counts as one wherever it lies (a tmpfs, an overlay), so the include
    // steps always run.
    G.gFixedDrives = ListDrives();
    if (!OnFixedDrive(include)) G.gFixedDrives.append(DriveOf(include));
    ASSERT_TRUE(OnFixedDrive(include));

    const bool ok = Edit([&](frmEdit& w) {
        auto* tabs = Child<QTabWidget>(w, "TabEdit");
        // Submission: the name filter drops the blank; the caption follows.
        Child<QComboBox>(w, "cboGroup")->setEditText(S("DEMO"));
        TypeInto(w, "txtJobName", S("WALK ER"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtJobName")->text(), S("WALKER"));
        EXPECT_EQ(w.windowTitle(), S("Edit Job - WALKER"));
        TypeInto(w, "txtCmdLine", S("backup.com /all"));
        EXPECT_TRUE(Child<QCheckBox>(w, "chkDOSProgram")->isChecked());
        TypeInto(w, "txtCmdLine", S("true &RUNDATE&"));
        EXPECT_FALSE(Child<QCheckBox>(w, "chkDOSProgram")->isChecked());  // the tick the line made goes with it
        TypeInto(w, "txtCPUUsage", S("3"));

        // Timing: keywords from the list, the completion exclusions.
        tabs->setCurrentIndex(pgTiming);
        prompts.queueInput(S("1"));
        w.cboKeys_DblClick(8);  // +nCDOM
        EXPECT_EQ(Child<QLineEdit>(w, "txtFrequency")->text(), S("WorkDays +1CDOM"));
        // "Selected Date" through the program's date picker writes the
        // date item the frequency matches.
        const auto keys = Child<QListWidget>(w, "cboKeys")->findItems(S("Selected Date"), Qt::MatchExactly);
        ASSERT_EQ(keys.size(), 1);
        WhenShown<frmDateSel>([](frmDateSel* d) { d->MonthView1_DateClick(QDate(2026, 12, 24)); });
        w.cboKeys_DblClick(Child<QListWidget>(w, "cboKeys")->row(keys.first()));
        EXPECT_EQ(Child<QLineEdit>(w, "txtFrequency")->text(), S("WorkDays +1CDOM 24-Dec-2026"));
        Child<QCheckBox>(w, "chkDeferRollOver")->click();
        EXPECT_FALSE(Child<QComboBox>(w, "cboResched")->isEnabled());
        Child<QCheckBox>(w, "chkDeferRollOver")->click();
        Child<QComboBox>(w, "cboResched")->setCurrentIndex(3);
        EXPECT_FALSE(Child<QCheckBox>(w, "chkSubmitOnly")->isEnabled());
        TypeInto(w, "txtTime", S("07,15"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtTime")->text(), S("07 15"));
        TypeInto(w, "txtTime", S("07:15"));
        TypeInto(w, "txtExclusive", S("db-tape"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtExclusive")->text(), S("DBTAPE"));

        // Substitution: the date-variable editor writes its row back.
        tabs->setCurrentIndex(pgSubstitution);
        auto* vars = Child<Grid>(w, "fxgVar");
        vars->SetRow(7);
        WhenShown<frmEdVar>([](frmEdVar* d) {
            EXPECT_EQ(Child<QLineEdit>(*d, "txtName")->text(), S("LASTWDPM"));
            Child<QLineEdit>(*d, "txtName")->setText(S("MONTHEND"));
            Child<QLineEdit>(*d, "txtRelDIM")->setText(S("-1CDOM"));
            Child<QPushButton>(*d, "cmdOK")->click();
        });
        w.cmdEdit_Click();
        EXPECT_EQ(vars->TextMatrix(7, 0), S("MONTHEND"));
        EXPECT_EQ(vars->TextMatrix(7, 4), S("20261130"));

        // Dependencies: candidates of the group, a tick, a condition, the
        // unschedule flag; an external file to wait for.
        tabs->setCurrentIndex(pgDependencies);
        auto* deps = Child<Grid>(w, "fxgDependencies");
        EXPECT_EQ(deps->Rows(), 11);  // the ten demo jobs, not the job itself
        const int row = GridRowOf(deps, S("EXTRACT"));
        ASSERT_GT(row, 0);
        // A real click on the "Wait EOJ" cell ticks the row.
        ClickCell(deps, deps->model()->index(row - 1, 2));
        EXPECT_EQ(deps->TextMatrix(row, 3), S("Uncond"));
        w.fxgDependencies_CellClick(row, 3, Qt::RightButton);
        auto* menu = w.findChild<QMenu*>(S("puDepConds"));
        ASSERT_NE(menu, nullptr);
        Press(*menu, "mnuSuccess");
        menu->hide();
        w.fxgDependencies_CellClick(row, 4, Qt::LeftButton);
        EXPECT_EQ(deps->TextMatrix(row, 3), S("Success"));
        Child<QComboBox>(w, "cboFDStdCust")->setCurrentIndex(wkExternal);
        EXPECT_TRUE(Child<QCheckBox>(w, "chkDelTrigger")->isChecked());
        Child<QLineEdit>(w, "txtWaitForFile")->setText(S("/tmp/walk.flag"));
        Child<QCheckBox>(w, "chkDelTrigger")->setChecked(false);

        // Normal end of job: an include file, a picked address, a trigger file.
        tabs->setCurrentIndex(pgNormalEoj);
        WhenShown<frmIncFile>([&include](frmIncFile* d) {
            Child<QLineEdit>(*d, "txtFilename")->setText(include);
            Child<QRadioButton>(*d, "optAttach")->click();
            Child<QCheckBox>(*d, "chkDateVar")->setChecked(true);
            Child<QPushButton>(*d, "cmdOK")->click();
        });
        w.cmdConfigInc_Click(0, 0);
        EXPECT_EQ(Child<QLineEdit>(w, "txtNEOJMsgCont_0")->text(), include);
        EXPECT_FALSE(Child<QCheckBox>(w, "chkFilter_0")->isEnabled());  // attached: no filter
        TypeInto(w, "txtEmailAddrs_0", S("OPS,GONE"));
        WhenShown<frmSelAddr>([](frmSelAddr* d) {
            auto* list = Child<QListWidget>(*d, "lsbEmlAddr");
            ASSERT_EQ(list->count(), 2);
            list->item(0)->setSelected(true);  // BOSS
            Child<QPushButton>(*d, "cmdOK")->click();
        });
        w.cmdChgAddr_Click(0);
        EXPECT_EQ(Child<QLineEdit>(w, "txtEmailAddrs_0")->text(), S("BOSS,OPS"));
        TypeInto(w, "txtNEOJMsgSubj", S("Walk, done"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtNEOJMsgSubj")->text(), S("Walk done"));
        TypeInto(w, "txtNEOJMsgCont_3", S("all well"));
        TypeInto(w, "txtDeferEOJMsgBy", S("-5x"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtDeferEOJMsgBy")->text(), S("5"));
        Child<QRadioButton>(w, "optExtTrig")->click();
        EXPECT_TRUE(Child<QLineEdit>(w, "txtExtTrigFile")->isVisible());
        Child<QLineEdit>(w, "txtExtTrigFile")->setText(S("/tmp/walk.trg"));

        // Abnormal end of job.
        tabs->setCurrentIndex(pgAbnormalEoj);
        TypeInto(w, "txtEmailAddrs_2", S("OPS"));
        TypeInto(w, "txtAEOJMsgSubj", S("Walk failed"));

        Child<QPushButton>(w, "cmdOK")->click();
    });
    ASSERT_TRUE(ok) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(prompts.messages.filter(S("no longer present")).value(0),
              S("The following email addresses are no longer present:\n\nGONE"));
    LoadAgain();
    const JobRec& J = Job(k);
    EXPECT_EQ(J.JobName, S("WALKER"));
    EXPECT_EQ(J.CommandLine, S("true &RUNDATE&"));
    EXPECT_FALSE(J.DosProgram);
    EXPECT_EQ(J.CpuUsage, 3);
    EXPECT_EQ(J.Frequency, S("WorkDays +1CDOM 24-Dec-2026"));
    EXPECT_EQ(J.AutoResched, 3);
    EXPECT_EQ(J.EarlyStartText, S("07:15"));
    EXPECT_EQ(J.Exclusive, S("DBTAPE"));
    EXPECT_EQ(J.DateVars[6], S("MONTHEND,-1CDOM,-1,yyyymmdd"));
    EXPECT_EQ(J.RunAfter, QStringList{S("EXTRACT")});
    EXPECT_EQ(J.RunAfterStatus, S("S"));
    EXPECT_EQ(J.RunAfterUnsched, S("Y"));
    EXPECT_EQ(J.WaitForFile, S("/tmp/walk.flag"));
    EXPECT_FALSE(J.DelWaitFile);
    EXPECT_EQ(J.EojTo, S("BOSS,OPS"));
    EXPECT_EQ(J.EojMsg[0], S("Walk done"));
    EXPECT_EQ(J.EojMsg[4], S("all well"));
    EXPECT_EQ(J.EojMsg[1], include);
    EXPECT_EQ(J.EojFlags[1], S("11100"));
    EXPECT_EQ(J.DeferEojMins, 5);
    EXPECT_EQ(J.TriggerFile, S("/tmp/walk.trg"));
    EXPECT_EQ(J.AbEojTo, S("OPS"));
    EXPECT_EQ(J.AbEojMsg[0], S("Walk failed"));
}

TEST_F(FrmEditTest, ClicksOnTheNameGroupOrConditionOfACandidateSaveNoDependency) {
    const int k = FindJob(S("REPORT"));
    G.gCurJob = static_cast<std::int16_t>(k);
    const JobRec before = Job(k);
    EXPECT_TRUE(Edit([](frmEdit& w) {
        Child<QTabWidget>(w, "TabEdit")->setCurrentIndex(pgDependencies);
        Child<QRadioButton>(w, "optAllGrps")->click();
        auto* deps = Child<Grid>(w, "fxgDependencies");
        const int row = GridRowOf(deps, QString(), 3);
        EXPECT_GT(row, 0);
        for (int col : {0, 1, 3}) {
            if (row == 0) break;
            ClickCell(deps, deps->model()->index(row - 1, col));
            EXPECT_EQ(deps->Row(), row) << col;  // the click selects the row
            EXPECT_EQ(deps->TextMatrix(row, 3), QString()) << col;
        }
        Child<QPushButton>(w, "cmdOK")->click();
    }));
    const JobRec& after = Job(k);
    EXPECT_EQ(after.RunAfter, before.RunAfter);
    EXPECT_EQ(after.RunAfterStatus, before.RunAfterStatus);
}

TEST_F(FrmEditTest, BecomingActiveAgainFocusesThePageAndReadsTheTriggerListAgain) {
    EditPublishWaitingForPayroll("PAYROLL (NIGHTLY)\r\n");
    EXPECT_FALSE(Edit([this](frmEdit& w) {
        ActivateAround(w);
        Child<QTabWidget>(w, "TabEdit")->setCurrentIndex(pgDependencies);
        auto* triggers = Child<QComboBox>(w, "cboTriggers");
        EXPECT_EQ(triggers->count(), 1);
        dir.write(S("Triggers.Lst"), "PAYROLL (NIGHTLY)\r\nLEDGER (MONTHLY)\r\n");
        Child<QCheckBox>(w, "chkDelTrigger")->setFocus();

        // A dialog of the program takes the focus; back in the editor, the
        // page's field has it and the list is read again, its choice kept.
        QDialog other(&w);
        ActivateAround(w, &other);
        EXPECT_EQ(triggers->count(), 2);
        EXPECT_EQ(triggers->currentText(), S("PAYROLL (NIGHTLY)"));
        EXPECT_EQ(QApplication::focusWidget(), Child<Grid>(w, "fxgDependencies"));

        // A message box is no such dialog: the focus stays where it was.
        Child<QCheckBox>(w, "chkDelTrigger")->setFocus();
        QMessageBox box(QMessageBox::Warning, S("Morvenda"), S("note"), QMessageBox::Ok, &w);
        ActivateAround(w, &box);
        EXPECT_EQ(QApplication::focusWidget(), Child<QCheckBox>(w, "chkDelTrigger"));
        Child<QPushButton>(w, "cmdCancel")->click();
    }));
}

TEST_F(FrmEditTest, InterscheduleWaitDroppedOnlyWhenSaved) {
    const int k = EditPublishWaitingForPayroll("PAYROLL (NIGHTLY)\r\nPAYROLL (WEEKLY)\r\nOTHER (NIGHTLY)\r\n");

    // The later of two entries is chosen.
    EXPECT_FALSE(Edit([](frmEdit& w) {
        EXPECT_EQ(Child<QComboBox>(w, "cboFDStdCust")->currentIndex(), wkInterschedule);
        EXPECT_EQ(Child<QComboBox>(w, "cboTriggers")->currentText(), S("PAYROLL (WEEKLY)"));
        Child<QPushButton>(w, "cmdCancel")->click();
    }));

    // A job no longer listed: the message, kind "(None)" in the editor, and
    // the record untouched by Cancel.
    Job(k).WaitForFile = S("..GONE");
    EXPECT_FALSE(Edit([](frmEdit& w) {
        EXPECT_EQ(Child<QComboBox>(w, "cboFDStdCust")->currentIndex(), wkNone);
        EXPECT_TRUE(Child<QComboBox>(w, "cboTriggers")->isHidden());
        Child<QPushButton>(w, "cmdCancel")->click();
    }));
    EXPECT_EQ(prompts.messages.back(),
              S("Cannot find job \"GONE\" in interschedule dependency list.  Dependency dropped."));
    EXPECT_EQ(Job(k).WaitForFile, S("..GONE"));

    // Choosing another job and OK stores it.
    EXPECT_TRUE(Edit([](frmEdit& w) {
        Child<QComboBox>(w, "cboFDStdCust")->setCurrentIndex(wkInterschedule);
        EXPECT_FALSE(Child<QComboBox>(w, "cboTriggers")->isHidden());
        Child<QComboBox>(w, "cboTriggers")->setCurrentIndex(2);
        Child<QPushButton>(w, "cmdOK")->click();
    }));
    EXPECT_EQ(Job(k).WaitForFile, S("..OTHER"));

    // With no list to read (unset, or no such file) nothing is dropped: the
    // kind stays, no job is chosen, and OK is refused by the checks.
    for (const QString& list : {QString(), dir.path(S("NoSuch.Lst"))}) {
        G.gJobIndexFile = list;
        prompts.messages.clear();
        EXPECT_FALSE(Edit([](frmEdit& w) {
            EXPECT_EQ(Child<QComboBox>(w, "cboFDStdCust")->currentIndex(), wkInterschedule);
            EXPECT_EQ(Child<QComboBox>(w, "cboTriggers")->currentIndex(), -1);
            Child<QPushButton>(w, "cmdOK")->click();
            EXPECT_TRUE(w.isVisible());
            Child<QPushButton>(w, "cmdCancel")->click();
        })) << list.toStdString();
        EXPECT_EQ(prompts.messages, QStringList{S("Interschedule prerequisite job not selected")});
        EXPECT_EQ(Job(k).WaitForFile, S("..OTHER"));
    }
}

}  // namespace
