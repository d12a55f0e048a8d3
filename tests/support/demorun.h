#pragma once

#include "tests/support/testing.h"

#include <QString>

#include <functional>

// The bundled demo installation run by the scheduler without windows, with
// real processes, as the end-to-end tests of a whole day run it.

/// Starts the scheduler, without windows, on the demo installation in Base
/// (its DEMO/DEMO.ini, the schedule loaded as a temporary one); a failed
/// start-up throws as the start-up sequence does.
void StartDemo(const QString& Base);

/// Runs the loaded schedule with a CPU limit of 8 and the day starting now: a
/// kick pass every 200 ms of real time, each moving Clock on by StepSecs
/// seconds first, until Done returns true after a pass or TimeoutMs have
/// passed; whether Done did.
bool KickUntil(FakeClock& Clock, int StepSecs, int TimeoutMs, const std::function<bool()>& Done);

/// Whether no job is running and none is waiting but NIGHTLY, the demo's job
/// held for 23:30.
bool OnlyNightlyWaits();
