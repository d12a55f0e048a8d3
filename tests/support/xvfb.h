#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <optional>

// A private X server for the x11 tests.

/// Starts Xvfb on a free display number (the server picks it and reports it
/// through -displayfd; no TCP) and points DISPLAY at it for this process and
/// the children it starts. The destructor stops the server and restores
/// DISPLAY. ok() is false, with error() saying why, when Xvfb is missing or
/// did not come up within ten seconds. Screen is Xvfb's screen size and
/// depth ("1024x768x24").
class XvfbServer {
public:
    explicit XvfbServer(const char* Screen = "1024x768x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    /// The display name, e.g. ":3".
    QByteArray display() const { return display_; }
    /// Stops the server now (a test of a lost display); DISPLAY stays set.
    void stop();

private:
    pid_t pid_ = 0;
    QByteArray display_;
    QString error_;
    std::optional<QByteArray> oldDisplay_;
};

/// Waits up to TimeoutMs for child Pid to end; its wait status, or nullopt
/// when it is still running (it is then left running).
std::optional<int> WaitChild(pid_t Pid, int TimeoutMs);
