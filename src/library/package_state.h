#pragma once
// A stage opened from a zip package: where it came from and the files extracted for it, deleted when
// the stage is released (except while it is reloaded).
#include <string>

namespace qb {

struct PackageState {
    bool FromPackage = false;
    bool Reloading = false;
    std::string PackageFile;  // the zip package the current stage came from
    std::string ExtractedDefFile;
    std::string ExtractedSpriteFile;
    std::string DroppedPackage;
};

}  // namespace qb
