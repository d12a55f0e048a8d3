#pragma once

#include "common/constants.h"

#include <QChar>
#include <QString>
#include <QStringList>

// Helpers of the scheduler's windows that need no widgets: key filters for
// text boxes, file path and drive checks, help pages and the start of the
// setup genie. Their widget companions are in morvenda/windows/widgethelpers.h.

/// Key filter of number boxes: Key when it is Backspace or a digit
/// (gDigitChars), else QChar(0) (the key is dropped).
QChar stdTextKeyPressDigits(QChar Key);

/// Key filter of name boxes: the upper-cased Key when it is Backspace, a
/// letter of gAlphaChars, a digit or one of Extra, else QChar(0).
QChar stdTextKeyPressAlphaNum(QChar Key, const QString& Extra = QString());

/// Key filter with its own set: the upper-cased Key when it is Backspace or
/// its upper case occurs in the upper-cased Allowed, else QChar(0).
QChar stdTextKeyPressCustom(QChar Key, const QString& Allowed);

/// True when Path holds a "/", does not end in "/", has no "*" or "?" after
/// its last "/", and the folder before its last "/" exists ("/" for a path
/// right under the root).
bool ValidFilePath(const QString& Path);

/// The fixed drives of this computer (mount points of local, non-removable
/// file systems; see platform/drives.h). Start-up keeps them in
/// G.gFixedDrives.
QStringList ListDrives();

/// True when Path is absolute and the mount point that holds it is one of
/// G.gFixedDrives.
bool OnFixedDrive(const QString& Path);

/// The help page of Topic: Topic & ".htm" in G.gHelpPath, or in the
/// program's folder when G.gHelpPath is empty.
QString HelpPagePath(const QString& Topic);

/// Starts the setup genie (G.gGeniePath, also tried without ".exe") without
/// arguments and without waiting for it, then ends the program by throwing
/// FatalStop. When the genie cannot be started it first shows
/// "Error invoking  " (two blanks) followed by the quoted path.
[[noreturn]] void RunGenieAndEnd();
