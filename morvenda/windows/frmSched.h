#pragma once

#include "common/fatal.h"
#include "morvenda/execution/execution.h"

#include <QDialog>
#include <QString>

#include <optional>

class QAction;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QListView;
class QListWidget;
class QMenu;
class QMenuBar;
class QModelIndex;
class QPoint;
class QPushButton;
class QStringListModel;
class QTimer;
class QWidget;

/// The window in which a schedule runs: it starts the run date when it is
/// first shown, presses Kick on its timer (one kick pass of Execution at a
/// time), shows the progress list (G.ProgList while the window lives), the
/// events list and the unsubmitted-jobs list, and offers suspend, kick
/// interval, next-day rollover, help and exit. The start-up window shows it
/// with exec() and, when it returns, takes G.gRunDate back into its run date
/// box.
///
/// Controls (objectName): fraStatus (the status frame) with lblTitle,
/// lblRelDays, lblSchedStart, lblKick, lblFailed, chkIgnCPU; lstProgList;
/// lblEvents, lsbEvents, lblUnsubJob, lsbUnsub; buttons cmdKick, CmdKickInt,
/// cmdModSched, cmdSuspend, cmdShowEvents, cmdNextDay, cmdExit, cmdHelp; the
/// timer tmrKick; menu items mnuExit, mnuViewEvents, mnuViewStatus,
/// mnuViewLog, mnuJobDoc, mnuScheduleSuspend, mnuScheduleModify,
/// mnuScheduleKick, mnuScheduleNext, mnuKickInterval, mnuTrigger, mnuHelpF1;
/// the pop-up menu puUnsub with puStatus and puForceSub.
///
/// A fatal stop inside the run (FatalStop from the logic, after its message
/// was shown and logged) closes the window at once without saving and is
/// thrown again by exec() once the window has closed.
class frmSched : public QDialog, public ExecView {
    Q_OBJECT
public:
    /// ShowEventsOption: the start-up window's Show Events option (the lists
    /// are shown at the start of every run date).
    explicit frmSched(bool ShowEventsOption, QWidget* parent = nullptr);
    ~frmSched() override;

    /// Shows the window modally until it closes; throws the FatalStop that
    /// ended the run, if one did.
    int exec() override;

    /// The run this window shows (the reschedule dialog calls its UnsubBuild).
    Execution& execution() { return run_; }

    /// Height of the window in twips, with the lists hidden or shown.
    static constexpr int kHeightListsHidden = 6690;
    static constexpr int kHeightListsShown = 8550;

    // What the run shows in this window.
    void HighLightButton(ExecButton button, bool on) override;
    void SetFailedVisible(bool visible) override;
    void ScheduleCompleted(bool suspended) override;
    void SetTimer(int intervalMs) override;
    void SetKickLabel(const QString& text) override;
    void SetRunDateLabels(const QString& relDays, const QString& schedStart) override;
    void EventsChanged() override;
    void UnsubChanged() override;
    void PressShowEvents() override;

public slots:
    /// Starts the run date (queued by the first showing of the window): the
    /// status frame's "Started on" caption, the suspend state, InitSchedule.
    void Form_Load();
    /// One kick pass; refused while one is in progress.
    void cmdKick_Click();
    /// Toggles the kick interval between "TimerSecs" and five seconds.
    void CmdKickInt_Click();
    /// Toggles suspension: caption "&Suspend" / "Un&suspend", green while
    /// suspended, G.gSuspended.
    void cmdSuspend_Click();
    /// Shows or hides the events and unsubmitted-jobs lists with the window
    /// height that goes with them.
    void cmdShowEvents_Click();
    /// Asks "Roll Over"; unless No, ends the run day and starts the next.
    void cmdNextDay_Click();
    /// Closes the window (see closeEvent: the question for an incomplete
    /// schedule, then the schedule saved and "Closing" logged).
    void cmdExit_Click();
    /// The help page "Schedule Execution Form".
    void cmdHelp_Click();
    /// The reschedule dialog with the kick timer held; a pass at once when
    /// it rescheduled jobs.
    void cmdModSched_Click();
    /// The log viewer, with Kick disabled meanwhile.
    void mnuViewLog_Click();
    /// Presses Kick unless a pass is in progress.
    void tmrKick_Timer();
    /// The kick interval display: the configured seconds and the whole
    /// seconds left to the next pass.
    void ShowCountdown();
    /// The list's tooltip: the clicked line's job description, else the line.
    void lstProgList_Click(const QModelIndex& index);
    /// Opens the documentation of the current line's job (asking first when
    /// it has none yet); also the "Job Documentation" menu item.
    void lstProgList_DblClick();
    /// Enables "Trigger Event".
    void lsbEvents_Click();
    /// Forces the selected event (the warning the first time), then a pass.
    void lsbEvents_DblClick();
    /// The list's tooltip: the selected entry with its tabs as blanks.
    void lsbUnsub_Click();
    /// Shows every wait reason of the selected unsubmitted job.
    void puStatus_Click();
    /// Asks to force the submission of the selected unsubmitted job.
    void puForceSub_click();
    /// Esc closes the window the way Exit does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's set-up, in the order the constructor takes it.
    void BuildStatusFrame();
    QGridLayout* BuildButtons();
    void BuildProgressList();
    void BuildEventLists();
    QMenuBar* BuildMenus();
    void LayOutControls(QMenuBar* bar, QGridLayout* buttons);
    void ConnectButtonsAndMenus();
    void ConnectLists();

    template <typename F>
    void Run(F Logic);
    template <typename F>
    void Held(F Modal);
    int RowAt(QListWidget* list, const QPoint& pos) const;
    void ApplyHeight();
    void SetButton(QPushButton* button, QAction* item, bool enabled);
    void FillList(QListWidget* list, const std::vector<ListEntry>& entries, int selected);
    void RefreshLists();
    void MarkChanged(bool& flag);
    bool Form_QueryUnload();
    void Form_Unload();

    QGroupBox* fraStatus_;
    QLabel* lblTitle_;
    QLabel* lblRelDays_;
    QLabel* lblSchedStart_;
    QLabel* lblKick_;
    QLabel* lblFailed_;
    QCheckBox* chkIgnCPU_;
    QListView* lstProgList_;
    QLabel* lblEvents_;
    QListWidget* lsbEvents_;
    QLabel* lblUnsubJob_;
    QListWidget* lsbUnsub_;
    QWidget* lists_;
    QPushButton* cmdKick_;
    QPushButton* CmdKickInt_;
    QPushButton* cmdModSched_;
    QPushButton* cmdSuspend_;
    QPushButton* cmdShowEvents_;
    QPushButton* cmdNextDay_;
    QPushButton* cmdExit_;
    QPushButton* cmdHelp_;
    QTimer* tmrKick_;
    QTimer* tmrCountdown_;
    QString kickMax_;  // the configured seconds, as the label shows them
    QAction* mnuExit_;
    QAction* mnuViewEvents_;
    QAction* mnuViewStatus_;
    QAction* mnuViewLog_;
    QAction* mnuJobDoc_;
    QAction* mnuScheduleSuspend_;
    QAction* mnuScheduleModify_;
    QAction* mnuScheduleKick_;
    QAction* mnuScheduleNext_;
    QAction* mnuKickInterval_;
    QAction* mnuTrigger_;
    QAction* mnuHelpF1_;
    QMenu* puUnsub_;
    QAction* puStatus_;
    QAction* puForceSub_;
    QStringListModel* progList_;

    Execution run_;
    int ShownHeight = kHeightListsHidden;  // twips
    int loadWidth_ = 0;                    // pixels
    int UnsubDownRow = -1;
    bool loadQueued_ = false;
    bool loaded_ = false;
    bool filling_ = false;
    bool eventsDirty_ = false;  // the run changed its events list since it was shown
    bool unsubDirty_ = false;   // the same for the unsubmitted-jobs list
    bool progDirty_ = false;    // lines were added to the progress list
    bool refreshQueued_ = false;
    bool sizing_ = false;
    bool closeRequested_ = false;
    bool closed_ = false;
    int runDepth_ = 0;  // calls of the run in progress (nested ones too)
    std::optional<FatalStop> fatal_;
};
