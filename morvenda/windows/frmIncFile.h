#pragma once

#include <QDialog>

#include "morvenda/editing/editcontrols.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

/// The include-file dialog of an end-of-job body line: the file, copied into
/// the message or attached, and its options. Works on the block it is given;
/// a cancelled dialog empties the block's file name.
class frmIncFile : public QDialog {
    Q_OBJECT
public:
    frmIncFile(IncludeFileParams& Params, QWidget* Parent = nullptr);

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

private:
    void CloseWith(int Result);
    void ShowOptions();

    IncludeFileParams& params_;
    QLineEdit* txtFilename_;
    QRadioButton* optCopy_;
    QRadioButton* optAttach_;
    QCheckBox* chkFilter_;
    QCheckBox* chkDateVar_;
    QCheckBox* chkDelAfter_;
};

/// Shows frmIncFile modally on Params. True when a file name was accepted.
bool ShowIncludeFile(QWidget* Parent, IncludeFileParams& Params);
