#pragma once

#include <QString>
#include <QStringList>

/// The program's command line as one text: the environment variable
/// MRV_CMDLINE when the scheduler's launcher set it for this very process
/// (MRV_CMDLINE_PID is our own pid), so commas and quotes arrive as written;
/// otherwise Args (the arguments after the program name) joined with blanks.
QString ProgramCommandLine(const QStringList& Args);

/// The arguments after the program name, taken before QApplication removes the
/// options it knows (-style, ...), which may be parts of a job's command line.
QStringList ProgramArguments(int argc, char** argv);

/// Without any display (and no QT_QPA_PLATFORM chosen) a program runs on Qt's
/// offscreen platform, so it still starts; its boxes then go to standard error.
void UseOffscreenWithoutDisplay();

/// Answers a lone "--help" or "--version" in Args: writes Usage (the program's
/// command-line forms and what each operand means) or Program and the version
/// to standard output and gives true, so the program ends with status 0 before
/// it opens a window or a connection. False for any other command line.
bool AnswerHelpOrVersion(const QStringList& Args, const QString& Program, const QString& Usage);
