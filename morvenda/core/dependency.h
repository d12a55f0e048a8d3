#pragma once

#include <QString>

// Dependencies between the jobs of the schedule (G.Jobs) and the lookup of a
// job by its name.

/// Index (1 to n) of the first job whose trimmed name equals the trimmed
/// JobName without regard to case; 0 when there is none or JobName is blank.
/// Looks the name up in an index of the table, rebuilt when the table has
/// changed (see JobTableChanged) and checked against the job it finds, so a
/// lookup costs O(1) amortised.
int FindJob(const QString& JobName);

/// Tells FindJob's index that jobs were added, removed, moved, renamed or the
/// table was loaded anew. Every code that changes a job's name or position in
/// G.Jobs calls it once it is done (ResetState also makes the index rebuild).
void JobTableChanged();

/// Evaluates the dependencies of job JobIndex over their whole closure (the
/// prerequisites, their prerequisites, and so on; each name once, with the
/// letter and flag it was first reached with). Entries that name no job of the
/// schedule are met.
///
/// FindMode false: returns gDepMet (all met), gDepWait (at least one pending)
/// or gDepNever (one can never be met and its flag is "Y"), and sets Text to
/// the wait text, e.g. "PAYROLL(S) - Running, BACKUP(F) - Succeeded".
/// FindMode true: Text holds a job name; returns gDepFound when a job of that
/// exact trimmed name is in the closure, else "". Text is left unchanged.
///
/// A blank entry is skipped; the first time a job's blank entry is met, the
/// run log gets "Empty RunAfter entry for job NAME skipped.". A prerequisite
/// whose submission failed (state 4) is pending for every letter, with the
/// word "Submit Failed".
/// An index outside 1 to n returns gDepMet with an empty Text (find mode: "").
QString CheckDependency(int JobIndex, QString& Text, bool FindMode);

/// Writes "Empty RunAfter entry for job NAME skipped." to the run log, the
/// first time in the program's state (G.EmptyDepsReported, emptied with it)
/// that job NAME's blank dependency entry is met, by the evaluation or the
/// grid alike.
void ReportEmptyDependency(const QString& JobName);

/// Brings the kick pass's dependency results up to date with the table: notes
/// the jobs whose state, name or dependencies changed since the last call (a
/// job renamed without JobTableChanged makes the name index start again). The
/// kick pass calls it once, before its submission loop.
void BeginDependencyPass();

/// Tells the kick pass's dependency results that job JobIndex changed state
/// since BeginDependencyPass.
void JobStateChangedInPass(int JobIndex);

/// CheckDependency(JobIndex, Text, false) for the kick pass: the same result
/// and text, given back from the last call for the job when no job of the
/// schedule changed state, name or dependencies since (see
/// BeginDependencyPass and JobStateChangedInPass).
QString CheckDependencyInPass(int JobIndex, QString& Text);

/// CheckDependencyInPass, with Line the job's status while it waits:
/// "Wait Job (" + Text + ")", "" when nothing is pending. One result's line
/// is kept once: jobs given the same line, and a job given the same line as
/// on the pass before, share its data (a caller tells an unchanged line
/// without comparing).
QString WaitJobInPass(int JobIndex, QString& Line);

/// After a rename (NewName not empty): every RunAfter entry equal to OldName
/// (trimmed, without regard to case) becomes NewName, and when any did the
/// operator is told which jobs changed. NewName empty: nothing changes and
/// NewName receives the list ", JOB1, JOB2" of the jobs that depend on OldName
/// (one item per matching entry; "" when none). A blank OldName matches nothing.
void UpdateDependents(const QString& OldName, QString& NewName);

/// After a rename: every WaitForFile equal to ".." & OldName (trimmed, without
/// regard to case) becomes ".." & NewName, and when any did the operator is
/// told which jobs changed and that other schedules must be updated by hand.
/// A blank OldName matches nothing.
void UpdateTriggerDependents(const QString& OldName, const QString& NewName);
