#pragma once

#include <QString>

#include <cstddef>

// An append-only file made durable record by record (the run journal): opened
// once, appended to, flushed to the disk after each record that must survive
// a crash, and cut back to its last whole record when a write fails.
//
// The file is known by its descriptor, a plain int (-1: none), so whatever
// holds it can be copied and replaced as a value. Every failure comes back as
// false (or -1) with *error, when given, set to the system's text for it, e.g.
// "No space left on device".

/// What OpenDurable does when the file does not exist.
enum class WhenMissing { Create, Fail };

/// Opens path for appending and returns its descriptor. A missing file is
/// made (rw-r--r-- before the umask) unless whenMissing is Fail; a symbolic
/// link at path is refused. -1 when it cannot be opened.
int OpenDurable(const QString& path, QString* error, WhenMissing whenMissing = WhenMissing::Create);

/// Appends size bytes at the end of the file fd, going on after interruptions
/// and short writes. False when not all of them could be written (a full disk,
/// a bad descriptor): some may have been; DurableLength tells how far it got.
bool DurableAppend(int fd, const char* data, std::size_t size, QString* error);

/// Flushes what was written to fd to the disk (its data, and its length).
bool DurableSync(int fd, QString* error);

/// Cuts the file fd back to length bytes.
bool DurableCutBack(int fd, qint64 length, QString* error);

/// The length of the file fd in bytes; -1 when it cannot be told.
qint64 DurableLength(int fd, QString* error);

/// Closes *fd when it is open and sets it to -1. Cannot fail: what was synced
/// is on the disk.
void DurableClose(int* fd);
