#include "common/constants.h"

#include "gui/grid.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/widgethelpers.h"
#include "tests/support/testing.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void AddJob(const char* name, const char* group) {
    JobRec j;
    j.JobName = S(name);
    j.Group = S(group);
    G.Jobs.push_back(j);
}

QStringList Items(const QComboBox& c) {
    QStringList out;
    for (int i = 0; i < c.count(); ++i) out << c.itemText(i);
    return out;
}

TEST(FillGroupCombo, ListsEachGroupOnceAndSelectsTheFilter) {
    struct Case {
        const char* filter;
        bool found;
        const char* selected;
    };
    const Case cases[] = {
        {"GL", true, "GL"},
        {"(All Groups)", true, "(All Groups)"},
        {"GONE", false, "(All Groups)"},
        {"gl", false, "(All Groups)"},
    };
    for (const Case& c : cases) {
        ResetState();
        AddJob("A", "PAY  ");
        AddJob("B", " GL");
        AddJob("C", "PAY");
        AddJob("D", "HR");
        AddJob("E", "GL");
        G.gGroupFilter = S(c.filter);
        QComboBox combo;
        combo.addItem(S("stale"));
        QList<bool> fillingSeen;
        QObject::connect(&combo, &QComboBox::currentIndexChanged, &combo,
                         [&fillingSeen] { fillingSeen << G.gFillingGroups; });
        EXPECT_EQ(FillGroupCombo(&combo), c.found) << c.filter;
        EXPECT_EQ(Items(combo), (QStringList{gAllGroups, S("PAY"), S("GL"), S("HR")})) << c.filter;
        EXPECT_EQ(combo.currentText(), S(c.selected)) << c.filter;
        EXPECT_FALSE(fillingSeen.isEmpty());
        EXPECT_FALSE(fillingSeen.contains(false)) << "change events while filling must see gFillingGroups";
        EXPECT_FALSE(G.gFillingGroups);
    }
    ResetState();
}

TEST(PositionForm, PlacesByCode) {
    QWidget w;
    w.resize(200, 100);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect area = w.screen()->availableGeometry();
    const int centreX = area.x() + (area.width() - w.frameGeometry().width()) / 2;
    const int centreY = area.y() + (area.height() - w.frameGeometry().height()) / 2;
    struct Case {
        const char* code;
        QPoint at;
    };
    const Case cases[] = {
        {"tc", QPoint(centreX, area.y())},
        {"TOPCENTRE", QPoint(centreX, area.y())},
        {"centre", QPoint(centreX, centreY)},
        {"C", QPoint(centreX, centreY)},
        {"CENTER", QPoint(3, 4)},  // unknown codes leave the window alone
        {"", QPoint(3, 4)},
    };
    for (const Case& c : cases) {
        w.move(3, 4);
        PositionForm(&w, S(c.code));
        EXPECT_EQ(w.frameGeometry().topLeft(), c.at) << c.code;
    }
}

TEST(CellPictures, SetClearsTheTextAndCentres) {
    Grid g(S("fxgDependencies"));
    g.SetFormatString(S("Job Name     |^Group         |^Wait EOJ   |^EOJ Status     |^Auto Unsched"));
    g.AddItem(S("JOBA\tPAY\tTrue\tSuccess\tFalse"));
    g.AddItem(S("JOBB\tPAY\t\t\t"));
    g.SetColAlignment(2, GridAlign::Left);
    QPixmap tick(16, 16);
    tick.fill(Qt::black);
    QPixmap none(16, 16);
    none.fill(Qt::transparent);
    g.SetRow(2);
    g.SetCol(3);

    EXPECT_EQ(GetCellPicture(g, 1, 2), 0);
    EXPECT_TRUE(SetCellPicture(g, 1, 2, tick));
    EXPECT_TRUE(SetCellPicture(g, 1, 4, none));
    EXPECT_EQ(g.TextMatrix(1, 2), QString());
    EXPECT_EQ(g.TextMatrix(1, 4), QString());
    EXPECT_EQ(g.CellAlignment(1, 2), GridAlign::Centre);
    EXPECT_EQ(GetCellPicture(g, 1, 2), tick.cacheKey());
    EXPECT_EQ(GetCellPicture(g, 1, 4), none.cacheKey());
    EXPECT_EQ(g.TextMatrix(1, 3), S("Success"));
    EXPECT_EQ(g.Row(), 2);  // the current cell stays where it was
    EXPECT_EQ(g.Col(), 3);
    EXPECT_FALSE(SetCellPicture(g, 3, 2, tick));
    EXPECT_EQ(GetCellPicture(g, 3, 2), 0);
}

TEST(InstallKeyFilter, FiltersTypedCharacters) {
    struct Case {
        const char* filter;
        const char* typed;
        const char* text;
    };
    const Case cases[] = {
        {"alnum", "ab-1 c,\"d", "AB1CD"},
        {"alnum+blank", "key one", "KEY ONE"},
        {"digits", "12a3.4", "1234"},
    };
    for (const Case& c : cases) {
        QLineEdit box;
        const QString filter = S(c.filter);
        if (filter == S("alnum"))
            InstallKeyFilter(&box, [](QChar k) { return stdTextKeyPressAlphaNum(k); });
        else if (filter == S("alnum+blank"))
            InstallKeyFilter(&box, [](QChar k) { return stdTextKeyPressAlphaNum(k, S(" ")); });
        else
            InstallKeyFilter(&box, stdTextKeyPressDigits);
        QTest::keyClicks(&box, S(c.typed));
        EXPECT_EQ(box.text(), S(c.text)) << c.typed;
        QTest::keyClick(&box, Qt::Key_Backspace);
        EXPECT_EQ(box.text(), S(c.text).chopped(1)) << "Backspace passes";
        QTest::keyClick(&box, Qt::Key_Home);
        QTest::keyClick(&box, Qt::Key_Delete);
        EXPECT_EQ(box.text(), S(c.text).chopped(1).mid(1)) << "editing keys pass";
    }
}

}  // namespace

namespace {

TEST(KeyFilterPaste, PastedTextIsFilteredLikeTypedText) {
    QLineEdit box;
    InstallKeyFilter(&box, [](QChar c) { return stdTextKeyPressDigits(c); });
    box.setFocus();
    // What a paste does: the operator's edit puts the whole text at once.
    box.insert(QStringLiteral("12ab3"));
    emit box.textEdited(box.text());
    EXPECT_EQ(box.text(), QStringLiteral("123"));
}

}  // namespace
