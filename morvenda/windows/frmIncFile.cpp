#include "morvenda/windows/frmIncFile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "common/constants.h"
#include "common/prompter.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/editorwidgets.h"
#include "morvenda/windows/widgethelpers.h"

frmIncFile::frmIncFile(IncludeFileParams& Params, QWidget* Parent) : QDialog(Parent), params_(Params) {
    setObjectName(QStringLiteral("frmIncFile"));
    setWindowTitle(QStringLiteral("EOJ Message Included File Specification"));
    auto* g = new QGridLayout(this);
    const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("OK"));
    g->setMenuBar(buttons.Menu);

    txtFilename_ = EditBox(this, QStringLiteral("txtFilename"));
    g->addWidget(EditLabel(this, QStringLiteral("lblFilename"), QStringLiteral("Include File Name"), txtFilename_), 0,
                 0);
    g->addWidget(txtFilename_, 1, 0, 1, 2);
    QPushButton* cmdBrowse = NamedButton(this, "cmdBrowse", QStringLiteral("&Browse"));
    g->addWidget(cmdBrowse, 1, 2);
    optCopy_ = EditOption(this, QStringLiteral("optCopy"), QStringLiteral("C&opy the file into the message body"));
    optAttach_ = EditOption(this, QStringLiteral("optAttach"), QStringLiteral("&Attach the File"));
    chkFilter_ =
        EditCheck(this, QStringLiteral("chkFilter"), QStringLiteral("Fi&lter the file text (DOS dir display output)"));
    chkDateVar_ = EditCheck(this, QStringLiteral("chkDateVar"), QStringLiteral("Filename contains date &variables"));
    chkDelAfter_ = EditCheck(this, QStringLiteral("chkDelAfter"), QStringLiteral("&Delete the file after use"));
    g->addWidget(optCopy_, 2, 0, 1, 3);
    g->addWidget(optAttach_, 3, 0, 1, 3);
    g->addWidget(chkFilter_, 4, 0, 1, 3);
    g->addWidget(chkDateVar_, 5, 0, 1, 3);
    g->addWidget(chkDelAfter_, 6, 0, 1, 3);
    QPushButton* cmdOK = buttons.OK;
    QPushButton* cmdCancel = buttons.Cancel;
    QPushButton* cmdHelp = buttons.Help;
    g->addWidget(cmdOK, 7, 0);
    g->addWidget(cmdCancel, 7, 1);
    g->addWidget(cmdHelp, 7, 2);
    cmdBrowse->setAutoDefault(false);
    setTabOrder(chkDelAfter_, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdHelp);
    NameButtons(this);

    txtFilename_->setText(Params.FileName);
    (Params.Attach ? optAttach_ : optCopy_)->setChecked(true);
    chkFilter_->setChecked(Params.Filter);
    chkDateVar_->setChecked(Params.DateVars);
    chkDelAfter_->setChecked(Params.DeleteAfter);
    ShowOptions();

    connect(optCopy_, &QRadioButton::toggled, this, &frmIncFile::ShowOptions);
    connect(cmdOK, &QPushButton::clicked, this, &frmIncFile::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmIncFile::cmdCancel_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmIncFile::cmdBrowse_Click);
    connect(cmdHelp, &QPushButton::clicked, this, [] { ShowHelp(QStringLiteral("Included File Specification")); });
}

void frmIncFile::ShowOptions() { chkFilter_->setVisible(optCopy_->isChecked()); }

void frmIncFile::cmdBrowse_Click() {
    const QString text = txtFilename_->text().trimmed();
    txtFilename_->setText(text);
    FileDialog dlg(this, QStringLiteral("cdgFiles"));
    if (text.isEmpty()) {
        dlg.FileName = QStringLiteral("*.*");
    } else {
        const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0) {
            dlg.InitDir = slash == 0 ? QStringLiteral("/") : text.left(slash);
            dlg.FileName = text.mid(slash + 1);
        } else {
            dlg.FileName = text;
        }
    }
    dlg.Filter = QStringLiteral("All Files (*.*)|*.*");
    dlg.Flags = FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::ShareAware | FileDialog::Explorer;
    if (dlg.ShowOpen() && !dlg.FileName.trimmed().isEmpty()) txtFilename_->setText(dlg.FileName);
}

void frmIncFile::cmdOK_Click() { CloseWith(1); }

void frmIncFile::cmdCancel_Click() { CloseWith(2); }

void frmIncFile::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    reject();
}

// The close box (and Esc) ask whether to apply what was entered.
void frmIncFile::reject() {
    switch (MsgBox(QStringLiteral("Do you want to apply the data entered?"), MsgButtons::YesNoCancel, MsgIcon::Question,
                   gAppName)) {
        case MsgAnswer::Yes:
            CloseWith(1);
            break;
        case MsgAnswer::No:
            CloseWith(2);
            break;
        default:
            break;
    }
}

void frmIncFile::CloseWith(int Result) {
    if (Result == 2) {
        params_.FileName.clear();
        done(QDialog::Rejected);
        return;
    }
    const QString name = txtFilename_->text().trimmed();
    if (!IncludeFileNameValid(name)) {
        MsgBox(QStringLiteral("File name not present or invalid.  File name must be fully qualified and file must be "
                              "on a fixed disk drive"),
               MsgButtons::Ok, MsgIcon::Warning);
        txtFilename_->setFocus();
        return;
    }
    if (name.contains(QLatin1Char('&')) && !chkDateVar_->isChecked() &&
        MsgBox(QStringLiteral("The filename contains at least one \"&\" character.\n\nDo you wish Morvenda to perform "
                              "date variable subtitution on it at run time?"),
               MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Variables")) == MsgAnswer::Yes)
        chkDateVar_->setChecked(true);
    params_.FileName = name;
    params_.Attach = optAttach_->isChecked();
    params_.Filter = chkFilter_->isChecked();
    params_.DateVars = chkDateVar_->isChecked();
    params_.DeleteAfter = chkDelAfter_->isChecked();
    done(QDialog::Accepted);
}

bool ShowIncludeFile(QWidget* Parent, IncludeFileParams& Params) {
    frmIncFile dlg(Params, Parent);
    dlg.exec();
    return !Params.FileName.isEmpty();
}
