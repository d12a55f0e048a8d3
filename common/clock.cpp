#include "common/clock.h"

namespace {
SystemClock gSystemClock;
const Clock* gClock = nullptr;
}  // namespace

const Clock& currentClock() { return gClock ? *gClock : gSystemClock; }

void setClock(const Clock* c) { gClock = c; }
