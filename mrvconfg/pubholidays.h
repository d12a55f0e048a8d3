#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "common/datetime.h"

// The public holidays editor's logic: list entries ("08 Dec 2026 (Name)"),
// the file read into entries and written back, sorting and the deletion of a
// past year. Dates are shown and written with the editor's date mask
// (gConfg.gDisplayFmt).

namespace confg {

/// Title of the holidays editor's messages.
inline const QString kPubHolTitle = QStringLiteral("Public Holidays");

/// Date and description of one list entry.
struct PHParts {
    QString EntryDate;
    QString EntryDesc;
};

/// The list entry for a date text and a description: the date rewritten with
/// Mask (the text as it is when it is no date), then " (" description ")"
/// when there is a description.
QString PHEntry(const QString& DateText, const QString& Desc, const QString& Mask);

/// Date and description of an entry: the text before the first "(" (less
/// the blank in front of it) and the text after it less the final ")".
PHParts SplitEntry(const QString& Entry);

/// The entry text of Parts: the date trimmed, then " (" description ")" when
/// the description is not blank.
QString JoinEntry(const PHParts& Parts);

/// The day of an entry; nullopt when its date text is no date.
std::optional<DateVal> EntryDay(const QString& Entry);

/// Sorts entries by their day; entries of the same day keep their order.
void SortPH(QStringList& Entries);

/// Reads a holidays file into entries, in file order, with dates in Mask.
/// Comment and blank lines carry nothing; lines whose date is no date are
/// dropped (*Dropped counts them). False, with *Error naming the file, when
/// the file cannot be read.
bool ReadPHFile(const QString& Path, const QString& Mask, QStringList* Entries, QString* Error, int* Dropped = nullptr);

/// Writes entries as a holidays file: the header comment, then one line per
/// entry. Written atomically; false with *Error when it cannot be.
bool WritePHFile(const QString& Path, const QStringList& Entries, QString* Error);

/// The answer the "Del Year" question starts with: the year of the first
/// entry less one ("" for an empty list or an entry without a date).
QString DelYearDefault(const QStringList& Entries);

/// The refusal of a "Del Year" answer given the current year ("" when the
/// year may be deleted): "Invalid year value." for 1 to 3 characters, "Can
/// only delete past years." unless the answer is below the current year.
QString DelYearRefusal(const QString& Answer, int CurrentYear);

/// Removes every entry whose date has Year as its four-digit year; the
/// number removed.
int DeleteYear(QStringList& Entries, const QString& Year);

}  // namespace confg
