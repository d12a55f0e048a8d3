#include "morvenda/editing/frmEditDate.h"

#include <QCalendarWidget>
#include <QDialog>
#include <QVBoxLayout>

#include "common/datetime.h"
#include "morvenda/core/state.h"

void PickEditDate(QWidget* Parent) {
    QDialog dlg(Parent);
    dlg.setObjectName(QStringLiteral("frmDateSel"));
    dlg.setWindowTitle(QStringLiteral("Date Selection"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* cal = new QCalendarWidget(&dlg);
    cal->setObjectName(QStringLiteral("MonthView1"));
    cal->setAccessibleName(QStringLiteral("Date Selection"));
    const std::optional<DateVal> shown = ParseDate(G.gDateSelText.trimmed());
    const DateVal d = shown ? *shown : (G.gRunDate.isZero() ? DateVal::currentLocal() : G.gRunDate);
    cal->setSelectedDate(QDate(d.year(), d.month(), d.day()));
    layout->addWidget(cal);
    // A click, or Enter on the current date, picks it.
    auto pick = [&dlg](QDate date) {
        G.gDateSelText = FormatDate(DateVal::fromDate(date.year(), date.month(), date.day()), G.gDateFmt);
        dlg.accept();
    };
    QObject::connect(cal, &QCalendarWidget::clicked, &dlg, pick);
    QObject::connect(cal, &QCalendarWidget::activated, &dlg, pick);
    dlg.exec();
}
