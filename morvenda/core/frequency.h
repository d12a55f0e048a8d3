#pragma once

#include "common/datetime.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

/// What the frequency tests keep between calls; G owns it, so a fresh program
/// state starts without it. Each part is checked against what it was made
/// from on every use, so a holiday list or a date format changed in place is
/// seen at once.
struct FrequencyMemo {
    /// The working-day calendar made from G.gWorkdays and G.gPubHols: the
    /// holidays as sorted day numbers, the working days as a weekday mask.
    struct Calendar {
        std::vector<DateVal> srcHols;
        QString srcWorkdays;
        bool built = false;
        std::uint64_t generation = 0;       ///< counts the rebuilds
        std::vector<qint64> holidays;       ///< sorted day numbers
        std::array<bool, 8> workWeekday{};  ///< index 1 (Sunday) to 7 (Saturday)
    } calendar;
    /// The keywords of the last date asked, with the calendar and the date
    /// format they were made with.
    struct Keywords {
        qint64 day = 0;
        std::uint64_t generation = 0;
        QString format;
        QStringList keys;
        bool valid = false;
    } keywords;
    /// The last answer of IsRunDay, with copies of what it was made from.
    struct RunDay {
        QString frequency;
        QStringList keys;
        bool answer = false;
        bool set = false;
    } runDay;
};

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
