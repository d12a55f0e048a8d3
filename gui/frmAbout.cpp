#include "gui/frmAbout.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/prompter.h"

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Morvenda"));

    lblLogo_ = new QLabel(this);
    lblLogo_->setObjectName(QStringLiteral("lblLogo"));
    lblLogo_->hide();
    lblTitle_ = new QLabel(QStringLiteral("Morvenda"), this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle_->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle_->setFont(big);
    lblDescription_ = new QLabel(QStringLiteral("32 BIT Job Scheduler and Launcher"), this);
    lblDescription_->setObjectName(QStringLiteral("lblDescription"));
    lblVersion_ = new QLabel(DefaultVersionText(), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK_, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo_, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle_);
    text->addWidget(lblDescription_);
    text->addWidget(lblVersion_);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(lblLogo_, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdSysInfo_);
    top->addLayout(buttons);
    setLayout(top);
}

QString frmAbout::DefaultVersionText() {
    // The title above it already names the program.
    return QStringLiteral("Version %1.%2").arg(MRV_VERSION_MAJOR).arg(MRV_VERSION_MINOR);
}

void frmAbout::setCaption(const QString& caption) { setWindowTitle(caption); }

void frmAbout::setVersionText(const QString& text) { lblVersion_->setText(text); }

void frmAbout::setLogoText(const QString& text) {
    lblLogo_->setText(text);
    // A logo that only repeats the title beside it is not shown twice.
    lblLogo_->setHidden(text.isEmpty() || text == lblTitle_->text());
}

void frmAbout::setStartingUp(std::function<bool()> StartingUp) { startingUp_ = std::move(StartingUp); }

void frmAbout::setStartingUp(const bool* Flag) {
    if (Flag)
        startingUp_ = [Flag] { return *Flag; };
    else
        startingUp_ = nullptr;
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::done(int r) {
    // OK, Escape and the close box all end here; the splash stays up until
    // the start-up sequence removes it itself.
    if (startingUp()) return;
    QDialog::done(r);
}

void frmAbout::closeEvent(QCloseEvent* event) {
    if (startingUp()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QStringList SysInfoPrograms() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("cpu-x"), QStringLiteral("gnome-system-monitor")};
}

QString FindSysInfoProgram() {
    // PATH is searched by hand: an empty entry (the current folder) is never
    // taken, and an empty PATH finds nothing.
    const QStringList dirs = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& name : SysInfoPrograms()) {
        for (const QString& dir : dirs) {
            const QFileInfo f(dir + QLatin1Char('/') + name);
            if (f.isFile() && f.isExecutable()) return f.absoluteFilePath();
        }
    }
    return QString();
}

bool StartSysInfo() {
    const QString program = FindSysInfoProgram();
    if (!program.isEmpty() && QProcess::startDetached(program, {})) return true;
    MsgBox(QStringLiteral("System Information is unavailable at this time"), MsgButtons::Ok);
    return false;
}
