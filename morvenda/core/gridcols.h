#pragma once

#include <QChar>
#include <QString>

#include <array>
#include <cstdint>

// The columns of the schedule grid and the named view profiles that store
// which columns are shown, in which order, with which width and alignment.
//
// Profiles live in the per-user settings (application gAppName):
//   section gProfSection, key "Current": gProfPrefix & the current profile
//   section gProfSection, key "List":    the profile names, comma-separated
//   section gProfPrefix & profile name, one key per column title:
//       "Width,Order,Align,Hidden", e.g. "1500,3,>,False"

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

/// Stores every column of gGridCols under profile G.gCurProfile and makes it
/// the current profile ("Current"). False when a setting cannot be written.
bool SaveColProfile();

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
/// regard to letter case). False when the list cannot be written.
bool AddColProfileName(const QString& Name);
