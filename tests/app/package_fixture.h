#pragma once
// A window that opens stage packages, shared by the package tests and the headless tool's.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/app/app_fixture.h"
#include "tests/support/zip_builder.h"

namespace qb::test {

namespace fs = std::filesystem;

// Every file and folder under `root` with its size.
inline std::map<std::string, uintmax_t> Listing(const fs::path& root) {
    std::map<std::string, uintmax_t> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        files[fs::relative(entry.path(), root).string()] = entry.is_regular_file() ? entry.file_size() : 0;
    return files;
}

// A window whose packages live in the MUGEN directory's "packs" folder (the shared fixture's
// temporary folder, where each package gets a private folder, is a folder of its own).
struct PackageFixture : AppFixture {
    std::string Package(const std::string& name, const std::vector<ZipItem>& items) const {
        fs::create_directories(mugen.Path() / "packs");
        const std::string path = (mugen.Path() / "packs" / name).string();
        EXPECT_TRUE(WriteZip(path, items));
        return path;
    }
    std::string RawPackage(const std::string& name, const std::string& bytes) const {
        return mugen.Write("packs/" + name, bytes).string();
    }
    std::string InProgram(const std::string& name) const { return (program.Path() / name).string(); }
    // A file of the package's private folder.
    std::string Extracted(const std::string& name) const {
        return (fs::path(state.Package.Folder) / name).string();
    }
    // Every file and folder under the temporary folder: empty once no package is open.
    std::map<std::string, uintmax_t> TempListing() const { return Listing(temp.Path()); }
    // The program folder's files and sizes: what a package must leave as it found it once released.
    std::map<std::string, uintmax_t> ProgramListing() const {
        std::map<std::string, uintmax_t> files;
        for (const auto& entry : fs::directory_iterator(program.Path()))
            files[entry.path().filename().string()] = entry.is_regular_file() ? entry.file_size() : 0;
        return files;
    }
    std::vector<ZipItem> CityItems() const {
        return {{"stages/city.def", StageDefText("City", "city.sff")},
                {"stages/city.sff", TinySff()},
                {"stages/readme.txt", "not extracted"}};
    }
};

}  // namespace qb::test
