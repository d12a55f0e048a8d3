#include "mrvconfg/windows/frmConfig.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/clock.h"
#include "common/constants.h"
#include "common/programfolder.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/MRVDir.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "gui/mnemonics.h"
#include "mrvconfg/windows/frmPubHol.h"

using namespace confg;

namespace {

const QString kCaption = QStringLiteral("MRVConfg - Morvenda Configurator");
const char* const kAllowedKeys = "AllowedKeys";

template <typename W>
W* Named(W* w, const char* name, const QString& spoken) {
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(AccessibleCaption(spoken));
    return w;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    QPushButton* b = NamedButton(parent, name, caption);
    b->setAccessibleName(AccessibleCaption(caption));
    return b;
}

// A label for a control, with the control as its buddy; the control takes
// the label's text as its accessible name.
QLabel* LabelFor(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    buddy->setAccessibleName(AccessibleCaption(text));
    return l;
}

}  // namespace

MRVConfig::MRVConfig(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MRVConfig"));
    setWindowTitle(kCaption);
    auto* central = new QWidget(this);

    auto* lblIniCaption = new QLabel(QStringLiteral("Morvenda Ini File"), central);
    lblIniFile_ = Named(new QLabel(central), "lblIniFile", lblIniCaption->text());
    lblIniCaption->setBuddy(lblIniFile_);
    cmdOpenIni_ = Button(central, "cmdOpenIni", QStringLiteral("Open"));
    cmdSave_ = Button(central, "cmdSave", QStringLiteral("&Save"));
    cmdClose_ = Button(central, "cmdClose", QStringLiteral("&Close"));
    txtSaveAs_ = Named(new QLineEdit(central), "txtSaveAs", QStringLiteral("Save As"));
    txtSaveAs_->hide();
    cdgBrowse_ = new FileDialog(this, QStringLiteral("cdgBrowse"));

    tabConfig_ = Named(new QTabWidget(central), "tabConfig", QStringLiteral("Configuration"));
    auto* files = new QWidget(tabConfig_);
    auto* sched = new QWidget(tabConfig_);
    tabConfig_->addTab(files, QStringLiteral("File Locations"));
    tabConfig_->addTab(sched, QStringLiteral("Schedule Data"));
    buildFileTab(files);
    buildScheduleTab(sched);

    auto* top = new QHBoxLayout;
    top->addWidget(lblIniCaption);
    top->addWidget(lblIniFile_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpenIni_);
    buttons->addStretch();
    buttons->addWidget(cmdSave_);
    buttons->addWidget(cmdClose_);
    auto* all = new QVBoxLayout(central);
    all->addLayout(top);
    all->addWidget(tabConfig_, 1);
    all->addLayout(buttons);
    all->addWidget(txtSaveAs_);
    setCentralWidget(central);

    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuOpen = NamedMenuItem(mnuFile, "mnuOpen", QStringLiteral("&Open"));
    QAction* mnuSave = NamedMenuItem(mnuFile, "mnuSave", QStringLiteral("&Save"));
    QAction* mnuSaveAs = NamedMenuItem(mnuFile, "mnuSaveAs", QStringLiteral("Save &As"));
    mnuFile->addSeparator();
    QAction* mnuExit = NamedMenuItem(mnuFile, "mnuExit", QStringLiteral("E&xit"));
    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* mnuHelpF1 = NamedMenuItem(mnuHelp, "mnuHelpF1", QStringLiteral("&Help"));
    mnuHelpF1->setShortcut(QKeySequence(Qt::Key_F1));
    menus_ = {mnuFile->menuAction(), mnuHelp->menuAction(), mnuOpen, mnuSave, mnuSaveAs, mnuExit, mnuHelpF1};

    connect(cmdOpenIni_, &QPushButton::clicked, this, &MRVConfig::cmdOpenIni_Click);
    connect(cmdSave_, &QPushButton::clicked, this, &MRVConfig::cmdSave_Click);
    connect(cmdClose_, &QPushButton::clicked, this, &MRVConfig::cmdClose_Click);
    connect(mnuOpen, &QAction::triggered, cmdOpenIni_, &QPushButton::click);
    connect(mnuSave, &QAction::triggered, cmdSave_, &QPushButton::click);
    connect(mnuExit, &QAction::triggered, cmdClose_, &QPushButton::click);
    connect(mnuSaveAs, &QAction::triggered, this, &MRVConfig::mnuSaveAs_Click);
    connect(mnuHelpF1, &QAction::triggered, this, &MRVConfig::mnuHelpF1_Click);
    connect(tabConfig_, &QTabWidget::currentChanged, this, [this](int tab) {
        HelpTopic = tab == 1 ? QStringLiteral("MRVConfg Sched") : QStringLiteral("MRVConfg Files");
    });
    // "De&fault" shares Alt+F with the File menu, which wins it.
    MenuBarWinsMnemonics(this);
}

MRVConfig::~MRVConfig() { delete cdgBrowse_; }

void MRVConfig::buildFileTab(QWidget* page) {
    auto* grid = new QGridLayout(page);
    const auto changed = [this] { SettingsChanged = true; };
    for (int i = 0; i < kPathKeyCount; ++i) {
        const PathKeyInfo& k = PathKeyAt(i);
        auto* box = new QLineEdit(page);
        box->setObjectName(QLatin1String(k.control));
        QLabel* label = LabelFor(page, QLatin1String(k.label), box);
        QPushButton* browse = Button(page, "cmdBrowse", QStringLiteral("..."));
        browse->setProperty("Index", i);
        browse->setAccessibleName(QStringLiteral("Browse ") + QLatin1String(k.label));
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        grid->addWidget(browse, i, 2);
        paths_[static_cast<size_t>(i)] = box;
        connect(box, &QLineEdit::textChanged, this, changed);
        connect(browse, &QPushButton::clicked, this, [this, i] { cmdBrowse_Click(i); });
    }
    paths_[kLogFile]->setToolTip(
        QStringLiteral("Specify \"dd, ddd, mm, mmm, yy or yyyy as part of the file name for date substitution."));
}

void MRVConfig::buildScheduleTab(QWidget* page) {
    const auto changed = [this] { SettingsChanged = true; };
    const auto text = [&](const char* name) {
        auto* box = new QLineEdit(page);
        box->setObjectName(QLatin1String(name));
        connect(box, &QLineEdit::textChanged, this, changed);
        return box;
    };
    txtStartTime_ = text("txtStartTime");
    txtCPULimit_ = text("txtCPULimit");
    txtTimerSecs_ = text("txtTimerSecs");
    txtMinLaunch_ = text("txtMinLaunch");
    txtDummyModel_ = text("txtDummyModel");
    // Key filters: digits (and ":" in the time); pasted text is checked by
    // the validation.
    txtCPULimit_->setProperty(kAllowedKeys, gDigitChars);
    txtTimerSecs_->setProperty(kAllowedKeys, gDigitChars);
    txtStartTime_->setProperty(kAllowedKeys, gDigitChars + QLatin1Char(':'));
    for (QLineEdit* box : {txtCPULimit_, txtTimerSecs_, txtStartTime_}) box->installEventFilter(this);
    connect(txtDummyModel_, &QLineEdit::textChanged, txtDummyModel_, &QLineEdit::setToolTip);

    chkLoop_ = Named(new QCheckBox(QStringLiteral("Check for Schedule Loops"), page), "chkLoop",
                     QStringLiteral("Check for Schedule Loops"));
    chkShowFailed_ = Named(new QCheckBox(QStringLiteral("Show Job Failure Warning Message"), page), "chkShowFailed",
                           QStringLiteral("Show Job Failure Warning Message"));
    chkShowFailed_->setToolTip(QStringLiteral("On Schedule Execution form, the red warning message."));
    connect(chkLoop_, &QCheckBox::toggled, this, changed);
    connect(chkShowFailed_, &QCheckBox::toggled, this, changed);

    lstRunTimeErrorText_ = new QListWidget(page);
    lstRunTimeErrorText_->setObjectName(QStringLiteral("lstRunTimeErrorText"));
    cmdAddERT_ = Button(page, "cmdAddERT", QStringLiteral("&Add"));
    cmdDelERT_ = Button(page, "cmdDelERT", QStringLiteral("&Del"));
    cmdChgERT_ = Button(page, "cmdChgERT", QStringLiteral("Change"));
    connect(lstRunTimeErrorText_, &QListWidget::currentRowChanged, this, &MRVConfig::ertChosen);
    connect(lstRunTimeErrorText_, &QListWidget::itemDoubleClicked, cmdChgERT_, &QPushButton::click);
    connect(cmdAddERT_, &QPushButton::clicked, this, &MRVConfig::cmdAddERT_Click);
    connect(cmdChgERT_, &QPushButton::clicked, this, &MRVConfig::cmdChgERT_Click);
    connect(cmdDelERT_, &QPushButton::clicked, this, &MRVConfig::cmdDelERT_Click);

    lstWorkDays_ = new QListWidget(page);
    lstWorkDays_->setObjectName(QStringLiteral("lstWorkDays"));
    lstWorkDays_->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const QString& day : WeekDayNames()) lstWorkDays_->addItem(day);
    connect(lstWorkDays_, &QListWidget::itemSelectionChanged, this, changed);

    QPushButton* cmdPubHols = Button(page, "cmdPubHols", QStringLiteral("Public &Holidays"));
    connect(cmdPubHols, &QPushButton::clicked, this, &MRVConfig::cmdPubHols_Click);

    cboDateDisplayFmt_ = new QComboBox(page);
    cboDateDisplayFmt_->setObjectName(QStringLiteral("cboDateDisplayFmt"));
    connect(cboDateDisplayFmt_, &QComboBox::currentIndexChanged, this, &MRVConfig::displayFormatChosen);

    QPushButton* cmdDumDef = Button(page, "cmdDumDef", QStringLiteral("De&fault"));
    connect(cmdDumDef, &QPushButton::clicked, this, &MRVConfig::cmdDumDef_Click);

    cboEmAdrModel_ = new QComboBox(page);
    cboEmAdrModel_->setObjectName(QStringLiteral("cboEmAdrModel"));
    // Editable: the address template may be any text with ADDRESS and NAME.
    cboEmAdrModel_->setEditable(true);
    connect(cboEmAdrModel_, &QComboBox::editTextChanged, this, changed);

    auto* grid = new QGridLayout(page);
    int row = 0;
    const auto add = [&](const QString& label, QWidget* w, QWidget* extra = nullptr) {
        grid->addWidget(LabelFor(page, label, w), row, 0);
        grid->addWidget(w, row, 1);
        if (extra) grid->addWidget(extra, row, 2);
        ++row;
    };
    add(QStringLiteral("Daily Schedule Start Time"), txtStartTime_);
    add(QStringLiteral("CPU Limit"), txtCPULimit_);
    add(QStringLiteral("Default Kick Interval"), txtTimerSecs_);
    grid->addWidget(chkLoop_, row++, 1);
    auto* ertButtons = new QVBoxLayout;
    ertButtons->addWidget(cmdAddERT_);
    ertButtons->addWidget(cmdDelERT_);
    ertButtons->addWidget(cmdChgERT_);
    grid->addWidget(LabelFor(page, QStringLiteral("Run Time Error Recognition Text"), lstRunTimeErrorText_), row, 0);
    grid->addWidget(lstRunTimeErrorText_, row, 1);
    grid->addLayout(ertButtons, row++, 2);
    add(QStringLiteral("Normal Working Days"), lstWorkDays_, cmdPubHols);
    add(QStringLiteral("Date Display Format"), cboDateDisplayFmt_);
    add(QStringLiteral("Min Job Launch Time (Secs)"), txtMinLaunch_);
    add(QStringLiteral("Dummy Job Submission Model"), txtDummyModel_, cmdDumDef);
    add(QStringLiteral("Email Address Model"), cboEmAdrModel_);
    grid->addWidget(chkShowFailed_, row++, 1);
}

bool MRVConfig::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const QVariant allowed = watched->property(kAllowedKeys);
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        // Keys without a printable character (Backspace, arrows) pass.
        if (allowed.isValid() && !typed.isEmpty() && typed[0] >= QLatin1Char(' ') &&
            !allowed.toString().contains(typed[0].toUpper()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MRVConfig::Form_Load(const QString& CommandLine) {
    CurrentIni = CommandLine.trimmed();
    StartIni = CurrentIni;
    gConfg.gHelpPath = HelpFolder();
    if (CurrentIni.isEmpty()) {
        CurrentIni = GetSetting(gAppName, gRegSection, QStringLiteral("Current"));
        StartIni = CurrentIni;
    }
    if (CurrentIni.isEmpty()) MsgBox(QStringLiteral("No Ini file specification available"));
    if (CurrentIni.isEmpty() || !QFileInfo(CurrentIni).isFile()) {
        StartIni.clear();
        MsgBox(QStringLiteral("No Ini file ") +
               (CurrentIni.isEmpty() ? QStringLiteral("specified") : QStringLiteral("found at ") + CurrentIni));
        DisableControls();
    } else if (!IniGet(gAppName, QStringLiteral("ScheduleName"), CurrentIni).isEmpty()) {
        LoadIniFile();
        cmdChgERT_->setEnabled(false);
        cmdDelERT_->setEnabled(false);
    } else {
        MsgBox(QStringLiteral("The specified Ini file is not a valid Morvenda file"));
        DisableControls();
    }
    lblIniFile_->setText(CurrentIni);
    tabConfig_->setCurrentIndex(1);
    tabConfig_->setCurrentIndex(0);
}

void MRVConfig::showSettings(const ConfigSettings& s) {
    txtTimerSecs_->setText(s.TimerSecs);
    txtStartTime_->setText(s.StartTime);
    txtCPULimit_->setText(s.CPULimit);
    for (int i = 0; i < kPathKeyCount; ++i) paths_[static_cast<size_t>(i)]->setText(s.paths[static_cast<size_t>(i)]);
    chkLoop_->setChecked(s.LoopCheck);
    chkShowFailed_->setChecked(s.ShowFailed);
    txtMinLaunch_->setText(s.MinLaunch);
    txtDummyModel_->setText(s.DummyModel);
    gConfg.gHelpPath = paths_[kHelpPath]->text();

    cboDateDisplayFmt_->clear();
    cboDateDisplayFmt_->addItems(DateDisplayNames());
    cboDateDisplayFmt_->setCurrentIndex(s.DateDisplayFormat);

    lstWorkDays_->clearSelection();
    for (size_t d = 0; d < s.WorkDays.size(); ++d) lstWorkDays_->item(static_cast<int>(d))->setSelected(s.WorkDays[d]);
    lstWorkDays_->setCurrentRow(-1, QItemSelectionModel::NoUpdate);

    lstRunTimeErrorText_->clear();
    lstRunTimeErrorText_->addItems(s.ErrorTexts);
    // No entry is current, and none becomes current by itself when the list
    // takes the focus (after an Add): Change and Del act only on an entry
    // the operator chose. The view's own call marks the choice as made.
    lstRunTimeErrorText_->setCurrentIndex(QModelIndex());

    cboEmAdrModel_->clear();
    cboEmAdrModel_->addItems(EmailModelNames());
    int match = -1;
    for (int i = cboEmAdrModel_->count() - 1; i >= 0 && match < 0; --i)
        if (cboEmAdrModel_->itemText(i).toUpper() == s.EmailAddressModel.toUpper()) match = i;
    cboEmAdrModel_->setCurrentIndex(match);
    // A template of the operator's own stays as it is.
    if (match < 0) cboEmAdrModel_->setEditText(s.EmailAddressModel);
}

void MRVConfig::LoadIniFile() {
    FileSettings = ReadConfigSettings(IniDocument::load(CurrentIni));
    showSettings(FileSettings);
    TextsChanged = false;
    SettingsChanged = false;
    EnableControls();
}

ConfigSettings MRVConfig::settings() const {
    ConfigSettings s;
    for (int i = 0; i < kPathKeyCount; ++i) s.paths[static_cast<size_t>(i)] = paths_[static_cast<size_t>(i)]->text();
    s.StartTime = txtStartTime_->text();
    s.CPULimit = txtCPULimit_->text();
    s.TimerSecs = txtTimerSecs_->text();
    s.LoopCheck = chkLoop_->isChecked();
    s.ShowFailed = chkShowFailed_->isChecked();
    for (size_t d = 0; d < s.WorkDays.size(); ++d)
        s.WorkDays[d] = lstWorkDays_->item(static_cast<int>(d))->isSelected();
    s.DateDisplayFormat = cboDateDisplayFmt_->currentIndex();
    s.MinLaunch = txtMinLaunch_->text();
    s.DummyModel = txtDummyModel_->text();
    s.EmailAddressModel = cboEmAdrModel_->currentText();
    for (int i = 0; i < lstRunTimeErrorText_->count(); ++i) s.ErrorTexts << lstRunTimeErrorText_->item(i)->text();
    return s;
}

void MRVConfig::setAllEnabled(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(tabConfig_), static_cast<QWidget*>(cmdSave_),
                       static_cast<QWidget*>(cmdOpenIni_), static_cast<QWidget*>(cmdClose_)})
        w->setEnabled(on);
    for (QWidget* w : tabConfig_->findChildren<QWidget*>()) w->setEnabled(on);
    for (QAction* a : menus_) a->setEnabled(on);
}

void MRVConfig::DisableControls() {
    setAllEnabled(false);
    cmdClose_->setEnabled(true);
    cmdOpenIni_->setEnabled(true);
}

void MRVConfig::EnableControls() { setAllEnabled(true); }

void MRVConfig::displayFormatChosen(int position) {
    const QString mask = DisplayMask(position);
    if (!mask.isEmpty()) {
        gConfg.gDisplayFmt = mask;
        cboDateDisplayFmt_->setToolTip(FormatDate(Now(), mask));
    }
    SettingsChanged = true;
}

bool MRVConfig::cmdSave_Click() {
    IniDocument doc;
    QString error;
    // A Save As starts from the file it copies, so keys this editor does not
    // know (and comments) go with it; nothing is written before this save.
    if (!IniDocument::loadForUpdate(SaveAsPending ? SaveAsSource : CurrentIni, &doc, &error)) {
        MsgBox(error, MsgButtons::Ok, MsgIcon::Critical, kConfgTitle);
        return false;
    }
    // Another program may have written the file since it was loaded (the
    // scheduler writes the start time and CPU limit at its exit): a save
    // makes it what the window shows again, edited here or not.
    const ConfigSettings onFile = ReadConfigSettings(doc);
    const bool writeSettings = SettingsChanged || SaveAsPending || !SameSettingKeys(onFile, FileSettings);
    const bool writeTexts = TextsChanged || SaveAsPending || onFile.ErrorTexts != FileSettings.ErrorTexts;
    if (!writeSettings && !writeTexts) return true;
    ConfigSettings s = settings();
    const QString refusal = Valid(s);
    // Valid fills the defaults and puts a valid time into its normal form.
    txtStartTime_->setText(s.StartTime);
    txtTimerSecs_->setText(s.TimerSecs);
    txtCPULimit_->setText(s.CPULimit);
    if (!refusal.isEmpty()) {
        MsgBox(refusal, MsgButtons::Ok, MsgIcon::Warning, kConfgTitle);
        return false;
    }
    if (SaveAsPending) doc.setValue(gAppName, QStringLiteral("ScheduleName"), SaveAsName);
    if (writeSettings) WriteSettingKeys(doc, s);
    if (writeTexts) WriteErrorTexts(doc, s.ErrorTexts);
    // All keys in one atomic write: a failure leaves the file as it was and
    // the edits in the window.
    if (!doc.save(CurrentIni, &error)) {
        MsgBox(error, MsgButtons::Ok, MsgIcon::Critical, kConfgTitle);
        return false;
    }
    FileSettings = ReadConfigSettings(doc);
    SettingsChanged = false;
    TextsChanged = false;
    if (StartIni.isEmpty() || SaveAsPending) {
        QueryDefault();
        SaveAsPending = false;
        StartIni = CurrentIni;
    }
    return true;
}

void MRVConfig::QueryDefault() {
    if (MsgBox(QStringLiteral("Do you wish to make the schedule for this Inifile the default Morvenda schedule on "
                              "this computer?"),
               MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes)
        return;
    QString error;
    if (!SaveSetting(gAppName, gRegSection, QStringLiteral("Current"), CurrentIni, &error))
        MsgBox(error, MsgButtons::Ok, MsgIcon::Critical, kConfgTitle);
}

void MRVConfig::mnuSaveAs_Click() {
    const QString scheduleName = IniGet(gAppName, QStringLiteral("ScheduleName"), CurrentIni);
    txtSaveAs_->setText(CurrentIni);
    if (!CommonBrowse(txtSaveAs_, QStringLiteral("Morvenda Ini File"), 0, QStringLiteral(".Ini"))) return;
    const QString target = txtSaveAs_->text();
    const QFileInfo targetInfo(target);
    if (targetInfo.exists()) {
        if (MsgBox(QStringLiteral("File \"%1\" already exists.  Do you want to overwrite it?").arg(target),
                   MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Ini File")) != MsgAnswer::Yes)
            return;
    }
    // The new file is written whole by the save below, from the old file
    // with the edits: a save that is refused or fails leaves both files as
    // they were, and the next save writes every key again.
    const bool same =
        targetInfo.exists() && targetInfo.canonicalFilePath() == QFileInfo(CurrentIni).canonicalFilePath();
    // Nothing to copy (the old file is gone): the new file holds the
    // editor's keys only.
    SaveAsSource = same ? target : QFileInfo(CurrentIni).isFile() ? CurrentIni : QString();
    SaveAsName = scheduleName;
    CurrentIni = target;
    lblIniFile_->setText(CurrentIni);
    SaveAsPending = true;
    cmdSave_->click();
}

bool MRVConfig::CommonBrowse(QLineEdit* Field, const QString& Filter, int Flags, const QString& Extension) {
    if (Extension.isEmpty()) {
        fsTextField = Field->text();
        ChooseDirectory(this, QStringLiteral("Morvenda Configuration"), fsTextField);
        Field->setText(TrimFolder(fsTextField));
        return true;
    }
    const QString text = Field->text();
    cdgBrowse_->Flags = Flags | FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::NoReadOnlyReturn |
                        FileDialog::LongNames;
    cdgBrowse_->Filter = Filter + QStringLiteral(" Files(*") + Extension + QStringLiteral(")|*") + Extension;
    // Programs have no ".exe" here: every file can be chosen too.
    const bool program = Extension.compare(QLatin1String(".exe"), Qt::CaseInsensitive) == 0;
    if (program) cdgBrowse_->Filter += QStringLiteral("|All Files(*.*)|*.*");
    cdgBrowse_->FilterIndex = program ? 2 : 1;
    cdgBrowse_->InitDir = text.isEmpty() ? QString() : FolderOf(text);
    cdgBrowse_->FileName = text.isEmpty() ? QStringLiteral("*") + Extension : text;
    cdgBrowse_->DefaultExt = Extension.mid(1);
    cdgBrowse_->DialogTitle.clear();
    if (!cdgBrowse_->ShowOpen()) return false;
    Field->setText(cdgBrowse_->FileName);
    return true;
}

void MRVConfig::cmdBrowse_Click(int Index) {
    const PathKeyInfo& k = PathKeyAt(Index);
    if (Index == kLogFile)
        MsgBox(
            QStringLiteral("Please note that occurrences of lower case date components in\n"
                           "Log file names are replaced by date values when the log file is\n"
                           "written, as follows:\n\n"
                           "For Wednesday 8 May 2002: dd=08, ddd=Wed, mm=05, mmm=May, yy=02, yyyy=2002"));
    CommonBrowse(paths_[static_cast<size_t>(Index)], QLatin1String(k.filter),
                 k.mustExist ? FileDialog::FileMustExist : 0, QLatin1String(k.ext));
}

void MRVConfig::cmdOpenIni_Click() {
    // Edits of the file in hand are saved or dropped knowingly.
    if (DataChanged()) {
        const MsgAnswer a =
            MsgBox(QStringLiteral("Save changed data?"), MsgButtons::YesNoCancel, MsgIcon::Question, kConfgTitle);
        if (a == MsgAnswer::Cancel || (a == MsgAnswer::Yes && !cmdSave_Click())) return;
    }
    const QString schedule = paths_[kScheduleFile]->text();
    cdgBrowse_->Filter = QStringLiteral("Launcher Ini Files(*.ini)|*.ini");
    cdgBrowse_->FilterIndex = 1;
    cdgBrowse_->Flags =
        FileDialog::FileMustExist | FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::LongNames;
    cdgBrowse_->InitDir = schedule.isEmpty() ? QString() : FolderOf(schedule);
    cdgBrowse_->FileName = QStringLiteral("*.ini");
    cdgBrowse_->DefaultExt.clear();
    cdgBrowse_->DialogTitle.clear();
    if (!cdgBrowse_->ShowOpen()) return;
    CurrentIni = cdgBrowse_->FileName;
    lblIniFile_->setText(CurrentIni);
    setWindowTitle(QStringLiteral("Morvenda INI file: ") + CurrentIni);
    LoadIniFile();
    QueryDefault();
}

bool MRVConfig::QueryClose() {
    if (!DataChanged()) return true;
    const MsgAnswer a =
        MsgBox(QStringLiteral("Save changed data?"), MsgButtons::YesNoCancel, MsgIcon::Question, kConfgTitle);
    if (a == MsgAnswer::Cancel) return false;
    // A refused save keeps the window open with the edits in it.
    if (a == MsgAnswer::Yes && !cmdSave_Click()) return false;
    SettingsChanged = false;
    TextsChanged = false;
    return true;
}

void MRVConfig::cmdClose_Click() {
    if (!QueryClose()) return;
    closing_ = true;
    close();
}

void MRVConfig::closeEvent(QCloseEvent* event) {
    if (closing_ || QueryClose()) {
        closing_ = true;
        event->accept();
    } else {
        event->ignore();
    }
}

void MRVConfig::mnuHelpF1_Click() { ShowHelp(HelpTopic); }

void MRVConfig::ertChosen(int row) {
    const bool chosen = row >= 0;
    lstRunTimeErrorText_->setToolTip(chosen ? lstRunTimeErrorText_->item(row)->text() : QString());
    cmdChgERT_->setEnabled(chosen);
    cmdDelERT_->setEnabled(chosen);
}

void MRVConfig::cmdAddERT_Click() {
    const QString answer = prompter().input(QStringLiteral("Please enter error recognition text"),
                                            QStringLiteral("Error Recognition Text"), QString());
    if (const QString refusal = ErrorTextRefusal(answer); !refusal.isEmpty()) {
        MsgBox(refusal, MsgButtons::Ok, MsgIcon::Information, kConfgTitle);
        return;
    }
    lstRunTimeErrorText_->addItem(answer.toUpper());
    lstRunTimeErrorText_->setFocus();
    TextsChanged = true;
}

void MRVConfig::cmdChgERT_Click() {
    QListWidgetItem* item = lstRunTimeErrorText_->currentItem();
    if (!item) {
        MsgBox(QStringLiteral("Please select an entry before requesting change"), MsgButtons::Ok, MsgIcon::Information,
               kConfgTitle);
        return;
    }
    const QString answer = prompter().input(QStringLiteral("Please amend text as required"),
                                            QStringLiteral("Error Recognition Text"), item->text());
    if (const QString refusal = ErrorTextRefusal(answer); !refusal.isEmpty()) {
        MsgBox(refusal, MsgButtons::Ok, MsgIcon::Information, kConfgTitle);
        return;
    }
    lstRunTimeErrorText_->setFocus();
    item->setText(answer.toUpper());
    TextsChanged = true;
}

void MRVConfig::cmdDelERT_Click() {
    const int row = lstRunTimeErrorText_->currentRow();
    if (row < 0) {
        MsgBox(QStringLiteral("Please select an entry before requesting deletion"), MsgButtons::Ok,
               MsgIcon::Information, kConfgTitle);
        return;
    }
    const QString entry = lstRunTimeErrorText_->item(row)->text();
    if (MsgBox(QStringLiteral("Delete the error recognition text entry for \"%1\"?").arg(entry), MsgButtons::YesNo,
               MsgIcon::Question, kConfgTitle) != MsgAnswer::Yes)
        return;
    delete lstRunTimeErrorText_->takeItem(row);
    lstRunTimeErrorText_->setFocus();
    const int next = MinOf(row, lstRunTimeErrorText_->count() - 1);
    lstRunTimeErrorText_->setCurrentRow(next);
    ertChosen(next);
    TextsChanged = true;
}

void MRVConfig::cmdPubHols_Click() {
    MRVPubHol dlg(paths_[kPubHols], CurrentIni, this);
    dlg.exec();
}

void MRVConfig::cmdDumDef_Click() {
    // Start-up's model with a run of 60 seconds for the dummy job.
    txtDummyModel_->setText(gDefaultDummyModel + QStringLiteral(",RFS=60"));
}
