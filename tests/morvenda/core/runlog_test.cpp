#include "morvenda/core/runlog.h"

#include "common/fatal.h"
#include "morvenda/core/state.h"
#include "tests/support/statefixture.h"
#include "tests/support/stopreason.h"

#include <QFile>
#include <QStringListModel>

#include <gtest/gtest.h>

namespace {

class RunLogTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(DateVal::fromDateTime(2026, 12, 8, 9, 7, 3));
    }
};

TEST_F(RunLogTest, ExpandsDateTokensOfTheFilePartOnly) {
    const DateVal d = DateVal::fromDate(2026, 12, 8);
    struct Case {
        const char* path;
        bool wild;
        const char* want;
    };
    const Case cases[] = {
        {"/srv/Log/yyyymmdd.log", false, "/srv/Log/20261208.log"},
        {"/srv/Log/yyyymmdd.log", true, "/srv/Log/????????.log"},
        {"C:\\Log\\yyyymmdd.log", false, "C:\\Log\\20261208.log"},
        {"/srv/yyyy/Log.log", false, "/srv/yyyy/Log.log"},
        {"/srv/Log/dd-dd.log", false, "/srv/Log/08-dd.log"},
        {"/srv/Log/ddd_mmm_yy.log", false, "/srv/Log/Tue_Dec_26.log"},
        {"/srv/Log/ddd_mmm_yy.log", true, "/srv/Log/???_???_??.log"},
        {"/srv/Log/YYYY.log", false, "/srv/Log/YYYY.log"},
        {"run.log", false, "run.log"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandDateTokens(S(c.path), c.wild, d), S(c.want)) << c.path;
}

TEST_F(RunLogTest, LinesCarryDateTimeDummyPrefixAndNoTabs) {
    G.gLogFile = dir.path(S("run-yyyymmdd.log"));
    WriteLog(G.gLogFile, S("JOBA    \tSubmitted"));
    G.gDummyRun = true;
    G.gDateFmtLong = S("yyyy mmm dd");
    WriteLog(G.gLogFile, S("second"));
    EXPECT_EQ(dir.read(S("run-20261208.log")), QByteArray("08 Dec 2026  09:07:03 JOBA     Submitted\r\n"
                                                          "(Dummy Run) 2026 Dec 08  09:07:03 second\r\n"));
}

// A batch keeps its lines, each with its own moment and day's file, until it
// is flushed; the lines of one file arrive in their order. A file that cannot
// be written stops the program as a single line would, after the others.
TEST_F(RunLogTest, ABatchAppendsItsLinesTogetherWhenFlushed) {
    G.gLogFile = dir.path(S("run-yyyymmdd.log"));
    {
        const RunLogBatch batch;
        WriteLog(G.gLogFile, S("first"));
        clock.advance(1);
        WriteLog(G.gLogFile, S("second"));
        EXPECT_FALSE(QFile::exists(dir.path(S("run-20261208.log"))));
        clock.set(DateVal::fromDateTime(2026, 12, 9, 0, 0, 1));
        WriteLog(G.gLogFile, S("next day"));
        FlushRunLog();
        EXPECT_EQ(dir.read(S("run-20261208.log")),
                  QByteArray("08 Dec 2026  09:07:03 first\r\n08 Dec 2026  09:07:04 second\r\n"));
        WriteLog(G.gLogFile, S("at the end"));
    }
    EXPECT_EQ(dir.read(S("run-20261209.log")),
              QByteArray("09 Dec 2026  00:00:01 next day\r\n09 Dec 2026  00:00:01 at the end\r\n"));

    const QString bad = dir.path(S("no/such/folder/x.log"));
    StopReason([&] {
        const RunLogBatch batch;
        WriteLog(bad, S("lost"));
        WriteLog(G.gLogFile, S("kept"));
        FlushRunLog();
    });
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], S("Morvenda Cannot write to file ") + bad + S(": No such file or directory"));
    EXPECT_TRUE(dir.read(S("run-20261209.log")).endsWith("kept\r\n"));
}

TEST_F(RunLogTest, EmptyLogFileMeansNoRunLog) {
    WriteLog(QString(), S("nothing"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(RunLogTest, UnwritableLogStopsWithItsMessage) {
    StopReason([&] { WriteLog(dir.path(S("no/such/folder/x.log")), S("text")); });
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], S("Morvenda Cannot write to file ") + dir.path(S("no/such/folder/x.log")) +
                                       S(": No such file or directory"));
}

TEST_F(RunLogTest, FatalCloseLogsShowsAndStops) {
    G.gLogFile = dir.path(S("yyyymmdd.log"));
    EXPECT_EQ(StopReason([] { FatalClose(S("Cannot find INI file: /x.ini")); }), S("Cannot find INI file: /x.ini"));
    EXPECT_EQ(prompts.messages, (QStringList{S("Cannot find INI file: /x.ini"), S("MRV999 Morvenda closing down")}));
    EXPECT_EQ(dir.read(S("20261208.log")), QByteArray("08 Dec 2026  09:07:03 Cannot find INI file: /x.ini\r\n"
                                                      "08 Dec 2026  09:07:03 MRV999 Morvenda closing down\r\n"));
}

TEST_F(RunLogTest, FatalCloseShowsItsReasonWithoutALog) {
    for (const QString& log : {QString(), dir.path(S("missing/dir/yyyymmdd.log"))}) {
        prompts.messages.clear();
        G.gLogFile = log;
        EXPECT_THROW(FatalClose(S("Reason")), FatalStop);
        EXPECT_TRUE(prompts.messages.contains(S("Reason")));
        EXPECT_EQ(prompts.messages.back(), S("MRV999 Morvenda closing down"));
    }
}

TEST_F(RunLogTest, ProgressListKeepsTheNewest500) {
    QStringListModel list;
    int row = 0;
    for (int i = 1; i <= 501; ++i) row = AddLogListLine(list, QString::number(i));
    EXPECT_EQ(list.rowCount(), 500);
    EXPECT_EQ(row, 499);
    EXPECT_EQ(list.stringList().front(), S("2"));
    EXPECT_EQ(list.stringList().back(), S("501"));
}

}  // namespace
