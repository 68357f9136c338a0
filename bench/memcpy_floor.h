#pragma once
// The floor the blend benches compare with: the best of 50 memcpys of `count` pixels into a buffer of
// the same size, in seconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qb::bench {

inline double BestMemcpySeconds(const uint32_t* from, size_t count) {
    std::vector<uint32_t> to(count);
    double best = 1e9;
    for (int round = 0; round < 50; ++round) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from, count * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace qb::bench
