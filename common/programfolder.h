#pragma once

#include <QString>

// Where the programs find each other and their help pages. The programs are
// side by side in one folder (build/bin in the build tree, <prefix>/bin when
// installed); the help pages and the demo installation are in that folder in
// the build tree and in <prefix>/share/morvenda when installed.

/// The folder of the running executable, symbolic links resolved (read from
/// /proc/self/exe, so no environment variable or current folder matters).
/// Empty when the executable's path cannot be read.
QString ProgramFolder();

/// The help folder of the programs in Folder: the installed data folder
/// (share/morvenda beside Folder's bin/) when it holds the help pages
/// ("help" inside it), else Folder itself.
QString HelpFolderOf(const QString& Folder);

/// HelpFolderOf(ProgramFolder()): the folder a help request uses when no
/// "HelpPath" names one.
QString HelpFolder();

/// Path of a program of the system: a configured path ending in ".exe" is also
/// tried without it; "" when neither exists.
QString ExistingProgram(const QString& path);
