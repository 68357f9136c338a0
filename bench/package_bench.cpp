// Opening a stage from a package against opening it unpacked: the largest stage of the corpus (by
// sprite file), loaded and released as the window does. The package run adds listing, inflating and
// writing both files, and deleting them at release. Compare the two times for the ratio.
#include <benchmark/benchmark.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/quiet_ui.h"
#include "app/app_state.h"
#include "session/load_stage.h"
#include "library/open_package.h"
#include "session/stage_session.h"
#include "platform/gfx.h"
#include "platform/ports.h"

namespace {

namespace fs = std::filesystem;

using qb::bench::QuietUi;

struct Layout {
    fs::path root;
    fs::path def;      // the unpacked definition
    fs::path package;  // the same two files in a zip
    bool ok = false;
    ~Layout() {
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The corpus folder whose sprite file is largest, laid out unpacked and packed in a scratch folder.
Layout& TheLayout() {
    static Layout layout = [] {
        Layout l;
        const fs::path stages = fs::path(QB_CORPUS_DIR) / "stages";
        std::error_code ec;
        fs::path bestSff;
        for (const auto& entry : fs::recursive_directory_iterator(stages, ec)) {
            std::string ext = entry.path().extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext == ".sff" && (bestSff.empty() || entry.file_size() > fs::file_size(bestSff))) bestSff = entry.path();
        }
        if (bestSff.empty()) return l;
        fs::path bestDef;
        for (const auto& entry : fs::directory_iterator(bestSff.parent_path(), ec))
            if (entry.path().extension() == ".def") bestDef = entry.path();
        if (bestDef.empty()) return l;
        l.root = fs::temp_directory_path() / ("quillback-package-bench-" + std::to_string(::getpid()));
        fs::create_directories(l.root / "unpacked");
        fs::create_directories(l.root / "program");
        fs::copy_file(bestDef, l.root / "unpacked" / bestDef.filename());
        fs::copy_file(bestSff, l.root / "unpacked" / bestSff.filename());
        l.def = l.root / "unpacked" / bestDef.filename();
        l.package = l.root / "stage.zip";
        int error = 0;
        zip_t* archive = zip_open(l.package.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!archive) return l;
        const std::string defBytes = Slurp(bestDef), sffBytes = Slurp(bestSff);
        for (const auto& [name, bytes] : {std::pair{"stages/" + bestDef.filename().string(), &defBytes},
                                          std::pair{"stages/" + bestSff.filename().string(), &sffBytes}}) {
            zip_source_t* source = zip_source_buffer(archive, bytes->data(), bytes->size(), 0);
            zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        }
        l.ok = zip_close(archive) == 0;
        std::fprintf(stderr, "stage: %s (sprite file %ju bytes, package %ju bytes)\n", bestDef.filename().c_str(),
                     static_cast<uintmax_t>(fs::file_size(bestSff)), static_cast<uintmax_t>(fs::file_size(l.package)));
        return l;
    }();
    return layout;
}

struct Window {
    QuietUi ui;
    qb::AppState state;
    explicit Window(const Layout& l) {
        qb::a_allegro_init();
        state.ports.ui = &ui;
        state.ProgramDir = (l.root / "program").string();
        state.Dirs = qb::PortableDataDirs(state.ProgramDir);
        state.MugeDir = (l.root / "mugen").string() + "/";
    }
};

void Open(benchmark::State& st, bool packed) {
    Layout& l = TheLayout();
    if (!l.ok) {
        st.SkipWithError("no corpus stage beside the project");
        return;
    }
    Window w(l);
    for (auto _ : st) {
        w.state.StageFile = l.def.string();
        if (packed) qb::ExtractPackage(w.state, l.package.string());
        qb::LoadStage(w.state);
        if (w.state.bRunning != 1) {
            st.SkipWithError("the stage did not load");
            break;
        }
        qb::UnloadStuff(w.state);
    }
}

void BM_OpenUnpacked(benchmark::State& st) {
    Open(st, false);
}
void BM_OpenPackage(benchmark::State& st) {
    Open(st, true);
}
BENCHMARK(BM_OpenUnpacked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPackage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
