#include "common/clock.h"

#include <chrono>

namespace {
SystemClock gSystemClock;
const Clock* gClock = nullptr;
}  // namespace

const Clock& currentClock() { return gClock ? *gClock : gSystemClock; }

void setClock(const Clock* c) { gClock = c; }

qint64 SystemClock::nowReal() const { return QDateTime::currentSecsSinceEpoch(); }

QTimeZone SystemClock::zone() const {
    // Looking the zone up reads the system's settings from the disk; a load
    // or a kick pass asks for it for every job.
    const qint64 ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    if (zoneCheckedMs_ < 0 || ms - zoneCheckedMs_ >= 1000) {
        zone_ = QTimeZone::systemTimeZone();
        zoneCheckedMs_ = ms;
    }
    return zone_;
}

qint64 FirstReal(const DateVal& Wall) {
    // The kick pass asks this for every waiting job on every pass, mostly for
    // the same few moments (the run day's start, the earliest starts).
    struct Entry {
        qint64 wall = 0;
        qint64 real = 0;
        QByteArray zone;
        bool set = false;
    };
    static Entry cache[64];
    const QTimeZone zone = currentClock().zone();
    if (zone == UtcZone()) return RealOf(Wall, zone).first;
    Entry& e = cache[static_cast<quint64>(Wall.seconds()) % 64];
    const QByteArray id = zone.id();
    if (!e.set || e.wall != Wall.seconds() || e.zone != id) {
        e = Entry{Wall.seconds(), RealOf(Wall, zone).first, id, true};
    }
    return e.real;
}

qint64 PastReal(const DateVal& Wall, qint64 NotAfter) {
    const RealSpan r = RealOf(Wall, currentClock().zone());
    return r.last <= NotAfter ? r.last : r.first;
}
