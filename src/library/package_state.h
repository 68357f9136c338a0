#pragma once
// A stage opened from a zip package: where it came from and the files extracted for it, deleted when
// the stage is released (except while it is reloaded).
#include <string>
#include <vector>

namespace qb {

struct PackageState {
    bool FromPackage = false;
    bool Reloading = false;
    std::string PackageFile;  // the zip package the current stage came from
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
