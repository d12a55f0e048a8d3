#pragma once

#include "common/fatal.h"

#include <functional>

// A fatal stop (FatalStop) must not travel through Qt's event loop, which does
// not carry exceptions. Window handlers that may stop the program run their
// work through GuardFatal: a fatal stop then ends the program with status 1
// (its reason has already been shown and logged). Tests install a handler of
// their own to observe the stop instead.

/// Runs work; a FatalStop it throws goes to the fatal handler.
void GuardFatal(const std::function<void()>& work);

/// Installs the handler of fatal stops caught by GuardFatal (an empty function
/// restores the default, which ends the program with status 1).
void setFatalHandler(std::function<void(const FatalStop&)> handler);
