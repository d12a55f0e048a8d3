#pragma once

#include <QChar>
#include <QString>

#include <functional>

class Grid;
class QComboBox;
class QLineEdit;
class QPixmap;
class QWidget;

// Helpers that several windows of the scheduler share and that work on
// widgets: the group list, window placement, cell pictures of grids and key
// filters on text boxes. The logic without widgets is in windowhelpers.h.

/// Fills Combo with gAllGroups followed by every distinct trimmed Group of
/// jobs 1 to n (in table order) and selects the entry equal to
/// G.gGroupFilter. G.gFillingGroups is true while it works, so the combo's
/// change handler can ignore the events. False when no entry equals
/// G.gGroupFilter; the gAllGroups entry is then selected.
bool FillGroupCombo(QComboBox* Combo);

/// Places Window by Code (compared in upper case): "CENTRE" or "C" centred on
/// its screen, "TOPCENTRE" or "TC" centred horizontally at the top of the
/// screen; any other code leaves the window where it is. The screen's
/// available area (without panels) is used.
void PositionForm(QWidget* Window, const QString& Code);

/// The picture handle of a cell (QPixmap::cacheKey() of its picture), 0 for
/// none or for a cell that does not exist. The grid's current cell is not
/// moved.
qint64 GetCellPicture(const Grid& Grid, int Row, int Col);

/// Clears the cell's text, sets its picture and centres it. The grid's
/// current cell is not moved. False when the cell does not exist.
bool SetCellPicture(Grid& Grid, int Row, int Col, const QPixmap& Picture);

/// Puts Text on the desktop's clipboard, replacing what it held (the
/// clipboard offer of OpenJobDoc).
void PutOnClipboard(const QString& Text);

/// A key filter: the character to insert for a typed character, or QChar(0)
/// to drop the key (stdTextKeyPressDigits and its companions fit).
using KeyFilter = std::function<QChar(QChar)>;

/// Runs every character typed into Box through Filter: a dropped key inserts
/// nothing, a changed one (an upper-cased letter) inserts the new character.
/// Keys without text (cursor keys, Delete), Backspace and shortcuts with Ctrl
/// or Alt are left alone. The filter lives as long as Box.
void InstallKeyFilter(QLineEdit* Box, KeyFilter Filter);
