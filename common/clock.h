#pragma once

#include "common/datetime.h"

// The present moment comes from a Clock, so tests can set the time.

/// The real moments at which a zone's clocks show a wall-clock value.
struct RealSpan {
    qint64 first = 0;  ///< the first moment (the earlier reading of a repeated hour)
    qint64 last = 0;   ///< the last moment (the later reading; = first outside a repeated hour)
};

/// Conversions between real moments and the wall-clock values of one zone.
/// The span between the zone's two changes around the last moment asked is
/// kept with its offset: a load or a pass asks for moments close to each
/// other, and asking the zone costs far more than the arithmetic.
class ZoneOffsets {
public:
    explicit ZoneOffsets(const QTimeZone& Zone = UtcZone());
    const QTimeZone& zone() const { return zone_; }
    /// The zone's offset from UTC, in seconds, at the real moment Real.
    qint64 offsetAt(qint64 Real);
    /// The wall-clock value that the zone's clocks show at the real moment Real.
    DateVal wallOf(qint64 Real);
    /// The real moments at which the zone's clocks show Wall. A value that a
    /// clock change skips (the missing hour of spring) comes at the moment
    /// of the change: first and last are both that moment.
    RealSpan realOf(const DateVal& Wall);

private:
    QTimeZone zone_;
    bool utc_ = true;
    qint64 from_ = 1;  // no span kept until the first offset
    qint64 to_ = 0;
    qint64 offset_ = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    /// The present local wall-clock moment.
    virtual DateVal now() const = 0;
    /// The present real moment, in seconds since 1 Jan 1970 UTC.
    virtual qint64 nowReal() const = 0;
    /// The time zone whose clocks now() shows.
    virtual QTimeZone zone() const = 0;

    /// The conversions of zone(), kept by the clock and made again when its
    /// zone changes; each clock keeps its own, so a test's clock starts
    /// afresh. A caller converting many values at one moment (a pass) asks
    /// once and keeps the reference while the zone cannot change.
    ZoneOffsets& offsets() const;

private:
    mutable ZoneOffsets offsets_;
};

/// The system clock.
class SystemClock : public Clock {
public:
    DateVal now() const override { return DateVal::currentLocal(); }
    qint64 nowReal() const override;
    /// The system's zone, looked up again at most once a second.
    QTimeZone zone() const override;

private:
    mutable QTimeZone zone_;
    mutable qint64 zoneCheckedMs_ = -1;
};

/// The clock in use by this program; never null (the system clock until
/// another is installed).
const Clock& currentClock();

/// Installs a clock (not owned; null restores the system clock).
void setClock(const Clock* c);

/// The present moment of the installed clock.
inline DateVal Now() { return currentClock().now(); }

/// The present real moment of the installed clock (seconds since 1970).
inline qint64 NowReal() { return currentClock().nowReal(); }

/// ZoneOffsets(Zone).wallOf(Real), through the installed clock's offsets when
/// Zone is its zone.
DateVal WallOf(qint64 Real, const QTimeZone& Zone);

/// ZoneOffsets(Zone).realOf(Wall), through the installed clock's offsets when
/// Zone is its zone.
RealSpan RealOf(const DateVal& Wall, const QTimeZone& Zone);

/// The first real moment at which the installed clock's zone shows Wall
/// (RealOf): the moment a time of day typed by the operator has come.
qint64 FirstReal(const DateVal& Wall);

/// The real moment of a past wall-clock value: the last reading of Wall that
/// is not after NotAfter (both readings of a repeated hour are possible), else
/// its first reading.
qint64 PastReal(const DateVal& Wall, qint64 NotAfter);
