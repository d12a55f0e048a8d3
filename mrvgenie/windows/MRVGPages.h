#pragma once

#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>

#include "mrvgenie/generate.h"
#include "mrvgenie/genie.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class MRVGenie;

/// One page of the genie: a window of its own with the caption "Morvenda
/// Configuration Genie", the logo label and icon of the first page, the
/// wizard picture and the buttons "&Cancel", "Finish", "<< Back" and
/// "&Next >>". Closing it by its frame presses Cancel, unless the genie is
/// already ending.
///
/// Controls (objectName): lblLogo, uctGeniePic, cmdCancel, cmdFinish,
/// cmdBack, cmdNext, and the page's own texts lblText1 ... lblTextN.
class MRVGPage : public QWidget {
    Q_OBJECT
public:
    MRVGPage(MRVGenie* Genie, const char* Name);

    /// Set while the page is ending the program.
    bool Closing = false;

    /// Cancel: asks "Are you sure you want to cancel?"; Yes ends the genie
    /// (after the call-back program), No leaves the page as it is.
    void cmdCancel_Click();
    virtual void cmdNext_Click() {}
    virtual void cmdBack_Click() {}
    /// Finish is enabled only where it generates (the Select page).
    virtual void cmdFinish_Click() {}

protected:
    void closeEvent(QCloseEvent* event) override;
    /// Adds a text of the page (lblText1, lblText2, ... in order).
    QLabel* AddText(const QString& Text);

    MRVGenie* genie_;
    QVBoxLayout* body_;
    QLabel* lblLogo_;
    QLabel* uctGeniePic_;
    QPushButton* cmdCancel_;
    QPushButton* cmdFinish_;
    QPushButton* cmdBack_;
    QPushButton* cmdNext_;

private:
    int texts_ = 0;
};

/// The first page.
class MRVGIntro : public MRVGPage {
    Q_OBJECT
public:
    explicit MRVGIntro(MRVGenie* Genie);
    void cmdNext_Click() override;
};

/// The base folder: txtBase (filled only through Browse), cmdBrowse.
class MRVGBase : public MRVGPage {
    Q_OBJECT
public:
    explicit MRVGBase(MRVGenie* Genie);
    void cmdBrowse_Click();
    void cmdNext_Click() override;
    void cmdBack_Click() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QLineEdit* txtBase_;
    QPushButton* cmdBrowse_;
};

/// The schedule name: txtName, whose keys pass FilterNameKey.
class MRVGName : public MRVGPage {
    Q_OBJECT
public:
    explicit MRVGName(MRVGenie* Genie);
    void txtName_Change();
    void cmdNext_Click() override;
    void cmdBack_Click() override;

private:
    QLineEdit* txtName_;
};

/// The working days (lsbWDays, Sunday to Saturday, several selected) and the
/// date display order (cboDateDsplyFormat: dmy, mdy, ymd).
class MRVGWDays : public MRVGPage {
    Q_OBJECT
public:
    explicit MRVGWDays(MRVGenie* Genie);
    /// Selects Monday to Friday only.
    void SetMonFri();
    void cboDateDsplyFormat_Click(int Index);
    void cmdNext_Click() override;
    void cmdBack_Click() override;

private:
    QListWidget* lsbWDays_;
    QComboBox* cboDateDsplyFormat_;
};

/// The choice between the standard folder system (optStandard) and folders
/// of the operator's own (optOwnFolders, which generates nothing: the page
/// then says that the folders are set with the configuration program).
class MRVGSelect : public MRVGPage {
    Q_OBJECT
public:
    explicit MRVGSelect(MRVGenie* Genie);
    void opt_Click();
    void cmdNext_Click() override;
    void cmdFinish_Click() override;
    void cmdBack_Click() override;

private:
    QRadioButton* optStandard_;
    QRadioButton* optOwnFolders_;
    QLabel* lblOwnFolders_;
};

/// The generation page: its log list (lstLog; clicking a line shows it whole
/// as the list's tooltip) and cmdClose, enabled once the generation is done.
/// The log's name is fixed when the page is made; the first showing runs the
/// generation once.
class MRVGGenerate : public QWidget {
    Q_OBJECT
public:
    explicit MRVGGenerate(MRVGenie* Genie);

    /// Runs DoGenerate the first time; later calls do nothing.
    void Generate();
    /// Starts the call-back program and ends the genie.
    void cmdClose_Click();
    /// The result of the generation (after Generate).
    const GenerateResult& Result() const { return result_; }
    bool Closing = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    MRVGenie* genie_;
    QListWidget* lstLog_;
    QPushButton* cmdClose_;
    GenieLog log_;
    GenerateResult result_;
    bool generated_ = false;
};

/// The genie: its answers and its pages, one visible at a time.
class MRVGenie : public QObject {
    Q_OBJECT
public:
    /// ProgramFolder: the genie program's folder (log, dummy program, help).
    explicit MRVGenie(QString ProgramFolder);
    ~MRVGenie() override;

    GenieAnswers A;
    const QString ProgramFolder;
    /// The display order the Working-days page starts with (the locale's,
    /// unless a test sets another).
    std::function<int()> DateOrderProbe = ProbeSystemDateOrder;

    /// Shows the first page.
    void Start();
    /// Hides From and shows To in its place.
    void Show(QWidget* From, QWidget* To);
    /// The page shown; nullptr once the genie has ended.
    QWidget* Visible() const;

    MRVGIntro* Intro();
    /// The first page when it has been made (the others take its logo and icon).
    MRVGIntro* IntroIfMade() const { return intro_.get(); }
    MRVGBase* Base();
    MRVGName* Name();
    MRVGWDays* WDays();
    MRVGSelect* Select();
    MRVGGenerate* Generate();

    /// Closes every page and reports finished().
    void End();
    bool Ended() const { return ended_; }

signals:
    void finished();

private:
    std::unique_ptr<MRVGIntro> intro_;
    std::unique_ptr<MRVGBase> base_;
    std::unique_ptr<MRVGName> name_;
    std::unique_ptr<MRVGWDays> wdays_;
    std::unique_ptr<MRVGSelect> select_;
    std::unique_ptr<MRVGGenerate> generate_;
    bool ended_ = false;
};
