#pragma once

#include <QString>

#include <functional>

/// Runs Action, which must end in a fatal stop (FatalStop); returns the
/// stop's reason. A test failure, and "", when Action returns normally.
QString StopReason(const std::function<void()>& Action);
