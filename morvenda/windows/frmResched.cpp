#include "morvenda/windows/frmResched.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "gui/controls.h"
#include "gui/mnemonics.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/widgethelpers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QRadioButton* Option(QWidget* parent, const char* name, const QString& caption) {
    auto* o = new QRadioButton(caption, parent);
    o->setObjectName(QLatin1String(name));
    return o;
}

}  // namespace

frmResched::frmResched(std::function<void()> UnsubBuild, QWidget* parent)
    : QDialog(parent), unsubBuild_(std::move(UnsubBuild)) {
    setObjectName(QStringLiteral("frmResched"));
    setWindowTitle(QStringLiteral("Modify Schedule"));
    if (parent) setWindowIcon(parent->windowIcon());

    lsbResched_ = new QListWidget(this);
    lsbResched_->setObjectName(QStringLiteral("lsbResched"));
    lsbResched_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Names are blank-filled to eight characters: a fixed font keeps the
    // status texts after the TAB in one column.
    lsbResched_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* lblResched = new QLabel(QStringLiteral("&Jobs"), this);
    lblResched->setObjectName(QStringLiteral("lblResched"));
    lblResched->setBuddy(lsbResched_);

    auto* lblGroup = new QLabel(QStringLiteral("&Group:"), this);
    lblGroup->setObjectName(QStringLiteral("lblGroup"));
    cboGroup_ = new QComboBox(this);
    cboGroup_->setObjectName(QStringLiteral("cboGroup"));
    lblGroup->setBuddy(cboGroup_);

    optUnsched_ = Option(this, "optUnsched", QStringLiteral("&Unschedule Job(s)"));
    OptReschedule_ = Option(this, "OptReschedule", QStringLiteral("&Reschedule Job(s)"));
    chkInclDep_ = Check(this, "chkInclDep", QStringLiteral("Casca&de Dependent Jobs"));
    chkInclUnsch_ = Check(this, "chkInclUnsch", QStringLiteral("&Include Unscheduled Jobs"));
    chkSorted_ = Check(this, "chkSorted", QStringLiteral("Sorted by Name"));
    QPushButton* cmdClear = NamedButton(this, "cmdClear", QStringLiteral("C&lear"));
    cmdOK_ = NamedButton(this, "cmdOK", QStringLiteral("&OK"));
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    QPushButton* cmdHelp = NamedButton(this, "cmdHelp", QStringLiteral("&Help"));
    for (QPushButton* b : {cmdClear, cmdOK_, cmdCancel, cmdHelp}) b->setAutoDefault(false);

    QMenuBar* bar = DialogMenuBar(this, cmdOK_, cmdCancel, cmdHelp, QStringLiteral("&OK"), "mnuHelpF1");

    auto* controls = new QGridLayout;
    controls->addWidget(lblGroup, 0, 0);
    controls->addWidget(cboGroup_, 0, 1);
    controls->addWidget(optUnsched_, 1, 0, 1, 2);
    controls->addWidget(OptReschedule_, 2, 0, 1, 2);
    controls->addWidget(chkInclDep_, 3, 0, 1, 2);
    controls->addWidget(chkInclUnsch_, 4, 0, 1, 2);
    controls->addWidget(chkSorted_, 5, 0, 1, 2);
    controls->setRowStretch(6, 1);
    auto* list = new QVBoxLayout;
    list->addWidget(lblResched);
    list->addWidget(lsbResched_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(list, 1);
    top->addLayout(controls);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdClear);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdHelp);
    auto* all = new QVBoxLayout(this);
    all->setMenuBar(bar);
    all->addLayout(top, 1);
    all->addLayout(buttons);

    connect(optUnsched_, &QRadioButton::clicked, this, &frmResched::optUnsched_Click);
    connect(OptReschedule_, &QRadioButton::clicked, this, &frmResched::OptReschedule_Click);
    connect(chkInclDep_, &QCheckBox::clicked, this, &frmResched::chkInclDep_Click);
    connect(chkInclUnsch_, &QCheckBox::clicked, this, [this] {
        if (OptReschedule_->isChecked()) OptReschedule_Click();
    });
    connect(chkSorted_, &QCheckBox::clicked, this, &frmResched::chkSorted_Click);
    connect(cboGroup_, &QComboBox::currentIndexChanged, this, &frmResched::cboGroup_Click);
    connect(lsbResched_, &QListWidget::itemSelectionChanged, this, &frmResched::lsbResched_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmResched::cmdClear_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmResched::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmResched::cmdCancel_Click);
    const auto help = [] { ShowHelp(QStringLiteral("Modify Schedule")); };
    connect(cmdHelp, &QPushButton::clicked, this, help);

    // Loading: the group filter is kept when one of the jobs still has that
    // group; the list stays empty until an option is chosen.
    if (!FillGroupCombo(cboGroup_)) G.gGroupFilter = gAllGroups;
    cboGroup_->setEnabled(false);
    cmdOK_->setEnabled(false);
    chkInclDep_->setEnabled(false);
    chkInclUnsch_->setEnabled(false);
    NameControls(this);
    // The menu bar wins the Alt+letters it shares with the buttons.
    MenuBarWinsMnemonics(this);
    adjustSize();
    PositionForm(this, QStringLiteral("CENTRE"));
}

int frmResched::exec() {
    const int result = QDialog::exec();
    Form_Unload();
    return result;
}

void frmResched::Rebuild(ReschedMode Mode) {
    {
        const QSignalBlocker block(lsbResched_);
        lsbResched_->clear();
        listed_ = ReschedCandidates(Mode, chkInclUnsch_->isChecked(), chkSorted_->isChecked(), G.gGroupFilter);
        for (const int j : listed_) {
            auto* item = new QListWidgetItem(ReschedEntryText(j), lsbResched_);
            item->setData(Qt::UserRole, j);
        }
        lsbResched_->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    }
    const bool unschedule = Mode == ReschedMode::Unschedule;
    chkInclDep_->setEnabled(unschedule);
    chkInclUnsch_->setEnabled(!unschedule);
    cmdOK_->setEnabled(false);
    cboGroup_->setEnabled(true);
}

void frmResched::optUnsched_Click() {
    optUnsched_->setChecked(true);
    Rebuild(ReschedMode::Unschedule);
}

void frmResched::OptReschedule_Click() {
    OptReschedule_->setChecked(true);
    Rebuild(ReschedMode::Reschedule);
}

void frmResched::ForceRebuild() {
    if (optUnsched_->isChecked())
        optUnsched_Click();
    else if (OptReschedule_->isChecked())
        OptReschedule_Click();
}

std::vector<bool> frmResched::Selection() const {
    std::vector<bool> sel(listed_.size(), false);
    for (int row = 0; row < lsbResched_->count() && row < static_cast<int>(sel.size()); ++row)
        sel[static_cast<size_t>(row)] = lsbResched_->item(row)->isSelected();
    return sel;
}

void frmResched::lsbResched_Click() {
    if (selecting_) return;
    cmdOK_->setEnabled(!lsbResched_->selectedItems().isEmpty());
    SelectDeps();
}

void frmResched::chkInclDep_Click() { SelectDeps(); }

void frmResched::SelectDeps() {
    // A cascade box that is disabled (the reschedule list) takes no part,
    // whatever it shows.
    if (!chkInclDep_->isEnabled() || !chkInclDep_->isChecked()) return;
    std::vector<bool> sel = Selection();
    if (!::SelectDeps(listed_, sel)) return;
    selecting_ = true;
    for (size_t row = 0; row < sel.size(); ++row) lsbResched_->item(static_cast<int>(row))->setSelected(sel[row]);
    selecting_ = false;
    cmdOK_->setEnabled(true);
}

void frmResched::chkSorted_Click() { ForceRebuild(); }

void frmResched::cboGroup_Click() {
    if (G.gFillingGroups) return;
    G.gGroupFilter = cboGroup_->currentText();
}

void frmResched::cmdClear_Click() {
    lsbResched_->clearSelection();
    cmdOK_->setEnabled(false);
}

void frmResched::cmdOK_Click() {
    Result = 1;
    close();
}

void frmResched::cmdCancel_Click() {
    Result = 2;
    close();
}

void frmResched::reject() { close(); }

void frmResched::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (Result == 0) {
        if (lsbResched_->selectedItems().isEmpty()) {
            Result = 2;
        } else {
            const MsgAnswer a = MsgBox(QStringLiteral("Do you want to apply the select modifications to the schedule?"),
                                       MsgButtons::YesNoCancel, MsgIcon::Question, gAppName);
            if (a == MsgAnswer::Cancel) {
                event->ignore();
                return;
            }
            Result = a == MsgAnswer::Yes ? 1 : 2;
        }
    }
    closed_ = true;
    event->accept();
    QDialog::done(Result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

void frmResched::Form_Unload() {
    if (Result != 1 || applied_) return;
    applied_ = true;
    std::vector<int> chosen;
    const std::vector<bool> sel = Selection();
    for (size_t row = 0; row < sel.size(); ++row)
        if (sel[row]) chosen.push_back(listed_[row]);
    const ReschedMode mode = OptReschedule_->isChecked() ? ReschedMode::Reschedule : ReschedMode::Unschedule;
    ApplyResched(mode, chosen, unsubBuild_);
}
