#pragma once

#include <QMainWindow>
#include <QString>
#include <optional>

#include "mrvemail/emailconfig.h"
#include "mrvemail/sendpass.h"
#include "platform/mail.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

/// The e-mailer's window: a one-second countdown that presses Kick, which
/// runs a sending pass over the messages folder; Suspend stops the countdown
/// (a pass by hand still runs); Close ends the program.
///
/// Controls (objectName): cmdKick, cmdSuspend, cmdClose, lblProgress,
/// lblErrors, lblSecs, lblLogo, tmrEmail, menus mnuFile (mnuKick, mnuSuspend,
/// mnuExit) and mnuAbout.
class frmEmail : public QMainWindow {
    Q_OBJECT
public:
    explicit frmEmail(QWidget* parent = nullptr);
    ~frmEmail() override;

    /// Start-up: finds and reads the configuration file, deletes old sent
    /// files, logs on to the mail server and starts the countdown (the first
    /// pass one second later). nullopt when the window is to be shown;
    /// otherwise the program's exit status after the reason was shown (0 when
    /// the operator declined to search for a configuration file, 1 for a
    /// configuration or log-on failure).
    std::optional<int> Form_Load(const QString& CommandLine, const QString& ProgramPath);

    const EmailConfig& config() const { return cfg_; }
    /// Seconds to the next timed pass.
    int countdown() const { return countdown_; }
    bool isSuspended() const { return suspended_; }
    bool isPassRunning() const { return passRunning_; }

public slots:
    void cmdKick_Click();
    void cmdSuspend_Click();
    void cmdClose_Click();
    void tmrEmail_Timer();
    void mnuAbout_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BeginPass();
    void EndPass();
    void Form_Unload();
    void PlaceWindow();

    QLabel* lblLogo_;
    QLabel* lblProgress_;
    QLabel* lblErrors_;
    QLabel* lblSecs_;
    QPushButton* cmdKick_;
    QPushButton* cmdSuspend_;
    QPushButton* cmdClose_;
    QTimer* tmrEmail_;
    QMenu* mnuFile_;
    QAction* mnuKick_;
    QAction* mnuSuspend_;
    QAction* mnuExit_;
    QAction* mnuAbout_;

    EmailConfig cfg_;
    MailSession mail_;
    SendPassState passState_;
    int countdown_ = 1;
    bool loaded_ = false;
    bool passRunning_ = false;
    bool closeRequested_ = false;
    bool suspended_ = false;
    // Suspend or close was asked for while a pass ran: it ends after the
    // message in hand.
    bool stopPass_ = false;
    // The mail server's fault last written to standard error, so a fault
    // that lasts is written once.
    QString loggedFault_;
    bool unloaded_ = false;
    QString savedProgress_;
    /// The progress label shows WaitingText; the text it replaced.
    bool showingWait_ = false;
    QString progressBeforeWait_;
};

/// The progress text after a pass that left messages because the mail server
/// could not take them: "Waiting for the mail server: " and the reason.
QString WaitingText(const QString& Reason);
