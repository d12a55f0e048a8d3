#pragma once

#include <QMainWindow>
#include <QString>
#include <array>

#include "mrvconfg/config.h"

class FileDialog;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

/// The configuration editor's window: edits one schedule configuration file
/// on two tabs ("File Locations", "Schedule Data"), checks and saves it, saves
/// it under another name, and offers it as this computer's default schedule.
/// Every question and message goes through the prompter.
///
/// Controls (objectName): lblIniFile, cmdOpenIni, cmdSave, cmdClose,
/// txtSaveAs (hidden), tabConfig; the path boxes of confg::PathKeyAt with
/// their browse buttons "cmdBrowse" (property "Index"); txtStartTime,
/// txtCPULimit, txtTimerSecs, chkLoop, lstRunTimeErrorText, cmdAddERT,
/// cmdDelERT, cmdChgERT, lstWorkDays, cmdPubHols, cboDateDisplayFmt,
/// txtMinLaunch, txtDummyModel, cmdDumDef, cboEmAdrModel, chkShowFailed;
/// menus mnuFile (mnuOpen, mnuSave, mnuSaveAs, mnuExit) and mnuHelp
/// (mnuHelpF1).
class MRVConfig : public QMainWindow {
    Q_OBJECT
public:
    explicit MRVConfig(QWidget* parent = nullptr);
    ~MRVConfig() override;

    /// Start-up: the file named by CommandLine (the whole text is the path),
    /// else by the setting "Current"; a missing or foreign file leaves only
    /// Open and Close working.
    void Form_Load(const QString& CommandLine);

    /// Fills every control from CurrentIni; the result counts as unchanged.
    void LoadIniFile();

    QString currentIni() const { return CurrentIni; }
    QString startIni() const { return StartIni; }
    QString helpTopic() const { return HelpTopic; }
    bool settingsChanged() const { return SettingsChanged; }
    bool textsChanged() const { return TextsChanged; }
    bool DataChanged() const { return SettingsChanged || TextsChanged; }
    /// The settings as the controls hold them.
    confg::ConfigSettings settings() const;

public slots:
    void cmdOpenIni_Click();
    /// Checks and writes the changed keys, and the keys another program
    /// changed in the file since it was loaded (back to what the window
    /// shows). True when there was nothing to write or it was written; false
    /// after a refusal (already shown).
    bool cmdSave_Click();
    void cmdClose_Click();
    void mnuSaveAs_Click();
    void mnuHelpF1_Click();
    void cmdBrowse_Click(int Index);
    void cmdAddERT_Click();
    void cmdChgERT_Click();
    void cmdDelERT_Click();
    void cmdPubHols_Click();
    void cmdDumDef_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFileTab(QWidget* page);
    void buildScheduleTab(QWidget* page);
    void showSettings(const confg::ConfigSettings& s);
    void DisableControls();
    void EnableControls();
    void setAllEnabled(bool on);
    void QueryDefault();
    /// The closing question; true when the window may close.
    bool QueryClose();
    /// Browse for a file into Field; true when one was chosen.
    bool CommonBrowse(QLineEdit* Field, const QString& Filter, int Flags, const QString& Extension);
    void ertChosen(int row);
    void displayFormatChosen(int position);

    QLabel* lblIniFile_;
    QPushButton* cmdOpenIni_;
    QPushButton* cmdSave_;
    QPushButton* cmdClose_;
    QLineEdit* txtSaveAs_;
    QTabWidget* tabConfig_;
    std::array<QLineEdit*, confg::kPathKeyCount> paths_{};
    QLineEdit* txtStartTime_;
    QLineEdit* txtCPULimit_;
    QLineEdit* txtTimerSecs_;
    QCheckBox* chkLoop_;
    QListWidget* lstRunTimeErrorText_;
    QPushButton* cmdAddERT_;
    QPushButton* cmdDelERT_;
    QPushButton* cmdChgERT_;
    QListWidget* lstWorkDays_;
    QComboBox* cboDateDisplayFmt_;
    QLineEdit* txtMinLaunch_;
    QLineEdit* txtDummyModel_;
    QComboBox* cboEmAdrModel_;
    QCheckBox* chkShowFailed_;
    QList<QAction*> menus_;
    FileDialog* cdgBrowse_;

    QString CurrentIni;
    QString StartIni;
    bool SettingsChanged = false;
    bool TextsChanged = false;
    bool SaveAsPending = false;
    // The settings as the file held them at the last load or save: a file
    // that reads otherwise now was written by another program meanwhile.
    confg::ConfigSettings FileSettings;
    // What a pending Save As writes: the file it copies ("" for none) and
    // the "ScheduleName" it keeps.
    QString SaveAsSource;
    QString SaveAsName;
    QString HelpTopic = QStringLiteral("MRVConfg Files");
    QString fsTextField;
    bool closing_ = false;
};
