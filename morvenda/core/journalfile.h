#pragma once

#include <QByteArray>
#include <QString>

// The run journal's file, as far as the schedule file needs it: where it is,
// what waits to be written to it, and emptying it once a save holds
// everything it recorded. Its records are made and read by
// morvenda/execution/journal.h.

/// The journal file kept open between records: a record is then one write
/// and one flush to the disk, whatever the size of the schedule. fd is the
/// file's descriptor for platform/durablefile.h, -1 while closed.
/// Records wait in `pending`, in their order, until a durable record (or the
/// end of a group, or a flush of the steps) writes them out.
struct RunJournalFile {
    QString path;
    int fd = -1;
    QByteArray pending;
    bool group = false;
    qsizetype groupStart = 0;  ///< where the open group's records begin in pending
    QByteArray groupKinds;     ///< the letters of its S, C and E records, in order
    /// A failed write could not be cut back: the length the file is cut back
    /// to when it is opened again (-1: none).
    qint64 cutBackTo = -1;
    /// Records that outlive an emptying: written again at once after it.
    QByteArray carried;
};

/// The one open journal file of the program.
RunJournalFile& TheRunJournal();

/// The journal of G.gSchedFile: its path followed by ".journal".
QString RunJournalPath();

/// Appends what waits in memory, flushed to the disk when sync is set. The run
/// log lines kept in memory go first, so a record of an effect never reaches
/// the disk ahead of the line it stands for. False, with *error naming the
/// journal and the reason, when the open, a write or the flush failed: the
/// file is then cut back to its last whole record and the records stay in
/// `pending`, for the caller to drop those that must not take effect.
bool WriteRunJournalPending(bool sync, QString* error);

/// Empties the journal (the schedule file now holds everything in it) but for
/// the `carried` records, which it then holds alone; the records still
/// waiting in memory are dropped and the run log lines they follow written.
void EmptyRunJournal();

/// Writes the records waiting outside a group (without a flush) and closes
/// the journal file (it is opened again by the next record).
void CloseRunJournal();
