#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ReturnFreeMemory() {
#if defined(__GLIBC__)
    // glibc keeps freed chunks for later allocations; only malloc_trim hands
    // the pages inside the heap back, not just its top.
    ::malloc_trim(0);
#endif
}
