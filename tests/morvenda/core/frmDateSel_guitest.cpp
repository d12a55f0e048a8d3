#include "morvenda/core/frmDateSel.h"

#include "morvenda/core/state.h"
#include "tests/support/guitest.h"
#include "tests/support/testing.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QTest>

#include <gtest/gtest.h>

// The date picker: what it opens on, and how it is left.

namespace {

class frmDateSelTest : public ::testing::Test {
protected:
    void SetUp() override { ResetState(); }
    void TearDown() override { ResetState(); }
    FakeClock clock{DateVal::fromDateTime(2026, 12, 8, 10, 0, 0)};
};

// Shows the picker on Text, lets Drive act on its calendar, and returns
// whether a date was picked; Text then holds the result.
bool Pick(QString& Text, std::function<void(frmDateSel*, QCalendarWidget*)> Drive, QDate* Shown = nullptr) {
    WhenShown<frmDateSel>([Drive, Shown](frmDateSel* d) {
        auto* cal = d->findChild<QCalendarWidget*>(S("MonthView1"));
        ASSERT_NE(cal, nullptr);
        if (Shown)
            *Shown = cal->selectedDate();
        ExpectAccessibleNames(d);
        Drive(d, cal);
    });
    return PickDate(nullptr, Text);
}

QAbstractItemView* View(QCalendarWidget* cal) { return cal->findChild<QAbstractItemView*>(); }

TEST_F(frmDateSelTest, AClickOrEnterPicksInTheShortFormat) {
    QString text = S("8 Dec 2026");
    QDate shown;
    EXPECT_TRUE(Pick(text, [](frmDateSel*, QCalendarWidget* cal) { emit cal->clicked(QDate(2026, 12, 24)); }, &shown));
    EXPECT_EQ(shown, QDate(2026, 12, 8));
    EXPECT_EQ(text, S("24 Dec 2026"));
    EXPECT_EQ(G.gDateSelText, S("24 Dec 2026"));

    // Enter takes the calendar's current date; display order 2.
    G.gDateFmt = S("yyyy mmm dd");
    text = S("2026 Dec 24");
    EXPECT_TRUE(Pick(text, [](frmDateSel*, QCalendarWidget* cal) {
        cal->setSelectedDate(QDate(2027, 1, 5));
        QTest::keyClick(View(cal), Qt::Key_Return);
    }));
    EXPECT_EQ(text, S("2027 Jan 05"));
}

TEST_F(frmDateSelTest, EscapeAndTheCloseBoxKeepTheDatePassedIn) {
    QString text = S("8 Dec 2026");
    EXPECT_FALSE(Pick(text, [](frmDateSel*, QCalendarWidget* cal) {
        cal->setSelectedDate(QDate(2026, 12, 1));
        QTest::keyClick(View(cal), Qt::Key_Escape);
    }));
    EXPECT_EQ(text, S("8 Dec 2026"));
    EXPECT_EQ(G.gDateSelText, S("8 Dec 2026"));
    EXPECT_FALSE(Pick(text, [](frmDateSel* d, QCalendarWidget*) { d->close(); }));
    EXPECT_EQ(text, S("8 Dec 2026"));
}

TEST_F(frmDateSelTest, NoDateOrABadOneOpensOnToday) {
    for (const char* in : {"", "31 Feb 2026", "soon"}) {
        QString text = S(in);
        QDate shown;
        EXPECT_FALSE(Pick(text, [](frmDateSel* d, QCalendarWidget*) { d->close(); }, &shown));
        EXPECT_EQ(shown, QDate(2026, 12, 8)) << in;
        EXPECT_EQ(text, S(in));
    }
}

}  // namespace
