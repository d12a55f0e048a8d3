#pragma once

#include <QIcon>

// The icon every window of the six programs carries.

/// The programs' icon (gui/icons/morvenda.png, built into the
/// programs); a null icon only when the resource is missing from the build.
QIcon ProgramIcon();

/// Gives the application, and so every window it shows, ProgramIcon(). Each
/// program's main calls it once its QApplication exists.
void UseProgramIcon();
