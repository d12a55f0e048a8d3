#include "common/gui/grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidgetItem>

#include <algorithm>
#include <cmath>

namespace {

// Item data of a cell picture: the pixmap to draw and its handle.
constexpr int kPictureRole = Qt::UserRole + 1;
constexpr int kPictureKeyRole = Qt::UserRole + 2;

// Room around a caption when the format string sizes a column.
constexpr int kCaptionPadding = 8;

int ToPixels(int twips) { return static_cast<int>(std::lround(twips / static_cast<double>(Grid::kTwipsPerPixel))); }
int ToTwips(int pixels) { return pixels * Grid::kTwipsPerPixel; }

Qt::Alignment QtAlignment(GridAlign a) {
    switch (a) {
        case GridAlign::Centre:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case GridAlign::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case GridAlign::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

GridAlign FromQtAlignment(int a) {
    if (a & Qt::AlignHCenter)
        return GridAlign::Centre;
    if (a & Qt::AlignRight)
        return GridAlign::Right;
    return GridAlign::Left;
}

// Draws a cell that holds a picture and no text with the picture placed by
// the cell's alignment (the standard drawing would put it at the left).
class PictureDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant picture = index.data(kPictureRole);
        if (!picture.isValid() || !index.data(Qt::DisplayRole).toString().isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        opt.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QPixmap pm = picture.value<QPixmap>();
        const QSize size = pm.deviceIndependentSize().toSize();
        const Qt::Alignment align = QtAlignment(FromQtAlignment(index.data(Qt::TextAlignmentRole).toInt()));
        painter->drawPixmap(QStyle::alignedRect(opt.direction, align, size, opt.rect), pm);
    }
};

}  // namespace

Grid::Grid(const QString& Name, QWidget* Parent) : QTableWidget(Parent) {
    setObjectName(Name);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setItemDelegate(new PictureDelegate(this));
    connect(this, &QTableWidget::currentCellChanged, this, [this] { NoteCurrentCell(); });
}

Grid::~Grid() {
    // The table's own teardown may move its current cell; by then the
    // bookkeeping of this class is gone.
    disconnect(this, &QTableWidget::currentCellChanged, this, nullptr);
}

// ---- Size -------------------------------------------------------------------

int Grid::Rows() const { return rowCount() + fixedRows_; }

void Grid::SetRows(int Count) {
    setRowCount(std::max(Count, fixedRows_) - fixedRows_);
    EnsureCurrent();
    NoteCurrentCell();
}

int Grid::Cols() const { return columnCount(); }

void Grid::SetCols(int Count) {
    const int old = columnCount();
    setColumnCount(std::max(Count, 0));
    ResizeColumnState();
    // A column without a header item would show its number in the header.
    for (int c = old; c < columnCount(); ++c)
        setHorizontalHeaderItem(c, NewItem(c));
    if (lastCol_ >= columnCount())
        lastCol_ = std::max(columnCount() - 1, 0);
    NoteCurrentCell();
}

int Grid::FixedRows() const { return fixedRows_; }

bool Grid::SetFixedRows(int Count) {
    if (Count == fixedRows_)
        return true;
    if (Count == 0 && fixedRows_ == 1) {
        // The header's cells move into a new first row of the table.
        insertRow(0);
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* header = takeHorizontalHeaderItem(c);
            setItem(0, c, header ? header : NewItem(c));
            setHorizontalHeaderItem(c, NewItem(c));
        }
        fixedRows_ = 0;
        headerCurrent_ = false;
    } else if (Count == 1 && fixedRows_ == 0) {
        if (rowCount() == 0)
            return false;
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* first = takeItem(0, c);
            setHorizontalHeaderItem(c, first ? first : NewItem(c));
        }
        removeRow(0);
        fixedRows_ = 1;
    } else {
        return false;
    }
    ApplyHeaderVisibility();
    NoteCurrentCell();
    return true;
}

// ---- Current cell and scrolling ----------------------------------------------

int Grid::Row() const {
    if (headerCurrent_ || currentRow() < 0)
        return 0;
    return currentRow() + fixedRows_;
}

bool Grid::SetRow(int Row) {
    if (Row < 0 || Row >= Rows())
        return false;
    if (Row < fixedRows_) {
        lastCol_ = Col();
        headerCurrent_ = true;
        setCurrentIndex(QModelIndex());
    } else {
        headerCurrent_ = false;
        setCurrentCell(Row - fixedRows_, std::max(Col(), 0));
    }
    NoteCurrentCell();
    return true;
}

int Grid::Col() const {
    const int c = currentColumn();
    return c >= 0 && !headerCurrent_ ? c : lastCol_;
}

bool Grid::SetCol(int Col) {
    if (Col < 0 || Col >= columnCount())
        return false;
    lastCol_ = Col;
    if (!headerCurrent_ && currentRow() >= 0)
        setCurrentCell(currentRow(), Col);
    NoteCurrentCell();
    return true;
}

int Grid::TopRow() const {
    if (rowCount() == 0)
        return Rows();
    const int top = rowAt(0);
    return (top < 0 ? 0 : top) + fixedRows_;
}

bool Grid::SetTopRow(int Row) {
    if (Row < fixedRows_ || Row >= Rows())
        return false;
    scrollTo(model()->index(Row - fixedRows_, 0), QAbstractItemView::PositionAtTop);
    return true;
}

bool Grid::RowIsVisible(int Row) const {
    if (Row < 0 || Row >= Rows())
        return false;
    if (Row < fixedRows_)
        return horizontalHeader()->isVisible();
    const int r = Row - fixedRows_;
    if (isRowHidden(r))
        return false;
    const int top = rowViewportPosition(r);
    return top >= 0 && top + rowHeight(r) <= viewport()->height();
}

// ---- Cells -------------------------------------------------------------------

bool Grid::ValidCell(int Row, int Col) const { return Row >= 0 && Row < Rows() && Col >= 0 && Col < columnCount(); }

QTableWidgetItem* Grid::NewItem(int Col) const {
    auto* item = new QTableWidgetItem();
    const GridAlign align =
        Col >= 0 && Col < static_cast<int>(colAlign_.size()) ? colAlign_[static_cast<size_t>(Col)] : GridAlign::Left;
    item->setTextAlignment(QtAlignment(align));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidgetItem* Grid::CellOrNull(int Row, int Col) const {
    if (!ValidCell(Row, Col))
        return nullptr;
    if (Row < fixedRows_)
        return horizontalHeaderItem(Col);
    return item(Row - fixedRows_, Col);
}

QTableWidgetItem* Grid::Cell(int Row, int Col) const {
    if (!ValidCell(Row, Col))
        return nullptr;
    QTableWidgetItem* it = CellOrNull(Row, Col);
    if (it)
        return it;
    // Items are made on first use; the table itself is not changed in
    // meaning by that, so this stays a const operation for the callers.
    auto* self = const_cast<Grid*>(this);
    it = NewItem(Col);
    if (Row < fixedRows_)
        self->setHorizontalHeaderItem(Col, it);
    else
        self->setItem(Row - fixedRows_, Col, it);
    return it;
}

QString Grid::TextMatrix(int Row, int Col) const {
    const QTableWidgetItem* it = CellOrNull(Row, Col);
    return it ? it->text() : QString();
}

bool Grid::SetTextMatrix(int Row, int Col, const QString& Text) {
    QTableWidgetItem* it = Cell(Row, Col);
    if (!it)
        return false;
    it->setText(Text);
    return true;
}

qint64 Grid::CellPicture(int Row, int Col) const {
    const QTableWidgetItem* it = CellOrNull(Row, Col);
    return it ? it->data(kPictureKeyRole).toLongLong() : 0;
}

bool Grid::SetCellPicture(int Row, int Col, const QPixmap& Picture) {
    QTableWidgetItem* it = Cell(Row, Col);
    if (!it)
        return false;
    if (Picture.isNull()) {
        it->setData(kPictureRole, QVariant());
        it->setData(kPictureKeyRole, QVariant());
        it->setIcon(QIcon());
        return true;
    }
    it->setData(kPictureRole, Picture);
    it->setData(kPictureKeyRole, Picture.cacheKey());
    // The header draws its own sections and knows only icons.
    if (Row < fixedRows_)
        it->setIcon(QIcon(Picture));
    return true;
}

GridAlign Grid::CellAlignment(int Row, int Col) const {
    const QTableWidgetItem* it = CellOrNull(Row, Col);
    return it ? FromQtAlignment(it->textAlignment()) : ColAlignment(Col);
}

bool Grid::SetCellAlignment(int Row, int Col, GridAlign Align) {
    QTableWidgetItem* it = Cell(Row, Col);
    if (!it)
        return false;
    it->setTextAlignment(QtAlignment(Align));
    return true;
}

QColor Grid::CellBackColor(int Row, int Col) const {
    const QTableWidgetItem* it = CellOrNull(Row, Col);
    if (!it || it->background().style() == Qt::NoBrush)
        return QColor();
    return it->background().color();
}

bool Grid::SetCellBackColor(int Row, int Col, const QColor& Color) {
    QTableWidgetItem* it = Cell(Row, Col);
    if (!it)
        return false;
    it->setBackground(Color.isValid() ? QBrush(Color) : QBrush());
    return true;
}

// ---- Columns -----------------------------------------------------------------

void Grid::ResizeColumnState() {
    const auto n = static_cast<size_t>(columnCount());
    colAlign_.resize(n, GridAlign::Left);
    colTwips_.resize(n, -1);
}

void Grid::SetFormatString(const QString& Format) {
    format_ = Format;
    const QStringList captions = Format.split(QLatin1Char('|'));
    SetCols(static_cast<int>(captions.size()));
    const QFontMetrics header(horizontalHeader()->font());
    for (int c = 0; c < static_cast<int>(captions.size()); ++c) {
        QString caption = captions[c];
        GridAlign align = GridAlign::Left;
        if (caption.startsWith(QLatin1Char('^')))
            align = GridAlign::Centre;
        else if (caption.startsWith(QLatin1Char('>')))
            align = GridAlign::Right;
        if (caption.startsWith(QLatin1Char('<')) || caption.startsWith(QLatin1Char('^')) ||
            caption.startsWith(QLatin1Char('>')))
            caption.remove(0, 1);
        SetColAlignment(c, align);
        // Row 0 holds the caption without its padding (so a centred heading
        // is centred); the padding only widens the column.
        SetTextMatrix(0, c, caption.trimmed());
        setColumnWidth(c, header.horizontalAdvance(caption) + kCaptionPadding);
        colTwips_[static_cast<size_t>(c)] = -1;
    }
}

QString Grid::FormatString() const { return format_; }

int Grid::ColWidth(int Col) const {
    if (Col < 0 || Col >= columnCount())
        return 0;
    const int px = columnWidth(Col);
    const int set = colTwips_[static_cast<size_t>(Col)];
    // The value set comes back as it was as long as the width in pixels is
    // still the one it gave, so widths kept in twips do not drift.
    if (set >= 0 && ToPixels(set) == px)
        return set;
    return ToTwips(px);
}

bool Grid::SetColWidth(int Col, int Twips) {
    if (Col < 0 || Col >= columnCount() || Twips < 0)
        return false;
    setColumnWidth(Col, ToPixels(Twips));
    colTwips_[static_cast<size_t>(Col)] = Twips;
    return true;
}

GridAlign Grid::ColAlignment(int Col) const {
    if (Col < 0 || Col >= static_cast<int>(colAlign_.size()))
        return GridAlign::Left;
    return colAlign_[static_cast<size_t>(Col)];
}

bool Grid::SetColAlignment(int Col, GridAlign Align) {
    if (Col < 0 || Col >= columnCount())
        return false;
    colAlign_[static_cast<size_t>(Col)] = Align;
    for (int r = 0; r < Rows(); ++r) {
        if (QTableWidgetItem* it = CellOrNull(r, Col))
            it->setTextAlignment(QtAlignment(Align));
    }
    return true;
}

// ---- Rows --------------------------------------------------------------------

void Grid::AddItem(const QString& Text) {
    const int r = rowCount();
    insertRow(r);
    const QStringList cells = Text.split(QLatin1Char('\t'));
    for (int c = 0; c < columnCount() && c < static_cast<int>(cells.size()); ++c) {
        QTableWidgetItem* it = NewItem(c);
        it->setText(cells[c]);
        setItem(r, c, it);
    }
    EnsureCurrent();
    NoteCurrentCell();
}

bool Grid::RemoveItem(int Row) {
    if (Row < fixedRows_ || Row >= Rows() || Rows() - fixedRows_ <= 1)
        return false;
    removeRow(Row - fixedRows_);
    NoteCurrentCell();
    return true;
}

int Grid::RowHeight(int Row) const {
    if (Row < 0 || Row >= Rows())
        return 0;
    if (Row < fixedRows_)
        return ToTwips(horizontalHeader()->height());
    return ToTwips(rowHeight(Row - fixedRows_));
}

bool Grid::SetRowHeight(int Row, int Twips) {
    if (Row < 0 || Row >= Rows() || Twips < 0)
        return false;
    if (Row < fixedRows_)
        horizontalHeader()->setFixedHeight(ToPixels(Twips));
    else
        setRowHeight(Row - fixedRows_, ToPixels(Twips));
    return true;
}

// ---- Look and drawing ----------------------------------------------------------

int Grid::GridLineWidth() const { return gridLineWidth_; }

void Grid::SetGridLineWidth(int Pixels) {
    gridLineWidth_ = std::max(Pixels, 0);
    setShowGrid(gridLineWidth_ > 0);
}

void Grid::SetRedraw(bool On) { setUpdatesEnabled(On); }

bool Grid::Redraw() const { return updatesEnabled(); }

void Grid::Refresh() {
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

// ---- Current-cell bookkeeping and pointer --------------------------------------

void Grid::ApplyHeaderVisibility() { horizontalHeader()->setVisible(fixedRows_ == 1); }

void Grid::EnsureCurrent() {
    // Like a fresh grid, one with data rows has its first data row current
    // until the program or the user chooses another (or the header).
    if (currentRow() < 0 && !headerCurrent_ && rowCount() > 0 && columnCount() > 0)
        setCurrentCell(0, std::min(lastCol_, columnCount() - 1));
}

void Grid::NoteCurrentCell() {
    if (currentRow() >= 0)
        headerCurrent_ = false;
    if (currentColumn() >= 0)
        lastCol_ = currentColumn();
    const int row = Row();
    const int col = Col();
    if (row == notedRow_ && col == notedCol_)
        return;
    notedRow_ = row;
    notedCol_ = col;
    emit RowColChange();
}

void Grid::NotePointer(const QPoint& ViewportPos) {
    const int r = rowAt(ViewportPos.y());
    const int c = columnAt(ViewportPos.x());
    mouseRow_ = r < 0 ? -1 : r + fixedRows_;
    mouseCol_ = c;
}

void Grid::mousePressEvent(QMouseEvent* Event) {
    QTableWidget::mousePressEvent(Event);
    const QPoint pos = Event->position().toPoint();
    NotePointer(pos);
    pressed_ = true;
    const QPoint inGrid = viewport()->mapTo(this, pos);
    emit MouseDown(Event->button(), Event->modifiers(), ToTwips(inGrid.x()), ToTwips(inGrid.y()));
}

void Grid::mouseReleaseEvent(QMouseEvent* Event) {
    QTableWidget::mouseReleaseEvent(Event);
    const bool click = pressed_ && !swallowRelease_;
    pressed_ = false;
    swallowRelease_ = false;
    if (click)
        emit Click();
}

void Grid::mouseDoubleClickEvent(QMouseEvent* Event) {
    QTableWidget::mouseDoubleClickEvent(Event);
    NotePointer(Event->position().toPoint());
    pressed_ = true;
    swallowRelease_ = true;
    emit DblClick();
}
