#include "morvenda/core/state.h"

MorvendaState G;

// Everything G owns goes with it: no list of other things to forget.
void ResetState() { G = MorvendaState(); }
