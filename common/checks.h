#pragma once

#include <QString>

#include <cstdint>
#include <limits>

// Rules that the scheduler's start-up window and the configuration editor
// share, and the range of the 16-bit fields the files and the job record hold.

/// The largest value of a 16-bit field (counts, limits, column widths).
inline constexpr int kInt16Max = std::numeric_limits<std::int16_t>::max();
/// The smallest value of a signed 16-bit field.
inline constexpr int kInt16Min = std::numeric_limits<std::int16_t>::min();

/// N clamped into a signed 16-bit field.
std::int16_t ClampToInt16(qint64 N);

/// True for a time "hh:mm" exactly, with hours 00 to 23 and minutes 00 to 59.
bool IsClockTime(const QString& Text);

/// True for a CPU limit: a whole number from 0 to kInt16Max, blanks around it
/// allowed.
bool IsCpuLimit(const QString& Text);
