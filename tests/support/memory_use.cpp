#include "tests/support/memory_use.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QB_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QB_TEST_ASAN 1
#endif

#if defined(QB_TEST_ASAN)
// Declared here because GCC does not install <sanitizer/allocator_interface.h>.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace qb::test {

size_t LiveHeapBytes() {
#if defined(QB_TEST_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

size_t ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long size = 0, resident = 0;
    const int read = std::fscanf(f, "%lu %lu", &size, &resident);
    std::fclose(f);
    if (read != 2) return 0;
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace qb::test
