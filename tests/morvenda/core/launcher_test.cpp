#include "morvenda/core/launcher.h"

#include "platform/children.h"
#include "platform/start.h"
#include "tests/support/programs.h"
#include "tests/support/testing.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WaitGone(const ProcessInfo& pi) {
    return PollUntil([&] { return JobWindowGone(pi); }, 5000, 10);
}

TEST(StartProcess, FillsProcInfoWithPidAndStartTime) {
    ProcessInfo pi;
    ASSERT_TRUE(StartProcess(QStringLiteral("sleep 30"), pi));
    EXPECT_GT(pi.dwProcessId, 0);
    EXPECT_EQ(pi.dwThreadId, pi.dwProcessId);
    EXPECT_EQ(pi.hThread, 0);
    std::uint32_t start = 0;
    ASSERT_TRUE(ProcessStartTime(pi.dwProcessId, &start));
    EXPECT_EQ(static_cast<std::uint32_t>(pi.hProcess), start);
    EXPECT_FALSE(JobWindowGone(pi));
    ::kill(pi.dwProcessId, SIGKILL);
    ASSERT_TRUE(WaitGone(pi));
}

TEST(StartProcess, FailureLeavesProcInfoAsItWas) {
    const ProcessInfo before{11, 22, 33, 44};
    ProcessInfo pi = before;
    QString error;
    EXPECT_FALSE(StartProcess(QStringLiteral("no-such-program-xyz \"a b\""), pi, &error));
    EXPECT_EQ(pi, before);
    EXPECT_EQ(error, QStringLiteral("Cannot start \"no-such-program-xyz\": No such file or directory"));
}

TEST(JobExitStatus, OnlyExitCodeZeroSucceeds) {
    struct Case {
        QString cmdLine;
        bool succeeded;
        const char* errorText;
    } cases[] = {
        {QStringLiteral("/bin/true"), true, ""},
        {QStringLiteral("/bin/false"), false, "Exit code 1"},
        {CommandProcessorLine(QStringLiteral("exit 7")), false, "Exit code 7"},
        {CommandProcessorLine(QStringLiteral("kill -TERM $$")), false, "Signal 15 (SIGTERM)"},
        {CommandProcessorLine(QStringLiteral("kill -KILL $$")), false, "Signal 9 (SIGKILL)"},
    };
    for (const Case& c : cases) {
        ProcessInfo pi;
        ASSERT_TRUE(StartProcess(c.cmdLine, pi)) << c.cmdLine.toStdString();
        ASSERT_TRUE(WaitGone(pi)) << c.cmdLine.toStdString();
        const JobEnding e = JobExitStatus(pi);
        EXPECT_EQ(e.Succeeded, c.succeeded) << c.cmdLine.toStdString();
        EXPECT_EQ(e.ErrorText, QString::fromUtf8(c.errorText)) << c.cmdLine.toStdString();
    }
}

TEST(JobExitStatus, UnknownEndingsFailTheJob) {
    // A job carried over from before a restart: its process is not our child.
    const pid_t parent = ::getppid();
    std::uint32_t start = 0;
    ASSERT_TRUE(ProcessStartTime(parent, &start));
    ProcessInfo carried{static_cast<std::int32_t>(start), 0, parent, parent};
    EXPECT_FALSE(JobWindowGone(carried));

    // The recorded pid now belongs to another process (other start time).
    ProcessInfo reused = carried;
    reused.hProcess ^= 0x1234;
    EXPECT_TRUE(JobWindowGone(reused));
    const JobEnding e = JobExitStatus(reused);
    EXPECT_FALSE(e.Succeeded);
    EXPECT_EQ(e.ErrorText, QStringLiteral("Exit status unknown"));

    // No process at all.
    EXPECT_TRUE(JobWindowGone(ProcessInfo{}));
    EXPECT_FALSE(JobExitStatus(ProcessInfo{}).Succeeded);
}

TEST(StartProcess, CommandProcessorJobsRunThroughComspec) {
    TempDir dir;
    const QString out = dir.path(QStringLiteral("args"));
    // A stand-in command processor that records what it was given.
    const QString proc = dir.write(QStringLiteral("my proc"),
                                   "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args\"\necho >> "
                                   "\"$(dirname \"$0\")/args\"\nexec /bin/sh \"$@\"\n");
    ::chmod(QFile::encodeName(proc).constData(), 0755);
    ScopedEnv comspec("COMSPEC", QFile::encodeName(proc));
    ProcessInfo pi;
    ASSERT_TRUE(StartProcess(CommandProcessorLine(QStringLiteral("echo \"x y\" | grep -q y; exit 5")), pi));
    ASSERT_TRUE(WaitGone(pi));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "-c|echo \"x y\" | grep -q y; exit 5|\n");
    EXPECT_EQ(JobExitStatus(pi).ErrorText, QStringLiteral("Exit code 5"));
}

}  // namespace
