// quillback-shot's frames: draws frames of the loaded stage with scripted keys and a clock that
// advances one sixtieth of a second per frame (at speed x1), and writes the pictures asked for.
// --frames counts passes of the loop: a pass while the script has paused the stage draws nothing
// new unless it steps.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/frame_controls.h"
#include "app/run_loop.h"
#include "cli/shot.h"
#include "platform/gfx.h"
#include "render/camera.h"
#include "library/thumbnail.h"
#include "platform/png_writer.h"
#include "render/frame.h"
#include "render/frame_target.h"
#include "render/scripted_input.h"

namespace qb::shot {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// A modern stage's frame is its 32-bit picture: PNG, or PCX as 24-bit colour.
bool WriteFrame(const std::string& path, AppState& state) {
    std::string error;
    if (state.Target.Save(path, error)) return true;
    std::fprintf(stderr, "quillback-shot: could not write %s%s%s\n", path.c_str(), error.empty() ? "" : ": ",
                 error.c_str());
    return false;
}

// The processor time this thread has used, in seconds.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Seconds memcpy takes to write `bytes` in blocks of a picture's size (the best of three rounds).
double MemcpySeconds(int64_t bytes, size_t block) {
    if (bytes <= 0 || block == 0) return 0;
    std::vector<char> from(block, 1), to(block);
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int64_t left = bytes; left > 0; left -= static_cast<int64_t>(block)) {
            std::memcpy(to.data(), from.data(), static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block))));
            // Keeps the copies from being folded away.
            from[static_cast<size_t>(left % static_cast<int64_t>(block))] ^= to[0];
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::string FramePath(const std::string& dir, int frameNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05d.png", frameNumber);
    return (std::filesystem::path(dir) / name).string();
}

}  // namespace

int RunFrames(AppState& state, const Options& options) {
    if (options.frames < 0) {
        std::fprintf(stderr, "quillback-shot: --frames N is needed to draw frames\n");
        return 2;
    }
    if (!options.bench && options.out.empty() && (options.every <= 0 || options.outDir.empty())) {
        std::fprintf(stderr,
                     "quillback-shot: --frames needs --out FILE, --every K --out-dir DIR or --bench\n");
        return 2;
    }
    if (!options.out.empty()) {
        std::string ext = LowerExtension(options.out);
        if (ext != ".png" && ext != ".pcx") {
            std::fprintf(stderr, "quillback-shot: --out must name a .png or .pcx file\n");
            return 2;
        }
    }
    if ((options.every > 0) != !options.outDir.empty()) {
        std::fprintf(stderr, "quillback-shot: --every K and --out-dir DIR go together\n");
        return 2;
    }
    std::vector<KeyStep> steps;
    if (!options.keys.empty()) {
        std::string error;
        if (!ParseKeyScript(options.keys, steps, error)) {
            std::fprintf(stderr, "quillback-shot: --keys: %s\n", error.c_str());
            return 2;
        }
    }
    if (!options.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.outDir, ec);
        if (!std::filesystem::is_directory(options.outDir, ec)) {
            std::fprintf(stderr, "quillback-shot: cannot make %s\n", options.outDir.c_str());
            return 1;
        }
    }

    if (options.infoOverlay) state.Options.Info = true;
    if (options.debugBg) state.Options.DebugBG = true;
    if (options.overlays != 0) SetOverlayBits(state.Options, options.overlays);
    if (options.select > 0) state.Edit.SelectedElement = static_cast<int16_t>(std::min(options.select - 1, 32767));
    if (!state.BackBuffer) state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
    BITMAP* backBuffer = state.BackBuffer.get();
    if (!backBuffer) {
        std::fprintf(stderr, "quillback-shot: cannot create the back buffer\n");
        return 1;
    }

    // The clock runs at the pace the window's limiter would keep at this speed; each pass is still
    // one logic frame (or none while the script has paused the stage).
    SetRunSpeed(state.Loop, options.speed);
    ScriptedKeys keys(std::move(steps));
    FrameClock clock(60.0 * SpeedQuarters(state.Loop.Speed) / 4);
    if (options.bench) {
        GfxTimingReset();
        GfxTimingEnable(true);
    }
    if (options.zoom > 0) SetZoom(state.Stage, state.Camera, options.zoom);
    // The benchmark draws every frame whole, the worst case; pictures come out the same either way.
    state.Loop.WholeFrames = options.bench;
    const int64_t drawnBefore = state.Frame.DrawnPixels;
    // With a gap, the wall clock holds the pauses: the frames' own time is the processor's.
    const auto gap = std::chrono::milliseconds(options.benchGapMs);
    double frameCpu = 0;
    const auto drawTimed = [&] {
        const double before = ThreadSeconds();
        DrawStageFrame(state, keys, clock);
        frameCpu += ThreadSeconds() - before;
        if (gap.count() > 0) std::this_thread::sleep_for(gap);
    };
    auto started = std::chrono::steady_clock::now();
    for (int frame = 0; frame < options.frames; ++frame) {
        keys.SetFrame(frame);
        clock.SetFrame(frame);
        drawTimed();
        if (!options.bench && options.every > 0 && (frame + 1) % options.every == 0) {
            if (!WriteFrame(FramePath(options.outDir, frame + 1), state)) return 1;
        }
    }
    auto finished = std::chrono::steady_clock::now();
    const double wholeCpu = frameCpu;

    if (options.bench) {
        GfxTimingEnable(false);
        double seconds = std::chrono::duration<double>(finished - started).count();
        double drawSeconds = static_cast<double>(GfxTimingNanos()) / 1e9;
        double fps = seconds > 0 ? options.frames / seconds : 0;
        double ratio = drawSeconds > 0 ? seconds / drawSeconds : 0;
        std::printf("frames=%d seconds=%.6f fps=%.1f\n", options.frames, seconds, fps);
        std::printf("draw_seconds=%.6f ratio=%.3f\n", drawSeconds, ratio);
        if (gap.count() > 0)
            std::printf("gap_ms=%d frame_cpu_ms=%.3f\n", options.benchGapMs,
                        options.frames > 0 ? 1e3 * wholeCpu / options.frames : 0.0);
        // Only the 32-bit picture counts the pixels it draws and is kept between frames.
        if (const Picture32* picture = state.Target.Picture()) {
            // The floor: writing every pixel the frames drew once, through memcpy, in this run.
            const int64_t drawn = state.Frame.DrawnPixels - drawnBefore;
            const double floor = MemcpySeconds(drawn * 4, picture->Pixels.size() * 4);
            std::printf("modern: size=%dx%d zoom=%.2f drawn_pixels=%lld memcpy_seconds=%.6f ratio_to_memcpy=%.3f\n",
                        picture->Width, picture->Height, static_cast<double>(state.Camera.Zoom),
                        static_cast<long long>(drawn), floor, floor > 0 ? seconds / floor : 0.0);
            // The same frames again as the window draws them, keeping the picture and drawing only
            // what changed.
            state.Loop.WholeFrames = false;
            const RetainedPicture& kept = state.Frame.Retained;
            const int64_t whole0 = kept.WholeFrames, part0 = kept.PartFrames, none0 = kept.KeptFrames;
            const int64_t keptBefore = state.Frame.DrawnPixels;
            const auto keptStart = std::chrono::steady_clock::now();
            frameCpu = 0;
            for (int frame = 0; frame < options.frames; ++frame) {
                keys.SetFrame(frame);
                clock.SetFrame(options.frames + frame);
                drawTimed();
            }
            const double keptSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - keptStart).count();
            std::printf("kept: seconds=%.6f fps=%.1f frames_whole=%lld frames_part=%lld frames_unchanged=%lld "
                        "drawn_pixels=%lld\n",
                        keptSeconds, keptSeconds > 0 ? options.frames / keptSeconds : 0,
                        static_cast<long long>(kept.WholeFrames - whole0), static_cast<long long>(kept.PartFrames - part0),
                        static_cast<long long>(kept.KeptFrames - none0),
                        static_cast<long long>(state.Frame.DrawnPixels - keptBefore));
            if (gap.count() > 0)
                std::printf("kept: frame_cpu_ms=%.3f\n", options.frames > 0 ? 1e3 * frameCpu / options.frames : 0.0);
        }
        return 0;
    }
    if (!options.out.empty() && !WriteFrame(options.out, state)) return 1;
    return 0;
}

int RunThumbnail(AppState& state, const Options& options) {
    if (!state.BackBuffer) state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
    if (!state.BackBuffer) return 1;
    ScriptedKeys keys({});
    FrameClock clock(60.0);
    keys.SetFrame(0);
    clock.SetFrame(0);
    DrawStageFrame(state, keys, clock);
    const Picture32* picture = state.Target.Picture();
    const FrameImage frame = picture ? FrameOf(*picture, picture->Whole()) : FrameOf(state.BackBuffer.get());
    const Thumbnail thumb = ScaleFrame(frame, options.thumbnailSize);
    std::string error;
    if (thumb.Width > 0 && SaveRgbaPng(options.thumbnailOut, thumb.Width, thumb.Height, thumb.Rgba, error)) return 0;
    std::fprintf(stderr, "quillback-shot: could not write %s%s%s\n", options.thumbnailOut.c_str(),
                 error.empty() ? "" : ": ", error.c_str());
    return 1;
}

std::string MugenDirAbove(const std::string& stagePath) {
    std::filesystem::path folder = std::filesystem::path(stagePath).parent_path();
    for (int depth = 0; depth < kMaxLibraryDepth && folder.has_relative_path(); ++depth) {
        std::string name = folder.filename().string();
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == "stages") {
            std::string dir = folder.parent_path().string();
            if (dir.empty() || dir.back() != '/') dir += '/';
            return dir;
        }
        folder = folder.parent_path();
    }
    return {};
}

}  // namespace qb::shot
