#include "morvenda/windows/frmDumOp.h"

#include "gui/controls.h"
#include "gui/mnemonics.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/widgethelpers.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCheckBox* Box(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setChecked(checked);
    return c;
}

}  // namespace

frmDumOp::frmDumOp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDumOp"));
    setWindowTitle(QStringLiteral("Dummy Run Options"));
    if (parent) setWindowIcon(parent->windowIcon());

    chkManFile_ = Box(this, "chkManFile", QStringLiteral("Wait for Interschedule/External Triggers"), G.gDumManFile);
    chkManFile_->setToolTip(QStringLiteral("Select to specify file creation triggering via Events window"));
    chkGenMsg_ = Box(this, "chkGenMsg", QStringLiteral("Generate End of Job Emails"), G.gDumGenMsg);
    chkGenMsg_->setToolTip(QStringLiteral("Check to generate end of job messages"));
    chkCrtTriggers_ = Box(this, "chkCrtTriggers", QStringLiteral("Create End of Job Trigger Files"), G.gDumCrtTriggers);

    QPushButton* cmdOK = NamedButton(this, "cmdOK", QStringLiteral("OK"));
    cmdOK->setDefault(true);
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("Cancel"));
    QPushButton* cmdHelp = NamedButton(this, "cmdHelp", QStringLiteral("&Help"));
    cmdHelp->setAutoDefault(false);

    QMenuBar* bar = DialogMenuBar(this, cmdOK, cmdCancel, cmdHelp, QStringLiteral("&OK"), "mnuHelpF1");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdHelp);
    auto* all = new QVBoxLayout(this);
    all->setMenuBar(bar);
    all->addWidget(chkManFile_);
    all->addWidget(chkGenMsg_);
    all->addWidget(chkCrtTriggers_);
    all->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmDumOp::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdHelp, &QPushButton::clicked, this, [] { ShowHelp(QStringLiteral("Dummy Run Options")); });
    NameControls(this);
    // The menu bar wins the Alt+letters it shares with the buttons.
    MenuBarWinsMnemonics(this);
}

void frmDumOp::cmdOK_Click() {
    G.gDumManFile = chkManFile_->isChecked();
    G.gDumGenMsg = chkGenMsg_->isChecked();
    G.gDumCrtTriggers = chkCrtTriggers_->isChecked();
    accept();
}
