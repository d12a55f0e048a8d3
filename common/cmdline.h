#pragma once

#include <QString>
#include <QStringList>

/// The program's command line as one text: the environment variable
/// MRV_CMDLINE when the scheduler's launcher set it for this very process
/// (MRV_CMDLINE_PID is our own pid), so commas and quotes arrive as written;
/// otherwise Args (the arguments after the program name) joined with blanks.
QString ProgramCommandLine(const QStringList& Args);
