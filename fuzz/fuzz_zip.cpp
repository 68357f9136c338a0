// Stage packages: one archive's bytes listed by cUnzip and extracted into a scratch folder. Whatever
// the archive says, the listing's names are split as documented, and extraction creates only plain
// files directly inside the folder, each one remembered, never larger than the bound.
#include <filesystem>
#include <set>

#include "fuzz/fuzz_support.h"
#include "library/unzip.h"

namespace qb::fuzz {
namespace {

namespace fs = std::filesystem;

void CheckPackage(std::string_view bytes) {
    const fs::path root = Scratch().Path();
    const fs::path archive = Scratch().Write("package.zip", std::string(bytes));
    const fs::path folder = root / "out";
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);

    cUnzip zip;
    zip.ZipFile(archive.string());
    zip.UnzipFolder(folder.string());
    zip.Directory();
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const std::string& name = zip.Entry(i).Name;
        QB_FUZZ_CHECK(!name.empty());
        QB_FUZZ_CHECK(name.find('\0') == std::string::npos);
        QB_FUZZ_CHECK(name.find('/', 1) == std::string::npos);  // every "/" after the first split off
        const std::string& dir = zip.Entry(i).Folder;
        QB_FUZZ_CHECK(dir.find('/', 1) == std::string::npos);
        const std::string safe = SafeEntryFileName(EntryPath(dir, name));
        QB_FUZZ_CHECK(safe.find_first_of("/\\:") == std::string::npos && safe != "." && safe != "..");
        if (i % 2 == 0) zip.FileSelected(i, false);
    }
    zip.Unzip();
    const std::set<std::string> created(zip.CreatedFiles().begin(), zip.CreatedFiles().end());
    QB_FUZZ_CHECK(created.size() == zip.CreatedFiles().size());
    size_t found = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        QB_FUZZ_CHECK(entry.path().parent_path() == folder);
        QB_FUZZ_CHECK(entry.is_regular_file() && !entry.is_symlink());
        QB_FUZZ_CHECK(created.count(entry.path().string()) == 1);
        QB_FUZZ_CHECK(entry.file_size() <= kMaxEntryBytes);
        ++found;
    }
    QB_FUZZ_CHECK(found == created.size());
    // Nothing but the archive and the folder in the scratch root: no write went outside.
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        QB_FUZZ_CHECK(entry.path() == archive || entry.path() == folder);
    }
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qb::fuzz::CheckPackage(qb::fuzz::AsText(data, size));
    return 0;
}
