#pragma once

#include "common/datetime.h"

// The present moment comes from a Clock, so tests can set the time.

class Clock {
public:
    virtual ~Clock() = default;
    /// The present local wall-clock moment.
    virtual DateVal now() const = 0;
    /// The present real moment, in seconds since 1 Jan 1970 UTC.
    virtual qint64 nowReal() const = 0;
    /// The time zone whose clocks now() shows.
    virtual QTimeZone zone() const = 0;
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

/// The first real moment at which the installed clock's zone shows Wall
/// (RealOf): the moment a time of day typed by the operator has come.
qint64 FirstReal(const DateVal& Wall);

/// The real moment of a past wall-clock value: the last reading of Wall that
/// is not after NotAfter (both readings of a repeated hour are possible), else
/// its first reading.
qint64 PastReal(const DateVal& Wall, qint64 NotAfter);
