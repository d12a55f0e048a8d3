#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

/// The address picker: every address book of G.gEmailAddrPath, with the
/// names of G.gEmailAddrSel selected. On closing G.gEmailAddrSel holds the
/// chosen names joined by ",", or the single character with code 0 when the
/// picker was cancelled.
class frmSelAddr : public QDialog {
    Q_OBJECT
public:
    explicit frmSelAddr(QWidget* Parent = nullptr);

    /// Fills the list and preselects; reports names no book has any more.
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

private:
    QStringList entries_;
    QListWidget* lsbEmlAddr_;
};

/// Shows frmSelAddr modally on G.gEmailAddrSel.
void ShowSelAddr(QWidget* Parent);
