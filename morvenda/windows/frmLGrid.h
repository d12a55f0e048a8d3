#pragma once

#include "morvenda/editing/gridlogic.h"

#include <QDialog>
#include <QPixmap>

#include <vector>

class Grid;
class QAction;
class QComboBox;
class QHBoxLayout;
class QMenuBar;
class QPushButton;
class QTimer;

/// The schedule grid ("Schedule Update"): one row per job of the group
/// shown, with the columns of the current view profile, and the buttons that
/// add, copy, edit, delete, move, skip and reschedule jobs. Opened modally by
/// the start-up window; the job editor and the column dialog open from it.
///
/// Controls: fxgSchedGrid, cboGroup, cboProfile, cmdNew, cmdModify,
/// cmdDelete, cmdCopy, cmdPasteNew, cmdResched, cmdSkip, cmdEditJob, cmdTop,
/// cmdUp1, cmdDown1, cmdBottom, cmdClose, tmrGrid; menu items mnuClose,
/// mnuCustomise, mnuProfile, mnuTop, mnuBottom, mnuUp, mnuDown, mnuNew,
/// mnuModify, mnuDelete, mnuEditing, mnuCopy, mnuPasteNew, mnuReschedule,
/// mnuHelpHelp.
class frmLGrid : public QDialog {
    Q_OBJECT
public:
    /// Loads the window: columns and profile, the grid, "GridHeight".
    explicit frmLGrid(QWidget* parent = nullptr);
    ~frmLGrid() override;

    /// Rebuilds the grid from G.Jobs, G.gGroupFilter and gGridCols.
    void DisplayGrid();
    /// Lays the window out and copies the grid's column widths into gGridCols.
    void SizeWindow();
    /// Enables the buttons by whether a job row is shown and a job copied.
    void Buttons();
    /// The job shown in grid row Row; 0 for the header or no row.
    int FindArrayRow(int Row) const;
    /// Fills the profile combo from the settings and selects gCurProfile.
    void SetProfileNames();
    /// Sets the edit button's tooltip and target for job j.
    void SetEditJobDesc(int j);

    // Handlers (the menu items press the buttons).
    void cmdNew_Click();
    void cmdPasteNew_Click();
    void cmdCopy_Click();
    void cmdModify_Click();
    void cmdDelete_Click();
    void cmdTop_Click();
    void cmdUp1_Click();
    void cmdDown1_Click();
    void cmdBottom_Click();
    /// Skip by the modifier keys of the press that clicked it.
    void cmdSkip_Click(Qt::KeyboardModifiers Shift);
    void cmdResched_Click();
    /// Opens the batch file (no Shift and the job has one) or the
    /// documentation of the selected job.
    void cmdEditJob_Click(Qt::KeyboardModifiers Shift);
    void mnuCustomise_Click();

protected:
    void done(int r) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The menu bar and the items the constructor connects once it is built.
    struct MenuItems {
        QMenuBar* bar;
        QAction* close;
        QAction* customise;
        QAction* profile;
        QAction* help;
    };
    // The window's set-up, in the order the constructor takes it.
    QHBoxLayout* BuildChoices();
    QHBoxLayout* BuildButtons();
    MenuItems BuildMenus();
    void ConnectButtonsAndMenus(const MenuItems& menu);
    void ConnectChoicesAndGrid();

    void NewJob(bool Paste);
    void RowChange();
    void MoveTo(int Target);
    void SelectJob(int j);
    void FocusGrid();
    void SyncMenus();
    /// Stores the layout and the changed job table; false when the layout
    /// could not be stored and the operator keeps the window open.
    bool Unload();

    Grid* fxgSchedGrid_;
    QComboBox* cboGroup_;
    QComboBox* cboProfile_;
    QPushButton* cmdNew_;
    QPushButton* cmdModify_;
    QPushButton* cmdDelete_;
    QPushButton* cmdCopy_;
    QPushButton* cmdPasteNew_;
    QPushButton* cmdResched_;
    QPushButton* cmdSkip_;
    QPushButton* cmdEditJob_;
    QPushButton* cmdTop_;
    QPushButton* cmdUp1_;
    QPushButton* cmdDown1_;
    QPushButton* cmdBottom_;
    QPushButton* cmdClose_;
    QTimer* tmrGrid_;
    std::vector<std::pair<QAction*, QPushButton*>> menuButtons_;
    QPixmap picTick_;
    QPixmap picNone_;

    std::vector<int> rows_;    // job index of each data row
    std::vector<int> colIds_;  // column id of each grid column
    bool loading_ = true;
    bool rebuilding_ = false;
    bool noRowChange_ = false;
    bool profileBusy_ = false;
    bool layoutBusy_ = false;
    bool unloaded_ = false;
    bool tableChanged_ = false;  // jobs changed in memory since the last save
    SkipMode skipMode_ = SkipMode::Toggle;
    Qt::KeyboardModifiers pressShift_;
    bool pressNoted_ = false;
    QString editBatch_;
    QString editName_;
};
