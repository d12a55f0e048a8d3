#include "common/ini.h"

#include "common/textfile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// "[name]" -> name (trimmed); nullopt for any other line.
std::optional<QString> SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('['))) return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line (trimmed); nullopt for comments and others.
std::optional<QString> KeyName(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0) return std::nullopt;
    return t.left(eq).trimmed();
}

QString ValueOf(const QString& line) { return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed(); }

bool HasLineEnd(QStringView text) { return text.contains(u'\n') || text.contains(u'\r'); }

// A name as a message shows it: its line ends written out.
QString Shown(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return text;
}

// Why a key cannot be written: a line end in its section, name or value
// would split its line, and what follows the line end would be read back as
// a line of its own (another key, another section).
QString LineEndRefusal(const QString& section, const QString& key, const QString& file) {
    const QString what = HasLineEnd(section) ? QStringLiteral("the section's name")
                         : HasLineEnd(key)   ? QStringLiteral("its name")
                                             : QStringLiteral("its value");
    return QStringLiteral(
               "Key \"%1\" of section [%2] was not written to \"%3\": %4 holds a line end, which would split it "
               "into two lines")
        .arg(Shown(key), Shown(section), file, what);
}

}  // namespace

IniDocument::IniDocument(QStringList lines) : lines_(std::move(lines)), origin_(lines_.size(), -1) {}

IniDocument IniDocument::fromText(const QString& text) { return IniDocument(SplitLines(text)); }

IniDocument IniDocument::fromBytes(const QByteArray& bytes) {
    IniDocument doc;
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF")) {
        doc.bom_ = QByteArrayLiteral("\xEF\xBB\xBF");
        rest = rest.sliced(3);
    }
    // The whole file decides the encoding of the lines written anew.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString probe = utf8.decode(rest);  // decoding happens on conversion
    doc.latin1_ = utf8.hasError();
    bool endSeen = false;
    qsizetype start = 0;
    const qsizetype n = rest.size();
    // Split at CR LF, LF or a lone CR, as SplitLines does, keeping each end.
    for (qsizetype i = 0; i <= n; ++i) {
        const bool atEnd = i == n;
        if (!atEnd && rest[i] != '\n' && rest[i] != '\r') continue;
        if (atEnd && start == n) break;
        qsizetype endLen = atEnd ? 0 : (rest[i] == '\r' && i + 1 < n && rest[i + 1] == '\n' ? 2 : 1);
        RawLine raw{rest.sliced(start, i - start).toByteArray(), rest.sliced(i, endLen).toByteArray()};
        if (!endSeen && endLen > 0) {
            doc.lineEnd_ = raw.end;
            endSeen = true;
        }
        // Line by line: a line written in UTF-8 into an older Latin-1 file
        // (a character Latin-1 lacks) reads back as written.
        doc.lines_ << DecodeText(raw.bytes);
        doc.origin_ << static_cast<int>(doc.raw_.size());
        doc.raw_ << raw;
        start = i + endLen;
        i = start - 1;
    }
    return doc;
}

IniDocument IniDocument::load(const QString& path) {
    IniDocument doc;
    loadForUpdate(path, &doc);
    return doc;
}

bool IniDocument::loadForUpdate(const QString& path, IniDocument* doc, QString* error) {
    *doc = IniDocument();
    if (!PathExists(path)) return true;
    QByteArray bytes;
    if (!ReadFileBytes(path, &bytes, error)) return false;
    *doc = fromBytes(bytes);
    return true;
}

void IniDocument::setLine(int i, const QString& text) {
    lines_[i] = text;
    origin_[i] = -1;
}

void IniDocument::insertLine(int i, const QString& text) {
    lines_.insert(i, text);
    origin_.insert(i, -1);
}

int IniDocument::findSection(const QString& section) const {
    for (int i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

int IniDocument::sectionEnd(int h) const {
    int i = h + 1;
    while (i < lines_.size() && !SectionName(lines_[i])) ++i;
    return i;
}

int IniDocument::findKey(int h, const QString& key) const {
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const auto k = KeyName(lines_[i]);
        if (k && k->compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const int h = findSection(section);
    if (h < 0) return std::nullopt;
    const int k = findKey(h, key);
    if (k < 0) return std::nullopt;
    return ValueOf(lines_[k]);
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString line = key + QLatin1Char('=') + value;
    int h = findSection(section);
    if (h < 0) {
        insertLine(static_cast<int>(lines_.size()), QLatin1Char('[') + section + QLatin1Char(']'));
        insertLine(static_cast<int>(lines_.size()), line);
        return;
    }
    const int k = findKey(h, key);
    if (k >= 0) {
        // Keep the key as it was spelled in the file; an unchanged value
        // leaves the line's bytes alone.
        if (ValueOf(lines_[k]) != value) setLine(k, *KeyName(lines_[k]) + QLatin1Char('=') + value);
        return;
    }
    // After the section's last key, before the blank lines that separate it
    // from the next section.
    int at = sectionEnd(h);
    while (at > h + 1 && lines_[at - 1].trimmed().isEmpty()) --at;
    insertLine(at, line);
}

bool IniDocument::removeKey(const QString& section, const QString& key) {
    const int h = findSection(section);
    if (h < 0) return false;
    const int k = findKey(h, key);
    if (k < 0) return false;
    lines_.removeAt(k);
    origin_.removeAt(k);
    return true;
}

bool IniDocument::removeSection(const QString& section) {
    const int h = findSection(section);
    if (h < 0) return false;
    const int end = sectionEnd(h);
    lines_.remove(h, end - h);
    origin_.remove(h, end - h);
    return true;
}

QList<QPair<QString, QString>> IniDocument::entries(const QString& section) const {
    QList<QPair<QString, QString>> out;
    const int h = findSection(section);
    if (h < 0) return out;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const auto k = KeyName(lines_[i]);
        if (!k) continue;
        bool seen = false;
        for (const auto& e : out) seen = seen || e.first.compare(*k, Qt::CaseInsensitive) == 0;
        if (!seen) out.append({*k, ValueOf(lines_[i])});
    }
    return out;
}

QByteArray IniDocument::toBytes() const {
    QByteArray out = bom_;
    const qsizetype n = lines_.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int o = origin_[i];
        QByteArray end;
        if (o >= 0) {
            out += raw_[o].bytes;
            end = raw_[o].end;
        } else {
            const QString& text = lines_[i];
            // A Latin-1 file stays Latin-1 as long as the text allows it, and
            // as long as its bytes are not UTF-8 too ("\u00EF\u00BB\u00BF"
            // would read back as one character): a line is read as UTF-8
            // whenever it is.
            bool fitsLatin1 = latin1_;
            for (qsizetype c = 0; fitsLatin1 && c < text.size(); ++c) fitsLatin1 = text[c].unicode() <= 0xff;
            const QByteArray latin1 = fitsLatin1 ? text.toLatin1() : QByteArray();
            out += fitsLatin1 && DecodeText(latin1) == text ? latin1 : text.toUtf8();
        }
        // A last line without a line end keeps it so; any other line ends.
        if (end.isEmpty() && (o < 0 || i + 1 < n)) end = lineEnd_;
        out += end;
    }
    return out;
}

bool IniDocument::save(const QString& path, QString* error) const {
    // Lines read from the file hold no line end; one set here may.
    QString section;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QString& line = lines_[i];
        const std::optional<QString> header = SectionName(line);
        if (header) section = *header;
        if (origin_[i] >= 0 || !HasLineEnd(line)) continue;
        if (error) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            QString key = eq < 0 ? line.trimmed() : line.left(eq).trimmed();
            // A new section is followed by the key it was made for.
            if (header) key = i + 1 < lines_.size() ? KeyName(lines_[i + 1]).value_or(QString()) : QString();
            *error = LineEndRefusal(section, key, path);
        }
        return false;
    }
    return WriteFileAtomic(path, toBytes(), error);
}

QString IniGet(const QString& Section, const QString& Key, const QString& IniFile) {
    return IniDocument::load(IniFile).value(Section, Key).value_or(QString());
}

bool IniPut(const QString& Section, const QString& Key, const QString& Value, const QString& IniFile, QString* Error) {
    if (HasLineEnd(Section) || HasLineEnd(Key) || HasLineEnd(Value)) {
        if (Error) *Error = LineEndRefusal(Section, Key, IniFile);
        return false;
    }
    IniDocument doc;
    if (!IniDocument::loadForUpdate(IniFile, &doc, Error)) return false;
    doc.setValue(Section, Key, Value);
    return doc.save(IniFile, Error);
}
