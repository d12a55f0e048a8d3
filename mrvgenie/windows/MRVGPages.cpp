#include "mrvgenie/windows/MRVGPages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/clock.h"
#include "common/prompter.h"
#include "gui/MRVDir.h"
#include "gui/controls.h"
#include "gui/keyfilter.h"

namespace {

const QStringList kDays = {QStringLiteral("Sunday"),    QStringLiteral("Monday"),   QStringLiteral("Tuesday"),
                           QStringLiteral("Wednesday"), QStringLiteral("Thursday"), QStringLiteral("Friday"),
                           QStringLiteral("Saturday")};

QLabel* WrappedLabel(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

// The wizard picture: a panel of its own, no behaviour.
QLabel* GeniePicture(QWidget* parent) {
    auto* pic = new QLabel(parent);
    pic->setObjectName(QStringLiteral("uctGeniePic"));
    pic->setFixedSize(120, 240);
    pic->setFrameShape(QFrame::StyledPanel);
    pic->setStyleSheet(
        QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1f4e79, "
                       "stop:1 #9dc3e6);"));
    pic->setAccessibleName(QStringLiteral("Genie picture"));
    return pic;
}

void Accessible(QPushButton* b) { b->setAccessibleName(AccessibleCaption(b->text())); }

// The call-back program as the genie ends; one that cannot be started is
// said, never passed over in silence.
void CallBack() {
    QString error;
    RunCallBack(&error);
    if (!error.isEmpty()) MsgBox(error, MsgButtons::Ok, MsgIcon::Critical, gGenieCaption);
}

}  // namespace

// ---------------------------------------------------------------- MRVGPage

MRVGPage::MRVGPage(MRVGenie* Genie, const char* Name) : genie_(Genie) {
    setObjectName(QLatin1String(Name));
    setWindowTitle(gGenieCaption);

    lblLogo_ = new QLabel(this);
    lblLogo_->setObjectName(QStringLiteral("lblLogo"));
    uctGeniePic_ = GeniePicture(this);
    // Every page takes the logo's caption and the icon of the first page.
    if (MRVGPage* first = Genie->IntroIfMade()) {
        lblLogo_->setText(first->lblLogo_->text());
        setWindowIcon(first->windowIcon());
    } else {
        lblLogo_->setText(QStringLiteral("Morvenda"));
    }

    cmdCancel_ = NamedButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    cmdFinish_ = NamedButton(this, "cmdFinish", QStringLiteral("Finish"));
    cmdBack_ = NamedButton(this, "cmdBack", QStringLiteral("<< Back"));
    cmdNext_ = NamedButton(this, "cmdNext", QStringLiteral("&Next >>"));
    for (QPushButton* b : {cmdCancel_, cmdFinish_, cmdBack_, cmdNext_}) Accessible(b);
    cmdFinish_->setEnabled(false);

    auto* left = new QVBoxLayout;
    left->addWidget(lblLogo_);
    left->addWidget(uctGeniePic_);
    left->addStretch();
    body_ = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(body_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCancel_);
    buttons->addStretch();
    buttons->addWidget(cmdBack_);
    buttons->addWidget(cmdNext_);
    buttons->addWidget(cmdFinish_);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addLayout(buttons);
    resize(560, 360);

    connect(cmdCancel_, &QPushButton::clicked, this, &MRVGPage::cmdCancel_Click);
    connect(cmdNext_, &QPushButton::clicked, this, &MRVGPage::cmdNext_Click);
    connect(cmdBack_, &QPushButton::clicked, this, &MRVGPage::cmdBack_Click);
    connect(cmdFinish_, &QPushButton::clicked, this, &MRVGPage::cmdFinish_Click);
}

QLabel* MRVGPage::AddText(const QString& Text) {
    const QByteArray name = "lblText" + QByteArray::number(++texts_);
    QLabel* l = WrappedLabel(this, name.constData(), Text);
    body_->addWidget(l);
    return l;
}

void MRVGPage::cmdCancel_Click() {
    if (MsgBox(QStringLiteral("Are you sure you want to cancel?"), MsgButtons::YesNo, MsgIcon::Question,
               gGenieCaption) != MsgAnswer::Yes)
        return;
    CallBack();
    Closing = true;
    genie_->End();
}

void MRVGPage::closeEvent(QCloseEvent* event) {
    if (!Closing && !genie_->Ended()) cmdCancel_Click();
    if (Closing || genie_->Ended())
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------- MRVGIntro

MRVGIntro::MRVGIntro(MRVGenie* Genie) : MRVGPage(Genie, "MRVGIntro") {
    AddText(
        QStringLiteral("The Morvenda Genie will create your initial Morvenda folders and configure the system to "
                       "your requirements"));
    AddText(QStringLiteral("Press the \"Next\" button to continue...."));
    AddText(QStringLiteral("All settings can be modified subsequently using the Morvenda Configuration program."));
    body_->addStretch();
    cmdBack_->setEnabled(false);
}

void MRVGIntro::cmdNext_Click() { genie_->Show(this, genie_->Base()); }

// ---------------------------------------------------------------- MRVGBase

MRVGBase::MRVGBase(MRVGenie* Genie) : MRVGPage(Genie, "MRVGBase") {
    AddText(
        QStringLiteral("Your Morvenda system will be stored in a simple hierarchy of folders within a Base "
                       "folder."));
    AddText(
        QStringLiteral("If your system will have multiple schedules, this folder and its sub-folders will store "
                       "the data for all of them.  If you are adding a new schedule to an extisting system, please "
                       "select the existing folder name."));
    AddText(
        QStringLiteral("If you are running multiple schedules on different network clients over a local area "
                       "network, this folder needs to be accessible from each of those network clients."));
    AddText(QStringLiteral("I recommend a folder name of \"Morvenda\" for the base folder."));

    auto* label = WrappedLabel(this, "lblBase", QStringLiteral("Base Folder"));
    txtBase_ = new QLineEdit(this);
    txtBase_->setObjectName(QStringLiteral("txtBase"));
    txtBase_->setReadOnly(true);
    label->setBuddy(txtBase_);
    txtBase_->setAccessibleName(QStringLiteral("Base Folder"));
    txtBase_->installEventFilter(this);
    cmdBrowse_ = NamedButton(this, "cmdBrowse", QStringLiteral("&Browse"));
    Accessible(cmdBrowse_);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(txtBase_, 1);
    row->addWidget(cmdBrowse_);
    body_->addLayout(row);
    body_->addStretch();
    cmdNext_->setEnabled(false);

    connect(cmdBrowse_, &QPushButton::clicked, this, &MRVGBase::cmdBrowse_Click);
}

bool MRVGBase::eventFilter(QObject* Watched, QEvent* Event) {
    // The box is filled only through Browse.
    if (Watched == txtBase_ && Event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, cmdBrowse_, [this] { cmdBrowse_->setFocus(); });
    return MRVGPage::eventFilter(Watched, Event);
}

void MRVGBase::cmdBrowse_Click() {
    QString path = txtBase_->text().isEmpty() ? genie_->ProgramFolder : txtBase_->text();
    if (ChooseDirectory(this, gGenieChooserCaption, path)) {
        txtBase_->setText(path);
        txtBase_->setToolTip(path);
    }
    if (!txtBase_->text().isEmpty()) {
        cmdNext_->setEnabled(true);
        cmdNext_->setFocus();
    } else {
        cmdBrowse_->setFocus();
    }
}

void MRVGBase::cmdNext_Click() {
    // No page after this one goes on without a base folder.
    if (txtBase_->text().isEmpty()) {
        cmdNext_->setEnabled(false);
        cmdBrowse_->setFocus();
        return;
    }
    genie_->A.Base = txtBase_->text();
    genie_->Show(this, genie_->Name());
}

void MRVGBase::cmdBack_Click() { genie_->Show(this, genie_->Intro()); }

// ---------------------------------------------------------------- MRVGName

MRVGName::MRVGName(MRVGenie* Genie) : MRVGPage(Genie, "MRVGName") {
    AddText(
        QStringLiteral("We need to give your new Morvenda schedule a name to distinguish it from other Morvenda "
                       "schedules you may have, now or in the future. "));
    AddText(
        QStringLiteral("I suggest a simple name of 8 characters or less which is meaningful in an operational "
                       "context.  Note that the name may not contain embedded spaces."));
    auto* label = WrappedLabel(this, "lblName", QStringLiteral("Schedule Name"));
    txtName_ = new QLineEdit(this);
    txtName_->setObjectName(QStringLiteral("txtName"));
    label->setBuddy(txtName_);
    txtName_->setAccessibleName(QStringLiteral("Schedule Name"));
    InstallKeyFilter(txtName_, FilterNameKey);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(txtName_, 1);
    body_->addLayout(row);
    body_->addStretch();
    cmdNext_->setEnabled(false);

    connect(txtName_, &QLineEdit::textChanged, this, &MRVGName::txtName_Change);
}

void MRVGName::txtName_Change() {
    cmdNext_->setEnabled(!txtName_->text().isEmpty());
    txtName_->setToolTip(txtName_->text());
}

void MRVGName::cmdNext_Click() {
    if (txtName_->text().isEmpty()) {
        cmdNext_->setEnabled(false);
        txtName_->setFocus();
        return;
    }
    genie_->A.Name = txtName_->text();
    genie_->Show(this, genie_->WDays());
}

void MRVGName::cmdBack_Click() { genie_->Show(this, genie_->Base()); }

// ---------------------------------------------------------------- MRVGWDays

MRVGWDays::MRVGWDays(MRVGenie* Genie) : MRVGPage(Genie, "MRVGWDays") {
    AddText(
        QStringLiteral("Some of the jobs which Morvenda will run may only need to be run on days which are "
                       "considered to be \"normal working days\"."));
    AddText(
        QStringLiteral("Please select those days which, in a normal working week, would be considered working "
                       "days."));
    AddText(QStringLiteral("Click to select/deselect days"));
    lsbWDays_ = new QListWidget(this);
    lsbWDays_->setObjectName(QStringLiteral("lsbWDays"));
    lsbWDays_->setSelectionMode(QAbstractItemView::MultiSelection);
    lsbWDays_->addItems(kDays);
    lsbWDays_->setAccessibleName(QStringLiteral("Click to select/deselect days"));
    body_->addWidget(lsbWDays_);
    QLabel* formatLabel = AddText(QStringLiteral("Please select a date display format"));
    cboDateDsplyFormat_ = new QComboBox(this);
    cboDateDsplyFormat_->setObjectName(QStringLiteral("cboDateDsplyFormat"));
    cboDateDsplyFormat_->addItems({QStringLiteral("dmy"), QStringLiteral("mdy"), QStringLiteral("ymd")});
    formatLabel->setBuddy(cboDateDsplyFormat_);
    cboDateDsplyFormat_->setAccessibleName(QStringLiteral("Please select a date display format"));
    body_->addWidget(cboDateDsplyFormat_);

    connect(cboDateDsplyFormat_, &QComboBox::currentIndexChanged, this, &MRVGWDays::cboDateDsplyFormat_Click);

    SetMonFri();
    const int probe = Genie->DateOrderProbe ? Genie->DateOrderProbe() : -1;
    cboDateDsplyFormat_->setCurrentIndex(probe == 0 || probe == 1 ? probe : -1);
    cboDateDsplyFormat_Click(cboDateDsplyFormat_->currentIndex());
}

void MRVGWDays::SetMonFri() {
    for (int i = 0; i < lsbWDays_->count(); ++i) lsbWDays_->item(i)->setSelected(i >= 1 && i <= 5);
}

void MRVGWDays::cboDateDsplyFormat_Click(int Index) {
    cboDateDsplyFormat_->setToolTip(OrderExample(Index));
    genie_->A.EmailDateFormat = OrderEmailFormat(Index);
}

void MRVGWDays::cmdNext_Click() {
    QList<int> days;
    for (int i = 0; i < lsbWDays_->count(); ++i)
        if (lsbWDays_->item(i)->isSelected()) days.append(i);
    if (days.isEmpty()) {
        MsgBox(QStringLiteral("Please select at least one day as a normal working day."), MsgButtons::Ok,
               MsgIcon::Warning, gGenieCaption);
        SetMonFri();
        lsbWDays_->setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
        lsbWDays_->setFocus();
        return;
    }
    // Without an order the scheduler would warn at every start.
    if (cboDateDsplyFormat_->currentIndex() < 0) {
        MsgBox(QStringLiteral("Please select a date display format."), MsgButtons::Ok, MsgIcon::Warning, gGenieCaption);
        cboDateDsplyFormat_->setFocus();
        return;
    }
    genie_->A.WorkDays = WorkDaysText(days);
    genie_->A.DateOrder = cboDateDsplyFormat_->currentIndex();
    genie_->Show(this, genie_->Select());
}

void MRVGWDays::cmdBack_Click() { genie_->Show(this, genie_->Name()); }

// ---------------------------------------------------------------- MRVGSelect

MRVGSelect::MRVGSelect(MRVGenie* Genie) : MRVGPage(Genie, "MRVGSelect") {
    AddText(
        QStringLiteral("The Morvenda Genie now has all the information it needs to create a standard folder "
                       "system and the required initialisation files."));
    AddText(QStringLiteral("Press the \"Finish\" button to complete the configuration process."));
    optStandard_ =
        new QRadioButton(QStringLiteral("I want the Genie to create a standard folder system (recommended)"), this);
    optStandard_->setObjectName(QStringLiteral("optStandard"));
    optOwnFolders_ =
        new QRadioButton(QStringLiteral("I want the Genie to help me to specify the Morvenda folders myself"), this);
    optOwnFolders_->setObjectName(QStringLiteral("optOwnFolders"));
    lblOwnFolders_ = WrappedLabel(
        this, "lblOwnFolders",
        QStringLiteral("The Genie creates only the standard folder system.  To choose the folders yourself, press "
                       "Cancel and specify them with the Morvenda Configuration program."));
    lblOwnFolders_->setVisible(false);
    body_->addWidget(optStandard_);
    body_->addWidget(optOwnFolders_);
    body_->addWidget(lblOwnFolders_);
    body_->addStretch();
    cmdNext_->setEnabled(false);

    connect(optStandard_, &QRadioButton::toggled, this, &MRVGSelect::opt_Click);
    connect(optOwnFolders_, &QRadioButton::toggled, this, &MRVGSelect::opt_Click);
}

void MRVGSelect::opt_Click() {
    // Only the standard option leads anywhere: with the other one the page
    // stays and says where the folders are set.
    const bool standard = optStandard_->isChecked();
    cmdNext_->setEnabled(standard);
    cmdFinish_->setEnabled(standard);
    lblOwnFolders_->setVisible(optOwnFolders_->isChecked());
}

void MRVGSelect::cmdNext_Click() {
    if (optStandard_->isChecked()) genie_->Show(this, genie_->Generate());
}

void MRVGSelect::cmdFinish_Click() { cmdNext_Click(); }

void MRVGSelect::cmdBack_Click() { genie_->Show(this, genie_->WDays()); }

// ---------------------------------------------------------------- MRVGGenerate

MRVGGenerate::MRVGGenerate(MRVGenie* Genie)
    : genie_(Genie),
      log_(GenieLogPath(Genie->ProgramFolder, FormatDate(Now(), QStringLiteral("hhnnss"))),
           [this](const QString& line) {
               lstLog_->addItem(line);
               lstLog_->scrollToBottom();
           }) {
    setObjectName(QStringLiteral("MRVGGenerate"));
    setWindowTitle(gGenieCaption);
    MRVGPage* first = Genie->IntroIfMade();
    if (first) setWindowIcon(first->windowIcon());
    auto* logo = new QLabel(
        first ? first->findChild<QLabel*>(QStringLiteral("lblLogo"))->text() : QStringLiteral("Morvenda"), this);
    logo->setObjectName(QStringLiteral("lblLogo"));
    auto* text =
        WrappedLabel(this, "lblText1",
                     QStringLiteral("The Morvenda Genie is now generating and populating the necessary directories."));
    lstLog_ = new QListWidget(this);
    lstLog_->setObjectName(QStringLiteral("lstLog"));
    lstLog_->setAccessibleName(QStringLiteral("Log"));
    cmdClose_ = NamedButton(this, "cmdClose", QStringLiteral("&Close"));
    Accessible(cmdClose_);
    cmdClose_->setEnabled(false);

    auto* left = new QVBoxLayout;
    left->addWidget(logo);
    left->addWidget(GeniePicture(this));
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(text);
    right->addWidget(lstLog_, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose_);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addLayout(buttons);
    resize(640, 400);

    connect(lstLog_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { lstLog_->setToolTip(item ? item->text() : QString()); });
    connect(cmdClose_, &QPushButton::clicked, this, &MRVGGenerate::cmdClose_Click);
}

void MRVGGenerate::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The page paints first, then the generation fills its list.
    if (!generated_) QTimer::singleShot(0, this, &MRVGGenerate::Generate);
}

void MRVGGenerate::Generate() {
    if (generated_) return;
    generated_ = true;
    result_ = DoGenerate(genie_->A, genie_->ProgramFolder, log_);
    cmdClose_->setEnabled(true);
    cmdClose_->setFocus();
}

void MRVGGenerate::cmdClose_Click() {
    CallBack();
    Closing = true;
    genie_->End();
}

void MRVGGenerate::closeEvent(QCloseEvent* event) {
    // The frame's close box is Close, once there is something to close on.
    if (!Closing && !genie_->Ended() && cmdClose_->isEnabled()) cmdClose_Click();
    if (Closing || genie_->Ended())
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------- MRVGenie

MRVGenie::MRVGenie(QString Folder) : ProgramFolder(std::move(Folder)) {}

MRVGenie::~MRVGenie() {
    // Pages refer to the first page while they are made; they go first.
    generate_.reset();
    select_.reset();
    wdays_.reset();
    name_.reset();
    base_.reset();
    intro_.reset();
}

void MRVGenie::Start() { Intro()->show(); }

void MRVGenie::Show(QWidget* From, QWidget* To) {
    if (From && To) {
        // The next page takes the place and size of the last one, so the
        // genie stays one window of one size as the operator goes through.
        To->resize(From->size().expandedTo(To->minimumSizeHint()));
        To->move(From->pos());
        From->hide();
    }
    if (To) To->show();
}

QWidget* MRVGenie::Visible() const {
    for (QWidget* w : std::initializer_list<QWidget*>{intro_.get(), base_.get(), name_.get(), wdays_.get(),
                                                      select_.get(), generate_.get()})
        if (w && w->isVisible()) return w;
    return nullptr;
}

MRVGIntro* MRVGenie::Intro() {
    if (!intro_) intro_ = std::make_unique<MRVGIntro>(this);
    return intro_.get();
}

MRVGBase* MRVGenie::Base() {
    if (!base_) base_ = std::make_unique<MRVGBase>(this);
    return base_.get();
}

MRVGName* MRVGenie::Name() {
    if (!name_) name_ = std::make_unique<MRVGName>(this);
    return name_.get();
}

MRVGWDays* MRVGenie::WDays() {
    if (!wdays_) wdays_ = std::make_unique<MRVGWDays>(this);
    return wdays_.get();
}

MRVGSelect* MRVGenie::Select() {
    if (!select_) select_ = std::make_unique<MRVGSelect>(this);
    return select_.get();
}

MRVGGenerate* MRVGenie::Generate() {
    if (!generate_) generate_ = std::make_unique<MRVGGenerate>(this);
    return generate_.get();
}

void MRVGenie::End() {
    if (ended_) return;
    ended_ = true;
    for (QWidget* w : std::initializer_list<QWidget*>{intro_.get(), base_.get(), name_.get(), wdays_.get(),
                                                      select_.get(), generate_.get()})
        if (w) w->hide();
    emit finished();
}
