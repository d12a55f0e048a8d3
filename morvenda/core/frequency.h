#pragma once

#include "common/datetime.h"

#include <QString>

/// The keywords that hold on D, joined by commas, in their fixed order (the
/// six CDOM/WDOM/weekday-count codes first; a WDOM field is empty on a
/// non-working day).
QString DayKeywords(const DateVal& D);

/// True when the blank-separated items of Frequency select RunDate (an empty
/// frequency selects every date; empty items are ignored).
bool IsRunDay(const QString& Frequency, const DateVal& RunDate);

/// Monday to Friday and not a public holiday.
bool IsWeekday(const DateVal& D);

/// One of G.gWorkdays and not a public holiday.
bool IsWorkday(const DateVal& D);

/// Job JobIndex is skipped on G.gRunDate.
bool IsSkipDay(int JobIndex);

/// Sets G.gRunDayStart and every job's ForceTrigger, EventIndex and EarlyStart
/// for G.gRunDate, and the day from which a dummy run's present moment
/// counts (today, or earlier when a resumed dummy run of that date kept later
/// times).
void SetStartTimes();

/// G.gRunDate plus the hour and minute of Text ("hh:mm" or a date-time text);
/// an empty Text, or one that holds no readable time, takes the time of
/// G.gRunDayStart.
DateVal ParseTimeField(const QString& Text);

/// G.gRunDate at Hour:Minute (the time part of ParseTimeField).
DateVal TimeOnRunDate(int Hour, int Minute);

/// The schedule's present moment: in a dummy run the run date with the
/// clock's time of day, one day later for each midnight the clock passed
/// since SetStartTimes (so it never goes back); otherwise the clock's moment.
DateVal SchedNow();

/// The date as a frequency item: gDateFmtLong with blanks turned into "-".
QString FrequencyDateItem(const DateVal& D);

/// True when Item (one blank-free item of a frequency) can ever select a
/// date: a keyword that DayKeywords gives on some date ("Daily", "Tue",
/// "+2Tue", "-1WDOM", "Workdays+" ..., in any case) or a date written as
/// FrequencyDateItem writes it. An item that is neither selects no date; so
/// does a count that no month reaches ("+6Mon", "-32CDOM", or "+24WDOM" when
/// G.gWorkdays holds five days a week).
bool IsFrequencyItem(QStringView Item);
