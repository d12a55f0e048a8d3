// MRVKeep: runs one job for the scheduler and keeps how it ended.
//
//   MRVKeep <folder> <program path> <argv[0]> [<argv[1]> ...]
//
// File descriptor 3, a socket, carries reports to the scheduler and its word
// that an ending is kept; 4 carries the scheduler's go. The keeper forks the
// job at once (its own pid and process group), reports the job's pid and
// start time, and holds it until the scheduler, having recorded the
// submission, writes "G" on 4. Then the job's program runs; an end of file on
// 4 instead (the scheduler is gone) means it never runs. The keeper reports
// whether the program could be started and waits for the job. Its record of
// the ending goes to the scheduler on 3, which answers "K" once the ending is
// on its own disk; without that answer (the scheduler is gone, or stopped
// before it kept the ending) the record is written into <folder> (flushed to
// the disk, tried again until it is written). Either way the job's exit status
// is released only then, so a scheduler restarted in the meantime reads the
// true outcome. The keeper has no Qt and copies nothing of the scheduler.

#include "common/atomicfile.h"
#include "platform/procstat.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kReportFd = 3;
constexpr int kGoFd = 4;
// Written by the held job on the exec-error pipe when it was never released.
constexpr int kNotReleased = -1;

const int kResetSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2, SIGALRM};

void WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t w = ::write(fd, p, size);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        p += w;
        size -= static_cast<size_t>(w);
    }
}

// The job's side: wait for the go, then become the program.
[[noreturn]] void RunJob(const char* path, char** argv, int execErr) {
    ::setpgid(0, 0);
    char go = 0;
    if (ReadUpTo(kGoFd, &go, 1) != 1 || go != 'G') {
        const int e = kNotReleased;
        WriteAll(execErr, &e, sizeof e);
        ::_exit(125);
    }
    ::close(kGoFd);
    ::close(kReportFd);
    if (::getenv("MRV_CMDLINE")) ::setenv("MRV_CMDLINE_PID", std::to_string(::getpid()).c_str(), 1);
    for (int s : kResetSignals) ::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(path, argv);
    const int e = errno;
    WriteAll(execErr, &e, sizeof e);
    ::_exit(127);
}

// Writes the ending record whole (a temporary file flushed to the disk and
// renamed into place, then the folder flushed), so the record is whole or
// absent whatever happens to the machine. A record that cannot be written
// (a full disk, a folder gone or read-only for a while) is tried again after
// a pause that grows up to ten seconds, for as long as it takes: the job's
// exit status is held until then, so the outcome is never lost, and the
// scheduler sees the job as still running meanwhile. Only a folder whose parent is gone
// (the schedule's folder removed) ends the attempts.
void WriteEndRecord(const std::string& folder, pid_t pid, std::uint32_t start, const std::string& text) {
    char name[64];
    EndRecordName(pid, start, name, sizeof name);
    const std::string final = folder + "/" + name;
    constexpr long kFirstPauseMs = 100;
    constexpr long kLongestPauseMs = 10000;
    long pauseMs = kFirstPauseMs;
    bool told = false;
    for (;;) {
        ReplaceStep step = ReplaceStep::None;
        const int e = ReplaceWholeFile(final.c_str(), text.data(), text.size(), ReplaceOptions{0644, true}, &step);
        // A record in place whose folder could not be flushed is still read
        // by a scheduler that runs on.
        if (e == 0 || step == ReplaceStep::Sync) return;
        // The folder removed meanwhile is made again; with the schedule's
        // own folder gone too nobody will ever read the record.
        if (e == ENOENT && ::mkdir(folder.c_str(), 0755) != 0 && errno == ENOENT) return;
        if (!told) {
            std::fprintf(stderr, "MRVKeep: cannot write \"%s\": %s; trying again\n", final.c_str(), std::strerror(e));
            told = true;
        }
        struct timespec pause {
            pauseMs / 1000, (pauseMs % 1000) * 1000000L
        };
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
        pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
    }
}

// Hands the record to the scheduler: true once it answers that the ending is
// kept. An end of file, an error or another answer: it is not.
bool HandedToScheduler(const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t w = ::send(kReportFd, p, left, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        left -= static_cast<size_t>(w);
    }
    char answer = 0;
    return ReadUpTo(kReportFd, &answer, 1) == 1 && answer == 'K';
}

}  // namespace

int main(int argc, char** argv) {
    // Installed beside the other programs, it answers as they do; the
    // scheduler never starts it with a single operand.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(
            "Usage: MRVKeep FOLDER PROGRAM ARGV0 [ARG...]\n"
            "Runs one job for the scheduler and keeps how it ended; the scheduler starts it\n"
            "for every job, with its report socket on descriptor 3 and its go on 4.\n\n"
            "  FOLDER   where the ending is recorded when the scheduler cannot take it\n"
            "  PROGRAM  the job's program, ARGV0 and ARG... its arguments\n\n"
            "  --help     show this text and end\n"
            "  --version  show the version and end\n",
            stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("MRVKeep %d.%d\n", MRV_VERSION_MAJOR, MRV_VERSION_MINOR);
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "MRVKeep: usage: MRVKeep <folder> <program> <argv0> [args...]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const char* path = argv[2];
    char** jobArgv = argv + 3;

    // The keeper outlives the scheduler: a scheduler that is gone must not
    // take it along by a broken pipe or a hang-up.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
    ::setpgid(0, 0);
    ::fcntl(kReportFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(kGoFd, F_SETFD, FD_CLOEXEC);

    int execPipe[2];
    if (::pipe2(execPipe, O_CLOEXEC) != 0) {
        const std::int32_t report[3] = {errno, 0, 0};
        WriteAll(kReportFd, report, sizeof report);
        return 1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(execPipe[0]);
        RunJob(path, jobArgv, execPipe[1]);
    }
    const int forkErr = errno;
    ::close(kGoFd);
    ::close(execPipe[1]);
    if (child < 0) {
        const std::int32_t report[3] = {forkErr, 0, 0};
        WriteAll(kReportFd, report, sizeof report);
        return 1;
    }
    ::setpgid(child, child);
    ProcStat st;
    ReadProcStat(child, &st);
    const auto start = static_cast<std::uint32_t>(st.startTime & 0xFFFFFFFFu);
    const std::int32_t report[3] = {0, static_cast<std::int32_t>(child), static_cast<std::int32_t>(start)};
    WriteAll(kReportFd, report, sizeof report);

    // End of file: the program runs. A number: it never ran (not released,
    // or exec failed with that errno).
    std::int32_t execResult = 0;
    const bool failedToRun = ReadUpTo(execPipe[0], &execResult, sizeof execResult) == sizeof execResult;
    ::close(execPipe[0]);
    const std::int32_t started = failedToRun ? execResult : 0;
    WriteAll(kReportFd, &started, sizeof started);
    // The report socket stays open until the ending is recorded: the record
    // on it, or its closing when the keeper exits, tells the scheduler at once
    // that the job ended.

    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    std::string text;
    if (failedToRun && execResult == kNotReleased)
        text = "notstarted 0";
    else if (failedToRun)
        text = "startfailed " + std::to_string(execResult);
    else if (info.si_code == CLD_EXITED)
        text = "exited " + std::to_string(info.si_status);
    else
        text = "signalled " + std::to_string(info.si_status);
    text += " " + std::to_string(static_cast<long long>(std::time(nullptr))) + "\n";
    if (!HandedToScheduler(text)) WriteEndRecord(folder, child, start, text);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}
