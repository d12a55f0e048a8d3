#pragma once

// The allocator policy of the programs: when freed heap goes back to the
// system.

/// Gives the heap freed so far back to the system (the pages of free chunks
/// and the free top of the heap), after a large load or a pass that freed
/// much. Cannot fail; a no-op where the C library keeps freed memory.
void ReturnFreeMemory();
