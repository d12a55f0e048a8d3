#include "morvenda/windows/frmEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/constants.h"
#include "common/prompter.h"
#include "common/text.h"
#include "gui/controls.h"
#include "gui/filedialog.h"
#include "gui/grid.h"
#include "gui/guard.h"
#include "morvenda/core/state.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/editorwidgets.h"
#include "morvenda/windows/frmDateSel.h"
#include "morvenda/windows/frmEdVar.h"
#include "morvenda/windows/frmIncFile.h"
#include "morvenda/windows/frmSelAddr.h"
#include "morvenda/windows/widgethelpers.h"

namespace {

const std::array<const char*, 6> kPageNames{"Submission",   "Substitution", "Timing",
                                            "Dependencies", "Normal EOJ",   "Abnormal EOJ"};

// Twips of the editor's inner area, as the schedule's windows size themselves.
constexpr int kInnerWidthTwips = 8595;
constexpr int kInnerHeightTwips = 6840;
// Room around and between the controls of a page: the pages are full, and
// the window keeps to its inner area.
constexpr int kPageMargin = 4;
constexpr int kPageSpacing = 4;
// Room between the lines of an end-of-job message, stacked like a form.
constexpr int kMessageLineSpacing = 2;

// Tabs with half the usual room beside their captions, so the six page
// names sit side by side within the editor's width, none behind a scroll
// arrow. The captions themselves keep all the room they need.
class CompactTabStyle : public QProxyStyle {
public:
    explicit CompactTabStyle(QObject* Owner) : QProxyStyle(QApplication::style()->name()) { setParent(Owner); }
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option, const QWidget* Widget) const override {
        const int value = QProxyStyle::pixelMetric(Metric, Option, Widget);
        return Metric == PM_TabBarTabHSpace ? value / 2 : value;
    }
};

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

// The date picker on G.gDateSelText, which receives the date picked (and
// stays as it was when the picker is cancelled).
void PickIntoDateSel(QWidget* Parent) {
    QString text = G.gDateSelText;
    PickDate(Parent, text);
}

QString Indexed(const QString& Name, int Index) { return Name + QLatin1Char('_') + QString::number(Index); }

}  // namespace

frmEdit::frmEdit(QWidget* Parent) : QDialog(Parent), picTick_(TickPicture()), picNone_(NonePicture()) {
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Edit Job"));
    setModal(true);
    auto* outer = new QVBoxLayout(this);

    const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("&OK"));
    outer->setMenuBar(buttons.Menu);

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
    for (int k = 0; k < TabEdit_->count(); ++k)
        TabEdit_->widget(k)->layout()->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    // Made after the tab strip, so the strip goes first when the window ends.
    TabEdit_->tabBar()->setStyle(new CompactTabStyle(this));
    outer->addWidget(TabEdit_, 1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton* cmdOK = buttons.OK;
    QPushButton* cmdCancel = buttons.Cancel;
    QPushButton* cmdHelp = buttons.Help;
    for (QPushButton* b : {cmdOK, cmdCancel, cmdHelp}) row->addWidget(b);
    outer->addLayout(row);
    // The buttons were made first; they come last in the tab order.
    setTabOrder(cmdConfigInc_[1][3], cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdHelp);
    NameButtons(this);

    connect(cmdOK, &QPushButton::clicked, this, &frmEdit::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEdit::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, [this] { ShowHelp(helpTopic_); });
    connect(TabEdit_, &QTabWidget::currentChanged, this, &frmEdit::TabEdit_Click);
    ConnectHandlers();
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
    cboGroup_->lineEdit()->setMaxLength(kGroupWidth);
    // Room for a whole group name of wide letters, whatever the layout gives.
    {
        QStyleOptionComboBox opt;
        opt.initFrom(cboGroup_);
        opt.editable = true;
        const QFontMetrics fm(cboGroup_->font());
        const QSize text(fm.horizontalAdvance(QString(kGroupWidth, QLatin1Char('W'))), fm.height());
        cboGroup_->setMinimumWidth(
            cboGroup_->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, text, cboGroup_).width());
    }
    txtCmdLine_ =
        EditBox(Page, QStringLiteral("txtCmdLine"), QStringLiteral("Command line including any run time parameters"));
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
    // The group was made before the name: Tab goes name, group, command line.
    setTabOrder(txtJobName_, cboGroup_);
    setTabOrder(cboGroup_, txtCmdLine_);
}

void frmEdit::BuildSubstitutionPage(QWidget* Page) {
    auto* g = new QGridLayout(Page);
    fxgVar_ = new Grid(QStringLiteral("fxgVar"), Page);
    fxgVar_->setAccessibleName(QStringLiteral("Date Variables"));
    fxgVar_->SetFormatString(
        QStringLiteral("<Name         |^Rel Day in Month|^Rel Month     |^Format                 |^As at Run Date  "));
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
    const std::array<const char*, 4> labels{
        "Command Line:", "and Job Frequency of:", "Based on Run Date of:", "Evaluates to:"};
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
    auto* outer = new QHBoxLayout(Page);
    auto* g = new QGridLayout;
    outer->addLayout(g, 1);
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
    txtExclusive_ =
        EditBox(Page, QStringLiteral("txtExclusive"),
                QStringLiteral("Jobs with any matching keywords are prevented from running simultaneously."));

    g->addWidget(EditLabel(Page, QStringLiteral("lblFrequency"), QStringLiteral("&Frequency"), txtFrequency_), 0, 0);
    g->addWidget(txtFrequency_, 0, 1, 1, 2);
    g->addWidget(cmdClearFrq_, 0, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblKeys"), QStringLiteral("Keyword F&ormats"), cboKeys_), 1, 0);
    QLabel* hint = EditLabel(Page, QStringLiteral("lblKeysHint"),
                             QStringLiteral("(Double-click on entry to select.  Click on entry to see description)"));
    hint->setWordWrap(true);
    g->addWidget(hint, 1, 1, 1, 3);
    // The list takes the height the fixed-height boxes beside it leave.
    g->addWidget(cboKeys_, 2, 0, 6, 2);
    g->setRowStretch(7, 1);
    g->addWidget(EditLabel(Page, QStringLiteral("lblTime"), QStringLiteral("Earliest &Start Time"), txtTime_), 2, 2);
    g->addWidget(txtTime_, 2, 3);
    g->addWidget(EditLabel(Page, QStringLiteral("lblSkipOn"), QStringLiteral("S&kip On"), cboSkipOn_), 3, 2);
    g->addWidget(cboSkipOn_, 3, 3);
    g->addWidget(chkSubmitOnly_, 4, 2);
    g->addWidget(chkDeferRollOver_, 4, 3);
    // The long caption stands over its list, so the page fits the editor's
    // width beside the run-dates frame.
    g->addWidget(
        EditLabel(Page, QStringLiteral("lblResched"), QStringLiteral("Reschedule on Completion:"), cboResched_), 5, 2,
        1, 2);
    g->addWidget(cboResched_, 6, 3);
    g->addWidget(
        EditLabel(Page, QStringLiteral("lblExclusive"), QStringLiteral("Exclusivity Key&words"), txtExclusive_), 8, 0);
    g->addWidget(txtExclusive_, 8, 1, 1, 3);

    auto* fra = new QGroupBox(Page);
    fra->setObjectName(QStringLiteral("fraTryRunDates"));
    auto* f = new QGridLayout(fra);
    lsbTryRunDates_ = new QListWidget(fra);
    lsbTryRunDates_->setObjectName(QStringLiteral("lsbTryRunDates"));
    lblTryRunDates_ =
        EditLabel(fra, QStringLiteral("lblTryRunDates"), QStringLiteral("Future Run Dates:"), lsbTryRunDates_);
    cmdTryFreq_ = NamedButton(fra, "cmdTryFreq", QStringLiteral("Tr&y it"));
    f->addWidget(lblTryRunDates_, 0, 0);
    f->addWidget(cmdTryFreq_, 0, 1);
    f->addWidget(lsbTryRunDates_, 1, 0, 1, 2);
    lsbTryRunDates_->hide();
    lblTryRunDates_->hide();
    outer->addWidget(fra);
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
    w->addWidget(EditLabel(fra, QStringLiteral("lblFDStdCust"), QStringLiteral("On C&reation of"), cboFDStdCust_), 0,
                 0);
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
    outer->setSpacing(kPageSpacing);
    auto* fra = new QGroupBox(
        normal ? QStringLiteral("Message on Job Completion") : QStringLiteral("Abnormal EOJ Message"), Page);
    fra->setObjectName(normal ? QStringLiteral("fraNEOJ") : QStringLiteral("fraAEOJ"));
    auto* g = new QGridLayout(fra);
    g->setVerticalSpacing(kMessageLineSpacing);
    const std::array<const char*, 2> addrCaption{"To:", "Cc:"};
    for (int a = 0; a < 2; ++a) {
        const int i = Part * 2 + a;
        txtEmailAddrs_[static_cast<size_t>(i)] = EditBox(fra, Indexed(QStringLiteral("txtEmailAddrs"), i));
        cmdChgAddr_[static_cast<size_t>(i)] = NamedButton(fra, "cmdChgAddr", QStringLiteral("Change"));
        cmdChgAddr_[static_cast<size_t>(i)]->setObjectName(Indexed(QStringLiteral("cmdChgAddr"), i));
        cmdChgAddr_[static_cast<size_t>(i)]->setAccessibleName(
            QStringLiteral("Change ") + AccessibleCaption(QLatin1String(addrCaption[static_cast<size_t>(a)])));
        g->addWidget(
            EditLabel(fra, Indexed(QStringLiteral("lblEmailAddrs"), i),
                      QLatin1String(addrCaption[static_cast<size_t>(a)]), txtEmailAddrs_[static_cast<size_t>(i)]),
            a, 0);
        g->addWidget(txtEmailAddrs_[static_cast<size_t>(i)], a, 1, 1, 6);
        g->addWidget(cmdChgAddr_[static_cast<size_t>(i)], a, 7);
    }
    const QString prefix = normal ? QStringLiteral("txtNEOJMsg") : QStringLiteral("txtAEOJMsg");
    txtSubj_[p] = EditBox(fra, prefix + QStringLiteral("Subj"));
    g->addWidget(EditLabel(fra, normal ? QStringLiteral("lblNSubj") : QStringLiteral("lblASubj"),
                           QStringLiteral("Subject:"), txtSubj_[p]),
                 2, 0);
    g->addWidget(txtSubj_[p], 2, 1, 1, 7);
    g->addWidget(EditLabel(fra, normal ? QStringLiteral("lblNBody") : QStringLiteral("lblABody"),
                           QStringLiteral("Message Body")),
                 3, 0);
    // The heading "Fil Var Att Flt Del", one word over each check-box column.
    const std::array<const char*, 5> heads{"Fil", "Var", "Att", "Flt", "Del"};
    for (int b = 0; b < 5; ++b)
        g->addWidget(EditLabel(fra, Indexed(normal ? QStringLiteral("lblNFlags") : QStringLiteral("lblAFlags"), b),
                               QLatin1String(heads[static_cast<size_t>(b)])),
                     3, 2 + b);
    g->setColumnStretch(1, 1);
    const std::array<const char*, 5> chkNames{"chkIsFile", "chkVarSub", "chkAttach", "chkFilter", "chkDelete"};
    const std::array<const char*, 5> chkANames{"chkAIsFile", "chkAVarSub", "chkAAttach", "chkAFilter", "chkADelete"};
    const std::array<const char*, 5> tips{"Entry is file path/name", "Substitute date variables in file name",
                                          "Attach file", "File is directory out put and should be fiktered",
                                          "Delete file after use"};
    for (int k = 0; k < 4; ++k) {
        const size_t kk = static_cast<size_t>(k);
        const QString line = QStringLiteral(" line ") + QString::number(k + 1);
        QLineEdit* box =
            EditBox(fra, Indexed(prefix + QStringLiteral("Cont"), k),
                    QStringLiteral("Message text or name of file to be copied into message at this point."),
                    QStringLiteral("Message Body") + line);
        txtCont_[p][kk] = box;
        g->addWidget(box, 4 + k, 0, 1, 2);
        for (size_t b = 0; b < 5; ++b) {
            chkLine_[p][kk][b] = EditCheck(fra, Indexed(QLatin1String(normal ? chkNames[b] : chkANames[b]), k),
                                           QString(), QLatin1String(tips[b]), QLatin1String(heads[b]) + line);
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
    row->addStretch(1);
    outer->addLayout(row);
    // A line of its own: beside the deferral it would widen the page past
    // the editor's width.
    chkSuppNoBody_ = EditCheck(Page, QStringLiteral("chkSuppNoBody"),
                               QStringLiteral("Suppress message if all included files empty/non-existent"));
    outer->addWidget(chkSuppNoBody_);

    // The choice and the file on one line, so the page keeps to the
    // editor's height.
    auto* trig = new QGroupBox(QStringLiteral("Trigger File Creation"), Page);
    trig->setObjectName(QStringLiteral("fraTrigger"));
    auto* t = new QHBoxLayout(trig);
    optNoTrig_ = EditOption(trig, QStringLiteral("optNoTrig"), QStringLiteral("None"));
    optExtTrig_ = EditOption(trig, QStringLiteral("optExtTrig"), QStringLiteral("External"));
    optInterTrig_ = EditOption(trig, QStringLiteral("optInterTrig"), QStringLiteral("Interschedule"));
    txtExtTrigFile_ = EditBox(trig, QStringLiteral("txtExtTrigFile"));
    txtExtTrigFile_->setMaxLength(kTriggerFileWidth);
    lblTrigFile_ =
        EditLabel(trig, QStringLiteral("lblTrigFile"), QStringLiteral("File Name/Location"), txtExtTrigFile_);
    t->addWidget(optNoTrig_);
    t->addWidget(optExtTrig_);
    t->addWidget(optInterTrig_);
    t->addWidget(lblTrigFile_);
    t->addWidget(txtExtTrigFile_, 1);
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
    for (QLineEdit* box : findChildren<QLineEdit*>()) box->selectAll();
    txtJobName_Change();
    autoDos_ = false;  // the stored tick is the operator's own
    loading_ = false;
    // The handlers are quiet while loading: the states that depend on other
    // controls are set once, now that every control holds its value.
    ApplyEnabledStates();
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
            for (size_t b = 0; b < 5; ++b) chkLine_[p][k][b]->setChecked(bits[b]);
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
    for (int k = 0; k < cboSkipOn_->count(); ++k) E.SkipOnList << cboSkipOn_->itemText(k);
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
            for (size_t b = 0; b < 5; ++b) *bits[b] = chkLine_[p][k][b]->isChecked();
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

// Each time the window becomes active again after another dialog of the
// program (the address picker, the include-file dialog, ...), as when it was
// first shown. A message box is no such dialog: after a refused check the
// focus stays on the field the check put it in.
void frmEdit::changeEvent(QEvent* Event) {
    QDialog::changeEvent(Event);
    if (Event->type() != QEvent::ActivationChange || !isVisible()) return;
    if (!isActiveWindow()) {
        QWidget* modal = QApplication::activeModalWidget();
        behindDialog_ = modal && modal != this && !qobject_cast<QMessageBox*>(modal);
    } else if (behindDialog_) {
        behindDialog_ = false;
        if (!loading_) Form_Activate();
    }
}

void frmEdit::Form_Activate() {
    if (firstActivate_) {
        TabEdit_->setCurrentIndex(pgSubstitution);
        TabEdit_->setCurrentIndex(pgSubmission);
        firstActivate_ = false;
    }
    FocusField(TabEdit_->currentIndex(), QString());
    // The trigger list may have changed meanwhile: it is read again.
    if (cboFDStdCust_->currentIndex() == wkInterschedule) BuildTriggers();
    ApplyWaitKind();
}

// Visibility by the wait-for kind and the trigger-creation choice. The
// choices themselves are the operator's: activating the window again never
// puts the stored ones back.
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
    if (Page >= 0) TabEdit_->setCurrentIndex(Page);
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
        "Job Edit Form - Submission Tab",   "Job Edit Form - Substitution Tab", "Job Edit Form - Timing Tab",
        "Job Edit Form - Dependencies Tab", "Job Edit Form - Normal EOJ Tab",   "Job Edit Form - Abnormal EOJ Tab"};
    const int page = TabEdit_->currentIndex();
    if (page < 0) return;
    helpTopic_ = QLatin1String(topics[static_cast<size_t>(page)]);
    if (loading_) return;
    if (page == pgDependencies) Candidates_Click();
    switch (page) {
        case pgSubstitution:
            fxgVar_->setFocus();
            break;
        case pgTiming:
            cboKeys_->setFocus();
            break;
        default:
            FocusField(page, QString());
            break;
    }
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
        txtTryRunDate_->show();
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
            if (stop->Page >= 0) FocusField(stop->Page, stop->Field);
            return;
        }
        saved = true;
    });
    if (saved) done(QDialog::Accepted);
}

// ---- Control handlers -----------------------------------------------------------

void frmEdit::ConnectHandlers() {
    connect(cmdTryFreq_, &QPushButton::clicked, this, &frmEdit::cmdTryFreq_Click);
    connect(cmdTry_, &QPushButton::clicked, this, &frmEdit::cmdTry_Click);

    // Submission page.
    InstallKeyFilter(txtJobName_, NameKeyFilter);
    InstallKeyFilter(cboGroup_->lineEdit(), NameKeyFilter);
    connect(txtJobName_, &QLineEdit::textChanged, this, &frmEdit::txtJobName_Change);
    connect(txtCmdLine_, &QLineEdit::textChanged, this, &frmEdit::txtCmdLine_Change);
    connect(chkDOSProgram_, &QCheckBox::clicked, this, [this] { autoDos_ = false; });
    connect(cmdBrowseExe_, &QPushButton::clicked, this, &frmEdit::cmdBrowseExe_Click);
    txtCmdLine_->installEventFilter(this);

    // Substitution page.
    connect(cmdEdit_, &QPushButton::clicked, this, &frmEdit::cmdEdit_Click);
    connect(cmdDefVar_, &QPushButton::clicked, this, &frmEdit::cmdDefVar_Click);
    connect(fxgVar_, &Grid::DblClick, this, &frmEdit::cmdEdit_Click);
    for (QPushButton* b : {cmdMinusH_, cmdMinusW_}) {
        connect(b, &QPushButton::clicked, this, [this, b] {
            const bool height = b == cmdMinusH_;
            const int twips = (height ? fxgVar_->height() : fxgVar_->width()) * Grid::kTwipsPerPixel - 20;
            if (height)
                fxgVar_->setFixedHeight(twips / Grid::kTwipsPerPixel);
            else
                fxgVar_->setFixedWidth(twips / Grid::kTwipsPerPixel);
            b->setText(QString::number(twips));
        });
    }

    // Timing page.
    txtFrequency_->installEventFilter(this);
    InstallKeyFilter(txtFrequency_, CommaToBlankFilter);
    InstallKeyFilter(txtTime_, CommaToBlankFilter);
    InstallKeyFilter(txtExclusive_, [](QChar c) { return stdTextKeyPressAlphaNum(c, QStringLiteral(" ")); });
    connect(txtFrequency_, &QLineEdit::textChanged, this,
            [this] { cmdTry_->setEnabled(!txtFrequency_->text().trimmed().isEmpty()); });
    auto showDesc = [this](int row) {
        if (row >= 0 && row < static_cast<int>(keyDesc_.size()))
            cboKeys_->setToolTip(keyDesc_[static_cast<size_t>(row)]);
    };
    connect(cboKeys_, &QListWidget::currentRowChanged, this, showDesc);
    connect(cboKeys_, &QListWidget::itemClicked, this,
            [this, showDesc](QListWidgetItem* item) { showDesc(cboKeys_->row(item)); });
    connect(cboKeys_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { cboKeys_DblClick(cboKeys_->row(item)); });
    connect(cmdClearFrq_, &QPushButton::clicked, this, &frmEdit::cmdClearFrq_Click);
    connect(chkSubmitOnly_, &QCheckBox::clicked, this, &frmEdit::ApplyEnabledStates);
    connect(chkDeferRollOver_, &QCheckBox::clicked, this, &frmEdit::ApplyEnabledStates);
    connect(cboResched_, &QComboBox::currentIndexChanged, this, [this] {
        if (!loading_) ApplyEnabledStates();
    });
    connect(cboSkipOn_, &QComboBox::activated, this, &frmEdit::cboSkipOn_Click);

    // Dependencies page.
    connect(fxgDependencies_, &Grid::MouseDown, this,
            [this](Qt::MouseButton Button, Qt::KeyboardModifiers, int, int) { depButton_ = Button; });
    connect(fxgDependencies_, &Grid::Click, this, [this] {
        fxgDependencies_CellClick(fxgDependencies_->Row(), fxgDependencies_->Col(),
                                  static_cast<Qt::MouseButton>(depButton_));
    });
    const std::array<std::pair<const char*, QString>, 3> conds{std::pair{"mnuSuccess", kCondSuccess},
                                                               std::pair{"mnuFailure", kCondFailure},
                                                               std::pair{"mnuUnconditional", kCondUncond}};
    for (const auto& [name, cond] : conds) {
        QAction* a = puDepConds_->findChild<QAction*>(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, c = cond] { SetDepCond(c); });
    }
    connect(optThisGrp_, &QRadioButton::clicked, this, &frmEdit::Candidates_Click);
    connect(optAllGrps_, &QRadioButton::clicked, this, &frmEdit::Candidates_Click);
    connect(cboFDStdCust_, &QComboBox::currentIndexChanged, this, &frmEdit::cboFDStdCust_Click);
    connect(cmdBrowseFile_, &QPushButton::clicked, this, &frmEdit::cmdBrowseFile_Click);

    // End-of-job pages.
    for (int p = 0; p < 2; ++p) {
        for (int k = 0; k < 4; ++k) {
            const size_t pp = static_cast<size_t>(p);
            const size_t kk = static_cast<size_t>(k);
            QLineEdit* line = txtCont_[pp][kk];
            InstallKeyFilter(line, MessageKeyFilter);
            line->installEventFilter(this);
            connect(line, &QLineEdit::textChanged, this, [this, p, k] {
                if (!loading_) SetFileAttrib(p, k);
            });
            for (QCheckBox* c : chkLine_[pp][kk]) {
                connect(c, &QCheckBox::clicked, this, [this, p, k] {
                    if (!loading_) SetFileAttrib(p, k);
                });
            }
            connect(cmdConfigInc_[pp][kk], &QPushButton::clicked, this, [this, p, k] { cmdConfigInc_Click(p, k); });
        }
        InstallKeyFilter(txtSubj_[static_cast<size_t>(p)], MessageKeyFilter);
    }
    for (int i = 0; i < 4; ++i) {
        txtEmailAddrs_[static_cast<size_t>(i)]->installEventFilter(this);
        connect(cmdChgAddr_[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdChgAddr_Click(i); });
    }
    InstallKeyFilter(txtDeferEOJMsgBy_, [](QChar c) {
        const QChar k = stdTextKeyPressDigits(c);
        if (k.isNull()) QApplication::beep();
        return k;
    });
    for (QRadioButton* o : {optNoTrig_, optExtTrig_, optInterTrig_})
        connect(o, &QRadioButton::clicked, this, &frmEdit::TrigOption_Click);
}

bool frmEdit::eventFilter(QObject* Watched, QEvent* Event) {
    const QEvent::Type type = Event->type();
    if (type == QEvent::MouseButtonDblClick) {
        if (Watched == txtCmdLine_) {
            cmdBrowseExe_Click();
            return true;
        }
        for (int p = 0; p < 2; ++p) {
            for (int k = 0; k < 4; ++k) {
                if (Watched == txtCont_[static_cast<size_t>(p)][static_cast<size_t>(k)]) {
                    cmdConfigInc_Click(p, k);
                    return true;
                }
            }
        }
        for (int i = 0; i < 4; ++i) {
            if (Watched == txtEmailAddrs_[static_cast<size_t>(i)]) {
                cmdChgAddr_Click(i);
                return true;
            }
        }
    } else if (type == QEvent::FocusIn && Watched == txtFrequency_) {
        // Keywords are entered from the list, not typed.
        cboKeys_->setFocus();
    } else if (type == QEvent::FocusIn && Watched == txtCmdLine_) {
        txtCmdLine_->setToolTip(txtCmdLine_->text().trimmed().isEmpty() ? cmdLineTip_ : txtCmdLine_->text());
    } else if (type == QEvent::FocusOut && Watched == txtCmdLine_) {
        txtCmdLine_->setToolTip(cmdLineTip_);
    }
    return QDialog::eventFilter(Watched, Event);
}

void frmEdit::ApplyEnabledStates() {
    cboResched_->setEnabled(ReschedEnabled(chkSubmitOnly_->isChecked(), chkDeferRollOver_->isChecked()));
    const bool checks = CompletionChecksEnabled(cboResched_->currentIndex());
    chkSubmitOnly_->setEnabled(checks);
    chkDeferRollOver_->setEnabled(checks);
    cmdTry_->setEnabled(!txtFrequency_->text().trimmed().isEmpty());
    for (int p = 0; p < 2; ++p) {
        for (int k = 0; k < 4; ++k) SetFileAttrib(p, k);
    }
    ApplyWaitKind();
}

void frmEdit::SetFileAttrib(int Part, int Line) {
    const size_t p = static_cast<size_t>(Part);
    const size_t k = static_cast<size_t>(Line);
    const std::array<QCheckBox*, 5>& c = chkLine_[p][k];
    const EojLine line{txtCont_[p][k]->text(), c[0]->isChecked(), c[1]->isChecked(),
                       c[2]->isChecked(),      c[3]->isChecked(), c[4]->isChecked()};
    const std::array<bool, 5> enabled = EojLineEnabled(line);
    for (size_t b = 0; b < 5; ++b) c[b]->setEnabled(enabled[b]);
}

void frmEdit::txtJobName_Change() { setWindowTitle(EditCaption(txtJobName_->text())); }

void frmEdit::txtCmdLine_Change() {
    const bool needs = NeedsCommandProcessor(txtCmdLine_->text());
    if (needs && !chkDOSProgram_->isChecked()) {
        chkDOSProgram_->setChecked(true);
        autoDos_ = true;
    } else if (!needs && autoDos_) {
        // Only a tick the command line made is taken back with it.
        chkDOSProgram_->setChecked(false);
        autoDos_ = false;
    }
    if (!loading_) txtCmdLine_->setToolTip(txtCmdLine_->text());
}

QString frmEdit::CommonBrowse(const QString& Path, const QString& Filter) {
    FileDialog dlg(this, QStringLiteral("cdgFiles"));
    dlg.Filter = Filter;
    const QString path = Path.trimmed();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (!path.isEmpty() && slash >= 0) {
        dlg.InitDir = slash == 0 ? QStringLiteral("/") : path.left(slash);
        dlg.FileName = path.mid(slash + 1);
    }
    dlg.Flags = FileDialog::HideReadOnly | FileDialog::PathMustExist | FileDialog::ShareAware | FileDialog::Explorer;
    return dlg.ShowOpen() ? dlg.FileName : QString();
}

void frmEdit::cmdBrowseExe_Click() {
    const CmdParts parts = SplitCmdLine(txtCmdLine_->text());
    // Programs here carry no extension of their own: every file is offered.
    const QString chosen =
        CommonBrowse(parts.Program, QStringLiteral("Programs|*|Batch and command files|*.sh;*.bat;*.com;*.exe"));
    const QString cmd = BrowsedCmdLine(chosen, parts.Params);
    if (!cmd.isEmpty()) txtCmdLine_->setText(cmd);
}

void frmEdit::cmdBrowseFile_Click() {
    const QString chosen = CommonBrowse(txtWaitForFile_->text(), QStringLiteral("All Files|*.*"));
    if (!chosen.trimmed().isEmpty()) txtWaitForFile_->setText(chosen);
}

// ---- Timing and substitution ----------------------------------------------------

void frmEdit::cboKeys_DblClick(int Index) {
    if (Index < 0 || Index >= cboKeys_->count()) return;
    const QString item = RelDaySelect(cboKeys_->item(Index)->text(), [this] { PickIntoDateSel(this); });
    if (item.isEmpty()) return;
    txtFrequency_->setText(AppendFrequency(txtFrequency_->text(), item));
    txtFrequency_->setCursorPosition(static_cast<int>(txtFrequency_->text().size()));
}

void frmEdit::cmdClearFrq_Click() {
    txtFrequency_->clear();
    lsbTryRunDates_->hide();
    lblTryRunDates_->hide();
    txtTryRunDate_->hide();
}

void frmEdit::cboSkipOn_Click(int Index) {
    if (loading_ || Index != 3) return;
    G.gDateSelText = cboSkipOn_->itemText(1);
    PickIntoDateSel(this);
    cboSkipOn_->setItemText(1, G.gDateSelText);
    cboSkipOn_->setCurrentIndex(1);
}

void frmEdit::cmdEdit_Click() {
    const int r = fxgVar_->Row();
    if (r < 1 || r > 7) return;
    VarRow& row = edit_.Vars[static_cast<size_t>(r - 1)];
    DateVarParams params{row.Name, row.Format, row.RelDay, static_cast<int>(Val(row.RelMonth))};
    if (!ShowEdVar(this, params)) return;
    row = VarRow{params.Name, params.RelDay, QString::number(params.RelMonth), params.Format};
    fxgVar_->SetTextMatrix(r, 0, row.Name);
    fxgVar_->SetTextMatrix(r, 1, row.RelDay);
    fxgVar_->SetTextMatrix(r, 2, row.RelMonth);
    fxgVar_->SetTextMatrix(r, 3, row.Format);
    GuardFatal([this, r] { PopulateAsAt(r); });
    fraTrySubst_->hide();
}

void frmEdit::cmdDefVar_Click() {
    for (size_t k = 0; k < 7; ++k) edit_.Vars[k] = VarRowOf(gDefDateVars[k]);
    GuardFatal([this] { ShowVars(); });
}

// ---- Dependencies -----------------------------------------------------------------

void frmEdit::fxgDependencies_CellClick(int Row, int Col, Qt::MouseButton Button) {
    const int row = Row - 1;
    if (Row < 1 || row >= static_cast<int>(edit_.Deps.size())) return;
    if (Button == Qt::RightButton) {
        if (DepCondMenuAllowed(edit_.Deps, row, Col)) {
            condRow_ = row;
            puDepConds_->popup(QCursor::pos());
        }
        return;
    }
    DepLeftClick(edit_.Deps, row, Col);
    ShowDeps();
    fxgDependencies_->SetRow(Row);
    fxgDependencies_->SetCol(Col);
}

void frmEdit::SetDepCond(const QString& Cond) {
    DepSetCond(edit_.Deps, condRow_, Cond);
    ShowDeps();
}

void frmEdit::Candidates_Click() {
    if (loading_) return;
    const QString typed = txtJobName_->text();
    QStringList own{typed};
    if (G.gCurJob >= 1 && G.gCurJob <= JobCount()) own << Job(G.gCurJob).JobName;
    DepCandidates(edit_.Deps, own, optAllGrps_->isChecked(), cboGroup_->currentText());
    ShowDeps();
}

void frmEdit::cboFDStdCust_Click(int Index) {
    if (loading_) return;
    chkDelTrigger_->setChecked(true);
    if (Index == wkInterschedule) BuildTriggers();
    ApplyWaitKind();
    if (Index == wkExternal) txtWaitForFile_->setFocus();
}

// The trigger list read again; the entry chosen stays when it is still
// there, else the stored wait is chosen when the list has it.
void frmEdit::BuildTriggers() {
    const QString current = cboTriggers_->currentIndex() >= 0 ? cboTriggers_->currentText() : QString();
    edit_.TriggerList = TriggerListLines();
    cboTriggers_->clear();
    cboTriggers_->addItems(edit_.TriggerList);
    QString chosen = current;
    if (chosen.isEmpty() || !edit_.TriggerList.contains(chosen)) {
        const QString stored = G.gCurJob >= 1 && G.gCurJob <= JobCount() ? Job(G.gCurJob).WaitForFile : QString();
        chosen = stored.startsWith(QLatin1String("..")) ? TriggerEntryFor(edit_.TriggerList, stored) : QString();
    }
    cboTriggers_->setCurrentIndex(static_cast<int>(edit_.TriggerList.lastIndexOf(chosen)));
}

void frmEdit::TrigOption_Click() {
    if (optNoTrig_->isChecked()) txtExtTrigFile_->clear();
    ApplyWaitKind();
}

// ---- End-of-job pages -------------------------------------------------------------

void frmEdit::cmdConfigInc_Click(int Part, int Line) {
    const size_t p = static_cast<size_t>(Part);
    const size_t k = static_cast<size_t>(Line);
    const std::array<QCheckBox*, 5>& c = chkLine_[p][k];
    IncludeFileParams params{txtCont_[p][k]->text(), c[2]->isChecked(), c[3]->isChecked(), c[1]->isChecked(),
                             c[4]->isChecked()};
    if (!ShowIncludeFile(this, params)) return;
    c[0]->setChecked(true);
    txtCont_[p][k]->setText(params.FileName);
    c[2]->setChecked(params.Attach);
    c[3]->setChecked(params.Filter);
    c[1]->setChecked(params.DateVars);
    c[4]->setChecked(params.DeleteAfter);
    SetFileAttrib(Part, Line);
}

void frmEdit::cmdChgAddr_Click(int Box) {
    QLineEdit* box = txtEmailAddrs_[static_cast<size_t>(Box)];
    G.gEmailAddrSel = box->text();
    ShowSelAddr(this);
    if (G.gEmailAddrSel != QString(QChar(0))) box->setText(G.gEmailAddrSel);
}
