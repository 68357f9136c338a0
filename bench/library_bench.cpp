// The stage library's listing over a collector's library: 3,000 stages made of the corpus's stage
// folders, each copy a folder of its own whose files link to the corpus (copies on disk would only
// add the copying). Measures the first start (every definition's head read, the cache written) and
// the second (every row from the cache). QB_LIBRARY_DIR names a library made beforehand instead
// (kept, with its own stages folder), e.g. for the thumbnail measurement. BM_ThumbnailLookup is the
// second start's look-up of every row's cached picture.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "library/stage_list.h"
#include "library/thumbnail.h"

namespace {

namespace fs = std::filesystem;

constexpr int kStages = 3000;

struct CopiedLibrary {
    fs::path root;
    bool owned = false;
    CopiedLibrary() {
        if (const char* given = std::getenv("QB_LIBRARY_DIR"); given && *given) {
            root = given;
            if (fs::exists(root / "stages")) return;
        } else {
            root = fs::temp_directory_path() / ("quillback-library-bench-" + std::to_string(::getpid()));
            owned = true;
        }
        std::vector<fs::path> stageFolders;
        for (const char* folder : {"stages", "stages_v2"})
            for (const auto& entry : fs::directory_iterator(fs::path(QB_CORPUS_DIR) / folder))
                if (entry.is_directory()) stageFolders.push_back(entry.path());
        if (stageFolders.empty()) return;
        for (int i = 0; i < kStages; ++i) {
            const fs::path& from = stageFolders[static_cast<size_t>(i) % stageFolders.size()];
            const fs::path to = root / "stages" / ("copy" + std::to_string(i)) / from.filename();
            fs::create_directories(to);
            for (const auto& file : fs::directory_iterator(from))
                if (file.is_regular_file()) fs::create_symlink(file.path(), to / file.path().filename());
        }
    }
    ~CopiedLibrary() {
        std::error_code ec;
        if (owned) fs::remove_all(root, ec);
    }
    std::string Stages() const { return (root / "stages").string(); }
    std::string Cache() const { return (root / "library.tsv").string(); }
};

CopiedLibrary& Library() {
    static CopiedLibrary library;
    return library;
}

void ListLibrary(benchmark::State& state, bool cached) {
    CopiedLibrary& library = Library();
    size_t rows = 0, read = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        if (!cached) fs::remove(library.Cache(), ec);
        state.ResumeTiming();
        // What start-up does: the cache, the walk, the heads of what changed, the cache written.
        const qb::LibraryCache cache = qb::LibraryCache::Load(library.Cache());
        qb::LibraryScan scan = qb::ScanStageLibrary(library.Stages(), &cache);
        if (scan.ReadFiles > 0) qb::LibraryCache::Save(library.Cache(), scan.Rows);
        qb::StageList list;
        list.All = std::move(scan.Rows);
        qb::ShowLibraryRows(list);
        rows = list.Names.size();
        read = scan.ReadFiles;
        benchmark::DoNotOptimize(list.Names.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["heads_read"] = static_cast<double>(read);
}

void BM_FirstStart(benchmark::State& state) {
    ListLibrary(state, false);
}
void BM_SecondStart(benchmark::State& state) {
    ListLibrary(state, true);
}
// The second start's pictures: each row's key from its files' stamps (the definition read for its
// sprite file) and the cached picture looked for, as the thumbnail worker does before it draws.
// QB_THUMB_CACHE names the cache folder a run of the window filled.
void BM_ThumbnailLookup(benchmark::State& state) {
    CopiedLibrary& library = Library();
    const char* cacheDir = std::getenv("QB_THUMB_CACHE");
    const std::string cache = cacheDir ? cacheDir : (library.root / "cache").string();
    const std::string mugen = library.root.string() + "/";
    const std::vector<qb::LibraryRow> rows = qb::ScanStageLibrary(library.Stages(), nullptr).Rows;
    size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const qb::LibraryRow& row : rows) {
            const std::string path = qb::ThumbnailPath(cache, qb::ThumbnailKey(qb::ThumbSourceOf(row, mugen)));
            std::error_code ec;
            found += fs::exists(path, ec);
        }
    }
    state.counters["rows"] = static_cast<double>(rows.size());
    state.counters["pictures_found"] = static_cast<double>(found);
}

BENCHMARK(BM_FirstStart)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SecondStart)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ThumbnailLookup)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
