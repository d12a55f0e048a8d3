#include "morvenda/windows/frmStartUp.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/ini.h"
#include "common/prompter.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "morvenda/core/windowhelpers.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmStartUp::frmStartUp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStartUp"));
    setWindowTitle(QStringLiteral("Morvenda Startup"));
    if (parent) setWindowIcon(parent->windowIcon());

    auto* lblText = new QLabel(QStringLiteral("Morvenda cannot find evidence of having been run on this PC before.  "
                                              "Please select one of the following options:"),
                               this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setWordWrap(true);
    optGenie_ = new QRadioButton(QStringLiteral("I want to create a new schedule."), this);
    optGenie_->setObjectName(QStringLiteral("optGenie"));
    optExist_ = new QRadioButton(QStringLiteral("I want to find an existing schedule."), this);
    optExist_->setObjectName(QStringLiteral("optExist"));
    cmdOK_ = NamedButton(this, "cmdOK", QStringLiteral("OK"));
    cmdOK_->setEnabled(false);
    cmdOK_->setDefault(true);
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addWidget(lblText);
    all->addWidget(optGenie_);
    all->addWidget(optExist_);
    all->addLayout(buttons);

    for (QRadioButton* o : {optGenie_, optExist_})
        connect(o, &QRadioButton::toggled, cmdOK_, [this] { cmdOK_->setEnabled(true); });
    connect(cmdOK_, &QPushButton::clicked, this, &frmStartUp::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStartUp::cmdCancel_Click);
    NameControls(this);
}

bool frmStartUp::GenieChosen() const { return optGenie_->isChecked(); }

void frmStartUp::cmdOK_Click() {
    answer_ = Answer::OK;
    close();
}

void frmStartUp::cmdCancel_Click() {
    answer_ = Answer::Cancel;
    close();
}

void frmStartUp::reject() { close(); }

void frmStartUp::closeEvent(QCloseEvent* event) {
    if (answer_ == Answer::None) {
        MsgBox(QStringLiteral("Morvenda Terminating"), MsgButtons::Ok, MsgIcon::Information, gAppName);
        answer_ = Answer::Cancel;
    }
    event->accept();
    QDialog::done(answer_ == Answer::OK ? QDialog::Accepted : QDialog::Rejected);
}

void ShutDown(const QString& Message) {
    MsgBox(Message, MsgButtons::Ok, MsgIcon::Information);
    throw FatalStop(Message);
}

QString RunFirstRun(QWidget* Parent) {
    bool genie = false;
    {
        frmStartUp window(Parent);
        window.exec();
        if (window.answer() != frmStartUp::Answer::OK) throw FatalStop(QStringLiteral("First run cancelled"));
        genie = window.GenieChosen();
    }
    if (genie) RunGenieAndEnd();

    if (MsgBox(QStringLiteral("Warning:  The same Morvenda schedule cannot be run on more than one computer "
                              "simultaneously.\n\nThe schedule to be executed on this computer should be disabled "
                              "from execution elsewhere.\n\nPress Cancel to terminate or OK to locate the Morvenda "
                              "INI file for the required schedule."),
               MsgButtons::OkCancel, MsgIcon::Warning) == MsgAnswer::Cancel)
        throw FatalStop(QStringLiteral("First run cancelled"));
    for (;;) {
        FileDialog dlg(Parent);
        dlg.Filter = QStringLiteral(" Files(*.ini)|*.ini");
        dlg.FileName = QStringLiteral("*.ini");
        dlg.Flags = FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::FileMustExist |
                    FileDialog::NoReadOnlyReturn | FileDialog::LongNames;
        if (!dlg.ShowOpen() || dlg.FileName.isEmpty() || dlg.FileName == QLatin1String("*.ini"))
            ShutDown(QStringLiteral("No ini file selected.  Morvenda terminated."));
        if (!IniGet(gAppName, QStringLiteral("ScheduleName"), dlg.FileName).isEmpty()) return dlg.FileName;
        if (MsgBox(QStringLiteral("That file does not appear to be a Morvenda ini file."), MsgButtons::OkCancel,
                   MsgIcon::Warning) == MsgAnswer::Cancel)
            throw FatalStop(QStringLiteral("First run cancelled"));
    }
}
