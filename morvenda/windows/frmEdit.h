#pragma once

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>

#include "morvenda/editing/editcontrols.h"
#include "morvenda/editing/jobedit.h"

class Grid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;

/// The job editor: edits Jobs[G.gCurJob] on six pages. Its values live in a
/// JobEdit (jobedit.h); the window copies them to and from its controls.
/// Ends with OK (checked, written back, schedule saved; result Accepted) or
/// Cancel (nothing written, G.gEditCancelled set; result Rejected).
class frmEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmEdit(QWidget* Parent = nullptr);
    ~frmEdit() override;

    /// Fills every control from Jobs[G.gCurJob].
    void Form_Load();

    /// What the controls hold now.
    JobEdit CurrentEdit() const;
    /// Shows E in the controls.
    void ShowEdit(const JobEdit& E);

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdTryFreq_Click();
    void cmdTry_Click();

    /// A click on a cell of the dependency grid (Row counts the header as 0).
    void fxgDependencies_CellClick(int Row, int Col, Qt::MouseButton Button);
    /// A double-click on entry Index of the keyword list.
    void cboKeys_DblClick(int Index);
    void cmdEdit_Click();
    void cmdDefVar_Click();
    void cmdClearFrq_Click();
    void cmdBrowseExe_Click();
    void cmdBrowseFile_Click();
    void cmdConfigInc_Click(int Part, int Line);
    void cmdChgAddr_Click(int Box);

    /// The file dialog of the editor preset from Path (folder and name);
    /// the chosen path, "" when cancelled.
    QString CommonBrowse(const QString& Path, const QString& Filter);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void reject() override;

private:
    void BuildSubmissionPage(QWidget* Page);
    void BuildSubstitutionPage(QWidget* Page);
    void BuildTimingPage(QWidget* Page);
    void BuildDependenciesPage(QWidget* Page);
    void BuildEojPage(QWidget* Page, int Part);
    void Form_Activate();
    void QueryUnload();
    void Form_Unload();
    void FocusField(int Page, const QString& Field);
    void ShowPage(int Page);
    void TabEdit_Click();
    void ShowDeps();
    void ShowVars();
    void PopulateAsAt(int Row);
    void ApplyWaitKind();
    void ApplyEnabledStates();
    void cboFDStdCust_Click(int Index);
    void BuildTriggers();
    void TrigOption_Click();
    void Candidates_Click();
    void SetDepCond(const QString& Cond);
    void SetFileAttrib(int Part, int Line);
    void cboSkipOn_Click(int Index);
    void txtJobName_Change();
    void txtCmdLine_Change();
    void ConnectHandlers();

    int closeMode_ = 0;
    int depButton_ = 1;     // mouse button of the last press on the dependency grid
    int condRow_ = -1;      // data row the condition menu was opened on
    bool autoDos_ = false;  // chkDOSProgram was ticked by the command line, not by hand
    bool loading_ = false;
    bool behindDialog_ = false;  // another dialog of the program took the activation
    bool firstActivate_ = true;
    QString cmdLineTip_;
    QString helpTopic_;
    JobEdit edit_;  // the values not held by a control (lists, grids, flags)
    std::array<QString, 22> keyDesc_;
    QPixmap picTick_;
    QPixmap picNone_;

    QTabWidget* TabEdit_ = nullptr;
    // Submission.
    QComboBox* cboGroup_ = nullptr;
    QLineEdit* txtJobName_ = nullptr;
    QLineEdit* txtCmdLine_ = nullptr;
    QPushButton* cmdBrowseExe_ = nullptr;
    QCheckBox* chkDOSProgram_ = nullptr;
    QLineEdit* txtJobDesc_ = nullptr;
    QLineEdit* txtCPUUsage_ = nullptr;
    QCheckBox* chkCritical_ = nullptr;
    // Substitution.
    Grid* fxgVar_ = nullptr;
    QPushButton* cmdEdit_ = nullptr;
    QPushButton* cmdDefVar_ = nullptr;
    QPushButton* cmdTry_ = nullptr;
    QPushButton* cmdMinusH_ = nullptr;
    QPushButton* cmdMinusW_ = nullptr;
    QGroupBox* fraTrySubst_ = nullptr;
    QLineEdit* txtTryCmdLine_ = nullptr;
    QLineEdit* txtTryFreq_ = nullptr;
    QLineEdit* txtTryRunDate_ = nullptr;
    QLineEdit* txtSubsCmdLine_ = nullptr;
    // Timing.
    QLineEdit* txtFrequency_ = nullptr;
    QListWidget* cboKeys_ = nullptr;
    QPushButton* cmdClearFrq_ = nullptr;
    QLineEdit* txtTime_ = nullptr;
    QComboBox* cboSkipOn_ = nullptr;
    QCheckBox* chkSubmitOnly_ = nullptr;
    QCheckBox* chkDeferRollOver_ = nullptr;
    QComboBox* cboResched_ = nullptr;
    QLineEdit* txtExclusive_ = nullptr;
    QListWidget* lsbTryRunDates_ = nullptr;
    QLabel* lblTryRunDates_ = nullptr;
    QPushButton* cmdTryFreq_ = nullptr;
    // Dependencies.
    QGroupBox* frmJobDep_ = nullptr;
    Grid* fxgDependencies_ = nullptr;
    QRadioButton* optThisGrp_ = nullptr;
    QRadioButton* optAllGrps_ = nullptr;
    QMenu* puDepConds_ = nullptr;
    QComboBox* cboFDStdCust_ = nullptr;
    QLabel* lblStdCust_ = nullptr;
    QComboBox* cboTriggers_ = nullptr;
    QLineEdit* txtWaitForFile_ = nullptr;
    QPushButton* cmdBrowseFile_ = nullptr;
    QCheckBox* chkDelTrigger_ = nullptr;
    // End-of-job pages: [0] normal, [1] abnormal.
    std::array<QLineEdit*, 4> txtEmailAddrs_{};
    std::array<QPushButton*, 4> cmdChgAddr_{};
    std::array<QLineEdit*, 2> txtSubj_{};
    std::array<std::array<QLineEdit*, 4>, 2> txtCont_{};
    /// Check boxes of each body line: IsFile, VarSub, Attach, Filter, Delete.
    std::array<std::array<std::array<QCheckBox*, 5>, 4>, 2> chkLine_{};
    std::array<std::array<QPushButton*, 4>, 2> cmdConfigInc_{};
    QLineEdit* txtDeferEOJMsgBy_ = nullptr;
    QCheckBox* chkSuppNoBody_ = nullptr;
    QRadioButton* optNoTrig_ = nullptr;
    QRadioButton* optExtTrig_ = nullptr;
    QRadioButton* optInterTrig_ = nullptr;
    QLabel* lblTrigFile_ = nullptr;
    QLineEdit* txtExtTrigFile_ = nullptr;
};
