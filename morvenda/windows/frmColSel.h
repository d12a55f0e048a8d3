#pragma once

#include <QDialog>
#include <QString>

class QAction;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;

/// Index in gGridCols of the first column titled Title; 23 when none.
int GCSubs(const QString& Title);
/// Index in gGridCols of the first column at display position Position; 23
/// when none.
int GCId(int Position);

/// The column dialog ("Edit View Customisation"): which columns the grid
/// shows, in which order, their widths and alignments, and the name of the
/// view profile they are saved under. Opened modally from the grid.
///
/// Controls: lsbDisplayed, lsbUndisplayed, cmdSel1, cmdSelAll, cmdUnsel1,
/// cmdUnselAll, cmdUp, cmdDown, txtColWidth, cboAlign, cmdApplyWidth,
/// txtProfile, cmdDel, cmdOK, cmdCancel, cmdHelp.
class frmColSel : public QDialog {
    Q_OBJECT
public:
    explicit frmColSel(QWidget* parent = nullptr);
    ~frmColSel() override;

    /// Moves the selected (All false) or every undisplayed column to the end
    /// of the displayed ones.
    void MoveToDisplayed(bool All);
    /// Moves the current displayed column back to the undisplayed ones.
    void cmdUnsel1_Click();
    void cmdUnselALL_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    /// Stores the width box and the alignment in the current column.
    void cmdApplyWidth_Click();
    /// Asks whether to apply a width or alignment change not yet applied.
    void CheckChgAlignWidth();
    /// Deletes the profile named in the profile box, after asking.
    void cmdDel_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void SetButtons();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // The menu bar and the items the constructor connects once it is built.
    struct MenuItems {
        QMenuBar* bar;
        QAction* ok;
        QAction* cancel;
        QAction* help;
    };
    // The window's set-up, in the order the constructor takes it.
    void BuildListsAndMoves();
    QGroupBox* BuildWidthFrame();
    MenuItems BuildMenus();
    void LayOutControls(QMenuBar* bar, QGroupBox* fraWidth, QPushButton* cmdOK, QPushButton* cmdCancel,
                        QPushButton* cmdHelp);
    void ConnectButtonsAndMenus(const MenuItems& menu, QPushButton* cmdOK, QPushButton* cmdCancel,
                                QPushButton* cmdHelp);
    void ConnectListsAndFields();
    void LoadColumns();

    void DisplayedClick();
    /// Saves the layout unless discarding; false keeps the dialog open.
    bool SaveOnUnload();
    void Finish();

    QListWidget* lsbDisplayed_;
    QListWidget* lsbUndisplayed_;
    QPushButton* cmdSel1_;
    QPushButton* cmdSelAll_;
    QPushButton* cmdUnsel1_;
    QPushButton* cmdUnselAll_;
    QPushButton* cmdUp_;
    QPushButton* cmdDown_;
    QLineEdit* txtColWidth_;
    QComboBox* cboAlign_;
    QPushButton* cmdApplyWidth_;
    QLineEdit* txtProfile_;
    QPushButton* cmdDel_;
    QAction* mnuSel1_;
    QAction* mnuSelAll_;
    QAction* mnuUnsel1_;
    QAction* mnuUnselAll_;
    QAction* mnuWidth_;
    QAction* mnuAlign_;
    QAction* mnuApply_;
    QAction* mnuDel_;
    QString openingName_;
    int result_ = 0;  // 0 open, 1 save, 2 discard
    bool listChanging_ = false;
    bool finishing_ = false;
};
