#pragma once

#include <QString>

// File-system steps beyond writing a file whole (common/textfile.h): write
// permission, a second name for a file, a rename, and making a folder's names
// durable. Paths are the programs' own (UTF-8 on the disk).

/// What may be done to an existing file.
enum class WriteAccess {
    Missing,   ///< no file can be looked at there (none yet, or no access to the folder)
    Writable,  ///< it has a write permission and this user may write it
    ReadOnly,  ///< it has no write permission at all, or none for this user
};

/// Whether the file at path may be written.
WriteAccess FileWriteAccess(const QString& path);

/// How LinkReplacing went.
enum class LinkResult {
    Done,    ///< name now leads to the file at existing
    NoLink,  ///< the link could not be made (a file system without hard links, ...): nothing changed
    Failed,  ///< the link was made but could not take the name: it is removed again
};

/// Gives the file at existing the second name `name`, replacing whatever has
/// that name in one step: a link made at name + ".new" (one left over there
/// is removed first) is renamed over it, so there is never a moment without
/// a file at `name`. On Failed, *error (when given) is the system's text.
LinkResult LinkReplacing(const QString& existing, const QString& name, QString* error);

/// Renames from to to in one step, replacing a file that has that name. False,
/// with *error (when given) the system's text, when it fails.
bool RenameFile(const QString& from, const QString& to, QString* error);

/// Flushes the names in folder ("": the current folder) to the disk, so a file
/// made or renamed there survives a crash. A folder that cannot be opened is
/// left as it is: the names are then as durable as the file system keeps them.
void SyncFolder(const QString& folder);
