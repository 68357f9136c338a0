#include "platform/heap_tuning.h"

#include <malloc.h>

namespace qb {

void KeepFreedMemoryForReuse() {
    // Blocks up to 32 MiB (the most glibc accepts here; a sprite file or picture bigger than that is
    // rare) come from the heap, and the heap is trimmed only when 512 MiB lie free at its top.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
}

}  // namespace qb
