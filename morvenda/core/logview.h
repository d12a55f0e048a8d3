#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Extracts of the run log: which dated log files the schedule has, which of
// their lines a filter keeps, and the extract file written beside the log.

/// The filters of the log viewer, numbered as its options.
enum class LogSel { All = 0, Group = 1, Job = 2, Failed = 3 };

/// One run log file of the schedule.
struct LogFileEntry {
    QString entry;    ///< the name shown: the file name without its last extension
    QString path;     ///< the log file
    QString extract;  ///< the extract beside it (ExtractName)
};

/// The extract's file name for a log file name: its last extension replaced
/// by "tmp" ("20261208.log" -> "20261208.tmp"; a name without one gets
/// ".tmp"). Only the file name takes part, never a dotted folder.
QString ExtractName(const QString& LogName);

/// The run log files of G.gLogFile's folder whose names match its file name
/// with "?" for the date tokens (without regard to case), sorted by name.
/// Empty when there is no run log or its folder cannot be read.
std::vector<LogFileEntry> ListLogFiles();

/// The distinct trimmed groups of the jobs, sorted without regard to case.
QStringList LogGroups();
/// The trimmed names of every job, sorted without regard to case.
QStringList LogJobNames();
/// The trimmed names of the jobs whose trimmed group is Group.
QStringList GroupJobNames(const QString& Group);

/// True when Line belongs in an extract: Sel All keeps every line; Group and
/// Job keep a line whose text (from the fourth character after the time's
/// second ":") starts with one of Names, without regard to case, followed by
/// a blank, a TAB, "(" or the end of the line; Failed keeps a job's line
/// whose event, after the name and an attached "(frequency)", begins with
/// "Failed" or "Submission failed". A line without a time matches no filter
/// but All.
bool LogLineMatches(const QString& Line, LogSel Sel, const QStringList& Names);

/// Reads LogPath, keeps the lines LogLineMatches keeps, and writes them to
/// ExtractPath (replaced atomically). False, with *Error saying why, when the
/// log cannot be read or the extract cannot be written.
bool WriteLogExtract(const QString& LogPath, const QString& ExtractPath, LogSel Sel, const QStringList& Names,
                     QString* Error);

/// True when a desktop is at hand on which the extract can be opened
/// (DISPLAY or WAYLAND_DISPLAY set).
bool DesktopAvailable();
