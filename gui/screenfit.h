#pragma once

class QString;
class QWidget;

// Windows that open whole on their screen: a window a program shows (or a
// size or place it remembered) never reaches past the screen's edges, and
// its title bar has room for its caption.

/// The width a window needs for Caption to show whole in its title bar:
/// the caption in a title font (the application's font, bold, with a margin
/// for a window manager whose title font runs larger) plus room for the
/// title bar's icon and buttons.
int CaptionWidth(const QString& Caption);

/// Fits Window onto the available area of its screen: at least as wide as
/// its caption needs beside the title-bar buttons and as large as its
/// content's minimum, at most the area less the window frame (a frame not
/// known yet counts as a usual title bar and border); then moved so the
/// frame lies inside the area. A window of fixed size keeps its size.
void FitOnScreen(QWidget* Window);

/// From now on every top-level window of the program is fitted when it is
/// shown, and again whenever it grows past the screen's edges (a window the
/// operator moves stays where it is put).
/// Each program's main calls it once its QApplication exists.
void KeepWindowsOnScreen();
