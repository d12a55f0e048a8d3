#pragma once

#include <QDialog>
#include <QString>

class QCalendarWidget;

/// The date picker "Date Selection": a calendar (MonthView1) that opens on the
/// date of G.gDateSelText (today when that is empty or no date). A click on a
/// date, or Enter, sets G.gDateSelText to that date in gDateFmt and closes
/// the picker accepted; Esc and the close box close it rejected with
/// G.gDateSelText unchanged.
class frmDateSel : public QDialog {
    Q_OBJECT
public:
    explicit frmDateSel(QWidget* parent = nullptr);

    /// Picks Date (the calendar's click): sets G.gDateSelText and closes.
    void MonthView1_DateClick(const QDate& Date);

private:
    QCalendarWidget* MonthView1_;
};

/// Shows the picker modally on DateText (through G.gDateSelText). True when a
/// date was picked: DateText then holds it in gDateFmt; false when the picker
/// was cancelled (DateText unchanged).
bool PickDate(QWidget* Parent, QString& DateText);
