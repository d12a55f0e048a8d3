#pragma once

#include <functional>

class QWidget;

// The one road from the schedule grid into the job editor. The grid calls
// EditJob for New, Paste New, Modify and a double-click; tests put a stand-in
// editor in place with SetEditJobOverride.

/// Opens the job editor modally on Jobs[G.gCurJob]. Returns true when the
/// editor ended with OK (record written back, schedule saved); false when it
/// was cancelled, in which case G.gEditCancelled is set.
bool EditJob(QWidget* parent);

/// Makes EditJob call Editor instead of the job editor; an empty function puts
/// the job editor back.
void SetEditJobOverride(std::function<bool(QWidget*)> Editor);
