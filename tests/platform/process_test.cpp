#include "platform/children.h"
#include "platform/keepers.h"
#include "platform/procstat.h"
#include "platform/start.h"
#include "tests/support/fulldisk.h"
#include "tests/support/testing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

QStringList L(std::initializer_list<const char*> items) {
    QStringList l;
    for (const char* s : items) l << QString::fromUtf8(s);
    return l;
}

// Polls until done() holds; false when it still does not after five seconds.
template <class Done>
bool Eventually(Done done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        QThread::msleep(10);
    }
    return done();
}

// Polls until the process has ended; false after five seconds.
bool WaitEnded(const ProcessStamp& p) {
    return Eventually([&] { return !ProcessRunning(p); });
}

// Polls until a file has content; its content, "" after five seconds.
QByteArray WaitFile(const QString& path) {
    for (int i = 0; i < 500; ++i) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray b = f.readAll();
            if (b.endsWith('\n')) return b;
        }
        QThread::msleep(10);
    }
    return QByteArray();
}

// An executable shell script in the folder.
QString Script(const TempDir& dir, const QString& name, const QByteArray& body) {
    const QString path = dir.write(name, "#!/bin/sh\n" + body);
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
}

// State letter of /proc/<pid>/stat; 0 when the process is gone.
char ProcState(pid_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray b = f.readAll();
    const qsizetype p = b.lastIndexOf(')');
    return p >= 0 && p + 2 < b.size() ? b.at(p + 2) : 0;
}

// Polls until the process sits unreaped; false after five seconds.
bool WaitZombie(pid_t pid) {
    return Eventually([&] { return ProcState(pid) == 'Z'; });
}

// Polls until the process is gone, reaped; false after five seconds.
bool WaitGone(pid_t pid) {
    return Eventually([&] { return ProcState(pid) == 0; });
}

ProcessStamp Launch(const QString& cmdLine) {
    ProcessStamp p;
    QString error;
    EXPECT_TRUE(LaunchProcess(cmdLine, &p, &error)) << error.toStdString();
    return p;
}

TEST(SplitCommandLine, WordsQuotesAndNoExpansion) {
    struct Case {
        const char* line;
        QStringList words;
    } cases[] = {
        {"prog a b", L({"prog", "a", "b"})},
        {"  prog \t a   b  ", L({"prog", "a", "b"})},
        {"\"/opt/my tools/prog\" \"a b\" c", L({"/opt/my tools/prog", "a b", "c"})},
        {"prog \"say \"\"hi\"\"\" x", L({"prog", "say \"hi\"", "x"})},
        {"prog a\"b c\"d", L({"prog", "ab cd"})},
        {"prog \"\" x", L({"prog", "", "x"})},
        {"prog $HOME *.txt ~ a\\b 'q r'", L({"prog", "$HOME", "*.txt", "~", "a\\b", "'q", "r'"})},
        {"prog \"open quote", L({"prog", "open quote"})},
        {"prog JOB=A,CL=\"x, y\"", L({"prog", "JOB=A,CL=x, y"})},
        {"", QStringList()},
        {"   ", QStringList()},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(QString::fromUtf8(c.line)), c.words) << c.line;
}

TEST(CommandLineTail, RawTextAfterTheProgram) {
    struct Case {
        const char* line;
        const char* tail;
    } cases[] = {
        {"prog a,b \"c d\"", "a,b \"c d\""}, {"\"my prog\" x", "x"}, {"\"a\"\"b\" y", "y"},
        {"  prog   x  y  ", "x  y  "},       {"prog", ""},           {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandLineTail(QString::fromUtf8(c.line)), QString::fromUtf8(c.tail)) << c.line;
}

TEST(CommandProcessorLine, SplitsBackIntoProcessorDashCAndTheCommand) {
    const char* commands[] = {"echo hi", "echo \"a b\" > f", "", "\"", "a\"\"b", "tail\"", "x\ty"};
    for (const char* comspec : {"", "/opt/my shell/sh", "/bin/bash"}) {
        ScopedEnv env("COMSPEC", comspec);
        const QString processor = *comspec ? QString::fromUtf8(comspec) : QStringLiteral("/bin/sh");
        EXPECT_EQ(CommandProcessorPath(), processor);
        for (const char* command : commands) {
            const QString cmd = QString::fromUtf8(command);
            EXPECT_EQ(SplitCommandLine(CommandProcessorLine(cmd)), QStringList({processor, QStringLiteral("-c"), cmd}))
                << comspec << " / " << command;
        }
    }
    EXPECT_EQ(SplitCommandLine(QuoteArgument(QStringLiteral("a \"b\""))), QStringList(QStringLiteral("a \"b\"")));
    EXPECT_EQ(QuoteArgument(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(LaunchProcess, EndingsAreKeptAsExitCodeOrSignal) {
    struct Case {
        QString cmdLine;
        ProcessExit::How how;
        int number;
        const char* text;
    } cases[] = {
        {QStringLiteral("/bin/true"), ProcessExit::How::Exited, 0, "Exit code 0"},
        {QStringLiteral("false"), ProcessExit::How::Exited, 1, "Exit code 1"},
        {CommandProcessorLine(QStringLiteral("exit 3")), ProcessExit::How::Exited, 3, "Exit code 3"},
        {CommandProcessorLine(QStringLiteral("kill -KILL $$")), ProcessExit::How::Signalled, SIGKILL,
         "Signal 9 (SIGKILL)"},
        {CommandProcessorLine(QStringLiteral("kill -TERM $$")), ProcessExit::How::Signalled, SIGTERM,
         "Signal 15 (SIGTERM)"},
    };
    for (const Case& c : cases) {
        const ProcessStamp p = Launch(c.cmdLine);
        ASSERT_TRUE(WaitEnded(p)) << c.cmdLine.toStdString();
        const ProcessExit e = ProcessExitStatus(p);
        EXPECT_EQ(e.how, c.how) << c.cmdLine.toStdString();
        EXPECT_EQ(e.number, c.number) << c.cmdLine.toStdString();
        EXPECT_EQ(e.succeeded(), c.number == 0 && c.how == ProcessExit::How::Exited);
        EXPECT_EQ(ExitStatusText(e), QString::fromUtf8(c.text));
        // Asked again, the same ending: it is kept, not lost with the reaping.
        EXPECT_EQ(ProcessExitStatus(p), e);
    }
}

TEST(ExitStatusText, Texts) {
    using How = ProcessExit::How;
    EXPECT_EQ(ExitStatusText({How::Exited, 255}), QStringLiteral("Exit code 255"));
    EXPECT_EQ(ExitStatusText({How::Signalled, SIGSEGV}), QStringLiteral("Signal 11 (SIGSEGV)"));
    EXPECT_EQ(ExitStatusText({How::Signalled, 200}), QStringLiteral("Signal 200 (unknown)"));
    EXPECT_EQ(ExitStatusText({How::Unknown, 0}), QStringLiteral("Exit status unknown"));
    EXPECT_FALSE(ProcessExit{}.succeeded());
}

TEST(LaunchProcess, ProgramsThatCannotStartLeaveNothingBehind) {
    TempDir dir;
    const QString notExec = dir.write(QStringLiteral("notexec"), "#!/bin/sh\nexit 0\n");
    const QString badFormat = dir.write(QStringLiteral("badformat"), QByteArray("\x01\x02\x03garbage", 10));
    ::chmod(QFile::encodeName(badFormat).constData(), 0755);
    struct Case {
        QString cmdLine;
        const char* reason;
    } cases[] = {
        {QStringLiteral("no-such-program-xyz arg"), "No such file or directory"},
        {dir.path(QStringLiteral("missing")) + QStringLiteral(" arg"), "No such file or directory"},
        {notExec, "Permission denied"},  // exec fails in the child: reported through the pipe
        {badFormat, "Exec format error"},
        {QStringLiteral("   "), "empty command line"},
        {QStringLiteral("\"\" x"), "empty command line"},
    };
    for (const Case& c : cases) {
        ProcessStamp p{4242, 77};
        QString error;
        EXPECT_FALSE(LaunchProcess(c.cmdLine, &p, &error)) << c.cmdLine.toStdString();
        EXPECT_EQ(p, (ProcessStamp{4242, 77})) << "left unchanged";
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
    }
    // The child whose exec failed was reaped at once: no zombie of ours.
    QDir proc(QStringLiteral("/proc"));
    const QString me = QString::number(::getpid());
    for (const QString& entry : proc.entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray b = f.readAll();
        const QList<QByteArray> fields = b.mid(b.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == me.toLatin1()) {
            EXPECT_NE(fields.at(0), "Z") << "zombie child " << entry.toStdString();
        }
    }
}

TEST(LaunchProcess, ExeEndingIsTriedWithoutIt) {
    TempDir dir;
    const QString out = dir.path(QStringLiteral("out"));
    Script(dir, QStringLiteral("tool"), "echo \"$1\" > \"$2\"\n");
    const ProcessStamp p = Launch(dir.path(QStringLiteral("tool.EXE")) + QStringLiteral(" direct ") + out);
    EXPECT_EQ(WaitFile(out), "direct\n");
    WaitEnded(p);

    QFile::remove(out);
    ScopedEnv path("PATH", QFile::encodeName(dir.path()) + ":/usr/bin:/bin");
    const ProcessStamp q = Launch(QStringLiteral("tool.exe viapath ") + out);
    EXPECT_EQ(WaitFile(out), "viapath\n");
    WaitEnded(q);
}

TEST(LaunchProcess, ChildGetsItsCommandLineArgvAndPid) {
    TempDir dir;
    const QString out = dir.path(QStringLiteral("out"));
    const QString script = Script(dir, QStringLiteral("show"),
                                  "printf '%s|%s|%s|%s|%s\\n' \"$MRV_CMDLINE\" \"$MRV_CMDLINE_PID\" \"$$\" \"$2\" "
                                  "\"$(env | grep -c '^MRV_CMDLINE')\" > \"$1\"\n");
    // Values meant for an ancestor must never reach the child.
    ScopedEnv inherited("MRV_CMDLINE", "meant for the parent");
    ScopedEnv inheritedPid("MRV_CMDLINE_PID", "1");
    const QString tail = out + QStringLiteral(" \"a, \"\"b\"\"\" JOB=X,CL=\"c d\"");
    const ProcessStamp p = Launch(script + QStringLiteral("  ") + tail);
    const QList<QByteArray> got = WaitFile(out).trimmed().split('|');
    ASSERT_EQ(got.size(), 5);
    EXPECT_EQ(QString::fromUtf8(got.at(0)), tail);
    EXPECT_EQ(got.at(1), QByteArray::number(p.pid));
    EXPECT_EQ(got.at(2), QByteArray::number(p.pid));
    EXPECT_EQ(got.at(3), "a, \"b\"");
    EXPECT_EQ(got.at(4), "2");  // MRV_CMDLINE and MRV_CMDLINE_PID once each
    WaitEnded(p);
}

TEST(LaunchProcess, InterpreterCommandsGetNoCommandLineVariables) {
    // bash runs the last command of "-c" in place (same pid), so a program it
    // starts must not find the interpreter's line tagged with its own pid.
    TempDir dir;
    const QString out = dir.path(QStringLiteral("out"));
    const QString script = Script(dir, QStringLiteral("show"),
                                  "printf '%s|%s|%s\\n' \"${MRV_CMDLINE-unset}\" \"${MRV_CMDLINE_PID-unset}\" \"$$\" "
                                  "> \"$1\"\n");
    ScopedEnv inherited("MRV_CMDLINE", "meant for the parent");
    for (const char* shell : {"/bin/sh", "/bin/bash"}) {
        if (!QFile::exists(QString::fromLatin1(shell))) continue;
        QFile::remove(out);
        ScopedEnv comspec("COMSPEC", shell);
        const ProcessStamp p = Launch(CommandProcessorLine(QuoteArgument(script) + QLatin1Char(' ') + out));
        const QList<QByteArray> got = WaitFile(out).trimmed().split('|');
        ASSERT_EQ(got.size(), 3) << shell;
        EXPECT_EQ(got.at(0), "unset") << shell;
        EXPECT_EQ(got.at(1), "unset") << shell;
        WaitEnded(p);
    }
}

TEST(LaunchProcess, OwnGroupNullInputAndNoInheritedFiles) {
    TempDir dir;
    const QString out = dir.path(QStringLiteral("out"));
    // A file of ours opened without close-on-exec must not reach the job.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);
    const QString script = Script(dir, QStringLiteral("show"),
                                  "in=$(readlink /proc/$$/fd/0); "
                                  "if [ -e /proc/$$/fd/$2 ]; then fd=open; else fd=closed; fi; "
                                  "data=$(cat); echo \"$in|$fd|$data\" > \"$1\"; sleep 30\n");
    const ProcessStamp p =
        Launch(QuoteArgument(script) + QLatin1Char(' ') + out + QLatin1Char(' ') + QString::number(leaked));
    ::close(leaked);
    EXPECT_EQ(WaitFile(out), "/dev/null|closed|\n");
    EXPECT_EQ(::getpgid(p.pid), p.pid);
    EXPECT_NE(::getpgid(p.pid), ::getpgrp());
    EXPECT_TRUE(ProcessRunning(p));
    EXPECT_TRUE(TerminateProcessGroup(p));
    ASSERT_TRUE(WaitEnded(p));
    EXPECT_EQ(ExitStatusText(ProcessExitStatus(p)), QStringLiteral("Signal 15 (SIGTERM)"));
}

TEST(TerminateProcessGroup, ReachesTheWholeGroupAndRefusesOthers) {
    TempDir dir;
    const QString out = dir.path(QStringLiteral("out"));
    const ProcessStamp p =
        Launch(CommandProcessorLine(QStringLiteral("sleep 30 & echo $! > ") + out + QStringLiteral("; wait")));
    const pid_t grandchild = WaitFile(out).trimmed().toInt();
    ASSERT_GT(grandchild, 0);

    // Refused: no group, everything, our own group, a pid reused by another process.
    EXPECT_FALSE(TerminateProcessGroup(ProcessStamp{0, 0}));
    EXPECT_FALSE(TerminateProcessGroup(ProcessStamp{1, 0}));
    EXPECT_FALSE(TerminateProcessGroup(ProcessStamp{::getpgrp(), 0}));
    EXPECT_FALSE(TerminateProcessGroup(ProcessStamp{p.pid, p.startTime + 1}));
    EXPECT_TRUE(ProcessRunning(p));

    EXPECT_TRUE(TerminateProcessGroup(p));
    ASSERT_TRUE(WaitEnded(p));
    const bool gone = Eventually([&] {
        const char s = ProcState(grandchild);
        return s == 0 || s == 'Z';
    });
    EXPECT_TRUE(gone) << "the job's own child ended with it";
}

TEST(ProcessRunning, StartTimeTellsAReusedPidApart) {
    const ProcessStamp p = Launch(QStringLiteral("sleep 30"));
    std::uint32_t start = 0;
    ASSERT_TRUE(ProcessStartTime(p.pid, &start));
    EXPECT_EQ(start, p.startTime);
    EXPECT_TRUE(ProcessRunning(p));
    // Same pid, other start time: a process that merely reuses the pid.
    EXPECT_FALSE(ProcessRunning(ProcessStamp{p.pid, p.startTime + 1}));
    EXPECT_EQ(ProcessExitStatus(p).how, ProcessExit::How::Unknown) << "still running";

    // A process we did not start (as after a restart): present while it runs
    // with the recorded start time.
    const pid_t parent = ::getppid();
    std::uint32_t parentStart = 0;
    ASSERT_TRUE(ProcessStartTime(parent, &parentStart));
    EXPECT_TRUE(ProcessRunning(ProcessStamp{parent, parentStart}));
    EXPECT_FALSE(ProcessRunning(ProcessStamp{parent, parentStart ^ 0x5a5a}));
    EXPECT_EQ(ProcessExitStatus(ProcessStamp{parent, parentStart ^ 0x5a5a}).how, ProcessExit::How::Unknown);
    EXPECT_FALSE(ProcessRunning(ProcessStamp{0, 0}));
    EXPECT_FALSE(ProcessRunning(ProcessStamp{-5, 0}));

    ::kill(p.pid, SIGKILL);
    ASSERT_TRUE(WaitEnded(p));
    // The pid is free now: nothing runs under it with that start time.
    std::uint32_t none = 0;
    EXPECT_FALSE(ProcessStartTime(p.pid, &none) && none == p.startTime);
}

TEST(LaunchProcess, ChildrenNobodyFollowsAreReaped) {
    const ProcessStamp p = Launch(QStringLiteral("/bin/true"));
    // Wait until it has exited and sits unreaped.
    ASSERT_TRUE(WaitZombie(p.pid));
    // The next start reaps it; its ending is still known.
    const ProcessStamp q = Launch(QStringLiteral("/bin/true"));
    EXPECT_NE(ProcState(p.pid), 'Z');
    EXPECT_TRUE(ProcessExitStatus(p).succeeded());
    WaitEnded(q);
}

TEST(ChildrenLook, OneLookAnswersForEveryChildUnlessAStrangerWaitsToBeReaped) {
    // (A start reaps what ended before it: the quick one is started last.)
    const ProcessStamp slow = Launch(QStringLiteral("sleep 30"));
    const ProcessStamp quick = Launch(QStringLiteral("/bin/true"));
    ASSERT_TRUE(WaitZombie(quick.pid));
    {
        const ChildrenLook look;
        EXPECT_EQ(ProcState(quick.pid), 0) << "the look reaps what had ended";
        EXPECT_FALSE(ProcessRunning(quick));
        EXPECT_TRUE(ProcessExitStatus(quick).succeeded());
        EXPECT_TRUE(ProcessRunning(slow));
        ::kill(slow.pid, SIGKILL);
        ASSERT_TRUE(WaitZombie(slow.pid));
        EXPECT_TRUE(ProcessRunning(slow)) << "ended after the look: seen by the next one";
    }
    EXPECT_FALSE(ProcessRunning(slow));
    EXPECT_EQ(ProcessExitStatus(slow), (ProcessExit{ProcessExit::How::Signalled, SIGKILL}));

    // A child that is not ours waits to be reaped: each child is asked.
    const pid_t stranger = ::fork();
    if (stranger == 0) ::_exit(0);
    ASSERT_TRUE(WaitZombie(stranger));
    const ProcessStamp other = Launch(QStringLiteral("sleep 30"));
    const ProcessStamp done = Launch(QStringLiteral("/bin/true"));
    ASSERT_TRUE(WaitZombie(done.pid));
    {
        const ChildrenLook look;
        EXPECT_FALSE(ProcessRunning(done));
        EXPECT_TRUE(ProcessRunning(other));
        ::kill(other.pid, SIGKILL);
        ASSERT_TRUE(WaitZombie(other.pid));
        EXPECT_FALSE(ProcessRunning(other));
    }
    // The next start still reaps ours, and leaves the stranger to its parent.
    const ProcessStamp last = Launch(QStringLiteral("/bin/true"));
    ASSERT_TRUE(WaitZombie(last.pid));
    Launch(QStringLiteral("/bin/true"));
    EXPECT_NE(ProcState(last.pid), 'Z');
    EXPECT_EQ(ProcState(stranger), 'Z');
    EXPECT_EQ(::waitpid(stranger, nullptr, 0), stranger);
}

// Polls until the keeper has recorded the job's ending; false after five seconds.
bool WaitKept(const QString& folder, const HeldProcess& h) {
    return Eventually([&] { return !KeptProcessRunning(folder, h.stamp, h.keeper); });
}

// A job under its keeper is the program itself (own pid and group, its
// command line tagged with its pid, /dev/null for input) and runs only once
// released; the keeper records every kind of ending, and nothing when it is
// killed itself. The ending of a released job reaches this program through
// the keeper's socket and leaves no file; the keeper waits, holding the job's
// exit status, until it hears that the ending is kept.
TEST(LaunchHeld, TheKeeperHoldsRunsAndRecordsTheJob) {
    TempDir dir;
    const QString ends = dir.path(QStringLiteral("ends"));
    const QString out = dir.path(QStringLiteral("out"));
    const QString script = Script(dir, QStringLiteral("show"),
                                  "echo \"$MRV_CMDLINE|$MRV_CMDLINE_PID|$$|$(readlink /proc/$$/fd/0)\" > \"$1\"; "
                                  "exit 5\n");
    HeldProcess h;
    QString error;
    ASSERT_TRUE(LaunchHeld(script + QLatin1Char(' ') + out, ends, &h, &error)) << error.toStdString();
    EXPECT_NE(h.keeper, h.stamp.pid);
    EXPECT_EQ(::getpgid(h.stamp.pid), h.stamp.pid);
    EXPECT_LE(std::llabs(ProcessStartMoment(h.stamp.startTime) - QDateTime::currentSecsSinceEpoch()), 2);
    QThread::msleep(200);
    EXPECT_FALSE(QFile::exists(out)) << "a held job must not run";
    EXPECT_TRUE(KeptProcessRunning(ends, h.stamp, h.keeper));
    ASSERT_TRUE(ReleaseHeld(&h, &error)) << error.toStdString();
    EXPECT_EQ(WaitFile(out), out.toUtf8() + '|' + QByteArray::number(h.stamp.pid) + '|' +
                                 QByteArray::number(h.stamp.pid) + "|/dev/null\n");
    ASSERT_TRUE(WaitKept(ends, h));
    qint64 at = 0;
    EXPECT_EQ(KeptExit(ends, h.stamp, &at), (ProcessExit{ProcessExit::How::Exited, 5}));
    EXPECT_LE(std::llabs(at - QDateTime::currentSecsSinceEpoch()), 5);
    QThread::msleep(100);
    EXPECT_EQ(::waitpid(h.keeper, nullptr, WNOHANG), 0) << "the keeper waits to hear that the ending is kept";
    EXPECT_EQ(ProcState(h.stamp.pid), 'Z') << "holding the job's exit status";
    RemoveKeptExit(ends, h.stamp);
    // Told, it lets the job go and leaves no zombie, and no file.
    for (int k = 0; k < 100 && ::waitpid(h.keeper, nullptr, WNOHANG) == 0; ++k) {
        KeptProcessRunning(ends, h.stamp, h.keeper);
        QThread::msleep(20);
    }
    errno = 0;
    EXPECT_EQ(::waitpid(h.keeper, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(ProcState(h.stamp.pid), 0);
    EXPECT_EQ(QDir(ends).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(KeptExit(ends, h.stamp).how, ProcessExit::How::Unknown);

    // Let go without running: it never ran.
    QFile::remove(out);
    ASSERT_TRUE(LaunchHeld(script + QLatin1Char(' ') + out, ends, &h));
    AbandonHeld(&h);
    ASSERT_TRUE(WaitKept(ends, h));
    EXPECT_EQ(KeptExit(ends, h.stamp).how, ProcessExit::How::NotStarted);
    EXPECT_FALSE(QFile::exists(out));

    // A file that is not executable cannot be run.
    const QString plain = dir.write(QStringLiteral("plain"), "not a program");
    ASSERT_TRUE(LaunchHeld(plain, ends, &h));
    EXPECT_FALSE(ReleaseHeld(&h, &error));
    EXPECT_EQ(error, QStringLiteral("Cannot start \"") + plain + QStringLiteral("\": Permission denied"));
    ASSERT_TRUE(WaitKept(ends, h));
    EXPECT_EQ(KeptExit(ends, h.stamp), (ProcessExit{ProcessExit::How::StartFailed, EACCES}));

    // The keeper killed too: the ending is not known.
    ASSERT_TRUE(LaunchHeld(QStringLiteral("sleep 30"), ends, &h));
    ASSERT_TRUE(ReleaseHeld(&h));
    // The keeper first, gone before its job ends, so it cannot write.
    ::kill(h.keeper, SIGKILL);
    while (::waitpid(h.keeper, nullptr, 0) < 0 && errno == EINTR) {
    }
    // Its pipe closed with it, but the job runs on: still running.
    QThread::msleep(50);
    EXPECT_TRUE(KeptProcessRunning(ends, h.stamp, h.keeper));
    ::kill(-h.stamp.pid, SIGKILL);
    ASSERT_TRUE(WaitKept(ends, h));
    EXPECT_EQ(ExitStatusText(KeptExit(ends, h.stamp)), QStringLiteral("Exit status unknown"));
}

// A held job is the keeper's own copy until released: a scheduler started
// again must not take it for its program, which it becomes once released.
TEST(LaunchHeld, AHeldJobBecomesItsProgramOnlyOnceReleased) {
    TempDir dir;
    const QString ends = dir.path(QStringLiteral("ends"));
    HeldProcess h;
    QString error;
    ASSERT_TRUE(LaunchHeld(QStringLiteral("sleep 30"), ends, &h, &error)) << error.toStdString();
    QThread::msleep(50);
    EXPECT_FALSE(KeptProgramStarted(h.stamp, h.keeper));
    ASSERT_TRUE(ReleaseHeld(&h, &error)) << error.toStdString();
    EXPECT_TRUE(Eventually([&] { return KeptProgramStarted(h.stamp, h.keeper); }));
    ::kill(-h.stamp.pid, SIGKILL);
    ASSERT_TRUE(WaitKept(ends, h));
    EXPECT_FALSE(KeptProgramStarted(h.stamp, h.keeper)) << "ended";
    RemoveKeptExit(ends, h.stamp);
}

// A scheduler that stops before it has kept an ending it was sent (killed
// between the keeper's report and its own record) leaves the keeper to write
// the record into the folder, where a scheduler started again reads it.
TEST(LaunchHeld, ASchedulerGoneBeforeItKeptTheEndingLeavesTheRecordFile) {
    TempDir dir;
    const QString ends = dir.path(QStringLiteral("ends"));
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t scheduler = ::fork();
    ASSERT_GE(scheduler, 0);
    if (scheduler == 0) {
        // The scheduler: starts the job, takes its ending and stops.
        ::alarm(20);
        ::close(channel[0]);
        HeldProcess h;
        if (!LaunchHeld(QStringLiteral("sh -c \"exit 7\""), ends, &h) || !ReleaseHeld(&h)) ::_exit(1);
        for (int i = 0; i < 1000 && KeptProcessRunning(ends, h.stamp, h.keeper); ++i) ::usleep(5000);
        const bool sent = KeptExit(ends, h.stamp) == ProcessExit{ProcessExit::How::Exited, 7};
        ProcessStamp stamp = h.stamp;
        if (!sent || ::write(channel[1], &stamp, sizeof stamp) != static_cast<ssize_t>(sizeof stamp)) ::_exit(1);
        ::_exit(0);
    }
    ::close(channel[1]);
    ProcessStamp stamp;
    ASSERT_EQ(ReadUpTo(channel[0], &stamp, sizeof stamp), sizeof stamp) << "the job ended for the first scheduler";
    ::close(channel[0]);
    int status = -1;
    ASSERT_EQ(::waitpid(scheduler, &status, 0), scheduler);
    EXPECT_EQ(status, 0);
    Eventually([&] { return KeptExit(ends, stamp).how != ProcessExit::How::Unknown; });
    EXPECT_EQ(KeptExit(ends, stamp), (ProcessExit{ProcessExit::How::Exited, 7}));
    RemoveKeptExit(ends, stamp);
    EXPECT_EQ(QDir(ends).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A keeper that cannot write its record (a full disk) holds the job's exit
// status and tries again until the disk takes it: meanwhile the job still
// runs for the scheduler, never "Exit status unknown", and a damaged record
// planted at its name counts as not yet written. The record is written to the
// disk when no scheduler takes it: here the job was let go unreleased.
TEST(LaunchHeld, AFullDiskDelaysTheRecordButNeverLosesIt) {
    SmallDisk disk(256 * 1024);
    MRV_NEED_SMALL_DISK(disk);
    const QString ends = disk.path(QStringLiteral("ends"));
    HeldProcess h;
    QString error;
    ASSERT_TRUE(LaunchHeld(QStringLiteral("/bin/true"), ends, &h, &error)) << error.toStdString();
    disk.fill();
    AbandonHeld(&h);
    ASSERT_TRUE(WaitZombie(h.stamp.pid)) << "the keeper holds the ended job";
    QThread::msleep(400);  // a few failed attempts
    EXPECT_TRUE(KeptProcessRunning(ends, h.stamp, h.keeper));
    char name[64];
    EndRecordName(h.stamp.pid, h.stamp.startTime, name, sizeof name);
    const QString record = ends + QLatin1Char('/') + QString::fromLatin1(name);
    for (const QByteArray& damaged : {QByteArray(), QByteArray("exited 0"), QByteArray("exited x 1\n")}) {
        disk.unfill();
        QFile f(record);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        disk.fill();
        EXPECT_TRUE(KeptProcessRunning(ends, h.stamp, h.keeper)) << damaged.toStdString();
    }
    EXPECT_EQ(QDir(ends).entryList(QDir::Files | QDir::Hidden), QStringList{QString::fromLatin1(name)})
        << "no temporary file is left by the failed attempts";

    disk.unfill();
    ASSERT_TRUE(WaitKept(ends, h));
    EXPECT_EQ(KeptExit(ends, h.stamp).how, ProcessExit::How::NotStarted);
    EXPECT_TRUE(WaitGone(h.stamp.pid)) << "released once recorded";
}

}  // namespace
