#pragma once

#include "common/programfolder.h"

#include <QString>

// The scheduler's start-up: which configuration file to use, every key of it
// with its default and message, and the loading of the public holidays and
// the schedule.

/// Field 1 of the command line (the configuration file) and whether field 2
/// says "TEMP" (any case).
struct SchedulerCommandLine {
    QString iniFile;
    bool temporary = false;
};
SchedulerCommandLine ParseSchedulerCommandLine(const QString& commandLine);

/// Reads Key of G.gIniFile. An empty value appends ", " & Key to MissingList
/// and writes Key back with Marker; a value equal to Marker reads as "".
/// When the marker cannot be written, *NotMarked (when given and still
/// empty) says why.
QString IniGetWarn(const QString& Key, QString& MissingList, const QString& Marker, QString* NotMarked = nullptr);

/// Stops the program through FatalClose, naming Path, when Path is not a
/// readable file with a "[Morvenda]" section; nothing is written to it.
void CheckScheduleIni(const QString& Path);

/// True when Value is "0", "1", "2" (or "01", ...): not empty, a run of
/// characters of "012" and numerically 0, 1 or 2.
bool ValidDateDisplayFormat(const QString& Value);

/// What the start-up sequence hands to the start-up window.
struct StartupValues {
    QString runDateText;   // txtRunDate, in gDateFmt
    QString startTime;     // lblStartTime
    QString cpuLimit;      // lblCPULimit
    QString schedCaption;  // "Schedule: " & the schedule name
    QString schedTooltip;  // the ScheduleFile value
};

/// What the sequence needs of the windows around it.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    /// Shows the about box as the splash and lets it paint.
    virtual void showSplash() = 0;
    /// Hides and unloads the splash.
    virtual void hideSplash() = 0;
    /// Asks the operator for a configuration file when none is known yet
    /// (the first-run window); returns it, or ends the program by throwing
    /// FatalStop ("" ends it too).
    virtual QString firstRunFile() = 0;
};

/// Runs the start-up sequence for commandLine: finds and checks the
/// configuration file, reads every key into G, checks and loads the public
/// holidays and the schedule. Stops the program through FatalClose (throws
/// FatalStop) when nothing sensible is left to do. A file that came from the
/// first-run window is stored as this computer's default ("Current") once
/// the whole sequence has passed.
StartupValues RunStartupSequence(const QString& commandLine, StartupHost& host);

/// The run date start-up shows: yesterday when the moment lies before today's
/// date plus the day start, else today (both from the clock, dummy run or
/// not).
QString InitialRunDateText(const QString& dayStart);

// ProgramFolder and ExistingProgram: common/programfolder.h.
