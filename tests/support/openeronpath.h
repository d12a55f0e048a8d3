#pragma once

#include "tests/support/testing.h"

#include <QString>

/// A stand-in xdg-open first on PATH (then /usr/bin and /bin) while alive: it
/// writes its arguments, one a line, to a record file of its own folder.
struct OpenerOnPath {
    OpenerOnPath();
    /// The recorded arguments once the detached opener has run; "" after five
    /// seconds. The record is removed, so the next opening can be awaited.
    QString waitRecord() const;

    TempDir dir;
    QString record;
    ScopedEnv path;
    ScopedEnv out;
};
