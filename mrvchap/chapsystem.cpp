#include "mrvchap/chapsystem.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

XConnection& X11WindowSystem::x() {
    if (!x_ || !x_->isOpen()) x_ = std::make_unique<XConnection>();
    return *x_;
}

QList<ChapWindow> X11WindowSystem::allWindows() {
    QList<ChapWindow> out;
    for (const XTreeWindow& w : x().windowTree()) out.append({w.window, w.owner, w.name, true});
    return out;
}

QList<ChapWindow> X11WindowSystem::topWindows() {
    QList<ChapWindow> out;
    for (const XInputWindow& w : x().inputWindows()) out.append({w.window, w.owner, w.title, w.shown, w.enabled});
    return out;
}

bool X11WindowSystem::activate(quint64 Window) { return x().activateWindow(Window); }

bool X11WindowSystem::available(QString* Why) {
    XConnection& c = x();
    if (!c.isOpen() && Why) *Why = c.error();
    return c.isOpen();
}

bool ToXKeys(const QList<KeyStroke>& Keys, QList<XKeyPress>* Out, QString* Error) {
    Out->clear();
    for (const KeyStroke& k : Keys) {
        XKeyPress p;
        p.mods = (k.mods & kModShift ? XKeyShift : 0u) | (k.mods & kModCtrl ? XKeyCtrl : 0u) |
                 (k.mods & kModAlt ? XKeyAlt : 0u);
        p.keysym = k.name.isEmpty() ? XKeysymForChar(k.ch) : XKeysymFromName(k.name);
        if (p.keysym == 0) {
            if (Error) *Error = QStringLiteral("the display knows no key ") + k.name;
            return false;
        }
        Out->append(p);
    }
    return true;
}

bool X11KeySender::send(const QList<KeyStroke>& Keys, QString* Error) {
    QList<XKeyPress> keys;
    return ToXKeys(Keys, &keys, Error) && ws_.x().sendKeys(keys, Error);
}

FlockLock::~FlockLock() { unlock(); }

ScriptLock::Result FlockLock::tryLock(const QString& Path, QString* Error) {
    unlock();
    const QByteArray name = QFile::encodeName(Path);
    fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        if (Error) *Error = QStringLiteral("\"%1\": %2").arg(Path, QString::fromLocal8Bit(std::strerror(errno)));
        return Result::Missing;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return Result::Locked;
    ::close(fd_);
    fd_ = -1;
    return Result::Busy;
}

void FlockLock::unlock() {
    if (fd_ >= 0) ::close(fd_);  // closing the file releases its lock
    fd_ = -1;
}

void EventLoopTime::sleep(int Ms) {
    const qint64 end = t_.elapsed() + qMax(Ms, 0);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        const qint64 left = end - t_.elapsed();
        if (left <= 0 || (stop_ && stop_())) return;
        // Short steps keep the window answering while the pause lasts.
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 20)));
    }
}

void EventLoopTime::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
