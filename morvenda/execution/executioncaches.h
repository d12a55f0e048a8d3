#pragma once

#include "morvenda/execution/journal.h"

#include <QSet>
#include <QString>

#include <vector>

// What the execution layer remembers from the program's state. G owns it
// (MorvendaState::Execution), so a fresh program state starts without kept
// endings, journal warnings or trigger files to delete.

struct ExecutionCaches {
    /// An ending with an effect still to carry out, and how often a pass
    /// tried it.
    struct Unfinished {
        QString name;
        PendingEnding ending;
        int tries = 0;
    };
    std::vector<Unfinished> unfinished;
    /// The run journal could not take the steps' records: said once, until a
    /// write succeeds again.
    bool stepsFailing = false;
    /// The trigger files the dummy runs wrote: the only files a dummy run
    /// deletes.
    QSet<QString> dummyTriggers;
};

/// G's execution caches, made on first use (never fails).
ExecutionCaches& TheExecutionCaches();
