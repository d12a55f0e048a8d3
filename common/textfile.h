#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the system: UTF-8 written with CR LF line ends; readers take
// LF too, and a line that is not valid UTF-8 is read as Latin-1 (older files).

/// Bytes decoded line by line: a line (up to and with its LF) that is valid
/// UTF-8 as UTF-8, any other line as Latin-1.
QString DecodeText(const QByteArray& bytes);

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
