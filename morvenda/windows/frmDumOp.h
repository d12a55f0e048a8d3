#pragma once

#include <QDialog>

class QCheckBox;

/// "Dummy Run Options": the three flags of a dummy run. The boxes chkManFile,
/// chkGenMsg and chkCrtTriggers open showing G.gDumManFile, G.gDumGenMsg and
/// G.gDumCrtTriggers; OK (button or menu) copies them back, Cancel (button,
/// menu, Esc or the close box) keeps the flags as they were. Help (button or
/// F1) opens the page "Dummy Run Options".
class frmDumOp : public QDialog {
    Q_OBJECT
public:
    explicit frmDumOp(QWidget* parent = nullptr);

    void cmdOK_Click();

private:
    QCheckBox* chkManFile_;
    QCheckBox* chkGenMsg_;
    QCheckBox* chkCrtTriggers_;
};
