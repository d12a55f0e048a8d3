#include "common/ini.h"

#include "common/textfile.h"

namespace {

// "[name]" -> name (trimmed); nullopt for any other line.
std::optional<QString> SectionName(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line (trimmed); nullopt for comments and others.
std::optional<QString> KeyName(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

QString ValueOf(const QString& line) { return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed(); }

}  // namespace

IniDocument::IniDocument(QStringList lines) : lines_(std::move(lines)) {}

IniDocument IniDocument::fromText(const QString& text) { return IniDocument(SplitLines(text)); }

IniDocument IniDocument::load(const QString& path) {
    QString text;
    if (!ReadTextFile(path, &text))
        return IniDocument();
    return fromText(text);
}

bool IniDocument::loadForUpdate(const QString& path, IniDocument* doc, QString* error) {
    if (!PathExists(path)) {
        *doc = IniDocument();
        return true;
    }
    QString text;
    if (!ReadTextFile(path, &text, error))
        return false;
    *doc = fromText(text);
    return true;
}

int IniDocument::findSection(const QString& section) const {
    for (int i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniDocument::sectionEnd(int h) const {
    int i = h + 1;
    while (i < lines_.size() && !SectionName(lines_[i]))
        ++i;
    return i;
}

int IniDocument::findKey(int h, const QString& key) const {
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const auto k = KeyName(lines_[i]);
        if (k && k->compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const int h = findSection(section);
    if (h < 0)
        return std::nullopt;
    const int k = findKey(h, key);
    if (k < 0)
        return std::nullopt;
    return ValueOf(lines_[k]);
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString line = key + QLatin1Char('=') + value;
    int h = findSection(section);
    if (h < 0) {
        lines_ << QLatin1Char('[') + section + QLatin1Char(']') << line;
        return;
    }
    const int k = findKey(h, key);
    if (k >= 0) {
        // Keep the key as it was spelled in the file.
        lines_[k] = *KeyName(lines_[k]) + QLatin1Char('=') + value;
        return;
    }
    // After the section's last key, before the blank lines that separate it
    // from the next section.
    int at = sectionEnd(h);
    while (at > h + 1 && lines_[at - 1].trimmed().isEmpty())
        --at;
    lines_.insert(at, line);
}

bool IniDocument::removeKey(const QString& section, const QString& key) {
    const int h = findSection(section);
    if (h < 0)
        return false;
    const int k = findKey(h, key);
    if (k < 0)
        return false;
    lines_.removeAt(k);
    return true;
}

bool IniDocument::removeSection(const QString& section) {
    const int h = findSection(section);
    if (h < 0)
        return false;
    const int end = sectionEnd(h);
    lines_.remove(h, end - h);
    return true;
}

QList<QPair<QString, QString>> IniDocument::entries(const QString& section) const {
    QList<QPair<QString, QString>> out;
    const int h = findSection(section);
    if (h < 0)
        return out;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const auto k = KeyName(lines_[i]);
        if (!k)
            continue;
        bool seen = false;
        for (const auto& e : out)
            seen = seen || e.first.compare(*k, Qt::CaseInsensitive) == 0;
        if (!seen)
            out.append({*k, ValueOf(lines_[i])});
    }
    return out;
}

bool IniDocument::save(const QString& path, QString* error) const {
    return WriteFileAtomic(path, EncodeLines(lines_), error);
}

QString IniGet(const QString& Section, const QString& Key, const QString& IniFile) {
    return IniDocument::load(IniFile).value(Section, Key).value_or(QString());
}

bool IniPut(const QString& Section, const QString& Key, const QString& Value, const QString& IniFile) {
    IniDocument doc;
    if (!IniDocument::loadForUpdate(IniFile, &doc))
        return false;
    doc.setValue(Section, Key, Value);
    return doc.save(IniFile);
}
