#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QRadioButton;

/// "Morvenda Startup", the first-run window: shown when neither the command
/// line nor this computer's default names a configuration file. The operator
/// chooses optGenie (create a new schedule with the setup genie) or optExist
/// (find an existing configuration file); OK is enabled once one is chosen.
/// Closing it by its frame (or Esc) shows "Morvenda Terminating" and counts
/// as Cancel.
class frmStartUp : public QDialog {
    Q_OBJECT
public:
    enum class Answer { None, OK, Cancel };

    explicit frmStartUp(QWidget* parent = nullptr);

    Answer answer() const { return answer_; }
    /// "I want to create a new schedule." is chosen.
    bool GenieChosen() const;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QRadioButton* optGenie_;
    QRadioButton* optExist_;
    QPushButton* cmdOK_;
    Answer answer_ = Answer::None;
};

/// Shows message (OK) and ends the program (throws FatalStop).
[[noreturn]] void ShutDown(const QString& Message);

/// The first start on this computer: shows frmStartUp and carries out the
/// choice. Returns the configuration file the operator found (one with a
/// ScheduleName); every other way out ends the program by throwing FatalStop:
/// Cancel, the close box, the genie started (RunGenieAndEnd), the file dialog
/// cancelled, or Cancel after a warning.
QString RunFirstRun(QWidget* Parent);
