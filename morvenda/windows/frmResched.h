#pragma once

#include "morvenda/editing/resched.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;

/// The dialog "Modify Schedule" with which the operator of a running schedule
/// unschedules jobs that are scheduled or running, or reschedules jobs that
/// have ended (and, when asked, unscheduled ones). The list lsbResched shows
/// the jobs of the group filter once an option (optUnsched, OptReschedule) is
/// chosen; chkInclDep cascades the selection to dependent jobs, chkInclUnsch
/// adds unscheduled jobs to the reschedule list, chkSorted sorts by name.
///
/// OK and Cancel close it with the result 1 or 2; the close box with a
/// selection asks whether to apply. exec() applies the chosen change (see
/// ApplyResched) once the window has closed with result 1, and throws the
/// FatalStop of a run log or schedule that cannot be written.
class frmResched : public QDialog {
    Q_OBJECT
public:
    /// UnsubBuild rebuilds the execution window's unsubmitted-jobs list.
    explicit frmResched(std::function<void()> UnsubBuild, QWidget* parent = nullptr);

    int exec() override;

    /// 0 open, 1 apply, 2 discard.
    int Result = 0;

    void optUnsched_Click();
    void OptReschedule_Click();
    void lsbResched_Click();
    void chkInclDep_Click();
    void chkSorted_Click();
    void cboGroup_Click();
    void cmdClear_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    /// Rebuilds the list for the chosen option.
    void ForceRebuild();
    /// Selects the listed jobs that depend on selected ones.
    void SelectDeps();
    /// Applies the change once when the result is 1 (exec calls it).
    void Form_Unload();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Rebuild(ReschedMode Mode);
    std::vector<bool> Selection() const;

    std::function<void()> unsubBuild_;
    std::vector<int> listed_;
    QListWidget* lsbResched_;
    QComboBox* cboGroup_;
    QRadioButton* optUnsched_;
    QRadioButton* OptReschedule_;
    QCheckBox* chkInclDep_;
    QCheckBox* chkInclUnsch_;
    QCheckBox* chkSorted_;
    QPushButton* cmdOK_;
    bool closed_ = false;
    bool selecting_ = false;
    bool applied_ = false;
};
