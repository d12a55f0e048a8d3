#pragma once

#include "common/fatal.h"

#include <functional>

// A fatal stop (FatalStop) must not travel through Qt's event loop, which does
// not carry exceptions. Window handlers that may stop the program run their
// work through GuardFatal: a fatal stop then ends the program with status 1
// (its reason has already been shown and logged).

/// Runs work; a FatalStop it throws ends the program with status 1.
void GuardFatal(const std::function<void()>& work);
