#pragma once

#include <QString>
#include <QStringList>

// The lists of lines the tests compare, built from short literals.

/// Lines written as one text with "|" between them: "a|b" gives {"a", "b"},
/// "" no line at all.
QStringList Rows(const char* Text);
