// Version 2 sprite-file decoding speed: every sprite of the largest version 2 stage file of the corpus
// (read from memory: the node tables, links and every picture), beside a memcpy of the same decoded
// bytes. The "vs_memcpy" counter is one whole decode's time over one memcpy's time for those bytes,
// both in CPU time of this thread, so that other work on a busy machine does not skew the ratio.
#include <benchmark/benchmark.h>

#include "bench/corpus_files.h"
#include <time.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"

namespace {


// The bytes the pictures decode to (linked sprites decode nothing of their own).
int64_t DecodedBytes(const std::string& file) {
    const auto index = qb::ReadSff2(file);
    if (!index) return 0;
    const qb::Sff2Sheet sheet = qb::DecodeSff2Sheet(file, *index, qb::kMaxDecodedBytes);
    int64_t total = 0;
    for (const auto& p : sheet.pictures) total += static_cast<int64_t>(p.size);
    return total;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double MemcpySeconds(int64_t bytes) {
    std::vector<char> from(static_cast<size_t>(std::max<int64_t>(bytes, 1)), 1), to(from.size());
    double best = 1e9;
    for (int round = 0; round < 20; ++round) {
        const double start = ThreadSeconds();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

void DecodeEverySprite(benchmark::State& state, const std::string& file) {
    if (file.empty() || !qb::ReadSff2(file)) {
        state.SkipWithError("no version 2 stage sprite file in the corpus");
        return;
    }
    const int64_t decoded = DecodedBytes(file);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        const auto index = qb::ReadSff2(file);
        qb::Sff2Sheet sheet = qb::DecodeSff2Sheet(file, *index, qb::kMaxDecodedBytes);
        benchmark::DoNotOptimize(sheet.pictures.data());
    }
    const double perDecode = (ThreadSeconds() - start) / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetBytesProcessed(state.iterations() * decoded);
    state.counters["decoded_MB"] = static_cast<double>(decoded) / 1e6;
    state.counters["sprites"] = static_cast<double>(qb::ReadSff2(file)->sprites.size());
    state.counters["vs_memcpy"] = perDecode / MemcpySeconds(decoded);
}

void Memcpy(benchmark::State& state, int64_t bytes) {
    std::vector<char> from(static_cast<size_t>(std::max<int64_t>(bytes, 1)), 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = qb::bench::LargestCorpusSff({"stages_v2"});
    std::string file;
    if (!path.empty()) file = qb::ReadFileBytes(path, qb::kMaxSffFileBytes).value_or(std::string());
    benchmark::RegisterBenchmark("DecodeLargestV2StageSff", [&](benchmark::State& s) { DecodeEverySprite(s, file); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MemcpyLargestV2StageSff", [&](benchmark::State& s) {
        Memcpy(s, DecodedBytes(file));
    })->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
