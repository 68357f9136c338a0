// The 32-bit picture's blend loops, one case per blend mode: a 640 × 480 sprite drawn whole onto a
// 640 × 480 picture (the size of a high-resolution stage), beside a memcpy of the same pixels. The
// sprite is a version 1 picture made 32-bit as a high-resolution stage's load makes it, a quarter of it
// the mask colour in patches, or a PNG picture whose alpha runs through every value. Counter
// "vs_memcpy": one draw's time over the time memcpy takes to write the picture once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "bench/memcpy_floor.h"
#include "platform/gfx.h"
#include "platform/sff_decoder.h"
#include "render/compose32.h"

namespace {

constexpr int kW = 640, kH = 480;

double MemcpySeconds() {
    const std::vector<uint32_t> from(static_cast<size_t>(kW) * kH, 1);
    return qb::bench::BestMemcpySeconds(from.data(), from.size());
}

struct Sprites {
    qb::SpriteTable table = qb::SpriteTable(2);
    Sprites() {
        std::mt19937 rng(5);
        qb::SpriteEntry& v1 = table[0];
        v1.Owned = qb::CreateBitmap(kW, kH);
        v1.Bitmap = v1.Owned.get();
        for (int y = 0; y < kH; ++y) {
            uint16_t* row = qb::BitmapRow(v1.Bitmap, y);
            for (int x = 0; x < kW; ++x)
                row[x] = (x / 16 + y / 16) % 4 == 0 ? static_cast<uint16_t>(qb::kMaskColor)
                                                    : static_cast<uint16_t>(rng() & 0xF7DE);
        }
        qb::ExpandSffBitmaps(table);
        auto png = std::make_shared<qb::Sff2Picture>();
        png->width = kW;
        png->height = kH;
        png->rgba = true;
        png->size = static_cast<size_t>(kW) * kH * 4;
        png->bytes = std::make_unique<uint8_t[]>(png->size);
        for (size_t i = 0; i < png->size; ++i) png->bytes[i] = static_cast<uint8_t>(rng());
        table[1].Picture = png;
    }
};

struct Case {
    const char* name;
    int sprite;  // 0: version 1 words, 1: PNG with alpha
    bool masked;
    qb::Blend32 blend;
    bool flip = false;
    int dx = 0;  // an offset moves the rows off alignment and clips the right edge
};

void Draw(benchmark::State& state, const Sprites& sprites, const Case& c, double memcpySeconds) {
    const qb::Source32 source = qb::MakeSource32(sprites.table[static_cast<size_t>(c.sprite)], c.masked);
    qb::Picture32 picture(kW, kH, 0xFF406080u);
    int64_t drawn = 0;
    for (auto _ : state) {
        drawn += qb::ComposeRect(picture, source, 0, 0, kW, kH, c.dx, c.dx, c.flip, false, c.blend,
                                 qb::WholePicture(picture));
        benchmark::ClobberMemory();
    }
    const auto iterations = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetItemsProcessed(drawn);
    state.counters["vs_memcpy"] = benchmark::Counter(
        iterations * memcpySeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char** argv) {
    qb::a_allegro_init();
    static const Sprites sprites;
    const double memcpySeconds = MemcpySeconds();
    using qb::BlendOp;
    static const Case cases[] = {
        {"Copy", 0, false, {}},
        {"CopyMasked", 0, true, {}},
        {"Add", 0, true, {BlendOp::Add, 256, 256}},
        {"AddMirrored", 0, true, {BlendOp::Add, 256, 256}, true},
        {"AddClippedOffset", 0, true, {BlendOp::Add, 256, 256}, false, 3},
        {"Add1", 0, true, {BlendOp::Add, 256, 128}},
        {"AS77D179", 0, true, {BlendOp::Add, 77, 179}},
        {"AddAlpha", 0, false, {BlendOp::Add, 256, 0}},
        {"Sub", 0, true, {BlendOp::Sub, 256, 256}},
        {"AlphaOver", 1, true, {}},
        {"AddWithAlpha", 1, true, {BlendOp::Add, 256, 256}},
        {"SubWithAlpha", 1, true, {BlendOp::Sub, 256, 256}},
    };
    for (const Case& c : cases)
        benchmark::RegisterBenchmark(
            (std::string("Blend640x480/") + c.name).c_str(),
            [&c, memcpySeconds](benchmark::State& s) { Draw(s, sprites, c, memcpySeconds); })
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
