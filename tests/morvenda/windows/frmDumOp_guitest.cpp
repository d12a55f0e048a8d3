#include "morvenda/windows/frmDumOp.h"

#include "morvenda/core/state.h"
#include "morvenda/windows/frmDateSel.h"
#include "morvenda/windows/frmLogVw.h"
#include "morvenda/windows/frmMain.h"
#include "tests/support/accessible.h"
#include "tests/support/statefixture.h"
#include "tests/support/windowdriver.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The start-up window's small dialogs: dummy-run options, the date picker
// and the log viewer, opened from a start-up window on the demo.

namespace {

class StartDialogsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        InstallDemo(dir);
        dir.write(S("DEMO/Log/20261207.log"), "07 Dec 2026  10:00:00 Starting\r\n");
        window.Form_Load(dir.path(S("DEMO/DEMO.ini,TEMP")));
    }

    frmMain window;
};

// Sets the three boxes of the options dialog, then presses Button.
void SetOptions(bool manFile, bool genMsg, bool crtTriggers, const char* button) {
    WhenShown<frmDumOp>([=](frmDumOp* d) {
        ExpectAccessibleNames(d);
        d->findChild<QCheckBox*>(S("chkManFile"))->setChecked(manFile);
        d->findChild<QCheckBox*>(S("chkGenMsg"))->setChecked(genMsg);
        d->findChild<QCheckBox*>(S("chkCrtTriggers"))->setChecked(crtTriggers);
        if (QString::fromLatin1(button) == S("close box"))
            d->close();
        else
            Press(*d, button);
    });
}

TEST_F(StartDialogsTest, DummyRunOptionsOpenWhenTickedAndOnlyOKCopiesThem) {
    auto* dummy = Child<QCheckBox>(window, "chkDummyRun");
    EXPECT_TRUE(G.gDumManFile);
    SetOptions(false, true, true, "cmdCancel");
    dummy->click();
    EXPECT_TRUE(G.gDumManFile);
    EXPECT_FALSE(G.gDumGenMsg);
    dummy->click();  // unticking opens nothing

    SetOptions(false, true, true, "close box");
    dummy->click();
    EXPECT_TRUE(G.gDumManFile);
    dummy->click();

    SetOptions(false, true, false, "cmdOK");
    dummy->click();
    EXPECT_FALSE(G.gDumManFile);
    EXPECT_TRUE(G.gDumGenMsg);
    EXPECT_FALSE(G.gDumCrtTriggers);
    dummy->click();

    // The boxes show the flags as they are now; the menu's OK copies too.
    bool shown = false;
    WhenShown<frmDumOp>([&](frmDumOp* d) {
        shown = !d->findChild<QCheckBox*>(S("chkManFile"))->isChecked() &&
                d->findChild<QCheckBox*>(S("chkGenMsg"))->isChecked();
        d->findChild<QCheckBox*>(S("chkCrtTriggers"))->setChecked(true);
        Press(*d, "mnuOK");
    });
    dummy->click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(G.gDumCrtTriggers);
}

TEST_F(StartDialogsTest, CalendarPicksTheRunDate) {
    enum class Act { Click, Enter, Esc, CloseBox };
    struct Case {
        const char* box;
        const char* format;
        Act act;
        QDate target;  // the date clicked, or made current before Enter
        QDate wantShown;
        const char* wantBox;
    };
    const QDate today(2026, 12, 8);
    const Case cases[] = {
        {"8 Dec 2026", "d mmm yyyy", Act::Click, QDate(2026, 12, 24), today, "24 Dec 2026"},
        {"24 Dec 2026", "d mmm yyyy", Act::Enter, QDate(2027, 1, 5), QDate(2026, 12, 24), "5 Jan 2027"},
        {"8 Dec 2026", "d mmm yyyy", Act::Esc, QDate(2026, 12, 1), today, "8 Dec 2026"},
        {"8 Dec 2026", "d mmm yyyy", Act::CloseBox, QDate(2026, 12, 1), today, "8 Dec 2026"},
        {"someday", "d mmm yyyy", Act::Click, today, today, "8 Dec 2026"},  // no date: today
        {"31 Feb 2026", "d mmm yyyy", Act::Esc, today, today, "31 Feb 2026"},
        {"2026 Dec 08", "yyyy mmm dd", Act::Enter, QDate(2027, 1, 5), today, "2027 Jan 05"},
    };
    auto* date = Child<QLineEdit>(window, "txtRunDate");
    for (const Case& c : cases) {
        G.gDateFmt = S(c.format);
        date->setText(S(c.box));
        QDate shown;
        WhenShown<frmDateSel>([&](frmDateSel* d) {
            ExpectAccessibleNames(d);
            auto* cal = d->findChild<QCalendarWidget*>(S("MonthView1"));
            shown = cal->selectedDate();
            cal->setSelectedDate(c.target);
            if (c.act == Act::Click)
                emit cal->clicked(c.target);
            else if (c.act == Act::CloseBox)
                d->close();
            else
                QTest::keyClick(cal->findChild<QAbstractItemView*>(),
                                c.act == Act::Enter ? Qt::Key_Return : Qt::Key_Escape);
        });
        Child<QPushButton>(window, "cmdCalendar")->click();
        EXPECT_EQ(shown, c.wantShown) << c.box;
        EXPECT_EQ(date->text(), S(c.wantBox)) << c.box;
    }
    EXPECT_EQ(G.gRunDate, DateVal::fromDate(2027, 1, 5));
    EXPECT_EQ(Child<QLabel>(window, "lblDay")->text(), S("Tuesday"));

    // A double-click on the box opens the picker too.
    bool opened = false;
    WhenShown<frmDateSel>([&](frmDateSel* d) {
        opened = true;
        d->reject();
    });
    QTest::mouseDClick(date, Qt::LeftButton);
    EXPECT_TRUE(opened);
}

TEST_F(StartDialogsTest, ViewLogOpensTheViewerOnTheSchedulesLogs) {
    ASSERT_TRUE(Child<QPushButton>(window, "cmdViewLog")->isEnabled());
    QStringList entries;
    WhenShown<frmLogVw>([&](frmLogVw* d) {
        auto* files = d->findChild<QComboBox*>(S("cboLogFiles"));
        for (int i = 0; i < files->count(); ++i) entries << files->itemText(i);
        Press(*d, "cmdCancel");
    });
    Child<QAction>(window, "mnuViewLog")->trigger();
    EXPECT_EQ(entries, QStringList{S("20261207")});
}

}  // namespace
