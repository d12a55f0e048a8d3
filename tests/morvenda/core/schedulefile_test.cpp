#include "morvenda/core/schedulefile.h"

#include "common/constants.h"
#include "common/fatal.h"
#include "common/text.h"
#include "common/textfile.h"
#include "morvenda/core/state.h"
#include "tests/support/asuser.h"
#include "tests/support/fulldisk.h"
#include "tests/support/jobbuilder.h"
#include "tests/support/statefixture.h"
#include "tests/support/stopreason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

namespace {

const QChar kTab = QLatin1Char('\t');
// How every failed save's question ends.
const QString kRetryOrCancel = QStringLiteral("\n\nCannot rename or save schedule.  Retry or Cancel?");

DateVal At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateVal::fromDateTime(y, mo, d, h, mi, s); }

// A job with every saved column set to something other than its default.
JobRec FullJob(const QString& name = S("PAYROLL")) {
    JobRec J;
    J.JobName = name;
    J.CommandLine = S("payrun.exe \"C:/Pay Data/in.txt\" /mode=full");
    J.EarlyStartText = S("14:35");
    J.Frequency = S("WorkDays +1WDOM");
    J.Exclusive = S("DB1 PRINTER");
    J.SkipOn = S("25-Dec-2026");
    J.RunAfter = {S("EXTRACT"), S("LOAD"), S("CHECK")};
    J.RunAfterStatus = S("SFU");
    J.RunAfterUnsched = S("YNY");
    J.DeferRollover = true;
    J.EojTo = S("ops; finance");
    J.SchedFlag = S("S");
    J.Killed = true;
    J.Started = At(2026, 12, 8, 9, 15, 42);
    J.Completed = At(2026, 12, 8, 9, 47, 3);
    J.EndForced = true;
    J.ProcInfo = {-123456, 7, 40321, -2147483647 - 1};
    J.EarlyStart = At(2026, 12, 8, 14, 35, 0);
    J.DosProgram = true;
    J.EojMsg = {S("Payroll done, &RUNDATE&"), S("Totals in \"out.txt\""), S("C:/pay/out.txt"), S(""), S("last line")};
    J.WaitForFile = S("..EXTRACT");
    J.Spare24 = S("SPARE");
    J.Spare25 = -12;
    J.LastDuration = 1888;
    J.EojFlags = {S(""), S("00000"), S("10100"), S("00000"), S("01011")};
    J.AbEojFlags = {S(""), S("11111"), S("00000"), S("00000"), S("00000")};
    J.EojCc = S("boss");
    J.Group = S("FINANCE");
    J.TriggerFile = gStdTrigger;
    J.DelWaitFile = true;
    J.JobDesc = S("Monthly payroll run, Zürich office ¬ \"gross\"");
    J.Spare34 = 99999;
    J.AbEojTo = S("oncall");
    J.AbEojCc = S("ops");
    J.SuppNoBody = true;
    J.AbEojMsg = {S("Payroll FAILED"), S("see log, now"), S(""), S(""), S("")};
    J.CpuUsage = 3;
    J.Critical = true;
    J.DateVars = {
        S("RUNDATE,RunDate,0,yyyymmdd"), S("X,+1WDOM,0,dd"), S("Q,RunDate,-1,\"Q\"q yyyy"), S(""), S(""), S(""),
        S("LAST,-1WDOM,-1,dd mmm")};
    J.SubmitOnly = true;
    J.DeferEojMins = 15;
    J.AutoResched = 3;
    return J;
}

// The saved columns of a job: what comes back after a save and a load.
JobRec SavedPart(JobRec J) {
    const JobRec fresh;
    J.RunsToday = fresh.RunsToday;
    J.JobState = fresh.JobState;
    J.ForceTrigger = fresh.ForceTrigger;
    J.JobWindow = fresh.JobWindow;
    J.GraceUntil = fresh.GraceUntil;
    J.SkipToday = fresh.SkipToday;
    J.EventIndex = fresh.EventIndex;
    J.StatusText = fresh.StatusText;
    J.ErrorText = fresh.ErrorText;
    J.WinFailed = fresh.WinFailed;
    J.WinErrorText = fresh.WinErrorText;
    J.EarlyStart = fresh.EarlyStart;  // recomputed for the run date, checked on its own
    return J;
}

// A line with the given columns set and every other column empty.
QString LineWith(const std::vector<std::pair<int, QString>>& cols, QChar sep = kTab) {
    QStringList f(kScheduleColumns);
    for (const auto& [c, v] : cols) f[c - 1] = v;
    return f.join(sep);
}

JobRec ReadBack(const QString& line, QChar sep = kTab) {
    JobRec J;
    QString error;
    EXPECT_TRUE(ParseScheduleLine(line, sep, &J, &error)) << error.toStdString();
    return J;
}

class ScheduleFileTest : public SchedulerStateTest {
protected:
    void SetUp() override {
        SchedulerStateTest::SetUp();
        clock.set(At(2026, 12, 10, 8, 0, 0));
        G.gRunDate = At(2026, 12, 10);
        G.gRunDayStart = At(2026, 12, 10, 6, 0, 0);
        G.gSchedName = S("ACCOUNTS");
        G.gSchedFile = dir.path(S("Live.sch"));
    }

    void SetJobs(const std::vector<JobRec>& jobs) {
        G.Jobs = JobTable(1);
        for (const JobRec& j : jobs) G.Jobs.push_back(j);
    }
    // The jobs as the table, saved.
    bool Saved(const std::vector<JobRec>& jobs = {FullJob()}) {
        SetJobs(jobs);
        return SaveSchedule();
    }
    QStringList FilesInDir() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    // Loads the schedule and finds every saved column of the table Saved
    // again (a copy: the load replaces the table).
    static void ExpectLoadedAsSaved(const JobTable saved) {
        LoadSchedule();
        ASSERT_EQ(JobCount(), static_cast<int>(saved.size()) - 1);
        for (int k = 1; k <= JobCount(); ++k)
            EXPECT_TRUE(SavedPart(Job(k)) == SavedPart(saved[static_cast<size_t>(k)]))
                << "job " << k << "\nwrote: " << ScheduleLine(saved[static_cast<size_t>(k)]).toStdString()
                << "\nread:  " << ScheduleLine(Job(k)).toStdString();
    }
};

TEST(ScheduleFields, SplitterAgreesWithGetLineField) {
    const char* lines[] = {
        "a\tb\tc", "\"x\ty\"\tz", "\"say \"\"hi\"\"\"\t2", "\"ab\"cd\te", "a\"b\"\"c\td", "",
        "\t\t",    "\"\"\tx",     "a\t\"q,\"\"r\"\ts",     "tail\t",      "\"a\"\"\"\tb", "x\"\"\ty",
    };
    for (const char* l : lines) {
        const QString line = S(l);
        QStringList fields;
        ASSERT_EQ(SplitScheduleFields(line, kTab, &fields), 0) << l;
        for (int k = 1; k <= fields.size() + 2; ++k) {
            const QString want = GetLineField(line, k, QLatin1Char('"'), kTab);
            const QString got = k <= fields.size() ? fields[k - 1] : QString();
            EXPECT_EQ(got, want) << l << " field " << k;
        }
    }
    QStringList fields;
    EXPECT_EQ(SplitScheduleFields(S("a\t\"open\tb"), kTab, &fields), 2);
    EXPECT_EQ(SplitScheduleFields(S("\"never closed"), kTab, &fields), 1);
}

TEST_F(ScheduleFileTest, EveryColumnSurvivesSaveAndLoad) {
    JobRec plain = JobBuilder(S("A")).group(S("General")).rec();
    plain.LastDuration = 1;
    plain.DateVars[0] = S("RUNDATE,RunDate,0,yyyymmdd");
    JobRec tricky = FullJob(S("TRICKY"));
    tricky.CommandLine = S("\"/opt/my tools/run\" a,b \"c\"");
    tricky.SchedFlag = S("U");
    tricky.Killed = false;
    tricky.EndForced = false;
    tricky.Started = DateVal();
    tricky.Completed = DateVal();
    tricky.JobDesc = S("tab\tinside, and ¬");
    tricky.EojMsg = {S("\"quoted start"), S("a,b,c"), S("x\"\"y"), S(","), S("\"")};
    tricky.RunAfter = {S("ONE")};
    tricky.RunAfterStatus = S("U");
    tricky.RunAfterUnsched = S("N");
    ASSERT_TRUE(Saved({FullJob(), plain, tricky}));
    ASSERT_NO_FATAL_FAILURE(ExpectLoadedAsSaved(G.Jobs));
    // The start time keeps its hour and minute, on the run date.
    EXPECT_EQ(G.Jobs[1].EarlyStart, At(2026, 12, 10, 14, 35, 0));
    // The only word of the load is about the dependencies on jobs this
    // schedule does not hold.
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(S("dependency \"ONE\" names no job")))
        << prompts.messages[0].toStdString();
}

TEST_F(ScheduleFileTest, SharedListsAreWrittenAsEachJobNowHoldsThem) {
    // Jobs sharing their flags and date variables (as a load leaves them),
    // then changed in place between saves, alone and all together.
    JobRec a = FullJob();
    JobRec b = a;
    b.JobName = S("SECOND");
    JobRec c = a;
    c.JobName = S("THIRD");
    ASSERT_TRUE(Saved({a, b, c}));
    G.Jobs[2].EojFlags[2] = S("11111");
    G.Jobs[2].DateVars[6].clear();
    G.Jobs[3].AbEojFlags[1][0] = QLatin1Char('0');
    ASSERT_TRUE(SaveSchedule());
    for (JobRec& J : G.Jobs) J.DateVars[0] = S("RUNDATE,RunDate,0,yyyy");
    ASSERT_TRUE(SaveSchedule());
    ASSERT_NO_FATAL_FAILURE(ExpectLoadedAsSaved(G.Jobs));
    EXPECT_EQ(Job(2).EojFlags[2], S("11111"));
    EXPECT_EQ(Job(3).AbEojFlags[1], S("01111"));
    EXPECT_EQ(Job(1).DateVars[0], S("RUNDATE,RunDate,0,yyyy"));
}

TEST_F(ScheduleFileTest, LineLayoutAsWritten) {
    JobRec J = FullJob();
    J.Started = DateVal();
    J.JobDesc = S("  padded desc   ");
    J.EojTo = S("two\r\nlines");
    const QString line = ScheduleLine(J);
    EXPECT_FALSE(line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')));
    QStringList f;
    ASSERT_EQ(SplitScheduleFields(line, kTab, &f), 0);
    ASSERT_EQ(f.size(), kScheduleColumns);
    EXPECT_EQ(line.count(kTab), kScheduleColumns - 1);
    EXPECT_TRUE(line.startsWith(S("PAYROLL\t\"payrun.exe \"\"C:/Pay Data/in.txt\"\" /mode=full\"\t14:35\t")));
    EXPECT_EQ(f[6], S("EXTRACT,LOAD,CHECK,"));
    EXPECT_EQ(f[8], S("two  lines"));
    EXPECT_EQ(f[12], S("30 Dec 1899 00:00:00"));
    EXPECT_EQ(f[13], S("08 Dec 2026 09:47:03"));
    EXPECT_EQ(f[19], S("08 Dec 2026 14:35:00"));
    EXPECT_EQ(f[21], S("\"Payroll done, &RUNDATE&\",\"Totals in \"\"out.txt\"\"\",C:/pay/out.txt,,last line,"));
    EXPECT_EQ(f[32], S("padded desc"));
    EXPECT_EQ(f[41], S("RUNDATE¬RunDate¬0¬yyyymmdd,X¬+1WDOM¬0¬dd,\"Q¬RunDate¬-1¬\"\"Q\"\"q yyyy\",,,,"
                       "LAST¬-1WDOM¬-1¬dd mmm,"));
    for (int c : {12, 37, 48, 49, 50}) EXPECT_TRUE(f[c - 1].isEmpty()) << "column " << c;
    EXPECT_EQ(ReadBack(line).EojTo, S("two  lines"));

    // Dates are the English "dd mmm yyyy hh:mm:ss" of every month and hour.
    for (const DateVal d :
         {At(2026, 1, 1), At(2027, 5, 31, 23, 59, 59), At(1999, 9, 9, 9, 9, 9), At(2100, 12, 31, 12)}) {
        J.Started = d;
        QStringList g;
        SplitScheduleFields(ScheduleLine(J), kTab, &g);
        EXPECT_EQ(g[12], FormatDate(d, S("dd mmm yyyy hh:mm:ss")));
    }
}

TEST(ScheduleRead, ColumnRulesOnRead) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, QString>> cols;
        std::function<void(const JobRec&)> check;
    };
    const Case cases[] = {
        {"status 1 reads as U; unsched padded",
         {{45, S("S1F")}, {46, S("Y")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.RunAfterStatus, S("SUF"));
             EXPECT_EQ(J.RunAfterUnsched, S("Y  "));
         }},
        {"a leading blank of the letter columns is a letter",
         {{45, S(" S")}, {46, S(" Y")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.RunAfterStatus, S(" S"));
             EXPECT_EQ(J.RunAfterUnsched, S(" Y"));
         }},
        {"unsched cut to the status length",
         {{45, S("SF")}, {46, S("YNYN")}},
         [](const JobRec& J) { EXPECT_EQ(J.RunAfterUnsched, S("YN")); }},
        {"last duration 0 reads as 30", {{26, S("0")}}, [](const JobRec& J) { EXPECT_EQ(J.LastDuration, 30); }},
        {"last duration junk reads as 30", {{26, S("abc")}}, [](const JobRec& J) { EXPECT_EQ(J.LastDuration, 30); }},
        {"empty dependency item ends the list",
         {{7, S("A,,B,")}},
         [](const JobRec& J) { EXPECT_EQ(J.RunAfter, QStringList{S("A")}); }},
        {"two dependencies",
         {{7, S(" A,B, ")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.RunAfter, (QStringList{S("A"), S("B")}));
         }},
        {"empty group becomes General", {{30, S("   ")}}, [](const JobRec& J) { EXPECT_EQ(J.Group, S("General")); }},
        {"fixed widths cut",
         {{1, S(" EIGHTCHR ")}, {10, S("SX")}, {3, S("12:345")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.JobName, S(" EIGHTCH"));
             EXPECT_EQ(J.SchedFlag, S("S"));
             EXPECT_EQ(J.EarlyStartText, S("12:34"));
         }},
        {"flags are any non-zero number",
         {{8, S("1")}, {11, S("-1")}, {15, S("0")}, {21, S("x")}, {41, S("7")}},
         [](const JobRec& J) {
             EXPECT_TRUE(J.DeferRollover);
             EXPECT_TRUE(J.Killed);
             EXPECT_FALSE(J.EndForced);
             EXPECT_FALSE(J.DosProgram);
             EXPECT_TRUE(J.Critical);
         }},
        {"numbers clamp to their width",
         {{25, S("70000")}, {47, S("300")}, {18, S("99999999999")}, {40, S("-5")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.Spare25, 32767);
             EXPECT_EQ(J.AutoResched, 255);
             EXPECT_EQ(J.ProcInfo.dwProcessId, 2147483647);
             EXPECT_EQ(J.CpuUsage, -5);
         }},
        {"empty dates read as never, zero date as never",
         {{13, S("")}, {14, S("30 Dec 1899 00:00:00")}},
         [](const JobRec& J) {
             EXPECT_TRUE(J.Started.isZero());
             EXPECT_TRUE(J.Completed.isZero());
         }},
        {"dates in other forms",
         {{13, S("2026-12-08 10:11:12")}, {14, S("Dec 9 2026 1:05 PM")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.Started, At(2026, 12, 8, 10, 11, 12));
             EXPECT_EQ(J.Completed, At(2026, 12, 9, 13, 5, 0));
         }},
        {"short list fields leave the rest empty",
         {{22, S("Subject only")}, {42, S("A¬B¬0¬dd")}},
         [](const JobRec& J) {
             EXPECT_EQ(J.EojMsg[0], S("Subject only"));
             EXPECT_EQ(J.EojMsg[4], S(""));
             EXPECT_EQ(J.DateVars[0], S("A,B,0,dd"));
             EXPECT_EQ(J.DateVars[6], S(""));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.check(ReadBack(LineWith(c.cols)));
    }
}

TEST(ScheduleRead, BrokenLinesSayWhatAndWhere) {
    // Broken columns, then lines that are no job at all: a stray text, a line
    // cut short, two lines run together. An older comma line counts its
    // columns the same way.
    const struct {
        QString line;
        QChar sep;
        const char* want;
    } cases[] = {
        {LineWith({{13, S("31 Foo 2026")}}), kTab, "column 13: \"31 Foo 2026\" is not a date"},
        {LineWith({{14, S("yesterday")}}), kTab, "column 14: \"yesterday\" is not a date"},
        {LineWith({{33, S("\"no closing quote")}}), kTab, "column 33: a quoted text has no closing quote"},
        {LineWith({{22, S("\"open,b,")}}), kTab, "column 22: a quoted text has no closing quote"},
        {LineWith({{1, S("NINECHARS")}}), kTab, "column 1: the job name \"NINECHARS\" is longer than 8 characters"},
        {S("THIS IS A GARBAGE LINE, not a job at all"), kTab, "column 2: the line ends after 1 of its 50 columns"},
        {LineWith({{1, S("JOB")}}).section(kTab, 0, 40), kTab, "column 42: the line ends after 41 of its 50 columns"},
        {LineWith({{1, S("A")}}) + kTab + LineWith({{1, S("B")}}), kTab, "column 51: the line has 100 columns, not 50"},
        {S("THIS IS A GARBAGE LINE, not a job at all"), QLatin1Char(','),
         "column 3: the line ends after 2 of its 50 columns"},
    };
    for (const auto& c : cases) {
        JobRec J;
        QString error;
        EXPECT_FALSE(ParseScheduleLine(c.line, c.sep, &J, &error)) << c.want;
        EXPECT_EQ(error, S(c.want));
    }
}

TEST(ScheduleWrite, LetterColumnsKeepTheirBlanks) {
    // One condition letter and one unschedule flag per dependency: a blank
    // for the first dependency must not move the second one's letter.
    JobRec J = FullJob();
    J.RunAfter = {S("A"), S("B"), S("C")};
    J.RunAfterStatus = S(" S ");
    J.RunAfterUnsched = S(" Y ");
    const JobRec back = ReadBack(ScheduleLine(J));
    EXPECT_EQ(back.RunAfterStatus, S(" S "));
    EXPECT_EQ(back.RunAfterUnsched, S(" Y "));
}

TEST_F(ScheduleFileTest, LegacyCommaFileLoads) {
    // Commas separate the columns; "%" stands for a comma of the command line
    // and blanks separate the dependencies.
    const QString line = LineWith({{1, S("OLDJOB")},
                                   {2, S("copy a%b c")},
                                   {4, S("Daily")},
                                   {7, S("FIRST SECOND")},
                                   {22, S("\"Subj,body,,,,\"")},
                                   {30, S("LEGACY")},
                                   {45, S("SS")},
                                   {46, S("YN")}},
                                  QLatin1Char(','));
    dir.write(S("Live.sch"), line.toLatin1() + "\r\n");
    LoadSchedule();
    ASSERT_EQ(JobCount(), 1);
    const JobRec& J = G.Jobs[1];
    EXPECT_EQ(J.JobName, S("OLDJOB"));
    EXPECT_EQ(J.CommandLine, S("copy a,b c"));
    EXPECT_EQ(J.RunAfter, (QStringList{S("FIRST"), S("SECOND")}));
    EXPECT_EQ(J.EojMsg[0], S("Subj"));
    EXPECT_EQ(J.EojMsg[1], S("body"));
    EXPECT_EQ(J.Group, S("LEGACY"));
    EXPECT_EQ(J.LastDuration, 30);

    // Saved back, it becomes a TAB file that reads the same.
    ASSERT_TRUE(SaveSchedule());
    EXPECT_TRUE(dir.read(S("Live.sch")).contains('\t'));
    ExpectLoadedAsSaved(G.Jobs);
}

TEST_F(ScheduleFileTest, EmptyFirstLineMeansCommaFile) {
    const QByteArray rest(kScheduleColumns - 4, ',');
    dir.write(S("Live.sch"), "\r\nA,B\tC,,Daily" + rest + "\r\n\r\n   \r\nZ,x,," + rest + "\r\n");
    LoadSchedule();
    ASSERT_EQ(JobCount(), 2);
    EXPECT_EQ(G.Jobs[1].JobName, S("A"));
    EXPECT_EQ(G.Jobs[1].CommandLine, S("B\tC"));
    EXPECT_EQ(G.Jobs[1].Frequency, S("Daily"));
    EXPECT_EQ(G.Jobs[2].JobName, S("Z"));
}

TEST_F(ScheduleFileTest, OlderLatin1FileAndByteFF) {
    // Written as Latin-1: 0xAC (¬) is the list comma, 0xE9 an accented letter,
    // 0xFF an old stand-in for a double quote.
    const QString line = LineWith({{1, S("J1")}, {2, S("ÿprog, xÿ")}, {33, S("Café")}, {42, S("A¬+1WDOM¬0¬dd,")}});
    dir.write(S("Live.sch"), line.toLatin1() + "\n");
    LoadSchedule();
    ASSERT_EQ(JobCount(), 1);
    EXPECT_EQ(G.Jobs[1].CommandLine, S("prog, x")) << G.Jobs[1].CommandLine.toStdString();
    EXPECT_EQ(G.Jobs[1].JobDesc, S("Café"));
    EXPECT_EQ(G.Jobs[1].DateVars[0], S("A,+1WDOM,0,dd"));
}

TEST_F(ScheduleFileTest, BrokenHandEditedFileStopsAndIsLeftAlone) {
    const QByteArray goodLine = ScheduleLine(FullJob()).toUtf8();
    const QString bad = LineWith({{1, S("BROKEN")}, {13, S("32 Dec 2026 10:00:00")}});
    const QByteArray content = goodLine + "\r\n" + bad.toUtf8() + "\r\n";
    const QString path = dir.write(S("Live.sch"), content);
    EXPECT_EQ(StopReason(LoadSchedule),
              S("Schedule file \"%1\", line 2, column 13: \"32 Dec 2026 10:00:00\" is not a date.  "
                "The file has not been changed; correct the line and start again.")
                  .arg(path));
    EXPECT_EQ(dir.read(S("Live.sch")), content);
    EXPECT_EQ(JobCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("Live.bak"))));

    dir.write(S("Live.sch"), goodLine + "\r\n\r\n" + "X\t\"open quote\tmore\r\n");
    const QString quote = StopReason(LoadSchedule);
    EXPECT_TRUE(quote.contains(S("\", line 3, column 2: a quoted text has no closing quote"))) << quote.toStdString();

    // The first line decides the separator: TAB lines after an empty first
    // line are read as comma-separated, and the message says why.
    const QByteArray tabAfterBlank = "\r\n" + goodLine + "\r\n";
    dir.write(S("Live.sch"), tabAfterBlank);
    const QString tab = StopReason(LoadSchedule);
    EXPECT_TRUE(tab.contains(S("\", line 2, column "))) << tab.toStdString();
    EXPECT_TRUE(
        tab.contains(S("Line 1 is empty, so the file is read as comma-separated (the first line decides: a TAB in it "
                       "makes the file TAB-separated); remove the empty first line.  The file has not been changed")))
        << tab.toStdString();
    EXPECT_EQ(dir.read(S("Live.sch")), tabAfterBlank);
}

// A hand-edited file that names unknown frequency items or jobs loads as it
// stands, and says so once: one run log line each, one message for all.
TEST_F(ScheduleFileTest, UnknownNamesAreReportedOnceAtLoad) {
    G.gLogFile = dir.path(S("run.log"));
    JobRec a = JobBuilder(S("PAYROLL")).frequency(S("Workdayz  Mon +1WDOM")).after(S("EXTRACT,GHOST")).rec();
    JobRec b = JobBuilder(S("EXTRACT")).frequency(S("Daily 08-Dec-2026 -1tue Weekdays+ +6Mon -32CDOM")).rec();
    ASSERT_TRUE(Saved({a, b}));
    const QByteArray saved = dir.read(S("Live.sch"));

    LoadSchedule();
    ASSERT_EQ(prompts.messages.size(), 1);
    const QString msg = prompts.messages[0];
    EXPECT_TRUE(msg.contains(G.gSchedFile)) << msg.toStdString();
    EXPECT_TRUE(msg.contains(S("Job PAYROLL: frequency item \"Workdayz\" is no keyword or date"))) << msg.toStdString();
    EXPECT_TRUE(msg.contains(S("Job PAYROLL: dependency \"GHOST\" names no job of the schedule"))) << msg.toStdString();
    EXPECT_FALSE(msg.contains(S("EXTRACT\" names"))) << msg.toStdString();
    EXPECT_FALSE(msg.contains(S("\"Mon\""))) << msg.toStdString();
    // A count that no month reaches selects no day either.
    EXPECT_TRUE(msg.contains(S("Job EXTRACT: frequency item \"+6Mon\" is no keyword or date"))) << msg.toStdString();
    EXPECT_TRUE(msg.contains(S("Job EXTRACT: frequency item \"-32CDOM\""))) << msg.toStdString();
    const QString log = QString::fromUtf8(dir.read(S("run.log")));
    EXPECT_EQ(log.count(S("Job PAYROLL: ")), 2) << log.toStdString();
    EXPECT_EQ(log.count(S("Job EXTRACT: ")), 2) << log.toStdString();
    // The jobs and the file are as they were.
    EXPECT_EQ(G.Jobs[1].Frequency, a.Frequency);
    EXPECT_EQ(G.Jobs[1].RunAfter, a.RunAfter);
    EXPECT_EQ(dir.read(S("Live.sch")), saved);

    // A schedule that names nothing unknown says nothing.
    prompts.messages.clear();
    a = JobBuilder(S("PAYROLL")).frequency(S("Mon")).after(S("EXTRACT")).rec();
    b.Frequency = S("Daily -5Fri +23WDOM");
    ASSERT_TRUE(Saved({a, b}));
    LoadSchedule();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(S(" | ")).toStdString();
}

TEST_F(ScheduleFileTest, MissingFileCreateOrStop) {
    prompts.queueAnswer(MsgAnswer::No);
    EXPECT_EQ(StopReason(LoadSchedule), S("Morvenda terminated due to no schedule found"));
    EXPECT_EQ(prompts.messages.value(0),
              S("Schedule file \"%1\" does not exist.  Do you wish to create it?").arg(G.gSchedFile));
    EXPECT_FALSE(QFileInfo::exists(G.gSchedFile));

    prompts.queueAnswer(MsgAnswer::Yes);
    LoadSchedule();
    ASSERT_EQ(JobCount(), 1);
    const JobRec& J = G.Jobs[1];
    EXPECT_EQ(J.JobName, S("Dummy"));
    EXPECT_EQ(J.Group, S("Dummy"));
    EXPECT_EQ(J.Frequency, S("WorkDays"));
    EXPECT_EQ(J.DateVars, gDefDateVars);
    EXPECT_TRUE(J.CommandLine.isEmpty() && J.RunAfter.isEmpty() && J.Started.isZero());
}

TEST_F(ScheduleFileTest, UnreadableFileStops) {
    QDir().mkpath(G.gSchedFile);  // a folder where the file should be
    EXPECT_THROW(LoadSchedule(), FatalStop);
    EXPECT_EQ(prompts.messages.value(0), gPathMsgPrefix + G.gSchedFile + QLatin1Char('"'));
}

TEST(ScheduleBackup, NameReplacesOnlyTheFileExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/srv/sched/Live.sch", "/srv/sched/Live.bak"}, {"/srv/My.Data/Live.sch", "/srv/My.Data/Live.bak"},
        {"/srv/My.Data/Live", "/srv/My.Data/Live.bak"}, {"/srv/a/x.tar.sch", "/srv/a/x.tar.bak"},
        {"/srv/a/.sched", "/srv/a/.sched.bak"},         {"Live.sch", "Live.bak"},
    };
    for (const auto& [path, want] : cases) EXPECT_EQ(ScheduleBackupName(S(path)), S(want)) << path;
}

TEST_F(ScheduleFileTest, SaveKeepsBackupInDottedFolder) {
    QDir().mkpath(dir.path(S("My.Data")));
    G.gSchedFile = dir.path(S("My.Data/Live.sch"));
    ASSERT_TRUE(Saved());
    const QByteArray first = dir.read(S("My.Data/Live.sch"));
    EXPECT_FALSE(QFileInfo::exists(dir.path(S("My.Data/Live.bak"))));  // nothing to back up yet
    G.Jobs[1].JobName = S("RENAMED");
    ASSERT_TRUE(SaveSchedule());
    EXPECT_EQ(dir.read(S("My.Data/Live.bak")), first);
    EXPECT_TRUE(dir.read(S("My.Data/Live.sch")).startsWith("RENAMED\t"));
    EXPECT_EQ(FilesInDir(), QStringList());  // nothing beside the folder
    EXPECT_EQ(QDir(dir.path(S("My.Data"))).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{S("Live.bak"), S("Live.sch")}));
}

TEST_F(ScheduleFileTest, SavingToBakFileIsRefused) {
    SetJobs({FullJob()});
    for (const char* name : {"sched.bak", "SCHED.BAK", "Sched.Bak"}) {
        prompts.messages.clear();
        G.gSchedFile = dir.path(S(name));
        EXPECT_FALSE(SaveSchedule()) << name;
        EXPECT_EQ(prompts.messages, QStringList{S("Morvenda cannot save to \".BAK\" file")});
        EXPECT_FALSE(QFileInfo::exists(G.gSchedFile));
    }
}

TEST_F(ScheduleFileTest, EmptyDependencyStopsBeforeAnythingIsWritten) {
    ASSERT_TRUE(Saved());
    const QByteArray before = dir.read(S("Live.sch"));
    JobRec bad = FullJob(S("BADDEP  "));
    bad.RunAfter = {S("A"), S("  ")};
    G.Jobs.push_back(bad);
    EXPECT_EQ(StopReason([] { SaveSchedule(); }), S("Empty RunAfter entry for job BADDEP.  Critical error."));
    EXPECT_EQ(dir.read(S("Live.sch")), before);
    EXPECT_EQ(FilesInDir(), QStringList{S("Live.sch")});
}

// Lets file writes of this process fail with EFBIG past Limit bytes while alive.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Limit) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = Limit;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { lift(); }
    void lift() {
        if (lifted_) return;
        lifted_ = true;
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool lifted_ = false;
};

std::vector<JobRec> ManyJobs(int n) {
    std::vector<JobRec> jobs;
    for (int k = 0; k < n; ++k) jobs.push_back(FullJob(S("J%1").arg(k)));
    return jobs;
}

TEST_F(ScheduleFileTest, WriteFailureKeepsScheduleAndBackup) {
    ASSERT_TRUE(Saved());
    G.Jobs[1].JobName = S("SECOND");
    ASSERT_TRUE(SaveSchedule());
    const QByteArray live = dir.read(S("Live.sch"));
    const QByteArray backup = dir.read(S("Live.bak"));
    ASSERT_FALSE(live.isEmpty());
    ASSERT_NE(live, backup);

    SetJobs(ManyJobs(200));
    prompts.queueAnswer(MsgAnswer::Cancel);
    {
        FileSizeLimit limit(4096);
        const QString reason = StopReason([] { SaveSchedule(); });
        limit.lift();
        EXPECT_EQ(reason, S("Morvenda cancelled due to save error."));
    }
    EXPECT_TRUE(prompts.messages.value(0).endsWith(S(": File too large") + kRetryOrCancel))
        << prompts.messages.value(0).toStdString();
    EXPECT_EQ(dir.read(S("Live.sch")), live);
    EXPECT_EQ(dir.read(S("Live.bak")), backup);
    EXPECT_EQ(FilesInDir(), (QStringList{S("Live.bak"), S("Live.sch")}));
    LoadSchedule();
    ASSERT_EQ(JobCount(), 1);
    EXPECT_EQ(G.Jobs[1].JobName, S("SECOND"));
}

// Answers the save question with Retry after lifting the size limit.
class LiftOnRetry : public Prompter {
public:
    explicit LiftOnRetry(FileSizeLimit* l) : limit_(l) { setPrompter(this); }
    ~LiftOnRetry() override { setPrompter(nullptr); }
    MsgAnswer message(const QString& text, MsgButtons, MsgIcon, const QString&) override {
        texts << text;
        limit_->lift();
        return MsgAnswer::Retry;
    }
    QString input(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList texts;

private:
    FileSizeLimit* limit_;
};

TEST_F(ScheduleFileTest, RetryAfterTheCauseIsGoneSaves) {
    ASSERT_TRUE(Saved());
    SetJobs(ManyJobs(200));
    FileSizeLimit limit(4096);
    LiftOnRetry answer(&limit);
    ASSERT_TRUE(SaveSchedule());
    ASSERT_EQ(answer.texts.size(), 1);
    EXPECT_TRUE(answer.texts[0].endsWith(S(": File too large") + kRetryOrCancel));
    LoadSchedule();
    EXPECT_EQ(JobCount(), 200);
}

// On a full disk the save asks again with the system's reason; the schedule
// and its backup keep every byte, and Retry once there is room saves.
TEST_F(ScheduleFileTest, AFullDiskKeepsScheduleAndBackupAndSaysWhy) {
    SmallDisk disk(256 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    G.gSchedFile = disk.path(S("Live.sch"));
    ASSERT_TRUE(Saved());
    G.Jobs[1].JobName = S("SECOND");
    ASSERT_TRUE(SaveSchedule());
    const QByteArray live = disk.read(S("Live.sch"));
    const QByteArray backup = disk.read(S("Live.bak"));
    SetJobs(ManyJobs(300));
    disk.fill();
    prompts.queueAnswer(MsgAnswer::Retry);
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_THROW(SaveSchedule(), FatalStop);
    ASSERT_EQ(prompts.messages.size(), 4);
    EXPECT_EQ(prompts.messages[0],
              S("Cannot write \"%1\": No space left on device").arg(G.gSchedFile) + kRetryOrCancel);
    EXPECT_EQ(prompts.messages[1], prompts.messages[0]);
    EXPECT_EQ(prompts.messages[2], S("Morvenda cancelled due to save error."));
    EXPECT_EQ(disk.read(S("Live.sch")), live);
    EXPECT_EQ(disk.read(S("Live.bak")), backup);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{S(".filler"), S("Live.bak"), S("Live.sch")}));

    disk.unfill();
    ASSERT_TRUE(SaveSchedule());
    LoadSchedule();
    EXPECT_EQ(JobCount(), 300);
    EXPECT_EQ(disk.read(S("Live.bak")), live);
}

TEST_F(ScheduleFileTest, BackupBlockedByAFolderKeepsSchedule) {
    ASSERT_TRUE(Saved());
    const QByteArray live = dir.read(S("Live.sch"));
    dir.write(S("Live.bak/in-the-way.txt"), "x");  // a folder holding a file, where the backup goes
    G.Jobs[1].JobName = S("NEWER");
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_THROW(SaveSchedule(), FatalStop);
    EXPECT_EQ(dir.read(S("Live.sch")), live);
    EXPECT_EQ(FilesInDir(), QStringList{S("Live.sch")});
}

// A line of an older program with one Latin-1 byte spoils nothing else: the
// other lines keep their UTF-8, and the save writes UTF-8 throughout.
TEST_F(ScheduleFileTest, AStrayByteSpoilsOnlyItsOwnLine) {
    const JobRec first = JobBuilder(S("OLD")).with([](JobRec& j) { j.JobDesc = S("Caf\u00e9 report"); }).rec();
    JobRec second = JobBuilder(S("NEW")).with([](JobRec& j) { j.JobDesc = S("Na\u00efve \u00ac note"); }).rec();
    second.DateVars = {S("X,+1WDOM,0,dd"), S(""), S(""), S(""), S(""), S(""), S("")};
    QByteArray bytes = ScheduleLine(first).toLatin1() + "\r\n" + ScheduleLine(second).toUtf8() + "\r\n";
    ASSERT_TRUE(bytes.contains("Caf\xe9 report"));
    dir.write(S("Live.sch"), bytes);
    LoadSchedule();
    ASSERT_EQ(JobCount(), 2);
    EXPECT_EQ(G.Jobs[1].JobDesc.trimmed(), S("Caf\u00e9 report"));
    EXPECT_EQ(G.Jobs[2].JobDesc.trimmed(), S("Na\u00efve \u00ac note"));
    EXPECT_EQ(G.Jobs[2].DateVars[0], S("X,+1WDOM,0,dd"));
    ASSERT_TRUE(SaveSchedule());
    const QByteArray saved = dir.read(S("Live.sch"));
    EXPECT_EQ(saved, (ScheduleLine(G.Jobs[1]) + S("\r\n") + ScheduleLine(G.Jobs[2]) + S("\r\n")).toUtf8());
    EXPECT_TRUE(saved.contains("Caf\xc3\xa9 report"));
}

// A schedule file reached through a symbolic link is saved through it: the
// link stays, the file it leads to gets the new schedule and its backup.
TEST_F(ScheduleFileTest, SaveGoesThroughASymbolicLink) {
    QDir().mkpath(dir.path(S("real")));
    G.gSchedFile = dir.path(S("real/Live.sch"));
    ASSERT_TRUE(Saved());
    const QByteArray before = dir.read(S("real/Live.sch"));
    ASSERT_TRUE(QFile::link(S("real/Live.sch"), dir.path(S("Link.sch"))));  // relative target
    G.gSchedFile = dir.path(S("Link.sch"));
    G.Jobs[1].JobName = S("LINKED");
    ASSERT_TRUE(SaveSchedule());
    EXPECT_TRUE(QFileInfo(dir.path(S("Link.sch"))).isSymLink());
    EXPECT_TRUE(dir.read(S("real/Live.sch")).startsWith("LINKED\t"));
    EXPECT_EQ(dir.read(S("real/Live.bak")), before);
    LoadSchedule();
    EXPECT_EQ(G.Jobs[1].JobName, S("LINKED"));
}

// A schedule file without write permission is not replaced; the message says
// why. (A read-only folder can only be shown to a user other than root.)
TEST_F(ScheduleFileTest, AReadOnlyScheduleIsNotReplaced) {
    MRV_RUN_AS_USER();
    ASSERT_TRUE(Saved());
    const QByteArray before = dir.read(S("Live.sch"));
    QFile::setPermissions(dir.path(S("Live.sch")), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    G.Jobs[1].JobName = S("CHANGED");
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_THROW(SaveSchedule(), FatalStop);
    EXPECT_EQ(prompts.messages.value(0),
              S("Schedule file \"%1\" is read-only (it has no write permission), so it is not replaced.")
                      .arg(dir.path(S("Live.sch"))) +
                  kRetryOrCancel);
    EXPECT_EQ(dir.read(S("Live.sch")), before);
    EXPECT_EQ(FilesInDir(), (QStringList{S("Live.sch")}));

    QFile::setPermissions(dir.path(S("Live.sch")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    prompts.messages.clear();
    prompts.queueAnswer(MsgAnswer::Cancel);
    EXPECT_THROW(SaveSchedule(), FatalStop);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(prompts.messages.value(0),
              S("Cannot write \"%1\": cannot create a file in the folder \"%2\": Permission denied")
                      .arg(dir.path(S("Live.sch")), dir.path()) +
                  kRetryOrCancel);
    EXPECT_EQ(dir.read(S("Live.sch")), before);
}

// The temporary file of a save cut short by a crash goes at the next load;
// files that only look alike stay.
TEST_F(ScheduleFileTest, LoadRemovesATemporaryFileLeftByACrash) {
    ASSERT_TRUE(Saved());
    const QByteArray live = dir.read(S("Live.sch"));
    dir.write(S(".Live.sch.Ab12Cd.tmp"), "half a sched");
    dir.write(S(".Other.sch.Ab12Cd.tmp"), "another schedule's");
    dir.write(S("Live.sch.notes"), "notes");
    LoadSchedule();
    EXPECT_EQ(FilesInDir(), (QStringList{S(".Other.sch.Ab12Cd.tmp"), S("Live.sch"), S("Live.sch.notes")}));
    EXPECT_EQ(dir.read(S("Live.sch")), live);
    EXPECT_EQ(dir.read(S("Live.sch.notes")), QByteArray("notes"));
}

}  // namespace
