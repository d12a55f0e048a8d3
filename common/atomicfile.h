#pragma once

#include <cstddef>

// The one routine that replaces a file of the system whole. Plain C++ without
// Qt, so the job keeper (a program of its own) writes its records the same
// way as every other program writes its files.

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
