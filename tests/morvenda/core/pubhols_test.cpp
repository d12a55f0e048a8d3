#include "morvenda/core/pubhols.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"

#include <gtest/gtest.h>

namespace {

DateVal Day(int y, int m, int d) { return DateVal::fromDate(y, m, d); }

class PubHolsTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 23, 59, 0));
        G.gDateFmt = S("d mmm yyyy");
    }

    // Writes the file, runs the check; the reason of a fatal stop, or "".
    QString Check(const QByteArray& content) {
        G.gPubHolsFile = dir.write(S("PubHols.phf"), content);
        try {
            CheckPubHolFile();
        } catch (const FatalStop& stop) {
            return stop.reason();
        }
        return QString();
    }
};

TEST_F(PubHolsTest, ReadsDatesInFileOrderSkippingComments) {
    EXPECT_EQ(Check(";Morvenda Public Holidays File\r\n"
                    "25 Dec 2026,Christmas Day\r\n"
                    ";25 Dec 2027\r\n"
                    "\r\n"
                    "   \r\n"
                    "01 jan 2028, New Year's Day, more\r\n"
                    "\"26 Dec 2026\",Boxing Day\r\n"
                    "  ;indented comment\n"
                    "Feb 1 2027\n"),
              QString());
    EXPECT_EQ(G.gPubHols,
              (std::vector<DateVal>{Day(2026, 12, 25), Day(2028, 1, 1), Day(2026, 12, 26), Day(2027, 2, 1)}));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PubHolsTest, ExpiryAndWarning) {
    const QString expired = S("Public Holidays file (%1) has expired");
    struct Case {
        const char* what;
        QByteArray content;
        bool expired;
        const char* warning;  // "" when none
    };
    const Case cases[] = {
        {"only comments", ";nothing here\r\n;25 Dec 2099\r\n", true, ""},
        {"empty file", "", true, ""},
        {"latest yesterday", "07 Dec 2026\r\n", true, ""},
        {"latest today", "08 Dec 2026\r\n", false, "Warning - Public Holidays file will expire on 8 Dec 2026"},
        {"29 days ahead", "06 Jan 2027\r\n", false, "Warning - Public Holidays file will expire on 6 Jan 2027"},
        {"30 days ahead", "07 Jan 2027\r\n", false, ""},
        {"latest first, not last", "01 Jun 2027\r\n01 Jan 2026\r\n", false, ""},
        {"latest in the middle", "01 Jan 2026\r\n06 Jan 2027\r\n02 Jan 2026\r\n", false,
         "Warning - Public Holidays file will expire on 6 Jan 2027"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.messages.clear();
        const QString reason = Check(c.content);
        EXPECT_EQ(reason, c.expired ? expired.arg(G.gPubHolsFile) : QString());
        if (!c.expired) {
            EXPECT_EQ(prompts.messages, S(c.warning).isEmpty() ? QStringList() : QStringList{S(c.warning)});
        }
    }
}

TEST_F(PubHolsTest, InvalidDateStops) {
    const QString reason = Check("25 Dec 2026\r\n31 Feb 2027,Nonsense\r\n");
    EXPECT_EQ(reason, S("One or more invalid dates in Public Holidays File: ") + G.gPubHolsFile);
    EXPECT_EQ(Check("Christmas,25 Dec 2026\r\n"),
              S("One or more invalid dates in Public Holidays File: ") + G.gPubHolsFile);
}

TEST_F(PubHolsTest, NoFileNamedMeansNoHolidays) {
    G.gPubHols = {Day(2026, 1, 1)};
    G.gPubHolsFile.clear();
    CheckPubHolFile();
    EXPECT_TRUE(G.gPubHols.empty());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PubHolsTest, UnreadableFileStops) {
    G.gPubHolsFile = dir.path(S("missing.phf"));
    EXPECT_THROW(CheckPubHolFile(), FatalStop);
    EXPECT_EQ(prompts.messages, QStringList{gPathMsgPrefix + G.gPubHolsFile + QLatin1Char('"')});
}

}  // namespace
