#include "mrvconfg/windows/frmDateSel.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "mrvconfg/config.h"

MRVDateSel::MRVDateSel(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MRVDateSel"));
    setWindowTitle(QStringLiteral("Date Selection"));
    MonthView1_ = new QCalendarWidget(this);
    MonthView1_->setObjectName(QStringLiteral("MonthView1"));
    MonthView1_->setAccessibleName(QStringLiteral("Date Selection"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MonthView1_);
    connect(MonthView1_, &QCalendarWidget::clicked, this, &MRVDateSel::Pick);
    // Keys reach the window before the calendar: Enter picks the date shown,
    // Escape cancels.
    MonthView1_->installEventFilter(this);
    for (QWidget* w : MonthView1_->findChildren<QWidget*>()) w->installEventFilter(this);
}

int MRVDateSel::exec() {
    const QDateTime shown = mvDate.isZero() ? QDateTime::currentDateTime() : mvDate.toQDateTime();
    MonthView1_->setSelectedDate(shown.date());
    MonthView1_->setCurrentPage(shown.date().year(), shown.date().month());
    MonthView1_->setFocus();
    return QDialog::exec();
}

void MRVDateSel::Pick(const QDate& date) {
    mvDate = DateVal::fromDate(date.year(), date.month(), date.day());
    mvCancelled = false;
    accept();
}

void MRVDateSel::reject() {
    // Escape and the close box alike: nothing was picked.
    mvCancelled = true;
    QDialog::reject();
}

bool MRVDateSel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Pick(MonthView1_->selectedDate());
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
