#pragma once

#include <QString>

// The run journal's file, as far as the schedule file needs it: where it is,
// and emptying it once a save holds everything it recorded. Its records are
// written and read by morvenda/execution/journal.h.

/// The journal file kept open between records: a record is then one write
/// and one fdatasync, whatever the size of the schedule. fd is -1 while closed.
struct RunJournalFile {
    QString path;
    int fd = -1;
};

/// The one open journal file of the program.
RunJournalFile& TheRunJournal();

/// The journal of G.gSchedFile: its path followed by ".journal".
QString RunJournalPath();

/// Empties the journal (the schedule file now holds everything in it).
void EmptyRunJournal();

/// Closes the journal file (it is opened again by the next record).
void CloseRunJournal();
