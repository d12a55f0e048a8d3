#include "morvenda/core/logview.h"

#include "common/textfile.h"
#include "morvenda/core/jobnames.h"
#include "morvenda/core/state.h"
#include "tests/support/demorun.h"
#include "tests/support/statefixture.h"

#include <QFile>

#include <gtest/gtest.h>

// Log extracts, checked against the run log that a real run of the demo's
// day writes. The demo is changed a little first: BIGCPU becomes LOADBIG (a
// name that begins with LOAD) whose program does not exist, so its
// submission fails, and LOAD and LOADBIG form the group LOADS.

namespace {

JobRec& Named(const char* name) { return Job(FindJob(S(name))); }

// Each line's event: the text after "08 Dec 2026  hh:mm:ss " with any
// " at hh:mm:ss" (which depends on timing) cut off.
QStringList Events(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines) {
        QString e = l.mid(22);
        const qsizetype at = e.indexOf(S(" at "));
        out << (at < 0 ? e : e.left(at));
    }
    return out;
}

// Runs the changed demo day in Base, on a fresh state, moving Clock from
// 10:00 on 8 December 2026, and returns its run log's lines; G then holds the
// schedule as the run left it.
QStringList RunDemoDay(const TempDir& Base, FakeClock& clock) {
    InstallDemo(Base);
    StartDemo(Base.path());
    JobRec& big = Named("BIGCPU");
    big.JobName = S("LOADBIG");
    big.CommandLine = S("no-such-program-of-the-demo");
    Named("LOAD").Group = S("LOADS");
    Named("LOADBIG").Group = S("LOADS");
    // Until every job but the nightly one has run, a second of the clock a pass.
    KickUntil(clock, 1, 60000, OnlyNightlyWaits);
    EXPECT_EQ(Named("LOADBIG").JobState, jsSubmitFailed);
    EXPECT_EQ(Named("BROKEN").JobState, jsAborted);
    QStringList log;
    EXPECT_TRUE(ReadTextLines(Base.path(S("DEMO/Log/20261208.log")), &log));
    return log;
}

// The demo's folder is the test's own, its settings in a folder of their own.
using LogView = SchedulerStateTest;

TEST_F(LogView, ExtractsOfARealRun) {
    const QStringList log = RunDemoDay(dir, clock);
    const QString logPath = dir.path(S("DEMO/Log/20261208.log"));
    const QString out = dir.path(S("DEMO/Log/20261208.tmp"));
    const auto extract = [&](LogSel sel, const QStringList& names) {
        QString error;
        EXPECT_TRUE(WriteLogExtract(logPath, out, sel, names, &error)) << error.toStdString();
        QStringList lines;
        EXPECT_TRUE(ReadTextLines(out, &lines));
        return lines;
    };

    // All entries: the whole log.
    ASSERT_GT(log.size(), 25);
    EXPECT_EQ(extract(LogSel::All, {}), log);

    // One job: LOAD's own lines, never LOADBIG's, in the order of the log.
    EXPECT_EQ(
        Events(extract(LogSel::Job, {S("load")})),
        (QStringList{S("LOAD     (Daily) scheduled"), S("LOAD     (Daily)  Submitted"), S("LOAD     Completed")}));
    EXPECT_EQ(Events(extract(LogSel::Job, {S("LOADBIG")})),
              (QStringList{S("LOADBIG  (Daily) scheduled"), S("LOADBIG(Daily)  Submission failed")}));

    // Several jobs: each line of either, in log order.
    const QStringList both = extract(LogSel::Job, {S("EXTRACT"), S("BROKEN")});
    EXPECT_EQ(Events(both),
              (QStringList{S("EXTRACT  (Daily) scheduled"), S("BROKEN   (Daily) scheduled"),
                           S("EXTRACT  (Daily)  Submitted"), S("BROKEN   (Daily)  Submitted"),
                           S("BROKEN   Failed(Exit code 2)"), S("BROKEN   Failed"), S("EXTRACT  Completed")}));

    // A group: the lines of its jobs.
    const QStringList names = GroupJobNames(S("LOADS"));
    EXPECT_EQ(names, (QStringList{S("LOAD"), S("LOADBIG")}));
    EXPECT_EQ(
        Events(extract(LogSel::Group, names)),
        (QStringList{S("LOAD     (Daily) scheduled"), S("LOADBIG  (Daily) scheduled"), S("LOAD     (Daily)  Submitted"),
                     S("LOAD     Completed"), S("LOADBIG(Daily)  Submission failed")}));
    EXPECT_TRUE(extract(LogSel::Group, GroupJobNames(S("NOSUCH"))).isEmpty());
    EXPECT_EQ(LogGroups(), (QStringList{S("DEMO"), S("LOADS")}));
    EXPECT_EQ(LogJobNames().first(3), (QStringList{S("ARCHIVE"), S("BROKEN"), S("CLEANUP")}));

    // Failures: the run's failure and its ending, and the failed submission.
    EXPECT_EQ(Events(extract(LogSel::Failed, {})), (QStringList{S("BROKEN   Failed(Exit code 2)"), S("BROKEN   Failed"),
                                                                S("LOADBIG(Daily)  Submission failed")}));

    // The log files of the folder, sorted by name, with their extracts.
    dir.write(S("DEMO/Log/20261207.log"), "x\r\n");
    dir.write(S("DEMO/Log/20261130.LOG"), "x\r\n");
    dir.write(S("DEMO/Log/20261209.txt"), "x\r\n");
    dir.write(S("DEMO/Log/notes.log"), "x\r\n");
    const std::vector<LogFileEntry> files = ListLogFiles();
    QStringList entries;
    for (const LogFileEntry& f : files) entries << f.entry;
    EXPECT_EQ(entries, (QStringList{S("20261130"), S("20261207"), S("20261208")}));
    EXPECT_EQ(files.back().path, logPath);
    EXPECT_EQ(files.back().extract, out);

    // A log named without date tokens is its only entry; no log, no entries.
    G.gLogFile = dir.path(S("DEMO/Log/notes.log"));
    ASSERT_EQ(ListLogFiles().size(), 1u);
    EXPECT_EQ(ListLogFiles().front().entry, S("notes"));
    G.gLogFile.clear();
    EXPECT_TRUE(ListLogFiles().empty());
}

TEST(LogLine, MatchesEveryShape) {
    struct Case {
        const char* line;
        LogSel sel;
        QStringList names;
        bool want;
    };
    const QStringList job{S("JOB")};
    const Case cases[] = {
        {"08 Dec 2026  10:00:00 JOB      Completed at 10:00:05", LogSel::Job, job, true},
        {"08 Dec 2026  10:00:00 JOB", LogSel::Job, job, true},
        {"08 Dec 2026  10:00:00 JOB(Daily)  Submission failed at 10:00:00", LogSel::Job, job, true},
        {"08 Dec 2026  10:00:00 JOB\tx", LogSel::Job, job, true},
        {"08 Dec 2026  10:00:00 JOBA     Completed at 10:00:05", LogSel::Job, job, false},
        {"08 Dec 2026  10:00:00 job      completed", LogSel::Job, job, true},
        {"(Dummy Run) 2026 Dec 08  10:00:00 JOB      Completed", LogSel::Job, job, true},
        {"Dec 08 2026  10:00:00 XJOB     Completed", LogSel::Job, job, false},
        {"no time: JOB", LogSel::Job, job, false},
        {"no time at all", LogSel::All, {}, true},
        {"no time at all FAILED", LogSel::Failed, {}, false},
        {"08 Dec 2026  10:00:00 JOB      Failed(Exit code 1)", LogSel::Failed, {}, true},
        {"08 Dec 2026  10:00:00 JOB      failed", LogSel::Failed, {}, true},
        {"08 Dec 2026  10:00:00 JOB(Every Mon)  Submission failed at 10:00:01: Cannot start", LogSel::Failed, {}, true},
        {"08 Dec 2026  10:00:00 JOB      (Daily) previous execution failed", LogSel::Failed, {}, false},
        {"08 Dec 2026  10:00:00 JOB      Completed", LogSel::Failed, {}, false},
        {"08 Dec 2026  10:00:00 JOB      Completed", LogSel::Group, {}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(LogLineMatches(S(c.line), c.sel, c.names), c.want) << c.line;
}

TEST(LogExtract, NamedFromTheLogsOwnName) {
    struct Case {
        const char* log;
        const char* extract;
    };
    const Case cases[] = {
        {"/srv/a.b/Log/20261208.log", "20261208.tmp"},
        {"/srv/a.b/Log/20261208", "20261208.tmp"},
        {"/srv/Log/run.2026.log", "run.2026.tmp"},
        {"20261208.log", "20261208.tmp"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtractName(S(c.log)), S(c.extract)) << c.log;
}

TEST(LogExtract, AMissingLogIsReportedAndWritesNothing) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(WriteLogExtract(dir.path(S("none.log")), dir.path(S("none.tmp")), LogSel::All, {}, &error));
    EXPECT_TRUE(error.contains(S("none.log"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.path(S("none.tmp"))));
}

}  // namespace
