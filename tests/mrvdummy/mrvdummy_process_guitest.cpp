// MRVDummy run as a real child process on the offscreen platform, as the
// scheduler runs it in a dummy run: its exit status and standard error are all
// that a scheduler without a display sees of it.

#include "platform/children.h"
#include "platform/start.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

namespace {

enum class CmdFrom {
    Args,        // the operands as arguments only
    OwnPid,      // MRV_CMDLINE tagged with the child's own pid, as the launcher sets it
    ForeignPid,  // MRV_CMDLINE tagged with another process's pid
};

struct RunCase {
    const char* what;
    const char* args;  // one argument
    const char* envLine;
    CmdFrom from;
    bool noDisplay;  // no platform named and no display: the program picks offscreen itself
    int exitCode;    // -1: still running after the wait (the dummy waits for the operator)
    const char* stderrHas;
};

TEST(MRVDummyProcess, EndsAsItsOperandsAsk) {
    const QString bin = BuiltProgram("MRVDummy");
    ASSERT_TRUE(QFileInfo(bin).isExecutable()) << bin.toStdString();
    const RunCase cases[] = {
        {"success", "JN=A,RES=S,RFS=1,GO=Y", "", CmdFrom::Args, false, 0, ""},
        {"failure", "JN=A,RES=F,RFS=1,GO=Y", "", CmdFrom::Args, false, 13, "Run-time error '13': Type mismatch"},
        {"failure without a display", "JN=A,RES=F,RFS=1,GO=Y", "", CmdFrom::Args, true, 13,
         "Run-time error '13': Type mismatch"},
        {"launcher's command line wins", "RES=S,RFS=1,GO=Y", "RES=F,RFS=1,GO=Y", CmdFrom::OwnPid, false, 13,
         "Run-time error '13'"},
        {"an ancestor's command line is ignored", "RES=S,RFS=1,GO=Y", "RES=F,RFS=1,GO=Y", CmdFrom::ForeignPid, false, 0,
         ""},
        // Split at the comma inside the quotes, "RES=F\"" would be rejected and the dummy would wait.
        {"quoted command line with commas", "", "JN=A,CL=\"sh -c 'x,y',RES=F\",RES=S,RFS=1,GO=Y", CmdFrom::OwnPid,
         false, 0, ""},
        {"rejected operand cancels GO", "XYZ=1,RES=S,RFS=1,GO=Y", "", CmdFrom::Args, false, -1, ""},
    };
    for (const RunCase& c : cases) {
        QProcessEnvironment env =
            c.noDisplay ? ProgramEnvironment({{"QT_QPA_PLATFORM", {}}, {"DISPLAY", {}}, {"WAYLAND_DISPLAY", {}}})
                        : ProgramEnvironment({{"QT_QPA_PLATFORM", S("offscreen")}});
        QProcess p;
        QStringList args;
        if (*c.args) args.append(S(c.args));
        if (c.from == CmdFrom::Args) {
            p.setProgram(bin);
            p.setArguments(args);
        } else {
            env.insert(QStringLiteral("MRV_CMDLINE"), S(c.envLine));
            // The shell's pid is the dummy's pid once it execs, so $$ tags the
            // variable for the dummy alone, as the launcher does between fork and exec.
            const QString tag = c.from == CmdFrom::OwnPid ? QStringLiteral("$$") : QStringLiteral("1");
            p.setProgram(QStringLiteral("/bin/sh"));
            p.setArguments(QStringList{QStringLiteral("-c"),
                                       QStringLiteral("MRV_CMDLINE_PID=%1 exec \"$0\" \"$@\"").arg(tag), bin} +
                           args);
        }
        p.setProcessEnvironment(env);
        p.start();
        ASSERT_TRUE(p.waitForStarted(5000)) << c.what;
        if (c.exitCode < 0) {
            EXPECT_FALSE(p.waitForFinished(3000)) << c.what;
            p.kill();
            p.waitForFinished(5000);
            continue;
        }
        ASSERT_TRUE(p.waitForFinished(15000)) << c.what;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(p.exitCode(), c.exitCode) << c.what;
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        if (*c.stderrHas) {
            EXPECT_TRUE(err.contains(S(c.stderrHas))) << c.what << ": " << err.toStdString();
        } else {
            EXPECT_FALSE(err.contains(QStringLiteral("Run-time error"))) << c.what << ": " << err.toStdString();
        }
    }
}

struct LaunchCase {
    const char* operands;
    int exitCode;
};

// Started through the scheduler's launcher, the operands reach the dummy whole
// (a comma inside a quoted command line included) and its ending is read back
// as the scheduler reads it.
TEST(MRVDummyProcess, StartedByTheLauncher) {
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    const LaunchCase cases[] = {
        {"JN=A,CL=\"sh -c 'x,y',RES=F\",RES=S,RFS=1,GO=Y", 0},
        {"JN=A,CL=\"sh -c 'x,y',RES=S\",RES=F,RFS=1,GO=Y", 13},
    };
    for (const LaunchCase& c : cases) {
        ProcessStamp p;
        QString error;
        ASSERT_TRUE(
            LaunchProcess(QuoteArgument(BuiltProgram("MRVDummy")) + QLatin1Char(' ') + S(c.operands), &p, &error))
            << error.toStdString();
        for (int i = 0; i < 150 && ProcessRunning(p); ++i) QThread::msleep(100);
        if (ProcessRunning(p)) {
            TerminateProcessGroup(p);
            ADD_FAILURE() << c.operands << ": still running";
            continue;
        }
        const ProcessExit e = ProcessExitStatus(p);
        EXPECT_EQ(e.how, ProcessExit::How::Exited) << c.operands;
        EXPECT_EQ(e.number, c.exitCode) << c.operands;
    }
}

}  // namespace
