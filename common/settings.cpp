#include "common/settings.h"

#include "common/ini.h"
#include "common/textfile.h"

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString SectionOf(const QString& app, const QString& section) { return app + QLatin1Char('\\') + section; }

// Holds an exclusive lock on the settings lock file while alive, so that two
// programs changing settings at once never lose each other's values.
class SettingsLock {
public:
    explicit SettingsLock(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~SettingsLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

private:
    int fd_ = -1;
};

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
bool Update(Change change) {
    const QString file = SettingsFilePath();
    if (!QDir().mkpath(FolderOf(file))) return false;
    SettingsLock lock(file + QStringLiteral(".lock"));
    IniDocument doc;
    if (!IniDocument::loadForUpdate(file, &doc)) return false;
    if (!change(doc)) return true;  // nothing changed
    return doc.save(file);
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

bool SaveSetting(const QString& App, const QString& Section, const QString& Key, const QString& Value) {
    if (!Holdable(SectionOf(App, Section), Key) || Value.contains(QLatin1Char('\n')) ||
        Value.contains(QLatin1Char('\r')))
        return false;
    return Update([&](IniDocument& doc) {
        doc.setValue(SectionOf(App, Section), Key, Value);
        return true;
    });
}

bool DeleteSetting(const QString& App, const QString& Section, const QString& Key) {
    return Update([&](IniDocument& doc) {
        if (Key.isEmpty()) return doc.removeSection(SectionOf(App, Section));
        return doc.removeKey(SectionOf(App, Section), Key);
    });
}

QList<QPair<QString, QString>> GetAllSettings(const QString& App, const QString& Section) {
    return IniDocument::load(SettingsFilePath()).entries(SectionOf(App, Section));
}
