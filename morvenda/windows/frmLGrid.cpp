#include "morvenda/windows/frmLGrid.h"

#include "common/checks.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/text.h"
#include "gui/controls.h"
#include "gui/grid.h"
#include "gui/guard.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/jobdoc.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/editjob.h"
#include "morvenda/windows/frmColSel.h"
#include "morvenda/windows/widgethelpers.h"
#include "platform/shell.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr int kTwips = Grid::kTwipsPerPixel;
const char* const kTag = "tag";

QPixmap TickPicture() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(3, 8.5), QPointF(6.5, 12));
    p.drawLine(QPointF(6.5, 12), QPointF(13, 4));
    return pm;
}

QPixmap BlankPicture() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

// What could not be done to a view profile, and why.
void ShowProfileFailure(const char* What, const ProfileResult& Failed) {
    MsgBox(QString::fromLatin1(What) + QStringLiteral("\n\n") + Failed.error, MsgButtons::Ok, MsgIcon::Critical);
}

GridAlign AlignOf(QChar mark) {
    if (mark == QLatin1Char('^')) return GridAlign::Centre;
    if (mark == QLatin1Char('>')) return GridAlign::Right;
    return GridAlign::Left;
}

}  // namespace

frmLGrid::frmLGrid(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLGrid"));
    setWindowTitle(QStringLiteral("Schedule Update"));
    if (parent) setWindowIcon(parent->windowIcon());
    picTick_ = TickPicture();
    picNone_ = BlankPicture();

    fxgSchedGrid_ = new Grid(QStringLiteral("fxgSchedGrid"), this);
    fxgSchedGrid_->setAccessibleName(QStringLiteral("Jobs"));
    fxgSchedGrid_->SetGridLineWidth(1);
    // One row is one job: the whole row is highlighted, and a screen reader
    // selects a job by selecting its row.
    fxgSchedGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);

    QHBoxLayout* choices = BuildChoices();
    QHBoxLayout* bottom = BuildButtons();
    const MenuItems menu = BuildMenus();

    auto* all = new QVBoxLayout(this);
    all->setMenuBar(menu.bar);
    all->addLayout(choices);
    all->addWidget(fxgSchedGrid_, 1);
    all->addLayout(bottom);

    tmrGrid_ = new QTimer(this);
    tmrGrid_->setObjectName(QStringLiteral("tmrGrid"));
    tmrGrid_->setInterval(500);

    ConnectButtonsAndMenus(menu);
    ConnectChoicesAndGrid();

    NameControls(this);

    // Loading.
    DefineGridColumns();
    SetProfileNames();
    ReadColProfile();
    DisplayGrid();
    RowChange();
    // The grid shows a good number of rows; a remembered height that no
    // longer fits the screen is cut to it.
    fxgSchedGrid_->setMinimumHeight(fxgSchedGrid_->horizontalHeader()->sizeHint().height() +
                                    8 * fxgSchedGrid_->verticalHeader()->defaultSectionSize() +
                                    2 * fxgSchedGrid_->frameWidth());
    const QString gridHeight = GetSetting(gAppName, gRegSection, gGridHeightKey);
    const int roomHeight = screen() ? screen()->availableGeometry().height() - 40 : 4000;
    if (!gridHeight.isEmpty() && Val(gridHeight) > 0)
        resize(width(), static_cast<int>(std::min<qint64>(Val(gridHeight) / kTwips, std::max(roomHeight, 100))));
    SetEditJobDesc(FindArrayRow(fxgSchedGrid_->Row()));
    SizeWindow();
    PositionForm(this, QStringLiteral("tc"));
    Buttons();
    loading_ = false;
    tmrGrid_->start();
}

QHBoxLayout* frmLGrid::BuildChoices() {
    cboGroup_ = new QComboBox(this);
    cboGroup_->setObjectName(QStringLiteral("cboGroup"));
    cboProfile_ = new QComboBox(this);
    cboProfile_->setObjectName(QStringLiteral("cboProfile"));
    auto* choices = new QHBoxLayout;
    choices->addWidget(BuddyLabel(this, QStringLiteral("Group:"), cboGroup_));
    choices->addWidget(cboGroup_, 1);
    choices->addWidget(BuddyLabel(this, QStringLiteral("View Profile"), cboProfile_));
    choices->addWidget(cboProfile_, 1);
    return choices;
}

QHBoxLayout* frmLGrid::BuildButtons() {
    auto* fraUpdate = new QGroupBox(QStringLiteral("Update"), this);
    fraUpdate->setObjectName(QStringLiteral("fraUpdate"));
    cmdNew_ = NamedButton(fraUpdate, "cmdNew", QStringLiteral("New"));
    cmdModify_ = NamedButton(fraUpdate, "cmdModify", QStringLiteral("Modify"));
    cmdDelete_ = NamedButton(fraUpdate, "cmdDelete", QStringLiteral("Delete"));
    cmdCopy_ = NamedButton(fraUpdate, "cmdCopy", QStringLiteral("Copy"));
    cmdPasteNew_ = NamedButton(fraUpdate, "cmdPasteNew", QStringLiteral("Paste New"));
    cmdResched_ = NamedButton(fraUpdate, "cmdResched", QStringLiteral("Resched"));
    cmdSkip_ = NamedButton(fraUpdate, "cmdSkip", QStringLiteral("Skip Today"));
    cmdEditJob_ = NamedButton(fraUpdate, "cmdEditJob", QStringLiteral("Editing"));
    auto* update = new QGridLayout(fraUpdate);
    QPushButton* const updateOrder[] = {cmdNew_,      cmdModify_,  cmdDelete_, cmdCopy_,
                                        cmdPasteNew_, cmdResched_, cmdSkip_,   cmdEditJob_};
    for (int i = 0; i < 8; ++i) update->addWidget(updateOrder[i], i / 4, i % 4);

    auto* fraReseq = new QGroupBox(QStringLiteral("Resequencing"), this);
    fraReseq->setObjectName(QStringLiteral("fraReseq"));
    fraReseq->setToolTip(QStringLiteral("Relevant only to submission sequnce of mutually exclusive jobs."));
    cmdTop_ = NamedButton(fraReseq, "cmdTop", QStringLiteral("Top"));
    cmdUp1_ = NamedButton(fraReseq, "cmdUp1", QStringLiteral("Up 1"));
    cmdDown1_ = NamedButton(fraReseq, "cmdDown1", QStringLiteral("Down 1"));
    cmdBottom_ = NamedButton(fraReseq, "cmdBottom", QStringLiteral("Bottom"));
    auto* reseq = new QGridLayout(fraReseq);
    reseq->addWidget(cmdTop_, 0, 0);
    reseq->addWidget(cmdUp1_, 0, 1);
    reseq->addWidget(cmdDown1_, 1, 0);
    reseq->addWidget(cmdBottom_, 1, 1);

    auto* fraWindow = new QGroupBox(this);
    fraWindow->setObjectName(QStringLiteral("fraWindow"));
    cmdClose_ = NamedButton(fraWindow, "cmdClose", QStringLiteral("Close"));
    cmdClose_->setToolTip(QStringLiteral("Save the changes and close the window."));
    (new QVBoxLayout(fraWindow))->addWidget(cmdClose_);

    cmdNew_->setToolTip(QStringLiteral("Add a new entry to the schedule."));
    cmdModify_->setToolTip(QStringLiteral("Modify schedule data for the selected job."));
    cmdDelete_->setToolTip(QStringLiteral("Delete the job from the schedule."));
    cmdCopy_->setToolTip(QStringLiteral("Copy this job for pasting"));
    cmdPasteNew_->setToolTip(QStringLiteral("Create new job by pasting previous copy"));
    cmdResched_->setToolTip(QStringLiteral("Reschedule the job."));
    cmdSkip_->setToolTip(
        QStringLiteral("Skip Functions - Unshifted=Toggle Single, Shifted=Unskip All, Ctrl=Skip All, "
                       "No change to Skip Always jobs."));
    cmdTop_->setToolTip(QStringLiteral("Move job to top of list."));
    cmdUp1_->setToolTip(QStringLiteral("Move job up one position in list."));
    cmdDown1_->setToolTip(QStringLiteral("Move job down one position in list."));
    cmdBottom_->setToolTip(QStringLiteral("Move job to bottom of list."));

    // The buttons that need a job row carry the tag Buttons reads.
    for (QPushButton* b : {cmdEditJob_, cmdModify_, cmdDelete_, cmdResched_, cmdSkip_, cmdCopy_, cmdTop_, cmdBottom_,
                           cmdDown1_, cmdUp1_})
        b->setProperty(kTag, QStringLiteral("NeedsJob"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fraUpdate);
    bottom->addWidget(fraReseq);
    bottom->addWidget(fraWindow);
    bottom->addStretch(1);
    return bottom;
}

frmLGrid::MenuItems frmLGrid::BuildMenus() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("mnuBar"));
    QMenu* mnuFile = bar->addMenu(QStringLiteral("&File"));
    QAction* mnuClose = NamedMenuItem(mnuFile, "mnuClose", QStringLiteral("&Close"));
    QMenu* mnuView = bar->addMenu(QStringLiteral("&View"));
    QAction* mnuCustomise = NamedMenuItem(mnuView, "mnuCustomise", QStringLiteral("&Customise"));
    QAction* mnuProfile = NamedMenuItem(mnuView, "mnuProfile", QStringLiteral("&Profile"));
    QMenu* mnuReseq = bar->addMenu(QStringLiteral("&Resequencing"));
    menuButtons_ = {
        {NamedMenuItem(mnuReseq, "mnuTop", QStringLiteral("&Top")), cmdTop_},
        {NamedMenuItem(mnuReseq, "mnuBottom", QStringLiteral("&Bottom")), cmdBottom_},
        {NamedMenuItem(mnuReseq, "mnuUp", QStringLiteral("&Up")), cmdUp1_},
        {NamedMenuItem(mnuReseq, "mnuDown", QStringLiteral("Do&wn")), cmdDown1_},
    };
    QMenu* mnuJobs = bar->addMenu(QStringLiteral("&Jobs"));
    const std::pair<const char*, const char*> jobItems[] = {{"mnuNew", "&New"},
                                                            {"mnuModify", "&Modify"},
                                                            {"mnuDelete", "&Delete"},
                                                            {"mnuEditing", "&Editing"},
                                                            {"mnuCopy", "Cop&y"},
                                                            {"mnuPasteNew", "&Paste New"},
                                                            {"mnuReschedule", "&Reschedule"}};
    QPushButton* jobButtons[] = {cmdNew_, cmdModify_, cmdDelete_, cmdEditJob_, cmdCopy_, cmdPasteNew_, cmdResched_};
    for (size_t i = 0; i < std::size(jobItems); ++i)
        menuButtons_.emplace_back(NamedMenuItem(mnuJobs, jobItems[i].first, QString::fromLatin1(jobItems[i].second)),
                                  jobButtons[i]);
    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    QAction* mnuHelpHelp = NamedMenuItem(mnuHelp, "mnuHelpHelp", QStringLiteral("&Help"));
    mnuHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));
    return {bar, mnuClose, mnuCustomise, mnuProfile, mnuHelpHelp};
}

void frmLGrid::ConnectButtonsAndMenus(const MenuItems& menu) {
    auto guarded = [this](void (frmLGrid::*handler)()) {
        return [this, handler] { GuardFatal([this, handler] { (this->*handler)(); }); };
    };
    connect(cmdNew_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdNew_Click));
    connect(cmdPasteNew_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdPasteNew_Click));
    connect(cmdCopy_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdCopy_Click));
    connect(cmdModify_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdModify_Click));
    connect(cmdDelete_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdDelete_Click));
    connect(cmdTop_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdTop_Click));
    connect(cmdUp1_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdUp1_Click));
    connect(cmdDown1_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdDown1_Click));
    connect(cmdBottom_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdBottom_Click));
    connect(cmdResched_, &QPushButton::clicked, this, guarded(&frmLGrid::cmdResched_Click));
    // Skip and Editing act by the modifier keys of the press that clicked
    // them, by mouse or by keyboard (none when clicked by the program).
    for (QPushButton* b : {cmdSkip_, cmdEditJob_}) b->installEventFilter(this);
    connect(cmdSkip_, &QPushButton::clicked, this, [this] {
        const Qt::KeyboardModifiers shift = pressNoted_ ? pressShift_ : Qt::KeyboardModifiers();
        pressNoted_ = false;
        GuardFatal([this, shift] { cmdSkip_Click(shift); });
    });
    connect(cmdEditJob_, &QPushButton::clicked, this, [this] {
        const Qt::KeyboardModifiers shift = pressNoted_ ? pressShift_ : Qt::KeyboardModifiers();
        pressNoted_ = false;
        GuardFatal([this, shift] { cmdEditJob_Click(shift); });
    });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::close);
    connect(menu.close, &QAction::triggered, cmdClose_, &QPushButton::click);
    for (const auto& [action, button] : menuButtons_) connect(action, &QAction::triggered, button, &QPushButton::click);
    connect(menu.customise, &QAction::triggered, this, guarded(&frmLGrid::mnuCustomise_Click));
    connect(menu.profile, &QAction::triggered, this, [this] { cboProfile_->setFocus(); });
    connect(menu.help, &QAction::triggered, this, [] { ShowHelp(QStringLiteral("Schedule Update Form")); });
}

void frmLGrid::ConnectChoicesAndGrid() {
    connect(cboGroup_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (G.gFillingGroups) return;
        G.gGroupFilter = text;
        GuardFatal([this] { DisplayGrid(); });
        if (!loading_) FocusGrid();
        Buttons();
    });
    connect(cboProfile_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (profileBusy_ || loading_ || text == G.gCurProfile || text.isEmpty()) return;
        profileBusy_ = true;
        // A choice that cannot be stored is not taken: the combo goes back to
        // the current profile and the grid keeps its columns.
        const ProfileResult chosen = ChooseProfile(text);
        if (!chosen) ShowProfileFailure("Could not choose edit view profile", chosen);
        SetProfileNames();
        if (chosen) {
            ReadColProfile();
            GuardFatal([this] { DisplayGrid(); });
        }
        profileBusy_ = false;
    });
    connect(fxgSchedGrid_, &Grid::RowColChange, this, [this] {
        if (!rebuilding_ && !noRowChange_) RowChange();
    });
    connect(fxgSchedGrid_, &Grid::Click, this, [this] {
        const int j = FindArrayRow(fxgSchedGrid_->Row());
        QString tip;
        if (j > 0) {
            const JobRec& J = Job(j);
            if (!J.JobDesc.trimmed().isEmpty())
                tip = QStringLiteral("Job ") + J.JobName.trimmed() + QStringLiteral(": ") + J.JobDesc.trimmed();
        }
        fxgSchedGrid_->setToolTip(tip);
    });
    connect(fxgSchedGrid_, &Grid::DblClick, cmdModify_, &QPushButton::click);
    connect(tmrGrid_, &QTimer::timeout, this, [this] { SizeWindow(); });
}

frmLGrid::~frmLGrid() {
    // The grid's rows are computed from members that go before the grid.
    fxgSchedGrid_->SetComputedRows(GridRows());
}

void frmLGrid::DisplayGrid() {
    Grid& g = *fxgSchedGrid_;
    g.SetRedraw(false);
    if (!FillGroupCombo(cboGroup_)) G.gGroupFilter = gAllGroups;
    const int remembered = g.Row();

    // Grid columns in display order: the shown columns by their position.
    colIds_.clear();
    for (int id = 0; id < kGridColCount; ++id)
        if (!gGridCols[static_cast<size_t>(id)].Hidden) colIds_.push_back(id);
    std::stable_sort(colIds_.begin(), colIds_.end(), [](int a, int b) {
        return gGridCols[static_cast<size_t>(a)].Order < gGridCols[static_cast<size_t>(b)].Order;
    });
    rebuilding_ = true;
    g.SetCols(static_cast<int>(colIds_.size()));

    rows_ = GridJobs(G.gGroupFilter);
    constexpr int kDependencies = 11;
    if (!gGridCols[kDependencies].Hidden) ReportEmptyDependencies(rows_);

    // The cells are computed when drawn: a rebuild costs nothing per cell.
    GridRows source;
    source.Count = static_cast<int>(rows_.size());
    source.Text = [this](int row, int col) -> QString {
        const int j = FindArrayRow(row);
        if (j < 1 || col < 0 || col >= static_cast<int>(colIds_.size())) return QString();
        const int id = colIds_[static_cast<size_t>(col)];
        if (IsFlagColumn(id)) return QString();
        return GridCellText(Job(j), id);
    };
    source.Picture = [this](int row, int col) -> QPixmap {
        const int j = FindArrayRow(row);
        if (j < 1 || col < 0 || col >= static_cast<int>(colIds_.size())) return QPixmap();
        const int id = colIds_[static_cast<size_t>(col)];
        if (!IsFlagColumn(id)) return QPixmap();
        return GridCellText(Job(j), id) == QLatin1String("True") ? picTick_ : picNone_;
    };
    g.SetComputedRows(std::move(source));

    // A shown column is at least as wide as its title, and the name and group
    // columns as their widest entry, so no heading and no name is cut.
    const QFontMetrics headerFont(g.horizontalHeader()->font());
    const QFontMetrics cellFont(g.font());
    const int headerMargin = 2 * g.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, g.horizontalHeader()) + 2;
    for (int c = 0; c < static_cast<int>(colIds_.size()); ++c) {
        const int id = colIds_[static_cast<size_t>(c)];
        const GridColumn& col = gGridCols[static_cast<size_t>(id)];
        g.SetTextMatrix(0, c, col.Title);
        int needed = headerFont.horizontalAdvance(col.Title) + headerMargin;
        constexpr int kJobNameCol = 0;
        constexpr int kGroupCol = 1;
        if (id == kJobNameCol || id == kGroupCol) {
            // Names are short and many: each is measured by its letters'
            // advances, kept per letter, which a large schedule can afford.
            std::array<int, 128> advance{};
            int widest = 0;
            for (const int j : rows_) {
                const JobRec& J = Job(j);
                int w = 0;
                for (const QChar ch : id == kJobNameCol ? J.JobName : J.Group) {
                    const char16_t u = ch.unicode();
                    if (u >= 128) {
                        w += cellFont.horizontalAdvance(ch);
                    } else {
                        if (advance[u] == 0) advance[u] = std::max(1, cellFont.horizontalAdvance(ch));
                        w += advance[u];
                    }
                }
                widest = std::max(widest, w);
            }
            needed = std::max(needed, widest + headerMargin);
        }
        g.SetColWidth(c, col.Width > 0 ? std::max<int>(col.Width, needed * kTwips) : 0);
        g.SetColAlignment(c, AlignOf(col.Align));
    }
    rebuilding_ = false;

    noRowChange_ = true;
    if (g.Rows() > 1) g.SetRow(std::clamp(remembered, 1, g.Rows() - 1));
    noRowChange_ = false;
    g.SetRedraw(true);
}

int frmLGrid::FindArrayRow(int Row) const {
    if (Row < 1 || Row > static_cast<int>(rows_.size())) return 0;
    const int j = rows_[static_cast<size_t>(Row - 1)];
    return j <= JobCount() ? j : 0;
}

void frmLGrid::SelectJob(int j) {
    const auto it = std::find(rows_.begin(), rows_.end(), j);
    if (it != rows_.end()) fxgSchedGrid_->SetRow(static_cast<int>(it - rows_.begin()) + 1);
}

void frmLGrid::FocusGrid() {
    if (isVisible()) fxgSchedGrid_->setFocus();
}

void frmLGrid::SizeWindow() {
    if (layoutBusy_) return;
    layoutBusy_ = true;
    Grid& g = *fxgSchedGrid_;
    if (g.Rows() > 1) {
        int sum = 0;
        for (int c = 0; c < g.Cols(); ++c) sum += g.columnWidth(c);
        sum += g.frameWidth() * 2 + 8;
        if (g.verticalScrollBar()->isVisible()) sum += g.verticalScrollBar()->sizeHint().width();
        const int wanted = std::max(sum + layout()->contentsMargins().left() + layout()->contentsMargins().right(),
                                    layout()->minimumSize().width());
        const QRect avail = screen() ? screen()->availableGeometry() : QRect(0, 0, 4000, 4000);
        const int w = std::min(wanted, avail.width());
        if (w != width()) resize(w, height());
        // Widths the operator dragged go back into the column table, to be
        // saved with the profile.
        for (int c = 0; c < g.Cols() && c < static_cast<int>(colIds_.size()); ++c) {
            GridColumn& col = gGridCols[static_cast<size_t>(colIds_[static_cast<size_t>(c)])];
            col.Width = static_cast<std::int16_t>(std::min(g.ColWidth(c), kInt16Max));
        }
    }
    layoutBusy_ = false;
}

void frmLGrid::Buttons() {
    const bool jobShown = fxgSchedGrid_->Rows() > 1;
    // Every rule needs a job row: without one, Modify, Delete, Resched and
    // Editing would work on the copy buffer.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        if (b->property(kTag).toString() == QLatin1String("NeedsJob")) b->setEnabled(jobShown);
    }
    cmdPasteNew_->setEnabled(G.gJobCopied);
    SyncMenus();
}

void frmLGrid::SyncMenus() {
    for (const auto& [action, button] : menuButtons_) action->setEnabled(button->isEnabled());
}

void frmLGrid::SetProfileNames() {
    const bool busy = profileBusy_;
    profileBusy_ = true;
    const ProfileNames names = ReadProfileNames();
    cboProfile_->clear();
    cboProfile_->addItems(names.Names);
    cboProfile_->setCurrentIndex(names.Current);
    profileBusy_ = busy;
    if (!names.Stored) ShowProfileFailure("Could not save edit view profile", names.Stored);
}

void frmLGrid::RowChange() {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    const bool resched = j > 0 && ReschedulesInState(Job(j).JobState);
    cmdResched_->setText(resched ? QStringLiteral("Resched") : QStringLiteral("Unschedule"));
    cmdResched_->setToolTip(resched ? QStringLiteral("Reschedule selected job")
                                    : QStringLiteral("Unschedule selected job"));
    SetEditJobDesc(j);
}

void frmLGrid::SetEditJobDesc(int j) {
    editBatch_.clear();
    editName_.clear();
    cmdEditJob_->setToolTip(QStringLiteral("Edit Runtime Documentation File"));
    if (j < 1 || j > JobCount()) return;
    const JobRec& J = Job(j);
    editBatch_ = JobBatchFile(J);
    editName_ = J.JobName.trimmed();
    if (!editBatch_.isEmpty())
        cmdEditJob_->setToolTip(QStringLiteral("Edit Batch File (unshifted) or Runtime Documentation File (shifted)"));
}

// ---- Operations ---------------------------------------------------------------

void frmLGrid::NewJob(bool Paste) {
    const int n = AddNewJob(Paste);
    G.gCurJob = static_cast<std::int16_t>(std::min(n, int(std::numeric_limits<std::int16_t>::max())));
    G.gEditCancelled = false;
    tmrGrid_->stop();
    const bool ok = EditJob(this) && !G.gEditCancelled;
    tmrGrid_->start();
    if (ok)
        tableChanged_ = false;  // the editor saved the whole table
    else
        RemoveJob(n);
    DisplayGrid();
    if (ok) SelectJob(n);
    RowChange();
    FocusGrid();
    Buttons();
}

void frmLGrid::cmdNew_Click() { NewJob(false); }

void frmLGrid::cmdPasteNew_Click() {
    if (G.gJobCopied) NewJob(true);
}

void frmLGrid::cmdCopy_Click() {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    CopyJob(j);
    cmdPasteNew_->setToolTip(QStringLiteral(" (Copy of job \"") + G.Jobs[0].JobName + QStringLiteral("\") "));
    Buttons();
}

void frmLGrid::cmdModify_Click() {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    G.gCurJob = static_cast<std::int16_t>(j);
    G.gEditCancelled = false;
    std::vector<std::pair<QPushButton*, bool>> enabled;
    for (QPushButton* b : findChildren<QPushButton*>()) {
        enabled.emplace_back(b, b->isEnabled());
        b->setEnabled(false);
    }
    tmrGrid_->stop();
    const bool ok = EditJob(this) && !G.gEditCancelled;
    tmrGrid_->start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetStartTimes();
    if (ok) tableChanged_ = false;
    DisplayGrid();
    SelectJob(j);
    RowChange();
    FocusGrid();
    for (const auto& [b, on] : enabled) b->setEnabled(on);
    Buttons();
    QApplication::restoreOverrideCursor();
}

void frmLGrid::cmdDelete_Click() {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    G.gCurJob = static_cast<std::int16_t>(j);
    const QString name = Job(j).JobName.trimmed();
    if (MsgBox(QStringLiteral("Delete job ") + name + QLatin1Char('?'), MsgButtons::YesNo, MsgIcon::Question) !=
        MsgAnswer::Yes)
        return;
    QString dependants;
    UpdateDependents(name, dependants);
    if (!dependants.isEmpty() && MsgBox(QStringLiteral("The following jobs:  ") + dependants.mid(2) +
                                            QStringLiteral("  are dependent on this job.  Proceed with deletion?"),
                                        MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes)
        return;
    if (JobCount() <= 1) {
        MsgBox(QStringLiteral("Cannot delete last row"));
        return;
    }
    const bool lastShown = fxgSchedGrid_->Rows() < 3;
    RemoveJob(j);
    tableChanged_ = true;
    if (lastShown && G.gGroupFilter != gAllGroups) {
        MsgBox(QStringLiteral("Last member of group ") + G.gGroupFilter +
               QStringLiteral(" deleted, display option reset to \"(All)\""));
        G.gGroupFilter = gAllGroups;
    }
    DisplayGrid();
    RowChange();
    FocusGrid();
    Buttons();
}

void frmLGrid::MoveTo(int Target) {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    int now = j;
    if (Target >= 1 && Target <= JobCount() && Target != j) {
        now = MoveJob(j, Target);
        tableChanged_ = true;
    }
    G.gCurJob = static_cast<std::int16_t>(now);
    DisplayGrid();
    noRowChange_ = true;
    SelectJob(now);
    noRowChange_ = false;
    RowChange();
    FocusGrid();
}

void frmLGrid::cmdTop_Click() {
    if (!rows_.empty()) MoveTo(rows_.front());
}

void frmLGrid::cmdUp1_Click() {
    const int row = fxgSchedGrid_->Row();
    if (row >= 2) MoveTo(FindArrayRow(row - 1));
}

void frmLGrid::cmdDown1_Click() {
    const int row = fxgSchedGrid_->Row();
    if (row >= 1 && row < fxgSchedGrid_->Rows() - 1) MoveTo(FindArrayRow(row + 1));
}

void frmLGrid::cmdBottom_Click() {
    if (!rows_.empty()) MoveTo(rows_.back());
}

void frmLGrid::cmdSkip_Click(Qt::KeyboardModifiers Shift) {
    Shift &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (Shift == Qt::KeyboardModifiers())
        skipMode_ = SkipMode::Toggle;
    else if (Shift == Qt::ShiftModifier)
        skipMode_ = SkipMode::UnskipAll;
    else if (Shift == Qt::ControlModifier)
        skipMode_ = SkipMode::SkipAll;
    std::vector<int> jobs;
    if (skipMode_ == SkipMode::Toggle) {
        const int j = FindArrayRow(fxgSchedGrid_->Row());
        if (j < 1) return;
        jobs.push_back(j);
    } else {
        if (rows_.empty()) return;
        jobs = rows_;
        if (MsgBox(QStringLiteral("Skip/Unskip %1 jobs?").arg(jobs.size()), MsgButtons::YesNo, MsgIcon::Question) !=
            MsgAnswer::Yes)
            return;
    }
    SkipJobs(jobs, skipMode_);
    if (SaveSchedule()) tableChanged_ = false;
    DisplayGrid();
    RowChange();
    FocusGrid();
}

void frmLGrid::cmdResched_Click() {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    RescheduleOne(j);
    tableChanged_ = true;
    DisplayGrid();
    RowChange();
    FocusGrid();
}

void frmLGrid::cmdEditJob_Click(Qt::KeyboardModifiers Shift) {
    const int j = FindArrayRow(fxgSchedGrid_->Row());
    if (j < 1) return;
    SetEditJobDesc(j);
    // The script with no modifier key held; with Shift, Ctrl or Alt the
    // documentation.
    const bool modified = (Shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) != 0;
    if (!modified && !editBatch_.isEmpty()) {
        QString error;
        if (!ShellOpen(editBatch_, &error)) MsgBox(error, MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    tmrGrid_->stop();
    OpenJobDoc(editName_, PutOnClipboard);
    tmrGrid_->start();
}

void frmLGrid::mnuCustomise_Click() {
    tmrGrid_->stop();
    {
        frmColSel dlg(this);
        dlg.exec();
    }
    SetProfileNames();
    ReadColProfile();
    DisplayGrid();
    SizeWindow();
    tmrGrid_->start();
}

// ---- Window events --------------------------------------------------------------

bool frmLGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        pressShift_ = static_cast<QMouseEvent*>(event)->modifiers();
        pressNoted_ = true;
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            pressShift_ = key->modifiers();
            pressNoted_ = true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmLGrid::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!loading_) SizeWindow();
}

void frmLGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Buttons();
    QDialog::changeEvent(event);
}

bool frmLGrid::Unload() {
    if (unloaded_) return true;
    tmrGrid_->stop();
    SizeWindow();
    // A layout that cannot be stored is not given up without asking: the
    // window stays open unless the operator chooses to close it all the same.
    const ProfileResult saved = SaveGridLayout(height() * kTwips);
    if (!saved && MsgBox(QStringLiteral("Could not save edit view profile\n\n") + saved.error +
                             QStringLiteral("\n\nClose the window without saving it?"),
                         MsgButtons::YesNo, MsgIcon::Warning) != MsgAnswer::Yes) {
        tmrGrid_->start();
        return false;
    }
    unloaded_ = true;
    // Deletes, moves and one-job reschedules live only in memory until a
    // save: the table is saved here rather than lost at exit.
    if (tableChanged_ && SaveSchedule()) tableChanged_ = false;
    return true;
}

void frmLGrid::done(int r) {
    bool closing = true;
    GuardFatal([this, &closing] { closing = Unload(); });
    if (closing) QDialog::done(r);
}
