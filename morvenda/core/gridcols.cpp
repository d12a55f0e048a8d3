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

QString ProfileSection() { return ProfileStoredName(G.gCurProfile); }

// A stored number read by its leading digits ("1500tw" is 1500) when it has
// any and fits the 16-bit field (and is not negative, for a width); else the
// current value.
std::int16_t Int16Field(const QString& text, std::int16_t current, bool negativeAllowed) {
    const QString t = text.trimmed();
    const qsizetype digit = t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (digit >= t.size() || t.at(digit) < QLatin1Char('0') || t.at(digit) > QLatin1Char('9')) return current;
    const qint64 v = Val(t);
    if (v < (negativeAllowed ? std::numeric_limits<std::int16_t>::min() : 0) ||
        v > std::numeric_limits<std::int16_t>::max())
        return current;
    return static_cast<std::int16_t>(v);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

// The character that "%XX" at position i of text encodes, -1 when none does.
int EncodedAt(const QString& text, qsizetype i) {
    if (i + 2 >= text.size() || text.at(i) != QLatin1Char('%')) return -1;
    const int high = HexDigit(text.at(i + 1));
    const int low = HexDigit(text.at(i + 2));
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Whether character i of a profile name is stored as it is. The settings file
// ends a section name at "]" and a line at a line break, and the profile list
// is split at commas with double quotes grouping. A "%" is written as "%25"
// only where it would otherwise read as an encoded character, so names stored
// before keep their sections.
bool HeldAsIs(const QString& name, qsizetype i) {
    const QChar c = name.at(i);
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
    if (QStringLiteral("[]=,\"").contains(c)) return false;
    return EncodedAt(name, i) < 0;
}

// One setting written; the settings file's reason when it cannot be.
ProfileResult Stored(const QString& section, const QString& key, const QString& value) {
    QString error;
    if (SaveSetting(gAppName, section, key, value, &error)) return {};
    return {false, error};
}

// Every column of gGridCols under profile Name, stopping at the first
// failure (the rest would fail for the same reason).
ProfileResult StoreColumns(const QString& Name) {
    const QString section = ProfileStoredName(Name);
    for (const GridColumn& c : gGridCols) {
        const QString value = QStringLiteral("%1,%2,%3,%4")
                                  .arg(c.Width)
                                  .arg(c.Order)
                                  .arg(c.Align)
                                  .arg(c.Hidden ? QStringLiteral("True") : QStringLiteral("False"));
        const ProfileResult r = Stored(section, c.Title, value);
        if (!r) return r;
    }
    return {};
}

// The items of "List" (stored names), trimmed, up to the first empty one.
QStringList ListedProfiles() {
    const QString list = GetSetting(gAppName, gProfSection, gProfListKey).trimmed();
    QStringList items;
    for (int n = 1;; ++n) {
        const QString item = GetLineField(list, n, QLatin1Char('"'), QLatin1Char(',')).trimmed();
        if (item.isEmpty()) break;
        items << item;
    }
    return items;
}

// Profile Name stored whole: its columns, then its item of the list, then
// "Current" last, so that "Current" names only a profile that is stored.
ProfileResult StoreProfile(const QString& Name) {
    ProfileResult r = StoreColumns(Name);
    if (r) r = AddColProfileName(ProfileStoredName(Name));
    if (r) r = ChooseProfile(Name);
    return r;
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
        c.Width = Int16Field(GetLineField(value, 1, quote, comma), c.Width, false);
        c.Order = Int16Field(GetLineField(value, 2, quote, comma), c.Order, true);
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

QString ProfileStoredName(const QString& Name) {
    QString out = gProfPrefix;
    for (qsizetype i = 0; i < Name.size(); ++i) {
        if (HeldAsIs(Name, i))
            out += Name.at(i);
        else
            out += QStringLiteral("%%1").arg(Name.at(i).unicode(), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString ProfileNameOf(const QString& Stored) {
    const QString name = Stored.mid(gProfPrefix.size());
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int code = EncodedAt(name, i);
        if (code >= 0) {
            out += QChar(code);
            i += 2;
        } else {
            out += name.at(i);
        }
    }
    return out;
}

ProfileResult SaveColProfile() {
    const ProfileResult stored = StoreColumns(G.gCurProfile);
    return stored ? Stored(gProfSection, gProfCurrentKey, ProfileStoredName(G.gCurProfile)) : stored;
}

ProfileResult AddColProfileName(const QString& Name) {
    const QString list = GetSetting(gAppName, gProfSection, gProfListKey).trimmed();
    // Whole items are compared: a new name that is only part of a listed one
    // ("Gen" beside "General") must still be listed, or the profile could be
    // saved but never chosen again.
    if (!list.isEmpty()) {
        const QChar quote = QLatin1Char('"');
        const QChar comma = QLatin1Char(',');
        const int items = static_cast<int>(list.count(comma)) + 1;
        for (int n = 1; n <= items; ++n) {
            if (SameText(GetLineField(list, n, quote, comma).trimmed(), Name.trimmed())) return {};
        }
    }
    return Stored(gProfSection, gProfListKey, list.isEmpty() ? Name : list + QLatin1Char(',') + Name);
}

ProfileNames ReadProfileNames() {
    ProfileNames out;
    const QString current = GetSetting(gAppName, gProfSection, gProfCurrentKey);
    if (!current.isEmpty()) {
        G.gCurProfile = ProfileNameOf(current);
        for (const QString& item : ListedProfiles()) out.Names << ProfileNameOf(item);
    } else {
        G.gCurProfile = QStringLiteral("General");
        out.Names << G.gCurProfile;
        out.Stored = StoreProfile(G.gCurProfile);
    }
    for (int i = static_cast<int>(out.Names.size()) - 1; i >= 0 && out.Current < 0; --i)
        if (SameText(out.Names.at(i), G.gCurProfile)) out.Current = i;
    if (out.Current < 0) {
        out.Names << G.gCurProfile;
        out.Current = static_cast<int>(out.Names.size()) - 1;
    }
    return out;
}

ProfileResult ChooseProfile(const QString& Name) {
    return Stored(gProfSection, gProfCurrentKey, ProfileStoredName(Name));
}

bool ProfileExists(const QString& Name) {
    return !GetSetting(gAppName, ProfileStoredName(Name), QStringLiteral("Job Name")).isEmpty();
}

ProfileResult SaveProfileAs(const QString& Name, const std::vector<int>& Displayed,
                            const std::vector<int>& Undisplayed) {
    int order = 0;
    gGridCols[0].Order = 0;
    gGridCols[0].Hidden = false;
    const auto place = [&order](const std::vector<int>& ids, bool hidden) {
        for (const int id : ids) {
            if (id <= 0 || id >= kGridColCount) continue;
            GridColumn& col = gGridCols[static_cast<size_t>(id)];
            col.Order = static_cast<std::int16_t>(++order);
            col.Hidden = hidden;
        }
    };
    place(Displayed, false);
    place(Undisplayed, true);
    const ProfileResult stored = StoreProfile(Name);
    if (stored) G.gCurProfile = Name;
    return stored;
}

ProfileResult DeleteProfile(const QString& Name) {
    const QString section = ProfileStoredName(Name);
    if (GetAllSettings(gAppName, section).isEmpty())
        return {false, QStringLiteral("There is no view profile \"%1\".").arg(Name)};
    QString error;
    if (!DeleteSetting(gAppName, section, QString(), &error)) return {false, error};
    // The name leaves the list, and "Current" when it named it.
    QStringList kept = ListedProfiles();
    kept.removeIf([&section](const QString& item) { return SameText(item, section); });
    ProfileResult done = Stored(gProfSection, gProfListKey, kept.join(QLatin1Char(',')));
    if (!done || !SameText(GetSetting(gAppName, gProfSection, gProfCurrentKey), section)) return done;
    if (!kept.isEmpty()) return Stored(gProfSection, gProfCurrentKey, kept.front());
    if (!DeleteSetting(gAppName, gProfSection, gProfCurrentKey, &error)) return {false, error};
    return {};
}

ProfileResult SaveGridLayout(int HeightTwips) {
    const ProfileResult saved = SaveColProfile();
    return saved ? Stored(gRegSection, gGridHeightKey, QString::number(HeightTwips)) : saved;
}
