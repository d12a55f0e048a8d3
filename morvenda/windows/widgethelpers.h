#pragma once

#include "gui/keyfilter.h"

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

/// Opens the help page of Topic (HelpPagePath) with the desktop's program for
/// it. When the page does not exist, shows "Sorry - cannot find a help file
/// matching " followed by the quoted Topic; when it exists but cannot be
/// opened, shows why. False in both cases.
bool ShowHelp(const QString& Topic);

// Key filters on text boxes: gui/keyfilter.h (stdTextKeyPressDigits
// and its companions fit them).
