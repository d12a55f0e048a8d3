#include "morvenda/core/state.h"

#include "morvenda/core/runlog.h"

MorvendaState G;

void ResetState() {
    G = MorvendaState();
    // Lines kept for a run log that could not be written belong to the
    // state that is gone.
    DropPendingRunLog();
}
