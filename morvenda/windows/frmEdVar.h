#pragma once

#include <QDialog>

#include "morvenda/editing/editcontrols.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

/// The date-variable editor: name, format, relative-day code and relative
/// month of one date variable. Works on the block it is given; a cancelled
/// editor empties the block's name.
class frmEdVar : public QDialog {
    Q_OBJECT
public:
    frmEdVar(DateVarParams& Params, QWidget* Parent = nullptr);

    void cmdOK_Click();
    void cmdCancel_Click();
    /// A code chosen in the list (asks for its n).
    void cboRelDIM_Click(int Index);

protected:
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void CloseWith(int Result);
    void txtRelDIM_Change();

    DateVarParams& params_;
    bool loading_ = true;
    QLineEdit* txtName_;
    QLineEdit* txtFormat_;
    QLineEdit* txtRelDIM_;
    QComboBox* cboRelDIM_;
    QLabel* lblRelMonth_;
    QLineEdit* txtRelMonth_;
    QSpinBox* vscRelMonth_;
};

/// Shows frmEdVar modally on Params. True when a definition was accepted.
bool ShowEdVar(QWidget* Parent, DateVarParams& Params);
