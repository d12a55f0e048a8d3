#pragma once

#include "common/datetime.h"
#include "morvenda/core/journalfile.h"

#include <QString>

#include <cstdint>
#include <vector>

// The run journal: what the kick pass did since the schedule file was last
// saved, written ahead of its effects so that a scheduler killed at any moment
// runs no job twice and loses no outcome. It lies beside the schedule file
// (RunJournalPath), one line per record, each appended and flushed to the disk
// (fdatasync) before the step it announces:
//
//   S  a submission, before the job's program runs (its keeper holds it);
//   C  a submission whose program never ran, with the Started and Completed
//      the job has again;
//   E  a job's ending with its outcome, before the run log line, tracker and
//      trigger files, end-of-job messages and dependants' submissions;
//   P  the effects of the latest submission done: its run log line, tracker
//      file and the deletion of the file it waited for;
//   X  one effect of the latest ending done, or with a "-" before its
//      number one that failed and is to be tried again (P and X are appended
//      without a flush: they only spare a repeat of that effect after a
//      crash).
//
// A kick pass commits its records as a group: between BeginJournalGroup and
// CommitJournalGroup the S, C and E records are kept in memory, then appended
// in one write and flushed with one fdatasync, before any of them takes
// effect (a keeper released, an ending's effects carried out). P and X
// records wait in memory too, behind the run log lines they follow, and
// reach the file with the next write of the journal or FlushJournalSteps.
//
// SaveSchedule empties it once the schedule file is safely replaced. At the
// next start-up ReplayRunJournal lays it over the loaded schedule.

/// The effects of an ending, in the order the kick pass carries them out.
enum class EndStep {
    AbnormalMessage = 1,  ///< end-of-job message of a failure
    FailedLine,           ///< "Failed(...)" run log line
    TrackerFile,          ///< tracker file
    CompletionLine,       ///< "... at hh:mm:ss (Duration ...)" run log line
    NormalMessage,        ///< normal end-of-job message
    TriggerFile,          ///< trigger file
    Reschedule,           ///< automatic reschedule and its log line
    ForcedLine,           ///< "Forced completion at" run log line: done before all the others
};
inline constexpr int kLastEndStep = static_cast<int>(EndStep::Reschedule);

/// One bit for each EndStep in a set of steps.
inline constexpr unsigned StepBit(EndStep Step) { return 1u << static_cast<int>(Step); }

/// Every step up to Reschedule.
inline constexpr unsigned kAllEndSteps = ((1u << (kLastEndStep + 1)) - 1) & ~1u;

/// A job's ending as the journal keeps it.
struct JobEndRecord {
    bool Failed = false;
    bool Resched = false;  ///< the automatic reschedule rule holds
    bool Forced = false;   ///< the end was forced by the operator
    DateVal Completed;
    qint64 CompletedReal = 0;
    qint64 Span = 0;  ///< real seconds from submission to end
    std::int32_t LastDuration = 0;
    QString ErrorText;
};

/// An ending whose effects were not all done when the scheduler stopped (or
/// one of whose effects failed).
struct PendingEnding {
    int Job = 0;  ///< index in G.Jobs
    JobEndRecord Record;
    unsigned Done = 0;  ///< the EndSteps carried out (StepBit each), the forced-completion line among them
};

/// Starts a group of records: the S, C and E records that follow are kept in
/// memory until CommitJournalGroup. A group already open stays open.
void BeginJournalGroup();

/// Appends the group's records in one write, flushes them to the disk with
/// one fdatasync and ends the group. True when there was nothing to write.
/// False, with *error, when the write or the flush failed: none of the
/// group's records may take effect then (they are dropped).
bool CommitJournalGroup(QString* error);

/// Drops the records of an open group and ends it (a pass that stopped
/// before committing them: nothing of it took effect).
void DiscardJournalGroup();

/// Appends the P and X records kept in memory, without a flush (the run log
/// lines written before them are appended first).
void FlushJournalSteps();

/// Records job j's submission (its Started, StartedReal and ProcInfo as now
/// set) and the Started and Completed it had before. False, with *error, when
/// the record could not be written and flushed: the job must not run then.
/// Within a group the record is only kept (true): the group's commit decides.
bool JournalSubmission(int j, const DateVal& PrevStarted, const DateVal& PrevCompleted, QString* error);

/// Records that job j's submission never ran; the job has its Started and
/// Completed of before again.
bool JournalCancelled(int j, QString* error);

/// Records job j's ending, before any of its effects.
bool JournalEnding(int j, const JobEndRecord& Record, QString* error);

/// Records that the effects of job j's latest submission are done.
void JournalSubmitted(int j);

/// Records that one effect of job j's latest ending is done.
void JournalStep(int j, EndStep Step);

/// Records that one effect of job j's latest ending could not be carried out
/// (it is to be tried again; the steps after it go on).
void JournalStepFailed(int j, EndStep Step);

/// What a crash left undone.
struct PendingWork {
    std::vector<int> Submissions;        ///< jobs whose latest submission's effects were not done
    std::vector<PendingEnding> Endings;  ///< endings whose effects were not all done, in journal order
    bool Replayed = false;               ///< the journal held records of jobs of the schedule
    bool empty() const { return Submissions.empty() && Endings.empty(); }
};

/// Reads the journal of G.gSchedFile and lays its records over G.Jobs in
/// order: submissions set Started, ProcInfo and clear Completed; endings set
/// Completed, the failure mark and LastDuration; a done reschedule clears
/// Started and Completed. Records of jobs no longer in the schedule and broken
/// lines (a record cut short by a crash) are skipped; a record with a field
/// the schedule file could not hold (a time outside the years 1 to 9999, a
/// number that is none) is refused as damaged, with a run log line. Returns what was left
/// undone. A missing journal gives nothing.
PendingWork ReplayRunJournal();

/// Removes the keepers' records of endings that no running job of G.Jobs
/// refers to any longer, and temporary files a crash left in that folder.
void TidyJobEnds();

/// Keeps an ending one of whose effects could not be carried out (a message
/// or a trigger file that could not be written), or updates the one kept for
/// its job, to be carried out by a later pass (UnfinishedEndingsToTry). Its
/// records are carried over every emptying of the journal, so a restart
/// carries them out too.
void KeepUnfinishedEnding(const PendingEnding& Ending);

/// Job j's kept ending is kept no longer: its effects are carried out, or
/// the job runs again (what is left of its earlier run is not done then).
void DropUnfinishedEnding(int j);

/// Forgets every kept ending (another schedule is loaded).
void ForgetUnfinishedEndings();

/// The kept endings to try again now, with their jobs found again by name:
/// each one a few times in a run of the program, so an effect that keeps
/// failing is not reported at every pass.
std::vector<PendingEnding> UnfinishedEndingsToTry();

/// Called with the record's letter ('S', 'C', 'E') after each flushed record;
/// lets a test stop the scheduler at exactly that moment. Null: none.
void SetJournalObserver(void (*Observer)(char Kind));
