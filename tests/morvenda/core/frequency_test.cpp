#include "morvenda/core/frequency.h"

#include "common/constants.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"

#include <QLocale>

#include <span>

#include <gtest/gtest.h>

namespace {

DateVal Day(int y, int m, int d) { return DateVal::fromDate(y, m, d); }

using Frequency = SchedulerStateTest;

// Whether the day holds the keyword: DayKeywords lists it.
bool Holds(const DateVal& d, const QString& keyword) {
    return DayKeywords(d).split(QLatin1Char(',')).contains(keyword);
}

struct HoldsCase {
    DateVal d;
    const char* keyword;
    bool holds;
};

void ExpectHolds(std::span<const HoldsCase> cases) {
    for (const HoldsCase& c : cases)
        EXPECT_EQ(Holds(c.d, S(c.keyword)), c.holds)
            << FormatDate(c.d, QStringLiteral("dd mmm yyyy")).toStdString() << " " << c.keyword;
}

TEST_F(Frequency, DayKeywordsListsEveryKeywordInOrder) {
    const struct {
        DateVal d;
        const char* want;
    } cases[] = {
        // An ordinary Tuesday: December 2026 has 23 working days.
        {Day(2026, 12, 8),
         "-24CDOM,+8CDOM,-18WDOM,+6WDOM,-4Tue,+2Tue,Daily,Tue,08-Dec-2026,Weekdays,Workdays,"
         "Weekdays+,Weekdays-,Workdays+,Workdays-"},
        // A Saturday keeps two empty WDOM fields so the codes stay in place.
        {Day(2026, 12, 12), "-20CDOM,+12CDOM,,,-3Sat,+2Sat,Daily,Sat,12-Dec-2026,Weekends,Weekdays+,Workdays+"},
        // A Sunday before a Monday.
        {Day(2026, 12, 13), "-19CDOM,+13CDOM,,,-3Sun,+2Sun,Daily,Sun,13-Dec-2026,Weekends,Weekdays-,Workdays-"},
        // Month end on a Thursday: last day, last working day, fifth Thursday.
        {Day(2026, 12, 31),
         "-1CDOM,+31CDOM,-1WDOM,+23WDOM,-1Thu,+5Thu,Daily,Thu,31-Dec-2026,Weekdays,Workdays,"
         "Weekdays+,Weekdays-,Workdays+,Workdays-"},
        // Leap day: February 2024 has 21 working days.
        {Day(2024, 2, 29),
         "-1CDOM,+29CDOM,-1WDOM,+21WDOM,-1Thu,+5Thu,Daily,Thu,29-Feb-2024,Weekdays,Workdays,"
         "Weekdays+,Weekdays-,Workdays+,Workdays-"},
        // The 1st of a 31-day month is also -31CDOM; the time of day is ignored.
        {DateVal::fromDateTime(2027, 1, 1, 17, 30, 0),
         "-31CDOM,+1CDOM,-21WDOM,+1WDOM,-5Fri,+1Fri,Daily,Fri,01-Jan-2027,Weekdays,Workdays,"
         "Weekdays+,Workdays+"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DayKeywords(c.d), S(c.want)) << FormatDate(c.d, QStringLiteral("dd mmm yyyy")).toStdString();
}

TEST_F(Frequency, KeywordsAcrossMonthEndsAndLeapYears) {
    const HoldsCase cases[] = {
        {Day(2026, 2, 28), "-1CDOM", true},   // Saturday, last day
        {Day(2026, 2, 28), "-1WDOM", false},  // not a working day
        {Day(2026, 2, 27), "-1WDOM", true},   // the Friday before
        {Day(2026, 2, 27), "+20WDOM", true}, {Day(2024, 2, 28), "-2CDOM", true},
        {Day(2100, 2, 28), "-1CDOM", true},  // 2100 is no leap year
        {Day(2000, 2, 29), "-1CDOM", true},  // 2000 is
        {Day(2026, 4, 30), "-1CDOM", true},  {Day(2026, 4, 30), "+30CDOM", true},
        {Day(2026, 4, 1), "-30CDOM", true},  {Day(2026, 12, 7), "+1Mon", true},
        {Day(2026, 12, 28), "-1Mon", true},  {Day(2026, 12, 28), "+4Mon", true},
        {Day(2026, 12, 29), "+5Tue", true},  {Day(2026, 12, 29), "-1Tue", true},
        {Day(2026, 11, 30), "+5Mon", true},  {Day(2026, 11, 30), "-1Mon", true},
        {Day(2026, 12, 1), "-5Tue", true},
    };
    ExpectHolds(cases);
}

TEST_F(Frequency, HolidaysAndWorkingDays) {
    G.gPubHols = {Day(2026, 1, 1), Day(2026, 12, 7)};
    const HoldsCase cases[] = {
        // New Year's Day is a Thursday holiday: the first working day is Friday 2 January.
        {Day(2026, 1, 1), "+1WDOM", false},
        {Day(2026, 1, 1), "Workdays", false},
        {Day(2026, 1, 1), "Weekdays", true},  // weekday whatever the holidays
        {Day(2026, 1, 2), "+1WDOM", true},
        {Day(2026, 1, 2), "Workdays+", false},
        {Day(2026, 1, 2), "Weekdays+", false},
        {Day(2025, 12, 31), "Workdays-", false},
        {Day(2025, 12, 31), "-1WDOM", true},
        // Monday 7 December is a holiday.
        {Day(2026, 12, 8), "Weekdays+", false},
        {Day(2026, 12, 8), "Workdays+", false},
        {Day(2026, 12, 8), "+5WDOM", true},
        {Day(2026, 12, 8), "-18WDOM", true},
        {Day(2026, 12, 5), "Weekdays-", false},
        {Day(2026, 12, 5), "Weekdays+", true},  // a Saturday after an ordinary Friday
        {Day(2026, 12, 4), "+4WDOM", true},
        {Day(2026, 12, 4), "-19WDOM", true},
    };
    ExpectHolds(cases);
}

TEST_F(Frequency, WeekdayAndWorkdayFollowTheConfigurationAndItsChanges) {
    const DateVal fri = Day(2026, 12, 11);
    const DateVal sun = Day(2026, 12, 13);
    EXPECT_TRUE(IsWeekday(fri));
    EXPECT_TRUE(IsWorkday(fri));
    EXPECT_FALSE(IsWeekday(sun));
    EXPECT_FALSE(IsWorkday(sun));

    // A Sunday-to-Thursday week, written loosely.
    G.gWorkdays = QStringLiteral("sun, Mon,Tue ,Wed,Thu");
    EXPECT_TRUE(IsWorkday(sun));
    EXPECT_FALSE(IsWorkday(fri));
    EXPECT_TRUE(IsWeekday(fri));
    EXPECT_TRUE(Holds(sun, QStringLiteral("Workdays")));
    // Tue 1, Wed 2, Thu 3, Sun 6 to Thu 10, Sun 13: the ninth working day.
    EXPECT_TRUE(Holds(sun, QStringLiteral("+9WDOM")));
    G.gWorkdays = QStringLiteral("Mon,Tue,Wed,Thu,Fri");

    // Holidays added, changed in place and removed are all seen at once.
    EXPECT_TRUE(IsWorkday(fri));
    G.gPubHols.push_back(fri);
    EXPECT_FALSE(IsWorkday(fri));
    EXPECT_FALSE(IsWeekday(fri));
    G.gPubHols[0] = fri.addDays(-1);
    EXPECT_TRUE(IsWorkday(fri));
    EXPECT_FALSE(IsWorkday(fri.addDays(-1)));
    // A holiday with a time of day still covers its whole day.
    G.gPubHols[0] = DateVal::fromDateTime(2026, 12, 11, 13, 0, 0);
    EXPECT_FALSE(IsWorkday(fri));
    G.gPubHols.clear();
    EXPECT_TRUE(IsWorkday(fri));

    G.gWorkdays.clear();
    EXPECT_FALSE(IsWorkday(fri));
    EXPECT_EQ(DayKeywords(fri).section(QLatin1Char(','), 2, 3), QStringLiteral(","));
}

TEST_F(Frequency, IsRunDayMatchesWholeItemsWithoutCase) {
    const DateVal tue = Day(2026, 12, 8);
    const DateVal firstMon = Day(2026, 12, 7);
    const struct {
        const char* freq;
        DateVal d;
        bool want;
    } cases[] = {
        {"Workdays", tue, true},
        {"workdays", tue, true},
        {"WORKDAYS", tue, true},
        {"+1mon", firstMon, true},
        {"+1mon", Day(2026, 12, 14), false},
        {"", tue, true},
        {"   ", Day(2026, 12, 12), true},
        {"Foo Bar", tue, false},
        {"Mon Wed", tue, false},
        {"Mon  Tue", tue, true},  // runs of blanks give no empty items
        {" Sat Tue ", tue, true},
        {"08-Dec-2026", tue, true},
        {"08-dec-2026", Day(2026, 12, 9), false},
        {"08-Dec-2026", Day(2027, 12, 8), false},
        {"Tue,Daily", tue, false},  // an item never spans two keywords
        {"+8CDO", tue, false},      // nor matches part of one
        {"CDOM", tue, false},
        {"-24cdom", tue, true},
        {"Weekends", tue, false},
        {"Weekends", Day(2026, 12, 12), true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsRunDay(S(c.freq), c.d), c.want) << c.freq;

    // One text shared by many jobs (as a load leaves them) is answered for the
    // run date and the date format of each question.
    const QString shared = S("Tue 09-Dec-2026");
    EXPECT_TRUE(IsRunDay(shared, tue));
    EXPECT_TRUE(IsRunDay(shared, Day(2026, 12, 9)));
    EXPECT_FALSE(IsRunDay(shared, Day(2026, 12, 10)));
    G.gDateFmtLong = S("dd/mm/yyyy");
    EXPECT_FALSE(IsRunDay(shared, Day(2026, 12, 9)));
    G.gDateFmtLong = S("dd mmm yyyy");
    EXPECT_TRUE(IsRunDay(shared, Day(2026, 12, 9)));
}

TEST_F(Frequency, DateItemsFollowTheLongDateFormat) {
    EXPECT_EQ(FrequencyDateItem(DateVal::fromDateTime(2026, 12, 8, 9, 0, 0)), QStringLiteral("08-Dec-2026"));
    G.gDateFmtLong = QStringLiteral("dd/mm/yyyy");
    EXPECT_EQ(FrequencyDateItem(Day(2026, 12, 8)), QStringLiteral("08/12/2026"));
    EXPECT_TRUE(IsRunDay(QStringLiteral("08/12/2026"), Day(2026, 12, 8)));
    G.gDateFmtLong = QStringLiteral("dd mmm yyyy");

    // Names stay English whatever the locale.
    const QLocale old;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(IsRunDay(QStringLiteral("Tue 08-Dec-2026"), Day(2026, 12, 8)));
    EXPECT_TRUE(DayKeywords(Day(2026, 12, 8)).contains(QStringLiteral(",+2Tue,")));
    QLocale::setDefault(old);
}

// Only items that some date can select count as frequency items; the rest
// are what a hand-edited schedule is warned about.
TEST_F(Frequency, ItemsThatCanSelectADate) {
    for (const char* item : {"Daily", "WORKDAYS", "weekdays+", "Workdays-", "Weekends", "Tue", "sat", "+1WDOM",
                             "-24CDOM", "+31cdom", "-4Tue", "+5thu", "08-Dec-2026", "08-dec-2026", "29-Feb-2028"})
        EXPECT_TRUE(IsFrequencyItem(S(item))) << item;
    for (const char* item : {"Workdayz", "Weekday", "Tues", "+0WDOM", "+01CDOM", "1WDOM", "+WDOM", "+1000CDOM",
                             "-1Tuesday", "31-Feb-2026", "8-Dec-2026", "08 Dec 2026", "Daily+", ""})
        EXPECT_FALSE(IsFrequencyItem(S(item))) << item;
    // Counts that no month reaches: a sixth weekday, a 32nd day, a 24th
    // working day of a five-day week.
    for (const char* item : {"+6Mon", "-6sun", "+32CDOM", "-32cdom", "+24WDOM", "-24WDOM", "+99CDOM"})
        EXPECT_FALSE(IsFrequencyItem(S(item))) << item;
    for (const char* item : {"+23WDOM", "-23wdom", "-31CDOM", "+5Mon"}) EXPECT_TRUE(IsFrequencyItem(S(item))) << item;
    // The working week decides how many working days a month can hold.
    G.gWorkdays = QStringLiteral("Mon,Tue,Wed,Thu,Fri,Sat");
    EXPECT_TRUE(IsFrequencyItem(S("+27WDOM")));
    EXPECT_FALSE(IsFrequencyItem(S("+28WDOM")));
    G.gWorkdays = QStringLiteral("Mon,Wed,Fri");
    EXPECT_TRUE(IsFrequencyItem(S("-14WDOM")));
    EXPECT_FALSE(IsFrequencyItem(S("-15WDOM")));
    G.gDateFmtLong = QStringLiteral("dd/mm/yyyy");
    EXPECT_TRUE(IsFrequencyItem(S("08/12/2026")));
    EXPECT_FALSE(IsFrequencyItem(S("08-Dec-2026")));
}

TEST_F(Frequency, SkipDays) {
    G.gRunDate = Day(2026, 12, 8);
    G.Jobs.resize(2);
    const struct {
        const char* skipOn;
        DateVal runDate;
        bool want;
    } cases[] = {
        {"08 Dec 2026", Day(2026, 12, 8), true}, {"08 Dec 2026", Day(2026, 12, 9), false},
        {"8 Dec 2026", Day(2026, 12, 8), true},  {"08-Dec-2026", Day(2026, 12, 8), true},
        {"", Day(2026, 12, 8), false},           {"   ", Day(2026, 12, 8), false},
        {"nonsense", Day(2026, 12, 8), false},
    };
    for (const auto& c : cases) {
        G.Jobs[1].SkipOn = S(c.skipOn);
        G.gRunDate = c.runDate;
        EXPECT_EQ(IsSkipDay(1), c.want) << c.skipOn;
    }
    G.Jobs[1].SkipOn = gSkipKeyword;
    EXPECT_TRUE(IsSkipDay(1));
    G.gRunDate = Day(2031, 5, 17);
    EXPECT_TRUE(IsSkipDay(1));

    // A numeric skip date is read in the order of the display format.
    G.gRunDate = Day(2026, 12, 8);
    G.gDateFmt = QStringLiteral("mm/dd/yyyy");
    G.Jobs[1].SkipOn = QStringLiteral("12/08/2026");
    EXPECT_TRUE(IsSkipDay(1));
    G.gDateFmt = QStringLiteral("dd/mm/yyyy");
    EXPECT_FALSE(IsSkipDay(1));
}

TEST_F(Frequency, StartTimes) {
    G.gRunDate = Day(2026, 12, 8);
    G.gDayStart = DateVal::fromDateTime(1899, 12, 30, 16, 0, 0);
    G.Jobs.resize(4);
    G.Jobs[1].EarlyStartText = QStringLiteral("14:30");
    G.Jobs[2].EarlyStartText = QStringLiteral("  ");
    G.Jobs[3].EarlyStartText = QStringLiteral("ab:cd");  // a hand-edited file
    for (int j = 1; j <= 3; ++j) {
        Job(j).ForceTrigger = true;
        Job(j).EventIndex = 7;
    }
    G.Jobs[0].EventIndex = 7;  // the copy buffer is no job

    SetStartTimes();
    const DateVal dayStart = DateVal::fromDateTime(2026, 12, 8, 16, 0, 0);
    EXPECT_EQ(G.gRunDayStart, dayStart);
    EXPECT_EQ(G.Jobs[1].EarlyStart, DateVal::fromDateTime(2026, 12, 8, 14, 30, 0));
    EXPECT_EQ(G.Jobs[2].EarlyStart, dayStart);
    EXPECT_EQ(G.Jobs[3].EarlyStart, dayStart);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_FALSE(Job(j).ForceTrigger);
        EXPECT_EQ(Job(j).EventIndex, -1);
    }
    EXPECT_EQ(G.Jobs[0].EventIndex, 7);
}

TEST_F(Frequency, ParseTimeFieldPutsTheTimeOnTheRunDate) {
    G.gRunDate = Day(2026, 12, 8);
    G.gRunDayStart = DateVal::fromDateTime(2026, 12, 8, 6, 45, 0);
    const struct {
        const char* text;
        int hour;
        int minute;
    } cases[] = {
        {"", 6, 45},
        {"  ", 6, 45},
        {"14:30", 14, 30},
        {"08 Dec 2025 09:15:44", 9, 15},  // seconds dropped, date ignored
        {"12/31/2025 17:45:00", 17, 45},  // a month-first date still gives its time
        {"2026-01-01", 0, 0},
        {"30 Dec 1899 00:00:00", 0, 0},
        {"3:05:00 PM", 15, 5},
        {"garbage", 6, 45},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseTimeField(S(c.text)), DateVal::fromDateTime(2026, 12, 8, c.hour, c.minute, 0)) << c.text;
}

TEST_F(Frequency, SchedNowInRealAndDummyRuns) {
    clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 15, 20));
    G.gRunDate = Day(2027, 3, 1);
    EXPECT_EQ(SchedNow(), DateVal::fromDateTime(2026, 12, 8, 10, 15, 20));
    G.gDummyRun = true;
    EXPECT_EQ(SchedNow(), DateVal::fromDateTime(2027, 3, 1, 10, 15, 20));
}

}  // namespace
