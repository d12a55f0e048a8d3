#include "morvenda/windows/frmDateSel.h"

#include "common/clock.h"
#include "gui/controls.h"
#include "morvenda/core/rundate.h"
#include "morvenda/core/state.h"

#include <QCalendarWidget>
#include <QVBoxLayout>

frmDateSel::frmDateSel(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDateSel"));
    setWindowTitle(QStringLiteral("Date Selection"));
    if (parent) setWindowIcon(parent->windowIcon());
    MonthView1_ = new QCalendarWidget(this);
    MonthView1_->setObjectName(QStringLiteral("MonthView1"));
    MonthView1_->setAccessibleName(QStringLiteral("Date Selection"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MonthView1_);

    // A date that cannot be read opens the calendar on today.
    const auto d = RunDateFromText(G.gDateSelText);
    const DateVal shown = d ? *d : Now().datePart();
    MonthView1_->setSelectedDate(QDate(shown.year(), shown.month(), shown.day()));
    MonthView1_->setFocus();
    NameControls(this);

    connect(MonthView1_, &QCalendarWidget::clicked, this, &frmDateSel::MonthView1_DateClick);
    // Enter (and a double click) picks the calendar's current date.
    connect(MonthView1_, &QCalendarWidget::activated, this, &frmDateSel::MonthView1_DateClick);
}

void frmDateSel::MonthView1_DateClick(const QDate& Date) {
    if (!Date.isValid()) return;
    G.gDateSelText = FormatDate(DateVal::fromDate(Date.year(), Date.month(), Date.day()), G.gDateFmt);
    accept();
}

bool PickDate(QWidget* Parent, QString& DateText) {
    G.gDateSelText = DateText;
    frmDateSel picker(Parent);
    if (picker.exec() != QDialog::Accepted) return false;
    DateText = G.gDateSelText;
    return true;
}
