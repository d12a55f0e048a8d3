#pragma once

#include "morvenda/startup/startup.h"
#include "morvenda/startup/startwindow.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;
class frmAbout;

/// The start-up window: the configuration file, the schedule, the run date
/// with its weekday, the day start and the CPU limit, and the run options.
/// Its load runs the start-up sequence; Launch runs the schedule in the
/// execution window.
class frmMain : public QMainWindow, private StartupHost {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    /// Runs the start-up sequence for the program's command line and fills the
    /// window. Throws FatalStop when the program must end.
    void Form_Load(const QString& commandLine);

    /// Sets the run date box (see txtRunDate_Change).
    void setRunDateText(const QString& text);

    /// The checks of the window's values; the first failure's message is
    /// shown and the run date box takes the focus when it was the date.
    bool Valid();

    // Handlers (buttons and menu items press the same ones).
    void cmdLaunch_Click();
    void mnuOpen_Click();
    void mnuReset_Click();
    /// Opens the schedule grid modally.
    void cmdEdit_Click();
    void cmdExit_Click();
    void UpDown_Change(int step);
    void cmdViewLog_Click();
    void cmdCalendar_Click();
    void chkDummyRun_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    /// A double-click on the configuration-file label opens another file;
    /// while the splash shows, any other window that shows closes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's set-up, in the order the constructor takes it.
    QLabel* BuildLogoAndIniRow(QWidget* central, QVBoxLayout* outer);
    void BuildScheduleFrame(QWidget* central, QVBoxLayout* outer, QLabel* lblIniCaption);
    void BuildButtonsAndMenus(QWidget* central, QVBoxLayout* outer);

    void showSplash() override;
    void hideSplash() override;
    QString firstRunFile() override;
    void txtRunDate_Change();
    void ShowStartupValues(const StartupValues& v);

    QString commandLine_;
    // The start time and CPU limit as read from the file at the last load,
    // or as last written: exit writes back only what differs from them.
    ExitValues read_;
    QLabel* lblLogo_;
    QLabel* lblINIFile_;
    QGroupBox* fraSchedule_;
    QLineEdit* txtRunDate_;
    QSpinBox* updRunDate_;
    QLabel* lblDay_;
    QLabel* lblStartTime_;
    QLabel* lblCPULimit_;
    QCheckBox* chkStartSus_;
    QCheckBox* ChkDOS_;
    QCheckBox* chkDummyRun_;
    QCheckBox* chkShowEvents_;
    frmAbout* splash_ = nullptr;
    bool exiting_ = false;
};
