#pragma once

#include <cstddef>

// The one routine that replaces a file of the system whole. Plain C++ without
// Qt, so the job keeper (a program of its own) writes its records the same
// way as every other program writes its files.

/// What a checked writer is about to do to a file.
enum class IoStep { Write, Flush, Rename };

/// A test's hook into every checked write, flush and rename of the programs'
/// own files (files replaced whole or in place, lines appended, files
/// published, the run journal): it answers 0, or the errno with which that
/// step then fails; a failing write writes half of its bytes first, as a disk
/// that fills up does. Null (as in every program): nothing fails.
using IoFaultHook = int (*)(IoStep Step, const char* Path);

/// Installs the hook (null removes it).
void SetIoFaultHook(IoFaultHook Hook);

/// The hook's answer for the step (0 without a hook).
int IoFault(IoStep Step, const char* Path);

/// Where a failed replacement stopped.
enum class ReplaceStep {
    None,    ///< nothing failed
    Create,  ///< the temporary file could not be made in the folder
    Write,   ///< a write, the permissions, the flush or the close failed
    Rename,  ///< the temporary file could not take the file's name
    Sync,    ///< the new file is in place, but the folder could not be flushed
};

/// How a file is replaced.
struct ReplaceOptions {
    /// Permissions of the new file; -1: those of the file it replaces, or
    /// rw-rw-rw- less the umask for a new file.
    int mode = -1;
    /// Flush the file (fdatasync) and, after the rename, its folder to the
    /// disk. False: the file is still replaced whole, but a power failure may
    /// bring the old one back.
    bool flush = true;
};

/// Replaces the file at path with size bytes of data: a temporary file
/// ("." + name + ".XXXXXX.tmp", made new in the same folder) is written with
/// every write checked, flushed, closed (the close checked too) and renamed
/// over path; then the folder is flushed. A symbolic link at path is replaced,
/// never followed. Returns 0, or the errno of the step that failed, with
/// *step (when given) naming it. On any failure before the rename the
/// temporary file is removed and the old file is left byte for byte as it was.
int ReplaceWholeFile(const char* path, const void* data, std::size_t size, const ReplaceOptions& options = {},
                     ReplaceStep* step = nullptr);

/// Rewrites a small file that only reports a state (a tracker file) in
/// place: the file at path keeps its inode, its bytes are overwritten from
/// the start and its length then cut to size, so no file is made or removed
/// for it (on ext4, each file made and removed slows every later creation in
/// the folder for minutes). A file that is not there yet, a symbolic link, a
/// file with other names, anything but a regular file, and bytes that would
/// not fit in one page or in the blocks the file has are replaced instead
/// (ReplaceWholeFile, with options). A reader may find the old bytes past the
/// new line for a moment, never an empty file. Returns 0 or the errno of the
/// failed step, with *step naming it.
int RewriteFileInPlace(const char* path, const void* data, std::size_t size, const ReplaceOptions& options = {},
                       ReplaceStep* step = nullptr);
