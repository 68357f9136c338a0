#include "app/open_package.h"

#include <unistd.h>

#include <memory>

#include "app/app_state.h"
#include "app/load_stage.h"
#include "app/run_loop.h"
#include "library/unzip.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

// Why entries were left out, in the words the user gets.
const char* ProblemText(EntryOutcome outcome) {
    switch (outcome) {
        case EntryOutcome::Encrypted: return "is password-protected";
        case EntryOutcome::Unsupported: return "is compressed with a method this program cannot unpack (LZMA, XZ, ...)";
        case EntryOutcome::TooLarge: return "is too large to unpack (over 256 MiB, or over 1 GiB in all)";
        case EntryOutcome::Damaged: return "is damaged or could not be written";
        default: return nullptr;
    }
}

void ReportEntries(AppState& state, const cUnzip& zip) {
    std::string problems;
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const UnzipEntry& entry = zip.Entry(i);
        if (!entry.Selected) continue;
        const std::string shown = EntryPath(entry.Folder, entry.Name);
        switch (entry.Outcome) {
            case EntryOutcome::Existed:
                // Never overwritten: the stage loads what is already there.
                state.Package.Notes.push_back("Package entry " + shown + " was not extracted: " + entry.DiskPath +
                                              " already exists and is used as it is.");
                break;
            case EntryOutcome::UnsafeName:
            case EntryOutcome::Symlink:
                state.Package.Notes.push_back(
                    "Package entry " + shown + " was skipped: " +
                    (entry.Outcome == EntryOutcome::Symlink ? "a symbolic link." : "an unusable name."));
                break;
            default:
                if (const char* why = ProblemText(entry.Outcome)) problems += "\r\n" + shown + " " + why + ".";
        }
    }
    if (problems.empty()) return;
    state.ports.ui->MsgBox("Some files of the package\r\n" + state.Package.PackageFile +
                               "\r\nwere not extracted:" + problems,
                           MsgIcon::Exclamation, MsgButtons::Ok);
}

// Lists `zipFile` and extracts its definitions and sprite files into the temporary folder, recording
// what was created in `into`. Answers the last listed definition that is on disk now (extracted, or
// found there already), empty when there is none; `listed` is false when the archive cannot be read
// or holds nothing.
std::string ExtractPackageFiles(AppState& state, cUnzip& zip, const std::string& zipFile, PackageState& into,
                                bool& listed) {
    into = PackageState{};
    into.PackageFile = zipFile;
    zip.ZipFile(zipFile);
    PrepareDataDir(state.Dirs, state.Dirs.Temp);  // a failure shows as each entry's extraction error
    zip.UnzipFolder(state.Dirs.Temp);
    zip.Directory();
    listed = zip.FileCount() >= 1;
    if (!listed) return {};
    // Only definitions and sprite files are extracted.
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const std::string name = text::Lower(zip.FileName(i));
        if (name.find(".def") == std::string::npos && name.find(".sff") == std::string::npos)
            zip.FileSelected(i, false);
    }
    zip.Unzip();  // the answer is not needed: each entry's outcome says what happened
    into.CreatedFiles = zip.CreatedFiles();
    into.FromPackage = true;
    for (int32_t i = zip.FileCount(); i >= 1; --i) {
        const UnzipEntry& entry = zip.Entry(i);
        if (entry.Selected && !entry.DiskPath.empty() && text::Lower(entry.Name).find(".def") != std::string::npos) {
            into.DefinitionEntry = EntryPath(entry.Folder, entry.Name);
            return entry.DiskPath;
        }
    }
    return {};
}

// True when a file the package's stage reads was found on disk instead of extracted and is gone now.
bool UsedFileGone(const cUnzip& zip) {
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const UnzipEntry& entry = zip.Entry(i);
        if (entry.Selected && entry.Outcome == EntryOutcome::Existed && !FileExists(entry.DiskPath)) return true;
    }
    return false;
}

void Refuse(AppState& state, const std::string& text) {
    state.ports.ui->MsgBox(text, MsgIcon::Exclamation, MsgButtons::Ok);
}

}  // namespace

void DeleteExtractedFiles(PackageState& package) {
    for (const std::string& file : package.CreatedFiles) ::unlink(file.c_str());
    package.CreatedFiles.clear();
    package.Notes.clear();
    package.ExtractedDefFile.clear();
    package.ExtractedSpriteFile.clear();
    package.DefinitionEntry.clear();
    package.FromPackage = false;
}

void OpenStagePackage(AppState& state) {
    const std::string zipFile = state.StageFile;
    // Files of a package extracted but never loaded (its start still pending) go before new ones come;
    // a running package's files stay until the new package has proved to hold a stage.
    if (state.bRunning == 0 && !state.Package.CreatedFiles.empty()) DeleteExtractedFiles(state.Package);
    auto zip = std::make_unique<cUnzip>();
    PackageState fresh;
    bool listed = false;
    std::string defFile = ExtractPackageFiles(state, *zip, zipFile, fresh, listed);
    if (!listed) {
        Refuse(state, "ZIP ERROR!\r\n" + zipFile + "\r\nThe file cannot be read as a zip archive, or it holds no files.");
        return;
    }
    if (defFile.empty() || !IsStage(defFile)) {
        // Not a stage: nothing of it stays behind in the program's folder, and the stage on screen runs on.
        const std::string why = defFile.empty()
                                    ? "The package holds no stage definition (.def file)."
                                    : "Its definition " + fresh.DefinitionEntry + " has no [Camera] section.";
        DeleteExtractedFiles(fresh);
        Refuse(state, "Not a stage!\r\n" + zipFile + "\r\n" + why);
        return;
    }
    if (state.bRunning != 0) {
        state.Loop.ExitLoop = true;
        API_doevents(state);
        UnloadStuff(state);
        // The released stage may have been this very package: the files its extraction found on disk
        // were that stage's and went with it, so they are extracted again.
        if (UsedFileGone(*zip)) {
            DeleteExtractedFiles(fresh);
            zip = std::make_unique<cUnzip>();
            defFile = ExtractPackageFiles(state, *zip, zipFile, fresh, listed);
        }
    }
    state.Package = std::move(fresh);
    ReportEntries(state, *zip);
    state.StageFile = defFile;
}

}  // namespace qb
