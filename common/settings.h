#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Per-user settings shared by the system's programs, addressed by application,
// section and key. They live in one file, $XDG_CONFIG_HOME/Morvenda/settings.ini
// (~/.config when XDG_CONFIG_HOME is not set), one INI section per
// "application\section"; every change is a read-modify-write under an
// exclusive lock and replaces the file atomically.

/// Path of the settings file.
QString SettingsFilePath();

/// The stored value; Default when the application, section or key is missing.
QString GetSetting(const QString& App, const QString& Section, const QString& Key, const QString& Default = QString());

/// Stores a value. False, with nothing written, when the settings file cannot
/// be written, with *Error (when given) naming the file and the reason, or
/// cannot hold the name or value as given (a section name with "]", a key
/// with "=", names with blanks around them, line breaks).
bool SaveSetting(const QString& App, const QString& Section, const QString& Key, const QString& Value,
                 QString* Error = nullptr);

/// Deletes one key, or the whole section when Key is empty. False only when
/// the settings file cannot be written (a missing key is no failure), with
/// *Error (when given) naming the file and the reason.
bool DeleteSetting(const QString& App, const QString& Section, const QString& Key = QString(),
                   QString* Error = nullptr);

/// Every key of a section with its value, in stored order.
QList<QPair<QString, QString>> GetAllSettings(const QString& App, const QString& Section);
