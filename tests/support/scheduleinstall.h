#pragma once

#include "tests/support/jobbuilder.h"

#include <QString>

#include <map>
#include <vector>

// A schedule laid out in a folder of its own, as the end-to-end tests of the
// kick pass run it: its configuration and schedule file, and what its jobs,
// run logs and messages leave behind.

/// Makes the folders sched, trg, trk, log, eml, adr, att and doc in Base and
/// writes sched/<Name>.ini naming them (schedule Name, schedule file
/// sched/<Name>.sch, day start at midnight, a pass a second, one second of
/// start-up grace, no CPU limit, no holiday file); returns its path, "" when
/// it could not be written.
QString WriteScheduleIni(const QString& Base, const QString& Name);

/// Saves Jobs, in order, as the schedule file File, the program state
/// started afresh before and after; false when the save failed.
bool SaveJobsAs(const QString& File, const std::vector<JobBuilder>& Jobs);

/// The run logs (*.log) of Folder one after another, in name order; "" when
/// there are none.
QString ReadLogs(const QString& Folder);

/// How often each line of Text occurs, blanks around it aside (its first word
/// alone when FirstWord).
std::map<QString, int> CountLines(const QString& Text, bool FirstWord = false);

/// Whether any job of the table is running.
bool AnyJobRunning();
