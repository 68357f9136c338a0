#include "library/install_package.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "library/unzip.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

// A select.def bigger than this is no stage-select list anyone keeps by hand; it is left alone.
constexpr size_t kMaxSelectListBytes = 16u * 1024u * 1024u;

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool PathTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Why an entry of the package was not installed; nullptr when it was (or was never tried).
const char* SkipReason(EntryOutcome outcome) {
    switch (outcome) {
        case EntryOutcome::Existed:
            return "another entry of the same name was installed";
        case EntryOutcome::UnsafeName:
            return "its name is not usable";
        case EntryOutcome::Symlink:
            return "it is a symbolic link";
        case EntryOutcome::TooLarge:
            return "it is too large (over 256 MiB)";
        case EntryOutcome::Encrypted:
            return "it is password-protected";
        case EntryOutcome::Unsupported:
            return "it is compressed with a method this program cannot unpack";
        case EntryOutcome::Damaged:
            return "it is damaged or could not be written";
        default:
            return nullptr;
    }
}

// Moves the finished folder `staged` to `target`. Without `replace` an existing target is never
// overwritten (RENAME_NOREPLACE: a folder made there meanwhile is not lost either). With it the two
// change places in one step, so the stage is never missing; the old one is then at `staged`.
// Answers errno's value, 0 on success.
int MoveIntoPlace(const std::string& staged, const std::string& target, bool replace,
                  const std::string& aside) {
    const unsigned flags = replace && PathTaken(target) ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), flags) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without renameat2's flags: the old folder steps aside first and comes back when
    // the new one cannot take its place.
    if (flags == RENAME_NOREPLACE) {
        if (PathTaken(target)) return EEXIST;
        return ::rename(staged.c_str(), target.c_str()) == 0 ? 0 : errno;
    }
    if (::rename(target.c_str(), aside.c_str()) != 0) return errno;
    if (::rename(staged.c_str(), target.c_str()) == 0) return 0;
    const int error = errno;
    (void)::rename(aside.c_str(), target.c_str());
    return error;
}

// The key an entry of the stage-select list is compared by: the path before its options (", order=2")
// and comment, either separator, any letter case.
std::string EntryKey(std::string_view line) {
    line = line.substr(0, line.find(';'));
    line = line.substr(0, line.find(','));
    std::string key = text::Lower(text::Trim(line));
    std::replace(key.begin(), key.end(), '\\', '/');
    return key;
}

// The [BGdef] section's "spr" value as written (quotes and blanks trimmed); empty when it has none.
std::string SpriteValue(const std::string& definition) {
    bool inBgDef = false;
    for (const std::string& raw : text::SplitTextLines(definition)) {
        const std::string_view line = text::Trim(std::string_view(raw).substr(0, raw.find(';')));
        if (!line.empty() && line.front() == '[') {
            inBgDef = text::Lower(text::Trim(line.substr(1, line.find(']') - 1))) == "bgdef";
            continue;
        }
        const size_t equals = line.find('=');
        if (inBgDef && equals != std::string_view::npos &&
            text::Lower(text::Trim(line.substr(0, equals))) == "spr")
            return std::string(text::Unquoted(text::Trim(line.substr(equals + 1))));
    }
    return {};
}

// Stages of real packages often name their sprite file "stages/x.sff", written for a definition lying
// directly in stages/: from stages/<name>/ that path leads nowhere, whether it is read from the MUGEN
// directory or from the definition's folder.
std::string SpritePathWarning(const std::string& defPath, const std::string& mugeDir) {
    const std::optional<std::string> bytes = ReadFileBytes(defPath, kMaxSelectListBytes);
    const std::string spr = bytes ? SpriteValue(*bytes) : std::string();
    if (spr.find_first_of("/\\") == std::string::npos || spr.find(':') != std::string::npos ||
        spr.front() == '/' || FileExists(JoinPath(mugeDir, spr)) || FileExists(GetPath(defPath) + spr) ||
        !FileExists(GetPath(defPath) + FileNameOf(spr)))
        return {};
    return FileNameOf(defPath) + " names its sprite file \"" + spr + "\", which is not there from " +
           GetPath(defPath) + "; the preview finds it beside the definition, the engine may not";
}

}  // namespace

std::string InstallFolderName(const std::string& zip) {
    std::string base = FileNameOf(zip);
    if (base.size() > 4 && text::Lower(base.substr(base.size() - 4)) == ".zip") base.resize(base.size() - 4);
    std::string name = SafeEntryFileName(base);
    // Windows drops trailing blanks and points from folder names, and a leading point hides a folder
    // from file managers and the stage list.
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    while (!name.empty() && (name.front() == ' ' || name.front() == '.')) name.erase(name.begin());
    return name.empty() ? "package" : name;
}

PackageInstall InstallPackage(const std::string& zip, const std::string& mugeDir, bool replace) {
    namespace fs = std::filesystem;
    PackageInstall result;
    const std::string stages = WithoutTrailingSeparator(ResolvePath(JoinPath(mugeDir, "stages")));
    const std::string name = InstallFolderName(zip);
    // The resolver finds a folder of the name in another letter case: for the engine on Windows it
    // is the same folder.
    result.folder = ResolvePath(JoinPath(stages, name));
    if (!DirExists(stages)) {
        result.refusal =
            "The MUGEN directory has no stages folder:\r\n" + stages + "\r\nThe package was not installed.";
        return result;
    }
    const bool existed = PathTaken(result.folder);
    if (existed && !replace) {
        result.collision = true;
        result.refusal = "A stage folder of that name exists already:\r\n" + result.folder +
                         "\r\nThe package was not installed.";
        return result;
    }
    // The private folder sits in stages/ itself: the move into place is then a rename within one file
    // system, and nothing but this folder is written until the package is complete.
    std::string privateDir = JoinPath(stages, ".quillback-install-XXXXXX");
    if (!::mkdtemp(privateDir.data())) {
        result.refusal = "No private folder could be made in " + stages + " (" + std::strerror(errno) +
                         ") to install the package\r\n" + zip;
        return result;
    }
    const auto removePrivate = [&privateDir] {
        std::error_code ec;
        fs::remove_all(privateDir, ec);  // made for this install alone; links in it are not followed
    };
    // Made with the user's usual permissions (the private folder above is 0700 and stays private).
    const std::string staged = JoinPath(privateDir, name);
    if (::mkdir(staged.c_str(), 0777) != 0) {
        result.refusal = "No folder could be made in " + privateDir + " (" + std::strerror(errno) +
                         ") to install the package\r\n" + zip;
        removePrivate();
        return result;
    }

    cUnzip unzip;
    unzip.ZipFile(zip);
    unzip.Directory();
    if (unzip.TooManyEntries() > 0 || unzip.FileCount() < 1) {
        result.refusal = unzip.TooManyEntries() > 0
                             ? "The package\r\n" + zip + "\r\nholds " +
                                   std::to_string(unzip.TooManyEntries()) +
                                   " entries; a stage package holds at most " +
                                   std::to_string(unzip.MaxEntries()) + ". It was not installed."
                             : "ZIP ERROR!\r\n" + zip +
                                   "\r\nThe file cannot be read as a zip archive, or it holds no files.";
        removePrivate();
        return result;
    }
    // Every entry goes in (the stage's music and readme too), flat, under the names opening a package
    // writes: a stage's files name each other by bare name or by "stages/", never by the package's folders.
    unzip.UnzipFolder(staged);
    unzip.Unzip();
    if (unzip.TooLargeTotal() > 0) {
        result.refusal = "The package\r\n" + zip + "\r\nwould unpack to " +
                         std::to_string(unzip.TooLargeTotal()) +
                         " bytes; a stage package may unpack to at most " + std::to_string(kMaxTotalBytes) +
                         " bytes (1 GiB). It was not installed.";
        removePrivate();
        return result;
    }
    std::vector<std::string> definitions;
    for (int32_t i = 1; i <= unzip.FileCount(); ++i) {
        const UnzipEntry& entry = unzip.Entry(i);
        if (const char* why = SkipReason(entry.Outcome)) {
            result.skipped.push_back(EntryPath(entry.Folder, entry.Name) + ": " + why);
            continue;
        }
        const std::string file = FileNameOf(entry.DiskPath);
        if (entry.Outcome == EntryOutcome::Created && text::Lower(file).find(".def") != std::string::npos &&
            IsStage(entry.DiskPath))
            definitions.push_back(file);
    }
    if (definitions.empty()) {
        result.refusal = "Not a stage!\r\n" + zip +
                         "\r\nThe package holds no stage definition (a .def file with a [Camera] section). "
                         "It was not installed.";
        removePrivate();
        return result;
    }
    const int moved = MoveIntoPlace(staged, result.folder, replace, JoinPath(privateDir, ".old"));
    removePrivate();  // after an exchange it holds the replaced folder
    if (moved != 0) {
        result.collision = moved == EEXIST || moved == ENOTEMPTY;
        result.refusal = result.collision ? "A stage folder of that name exists already:\r\n" +
                                                result.folder + "\r\nThe package was not installed."
                                          : "The package could not be moved to\r\n" + result.folder +
                                                "\r\n(" + std::strerror(moved) + "). It was not installed.";
        return result;
    }
    result.replaced = existed;
    const std::string folderName = FileNameOf(result.folder);
    for (const std::string& def : definitions) {
        result.stages.push_back(JoinPath(result.folder, def));
        result.selectEntries.push_back("stages/" + folderName + "/" + def);
        const std::string warning = SpritePathWarning(result.stages.back(), mugeDir);
        if (!warning.empty()) result.warnings.push_back(warning);
    }
    return result;
}

std::string AddExtraStages(std::string_view text, const std::vector<std::string>& entries,
                           std::vector<std::string>& present) {
    present.clear();
    // The file's own line ends: a list edited on Windows stays CR LF throughout.
    const std::string eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    struct Line {
        size_t begin, end, next;  // content [begin, end), the next line at `next`
    };
    std::vector<Line> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        const size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        size_t end = newline == std::string_view::npos ? text.size() : newline;
        if (end > at && text[end - 1] == '\r') --end;
        lines.push_back({at, end, next});
        at = next;
    }
    // What a line says without its comment (";" starts one, as everywhere in the engine's files).
    const auto said = [&](size_t i) {
        std::string_view line = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
        if (i == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        return text::Trim(line.substr(0, line.find(';')));
    };
    const auto isHeader = [&](size_t i) {
        const std::string_view s = said(i);
        return !s.empty() && s.front() == '[' && s.find(']') != std::string_view::npos;
    };
    size_t header = lines.size();
    for (size_t i = 0; i < lines.size() && header == lines.size(); ++i) {
        const std::string_view s = said(i);
        if (isHeader(i) && text::Lower(text::Trim(s.substr(1, s.find(']') - 1))) == "extrastages") header = i;
    }
    size_t end = header;
    while (end < lines.size() && (end == header || !isHeader(end))) ++end;
    std::vector<std::string> keys, toAdd;
    size_t after = header;  // the line the new entries follow
    for (size_t i = header + 1; i < end; ++i) {
        if (said(i).empty()) continue;
        keys.push_back(EntryKey(said(i)));
        after = i;
    }
    // A section without entries: under its header and the comments that explain it.
    if (header < lines.size() && after == header)
        while (after + 1 < end && said(after + 1).empty() &&
               !text::Trim(text.substr(lines[after + 1].begin, lines[after + 1].end - lines[after + 1].begin))
                    .empty())
            ++after;
    for (const std::string& entry : entries) {
        const std::string key = EntryKey(entry);
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
            present.push_back(entry);
            continue;
        }
        keys.push_back(key);
        toAdd.push_back(entry);
    }
    std::string out(text);
    if (toAdd.empty()) return out;
    std::string block;
    for (const std::string& entry : toAdd) block += entry + eol;
    if (header == lines.size()) {
        // No section: it is appended, a blank line apart from what the file ends with.
        if (!out.empty() && out.back() != '\n') out += eol;
        if (!out.empty()) out += eol;
        return out + "[ExtraStages]" + eol + block;
    }
    const Line& line = lines[after];
    if (line.next == line.end) block = eol + block;  // the file's last line, without a line end
    out.insert(line.next, block);
    return out;
}

SelectListChange AddToSelectList(const std::string& mugeDir, const std::vector<std::string>& entries) {
    SelectListChange change;
    change.file = ResolvePath(JoinPath(mugeDir, "data/select.def"));
    ReplaceRefusal refusal = ReplaceRefusal::None;
    const std::string target = ReplaceTarget(change.file, refusal);
    if (refusal != ReplaceRefusal::None) {
        change.error = refusal == ReplaceRefusal::Missing
                           ? "There is no stage-select list " + change.file
                           : "The stage-select list " + change.file + " cannot be written";
        return change;
    }
    const std::optional<std::string> bytes = ReadFileBytes(target, kMaxSelectListBytes);
    if (!bytes) {
        change.error = "The stage-select list " + change.file + " cannot be read";
        return change;
    }
    const std::string text = AddExtraStages(*bytes, entries, change.present);
    if (text == *bytes) return change;
    for (const std::string& entry : entries)
        if (std::find(change.present.begin(), change.present.end(), entry) == change.present.end())
            change.added.push_back(entry);
    // The backup holds the list as it was before this change; the list itself is replaced in one step.
    std::string error;
    change.backup = change.file + ".bak";
    if (!WriteFileAtomic(change.backup, *bytes, error)) {
        change.error = "The backup " + change.backup + " could not be written (" + error + ")";
        change.added.clear();
        return change;
    }
    if (!WriteFileAtomic(target, text, error)) {
        change.error = "The stage-select list " + change.file + " could not be written (" + error + ")";
        change.added.clear();
        return change;
    }
    change.changed = true;
    return change;
}

bool InstallPackageAsking(const std::string& zip, const std::string& mugeDir, Ui& ui) {
    PackageInstall installed = InstallPackage(zip, mugeDir, false);
    if (installed.collision) {
        if (ui.MsgBox("Replace the installed stage?\r\n" + installed.folder +
                          "\r\nis there already. Its files are replaced by the package's.",
                      MsgIcon::Question, MsgButtons::YesNoDefaultNo) != MsgAnswer::Yes)
            return false;
        installed = InstallPackage(zip, mugeDir, true);
    }
    if (!installed.Installed()) {
        ui.MsgBox(installed.refusal, MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    std::string told = "Package installed:\r\n" + zip + "\r\ninto " + installed.folder +
                       (installed.replaced ? " (the old folder was replaced)" : "") + "\r\n";
    for (const std::string& stage : installed.stages) told += "\r\n" + stage;
    for (const std::string& warning : installed.warnings) told += "\r\n\r\n" + warning + ".";
    if (!installed.skipped.empty()) {
        told += "\r\n\r\nNot installed:";
        for (const std::string& line : installed.skipped) told += "\r\n" + line;
    }
    const std::string list = ResolvePath(JoinPath(mugeDir, "data/select.def"));
    if (FileExists(list)) {
        std::string question = "Add the stage to the stage-select list?\r\n" + list + "\r\n";
        for (const std::string& entry : installed.selectEntries) question += "\r\n" + entry;
        question += "\r\n\r\nThe list is kept as select.def.bak.";
        if (ui.MsgBox(question, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
            const SelectListChange change = AddToSelectList(mugeDir, installed.selectEntries);
            for (const std::string& entry : change.added)
                told += "\r\n\r\nAdded to " + change.file + ": " + entry;
            for (const std::string& entry : change.present)
                told +=
                    "\r\n\r\nThe stage-select list holds " + entry + " already; it was not changed for it.";
            if (!change.error.empty()) told += "\r\n\r\n" + change.error + ".";
        }
    }
    ui.MsgBox(told, MsgIcon::Information, MsgButtons::Ok);
    return true;
}

}  // namespace qb
