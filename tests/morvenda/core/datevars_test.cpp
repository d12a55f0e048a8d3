#include "morvenda/core/datevars.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

DateVal Day(int y, int m, int d) { return DateVal::fromDate(y, m, d); }

std::array<QString, 7> Vars(std::initializer_list<const char*> defs) {
    std::array<QString, 7> out;
    size_t k = 0;
    for (const char* d : defs) out[k++] = S(d);
    return out;
}

const QString kWeekdaysMsg = QStringLiteral(
    "The job does not have a run frequency and one is required for evaluation \nof one or more computed RunDate "
    "variables (+nRUND or -nRUND).\n\"Weekdays\" assumed.");

// Run date Monday 7 December 2026; Friday 4 Dec, Friday 25 Dec, Monday 28 Dec
// and Friday 1 Jan are public holidays, which leaves December 20 working days.
class DateVars : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 10, 15, 20));
        G.gRunDate = Day(2026, 12, 7);
        G.gPubHols = {Day(2026, 12, 4), Day(2026, 12, 25), Day(2026, 12, 28), Day(2027, 1, 1)};
    }
    static DateVal BaseFor(int relMonth) { return Day(G.gRunDate.year(), G.gRunDate.month() + relMonth, 1); }
};

TEST_F(DateVars, EveryRelativeDayCode) {
    const struct {
        const char* code;
        int relMonth;
        const char* frequency;
        DateVal want;
    } cases[] = {
        {"RunDate", 0, "", Day(2026, 12, 7)},
        {"  runDATE ", 3, "", Day(2026, 12, 7)},
        {"RUND", 0, "", Day(2026, 12, 7)},
        {"+2Mon", 0, "", Day(2026, 12, 7)},  // no RUND and no DOM: the run date
        // Calendar days from the run date; the relative month plays no part.
        {"RUND+3CD", 0, "", Day(2026, 12, 10)},
        {"RUND-7CD", 5, "", Day(2026, 11, 30)},
        {"RUND+0CD", 0, "", Day(2026, 12, 7)},
        {"RUND+25CD", 0, "", Day(2027, 1, 1)},
        // Working days skip weekends and holidays.
        {"RUND-1WD", 0, "", Day(2026, 12, 3)},
        {"RUND+1WD", 0, "", Day(2026, 12, 8)},
        {"rund+1wd", 0, "", Day(2026, 12, 8)},
        {"RUND+14WD", 0, "", Day(2026, 12, 29)},
        {"RUND+17WD", 0, "", Day(2027, 1, 4)},
        // Dates the job's own frequency selects.
        {"+1RUND", 0, "Mon Wed", Day(2026, 12, 9)},
        {"+2RUND", 0, "Mon Wed", Day(2026, 12, 14)},
        {"-1RUND", 0, "Mon Wed", Day(2026, 12, 2)},
        {"-3RUND", 0, "Mon Wed", Day(2026, 11, 25)},
        {"+0RUND", 0, "Mon Wed", Day(2026, 12, 7)},
        {"+1RUND", 0, "Workdays", Day(2026, 12, 8)},
        {"-1RUND", 0, "Workdays", Day(2026, 12, 3)},
        {"+1RUND", 0, "-1WDOM", Day(2026, 12, 31)},
        {"+2RUND", 0, "-1WDOM", Day(2027, 1, 29)},
        {"-1RUND", 0, "01-Jan-2020", Day(2020, 1, 1)},  // far back, but within reach
        // Days of the target month.
        {"+1WDOM", 0, "", Day(2026, 12, 1)},
        {"+5WDOM", 0, "", Day(2026, 12, 8)},
        {"+20WDOM", 0, "", Day(2026, 12, 31)},
        {"-1WDOM", 0, "", Day(2026, 12, 31)},
        {"-4WDOM", 0, "", Day(2026, 12, 24)},
        {"-1WDOM", -1, "", Day(2026, 11, 30)},
        {"+1WDOM", 1, "", Day(2027, 1, 4)},
        {"+1wdom", 1, "", Day(2027, 1, 4)},
        {"+31CDOM", 0, "", Day(2026, 12, 31)},
        {"-31CDOM", 0, "", Day(2026, 12, 1)},
        {"+1CDOM", -12, "", Day(2025, 12, 1)},
        {"-1CDOM", 2, "", Day(2027, 2, 28)},
        {"-1CDOM", 14, "", Day(2028, 2, 29)},
    };
    for (const auto& c : cases) {
        QString why;
        const auto d = RelativeDay(BaseFor(c.relMonth), S(c.frequency), S(c.code), &why);
        ASSERT_TRUE(d.has_value()) << c.code << ": " << why.toStdString();
        EXPECT_EQ(*d, c.want) << c.code << " " << c.relMonth << " " << c.frequency << " gave "
                              << FormatDate(*d, QStringLiteral("dd mmm yyyy")).toStdString();
    }
}

TEST_F(DateVars, ImpossibleDaysAndEndlessSearchesFailWithAReason) {
    const struct {
        const char* code;
        int relMonth;
        const char* frequency;
        const char* error;  // exact, or "" to check the search bound is named
    } cases[] = {
        {"+21WDOM", 0, "", "Invalid relative day number: (\"+21WDOM\") requested in Dec 2026"},
        {"-21WDOM", 0, "", "Invalid relative day number: (\"-21WDOM\") requested in Dec 2026"},
        {"+31CDOM", 2, "", "Invalid relative day number: (\"+31CDOM\") requested in Feb 2027"},
        {" -0cdom ", 0, "", "Invalid relative day number: (\"-0cdom\") requested in Dec 2026"},
        {"+nWDOM", 0, "", "Invalid relative day number: (\"+nWDOM\") requested in Dec 2026"},
        {"+1RUND", 0, "01-Jan-2020", ""},  // a date long past is never selected again
        {"+1RUND", 0, "Fortnightly", ""},
        {"-9999999999RUND", 0, "Daily", ""},
        {"RUND+99999CD", 0, "", ""},
        {"RUND-99999999999999999999WD", 0, "", ""},
    };
    for (const auto& c : cases) {
        QString why;
        std::optional<DateVal> d;
        EXPECT_NO_THROW(d = RelativeDay(BaseFor(c.relMonth), S(c.frequency), S(c.code), &why)) << c.code;
        EXPECT_FALSE(d.has_value()) << c.code;
        if (*c.error)
            EXPECT_EQ(why, S(c.error));
        else
            EXPECT_TRUE(why.contains(QStringLiteral("within 3660 days"))) << c.code << ": " << why.toStdString();
    }

    // A calendar without a single working day.
    G.gWorkdays.clear();
    QString why;
    EXPECT_FALSE(RelativeDay(BaseFor(0), QString(), QStringLiteral("RUND+1WD"), &why).has_value());
    EXPECT_EQ(why, QStringLiteral("No date for the relative day \"RUND+1WD\" within 3660 days of the run date"));
    EXPECT_FALSE(RelativeDay(BaseFor(0), QString(), QStringLiteral("-1WDOM")).has_value());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(DateVars, Substitution) {
    const struct {
        const char* what;
        const char* text;
        std::array<QString, 7> vars;
        const char* want;
    } cases[] = {
        {"copy with a date", "copy x.dat y&DT&.dat", Vars({"DT,RunDate,0,yyyymmdd"}), "copy x.dat y20261207.dat"},
        {"any case", "&dt& &Dt& &DT&", Vars({"DT,RunDate,0,yyyymmdd"}), "20261207 20261207 20261207"},
        {"name matched without case", "&Dt&", Vars({"dt ,RunDate,0,dd"}), "07"},
        {"two variables", "a&A&b&B&c", Vars({"A,RUND-1WD,0,ddmm", "", "B,+1WDOM,1,dd mmm yyyy"}), "a0312b04 Jan 2027c"},
        {"time letters show the clock's time", "&T&", Vars({"T,RUND+1CD,0,yyyymmdd hh:nn:ss"}), "20261208 10:15:20"},
        {"quoted format with a comma", "&D&", Vars({"D,RunDate,0,\"dd mmm, yyyy\""}), "07 Dec, 2026"},
        {"non-numeric relative month reads as 0", "&F&", Vars({"F,+1CDOM,abc,yyyymmdd"}), "20261201"},
        {"result trimmed", "  go &DT&  ", Vars({"DT,RunDate,0,yyyymmdd"}), "go 20261207"},
        {"no relative day: not a variable", "x &X& y", Vars({"X,,0,yyyy"}), "x &X& y"},
        {"no name: the shell's && is left alone", "make && make install", Vars({",RunDate,0,yyyy", " ,RunDate,0,yy"}),
         "make && make install"},
        {"unknown names left as they are", "&NOPE& &DT", Vars({"DT,RunDate,0,yyyy"}), "&NOPE& &DT"},
        {"a value holding its own name is not substituted again", "[&X&]", Vars({"X,RunDate,0,\"\"\"ab&X&\"\"\""}),
         "[ab&X&]"},
        {"default variables", "&RUNDATE& &PREVRUN& &NEXTRUN& &PREVWD& &NEXTWD& &FIRSTWD& &LASTWDPM&", gDefDateVars,
         "20261207 20261203 20261208 20261203 20261208 20261201 20261130"},
    };
    for (const auto& c : cases) {
        const SubstResult r = SubstDateVars(S(c.text), c.vars, QStringLiteral("Workdays"));
        EXPECT_TRUE(r.ok) << c.what << ": " << r.error.toStdString();
        EXPECT_EQ(r.text, S(c.want)) << c.what;
    }
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(DateVars, EmptyFrequencyAssumesWeekdaysWithOneMessagePerSubstitution) {
    G.gRunDate = Day(2026, 12, 11);  // a Friday
    const auto vars = Vars({"P,+1RUND,0,yyyymmdd", "Q,-1RUND,0,yyyymmdd", "R,RunDate,0,yyyymmdd"});
    SubstResult r = SubstDateVars(QStringLiteral("&P& &P& &Q&"), vars, QStringLiteral("  "));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, QStringLiteral("20261214 20261214 20261210"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], kWeekdaysMsg);

    r = SubstDateVars(QStringLiteral("&Q&"), vars, QString());
    EXPECT_EQ(r.text, QStringLiteral("20261210"));
    EXPECT_EQ(prompts.messages.size(), 2);  // once more for the next substitution

    // No message when the job has a frequency, or uses no such variable.
    SubstDateVars(QStringLiteral("&P&"), vars, QStringLiteral("Daily"));
    SubstDateVars(QStringLiteral("plain"), vars, QString());
    EXPECT_EQ(prompts.messages.size(), 2);
}

TEST_F(DateVars, FailedSubstitutionReportsAndLeavesTheTextAlone) {
    SubstResult r;
    EXPECT_NO_THROW(r = SubstDateVars(QStringLiteral(" run &A& &B& "),
                                      Vars({"A,RunDate,0,yyyymmdd", "B,+21WDOM,0,yyyymmdd"}), QStringLiteral("Daily")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QStringLiteral("Invalid relative day number: (\"+21WDOM\") requested in Dec 2026"));
    EXPECT_EQ(r.text, QStringLiteral("run &A& &B&"));

    // An unused impossible variable does no harm.
    r = SubstDateVars(QStringLiteral("&A&"), Vars({"A,RunDate,0,yyyymmdd", "B,+21WDOM,0,yyyymmdd"}), QString());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, QStringLiteral("20261207"));
}

TEST_F(DateVars, DefaultDefinitionsFillOnlyAnEmptyFirstSlot) {
    G.Jobs.resize(3);
    G.Jobs[2].DateVars[0] = QStringLiteral("MINE,RunDate,0,yyyy");
    DefaultDateVars(1);
    DefaultDateVars(2);
    DefaultDateVars(7);  // no such job: nothing happens
    EXPECT_EQ(G.Jobs[1].DateVars, gDefDateVars);
    EXPECT_EQ(G.Jobs[2].DateVars, Vars({"MINE,RunDate,0,yyyy"}));

    // A hand-edited job with its first slot empty keeps its own variables:
    // only the empty slots take their defaults, and none whose name the job
    // already uses (the default would come first and hide the job's own).
    JobRec J;
    J.DateVars = Vars({"", "MINE,RunDate,0,yyyy", " ", "rundate,RUND+1CD,0,dd", "NEXTWD,RUND+2WD,0,dd"});
    DefaultDateVars(J);
    EXPECT_EQ(J.DateVars, Vars({"", "MINE,RunDate,0,yyyy", "NEXTRUN,+1RUND,0,yyyymmdd", "rundate,RUND+1CD,0,dd",
                                "NEXTWD,RUND+2WD,0,dd", "FIRSTWD,+1WDOM,0,yyyymmdd", "LASTWDPM,-1WDOM,-1,yyyymmdd"}));
    const std::array<QString, 7> once = J.DateVars;
    DefaultDateVars(J);
    EXPECT_EQ(J.DateVars, once);
}

TEST_F(DateVars, RelDayInputAsksUntilTheNumberFits) {
    const struct {
        const char* code;
        std::vector<const char*> answers;
        const char* want;
        int asked;
    } cases[] = {
        {"+nCDOM", {"0", "32", "5"}, "+5CDOM", 3},
        {"-nCDOM", {"31"}, "-31CDOM", 1},
        {"-nWDOM", {"24", "23"}, "-23WDOM", 2},
        {"+nddd", {"6", "5"}, "+5ddd", 2},
        {"-nddd", {"1"}, "-1ddd", 1},
        {"+nRUND", {"400"}, "+400RUND", 1},
        {"RUND-nWD", {"2"}, "RUND-2WD", 1},
        {"RUND+nCD", {"-3", "x", "3"}, "RUND+3CD", 3},
        {"+nCDOM", {"abc", "1.5", " 07 "}, "+7CDOM", 3},  // written without the leading zero
        {"+nCDOM", {""}, "", 1},                          // cancel
        {"+nWDOM", {"99", ""}, "", 2},
        {"RunDate", {}, "RunDate", 0},
    };
    for (const auto& c : cases) {
        ScriptedPrompter p;
        for (const char* a : c.answers) p.queueInput(S(a));
        EXPECT_EQ(RelDayInput(S(c.code)), S(c.want)) << c.code;
        EXPECT_EQ(p.prompts.size(), c.asked) << c.code;
        for (const QString& prompt : p.prompts) EXPECT_EQ(prompt, QStringLiteral("Please enter a value for n"));
    }
}

}  // namespace
