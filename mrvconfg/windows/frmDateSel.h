#pragma once

#include <QDialog>

#include "common/datetime.h"

class QCalendarWidget;

/// The date picker of the holidays editor ("Date Selection"): one calendar,
/// MonthView1. The caller sets mvDate, shows the window modally and reads
/// mvCancelled, then mvDate when a date was picked. A click on a date or
/// Enter picks the date; Escape and the close box cancel, leaving mvDate as
/// it was.
class MRVDateSel : public QDialog {
    Q_OBJECT
public:
    explicit MRVDateSel(QWidget* parent = nullptr);

    /// In: the date the calendar shows first; out: the date picked.
    DateVal mvDate;
    /// Out: true when the picker was left without picking a date.
    bool mvCancelled = false;

    int exec() override;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Pick(const QDate& date);

    QCalendarWidget* MonthView1_;
};
