#pragma once

#include "mrvchap/diaglist.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// Keystroke scripts: the chaperone's command line, the script language and the
// loader that reads a script into the diagnostics list and checks it.

/// The program's command line: the script, then up to five parameters, all
/// separated by "," with double quotes grouping.
struct ChaperoneCommandLine {
    QString script;
    QString parms[5];
};

/// Splits the whole command line with the companion programs' field splitter.
ChaperoneCommandLine ParseChaperoneCommandLine(const QString& CommandLine);

/// Text without the double quotes that enclose it; unchanged unless it is at
/// least two characters long and begins and ends with a double quote.
QString UnQuote(const QString& Text);

/// A command row: "[", a verb, a blank and a value, "]".
struct ScriptCommand {
    QString verb;   ///< lower-cased
    QString value;  ///< trimmed, letter case kept
};

/// The command of a row, nullopt for a keystroke row. A row is a command when
/// it begins with "[" and holds a "]"; the command ends before its first "]"
/// (so "[goto end] x" is the command "goto end"). Loader and runner both read
/// rows this way.
std::optional<ScriptCommand> ParseCommand(const QString& Row);

/// True for the row that ends skip mode: "[noskip]" after trimming, in any case.
bool IsNoSkip(const QString& Row);

/// The marker after every loader message but the label messages.
inline const QString kErrorMark = QStringLiteral("  ***************");

/// The default lock file: "MRVChap.Lck" in $XDG_RUNTIME_DIR, else
/// "MRVChap.<uid>.Lck" in the temporary folder.
QString DefaultLockFile();

/// The log of a script: "MRVChap.<BaseName>.log" in $XDG_STATE_HOME/Morvenda
/// (~/.local/state/Morvenda when it is not set).
QString ScriptLogPath(const QString& BaseName);

/// A script file's name as the list shows it: the file name up to its last "."
/// ("daily.v2.key" is "daily.v2"; a name without "." stays as it is).
QString ScriptBaseName(const QString& FileName);

/// The names of the scripts in Folder that match Pattern (a file name or a
/// wildcard such as "*.key"), each up to its last ".", sorted.
QStringList ListScripts(const QString& Folder, const QString& Pattern);

/// The file to load for a script the list shows as Listed: Listed, "." and
/// Extension, that extension in any letter case when only such a file is
/// there ("UP" listed from "UP.KEY" loads "UP.KEY"); Listed.Extension when no
/// file matches at all.
QString ScriptFileName(const QString& Folder, const QString& Listed, const QString& Extension);

/// Where a script comes from: the folder and the file name (or pattern), from
/// field 1 of the command line. A bare name is looked for in ProgramFolder;
/// an empty one lists every "*.key" there.
struct ScriptPlace {
    QString folder;
    QString fileName;
};
ScriptPlace ScriptPlaceOf(const QString& Script, const QString& ProgramFolder);

/// A script as loaded: the lines are kept apart from the list that shows
/// them, with what the runner needs.
struct LoadedScript {
    QStringList lines;
    /// Per line: the line number of the label a goto, found or notfound jumps
    /// to; -1 for other lines.
    QList<int> jumpTarget;
    /// Labels in order: lower-cased name and line number.
    QList<QPair<QString, int>> labels;
    bool validateOnly = false;
    bool error = false;
    /// The lock file named by the last lockfile command ("" = no locking).
    QString lockFile;
    /// A lockfile command named a file that does not exist: loading stopped
    /// there and the program ends.
    bool lockMissing = false;
    QString baseName;
    /// Why the file could not be read (loading stopped); "" when it was read.
    QString readError;
};

/// Reads Path into the list (one row per line; the loader's messages appended
/// to the row they concern, error rows marked) and checks every command.
/// BaseName names the log. The list is emptied first. A file that cannot be
/// read, or that holds NUL bytes (no text), loads nothing: readError says why.
LoadedScript LoadScript(const QString& Path, const QString& BaseName, DiagList& Diag);

/// Checks lines already read, as LoadScript does after reading them.
LoadedScript CheckScript(const QStringList& Lines, DiagList& Diag);

/// True when Value reads as a finite number (blanks around it allowed):
/// what delay and timeout accept.
bool IsNumericValue(const QString& Value);
