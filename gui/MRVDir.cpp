#include "gui/MRVDir.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "common/prompter.h"
#include "gui/controls.h"
#include "platform/drives.h"

namespace {

std::function<QStringList()>& FixedSource() {
    static std::function<QStringList()> f;
    return f;
}

std::function<QString(const QString&)>& DriveOfSource() {
    static std::function<QString(const QString&)> f;
    return f;
}

// The drives a folder may be chosen on: fixed and remote ones.
QStringList ListFixed() { return FixedSource() ? FixedSource()() : ChooserDrives(); }

QString DriveOfPath(const QString& path) { return DriveOfSource() ? DriveOfSource()(path) : DriveOf(path); }

// A folder path in the form the window hands out: clean, no trailing "/"
// except for the root itself.
QString Clean(const QString& path) { return QDir::cleanPath(path); }

// The nearest folder at or above Path that exists; "" when none does.
QString ExistingFolder(const QString& path) {
    QString p = Clean(path);
    while (!p.isEmpty()) {
        if (QFileInfo(p).isDir()) return p;
        if (p == QLatin1String("/")) return QString();
        const int slash = p.lastIndexOf(QLatin1Char('/'));
        p = slash <= 0 ? QStringLiteral("/") : p.left(slash);
    }
    return QString();
}

constexpr int kPathRole = Qt::UserRole;

}  // namespace

void SetChooserDrives(std::function<QStringList()> Fixed, std::function<QString(const QString&)> DriveOf) {
    FixedSource() = std::move(Fixed);
    DriveOfSource() = std::move(DriveOf);
}

MRVDir::MRVDir(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MRVDir"));
    setModal(true);

    lblDrive_ = new QLabel(QStringLiteral("Drive:"), this);
    lblDrive_->setObjectName(QStringLiteral("lblDrive"));
    drvDrive_ = new QComboBox(this);
    drvDrive_->setObjectName(QStringLiteral("drvDrive"));
    lblDrive_->setBuddy(drvDrive_);
    drvDrive_->setAccessibleName(QStringLiteral("Drive"));

    lblDir_ = new QLabel(QStringLiteral("Directory:"), this);
    lblDir_->setObjectName(QStringLiteral("lblDir"));
    dirDir_ = new QListWidget(this);
    dirDir_->setObjectName(QStringLiteral("dirDir"));
    lblDir_->setBuddy(dirDir_);
    dirDir_->setAccessibleName(QStringLiteral("Directory"));

    cmdOK_ = NamedButton(this, "cmdOK", QStringLiteral("&OK"));
    cmdCancel_ = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    cmdNew_ = NamedButton(this, "cmdNew", QStringLiteral("&New"));
    cmdOK_->setAccessibleName(QStringLiteral("OK"));
    cmdCancel_->setAccessibleName(QStringLiteral("Cancel"));
    cmdNew_->setAccessibleName(QStringLiteral("New"));
    cmdOK_->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblDir_, 0, 0);
    grid->addWidget(dirDir_, 1, 0, 3, 1);
    grid->addWidget(lblDrive_, 4, 0);
    grid->addWidget(drvDrive_, 5, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    buttons->addWidget(cmdNew_);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 1, 6, 1);
    resize(380, 320);

    connect(drvDrive_, &QComboBox::currentIndexChanged, this, &MRVDir::drvDrive_Change);
    connect(dirDir_, &QListWidget::itemActivated, this, &MRVDir::dirDir_Activated);
    connect(cmdOK_, &QPushButton::clicked, this, &MRVDir::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &MRVDir::cmdCancel_Click);
    connect(cmdNew_, &QPushButton::clicked, this, &MRVDir::cmdNew_Click);
}

void MRVDir::Start() {
    Cancelled = false;
    // With no folder given the operator's own folders come first.
    QString folder = ExistingFolder(Path.isEmpty() ? QDir::homePath() : QDir(Path).absolutePath());
    if (folder.isEmpty()) folder = QDir::homePath();
    open_ = folder;
    startFolder_ = folder;
    FillDrives(DriveOfPath(folder));
    ShowDrive(DriveOfPath(folder));
    FillFolders();
    rememberedDrive_ = CurrentDrive();
}

QString MRVDir::CurrentDrive() const { return drvDrive_->currentText(); }

QString MRVDir::FolderPath() const {
    const QListWidgetItem* item = dirDir_->currentItem();
    if (item && item->isSelected()) return item->data(kPathRole).toString();
    return open_;
}

void MRVDir::SetFolder(const QString& Folder) {
    open_ = Clean(Folder);
    const QString drive = DriveOfPath(open_);
    if (drvDrive_->findText(drive) < 0) FillDrives(drive);
    ShowDrive(drive);
    FillFolders();
}

// The fixed drives, and Extra (the drive of a folder shown) when it is not
// one of them, so the list always holds the drive it shows.
void MRVDir::FillDrives(const QString& ExtraDrive) {
    QStringList drives = ListFixed();
    if (!ExtraDrive.isEmpty() && !drives.contains(ExtraDrive)) drives.append(ExtraDrive);
    const QSignalBlocker block(drvDrive_);
    const QString shown = drvDrive_->currentText();
    drvDrive_->clear();
    drvDrive_->addItems(drives);
    drvDrive_->setCurrentIndex(drives.indexOf(shown));
}

void MRVDir::ShowDrive(const QString& Drive) {
    const QSignalBlocker block(drvDrive_);
    drvDrive_->setCurrentIndex(drvDrive_->findText(Drive));
    shownDrive_ = Drive;
}

void MRVDir::FillFolders() {
    dirDir_->clear();
    const QString drive = CurrentDrive().isEmpty() ? QStringLiteral("/") : CurrentDrive();
    // The chain from the drive's mount point down to the open folder.
    QStringList chain;
    for (QString p = open_;;) {
        chain.prepend(p);
        if (p == drive || p == QLatin1String("/")) break;
        const int slash = p.lastIndexOf(QLatin1Char('/'));
        p = slash <= 0 ? QStringLiteral("/") : p.left(slash);
    }
    int depth = 0;
    QListWidgetItem* openItem = nullptr;
    for (const QString& p : chain) {
        const QString name = depth == 0 ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, dirDir_);
        item->setData(kPathRole, p);
        openItem = item;
        ++depth;
    }
    const QDir dir(open_);
    const QStringList subs =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + s, dirDir_);
        item->setData(kPathRole, open_ == QLatin1String("/") ? open_ + s : open_ + QLatin1Char('/') + s);
    }
    dirDir_->setCurrentItem(openItem);
}

bool MRVDir::DriveTypeFixed(const QString& Drive) {
    if (!Drive.isEmpty() && ListFixed().contains(Drive)) return true;
    prompter().message(QStringLiteral("Please select a non-removable drive"), MsgButtons::Ok, MsgIcon::Warning,
                       windowTitle());
    const QSignalBlocker block(drvDrive_);
    drvDrive_->setCurrentIndex(-1);
    drvDrive_->setCurrentIndex(drvDrive_->findText(rememberedDrive_));
    shownDrive_ = rememberedDrive_;
    // The folder list goes back too when its folder is not on the remembered
    // drive: to the folder the window opened at, else that drive's root.
    if (DriveOfPath(open_) != rememberedDrive_) {
        open_ = DriveOfPath(startFolder_) == rememberedDrive_ && QFileInfo(startFolder_).isDir() ? startFolder_
                                                                                                 : rememberedDrive_;
        if (QFileInfo(open_).isDir()) FillFolders();
    }
    return false;
}

void MRVDir::drvDrive_Change(int) {
    if (!DriveTypeFixed(CurrentDrive())) return;
    const QString drive = CurrentDrive();
    const QFileInfo info(drive);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable()) {
        prompter().message(QStringLiteral("Cannot access the specified drive"), MsgButtons::Ok, MsgIcon::Warning,
                           QStringLiteral("Drive Error"));
        ShowDrive(shownDrive_);
        return;
    }
    shownDrive_ = drive;
    open_ = drive;
    FillFolders();
}

void MRVDir::dirDir_Activated(QListWidgetItem* Item) {
    if (!Item) return;
    open_ = Item->data(kPathRole).toString();
    // A folder that is another mount point (reached from "/") shows its
    // own drive; whether that drive is accepted is checked at OK and New.
    const QString drive = DriveOfPath(open_);
    if (!drive.isEmpty() && drive != shownDrive_) {
        if (drvDrive_->findText(drive) < 0) FillDrives(drive);
        ShowDrive(drive);
    }
    FillFolders();
}

void MRVDir::cmdNew_Click() {
    if (!DriveTypeFixed(DriveOfPath(FolderPath()))) return;
    const QString name = prompter().input(QStringLiteral("Please enter new folder name"), QStringLiteral("New Folder"));
    if (name.isEmpty()) return;
    const QString parent = FolderPath();
    const QString folder = parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
    // One new folder inside the list's folder: a name that climbs out of it,
    // names a folder below it or already exists is refused.
    const bool ok = !name.contains(QLatin1Char('/')) && name != QLatin1String(".") && name != QLatin1String("..") &&
                    QDir(parent).mkdir(name);
    if (!ok) {
        prompter().message(QStringLiteral("Could not create folder"), MsgButtons::Ok, MsgIcon::Warning,
                           QStringLiteral("New Folder"));
        return;
    }
    // The list stays in the folder it showed, with the new folder among its
    // siblings, highlighted: OK takes it, a double click opens it.
    open_ = parent;
    FillFolders();
    for (int i = 0; i < dirDir_->count(); ++i)
        if (dirDir_->item(i)->data(kPathRole).toString() == folder) dirDir_->setCurrentItem(dirDir_->item(i));
    cmdOK_->setFocus();
}

void MRVDir::cmdOK_Click() {
    // The folder OK takes is checked wherever it lies, however it was reached.
    if (!DriveTypeFixed(DriveOfPath(FolderPath()))) return;
    Path = Clean(FolderPath());
    accept();
}

void MRVDir::cmdCancel_Click() {
    Cancelled = true;
    QDialog::reject();
}

// Escape ends the window as Cancel does.
void MRVDir::reject() { cmdCancel_Click(); }

// The close box is Cancel: the caller never takes a folder the operator did
// not choose.
void MRVDir::closeEvent(QCloseEvent* event) {
    Cancelled = true;
    QDialog::closeEvent(event);
}

bool ChooseDirectory(QWidget* Parent, const QString& Caption, QString& Path) {
    MRVDir dlg(Parent);
    dlg.setWindowTitle(Caption);
    if (Parent) dlg.setWindowIcon(Parent->windowIcon());
    dlg.Path = Path;
    dlg.Start();
    const int result = dlg.exec();
    if (result != QDialog::Accepted || dlg.Cancelled) return false;
    Path = dlg.Path;
    return true;
}
