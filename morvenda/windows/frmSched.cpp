#include "morvenda/windows/frmSched.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/prompter.h"
#include "common/text.h"
#include "common/textfile.h"
#include "gui/controls.h"
#include "gui/mnemonics.h"
#include "morvenda/core/jobdoc.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/runlog.h"
#include "morvenda/core/schedulefile.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/frmLogVw.h"
#include "morvenda/windows/frmResched.h"
#include "morvenda/windows/widgethelpers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Tab stops of the three lists, in dialog units (a quarter of the average
// character width each).
constexpr int kProgListTabStop = 150;
constexpr int kEventsTabStop = 48;
constexpr int kUnsubTabStop = 20;
// The width PaddedName pads a job name to.
constexpr int kPaddedNameChars = 8;

const QString kSuspendCaption = QStringLiteral("&Suspend");
const QString kUnsuspendCaption = QStringLiteral("Un&suspend");
const QString kHighLight = QStringLiteral("background-color: rgb(0, 255, 0)");

QString TabsAsBlanks(QString text) { return text.replace(QLatin1Char('\t'), QLatin1Char(' ')); }

// Draws an item's text with a tab stop every so many dialog units, so the
// run log's name TAB event lines line up in columns. A list whose lines begin
// with a blank-padded job name keeps its stops past the widest such name, so
// the text after the tab starts in one column whatever the name.
class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(int dialogUnits, QObject* parent, int paddedNameChars = 0)
        : QStyledItemDelegate(parent), units_(dialogUnits), nameChars_(paddedNameChars) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);

        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setWrapMode(QTextOption::NoWrap);
        layout.setTabStopDistance(tabStop(opt.fontMetrics));
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                                : QPalette::Inactive;
        const QPalette::ColorRole role =
            (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, role));
        painter->drawText(QRectF(area).adjusted(2, 0, -2, 0), text, layout);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // The list lays out every line whenever one comes or goes, and
        // measuring a text means shaping it: a line's size is kept while the
        // font and the style stay as they were.
        const QString text = index.data(Qt::DisplayRole).toString();
        const QString fontKey = option.font.key();
        const QStyle* style = option.widget ? option.widget->style() : nullptr;
        if (fontKey != fontKey_ || style != style_ || sizes_.size() > kMaxKeptSizes) {
            sizes_.clear();
            fontKey_ = fontKey;
            style_ = style;
        }
        if (const auto it = sizes_.constFind(text); it != sizes_.cend()) return *it;
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int width =
            option.fontMetrics
                .size(Qt::TextSingleLine | Qt::TextExpandTabs, text, static_cast<int>(tabStop(option.fontMetrics)))
                .width();
        size.setWidth(width + 8);
        sizes_.insert(text, size);
        return size;
    }

private:
    // Sizes kept: a few times the lines the run log list holds.
    static constexpr qsizetype kMaxKeptSizes = 4 * kProgListMax;

    qreal tabStop(const QFontMetrics& metrics) const {
        const qreal stop = units_ * metrics.averageCharWidth() / 4.0;
        if (nameChars_ <= 0) return stop;
        // The widest name the padding can hold, in the letters of a job name
        // that run widest, and a blank's room before the text that follows.
        int widest = 0;
        for (const QChar c : QStringLiteral("WM@%#&m_"))
            widest = std::max(widest, metrics.horizontalAdvance(QString(nameChars_, c)));
        return std::max(stop, static_cast<qreal>(widest + metrics.horizontalAdvance(QLatin1Char(' '))));
    }

    int units_;
    int nameChars_;
    mutable QHash<QString, QSize> sizes_;
    mutable QString fontKey_;
    mutable const QStyle* style_ = nullptr;
};

// A button of this dialog: Enter never presses one by default.
QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    QPushButton* b = NamedButton(parent, name, caption);
    b->setAutoDefault(false);
    return b;
}

QLabel* Label(const char* name, const QString& caption, QWidget* parent) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

// A line of the events or unsubmitted-jobs list: the entry's text and its
// tail, joined only when the line is shown or read, so a job's long wait text
// is not held a second time in its line.
class EntryItem : public QListWidgetItem {
public:
    explicit EntryItem(const ListEntry& e) : QListWidgetItem(e.text), entry_(e) { setData(Qt::UserRole, e.data); }

    QVariant data(int role) const override {
        if (role == Qt::DisplayRole && !entry_.tail.isEmpty()) return entry_.line();
        return QListWidgetItem::data(role);
    }

    /// Whether the item shows e: a text shared with e's is not compared
    /// character by character.
    bool shows(const ListEntry& e) const {
        const auto same = [](const QString& a, const QString& b) {
            return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
        };
        return entry_.data == e.data && same(entry_.text, e.text) && same(entry_.tail, e.tail);
    }

private:
    ListEntry entry_;
};

// A list of padded job name + tab + text lines.
QListWidget* List(const char* name, int tabStop, QWidget* parent) {
    auto* l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setUniformItemSizes(true);
    l->setItemDelegate(new TabStopDelegate(tabStop, l, kPaddedNameChars));
    return l;
}

}  // namespace

frmSched::frmSched(bool ShowEventsOption, QWidget* parent) : QDialog(parent), run_(*this) {
    setObjectName(QStringLiteral("frmSched"));
    setModal(true);
    run_.ShowEventsOption = ShowEventsOption;

    BuildStatusFrame();
    QGridLayout* buttons = BuildButtons();
    BuildProgressList();
    BuildEventLists();
    QMenuBar* bar = BuildMenus();

    tmrKick_ = new QTimer(this);
    tmrKick_->setObjectName(QStringLiteral("tmrKick"));
    // The kick interval display counts down to the next pass once a second.
    tmrCountdown_ = new QTimer(this);
    tmrCountdown_->setObjectName(QStringLiteral("tmrCountdown"));
    tmrCountdown_->setInterval(1000);

    LayOutControls(bar, buttons);

    // What the window offers before the run starts: the "Status" item has no
    // action of its own. A run date starts with Next Day off; the schedule's
    // completion turns it on.
    mnuViewStatus_->setEnabled(false);
    SetButton(cmdNextDay_, mnuScheduleNext_, false);
    mnuTrigger_->setEnabled(false);

    ConnectButtonsAndMenus();
    ConnectLists();

    resize(9600 / kTwipsPerPixel, kHeightListsHidden / kTwipsPerPixel);

    // Alt+X, Alt+V, Alt+H: the menu-bar entries, not the buttons that share
    // their letters.
    MenuBarWinsMnemonics(this);

    // Every line the run logs shows here while the window lives.
    G.ProgList = progList_;
}

void frmSched::BuildStatusFrame() {
    // The status frame: title, run date, start time, kick interval, failures.
    fraStatus_ = new QGroupBox(QStringLiteral("Schedule Status"), this);
    fraStatus_->setObjectName(QStringLiteral("fraStatus"));
    lblTitle_ = Label("lblTitle", QString(), fraStatus_);
    QFont titleFont = lblTitle_->font();
    titleFont.setBold(true);
    lblTitle_->setFont(titleFont);
    lblRelDays_ = Label("lblRelDays", QString(), fraStatus_);
    // The run date's text differs from day to day; the window keeps one
    // width: the label has room for the longest text any date gives.
    lblRelDays_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblRelDays_->setMinimumWidth(lblRelDays_->fontMetrics().horizontalAdvance(
        QStringLiteral(" (+31CDOM, -31CDOM, +23WDOM, -23WDOM, +5Wed, -5Wed)W")));
    lblSchedStart_ = Label("lblSchedStart", QString(), fraStatus_);
    lblKick_ = Label("lblKick", QString(), fraStatus_);
    lblFailed_ = Label("lblFailed", QStringLiteral("One or More Submission/Run Failures"), fraStatus_);
    lblFailed_->setStyleSheet(QStringLiteral("color: red"));
    lblFailed_->hide();
    chkIgnCPU_ = new QCheckBox(QStringLiteral("Ignore CPU Limit"), fraStatus_);
    chkIgnCPU_->setObjectName(QStringLiteral("chkIgnCPU"));
    auto* status = new QGridLayout(fraStatus_);
    status->addWidget(lblTitle_, 0, 0, 1, 2);
    status->addWidget(Label("lblRunDateCap", QStringLiteral("Run Date"), fraStatus_), 1, 0, Qt::AlignTop);
    status->addWidget(lblRelDays_, 1, 1);
    status->addWidget(Label("lblStartTimeCap", QStringLiteral("Start Time"), fraStatus_), 2, 0);
    status->addWidget(lblSchedStart_, 2, 1);
    status->addWidget(Label("lblKickCap", QStringLiteral("Max/Next Kick Interval "), fraStatus_), 3, 0);
    status->addWidget(lblKick_, 3, 1);
    status->addWidget(lblFailed_, 4, 0, 1, 2);
    status->addWidget(chkIgnCPU_, 5, 0, 1, 2);
    status->setColumnStretch(1, 1);
    fraStatus_->findChild<QLabel*>(QStringLiteral("lblRunDateCap"))->setBuddy(lblRelDays_);
    fraStatus_->findChild<QLabel*>(QStringLiteral("lblStartTimeCap"))->setBuddy(lblSchedStart_);
    fraStatus_->findChild<QLabel*>(QStringLiteral("lblKickCap"))->setBuddy(lblKick_);
}

QGridLayout* frmSched::BuildButtons() {
    cmdKick_ = Button("cmdKick", QStringLiteral("&Kick"), this);
    CmdKickInt_ = Button("CmdKickInt", QStringLiteral("Kick &Int"), this);
    cmdModSched_ = Button("cmdModSched", QStringLiteral("&Mod Sched"), this);
    cmdSuspend_ = Button("cmdSuspend", kSuspendCaption, this);
    cmdNextDay_ = Button("cmdNextDay", QStringLiteral("&Next Day"), this);
    cmdExit_ = Button("cmdExit", QStringLiteral("E&xit"), this);
    cmdHelp_ = Button("cmdHelp", QStringLiteral("&Help"), this);
    cmdShowEvents_ = Button("cmdShowEvents", QStringLiteral("Show E&vents/Unsubmitted Job Status"), this);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdKick_, 0, 0);
    buttons->addWidget(CmdKickInt_, 0, 1);
    buttons->addWidget(cmdSuspend_, 1, 0);
    buttons->addWidget(cmdModSched_, 1, 1);
    buttons->addWidget(cmdNextDay_, 2, 0);
    buttons->addWidget(cmdHelp_, 2, 1);
    buttons->addWidget(cmdExit_, 3, 0, 1, 2);
    buttons->setRowStretch(4, 1);
    return buttons;
}

void frmSched::BuildProgressList() {
    progList_ = new QStringListModel(this);
    lstProgList_ = new QListView(this);
    lstProgList_->setObjectName(QStringLiteral("lstProgList"));
    lstProgList_->setModel(progList_);
    lstProgList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstProgList_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every line is measured, so a long one brings the horizontal scroll bar
    // instead of being cut.
    lstProgList_->setUniformItemSizes(false);
    lstProgList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstProgList_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lstProgList_->setItemDelegate(new TabStopDelegate(kProgListTabStop, lstProgList_));
    // The newest line stays whole in view whatever changes the list's room:
    // the window's first layout, the lists shown or hidden, a scroll bar.
    connect(lstProgList_->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            [this](int, int max) { lstProgList_->verticalScrollBar()->setValue(max); });
}

void frmSched::BuildEventLists() {
    // The events and unsubmitted-jobs lists, shown by Show Events.
    lists_ = new QWidget(this);
    lists_->setObjectName(QStringLiteral("fraLists"));
    lblEvents_ = Label("lblEvents", QStringLiteral("Untriggered Events"), lists_);
    lsbEvents_ = List("lsbEvents", kEventsTabStop, lists_);
    lsbEvents_->setToolTip(QStringLiteral("Double click entry to trigger event"));
    lblUnsubJob_ = Label("lblUnsubJob", QStringLiteral("Unsubmitted Job Status"), lists_);
    lsbUnsub_ = List("lsbUnsub", kUnsubTabStop, lists_);
    lsbUnsub_->setContextMenuPolicy(Qt::PreventContextMenu);
    lsbUnsub_->viewport()->installEventFilter(this);
    auto* eventsCol = new QVBoxLayout;
    eventsCol->addWidget(lblEvents_);
    eventsCol->addWidget(lsbEvents_);
    auto* unsubCol = new QVBoxLayout;
    unsubCol->addWidget(lblUnsubJob_);
    unsubCol->addWidget(lsbUnsub_);
    auto* listsRow = new QHBoxLayout(lists_);
    listsRow->setContentsMargins(0, 0, 0, 0);
    listsRow->addLayout(eventsCol, 1);
    listsRow->addLayout(unsubCol, 1);
    lblEvents_->setBuddy(lsbEvents_);
    lblUnsubJob_->setBuddy(lsbUnsub_);
    lstProgList_->setAccessibleName(QStringLiteral("Progress"));
    lblEvents_->hide();
    lblUnsubJob_->hide();
    lists_->hide();
}

QMenuBar* frmSched::BuildMenus() {
    // Menus.
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("mnuBar"));
    mnuExit_ = bar->addAction(QStringLiteral("E&xit"));
    mnuExit_->setObjectName(QStringLiteral("mnuExit"));
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    mnuViewEvents_ = NamedMenuItem(view, "mnuViewEvents", QStringLiteral("&Events"));
    mnuViewStatus_ = NamedMenuItem(view, "mnuViewStatus", QStringLiteral("&Status"));
    mnuViewLog_ = NamedMenuItem(view, "mnuViewLog", QStringLiteral("&Log"));
    mnuJobDoc_ = NamedMenuItem(view, "mnuJobDoc", QStringLiteral("&Job Documentation"));
    QMenu* schedule = bar->addMenu(QStringLiteral("Sch&edule"));
    schedule->setObjectName(QStringLiteral("mnuSchedule"));
    mnuScheduleSuspend_ = NamedMenuItem(schedule, "mnuScheduleSuspend", QStringLiteral("&Suspend"));
    mnuScheduleModify_ = NamedMenuItem(schedule, "mnuScheduleModify", QStringLiteral("&Modify"));
    mnuScheduleKick_ = NamedMenuItem(schedule, "mnuScheduleKick", QStringLiteral("&Kick"));
    mnuScheduleNext_ = NamedMenuItem(schedule, "mnuScheduleNext", QStringLiteral("&Next Day Rollover"));
    mnuKickInterval_ = NamedMenuItem(schedule, "mnuKickInterval", QStringLiteral("Kick &Interval"));
    mnuTrigger_ = bar->addAction(QStringLiteral("&Trigger Event"));
    mnuTrigger_->setObjectName(QStringLiteral("mnuTrigger"));
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpF1_ = NamedMenuItem(help, "mnuHelpF1", QStringLiteral("&Help"));
    mnuHelpF1_->setShortcut(QKeySequence(Qt::Key_F1));

    puUnsub_ = new QMenu(QStringLiteral("Unsub"), this);
    puUnsub_->setObjectName(QStringLiteral("puUnsub"));
    puStatus_ = NamedMenuItem(puUnsub_, "puStatus", QStringLiteral("&Status"));
    puForceSub_ = NamedMenuItem(puUnsub_, "puForceSub", QStringLiteral("&Force Submit"));
    return bar;
}

void frmSched::LayOutControls(QMenuBar* bar, QGridLayout* buttons) {
    auto* top = new QHBoxLayout;
    top->addWidget(fraStatus_, 1);
    top->addLayout(buttons);
    auto* all = new QVBoxLayout(this);
    all->setMenuBar(bar);
    all->addLayout(top);
    all->addWidget(lstProgList_, 1);
    all->addWidget(cmdShowEvents_);
    all->addWidget(lists_, 1);
    NameControls(this);
}

void frmSched::ConnectButtonsAndMenus() {
    connect(cmdKick_, &QPushButton::clicked, this, &frmSched::cmdKick_Click);
    connect(CmdKickInt_, &QPushButton::clicked, this, &frmSched::CmdKickInt_Click);
    connect(cmdSuspend_, &QPushButton::clicked, this, &frmSched::cmdSuspend_Click);
    connect(cmdShowEvents_, &QPushButton::clicked, this, &frmSched::cmdShowEvents_Click);
    connect(cmdNextDay_, &QPushButton::clicked, this, &frmSched::cmdNextDay_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &frmSched::cmdExit_Click);
    connect(cmdHelp_, &QPushButton::clicked, this, &frmSched::cmdHelp_Click);
    connect(cmdModSched_, &QPushButton::clicked, this, &frmSched::cmdModSched_Click);
    connect(mnuViewLog_, &QAction::triggered, this, &frmSched::mnuViewLog_Click);
    connect(tmrKick_, &QTimer::timeout, this, &frmSched::tmrKick_Timer);
    connect(tmrCountdown_, &QTimer::timeout, this, &frmSched::ShowCountdown);
    connect(chkIgnCPU_, &QCheckBox::toggled, this, [this](bool on) { run_.IgnoreCpuLimit = on; });

    // Menu items press their buttons, so a disabled button's item does nothing.
    const auto press = [](QAction* item, QPushButton* button) {
        QObject::connect(item, &QAction::triggered, button, &QPushButton::click);
    };
    press(mnuExit_, cmdExit_);
    press(mnuViewEvents_, cmdShowEvents_);
    press(mnuScheduleSuspend_, cmdSuspend_);
    press(mnuScheduleModify_, cmdModSched_);
    press(mnuScheduleKick_, cmdKick_);
    press(mnuScheduleNext_, cmdNextDay_);
    press(mnuKickInterval_, CmdKickInt_);
    press(mnuHelpF1_, cmdHelp_);
    connect(mnuTrigger_, &QAction::triggered, this, &frmSched::lsbEvents_DblClick);
}

void frmSched::ConnectLists() {
    connect(lstProgList_, &QListView::clicked, this, &frmSched::lstProgList_Click);
    connect(lstProgList_, &QListView::doubleClicked, this, &frmSched::lstProgList_DblClick);
    connect(mnuJobDoc_, &QAction::triggered, this, &frmSched::lstProgList_DblClick);
    // The newest line of the progress list is selected and scrolled into view.
    connect(progList_, &QAbstractItemModel::rowsInserted, this, [this] { MarkChanged(progDirty_); });

    connect(lsbEvents_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_) {
            const QList<QListWidgetItem*> sel = lsbEvents_->selectedItems();
            run_.EventsSelected = sel.isEmpty() ? -1 : lsbEvents_->row(sel.first());
        }
    });
    connect(lsbUnsub_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_) {
            const QList<QListWidgetItem*> sel = lsbUnsub_->selectedItems();
            run_.UnsubSelected = sel.isEmpty() ? -1 : lsbUnsub_->row(sel.first());
        }
    });
    connect(lsbEvents_, &QListWidget::itemClicked, this, &frmSched::lsbEvents_Click);
    connect(lsbEvents_, &QListWidget::itemDoubleClicked, this, &frmSched::lsbEvents_DblClick);
    connect(lsbUnsub_, &QListWidget::itemClicked, this, &frmSched::lsbUnsub_Click);
    connect(puStatus_, &QAction::triggered, this, &frmSched::puStatus_Click);
    connect(puForceSub_, &QAction::triggered, this, &frmSched::puForceSub_click);
}

frmSched::~frmSched() {
    tmrKick_->stop();
    tmrCountdown_->stop();
    // The controls outlive this part of the window while they are destroyed:
    // nothing they signal then may reach the run.
    for (QObject* sender : {static_cast<QObject*>(lsbEvents_), static_cast<QObject*>(lsbUnsub_),
                            static_cast<QObject*>(progList_), static_cast<QObject*>(tmrKick_)})
        sender->disconnect(this);
    if (G.ProgList == progList_) G.ProgList = nullptr;
}

int frmSched::exec() {
    const int result = QDialog::exec();
    if (fatal_) throw *fatal_;
    return result;
}

// Runs a piece of the run's logic. A fatal stop ends the window at once (its
// message has been shown and logged); a close asked for while a pass was in
// progress is carried out once the pass has ended.
template <typename F>
void frmSched::Run(F Logic) {
    if (fatal_) return;
    ++runDepth_;
    try {
        Logic();
    } catch (const FatalStop& stop) {
        if (!fatal_) fatal_ = stop;
    }
    --runDepth_;
    RefreshLists();
    if (fatal_) {
        tmrKick_->stop();
        closed_ = true;
        QDialog::done(QDialog::Rejected);
        return;
    }
    if (closeRequested_ && !run_.KickBusy && runDepth_ == 0) {
        closeRequested_ = false;
        close();
    }
}

// A window that shows a modal child holds its kick timer meanwhile, and
// starts it again afterwards unless the run has set it anew.
template <typename F>
void frmSched::Held(F Modal) {
    const bool wasActive = tmrKick_->isActive();
    tmrKick_->stop();
    Modal();
    if (wasActive && !tmrKick_->isActive() && !closed_ && tmrKick_->interval() > 0) tmrKick_->start();
}

// ---------------------------------------------------------------- load

void frmSched::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (loadQueued_) return;
    loadQueued_ = true;
    setWindowTitle(G.gProgTitle);
    lblTitle_->setText(G.gProgTitle);
    // The run date starts once the window is up (and, when shown with
    // exec(), inside its event loop, so a fatal stop can end it).
    QTimer::singleShot(0, this, &frmSched::Form_Load);
}

void frmSched::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
    ShownHeight = kHeightListsHidden;
    loadWidth_ = width();
    ApplyHeight();
    const DateVal now = Now();
    fraStatus_->setTitle(QStringLiteral("Started on ") + FormatDate(now, QStringLiteral("dd-mmm-yy")) +
                         QStringLiteral(" @ ") + FormatDate(now, QStringLiteral("hh:mm:ss")));
    G.gTrigWarned = false;
    Run([this] {
        if (G.gSuspended) {
            cmdSuspend_->setText(kUnsuspendCaption);
            HighLightButton(ExecButton::Suspend, true);
        }
        run_.InitSchedule();
    });
}

void frmSched::ApplyHeight() {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    // The stored heights are those of the whole window, its frame included
    // (a frame the window manager has not reported yet counts as none), and
    // never more than the screen holds.
    const int frame = std::clamp(frameGeometry().height() - geometry().height(), 0, 100);
    int outer = ShownHeight / kTwipsPerPixel;
    if (const QScreen* s = screen()) outer = std::min(outer, s->availableGeometry().height());
    const QSize wanted(loadWidth_ > 0 ? loadWidth_ : width(), std::max(1, outer - frame));
    if (size() == wanted) return;
    sizing_ = true;
    resize(wanted);
    sizing_ = false;
}

void frmSched::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (loaded_ && !sizing_) ApplyHeight();
}

// ---------------------------------------------------------------- what the run shows

void frmSched::HighLightButton(ExecButton button, bool on) {
    QPushButton* b = button == ExecButton::Kick ? cmdKick_ : cmdSuspend_;
    // No window events run in the middle of a pass: the button alone is
    // painted now, so its colour shows while the pass works.
    b->setStyleSheet(on ? kHighLight : QString());
    b->repaint();
}

void frmSched::SetFailedVisible(bool visible) { lblFailed_->setVisible(visible); }

void frmSched::ScheduleCompleted(bool suspended) {
    SetButton(CmdKickInt_, mnuKickInterval_, false);
    SetButton(cmdNextDay_, mnuScheduleNext_, true);
    if (!suspended) SetButton(cmdSuspend_, mnuScheduleSuspend_, false);
}

void frmSched::SetTimer(int intervalMs) {
    tmrKick_->stop();
    tmrKick_->setInterval(intervalMs);
    if (intervalMs > 0 && !closed_) tmrKick_->start();
    if (tmrKick_->isActive())
        tmrCountdown_->start();
    else
        tmrCountdown_->stop();
}

void frmSched::SetKickLabel(const QString& text) {
    // "60/5 seconds": the configured seconds, then the seconds to the next
    // pass, which the countdown brings down.
    kickMax_ = text.section(QLatin1Char('/'), 0, 0);
    lblKick_->setText(text);
}

void frmSched::ShowCountdown() {
    if (!tmrKick_->isActive() || kickMax_.isEmpty()) return;
    // The countdown ticks with the kick timer, so its ticks fall on whole
    // seconds of the interval.
    const int left = (std::max(0, tmrKick_->remainingTime()) + 500) / 1000;
    lblKick_->setText(kickMax_ + QLatin1Char('/') + QString::number(left) + QStringLiteral(" seconds"));
}

void frmSched::SetRunDateLabels(const QString& relDays, const QString& schedStart) {
    lblRelDays_->setText(relDays);
    lblSchedStart_->setText(schedStart);
    // A run date starts: what the completion of the previous one turned off
    // is on again. Next Day, once offered, stays offered.
    SetButton(CmdKickInt_, mnuKickInterval_, true);
    SetButton(cmdSuspend_, mnuScheduleSuspend_, true);
}

// The lists are brought up to date when window events are next let run, or
// when the run's work returns to the window, whichever comes first: a pass
// that adds or removes many entries or lines one by one then updates each list
// once, not once per entry.
void frmSched::EventsChanged() { MarkChanged(eventsDirty_); }

void frmSched::UnsubChanged() { MarkChanged(unsubDirty_); }

void frmSched::MarkChanged(bool& flag) {
    flag = true;
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        RefreshLists();
    });
}

void frmSched::RefreshLists() {
    if (progDirty_ && progList_->rowCount() > 0) {
        progDirty_ = false;
        const QModelIndex newest = progList_->index(progList_->rowCount() - 1);
        lstProgList_->selectionModel()->setCurrentIndex(newest, QItemSelectionModel::ClearAndSelect);
        lstProgList_->scrollTo(newest);
    }
    if (eventsDirty_) {
        eventsDirty_ = false;
        FillList(lsbEvents_, run_.Events, run_.EventsSelected);
    }
    if (unsubDirty_) {
        unsubDirty_ = false;
        FillList(lsbUnsub_, run_.Unsub, run_.UnsubSelected);
    }
}

void frmSched::PressShowEvents() {
    // The start-up option shows the lists; at a later run date they stay as
    // the operator left them.
    if (cmdShowEvents_->text().startsWith(QLatin1Char('S'))) cmdShowEvents_->click();
}

void frmSched::SetButton(QPushButton* button, QAction* item, bool enabled) {
    button->setEnabled(enabled);
    item->setEnabled(enabled);
}

// Brings the list in line with the entries, replacing only what lies between
// the unchanged start and the unchanged end: the run mostly adds an entry at
// the end, removes one, or lists the same entries again.
void frmSched::FillList(QListWidget* list, const std::vector<ListEntry>& entries, int selected) {
    filling_ = true;
    // Every item of the two lists is an EntryItem made here.
    const auto same = [&](int row, size_t entry) {
        return static_cast<const EntryItem*>(list->item(row))->shows(entries[entry]);
    };
    const int oldCount = list->count();
    const int newCount = static_cast<int>(entries.size());
    int head = 0;
    while (head < oldCount && head < newCount && same(head, static_cast<size_t>(head))) ++head;
    int tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           same(oldCount - 1 - tail, static_cast<size_t>(newCount - 1 - tail)))
        ++tail;
    for (int row = oldCount - tail - 1; row >= head; --row) delete list->takeItem(row);
    for (int row = head; row < newCount - tail; ++row) {
        list->insertItem(row, new EntryItem(entries[static_cast<size_t>(row)]));
    }
    if (selected >= 0 && selected < list->count())
        list->setCurrentRow(selected);
    else
        list->clearSelection();
    filling_ = false;
}

// ---------------------------------------------------------------- buttons

void frmSched::cmdKick_Click() {
    Run([this] { run_.cmdKick_Click(); });
}

void frmSched::CmdKickInt_Click() {
    Run([this] { run_.CmdKickInt_Click(); });
}

void frmSched::tmrKick_Timer() {
    // A tick while a pass lets window events run waits for the next one.
    if (!run_.KickBusy) cmdKick_->click();
}

void frmSched::cmdSuspend_Click() {
    Run([this] {
        if (cmdSuspend_->text() == kSuspendCaption) {
            cmdSuspend_->setText(kUnsuspendCaption);
            G.gSuspended = true;
            HighLightButton(ExecButton::Suspend, true);
        } else {
            cmdSuspend_->setText(kSuspendCaption);
            G.gSuspended = false;
            HighLightButton(ExecButton::Suspend, false);
        }
    });
}

void frmSched::cmdShowEvents_Click() {
    QString caption = cmdShowEvents_->text();
    const bool show = caption.startsWith(QLatin1Char('S'));
    caption.replace(0, 4, show ? QStringLiteral("Hide") : QStringLiteral("Show"));
    cmdShowEvents_->setText(caption);
    lblUnsubJob_->setVisible(show);
    lblEvents_->setVisible(show);
    lists_->setVisible(show);
    ShownHeight = show ? kHeightListsShown : kHeightListsHidden;
    ApplyHeight();
}

void frmSched::cmdNextDay_Click() {
    Held([this] {
        if (MsgBox(QStringLiteral("Are you sure you want to rollover to the next day's schedule?"), MsgButtons::YesNo,
                   MsgIcon::Question, QStringLiteral("Roll Over")) == MsgAnswer::No)
            return;
        Run([this] { run_.DoNextDay(); });
    });
}

void frmSched::cmdExit_Click() { close(); }

void frmSched::reject() { close(); }

void frmSched::cmdHelp_Click() {
    Held([] { ShowHelp(QStringLiteral("Schedule Execution Form")); });
}

void frmSched::cmdModSched_Click() {
    Held([this] {
        Run([this] {
            frmResched dialog([this] { run_.UnsubBuild(); }, this);
            dialog.exec();
        });
    });
    if (G.gSchedModified) {
        G.gSchedModified = false;
        SetButton(CmdKickInt_, mnuKickInterval_, true);
        cmdKick_->click();
    }
    if (!G.gSuspended) SetButton(cmdSuspend_, mnuScheduleSuspend_, true);
}

void frmSched::mnuViewLog_Click() {
    cmdKick_->setEnabled(false);
    frmLogVw viewer(this);
    viewer.exec();
    cmdKick_->setEnabled(true);
}

// ---------------------------------------------------------------- closing

bool frmSched::Form_QueryUnload() {
    if (G.gSchedComplete) return true;
    bool ok = false;
    Held([&ok] {
        ok = MsgBox(QStringLiteral("The Schedule is not yet complete.  It will be resumed from the point of "
                                   "interruption when next run for the current run date.\nOK to Exit?"),
                    MsgButtons::OkCancel, MsgIcon::Question, gAppName) != MsgAnswer::Cancel;
    });
    return ok;
}

void frmSched::Form_Unload() {
    tmrKick_->stop();
    Run([] {
        SaveSchedule();
        WriteLog(G.gLogFile, QStringLiteral("Closing"));
    });
}

void frmSched::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    // A pass in progress (letting window events run) ends first; the window
    // then closes as asked.
    if (run_.KickBusy || runDepth_ > 0) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    if (!Form_QueryUnload() || closed_) {
        event->setAccepted(closed_);
        return;
    }
    Form_Unload();
    if (!closed_) {
        closed_ = true;
        QDialog::done(QDialog::Accepted);
    }
    event->accept();
}

// ---------------------------------------------------------------- lists

void frmSched::lstProgList_Click(const QModelIndex& index) {
    const QString line = index.data(Qt::DisplayRole).toString();
    const int j = FindJob(LeftOf(line, QStringLiteral("(")).trimmed());
    const QString desc = j > 0 ? Job(j).JobDesc.trimmed() : QString();
    lstProgList_->setToolTip(desc.isEmpty() ? TabsAsBlanks(line) : desc);
}

void frmSched::lstProgList_DblClick() {
    const QString line = lstProgList_->currentIndex().data(Qt::DisplayRole).toString();
    const QString name = LeftOf(line, QStringLiteral("(")).trimmed();
    if (name.isEmpty() || FindJob(name) < 1) return;
    Held([&name] {
        if (!PathExists(JobDocFile(name)) &&
            MsgBox(QStringLiteral("There is no runtime documentation file for job ") + name +
                       QStringLiteral(".  Do you wish to create one?"),
                   MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Job Documentation")) == MsgAnswer::No)
            return;
        OpenJobDoc(name, PutOnClipboard);
    });
}

void frmSched::lsbEvents_Click() { mnuTrigger_->setEnabled(true); }

void frmSched::lsbEvents_DblClick() {
    Held([this] { Run([this] { run_.TriggerSelectedEvent(); }); });
    if (run_.EventsSelected < 0) mnuTrigger_->setEnabled(false);
}

void frmSched::lsbUnsub_Click() {
    const QList<QListWidgetItem*> sel = lsbUnsub_->selectedItems();
    if (!sel.isEmpty()) lsbUnsub_->setToolTip(TabsAsBlanks(sel.first()->text()));
}

void frmSched::puStatus_Click() {
    Held([this] {
        Run([this] {
            if (run_.UnsubSelected < 0) return;
            lsbUnsub_->setToolTip(run_.puStatus_Click());
        });
    });
}

void frmSched::puForceSub_click() {
    Held([this] { Run([this] { run_.puForceSub_click(); }); });
}

int frmSched::RowAt(QListWidget* list, const QPoint& pos) const {
    const QModelIndex index = list->indexAt(pos);
    return index.isValid() ? index.row() : -1;
}

bool frmSched::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lsbUnsub_->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* me = static_cast<QMouseEvent*>(event);
            UnsubDownRow = me->button() == Qt::RightButton ? RowAt(lsbUnsub_, me->position().toPoint()) : -1;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* me = static_cast<QMouseEvent*>(event);
            const QPoint at = me->position().toPoint();
            if (UnsubDownRow != -1 && me->button() == Qt::RightButton && RowAt(lsbUnsub_, at) != -1) {
                lsbUnsub_->setCurrentRow(UnsubDownRow);
                QCoreApplication::processEvents();
                puUnsub_->popup(lsbUnsub_->viewport()->mapToGlobal(at));
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
