#pragma once

#include "common/datetime.h"
#include "morvenda/core/dependencycache.h"
#include "morvenda/core/frequency.h"
#include "morvenda/core/jobrec.h"
#include "morvenda/core/runlog.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QStringListModel;
struct RunJournalFile;   // morvenda/core/journalfile.h
struct WindowScan;       // morvenda/core/jobwindows.cpp
struct ExecutionCaches;  // morvenda/execution/executioncaches.h

// Program-wide state of the scheduler, held in one struct with one instance
// (G) so that a test can start from a fresh one (ResetState). Names are those
// the rest of the program knows them by.
//
// Where state lives. The scheduler's logic runs on one thread: nothing is
// thread_local. A function may keep a memo in a function-level static only
// when what it remembers is a pure function of its arguments (a date mask's
// tokens, the bytes a schedule column's items make); it returns by value or
// fills the caller's buffer, never a reference into the memo. Everything
// remembered that comes from the program's state (the dependency results,
// the run log's waiting lines, the open run journal, the frequency memos, a
// pass's window scan, the execution layer's kept endings and trigger files)
// is owned by G, so that `G = MorvendaState()` forgets all of it at once.
// Scratch buffers are the caller's. What the conversions between wall-clock
// and real moments ask of a zone is kept by the installed clock
// (common/clock.h).

struct MorvendaState {
    // Configuration file and the values start-up reads from it.
    QString gIniFile;
    bool gIniTemp = false;     // the file was given with ",TEMP"
    bool gStartingUp = false;  // start-up sequence running (about box refuses to close)
    QString gGeniePath;
    QString gProgTitle;
    QStringList gFixedDrives;
    QString gSchedName;
    QString gSchedFile;
    QString gLogFile;  // with its date tokens unexpanded; "" = no run log
    QString gTriggerPath;
    QString gTrackerPath;
    QString gJobDocPath;
    QString gEmailPath;
    QString gEmailAttPath;
    QString gEmailAddrPath;
    QString gPubHolsFile;
    QString gHelpPath;
    QString gDummyProg;
    QString gDummyModel;
    QString gWorkdays = QStringLiteral("Mon,Tue,Wed,Thu,Fri");
    QString gRunTimeErrorText;  // upper-cased, "|"-separated
    std::int16_t gMinJobLaunch = 10;
    bool gShowFailedWarn = false;
    bool gLoopCheck = false;
    bool gAllowCritical = false;
    QString gEmailAddrFormat = QStringLiteral("Address");
    QString gJobIndexFile;

    // Date display formats.
    QString gDateFmt = QStringLiteral("d mmm yyyy");
    QString gDateFmtLong = QStringLiteral("dd mmm yyyy");

    // Run date and its start.
    DateVal gRunDate;
    DateVal gDayStart;  // time of day (a value within 30 Dec 1899)
    DateVal gRunDayStart;
    // The clock's day number on which a dummy run's run date began (0: today).
    qint64 gDummyFromDay = 0;

    // Launch options.
    bool gDummyRun = false;
    bool gDumManFile = true;
    bool gDumGenMsg = false;
    bool gDumCrtTriggers = false;
    bool gDOSSerial = false;
    bool gSuspended = false;
    std::int16_t gCPULimit = 9999;

    // Completion and rollover of the run date.
    bool gSchedComplete = false;
    bool gDeferredJobsDone = false;
    bool gNoJobRunning = false;
    std::int64_t gEventCounter = 0;
    bool gTrigWarned = false;

    // Grid and editors.
    std::int16_t gCurJob = 0;
    bool gEditCancelled = false;
    QString gGroupFilter;
    bool gSchedModified = false;
    QString gCurProfile;
    QString gDateSelText;
    QString gEmailAddrSel;
    bool gFillingGroups = false;
    bool gJobCopied = false;  // a job was copied into element 0 of Jobs

    // Public holidays, numbered from 1 in file order: holiday k is gPubHols[k-1].
    std::vector<DateVal> gPubHols;

    // The job table: element 0 is the grid's copy buffer, jobs are 1 to n.
    JobTable Jobs = JobTable(1);
    // Its name index and dependency results (dependency.h, dependencypass.h).
    DependencyCache Deps;
    // Upper-cased names of the jobs whose empty dependency entries the run
    // log already reported.
    QSet<QString> EmptyDepsReported;

    // The execution window's progress list while it is open (not owned).
    QStringListModel* ProgList = nullptr;

    // Remembered from the state above (see "Where state lives"). The
    // parts that hold a file or a display connection, and those of the
    // execution layer (above core, so its types are not known here), are
    // held through shared pointers made on first use by their accessors: a
    // copy of G (a test that puts the state back) shares them.
    PendingRunLog RunLogLines;                   // RunLogBatch's lines
    FrequencyMemo Frequency;                     // IsRunDay's calendar and answers
    std::shared_ptr<RunJournalFile> Journal;     // TheRunJournal()
    std::shared_ptr<WindowScan> PassWindows;     // while a JobWindowPass lives
    std::shared_ptr<ExecutionCaches> Execution;  // TheExecutionCaches()
};

/// The scheduler's program-wide state.
extern MorvendaState G;

/// Puts G back to a fresh state (tests).
void ResetState();

/// Number of jobs in the table (its last index).
inline int JobCount() { return static_cast<int>(G.Jobs.size()) - 1; }

/// Job j of the table: 1 to JobCount(), and 0 for the copy buffer.
inline JobRec& Job(int j) { return G.Jobs[static_cast<size_t>(j)]; }

/// Sets the run state of job JobIndex (0 to JobCount()) and tells the kick
/// pass's dependency results; the one way the program changes a table job's
/// state. An index outside the table changes nothing.
void SetJobState(int JobIndex, int State);
