#include "morvenda/editing/frmEdit.h"

#include "common/constants.h"
#include "common/gui/grid.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/editing/frmEditJob.h"
#include "tests/support/testing.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

// The job editor opened through EditJob (the grid's road into it) on the demo
// schedule, driven through its controls.

namespace {

class FrmEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        JobTableChanged();
        InstallDemo(dir);
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gRunDayStart = G.gRunDate;
        LoadAgain();
    }
    void TearDown() override {
        ResetState();
        JobTableChanged();
    }
    void LoadAgain() {
        ResetState();
        G.gRunDate = DateVal::fromDate(2026, 12, 8);
        G.gRunDayStart = G.gRunDate;
        G.gSchedFile = dir.path(S("DEMO/DEMO.sch"));
        JobTableChanged();
        LoadSchedule();
    }
    // A new blank job at the end of the table, as the grid's New makes it.
    int AppendNew() {
        JobRec j;
        j.Frequency = S("WorkDays");
        j.DateVars = gDefDateVars;
        G.Jobs.push_back(j);
        JobTableChanged();
        G.gCurJob = static_cast<std::int16_t>(JobCount());
        return JobCount();
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
    template <typename T>
    static T* Child(QWidget& w, const char* name) {
        T* c = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    static void Type(QWidget& w, const char* name, const QString& text) {
        auto* box = Child<QLineEdit>(w, name);
        box->clear();
        QTest::keyClicks(box, text);
    }

    TempDir dir;
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
    ScriptedPrompter prompts;
};

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
        Type(w, "txtJobName", S("NEWONE"));
        Type(w, "txtCmdLine", S("true"));
        Type(w, "txtJobDesc", S("Made in the editor"));
        Type(w, "txtTime", S("06:30"));
        Child<QComboBox>(w, "cboResched")->setCurrentIndex(1);
        Type(w, "txtEmailAddrs_0", S("OPS"));
        Type(w, "txtNEOJMsgSubj", S("NEWONE ended"));
        Child<QRadioButton>(w, "optInterTrig")->setChecked(true);

        // The try buttons work from the controls as they are.
        Child<QPushButton>(w, "cmdTryFreq")->click();
        auto* dates = Child<QListWidget>(w, "lsbTryRunDates");
        ASSERT_EQ(dates->count(), 20);
        EXPECT_EQ(dates->item(0)->text(), S("Tuesday 08 Dec 2026"));
        Type(w, "txtCmdLine", S("echo &RUNDATE&"));
        Child<QPushButton>(w, "cmdTry")->click();
        EXPECT_EQ(Child<QLineEdit>(w, "txtSubsCmdLine")->text(), S("echo 20261208"));
        EXPECT_EQ(Child<QLineEdit>(w, "txtTryRunDate")->text(), S("Tuesday 8 Dec 2026"));

        Child<QPushButton>(w, "cmdOK")->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_FALSE(G.gEditCancelled);
    LoadAgain();
    const JobRec& J = G.Jobs[static_cast<size_t>(k)];
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

TEST_F(FrmEditTest, FailedCheckKeepsTheEditorOpenOnTheField) {
    AppendNew();
    const bool ok = Edit([this](frmEdit& w) {
        Child<QComboBox>(w, "cboGroup")->setEditText(S("DEMO"));
        Type(w, "txtJobName", S("extract"));  // the demo's first job
        Child<QPushButton>(w, "cmdOK")->click();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(prompts.messages.back(), S("Duplicate Job Name"));
        EXPECT_EQ(Child<QTabWidget>(w, "TabEdit")->currentIndex(), pgSubmission);
        Type(w, "txtTime", S("9:30"));
        Type(w, "txtJobName", S("OTHER"));
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
    const JobRec before = G.Jobs[static_cast<size_t>(G.gCurJob)];
    const QByteArray file = dir.read(S("DEMO/DEMO.sch"));

    // Cancel: nothing written.
    EXPECT_FALSE(Edit([](frmEdit& w) {
        Type(w, "txtJobDesc", S("changed"));
        Child<QPushButton>(w, "cmdCancel")->click();
    }));
    EXPECT_TRUE(G.gEditCancelled);
    EXPECT_EQ(G.Jobs[static_cast<size_t>(G.gCurJob)], before);
    EXPECT_EQ(dir.read(S("DEMO/DEMO.sch")), file);

    // The close box asks: Cancel stays, No discards.
    prompts.queueAnswer(MsgAnswer::Cancel);
    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_FALSE(Edit([this](frmEdit& w) {
        Type(w, "txtJobDesc", S("changed"));
        w.close();
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(prompts.messages.back(), S("Do you want to save any changes made to this job?"));
        w.close();
    }));
    EXPECT_EQ(G.Jobs[static_cast<size_t>(G.gCurJob)], before);

    // Yes saves as OK does.
    prompts.queueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(Edit([](frmEdit& w) {
        Type(w, "txtJobDesc", S("changed"));
        w.close();
    }));
    LoadAgain();
    EXPECT_EQ(G.Jobs[static_cast<size_t>(FindJob(S("REPORT")))].JobDesc, S("changed"));
    EXPECT_EQ(G.Jobs[static_cast<size_t>(FindJob(S("REPORT")))].RunAfter, QStringList{S("LOAD")});
}

}  // namespace
