#pragma once

#include <QString>

// The companion programs' field splitter. It differs from the scheduler's
// GetLineField on purpose (its working copy is padded with 30 separators);
// callers pass the double quote and "," or "|".

/// Field l (counted from 1) of Strng split at Delim; a field that begins with
/// Quote runs to the next single Quote (a doubled Quote stands for one) and any
/// text after that closing quote up to the next Delim is dropped. Numbers of 0
/// or less give field 1; a number past the last field gives "". Blanks are kept.
/// A quoted field without its closing quote runs to the end of the text.
QString GetField(const QString& Strng, int l, QChar Quote, QChar Delim);

/// True when the program runs in its development setting: the environment
/// variable MRV_DEVELOPMENT is set to anything but "" or "0". The e-mailer then
/// renames files that a sent message asks it to delete instead of deleting them.
bool InDevEnvironment();
