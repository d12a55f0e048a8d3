#pragma once

#include <QChar>

#include <functional>

class QLineEdit;

/// A key filter: the character to insert for a typed character, or QChar(0)
/// to drop the key.
using KeyFilter = std::function<QChar(QChar)>;

/// Runs every character typed into Box through Filter: a dropped key inserts
/// nothing, a changed one (an upper-cased letter) inserts the new character.
/// Keys without text (cursor keys, Delete), Backspace and shortcuts with Ctrl
/// or Alt are left alone. The filter lives as long as Box.
void InstallKeyFilter(QLineEdit* Box, KeyFilter Filter);
