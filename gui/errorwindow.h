#pragma once

#include <QString>

class QWidget;

/// Shows an error box (Title, Message, an OK button) and waits until it is
/// closed, by OK or by a close request. Under X11 the message is also the
/// name (WM_NAME and _NET_WM_NAME) of a native child window of the box, which
/// is where the scheduler looks for the run-time error texts of a job's
/// windows. Where no one can see a window (Qt's offscreen or minimal
/// platform) it writes "Title: Message" and a line end to standard error
/// instead and returns false at once; the caller then ends with a non-zero
/// exit status, so the scheduler still sees the failure. True when the box
/// was shown.
bool ShowErrorWindow(const QString& Title, const QString& Message, QWidget* Parent = nullptr);
