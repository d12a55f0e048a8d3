#pragma once

#include <QString>

// Where the scheduler's own programs are: beside the running executable.

/// Folder of the running program.
QString ProgramFolder();

/// Path of a program of the system: a configured path ending in ".exe" is also
/// tried without it; "" when neither exists.
QString ExistingProgram(const QString& path);
