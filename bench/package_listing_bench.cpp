// Listing and extracting packages with many entries, as a package open does it: list, deselect what
// is not a definition or sprite file by the name it would be written under, extract the rest. Every
// entry but one is a tiny definition, so the include list is nearly as long as the archive: the case
// that was quadratic. Run with 1,000 and 10,000 entries (the most a package may hold); the time per
// entry should stay flat.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <string>

#include "library/unzip.h"
#include "platform/text_util.h"

namespace {

namespace fs = std::filesystem;

struct Archive {
    fs::path root;
    fs::path zipPath;
    explicit Archive(int64_t entries) {
        root = fs::temp_directory_path() /
               ("quillback-listing-bench-" + std::to_string(::getpid()) + "-" + std::to_string(entries));
        fs::create_directories(root);
        zipPath = root / "many.zip";
        int error = 0;
        zip_t* archive = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        static const char kData[] = "[Info]\r\n";
        for (int64_t i = 0; i < entries; ++i) {
            const std::string name = i == 0 ? "readme.txt" : "stages/s" + std::to_string(i) + ".def";
            zip_source_t* source = zip_source_buffer(archive, kData, sizeof kData - 1, 0);
            zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        }
        zip_close(archive);
    }
    ~Archive() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void BM_ListPackage(benchmark::State& state) {
    const Archive archive(state.range(0));
    for (auto _ : state) {
        qb::cUnzip zip;
        zip.ZipFile(archive.zipPath.string());
        zip.Directory();
        benchmark::DoNotOptimize(zip.FileCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListPackage)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// testOnly: entries are inflated and checked but not written (TestZip), which leaves out the file
// system's cost of creating thousands of files and shows the selection and bookkeeping alone.
void ListSelectAndExtract(benchmark::State& state, bool testOnly) {
    const Archive archive(state.range(0));
    const fs::path out = archive.root / "out";
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(out, ec);
        fs::create_directories(out);
        state.ResumeTiming();
        qb::cUnzip zip;
        zip.TestZip(testOnly);
        zip.ZipFile(archive.zipPath.string());
        zip.UnzipFolder(out.string());
        zip.Directory();
        for (int32_t i = 1; i <= zip.FileCount(); ++i) {
            const std::string name = qb::text::Lower(zip.WrittenName(i));
            if (name.find(".def") == std::string::npos && name.find(".sff") == std::string::npos)
                zip.FileSelected(i, false);
        }
        if (zip.Unzip()) state.SkipWithError("an entry failed");
        const size_t expected = testOnly ? 0 : static_cast<size_t>(state.range(0) - 1);
        if (zip.CreatedFiles().size() != expected) state.SkipWithError("not extracted");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ListSelectAndTest(benchmark::State& state) {
    ListSelectAndExtract(state, true);
}
BENCHMARK(BM_ListSelectAndTest)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ListSelectAndExtract(benchmark::State& state) {
    ListSelectAndExtract(state, false);
}
BENCHMARK(BM_ListSelectAndExtract)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
