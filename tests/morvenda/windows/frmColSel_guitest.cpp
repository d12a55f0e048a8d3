#include "morvenda/windows/frmColSel.h"

#include "common/constants.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/grid.h"
#include "morvenda/core/dependency.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/state.h"
#include "morvenda/windows/frmLGrid.h"
#include "tests/support/asuser.h"
#include "tests/support/guitest.h"
#include "tests/support/testing.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

// The column dialog over the default columns, profiles in a temporary
// settings file.

namespace {

class FrmColSelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        DefineGridColumns();
        G.gCurProfile = S("General");
        ASSERT_TRUE(SaveColProfile());
        ASSERT_TRUE(AddColProfileName(gProfPrefix + S("General")));
    }
    void TearDown() override { ResetState(); }

    template <typename T>
    T* child(QWidget& w, const char* name) {
        return Child<T>(w, name);
    }
    static QStringList texts(const QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }
    static QString setting(const QString& section, const char* key) { return GetSetting(gAppName, section, S(key)); }

    TempDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().toLocal8Bit()};
    ScriptedPrompter prompts;
};

TEST_F(FrmColSelTest, MovesBetweenTheLists) {
    frmColSel d;
    auto* shown = child<QListWidget>(d, "lsbDisplayed");
    auto* hidden = child<QListWidget>(d, "lsbUndisplayed");
    auto* sel1 = child<QPushButton>(d, "cmdSel1");
    EXPECT_EQ(texts(shown), (QStringList{S("Group"), S("Command Line"), S("Job Description"), S("DOS/CP Prog"),
                                         S("Submit Only"), S("Auto Reschedule"), S("CPU Usage"), S("Date Variables")}));
    ASSERT_EQ(hidden->count(), 14);
    // Alphabetical without regard to case: "Early Start" before "EOJ Email To".
    QStringList sorted = texts(hidden);
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(texts(hidden), sorted);
    EXPECT_LT(texts(hidden).indexOf(S("Early Start")), texts(hidden).indexOf(S("EOJ Email To")));
    EXPECT_FALSE(sel1->isEnabled());

    // One entry moved: its neighbour is selected, so presses move runs.
    hidden->setCurrentRow(2);
    const QString third = hidden->item(2)->text();
    const QString fourth = hidden->item(3)->text();
    EXPECT_EQ(sel1->text(), S(">"));
    sel1->click();
    sel1->click();
    EXPECT_EQ(texts(shown).mid(8), (QStringList{third, fourth}));
    hidden->item(0)->setSelected(true);
    hidden->item(1)->setSelected(true);
    EXPECT_EQ(sel1->text(), S("> > >"));

    // Up and down exchange neighbours; the moved entry stays current.
    shown->setCurrentRow(0);
    EXPECT_FALSE(child<QPushButton>(d, "cmdUp")->isEnabled());
    child<QPushButton>(d, "cmdDown")->click();
    EXPECT_EQ(texts(shown).mid(0, 2), (QStringList{S("Command Line"), S("Group")}));
    EXPECT_EQ(shown->currentRow(), 1);
    child<QPushButton>(d, "cmdUp")->click();
    EXPECT_EQ(texts(shown).mid(0, 2), (QStringList{S("Group"), S("Command Line")}));

    // Back to the undisplayed list at its sorted place; the next one current.
    shown->setCurrentRow(1);
    child<QPushButton>(d, "cmdUnsel1")->click();
    EXPECT_TRUE(hidden->findItems(S("Command Line"), Qt::MatchExactly).size() == 1);
    EXPECT_EQ(shown->currentItem()->text(), S("Job Description"));

    // All back, then all out again with nothing current.
    child<QPushButton>(d, "cmdUnselAll")->click();
    EXPECT_EQ(shown->count(), 0);
    hidden->clearSelection();
    hidden->setCurrentRow(-1);
    child<QPushButton>(d, "cmdSelAll")->click();
    EXPECT_EQ(shown->count(), 22);
    EXPECT_EQ(hidden->count(), 0);
    child<QPushButton>(d, "cmdUnselAll")->click();

    // Saved with nothing displayed: only the job name is left in the grid.
    child<QPushButton>(d, "cmdOK")->click();
    for (int c = 1; c < kGridColCount; ++c) EXPECT_TRUE(gGridCols[static_cast<size_t>(c)].Hidden) << c;
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Job Name"), S("800,0,<,False"));
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Group").section(QLatin1Char(','), 3), S("True"));
}

TEST_F(FrmColSelTest, WidthsAndAlignments) {
    frmColSel d;
    d.show();
    auto* shown = child<QListWidget>(d, "lsbDisplayed");
    auto* width = child<QLineEdit>(d, "txtColWidth");
    auto* align = child<QComboBox>(d, "cboAlign");
    auto* apply = child<QPushButton>(d, "cmdApplyWidth");
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
    child<QPushButton>(d, "cmdOK")->click();
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
        frmColSel d;
        d.show();
        child<QLineEdit>(d, "txtProfile")->setText(S(c.name));
        child<QPushButton>(d, "cmdOK")->click();
        EXPECT_EQ(prompts.messages.back(), S(c.message)) << c.name;
        EXPECT_TRUE(d.isVisible()) << c.name;
        child<QPushButton>(d, "cmdCancel")->click();
        EXPECT_EQ(G.gCurProfile, S("General"));
    }
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General"));

    // A new name: a new profile, the old one unchanged.
    const QString general = setting(gProfPrefix + S("General"), "Group");
    {
        frmColSel d;
        d.show();
        auto* shown = child<QListWidget>(d, "lsbDisplayed");
        shown->setCurrentRow(0);
        child<QPushButton>(d, "cmdDown")->click();
        child<QLineEdit>(d, "txtProfile")->setText(S("Night"));
        child<QPushButton>(d, "cmdOK")->click();
    }
    EXPECT_EQ(G.gCurProfile, S("Night"));
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General,") + gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfPrefix + S("Night"), "Group"), S("500,2,^,False"));
    EXPECT_EQ(setting(gProfPrefix + S("General"), "Group"), general);

    // The same name in other letters is the same profile: no question.
    {
        frmColSel d;
        d.show();
        child<QLineEdit>(d, "txtProfile")->setText(S("NIGHT"));
        child<QPushButton>(d, "cmdOK")->click();
        EXPECT_FALSE(d.isVisible());
    }
    EXPECT_EQ(setting(gProfSection, "List"), gProfPrefix + S("General,") + gProfPrefix + S("Night"));

    // Another existing name asks; No saves nothing.
    prompts.messages.clear();
    {
        frmColSel d;
        d.show();
        child<QPushButton>(d, "cmdUnselAll")->click();
        child<QLineEdit>(d, "txtProfile")->setText(S("General"));
        prompts.queueAnswer(MsgAnswer::No);
        child<QPushButton>(d, "cmdOK")->click();
        EXPECT_FALSE(d.isVisible());
    }
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
    auto* del = child<QPushButton>(d, "cmdDel");
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
    child<QLineEdit>(d, "txtProfile")->setText(S(" "));
    EXPECT_FALSE(del->isEnabled());
}

TEST_F(FrmColSelTest, CustomiseFromTheGridShowsTheNewLayout) {
    G.gGroupFilter = gAllGroups;
    G.Jobs.resize(2);
    G.Jobs[1].JobName = S("A");
    G.Jobs[1].Frequency = S("Daily");
    JobTableChanged();
    frmLGrid grid;
    auto* g = grid.findChild<Grid*>(S("fxgSchedGrid"));
    ASSERT_EQ(g->Cols(), 9);
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<frmColSel*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        driven = true;
        child<QPushButton>(*d, "cmdUnselAll")->click();
        auto* hidden = child<QListWidget>(*d, "lsbUndisplayed");
        hidden->setCurrentItem(hidden->findItems(S("Status"), Qt::MatchExactly).front());
        child<QPushButton>(*d, "cmdSel1")->click();
        // Any character: the name is stored in a form the settings hold.
        child<QLineEdit>(*d, "txtProfile")->setText(S("Ops]1, \"late\""));
        child<QPushButton>(*d, "cmdOK")->click();
    });
    grid.findChild<QAction*>(S("mnuCustomise"))->trigger();
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
    child<QPushButton>(d, "cmdUnselAll")->click();
    child<QLineEdit>(d, "txtProfile")->setText(S("Night"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    child<QPushButton>(d, "cmdOK")->click();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(
        prompts.messages[0].startsWith(S("Could not save edit view profile\n\nCannot write \"") + SettingsFilePath()))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(prompts.messages[0].endsWith(S("Permission denied"))) << prompts.messages[0].toStdString();
    EXPECT_EQ(config.read(SettingsFilePath()), before);
    EXPECT_EQ(G.gCurProfile, S("General"));

    child<QPushButton>(d, "cmdOK")->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(G.gCurProfile, S("Night"));
    EXPECT_EQ(setting(gProfSection, "Current"), gProfPrefix + S("Night"));
    EXPECT_EQ(setting(gProfPrefix + S("Night"), "Group").section(QLatin1Char(','), 3), S("True"));
}

}  // namespace
