#pragma once
// What the fuzz targets share: the graphics library started once per process, and a scratch folder
// for the files the core only reads by path (stage definitions, sprite files, the configuration).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/support/temp_dir.h"

namespace qb::fuzz {

// Starts Allegro without a display through the platform's own start; aborts when it cannot, since
// every later draw would then test nothing.
void StartGraphics();

// The process's scratch folder, removed when the fuzzer exits normally.
const test::TempDir& Scratch();

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Stops the fuzzer with a finding when a property of the result does not hold.
#define QB_FUZZ_CHECK(condition)                                                   \
    do {                                                                           \
        if (!(condition)) ::qb::fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
    } while (false)
[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

}  // namespace qb::fuzz
