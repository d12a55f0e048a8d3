#pragma once

#include "platform/children.h"

#include <QString>
#include <QStringList>

// Starting a command line: splitting it into words, the command processor,
// and the new process with its own process group and tagged command line.

/// Splits a command line into the program and its arguments. Blanks and tabs
/// separate words; a double quote starts or ends a quoted stretch in which
/// blanks are kept, and inside it two double quotes stand for one; quoted and
/// unquoted stretches touching each other form one word, and "" alone is an
/// empty argument. Nothing else is special: no variables, wildcards, tildes
/// or backslash escapes. A quote left open runs to the end of the line.
/// An empty or blank line gives an empty list.
QStringList SplitCommandLine(const QString& cmdLine);

/// The command line's raw text after the program name and the blanks that
/// follow it, exactly as written (quotes and commas kept); "" when there are
/// no arguments.
QString CommandLineTail(const QString& cmdLine);

/// Text as one word of a command line: unchanged when it needs no quotes,
/// otherwise enclosed in double quotes with its inner quotes doubled, so that
/// SplitCommandLine gives it back exactly.
QString QuoteArgument(const QString& text);

/// The command processor: the COMSPEC environment variable when it is set and
/// not empty, else "/bin/sh".
QString CommandProcessorPath();

/// The command line that runs Command through the command processor: its path,
/// "-c" and Command as one argument (quoted with QuoteArgument), so that
/// SplitCommandLine gives exactly { processor, "-c", Command }.
QString CommandProcessorLine(const QString& command);

/// Starts cmdLine (split with SplitCommandLine) as a new process in a process
/// group of its own (process group id = its pid), with standard input from
/// /dev/null, standard output and error shared with this program, this
/// program's environment and current folder, and no other open file of ours.
/// A program name without "/" is looked up on PATH; a name ending in ".exe"
/// (any case) that is not found is tried again without that ending.
///
/// The child's environment carries MRV_CMDLINE = CommandLineTail(cmdLine) and
/// MRV_CMDLINE_PID = the child's own pid, so our own programs can read their
/// command line whole. When the first argument is "-c" (a command run through
/// a command interpreter, which may exec its last command in place and so pass
/// its pid on) both variables are removed instead, so no program ever reads a
/// command line meant for the interpreter.
///
/// Returns true and fills *started when the program is running. Returns false
/// when it cannot be started (empty line, program not found, not executable,
/// fork failure): *started is left unchanged, no child is left behind, and
/// *error (when given) says what went wrong, e.g.
/// "Cannot start \"nosuch\": No such file or directory".
bool LaunchProcess(const QString& cmdLine, ProcessStamp* started, QString* error = nullptr);
