// quillback-shot --install-package: the window's Install Package for scripts, without its questions
// (--replace and --add-to-select answer them).
#include <cstdio>

#include "cli/shot.h"
#include "library/install_package.h"

namespace qb::shot {

namespace {

// The core's texts break lines with CR LF, as the message boxes want.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text)
        if (c == '\n')
            line += ' ';
        else if (c != '\r')
            line += c;
    return line;
}

}  // namespace

int RunInstallPackage(const Options& options) {
    const PackageInstall installed = InstallPackage(options.installPackage, options.mugeDir, options.replace);
    if (!installed.Installed()) {
        std::fprintf(stderr, "quillback-shot: %s%s\n", OneLine(installed.refusal).c_str(),
                     installed.collision ? " (--replace replaces it)" : "");
        return 1;
    }
    for (const std::string& stage : installed.stages) std::printf("installed %s\n", stage.c_str());
    for (const std::string& warning : installed.warnings) std::printf("warning %s\n", warning.c_str());
    for (const std::string& line : installed.skipped) std::printf("not installed %s\n", line.c_str());
    if (!options.addToSelect) return 0;
    const SelectListChange change = AddToSelectList(options.mugeDir, installed.selectEntries);
    for (const std::string& entry : change.added)
        std::printf("added %s to %s\n", entry.c_str(), change.file.c_str());
    for (const std::string& entry : change.present)
        std::printf("already listed %s in %s\n", entry.c_str(), change.file.c_str());
    if (!change.error.empty()) {
        std::fprintf(stderr, "quillback-shot: %s\n", change.error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace qb::shot
