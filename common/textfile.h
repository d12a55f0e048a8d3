#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Text files of the system: UTF-8 written with CR LF line ends; readers take
// LF too, and a line that is not valid UTF-8 is read as Latin-1 (older files).

/// Bytes decoded line by line: a line (up to and with its LF) that is valid
/// UTF-8 as UTF-8, any other line as Latin-1.
QString DecodeText(const QByteArray& bytes);

/// One line's bytes decoded as DecodeText decodes them into Out, whose room
/// is kept for the next line: ASCII at once, valid UTF-8 as UTF-8, anything
/// else as Latin-1.
void DecodeLineInto(QByteArrayView Line, QString& Out);

/// Text split into lines at CR LF, LF or a lone CR; a final line end adds no
/// empty line.
QStringList SplitLines(const QString& text);

/// Reads a whole text file. False (with *error set to a message naming the
/// file) when it cannot be opened or read.
bool ReadTextFile(const QString& path, QString* text, QString* error = nullptr);

/// Reads a text file into lines (SplitLines). False as ReadTextFile.
bool ReadTextLines(const QString& path, QStringList* lines, QString* error = nullptr);

/// The bytes of the file at path. False, with *error ("Cannot open ..." or
/// "Cannot read ..." and the reason), when it cannot be opened or read.
bool ReadFileBytes(const QString& path, QByteArray* bytes, QString* error = nullptr);

/// Lines joined with CR LF after each line, encoded as UTF-8.
QByteArray EncodeLines(const QStringList& lines);

/// Replaces path with bytes (ReplaceWholeFile in common/atomicfile.h): a
/// temporary file in the same folder is written with every write checked,
/// flushed to the disk (fdatasync), closed, renamed over the old file, and the
/// folder is flushed. A file that is a symbolic link is replaced where the
/// link leads. The new file keeps the old one's permissions. False when any
/// step fails, with *error naming the file and the system's reason ("Cannot
/// write \"<path>\": No space left on device"); the old file is then left
/// byte for byte as it was and no temporary file is left.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

/// WriteFileAtomic for files whose name others may plant a link at: a
/// symbolic link at path is replaced by the file, never followed, and the new
/// file gets mode (default rw-r--r--). Flush false leaves out the two flushes
/// (the file is still replaced whole, but a power failure may keep the old
/// one): for files that only report a state another file keeps.
bool ReplaceFile(const QString& path, const QByteArray& bytes, QString* error = nullptr, int mode = 0644,
                 bool flush = true);

/// ReplaceFile, unflushed, for a small file rewritten many times over: an
/// existing plain file is overwritten in place (RewriteFileInPlace), so no
/// file is made or removed; anything else is replaced.
bool RewriteFile(const QString& path, const QByteArray& bytes, QString* error = nullptr, int mode = 0644);

/// The file that path leads to through its symbolic links (path itself when
/// it is no link): the target of a link, relative targets taken from the
/// link's folder, also when the target does not exist yet. A loop of links
/// gives the last name reached.
QString FollowLinks(const QString& path);

/// Removes the temporary files that ReplaceFile left in folder when a crash
/// came between writing and renaming: those for forName (every name when
/// empty) last changed at least minAgeSecs seconds ago. Returns how many.
int RemoveLeftoverTemps(const QString& folder, const QString& forName, int minAgeSecs);

/// The folder part of a path ("" for a bare name), without its final "/".
QString FolderOf(const QString& path);

/// The file name part of a path (after the last "/" or "\").
QString FileNameOf(const QString& path);

/// Folder and name joined with "/" (no doubled separator).
QString JoinPath(const QString& folder, const QString& name);

/// True when a file or folder of that name exists.
bool PathExists(const QString& path);

// Files that other computers sharing the base folder replace or create. Over
// a network file system a reader may meet ESTALE ("Stale file handle") or,
// for a moment, ENOENT while another computer renames a new file over the
// name: both pass once the client's attribute cache expires (about a
// second). ReadFileBytes, PathExists and the functions below retry them for
// at most kSharedRetryMs before they report the failure.

/// How long a stale handle, or a name that vanished while it was being
/// replaced, is retried (milliseconds).
inline constexpr int kSharedRetryMs = 2000;

/// True when path names a regular file (through links). A stale handle is
/// retried; any other error gives false.
bool IsRegularFile(const QString& path);

/// Removes the file at path; a stale handle is retried. False, with *error
/// set to the system's reason ("No such file or directory"), when it cannot
/// be removed (a missing file included).
bool RemoveSharedFile(const QString& path, QString* error = nullptr);

/// Reads the names of folder, and so brings this computer's view of them up
/// to date: over a network file system (FUSE among them) a name that another
/// computer replaced may lead, for up to a second, to the file it had before
/// (its content kept by the client); after a listing it leads to the new one.
/// Nothing happens for a folder that cannot be read.
void RefreshFolderView(const QString& folder);

/// What PublishFileNoReplace did.
enum class PublishResult {
    Published,  ///< finalPath now names the file; tempPath is gone
    NameTaken,  ///< finalPath names another file, which is untouched; tempPath is kept
    Failed,     ///< neither name changed; *error says why
};

/// Gives the finished file at tempPath the name finalPath (in the same
/// folder) without ever replacing a file that holds that name: a hard link
/// from tempPath to finalPath is made (link() refuses an existing name on
/// every file system that has links, over the network too), then tempPath is
/// removed and the folder flushed. Where the file system has no hard links, a
/// rename that refuses to replace is tried instead. Two programs, or two
/// computers, publishing under one name at the same moment: one gets
/// Published, the other NameTaken and tries its next name.
PublishResult PublishFileNoReplace(const QString& tempPath, const QString& finalPath, QString* error = nullptr);

/// Writes bytes to a new temporary file in folder (flushed to the disk, mode
/// rw-r--r--) and publishes it with PublishFileNoReplace under the first of
/// nameFor(0), nameFor(1), ... (at most attempts names) that no file holds.
/// Returns the path taken; "" when every name was taken or a step failed,
/// with *error saying why; no temporary file is left then.
QString PublishNewFile(const QString& folder, const QByteArray& bytes, const std::function<QString(int)>& nameFor,
                       int attempts, QString* error = nullptr);
