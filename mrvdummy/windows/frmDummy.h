#pragma once

#include "mrvdummy/dummyargs.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

/// The dummy job program's window: shows the job a dummy stands in for and
/// ends as its operands ask. A plain end is closing the window; a failure is a
/// run-time error, signalled to the program, which shows the error window and
/// ends with a non-zero status.
class frmDummy : public QWidget {
    Q_OBJECT
public:
    /// Reads the operands of CommandLine and fills the window (the window's
    /// load); the present moment of the clock becomes the start time.
    explicit frmDummy(const QString& CommandLine, QWidget* parent = nullptr);

    const DummyOperands& operands() const { return ops_; }
    /// True once a run-time error was raised.
    bool failed() const { return errorNumber_ != 0; }

signals:
    /// Err 5, Err13 or the quit timer with RES=F raised run-time error Number;
    /// Text is the error window's text. The timers are stopped by then.
    void runTimeError(int Number, const QString& Text);

public slots:
    void cmdGo_Click();
    void CmdTimer_Click();
    void cmdErr5_Click();
    void cmdErr13_Click();
    void cmdExit_Click();
    void tmrZOrder_Timer();
    void tmrQuit_Timer();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void RaiseRunTimeError(int Number);

    DummyOperands ops_;
    int remaining_ = 0;  // seconds left of the run time
    int errorNumber_ = 0;
    bool shownOnce_ = false;

    QLineEdit* txtCmdInput_;
    QGroupBox* fraDetails_;
    QLabel* lblJobName_;
    QLabel* lblStarted_;
    QLabel* lblFrequency_;
    QLineEdit* txtCmdLine_;
    QLabel* lblRunFor_;
    QLabel* lblResult_;
    QLabel* lblRunning_;
    QLabel* lblRejected_;
    QLabel* lblRejectedList_;
    QPushButton* cmdGo_;
    QPushButton* CmdTimer_;
    QPushButton* cmdErr5_;
    QPushButton* cmdErr13_;
    QPushButton* cmdExit_;
    QTimer* tmrZOrder_;
    QTimer* tmrQuit_;
};
