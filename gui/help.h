#pragma once

#include <QString>

/// Opens the help page Page with ShellOpen. A page that is not a file shows
/// "Sorry - cannot find a help file matching "<Named>"" (Named is what the
/// program names the page by: its topic or its path); a page that cannot be
/// opened shows why, so a help button never silently does nothing. False in
/// both cases.
bool ShowHelpPage(const QString& Page, const QString& Named);
