#pragma once

#include "common/datetime.h"
#include "morvenda/core/jobrec.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QStringListModel;

// Program-wide state of the scheduler, held in one struct with one instance
// (G) so that a test can start from a fresh one (ResetState). Names are those
// the rest of the program knows them by.

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
    std::uint64_t JobsVersion = 0;  // set by JobTableChanged() when jobs are added, removed, moved, renamed, loaded
    // Upper-cased names of the jobs whose empty dependency entries the run
    // log already reported.
    QSet<QString> EmptyDepsReported;

    // The execution window's progress list while it is open (not owned).
    QStringListModel* ProgList = nullptr;
};

/// The scheduler's program-wide state.
extern MorvendaState G;

/// Puts G back to a fresh state (tests).
void ResetState();

/// Number of jobs in the table (its last index).
inline int JobCount() { return static_cast<int>(G.Jobs.size()) - 1; }

/// Job j of the table: 1 to JobCount(), and 0 for the copy buffer.
inline JobRec& Job(int j) { return G.Jobs[static_cast<size_t>(j)]; }
