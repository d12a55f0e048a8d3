#include "morvenda/windows/frmMain.h"

#include "common/checks.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "gui/frmAbout.h"
#include "gui/guard.h"
#include "gui/mnemonics.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/startup/startwindow.h"
#include "morvenda/windows/frmDateSel.h"
#include "morvenda/windows/frmDumOp.h"
#include "morvenda/windows/frmLGrid.h"
#include "morvenda/windows/frmLogVw.h"
#include "morvenda/windows/frmSched.h"
#include "morvenda/windows/frmStartUp.h"
#include "morvenda/windows/widgethelpers.h"

#include <QAction>
#include <QKeySequence>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {

// How long start-up waits at most for its splash to be exposed.
constexpr qint64 kSplashExposeMs = 1500;

// The run date's up-down arrows: only their clicks count, so no number shows.
class UpDown : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int) const override { return QString(); }
};

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Morvenda - Windows Scheduler"));
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    QLabel* lblIniCaption = BuildLogoAndIniRow(central, outer);
    BuildScheduleFrame(central, outer, lblIniCaption);
    BuildButtonsAndMenus(central, outer);
    NameControls(this);
    connect(txtRunDate_, &QLineEdit::textChanged, this, [this] { txtRunDate_Change(); });
    connect(updRunDate_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v == 0) return;
        UpDown_Change(v);
        const QSignalBlocker block(updRunDate_);
        updRunDate_->setValue(0);
    });
    // Alt+H, Alt+V: the Help and View menus, not the button and box that
    // share their letters.
    MenuBarWinsMnemonics(this);
}

QLabel* frmMain::BuildLogoAndIniRow(QWidget* central, QVBoxLayout* outer) {
    lblLogo_ = new QLabel(QStringLiteral("Morvenda"), central);
    lblLogo_->setObjectName(QStringLiteral("lblLogo"));
    QFont logoFont = lblLogo_->font();
    logoFont.setPointSize(logoFont.pointSize() + 6);
    logoFont.setBold(true);
    lblLogo_->setFont(logoFont);
    outer->addWidget(lblLogo_);

    auto* iniRow = new QHBoxLayout;
    auto* lblIniCaption = new QLabel(QStringLiteral("INI file"), central);
    lblIniCaption->setObjectName(QStringLiteral("lblINICaption"));
    lblINIFile_ = new QLabel(central);
    lblINIFile_->setObjectName(QStringLiteral("lblINIFile"));
    lblINIFile_->installEventFilter(this);
    iniRow->addWidget(lblIniCaption);
    iniRow->addWidget(lblINIFile_, 1);
    outer->addLayout(iniRow);
    return lblIniCaption;
}

void frmMain::BuildScheduleFrame(QWidget* central, QVBoxLayout* outer, QLabel* lblIniCaption) {
    fraSchedule_ = new QGroupBox(QStringLiteral("Schedule: "), central);
    fraSchedule_->setObjectName(QStringLiteral("fraSchedule"));
    auto* grid = new QGridLayout(fraSchedule_);
    txtRunDate_ = new QLineEdit(fraSchedule_);
    txtRunDate_->setObjectName(QStringLiteral("txtRunDate"));
    txtRunDate_->setToolTip(QStringLiteral("Day on which jobs are to be scheduled for submission"));
    // The up-down control: only its up and down clicks count.
    updRunDate_ = new UpDown(fraSchedule_);
    updRunDate_->setObjectName(QStringLiteral("updRunDate"));
    updRunDate_->setRange(-1, 1);
    updRunDate_->setValue(0);
    updRunDate_->setFixedWidth(updRunDate_->sizeHint().height());
    updRunDate_->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lblDay_ = new QLabel(fraSchedule_);
    lblDay_->setObjectName(QStringLiteral("lblDay"));
    auto* lblStartCaption = new QLabel(QStringLiteral("To start at:"), fraSchedule_);
    lblStartTime_ = new QLabel(fraSchedule_);
    lblStartTime_->setObjectName(QStringLiteral("lblStartTime"));
    lblStartTime_->setToolTip(
        QStringLiteral("Earliest time at which jobs are to be considered for submission.  "
                       "Schedule covers a 24 hr period from this time."));
    auto* lblCpuCaption = new QLabel(QStringLiteral("CPU Limit:"), fraSchedule_);
    lblCPULimit_ = new QLabel(fraSchedule_);
    lblCPULimit_->setObjectName(QStringLiteral("lblCPULimit"));
    lblCPULimit_->setToolTip(QStringLiteral("CPU Limit for concurrently running jobs"));
    // Names for assistive tools: the run date has no label of its own, the
    // values take the captions beside them.
    txtRunDate_->setAccessibleName(QStringLiteral("Run Date"));
    updRunDate_->setAccessibleName(QStringLiteral("Run Date Up Down"));
    lblIniCaption->setBuddy(lblINIFile_);
    lblStartCaption->setBuddy(lblStartTime_);
    lblCpuCaption->setBuddy(lblCPULimit_);
    grid->addWidget(txtRunDate_, 0, 0);
    grid->addWidget(updRunDate_, 0, 1);
    grid->addWidget(lblDay_, 0, 2);
    grid->addWidget(lblStartCaption, 1, 0);
    grid->addWidget(lblStartTime_, 1, 2);
    grid->addWidget(lblCpuCaption, 2, 0);
    grid->addWidget(lblCPULimit_, 2, 2);

    chkStartSus_ = new QCheckBox(QStringLiteral("S&tart Suspended"), fraSchedule_);
    chkStartSus_->setObjectName(QStringLiteral("chkStartSus"));
    ChkDOS_ = new QCheckBox(QStringLiteral("Serialise &DOS Jobs"), fraSchedule_);
    ChkDOS_->setObjectName(QStringLiteral("ChkDOS"));
    chkDummyRun_ = new QCheckBox(QStringLiteral("D&ummy Run"), fraSchedule_);
    chkDummyRun_->setObjectName(QStringLiteral("chkDummyRun"));
    chkShowEvents_ = new QCheckBox(QStringLiteral("Show E&vents"), fraSchedule_);
    chkShowEvents_->setObjectName(QStringLiteral("chkShowEvents"));
    grid->addWidget(chkStartSus_, 3, 0);
    grid->addWidget(ChkDOS_, 3, 2);
    grid->addWidget(chkDummyRun_, 4, 0);
    grid->addWidget(chkShowEvents_, 4, 2);
    outer->addWidget(fraSchedule_);
}

void frmMain::BuildButtonsAndMenus(QWidget* central, QVBoxLayout* outer) {
    auto* buttons = new QHBoxLayout;
    QPushButton* cmdLaunch = NamedButton(central, "cmdLaunch", QStringLiteral("&Launch Schedule"));
    QPushButton* cmdEdit = NamedButton(central, "cmdEdit", QStringLiteral("&Edit Schedule"));
    QPushButton* cmdViewLog = NamedButton(central, "cmdViewLog", QStringLiteral("Vie&w Log"));
    QPushButton* cmdCalendar = NamedButton(central, "cmdCalendar", QStringLiteral("C&alendar"));
    QPushButton* cmdHelp = NamedButton(central, "cmdHelp", QStringLiteral("&Help"));
    QPushButton* cmdExit = NamedButton(central, "cmdExit", QStringLiteral("E&xit"));
    for (QPushButton* b : {cmdLaunch, cmdEdit, cmdViewLog, cmdCalendar, cmdHelp, cmdExit}) buttons->addWidget(b);
    outer->addLayout(buttons);
    setCentralWidget(central);

    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuOpen = NamedMenuItem(mnuFile, "mnuOpen", QStringLiteral("&Open New Schedule"));
    QAction* mnuExit = NamedMenuItem(mnuFile, "mnuExit", QStringLiteral("E&xit"));
    QMenu* mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    QAction* mnuViewLog = NamedMenuItem(mnuView, "mnuViewLog", QStringLiteral("&Log"));
    QMenu* mnuSchedule = menuBar()->addMenu(QStringLiteral("&Schedule"));
    mnuSchedule->setObjectName(QStringLiteral("mnuSchedule"));
    QAction* mnuLaunch = NamedMenuItem(mnuSchedule, "mnuLaunch", QStringLiteral("&Launch"));
    QAction* mnuEdit = NamedMenuItem(mnuSchedule, "mnuEdit", QStringLiteral("&Edit"));
    QAction* mnuReset = NamedMenuItem(mnuSchedule, "mnuReset", QStringLiteral("Re&set"));
    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* mnuHelpContents = NamedMenuItem(mnuHelp, "mnuHelpContents", QStringLiteral("&Morvenda Help"));
    mnuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* mnuAbout = NamedMenuItem(mnuHelp, "mnuAbout", QStringLiteral("&About"));

    connect(cmdLaunch, &QPushButton::clicked, this, [this] { GuardFatal([this] { cmdLaunch_Click(); }); });
    connect(mnuLaunch, &QAction::triggered, cmdLaunch, &QPushButton::click);
    connect(cmdExit, &QPushButton::clicked, this, [this] { GuardFatal([this] { cmdExit_Click(); }); });
    connect(mnuExit, &QAction::triggered, cmdExit, &QPushButton::click);
    connect(cmdEdit, &QPushButton::clicked, this, [this] { GuardFatal([this] { cmdEdit_Click(); }); });
    connect(mnuEdit, &QAction::triggered, cmdEdit, &QPushButton::click);
    connect(mnuOpen, &QAction::triggered, this, [this] { GuardFatal([this] { mnuOpen_Click(); }); });
    connect(mnuReset, &QAction::triggered, this, [this] { GuardFatal([this] { mnuReset_Click(); }); });
    connect(cmdViewLog, &QPushButton::clicked, this, &frmMain::cmdViewLog_Click);
    connect(mnuViewLog, &QAction::triggered, cmdViewLog, &QPushButton::click);
    connect(cmdCalendar, &QPushButton::clicked, this, &frmMain::cmdCalendar_Click);
    txtRunDate_->installEventFilter(this);
    connect(chkDummyRun_, &QCheckBox::toggled, this, [this](bool on) {
        // Ticking opens the options, except while start-up runs.
        if (on && !G.gStartingUp) chkDummyRun_Click();
    });
    auto help = [] { ShowHelp(QStringLiteral("Startup")); };
    connect(cmdHelp, &QPushButton::clicked, this, help);
    connect(mnuHelpContents, &QAction::triggered, this, help);
    connect(mnuAbout, &QAction::triggered, this, [this] {
        frmAbout about(this);
        about.setLogoText(lblLogo_->text());
        about.exec();
    });
}

frmMain::~frmMain() = default;

void frmMain::Form_Load(const QString& commandLine) {
    commandLine_ = commandLine;
    const StartupValues v = RunStartupSequence(commandLine, *this);
    ShowStartupValues(v);
}

void frmMain::ShowStartupValues(const StartupValues& v) {
    // The whole path shows in the tooltip too, where a long one is cut off
    // in the label.
    lblINIFile_->setText(G.gIniFile);
    lblINIFile_->setToolTip(G.gIniFile);
    lblStartTime_->setText(v.startTime);
    lblCPULimit_->setText(v.cpuLimit);
    read_ = {v.startTime, v.cpuLimit};
    fraSchedule_->setTitle(v.schedCaption);
    fraSchedule_->setToolTip(v.schedTooltip);
    setRunDateText(v.runDateText);
}

void frmMain::showSplash() {
    splash_ = new frmAbout(this);
    splash_->setStartingUp(&G.gStartingUp);
    splash_->setLogoText(lblLogo_->text());
    splash_->show();
    // Any other window the start-up shows (the first-run window, a message
    // box) takes the splash's place, so it never stands behind them.
    qApp->installEventFilter(this);
    // A window manager maps and exposes the splash a moment after it is
    // shown, and start-up runs no window events until it ends: the splash is
    // painted once it is exposed (or after a bounded wait) before it goes on.
    const QPointer<frmAbout> splash(splash_);
    QElapsedTimer waited;
    waited.start();
    const auto exposed = [&splash] { return splash && splash->windowHandle() && splash->windowHandle()->isExposed(); };
    QCoreApplication::processEvents();
    while (splash && !exposed() && waited.elapsed() < kSplashExposeMs) {
        QThread::msleep(5);
        QCoreApplication::processEvents();
    }
    if (splash) splash->repaint();
    QCoreApplication::processEvents();
}

void frmMain::hideSplash() {
    if (!splash_) return;
    qApp->removeEventFilter(this);
    splash_->hide();
    splash_->deleteLater();
    splash_ = nullptr;
}

QString frmMain::firstRunFile() { return RunFirstRun(this); }

void frmMain::cmdViewLog_Click() {
    frmLogVw viewer(this);
    viewer.exec();
}

void frmMain::cmdCalendar_Click() {
    // The picker opens on the run date, or on today when the box holds none.
    QString text = RunDateFromText(txtRunDate_->text()) ? txtRunDate_->text() : QString();
    if (PickDate(this, text)) setRunDateText(text);
}

void frmMain::chkDummyRun_Click() {
    frmDumOp options(this);
    options.exec();
}

void frmMain::setRunDateText(const QString& text) {
    txtRunDate_->setText(text);
    txtRunDate_Change();
}

void frmMain::txtRunDate_Change() {
    const auto d = RunDateFromText(txtRunDate_->text());
    if (!d) return;
    lblDay_->setText(FormatDate(*d, QStringLiteral("dddd")));
    G.gRunDate = *d;
}

void frmMain::UpDown_Change(int step) {
    const auto d = RunDateFromText(txtRunDate_->text());
    if (!d) return;
    setRunDateText(FormatDate(d->addDays(step), G.gDateFmt));
    SetStartTimes();
}

bool frmMain::Valid() {
    lblCPULimit_->setText(lblCPULimit_->text().trimmed());
    const StartFieldError e = ValidateStartFields(txtRunDate_->text(), lblStartTime_->text(), lblCPULimit_->text());
    if (e == StartFieldError::RunDate) txtRunDate_->setFocus();
    return e == StartFieldError::None;
}

void frmMain::cmdLaunch_Click() {
    if (!Valid()) return;
    DelOldLogs();
    G.gLoopCheck = true;
    if (JobLoops()) {
        MsgBox(QStringLiteral("Circular job dependencies exist.  See log for details"), MsgButtons::Ok,
               MsgIcon::Warning);
        return;
    }
    G.gCPULimit = ClampToInt16(Val(lblCPULimit_->text()));
    G.gSuspended = chkStartSus_->isChecked();
    G.gDayStart = DateVal::fromSeconds(ParseDate(lblStartTime_->text()).value_or(DateVal()).secondsOfDay());
    G.gDOSSerial = ChkDOS_->isChecked();
    G.gDummyRun = chkDummyRun_->isChecked();
    hide();
    {
        frmSched sched(chkShowEvents_->isChecked(), nullptr);
        sched.exec();
    }
    setRunDateText(FormatDate(G.gRunDate, G.gDateFmt));
    show();
}

void frmMain::mnuOpen_Click() {
    if (!Valid()) return;
    SaveForExit(read_, {lblStartTime_->text(), lblCPULimit_->text()});
    FileDialog dlg(this);
    dlg.Filter = QStringLiteral("Ini Files (*.ini)|*.ini");
    dlg.FileName = G.gIniFile;
    if (!dlg.ShowOpen() || dlg.FileName.toUpper() == G.gIniFile.toUpper()) return;
    G.gIniFile = dlg.FileName;
    hide();
    Form_Load(commandLine_);
    show();
}

void frmMain::mnuReset_Click() { ResetRunValues(); }

void frmMain::cmdEdit_Click() {
    SetStartTimes();
    frmLGrid grid(this);
    grid.exec();
}

void frmMain::cmdExit_Click() {
    exiting_ = true;
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    GuardFatal([this] {
        // A failed check shows its message; the program ends without saving.
        if (Valid()) SaveForExit(read_, {lblStartTime_->text(), lblCPULimit_->text()});
        OfferAsDefault();
    });
    event->accept();
    QCoreApplication::quit();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (splash_ && event->type() == QEvent::Show && watched != splash_) {
        const auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->isWindow() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip) hideSplash();
    }
    // A double-click on the configuration-file label opens another file; one
    // on the run date opens the date picker.
    if (watched == lblINIFile_ && event->type() == QEvent::MouseButtonDblClick) {
        GuardFatal([this] { mnuOpen_Click(); });
        return true;
    }
    if (watched == txtRunDate_ && event->type() == QEvent::MouseButtonDblClick) {
        cmdCalendar_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) chkStartSus_->setChecked(G.gSuspended);
    QMainWindow::changeEvent(event);
}
