#pragma once

#include <QString>

#include "common/datetime.h"

// Lines of the public holidays file, as every program reads and writes them:
// a comment line begins with ";" (blanks before it allowed), a blank line
// carries nothing, and every other line is a date, optionally followed by ","
// and a description. Fields are split at "," with the double quote grouping,
// so a quoted description may hold commas.

/// The first line the configuration editor writes.
inline const QString kPubHolsHeader = QStringLiteral(";Morvenda Public Holidays File");

/// What one line of the file holds.
struct PublicHolidayLine {
    enum class Kind {
        Nothing,  ///< comment or blank line
        Holiday,  ///< a date (and maybe a description)
        BadDate,  ///< field 1 is not a date
    };
    Kind kind = Kind::Nothing;
    /// Holiday: the day at midnight (a time in the text is dropped).
    DateVal day;
    /// Field 1, trimmed.
    QString dateText;
    /// Field 2, trimmed ("" when none).
    QString description;
};

/// Reads one line of the file.
PublicHolidayLine ReadPublicHolidayLine(const QString& line);

/// The line for a date text and a description: the date alone when the
/// description is empty, else the date, "," and the description, which is
/// enclosed in double quotes (inner quotes doubled) when it holds a comma or
/// a double quote, so that it reads back whole.
QString PublicHolidayLineText(const QString& dateText, const QString& description);
