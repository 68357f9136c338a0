// Sprite-file loading speed: index and decode of the largest real sprite file and of a generated file
// with 5,000 sprites, in decoded megabytes per second, beside a memcpy of the same decoded bytes
// (the "vs_memcpy" counter is load time over memcpy time for those bytes).
#include <benchmark/benchmark.h>

#include "bench/corpus_files.h"

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "demo/sff_writer.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/sff_decoder.h"
#include "platform/sff_file.h"

namespace {


// Sprites in the shape of real content: a transparent surround, runs of flat colour and noisy detail.
std::string GeneratedSff(int count) {
    std::mt19937 rng(7);
    std::vector<qb::demo::SffSprite> sprites;
    sprites.reserve(static_cast<size_t>(count));
    qb::demo::Palette palette{};
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<uint8_t>(rng());
    for (int i = 0; i < count; ++i) {
        qb::demo::SffSprite s;
        s.group = i / 10;
        s.image = static_cast<int16_t>(i % 10);
        if (i % 25 == 24) {
            s.linkTo = static_cast<int16_t>(i - 1);
            sprites.push_back(std::move(s));
            continue;
        }
        const int w = 24 + static_cast<int>(rng() % 97);
        const int h = 32 + static_cast<int>(rng() % 97);
        s.picture = {w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 0)};
        for (int y = 0; y < h; ++y) {
            const int left = static_cast<int>(rng() % static_cast<unsigned>(w / 4 + 1));
            const int right = w - static_cast<int>(rng() % static_cast<unsigned>(w / 4 + 1));
            int x = left;
            while (x < right) {
                const int run = 1 + static_cast<int>(rng() % 8);
                const auto color = static_cast<uint8_t>(1 + rng() % 255);
                for (int k = 0; k < run && x < right; ++k, ++x)
                    s.picture.pixels[static_cast<size_t>(y * w + x)] = color;
            }
        }
        s.palette = palette;
        s.samePalette = i > 0;
        sprites.push_back(std::move(s));
    }
    return qb::demo::WriteSff(sprites);
}

qb::SpriteTable IndexTable(const qb::SffIndex& index) {
    qb::SpriteTable table(index.entries.size() + 1);
    for (size_t j = 0; j < index.entries.size(); ++j) {
        const auto& s = index.entries[j];
        table[j].Group = s.group;
        table[j].Image = s.image;
        table[j].Mask = 1;
        if (s.IsLinked()) table[j].Owner = static_cast<int16_t>(s.linkedIndex);
    }
    return table;
}

// Decoded 16-bit bytes of the pictures (linked sprites decode nothing).
int64_t DecodedBytes(const std::string& path) {
    auto bytes = qb::ReadFileBytes(path, qb::kMaxSffFileBytes);
    if (!bytes) return 0;
    auto index = qb::ReadSffIndex(*bytes);
    if (!index) return 0;
    auto table = IndexTable(*index);
    qb::Load_Stage_SFF(path, table, static_cast<int>(index->entries.size()));
    int64_t total = 0;
    for (size_t j = 0; j < index->entries.size(); ++j) {
        if (table[j].Owned) total += int64_t{table[j].Width} * table[j].Height * 2;
    }
    return total;
}

double MemcpySeconds(int64_t bytes) {
    std::vector<char> from(static_cast<size_t>(bytes), 1), to(static_cast<size_t>(bytes));
    double best = 1e9;
    for (int round = 0; round < 20; ++round) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Between loads: gives the memory the last load freed back to the system, so that the next load
// writes into fresh pages as the first load of a stage in a process does (the allocator and the
// bitmap blocks would otherwise hand back pages they already have, as they do for a reload).
void ForgetFreedMemory(benchmark::State& state, bool fresh) {
    if (!fresh) return;
    state.PauseTiming();
    qb::ReleaseSpareBitmapMemory();
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    state.ResumeTiming();
}

// Reads the file once, indexes it and decodes every picture from those bytes, as the stage loader
// does; `expand` adds the 32-bit words high-resolution stages draw from (ExpandSffBitmaps, which the
// stage loader runs for them).
void LoadFile(benchmark::State& state, const std::string& path, bool fresh = false, bool expand = false) {
    if (path.empty()) {
        state.SkipWithError("no sprite file");
        return;
    }
    const int64_t decoded = DecodedBytes(path);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ForgetFreedMemory(state, fresh);
        auto bytes = qb::ReadFileBytes(path, qb::kMaxSffFileBytes);
        auto index = qb::ReadSffIndex(*bytes);
        auto table = IndexTable(*index);
        qb::DecodeSffSprites(*bytes, table, static_cast<int>(index->entries.size()));
        if (expand) qb::ExpandSffBitmaps(table);
        benchmark::DoNotOptimize(table.data());
    }
    const double perLoad = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                           static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetBytesProcessed(state.iterations() * decoded);
    state.counters["decoded_MB"] = static_cast<double>(decoded) / 1e6;
    state.counters["sprites"] = 0;
    if (auto bytes = qb::ReadFileBytes(path, qb::kMaxSffFileBytes)) {
        if (auto index = qb::ReadSffIndex(*bytes))
            state.counters["sprites"] = static_cast<double>(index->entries.size());
    }
    // Wall time of one load over the time of one memcpy of the decoded bytes.
    state.counters["vs_memcpy"] = perLoad / MemcpySeconds(decoded);
}

// Decoding alone, from bytes already in memory (no file reads): the hot loop's own speed.
void DecodeInMemory(benchmark::State& state, const std::string& path, bool fresh = false) {
    auto bytes = qb::ReadFileBytes(path, qb::kMaxSffFileBytes);
    auto index = bytes ? qb::ReadSffIndex(*bytes) : std::nullopt;
    if (!index) {
        state.SkipWithError("no sprite file");
        return;
    }
    const int64_t decoded = DecodedBytes(path);
    for (auto _ : state) {
        ForgetFreedMemory(state, fresh);
        auto table = IndexTable(*index);
        qb::DecodeSffSprites(*bytes, table, static_cast<int>(index->entries.size()));
        benchmark::DoNotOptimize(table.data());
    }
    state.SetBytesProcessed(state.iterations() * decoded);
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

// The drawing calls a frame spends its time in, over a full 320 x 240 view. A quarter of the sprite
// is mask colour, in patches as in stage sprites (not scattered, which only measures mispredictions).
template <typename Draw>
void DrawFullView(benchmark::State& state, Draw draw) {
    auto dest = qb::CreateBitmap(qb::kViewWidth, qb::kViewHeight);
    auto sprite = qb::CreateBitmap(qb::kViewWidth, qb::kViewHeight);
    std::mt19937 rng(3);
    for (int y = 0; y < qb::kViewHeight; ++y) {
        uint16_t* row = qb::BitmapRow(sprite.get(), y);
        for (int x = 0; x < qb::kViewWidth; ++x)
            row[x] = (x / 16 + y / 16) % 4 == 0 ? static_cast<uint16_t>(qb::kMaskColor)
                                                : static_cast<uint16_t>(rng() & 0xF7DE);
    }
    qb::a_clear_to_color(dest.get(), qb::a_makecol(40, 80, 120));
    for (auto _ : state) {
        draw(dest.get(), sprite.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * qb::kViewWidth * qb::kViewHeight);
}

struct GeneratedFile {
    std::filesystem::path path;
    GeneratedFile() {
        path =
            std::filesystem::temp_directory_path() / ("qb-sff-bench-" + std::to_string(::getpid()) + ".sff");
        std::ofstream(path, std::ios::binary) << GeneratedSff(5000);
    }
    ~GeneratedFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qb::a_allegro_init();
    const std::string largest = qb::bench::LargestCorpusSff({"stages", "chars"});
    GeneratedFile generated;
    const std::string gen = generated.path.string();

    benchmark::RegisterBenchmark("LoadLargestCorpusSff", [&](benchmark::State& s) { LoadFile(s, largest); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("MemcpyLargestCorpusSff", [&](benchmark::State& s) {
        Memcpy(s, DecodedBytes(largest));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodeLargestCorpusSffInMemory", [&](benchmark::State& s) {
        DecodeInMemory(s, largest);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("DecodeLargestCorpusSffInMemoryFresh", [&](benchmark::State& s) {
        DecodeInMemory(s, largest, true);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("LoadLargestCorpusSffFresh",
                                 [&](benchmark::State& s) { LoadFile(s, largest, true); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadLargestCorpusSffFreshExpanded",
                                 [&](benchmark::State& s) { LoadFile(s, largest, true, true); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadGenerated5000", [&](benchmark::State& s) { LoadFile(s, gen); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadGenerated5000Fresh",
                                 [&](benchmark::State& s) { LoadFile(s, gen, true); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("MemcpyGenerated5000", [&](benchmark::State& s) {
        Memcpy(s, DecodedBytes(gen));
    })->Unit(benchmark::kMillisecond);

    using Bmp = BITMAP*;
    benchmark::RegisterBenchmark("DrawSprite320x240", [](benchmark::State& s) {
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::a_draw_sprite(d, sp, 0, 0); });
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("DrawTransSprite320x240", [](benchmark::State& s) {
        qb::a_set_trans_blender(0, 0, 0, 128);
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::a_draw_trans_sprite(d, sp, 0, 0); });
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("AddSprite320x240", [](benchmark::State& s) {
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::add_sprite(d, sp, 0, 0, 128); });
    })->Unit(benchmark::kMicrosecond);
    // Plain "add" layers draw at full strength, which has its own path; 200 stands for any other.
    benchmark::RegisterBenchmark("AddSpriteFull320x240", [](benchmark::State& s) {
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::add_sprite(d, sp, 0, 0, 255); });
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("AddSprite200Offset320x240", [](benchmark::State& s) {
        // Shifted by an odd amount: unaligned rows and a clipped right edge with a short tail.
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::add_sprite(d, sp, 3, 1, 200); });
    })->Unit(benchmark::kMicrosecond);
    // add1 and A1 layers: the whole sprite onto half the background.
    benchmark::RegisterBenchmark("BlendSprite256_128_320x240", [](benchmark::State& s) {
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::blend_sprite(d, sp, 0, 0, 256, 128); });
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("SubSprite320x240", [](benchmark::State& s) {
        DrawFullView(s, [](Bmp d, Bmp sp) { qb::sub_sprite(d, sp, 0, 0); });
    })->Unit(benchmark::kMicrosecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
