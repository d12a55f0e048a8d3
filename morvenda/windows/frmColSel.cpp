#include "morvenda/windows/frmColSel.h"

#include "common/checks.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "gui/controls.h"
#include "gui/mnemonics.h"
#include "morvenda/core/gridcols.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/widgethelpers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

int ColumnOf(const QListWidgetItem* item) { return item ? item->data(Qt::UserRole).toInt() : kGridColCount; }

// An entry of the lists; the undisplayed list sorts its entries by their
// titles without regard to letter case.
class ColumnEntry : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        const int byCase = text().compare(other.text(), Qt::CaseInsensitive);
        return byCase != 0 ? byCase < 0 : text() < other.text();
    }
};

QListWidgetItem* NewEntry(int c) {
    auto* item = new ColumnEntry(gGridCols[static_cast<size_t>(c)].Title);
    item->setData(Qt::UserRole, c);
    return item;
}

// True when w is Inner or lies inside it, across window borders (a combo
// box's drop-down list is a window of its own).
bool Inside(const QWidget* w, const QWidget* Inner) {
    for (; w; w = w->parentWidget())
        if (w == Inner) return true;
    return false;
}

}  // namespace

int GCSubs(const QString& Title) {
    for (int c = 0; c < kGridColCount; ++c)
        if (gGridCols[static_cast<size_t>(c)].Title == Title) return c;
    return kGridColCount;
}

int GCId(int Position) {
    for (int c = 0; c < kGridColCount; ++c)
        if (gGridCols[static_cast<size_t>(c)].Order == Position) return c;
    return kGridColCount;
}

frmColSel::frmColSel(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmColSel"));
    setWindowTitle(QStringLiteral("Edit View Customisation"));
    if (parent) setWindowIcon(parent->windowIcon());

    BuildListsAndMoves();

    QGroupBox* fraWidth = BuildWidthFrame();

    txtProfile_ = new QLineEdit(this);
    txtProfile_->setObjectName(QStringLiteral("txtProfile"));
    cmdDel_ = NamedButton(this, "cmdDel", QStringLiteral("De&lete"));
    QPushButton* cmdOK = NamedButton(this, "cmdOK", QStringLiteral("&OK"));
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    QPushButton* cmdHelp = NamedButton(this, "cmdHelp", QStringLiteral("&Help"));
    cmdOK->setAutoDefault(false);

    const MenuItems menu = BuildMenus();

    LayOutControls(menu.bar, fraWidth, cmdOK, cmdCancel, cmdHelp);

    ConnectButtonsAndMenus(menu, cmdOK, cmdCancel, cmdHelp);
    ConnectListsAndFields();
    NameControls(this);

    LoadColumns();
}

void frmColSel::BuildListsAndMoves() {
    lsbDisplayed_ = new QListWidget(this);
    lsbDisplayed_->setObjectName(QStringLiteral("lsbDisplayed"));
    lsbDisplayed_->setSelectionMode(QAbstractItemView::SingleSelection);
    lsbUndisplayed_ = new QListWidget(this);
    lsbUndisplayed_->setObjectName(QStringLiteral("lsbUndisplayed"));
    lsbUndisplayed_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lsbUndisplayed_->setSortingEnabled(true);

    cmdSel1_ = NamedButton(this, "cmdSel1", QStringLiteral(">"));
    cmdSel1_->setToolTip(QStringLiteral("Move selected item(s)"));
    cmdSelAll_ = NamedButton(this, "cmdSelAll", QStringLiteral(">>>>"));
    cmdSelAll_->setToolTip(QStringLiteral("Move all items"));
    cmdUnsel1_ = NamedButton(this, "cmdUnsel1", QStringLiteral("<"));
    cmdUnsel1_->setToolTip(QStringLiteral("Move selected item"));
    cmdUnselAll_ = NamedButton(this, "cmdUnselAll", QStringLiteral("<<<<"));
    cmdUnselAll_->setToolTip(QStringLiteral("Move all items"));
    cmdUp_ = NamedButton(this, "cmdUp", QStringLiteral("&Up 1"));
    cmdDown_ = NamedButton(this, "cmdDown", QStringLiteral("&Down 1"));
    // Arrows say little to a screen reader: the names say what they do.
    cmdSel1_->setAccessibleName(QStringLiteral("Selected to Displayed"));
    cmdSelAll_->setAccessibleName(QStringLiteral("All to Displayed"));
    cmdUnsel1_->setAccessibleName(QStringLiteral("Selected to Undisplayed"));
    cmdUnselAll_->setAccessibleName(QStringLiteral("All to Undisplayed"));
}

QGroupBox* frmColSel::BuildWidthFrame() {
    auto* fraWidth = new QGroupBox(QStringLiteral("Width/Alignment"), this);
    fraWidth->setObjectName(QStringLiteral("fraWidth"));
    txtColWidth_ = new QLineEdit(fraWidth);
    txtColWidth_->setObjectName(QStringLiteral("txtColWidth"));
    txtColWidth_->setMaxLength(5);
    cboAlign_ = new QComboBox(fraWidth);
    cboAlign_->setObjectName(QStringLiteral("cboAlign"));
    cboAlign_->addItems({QStringLiteral("< (Left)"), QStringLiteral("^ (Centre)"), QStringLiteral("> (Right)")});
    cmdApplyWidth_ = NamedButton(fraWidth, "cmdApplyWidth", QStringLiteral("&Apply"));
    auto* width = new QGridLayout(fraWidth);
    width->addWidget(BuddyLabel(fraWidth, QStringLiteral("&Width"), txtColWidth_), 0, 0);
    width->addWidget(txtColWidth_, 0, 1);
    width->addWidget(BuddyLabel(fraWidth, QStringLiteral("Al&ignment"), cboAlign_), 1, 0);
    width->addWidget(cboAlign_, 1, 1);
    width->addWidget(cmdApplyWidth_, 2, 1);
    return fraWidth;
}

frmColSel::MenuItems frmColSel::BuildMenus() {
    auto* bar = new QMenuBar(this);
    QMenu* mnuFile = bar->addMenu(QStringLiteral("&File"));
    QAction* mnuOK = NamedMenuItem(mnuFile, "mnuOK", QStringLiteral("&OK"));
    QAction* mnuCancel = NamedMenuItem(mnuFile, "mnuCancel", QStringLiteral("&Cancel"));
    QMenu* mnuMove = bar->addMenu(QStringLiteral("&Move"));
    mnuSel1_ = NamedMenuItem(mnuMove, "mnuSel1", QStringLiteral("Selected to &Displayed"));
    mnuSelAll_ = NamedMenuItem(mnuMove, "mnuSelAll", QStringLiteral("&All to Displayed"));
    mnuUnsel1_ = NamedMenuItem(mnuMove, "mnuUnsel1", QStringLiteral("Selected to &Undisplayed"));
    mnuUnselAll_ = NamedMenuItem(mnuMove, "mnuUnselAll", QStringLiteral("A&ll to Undisplayed"));
    QMenu* mnuColumn = bar->addMenu(QStringLiteral("&Column"));
    mnuWidth_ = NamedMenuItem(mnuColumn, "mnuWidth", QStringLiteral("&Width"));
    mnuAlign_ = NamedMenuItem(mnuColumn, "mnuAlign", QStringLiteral("Al&ignment"));
    mnuApply_ = NamedMenuItem(mnuColumn, "mnuApply", QStringLiteral("&Apply"));
    QMenu* mnuProfile = bar->addMenu(QStringLiteral("&Profile"));
    mnuDel_ = NamedMenuItem(mnuProfile, "mnuDel", QStringLiteral("&Delete"));
    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    QAction* mnuHelpHelp = NamedMenuItem(mnuHelp, "mnuHelpHelp", QStringLiteral("&Help"));
    mnuHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));
    return {bar, mnuOK, mnuCancel, mnuHelpHelp};
}

void frmColSel::LayOutControls(QMenuBar* bar, QGroupBox* fraWidth, QPushButton* cmdOK, QPushButton* cmdCancel,
                               QPushButton* cmdHelp) {
    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton* b : {cmdSel1_, cmdSelAll_, cmdUnsel1_, cmdUnselAll_}) moves->addWidget(b);
    moves->addStretch(1);
    auto* undisplayed = new QVBoxLayout;
    undisplayed->addWidget(BuddyLabel(this, QStringLiteral("Undisplayed Fields"), lsbUndisplayed_));
    undisplayed->addWidget(lsbUndisplayed_);
    auto* displayed = new QVBoxLayout;
    displayed->addWidget(BuddyLabel(this, QStringLiteral("Displayed Fields"), lsbDisplayed_));
    displayed->addWidget(lsbDisplayed_);
    auto* order = new QVBoxLayout;
    order->addStretch(1);
    order->addWidget(cmdUp_);
    order->addWidget(cmdDown_);
    order->addStretch(1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(undisplayed);
    lists->addLayout(moves);
    lists->addLayout(displayed);
    lists->addLayout(order);
    auto* profile = new QHBoxLayout;
    profile->addWidget(BuddyLabel(this, QStringLiteral("Profile Name"), txtProfile_));
    profile->addWidget(txtProfile_, 1);
    profile->addWidget(cmdDel_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdOK, cmdCancel, cmdHelp}) buttons->addWidget(b);
    auto* all = new QVBoxLayout(this);
    all->setMenuBar(bar);
    all->addLayout(lists, 1);
    all->addWidget(fraWidth);
    all->addLayout(profile);
    all->addLayout(buttons);
}

void frmColSel::ConnectButtonsAndMenus(const MenuItems& menu, QPushButton* cmdOK, QPushButton* cmdCancel,
                                       QPushButton* cmdHelp) {
    InstallKeyFilter(txtColWidth_, stdTextKeyPressDigits);
    connect(cmdSel1_, &QPushButton::clicked, this, [this] {
        MoveToDisplayed(false);
        cmdSel1_->setText(QStringLiteral(">"));
    });
    connect(cmdSelAll_, &QPushButton::clicked, this, [this] { MoveToDisplayed(true); });
    connect(cmdUnsel1_, &QPushButton::clicked, this, &frmColSel::cmdUnsel1_Click);
    connect(cmdUnselAll_, &QPushButton::clicked, this, &frmColSel::cmdUnselALL_Click);
    connect(cmdUp_, &QPushButton::clicked, this, &frmColSel::cmdUp_Click);
    connect(cmdDown_, &QPushButton::clicked, this, &frmColSel::cmdDown_Click);
    connect(cmdApplyWidth_, &QPushButton::clicked, this, &frmColSel::cmdApplyWidth_Click);
    connect(cmdDel_, &QPushButton::clicked, this, &frmColSel::cmdDel_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmColSel::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmColSel::cmdCancel_Click);
    auto help = [] { ShowHelp(QStringLiteral("Customise View")); };
    connect(cmdHelp, &QPushButton::clicked, this, help);
    connect(menu.help, &QAction::triggered, this, help);
    connect(menu.ok, &QAction::triggered, cmdOK, &QPushButton::click);
    connect(menu.cancel, &QAction::triggered, cmdCancel, &QPushButton::click);
    connect(mnuSel1_, &QAction::triggered, cmdSel1_, &QPushButton::click);
    connect(mnuSelAll_, &QAction::triggered, cmdSelAll_, &QPushButton::click);
    connect(mnuUnsel1_, &QAction::triggered, cmdUnsel1_, &QPushButton::click);
    connect(mnuUnselAll_, &QAction::triggered, cmdUnselAll_, &QPushButton::click);
    connect(mnuApply_, &QAction::triggered, cmdApplyWidth_, &QPushButton::click);
    connect(mnuDel_, &QAction::triggered, cmdDel_, &QPushButton::click);
    connect(mnuWidth_, &QAction::triggered, this, [this] { txtColWidth_->setFocus(); });
    connect(mnuAlign_, &QAction::triggered, this, [this] { cboAlign_->setFocus(); });
}

void frmColSel::ConnectListsAndFields() {
    connect(lsbDisplayed_, &QListWidget::currentRowChanged, this, [this] {
        if (!listChanging_) DisplayedClick();
    });
    connect(lsbUndisplayed_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!listChanging_) SetButtons();
    });
    auto pending = [this] {
        cmdApplyWidth_->setEnabled(true);
        mnuApply_->setEnabled(true);
    };
    connect(txtColWidth_, &QLineEdit::textEdited, this, pending);
    connect(cboAlign_, &QComboBox::activated, this, pending);
    connect(txtProfile_, &QLineEdit::textChanged, this, [this](const QString& text) {
        cmdDel_->setEnabled(!text.trimmed().isEmpty());
        mnuDel_->setEnabled(cmdDel_->isEnabled());
    });
    // Leaving the width or the alignment with a change not applied asks
    // about it; no button is pressed for the operator.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (!old || !(Inside(old, txtColWidth_) || Inside(old, cboAlign_))) return;
        if (now && (now == cmdApplyWidth_ || Inside(now, cboAlign_) || Inside(now, cboAlign_->view()) ||
                    Inside(now, txtColWidth_)))
            return;
        CheckChgAlignWidth();
    });
}

void frmColSel::LoadColumns() {
    // Loading: column 0 (Job Name) is always first and never offered.
    for (int k = 1; k < kGridColCount; ++k) {
        const int c = GCId(k);
        if (c <= 0 || c >= kGridColCount) continue;
        (gGridCols[static_cast<size_t>(c)].Hidden ? lsbUndisplayed_ : lsbDisplayed_)->addItem(NewEntry(c));
    }
    lsbDisplayed_->setCurrentRow(-1);
    txtProfile_->setText(G.gCurProfile);
    openingName_ = G.gCurProfile;
    cmdDel_->setEnabled(!openingName_.trimmed().isEmpty());
    mnuDel_->setEnabled(cmdDel_->isEnabled());
    cmdApplyWidth_->setEnabled(false);
    mnuApply_->setEnabled(false);
    SetButtons();
    // The menu bar wins the Alt+letters it shares with the buttons (Column and
    // Cancel, Help and Help).
    MenuBarWinsMnemonics(this);
}

frmColSel::~frmColSel() {
    // The focus moves while the controls go; by then this dialog is gone.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void frmColSel::SetButtons() {
    const int selected = static_cast<int>(lsbUndisplayed_->selectedItems().size());
    cmdSel1_->setEnabled(selected > 0);
    cmdSel1_->setText(selected >= 2 ? QStringLiteral("> > >") : QStringLiteral(">"));
    cmdSelAll_->setEnabled(lsbUndisplayed_->count() > 0);
    const int current = lsbDisplayed_->currentRow();
    const int count = lsbDisplayed_->count();
    cmdUnsel1_->setEnabled(current >= 0);
    cmdUnselAll_->setEnabled(count > 0);
    cmdUp_->setEnabled(current >= 1);
    cmdDown_->setEnabled(current >= 0 && current < count - 1);
    cboAlign_->setEnabled(current >= 0);
    txtColWidth_->setEnabled(current >= 0);
    mnuSel1_->setEnabled(cmdSel1_->isEnabled());
    mnuSelAll_->setEnabled(cmdSelAll_->isEnabled());
    mnuUnsel1_->setEnabled(cmdUnsel1_->isEnabled());
    mnuUnselAll_->setEnabled(cmdUnselAll_->isEnabled());
    mnuWidth_->setEnabled(current >= 0);
    mnuAlign_->setEnabled(current >= 0);
}

void frmColSel::MoveToDisplayed(bool All) {
    if (!All && lsbUndisplayed_->currentRow() < 0 && lsbUndisplayed_->selectedItems().isEmpty()) return;
    listChanging_ = true;
    int moved = 0;
    int firstAt = -1;
    for (int i = 0; i < lsbUndisplayed_->count();) {
        if (All || lsbUndisplayed_->item(i)->isSelected()) {
            lsbDisplayed_->addItem(lsbUndisplayed_->takeItem(i));
            if (firstAt < 0) firstAt = i;
            ++moved;
        } else {
            ++i;
        }
    }
    lsbUndisplayed_->clearSelection();
    // After one move the neighbour is selected, so repeated presses move
    // consecutive columns.
    if (moved == 1 && lsbUndisplayed_->count() > 0) {
        const int next = std::min(firstAt, lsbUndisplayed_->count() - 1);
        lsbUndisplayed_->setCurrentRow(next, QItemSelectionModel::ClearAndSelect);
    }
    listChanging_ = false;
    SetButtons();
}

void frmColSel::cmdUnsel1_Click() {
    const int row = lsbDisplayed_->currentRow();
    if (row < 0) return;
    listChanging_ = true;
    lsbUndisplayed_->addItem(lsbDisplayed_->takeItem(row));
    listChanging_ = false;
    if (lsbDisplayed_->count() > 0)
        lsbDisplayed_->setCurrentRow(std::min(row, lsbDisplayed_->count() - 1));
    else
        lsbDisplayed_->setCurrentRow(-1);
    SetButtons();
}

void frmColSel::cmdUnselALL_Click() {
    while (lsbDisplayed_->count() > 0) {
        lsbDisplayed_->setCurrentRow(0);
        cmdUnsel1_Click();
    }
}

void frmColSel::cmdUp_Click() {
    const int row = lsbDisplayed_->currentRow();
    if (row < 1) return;
    listChanging_ = true;
    lsbDisplayed_->insertItem(row - 1, lsbDisplayed_->takeItem(row));
    lsbDisplayed_->setCurrentRow(row - 1);
    listChanging_ = false;
    SetButtons();
}

void frmColSel::cmdDown_Click() {
    const int row = lsbDisplayed_->currentRow();
    if (row < 0 || row >= lsbDisplayed_->count() - 1) return;
    listChanging_ = true;
    lsbDisplayed_->insertItem(row + 1, lsbDisplayed_->takeItem(row));
    lsbDisplayed_->setCurrentRow(row + 1);
    listChanging_ = false;
    SetButtons();
}

void frmColSel::DisplayedClick() {
    const int c = ColumnOf(lsbDisplayed_->currentItem());
    if (c < kGridColCount) {
        const GridColumn& col = gGridCols[static_cast<size_t>(c)];
        txtColWidth_->setText(QString::number(col.Width));
        int found = -1;
        for (int i = 0; i < cboAlign_->count(); ++i)
            if (cboAlign_->itemText(i).at(0) == col.Align) found = i;
        cboAlign_->setCurrentIndex(found);
    }
    cmdApplyWidth_->setEnabled(false);
    mnuApply_->setEnabled(false);
    SetButtons();
}

void frmColSel::cmdApplyWidth_Click() {
    const QListWidgetItem* current = lsbDisplayed_->currentItem();
    const int c = current ? GCSubs(current->text()) : kGridColCount;
    if (c < kGridColCount) {
        GridColumn& col = gGridCols[static_cast<size_t>(c)];
        col.Width = static_cast<std::int16_t>(std::clamp<qint64>(Val(txtColWidth_->text()), 0, kInt16Max));
        txtColWidth_->setText(QString::number(col.Width));
        const QString align = cboAlign_->currentText();
        if (!align.isEmpty()) col.Align = align.at(0);
    }
    cmdApplyWidth_->setEnabled(false);
    mnuApply_->setEnabled(false);
}

void frmColSel::CheckChgAlignWidth() {
    if (!cmdApplyWidth_->isEnabled()) return;
    // Disabled first: the question itself moves the focus.
    cmdApplyWidth_->setEnabled(false);
    mnuApply_->setEnabled(false);
    if (MsgBox(QStringLiteral("You have not applied a change made to Column Alignment/Width.  "
                              "Do you wish to apply it now?"),
               MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes)
        cmdApplyWidth_Click();
}

void frmColSel::cmdDel_Click() {
    const QString name = txtProfile_->text().trimmed();
    if (name.isEmpty()) return;
    if (MsgBox(QStringLiteral("Delete the view profile ") + name + QLatin1Char('?'), MsgButtons::YesNo,
               MsgIcon::Question, gAppName) != MsgAnswer::Yes)
        return;
    const ProfileResult deleted = DeleteProfile(name);
    if (!deleted)
        MsgBox(QStringLiteral("Could not delete edit view profile\n\n") + deleted.error, MsgButtons::Ok,
               MsgIcon::Critical);
}

void frmColSel::cmdOK_Click() {
    CheckChgAlignWidth();
    result_ = 1;
    Finish();
}

void frmColSel::cmdCancel_Click() {
    G.gCurProfile = openingName_;
    result_ = 2;
    Finish();
}

void frmColSel::reject() { close(); }

void frmColSel::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (finishing_) {
        event->accept();
        return;
    }
    if (result_ == 0) {
        const MsgAnswer a = MsgBox(QStringLiteral("Do you want to save any changes made to this profile?"),
                                   MsgButtons::YesNoCancel, MsgIcon::Question, gAppName);
        if (a == MsgAnswer::Cancel) return;
        result_ = a == MsgAnswer::Yes ? 1 : 2;
    }
    Finish();
}

void frmColSel::Finish() {
    if (!SaveOnUnload()) {
        result_ = 0;
        return;
    }
    finishing_ = true;
    QDialog::done(result_ == 1 ? QDialog::Accepted : QDialog::Rejected);
}

bool frmColSel::SaveOnUnload() {
    if (result_ == 2) return true;
    const QString name = txtProfile_->text().trimmed();
    if (name.isEmpty()) {
        MsgBox(QStringLiteral("Please enter a profile name for this view."));
        return false;
    }
    if (!SameText(name, openingName_) && ProfileExists(name)) {
        if (MsgBox(QStringLiteral("A view profile already exists with the name specified.  "
                                  "Do you want to replace it with this one?"),
                   MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
            result_ = 2;
            return true;
        }
    }
    std::vector<int> displayed;
    std::vector<int> undisplayed;
    for (int i = 0; i < lsbDisplayed_->count(); ++i) displayed.push_back(ColumnOf(lsbDisplayed_->item(i)));
    for (int i = 0; i < lsbUndisplayed_->count(); ++i) undisplayed.push_back(ColumnOf(lsbUndisplayed_->item(i)));
    // A layout that cannot be stored keeps the dialog open with the reason,
    // so the operator can put the settings right and press OK again.
    const ProfileResult saved = SaveProfileAs(name, displayed, undisplayed);
    if (!saved) {
        MsgBox(QStringLiteral("Could not save edit view profile\n\n") + saved.error, MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    return true;
}
