#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;

/// The about box that the scheduler and the e-mailer share: title, description
/// and version line, OK, and a button that starts the computer's
/// system-information program. While the program's start-up runs (see
/// setStartingUp) every request to close it (OK, Escape, the close box) is
/// refused; hiding or deleting it from code still works.
///
/// Controls (objectName): lblLogo, lblTitle, lblDescription, lblVersion,
/// cmdOK, cmdSysInfo.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    /// The window caption; "About Morvenda" until set.
    void setCaption(const QString& caption);
    /// The version line; "Version <major>.<minor>" until set.
    void setVersionText(const QString& text);
    /// The logo label's text; "" until set. The label shows only when its
    /// text differs from the title's.
    void setLogoText(const QString& text);
    /// While StartingUp returns true, close requests are refused. An unset
    /// function refuses nothing.
    void setStartingUp(std::function<bool()> StartingUp);
    /// The same with the program's own flag (not owned; null refuses nothing).
    void setStartingUp(const bool* Flag);

    /// The default version line: "Version " major "." minor.
    static QString DefaultVersionText();

public slots:
    /// Closes the window (refused while start-up runs).
    void cmdOK_Click();
    /// StartSysInfo.
    void cmdSysInfo_Click();

protected:
    void done(int r) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool startingUp() const { return startingUp_ && startingUp_(); }

    QLabel* lblLogo_;
    QLabel* lblTitle_;
    QLabel* lblDescription_;
    QLabel* lblVersion_;
    QPushButton* cmdOK_;
    QPushButton* cmdSysInfo_;
    std::function<bool()> startingUp_;
};

/// The system-information programs looked for, in order of preference.
QStringList SysInfoPrograms();

/// The full path of the first of SysInfoPrograms that an entry of PATH holds
/// as an executable file; "" when none does (an empty PATH finds none).
QString FindSysInfoProgram();

/// Starts the system-information program, detached. When none is found or it
/// cannot be started, shows "System Information is unavailable at this time"
/// and returns false.
bool StartSysInfo();
