#include "morvenda/core/state.h"

MorvendaState G;

void ResetState() { G = MorvendaState(); }
