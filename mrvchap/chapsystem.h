#pragma once

#include "mrvchap/runner.h"
#include "platform/x11.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>

// The runner's interfaces on this computer: windows and keys on the X
// display, the lock file through flock, time with the window events running.

/// Windows of the X display. The connection is opened when first needed.
class X11WindowSystem : public WindowSystem {
public:
    QList<ChapWindow> allWindows() override;
    QList<ChapWindow> topWindows() override;
    bool activate(quint64 Window) override;
    bool available(QString* Why) override;

    /// The connection (opened now when it is not yet open).
    XConnection& x();

private:
    std::unique_ptr<XConnection> x_;
};

/// Keys through XTest on the connection of a window system.
class X11KeySender : public KeySender {
public:
    explicit X11KeySender(X11WindowSystem& Windows) : ws_(Windows) {}
    bool send(const QList<KeyStroke>& Keys, QString* Error) override;

private:
    X11WindowSystem& ws_;
};

/// The notation's keys as X keys; false with *Error when a named key is not
/// known to X.
bool ToXKeys(const QList<KeyStroke>& Keys, QList<XKeyPress>* Out, QString* Error);

/// An exclusive flock on the lock file, held while the file stays open. The
/// file is opened for reading only: it must exist and is never changed.
class FlockLock : public ScriptLock {
public:
    ~FlockLock() override;
    Result tryLock(const QString& Path, QString* Error) override;
    void unlock() override;

private:
    int fd_ = -1;
};

/// Time that lets the program's window events run while it waits; a pause
/// ends early once Stop returns true.
class EventLoopTime : public RunTime {
public:
    explicit EventLoopTime(std::function<bool()> Stop = {}) : stop_(std::move(Stop)) { t_.start(); }
    qint64 elapsedMs() override { return t_.elapsed(); }
    void sleep(int Ms) override;
    void processEvents() override;

private:
    QElapsedTimer t_;
    std::function<bool()> stop_;
};
