#include "mrvdummy/windows/frmDummy.h"

#include "common/clock.h"
#include "common/datetime.h"
#include "gui/controls.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The timer button names what pressing it does.
const QString kTimerIsOn = QStringLiteral("Set On &Top Timer Off");
const QString kTimerIsOff = QStringLiteral("Set On &Top Timer On");

constexpr int kZOrderMs = 5000;
constexpr int kTickMs = 1000;

QLabel* NamedLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QLineEdit* ReadOnlyBox(const char* name, QWidget* parent) {
    auto* t = new QLineEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setReadOnly(true);
    return t;
}

}  // namespace

frmDummy::frmDummy(const QString& CommandLine, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmDummy"));

    txtCmdInput_ = ReadOnlyBox("txtCmdInput", this);
    fraDetails_ = new QGroupBox(QStringLiteral("Details of Job which Dummy Represents"), this);
    fraDetails_->setObjectName(QStringLiteral("fraDetails"));
    lblJobName_ = NamedLabel("lblJobName", fraDetails_);
    lblStarted_ = NamedLabel("lblStarted", fraDetails_);
    lblFrequency_ = NamedLabel("lblFrequency", fraDetails_);
    txtCmdLine_ = ReadOnlyBox("txtCmdLine", fraDetails_);
    lblRunFor_ = NamedLabel("lblRunFor", fraDetails_);
    lblResult_ = NamedLabel("lblResult", fraDetails_);
    lblRunning_ = NamedLabel("lblRunning", this);
    lblRejected_ = NamedLabel("lblRejected", this);
    lblRejected_->setText(QStringLiteral("Rejected Operands"));
    lblRejectedList_ = NamedLabel("lblRejectedList", this);
    lblRejectedList_->setWordWrap(true);
    cmdGo_ = NamedButton(this, "cmdGo", QStringLiteral("&Go"));
    CmdTimer_ = NamedButton(this, "CmdTimer", kTimerIsOff);
    cmdErr5_ = NamedButton(this, "cmdErr5", QStringLiteral("Err 5"));
    cmdErr13_ = NamedButton(this, "cmdErr13", QStringLiteral("Err13"));
    cmdExit_ = NamedButton(this, "cmdExit", QStringLiteral("&Exit"));
    tmrZOrder_ = new QTimer(this);
    tmrZOrder_->setObjectName(QStringLiteral("tmrZOrder"));
    tmrZOrder_->setInterval(kTickMs);
    tmrQuit_ = new QTimer(this);
    tmrQuit_->setObjectName(QStringLiteral("tmrQuit"));
    tmrQuit_->setInterval(kTickMs);

    auto* runFor = new QHBoxLayout;
    runFor->addWidget(lblRunFor_);
    runFor->addWidget(new QLabel(QStringLiteral("(if self-terminating)"), fraDetails_));
    runFor->addStretch();
    auto* form = new QFormLayout(fraDetails_);
    form->addRow(QStringLiteral("Job Name"), lblJobName_);
    form->addRow(QStringLiteral("Started"), lblStarted_);
    form->addRow(QStringLiteral("Frequency"), lblFrequency_);
    form->addRow(QStringLiteral("Command Line"), txtCmdLine_);
    form->addRow(QStringLiteral("Run For (Secs)"), runFor);
    form->addRow(QStringLiteral("Succed or Fail"), lblResult_);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdGo_, CmdTimer_, cmdErr5_, cmdErr13_, cmdExit_}) buttons->addWidget(b);
    auto* top = new QVBoxLayout(this);
    auto* lblCmdInput = new QLabel(QStringLiteral("Command Line Input to Dummy"), this);
    lblCmdInput->setBuddy(txtCmdInput_);
    top->addWidget(lblCmdInput);
    top->addWidget(txtCmdInput_);
    top->addWidget(fraDetails_);
    top->addWidget(lblRunning_);
    top->addWidget(lblRejected_);
    top->addWidget(lblRejectedList_);
    top->addLayout(buttons);
    setMinimumWidth(480);
    NameControls(this);

    connect(cmdGo_, &QPushButton::clicked, this, &frmDummy::cmdGo_Click);
    connect(CmdTimer_, &QPushButton::clicked, this, &frmDummy::CmdTimer_Click);
    connect(cmdErr5_, &QPushButton::clicked, this, &frmDummy::cmdErr5_Click);
    connect(cmdErr13_, &QPushButton::clicked, this, &frmDummy::cmdErr13_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &frmDummy::cmdExit_Click);
    connect(tmrZOrder_, &QTimer::timeout, this, &frmDummy::tmrZOrder_Timer);
    connect(tmrQuit_, &QTimer::timeout, this, &frmDummy::tmrQuit_Timer);

    // The window's load: show the command line and what its operands ask.
    txtCmdInput_->setText(CommandLine);
    txtCmdInput_->setCursorPosition(0);
    lblRunning_->setText(QStringLiteral("Waiting"));
    ops_ = ParseDummyCommandLine(CommandLine);
    lblJobName_->setText(ops_.jobName);
    lblFrequency_->setText(ops_.frequency);
    txtCmdLine_->setText(ops_.cmdLine);
    txtCmdLine_->setCursorPosition(0);
    remaining_ = ops_.runForSecs;
    lblRunFor_->setText(ops_.runForSecs > 0 ? QString::number(ops_.runForSecs) : QString());
    lblResult_->setText(DummyResultText(ops_.result));
    CmdTimer_->setText(ops_.onTopTimer ? kTimerIsOn : kTimerIsOff);
    lblRejectedList_->setText(ops_.rejected.join(QStringLiteral(", ")));
    lblRejected_->setVisible(!ops_.rejected.isEmpty());
    lblRejectedList_->setVisible(!ops_.rejected.isEmpty());
    lblStarted_->setText(FormatDate(Now(), QStringLiteral("dd mmm yyyy hh:mm:ss")));
    setWindowTitle(ops_.jobName.isEmpty() ? QStringLiteral("Dummy")
                                          : QStringLiteral("Dummy Job Representing Job ") + ops_.jobName);
}

void frmDummy::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (shownOnce_) return;
    shownOnce_ = true;
    // Pressed once the window is up, so the operator sees it start.
    if (ops_.startsAtOnce()) QTimer::singleShot(0, this, &frmDummy::cmdGo_Click);
}

void frmDummy::cmdGo_Click() {
    if (!cmdGo_->isEnabled() || failed()) return;
    cmdGo_->setEnabled(false);
    tmrZOrder_->setInterval(kZOrderMs);
    if (CmdTimer_->text() == kTimerIsOn) tmrZOrder_->start();
    if (ops_.runForSecs > 0) tmrQuit_->start();
    lblRunning_->setText(QStringLiteral("Running"));
}

void frmDummy::CmdTimer_Click() {
    if (CmdTimer_->text() == kTimerIsOn) {
        tmrZOrder_->stop();
        CmdTimer_->setText(kTimerIsOff);
    } else {
        tmrZOrder_->start();
        CmdTimer_->setText(kTimerIsOn);
    }
}

void frmDummy::tmrZOrder_Timer() {
    raise();
    activateWindow();
    QCoreApplication::processEvents();
}

void frmDummy::tmrQuit_Timer() {
    --remaining_;
    lblRunFor_->setText(QString::number(qMax(remaining_, 0)));
    if (remaining_ > 0) return;
    tmrQuit_->stop();
    if (ops_.result == DummyResult::Fail)
        cmdErr13_Click();
    else
        cmdExit_Click();
}

void frmDummy::cmdErr5_Click() { RaiseRunTimeError(5); }

void frmDummy::cmdErr13_Click() { RaiseRunTimeError(13); }

void frmDummy::cmdExit_Click() {
    tmrZOrder_->stop();
    tmrQuit_->stop();
    close();
}

void frmDummy::RaiseRunTimeError(int Number) {
    if (failed()) return;
    errorNumber_ = Number;
    // Nothing runs on once the error is raised: the error window has the
    // last word, as an unhandled error would.
    tmrZOrder_->stop();
    tmrQuit_->stop();
    for (QPushButton* b : {cmdGo_, CmdTimer_, cmdErr5_, cmdErr13_, cmdExit_}) b->setEnabled(false);
    emit runTimeError(Number, RunTimeErrorText(Number));
}
