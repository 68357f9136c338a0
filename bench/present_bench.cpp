// Cost of presenting one frame in the Qt view (conversion to 32 bits, scaling, painting) at each
// scale, and, with --run-demo=SECONDS, the frame rate and processor time of the whole program
// running the demo stage (or --stage=DEF; --scroll walks the camera; --char=DEF adds the test
// character) at its 60 fps limit. Run
// under a display (xvfb-run) for real numbers; the offscreen platform skips the X server's part of
// a present.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app_state.h"
#include "gui/frm_stage.h"
#include "gui/quillback_app.h"
#include "gui/stage_view.h"
#include "platform/gfx.h"
#include "render/frame_target.h"

namespace {

void BM_Present(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    qb::a_allegro_init();
    qb::UniqueBitmap frame = qb::CreateBitmap(qb::kViewWidth, qb::kViewHeight);
    for (int y = 0; y < qb::kViewHeight; ++y) {
        uint16_t* row = qb::BitmapRow(frame.get(), y);
        for (int x = 0; x < qb::kViewWidth; ++x) row[x] = static_cast<uint16_t>(x * 97 + y * 31);
    }
    qb::gui::StageView view;
    view.SetScale(scale);
    view.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        view.Present(qb::FrameOf(frame.get()));
        QCoreApplication::processEvents();
    }
    state.counters["us_per_present"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Present)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// A 32-bit picture shown in the view at a whole scale as the camera scrolls: the picture changes
// every frame and is painted whole (the window's part of a scrolling frame, beside the frame's own
// drawing that the modern frame benchmark measures). Arguments: width, height, scale; a modern
// stage's 1280 × 720 at 1x, and a zoomed classic stage's 320 × 240 at the default 2x.
void BM_PresentPicture(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const int scale = static_cast<int>(state.range(2));
    qb::Picture32 picture(width, height);
    qb::gui::StageView view;
    view.SetScale(scale);
    view.SetPictureArea(QSize(width, height), QRect(0, 0, width * scale, height * scale));
    view.resize(width * scale, height * scale);
    view.show();
    QCoreApplication::processEvents();
    uint32_t shade = 0;
    for (auto _ : state) {
        std::fill(picture.Pixels.begin(), picture.Pixels.begin() + width, 0xFF000000u | ++shade);
        view.Present(qb::FrameOf(picture, picture.Whole()));
        QCoreApplication::processEvents();
    }
    state.counters["us_per_present"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PresentPicture)->Args({1280, 720, 1})->Args({320, 240, 2})->Args({640, 480, 2})->Unit(benchmark::kMicrosecond);

void BM_ConvertOnly(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    qb::gui::Rgb16Converter converter;
    std::vector<uint16_t> pixels(qb::kViewWidth * qb::kViewHeight, 0x7BEF);
    QImage target(qb::kViewWidth * scale, qb::kViewHeight * scale, QImage::Format_RGB32);
    for (auto _ : state) {
        converter.ConvertScaled(pixels.data(), qb::kViewWidth, qb::kViewWidth, qb::kViewHeight, scale,
                                target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_ConvertOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// What each presented frame adds besides the picture: the window computes the menus from the state
// and compares them with what it shows (nothing changed, nothing is rendered).
void BM_MenuRefreshCheck(benchmark::State& state) {
    qb::AppState app;
    const qb::MenuModel shown(app);
    for (auto _ : state) {
        const qb::MenuModel now(app);
        benchmark::DoNotOptimize(now == shown);
    }
}
BENCHMARK(BM_MenuRefreshCheck)->Unit(benchmark::kMicrosecond);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the real program on the demo stage (or `stage`) for `seconds` and reports presents per second
// and CPU; with `scroll`, the camera is walked right and left (the arrow keys held in turn, two
// seconds each), so that every frame is new.
int RunDemo(int seconds, int scale, const std::string& stage, bool scroll, const std::string& character,
            bool shared) {
    namespace fs = std::filesystem;
    const fs::path programDir = fs::temp_directory_path() / ("qb-present-bench-" + std::to_string(getpid()));
    fs::create_directories(programDir);
    std::ofstream(programDir / "QB.cfg")
        << "Version = .67A\r\nMugeDir = " << QB_DEMO_DIR << "/\r\nIntro = False\r\n"
        << "Scale = " << scale << "\r\n";
    if (!character.empty())
        std::ofstream(programDir / "QB.cfg", std::ios::app) << "TestChar = " << character << "\r\nChar = True\r\n";
    {
        qb::gui::QuillbackApp program;
        qb::gui::StartOptions options;
        options.programDir = programDir.string();
        options.argument = stage.empty() ? std::string(QB_DEMO_DIR) + "/stages/quillback.def" : stage;
        if (!program.Start(options)) return 1;
        // Without the display's copy from shared memory every frame is painted, as on other displays.
        if (!shared) program.Window().SetPictureMemory(nullptr);
        int heldKey = 0;
        const auto holdKey = [&](int key) {
            QWidget* view = program.Window().ActiveView();
            if (view == nullptr) return;
            if (heldKey != 0) {
                QKeyEvent release(QEvent::KeyRelease, heldKey, Qt::NoModifier);
                QCoreApplication::sendEvent(view, &release);
            }
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &press);
            heldKey = key;
        };

        int startPresents = -1;
        int startPaints = 0;
        double startCpu = 0;
        QElapsedTimer wall;
        QTimer probe;
        probe.setInterval(100);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const int presents = program.Window().ActiveView()->PresentCount();
            if (startPresents < 0) {
                // Measure from the first frames on, after loading.
                if (presents < 10) return;
                startPresents = presents;
                startPaints = program.Window().ActiveView()->PaintCount();
                startCpu = CpuSeconds();
                wall.start();
                return;
            }
            if (scroll) {
                const int want = (wall.elapsed() / 2000) % 2 == 0 ? Qt::Key_Right : Qt::Key_Left;
                if (want != heldKey) holdKey(want);
            }
            if (wall.elapsed() < seconds * 1000) return;
            const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
            const double cpu = CpuSeconds() - startCpu;
            std::printf(
                "scale %dx: %d presents in %.2f s = %.2f fps; CPU %.2f s = %.1f%% of one core"
                " (%d paints; %d of %d paints direct; %d shared puts)\n",
                scale, presents - startPresents, elapsed, (presents - startPresents) / elapsed, cpu,
                100.0 * cpu / elapsed, program.Window().ActiveView()->PaintCount() - startPaints,
                program.Window().ActiveView()->DirectPaints(), presents,
                program.Window().ActiveView()->SharedPuts());
            std::fflush(stdout);
            probe.stop();
            program.Window().close();
        });
        probe.start();
        QObject::connect(&program, &qb::gui::QuillbackApp::Finished_, qApp, &QCoreApplication::quit);
        QApplication::exec();
    }  // the program (and its lock file) goes before its folder
    std::error_code ec;
    fs::remove_all(programDir, ec);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--run-demo=", 11) == 0) {
            int scale = 2;
            std::string stage;
            bool scroll = false;
            std::string character;
            bool shared = true;
            for (int j = 1; j < argc; ++j) {
                if (std::strncmp(argv[j], "--scale=", 8) == 0) scale = std::atoi(argv[j] + 8);
                if (std::strncmp(argv[j], "--stage=", 8) == 0) stage = argv[j] + 8;
                if (std::strcmp(argv[j], "--scroll") == 0) scroll = true;
                if (std::strncmp(argv[j], "--char=", 7) == 0) character = argv[j] + 7;
                if (std::strcmp(argv[j], "--no-shared") == 0) shared = false;
            }
            return RunDemo(std::atoi(argv[i] + 11), scale, stage, scroll, character, shared);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
