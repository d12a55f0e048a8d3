#include "common/clock.h"

#include <algorithm>
#include <chrono>
#include <limits>

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

ZoneOffsets::ZoneOffsets(const QTimeZone& Zone) : zone_(Zone), utc_(Zone == UtcZone()) {}

qint64 ZoneOffsets::offsetAt(qint64 Real) {
    if (utc_) return 0;
    if (Real >= from_ && Real < to_) return offset_;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(Real, UtcZone());
    const qint64 offset = zone_.offsetFromUtc(at);
    qint64 from = std::numeric_limits<qint64>::min();
    qint64 to = std::numeric_limits<qint64>::max();
    if (zone_.hasTransitions()) {
        const QTimeZone::OffsetData before = zone_.previousTransition(at.addSecs(1));
        const QTimeZone::OffsetData after = zone_.nextTransition(at);
        if (before.atUtc.isValid()) from = before.atUtc.toSecsSinceEpoch();
        if (after.atUtc.isValid()) to = after.atUtc.toSecsSinceEpoch();
    }
    if (from <= Real && Real < to) {
        from_ = from;
        to_ = to;
        offset_ = offset;
    }
    return offset;
}

DateVal ZoneOffsets::wallOf(qint64 Real) { return DateVal::fromSeconds(Real + offsetAt(Real) + kUnixEpochShift); }

RealSpan ZoneOffsets::realOf(const DateVal& Wall) {
    const qint64 w = Wall.seconds() - kUnixEpochShift;
    if (utc_) return {w, w};
    // The offsets a day before and after cover every change near Wall; when
    // the span kept holds both, Wall has its one reading (the usual case).
    if (from_ <= w - 86400 && w + 86400 < to_) return {w - offset_, w - offset_};
    const qint64 before = offsetAt(w - 86400);
    const qint64 after = offsetAt(w + 86400);
    qint64 r1 = w - before;
    qint64 r2 = w - after;
    const bool ok1 = offsetAt(r1) == before;
    const bool ok2 = offsetAt(r2) == after;
    if (ok1 && ok2) return {std::min(r1, r2), std::max(r1, r2)};
    if (ok1) return {r1, r1};
    if (ok2) return {r2, r2};
    // Skipped by a change: find the moment of the change between the two.
    qint64 lo = std::min(r1, r2);
    qint64 hi = std::max(r1, r2);
    const qint64 offLo = offsetAt(lo);
    while (hi - lo > 1) {
        const qint64 mid = lo + (hi - lo) / 2;
        if (offsetAt(mid) == offLo)
            lo = mid;
        else
            hi = mid;
    }
    return {hi, hi};
}

ZoneOffsets& Clock::offsets() const {
    const QTimeZone z = zone();
    if (!(offsets_.zone() == z)) offsets_ = ZoneOffsets(z);
    return offsets_;
}

DateVal WallOf(qint64 Real, const QTimeZone& Zone) {
    ZoneOffsets& kept = currentClock().offsets();
    if (kept.zone() == Zone) return kept.wallOf(Real);
    return ZoneOffsets(Zone).wallOf(Real);
}

RealSpan RealOf(const DateVal& Wall, const QTimeZone& Zone) {
    ZoneOffsets& kept = currentClock().offsets();
    if (kept.zone() == Zone) return kept.realOf(Wall);
    return ZoneOffsets(Zone).realOf(Wall);
}

qint64 FirstReal(const DateVal& Wall) { return currentClock().offsets().realOf(Wall).first; }

qint64 PastReal(const DateVal& Wall, qint64 NotAfter) {
    const RealSpan r = currentClock().offsets().realOf(Wall);
    return r.last <= NotAfter ? r.last : r.first;
}
