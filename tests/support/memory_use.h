#pragma once
// How much memory the process uses, for tests that repeat work and must not grow.
#include <cstddef>

namespace qb::test {

// Bytes the program has allocated and not freed. Under AddressSanitizer, its allocator's own count
// (freed blocks held in its quarantine are not counted); otherwise the C library's.
size_t LiveHeapBytes();
// Resident set size from /proc/self/statm (0 when it cannot be read). Under AddressSanitizer it
// includes the quarantine, so it grows until the quarantine is full.
size_t ResidentBytes();

}  // namespace qb::test
