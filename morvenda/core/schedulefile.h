#pragma once

#include "morvenda/core/jobrec.h"

#include <QChar>
#include <QString>
#include <QStringList>

// The schedule file: one line per job, 50 TAB-separated columns, CR LF line
// ends, UTF-8 (older files are read as Latin-1; older comma-separated files
// are read too, and always written back with TABs).

/// Number of columns in a schedule-file line.
inline constexpr int kScheduleColumns = 50;

/// Reads G.gSchedFile into G.Jobs (element 0 empty, jobs from 1) and gives
/// every job its default date variables and its run state. A missing file
/// asks whether to create it (Yes: CreateDefaultSchedule; No: FatalClose). An
/// unreadable file shows a message and ends the program (throws FatalStop);
/// a line that is not a job (not exactly 50 columns, a job name longer than 8
/// characters), with an unclosed quote or with a start or end time that is not
/// a date ends it through FatalClose with a message naming the file, the line and the
/// column; when the line holds TABs but line 1 made the file comma-separated
/// (line 1 empty, or without a TAB), the message says so. The file itself is
/// never changed by a failed load.
void LoadSchedule();

/// Reports, once, what the loaded jobs name that the schedule does not know:
/// frequency items that are no keyword or date, and dependencies that name
/// no job of the schedule. One run log line each and one message listing
/// them (the first twenty); nothing when there are none. LoadSchedule calls
/// it; Path names the file in the message.
void ReportUnknownNames(const QString& Path);

/// Writes jobs 1 to n of G.Jobs to G.gSchedFile, keeping the previous file as
/// its backup (ScheduleBackupName), then rewrites this schedule's share of
/// the trigger list (UpdateJobIndexFile). Returns false, with a message and
/// nothing written, for a file whose name ends in "bak". An empty dependency
/// entry ends the program through FatalClose before anything is written. A
/// failing step (writing the new file, making the backup, putting the new file
/// in place) asks Retry or Cancel; Cancel ends the program through FatalClose
/// and leaves the schedule file as it was.
bool SaveSchedule();

/// Replaces G.Jobs by one job "Dummy" (group "Dummy", frequency "WorkDays",
/// default date variables) and saves it (SaveSchedule).
void CreateDefaultSchedule();

/// The schedule-file line of one job (without its line end): 50 fields joined
/// by TABs, each trimmed (but columns 45 and 46, one letter per dependency,
/// where a blank counts), a field holding a comma, a double quote or a TAB
/// enclosed in double quotes with its inner quotes doubled; CR and LF are
/// written as blanks.
QString ScheduleLine(const JobRec& J);

/// Appends ScheduleLine(J) to Out as UTF-8 (without its line end).
void AppendScheduleLine(QByteArray& Out, const JobRec& J);

/// Fills J from one schedule-file line whose fields are separated by Sep (TAB,
/// or "," for an older file). Fields that are not saved keep the values J
/// already has. False, with *error set to what is wrong and in which column
/// (for example: column 13: "31 Foo 2026" is not a date), when the line does
/// not hold exactly kScheduleColumns fields, its job name is longer than 8
/// characters, a quoted field has no closing quote or a start or end time is
/// not a date. A text of the line equal to the same text of Like (the job read
/// before, when given) shares Like's characters instead of a copy of its own.
bool ParseScheduleLine(const QString& Line, QChar Sep, JobRec* J, QString* error, const JobRec* Like = nullptr);

/// Splits Line at Sep into all its fields, read as GetLineField reads each of
/// them (a field beginning with a double quote runs to its closing quote, a
/// doubled quote standing for one; text after the closing quote up to the next
/// separator is dropped). Returns 0, or the number of the first field whose
/// quote is never closed (Fields then ends with that field).
int SplitScheduleFields(const QString& Line, QChar Sep, QStringList* Fields);

/// The backup name of a schedule file: the file name's own extension
/// replaced by ".bak" (".bak" appended when it has none), in the same folder.
QString ScheduleBackupName(const QString& Path);
