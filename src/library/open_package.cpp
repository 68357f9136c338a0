#include "library/open_package.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <vector>

#include "library/unzip.h"
#include "platform/data_dirs.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"

namespace qb {

namespace {

// A definition bigger than this is not read for the chooser's name (the load tells what is wrong).
constexpr size_t kMaxChooserDefBytes = 16u * 1024u * 1024u;

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

// Records what the extraction has to say about entries it left out or found on disk already in the
// package's notes, and answers the box about entries that could not be extracted (empty: none).
std::string ReportEntries(PackageState& package, const cUnzip& zip) {
    std::string problems;
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const UnzipEntry& entry = zip.Entry(i);
        if (!entry.Selected) continue;
        const std::string shown = EntryPath(entry.Folder, entry.Name);
        switch (entry.Outcome) {
            case EntryOutcome::Existed:
                // Never overwritten: the stage loads what is already there.
                package.Notes.push_back("Package entry " + shown + " was not extracted: " + entry.DiskPath +
                                        " already exists and is used as it is.");
                break;
            case EntryOutcome::UnsafeName:
            case EntryOutcome::Symlink:
                package.Notes.push_back(
                    "Package entry " + shown + " was skipped: " +
                    (entry.Outcome == EntryOutcome::Symlink ? "a symbolic link." : "an unusable name."));
                break;
            default:
                if (const char* why = ProblemText(entry.Outcome)) problems += "\r\n" + shown + " " + why + ".";
        }
    }
    if (problems.empty()) return {};
    return "Some files of the package\r\n" + package.PackageFile + "\r\nwere not extracted:" + problems;
}

// A definition the extraction wrote: the package entry (folder and name) and the file on disk.
struct ExtractedDefinition {
    std::string entry, path;
};

// How the listing and extraction of a package ended.
enum class Extraction { Done, Unreadable, TooManyEntries, NoFolder, TooLarge };

// Lists `zipFile` and extracts its definitions and sprite files into a new private folder, recording
// what was created (and the folder) in `into`. `definitions` are the definitions extracted, in the
// package's listing order. Nothing outside `into` changes, so a refused package leaves the
// running stage alone.
Extraction ExtractPackageFiles(const DataDirs& dirs, cUnzip& zip, const std::string& zipFile, PackageState& into,
                               std::vector<ExtractedDefinition>& definitions) {
    into = PackageState{};
    definitions.clear();
    into.PackageFile = zipFile;
    // Taken before the listing: a package replaced while it is read counts as changed.
    into.Stamp = PackageStampOf(zipFile);
    zip.ZipFile(zipFile);
    zip.Directory();
    if (zip.TooManyEntries() > 0) return Extraction::TooManyEntries;
    if (zip.FileCount() < 1) return Extraction::Unreadable;
    // Only definitions and sprite files are extracted, judged by the name the file is written under
    // ("x.def\qt.conf" becomes qt.conf, which is neither). An entry never written (an unusable name)
    // is judged by its listed name, so that its skipping is told when it looks like one of them.
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        std::string name = text::Lower(zip.WrittenName(i));
        if (name.empty()) name = text::Lower(zip.FileName(i));
        if (name.find(".def") == std::string::npos && name.find(".sff") == std::string::npos)
            zip.FileSelected(i, false);
    }
    // A folder of its own for each extraction: nothing of the program's is beside the extracted
    // files, nothing left by an earlier run is taken for them, and the release removes it whole.
    into.Folder = MakePackageFolder(dirs);
    if (into.Folder.empty()) return Extraction::NoFolder;
    zip.UnzipFolder(into.Folder);
    zip.Unzip();  // the answer is not needed: each entry's outcome says what happened
    into.CreatedFiles = zip.CreatedFiles();
    into.FromPackage = true;
    if (zip.TooLargeTotal() > 0) return Extraction::TooLarge;
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const UnzipEntry& entry = zip.Entry(i);
        if (entry.Selected && !entry.DiskPath.empty() && text::Lower(entry.Name).find(".def") != std::string::npos)
            definitions.push_back({EntryPath(entry.Folder, entry.Name), entry.DiskPath});
    }
    return Extraction::Done;
}

// How the chooser lists a stage: its name and the entry it comes from (two stages of a package may
// share a name, never an entry), or the entry alone for a stage without a name.
std::string ChoiceLabel(const ExtractedDefinition& definition) {
    std::string name;
    if (std::optional<std::string> bytes = ReadFileBytes(definition.path, kMaxChooserDefBytes))
        name = std::string(text::Unquoted(StageNameOf(std::move(*bytes))));
    return name.empty() ? definition.entry : name + "  (" + definition.entry + ")";
}

// The stage of the package to open, as an index into `stages`; -1 when the user cancelled. The last
// one listed is the one the package opens by default; a reload keeps the stage it had.
int ChooseStage(Ui& ui, const std::string& zipFile, const std::vector<ExtractedDefinition>& stages,
                const std::string& preferredEntry) {
    const int last = static_cast<int>(stages.size()) - 1;
    if (last == 0) return 0;
    for (int i = last; i >= 0 && !preferredEntry.empty(); --i)
        if (stages[static_cast<size_t>(i)].entry == preferredEntry) return i;
    std::vector<std::string> labels;
    for (const ExtractedDefinition& d : stages) labels.push_back(ChoiceLabel(d));
    const int chosen = ui.ChooseItem(
        "The package\r\n" + zipFile + "\r\nholds " + std::to_string(stages.size()) +
            " stages. Which one do you want to open?",
        labels, last);
    return chosen >= 0 && chosen <= last ? chosen : -1;
}

}  // namespace

void DeleteExtractedFiles(PackageState& package) {
    for (const std::string& file : package.CreatedFiles) ::unlink(file.c_str());
    if (!package.Folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(package.Folder, ec);  // made for this package alone
    }
    package.Folder.clear();
    package.CreatedFiles.clear();
    package.Notes.clear();
    package.ExtractedDefFile.clear();
    package.ExtractedSpriteFile.clear();
    package.DefinitionEntry.clear();
    package.FromPackage = false;
}

PackageStamp PackageStampOf(const std::string& path) {
    PackageStamp stamp;
    struct stat st;
    if (::stat(ResolvePath(path).c_str(), &st) != 0) return stamp;
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    return stamp;
}

bool PackageChanged(const PackageState& package) {
    return package.FromPackage && !package.PackageFile.empty() &&
           PackageStampOf(package.PackageFile) != package.Stamp;
}

PackageOpen OpenPackage(const std::string& zipFile, const DataDirs& dirs, Ui& ui,
                        const std::string& preferredEntry) {
    PackageOpen open;
    cUnzip zip;
    PackageState fresh;
    std::vector<ExtractedDefinition> definitions;
    switch (ExtractPackageFiles(dirs, zip, zipFile, fresh, definitions)) {
        case Extraction::Done: break;
        case Extraction::Unreadable:
            open.refusal = "ZIP ERROR!\r\n" + zipFile + "\r\nThe file cannot be read as a zip archive, or it holds no files.";
            return open;
        case Extraction::TooManyEntries:
            open.refusal = "The package\r\n" + zipFile + "\r\nholds " + std::to_string(zip.TooManyEntries()) +
                           " entries; a stage package holds at most " + std::to_string(zip.MaxEntries()) +
                           ". It was not opened.";
            return open;
        case Extraction::TooLarge:
            // Nothing was written: a package that would fill the disk is refused for that, not for
            // lacking the definition it never got to unpack.
            DeleteExtractedFiles(fresh);
            open.refusal = "The package\r\n" + zipFile + "\r\nwould unpack to " + std::to_string(zip.TooLargeTotal()) +
                           " bytes; a stage package may unpack to at most " + std::to_string(kMaxTotalBytes) +
                           " bytes (1 GiB). It was not opened.";
            return open;
        case Extraction::NoFolder:
            open.refusal = "No private folder could be made in " + dirs.Temp + " (" + std::strerror(errno) +
                           ") to extract the package\r\n" + zipFile;
            return open;
    }
    std::vector<ExtractedDefinition> stages;
    std::copy_if(definitions.begin(), definitions.end(), std::back_inserter(stages),
                 [](const ExtractedDefinition& d) { return IsStage(d.path); });
    if (stages.empty()) {
        // Not a stage: nothing of it stays behind.
        std::string why = definitions.empty()
                              ? "The package holds no stage definition (.def file)."
                              : "Its definition " + definitions.back().entry + " has no [Camera] section.";
        // A definition the package holds but that could not be unpacked is the reason, not its absence.
        for (int32_t i = 1; definitions.empty() && i <= zip.FileCount(); ++i) {
            const UnzipEntry& entry = zip.Entry(i);
            const char* problem = ProblemText(entry.Outcome);
            if (entry.Selected && problem && text::Lower(entry.Name).find(".def") != std::string::npos)
                why = "Its definition " + EntryPath(entry.Folder, entry.Name) + " " + problem + ".";
        }
        DeleteExtractedFiles(fresh);
        open.refusal = "Not a stage!\r\n" + zipFile + "\r\n" + why;
        return open;
    }
    const int chosen = ChooseStage(ui, zipFile, stages, preferredEntry);
    if (chosen < 0) {
        // Cancelled: as if the package had never been opened.
        DeleteExtractedFiles(fresh);
        return open;
    }
    fresh.DefinitionEntry = stages[static_cast<size_t>(chosen)].entry;
    open.definition = stages[static_cast<size_t>(chosen)].path;
    open.skipped = ReportEntries(fresh, zip);
    open.package = std::move(fresh);
    return open;
}

}  // namespace qb
