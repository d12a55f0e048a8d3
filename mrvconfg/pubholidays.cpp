#include "mrvconfg/pubholidays.h"

#include <algorithm>
#include <vector>

#include "common/pubholfile.h"
#include "common/text.h"
#include "common/textfile.h"

namespace confg {

QString PHEntry(const QString& DateText, const QString& Desc, const QString& Mask) {
    const std::optional<DateVal> d = ParseDate(DateText.trimmed());
    return JoinEntry({d ? FormatDate(*d, Mask) : DateText, Desc});
}

PHParts SplitEntry(const QString& Entry) {
    PHParts p{Entry, QString()};
    const qsizetype open = Entry.indexOf(QLatin1Char('('));
    if (open >= 0) {
        p.EntryDesc = Entry.mid(open + 1).chopped(Entry.endsWith(QLatin1Char(')')) ? 1 : 0);
        p.EntryDate = Entry.left(open > 0 ? open - 1 : 0);
    }
    return p;
}

QString JoinEntry(const PHParts& Parts) {
    QString out = Parts.EntryDate.trimmed();
    if (!Parts.EntryDesc.trimmed().isEmpty()) out += QStringLiteral(" (") + Parts.EntryDesc + QLatin1Char(')');
    return out;
}

std::optional<DateVal> EntryDay(const QString& Entry) {
    const std::optional<DateVal> d = ParseDate(SplitEntry(Entry).EntryDate.trimmed());
    if (!d) return std::nullopt;
    return d->datePart();
}

void SortPH(QStringList& Entries) {
    std::vector<std::pair<qint64, QString>> keyed;
    keyed.reserve(static_cast<size_t>(Entries.size()));
    for (const QString& e : Entries) keyed.emplace_back(EntryDay(e).value_or(DateVal()).dayNumber(), e);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Entries.clear();
    for (auto& k : keyed) Entries << std::move(k.second);
}

bool ReadPHFile(const QString& Path, const QString& Mask, QStringList* Entries, QString* Error, int* Dropped) {
    QStringList lines;
    if (!ReadTextLines(Path, &lines, Error)) return false;
    Entries->clear();
    int dropped = 0;
    for (const QString& line : lines) {
        const PublicHolidayLine l = ReadPublicHolidayLine(line);
        if (l.kind == PublicHolidayLine::Kind::Holiday)
            *Entries << JoinEntry({FormatDate(l.day, Mask), l.description});
        else if (l.kind == PublicHolidayLine::Kind::BadDate)
            ++dropped;
    }
    if (Dropped) *Dropped = dropped;
    return true;
}

bool WritePHFile(const QString& Path, const QStringList& Entries, QString* Error) {
    QStringList lines{kPubHolsHeader};
    for (const QString& e : Entries) {
        const PHParts p = SplitEntry(e);
        lines << PublicHolidayLineText(p.EntryDate.trimmed(), p.EntryDesc.trimmed());
    }
    return WriteFileAtomic(Path, EncodeLines(lines), Error);
}

QString DelYearDefault(const QStringList& Entries) {
    if (Entries.isEmpty()) return QString();
    const std::optional<DateVal> d = EntryDay(Entries.first());
    return d ? QString::number(d->year() - 1).rightJustified(4, QLatin1Char('0')) : QString();
}

QString DelYearRefusal(const QString& Answer, int CurrentYear) {
    if (Answer.size() < 4) return QStringLiteral("Invalid year value.");
    if (Val(Answer) >= CurrentYear) return QStringLiteral("Can only delete past years.");
    return QString();
}

int DeleteYear(QStringList& Entries, const QString& Year) {
    int removed = 0;
    for (qsizetype i = Entries.size() - 1; i >= 0; --i) {
        const std::optional<DateVal> d = EntryDay(Entries[i]);
        if (d && FormatDate(*d, QStringLiteral("yyyy")) == Year) {
            Entries.removeAt(i);
            ++removed;
        }
    }
    return removed;
}

}  // namespace confg
