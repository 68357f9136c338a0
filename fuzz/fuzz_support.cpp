#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/gfx.h"

namespace qb::fuzz {

void StartGraphics() {
    if (!a_allegro_init()) {
        std::fprintf(stderr, "fuzz: the graphics library did not start\n");
        std::abort();
    }
}

const test::TempDir& Scratch() {
    static const test::TempDir dir;
    return dir;
}

void CheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz: check failed at %s:%d: %s\n", file, line, condition);
    std::abort();
}

}  // namespace qb::fuzz
