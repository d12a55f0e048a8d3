#pragma once

// The public holidays check at start-up.

/// Fills G.gPubHols with the dates of G.gPubHolsFile in file order (empty,
/// and nothing checked, when no file is named). Lines whose first
/// comma-separated field is empty or begins with ";" are skipped. A file that
/// cannot be read shows "Cannot open file" and the path and ends the program
/// (throws FatalStop); a first field that is not a date, or a latest date
/// before today, ends it through FatalClose. A latest date less than 30 days
/// ahead shows a warning and the program goes on.
void CheckPubHolFile();
