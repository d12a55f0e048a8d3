#pragma once

#include "common/datetime.h"
#include "morvenda/core/jobrec.h"

#include <QString>

#include <array>
#include <optional>

/// Result of a date-variable substitution: the text, or the reason it failed.
struct SubstResult {
    bool ok = true;
    QString text;   // the substituted, trimmed text when ok
    QString error;  // why it failed when not ok
};

/// Text with every &NAME& of the job's date variables replaced by its date.
/// An impossible day or a search that finds no date fails with a reason;
/// nothing ends the program.
SubstResult SubstDateVars(const QString& Text, const std::array<QString, 7>& DateVars, const QString& Frequency);

/// The date a relative-day code names (Base = first day of the target month);
/// nullopt with *error set when no such date exists: a DOM code that names no
/// day of the target month, or a date further than 3660 days (about ten years)
/// from the run date (a frequency that never selects a date again, a calendar
/// without working days).
std::optional<DateVal> RelativeDay(const DateVal& Base, const QString& Frequency, const QString& RelDay,
                                   QString* error = nullptr);

/// When job JobIndex's first definition is empty, fills each empty slot with
/// the default of that slot (gDefDateVars): a job without variables gets all
/// seven, one with variables of its own in other slots keeps them, and a
/// default whose name the job already uses is left out.
void DefaultDateVars(int JobIndex);
/// The same for a job record of its own (one being read, not yet in G.Jobs).
void DefaultDateVars(JobRec& J);

/// The code with its "n" replaced by the number the operator enters; "" when
/// the operator cancels.
QString RelDayInput(const QString& Code);
