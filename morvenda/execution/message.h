#pragma once

#include <QString>

#include <array>

// End-of-job messages: the message files that the e-mailer (MRVEmail) sends.
// A message is written as "<name>.$$$" in the messages folder (G.gEmailPath)
// and renamed to "<name>.eml" once complete, so the e-mailer never sees half a
// file. Lines are keyword lines, CR LF ended, UTF-8: TO=, CC=, SUBJ=, BODY=
// (a "~" at the end of a body value is a line break) and ATT= (optionally
// followed by ",DEL=YES", which asks the e-mailer to delete the file after
// sending).

/// Writes the end-of-job message of job JobIndex (an index into G.Jobs) to the
/// recipients of To and Cc (comma-separated names, double quotes may enclose a
/// name holding commas). Msg[0] is the subject, Msg[1..4] the body lines; the
/// five characters of Flags[1..4] switch each body line's options ("1" = on, in
/// the order: names a file, date format between "&" in the name, attach
/// instead of include, directory-listing filter, delete the file after use).
/// Critical selects each recipient's call-out address (the second address of
/// its book) instead of the normal one. Never throws for a failure of its own
/// and never asks the operator: a message that cannot be written, a
/// suppressed or cancelled message and a failed attachment copy are reported
/// in the run log. (A run log that cannot be written stops the program as
/// everywhere else.) False when the message file could not be made or
/// written, so writing it again later may succeed; true when it was written,
/// or deliberately not (suppressed, cancelled, no messages folder set).
bool GenMessage(int JobIndex, const QString& To, const QString& Cc, const std::array<QString, 5>& Msg,
                const std::array<QString, 5>& Flags, bool Critical);

/// A base name (no extension) that no file of G.gEmailPath uses: the first
/// four characters of the trimmed job name padded with "x", a four-digit
/// counter and, when DeferMins is above 0, "." and the present moment plus
/// DeferMins minutes as yyyymmddhhnn. The counter is taken past every name
/// (without its stamp) that a file of the folder already starts, followed by
/// "." or nothing, so no two messages of one job ever share the part of the
/// name before its first ".". An unreadable folder counts as empty.
QString MessageFileName(const QString& JobName, int DeferMins);

/// The address of recipient Name: line LineNo (1 normal, 2 call-out) of its
/// address book "<trimmed Name>.adr" in G.gEmailAddrPath, counting every line
/// that does not begin with ";", put into the template G.gEmailAddrFormat
/// (its first "ADDRESS" becomes the line's field 1, its first "NAME" field 2).
/// On any failure (no book, book too short, unreadable, template without
/// either word) the text "Could not generate email address for <Name>.".
QString GetEmailAddr(const QString& Name, int LineNo);

/// Copies File into G.gEmailAttPath as "UFN<hhnnss>.<file name>" (with "-2",
/// "-3" ... after the time when that name is taken) and returns the copy's
/// path; "" when the copy cannot be made (nothing is left behind then).
QString CopyForAtt(const QString& File);

/// Name with the text between its first two "&" taken as a date format and
/// replaced, "&" included, by today's date in that format. A name without a
/// pair of "&" is returned unchanged.
QString VarSub(const QString& Name);

/// For included directory listings: "" (drop) for a line holding "<DIR>" or no
/// ":"; a line with ":" and a folder separator ("\" or "/") whole; any other
/// line from the fifth character after its first ":" on.
QString DirFilter(const QString& Line);

/// Replaces, in any letter case, every LongTag of Text by Value and then, when
/// ShortTag is not empty, every ShortTag by Value trimmed. Inserted text is not
/// searched again for the same tag.
void ReplaceTag(QString& Text, const QString& LongTag, const QString& ShortTag, const QString& Value);
