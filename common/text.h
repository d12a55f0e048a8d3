#pragma once

#include <QString>
#include <QStringList>

// Text helpers of the main scheduler program. Its field splitter,
// GetLineField, is not the companion programs' GetField (getfield.h): the two
// pad their working copy differently and are kept apart on purpose.

/// The FieldNo-th field (1-based) of Line split at Sep, honouring fields that
/// begin with Quote (a doubled quote inside stands for one). Field numbers of
/// 0 or less give the first field; a number past the last field gives "".
/// Text between a closing quote and the next separator is ignored. A quoted
/// field without its closing quote runs to the end of the line.
QString GetLineField(const QString& Line, int FieldNo, QChar Quote, QChar Sep);

/// Text with every double quote doubled.
QString DoubleQuotes(const QString& Text);

/// Text enclosed in double quotes, inner quotes left as they are.
QString AddQuotes(const QString& Text);

/// The part of Text before the first occurrence of Sub; all of Text when Sub
/// does not occur. Shared by the scheduler and the companion programs.
QString LeftOf(const QString& Text, const QString& Sub);

/// The part of Text after the first occurrence of Sub; "" when it does not occur.
QString RightOf(const QString& Text, const QString& Sub);

/// True when the character mask of Text equals Mask: digits become "0",
/// letters and the characters ! ? / \ become "A", anything else stays.
bool MatchCharMask(const QString& Text, const QString& Mask);

/// Appends Text and CR LF to FileName (created when missing) in one write, so
/// lines of two programs appending at once never interleave. False when the
/// file cannot be opened or written, with *Error (when given) naming the file
/// and the reason; a line that could be written only in part is taken off
/// again, so the file never ends in half a line.
bool AppendLine(const QString& FileName, const QString& Text, QString* Error = nullptr);

/// The leading decimal number of Text (after blanks, with an optional sign);
/// a text that is not a number reads as 0 and never fails.
qint64 Val(QStringView Text);

/// The leading decimal number of Text with its fraction ("2.6", "-1.5e"),
/// rounded to a whole number, halves away from zero ("2.6" and "2.5" give 3).
/// A text that is not a number reads as 0.
qint64 RoundedVal(const QString& Text);

/// Text padded with blanks or cut to Width characters, as a fixed-width field
/// holds it. A cut never splits a surrogate pair.
QString FixedText(const QString& Text, int Width);

/// Every character below a blank (TAB, CR, LF, ...) turned into a blank.
QString ControlsToBlanks(const QString& Text);

/// Case-insensitive equality of two texts.
bool SameText(const QString& a, const QString& b);

/// True when a and b hold the very same characters in memory: one is an
/// unchanged copy of the other (any change to a copy makes it a text of its
/// own). A test of "unchanged" that costs the same however long the text.
inline bool SameData(const QString& a, const QString& b) {
    return a.constData() == b.constData() && a.size() == b.size();
}
inline bool SameData(const QStringList& a, const QStringList& b) {
    return a.constData() == b.constData() && a.size() == b.size();
}
