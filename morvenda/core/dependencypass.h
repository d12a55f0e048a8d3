#pragma once

#include <QString>

// The kick pass's dependency results: CheckDependency's, kept from one pass
// to the next and worked out again only for the jobs whose closure changed.
//
// What they follow, and when:
// - changes of the table's size or order (G.Jobs's own members), RenameJob
//   and SetJobState: at once, in the pass or between passes;
// - fields written straight into a table record (JobState, JobName, RunAfter,
//   RunAfterStatus, RunAfterUnsched): from the next BeginDependencyPass,
//   which compares every job's state, name and dependencies with what it saw.

/// Brings the kick pass's dependency results up to date with the table: notes
/// the jobs whose state, name or dependencies changed since the last call.
/// The kick pass calls it once, before its submission loop.
void BeginDependencyPass();

/// Tells the kick pass's dependency results that job JobIndex changed state;
/// SetJobState calls it. An index outside 1 to n drops every result.
void JobStateChangedInPass(int JobIndex);

/// CheckDependency(JobIndex, Text, false) for the kick pass: the same result
/// and text, given back from the last call for the job when no job of its
/// closure changed since.
QString CheckDependencyInPass(int JobIndex, QString& Text);

/// CheckDependencyInPass, with Line the job's status while it waits:
/// "Wait Job (" + Text + ")", "" when nothing is pending. One result's line
/// is kept once: jobs given the same line, and a job given the same line as
/// on the pass before, share its data (a caller tells an unchanged line
/// without comparing).
QString WaitJobInPass(int JobIndex, QString& Line);
