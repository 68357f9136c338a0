// A modern stage's frames: the stage of the largest version 2 sprite file of the corpus (1280 × 720),
// loaded as the window loads it, 2,000 frames of update and draw with the camera travelling, on
// this thread. Counters: "fps" (frames per CPU second of this thread) and "vs_memcpy", the frames'
// CPU time over the time memcpy takes to write every pixel they drew once (picture-sized blocks,
// measured in the same run).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/load_stage.h"
#include "app/run_loop.h"
#include "app/stage_session.h"
#include "bench/corpus_files.h"
#include "bench/quiet_ui.h"
#include "platform/gfx.h"
#include "render/scripted_input.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 2000;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double MemcpySeconds(int64_t bytes, size_t block) {
    std::vector<char> from(std::max<size_t>(block, 1), 1), to(from.size());
    const double start = ThreadSeconds();
    for (int64_t left = bytes; left > 0; left -= static_cast<int64_t>(block)) {
        std::memcpy(to.data(), from.data(), static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block))));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    return ThreadSeconds() - start;
}

std::string DefinitionBeside(const std::string& sff) {
    if (sff.empty()) return {};
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(sff).parent_path(), ec)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".def") return entry.path().string();
    }
    return {};
}

void BM_ModernStageFrames(benchmark::State& st) {
    const std::string def = DefinitionBeside(qb::bench::LargestCorpusSff({"stages_v2"}));
    if (def.empty()) {
        st.SkipWithError("no version 2 stage in the corpus");
        return;
    }
    qb::a_allegro_init();
    qb::bench::QuietUi ui;
    qb::AppState state;
    state.ports.ui = &ui;
    const fs::path program = fs::temp_directory_path() / "quillback-modern-bench";
    fs::create_directories(program);
    state.ProgramDir = program.string();
    state.Dirs = qb::PortableDataDirs(state.ProgramDir);
    state.MugeDir = fs::path(def).parent_path().string() + "/";
    state.BackBuffer = qb::CreateBitmap(qb::kViewWidth, qb::kViewHeight);
    state.StageFile = def;
    qb::LoadStage(state);
    if (state.bRunning != 1) {
        st.SkipWithError("the stage did not load");
        return;
    }
    std::vector<qb::KeyStep> steps;
    std::string error;
    qb::ParseKeyScript("right*500,left*1000,right*500", steps, error);
    double frameSeconds = 0, floorSeconds = 0;
    int64_t frames = 0;
    for (auto _ : st) {
        qb::ScriptedKeys keys(steps);
        qb::FrameClock clock(60.0);
        const int64_t drawnBefore = state.Frame.DrawnPixels;
        const double start = ThreadSeconds();
        for (int frame = 0; frame < kFrames; ++frame) {
            keys.SetFrame(frame);
            clock.SetFrame(frame);
            qb::DrawStageFrame(state, keys, clock);
        }
        frameSeconds += ThreadSeconds() - start;
        frames += kFrames;
        floorSeconds += MemcpySeconds((state.Frame.DrawnPixels - drawnBefore) * 4, state.ModernPicture.Pixels.size() * 4);
    }
    st.counters["fps"] = frameSeconds > 0 ? static_cast<double>(frames) / frameSeconds : 0;
    st.counters["vs_memcpy"] = floorSeconds > 0 ? frameSeconds / floorSeconds : 0;
    st.counters["width"] = state.ModernPicture.Width;
    qb::UnloadStuff(state);
}
BENCHMARK(BM_ModernStageFrames)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
