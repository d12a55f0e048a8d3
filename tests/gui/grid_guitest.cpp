#include "gui/grid.h"

#include "tests/support/testing.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

namespace {

QPixmap Picture(Qt::GlobalColor color) {
    QPixmap pm(16, 16);
    pm.fill(color);
    return pm;
}

// A grid of Cols columns with the given data rows (cells separated by TAB).
void Fill(Grid& g, int cols, const QStringList& rows) {
    g.SetCols(cols);
    for (const QString& r : rows) g.AddItem(r);
}

QStringList RowTexts(const Grid& g, int row) {
    QStringList out;
    for (int c = 0; c < g.Cols(); ++c) out << g.TextMatrix(row, c);
    return out;
}

// The current cell, and the cell under the pointer: (row, column).
std::pair<int, int> Current(const Grid& g) { return {g.Row(), g.Col()}; }
std::pair<int, int> UnderMouse(const Grid& g) { return {g.MouseRow(), g.MouseCol()}; }

// Shows the grid at that size; false when it did not appear.
bool Shown(Grid& g, int width, int height) {
    g.resize(width, height);
    g.show();
    return QTest::qWaitForWindowExposed(&g);
}

// Centre of a cell in the coordinates of the grid's viewport.
QPoint CellCentre(const Grid& g, int row, int col) {
    const int r = row - g.FixedRows();
    return QPoint(g.columnViewportPosition(col) + g.columnWidth(col) / 2,
                  g.rowViewportPosition(r) + g.rowHeight(r) / 2);
}

TEST(Grid, StartsWithAHeaderRowOnly) {
    Grid g(S("fxgSchedGrid"));
    EXPECT_EQ(g.objectName(), S("fxgSchedGrid"));
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.Cols(), 0);
    EXPECT_EQ(g.Row(), 0);
    EXPECT_EQ(g.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST(Grid, CellTextsComeBackUnchanged) {
    Grid g(S("fxg"));
    Fill(g, 3, {S("a\tb\tc\tdropped"), S("x"), S("")});
    EXPECT_EQ(g.Rows(), 4);
    EXPECT_EQ(RowTexts(g, 1), (QStringList{S("a"), S("b"), S("c")}));
    EXPECT_EQ(RowTexts(g, 2), (QStringList{S("x"), S(""), S("")}));
    EXPECT_EQ(RowTexts(g, 3), (QStringList{S(""), S(""), S("")}));

    const QString texts[] = {S("  padded  "), S("True"), S("\xc3\xa9t\xc3\xa9 \xe2\x82\xac"), S("a,b\"c")};
    for (const QString& t : texts) {
        EXPECT_TRUE(g.SetTextMatrix(2, 1, t));
        EXPECT_EQ(g.TextMatrix(2, 1), t);
    }
    EXPECT_TRUE(g.SetTextMatrix(0, 2, S("Header")));
    EXPECT_EQ(g.TextMatrix(0, 2), S("Header"));
    EXPECT_EQ(g.model()->headerData(2, Qt::Horizontal).toString(), S("Header"));  // row 0 is the header

    struct Bad {
        int row;
        int col;
    };
    for (const Bad b : {Bad{-1, 0}, Bad{4, 0}, Bad{1, 3}, Bad{1, -1}}) {
        EXPECT_FALSE(g.SetTextMatrix(b.row, b.col, S("x"))) << b.row << "," << b.col;
        EXPECT_EQ(g.TextMatrix(b.row, b.col), QString());
    }
}

TEST(Grid, RowAndColumnCounts) {
    Grid g(S("fxg"));
    g.SetCols(2);
    g.SetRows(5);
    EXPECT_EQ(g.Rows(), 5);
    EXPECT_EQ(g.rowCount(), 4);
    g.SetTextMatrix(4, 1, S("last"));
    g.SetRows(3);
    EXPECT_EQ(g.Rows(), 3);
    g.SetRows(0);  // never fewer than the fixed row
    EXPECT_EQ(g.Rows(), 1);
    g.SetCols(4);
    EXPECT_EQ(g.Cols(), 4);
    EXPECT_EQ(g.TextMatrix(0, 3), QString());
    EXPECT_EQ(g.model()->headerData(3, Qt::Horizontal).toString(), QString());  // no column numbers in the header
}

TEST(Grid, RemoveItemKeepsOneDataRow) {
    Grid g(S("fxg"));
    Fill(g, 1, {S("one"), S("two"), S("three")});
    struct Case {
        int row;
        bool removed;
        QStringList left;
    };
    const Case cases[] = {
        {0, false, {S("one"), S("two"), S("three")}},  // the header
        {4, false, {S("one"), S("two"), S("three")}},
        {2, true, {S("one"), S("three")}},
        {2, true, {S("one")}},
        {1, false, {S("one")}},  // the last data row stays
    };
    for (const Case& c : cases) {
        EXPECT_EQ(g.RemoveItem(c.row), c.removed) << c.row;
        QStringList left;
        for (int r = 1; r < g.Rows(); ++r) left << g.TextMatrix(r, 0);
        EXPECT_EQ(left, c.left) << c.row;
    }
}

TEST(Grid, WithoutAFixedRowTheLastRowsCanGo) {
    // The dependency grid's way to empty itself: drop the fixed row, remove,
    // and make row 0 the header again.
    Grid g(S("fxgDependencies"));
    g.SetFormatString(S("Job Name     |^Group"));
    g.AddItem(S("JOBA\tPAY"));
    const QPixmap tick = Picture(Qt::black);
    g.SetCellPicture(0, 1, tick);
    ASSERT_FALSE(g.RemoveItem(1));
    ASSERT_TRUE(g.SetFixedRows(0));
    EXPECT_EQ(g.Rows(), 2);
    EXPECT_EQ(RowTexts(g, 0), (QStringList{S("Job Name"), S("Group")}));
    EXPECT_EQ(g.CellPicture(0, 1), tick.cacheKey());
    EXPECT_FALSE(g.horizontalHeader()->isVisible() && g.isVisible());
    EXPECT_TRUE(g.RemoveItem(1));
    EXPECT_EQ(g.Rows(), 1);
    ASSERT_TRUE(g.SetFixedRows(1));
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.TextMatrix(0, 0), S("Job Name"));
    EXPECT_EQ(g.CellPicture(0, 1), tick.cacheKey());
    EXPECT_EQ(g.ColAlignment(1), GridAlign::Centre);
    EXPECT_FALSE(g.SetFixedRows(2));
    g.AddItem(S("JOBB\tGL"));
    EXPECT_EQ(RowTexts(g, 1), (QStringList{S("JOBB"), S("GL")}));
}

TEST(Grid, FormatStringSetsCaptionsAlignmentsAndWidths) {
    Grid g(S("fxg"));
    g.SetFormatString(S("Job Name     |^Group|>Amount|Plain|<Left"));
    EXPECT_EQ(g.FormatString(), S("Job Name     |^Group|>Amount|Plain|<Left"));
    EXPECT_EQ(g.Cols(), 5);
    EXPECT_EQ(RowTexts(g, 0), (QStringList{S("Job Name"), S("Group"), S("Amount"), S("Plain"), S("Left")}));
    const GridAlign aligns[] = {GridAlign::Left, GridAlign::Centre, GridAlign::Right, GridAlign::Left, GridAlign::Left};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(g.ColAlignment(c), aligns[c]) << c;
    g.AddItem(S("A\tB\tC"));
    EXPECT_EQ(g.CellAlignment(1, 1), GridAlign::Centre);
    EXPECT_EQ(g.CellAlignment(1, 2), GridAlign::Right);

    Grid plain(S("fxg2"));
    plain.SetFormatString(S("Job Name"));
    EXPECT_GT(g.ColWidth(0), plain.ColWidth(0));  // trailing blanks widen the column
    EXPECT_GT(plain.ColWidth(0), 0);
}

TEST(Grid, ColumnWidthsAndAlignments) {
    Grid g(S("fxg"));
    Fill(g, 3, {S("a\tb\tc")});
    for (int twips : {800, 1500, 2500, 0, 1234}) {
        EXPECT_TRUE(g.SetColWidth(1, twips));
        EXPECT_EQ(g.ColWidth(1), twips);
        EXPECT_EQ(g.columnWidth(1), (twips + 7) / 15);
    }
    g.setColumnWidth(1, 100);  // the user drags the column
    EXPECT_EQ(g.ColWidth(1), 1500);
    EXPECT_FALSE(g.SetColWidth(3, 100));
    EXPECT_EQ(g.ColWidth(3), 0);

    EXPECT_TRUE(g.SetColAlignment(2, GridAlign::Right));
    EXPECT_EQ(g.CellAlignment(1, 2), GridAlign::Right);
    EXPECT_EQ(g.CellAlignment(0, 2), GridAlign::Right);
    g.AddItem(S("d\te\tf"));
    EXPECT_EQ(g.CellAlignment(2, 2), GridAlign::Right);
    EXPECT_EQ(g.model()->index(1, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_TRUE(g.SetCellAlignment(2, 2, GridAlign::Centre));
    EXPECT_EQ(g.CellAlignment(2, 2), GridAlign::Centre);
    EXPECT_EQ(g.CellAlignment(1, 2), GridAlign::Right);
}

TEST(Grid, CellPicturesAndColours) {
    Grid g(S("fxg"));
    Fill(g, 2, {S("a\tTrue"), S("b\tFalse")});
    const QPixmap tick = Picture(Qt::black);
    const QPixmap none = Picture(Qt::transparent);
    EXPECT_EQ(g.CellPicture(1, 1), 0);
    EXPECT_TRUE(g.SetCellPicture(1, 1, tick));
    EXPECT_TRUE(g.SetCellPicture(2, 1, none));
    const QPixmap copy = tick;
    EXPECT_EQ(g.CellPicture(1, 1), copy.cacheKey());
    EXPECT_NE(g.CellPicture(2, 1), 0);
    EXPECT_NE(g.CellPicture(2, 1), g.CellPicture(1, 1));
    EXPECT_EQ(g.CellPicture(1, 0), 0);
    EXPECT_TRUE(g.SetCellPicture(1, 1, QPixmap()));
    EXPECT_EQ(g.CellPicture(1, 1), 0);
    EXPECT_FALSE(g.SetCellPicture(3, 0, tick));
    EXPECT_EQ(g.CellPicture(3, 0), 0);

    EXPECT_FALSE(g.CellBackColor(1, 0).isValid());
    EXPECT_TRUE(g.SetCellBackColor(1, 0, QColor(Qt::yellow)));
    EXPECT_EQ(g.CellBackColor(1, 0), QColor(Qt::yellow));
    EXPECT_TRUE(g.SetCellBackColor(1, 0, QColor()));
    EXPECT_FALSE(g.CellBackColor(1, 0).isValid());

    // A picture without text is drawn where the cell's alignment puts it.
    g.SetCellPicture(2, 1, tick);
    g.SetTextMatrix(2, 1, QString());
    g.SetCellAlignment(2, 1, GridAlign::Centre);
    g.SetColWidth(1, 80 * 15);
    ASSERT_TRUE(Shown(g, 300, 200));
    const QImage shot = g.viewport()->grab().toImage();
    const QPoint centre = CellCentre(g, 2, 1);
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(Qt::black));
    const QPoint left(g.columnViewportPosition(1) + 3, centre.y());
    EXPECT_NE(QColor(shot.pixel(left)), QColor(Qt::black));
}

TEST(Grid, CurrentCellAndItsSignal) {
    Grid g(S("fxg"));
    QSignalSpy changes(&g, &Grid::RowColChange);
    Fill(g, 3, {S("a"), S("b"), S("c")});
    EXPECT_EQ(Current(g), std::pair(1, 0));  // the first data row is current in a filled grid
    changes.clear();

    EXPECT_TRUE(g.SetRow(3));
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(g.SetRow(3));
    EXPECT_EQ(changes.count(), 1);  // no change, no signal
    EXPECT_TRUE(g.SetCol(2));
    EXPECT_EQ(Current(g), std::pair(3, 2));
    EXPECT_EQ(changes.count(), 2);
    EXPECT_TRUE(g.SetRow(0));  // the header: no data row current
    EXPECT_EQ(Current(g), std::pair(0, 2));
    EXPECT_EQ(g.currentRow(), -1);
    EXPECT_EQ(changes.count(), 3);
    EXPECT_TRUE(g.SetRow(2));
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(g.currentColumn(), 2);
    EXPECT_FALSE(g.SetRow(4));
    EXPECT_FALSE(g.SetRow(-1));
    EXPECT_FALSE(g.SetCol(3));
    EXPECT_EQ(g.Row(), 2);

    // Removing rows below the current one keeps it; removing the current
    // one moves the current row and says so.
    changes.clear();
    EXPECT_TRUE(g.RemoveItem(3));
    EXPECT_EQ(g.Row(), 2);
    EXPECT_TRUE(g.RemoveItem(2));
    EXPECT_EQ(g.Row(), 1);
    EXPECT_GE(changes.count(), 1);
}

TEST(Grid, ScrollingAndVisibleRows) {
    Grid g(S("fxg"));
    g.SetFormatString(S("Name"));
    for (int i = 1; i <= 60; ++i) g.AddItem(QString::number(i));
    ASSERT_TRUE(Shown(g, 200, 160));
    EXPECT_EQ(g.TopRow(), 1);
    EXPECT_TRUE(g.RowIsVisible(0));
    EXPECT_TRUE(g.RowIsVisible(1));
    EXPECT_FALSE(g.RowIsVisible(60));
    EXPECT_TRUE(g.SetTopRow(30));
    QApplication::processEvents();
    EXPECT_EQ(g.TopRow(), 30);
    EXPECT_TRUE(g.RowIsVisible(30));
    EXPECT_FALSE(g.RowIsVisible(1));
    EXPECT_FALSE(g.SetTopRow(0));
    EXPECT_FALSE(g.SetTopRow(61));
    EXPECT_FALSE(g.RowIsVisible(61));

    EXPECT_TRUE(g.SetRowHeight(5, 450));
    EXPECT_EQ(g.RowHeight(5), 450);
    EXPECT_EQ(g.rowHeight(4), 30);
    EXPECT_TRUE(g.SetRowHeight(0, 600));
    EXPECT_EQ(g.RowHeight(0), 600);
    EXPECT_FALSE(g.SetRowHeight(61, 300));

    g.SetGridLineWidth(0);
    EXPECT_FALSE(g.showGrid());
    g.SetGridLineWidth(2);
    EXPECT_EQ(g.GridLineWidth(), 2);
    EXPECT_TRUE(g.showGrid());
    g.SetRedraw(false);
    EXPECT_FALSE(g.Redraw());
    g.SetRedraw(true);
    EXPECT_TRUE(g.Redraw());
}

TEST(Grid, MouseEvents) {
    Grid g(S("fxg"));
    Fill(g, 3, {S("a\tb\tc"), S("d\te\tf"), S("g\th\ti")});
    ASSERT_TRUE(Shown(g, 400, 300));
    QSignalSpy down(&g, &Grid::MouseDown);
    QSignalSpy clicks(&g, &Grid::Click);
    QSignalSpy doubles(&g, &Grid::DblClick);

    const QPoint p = CellCentre(g, 2, 1);
    QTest::mouseClick(g.viewport(), Qt::LeftButton, Qt::ShiftModifier, p);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(Current(g), std::pair(2, 1));
    EXPECT_EQ(UnderMouse(g), std::pair(2, 1));
    const QList<QVariant> args = down.takeFirst();
    EXPECT_EQ(args[0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(args[1].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ShiftModifier));
    const QPoint inGrid = g.viewport()->mapTo(&g, p);
    EXPECT_EQ(args[2].toInt(), inGrid.x() * 15);
    EXPECT_EQ(args[3].toInt(), inGrid.y() * 15);
    EXPECT_GT(args[3].toInt(), g.horizontalHeader()->height() * 15);  // measured from above the header

    // The right button moves the current cell and clicks too.
    QTest::mouseClick(g.viewport(), Qt::RightButton, {}, CellCentre(g, 3, 2));
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(Current(g), std::pair(3, 2));
    EXPECT_EQ(down.takeFirst()[0].value<Qt::MouseButton>(), Qt::RightButton);

    // Below the last row: no row under the pointer.
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, QPoint(p.x(), g.viewport()->height() - 2));
    EXPECT_EQ(g.MouseRow(), -1);

    QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, CellCentre(g, 1, 0));
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(g.Row(), 1);
}

TEST(Grid, ComputedRowsReadLikeStoredOnes) {
    Grid g(S("fxg"));
    g.SetFormatString(S("Name|^Flag"));
    g.SetColWidth(1, 1200);
    g.AddItem(S("old\trow"));
    const QPixmap tick = Picture(Qt::black);
    int asked = 0;
    GridRows rows;
    rows.Count = 1000;
    rows.Text = [&asked](int r, int c) {
        ++asked;
        return c == 0 ? QStringLiteral("job%1").arg(r) : QString();
    };
    rows.Picture = [tick](int r, int c) { return c == 1 && r % 2 ? tick : QPixmap(); };
    g.SetComputedRows(rows);
    EXPECT_EQ(asked, 0);  // nothing is computed before it is wanted
    EXPECT_EQ(g.Rows(), 1001);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.TextMatrix(0, 1), S("Flag"));  // the header stays
    EXPECT_EQ(g.ColWidth(1), 1200);            // and so do the widths
    EXPECT_EQ(g.TextMatrix(999, 0), S("job999"));
    EXPECT_EQ(g.CellPicture(999, 1), tick.cacheKey());
    EXPECT_EQ(g.CellPicture(998, 1), 0);
    EXPECT_EQ(g.CellAlignment(5, 1), GridAlign::Centre);
    EXPECT_TRUE(g.SetRow(1000));
    EXPECT_EQ(g.Row(), 1000);

    // A change turns the rows into stored ones, texts and pictures kept.
    EXPECT_TRUE(g.SetTextMatrix(3, 0, S("changed")));
    EXPECT_EQ(g.TextMatrix(3, 0), S("changed"));
    EXPECT_EQ(g.TextMatrix(4, 0), S("job4"));
    EXPECT_EQ(g.CellPicture(5, 1), tick.cacheKey());
    EXPECT_TRUE(g.RemoveItem(1));
    EXPECT_EQ(g.TextMatrix(1, 0), S("job2"));
    EXPECT_EQ(g.Row(), 999);

    g.SetComputedRows(GridRows());
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.Row(), 0);
}

}  // namespace
