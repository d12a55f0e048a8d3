#include "common/settings.h"

#include "common/filelock.h"
#include "common/ini.h"
#include "common/textfile.h"

#include <QDir>

namespace {

QString SectionOf(const QString& app, const QString& section) { return app + QLatin1Char('\\') + section; }

// How long a change of settings waits for another program (on this
// computer, or on another that shares the home folder) that holds the
// settings lock.
constexpr int kSettingsLockWaitMs = 10000;

// A section or key the settings file could not give back: a section line
// ends at its first "]" and a key at its first "=", names are read trimmed,
// and a line break would split the line. Storing one would add a section or
// key on every save that no read ever finds.
bool Holdable(const QString& section, const QString& key) {
    const auto breaks = [](const QString& t) { return t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\r')); };
    return !section.contains(QLatin1Char(']')) && section == section.trimmed() && !breaks(section) && !key.isEmpty() &&
           !key.contains(QLatin1Char('=')) && key == key.trimmed() && !key.startsWith(QLatin1Char('[')) &&
           !key.startsWith(QLatin1Char(';')) && !key.startsWith(QLatin1Char('#')) && !breaks(key);
}

template <typename Change>
bool Update(Change change, QString* error = nullptr) {
    const QString file = SettingsFilePath();
    if (!QDir().mkpath(FolderOf(file))) {
        if (error) *error = QStringLiteral("Cannot make the folder \"%1\"").arg(FolderOf(file));
        return false;
    }
    // The lock keeps two programs changing settings at once from losing each
    // other's values; one kept by another past the wait fails the change
    // rather than risk that.
    const FileLock lock(file + QStringLiteral(".lock"), kSettingsLockWaitMs, 0600);
    if (!lock.held()) {
        if (error) *error = lock.error();
        return false;
    }
    IniDocument doc;
    if (!IniDocument::loadForUpdate(file, &doc, error)) return false;
    if (!change(doc)) return true;  // nothing changed
    return doc.save(file, error);
}

}  // namespace

QString SettingsFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Morvenda/settings.ini");
}

QString GetSetting(const QString& App, const QString& Section, const QString& Key, const QString& Default) {
    return IniDocument::load(SettingsFilePath()).value(SectionOf(App, Section), Key).value_or(Default);
}

bool SaveSetting(const QString& App, const QString& Section, const QString& Key, const QString& Value, QString* Error) {
    if (!Holdable(SectionOf(App, Section), Key) || Value.contains(QLatin1Char('\n')) ||
        Value.contains(QLatin1Char('\r'))) {
        if (Error) *Error = QStringLiteral("The settings file cannot hold the name or value as given");
        return false;
    }
    return Update(
        [&](IniDocument& doc) {
            doc.setValue(SectionOf(App, Section), Key, Value);
            return true;
        },
        Error);
}

bool DeleteSetting(const QString& App, const QString& Section, const QString& Key, QString* Error) {
    return Update(
        [&](IniDocument& doc) {
            if (Key.isEmpty()) return doc.removeSection(SectionOf(App, Section));
            return doc.removeKey(SectionOf(App, Section), Key);
        },
        Error);
}

QList<QPair<QString, QString>> GetAllSettings(const QString& App, const QString& Section) {
    return IniDocument::load(SettingsFilePath()).entries(SectionOf(App, Section));
}
