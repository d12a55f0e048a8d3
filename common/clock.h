#pragma once

#include "datetime.h"

// The present moment comes from a Clock, so tests can set the time.

class Clock {
public:
    virtual ~Clock() = default;
    /// The present local wall-clock moment.
    virtual DateVal now() const = 0;
};

/// The system clock.
class SystemClock : public Clock {
public:
    DateVal now() const override { return DateVal::currentLocal(); }
};

/// The clock in use by this program; never null (the system clock until
/// another is installed).
const Clock& currentClock();

/// Installs a clock (not owned; null restores the system clock).
void setClock(const Clock* c);

/// The present moment of the installed clock.
inline DateVal Now() { return currentClock().now(); }
