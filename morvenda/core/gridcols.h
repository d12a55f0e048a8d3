#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

// The columns of the schedule grid and the named view profiles that store
// which columns are shown, in which order, with which width and alignment.
//
// Profiles live in the per-user settings (application gAppName):
//   section gProfSection, key "Current": gProfPrefix & the current profile
//   section gProfSection, key "List":    the profile names, comma-separated
//   section gProfPrefix & profile name, one key per column title:
//       "Width,Order,Align,Hidden", e.g. "1500,3,>,False"
//
// The windows (the grid, the column dialog) change profiles only through the
// operations below; each reports a change that cannot be stored as a value
// with the reason, and shows nothing itself.

/// The outcome of a change to the stored view profiles: ok, or why not.
struct ProfileResult {
    bool ok = true;
    /// Why the change failed (the settings file's own reason, naming the
    /// file, or "There is no view profile ..."); empty when ok.
    QString error;
    explicit operator bool() const { return ok; }
};

/// Key of the grid window's height in twips (application gAppName, section
/// gRegSection).
inline const QString gGridHeightKey = QStringLiteral("GridHeight");

/// Number of columns of the schedule grid (ids 0 to 22).
inline constexpr int kGridColCount = 23;

/// One column of the schedule grid.
struct GridColumn {
    /// '<' left, '^' centred, '>' right.
    QChar Align;
    /// Display position (0 = first).
    std::int16_t Order = 0;
    /// Column heading, also the key of the column in a profile.
    QString Title;
    bool Hidden = false;
    /// Width in twips.
    std::int16_t Width = 0;
    bool operator==(const GridColumn&) const = default;
};

/// The column table of the schedule grid, indexed by column id.
extern std::array<GridColumn, kGridColCount> gGridCols;

/// Fills gGridCols with the default columns: ids 0 to 8 shown, 9 to 22
/// hidden, order = id, width 100 twips per character of the default caption.
void DefineGridColumns();

/// Overlays gGridCols with the values stored for profile G.gCurProfile. Width
/// and order are read by their leading digits ("1500tw" is 1500). A column
/// without a stored value keeps its settings; so does a stored width or order
/// that does not start with a number between -32768 and 32767, a negative
/// width and an alignment that is not '<', '^' or '>' (a hand-edited value
/// never breaks the grid).
/// Hidden is true only for exactly "True".
void ReadColProfile();

/// Stores every column of gGridCols under profile G.gCurProfile, then makes
/// it the current profile ("Current"). Stops at the first setting that
/// cannot be written and says why; "Current" is then left as it was.
ProfileResult SaveColProfile();

/// The name under which profile Name is stored (its settings section, its
/// item of "List", the value of "Current"): gProfPrefix and Name, with each
/// character the settings file or the list cannot hold as it is ("[", "]",
/// "=", ",", the double quote, control characters, and a "%" that reads as
/// one of these) written as "%" and two hexadecimal digits. Names of plain
/// characters are stored as they are.
QString ProfileStoredName(const QString& Name);

/// The profile name of a stored name (ProfileStoredName read back): the text
/// after the prefix with every "%XX" decoded.
QString ProfileNameOf(const QString& Stored);

/// Appends Name, a stored name (ProfileStoredName), to the profile list
/// ("List") unless an item of the list is already Name (compared without
/// regard to letter case). Fails, saying why, when the list cannot be written.
ProfileResult AddColProfileName(const QString& Name);

/// The profiles the grid offers and the current one.
struct ProfileNames {
    /// The listed profiles in list order, then G.gCurProfile when it is not
    /// listed.
    QStringList Names;
    /// Index in Names of G.gCurProfile (the last one equal to it without
    /// regard to letter case).
    int Current = -1;
    /// The writes of a first use (see ReadProfileNames).
    ProfileResult Stored;
};

/// Reads the current profile ("Current") into G.gCurProfile and the profile
/// list. With no current profile (first use) profile "General" is started:
/// gGridCols stored under it, listed and made current. A first-use write that
/// fails is reported in Stored; G.gCurProfile is "General" all the same.
ProfileNames ReadProfileNames();

/// Makes Name the current profile ("Current"). G.gCurProfile is not changed
/// (ReadProfileNames reads it back). Fails, saying why, when the setting
/// cannot be written.
ProfileResult ChooseProfile(const QString& Name);

/// True when profile Name holds stored columns (a value for "Job Name").
bool ProfileExists(const QString& Name);

/// Saves the column layout as profile Name and makes it current: the columns
/// of Displayed (ids, in display order) are shown at positions 1, 2, ...,
/// those of Undisplayed follow, hidden; the job name stays first. Name may be
/// a new one (the profile it was read from is kept) or any spelling of an
/// existing one. The columns are stored first, then the name is listed, then
/// made current, so a failure never leaves "Current" naming a profile that
/// was not stored. On failure G.gCurProfile is unchanged and error says why.
ProfileResult SaveProfileAs(const QString& Name, const std::vector<int>& Displayed,
                            const std::vector<int>& Undisplayed);

/// Deletes profile Name: its stored columns, its item of "List", and
/// "Current" when it named it (the first profile left in the list becomes
/// current, or none). Fails, saying why, when the profile holds no stored
/// values or the settings cannot be written.
ProfileResult DeleteProfile(const QString& Name);

/// Stores the grid window's layout as it closes: the columns under the
/// current profile (SaveColProfile), then the window height in twips
/// (gGridHeightKey). Stops at the first write that fails and says why.
ProfileResult SaveGridLayout(int HeightTwips);
