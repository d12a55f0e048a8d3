#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the system: UTF-8 written with CR LF line ends; readers take
// LF too, and bytes that are not valid UTF-8 are read as Latin-1 (older files).

/// Bytes decoded as UTF-8 when they are valid UTF-8, else as Latin-1.
QString DecodeText(const QByteArray& bytes);

/// Text split into lines at CR LF, LF or a lone CR; a final line end adds no
/// empty line.
QStringList SplitLines(const QString& text);

/// Reads a whole text file. False (with *error set to a message naming the
/// file) when it cannot be opened or read.
bool ReadTextFile(const QString& path, QString* text, QString* error = nullptr);

/// Reads a text file into lines (SplitLines). False as ReadTextFile.
bool ReadTextLines(const QString& path, QStringList* lines, QString* error = nullptr);

/// Lines joined with CR LF after each line, encoded as UTF-8.
QByteArray EncodeLines(const QStringList& lines);

/// Replaces path atomically with bytes: a temporary file in the same folder is
/// written, flushed and renamed over the old one, so a crash never leaves half
/// a file. False (with *error set) when any step fails; the old file is then
/// untouched.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

/// The folder part of a path ("" for a bare name), without its final "/".
QString FolderOf(const QString& path);

/// The file name part of a path (after the last "/" or "\").
QString FileNameOf(const QString& path);

/// Folder and name joined with "/" (no doubled separator).
QString JoinPath(const QString& folder, const QString& name);

/// True when a file or folder of that name exists.
bool PathExists(const QString& path);
