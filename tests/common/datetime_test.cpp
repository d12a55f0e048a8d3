#include "common/datetime.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

namespace {

const DateVal kTue = DateVal::fromDateTime(2026, 12, 8, 14, 5, 9);

TEST(DateValue, EpochCalendarAndArithmetic) {
    EXPECT_EQ(DateVal::fromDate(1899, 12, 30).seconds(), 0);
    EXPECT_TRUE(DateVal::fromDate(1899, 12, 30).isZero());
    EXPECT_EQ(DateVal::fromDate(1900, 1, 1).dayNumber(), 2);
    EXPECT_EQ(DateVal::fromDate(2026, 12, 8).dayNumber(), 46364);
    EXPECT_EQ(kTue.weekday(), 3);  // Tuesday
    EXPECT_EQ(DateVal::fromDate(1899, 12, 30).weekday(), 7);
    EXPECT_EQ(kTue.hour(), 14);
    EXPECT_EQ(kTue.minute(), 5);
    EXPECT_EQ(kTue.second(), 9);
    EXPECT_EQ(kTue.datePart(), DateVal::fromDate(2026, 12, 8));
    EXPECT_EQ(kTue.addDays(24), DateVal::fromDateTime(2027, 1, 1, 14, 5, 9));
    // Date serial roll-over: month 13, day 0, 31 Jan plus a month.
    EXPECT_EQ(DateVal::fromDate(2026, 13, 1), DateVal::fromDate(2027, 1, 1));
    EXPECT_EQ(DateVal::fromDate(2024, 3, 0), DateVal::fromDate(2024, 2, 29));
    EXPECT_EQ(DateVal::fromDate(2026, 0, 1), DateVal::fromDate(2025, 12, 1));
    EXPECT_EQ(DateVal::fromDate(2026, -11, 1), DateVal::fromDate(2025, 1, 1));
    EXPECT_EQ(DateVal::fromDate(2026, 1, 31).addMonths(1), DateVal::fromDate(2026, 3, 3));
    EXPECT_TRUE(DateVal::fromDate(2026, 12, 8) < kTue);
    EXPECT_TRUE(kTue.sameDay(DateVal::fromDate(2026, 12, 8)));
    // Before the epoch the calendar still holds.
    EXPECT_EQ(DateVal::fromDateTime(1899, 12, 29, 6, 0, 0).day(), 29);
    EXPECT_EQ(DateVal::fromDateTime(1899, 12, 29, 6, 0, 0).hour(), 6);
}

struct FormatCase {
    const char* mask;
    const char* want;
};

TEST(DateFormat, Masks) {
    const FormatCase cases[] = {
        {"dd mmm yyyy hh:mm:ss", "08 Dec 2026 14:05:09"},
        {"dd mmm yyyy hh:nn:ss", "08 Dec 2026 14:05:09"},
        {"d mmm yyyy", "8 Dec 2026"},
        {"mmm d yyyy", "Dec 8 2026"},
        {"yyyy mmm dd", "2026 Dec 08"},
        {"mmm dd yyyy", "Dec 08 2026"},
        {"yyyymmddhhnn", "202612081405"},
        {"yyyymmdd", "20261208"},
        {"hh:mm", "14:05"},
        {"hhnnss", "140509"},
        {"dddd", "Tuesday"},
        {"ddd", "Tue"},
        {"mmmm yyyy", "December 2026"},
        {"dd/mm/yy", "08/12/26"},
        {"dd-mmm-yy", "08-Dec-26"},
        {"m/d/yyyy", "12/8/2026"},
        {"DD-MMM-YYYY", "08-Dec-2026"},
        {"h:nn AM/PM", "2:05 PM"},
        {"\"Run \"yyyy", "Run 2026"},
        {"\\d dd", "d 08"},
        {"y q w", "342 4 3"},
        {"mm:ss", "05:09"},
    };
    // Twice in a row and the whole table twice: a mask is taken apart once
    // and kept for a while, and a mask kept never answers for another.
    for (int round = 0; round < 2; ++round)
        for (const FormatCase& c : cases)
            for (int k = 0; k < 2; ++k) EXPECT_EQ(FormatDate(kTue, S(c.mask)), S(c.want)) << c.mask;
    EXPECT_EQ(FormatDate(DateVal(), S("dd mmm yyyy hh:mm:ss")), S("30 Dec 1899 00:00:00"));
}

TEST(DateParse, FormsTheFilesHold) {
    struct ParseCase {
        const char* text;
        DateOrder order;
        DateVal want;
    };
    const DateVal d8 = DateVal::fromDate(2026, 12, 8);
    const ParseCase cases[] = {
        {"08 Dec 2026", DateOrder::DMY, d8},
        {"8 Dec 2026", DateOrder::DMY, d8},
        {"Dec 8 2026", DateOrder::DMY, d8},
        {"2026 Dec 08", DateOrder::DMY, d8},
        {"08-Dec-2026", DateOrder::DMY, d8},
        {"8 december 26", DateOrder::DMY, d8},
        {"Tue 08 Dec 2026", DateOrder::DMY, d8},
        {"2026-12-08", DateOrder::MDY, d8},
        {"20261208", DateOrder::DMY, d8},
        {"08/12/2026", DateOrder::DMY, d8},
        {"12/08/2026", DateOrder::MDY, d8},
        {"08 Dec 2026 14:05:09", DateOrder::DMY, kTue},
        {"08 Dec 2026 2:05:09 PM", DateOrder::DMY, kTue},
        {"30 Dec 1899 00:00:00", DateOrder::DMY, DateVal()},
        {"14:30", DateOrder::DMY, DateVal::fromSeconds(14 * 3600 + 30 * 60)},
        {"29 Feb 2028", DateOrder::DMY, DateVal::fromDate(2028, 2, 29)},
        {"1 Jan 30", DateOrder::DMY, DateVal::fromDate(1930, 1, 1)},
    };
    for (const ParseCase& c : cases) {
        const auto got = ParseDate(S(c.text), c.order);
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(*got, c.want) << c.text;
    }
    for (const char* bad : {"", "hello", "31 Feb 2026", "29 Feb 2027", "08 Dec", "13/13/2026", "25:00",
                            "08 Dec 2026 24:00", "08 Foo 2026", "08 Dec 2026 x"})
        EXPECT_FALSE(ParseDate(S(bad)).has_value()) << bad;
}

TEST(DateParse, ReadsBackWhatFormattingWrote) {
    const char* masks[] = {"dd mmm yyyy hh:mm:ss", "d mmm yyyy",  "mmm d yyyy", "yyyy mmm dd",
                           "dd mmm yyyy",          "mmm dd yyyy", "dd-mmm-yyyy"};
    for (DateVal d = DateVal::fromDateTime(2023, 12, 25, 23, 59, 58); d < DateVal::fromDate(2029, 1, 1);
         d = d.addDays(37)) {
        for (const char* m : masks) {
            const QString text = FormatDate(d, S(m));
            const auto back = ParseDate(text);
            ASSERT_TRUE(back.has_value()) << qPrintable(text);
            if (QString::fromLatin1(m).contains(QLatin1Char('h')))
                EXPECT_EQ(*back, d) << qPrintable(text);
            else
                EXPECT_EQ(*back, d.datePart()) << qPrintable(text);
        }
    }
}

}  // namespace

TEST(DateZone, WallAndRealAgreeWithTheZoneOnEitherSideOfEveryChange) {
    // Moments in both directions around the 2026 changes of Europe/London,
    // visited out of order, against the zone's own answer each time.
    const QTimeZone london("Europe/London");
    ASSERT_TRUE(london.isValid());
    const qint64 spring = QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc()).toSecsSinceEpoch();
    const qint64 autumn = QDateTime(QDate(2026, 10, 25), QTime(1, 0), QTimeZone::utc()).toSecsSinceEpoch();
    for (const qint64 change : {spring, autumn, spring}) {
        for (const qint64 delta : {-86400LL * 200, -1LL, 0LL, 1LL, -3600LL, 3599LL, 86400LL * 200, -2LL}) {
            const qint64 real = change + delta;
            const QDateTime expected = QDateTime::fromSecsSinceEpoch(real, london);
            const DateVal wall = WallOf(real, london);
            EXPECT_EQ(wall,
                      DateVal::fromDateTime(expected.date().year(), expected.date().month(), expected.date().day(),
                                            expected.time().hour(), expected.time().minute(), expected.time().second()))
                << real;
            const RealSpan back = RealOf(wall, london);
            EXPECT_TRUE(back.first == real || back.last == real) << real;
        }
    }
}
