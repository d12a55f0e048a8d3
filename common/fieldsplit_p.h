#pragma once

#include <QString>

// The field scan behind GetLineField and GetField, which differ in how they
// pad their working copy: skips fieldNo-1 fields of `padded` and returns the
// next one. A field that begins with `quote` runs to the next single quote (a
// doubled quote stands for one); text after its closing quote up to the next
// separator is dropped; an unclosed quoted field runs to the end of the text
// (its padding removed).
QString TakePaddedField(const QString& padded, int fieldNo, QChar quote, QChar sep);
