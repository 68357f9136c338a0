#pragma once
// A stage opened from a zip package: where it came from and the files extracted for it into a private
// folder, deleted with that folder when the stage is released (except while it is reloaded).
#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// What the package file was when it was extracted: a reload extracts again once it differs.
struct PackageStamp {
    int64_t size = -1;  // -1: missing
    int64_t modifiedNs = 0;
    uint64_t inode = 0;
    bool operator==(const PackageStamp&) const = default;
};

struct PackageState {
    bool FromPackage = false;
    bool Reloading = false;
    std::string PackageFile;  // the zip package the current stage came from
    PackageStamp Stamp;
    // The private folder the package was extracted into (made for this extraction, removed with it).
    std::string Folder;
    std::string ExtractedDefFile;
    std::string ExtractedSpriteFile;
    // The package entry the opened definition came from, folder and name ("stages/city.def").
    std::string DefinitionEntry;
    // Every file the extraction created: the only files a release may delete. The two paths above
    // are what loading resolved and may name files the package did not create.
    std::vector<std::string> CreatedFiles;
    // What the extraction has to say about entries it skipped or found on disk already; the error log
    // shows it again at every start of the stage, since a start clears the log.
    std::vector<std::string> Notes;
};

}  // namespace qb
