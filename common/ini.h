#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// INI files as the system's programs use them: "[Section]" headers and
// "Key=Value" lines. Section and key names are compared without regard to
// case, the first match wins and values are trimmed. Every other line
// (comments, blank lines, text that is not INI at all) is kept in its place and
// order when a key is written, byte for byte: a file keeps its encoding (UTF-8,
// or Latin-1 for an older file) and its line ends, and only the lines that
// change are written anew. New files get UTF-8 and CR LF. Files are replaced
// atomically.

/// An INI file's lines held in memory, edited in place.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(QStringList lines);

    /// Parses text (any line ends).
    static IniDocument fromText(const QString& text);

    /// Reads a file; a missing or unreadable file gives an empty document.
    static IniDocument load(const QString& path);

    /// The document of a file's bytes, remembering how each line was written
    /// so that save() gives the same bytes back for every unchanged line.
    static IniDocument fromBytes(const QByteArray& bytes);

    /// Reads a file for changing it: a missing file gives an empty document;
    /// a file that exists but cannot be read gives false (with *error set), so
    /// that it is never overwritten with less than it holds.
    static bool loadForUpdate(const QString& path, IniDocument* doc, QString* error = nullptr);

    /// The document's lines, as they would be written.
    const QStringList& lines() const { return lines_; }

    /// True when the document holds a section of that name.
    bool hasSection(const QString& section) const { return findSection(section) >= 0; }

    /// The trimmed value of the first Key of the first Section of that name;
    /// nullopt when either is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;

    /// Sets the first Key of Section to Value, creating the key at the end of
    /// the section and the section at the end of the document when missing.
    void setValue(const QString& section, const QString& key, const QString& value);

    /// Removes the first Key of Section; false when there was none.
    bool removeKey(const QString& section, const QString& key);

    /// Removes the first Section of that name with all its lines; false when
    /// there was none.
    bool removeSection(const QString& section);

    /// Every key of the first Section of that name with its value, in order
    /// (first occurrence of each key only).
    QList<QPair<QString, QString>> entries(const QString& section) const;

    /// The bytes save() writes: unchanged lines as they were read, new or
    /// changed ones in the document's encoding, each line with its own line
    /// end (new ones with the first line end of the file, CR LF when none).
    QByteArray toBytes() const;

    /// Writes toBytes() atomically. False (with *error set) when it cannot
    /// be written, or when a section, key or value set in the document holds
    /// a line end (CR or LF), which would split its line; the old file is
    /// then untouched.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    // Index of the header line of the section, or -1.
    int findSection(const QString& section) const;
    // Index one past the last line of the section starting at header index h.
    int sectionEnd(int h) const;
    // Index of the key's line within the section at header h, or -1.
    int findKey(int h, const QString& key) const;
    // Replaces line i; it is then written anew.
    void setLine(int i, const QString& text);
    void insertLine(int i, const QString& text);

    // A line as it was read: its bytes and its line end ("" for a last line
    // without one).
    struct RawLine {
        QByteArray bytes;
        QByteArray end;
    };

    QStringList lines_;
    // For each line, its index in raw_, or -1 for a line written anew.
    QList<int> origin_;
    QList<RawLine> raw_;
    QByteArray lineEnd_ = QByteArrayLiteral("\r\n");
    QByteArray bom_;
    bool latin1_ = false;
};

/// The value of Key in Section of IniFile; "" when the key, the section or the
/// file is missing. Long values come back whole.
QString IniGet(const QString& Section, const QString& Key, const QString& IniFile);

/// Writes Key=Value into Section of IniFile, creating the file, the section
/// and the key when missing. False when the file cannot be read or written,
/// or when Section, Key or Value holds a line end (CR or LF: written as it
/// is, it would split the key, and the rest would read back as other keys),
/// with *Error (when given) naming the key, the file and the reason; the file
/// is then as it was (a missing file is not created).
bool IniPut(const QString& Section, const QString& Key, const QString& Value, const QString& IniFile,
            QString* Error = nullptr);
