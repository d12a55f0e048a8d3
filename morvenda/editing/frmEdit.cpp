#include "morvenda/editing/frmEdit.h"

#include "common/constants.h"
#include "common/prompter.h"
#include "common/gui/controls.h"
#include "common/gui/grid.h"
#include "common/gui/guard.h"
#include "morvenda/core/frmHelpers.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/editing/frmEditWidgets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const std::array<const char*, 6> kPageNames{"Submission", "Substitution", "Timing",
                                            "Dependencies", "Normal EOJ", "Abnormal EOJ"};

// Twips of the editor's inner area, as the schedule's windows size themselves.
constexpr int kInnerWidthTwips = 8595;
constexpr int kInnerHeightTwips = 6840;

QPixmap TickPicture() {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::darkGreen);
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawLine(3, 8, 7, 12);
    painter.drawLine(7, 12, 13, 3);
    return p;
}

QPixmap NonePicture() {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    return p;
}

QString Indexed(const QString& Name, int Index) { return Name + QLatin1Char('_') + QString::number(Index); }

}  // namespace

frmEdit::frmEdit(QWidget* Parent) : QDialog(Parent), picTick_(TickPicture()), picNone_(NonePicture()) {
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Edit Job"));
    setModal(true);
    auto* outer = new QVBoxLayout(this);

    auto* menu = new QMenuBar(this);
    QMenu* mnuFile = menu->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction* mnuOK = NamedMenuItem(mnuFile, "mnuOK", QStringLiteral("&OK"));
    QAction* mnuCancel = NamedMenuItem(mnuFile, "mnuCancel", QStringLiteral("&Cancel"));
    QMenu* mnuHelp = menu->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* mnuHelpHelp = NamedMenuItem(mnuHelp, "mnuHelpHelp", QStringLiteral("&Help"));
    mnuHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));
    outer->setMenuBar(menu);

    TabEdit_ = new QTabWidget(this);
    TabEdit_->setObjectName(QStringLiteral("TabEdit"));
    TabEdit_->setAccessibleName(QStringLiteral("Job pages"));
    for (const char* name : kPageNames) {
        auto* page = new QWidget(TabEdit_);
        page->setObjectName(QStringLiteral("pg") + QString::fromLatin1(name).remove(QLatin1Char(' ')));
        TabEdit_->addTab(page, QString::fromLatin1(name));
    }
    BuildSubmissionPage(TabEdit_->widget(pgSubmission));
    BuildSubstitutionPage(TabEdit_->widget(pgSubstitution));
    BuildTimingPage(TabEdit_->widget(pgTiming));
    BuildDependenciesPage(TabEdit_->widget(pgDependencies));
    BuildEojPage(TabEdit_->widget(pgNormalEoj), 0);
    BuildEojPage(TabEdit_->widget(pgAbnormalEoj), 1);
    outer->addWidget(TabEdit_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* cmdOK = NamedButton(this, "cmdOK", QStringLiteral("OK"));
    QPushButton* cmdCancel = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    QPushButton* cmdHelp = NamedButton(this, "cmdHelp", QStringLiteral("&Help"));
    for (QPushButton* b : {cmdOK, cmdCancel, cmdHelp}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);
    NameButtons(this);

    connect(cmdOK, &QPushButton::clicked, this, &frmEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEdit::cmdCancel_Click);
    connect(mnuOK, &QAction::triggered, cmdOK, &QPushButton::click);
    connect(mnuCancel, &QAction::triggered, cmdCancel, &QPushButton::click);
    connect(cmdHelp, &QPushButton::clicked, this, [this] { ShowHelp(helpTopic_); });
    connect(mnuHelpHelp, &QAction::triggered, cmdHelp, &QPushButton::click);
    connect(TabEdit_, &QTabWidget::currentChanged, this, &frmEdit::TabEdit_Click);
    connect(cmdTryFreq_, &QPushButton::clicked, this, &frmEdit::cmdTryFreq_Click);
    connect(cmdTry_, &QPushButton::clicked, this, &frmEdit::cmdTry_Click);
    helpTopic_ = QStringLiteral("Job Edit Form - Submission Tab");
}

frmEdit::~frmEdit() = default;

void frmEdit::BuildSubmissionPage(QWidget* Page) {
    auto* g = new QGridLayout(Page);
    cboGroup_ = EditCombo(Page, QStringLiteral("cboGroup"), true,
                          QStringLiteral("The name of the group to which the job belongs"));
    txtJobName_ = EditBox(Page, QStringLiteral("txtJobName"),
                          QStringLiteral("A unique name for the job - preferably same as the program name."));
    txtJobName_->setMaxLength(kJobNameWidth);
    txtCmdLine_ = EditBox(Page, QStringLiteral("txtCmdLine"), QStringLiteral("Command line including any run time parameters"));
    cmdBrowseExe_ = NamedButton(Page, "cmdBrowseExe", QStringLiteral("B&rowse"));
    cmdBrowseExe_->setToolTip(QStringLiteral("To locate the executable for the job."));
    chkDOSProgram_ = EditCheck(Page, QStringLiteral("chkDOSProgram"), QStringLiteral("DOS/Command Processor Program"),
                               QStringLiteral("DOS Executable or Windows Console App (.com, .exe or .bat)"));
    txtJobDesc_ = EditBox(Page, QStringLiteral("txtJobDesc"));
    txtJobDesc_->setMaxLength(kJobDescWidth);
    txtCPUUsage_ = EditBox(Page, QStringLiteral("txtCPUUsage"));
    chkCritical_ = EditCheck(Page, QStringLiteral("chkCritical"), QStringLiteral("Job is Critical"),
                             QStringLiteral("Job failure invokes overnight callout"));
    g->addWidget(EditLabel(Page, QStringLiteral("lblJobName"), QStringLiteral("Job &Name"), txtJobName_), 0, 0);
    g->addWidget(txtJobName_, 0, 1);
    g->addWidget(EditLabel(Page, QStringLiteral("lblGroup"), QStringLiteral("&Group"), cboGroup_), 0, 2);
    g->addWidget(cboGroup_, 0, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblCmdLine"), QStringLiteral("Co&mmand Line"), txtCmdLine_), 1, 0);
    g->addWidget(txtCmdLine_, 1, 1, 1, 3);
    g->addWidget(cmdBrowseExe_, 1, 4);
    g->addWidget(chkDOSProgram_, 2, 1, 1, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblJobDesc"), QStringLiteral("Job &Description"), txtJobDesc_), 3, 0);
    g->addWidget(txtJobDesc_, 3, 1, 1, 4);
    g->addWidget(EditLabel(Page, QStringLiteral("lblCPUUsage"), QStringLiteral("C&PU Usage"), txtCPUUsage_), 4, 0);
    g->addWidget(txtCPUUsage_, 4, 1);
    g->addWidget(chkCritical_, 4, 2, 1, 2);
    g->setRowStretch(5, 1);
}

void frmEdit::BuildSubstitutionPage(QWidget* Page) {
    auto* g = new QGridLayout(Page);
    fxgVar_ = new Grid(QStringLiteral("fxgVar"), Page);
    fxgVar_->setAccessibleName(QStringLiteral("Date Variables"));
    fxgVar_->SetFormatString(QStringLiteral(
        "<Name         |^Rel Day in Month|^Rel Month     |^Format                 |^As at Run Date  "));
    fxgVar_->SetRows(8);
    cmdEdit_ = NamedButton(Page, "cmdEdit", QStringLiteral("&Edit"));
    cmdDefVar_ = NamedButton(Page, "cmdDefVar", QStringLiteral("Default &Variables"));
    cmdTry_ = NamedButton(Page, "cmdTry", QStringLiteral("&Try it"));
    cmdMinusH_ = NamedButton(Page, "cmdMinusH", QStringLiteral("&Height"));
    cmdMinusW_ = NamedButton(Page, "cmdMinusW", QStringLiteral("&Width"));
    cmdMinusH_->hide();
    cmdMinusW_->hide();
    g->addWidget(fxgVar_, 0, 0, 1, 5);
    g->addWidget(cmdEdit_, 1, 0);
    g->addWidget(cmdDefVar_, 1, 1);
    g->addWidget(cmdTry_, 1, 2);
    g->addWidget(cmdMinusH_, 1, 3);
    g->addWidget(cmdMinusW_, 1, 4);

    fraTrySubst_ = new QGroupBox(QStringLiteral("Try Substitution"), Page);
    fraTrySubst_->setObjectName(QStringLiteral("fraTrySubst"));
    auto* t = new QGridLayout(fraTrySubst_);
    txtTryCmdLine_ = EditBox(fraTrySubst_, QStringLiteral("txtTryCmdLine"));
    txtTryFreq_ = EditBox(fraTrySubst_, QStringLiteral("txtTryFreq"));
    txtTryRunDate_ = EditBox(fraTrySubst_, QStringLiteral("txtTryRunDate"));
    txtSubsCmdLine_ = EditBox(fraTrySubst_, QStringLiteral("txtSubsCmdLine"));
    const std::array<QLineEdit*, 4> boxes{txtTryCmdLine_, txtTryFreq_, txtTryRunDate_, txtSubsCmdLine_};
    const std::array<const char*, 4> labels{"Command Line:", "and Job Frequency of:", "Based on Run Date of:",
                                            "Evaluates to:"};
    const std::array<const char*, 4> labelNames{"lblTryCmdLine", "lblTryFreq", "lblTryRunDate", "lblSubsCmdLine"};
    for (int k = 0; k < 4; ++k) {
        boxes[static_cast<size_t>(k)]->setReadOnly(true);
        t->addWidget(EditLabel(fraTrySubst_, QLatin1String(labelNames[static_cast<size_t>(k)]),
                               QLatin1String(labels[static_cast<size_t>(k)]), boxes[static_cast<size_t>(k)]),
                     k, 0);
        t->addWidget(boxes[static_cast<size_t>(k)], k, 1);
    }
    fraTrySubst_->hide();
    g->addWidget(fraTrySubst_, 2, 0, 1, 5);
    g->setRowStretch(0, 1);
}

void frmEdit::BuildTimingPage(QWidget* Page) {
    auto* g = new QGridLayout(Page);
    txtFrequency_ = EditBox(Page, QStringLiteral("txtFrequency"),
                            QStringLiteral("When the job is to run - see Keyword Formats list."));
    cmdClearFrq_ = NamedButton(Page, "cmdClearFrq", QStringLiteral("Cl&ear"));
    cmdClearFrq_->setToolTip(QStringLiteral("Clear all frequency values."));
    cboKeys_ = new QListWidget(Page);
    cboKeys_->setObjectName(QStringLiteral("cboKeys"));
    txtTime_ = EditBox(Page, QStringLiteral("txtTime"),
                       QStringLiteral("The earliest time at which the job is to be submitted."));
    txtTime_->setMaxLength(kEarlyStartWidth);
    cboSkipOn_ = EditCombo(Page, QStringLiteral("cboSkipOn"), false,
                           QStringLiteral("Run Date(s) when job is not to be scheduled"));
    chkSubmitOnly_ = EditCheck(Page, QStringLiteral("chkSubmitOnly"), QStringLiteral("Submit Only"),
                               QStringLiteral("Mark job complete immediately after submission."));
    chkDeferRollOver_ = EditCheck(Page, QStringLiteral("chkDeferRollOver"), QStringLiteral("Defer Rollover"),
                                  QStringLiteral("Check if job MUST run before day rollover is allowed."));
    cboResched_ = EditCombo(Page, QStringLiteral("cboResched"), false);
    cboResched_->addItems({QStringLiteral("(Never)"), QStringLiteral("Success"), QStringLiteral("Unconditionally"),
                           QStringLiteral("Failure")});
    txtExclusive_ = EditBox(Page, QStringLiteral("txtExclusive"),
                            QStringLiteral("Jobs with any matching keywords are prevented from running simultaneously."));

    g->addWidget(EditLabel(Page, QStringLiteral("lblFrequency"), QStringLiteral("&Frequency"), txtFrequency_), 0, 0);
    g->addWidget(txtFrequency_, 0, 1, 1, 2);
    g->addWidget(cmdClearFrq_, 0, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblKeys"), QStringLiteral("&Keyword Formats"), cboKeys_), 1, 0);
    g->addWidget(EditLabel(Page, QStringLiteral("lblKeysHint"),
                           QStringLiteral("(Double-click on entry to select.  Click on entry to see description)")),
                 1, 1, 1, 3);
    g->addWidget(cboKeys_, 2, 0, 4, 2);
    g->addWidget(EditLabel(Page, QStringLiteral("lblTime"), QStringLiteral("Earliest &Start Time"), txtTime_), 2, 2);
    g->addWidget(txtTime_, 2, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblSkipOn"), QStringLiteral("S&kip On"), cboSkipOn_), 3, 2);
    g->addWidget(cboSkipOn_, 3, 3);
    g->addWidget(chkSubmitOnly_, 4, 2);
    g->addWidget(chkDeferRollOver_, 4, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblResched"), QStringLiteral("Reschedule on Completion:"), cboResched_),
                 5, 2);
    g->addWidget(cboResched_, 5, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblExclusive"), QStringLiteral("Exclusivity Key&words"), txtExclusive_),
                 6, 0);
    g->addWidget(txtExclusive_, 6, 1, 1, 3);

    auto* fra = new QGroupBox(Page);
    fra->setObjectName(QStringLiteral("fraTryRunDates"));
    auto* f = new QGridLayout(fra);
    lsbTryRunDates_ = new QListWidget(fra);
    lsbTryRunDates_->setObjectName(QStringLiteral("lsbTryRunDates"));
    lblTryRunDates_ = EditLabel(fra, QStringLiteral("lblTryRunDates"), QStringLiteral("Future Run Dates:"), lsbTryRunDates_);
    cmdTryFreq_ = NamedButton(fra, "cmdTryFreq", QStringLiteral("Tr&y it"));
    f->addWidget(lblTryRunDates_, 0, 0);
    f->addWidget(cmdTryFreq_, 0, 1);
    f->addWidget(lsbTryRunDates_, 1, 0, 1, 2);
    lsbTryRunDates_->hide();
    lblTryRunDates_->hide();
    g->addWidget(fra, 0, 4, 7, 1);
}

void frmEdit::BuildDependenciesPage(QWidget* Page) {
    auto* g = new QVBoxLayout(Page);
    frmJobDep_ = new QGroupBox(QStringLiteral("Job Dependency"), Page);
    frmJobDep_->setObjectName(QStringLiteral("frmJobDep"));
    auto* d = new QGridLayout(frmJobDep_);
    fxgDependencies_ = new Grid(QStringLiteral("fxgDependencies"), frmJobDep_);
    fxgDependencies_->setAccessibleName(QStringLiteral("Job Dependency"));
    fxgDependencies_->SetFormatString(
        QStringLiteral("Job Name     |^Group         |^Wait EOJ   |^EOJ Status     |^Auto Unsched"));
    fxgDependencies_->SetRows(2);
    optThisGrp_ = EditOption(frmJobDep_, QStringLiteral("optThisGrp"), QStringLiteral("&Same Group"));
    optAllGrps_ = EditOption(frmJobDep_, QStringLiteral("optAllGrps"), QStringLiteral("A&ll Groups"));
    optThisGrp_->setChecked(true);
    d->addWidget(fxgDependencies_, 0, 0, 1, 2);
    d->addWidget(optThisGrp_, 1, 0);
    d->addWidget(optAllGrps_, 1, 1);
    g->addWidget(frmJobDep_, 1);

    puDepConds_ = new QMenu(this);
    puDepConds_->setObjectName(QStringLiteral("puDepConds"));
    NamedMenuItem(puDepConds_, "mnuSuccess", QStringLiteral("Success"));
    NamedMenuItem(puDepConds_, "mnuFailure", QStringLiteral("Failure"));
    NamedMenuItem(puDepConds_, "mnuUnconditional", QStringLiteral("Unconditional"));

    auto* fra = new QGroupBox(QStringLiteral("Interschedule && External Dependency"), Page);
    fra->setObjectName(QStringLiteral("fraWaitFor"));
    auto* w = new QGridLayout(fra);
    cboFDStdCust_ = EditCombo(fra, QStringLiteral("cboFDStdCust"), false);
    cboFDStdCust_->addItems({QStringLiteral("(None)"), QStringLiteral("Interschedule"), QStringLiteral("External")});
    lblStdCust_ = EditLabel(fra, QStringLiteral("lblStdCust"), QString());
    cboTriggers_ = EditCombo(fra, QStringLiteral("cboTriggers"), false, QString(),
                             QStringLiteral("Interschedule Trigger File from Job"));
    txtWaitForFile_ = EditBox(fra, QStringLiteral("txtWaitForFile"),
                              QStringLiteral("Job will not be submitted until this file exists."),
                              QStringLiteral("External Trigger File"));
    cmdBrowseFile_ = NamedButton(fra, "cmdBrowseFile", QStringLiteral("Br&owse"));
    cmdBrowseFile_->setToolTip(QStringLiteral("Browse to find the file, if it exists!!"));
    chkDelTrigger_ = EditCheck(fra, QStringLiteral("chkDelTrigger"), QStringLiteral("Delete File on Job Submission"),
                               QStringLiteral("Set this only if no other jobs are triggered by this file."));
    w->addWidget(EditLabel(fra, QStringLiteral("lblFDStdCust"), QStringLiteral("On &Creation of"), cboFDStdCust_), 0, 0);
    w->addWidget(cboFDStdCust_, 0, 1);
    w->addWidget(lblStdCust_, 1, 0);
    w->addWidget(cboTriggers_, 1, 1);
    w->addWidget(txtWaitForFile_, 2, 0, 1, 2);
    w->addWidget(cmdBrowseFile_, 2, 2);
    w->addWidget(chkDelTrigger_, 3, 0, 1, 2);
    g->addWidget(fra);
}

void frmEdit::BuildEojPage(QWidget* Page, int Part) {
    const size_t p = static_cast<size_t>(Part);
    const bool normal = Part == 0;
    auto* outer = new QVBoxLayout(Page);
    auto* fra = new QGroupBox(normal ? QStringLiteral("Message on Job Completion") : QStringLiteral("Abnormal EOJ Message"),
                              Page);
    fra->setObjectName(normal ? QStringLiteral("fraNEOJ") : QStringLiteral("fraAEOJ"));
    auto* g = new QGridLayout(fra);
    const std::array<const char*, 2> addrCaption{"To:", "Cc:"};
    for (int a = 0; a < 2; ++a) {
        const int i = Part * 2 + a;
        txtEmailAddrs_[static_cast<size_t>(i)] = EditBox(fra, Indexed(QStringLiteral("txtEmailAddrs"), i));
        cmdChgAddr_[static_cast<size_t>(i)] = NamedButton(fra, "cmdChgAddr", QStringLiteral("Change"));
        cmdChgAddr_[static_cast<size_t>(i)]->setObjectName(Indexed(QStringLiteral("cmdChgAddr"), i));
        cmdChgAddr_[static_cast<size_t>(i)]->setAccessibleName(QStringLiteral("Change ") +
                                                               AccessibleText(QLatin1String(addrCaption[static_cast<size_t>(a)])));
        g->addWidget(EditLabel(fra, Indexed(QStringLiteral("lblEmailAddrs"), i), QLatin1String(addrCaption[static_cast<size_t>(a)]),
                               txtEmailAddrs_[static_cast<size_t>(i)]),
                     a, 0);
        g->addWidget(txtEmailAddrs_[static_cast<size_t>(i)], a, 1, 1, 6);
        g->addWidget(cmdChgAddr_[static_cast<size_t>(i)], a, 7);
    }
    const QString prefix = normal ? QStringLiteral("txtNEOJMsg") : QStringLiteral("txtAEOJMsg");
    txtSubj_[p] = EditBox(fra, prefix + QStringLiteral("Subj"));
    g->addWidget(EditLabel(fra, normal ? QStringLiteral("lblNSubj") : QStringLiteral("lblASubj"), QStringLiteral("Subject:"),
                           txtSubj_[p]),
                 2, 0);
    g->addWidget(txtSubj_[p], 2, 1, 1, 7);
    g->addWidget(EditLabel(fra, normal ? QStringLiteral("lblNBody") : QStringLiteral("lblABody"), QStringLiteral("Message Body")),
                 3, 0);
    g->addWidget(EditLabel(fra, normal ? QStringLiteral("lblNFlags") : QStringLiteral("lblAFlags"),
                           QStringLiteral("Fil Var Att Flt Del")),
                 3, 2, 1, 5);
    const std::array<const char*, 5> chkNames{"chkIsFile", "chkVarSub", "chkAttach", "chkFilter", "chkDelete"};
    const std::array<const char*, 5> chkANames{"chkAIsFile", "chkAVarSub", "chkAAttach", "chkAFilter", "chkADelete"};
    const std::array<const char*, 5> tips{"Entry is file path/name", "Substitute date variables in file name",
                                          "Attach file", "File is directory out put and should be fiktered",
                                          "Delete file after use"};
    const std::array<const char*, 5> heads{"Fil", "Var", "Att", "Flt", "Del"};
    for (int k = 0; k < 4; ++k) {
        const size_t kk = static_cast<size_t>(k);
        const QString line = QStringLiteral(" line ") + QString::number(k + 1);
        QLineEdit* box = EditBox(fra, Indexed(prefix + QStringLiteral("Cont"), k),
                                 QStringLiteral("Message text or name of file to be copied into message at this point."),
                                 QStringLiteral("Message Body") + line);
        txtCont_[p][kk] = box;
        g->addWidget(box, 4 + k, 0, 1, 2);
        for (size_t b = 0; b < 5; ++b) {
            chkLine_[p][kk][b] = EditCheck(fra, Indexed(QLatin1String(normal ? chkNames[b] : chkANames[b]), k), QString(),
                                           QLatin1String(tips[b]), QLatin1String(heads[b]) + line);
            g->addWidget(chkLine_[p][kk][b], 4 + k, 2 + static_cast<int>(b));
        }
        QPushButton* inc = NamedButton(fra, "cmdConfigInc", QStringLiteral("..."));
        inc->setObjectName(Indexed(normal ? QStringLiteral("cmdConfigInc") : QStringLiteral("cmdAConfigInc"), k));
        inc->setToolTip(QStringLiteral("Browse for include file"));
        inc->setAccessibleName(QStringLiteral("Include file") + line);
        cmdConfigInc_[p][kk] = inc;
        g->addWidget(inc, 4 + k, 7);
    }
    outer->addWidget(fra);
    if (!normal) {
        outer->addStretch(1);
        return;
    }

    auto* row = new QHBoxLayout;
    txtDeferEOJMsgBy_ = EditBox(Page, QStringLiteral("txtDeferEOJMsgBy"));
    row->addWidget(EditLabel(Page, QStringLiteral("lblDeferEOJMsgBy"), QStringLiteral("Defer EOJ message by (mins):"),
                             txtDeferEOJMsgBy_));
    row->addWidget(txtDeferEOJMsgBy_);
    chkSuppNoBody_ = EditCheck(Page, QStringLiteral("chkSuppNoBody"),
                               QStringLiteral("Suppress message if all included files empty/non-existent"));
    row->addWidget(chkSuppNoBody_, 1);
    outer->addLayout(row);

    auto* trig = new QGroupBox(QStringLiteral("Trigger File Creation"), Page);
    trig->setObjectName(QStringLiteral("fraTrigger"));
    auto* t = new QGridLayout(trig);
    optNoTrig_ = EditOption(trig, QStringLiteral("optNoTrig"), QStringLiteral("None"));
    optExtTrig_ = EditOption(trig, QStringLiteral("optExtTrig"), QStringLiteral("External"));
    optInterTrig_ = EditOption(trig, QStringLiteral("optInterTrig"), QStringLiteral("Interschedule"));
    txtExtTrigFile_ = EditBox(trig, QStringLiteral("txtExtTrigFile"));
    lblTrigFile_ = EditLabel(trig, QStringLiteral("lblTrigFile"), QStringLiteral("File Name/Location"), txtExtTrigFile_);
    t->addWidget(optNoTrig_, 0, 0);
    t->addWidget(optExtTrig_, 0, 1);
    t->addWidget(optInterTrig_, 0, 2);
    t->addWidget(lblTrigFile_, 1, 0);
    t->addWidget(txtExtTrigFile_, 1, 1, 1, 2);
    outer->addWidget(trig);
    outer->addStretch(1);
}

// ---- Loading ------------------------------------------------------------------

void frmEdit::Form_Load() {
    closeMode_ = 0;
    loading_ = true;
    resize(kInnerWidthTwips / Grid::kTwipsPerPixel, kInnerHeightTwips / Grid::kTwipsPerPixel);
    chkCritical_->setVisible(G.gAllowCritical);
    cmdLineTip_ = txtCmdLine_->toolTip();
    firstActivate_ = true;

    cboKeys_->clear();
    const std::array<FreqKeyword, 22> keys = FrequencyKeywords();
    for (size_t k = 0; k < keys.size(); ++k) {
        cboKeys_->addItem(keys[k].Keyword);
        keyDesc_[k] = keys[k].Description;
    }
    cboKeys_->setCurrentRow(-1);

    ShowEdit(LoadJobEdit(G.gCurJob));
    for (QLineEdit* box : findChildren<QLineEdit*>())
        box->selectAll();
    loading_ = false;
}

void frmEdit::ShowEdit(const JobEdit& E) {
    edit_ = E;
    cboGroup_->clear();
    cboGroup_->addItems(E.Groups);
    cboGroup_->setCurrentIndex(static_cast<int>(E.Groups.lastIndexOf(E.Group)));
    cboGroup_->setEditText(E.Group);
    txtJobName_->setText(E.JobName);
    txtCmdLine_->setText(E.CmdLine);
    chkDOSProgram_->setChecked(E.DosProgram);
    txtJobDesc_->setText(E.JobDesc);
    txtCPUUsage_->setText(E.CpuUsage);
    chkCritical_->setChecked(E.Critical);

    txtTime_->setText(E.Time);
    txtFrequency_->setText(E.Frequency);
    txtExclusive_->setText(E.Exclusive);
    cboSkipOn_->clear();
    cboSkipOn_->addItems(E.SkipOnList);
    cboSkipOn_->setCurrentIndex(E.SkipOnIndex);
    chkSubmitOnly_->setChecked(E.SubmitOnly);
    chkDeferRollOver_->setChecked(E.DeferRollover);
    cboResched_->setCurrentIndex(E.Resched);

    for (size_t p = 0; p < 2; ++p) {
        const EojPart& part = E.Eoj[p];
        txtEmailAddrs_[p * 2]->setText(part.To);
        txtEmailAddrs_[p * 2 + 1]->setText(part.Cc);
        txtSubj_[p]->setText(part.Subject);
        for (size_t k = 0; k < 4; ++k) {
            const EojLine& L = part.Lines[k];
            txtCont_[p][k]->setText(L.Text);
            const std::array<bool, 5> bits{L.IsFile, L.VarSub, L.Attach, L.Filter, L.Delete};
            for (size_t b = 0; b < 5; ++b)
                chkLine_[p][k][b]->setChecked(bits[b]);
        }
    }
    txtDeferEOJMsgBy_->setText(E.DeferEojBy);
    chkSuppNoBody_->setChecked(E.SuppNoBody);
    optNoTrig_->setChecked(E.Trigger == tkNone);
    optExtTrig_->setChecked(E.Trigger == tkExternal);
    optInterTrig_->setChecked(E.Trigger == tkInterschedule);
    txtExtTrigFile_->setText(E.ExtTrigFile);

    optAllGrps_->setChecked(E.AllGroups);
    optThisGrp_->setChecked(!E.AllGroups);
    cboFDStdCust_->setCurrentIndex(E.Wait);
    txtWaitForFile_->setText(E.WaitForFile);
    cboTriggers_->clear();
    cboTriggers_->addItems(E.TriggerList);
    cboTriggers_->setCurrentIndex(static_cast<int>(E.TriggerList.lastIndexOf(E.TriggerEntry)));
    chkDelTrigger_->setChecked(E.DelTrigger);
    ShowDeps();
    ShowVars();
}

JobEdit frmEdit::CurrentEdit() const {
    JobEdit E = edit_;
    E.Group = cboGroup_->currentText();
    E.JobName = txtJobName_->text();
    E.CmdLine = txtCmdLine_->text();
    E.DosProgram = chkDOSProgram_->isChecked();
    E.JobDesc = txtJobDesc_->text();
    E.CpuUsage = txtCPUUsage_->text();
    E.Critical = chkCritical_->isChecked();
    E.Time = txtTime_->text();
    E.Frequency = txtFrequency_->text();
    E.Exclusive = txtExclusive_->text();
    E.SkipOnList.clear();
    for (int k = 0; k < cboSkipOn_->count(); ++k)
        E.SkipOnList << cboSkipOn_->itemText(k);
    E.SkipOnIndex = cboSkipOn_->currentIndex();
    E.SubmitOnly = chkSubmitOnly_->isChecked();
    E.DeferRollover = chkDeferRollOver_->isChecked();
    E.Resched = std::max(0, cboResched_->currentIndex());
    for (size_t p = 0; p < 2; ++p) {
        EojPart& part = E.Eoj[p];
        part.To = txtEmailAddrs_[p * 2]->text();
        part.Cc = txtEmailAddrs_[p * 2 + 1]->text();
        part.Subject = txtSubj_[p]->text();
        for (size_t k = 0; k < 4; ++k) {
            EojLine& L = part.Lines[k];
            L.Text = txtCont_[p][k]->text();
            std::array<bool*, 5> bits{&L.IsFile, &L.VarSub, &L.Attach, &L.Filter, &L.Delete};
            for (size_t b = 0; b < 5; ++b)
                *bits[b] = chkLine_[p][k][b]->isChecked();
        }
    }
    E.DeferEojBy = txtDeferEOJMsgBy_->text();
    E.SuppNoBody = chkSuppNoBody_->isChecked();
    E.Trigger = optInterTrig_->isChecked() ? tkInterschedule : optExtTrig_->isChecked() ? tkExternal : tkNone;
    E.ExtTrigFile = txtExtTrigFile_->text();
    E.AllGroups = optAllGrps_->isChecked();
    E.Wait = std::max(0, cboFDStdCust_->currentIndex());
    E.WaitForFile = txtWaitForFile_->text();
    E.TriggerEntry = cboTriggers_->currentIndex() >= 0 ? cboTriggers_->currentText() : QString();
    E.DelTrigger = chkDelTrigger_->isChecked();
    return E;
}

void frmEdit::ShowDeps() {
    Grid& g = *fxgDependencies_;
    g.SetRedraw(false);
    const int rows = std::max<int>(1, static_cast<int>(edit_.Deps.size()));
    g.SetRows(1 + rows);
    for (int r = 1; r <= rows; ++r) {
        const DepRow row = r <= static_cast<int>(edit_.Deps.size()) ? edit_.Deps[static_cast<size_t>(r - 1)] : DepRow{};
        g.SetTextMatrix(r, 0, row.Name);
        g.SetTextMatrix(r, 1, row.Group);
        SetCellPicture(g, r, 2, row.Wait ? picTick_ : picNone_);
        g.SetTextMatrix(r, 3, row.Cond);
        SetCellPicture(g, r, 4, row.Unsched ? picTick_ : picNone_);
    }
    g.SetRedraw(true);
}

void frmEdit::ShowVars() {
    Grid& g = *fxgVar_;
    g.SetRedraw(false);
    g.SetRows(8);
    for (int r = 1; r <= 7; ++r) {
        const VarRow& v = edit_.Vars[static_cast<size_t>(r - 1)];
        g.SetTextMatrix(r, 0, v.Name);
        g.SetTextMatrix(r, 1, v.RelDay);
        g.SetTextMatrix(r, 2, v.RelMonth);
        g.SetTextMatrix(r, 3, v.Format);
        PopulateAsAt(r);
    }
    g.SetRedraw(true);
}

void frmEdit::PopulateAsAt(int Row) {
    fxgVar_->SetTextMatrix(Row, 4, AsAtValue(edit_.Vars, Row - 1, txtFrequency_->text()));
}

void frmEdit::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    Form_Activate();
}

void frmEdit::Form_Activate() {
    if (firstActivate_) {
        TabEdit_->setCurrentIndex(pgSubstitution);
        TabEdit_->setCurrentIndex(pgSubmission);
        firstActivate_ = false;
    }
    FocusField(TabEdit_->currentIndex(), QString());
    ApplyWaitKind();
}

void frmEdit::ApplyWaitKind() {
    const int kind = cboFDStdCust_->currentIndex();
    txtWaitForFile_->setVisible(kind == wkExternal);
    cmdBrowseFile_->setVisible(kind == wkExternal);
    cboTriggers_->setVisible(kind == wkInterschedule);
    chkDelTrigger_->setVisible(kind != wkNone);
    lblStdCust_->setText(kind == wkInterschedule ? QStringLiteral("Interschedule Trigger File from Job:")
                         : kind == wkExternal    ? QStringLiteral("External Trigger File:")
                                                 : QString());
    const bool ext = optExtTrig_->isChecked();
    txtExtTrigFile_->setVisible(ext);
    lblTrigFile_->setVisible(ext);
}

// Focus by page: the named field, or the page's first field.
void frmEdit::FocusField(int Page, const QString& Field) {
    if (Page >= 0)
        TabEdit_->setCurrentIndex(Page);
    QWidget* w = Field.isEmpty() ? nullptr : findChild<QWidget*>(Field);
    if (!w) {
        switch (TabEdit_->currentIndex()) {
        case pgSubmission:
            w = txtJobName_;
            break;
        case pgSubstitution:
            w = cmdTry_;
            break;
        case pgTiming:
            w = cmdClearFrq_;
            break;
        case pgDependencies:
            w = fxgDependencies_;
            break;
        case pgNormalEoj:
            w = txtEmailAddrs_[0];
            break;
        default:
            w = txtEmailAddrs_[2];
            break;
        }
    }
    w->setFocus();
}

void frmEdit::ShowPage(int Page) { TabEdit_->setCurrentIndex(Page); }

void frmEdit::TabEdit_Click() {
    static const std::array<const char*, 6> topics{
        "Job Edit Form - Submission Tab", "Job Edit Form - Substitution Tab", "Job Edit Form - Timing Tab",
        "Job Edit Form - Dependencies Tab", "Job Edit Form - Normal EOJ Tab", "Job Edit Form - Abnormal EOJ Tab"};
    const int page = TabEdit_->currentIndex();
    if (page < 0)
        return;
    helpTopic_ = QLatin1String(topics[static_cast<size_t>(page)]);
}

// ---- Try buttons --------------------------------------------------------------

void frmEdit::cmdTryFreq_Click() {
    lsbTryRunDates_->clear();
    lsbTryRunDates_->hide();
    lblTryRunDates_->hide();
    lsbTryRunDates_->addItems(TryRunDates(txtFrequency_->text(), cboSkipOn_->currentText()));
    lsbTryRunDates_->show();
    lblTryRunDates_->show();
}

void frmEdit::cmdTry_Click() {
    GuardFatal([this] {
        txtTryFreq_->setText(txtFrequency_->text());
        txtSubsCmdLine_->setText(TrySubst(txtCmdLine_->text(), txtTryFreq_->text(), edit_.Vars));
        txtTryCmdLine_->setText(txtCmdLine_->text());
        txtTryCmdLine_->setToolTip(txtTryCmdLine_->text());
        txtSubsCmdLine_->setToolTip(txtSubsCmdLine_->text());
        txtTryRunDate_->setText(FormatDate(G.gRunDate, QStringLiteral("dddd ") + G.gDateFmt));
        fraTrySubst_->show();
    });
}

// ---- Closing ------------------------------------------------------------------

void frmEdit::cmdOK_Click() {
    closeMode_ = 1;
    Form_Unload();
}

void frmEdit::cmdCancel_Click() {
    closeMode_ = 2;
    Form_Unload();
}

void frmEdit::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    QueryUnload();
}

// Esc closes the way the close box does: with the question, never silently.
void frmEdit::reject() { QueryUnload(); }

void frmEdit::QueryUnload() {
    if (closeMode_ == 0) {
        switch (MsgBox(QStringLiteral("Do you want to save any changes made to this job?"), MsgButtons::YesNoCancel,
                       MsgIcon::Question, gAppName)) {
        case MsgAnswer::Yes:
            closeMode_ = 1;
            break;
        case MsgAnswer::No:
            closeMode_ = 2;
            break;
        default:
            return;
        }
    }
    Form_Unload();
}

void frmEdit::Form_Unload() {
    if (closeMode_ == 2) {
        G.gEditCancelled = true;
        done(QDialog::Rejected);
        return;
    }
    closeMode_ = 0;
    bool saved = false;
    GuardFatal([this, &saved] {
        JobEdit E = CurrentEdit();
        const std::optional<SaveStop> stop = SaveJobEdit(E, G.gCurJob, [this](int Page) { ShowPage(Page); });
        // A frequency changed to "Daily" by a question stands either way.
        txtFrequency_->setText(E.Frequency);
        if (stop) {
            if (stop->Page >= 0)
                FocusField(stop->Page, stop->Field);
            return;
        }
        saved = true;
    });
    if (saved)
        done(QDialog::Accepted);
}
