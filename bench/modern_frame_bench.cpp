// A modern stage's frames: the stage of the largest version 2 sprite file of the corpus (1280 × 720),
// loaded as the window loads it, 2,000 frames of update and draw with the camera travelling, on
// this thread; the same zoomed out to 0.5, and bison at its zoomout of 0.7. Counters: "fps" (frames per CPU second of this thread) and "vs_memcpy", the frames'
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
#include "session/load_stage.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "bench/corpus_files.h"
#include "bench/quiet_ui.h"
#include "platform/gfx.h"
#include "render/camera.h"
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

// Loads the stage of `def` as the window does, zooms the camera to `zoom` (0: the stage's own
// startzoom; a zoom beyond the stage's range widens the range first, as a stage would allow it),
// and runs kFrames frames of update and draw with the camera travelling.
void RunStageFrames(benchmark::State& st, const std::string& def, double zoom) {
    if (def.empty()) {
        st.SkipWithError("no such version 2 stage in the corpus");
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
    if (zoom > 0) {
        if (zoom < state.Camera.ZoomOut) {
            state.Stage.ZoomOut = static_cast<float>(zoom);
            qb::ApplyZoomRange(state.Stage, state.Camera, true);
        }
        qb::SetZoom(state.Stage, state.Camera, zoom);
    }
    // Every frame drawn whole (the window keeps its picture and draws only what changed while the
    // camera stands; at a bound it would stand here).
    state.Loop.WholeFrames = true;
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
        floorSeconds += MemcpySeconds((state.Frame.DrawnPixels - drawnBefore) * 4, static_cast<size_t>(state.Target.PixelSize().width) * static_cast<size_t>(state.Target.PixelSize().height) * 4);
    }
    st.counters["fps"] = frameSeconds > 0 ? static_cast<double>(frames) / frameSeconds : 0;
    st.counters["vs_memcpy"] = floorSeconds > 0 ? frameSeconds / floorSeconds : 0;
    st.counters["width"] = state.Target.PixelSize().width;
    st.counters["zoom"] = state.Camera.Zoom;
    qb::UnloadStuff(state);
}

std::string LargestStage() {
    return DefinitionBeside(qb::bench::LargestCorpusSff({"stages_v2"}));
}

// The corpus stage in `folder` of stages_v2 (its one definition), or empty.
std::string CorpusStage(const char* folder) {
    const fs::path dir = fs::path(QB_CORPUS_DIR) / "stages_v2" / folder;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".sff") return DefinitionBeside(entry.path().string());
    }
    return {};
}

void BM_ModernStageFrames(benchmark::State& st) {
    RunStageFrames(st, LargestStage(), 0);
}
// The same stage zoomed out to 0.5: the picture shows four times the area, every sprite scaled.
void BM_ModernStageFramesZoomedOut(benchmark::State& st) {
    RunStageFrames(st, LargestStage(), 0.5);
}
// bison at its own zoomout of 0.7 (and its xscale floors scaled with it).
void BM_BisonAtZoomOut(benchmark::State& st) {
    RunStageFrames(st, CorpusStage("MineTech99__bison"), 0.7);
}
BENCHMARK(BM_ModernStageFrames)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ModernStageFramesZoomedOut)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BisonAtZoomOut)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
