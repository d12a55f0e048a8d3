#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/frmEdVar.h"
#include "morvenda/windows/frmIncFile.h"
#include "morvenda/windows/frmSelAddr.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

// The job editor's three small dialogs, driven through their controls.

namespace {

class EditDialogsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        G.gFixedDrives = ListDrives();
    }
};

TEST_F(EditDialogsTest, IncludeFileChecksTheNameAndAsksAboutVariables) {
    if (!OnFixedDrive(dir.path())) GTEST_SKIP() << "the temporary folder is not on a fixed drive here";
    IncludeFileParams params{S("x"), true, true, false, true};
    frmIncFile dlg(params);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), S("EOJ Message Included File Specification"));
    EXPECT_TRUE(Child<QRadioButton>(dlg, "optAttach")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(dlg, "chkFilter")->isVisible());  // only for a copied file
    Child<QRadioButton>(dlg, "optCopy")->click();
    EXPECT_TRUE(Child<QCheckBox>(dlg, "chkFilter")->isVisible());
    EXPECT_EQ(Child<QCheckBox>(dlg, "chkDateVar")->accessibleName(), S("Filename contains date variables"));

    // A name without a folder is refused and the dialog stays.
    Press(dlg, "cmdOK");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(prompts.messages.back(), S("File name not present or invalid.  File name must be fully qualified and "
                                         "file must be on a fixed disk drive"));

    // "&" in the name: No keeps the date-variable flag clear.
    const QString name = dir.path(S("report-&RUNDATE&.txt"));
    Child<QLineEdit>(dlg, "txtFilename")->setText(S("  ") + name);
    prompts.queueAnswer(MsgAnswer::No);
    Press(dlg, "cmdOK");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(prompts.messages.back().startsWith(S("The filename contains at least one \"&\" character.\n\n")));
    EXPECT_EQ(params.FileName, name);
    EXPECT_FALSE(params.Attach);
    EXPECT_TRUE(params.Filter);
    EXPECT_FALSE(params.DateVars);
    EXPECT_TRUE(params.DeleteAfter);

    // The close box asks: Cancel stays, No discards.
    IncludeFileParams other{dir.path(S("a.txt")), false, false, false, false};
    frmIncFile second(other);
    second.show();
    prompts.queueAnswer(MsgAnswer::Cancel);
    second.close();
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(prompts.messages.back(), S("Do you want to apply the data entered?"));
    prompts.queueAnswer(MsgAnswer::No);
    second.close();
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(other.FileName, S(""));
}

TEST_F(EditDialogsTest, AddressPickerPreselectsAndReportsMissingBooks) {
    dir.write(S("jones.adr"), "jones@corp.example,Ann Jones\r\n");
    dir.write(S("Brown.ADR"), "brown@corp.example,Bob Brown\r\n");
    G.gEmailAddrPath = dir.path();
    G.gEmailAddrSel = S("SMITH,JONES");
    frmSelAddr dlg;
    dlg.Form_Load();
    dlg.show();
    EXPECT_EQ(prompts.messages.value(0), S("The following email addresses are no longer present:\n\nSMITH"));
    auto* list = Child<QListWidget>(dlg, "lsbEmlAddr");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), S("BROWN(Bob Brown)"));
    EXPECT_FALSE(list->item(0)->isSelected());
    EXPECT_TRUE(list->item(1)->isSelected());
    Press(dlg, "cmdOK");
    EXPECT_EQ(G.gEmailAddrSel, S("JONES"));

    // Nothing selected empties the list; the close box cancels with a message.
    frmSelAddr none;
    none.Form_Load();
    none.findChild<QListWidget*>(S("lsbEmlAddr"))->clearSelection();
    none.cmdOK_Click();
    EXPECT_EQ(G.gEmailAddrSel, S(""));
    frmSelAddr closed;
    closed.Form_Load();
    closed.show();
    closed.close();
    EXPECT_EQ(prompts.messages.back(), S("Address selection cancelled"));
    EXPECT_EQ(G.gEmailAddrSel, QString(QChar(0)));
}

TEST_F(EditDialogsTest, DateVariableEditorNeedsAllThreeFields) {
    DateVarParams params{S(""), S(""), S("RunDate"), 3};
    frmEdVar dlg(params);
    dlg.show();
    // "RunDate" has no relative month: hidden and 0.
    EXPECT_FALSE(Child<QLineEdit>(dlg, "txtRelMonth")->isVisible());
    EXPECT_EQ(Child<QLineEdit>(dlg, "txtRelMonth")->text(), S("0"));
    Press(dlg, "cmdOK");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(prompts.messages.back(), S("No format string specified\nNo Variable Name specified"));
    EXPECT_EQ(dlg.focusWidget(), Child<QLineEdit>(dlg, "txtName"));

    QTest::keyClicks(Child<QLineEdit>(dlg, "txtName"), S("month end!"));
    QTest::keyClicks(Child<QLineEdit>(dlg, "txtFormat"), S("yyyy-mm-ddX"));
    EXPECT_EQ(Child<QLineEdit>(dlg, "txtName")->text(), S("MONTHEND"));
    EXPECT_EQ(Child<QLineEdit>(dlg, "txtFormat")->text(), S("YYYY-MM-DD"));

    // Choosing "+nWDOM" asks for n and shows the relative month.
    prompts.queueInput(S("2"));
    dlg.cboRelDIM_Click(static_cast<int>(RelDayCodes().indexOf(S("+nWDOM"))));
    EXPECT_EQ(Child<QLineEdit>(dlg, "txtRelDIM")->text(), S("+2WDOM"));
    EXPECT_TRUE(Child<QLineEdit>(dlg, "txtRelMonth")->isVisible());
    Child<QSpinBox>(dlg, "vscRelMonth")->stepDown();
    EXPECT_EQ(Child<QLineEdit>(dlg, "txtRelMonth")->text(), S("-1"));
    Press(dlg, "cmdOK");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(params.Name, S("MONTHEND"));
    EXPECT_EQ(params.Format, S("YYYY-MM-DD"));
    EXPECT_EQ(params.RelDay, S("+2WDOM"));
    EXPECT_EQ(params.RelMonth, -1);

    // Closing otherwise cancels with a message.
    DateVarParams kept{S("X"), S("yyyy"), S("RunDate"), 0};
    frmEdVar closed(kept);
    closed.show();
    closed.close();
    EXPECT_EQ(prompts.messages.back(), S("Date variable modification cancelled"));
    EXPECT_EQ(kept.Name, S(""));
}

}  // namespace
