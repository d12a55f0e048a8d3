#pragma once

#include "common/datetime.h"

#include <QString>

#include <optional>

/// A run date as typed (any date form the files hold, numeric forms in the
/// order of gDateFmt); nullopt when it is not a date.
std::optional<DateVal> RunDateFromText(const QString& text);
