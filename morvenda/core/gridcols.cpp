#include "morvenda/core/gridcols.h"

#include "common/constants.h"
#include "common/settings.h"
#include "common/text.h"
#include "morvenda/core/state.h"

#include <limits>

std::array<GridColumn, kGridColCount> gGridCols;

namespace {

// Default captions: alignment mark, then the title. Trailing blanks widen a
// column's default width beyond its title.
const std::array<const char*, kGridColCount> kCaptions = {
    "<Job Name",
    "^Group",
    "<Command Line",
    "<Job Description",
    "^DOS/CP Prog",
    "^Submit Only",
    "^Auto Reschedule",
    "^CPU Usage",
    "<Date Variables",
    "^Early Start",
    "^Frequency",
    "<Dependencies             ",
    "<Inter/Ext Dependency",
    "<Exclusivity",
    "^Skip On",
    "^Defer R/O",
    "^Status     ",
    "^Started",
    "^Completed",
    "<EOJ Email To",
    "<Trigger Creation",
    "<Ab EOJ Email To",
    "^Critical",
};

constexpr int kLastDefaultShown = 8;

QString ProfileSection() { return gProfPrefix + G.gCurProfile; }

// A stored number that fits the 16-bit field, else the current value.
std::int16_t Int16Field(const QString& text, std::int16_t current) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max())
        return current;
    return static_cast<std::int16_t>(v);
}

}  // namespace

void DefineGridColumns() {
    for (int id = 0; id < kGridColCount; ++id) {
        const QString caption = QString::fromLatin1(kCaptions[static_cast<size_t>(id)]);
        GridColumn& c = gGridCols[static_cast<size_t>(id)];
        c.Align = caption.at(0);
        c.Title = caption.mid(1).trimmed();
        c.Order = static_cast<std::int16_t>(id);
        c.Hidden = id > kLastDefaultShown;
        c.Width = static_cast<std::int16_t>(100 * (caption.size() - 1));
    }
}

void ReadColProfile() {
    const QString section = ProfileSection();
    const QChar quote = QLatin1Char('"');
    const QChar comma = QLatin1Char(',');
    for (GridColumn& c : gGridCols) {
        const QString value = GetSetting(gAppName, section, c.Title);
        if (value.isEmpty()) continue;
        c.Width = Int16Field(GetLineField(value, 1, quote, comma), c.Width);
        c.Order = Int16Field(GetLineField(value, 2, quote, comma), c.Order);
        const QString align = GetLineField(value, 3, quote, comma);
        if (!align.isEmpty() && QStringLiteral("<^>").contains(align.at(0))) c.Align = align.at(0);
        c.Hidden = GetLineField(value, 4, quote, comma) == QLatin1String("True");
    }
    // A stored order that does not place every column exactly once, or moves
    // the job name from the first place (a hand-edited or half-written
    // profile), falls back to the default order. The job name is always shown.
    gGridCols[0].Hidden = false;
    std::array<bool, kGridColCount> placed{};
    bool permutation = gGridCols[0].Order == 0;
    for (const GridColumn& c : gGridCols) {
        if (c.Order < 0 || c.Order >= kGridColCount || placed[static_cast<size_t>(c.Order)]) {
            permutation = false;
            break;
        }
        placed[static_cast<size_t>(c.Order)] = true;
    }
    if (!permutation)
        for (size_t id = 0; id < gGridCols.size(); ++id) gGridCols[id].Order = static_cast<std::int16_t>(id);
}

bool SaveColProfile() {
    bool ok = SaveSetting(gAppName, gProfSection, gProfCurrentKey, gProfPrefix + G.gCurProfile);
    const QString section = ProfileSection();
    for (const GridColumn& c : gGridCols) {
        const QString value = QStringLiteral("%1,%2,%3,%4")
                                  .arg(c.Width)
                                  .arg(c.Order)
                                  .arg(c.Align)
                                  .arg(c.Hidden ? QStringLiteral("True") : QStringLiteral("False"));
        ok = SaveSetting(gAppName, section, c.Title, value) && ok;
    }
    return ok;
}

bool AddColProfileName(const QString& Name) {
    const QString list = GetSetting(gAppName, gProfSection, gProfListKey).trimmed();
    // Whole items are compared: a new name that is only part of a listed one
    // ("Gen" beside "General") must still be listed, or the profile could be
    // saved but never chosen again.
    if (!list.isEmpty()) {
        const QChar quote = QLatin1Char('"');
        const QChar comma = QLatin1Char(',');
        const int items = static_cast<int>(list.count(comma)) + 1;
        for (int n = 1; n <= items; ++n) {
            if (SameText(GetLineField(list, n, quote, comma).trimmed(), Name.trimmed())) return true;
        }
    }
    const QString updated = list.isEmpty() ? Name : list + QLatin1Char(',') + Name;
    return SaveSetting(gAppName, gProfSection, gProfListKey, updated);
}
