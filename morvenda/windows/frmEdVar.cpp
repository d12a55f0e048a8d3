#include "morvenda/windows/frmEdVar.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>

#include "common/prompter.h"
#include "common/text.h"
#include "morvenda/core/datevars.h"
#include "morvenda/core/windowhelpers.h"
#include "morvenda/windows/editorwidgets.h"
#include "morvenda/windows/widgethelpers.h"

namespace {
// Relative months the spinner offers: ten years either way.
constexpr int kRelMonthRange = 120;
}  // namespace

frmEdVar::frmEdVar(DateVarParams& Params, QWidget* Parent) : QDialog(Parent), params_(Params) {
    setObjectName(QStringLiteral("frmEdVar"));
    setWindowTitle(QStringLiteral("Date Variable Modification"));
    auto* g = new QGridLayout(this);
    const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("OK"));
    g->setMenuBar(buttons.Menu);

    txtName_ = EditBox(this, QStringLiteral("txtName"));
    txtFormat_ = EditBox(this, QStringLiteral("txtFormat"));
    txtRelDIM_ = EditBox(this, QStringLiteral("txtRelDIM"),
                         QStringLiteral("For relative day in month only, the month, relative to the run date month, to "
                                        "be used during substitution.."));
    txtRelDIM_->setReadOnly(true);
    cboRelDIM_ = EditCombo(this, QStringLiteral("cboRelDIM"), false,
                           QStringLiteral("Click to select relative day value."), QStringLiteral("Relative Day code"));
    cboRelDIM_->addItems(RelDayCodes());
    cboRelDIM_->setCurrentIndex(-1);
    cboRelDIM_->setEnabled(false);
    txtRelMonth_ = EditBox(this, QStringLiteral("txtRelMonth"));
    txtRelMonth_->setReadOnly(true);
    vscRelMonth_ = new QSpinBox(this);
    vscRelMonth_->setObjectName(QStringLiteral("vscRelMonth"));
    vscRelMonth_->setAccessibleName(QStringLiteral("Relative Month"));
    vscRelMonth_->setRange(-kRelMonthRange, kRelMonthRange);
    vscRelMonth_->setSingleStep(1);
    txtRelMonth_->setFocusProxy(vscRelMonth_);

    g->addWidget(EditLabel(this, QStringLiteral("lblName"), QStringLiteral("Variable Name"), txtName_), 0, 0);
    g->addWidget(txtName_, 0, 1, 1, 2);
    g->addWidget(EditLabel(this, QStringLiteral("lblFormat"), QStringLiteral("Format String"), txtFormat_), 1, 0);
    g->addWidget(txtFormat_, 1, 1, 1, 2);
    g->addWidget(EditLabel(this, QStringLiteral("lblRelDIM"), QStringLiteral("Relative Day in Month"), txtRelDIM_), 2,
                 0);
    g->addWidget(txtRelDIM_, 2, 1);
    g->addWidget(cboRelDIM_, 2, 2);
    lblRelMonth_ = EditLabel(this, QStringLiteral("lblRelMonth"), QStringLiteral("Relative Month"), txtRelMonth_);
    g->addWidget(lblRelMonth_, 3, 0);
    g->addWidget(txtRelMonth_, 3, 1);
    g->addWidget(vscRelMonth_, 3, 2);
    QPushButton* cmdOK = buttons.OK;
    QPushButton* cmdCancel = buttons.Cancel;
    QPushButton* cmdHelp = buttons.Help;
    g->addWidget(cmdOK, 4, 0);
    g->addWidget(cmdCancel, 4, 1);
    g->addWidget(cmdHelp, 4, 2);
    setTabOrder(vscRelMonth_, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdHelp);
    NameButtons(this);

    InstallKeyFilter(txtName_, [](QChar c) { return stdTextKeyPressAlphaNum(c); });
    InstallKeyFilter(txtFormat_, [](QChar c) { return stdTextKeyPressCustom(c, QStringLiteral("ymdhns -/:.")); });
    txtRelDIM_->installEventFilter(this);

    txtName_->setText(Params.Name);
    txtFormat_->setText(Params.Format);
    txtRelDIM_->setText(Params.RelDay);
    vscRelMonth_->setValue(Params.RelMonth);
    txtRelMonth_->setText(QString::number(Params.RelMonth));
    txtRelDIM_Change();
    loading_ = false;

    connect(cboRelDIM_, &QComboBox::activated, this, &frmEdVar::cboRelDIM_Click);
    connect(txtRelDIM_, &QLineEdit::textChanged, this, &frmEdVar::txtRelDIM_Change);
    connect(vscRelMonth_, &QSpinBox::valueChanged, this, [this](int v) { txtRelMonth_->setText(QString::number(v)); });
    connect(cmdOK, &QPushButton::clicked, this, &frmEdVar::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEdVar::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, [] { ShowHelp(QStringLiteral("Job Edit Form - Substitution Tab")); });
}

// The code box is not typed into: its focus opens the list of codes.
bool frmEdVar::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == txtRelDIM_ && Event->type() == QEvent::FocusIn) {
        cboRelDIM_->setEnabled(true);
        cboRelDIM_->setFocus();
    }
    return QDialog::eventFilter(Watched, Event);
}

void frmEdVar::cboRelDIM_Click(int Index) {
    if (loading_ || Index < 0) return;
    const QString code = RelDayInput(cboRelDIM_->itemText(Index));
    if (code.isEmpty()) return;
    txtRelDIM_->setText(code);
    if (vscRelMonth_->isVisible()) vscRelMonth_->setFocus();
    cboRelDIM_->setEnabled(false);
}

void frmEdVar::txtRelDIM_Change() {
    const bool shown = RelMonthShown(txtRelDIM_->text());
    txtRelMonth_->setVisible(shown);
    lblRelMonth_->setVisible(shown);
    vscRelMonth_->setVisible(shown);
    if (!shown) {
        vscRelMonth_->setValue(0);
        txtRelMonth_->setText(QStringLiteral("0"));
    }
}

void frmEdVar::cmdOK_Click() { CloseWith(1); }

void frmEdVar::cmdCancel_Click() { CloseWith(2); }

void frmEdVar::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    reject();
}

void frmEdVar::reject() {
    MsgBox(QStringLiteral("Date variable modification cancelled"));
    CloseWith(2);
}

void frmEdVar::CloseWith(int Result) {
    if (Result == 2) {
        params_.Name.clear();
        done(QDialog::Rejected);
        return;
    }
    const DateVarParams entered{txtName_->text().trimmed(), txtFormat_->text().trimmed(), txtRelDIM_->text().trimmed(),
                                static_cast<int>(Val(txtRelMonth_->text()))};
    QString focus;
    const QStringList problems = DateVarProblems(entered, &focus);
    if (!problems.isEmpty()) {
        MsgBox(problems.join(QLatin1Char('\n')), MsgButtons::Ok, MsgIcon::Warning);
        if (QWidget* w = findChild<QWidget*>(focus)) w->setFocus();
        return;
    }
    params_ = entered;
    done(QDialog::Accepted);
}

bool ShowEdVar(QWidget* Parent, DateVarParams& Params) {
    frmEdVar dlg(Params, Parent);
    dlg.exec();
    return !Params.Name.isEmpty();
}
