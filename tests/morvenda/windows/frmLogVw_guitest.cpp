#include "morvenda/windows/frmLogVw.h"

#include "common/textfile.h"
#include "morvenda/core/state.h"
#include "tests/support/accessible.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/openeronpath.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// The log viewer on a run log folder of three days.

namespace {

class frmLogVwTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gLogFile = dir.path(S("Log/yyyymmdd.log"));
        dir.write(S("Log/20261208.log"),
                  "08 Dec 2026  10:00:00 JOB      (Daily)  Submitted at 10:00:00\r\n"
                  "08 Dec 2026  10:00:01 JOBA     Failed(Exit code 1)\r\n"
                  "08 Dec 2026  10:00:02 JOB      Completed at 10:00:02\r\n");
        dir.write(S("Log/20261206.log"), "x\r\n");
        dir.write(S("Log/20261207.log"), "x\r\n");
        AddJobs({JobBuilder(S("JOB")).group(S("PAY")), JobBuilder(S("JOBA")).group(S("GL")),
                 JobBuilder(S("OTHER")).group(S("PAY"))});
        viewer = std::make_unique<frmLogVw>();
        QObject::connect(viewer.get(), &QDialog::finished, viewer.get(), [this](int r) { closedWith = r; });
    }
    void TearDown() override {
        viewer.reset();
        SchedulerStateTest::TearDown();
    }
    QStringList items() { return ItemTexts(Child<QListWidget>(*viewer, "lsbLogSpec")); }
    QString extract() const { return QString::fromUtf8(dir.read(S("Log/20261208.tmp"))); }

    ScopedEnv noDisplay{"DISPLAY", ""};
    ScopedEnv noWayland{"WAYLAND_DISPLAY", ""};
    std::unique_ptr<frmLogVw> viewer;
    int closedWith = -1;  // the viewer still open
};

TEST_F(frmLogVwTest, OpensOnTheLastLogAndTheOptionsFillTheNameList) {
    auto* files = Child<QComboBox>(*viewer, "cboLogFiles");
    ASSERT_EQ(files->count(), 3);
    EXPECT_EQ(files->itemText(0), S("20261206"));
    EXPECT_EQ(files->currentText(), S("20261208"));
    const auto names = ExpectAccessibleNames(viewer.get());
    EXPECT_EQ(names.value(S("optSel3")), S("Failed Jobs"));
    EXPECT_EQ(names.value(S("cboLogFiles")), S("Log file"));

    auto* list = Child<QListWidget>(*viewer, "lsbLogSpec");
    EXPECT_FALSE(list->isEnabled());
    Child<QRadioButton>(*viewer, "optSel1")->click();
    EXPECT_EQ(items(), (QStringList{S("GL"), S("PAY")}));
    EXPECT_EQ(list->toolTip(), S("Select a single group name"));
    // A group is chosen alone, even when the selection is extended.
    list->show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(1)).center());
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().first()->text(), S("PAY"));

    Child<QRadioButton>(*viewer, "optSel2")->click();
    EXPECT_EQ(items(), (QStringList{S("JOB"), S("JOBA"), S("OTHER")}));
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::MultiSelection);
    Child<QRadioButton>(*viewer, "optSel3")->click();
    EXPECT_TRUE(items().isEmpty());
}

TEST_F(frmLogVwTest, OKWritesTheExtractAndShowsWhereWithoutADesktop) {
    Child<QRadioButton>(*viewer, "optSel1")->click();
    Child<QPushButton>(*viewer, "cmdOK")->click();
    EXPECT_EQ(prompts.messages, QStringList{S("You must select a group name")});
    EXPECT_EQ(closedWith, -1);
    EXPECT_FALSE(QFile::exists(dir.path(S("Log/20261208.tmp"))));

    Child<QRadioButton>(*viewer, "optSel2")->click();
    Child<QPushButton>(*viewer, "cmdOK")->click();
    EXPECT_EQ(prompts.messages.back(), S("You must select a job name"));

    Child<QListWidget>(*viewer, "lsbLogSpec")->item(0)->setSelected(true);  // JOB, not JOBA
    Child<QPushButton>(*viewer, "cmdOK")->click();
    EXPECT_EQ(extract(), S("08 Dec 2026  10:00:00 JOB      (Daily)  Submitted at 10:00:00\r\n"
                           "08 Dec 2026  10:00:02 JOB      Completed at 10:00:02\r\n"));
    EXPECT_EQ(prompts.messages.back(), S("Log extract written to ") + dir.path(S("Log/20261208.tmp")));
    EXPECT_EQ(closedWith, QDialog::Accepted);
}

TEST_F(frmLogVwTest, OKOpensTheExtractWithTheDesktopsViewer) {
    OpenerOnPath desktop;  // records what it was asked to open
    ScopedEnv display("DISPLAY", ":99");
    Child<QRadioButton>(*viewer, "optSel3")->click();
    Child<QPushButton>(*viewer, "cmdOK")->click();
    EXPECT_EQ(extract(), S("08 Dec 2026  10:00:01 JOBA     Failed(Exit code 1)\r\n"));
    const QString opened = desktop.waitRecord();
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(opened.trimmed(), dir.path(S("Log/20261208.tmp")));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S("\n")).toStdString();
}

TEST_F(frmLogVwTest, AnExtractThatCannotBeOpenedIsNamedNotCalledACopyError) {
    // No opener on PATH: the extract is written all the same.
    ScopedEnv path("PATH", dir.path(S("nothing")).toLocal8Bit());
    ScopedEnv display("DISPLAY", ":99");
    Child<QRadioButton>(*viewer, "optSel3")->click();
    Child<QPushButton>(*viewer, "cmdOK")->click();
    EXPECT_EQ(extract(), S("08 Dec 2026  10:00:01 JOBA     Failed(Exit code 1)\r\n"));
    ASSERT_EQ(prompts.messages.size(), 1);
    const QString msg = prompts.messages[0];
    EXPECT_TRUE(msg.startsWith(S("Log extract written to ") + dir.path(S("Log/20261208.tmp")) +
                               S(", but it cannot be opened: ")))
        << msg.toStdString();
    EXPECT_TRUE(msg.contains(S("xdg-open not found"))) << msg.toStdString();
    EXPECT_EQ(closedWith, QDialog::Accepted);
}

TEST_F(frmLogVwTest, AnUnreadableLogIsReportedAndClosesTheViewer) {
    QFile::remove(dir.path(S("Log/20261208.log")));
    Child<QPushButton>(*viewer, "cmdOK")->click();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(S("Error copying log: "))) << prompts.messages[0].toStdString();
    EXPECT_EQ(closedWith, QDialog::Rejected);
}

}  // namespace
