#include "morvenda/core/rundate.h"

#include "morvenda/core/state.h"

namespace {

DateOrder OrderOfShortFormat() {
    const QString f = G.gDateFmt.trimmed().toLower();
    if (f.startsWith(QLatin1Char('y'))) return DateOrder::YMD;
    if (f.startsWith(QLatin1Char('m'))) return DateOrder::MDY;
    return DateOrder::DMY;
}

}  // namespace

std::optional<DateVal> RunDateFromText(const QString& text) {
    const auto d = ParseDate(text.trimmed(), OrderOfShortFormat());
    if (!d) return std::nullopt;
    return d->datePart();
}
