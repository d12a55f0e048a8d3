#include "tests/support/xvfb.h"

#include <QElapsedTimer>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

XvfbServer::XvfbServer(const char* Screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = QStringLiteral("pipe failed");
        return;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // A test that dies (a crash, a timeout) takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        // The server writes its display number to fd 3 (kept open across exec).
        if (fds[1] == 3)
            fcntl(3, F_SETFD, 0);
        else
            dup2(fds[1], 3);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", Screen, "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        error_ = QStringLiteral("fork failed");
        return;
    }
    QByteArray number;
    QElapsedTimer t;
    t.start();
    while (!number.endsWith('\n') && t.elapsed() < 10000) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[16];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;  // the server ended (or never started)
        number.append(buf, n);
    }
    close(fds[0]);
    if (!number.endsWith('\n')) {
        error_ = QStringLiteral("Xvfb did not start (is it installed? apt-get install xvfb xauth)");
        stop();
        return;
    }
    display_ = ':' + number.trimmed();
    if (qEnvironmentVariableIsSet("DISPLAY")) oldDisplay_ = qgetenv("DISPLAY");
    qputenv("DISPLAY", display_);
}

XvfbServer::~XvfbServer() {
    stop();
    if (!display_.isEmpty()) {
        if (oldDisplay_)
            qputenv("DISPLAY", *oldDisplay_);
        else
            qunsetenv("DISPLAY");
    }
}

void XvfbServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!WaitChild(pid_, 5000)) {
        kill(pid_, SIGKILL);
        WaitChild(pid_, 5000);
    }
    pid_ = 0;
}

std::optional<int> WaitChild(pid_t Pid, int TimeoutMs) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(Pid, &status, WNOHANG);
        if (r == Pid) return status;
        if (r < 0 && errno != EINTR) return std::nullopt;
        if (t.elapsed() >= TimeoutMs) return std::nullopt;
        QThread::msleep(20);
    }
}
