#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "mrvconfg/config.h"
#include "mrvconfg/windows/frmConfig.h"
#include "mrvconfg/windows/frmDateSel.h"
#include "mrvconfg/windows/frmPubHol.h"
#include "tests/mrvconfg/confg_testing.h"
#include "tests/support/companiontests.h"
#include "tests/support/statefixture.h"
#include "tests/support/testing.h"

using namespace confg;

namespace {

// Picks Date in the date picker shown next, by Enter.
void PickInPicker(const QDate& date) {
    WhenShown<MRVDateSel>([date](MRVDateSel* d) {
        auto* cal = d->findChild<QCalendarWidget*>(S("MonthView1"));
        cal->setSelectedDate(date);
        QTest::keyClick(cal->focusWidget() ? cal->focusWidget() : cal, Qt::Key_Return);
    });
}

// Leaves the date picker shown next by its close box.
void CloseThePicker() {
    WhenShown<MRVDateSel>([](MRVDateSel* d) { d->close(); });
}

class PubHolWindow : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        gConfg = ConfgGlobals();
        file = dir.write(S("PubHols.phf"),
                         ";Public Holidays File\r\n"
                         "01 jan 2026, New Year's Day\r\n"
                         "25 Dec 2026,Christmas Day\r\n"
                         "01 May 2026\r\n");
        box.setText(file);
    }
    QStringList entries(const MRVPubHol& w) const { return w.entries(); }
    QPushButton* button(MRVPubHol& w, const char* name) { return Child<QPushButton>(w, name); }

    QLineEdit box;
    QString file;
    const QString ini = S("/srv/ACC.ini");
};

TEST_F(PubHolWindow, DatePickerPicksOrCancels) {
    MRVDateSel d;
    EXPECT_EQ(d.windowTitle(), S("Date Selection"));
    const DateVal start = DateVal::fromDate(2026, 12, 25);
    auto* cal = Child<QCalendarWidget>(d, "MonthView1");
    struct Case {
        std::function<void()> leave;
        bool cancelled;
        DateVal after;
    };
    const Case cases[] = {
        {[&] { QTest::keyClick(cal->focusWidget() ? cal->focusWidget() : cal, Qt::Key_Escape); }, true, start},
        {[&] { QTest::keyClick(cal->focusWidget() ? cal->focusWidget() : cal, Qt::Key_Enter); }, false, start},
        {[&] { d.close(); }, true, start},
        {[&] { emit cal->clicked(QDate(2027, 1, 4)); }, false, DateVal::fromDate(2027, 1, 4)},
    };
    for (const Case& c : cases) {
        d.mvDate = start;
        d.mvCancelled = !c.cancelled;
        WhenShown<MRVDateSel>([&c](MRVDateSel*) { c.leave(); });
        d.exec();
        EXPECT_EQ(d.mvCancelled, c.cancelled);
        EXPECT_EQ(d.mvDate, c.after);
    }
}

TEST_F(PubHolWindow, AddChangeDeleteAndSave) {
    gConfg.gDisplayFmt = S("dd mmm yyyy");
    MRVPubHol w(&box, ini);
    w.show();
    EXPECT_EQ(w.windowTitle(), S("Public Holidays and Other Non-Working Dates"));
    EXPECT_EQ(entries(w),
              (QStringList{S("01 Jan 2026 (New Year's Day)"), S("25 Dec 2026 (Christmas Day)"), S("01 May 2026")}));
    auto* save = button(w, "cmdSavePH");
    auto* list = Child<QListWidget>(w, "lstPubHols");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(button(w, "cmdChgPH")->isEnabled());

    // An abandoned date picker adds nothing.
    CloseThePicker();
    w.cmdAddPH_Click();
    EXPECT_EQ(entries(w).size(), 3);
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(prompts.prompts.isEmpty());

    // Add sorts the whole list.
    prompts.queueInput(S("Boxing Day, observed"));
    PickInPicker(QDate(2026, 12, 28));
    w.cmdAddPH_Click();
    EXPECT_EQ(entries(w), (QStringList{S("01 Jan 2026 (New Year's Day)"), S("01 May 2026"),
                                       S("25 Dec 2026 (Christmas Day)"), S("28 Dec 2026 (Boxing Day, observed)")}));
    EXPECT_TRUE(save->isEnabled());

    // Change keeps the entry in its place, even with a later date.
    list->setCurrentRow(0);
    EXPECT_TRUE(button(w, "cmdChgPH")->isEnabled());
    prompts.queueInput(S("Moved"));
    PickInPicker(QDate(2026, 12, 31));
    w.cmdChgPH_Click();
    EXPECT_EQ(entries(w).first(), S("31 Dec 2026 (Moved)"));
    EXPECT_EQ(list->currentRow(), 0);

    // Delete asks; No keeps, Yes removes and leaves nothing current.
    list->setCurrentRow(1);
    NextAnswers(prompts, {MsgAnswer::No});
    w.cmdDelPH_Click();
    w.cmdDelPH_Click();
    EXPECT_EQ(prompts.messages, (QStringList{S("Delete the public holiday entry for \"01 May 2026\"?"),
                                             S("Delete the public holiday entry for \"01 May 2026\"?")}));
    EXPECT_EQ(entries(w).size(), 3);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_FALSE(button(w, "cmdDelPH")->isEnabled());
    prompts.messages.clear();
    w.cmdDelPH_Click();
    EXPECT_EQ(prompts.messages, QStringList{S("Please select an entry before requesting deletion")});

    ASSERT_TRUE(w.cmdSavePH_Click());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(dir.read(file), QByteArray(";Morvenda Public Holidays File\r\n"
                                         "31 Dec 2026,Moved\r\n"
                                         "25 Dec 2026,Christmas Day\r\n"
                                         "28 Dec 2026,\"Boxing Day, observed\"\r\n"));
    // The next Add starts the picker at the last entry's date.
    WhenShown<MRVDateSel>([](MRVDateSel* d) {
        EXPECT_EQ(d->mvDate, DateVal::fromDate(2026, 12, 28));
        d->reject();
    });
    w.cmdAddPH_Click();
}

TEST_F(PubHolWindow, DeleteAYear) {
    gConfg.gDisplayFmt = S("yyyy mmm dd");
    dir.write(S("PubHols.phf"), "01 Jan 2004,New Year's Day\r\n25 Dec 2004\r\n01 Jan 2005\r\n");
    MRVPubHol w(&box, ini);
    EXPECT_EQ(entries(w).first(), S("2004 Jan 01 (New Year's Day)"));
    struct Case {
        const char* answer;
        QStringList messages;
        int left;
    };
    const Case cases[] = {
        {"", {}, 3},
        {"2026", {S("Can only delete past years.")}, 3},
        {"1999", {S("0 Entries removed.")}, 3},
        {"2004", {S("2 Entries removed.")}, 1},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        prompts.queueInput(S(c.answer));
        w.cmdDelPHYear_Click();
        EXPECT_EQ(prompts.messages, c.messages) << c.answer;
        EXPECT_EQ(entries(w).size(), c.left) << c.answer;
        EXPECT_EQ(button(w, "cmdSavePH")->isEnabled(), c.left == 1) << c.answer;
    }
}

TEST_F(PubHolWindow, CloseOpenAndSaveAs) {
    // Closing without changes asks nothing.
    {
        MRVPubHol w(&box, ini);
        w.show();
        w.cmdClose_Click();
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
    MRVPubHol w(&box, ini);
    w.show();
    prompts.queueInput(S("Extra"));
    PickInPicker(QDate(2026, 6, 1));
    w.cmdAddPH_Click();
    const QByteArray before = dir.read(file);

    // Cancel (Close button or close box) keeps the window and the list.
    prompts.queueAnswer(MsgAnswer::Cancel);
    w.cmdClose_Click();
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(prompts.messages,
              QStringList(2, S("Data has changed. Do you wish to save it to file \"%1\"?").arg(file)));
    EXPECT_EQ(dir.read(file), before);

    // Open: Cancel stops before the dialog; No drops the edits.
    const QString other = dir.write(S("Other.phf"), "02 Feb 2027,Other\r\n31 Feb 2027,no such day\r\n");
    NextAnswers(prompts, {MsgAnswer::Cancel});
    w.cmdOpenPH_Click();
    EXPECT_EQ(entries(w).size(), 4);
    prompts.queueAnswer(MsgAnswer::No);
    ChooseInDialog(other);
    w.cmdOpenPH_Click();
    EXPECT_EQ(box.text(), other);
    EXPECT_EQ(entries(w), QStringList{S("02 Feb 2027 (Other)")});
    EXPECT_EQ(prompts.messages.last(),
              S("1 line(s) of \"%1\" hold no valid date. They are not shown, and saving the file leaves them out.")
                  .arg(other));
    EXPECT_EQ(dir.read(file), before);

    // Save with no file named goes through Save As and tells where the
    // configuration will point.
    box.clear();
    prompts.messages.clear();
    const QString saved = dir.path(S("New.phf"));
    ChooseInDialog(saved);
    ASSERT_TRUE(w.cmdSavePH_Click());
    EXPECT_EQ(box.text(), saved);
    EXPECT_EQ(prompts.messages,
              QStringList{S("When saved, file \"/srv/ACC.ini\n\" will contain the address of the saved public holidays "
                            "file.")});
    EXPECT_EQ(dir.read(saved), QByteArray(";Morvenda Public Holidays File\r\n02 Feb 2027,Other\r\n"));

    // A file that cannot be read is reported and the list stays.
    box.setText(dir.path(S("missing.phf")));
    prompts.messages.clear();
    w.BuildPH();
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(entries(w).size(), 1);
}

// The configuration editor's holidays box is the editor's file: a new name
// chosen there marks the configuration changed.
TEST_F(PubHolWindow, ShownFromTheConfigurationEditor) {
    const QString cfg = dir.write(S("ACC.ini"), "[Morvenda]\r\nScheduleName=ACC\r\nPubHols=*Missing*\r\n");
    OpenConfig w(cfg);
    ASSERT_FALSE(w.DataChanged());
    WhenShown<MRVPubHol>([&](MRVPubHol* ph) {
        EXPECT_TRUE(ph->entries().isEmpty()) << "the marker names no file";
        ChooseInDialog(file);
        ph->cmdOpenPH_Click();
        EXPECT_EQ(ph->entries().size(), 3);
        ph->cmdClose_Click();
    });
    Child<QPushButton>(w, "cmdPubHols")->click();
    EXPECT_EQ(Child<QLineEdit>(w, "txtPubHols")->text(), file);
    EXPECT_TRUE(w.settingsChanged());
}

}  // namespace
