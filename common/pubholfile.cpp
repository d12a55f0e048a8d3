#include "common/pubholfile.h"

#include "common/text.h"

namespace {
const QChar kQuote = QLatin1Char('"');
const QChar kComma = QLatin1Char(',');
}  // namespace

PublicHolidayLine ReadPublicHolidayLine(const QString& line) {
    PublicHolidayLine out;
    out.dateText = GetLineField(line, 1, kQuote, kComma).trimmed();
    if (out.dateText.isEmpty() || out.dateText.startsWith(QLatin1Char(';'))) return out;
    out.description = GetLineField(line, 2, kQuote, kComma).trimmed();
    const std::optional<DateVal> d = ParseDate(out.dateText);
    if (!d) {
        out.kind = PublicHolidayLine::Kind::BadDate;
        return out;
    }
    out.kind = PublicHolidayLine::Kind::Holiday;
    out.day = d->datePart();
    return out;
}

QString PublicHolidayLineText(const QString& dateText, const QString& description) {
    if (description.isEmpty()) return dateText;
    if (description.contains(kComma) || description.contains(kQuote))
        return dateText + kComma + kQuote + DoubleQuotes(description) + kQuote;
    return dateText + kComma + description;
}
