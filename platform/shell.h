#pragma once

#include <QString>

// Opening a document or a page with the desktop's chosen program: xdg-open,
// started detached so that it outlives the call and never holds us up.

/// Starts "xdg-open Target" (xdg-open looked up on PATH) as a detached process
/// with standard input from /dev/null. True when it was started; whether the
/// desktop then finds a program for Target is xdg-open's business. False when
/// Target is empty or xdg-open cannot be started (not on PATH, not
/// executable); *Error (when given) then says why. A Target that begins with
/// "-" is passed as "./-..." so that it is never read as an option.
bool ShellOpen(const QString& Target, QString* Error = nullptr);
