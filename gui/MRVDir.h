#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

/// The directory chooser: a small modal window for choosing, or creating, a
/// folder on a fixed or remote drive. A "drive" is the mount point of a file
/// system (platform/drives); the drive list holds the fixed and remote
/// drives and the drive of the folder shown. Removable media, optical discs
/// and RAM disks are refused at OK and New, wherever the folder was reached.
///
/// The folder list shows the chain of folders from the drive's mount point
/// down to the open folder, then the open folder's subfolders. Double-click
/// (or Enter) opens a folder; the highlighted folder is the list's path,
/// which OK returns and inside which New creates (the new folder is then
/// highlighted among its siblings).
///
/// Controls (objectName): lblDrive "Drive:", drvDrive, lblDir "Directory:",
/// dirDir, cmdOK "&OK", cmdCancel "&Cancel", cmdNew "&New".
class MRVDir : public QDialog {
    Q_OBJECT
public:
    explicit MRVDir(QWidget* parent = nullptr);

    /// In: the folder to start at (read by Start). Out: the chosen folder,
    /// case kept, without a trailing "/" (except "/" itself).
    QString Path;
    /// True when the window ended by Cancel, Escape or its close box.
    bool Cancelled = false;

    /// Fills the drive list with Path's drive and the folder list with Path
    /// (its nearest existing folder; the operator's home folder when Path is
    /// empty), clears Cancelled and remembers the drive shown.
    void Start();

    /// The folder list's path: the highlighted folder, else the open one.
    QString FolderPath() const;
    /// The open folder of the folder list.
    QString OpenFolder() const { return open_; }
    /// The drive shown in the drive list.
    QString CurrentDrive() const;
    /// Opens Folder in the folder list (the drive list follows it).
    void SetFolder(const QString& Folder);

    /// Whether Drive is accepted (a fixed or a remote drive). On refusal
    /// shows "Please select a non-removable drive" with the window's caption
    /// as title and shows the remembered drive again, the folder list back on
    /// it when its folder lay elsewhere.
    bool DriveTypeFixed(const QString& Drive);

public slots:
    void drvDrive_Change(int Index);
    void dirDir_Activated(QListWidgetItem* Item);
    void cmdNew_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FillDrives(const QString& ExtraDrive);
    void ShowDrive(const QString& Drive);
    void FillFolders();

    QLabel* lblDrive_;
    QComboBox* drvDrive_;
    QLabel* lblDir_;
    QListWidget* dirDir_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QPushButton* cmdNew_;
    QString open_;
    QString rememberedDrive_;
    QString startFolder_;
    QString shownDrive_;
    bool filling_ = false;
};

/// Shows MRVDir modally with Caption as its title (and the title of its
/// refusal message) and Parent's icon, starting at Path. True when the
/// operator pressed OK: Path is then the chosen folder, case kept. False on
/// Cancel, Escape or the close box: Path is unchanged.
bool ChooseDirectory(QWidget* Parent, const QString& Caption, QString& Path);

/// Replaces where the chooser learns the fixed drives and the drive of a path
/// (tests); empty functions restore the machine's own (FixedDrives, DriveOf).
void SetChooserDrives(std::function<QStringList()> Fixed, std::function<QString(const QString&)> DriveOf);
