#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "morvenda/editing/jobedit.h"

// The rules behind the job editor's controls and its three small dialogs,
// without widgets: the dependency grid, the end-of-job lines, the frequency
// keywords, the date-variable editor, the command line, the address picker
// and the include-file dialog.

// ---- Dependency grid ----------------------------------------------------------

/// A left click on column Col (0 to 4) of data row Row (0-based) of Rows:
/// "Wait EOJ" (2) ticks the row as a dependency ("Uncond") or unticks it
/// (clearing its condition and "Auto Unsched"); "Auto Unsched" (4) toggles
/// only on a ticked row whose condition is not "Uncond"; the name, group and
/// condition columns (0, 1, 3) change nothing. Rows out of range change nothing.
void DepLeftClick(std::vector<DepRow>& Rows, int Row, int Col);

/// True when a right click on that cell opens the condition menu: column 3
/// of a ticked row.
bool DepCondMenuAllowed(const std::vector<DepRow>& Rows, int Row, int Col);

/// Sets the condition of a row (kCondSuccess, kCondFailure, kCondUncond) and
/// removes its "Auto Unsched" tick.
void DepSetCond(std::vector<DepRow>& Rows, int Row, const QString& Cond);

/// The candidate rows: every job of G.Jobs not yet listed is added in table
/// order (its trimmed name and group), except the job itself under any of
/// OwnNames (its stored and its typed name). Without AllGroups, rows of
/// another group than Group that are not ticked are then removed; ticked
/// dependencies always stay.
void DepCandidates(std::vector<DepRow>& Rows, const QStringList& OwnNames, bool AllGroups, const QString& Group);

// ---- End-of-job lines and completion choices ------------------------------------

/// Enabled state of a body line's five check boxes (IsFile, VarSub, Attach,
/// Filter, Delete): IsFile while the line has text; VarSub, Attach and
/// Delete while IsFile is ticked and enabled; Filter likewise and only while
/// Attach is not ticked.
std::array<bool, 5> EojLineEnabled(const EojLine& Line);

/// The reschedule choice is open only while neither box is ticked.
bool ReschedEnabled(bool SubmitOnly, bool DeferRollover);

/// "Submit Only" and "Defer Rollover" are open only while the reschedule
/// choice is "(Never)".
bool CompletionChecksEnabled(int Resched);

// ---- Key filters ------------------------------------------------------------------

/// Job and group names: the blank, "/", ",", the double quote, "'", the list
/// marker and both parentheses are dropped (QChar(0)).
QChar NameKeyFilter(QChar Key);

/// Message lines: the double quote and the comma are dropped.
QChar MessageKeyFilter(QChar Key);

/// Frequency and start time: a comma becomes a blank.
QChar CommaToBlankFilter(QChar Key);

// ---- Frequency keywords -----------------------------------------------------------

/// The text to append to the frequency for a keyword of the list; "" when
/// the operator cancels. Asks for the n of +n/-n keywords (RelDayInput), for
/// a three-letter day name where the keyword has "ddd", and for
/// "Selected Date" calls PickDate, which shows the date picker on
/// G.gDateSelText (emptied first); the picked date is written as a frequency
/// date item ("08-Dec-2026").
QString RelDaySelect(const QString& Keyword, const std::function<void()>& PickDate);

/// Frequency with Item appended after a blank, trimmed.
QString AppendFrequency(const QString& Frequency, const QString& Item);

// ---- Date-variable editor ---------------------------------------------------------

/// What the job editor and the date-variable editor exchange. Name "" on
/// return: cancelled.
struct DateVarParams {
    QString Name;
    QString Format;
    QString RelDay;
    int RelMonth = 0;
};

/// The eleven relative-day codes of the date-variable editor.
QStringList RelDayCodes();

/// The relative month matters only for codes ending in "DOM".
bool RelMonthShown(const QString& RelDay);

/// The messages that keep the date-variable editor open, in order (format,
/// relative day, name), and in *Focus the control of the last one named
/// ("txtFormat", "txtRelDIM" or "txtName"); empty when all three are given.
QStringList DateVarProblems(const DateVarParams& P, QString* Focus);

// ---- Command line -----------------------------------------------------------------

/// The program of a command line (its first field, double quotes grouping)
/// and its parameters (the rest, trimmed).
struct CmdParts {
    QString Program;
    QString Params;
};
CmdParts SplitCmdLine(const QString& CmdLine);

/// The command line after browsing to FileName: the program (in double
/// quotes when it holds a blank), a blank and Params; "" when FileName names
/// no file in a folder (the dialog was cancelled).
QString BrowsedCmdLine(const QString& FileName, const QString& Params);

/// True when the command line's program has the extension ".com" (any case):
/// it needs the command processor.
bool NeedsCommandProcessor(const QString& CmdLine);

/// The editor's caption for a job name as typed.
QString EditCaption(const QString& JobName);

// ---- Address picker ---------------------------------------------------------------

/// One entry per address book (".adr" in any case) of Folder, sorted by
/// name: the upper-case file name without ".adr", then "(" and the second
/// field of the book's first line, then ")". Books that are empty or cannot
/// be read give no entry; a missing folder gives none.
QStringList AddressBookEntries(const QString& Folder);

/// Which entries the names of Selection (comma-separated) select, and the
/// names that no entry has.
struct AddressPreselection {
    std::vector<int> Selected;
    QStringList Missing;
};
AddressPreselection PreselectAddresses(const QStringList& Entries, const QString& Selection);

/// The names of the selected entries, in list order, joined by ",".
QString SelectedAddresses(const QStringList& Entries, const std::vector<int>& Selected);

// ---- Include-file dialog ------------------------------------------------------------

/// What the job editor and the include-file dialog exchange. FileName "" on
/// return: cancelled.
struct IncludeFileParams {
    QString FileName;
    bool Attach = false;
    bool Filter = false;
    bool DateVars = false;
    bool DeleteAfter = false;
};

/// An include file name is at least 4 characters, on a fixed drive, and a
/// file in a folder that exists; its name may hold the wildcards "*" and "?"
/// that the message generation expands.
bool IncludeFileNameValid(const QString& FileName);
