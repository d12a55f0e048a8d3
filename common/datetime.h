#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <compare>
#include <optional>

// The one date value of the system: local wall-clock time counted in seconds
// from 30 Dec 1899 00:00. The count 0 means "never". Every day has 86400
// seconds (wall-clock arithmetic), so adding a day never drifts across a
// daylight-saving change. Month and day names are always English.

class DateVal {
public:
    constexpr DateVal() = default;

    /// The value with that many seconds since 30 Dec 1899 00:00.
    static constexpr DateVal fromSeconds(qint64 s) {
        DateVal d;
        d.secs_ = s;
        return d;
    }
    /// A calendar date at midnight. Month and day out of range roll over as a
    /// date serial does (month 13 is January of the next year, day 0 is the
    /// last day of the previous month).
    static DateVal fromDate(int year, int month, int day);
    /// A calendar date with a time of day (time fields roll over too).
    static DateVal fromDateTime(int year, int month, int day, int hour, int minute, int second);
    /// The local wall-clock time that a QDateTime shows.
    static DateVal fromQDateTime(const QDateTime& dt);
    /// The present moment of the system clock.
    static DateVal currentLocal();

    constexpr qint64 seconds() const { return secs_; }
    constexpr bool isZero() const { return secs_ == 0; }

    /// Days since 30 Dec 1899 (rounded down).
    qint64 dayNumber() const;
    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;
    /// Day of the week, Sunday = 1 ... Saturday = 7.
    int weekday() const;
    /// Seconds since midnight.
    int secondsOfDay() const;

    /// The same day at midnight.
    DateVal datePart() const;
    /// The time of day alone (a value within 30 Dec 1899).
    DateVal addDays(qint64 days) const { return fromSeconds(secs_ + days * 86400); }
    DateVal addSeconds(qint64 s) const { return fromSeconds(secs_ + s); }
    /// Months added as a date serial does (31 Jan + 1 month is 3 Mar; see
    /// fromDate). The time of day is kept.
    DateVal addMonths(int months) const;
    /// True when both values lie on the same calendar day.
    bool sameDay(const DateVal& o) const { return dayNumber() == o.dayNumber(); }

    QDateTime toQDateTime() const;

    constexpr auto operator<=>(const DateVal&) const = default;

private:
    qint64 secs_ = 0;
};

/// English month names (1..12).
QString MonthName(int month, bool abbreviated);
/// English day names (weekday Sunday = 1 ... 7).
QString DayName(int weekday, bool abbreviated);

/// Formats a value with a date mask. Codes (without regard to case):
/// d dd ddd dddd (day, two-digit day, day abbreviation, day name),
/// m mm mmm mmmm (month; after an hour code, or right before a seconds code,
/// m and mm mean minutes), y (day of the year), yy yyyy, h hh, n nn (minutes),
/// s ss, w (weekday number), q (quarter), AM/PM, am/pm, A/P (12-hour clock).
/// Text in double quotes and a character after "\" are copied; every other
/// character is copied as it stands.
QString FormatDate(const DateVal& d, const QString& mask);

/// The date display masks of a display order ("DateDisplayFormat": 0 day
/// month year, 1 month day year, 2 year month day): the short one ("d mmm
/// yyyy", "mmm d yyyy", "yyyy mmm dd") or, with TwoDigitDay, the one with a
/// two-digit day ("dd mmm yyyy", "mmm dd yyyy", "yyyy mmm dd"); "" for any
/// other order.
QString DisplayDateMask(int Order, bool TwoDigitDay);

/// Order of day, month and year in an all-numeric date.
enum class DateOrder { DMY, MDY, YMD };

/// Parses the date and date-time forms the files hold: a month name or
/// abbreviation with a day and a year in any order ("08 Dec 2026",
/// "Dec 8 2026", "2026 Dec 08", "08-Dec-2026", "8 December 26"), numeric dates
/// ("2026-12-08", or with "/" "-" "." in the given order), each optionally
/// followed by a time "hh:mm" or "hh:mm:ss" (with AM/PM), or a time alone
/// (which lies on 30 Dec 1899). Years run from 1 to 9999; two-digit years
/// 00-29 are 20xx, 30-99 19xx ("0050" is the year 50). nullopt when the text
/// is not such a date or names an impossible day.
std::optional<DateVal> ParseDate(const QString& text, DateOrder order = DateOrder::DMY);

// ---- wall-clock values and real moments ------------------------------------
//
// A DateVal is what a clock on the wall shows. Across a clock change two
// DateVals can be an hour further apart or closer than the real time between
// them, and in the autumn an hour of them occurs twice; real moments (seconds
// since 1 Jan 1970 UTC) are used wherever elapsed time or the order of events
// matters.

/// Seconds from 30 Dec 1899 to 1 Jan 1970.
inline constexpr qint64 kUnixEpochShift = 2209161600;

/// The UTC zone, made once (the conversions compare every zone with it).
const QTimeZone& UtcZone();

// WallOf and RealOf, which turn real moments into wall-clock values of a zone
// and back, are in common/clock.h: the installed clock keeps what they ask
// of the zone.
