#pragma once

#include <QDialog>
#include <QString>

namespace confg {

/// Opens the help page of a topic with the desktop's program (pages in the
/// help folder, else in the program's folder). A missing page shows "Sorry -
/// cannot find a help file matching " and the quoted page path; a page that
/// cannot be opened shows why. False in both cases.
bool ShowHelp(const QString& Topic);

}  // namespace confg

class FileDialog;
class MRVDateSel;
class QLineEdit;
class QListWidget;
class QPushButton;

/// The public holidays editor ("Public Holidays and Other Non-Working
/// Dates"), shown modally from the configuration editor. The file is the one
/// the configuration editor's holidays box names: opening or saving under
/// another name changes that box. The Save button's enabled state shows
/// unsaved changes.
///
/// Controls (objectName): lstPubHols, cmdAddPH, cmdDelPH, cmdChgPH,
/// cmdDelPHYear, cmdOpenPH, cmdSavePH, cmdSaveAsPH, cmdHelp, cmdClose; the
/// date picker MRVDateSel.
class MRVPubHol : public QDialog {
    Q_OBJECT
public:
    /// txtPubHols: the configuration editor's holidays box (not owned);
    /// CurrentIni: the configuration file being edited. Loads the file the
    /// box names (BuildPH).
    MRVPubHol(QLineEdit* txtPubHols, const QString& CurrentIni, QWidget* parent = nullptr);
    ~MRVPubHol() override;

    /// Fills the list from the file; the list counts as saved.
    void BuildPH();
    /// Writes the list to the file; false after a failure (already shown).
    bool SavePH();
    /// The list's entries, top to bottom.
    QStringList entries() const;
    /// The date picker, shown by Add and Change.

public slots:
    void cmdAddPH_Click();
    void cmdChgPH_Click();
    void cmdDelPH_Click();
    void cmdDelPHYear_Click();
    void cmdOpenPH_Click();
    /// Save (Save As first when no file is named); false when not saved.
    bool cmdSavePH_Click();
    bool cmdSaveAsPH_Click();
    void cmdHelp_Click();
    void cmdClose_Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString path() const;
    void setEntries(const QStringList& entries);
    void setDirty();
    void entryChosen(int row);
    /// Shows the picker at EntryDate; true (EntryDate the picked date) when a
    /// date was picked.
    bool PickDate();

    QLineEdit* txtPubHols_;
    QString CurrentIni_;
    QListWidget* lstPubHols_;
    QPushButton* cmdDelPH_;
    QPushButton* cmdChgPH_;
    QPushButton* cmdSavePH_;
    QPushButton* cmdClose_;
    FileDialog* cdgBrowse_;
    MRVDateSel* MRVDateSel_;

    QString EntryDate;
    QString EntryDesc;
    bool Closing = false;
};
