#pragma once

#include <QString>

#include <functional>
#include <vector>

// Rescheduling and unscheduling jobs of a running schedule by hand: which
// jobs the dialog offers, the cascade to the jobs that depend on the chosen
// ones, and applying the change with its run log lines and the save.

/// Which way the dialog changes the chosen jobs.
enum class ReschedMode { Unschedule, Reschedule };

/// The dialog's list entry of job j: its name blank-filled to eight
/// characters, a TAB, its status text.
QString ReschedEntryText(int JobIndex);

/// The jobs the dialog lists, in the order it lists them: jobs of GroupFilter
/// (every job when it is gAllGroups) that are Scheduled or Running
/// (Unschedule), or Completed or Aborted, with Unscheduled and Not Scheduled
/// too when InclUnsched is set (Reschedule). Sorted: by entry text without
/// regard to case; else in table order.
std::vector<int> ReschedCandidates(ReschedMode Mode, bool InclUnsched, bool Sorted, const QString& GroupFilter);

/// Extends Selected (one flag per entry of Listed, the job indices of the
/// list) with every listed job that depends, directly or through other
/// listed jobs, on a selected one. Jobs that are not listed break the chain.
/// Returns true when it selected anything.
bool SelectDeps(const std::vector<int>& Listed, std::vector<bool>& Selected);

/// Applies Mode to the jobs Chosen (in list order): sets their hand flag,
/// re-evaluates their run state, writes "NAME     (freq)<TAB>status" to the
/// run log and the progress list for each, clears gSchedComplete, and saves
/// the schedule (also when Chosen is empty). Rescheduled jobs lose their start
/// and end times and their failure marks and set gSchedModified; after each
/// unscheduled job UnsubBuild (when given) rebuilds the execution window's
/// unsubmitted-jobs list.
void ApplyResched(ReschedMode Mode, const std::vector<int>& Chosen, const std::function<void()>& UnsubBuild);
