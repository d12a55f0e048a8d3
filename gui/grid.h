#pragma once

#include "common/constants.h"

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QTableView>

#include <functional>
#include <vector>

class GridModel;

// The grid control of the windows: rows and columns of text cells with an
// optional fixed header row, addressed the way the windows think of them.
//
// Rows are numbered from 0 and include the fixed header row: with one fixed
// row (the default), row 0 is the header (drawn by the table's horizontal
// header, so it stays in view while the rows scroll) and the data rows are
// 1 to Rows() - 1. With no fixed row, row 0 is an ordinary row.
//
// Sizes and pointer positions are in twips (15 twips to the pixel), the unit
// in which the windows and the view profiles keep them. Grid-line width is in
// pixels. A cell picture is known by its handle: QPixmap::cacheKey() of the
// pixmap set (copies of a pixmap share the handle), 0 for none.
//
// The grid is not editable; the current cell follows the mouse and the keys,
// and the current row follows a row selected by other means (an assistive
// tool, the selection model): the highlighted row is always the current row.
//
// The cells are held by the grid's own table model, or, for a large table
// shown read-only, computed when they are drawn (SetComputedRows): the grid
// then keeps no text of its own and a rebuild costs nothing per cell.

/// Alignment of a column or cell; each is vertically centred.
enum class GridAlign { Left, Centre, Right };

/// Data rows whose cells are computed when they are needed. Row is the grid's
/// row number (1 = first data row), Col the column.
struct GridRows {
    int Count = 0;
    std::function<QString(int Row, int Col)> Text;
    /// The cell's picture (a null pixmap: none); may be left empty.
    std::function<QPixmap(int Row, int Col)> Picture;
};

class Grid : public QTableView {
    Q_OBJECT

public:
    /// A grid with one fixed header row, Rows() == 1 and no columns. Name is
    /// the control's name and becomes its objectName.
    explicit Grid(const QString& Name, QWidget* Parent = nullptr);
    ~Grid() override;

    // ---- Size -------------------------------------------------------------
    /// Number of rows, the fixed header row included.
    int Rows() const;
    /// Sets the number of rows (never fewer than the fixed rows); rows are
    /// added empty or removed at the end.
    void SetRows(int Count);
    int Cols() const;
    /// Sets the number of columns; columns are added empty or removed at the end.
    void SetCols(int Count);
    /// 1 when row 0 is a fixed header, else 0.
    int FixedRows() const;
    /// Makes row 0 the fixed header (1) or an ordinary row (0); the texts,
    /// pictures and colours of row 0 stay. Needs at least one row for 1;
    /// false (nothing changed) when asked for another value or when no row 0
    /// exists.
    bool SetFixedRows(int Count);

    // ---- Current cell and scrolling ----------------------------------------
    /// Current row; 0 (the header) when no data row is current. Once a grid
    /// has data rows, its first data row is current until another row (or
    /// the header) is chosen.
    int Row() const;
    /// Makes Row current (0 with a fixed header: no data row current). False
    /// when Row does not exist. RowColChange is signalled when the current
    /// cell changes.
    bool SetRow(int Row);
    int Col() const;
    /// Makes Col the current column. False when Col does not exist.
    bool SetCol(int Col);
    /// First data row scrolled into view (the first data row, or Rows() when
    /// there is none).
    int TopRow() const;
    /// Scrolls Row to the top of the view. False when it is not a data row.
    bool SetTopRow(int Row);
    /// True when the whole of Row lies in the visible area (the fixed header
    /// while it is shown).
    bool RowIsVisible(int Row) const;

    // ---- Cells -------------------------------------------------------------
    /// Text of a cell; "" for a cell that does not exist.
    QString TextMatrix(int Row, int Col) const;
    /// Sets the text of a cell, kept exactly. False when the cell does not exist.
    bool SetTextMatrix(int Row, int Col, const QString& Text);
    /// Picture handle of a cell (QPixmap::cacheKey()), 0 when it has none.
    qint64 CellPicture(int Row, int Col) const;
    /// Sets (a null pixmap: removes) the picture of a cell. A cell with a
    /// picture and no text shows the picture by the cell's alignment.
    bool SetCellPicture(int Row, int Col, const QPixmap& Picture);
    GridAlign CellAlignment(int Row, int Col) const;
    bool SetCellAlignment(int Row, int Col, GridAlign Align);
    /// Background colour of a cell; invalid when it has none of its own.
    QColor CellBackColor(int Row, int Col) const;
    bool SetCellBackColor(int Row, int Col, const QColor& Color);

    // ---- Columns -----------------------------------------------------------
    /// Captions of all columns in one text: columns separated by "|", a
    /// caption's first character "<", "^" or ">" giving left, centred or
    /// right alignment (left when none). Sets the number of columns, the
    /// header texts (row 0), each column's alignment and a width that fits
    /// its caption, trailing blanks included.
    void SetFormatString(const QString& Format);
    /// The format string last set.
    QString FormatString() const;
    /// Column width in twips (exactly the value set while the user has not
    /// dragged the column to another width); 0 for a column that does not exist.
    int ColWidth(int Col) const;
    bool SetColWidth(int Col, int Twips);
    GridAlign ColAlignment(int Col) const;
    /// Sets the alignment of a column: every cell of it, the header included,
    /// and the cells it gets later.
    bool SetColAlignment(int Col, GridAlign Align);

    // ---- Rows --------------------------------------------------------------
    /// Appends a row after the last one, its cells taken from Text split at
    /// TAB characters (cells beyond the last column are dropped, missing
    /// cells stay empty).
    void AddItem(const QString& Text);
    /// Replaces every data row by Rows, computed when drawn or read. The
    /// header row, the columns, their widths and alignments stay; the current
    /// row becomes the first data row (none when Rows.Count is 0). A later
    /// change of a data row's cells (SetTextMatrix, AddItem, ...) first turns
    /// the computed rows into stored ones.
    void SetComputedRows(GridRows Rows);
    /// Removes a row. Refuses (false, nothing changed) a fixed row, a row
    /// that does not exist and the last non-fixed row, so a grid always keeps
    /// at least one data row.
    bool RemoveItem(int Row);
    /// Row height in twips (row 0 with a fixed header: the header's height).
    int RowHeight(int Row) const;
    bool SetRowHeight(int Row, int Twips);

    // ---- Look and drawing ----------------------------------------------------
    /// Width of the grid lines in pixels; 0 hides them.
    int GridLineWidth() const;
    void SetGridLineWidth(int Pixels);
    /// Suspends (false) or resumes (true) drawing around bulk changes.
    void SetRedraw(bool On);
    bool Redraw() const;

    // ---- Pointer -------------------------------------------------------------
    /// Row under the pointer at the last mouse event (0 for the header when
    /// fixed), -1 when it was below the last row.
    int MouseRow() const { return mouseRow_; }
    /// Column under the pointer at the last mouse event, -1 beyond the last.
    int MouseCol() const { return mouseCol_; }

    /// Twips per pixel.
    static constexpr int kTwipsPerPixel = ::kTwipsPerPixel;

    // Row and column terms of the table beneath (data rows from 0).
    int rowCount() const;
    int currentRow() const;
    int currentColumn() const;

signals:
    /// A mouse button was pressed on the cells. X and Y are the pointer's
    /// position in twips from the grid's top left corner (header included);
    /// the current cell has already moved to the cell under the pointer.
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    /// A mouse button was released on the cells after a press on them (any
    /// button; not the second release of a double click).
    void Click();
    /// The cells were double-clicked.
    void DblClick();
    /// The current row or column changed (by the user or by the program).
    void RowColChange();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

private:
    bool ValidCell(int Row, int Col) const;
    void SetCurrentCell(int DataRow, int Col);
    void FollowSelection();
    void EnsureCurrent();
    void NoteCurrentCell();
    void NotePointer(const QPoint& ViewportPos);
    void ResizeColumnState();
    void ApplyHeaderVisibility();

    GridModel* model_;
    int fixedRows_ = 1;
    bool headerCurrent_ = false;  // row 0 made current by the program while fixed
    int lastCol_ = 0;             // current column while no cell is current
    int notedRow_ = -1;
    int notedCol_ = -1;
    std::vector<int> colTwips_;  // width last set, -1 when none
    QString format_;
    int gridLineWidth_ = 1;
    int mouseRow_ = -1;
    int mouseCol_ = -1;
    bool pressed_ = false;
    bool swallowRelease_ = false;
};
