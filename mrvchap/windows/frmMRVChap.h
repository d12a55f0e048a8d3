#pragma once

#include "gui/filedialog.h"
#include "mrvchap/chapsystem.h"
#include "mrvchap/diaglist.h"
#include "mrvchap/script.h"

#include <QWidget>

class QComboBox;
class QListView;
class QPushButton;
class QStringListModel;
class QTimer;

/// The chaperone's window: the scripts of the chosen folder, OK to load, check
/// and play the chosen one, Browse for another, Cancel, and the diagnostics
/// list that shows the script row by row with the loader's messages and the
/// marks of the run. After a run a 30-second countdown closes the window
/// unless Hold is pressed.
///
/// Controls (objectName): lsbKeyFiles, cmdOK, cmdCancel, cmdBrowse, lsbDiag,
/// tmrKeys; the file dialog is cdgKeyFiles.
///
/// The program ends when finished() is emitted: status 0 after a run, a
/// validation or an idle Cancel; non-zero after a fatal error (its message
/// shown first in an error box), a script with errors, a missing lock file or
/// Cancel during a run.
class frmMRVChap : public QWidget, private DiagView, private RunnerHost {
    Q_OBJECT
public:
    explicit frmMRVChap(QWidget* parent = nullptr);
    ~frmMRVChap() override;

    /// Start-up: window position, the script's folder and name from the
    /// command line (a bare name or none: ProgramFolder), and the list.
    void Form_Load(const QString& CommandLine, const QString& ProgramFolder);

    /// The script file OK loads (folder and name).
    QString scriptPath() const;
    const DiagList& diag() const { return diag_; }
    bool isFinished() const { return finished_; }
    int exitStatus() const { return status_; }

signals:
    /// The program is to end with Status.
    void finished(int Status);

public slots:
    void Form_Activate();
    void BuildList();
    void lsbKeyFiles_Click();
    void cmdBrowse_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void lsbDiag_DblClick();
    void tmrKeys_Timer();
    void CloseDown();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void diagReset(const QStringList& Rows) override;
    void diagAdded(const QString& Text) override;
    void diagRemovedFirst() override;
    void diagChanged(int Shown, const QString& Text) override;
    void diagSelected(int Shown) override;

    void clearClipboard() override;
    void exec(const QString& Target) override;
    void setOnTop(bool OnTop) override;
    bool cancelRequested() override { return cancelRequested_; }

    void Run();
    void End(int Status, const QString& Message = QString());
    /// Ends the program for a lock file that does not exist, naming it in
    /// the diagnostics log and on standard error.
    void EndLockMissing(const QString& LockFile);
    void SavePosition();
    /// Shows the rows of the diagnostics list anew (after a load, during
    /// which the list shows nothing row by row).
    void ShowDiag();

    QComboBox* lsbKeyFiles_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QPushButton* cmdBrowse_;
    // A list that lays out only the rows it shows, whatever the script's length.
    QListView* lsbDiag_;
    QStringListModel* diagModel_;
    QTimer* tmrKeys_;
    FileDialog cdgKeyFiles_;

    DiagList diag_;
    LoadedScript script_;
    ChaperoneCommandLine cmd_;
    QString folder_;
    QString pattern_;  // what BuildList lists
    bool activated_ = false;
    bool loading_ = false;  // the list is not shown row by row while a script loads
    bool running_ = false;
    bool cancelRequested_ = false;
    bool failed_ = false;      // the script had errors: closing ends with a failure
    bool ending_ = false;      // a fatal end is showing its box
    bool showingBox_ = false;  // the box of a script with errors stands
    bool closeAsked_ = false;  // the window was asked to close meanwhile
    bool finished_ = false;
    int status_ = 0;
    int countdown_ = 0;
};
