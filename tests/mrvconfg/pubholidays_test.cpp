#include "mrvconfg/pubholidays.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "common/fatal.h"
#include "morvenda/core/pubhols.h"
#include "morvenda/core/state.h"
#include "mrvconfg/config.h"
#include "tests/support/testing.h"

using namespace confg;

namespace {

const QString kDmy = S("dd mmm yyyy");
const QString kMdy = S("mmm dd yyyy");
const QString kYmd = S("yyyy mmm dd");

TEST(PubHolEntries, JoinSplitAndRewriteTheDate) {
    struct Case {
        const char* date;
        const char* desc;
        QString mask;
        const char* entry;
    };
    const Case cases[] = {
        {"01 jan 2004", "New Year's Day", kDmy, "01 Jan 2004 (New Year's Day)"},
        {"1 Jan 2004", "", kMdy, "Jan 01 2004"},
        {"Jan 1 2004", "Day (observed)", kYmd, "2004 Jan 01 (Day (observed))"},
        {"2004-01-01", "  ", kDmy, "01 Jan 2004"},
    };
    for (const Case& c : cases) {
        const QString entry = PHEntry(S(c.date), S(c.desc), c.mask);
        EXPECT_EQ(entry, S(c.entry));
        const PHParts p = SplitEntry(entry);
        EXPECT_EQ(JoinEntry(p), entry);
        EXPECT_EQ(EntryDay(entry), DateVal::fromDate(2004, 1, 1)) << c.entry;
    }
    const PHParts p = SplitEntry(S("2004 Jan 01 (Day (observed))"));
    EXPECT_EQ(p.EntryDate, S("2004 Jan 01"));
    EXPECT_EQ(p.EntryDesc, S("Day (observed)"));
    EXPECT_EQ(EntryDay(S("no date (x)")), std::nullopt);
}

TEST(PubHolEntries, SortKeepsEqualDatesInOrder) {
    QStringList list = {S("25 Dec 2026 (B)"), S("01 Jan 2026"),     S("25 Dec 2026 (A)"),
                        S("01 May 2026 (M)"), S("25 Dec 2026 (C)"), S("01 Jan 2026 (second)")};
    SortPH(list);
    EXPECT_EQ(list, (QStringList{S("01 Jan 2026"), S("01 Jan 2026 (second)"), S("01 May 2026 (M)"),
                                 S("25 Dec 2026 (B)"), S("25 Dec 2026 (A)"), S("25 Dec 2026 (C)")}));
}

TEST(PubHolFile, ReadWriteAndEveryDateOrder) {
    TempDir dir;
    const QString file = dir.write(S("PubHols.phf"),
                                   ";Public Holidays File\r\n"
                                   "01 jan 2004, New Year's Day\r\n"
                                   "  ;indented comment\r\n"
                                   "\r\n"
                                   "not a date,dropped\r\n"
                                   "\"25 Dec 2004\",\"Christmas, Day\"\n"
                                   "Feb 2 2004\n");
    QStringList list;
    QString error;
    int dropped = 0;
    ASSERT_TRUE(ReadPHFile(file, kDmy, &list, &error, &dropped));
    EXPECT_EQ(list,
              (QStringList{S("01 Jan 2004 (New Year's Day)"), S("25 Dec 2004 (Christmas, Day)"), S("02 Feb 2004")}));
    EXPECT_EQ(dropped, 1);

    struct Case {
        QString mask;
        const char* text;
    };
    const Case cases[] = {
        {kDmy,
         ";Morvenda Public Holidays File\r\n01 Jan 2004,New Year's Day\r\n25 Dec 2004,\"Christmas, Day\"\r\n"
         "02 Feb 2004\r\n"},
        {kYmd,
         ";Morvenda Public Holidays File\r\n2004 Jan 01,New Year's Day\r\n2004 Dec 25,\"Christmas, Day\"\r\n"
         "2004 Feb 02\r\n"},
        {kMdy,
         ";Morvenda Public Holidays File\r\nJan 01 2004,New Year's Day\r\nDec 25 2004,\"Christmas, Day\"\r\n"
         "Feb 02 2004\r\n"},
    };
    for (const Case& c : cases) {
        QStringList shown;
        ASSERT_TRUE(ReadPHFile(file, c.mask, &shown, &error));
        const QString out = dir.path(S("out.phf"));
        ASSERT_TRUE(WritePHFile(out, shown, &error));
        EXPECT_EQ(dir.read(out), QByteArray(c.text));
        // What was written reads back whole, the comma included.
        QStringList again;
        ASSERT_TRUE(ReadPHFile(out, c.mask, &again, &error));
        EXPECT_EQ(again, shown);
    }

    EXPECT_FALSE(ReadPHFile(dir.path(S("none.phf")), kDmy, &list, &error));
    EXPECT_TRUE(error.contains(dir.path(S("none.phf"))));
    EXPECT_FALSE(WritePHFile(dir.path(S("no/such/folder/x.phf")), list, &error));
}

TEST(PubHolFile, DeleteYear) {
    struct Case {
        const char* answer;
        const char* refusal;
    };
    const Case cases[] = {
        {"99", "Invalid year value."},
        {"200", "Invalid year value."},
        {"2026", "Can only delete past years."},
        {"2030", "Can only delete past years."},
        {"2025", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(DelYearRefusal(S(c.answer), 2026), S(c.refusal)) << c.answer;

    QStringList list = {S("2004 Jan 01 (New Year's Day)"), S("2005 Jan 01"), S("2004 Dec 25")};
    EXPECT_EQ(DelYearDefault(list), S("2003"));
    EXPECT_EQ(DelYearDefault({}), QString());
    EXPECT_EQ(DeleteYear(list, S("2004")), 2);
    EXPECT_EQ(list, QStringList{S("2005 Jan 01")});
    EXPECT_EQ(DeleteYear(list, S("1999")), 0);
}

// The editor and the scheduler's holidays check read the same files.
TEST(PubHolFile, TheSchedulerAndTheEditorAgree) {
    ResetState();
    ScriptedPrompter prompts;
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    G.gDateFmt = S("d mmm yyyy");
    TempDir dir;

    // The bundled file, which the scheduler accepts, loads whole.
    G.gPubHolsFile = QDir(qEnvironmentVariable("MRV_TEST_SOURCE_DIR")).filePath(S("examples/demo/PubHols.phf"));
    ASSERT_NO_THROW(CheckPubHolFile());
    for (const QString& mask : {kDmy, kMdy, kYmd}) {
        QStringList list;
        QString error;
        ASSERT_TRUE(ReadPHFile(G.gPubHolsFile, mask, &list, &error)) << error.toStdString();
        ASSERT_EQ(list.size(), static_cast<qsizetype>(G.gPubHols.size()));
        for (qsizetype i = 0; i < list.size(); ++i)
            EXPECT_EQ(EntryDay(list[i]), G.gPubHols[static_cast<size_t>(i)]) << list[i].toStdString();

        // And what the editor writes from it passes the check unchanged.
        const std::vector<DateVal> before = G.gPubHols;
        const QString saved = dir.path(S("saved.phf"));
        list << S("31 Dec 2035 (Year end, \"late\")");
        ASSERT_TRUE(WritePHFile(saved, list, &error));
        const QString path = G.gPubHolsFile;
        G.gPubHolsFile = saved;
        ASSERT_NO_THROW(CheckPubHolFile());
        std::vector<DateVal> expected = before;
        expected.push_back(DateVal::fromDate(2035, 12, 31));
        EXPECT_EQ(G.gPubHols, expected);
        G.gPubHolsFile = path;
        ASSERT_NO_THROW(CheckPubHolFile());
        QStringList back;
        ASSERT_TRUE(ReadPHFile(saved, mask, &back, &error));
        EXPECT_EQ(SplitEntry(back.last()).EntryDesc, S("Year end, \"late\""));
    }
    EXPECT_EQ(prompts.messages, QStringList());
    ResetState();
}

}  // namespace
