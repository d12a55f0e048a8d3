#pragma once

class QWidget;

/// The job editor's date picker: a calendar on the date of G.gDateSelText
/// (the run date when it holds none). A click on a date puts it into
/// G.gDateSelText in G.gDateFmt and closes; Esc closes and leaves the text
/// as it was. Stands in for the program's own date picker until that is
/// part of the program.
void PickEditDate(QWidget* Parent);
