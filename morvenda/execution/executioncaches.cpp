#include "morvenda/execution/executioncaches.h"

#include "morvenda/core/state.h"

#include <memory>

ExecutionCaches& TheExecutionCaches() {
    if (!G.Execution) G.Execution = std::make_shared<ExecutionCaches>();
    return *G.Execution;
}
