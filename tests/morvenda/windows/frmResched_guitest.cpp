#include "morvenda/windows/frmResched.h"

#include "common/constants.h"
#include "morvenda/core/jobstatus.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmSched.h"
#include "tests/morvenda/editing/statusjobs.h"
#include "tests/support/accessible.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"
#include "tests/support/windowdriver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The reschedule dialog on a schedule whose run date is Tuesday 8 Dec 2026,
// its day starting at 06:00, at 10:00.

namespace {

const DateVal kStarted = DateVal::fromDateTime(2026, 12, 8, 9, 0, 0);
const DateVal kEnded = DateVal::fromDateTime(2026, 12, 8, 9, 30, 0);

class frmReschedTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        UseTempScheduler(dir);
        G.gProgTitle = S("Morvenda - TEST");
        UseRunDate(DateVal::fromDateTime(2026, 12, 8, 6, 0, 0));
        G.gDayStart = DateVal::fromSeconds(6 * 3600);
        G.gGroupFilter = gAllGroups;
    }
    void TearDown() override {
        dialog.reset();
        SchedulerStateTest::TearDown();
    }
    static int add(const char* name, const char* group, DateVal started = {}, DateVal completed = {},
                   const char* after = nullptr) {
        return AddStatusJob({name, group, "Daily", " ", started, completed, false, after});
    }
    frmResched& open() {
        dialog = std::make_unique<frmResched>([this] { ++unsubBuilds; });
        return *dialog;
    }
    QStringList entries() { return ItemTexts(Child<QListWidget>(*dialog, "lsbResched")); }
    QStringList selected() {
        QStringList out;
        for (QListWidgetItem* item : Child<QListWidget>(*dialog, "lsbResched")->selectedItems())
            out << item->text().left(8).trimmed();
        out.sort();
        return out;
    }
    void select(int row) { Child<QListWidget>(*dialog, "lsbResched")->item(row)->setSelected(true); }
    JobRec& job(int j) { return Job(j); }

    std::unique_ptr<frmResched> dialog;
    int unsubBuilds = 0;
};

TEST_F(frmReschedTest, OptionsListTheirJobsByGroupAndOrder) {
    add("ZED", "PAY");
    add("RUN", "GL", kStarted);
    add("DONE", "PAY", kStarted, kEnded);
    const int off = add("OFF", "GL");
    job(off).SchedFlag = S("U");
    SetJobStatus(off);
    open();
    EXPECT_EQ(dialog->windowTitle(), S("Modify Schedule"));
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_FALSE(Child<QComboBox>(*dialog, "cboGroup")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*dialog, "cmdOK")->isEnabled());
    const auto names = ExpectAccessibleNames(dialog.get());
    EXPECT_EQ(names.value(S("cboGroup")), S("Group"));
    EXPECT_EQ(names.value(S("chkInclDep")), S("Cascade Dependent Jobs"));
    EXPECT_EQ(names.value(S("lsbResched")), S("Jobs"));

    Child<QRadioButton>(*dialog, "optUnsched")->click();
    EXPECT_EQ(entries(), (QStringList{S("ZED     \tScheduled"), S("RUN     \tRunning")}));
    EXPECT_TRUE(Child<QCheckBox>(*dialog, "chkInclDep")->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(*dialog, "chkInclUnsch")->isEnabled());
    EXPECT_TRUE(Child<QComboBox>(*dialog, "cboGroup")->isEnabled());
    Child<QCheckBox>(*dialog, "chkSorted")->click();
    EXPECT_EQ(entries(), (QStringList{S("RUN     \tRunning"), S("ZED     \tScheduled")}));

    Child<QRadioButton>(*dialog, "OptReschedule")->click();
    EXPECT_EQ(entries(), QStringList{S("DONE    \tCompleted")});
    EXPECT_FALSE(Child<QCheckBox>(*dialog, "chkInclDep")->isEnabled());
    Child<QCheckBox>(*dialog, "chkInclUnsch")->click();
    EXPECT_EQ(entries(), (QStringList{S("DONE    \tCompleted"), S("OFF     \tUnscheduled")}));

    // A group chosen later takes effect at the next rebuild only.
    Child<QComboBox>(*dialog, "cboGroup")->setCurrentText(S("GL"));
    EXPECT_EQ(G.gGroupFilter, S("GL"));
    EXPECT_EQ(entries().size(), 2);
    Child<QCheckBox>(*dialog, "chkSorted")->click();
    EXPECT_EQ(entries(), QStringList{S("OFF     \tUnscheduled")});
}

TEST_F(frmReschedTest, CascadeSelectsDependentsOnlyWhileItIsEnabled) {
    add("A", "G");
    add("B", "G", {}, {}, "A");
    add("C", "G", {}, {}, "B");
    add("D", "G");
    add("E", "G", kStarted, kEnded);
    add("F", "G", kStarted, kEnded, "E");
    open();
    Child<QRadioButton>(*dialog, "optUnsched")->click();
    Child<QCheckBox>(*dialog, "chkInclDep")->click();
    select(0);
    EXPECT_EQ(selected(), (QStringList{S("A"), S("B"), S("C")}));
    EXPECT_TRUE(Child<QPushButton>(*dialog, "cmdOK")->isEnabled());
    Child<QPushButton>(*dialog, "cmdClear")->click();
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_FALSE(Child<QPushButton>(*dialog, "cmdOK")->isEnabled());

    // Ticking the box cascades what is already selected.
    Child<QCheckBox>(*dialog, "chkInclDep")->click();
    select(1);
    EXPECT_EQ(selected(), QStringList{S("B")});
    Child<QCheckBox>(*dialog, "chkInclDep")->click();
    EXPECT_EQ(selected(), (QStringList{S("B"), S("C")}));

    // The reschedule list: the box still shows its tick but is disabled.
    Child<QRadioButton>(*dialog, "OptReschedule")->click();
    ASSERT_TRUE(Child<QCheckBox>(*dialog, "chkInclDep")->isChecked());
    select(0);
    EXPECT_EQ(selected(), QStringList{S("E")});
}

TEST_F(frmReschedTest, CloseBoxAsksAndOnlyApplyChangesAnything) {
    const int done = add("DONE", "G", kStarted, kEnded);
    add("OTHER", "G", kStarted, kEnded);

    // Closed with nothing selected: no question, nothing saved.
    open();
    WhenShown<frmResched>([](frmResched* d) {
        Press(*d, "OptReschedule");
        d->close();
    });
    dialog->exec();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(G.gSchedFile));

    // Cancel keeps the window and its selection; Yes applies.
    open();
    bool keptOpen = false;
    WhenShown<frmResched>([&](frmResched* d) {
        Press(*d, "OptReschedule");
        d->findChild<QListWidget*>(S("lsbResched"))->item(0)->setSelected(true);
        prompts.queueAnswer(MsgAnswer::Cancel);
        d->close();
        keptOpen = d->isVisible() && d->findChild<QListWidget*>(S("lsbResched"))->selectedItems().size() == 1;
        prompts.queueAnswer(MsgAnswer::Yes);
        d->close();
    });
    dialog->exec();
    EXPECT_TRUE(keptOpen);
    EXPECT_EQ(prompts.messages, (QStringList{S("Do you want to apply the select modifications to the schedule?"),
                                             S("Do you want to apply the select modifications to the schedule?")}));
    EXPECT_EQ(job(done).JobState, jsScheduled);
    EXPECT_EQ(job(2).JobState, jsCompleted);
    EXPECT_TRUE(G.gSchedModified);
    EXPECT_TRUE(QFile::exists(G.gSchedFile));
}

TEST_F(frmReschedTest, ExecutionWindowReschedulesAndKicksAPass) {
    const int done = add("DONE", "G", kStarted, kEnded);
    const int wait = add("LATER", "G");
    job(wait).EarlyStartText = S("23:00");
    frmSched sched(false);
    sched.show();
    ASSERT_TRUE(QTest::qWaitFor([] { return G.ProgList && G.ProgList->rowCount() > 0; }, 5000));
    ASSERT_TRUE(sched.findChild<QPushButton*>(S("cmdModSched"))->isEnabled());

    clock.advance(60);
    WhenShown<frmResched>([](frmResched* d) {
        Press(*d, "optUnsched");
        d->findChild<QListWidget*>(S("lsbResched"))->item(0)->setSelected(true);  // LATER
        Press(*d, "cmdOK");
    });
    Press(sched, "cmdModSched");
    EXPECT_EQ(job(wait).JobState, jsUnscheduled);
    EXPECT_TRUE(G.ProgList->stringList().contains(S("LATER    (Daily)\tUnscheduled")));

    WhenShown<frmResched>([](frmResched* d) {
        Press(*d, "OptReschedule");
        d->findChild<QListWidget*>(S("lsbResched"))->item(0)->setSelected(true);  // DONE
        Press(*d, "cmdOK");
    });
    Press(sched, "cmdModSched");
    // The pass that follows at once submits the rescheduled job.
    const QStringList lines = G.ProgList->stringList();
    EXPECT_TRUE(lines.contains(S("DONE     (Daily)\tScheduled"))) << lines.join(S("\n")).toStdString();
    EXPECT_EQ(lines.back(), S("DONE     (Daily) \tSubmitted at 10:01:00"));
    EXPECT_EQ(job(done).JobState, jsRunning);
    EXPECT_FALSE(G.gSchedModified);
    const QString log = QString::fromUtf8(dir.read(S("20261208.log")));
    EXPECT_TRUE(log.contains(S("10:01:00 DONE     (Daily) Scheduled")));

    // The log viewer from the same window: no kick while it is open.
    bool kickOff = false;
    WhenShown<QDialog>([&](QDialog* d) {
        kickOff = d->objectName() == S("frmLogVw") && !sched.findChild<QPushButton*>(S("cmdKick"))->isEnabled();
        d->reject();
    });
    Press(sched, "mnuViewLog");
    EXPECT_TRUE(kickOff);
    EXPECT_TRUE(sched.findChild<QPushButton*>(S("cmdKick"))->isEnabled());
    sched.close();
}

}  // namespace
