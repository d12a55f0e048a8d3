#include "morvenda/execution/message.h"

#include "common/getfield.h"
#include "common/textfile.h"
#include "morvenda/core/state.h"
#include "platform/mail.h"
#include "tests/support/fulldisk.h"
#include "tests/support/messagefolders.h"
#include "tests/support/testing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

DateVal At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return DateVal::fromDateTime(y, mo, d, h, mi, s); }

// Expected message files, with "@TMP@" standing for the test's temporary
// folder. MRV_UPDATE_GOLDEN=1 rewrites them from the output: read the diff
// before keeping it.
QString GoldenPath(const QString& name) {
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/golden/") + name;
}

// A schedule with one job, its folders in a temporary folder and the clock at
// Tuesday 8 Dec 2026 10:15:30.
class MessageTest : public ::testing::Test {
public:
    void SetUp() override {
        ResetState();
        UseMessageFolders(tmp);

        JobRec& J = AddPayrollJob(At(2026, 12, 7, 9, 15, 30));
        J.CommandLine += S(" --full");
        J.JobDesc = S("Monthly payroll");
        J.EojMsg = {S("Payroll done"), S(""), S(""), S(""), S("")};
        J.AbEojFlags = J.EojFlags;
    }

    JobRec& Job() { return G.Jobs[1]; }
    // Job 1's normal message, sent.
    void Send(const std::array<QString, 5>& msg, const std::array<QString, 5>& flags) {
        Job().EojMsg = msg;
        Job().EojFlags = flags;
        Send();
    }
    void ClearMessages() {
        QDir(G.gEmailPath).removeRecursively();
        QDir().mkpath(G.gEmailPath);
    }

    // Calls GenMessage as the kick pass does for one ending of job 1.
    void Send(bool abnormal = false) {
        const JobRec& J = Job();
        std::array<QString, 5> msg = abnormal ? J.AbEojMsg : J.EojMsg;
        for (QString& m : msg) m = m.trimmed();
        GenMessage(1, abnormal ? J.AbEojTo : J.EojTo, abnormal ? J.AbEojCc : J.EojCc, msg,
                   abnormal ? J.AbEojFlags : J.EojFlags, abnormal && J.Critical);
    }

    QStringList Files(const QString& folder) const {
        return QDir(tmp.path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The one message file written; fails the test when there is not exactly one.
    QByteArray Message() const {
        const QStringList eml = QDir(G.gEmailPath).entryList({S("*.eml")}, QDir::Files);
        EXPECT_EQ(eml.size(), 1) << eml.join(S(", ")).toStdString();
        return eml.isEmpty() ? QByteArray() : tmp.read(JoinPath(G.gEmailPath, eml.first()));
    }

    QStringList LogLines() const {
        QStringList lines;
        ReadTextLines(G.gLogFile, &lines);
        return lines;
    }

    TempDir tmp;
    FakeClock clock{At(2026, 12, 8, 10, 15, 30)};
    ScriptedPrompter prompts;
};

// What the e-mailer's reader accepts, line by line: CR LF ends, no empty
// line, a keyword the scheduler writes directly before the first "=", and
// ATT values that split into an existing file and DEL=YES options.
void ExpectReadable(const QByteArray& bytes) {
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> raw = bytes.left(bytes.size() - 1).split('\n');
    int n = 0;
    for (const QByteArray& r : raw) {
        ++n;
        ASSERT_TRUE(r.endsWith('\r')) << "line " << n << " not ended by CR LF";
        const QString line = QString::fromUtf8(r.left(r.size() - 1));
        SCOPED_TRACE(line.toStdString());
        EXPECT_FALSE(line.isEmpty());
        for (QChar c : line) EXPECT_GE(c.unicode(), 0x20) << "control character in line " << n;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        ASSERT_GT(eq, 0);
        const QString key = line.left(eq);
        EXPECT_TRUE(QStringList({S("TO"), S("CC"), S("SUBJ"), S("BODY"), S("ATT")}).contains(key));
        if (key == S("TO") || key == S("CC")) {
            // An address the mailer can use, or the text that tells it none was found.
            const QString value = line.mid(eq + 1);
            EXPECT_EQ(ParseMailAddress(value).has_value(),
                      !value.startsWith(S("Could not generate email address for ")));
        }
        if (key == S("ATT")) {
            const QString value = line.mid(eq + 1).trimmed();
            const QString file = GetField(value, 1, QLatin1Char('"'), QLatin1Char(','));
            EXPECT_TRUE(QFileInfo(file).isAbsolute()) << file.toStdString();
            EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
            for (int k = 2; !GetField(value, k, QLatin1Char('"'), QLatin1Char(',')).isEmpty(); ++k)
                EXPECT_EQ(GetField(value, k, QLatin1Char('"'), QLatin1Char(',')), S("DEL=YES"));
        }
    }
}

struct GoldenCase {
    const char* golden;
    std::function<void(MessageTest&, JobRec&)> setup;
    bool abnormal;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.golden; }

class GoldenTest : public MessageTest, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenTest, WritesTheExpectedMessageFile) {
    const GoldenCase& c = GetParam();
    c.setup(*this, Job());
    Send(c.abnormal);
    const QByteArray bytes = Message();
    ExpectReadable(bytes);
    EXPECT_TRUE(QDir(G.gEmailPath).entryList({S("*.$$$")}, QDir::Files).isEmpty());

    QByteArray actual = bytes;
    actual.replace(tmp.path().toUtf8(), "@TMP@");
    const QString golden = GoldenPath(QString::fromLatin1(c.golden));
    if (qEnvironmentVariableIsSet("MRV_UPDATE_GOLDEN")) {
        QFile f(golden);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(actual);
    }
    QFile f(golden);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << golden.toStdString();
    EXPECT_EQ(QString::fromUtf8(f.readAll()).toStdString(), QString::fromUtf8(actual).toStdString());
}

const GoldenCase kGoldenCases[] = {
    // Placeholders in any case, long forms padded and short forms trimmed; a
    // subject keeps its placeholders; a To name without a book; the Cc list.
    {"normal.eml",
     [](MessageTest&, JobRec& J) {
         J.EojTo = S("ops,nobody,,smith");
         J.EojCc = S("boss");
         J.EojMsg = {S("Payroll %JN% done"), S("Job %jobname%[%JN%/%jn%] of %GroupName%"),
                     S("Critical: %CR%, started %ST%, ended %CT%, took %DU%"), S("   "), S("Line one%NL%line two")};
     },
     false},
    // The abnormal message of a critical job: call-out addresses, %ALL%, and an
    // error text whose line break cannot start a line of its own.
    {"all.eml",
     [](MessageTest&, JobRec& J) {
         J.Critical = true;
         J.ErrorText = S("Disk full\r\nATT=/etc/passwd,DEL=YES");
         J.AbEojTo = S("ops,boss");
         J.AbEojMsg = {S("PAYROLL FAILED"), S("%ALL%"), S(""), S(""), S("Critical: %critical%")};
     },
     true},
    // Included files: a filtered listing, a name with a date format, a missing
    // file and an empty one.
    {"include.eml",
     [](MessageTest& t, JobRec& J) {
         t.tmp.write(S("data/listing.txt"),
                     " Volume in drive C is SYS\r\n Directory of C:\\PAY\r\n\r\n"
                     "08/12/2026  10:15    <DIR>          .\r\n"
                     "08-12-2026  10:15            1,234 PAY.TXT\r\n"
                     "               1 File(s)          1,234 bytes\r\n"
                     "/data/pay:\r\n");
         t.tmp.write(S("data/report_20261208.txt"), "Total\t42~\r\n\r\nend\r\n");
         t.tmp.write(S("data/empty.txt"), "");
         J.EojMsg = {S("Reports"), t.tmp.path(S("data/listing.txt")), t.tmp.path(S("data/report_&yyyymmdd&.txt")),
                     t.tmp.path(S("data/missing.txt")), t.tmp.path(S("data/empty.txt"))};
         J.EojFlags = {S(""), S("10010"), S("11000"), S("10000"), S("10000")};
     },
     false},
    // Attachments without deferral: the file itself, found by a wildcard, with
    // DEL=YES when marked; a missing one; a path with a comma.
    {"attach.eml",
     [](MessageTest& t, JobRec& J) {
         t.tmp.write(S("data/b.csv"), "b");
         t.tmp.write(S("data/a.csv"), "a");
         t.tmp.write(S("data/x,y.txt"), "xy");
         J.EojMsg = {S("Files"), t.tmp.path(S("data/*.csv")), t.tmp.path(S("data/none.pdf")),
                     t.tmp.path(S("data/x,y.txt")), S("See attached")};
         J.EojFlags = {S(""), S("10101"), S("10100"), S("10100"), S("00000")};
     },
     false},
    // A deferred message: the stamped name and copies of the attachments.
    {"deferred.eml",
     [](MessageTest& t, JobRec& J) {
         t.tmp.write(S("data/report.txt"), "r");
         J.DeferEojMins = 30;
         J.EojMsg = {S("Later"), t.tmp.path(S("data/report.txt")), t.tmp.path(S("data/report.txt")), S(""), S("")};
         J.EojFlags = {S(""), S("10101"), S("10100"), S("00000"), S("00000")};
     },
     false},
    // The address template puts name and address in place in one pass.
    {"template.eml",
     [](MessageTest&, JobRec& J) {
         G.gEmailAddrFormat = S("Name <Address>");
         J.EojTo = S("smith,\"boss\"");
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Message, GoldenTest, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                             return QFileInfo(QString::fromLatin1(info.param.golden)).baseName().toStdString();
                         });

TEST_F(MessageTest, NamesMessagesAfterTheJobPastEveryTakenName) {
    struct Case {
        const char* job;
        int defer;
        QStringList existing;
        const char* expected;
    };
    const Case cases[] = {
        {"AB", 0, {}, "ABxx0000"},
        {"AB", 0, {S("ABxx0000.eml")}, "ABxx0001"},
        {"AB", 0, {S("ABxx0000.DON"), S("abxx0001.err"), S("ABxx0002.$$$")}, "ABxx0003"},
        {"AB", 0, {S("ABxx00000.eml"), S("ABxx0000LOG")}, "ABxx0000"},
        {"PAYROLL", 30, {}, "PAYR0000.202612081045"},
        // A deferred message of another minute holds the same name before its stamp.
        {"PAYROLL", 30, {S("PAYR0000.202612081015.eml")}, "PAYR0001.202612081045"},
        {"PAYROLL", 0, {S("PAYR0000.202612081015.ERR")}, "PAYR0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ClearMessages();
        for (const QString& f : c.existing) tmp.write(S("msgs/") + f, "x");
        EXPECT_EQ(MessageFileName(QString::fromLatin1(c.job), c.defer), QString::fromLatin1(c.expected));
    }
    // A dummy run dated weeks ahead stamps the real present moment: the
    // e-mailer holds the message by its own clock.
    G.gDummyRun = true;
    G.gRunDate = DateVal::fromDate(2027, 1, 20);
    ClearMessages();
    EXPECT_EQ(MessageFileName(S("PAYROLL"), 30), S("PAYR0000.202612081045"));
    G.gDummyRun = false;
}

TEST_F(MessageTest, TwoDeferredMessagesOfOneJobNeverShareTheirErrorName) {
    Job().DeferEojMins = 5;
    Send();
    clock.advance(60);
    Send();
    QStringList eml = Files(S("msgs"));
    ASSERT_EQ(eml.size(), 2);
    EXPECT_EQ(eml, QStringList({S("PAYR0000.202612081020.eml"), S("PAYR0001.202612081021.eml")}));
}

TEST_F(MessageTest, ReadsAddressesFromBooksAndTemplates) {
    tmp.write(S("books/blank.adr"), "\r\nsecond@example.com\r\n");
    tmp.write(S("books/Quoted.adr"), "\"a,b@example.com\",\"Smith, Jane\"\r\n");
    struct Case {
        const char* name;
        int line;
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"ops", 1, "Address", "ops@example.com"},
        {"  ops  ", 2, "Address", "oncall@example.com"},
        {"boss", 2, "Address", "Could not generate email address for boss."},
        {"nobody", 1, "Address", "Could not generate email address for nobody."},
        {"OPS", 1, "ADDRESS", "ops@example.com"},  // names without regard to case
        {"ops", 1, "NAME <ADDRESS>", "Operations Desk <ops@example.com>"},
        {"smith", 1, "name <address>", "Jane Surname <j.surname@example.com>"},
        {"smith", 1, "ADDRESS (NAME)", "j.surname@example.com (Jane Surname)"},
        {"ops", 1, "Name only", "Operations Desk only"},
        {"ops", 1, "<mail>", "Could not generate email address for ops."},
        {"blank", 1, "Address", ""},  // a blank line counts as a line
        {"blank", 2, "Address", "second@example.com"},
        {"quoted", 1, "Name: Address", "Smith, Jane: a,b@example.com"},
        {"../books/ops", 1, "Address", "Could not generate email address for ../books/ops."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        G.gEmailAddrFormat = QString::fromLatin1(c.format);
        EXPECT_EQ(GetEmailAddr(QString::fromLatin1(c.name), c.line), QString::fromLatin1(c.expected));
    }
}

TEST_F(MessageTest, ReplacesTagsInAnyCaseWithoutRescanning) {
    struct Case {
        const char* text;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"%JOBNAME%|%JN%", "AB      ", "AB      |AB"},
        {"%jobname% %Jn% %JN%", "AB      ", "AB       AB AB"},
        {"no tags", "AB", "no tags"},
        {"%JN%", "%JN%x", "%JN%x"},  // a value holding its tag is not replaced again
        {"%JN%JN%", "A", "AJN%"},
    };
    for (const Case& c : cases) {
        QString text = QString::fromLatin1(c.text);
        ReplaceTag(text, S("%JOBNAME%"), S("%JN%"), QString::fromLatin1(c.value));
        EXPECT_EQ(text, QString::fromLatin1(c.expected)) << c.text;
    }
}

TEST_F(MessageTest, SubstitutesTheScheduleDateIntoFileNames) {
    EXPECT_EQ(VarSub(S("/d/rep_&yyyymmdd&.txt")), S("/d/rep_20261208.txt"));
    EXPECT_EQ(VarSub(S("&dd&_&mm&")), S("08_&mm&"));
    EXPECT_EQ(VarSub(S("/d/rep_&yyyymmdd.txt")), S("/d/rep_&yyyymmdd.txt"));
    G.gDummyRun = true;
    G.gRunDate = At(2026, 3, 1);
    EXPECT_EQ(VarSub(S("rep_&yyyymmdd&")), S("rep_20260301"));
}

TEST_F(MessageTest, SuppressesMessagesWithoutIncludedData) {
    const QString expectedLog =
        S("EOJ message not generated for job PAYROLL.  All include files empty or non-existent");
    const QString empty = tmp.write(S("data/empty.txt"), "");
    const QString attachment = tmp.write(S("data/a.txt"), "a");
    struct Case {
        const char* what;
        std::array<QString, 5> msg;
        std::array<QString, 5> flags;
        bool written;
    };
    const Case cases[] = {
        {"text only", {S("s"), S("hello"), S(""), S(""), S("")}, {S(""), S("00000"), S(""), S(""), S("")}, false},
        {"empty and missing includes",
         {S("s"), empty, tmp.path(S("data/none.txt")), S(""), S("")},
         {S(""), S("10000"), S("10000"), S(""), S("")},
         false},
        // Only a line read from an include file counts as data.
        {"an attachment", {S("s"), attachment, S(""), S(""), S("")}, {S(""), S("10100"), S(""), S(""), S("")}, false},
        {"an attachment and an included line",
         {S("s"), attachment, attachment, S(""), S("")},
         {S(""), S("10100"), S("10000"), S(""), S("")},
         true},
    };
    Job().SuppNoBody = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(G.gLogFile);
        Send(c.msg, c.flags);
        EXPECT_EQ(QDir(G.gEmailPath).entryList(QDir::Files).size(), c.written ? 1 : 0);
        const QStringList log = LogLines();
        if (c.written) {
            EXPECT_TRUE(log.isEmpty());
        } else {
            ASSERT_EQ(log.size(), 1);
            EXPECT_TRUE(log[0].endsWith(expectedLog)) << log[0].toStdString();
        }
        ClearMessages();
    }
}

TEST_F(MessageTest, CancelDeletesMarkedFilesAndCopiesButNoOtherFile) {
    const QString report = tmp.write(S("data/report.txt"), "r");
    const QString keep = tmp.write(S("data/keep.txt"), "k");
    const QString cancel = tmp.write(S("data/cancel.txt"), "line\r\nplease $Cancel this\r\n");
    const QString later = tmp.write(S("data/later.txt"), "more\r\n");
    Job().DeferEojMins = 10;
    // The cancel sits in the third file; a later file does not undo it.
    Send({S("s"), report, keep, cancel, later}, {S(""), S("10101"), S("10100"), S("10001"), S("10000")});
    EXPECT_TRUE(Files(S("msgs")).isEmpty());
    EXPECT_TRUE(Files(S("att")).isEmpty());
    EXPECT_FALSE(QFile::exists(report));
    EXPECT_FALSE(QFile::exists(cancel));
    EXPECT_TRUE(QFile::exists(keep));
    EXPECT_TRUE(QFile::exists(later));
    ASSERT_EQ(LogLines().size(), 1);
    EXPECT_TRUE(LogLines()[0].endsWith(S("All include files empty or non-existent")));
}

TEST_F(MessageTest, DeletesIncludedFilesAfterUseAndLeavesAttachmentsToTheMailer) {
    const QString inc = tmp.write(S("data/inc.txt"), "hello\r\n");
    const QString att = tmp.write(S("data/att.txt"), "a");
    Send({S("s"), inc, att, S(""), S("")}, {S(""), S("10001"), S("10101"), S(""), S("")});
    const QString text = QString::fromUtf8(Message());
    EXPECT_TRUE(text.contains(S("BODY=hello~\r\n")));
    EXPECT_TRUE(text.contains(S("ATT=") + QFileInfo(att).absoluteFilePath() + S(",DEL=YES\r\n")));
    EXPECT_FALSE(QFile::exists(inc));
    EXPECT_TRUE(QFile::exists(att));
}

TEST_F(MessageTest, FailedCopyIsLoggedAndTheFileItselfIsSentAndKept) {
    const QString report = tmp.write(S("data/report.txt"), "r");
    G.gEmailAttPath = tmp.path(S("no-such-folder"));
    Job().DeferEojMins = 10;
    Send({S("s"), report, S(""), S(""), S("")}, {S(""), S("10101"), S(""), S(""), S("")});
    const QString text = QString::fromUtf8(Message());
    EXPECT_TRUE(text.contains(S("\r\nATT=") + report + S("\r\n"))) << text.toStdString();
    EXPECT_TRUE(QFile::exists(report));
    ASSERT_EQ(LogLines().size(), 1);
    EXPECT_TRUE(
        LogLines()[0].contains(S("EOJ message for job PAYROLL: attachment \"") + report + S("\" could not be copied")));
}

TEST_F(MessageTest, UnwritableMessageFolderIsLoggedWithoutAskingOrDeleting) {
    const QString inc = tmp.write(S("data/inc.txt"), "hello\r\n");
    G.gEmailPath = tmp.path(S("gone"));
    Send({S("s"), inc, S(""), S(""), S("")}, {S(""), S("10001"), S(""), S(""), S("")});
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(inc));
    ASSERT_EQ(LogLines().size(), 1);
    EXPECT_TRUE(LogLines()[0].endsWith(S("EOJ message not generated for job PAYROLL.  Cannot open file \"") +
                                       tmp.path(S("gone/PAYR0000.$$$")) + S("\": No such file or directory")));
}

// A message folder on a full disk: the run log says which file and why, no
// part of the message is left for the e-mailer, and the files the message
// would have deleted stay.
TEST_F(MessageTest, AFullDiskLeavesNoHalfMessageAndSaysWhy) {
    SmallDisk disk(256 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    const QString inc = tmp.write(S("data/inc.txt"), "hello\r\n");
    G.gEmailPath = disk.path(S("msgs"));
    QDir().mkpath(G.gEmailPath);
    disk.fill();
    Send({S("s"), inc, S(""), S(""), S("")}, {S(""), S("10001"), S(""), S(""), S("")});
    ASSERT_EQ(LogLines().size(), 1);
    EXPECT_TRUE(LogLines()[0].endsWith(S("EOJ message not generated for job PAYROLL.  Cannot write \"") +
                                       disk.path(S("msgs/PAYR0000.$$$")) + S("\": No space left on device")))
        << LogLines()[0].toStdString();
    EXPECT_EQ(QDir(G.gEmailPath).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_TRUE(QFile::exists(inc));
}

TEST_F(MessageTest, DummyRunDatesTheFooterWithTheRunDate) {
    G.gDummyRun = true;
    G.gRunDate = At(2026, 3, 1);
    Send();
    const QString text = QString::fromUtf8(Message());
    EXPECT_TRUE(text.contains(S("BODY=Date:         Sunday 1 Mar 2026~\r\nBODY=Time:         10:15:30~\r\n")));
}

}  // namespace
