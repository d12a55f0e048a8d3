#include "mrvemail/windows/frmEmail.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "common/clock.h"
#include "common/constants.h"
#include "common/prompter.h"
#include "gui/frmAbout.h"
#include "gui/mnemonics.h"

namespace {

const QString kTitle = QStringLiteral("MRVEmail");

// A label whose text wraps and whose lines all show: it asks the window for
// the height its text takes at its width, so a long reason grows the window
// downwards instead of being cut.
class WrappedLabel : public QLabel {
public:
    explicit WrappedLabel(QWidget* parent) : QLabel(parent) { setWordWrap(true); }

    QSize minimumSizeHint() const override {
        QSize size = QLabel::minimumSizeHint();
        if (width() > 0) size.setHeight(std::max(size.height(), heightForWidth(width())));
        return size;
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (event->size().width() != event->oldSize().width()) updateGeometry();
    }
};

QString ChooseIniFile(const QString& folder) {
    return QFileDialog::getOpenFileName(nullptr, QString(), folder + QStringLiteral("/MRVEmail.ini"),
                                        QStringLiteral("Ini Files(*.Ini *.ini *.INI)"));
}

}  // namespace

QString WaitingText(const QString& Reason) { return QStringLiteral("Waiting for the mail server: ") + Reason; }

frmEmail::frmEmail(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(QStringLiteral("MRVEmail - Morvenda Automated Emailer"));

    auto* central = new QWidget(this);
    lblLogo_ = new QLabel(QStringLiteral("Morvenda"), central);
    lblLogo_->setObjectName(QStringLiteral("lblLogo"));
    QFont logoFont = lblLogo_->font();
    logoFont.setBold(true);
    logoFont.setPointSizeF(logoFont.pointSizeF() * 1.5);
    lblLogo_->setFont(logoFont);
    // A mail server's reason can run long: it wraps within the window.
    lblProgress_ = new WrappedLabel(central);
    lblProgress_->setObjectName(QStringLiteral("lblProgress"));
    lblProgress_->setMinimumWidth(320);
    lblErrors_ = new QLabel(central);
    lblErrors_->setObjectName(QStringLiteral("lblErrors"));
    lblSecs_ = new QLabel(central);
    lblSecs_->setObjectName(QStringLiteral("lblSecs"));

    cmdKick_ = new QPushButton(QStringLiteral("&Kick"), central);
    cmdKick_->setObjectName(QStringLiteral("cmdKick"));
    cmdSuspend_ = new QPushButton(QStringLiteral("&Suspend"), central);
    cmdSuspend_->setObjectName(QStringLiteral("cmdSuspend"));
    cmdClose_ = new QPushButton(QStringLiteral("&Close"), central);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    // The arrow shows over Close even while a pass keeps the hourglass.
    cmdClose_->setCursor(Qt::ArrowCursor);

    auto* labels = new QVBoxLayout;
    labels->addWidget(lblProgress_);
    labels->addWidget(lblErrors_);
    labels->addWidget(lblSecs_);
    auto* top = new QHBoxLayout;
    top->addWidget(lblLogo_, 0, Qt::AlignTop);
    top->addLayout(labels, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdKick_);
    buttons->addWidget(cmdSuspend_);
    buttons->addStretch();
    buttons->addWidget(cmdClose_);
    auto* all = new QVBoxLayout(central);
    all->addLayout(top);
    all->addLayout(buttons);
    setCentralWidget(central);

    mnuFile_ = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile_->setObjectName(QStringLiteral("mnuFile"));
    mnuKick_ = mnuFile_->addAction(QStringLiteral("&Kick"));
    mnuKick_->setObjectName(QStringLiteral("mnuKick"));
    mnuSuspend_ = mnuFile_->addAction(QStringLiteral("&Suspend"));
    mnuSuspend_->setObjectName(QStringLiteral("mnuSuspend"));
    mnuFile_->addSeparator();
    mnuExit_ = mnuFile_->addAction(QStringLiteral("E&xit"));
    mnuExit_->setObjectName(QStringLiteral("mnuExit"));
    mnuAbout_ = menuBar()->addAction(QStringLiteral("&About"));
    mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));

    tmrEmail_ = new QTimer(this);
    tmrEmail_->setObjectName(QStringLiteral("tmrEmail"));
    tmrEmail_->setInterval(1000);

    connect(cmdKick_, &QPushButton::clicked, this, &frmEmail::cmdKick_Click);
    connect(cmdSuspend_, &QPushButton::clicked, this, &frmEmail::cmdSuspend_Click);
    connect(cmdClose_, &QPushButton::clicked, this, &frmEmail::cmdClose_Click);
    // Menu items press their buttons; pressing a button that a pass has
    // disabled does nothing, so no second pass can start meanwhile.
    connect(mnuKick_, &QAction::triggered, cmdKick_, &QPushButton::click);
    // Suspend from the menu works during a pass too, while the button is
    // disabled: the pass stops after the message in hand.
    connect(mnuSuspend_, &QAction::triggered, this, &frmEmail::cmdSuspend_Click);
    connect(mnuExit_, &QAction::triggered, this, &frmEmail::close);
    connect(mnuAbout_, &QAction::triggered, this, &frmEmail::mnuAbout_Click);
    connect(tmrEmail_, &QTimer::timeout, this, &frmEmail::tmrEmail_Timer);
    MenuBarWinsMnemonics(this);
}

frmEmail::~frmEmail() = default;

std::optional<int> frmEmail::Form_Load(const QString& CommandLine, const QString& ProgramPath) {
    const QString ini = LocateEmailIni(CommandLine, ProgramPath, ChooseIniFile);
    if (ini.isEmpty()) return 0;
    if (const std::optional<QString> error = LoadEmailConfig(ini, &cfg_)) {
        MsgBox(*error);
        return 1;
    }
    DeleteOldSentFiles(cfg_.emailPath, cfg_.deleteAfter, Now());

    tmrEmail_->start();
    QString why;
    const std::optional<SmtpSettings> smtp = ReadSmtpSettings(ini, cfg_.profileName, &why);
    MailStatus logOn = smtp ? mail_.logOn(*smtp) : MailStatus::failure(why);
    if (!logOn) {
        tmrEmail_->stop();
        // The box carries the fixed text; the reason goes where an operator
        // starting the program by hand can read it.
        std::fprintf(stderr, "MRVEmail: log-on to the mail server failed: %s\n", qPrintable(logOn.message));
        MsgBox(QStringLiteral("Login failed"));
        return 1;
    }
    // Let the window answer while the server is waited for during a pass.
    mail_.setIdleCallback([] { QCoreApplication::processEvents(); });

    lblProgress_->setText(QStringLiteral("Starting Up"));
    lblErrors_->clear();
    lblSecs_->clear();
    PlaceWindow();
    lblProgress_->setText(QStringLiteral("Awaiting First Email"));
    countdown_ = 1;
    loaded_ = true;
    return std::nullopt;
}

void frmEmail::PlaceWindow() {
    adjustSize();
    if (cfg_.left) {
        move(*cfg_.left / kTwipsPerPixel, cfg_.top / kTwipsPerPixel);
        return;
    }
    // First start: at the right edge, its bottom 2300 twips above the
    // bottom of the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // The native window is made now, so the frame around it is known.
    winId();
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.right() + 1 - outer.width(), area.bottom() + 1 - outer.height() - 2300 / kTwipsPerPixel);
}

void frmEmail::tmrEmail_Timer() {
    --countdown_;
    lblSecs_->setText(QString::number(countdown_) + QStringLiteral(" seconds to next timed kick"));
    QCoreApplication::processEvents();
    if (countdown_ < 1 && !passRunning_) cmdKick_->click();
}

void frmEmail::BeginPass() {
    passRunning_ = true;
    stopPass_ = false;
    for (QWidget* w :
         {static_cast<QWidget*>(cmdKick_), static_cast<QWidget*>(cmdSuspend_), static_cast<QWidget*>(cmdClose_)})
        w->setEnabled(false);
    tmrEmail_->stop();
    cmdKick_->setStyleSheet(QStringLiteral("background-color: rgb(0, 255, 0)"));
    setCursor(Qt::WaitCursor);
}

void frmEmail::EndPass() {
    for (QWidget* w :
         {static_cast<QWidget*>(cmdKick_), static_cast<QWidget*>(cmdSuspend_), static_cast<QWidget*>(cmdClose_)})
        w->setEnabled(true);
    // A suspended window stays suspended after a pass run by hand.
    if (!suspended_) tmrEmail_->start();
    cmdKick_->setStyleSheet(cmdClose_->styleSheet());
    unsetCursor();
    countdown_ = cfg_.kickInterval;
    passRunning_ = false;
    if (closeRequested_) close();
}

void frmEmail::cmdKick_Click() {
    if (passRunning_ || !loaded_) return;
    BeginPass();
    SendPassHooks hooks;
    hooks.progress = [this](const QString& text) {
        lblProgress_->setText(text);
        showingWait_ = false;
        QCoreApplication::processEvents();
    };
    hooks.stop = [this] { return stopPass_; };
    const PassSummary summary = RunSendPass(cfg_, mail_, passState_, hooks);
    lblErrors_->setText(ErrorFilesText(summary.errorFiles, cfg_.emailPath));
    // Messages the server could not take stay in the folder; the label says
    // why until a pass gets past the server again.
    if (!summary.serverFault.isEmpty()) {
        // Written once while it lasts, not once per pass or per message.
        if (summary.serverFault != loggedFault_)
            std::fprintf(stderr, "MRVEmail: messages wait for the mail server: %s\n", qPrintable(summary.serverFault));
        loggedFault_ = summary.serverFault;
        if (!showingWait_) progressBeforeWait_ = lblProgress_->text();
        lblProgress_->setText(WaitingText(summary.serverFault));
        showingWait_ = true;
    } else if (showingWait_) {
        lblProgress_->setText(progressBeforeWait_);
        showingWait_ = false;
        loggedFault_.clear();
    }
    EndPass();
}

void frmEmail::cmdSuspend_Click() {
    if (!suspended_) {
        suspended_ = true;
        stopPass_ = passRunning_;
        savedProgress_ = lblProgress_->text();
        tmrEmail_->stop();
        cmdSuspend_->setText(QStringLiteral("Re&sume"));
    } else {
        suspended_ = false;
        if (!passRunning_) tmrEmail_->start();
        cmdSuspend_->setText(QStringLiteral("&Suspend"));
        lblProgress_->setText(savedProgress_);
    }
}

void frmEmail::cmdClose_Click() { close(); }

void frmEmail::mnuAbout_Click() {
    // A window showing a modal child holds its own timer meanwhile.
    const bool wasRunning = tmrEmail_->isActive();
    tmrEmail_->stop();
    frmAbout about(this);
    about.setCaption(QStringLiteral("About ") + kTitle);
    about.setVersionText(kTitle + QStringLiteral("    Version %1.%2").arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR));
    about.setLogoText(lblLogo_->text());
    about.exec();
    if (wasRunning && !suspended_ && !passRunning_) tmrEmail_->start();
}

void frmEmail::closeEvent(QCloseEvent* event) {
    closeRequested_ = true;
    // A pass in progress finishes its message first; its end closes the window.
    if (passRunning_) {
        stopPass_ = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmEmail::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    tmrEmail_->stop();
    mail_.logOff();
    if (loaded_) {
        const QPoint at = pos();
        SaveWindowPosition(cfg_.iniFile, at.x() * kTwipsPerPixel, at.y() * kTwipsPerPixel);
    }
}
