#include "mrvchap/windows/frmMRVChap.h"

#include "common/clock.h"
#include "common/constants.h"
#include "common/datetime.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "common/textfile.h"
#include "gui/controls.h"
#include "gui/errorwindow.h"
#include "platform/shell.h"
#include "platform/start.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

#include <unistd.h>
#include <cstdio>

namespace {

const QString kApp = QStringLiteral("MRVChap");
const QString kLocSection = QStringLiteral("WindowLoc");
const QString kErrorRowsTip = QStringLiteral("Double click here to leave only error rows.");
constexpr int kCountdownTicks = 30;
// The position is kept in twips (kTwipsPerPixel to the pixel), as the other
// programs keep theirs.

bool ReadNumber(const QString& text, int* out) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || v < -1.0e6 || v > 1.0e6) return false;
    *out = static_cast<int>(v) / kTwipsPerPixel;
    return true;
}

}  // namespace

frmMRVChap::frmMRVChap(QWidget* parent)
    : QWidget(parent), cdgKeyFiles_(this, QStringLiteral("cdgKeyFiles")), diag_(this) {
    setObjectName(QStringLiteral("frmMRVChap"));
    setWindowTitle(QStringLiteral("Morvenda Job Chaperone"));
    lsbKeyFiles_ = new QComboBox(this);
    lsbKeyFiles_->setObjectName(QStringLiteral("lsbKeyFiles"));
    lsbKeyFiles_->setAccessibleName(QStringLiteral("Keystroke Files"));
    cmdOK_ = NamedButton(this, "cmdOK", QStringLiteral("&OK"));
    cmdCancel_ = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    cmdBrowse_ = NamedButton(this, "cmdBrowse", QStringLiteral("&Browse"));
    lsbDiag_ = new QListView(this);
    lsbDiag_->setObjectName(QStringLiteral("lsbDiag"));
    diagModel_ = new QStringListModel(this);
    lsbDiag_->setModel(diagModel_);
    lsbDiag_->setUniformItemSizes(true);
    lsbDiag_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsbDiag_->setAccessibleName(QStringLiteral("Diagnostics"));
    tmrKeys_ = new QTimer(this);
    tmrKeys_->setObjectName(QStringLiteral("tmrKeys"));
    tmrKeys_->setInterval(1000);

    cdgKeyFiles_.DefaultExt = QStringLiteral("key");
    cdgKeyFiles_.DialogTitle = QStringLiteral("Keystroke Files");
    cdgKeyFiles_.Filter = QStringLiteral("Keystroke Files(*.key)|*.key");

    auto* top = new QHBoxLayout;
    top->addWidget(lsbKeyFiles_, 1);
    top->addWidget(cmdOK_);
    top->addWidget(cmdCancel_);
    top->addWidget(cmdBrowse_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lsbDiag_, 1);
    resize(560, 360);

    connect(lsbKeyFiles_, &QComboBox::currentIndexChanged, this, &frmMRVChap::lsbKeyFiles_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmMRVChap::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &frmMRVChap::cmdCancel_Click);
    connect(cmdBrowse_, &QPushButton::clicked, this, &frmMRVChap::cmdBrowse_Click);
    connect(lsbDiag_, &QListView::doubleClicked, this, &frmMRVChap::lsbDiag_DblClick);
    connect(tmrKeys_, &QTimer::timeout, this, &frmMRVChap::tmrKeys_Timer);
}

frmMRVChap::~frmMRVChap() = default;

void frmMRVChap::Form_Load(const QString& CommandLine, const QString& ProgramFolder) {
    int at = 0;
    if (ReadNumber(GetSetting(kApp, kLocSection, QStringLiteral("Top")), &at)) move(x(), at);
    if (ReadNumber(GetSetting(kApp, kLocSection, QStringLiteral("Left")), &at)) move(at, y());
    cmd_ = ParseChaperoneCommandLine(CommandLine);
    const ScriptPlace place = ScriptPlaceOf(cmd_.script, ProgramFolder);
    folder_ = place.folder;
    pattern_ = place.fileName;
    cdgKeyFiles_.InitDir = folder_;
    cdgKeyFiles_.FileName = pattern_;
    cdgKeyFiles_.Flags = 0x2804;
    BuildList();
}

QString frmMRVChap::scriptPath() const { return JoinPath(folder_, cdgKeyFiles_.FileName); }

void frmMRVChap::BuildList() {
    const QSignalBlocker block(lsbKeyFiles_);
    lsbKeyFiles_->clear();
    lsbKeyFiles_->addItems(ListScripts(folder_, pattern_));
    if (lsbKeyFiles_->count() > 0) {
        lsbKeyFiles_->setCurrentIndex(0);
        lsbKeyFiles_Click();
    }
}

void frmMRVChap::lsbKeyFiles_Click() {
    // The file as it is there: "UP" listed from "UP.KEY" is loaded from "UP.KEY".
    if (lsbKeyFiles_->currentIndex() >= 0)
        cdgKeyFiles_.FileName = ScriptFileName(folder_, lsbKeyFiles_->currentText(), cdgKeyFiles_.DefaultExt);
}

void frmMRVChap::cmdBrowse_Click() {
    cdgKeyFiles_.InitDir = folder_;
    if (!cdgKeyFiles_.ShowOpen()) return;
    // The chosen file is loaded as it is named; the list shows it alone.
    const QString chosen = cdgKeyFiles_.FileName;
    folder_ = FolderOf(chosen);
    pattern_ = FileNameOf(chosen);
    BuildList();
    cdgKeyFiles_.FileName = pattern_;
}

void frmMRVChap::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!activated_) {
        activated_ = true;
        QTimer::singleShot(0, this, &frmMRVChap::Form_Activate);
    }
}

void frmMRVChap::Form_Activate() {
    if (lsbKeyFiles_->count() == 1 && cmdOK_->isEnabled()) cmdOK_Click();
}

void frmMRVChap::cmdOK_Click() {
    if (finished_) return;
    cmdOK_->setEnabled(false);
    if (!cmdOK_->text().contains(QStringLiteral("OK"))) {
        // Hold: the countdown stops and the window stays until closed.
        tmrKeys_->stop();
        return;
    }
    cmdBrowse_->setEnabled(false);
    const QString base = ScriptBaseName(cdgKeyFiles_.FileName);
    diag_.logPath = ScriptLogPath(base);
    loading_ = true;
    script_ = LoadScript(scriptPath(), base, diag_);
    loading_ = false;
    ShowDiag();
    if (!script_.readError.isEmpty()) return End(1, QStringLiteral("MRVChap - Critical error: ") + script_.readError);
    if (script_.lockMissing) return EndLockMissing(script_.lockFile);
    // A validation says so whether or not it found errors.
    if (script_.validateOnly) {
        cmdCancel_->setText(QStringLiteral("&Close"));
        lsbDiag_->setToolTip(kErrorRowsTip);
    }
    if (script_.error) {
        failed_ = true;
        lsbDiag_->setToolTip(kErrorRowsTip);
        // The window stays for the operator to read the error rows, unless
        // no one can see it or it was asked to close while the box stood
        // (the scheduler closes a failed job's box and the window under it).
        showingBox_ = true;
        const bool shown =
            ShowErrorWindow(kApp, QStringLiteral("MRVChap critical error - Error(s) in script input"), this);
        showingBox_ = false;
        if (!shown || closeAsked_) End(1);
        return;
    }
    if (script_.validateOnly) return;
    Run();
}

void frmMRVChap::Run() {
    X11WindowSystem windows;
    X11KeySender keys(windows);
    FlockLock lock;
    EventLoopTime time([this] { return cancelRequested_; });
    // The chaperone's own windows carry its pid; a window Qt makes without
    // one is known by the X client it shares with the main window.
    QList<qint64> own{static_cast<qint64>(::getpid())};
    if (internalWinId() != 0) own.append(XWindowOwner(0, internalWinId()));
    WindowFinder finder(windows, own);
    ScriptRunner runner(script_, diag_, finder, keys, lock, time, *this);
    running_ = true;
    try {
        runner.RunScript(cmd_.parms);
    } catch (const ChapStop& stop) {
        running_ = false;
        lock.unlock();
        // Cancel confirmed during the run closes the window as Close does.
        if (cancelRequested_) SavePosition();
        if (!stop.missingLock.isEmpty()) return EndLockMissing(stop.missingLock);
        return End(stop.status, stop.message);
    }
    running_ = false;
    if (diag_.logging)
        diag_.LogDiag(QStringLiteral("Ending at ") + FormatDate(Now(), QStringLiteral("yyyy mmm dd hh:nn:ss")));
    cmdCancel_->setText(QStringLiteral("&Close"));
    cmdOK_->setText(QStringLiteral("&Hold"));
    cmdOK_->setEnabled(true);
    tmrKeys_->setInterval(1000);
    tmrKeys_->start();
}

void frmMRVChap::End(int Status, const QString& Message) {
    tmrKeys_->stop();
    ending_ = true;
    // The box stands while the program has not ended, so the scheduler's
    // window test sees its text; where no one can see it, it goes to
    // standard error and the program ends at once.
    if (!Message.isEmpty()) ShowErrorWindow(kApp, Message, this);
    finished_ = true;
    status_ = Status;
    emit finished(Status);
    hide();
}

void frmMRVChap::EndLockMissing(const QString& LockFile) {
    const QString text = QStringLiteral("MRVChap - Lock file does not exist: \"%1\"").arg(LockFile);
    diag_.LogAlways(text);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    End(1);
}

void frmMRVChap::cmdCancel_Click() {
    // While the box of a fatal end stands the program ends anyway; the
    // scheduler asks this window to close together with the box.
    if (finished_ || ending_) return;
    if (cmdCancel_->text() == u"&Cancel" && !cmdOK_->isEnabled()) {
        if (MsgBox(QStringLiteral("Are you sure you want to cancel"), MsgButtons::YesNo, MsgIcon::Question,
                   QStringLiteral("Cancel")) != MsgAnswer::Yes)
            return;
        if (running_) {
            // The runner stops at its next step and ends the program.
            cancelRequested_ = true;
            return;
        }
    }
    CloseDown();
}

void frmMRVChap::closeEvent(QCloseEvent* e) {
    // A script with errors never runs: closing the window ends the program
    // with its failure, without the question that Cancel asks.
    if (!finished_ && failed_ && showingBox_)
        closeAsked_ = true;
    else if (!finished_ && failed_)
        CloseDown();
    else if (!finished_)
        cmdCancel_Click();
    if (finished_)
        e->accept();
    else
        e->ignore();
}

void frmMRVChap::lsbDiag_DblClick() { diag_.keepErrorRows(); }

void frmMRVChap::tmrKeys_Timer() {
    if (countdown_ == 0) {
        diag_.AddRow(QString(kCountdownTicks, u'*'));
        countdown_ = kCountdownTicks;
    }
    --countdown_;
    const int last = diag_.count() - 1;
    diag_.setRow(last, diag_.row(last).chopped(1));
    if (diag_.row(last).isEmpty()) CloseDown();
}

void frmMRVChap::CloseDown() {
    if (finished_) return;
    tmrKeys_->stop();
    SavePosition();
    finished_ = true;
    status_ = failed_ ? 1 : 0;
    emit finished(status_);
    hide();
}

void frmMRVChap::SavePosition() {
    SaveSetting(kApp, kLocSection, QStringLiteral("Top"), QString::number(y() * kTwipsPerPixel));
    SaveSetting(kApp, kLocSection, QStringLiteral("Left"), QString::number(x() * kTwipsPerPixel));
}

void frmMRVChap::ShowDiag() {
    diagModel_->setStringList(diag_.shown());
    const int shown = diag_.current() - (diag_.count() - static_cast<int>(diag_.shown().size()));
    if (shown >= 0) diagSelected(shown);
}

// While a script loads the rows are only counted; ShowDiag shows them once,
// so a long script is not laid out row by row.
void frmMRVChap::diagReset(const QStringList& Rows) {
    if (!loading_) diagModel_->setStringList(Rows);
}

void frmMRVChap::diagAdded(const QString& Text) {
    if (loading_) return;
    const int row = diagModel_->rowCount();
    diagModel_->insertRows(row, 1);
    diagModel_->setData(diagModel_->index(row), Text);
}

void frmMRVChap::diagRemovedFirst() {
    if (!loading_) diagModel_->removeRows(0, 1);
}

void frmMRVChap::diagChanged(int Shown, const QString& Text) {
    if (!loading_) diagModel_->setData(diagModel_->index(Shown), Text);
}

void frmMRVChap::diagSelected(int Shown) {
    if (loading_) return;
    const QModelIndex index = diagModel_->index(Shown);
    lsbDiag_->setCurrentIndex(index);
    lsbDiag_->scrollTo(index);
}

void frmMRVChap::clearClipboard() {
    if (QClipboard* c = QGuiApplication::clipboard()) c->clear();
}

void frmMRVChap::exec(const QString& Target) {
    // A program is started as it is; anything else is opened by the desktop.
    QString program;
    const QFileInfo f(Target);
    if (Target.contains(u'/'))
        program = f.isFile() && f.isExecutable() ? f.absoluteFilePath() : QString();
    else if (!Target.isEmpty())
        program = QStandardPaths::findExecutable(Target);
    ProcessStamp started;
    if (!program.isEmpty())
        LaunchProcess(QuoteArgument(program), &started);
    else
        ShellOpen(Target);
}

void frmMRVChap::setOnTop(bool OnTop) {
    setWindowFlag(Qt::WindowStaysOnTopHint, OnTop);
    show();
}
