#pragma once

#include "morvenda/core/logview.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;

/// The log viewer "Log View Specifications": the operator picks one of the
/// schedule's dated run logs (cboLogFiles, sorted by name, the last one
/// chosen), a filter (optSel0 All Entries, optSel1 For Group, optSel2 For
/// Job, optSel3 Failed Jobs) and, for a group or jobs, the names in
/// lsbLogSpec. OK writes the extract beside the log and opens it on the
/// desktop (without a desktop its path is shown), then closes; Cancel closes.
class frmLogVw : public QDialog {
    Q_OBJECT
public:
    explicit frmLogVw(QWidget* parent = nullptr);

    /// The filter chosen (0 to 3).

    void optSel_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    std::vector<LogFileEntry> files_;
    QComboBox* cboLogFiles_;
    QRadioButton* optSel_[4];
    QListWidget* lsbLogSpec_;
    QPushButton* cmdOK_;
    int SelType_ = 0;
};
