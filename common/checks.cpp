#include "common/checks.h"

#include "common/text.h"

#include <algorithm>

std::int16_t ClampToInt16(qint64 N) { return static_cast<std::int16_t>(std::clamp<qint64>(N, kInt16Min, kInt16Max)); }

bool IsClockTime(const QString& Text) {
    return MatchCharMask(Text, QStringLiteral("00:00")) && Text.left(2).toInt() <= 23 && Text.mid(3, 2).toInt() <= 59;
}

bool IsCpuLimit(const QString& Text) {
    bool whole = false;
    const int cpu = Text.trimmed().toInt(&whole);
    return whole && cpu >= 0 && cpu <= kInt16Max;
}
