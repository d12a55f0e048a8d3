#include "morvenda/windows/frmSelAddr.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include "common/constants.h"
#include "common/prompter.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/editing/editcontrols.h"
#include "morvenda/windows/editorwidgets.h"
#include "morvenda/windows/widgethelpers.h"

namespace {
const QString kCancelled = QString(QChar(0));
}  // namespace

frmSelAddr::frmSelAddr(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("frmSelAddr"));
    setWindowTitle(QStringLiteral("Email address Selection"));
    auto* g = new QGridLayout(this);
    const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("OK"));
    g->setMenuBar(buttons.Menu);
    lsbEmlAddr_ = new QListWidget(this);
    lsbEmlAddr_->setObjectName(QStringLiteral("lsbEmlAddr"));
    lsbEmlAddr_->setAccessibleName(QStringLiteral("Email addresses"));
    lsbEmlAddr_->setSelectionMode(QAbstractItemView::MultiSelection);
    g->addWidget(lsbEmlAddr_, 0, 0, 1, 3);
    QPushButton* cmdOK = buttons.OK;
    QPushButton* cmdCancel = buttons.Cancel;
    QPushButton* cmdHelp = buttons.Help;
    g->addWidget(cmdOK, 1, 0);
    g->addWidget(cmdCancel, 1, 1);
    g->addWidget(cmdHelp, 1, 2);
    setTabOrder(lsbEmlAddr_, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdHelp);
    NameButtons(this);
    connect(cmdOK, &QPushButton::clicked, this, &frmSelAddr::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelAddr::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, [] { ShowHelp(QStringLiteral("Email Address Selection")); });
}

void frmSelAddr::Form_Load() {
    lsbEmlAddr_->clear();
    entries_ = AddressBookEntries(G.gEmailAddrPath);
    lsbEmlAddr_->addItems(entries_);
    const AddressPreselection pre = PreselectAddresses(entries_, G.gEmailAddrSel);
    for (const int e : pre.Selected) lsbEmlAddr_->item(e)->setSelected(true);
    if (!pre.Missing.isEmpty())
        MsgBox(QStringLiteral("The following email addresses are no longer present:\n\n") +
               pre.Missing.join(QLatin1Char(',')));
}

void frmSelAddr::cmdOK_Click() {
    std::vector<int> selected;
    for (int k = 0; k < lsbEmlAddr_->count(); ++k) {
        if (lsbEmlAddr_->item(k)->isSelected()) selected.push_back(k);
    }
    G.gEmailAddrSel = SelectedAddresses(entries_, selected);
    done(QDialog::Accepted);
}

void frmSelAddr::cmdCancel_Click() {
    G.gEmailAddrSel = kCancelled;
    done(QDialog::Rejected);
}

void frmSelAddr::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    reject();
}

void frmSelAddr::reject() {
    MsgBox(QStringLiteral("Address selection cancelled"), MsgButtons::Ok, MsgIcon::Information, gAppName);
    cmdCancel_Click();
}

void ShowSelAddr(QWidget* Parent) {
    frmSelAddr dlg(Parent);
    dlg.Form_Load();
    dlg.exec();
}
