#include "morvenda/windows/frmLogVw.h"

#include "common/prompter.h"
#include "gui/controls.h"
#include "platform/shell.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmLogVw::frmLogVw(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLogVw"));
    setWindowTitle(QStringLiteral("Log View Specifications"));
    if (parent) setWindowIcon(parent->windowIcon());

    auto* lblLogFiles = new QLabel(QStringLiteral("&Log file:"), this);
    lblLogFiles->setObjectName(QStringLiteral("lblLogFiles"));
    cboLogFiles_ = new QComboBox(this);
    cboLogFiles_->setObjectName(QStringLiteral("cboLogFiles"));
    lblLogFiles->setBuddy(cboLogFiles_);

    auto* fraSel = new QGroupBox(QStringLiteral("Entries"), this);
    fraSel->setObjectName(QStringLiteral("fraSel"));
    auto* selLayout = new QVBoxLayout(fraSel);
    const QString captions[4] = {QStringLiteral("&All Entries"), QStringLiteral("For &Group"),
                                 QStringLiteral("For &Job"), QStringLiteral("&Failed Jobs")};
    for (int i = 0; i < 4; ++i) {
        optSel_[i] = new QRadioButton(captions[i], fraSel);
        optSel_[i]->setObjectName(QStringLiteral("optSel%1").arg(i));
        selLayout->addWidget(optSel_[i]);
        connect(optSel_[i], &QRadioButton::clicked, this, [this, i] { optSel_Click(i); });
    }

    auto* lblLogSpec = new QLabel(QStringLiteral("&Names:"), this);
    lblLogSpec->setObjectName(QStringLiteral("lblLogSpec"));
    lsbLogSpec_ = new QListWidget(this);
    lsbLogSpec_->setObjectName(QStringLiteral("lsbLogSpec"));
    lsbLogSpec_->setSelectionMode(QAbstractItemView::MultiSelection);
    lblLogSpec->setBuddy(lsbLogSpec_);

    cmdOK_ = NamedButton(this, "cmdOK", QStringLiteral("OK"));
    cmdOK_->setDefault(true);
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    connect(cmdOK_, &QPushButton::clicked, this, &frmLogVw::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogVw::cmdCancel_Click);

    auto* left = new QVBoxLayout;
    left->addWidget(lblLogFiles);
    left->addWidget(cboLogFiles_);
    left->addWidget(fraSel);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(lblLogSpec);
    right->addWidget(lsbLogSpec_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addLayout(buttons);

    files_ = ListLogFiles();
    for (const LogFileEntry& f : files_) cboLogFiles_->addItem(f.entry);
    cboLogFiles_->setCurrentIndex(cboLogFiles_->count() - 1);

    optSel_[0]->setChecked(true);
    optSel_Click(0);
    NameControls(this);
}

void frmLogVw::optSel_Click(int Index) {
    SelType_ = Index;
    optSel_[Index]->setChecked(true);
    lsbLogSpec_->clear();
    lsbLogSpec_->setToolTip(QString());
    switch (Index) {
        case 1:
            // A group is chosen alone, however the operator extends the selection.
            lsbLogSpec_->setSelectionMode(QAbstractItemView::SingleSelection);
            lsbLogSpec_->addItems(LogGroups());
            lsbLogSpec_->setEnabled(true);
            lsbLogSpec_->setToolTip(QStringLiteral("Select a single group name"));
            break;
        case 2:
            lsbLogSpec_->setSelectionMode(QAbstractItemView::MultiSelection);
            lsbLogSpec_->addItems(LogJobNames());
            lsbLogSpec_->setEnabled(true);
            lsbLogSpec_->setToolTip(QStringLiteral("You may select a combination of job names"));
            break;
        default:
            lsbLogSpec_->setEnabled(false);
            break;
    }
}

void frmLogVw::cmdOK_Click() {
    QStringList names;
    const QList<QListWidgetItem*> chosen = lsbLogSpec_->selectedItems();
    if (SelType_ == 1) {
        if (chosen.isEmpty()) {
            MsgBox(QStringLiteral("You must select a group name"));
            return;
        }
        names = GroupJobNames(chosen.first()->text());
    } else if (SelType_ == 2) {
        if (chosen.isEmpty()) {
            MsgBox(QStringLiteral("You must select a job name"));
            return;
        }
        for (const QListWidgetItem* item : chosen) names << item->text();
    }
    const int i = cboLogFiles_->currentIndex();
    if (i < 0 || i >= static_cast<int>(files_.size())) {
        MsgBox(QStringLiteral("Error copying log: there is no log file to copy"), MsgButtons::Ok, MsgIcon::Warning);
        reject();
        return;
    }
    const LogFileEntry& file = files_[static_cast<size_t>(i)];
    QString error;
    if (!WriteLogExtract(file.path, file.extract, static_cast<LogSel>(SelType_), names, &error)) {
        MsgBox(QStringLiteral("Error copying log: ") + error, MsgButtons::Ok, MsgIcon::Warning);
        reject();
        return;
    }
    // Without a desktop there is nothing to open it with: the operator is
    // told where it is.
    if (!DesktopAvailable())
        MsgBox(QStringLiteral("Log extract written to ") + file.extract, MsgButtons::Ok, MsgIcon::Information);
    else if (!ShellOpen(file.extract, &error))
        // The extract is there; only opening it failed.
        MsgBox(QStringLiteral("Log extract written to ") + file.extract +
                   QStringLiteral(", but it cannot be opened: ") + error,
               MsgButtons::Ok, MsgIcon::Warning);
    accept();
}

void frmLogVw::cmdCancel_Click() { reject(); }
