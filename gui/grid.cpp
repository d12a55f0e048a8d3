#include "gui/grid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Item data of a cell picture: the pixmap to draw.
constexpr int kPictureRole = Qt::UserRole + 1;

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
    if (a & Qt::AlignHCenter) return GridAlign::Centre;
    if (a & Qt::AlignRight) return GridAlign::Right;
    return GridAlign::Left;
}

// Draws a cell that holds a picture and no text with the picture placed by
// the cell's alignment.
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

// One cell as the grid keeps it.
struct GridCell {
    QString text;
    QPixmap picture;
    QColor back;
    std::optional<GridAlign> align;
};

// The grid's table: the header cells, the data rows (stored, or computed by
// a GridRows) and each column's alignment. Rows here are data rows from 0.
class GridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : DataRows(); }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : cols_; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const int r = index.row();
        const int c = index.column();
        if (computed_) {
            switch (role) {
                case Qt::DisplayRole:
                    return source_.Text ? source_.Text(r + 1, c) : QString();
                case Qt::TextAlignmentRole:
                    return int(QtAlignment(align_[static_cast<size_t>(c)]));
                case kPictureRole: {
                    if (!source_.Picture) return {};
                    const QPixmap pm = source_.Picture(r + 1, c);
                    return pm.isNull() ? QVariant() : QVariant(pm);
                }
                default:
                    return {};
            }
        }
        return CellData(rows_[static_cast<size_t>(r)][static_cast<size_t>(c)], c, role, false);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= cols_) return {};
        return CellData(header_[static_cast<size_t>(section)], section, role, true);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    int DataRows() const { return computed_ ? source_.Count : static_cast<int>(rows_.size()); }
    int Cols() const { return cols_; }
    bool Computed() const { return computed_; }

    GridAlign ColAlign(int c) const { return align_[static_cast<size_t>(c)]; }
    void SetColAlign(int c, GridAlign a) {
        align_[static_cast<size_t>(c)] = a;
        header_[static_cast<size_t>(c)].align.reset();
        for (auto& row : rows_) row[static_cast<size_t>(c)].align.reset();
        emit headerDataChanged(Qt::Horizontal, c, c);
        if (DataRows() > 0) emit dataChanged(index(0, c), index(DataRows() - 1, c));
    }

    // A cell's text, picture and alignment as read by the grid's callers;
    // DataRow -1 is the header.
    QString Text(int DataRow, int c) const {
        if (DataRow < 0) return header_[static_cast<size_t>(c)].text;
        if (computed_) return source_.Text ? source_.Text(DataRow + 1, c) : QString();
        return rows_[static_cast<size_t>(DataRow)][static_cast<size_t>(c)].text;
    }
    QPixmap Picture(int DataRow, int c) const {
        if (DataRow < 0) return header_[static_cast<size_t>(c)].picture;
        if (computed_) return source_.Picture ? source_.Picture(DataRow + 1, c) : QPixmap();
        return rows_[static_cast<size_t>(DataRow)][static_cast<size_t>(c)].picture;
    }
    const GridCell* StoredCell(int DataRow, int c) const {
        if (DataRow < 0) return &header_[static_cast<size_t>(c)];
        if (computed_) return nullptr;
        return &rows_[static_cast<size_t>(DataRow)][static_cast<size_t>(c)];
    }

    // The cell to change: computed rows become stored ones first.
    GridCell& Change(int DataRow, int c) {
        if (DataRow < 0) return header_[static_cast<size_t>(c)];
        Materialise();
        return rows_[static_cast<size_t>(DataRow)][static_cast<size_t>(c)];
    }
    void Changed(int DataRow, int c) {
        if (DataRow < 0)
            emit headerDataChanged(Qt::Horizontal, c, c);
        else
            emit dataChanged(index(DataRow, c), index(DataRow, c));
    }

    void SetCols(int n) {
        // Computed rows take any column; stored rows grow or shrink with it.
        n = std::max(n, 0);
        if (n == cols_) return;
        if (n > cols_) {
            beginInsertColumns(QModelIndex(), cols_, n - 1);
            Resize(n);
            endInsertColumns();
        } else if (n < cols_) {
            beginRemoveColumns(QModelIndex(), n, cols_ - 1);
            Resize(n);
            endRemoveColumns();
        }
    }

    void SetDataRows(int n) {
        Materialise();
        n = std::max(n, 0);
        const int old = static_cast<int>(rows_.size());
        if (n > old) {
            beginInsertRows(QModelIndex(), old, n - 1);
            rows_.resize(static_cast<size_t>(n), std::vector<GridCell>(static_cast<size_t>(cols_)));
            endInsertRows();
        } else if (n < old) {
            beginRemoveRows(QModelIndex(), n, old - 1);
            rows_.resize(static_cast<size_t>(n));
            endRemoveRows();
        }
    }

    void InsertRow(int at, std::vector<GridCell> cells) {
        Materialise();
        cells.resize(static_cast<size_t>(cols_));
        beginInsertRows(QModelIndex(), at, at);
        rows_.insert(rows_.begin() + at, std::move(cells));
        endInsertRows();
    }

    void RemoveRow(int at) {
        Materialise();
        beginRemoveRows(QModelIndex(), at, at);
        rows_.erase(rows_.begin() + at);
        endRemoveRows();
    }

    // Row 0 of the data becomes the header (true) or the header a new first
    // data row (false).
    void HeaderToRow() {
        Materialise();
        beginInsertRows(QModelIndex(), 0, 0);
        rows_.insert(rows_.begin(), header_);
        endInsertRows();
        header_.assign(static_cast<size_t>(cols_), GridCell());
        emit headerDataChanged(Qt::Horizontal, 0, std::max(cols_ - 1, 0));
    }
    void RowToHeader() {
        Materialise();
        header_ = rows_.front();
        beginRemoveRows(QModelIndex(), 0, 0);
        rows_.erase(rows_.begin());
        endRemoveRows();
        emit headerDataChanged(Qt::Horizontal, 0, std::max(cols_ - 1, 0));
    }

    void SetSource(GridRows source) {
        beginResetModel();
        rows_.clear();
        rows_.shrink_to_fit();
        source_ = std::move(source);
        source_.Count = std::max(source_.Count, 0);
        computed_ = true;
        endResetModel();
    }

private:
    QVariant CellData(const GridCell& cell, int c, int role, bool header) const {
        switch (role) {
            case Qt::DisplayRole:
                return cell.text;
            case Qt::TextAlignmentRole:
                return int(QtAlignment(cell.align ? *cell.align : align_[static_cast<size_t>(c)]));
            case Qt::BackgroundRole:
                return cell.back.isValid() ? QVariant(QBrush(cell.back)) : QVariant();
            case Qt::DecorationRole:
                // The header draws its own sections and knows only icons.
                return header && !cell.picture.isNull() ? QVariant(QIcon(cell.picture)) : QVariant();
            case kPictureRole:
                return cell.picture.isNull() ? QVariant() : QVariant(cell.picture);
            default:
                return {};
        }
    }

    void Resize(int n) {
        cols_ = n;
        align_.resize(static_cast<size_t>(n), GridAlign::Left);
        header_.resize(static_cast<size_t>(n));
        for (auto& row : rows_) row.resize(static_cast<size_t>(n));
    }

    // Computed rows turn into stored ones, without a reset: the rows stay
    // where they are, only their keeper changes.
    void Materialise() {
        if (!computed_) return;
        std::vector<std::vector<GridCell>> rows(static_cast<size_t>(source_.Count));
        for (int r = 0; r < source_.Count; ++r) {
            auto& row = rows[static_cast<size_t>(r)];
            row.resize(static_cast<size_t>(cols_));
            for (int c = 0; c < cols_; ++c) {
                if (source_.Text) row[static_cast<size_t>(c)].text = source_.Text(r + 1, c);
                if (source_.Picture) row[static_cast<size_t>(c)].picture = source_.Picture(r + 1, c);
            }
        }
        rows_ = std::move(rows);
        source_ = GridRows();
        computed_ = false;
    }

    int cols_ = 0;
    std::vector<GridAlign> align_;
    std::vector<GridCell> header_;
    std::vector<std::vector<GridCell>> rows_;
    GridRows source_;
    bool computed_ = false;
};

Grid::Grid(const QString& Name, QWidget* Parent) : QTableView(Parent), model_(new GridModel(this)) {
    setObjectName(Name);
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    // One line per row: a long text ends in "..." rather than a second line.
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setItemDelegate(new PictureDelegate(this));
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { NoteCurrentCell(); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FollowSelection(); });
}

Grid::~Grid() {
    // The view's own teardown may move its current cell; by then the
    // bookkeeping of this class is gone.
    disconnect(selectionModel(), &QItemSelectionModel::currentChanged, this, nullptr);
}

int Grid::rowCount() const { return model_->DataRows(); }
int Grid::currentRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }
int Grid::currentColumn() const { return currentIndex().isValid() ? currentIndex().column() : -1; }

void Grid::SetCurrentCell(int DataRow, int Col) {
    QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect;
    if (selectionBehavior() == QAbstractItemView::SelectRows) how |= QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(model_->index(DataRow, Col), how);
}

// The highlighted row and the current row are one: a row selected without
// moving the current cell (by an assistive tool, through the selection
// model) becomes the current row, so every operation acts on the row shown
// highlighted.
void Grid::FollowSelection() {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    int first = selected.front().row();
    for (const QModelIndex& i : selected) {
        if (i.row() == currentRow()) return;
        first = std::min(first, i.row());
    }
    headerCurrent_ = false;
    selectionModel()->setCurrentIndex(model_->index(first, std::clamp(Col(), 0, std::max(Cols() - 1, 0))),
                                      QItemSelectionModel::NoUpdate);
}

// ---- Size -------------------------------------------------------------------

int Grid::Rows() const { return rowCount() + fixedRows_; }

void Grid::SetRows(int Count) {
    model_->SetDataRows(std::max(Count, fixedRows_) - fixedRows_);
    EnsureCurrent();
    NoteCurrentCell();
}

int Grid::Cols() const { return model_->Cols(); }

void Grid::SetCols(int Count) {
    model_->SetCols(Count);
    ResizeColumnState();
    if (lastCol_ >= Cols()) lastCol_ = std::max(Cols() - 1, 0);
    NoteCurrentCell();
}

int Grid::FixedRows() const { return fixedRows_; }

bool Grid::SetFixedRows(int Count) {
    if (Count == fixedRows_) return true;
    if (Count == 0 && fixedRows_ == 1) {
        model_->HeaderToRow();
        fixedRows_ = 0;
        headerCurrent_ = false;
    } else if (Count == 1 && fixedRows_ == 0) {
        if (rowCount() == 0) return false;
        model_->RowToHeader();
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
    if (headerCurrent_ || currentRow() < 0) return 0;
    return currentRow() + fixedRows_;
}

bool Grid::SetRow(int Row) {
    if (Row < 0 || Row >= Rows()) return false;
    if (Row < fixedRows_) {
        lastCol_ = Col();
        headerCurrent_ = true;
        selectionModel()->clear();
    } else {
        headerCurrent_ = false;
        if (Cols() > 0) SetCurrentCell(Row - fixedRows_, std::max(Col(), 0));
    }
    NoteCurrentCell();
    return true;
}

int Grid::Col() const {
    const int c = currentColumn();
    return c >= 0 && !headerCurrent_ ? c : lastCol_;
}

bool Grid::SetCol(int Col) {
    if (Col < 0 || Col >= Cols()) return false;
    lastCol_ = Col;
    if (!headerCurrent_ && currentRow() >= 0) SetCurrentCell(currentRow(), Col);
    NoteCurrentCell();
    return true;
}

int Grid::TopRow() const {
    if (rowCount() == 0) return Rows();
    const int top = rowAt(0);
    return (top < 0 ? 0 : top) + fixedRows_;
}

bool Grid::SetTopRow(int Row) {
    if (Row < fixedRows_ || Row >= Rows()) return false;
    scrollTo(model_->index(Row - fixedRows_, 0), QAbstractItemView::PositionAtTop);
    return true;
}

bool Grid::RowIsVisible(int Row) const {
    if (Row < 0 || Row >= Rows()) return false;
    if (Row < fixedRows_) return horizontalHeader()->isVisible();
    const int r = Row - fixedRows_;
    if (isRowHidden(r)) return false;
    const int top = rowViewportPosition(r);
    return top >= 0 && top + rowHeight(r) <= viewport()->height();
}

// ---- Cells -------------------------------------------------------------------

bool Grid::ValidCell(int Row, int Col) const { return Row >= 0 && Row < Rows() && Col >= 0 && Col < Cols(); }

QString Grid::TextMatrix(int Row, int Col) const {
    return ValidCell(Row, Col) ? model_->Text(Row - fixedRows_, Col) : QString();
}

bool Grid::SetTextMatrix(int Row, int Col, const QString& Text) {
    if (!ValidCell(Row, Col)) return false;
    model_->Change(Row - fixedRows_, Col).text = Text;
    model_->Changed(Row - fixedRows_, Col);
    return true;
}

qint64 Grid::CellPicture(int Row, int Col) const {
    if (!ValidCell(Row, Col)) return 0;
    const QPixmap pm = model_->Picture(Row - fixedRows_, Col);
    return pm.isNull() ? 0 : pm.cacheKey();
}

bool Grid::SetCellPicture(int Row, int Col, const QPixmap& Picture) {
    if (!ValidCell(Row, Col)) return false;
    model_->Change(Row - fixedRows_, Col).picture = Picture;
    model_->Changed(Row - fixedRows_, Col);
    return true;
}

GridAlign Grid::CellAlignment(int Row, int Col) const {
    if (!ValidCell(Row, Col)) return ColAlignment(Col);
    const GridCell* cell = model_->StoredCell(Row - fixedRows_, Col);
    return cell && cell->align ? *cell->align : ColAlignment(Col);
}

bool Grid::SetCellAlignment(int Row, int Col, GridAlign Align) {
    if (!ValidCell(Row, Col)) return false;
    model_->Change(Row - fixedRows_, Col).align = Align;
    model_->Changed(Row - fixedRows_, Col);
    return true;
}

QColor Grid::CellBackColor(int Row, int Col) const {
    if (!ValidCell(Row, Col)) return QColor();
    const GridCell* cell = model_->StoredCell(Row - fixedRows_, Col);
    return cell ? cell->back : QColor();
}

bool Grid::SetCellBackColor(int Row, int Col, const QColor& Color) {
    if (!ValidCell(Row, Col)) return false;
    model_->Change(Row - fixedRows_, Col).back = Color;
    model_->Changed(Row - fixedRows_, Col);
    return true;
}

// ---- Columns -----------------------------------------------------------------

void Grid::ResizeColumnState() { colTwips_.resize(static_cast<size_t>(Cols()), -1); }

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
    if (Col < 0 || Col >= Cols()) return 0;
    const int px = columnWidth(Col);
    const int set = colTwips_[static_cast<size_t>(Col)];
    // The value set comes back as it was as long as the width in pixels is
    // still the one it gave, so widths kept in twips do not drift.
    if (set >= 0 && ToPixels(set) == px) return set;
    return ToTwips(px);
}

bool Grid::SetColWidth(int Col, int Twips) {
    if (Col < 0 || Col >= Cols() || Twips < 0) return false;
    setColumnWidth(Col, ToPixels(Twips));
    colTwips_[static_cast<size_t>(Col)] = Twips;
    return true;
}

GridAlign Grid::ColAlignment(int Col) const {
    if (Col < 0 || Col >= Cols()) return GridAlign::Left;
    return model_->ColAlign(Col);
}

bool Grid::SetColAlignment(int Col, GridAlign Align) {
    if (Col < 0 || Col >= Cols()) return false;
    model_->SetColAlign(Col, Align);
    return true;
}

// ---- Rows --------------------------------------------------------------------

void Grid::AddItem(const QString& Text) {
    const QStringList cells = Text.split(QLatin1Char('\t'));
    std::vector<GridCell> row(static_cast<size_t>(Cols()));
    for (int c = 0; c < Cols() && c < static_cast<int>(cells.size()); ++c) row[static_cast<size_t>(c)].text = cells[c];
    model_->InsertRow(rowCount(), std::move(row));
    EnsureCurrent();
    NoteCurrentCell();
}

void Grid::SetComputedRows(GridRows Rows) {
    model_->SetSource(std::move(Rows));
    // A reset forgets the widths of the columns: they are put back.
    for (int c = 0; c < Cols(); ++c) {
        const int set = colTwips_[static_cast<size_t>(c)];
        if (set >= 0) setColumnWidth(c, ToPixels(set));
    }
    headerCurrent_ = false;
    EnsureCurrent();
    NoteCurrentCell();
}

bool Grid::RemoveItem(int Row) {
    if (Row < fixedRows_ || Row >= Rows() || Rows() - fixedRows_ <= 1) return false;
    model_->RemoveRow(Row - fixedRows_);
    NoteCurrentCell();
    return true;
}

int Grid::RowHeight(int Row) const {
    if (Row < 0 || Row >= Rows()) return 0;
    if (Row < fixedRows_) return ToTwips(horizontalHeader()->height());
    return ToTwips(rowHeight(Row - fixedRows_));
}

bool Grid::SetRowHeight(int Row, int Twips) {
    if (Row < 0 || Row >= Rows() || Twips < 0) return false;
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

// ---- Current-cell bookkeeping and pointer --------------------------------------

void Grid::ApplyHeaderVisibility() { horizontalHeader()->setVisible(fixedRows_ == 1); }

void Grid::EnsureCurrent() {
    // Like a fresh grid, one with data rows has its first data row current
    // until the program or the user chooses another (or the header).
    if (currentRow() < 0 && !headerCurrent_ && rowCount() > 0 && Cols() > 0)
        SetCurrentCell(0, std::min(lastCol_, Cols() - 1));
}

void Grid::NoteCurrentCell() {
    if (currentRow() >= 0) headerCurrent_ = false;
    if (currentColumn() >= 0) lastCol_ = currentColumn();
    const int row = Row();
    const int col = Col();
    if (row == notedRow_ && col == notedCol_) return;
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
    QTableView::mousePressEvent(Event);
    const QPoint pos = Event->position().toPoint();
    NotePointer(pos);
    pressed_ = true;
    const QPoint inGrid = viewport()->mapTo(this, pos);
    emit MouseDown(Event->button(), Event->modifiers(), ToTwips(inGrid.x()), ToTwips(inGrid.y()));
}

void Grid::mouseReleaseEvent(QMouseEvent* Event) {
    QTableView::mouseReleaseEvent(Event);
    const bool click = pressed_ && !swallowRelease_;
    pressed_ = false;
    swallowRelease_ = false;
    if (click) emit Click();
}

void Grid::mouseDoubleClickEvent(QMouseEvent* Event) {
    QTableView::mouseDoubleClickEvent(Event);
    NotePointer(Event->position().toPoint());
    pressed_ = true;
    swallowRelease_ = true;
    emit DblClick();
}
