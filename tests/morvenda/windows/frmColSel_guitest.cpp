#include "morvenda/windows/frmColSel.h"

#include "common/constants.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/grid.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmLGrid.h"
#include "tests/support/asuser.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// The column dialog over the default columns, profiles in a temporary
// settings file.

namespace {

class FrmColSelTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        DefineGridColumns();
        G.gCurProfile = S("General");
        ASSERT_TRUE(SaveColProfile());
        ASSERT_TRUE(AddColProfileName(gProfPrefix + S("General")));
    }

    static QString setting(const QString& section, const char* key) { return GetSetting(gAppName, section, S(key)); }
    // Opens the dialog, lets Change act on it, names the profile Name and
    // presses OK; whether the dialog stayed open (it is then cancelled).
    static bool OkAs(const char* Name, const std::function<void(frmColSel&)>& Change = {}) {
        frmColSel d;
        d.show();
        if (Change) Change(d);
        Child<QLineEdit>(d, "txtProfile")->setText(S(Name));
        Child<QPushButton>(d, "cmdOK")->click();
        const bool open = d.isVisible();
        if (open) Child<QPushButton>(d, "cmdCancel")->click();
        return open;
    }
};

TEST_F(FrmColSelTest, MovesBetweenTheLists) {
    frmColSel d;
    auto* shown = Child<QListWidget>(d, "lsbDisplayed");
    auto* hidden = Child<QListWidget>(d, "lsbUndisplayed");
    auto* sel1 = Child<QPushButton>(d, "cmdSel1");
    EXPECT_EQ(ItemTexts(shown),
              (QStringList{S("Group"), S("Command Line"), S("Job Description"), S("DOS/CP Prog"), S("Submit Only"),
                           S("Auto Reschedule"), S("CPU Usage"), S("Date Variables")}));
    ASSERT_EQ(hidden->count(), 14);
    // Alphabetical without regard to case: "Early Start" before "EOJ Email To".
    QStringList sorted = ItemTexts(hidden);
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(ItemTexts(hidden), sorted);
    EXPECT_LT(ItemTexts(hidden).indexOf(S("Early Start")), ItemTexts(hidden).indexOf(S("EOJ Email To")));
    EXPECT_FALSE(sel1->isEnabled());

    // One entry moved: its neighbour is selected, so presses move runs.
    hidden->setCurrentRow(2);
    const QString third = hidden->item(2)->text();
    const QString fourth = hidden->item(3)->text();
    EXPECT_EQ(sel1->text(), S(">"));
    sel1->click();
    sel1->click();
    EXPECT_EQ(ItemTexts(shown).mid(8), (QStringList{third, fourth}));
    hidden->item(0)->setSelected(true);
    hidden->item(1)->setSelected(true);
    EXPECT_EQ(sel1->text(), S("> > >"));

    // Up and down exchange neighbours; the moved entry stays current.
    shown->setCurrentRow(0);
    EXPECT_FALSE(Child<QPushButton>(d, "cmdUp")->isEnabled());
    Child<QPushButton>(d, "cmdDown")->click();
    EXPECT_EQ(ItemTexts(shown).mid(0, 2), (QStringList{S("Command Line"), S("Group")}));
    EXPECT_EQ(shown->currentRow(), 1);
    Child<QPushButton>(d, "cmdUp")->click();
    EXPECT_EQ(ItemTexts(shown).mid(0, 2), (QStringList{S("Group"), S("Command Line")}));

    // Back to the undisplayed list at its sorted place; the next one current.
    shown->setCurrentRow(1);
    Child<QPushButton>(d, "cmdUnsel1")->click();
    EXPECT_TRUE(hidden->findItems(S("Command Line"), Qt::MatchExactly).size() == 1);
    EXPECT_EQ(shown->currentItem()->text(), S("Job Description"));

    // All back, then all out again with nothing current.
    Child<QPushButton>(d, "cmdUnselAll")->click();
    EXPECT_EQ(shown->count(), 0);
    hidden->clearSelection();
    hidden->setCurrentRow(-1);
    Child<QPushButton>(d, "cmdSelAll")->click();
    EXPECT_EQ(shown->count(), 22);
    EXPECT_EQ(hidden->count(), 0);
    Child<QPushButton>(d, "cmdUnselAll")->click();

    // Saved with nothing displayed: only the job name is left in the grid.
    Child<QPushButton>(d, "cmdOK")->click();
    for (int c = 1; c < kGridColCount; ++c) EXPECT_TRUE(gGridCols[static_cast<size_t>(c)].Hidden) << c;
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Job Name"), S("800,0,<,False"));
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Group").section(QLatin1Char(','), 3), S("True"));
}

TEST_F(FrmColSelTest, WidthsAndAlignments) {
    frmColSel d;
    d.show();
    auto* shown = Child<QListWidget>(d, "lsbDisplayed");
    auto* width = Child<QLineEdit>(d, "txtColWidth");
    auto* align = Child<QComboBox>(d, "cboAlign");
    auto* apply = Child<QPushButton>(d, "cmdApplyWidth");
    shown->setCurrentRow(2);  // Job Description: 1500, left
    EXPECT_EQ(width->text(), S("1500"));
    EXPECT_EQ(align->currentText(), S("< (Left)"));
    EXPECT_FALSE(apply->isEnabled());

    struct Case {
        const char* typed;
        int alignIndex;
        int width;
        char mark;
    };
    const Case cases[] = {
        {"2400", 2, 2400, '>'},
        {"99999", 1, 32767, '^'},  // clamped to what a width can hold
        {"0", 0, 0, '<'},
        {"7a-1", 0, 71, '<'},  // the box takes digits only
    };
    for (const Case& c : cases) {
        width->setFocus();
        width->clear();
        QTest::keyClicks(width, S(c.typed));
        align->setCurrentIndex(c.alignIndex);
        EXPECT_TRUE(apply->isEnabled()) << c.typed;
        apply->click();
        EXPECT_EQ(gGridCols[3].Width, c.width) << c.typed;
        EXPECT_EQ(gGridCols[3].Align, QLatin1Char(c.mark)) << c.typed;
        EXPECT_FALSE(apply->isEnabled());
    }

    // A change not applied is asked about at OK, and OK goes on.
    width->setFocus();
    width->clear();
    QTest::keyClicks(width, S("1234"));
    prompts.queueAnswer(MsgAnswer::Yes);
    Child<QPushButton>(d, "cmdOK")->click();
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.front(), S("You have not applied a change made to Column Alignment/Width.  "
                                          "Do you wish to apply it now?"));
    EXPECT_EQ(gGridCols[3].Width, 1234);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Job Description"), S("1234,3,<,False"));
}

TEST_F(FrmColSelTest, ProfileNamesAndSaving) {
    struct Case {
        const char* name;
        const char* message;
    };
    const Case refused[] = {
        {"  ", "Please enter a profile name for this view."},
    };
    for (const Case& c : refused) {
        EXPECT_TRUE(OkAs(c.name)) << c.name;
        EXPECT_EQ(prompts.messages.back(), S(c.message)) << c.name;
        EXPECT_EQ(G.gCurProfile, S("General"));
    }
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General"));

    // A new name: a new profile, the old one unchanged.
    const QString general = setting(gProfPrefix + S("General"), "Group");
    EXPECT_FALSE(OkAs("Night", [](frmColSel& d) {
        Child<QListWidget>(d, "lsbDisplayed")->setCurrentRow(0);
        Press(d, "cmdDown");
    }));
    EXPECT_EQ(G.gCurProfile, S("Night"));
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General,") + gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfPrefix + S("Night"), "Group"), S("500,2,^,False"));
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Group"), general);

    // The same name in other letters is the same profile: no question.
    EXPECT_FALSE(OkAs("NIGHT"));
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General,") + gProfPrefix + S("Night"));

    // Another existing name asks; No saves nothing.
    prompts.messages.clear();
    EXPECT_FALSE(OkAs("General", [this](frmColSel& d) {
        Press(d, "cmdUnselAll");
        prompts.queueAnswer(MsgAnswer::No);
    }));
    EXPECT_EQ(prompts.messages, QStringList{S("A view profile already exists with the name specified.  "
                                              "Do you want to replace it with this one?")});
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Group"), general);

    // The close box asks; Cancel keeps the dialog open.
    frmColSel d;
    d.show();
    prompts.queueAnswer(MsgAnswer::Cancel);
    d.close();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(prompts.messages.back(), S("Do you want to save any changes made to this profile?"));
    prompts.queueAnswer(MsgAnswer::No);
    d.close();
    EXPECT_FALSE(d.isVisible());
}

TEST_F(FrmColSelTest, DeletingAProfileAsksAndForgetsIt) {
    G.gCurProfile = S("Night");
    ASSERT_TRUE(SaveColProfile());
    ASSERT_TRUE(AddColProfileName(gProfPrefix + S("Night")));
    frmColSel d;
    auto* del = Child<QPushButton>(d, "cmdDel");
    prompts.queueAnswer(MsgAnswer::No);
    del->click();
    EXPECT_EQ(prompts.messages.back(), S("Delete the view profile Night?"));
    EXPECT_FALSE(setting(gProfPrefix + S("Night"), "Group").isEmpty());

    del->click();
    EXPECT_TRUE(setting(gProfPrefix + S("Night"), "Group").isEmpty());
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General"));
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("General"));
    del->click();  // no longer there
    EXPECT_EQ(prompts.messages.back(), S("Could not delete edit view profile\n\nThere is no view profile \"Night\"."));
    Child<QLineEdit>(d, "txtProfile")->setText(S(" "));
    EXPECT_FALSE(del->isEnabled());
}

TEST_F(FrmColSelTest, CustomiseFromTheGridShowsTheNewLayout) {
    G.gGroupFilter = gAllGroups;
    JobBuilder(S("A")).frequency(S("Daily")).add();
    frmLGrid grid;
    auto* g = grid.findChild<Grid*>(S("fxgSchedGrid"));
    ASSERT_EQ(g->Cols(), 9);
    bool driven = false;
    WhenShown<frmColSel>([&](frmColSel* d) {
        driven = true;
        Child<QPushButton>(*d, "cmdUnselAll")->click();
        auto* hidden = Child<QListWidget>(*d, "lsbUndisplayed");
        hidden->setCurrentItem(hidden->findItems(S("Status"), Qt::MatchExactly).front());
        Child<QPushButton>(*d, "cmdSel1")->click();
        // Any character: the name is stored in a form the settings hold.
        Child<QLineEdit>(*d, "txtProfile")->setText(S("Ops]1, \"late\""));
        Child<QPushButton>(*d, "cmdOK")->click();
    });
    Press(grid, "mnuCustomise");
    ASSERT_TRUE(driven);
    ASSERT_EQ(g->Cols(), 2);
    EXPECT_EQ(g->TextMatrix(0, 1), S("Status"));
    auto* profiles = grid.findChild<QComboBox*>(S("cboProfile"));
    EXPECT_EQ(profiles->currentText(), S("Ops]1, \"late\""));
    EXPECT_EQ(profiles->count(), 2);

    // Back to the first profile by the combo: its columns return; and to
    // the new one again: its columns, and still one section for it.
    profiles->setCurrentText(S("General"));
    EXPECT_EQ(g->Cols(), 9);
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("General"));
    profiles->setCurrentText(S("Ops]1, \"late\""));
    EXPECT_EQ(g->Cols(), 2);
    grid.close();
    QFile file(SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count(S("[Morvenda\\") + ProfileStoredName(S("Ops]1, \"late\"")) + S("]")), 1) << text.toStdString();
}

// A layout that cannot be saved (the settings folder read-only: only a user
// other than root is held by it) keeps the dialog open with the reason and
// writes nothing; once the folder can be written, OK saves it.
TEST_F(FrmColSelTest, AProfileThatCannotBeSavedKeepsTheDialogOpenWithTheReason) {
    MRV_RUN_AS_USER();
    const QString folder = FolderOf(SettingsFilePath());
    const QByteArray before = config.read(SettingsFilePath());
    frmColSel d;
    d.show();
    Child<QPushButton>(d, "cmdUnselAll")->click();
    Child<QLineEdit>(d, "txtProfile")->setText(S("Night"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Child<QPushButton>(d, "cmdOK")->click();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(
        prompts.messages[0].startsWith(S("Could not save edit view profile\n\nCannot write \"") + SettingsFilePath()))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(prompts.messages[0].endsWith(S("Permission denied"))) << prompts.messages[0].toStdString();
    EXPECT_EQ(config.read(SettingsFilePath()), before);
    EXPECT_EQ(G.gCurProfile, S("General"));

    Child<QPushButton>(d, "cmdOK")->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(G.gCurProfile, S("Night"));
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfPrefix + S("Night"), "Group").section(QLatin1Char(','), 3), S("True"));
}

}  // namespace
