#include "mrvconfg/windows/frmPubHol.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "common/clock.h"
#include "common/constants.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "gui/help.h"
#include "mrvconfg/config.h"
#include "mrvconfg/pubholidays.h"
#include "mrvconfg/windows/frmDateSel.h"

using namespace confg;

namespace {

const QString kFilter = QStringLiteral("Public Holidays Files(*.phf)|*.phf");

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    QPushButton* b = NamedButton(parent, name, caption);
    b->setAccessibleName(AccessibleCaption(caption));
    return b;
}

}  // namespace

MRVPubHol::MRVPubHol(QLineEdit* txtPubHols, const QString& CurrentIni, QWidget* parent)
    : QDialog(parent), txtPubHols_(txtPubHols), CurrentIni_(CurrentIni) {
    setObjectName(QStringLiteral("MRVPubHol"));
    setWindowTitle(QStringLiteral("Public Holidays and Other Non-Working Dates"));
    lstPubHols_ = new QListWidget(this);
    lstPubHols_->setObjectName(QStringLiteral("lstPubHols"));
    lstPubHols_->setAccessibleName(QStringLiteral("Public Holidays"));
    QPushButton* cmdAddPH = Button(this, "cmdAddPH", QStringLiteral("&Add"));
    cmdDelPH_ = Button(this, "cmdDelPH", QStringLiteral("&Del"));
    cmdChgPH_ = Button(this, "cmdChgPH", QStringLiteral("&Change"));
    QPushButton* cmdDelPHYear = Button(this, "cmdDelPHYear", QStringLiteral("Del &Year"));
    cmdDelPHYear->setToolTip(QStringLiteral("Delete all entries for a specified year."));
    QPushButton* cmdOpenPH = Button(this, "cmdOpenPH", QStringLiteral("&Open"));
    cmdSavePH_ = Button(this, "cmdSavePH", QStringLiteral("&Save"));
    QPushButton* cmdSaveAsPH = Button(this, "cmdSaveAsPH", QStringLiteral("Sa&ve As"));
    QPushButton* cmdHelp = Button(this, "cmdHelp", QStringLiteral("&Help"));
    cmdClose_ = Button(this, "cmdClose", QStringLiteral("C&lose"));
    for (QPushButton* b :
         {cmdAddPH, cmdDelPH_, cmdChgPH_, cmdDelPHYear, cmdOpenPH, cmdSavePH_, cmdSaveAsPH, cmdHelp, cmdClose_})
        b->setAutoDefault(false);
    cdgBrowse_ = new FileDialog(this, QStringLiteral("cdgBrowse"));
    MRVDateSel_ = new MRVDateSel(this);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdAddPH, cmdDelPH_, cmdChgPH_, cmdDelPHYear, cmdOpenPH, cmdSavePH_, cmdSaveAsPH, cmdHelp})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdClose_);
    auto* all = new QGridLayout(this);
    all->addWidget(lstPubHols_, 0, 0);
    all->addLayout(buttons, 0, 1);

    connect(cmdAddPH, &QPushButton::clicked, this, &MRVPubHol::cmdAddPH_Click);
    connect(cmdChgPH_, &QPushButton::clicked, this, &MRVPubHol::cmdChgPH_Click);
    connect(cmdDelPH_, &QPushButton::clicked, this, &MRVPubHol::cmdDelPH_Click);
    connect(cmdDelPHYear, &QPushButton::clicked, this, &MRVPubHol::cmdDelPHYear_Click);
    connect(cmdOpenPH, &QPushButton::clicked, this, &MRVPubHol::cmdOpenPH_Click);
    connect(cmdSavePH_, &QPushButton::clicked, this, &MRVPubHol::cmdSavePH_Click);
    connect(cmdSaveAsPH, &QPushButton::clicked, this, &MRVPubHol::cmdSaveAsPH_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &MRVPubHol::cmdHelp_Click);
    // The window has no menu: F1 presses its Help button.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, cmdHelp, &QPushButton::click);
    connect(cmdClose_, &QPushButton::clicked, this, &MRVPubHol::cmdClose_Click);
    connect(lstPubHols_, &QListWidget::currentRowChanged, this, &MRVPubHol::entryChosen);
    connect(lstPubHols_, &QListWidget::itemDoubleClicked, cmdChgPH_, &QPushButton::click);

    cmdSavePH_->setEnabled(false);
    entryChosen(-1);
    if (!path().isEmpty()) BuildPH();
}

MRVPubHol::~MRVPubHol() { delete cdgBrowse_; }

QString MRVPubHol::path() const {
    const QString p = txtPubHols_->text().trimmed();
    // The scheduler's missing-key marker names no file.
    return p == gMissingMark ? QString() : p;
}

QStringList MRVPubHol::entries() const {
    QStringList out;
    for (int i = 0; i < lstPubHols_->count(); ++i) out << lstPubHols_->item(i)->text();
    return out;
}

void MRVPubHol::setEntries(const QStringList& entries) {
    lstPubHols_->clear();
    lstPubHols_->addItems(entries);
}

void MRVPubHol::setDirty() { cmdSavePH_->setEnabled(true); }

void MRVPubHol::entryChosen(int row) {
    cmdDelPH_->setEnabled(row >= 0);
    cmdChgPH_->setEnabled(row >= 0);
}

void MRVPubHol::BuildPH() {
    QStringList list;
    QString error;
    int dropped = 0;
    if (!ReadPHFile(path(), gConfg.gDisplayFmt, &list, &error, &dropped)) {
        // The list stays as it was; the operator may open or save elsewhere.
        MsgBox(error, MsgButtons::Ok, MsgIcon::Warning, kPubHolTitle);
        return;
    }
    // Such lines would stop the scheduler; the operator learns that a save
    // leaves them out before it happens.
    if (dropped > 0)
        MsgBox(QStringLiteral("%1 line(s) of \"%2\" hold no valid date. They are not shown, and saving the file "
                              "leaves them out.")
                   .arg(dropped)
                   .arg(path()),
               MsgButtons::Ok, MsgIcon::Warning, kPubHolTitle);
    setEntries(list);
    entryChosen(-1);
    cmdSavePH_->setEnabled(false);
}

bool MRVPubHol::SavePH() {
    const QStringList list = entries();
    QString error;
    if (!WritePHFile(path(), list, &error)) {
        MsgBox(error, MsgButtons::Ok, MsgIcon::Critical, kPubHolTitle);
        return false;
    }
    if (!list.isEmpty()) {
        const PHParts last = SplitEntry(list.last());
        EntryDate = last.EntryDate;
        EntryDesc = last.EntryDesc;
    }
    cmdSavePH_->setEnabled(false);
    return true;
}

bool MRVPubHol::PickDate() {
    const std::optional<DateVal> start = ParseDate(EntryDate.trimmed());
    MRVDateSel_->mvDate = start ? *start : Now().datePart();
    MRVDateSel_->exec();
    if (MRVDateSel_->mvCancelled) return false;
    EntryDate = FormatDate(MRVDateSel_->mvDate, gConfg.gDisplayFmt);
    return true;
}

void MRVPubHol::cmdAddPH_Click() {
    const int remembered = lstPubHols_->currentRow();
    if (EntryDate.isEmpty()) EntryDate = FormatDate(Now(), gConfg.gDisplayFmt);
    if (!PickDate()) return;
    EntryDesc = prompter().input(QStringLiteral("Please enter description as required"), kPubHolTitle, QString());
    QStringList list = entries();
    list << JoinEntry({EntryDate, EntryDesc});
    SortPH(list);
    setEntries(list);
    lstPubHols_->setFocus();
    lstPubHols_->setCurrentRow(remembered);
    setDirty();
}

void MRVPubHol::cmdChgPH_Click() {
    const int row = lstPubHols_->currentRow();
    if (row < 0) {
        MsgBox(QStringLiteral("Please select an entry before requesting change"), MsgButtons::Ok, MsgIcon::Information,
               kPubHolTitle);
        return;
    }
    QListWidgetItem* item = lstPubHols_->item(row);
    lstPubHols_->setToolTip(item->text());
    const PHParts parts = SplitEntry(item->text());
    EntryDate = parts.EntryDate;
    EntryDesc = parts.EntryDesc;
    if (!PickDate()) return;
    EntryDesc = prompter().input(QStringLiteral("Please enter description as required"), kPubHolTitle, EntryDesc);
    item->setText(JoinEntry({EntryDate, EntryDesc}));
    lstPubHols_->setFocus();
    lstPubHols_->setCurrentRow(row);
    setDirty();
}

void MRVPubHol::cmdDelPH_Click() {
    const int row = lstPubHols_->currentRow();
    if (row < 0) {
        MsgBox(QStringLiteral("Please select an entry before requesting deletion"), MsgButtons::Ok,
               MsgIcon::Information, kPubHolTitle);
        return;
    }
    if (MsgBox(QStringLiteral("Delete the public holiday entry for \"%1\"?").arg(lstPubHols_->item(row)->text()),
               MsgButtons::YesNo, MsgIcon::Question, kPubHolTitle) != MsgAnswer::Yes)
        return;
    delete lstPubHols_->takeItem(row);
    lstPubHols_->setFocus();
    setDirty();
    lstPubHols_->setCurrentRow(-1);
    entryChosen(-1);
}

void MRVPubHol::cmdDelPHYear_Click() {
    QStringList list = entries();
    if (list.isEmpty()) return;
    const QString answer =
        prompter().input(QStringLiteral("Please specify year for which all entries are to be deleted"),
                         QStringLiteral("Delete Public Holidays"), DelYearDefault(list));
    if (answer.isEmpty()) return;
    if (const QString refusal = DelYearRefusal(answer, Now().year()); !refusal.isEmpty()) {
        MsgBox(refusal);
        return;
    }
    const int removed = DeleteYear(list, answer);
    setEntries(list);
    entryChosen(-1);
    MsgBox(QString::number(removed) + QStringLiteral(" Entries removed."), MsgButtons::Ok, MsgIcon::Information,
           kPubHolTitle);
    if (removed > 0) setDirty();
}

void MRVPubHol::cmdOpenPH_Click() {
    if (cmdSavePH_->isEnabled()) {
        const MsgAnswer a = MsgBox(QStringLiteral("Data has changed. Do you wish to save?"), MsgButtons::YesNoCancel,
                                   MsgIcon::Question, kPubHolTitle);
        if (a == MsgAnswer::Cancel || (a == MsgAnswer::Yes && !cmdSavePH_Click())) return;
    }
    cdgBrowse_->Filter = kFilter;
    cdgBrowse_->FilterIndex = 1;
    cdgBrowse_->Flags = FileDialog::FileMustExist | FileDialog::HideReadOnly | FileDialog::PathMustExist |
                        FileDialog::NoReadOnlyReturn | FileDialog::LongNames;
    cdgBrowse_->FileName = path();
    cdgBrowse_->DefaultExt.clear();
    if (!cdgBrowse_->ShowOpen()) return;
    txtPubHols_->setText(cdgBrowse_->FileName);
    BuildPH();
}

bool MRVPubHol::cmdSavePH_Click() {
    if (path().isEmpty()) return cmdSaveAsPH_Click();
    return SavePH();
}

bool MRVPubHol::cmdSaveAsPH_Click() {
    cdgBrowse_->Filter = kFilter;
    cdgBrowse_->FilterIndex = 1;
    cdgBrowse_->Flags = FileDialog::OverwritePrompt | FileDialog::CreatePrompt | FileDialog::ShareAware |
                        FileDialog::NoReadOnlyReturn | FileDialog::NoDereferenceLinks | FileDialog::LongNames;
    cdgBrowse_->FileName = path();
    cdgBrowse_->DefaultExt = QStringLiteral("phf");
    if (!cdgBrowse_->ShowSave()) return false;
    txtPubHols_->setText(cdgBrowse_->FileName);
    if (!SavePH()) return false;
    MsgBox(QStringLiteral("When saved, file \"") + CurrentIni_ +
               QStringLiteral("\n\" will contain the address of the saved public holidays file."),
           MsgButtons::Ok, MsgIcon::Information, kPubHolTitle);
    return true;
}

bool confg::ShowHelp(const QString& Topic) {
    const QString page = HelpPage(Topic, HelpFolder());
    return ShowHelpPage(page, page);
}

void MRVPubHol::cmdHelp_Click() { ShowHelp(QStringLiteral("Public Holidays")); }

void MRVPubHol::cmdClose_Click() {
    if (cmdSavePH_->isEnabled()) {
        const MsgAnswer a =
            MsgBox(QStringLiteral("Data has changed. Do you wish to save it to file \"%1\"?").arg(path()),
                   MsgButtons::YesNoCancel, MsgIcon::Question, kPubHolTitle);
        // Cancel, or a save that did not happen, keeps the window and its list.
        if (a == MsgAnswer::Cancel || (a == MsgAnswer::Yes && !cmdSavePH_Click())) return;
    }
    cmdClose_->setEnabled(false);
    Closing = true;
    QDialog::reject();
}

void MRVPubHol::reject() {
    // Escape asks as Close does.
    if (Closing)
        QDialog::reject();
    else
        cmdClose_Click();
}

void MRVPubHol::closeEvent(QCloseEvent* event) {
    if (Closing) {
        event->accept();
        return;
    }
    cmdClose_Click();
    if (Closing)
        event->accept();
    else
        event->ignore();
}
