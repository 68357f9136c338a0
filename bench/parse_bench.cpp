// Parsing speed of the stage definition reader: a generated definition with 2,000 elements and 200
// controllers, reported in lines per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/quiet_ui.h"
#include "demo/sff_writer.h"
#include "platform/gfx.h"
#include "platform/ports.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "stage/load_stage_files.h"
#include "stage/stage_parser.h"

namespace {

namespace fs = std::filesystem;

using qb::bench::QuietUi;

std::string GenerateDefinition(int elements, int controllers) {
    std::string d;
    d += "; generated for the parse benchmark\r\n[Info]\r\nname = \"Bench Stage\"\r\n\r\n[Camera]\r\nstartx "
         "= 0\r\n"
         "starty = 0\r\nboundleft = -200\r\nboundright = 200\r\nboundhigh = -40\r\nboundlow = 0\r\n"
         "verticalfollow = .2\r\nfloortension = 0\r\ntension = 50\r\n\r\n[PlayerInfo]\r\np1startx = -70\r\n"
         "p1starty = 0\r\n\r\n[Bound]\r\nscreenleft = 15\r\nscreenright = 15\r\n\r\n[StageInfo]\r\nzoffset = "
         "210\r\n"
         "autoturn = 1\r\nresetBG = 1\r\n\r\n[Shadow]\r\nintensity = 96\r\ncolor = 0,0,0\r\nyscale = "
         ".3\r\n\r\n"
         "[Reflection]\r\nreflect = 0\r\n\r\n[Music]\r\nbgmusic = sound/bench.mp3\r\nbgvolume = 0\r\n\r\n"
         "[BGdef]\r\nspr = bench.sff\r\ndebugbg = 0\r\n\r\n";
    const int actions = elements / 20;
    for (int i = 0; i < elements; ++i) {
        const bool anim = i % 20 == 5;
        d += "[BG Element " + std::to_string(i) + "]\r\n";
        d += anim ? "type  = anim\r\n" : (i % 2 ? "type  = parallax\r\n" : "type  = normal\r\n");
        if (anim)
            d += "actionno = " + std::to_string(i / 20) + "\r\n";
        else
            d += "spriteno = " + std::to_string(i % 50) + ", " + std::to_string(i % 7) + "\r\n";
        d += "start = " + std::to_string(i % 300 - 150) + ", " + std::to_string(i % 120) + "\r\n";
        d += "delta = ." + std::to_string(10 + i % 90) + ", .75\r\n";
        d += "mask = 1\r\n";
        if (i % 3 == 0) d += "velocity = -.5, 0\r\n";
        if (i % 4 == 0) d += "tile = 1, 0\r\ntilespacing = 2, 0\r\n";
        if (i % 5 == 0) d += "trans = add\r\n";
        if (i % 6 == 0) d += "sin.x = 4, 120, 0\r\n";
        d += "layerno = " + std::to_string(i % 2) + "\r\n";
        d += "id = " + std::to_string(i % 40) + "   ; used by the controllers\r\n\r\n";
    }
    for (int a = 0; a < actions; ++a) {
        d += "[Begin Action " + std::to_string(a) + "]\r\n";
        for (int f = 0; f < 6; ++f) {
            if (f == 2) d += "loopstart\r\n";
            d += std::to_string(60 + a % 10) + "," + std::to_string(f) + ", 0,0, 5\r\n";
        }
        d += "\r\n";
    }
    const int groups = controllers / 10;
    for (int g = 0; g < groups; ++g) {
        d += "[BGCtrlDef Group " + std::to_string(g) +
             "]\r\nlooptime = 600\r\nctrlid = " + std::to_string(g) + ", " + std::to_string(g + 1) +
             "\r\n\r\n";
        for (int c = 0; c < controllers / groups; ++c) {
            d += "[BGCtrl Ctrl " + std::to_string(c) + "]\r\n";
            d += c % 2 ? "type = VelSet\r\nx = -1\r\ny = 0.5\r\n" : "type = Visible\r\nvalue = 1\r\n";
            d += "time = " + std::to_string(c * 10) + ", " + std::to_string(c * 10 + 50) + "\r\n";
            if (c % 3 == 0) d += "ctrlid = " + std::to_string(c) + "\r\n";
            d += "\r\n";
        }
    }
    return d;
}

struct BenchFolder {
    fs::path dir;
    std::string defPath;
    BenchFolder() {
        dir = fs::temp_directory_path() / ("qb-parse-bench-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        defPath = (dir / "bench.def").string();
        std::ofstream(defPath, std::ios::binary) << GenerateDefinition(2000, 200);
        qb::demo::SffSprite sprite;
        sprite.picture = qb::demo::Picture{2, 2, std::vector<uint8_t>(4, 1)};
        std::ofstream(dir / "bench.sff", std::ios::binary) << qb::demo::WriteSff({sprite});
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

void BM_ParseStageDef(benchmark::State& state) {
    qb::a_allegro_init();
    BenchFolder folder;
    qb::Progress quiet;
    int64_t lines = 0;
    int16_t elements = 0;
    // The whole load (definition, sprite file, placement), under the name earlier runs reported it.
    for (auto _ : state) {
        qb::LoadResult result = qb::LoadStageFiles({folder.defPath, ""}, quiet);
        benchmark::DoNotOptimize(result.ok);
        lines += result.lineNumber;
        elements = result.stage.ElementCount;
    }
    state.counters["lines"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
    state.counters["elements"] = elements;
}
BENCHMARK(BM_ParseStageDef)->Unit(benchmark::kMillisecond);

// The reader's miss path: a key that is not the line's key.
void BM_ReadDefValueMiss(benchmark::State& state) {
    QuietUi ui;
    qb::ErrorLog log;
    int32_t lineNumber = 0;
    qb::ReaderContext ctx{log, ui, lineNumber, "bench.def"};
    float value = 0;
    const std::string line = "delta = .78, .75";
    const char* keys[] = {"type",     "mask", "spriteno", "start", "actionno",
                          "velocity", "tile", "id",       "trans", "sin.x"};
    for (auto _ : state) {
        for (const char* key : keys) {
            int16_t index = 1;
            benchmark::DoNotOptimize(qb::ReadDefValue(ctx, line, key, value, index));
        }
    }
    state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_ReadDefValueMiss);

// The hit path: a two-member key read as both members.
void BM_ReadDefValueHit(benchmark::State& state) {
    QuietUi ui;
    qb::ErrorLog log;
    int32_t lineNumber = 0;
    qb::ReaderContext ctx{log, ui, lineNumber, "bench.def"};
    float x = 0, y = 0;
    const std::string line = "delta = .78, .75";
    for (auto _ : state) {
        int16_t one = 1, two = 2;
        benchmark::DoNotOptimize(qb::ReadDefValue(ctx, line, "delta", x, one));
        benchmark::DoNotOptimize(qb::ReadDefValue(ctx, line, "delta", y, two));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReadDefValueHit);

}  // namespace

BENCHMARK_MAIN();
