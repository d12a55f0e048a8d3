#include "mrvdummy/dummyargs.h"
#include "common/cmdline.h"

#include "common/getfield.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Trimmed GetField fields up to the first empty one: how the operands are read
// when no value is quoted right after its "=".
QStringList GetFieldOperands(const QString& line) {
    QStringList out;
    for (int i = 1;; ++i) {
        const QString f = GetField(line, i, QLatin1Char('"'), QLatin1Char(',')).trimmed();
        if (f.isEmpty()) return out;
        out.append(f);
    }
}

QStringList Texts(const QList<DummyOperand>& ops) {
    QStringList out;
    for (const DummyOperand& op : ops) out.append(op.text);
    return out;
}

TEST(DummyOperands, SplitAgreesWithCompanionSplitterWithoutQuotedValues) {
    const char* lines[] = {
        "JN=A,RES=S,GO=Y",
        " JN = A , RES=S ,GO=Y ",
        "\"CL=a,b\",RES=F",
        "\"CL=say \"\"hi\"\"\"junk,GO=Y",
        "JN=A,,RES=F",
        "JN=A,   ,RES=F",
        "\"\",JN=A",
        "JN=A,\"unclosed,RES=F",
        "NOEQUALS,X=1=2",
        "",
        ",JN=A",
        "JN=A,",
        "CL=a\"b,c",
    };
    for (const char* l : lines) EXPECT_EQ(Texts(SplitDummyOperands(S(l))), GetFieldOperands(S(l))) << l;
}

struct QuotedCase {
    const char* line;
    const char* keyword;  // of the operand checked
    const char* value;
    int count;  // operands read in all
};

TEST(DummyOperands, QuotedValueAfterEqualsArrivesWhole) {
    const QuotedCase cases[] = {
        {"CL=\"run.sh a,b\",RES=S", "CL", "run.sh a,b", 2},
        {"CL=\"say \"\"hi\"\", x\",GO=Y", "CL", "say \"hi\", x", 2},
        {"CL=\"a,b\"junk,RES=F", "CL", "a,b", 2},
        {"CL=\"abc,RES=F", "CL", "abc,RES=F", 1},
        {"CL=\"  padded ,\"", "CL", "  padded ,", 1},
        {"CL=\"\",RES=S", "CL", "", 2},
        {"  cl=\"x,y\"  ,RES=S", "CL", "x,y", 2},
        {"JN=A,CL=\"x,y\",F=\"DAILY, MON\"", "F", "DAILY, MON", 3},
        // A blank between "=" and the quote leaves the quote an ordinary character.
        {"CL= \"a,b\"", "CL", " \"a", 2},
    };
    for (const QuotedCase& c : cases) {
        const QList<DummyOperand> ops = SplitDummyOperands(S(c.line));
        EXPECT_EQ(ops.size(), c.count) << c.line;
        bool seen = false;
        for (const DummyOperand& op : ops)
            if (op.keyword == S(c.keyword)) {
                EXPECT_EQ(op.value, S(c.value)) << c.line;
                seen = true;
            }
        EXPECT_TRUE(seen) << c.line;
    }
}

TEST(DummyOperands, SchedulerModelLineArrivesWhole) {
    const DummyOperands d =
        ParseDummyCommandLine(S("JN=PAYROLL,CL=\"/bin/sh -c run.sh a,b\",F=\"WD1, WD2\",OTT=ON,RES=S,GO=Y"));
    EXPECT_EQ(d.jobName, S("PAYROLL"));
    EXPECT_EQ(d.cmdLine, S("/bin/sh -c run.sh a,b"));
    EXPECT_EQ(d.frequency, S("WD1, WD2"));
    EXPECT_TRUE(d.onTopTimer);
    EXPECT_EQ(d.result, DummyResult::Succeed);
    EXPECT_EQ(d.runForSecs, 0);
    EXPECT_TRUE(d.rejected.isEmpty()) << d.rejected.join(S("|")).toStdString();
    EXPECT_TRUE(d.startsAtOnce());
}

TEST(DummyOperands, EveryKeywordAndAlias) {
    const char* jobNames[] = {"JOBNAME", "JN", "J", "jn"};
    for (const char* k : jobNames) EXPECT_EQ(ParseDummyCommandLine(S(k) + S("=Pay01")).jobName, S("Pay01")) << k;
    const char* cmdLines[] = {"CMDLINE", "CL", "C"};
    for (const char* k : cmdLines) EXPECT_EQ(ParseDummyCommandLine(S(k) + S("=run x")).cmdLine, S("run x")) << k;
    const char* freqs[] = {"FREQUENCY", "FREQ", "F"};
    for (const char* k : freqs) EXPECT_EQ(ParseDummyCommandLine(S(k) + S("=DAILY")).frequency, S("DAILY")) << k;
    const char* onTops[] = {"ONTOPTIMER", "ONTOP", "OTT"};
    for (const char* k : onTops) {
        EXPECT_TRUE(ParseDummyCommandLine(S(k) + S("=ON")).onTopTimer) << k;
        EXPECT_FALSE(ParseDummyCommandLine(S(k) + S("=OFF")).onTopTimer) << k;
    }
    const char* runFors[] = {"RUNFORSECS", "RUNFOR", "RUN", "RFS"};
    for (const char* k : runFors) EXPECT_EQ(ParseDummyCommandLine(S(k) + S("=10")).runForSecs, 10) << k;
    const char* results[] = {"RESULT", "RES"};
    for (const char* k : results) EXPECT_EQ(ParseDummyCommandLine(S(k) + S("=F")).result, DummyResult::Fail) << k;
    EXPECT_FALSE(ParseDummyCommandLine(S("JN=A")).onTopTimer);
}

struct ValueCase {
    const char* line;
    bool go;
    bool onTop;
    int runFor;
    DummyResult result;
    const char* rejected;  // joined by "|"
};

TEST(DummyOperands, ValuesAndRejections) {
    const ValueCase cases[] = {
        {"GO=YES", true, false, 0, DummyResult::None, ""},
        {"GO=y", true, false, 0, DummyResult::None, ""},
        {"GO=OUI", true, false, 0, DummyResult::None, ""},
        {"GO=O", true, false, 0, DummyResult::None, ""},
        {"GO=JAWOHL", true, false, 0, DummyResult::None, ""},
        {"GO=JA", true, false, 0, DummyResult::None, ""},
        {"GO=J", true, false, 0, DummyResult::None, ""},
        {"GO=Y,GO=NEIN", false, false, 0, DummyResult::None, ""},
        {"GO=Y,GO=non", false, false, 0, DummyResult::None, ""},
        {"GO=MAYBE", false, false, 0, DummyResult::None, "GO=MAYBE"},
        {"GO", false, false, 0, DummyResult::None, "GO"},
        {"OTT=off", false, false, 0, DummyResult::None, ""},
        {"OTT=", false, true, 0, DummyResult::None, ""},
        {"OTT=ON,OTT=OFF", false, false, 0, DummyResult::None, ""},
        {"RFS=10", false, false, 10, DummyResult::None, ""},
        {"RFS=1", false, false, 1, DummyResult::None, ""},
        {"RFS=3600", false, false, 3600, DummyResult::None, ""},
        {"RFS=3601", false, false, 60, DummyResult::None, ""},
        {"RFS=5000", false, false, 60, DummyResult::None, ""},
        {"RFS=0", false, false, 60, DummyResult::None, ""},
        {"RFS=-5", false, false, 60, DummyResult::None, ""},
        {"RFS=abc", false, false, 60, DummyResult::None, ""},
        {"RFS", false, false, 60, DummyResult::None, ""},
        {"RFS=15s", false, false, 15, DummyResult::None, ""},
        {"RES=SUCCEED", false, false, 0, DummyResult::Succeed, ""},
        {"RES=s", false, false, 0, DummyResult::Succeed, ""},
        {"RES=FAIL", false, false, 0, DummyResult::Fail, ""},
        {"RES=F,RES=BOOM", false, false, 0, DummyResult::Fail, "RES=BOOM"},
        {"XYZ=1,GO=Y", true, false, 0, DummyResult::None, "XYZ=1"},
        {"GO=Y,XYZ=\"1,2\",=3,ABC", true, false, 0, DummyResult::None, "XYZ=\"1,2\"|=3|ABC"},
        {"CL =x", false, false, 0, DummyResult::None, "CL =x"},
    };
    for (const ValueCase& c : cases) {
        const DummyOperands d = ParseDummyCommandLine(S(c.line));
        EXPECT_EQ(d.go, c.go) << c.line;
        EXPECT_EQ(d.onTopTimer, c.onTop) << c.line;
        EXPECT_EQ(d.runForSecs, c.runFor) << c.line;
        EXPECT_EQ(d.result, c.result) << c.line;
        EXPECT_EQ(d.rejected.join(S("|")), S(c.rejected)) << c.line;
        // Any rejected operand keeps the dummy waiting for Go.
        EXPECT_EQ(d.startsAtOnce(), c.go && d.rejected.isEmpty()) << c.line;
    }
    EXPECT_FALSE(ParseDummyCommandLine(S("XYZ=1,GO=Y")).startsAtOnce());
}

TEST(DummyOperands, LaterOperandOverridesAndEmptyFieldEndsTheLine) {
    const DummyOperands d = ParseDummyCommandLine(S("JN=A,J=B,RES=S,RES=F,RFS=5,RFS=7"));
    EXPECT_EQ(d.jobName, S("B"));
    EXPECT_EQ(d.result, DummyResult::Fail);
    EXPECT_EQ(d.runForSecs, 7);
    const DummyOperands e = ParseDummyCommandLine(S("JN=A,,RES=F,XYZ=1"));
    EXPECT_EQ(e.result, DummyResult::None);
    EXPECT_TRUE(e.rejected.isEmpty());
}

struct EnvCase {
    const char* what;
    QByteArray pid;  // MRV_CMDLINE_PID
    bool fromEnv;
};

TEST(DummyCommandLine, TakenFromEnvironmentOnlyForOwnPid) {
    const QByteArray own = QByteArray::number(qint64(::getpid()));
    const EnvCase cases[] = {
        {"own pid", own, true},
        {"own pid with blanks", " " + own + " ", true},
        {"parent's pid", QByteArray::number(qint64(::getppid())), false},
        {"empty pid", "", false},
        {"not a number", "abc", false},
        {"pid with a suffix", own + "0", false},
    };
    const QStringList args = {S("JN=A,CL=a"), S("b,GO=Y")};
    for (const EnvCase& c : cases) {
        ScopedEnv cmd("MRV_CMDLINE", "JN=A,CL=\"a,b\",GO=Y");
        ScopedEnv pid("MRV_CMDLINE_PID", c.pid);
        const QString line = ProgramCommandLine(args);
        EXPECT_EQ(line, c.fromEnv ? S("JN=A,CL=\"a,b\",GO=Y") : S("JN=A,CL=a b,GO=Y")) << c.what;
        if (c.fromEnv) {
            EXPECT_EQ(ParseDummyCommandLine(line).cmdLine, S("a,b"));
        }
    }
}

TEST(DummyCommandLine, ErrorTextsHoldTheSchedulersDefaultErrorText) {
    EXPECT_EQ(RunTimeErrorText(13), S("Run-time error '13': Type mismatch"));
    EXPECT_EQ(RunTimeErrorText(5), S("Run-time error '5': Invalid procedure call or argument"));
}

}  // namespace
