#include "library/stage_library.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <utility>

#include "library/open_stage.h"
#include "library/unzip.h"
#include "platform/paths.h"
#include "platform/sff2_file.h"
#include "stage/stage_loader.h"
#include "platform/text_util.h"
#include "platform/zip_archive.h"

namespace qb {

namespace {

namespace fs = std::filesystem;

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A value as [Info] writes it: `name = "Mountainside Temple" ; comment`. A quoted value ends at its
// closing quote (a ';' inside the quotes is part of the name); an unquoted one at the comment.
std::string InfoValue(std::string_view raw) {
    raw = TrimView(raw);
    if (!raw.empty() && raw.front() == '"') {
        raw.remove_prefix(1);
        const size_t close = raw.find('"');
        return std::string(TrimView(raw.substr(0, close)));
    }
    return std::string(TrimView(raw.substr(0, raw.find(';'))));
}

bool EndsWithNoCase(std::string_view name, std::string_view lowerEnding) {
    if (name.size() < lowerEnding.size()) return false;
    return text::Lower(std::string(name.substr(name.size() - lowerEnding.size()))) == lowerEnding;
}

// The file name without its ".def": cut before the first ".def" ("a.default.def" is "a"), as the
// list always named files.
std::string StemOf(std::string_view fileName) {
    const size_t cut = text::Lower(std::string(fileName)).find(".def");
    return std::string(fileName.substr(0, cut));
}

// Tabs and line ends would break the cache file's lines; names never need them.
std::string OneLine(std::string value) {
    for (char& c : value)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return value;
}

void ApplyHead(LibraryRow& row, const StageHead& head, std::string_view fileName) {
    row.Name = OneLine(!head.DisplayName.empty() ? head.DisplayName : !head.Name.empty() ? head.Name : StemOf(fileName));
    row.Author = OneLine(head.Author);
    row.Kind = head.MugenVersion >= 1.0f ? StageKind::Modern : StageKind::Classic;
}

// The sprite file's signature and version are its first 16 bytes.
constexpr size_t kSpriteHeadBytes = 16;

// A definition's sprite file found by its exact name, where the loader looks first (the MUGEN
// directory, then beside the definition); no letter-case search, which would list the stages
// folder for every stage. Empty when neither is there.
std::string ExactSpriteFile(const std::string& defPath, const std::string& spr, const std::string& mugeDir) {
    for (const std::string& candidate : {LocateSpriteFile(spr, defPath, mugeDir), SpriteFileBesideDef(spr, defPath)}) {
        const std::string native = ToNativePath(candidate);
        struct stat st {};
        if (!native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return native;
    }
    return {};
}

std::string HeadOfFile(const std::string& path) {
    return ReadFileHead(path, kStageHeadBytes).value_or(std::string());
}

struct Walk {
    const LibraryCache* cache;
    std::string mugeDir;  // the folder holding the stages folder, where "spr" paths start
    std::vector<LibraryRow> rows;
    std::set<std::pair<dev_t, ino_t>> visited;
    size_t files = 0;
    bool brokeOff = false;
    size_t read = 0;
};

std::string CacheKey(const std::string& file) {
    return file;
}

void AddDefinition(Walk& walk, const std::string& path, const std::string& listName, const struct stat& st) {
    const int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (walk.cache) {
        if (const auto* cached = walk.cache->Find(path, st.st_size, mtime); cached && cached->size() == 1) {
            walk.rows.push_back(cached->front());
            walk.rows.back().ListName = listName;
            return;
        }
    }
    ++walk.read;
    LibraryRow row;
    row.File = path;
    row.ListName = listName;
    row.Size = st.st_size;
    row.ModifiedNs = mtime;
    const StageHead head = ReadStageHead(HeadOfFile(path));
    ApplyHead(row, head, FileNameOf(path));
    if (row.Kind == StageKind::Classic) {
        const std::string sprite = ExactSpriteFile(path, head.Sprite, walk.mugeDir);
        if (!sprite.empty() && IsSff2(ReadFileHead(sprite, kSpriteHeadBytes).value_or(std::string())))
            row.Kind = StageKind::Modern;
    }
    walk.rows.push_back(std::move(row));
}

// The head of the package's sprite file the definition names, found by its base name as the
// package opener extracts it (flat, without regard to case); empty when there is none.
std::string PackageSpriteHead(const ZipArchive& archive, const std::string& spr, const std::string& defName) {
    const std::string wanted = text::Lower(spr.empty() ? StemOf(defName) + ".sff" : FileNameOf(spr));
    for (uint64_t i = 0; i < archive.Count(); ++i) {
        const auto info = archive.Entry(i);
        if (!info || text::Lower(SafeEntryFileName(info->RawName)) != wanted) continue;
        return archive.ReadHead(i, kSpriteHeadBytes).value_or(std::string());
    }
    return {};
}

void AddPackage(Walk& walk, const std::string& path, const std::string& listName, const struct stat& st) {
    const int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (walk.cache) {
        if (const auto* cached = walk.cache->Find(path, st.st_size, mtime)) {
            for (LibraryRow row : *cached) {
                row.ListName = listName + "!" + row.Entry;
                walk.rows.push_back(std::move(row));
            }
            return;
        }
    }
    ++walk.read;
    auto archive = ZipArchive::Open(path);
    if (!archive || archive->Count() > kMaxPackageEntries) return;
    for (uint64_t i = 0; i < archive->Count(); ++i) {
        const auto info = archive->Entry(i);
        if (!info || info->Symlink || !EndsWithNoCase(info->RawName, ".def")) continue;
        const auto head = archive->ReadHead(i, kStageHeadBytes);
        if (!head) continue;
        const StageHead stage = ReadStageHead(*head);
        // Packages hold characters and storyboards too: only a stage's sections make it a stage.
        if (!stage.StageSections) continue;
        std::string folder, name;
        SplitEntryName(info->RawName, folder, name);
        LibraryRow row;
        row.File = path;
        row.Entry = EntryPath(folder, name);
        row.ListName = listName + "!" + row.Entry;
        row.Size = st.st_size;
        row.ModifiedNs = mtime;
        ApplyHead(row, stage, name);
        if (row.Kind == StageKind::Classic && IsSff2(PackageSpriteHead(*archive, stage.Sprite, name)))
            row.Kind = StageKind::Modern;
        walk.rows.push_back(std::move(row));
    }
}

void WalkFolder(Walk& walk, const std::string& folder, const std::string& listPrefix, int depth) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        walk.brokeOff = true;
        return;
    }
    std::vector<std::pair<std::string, std::string>> subfolders;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec || ++walk.files > kMaxLibraryFiles) {
            walk.brokeOff = walk.brokeOff || static_cast<bool>(ec);
            break;
        }
        const std::string path = it->path().string();
        const std::string fileName = it->path().filename().string();
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;  // a dangling link
        const std::string listName = listPrefix + fileName;
        if (S_ISDIR(st.st_mode)) {
            if (depth + 1 < kMaxLibraryDepth) subfolders.emplace_back(path, listName + "/");
        } else if (S_ISREG(st.st_mode)) {
            if (EndsWithNoCase(fileName, ".def"))
                AddDefinition(walk, path, listName, st);
            else if (IsPackagePath(fileName))
                AddPackage(walk, path, listName, st);
        }
    }
    for (const auto& [path, prefix] : subfolders) {
        struct stat st {};
        // A folder linked in twice (or into itself) is walked once.
        if (::stat(path.c_str(), &st) != 0 || !walk.visited.insert({st.st_dev, st.st_ino}).second) continue;
        WalkFolder(walk, path, prefix, depth + 1);
    }
}

// ASCII letters compared as lower case, byte by byte (the list's order always was that of the
// lower-cased names; names in other code pages keep their byte order).
int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        const char x = lower(a[i]), y = lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    const int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace

StageHead ReadStageHead(std::string_view text) {
    StageHead head;
    bool inInfo = false;
    bool inBgDef = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = TrimView(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::string section = text::Lower(std::string(TrimView(line.substr(1, line.find(']') - 1))));
            inInfo = section == "info";
            inBgDef = section == "bgdef";
            if (section == "camera" || section == "playerinfo" || section == "stageinfo" || section == "bgdef")
                head.StageSections = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = text::Lower(std::string(TrimView(line.substr(0, eq))));
        if (inBgDef && key == "spr") head.Sprite = InfoValue(line.substr(eq + 1));
        if (!inInfo) continue;
        if (key == "name")
            head.Name = InfoValue(line.substr(eq + 1));
        else if (key == "displayname")
            head.DisplayName = InfoValue(line.substr(eq + 1));
        else if (key == "author")
            head.Author = InfoValue(line.substr(eq + 1));
        else if (key == "mugenversion")
            head.MugenVersion = static_cast<float>(text::ParseNumber(InfoValue(line.substr(eq + 1))).value_or(0));
    }
    return head;
}

// ---- Cache file -------------------------------------------------------------------------------
// One line per row: file, entry, size, time, kind, name, author, separated by tabs, after a first
// line that names the format.

namespace {
constexpr std::string_view kCacheHeader = "quillback-library 1";
}

LibraryCache LibraryCache::Load(const std::string& path) {
    LibraryCache cache;
    const auto bytes = ReadFileBytes(path, 64u << 20);
    if (!bytes) return cache;
    std::string_view rest(*bytes);
    const size_t first = rest.find('\n');
    if (first == std::string_view::npos || rest.substr(0, first) != kCacheHeader) return cache;
    rest.remove_prefix(first + 1);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            fields.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
        if (fields.size() != 7 || fields[0].empty()) continue;
        LibraryRow row;
        row.File = fields[0];
        row.Entry = fields[1];
        const auto size = text::ParseNumber(fields[2]);
        char* endOfTime = nullptr;
        row.ModifiedNs = std::strtoll(fields[3].c_str(), &endOfTime, 10);
        if (!size || endOfTime == fields[3].c_str() || *endOfTime != '\0') continue;
        row.Size = static_cast<int64_t>(*size);
        row.Kind = fields[4] == "modern" ? StageKind::Modern : StageKind::Classic;
        row.Name = fields[5];
        row.Author = fields[6];
        auto& rows = cache.m_byFile[CacheKey(row.File)];
        // Rows of one file disagreeing about its stamp: the file is read again.
        if (!rows.empty() && (rows.front().Size != row.Size || rows.front().ModifiedNs != row.ModifiedNs)) continue;
        rows.push_back(std::move(row));
    }
    return cache;
}

bool LibraryCache::Save(const std::string& path, const std::vector<LibraryRow>& rows) {
    std::string out(kCacheHeader);
    out += '\n';
    for (const LibraryRow& row : rows) {
        out += OneLine(row.File) + '\t' + OneLine(row.Entry) + '\t' + std::to_string(row.Size) + '\t' +
               std::to_string(row.ModifiedNs) + '\t' + (row.Kind == StageKind::Modern ? "modern" : "classic") + '\t' +
               OneLine(row.Name) + '\t' + OneLine(row.Author) + '\n';
    }
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    return WriteFileAtomic(path, out);
}

const std::vector<LibraryRow>* LibraryCache::Find(const std::string& file, int64_t size, int64_t modifiedNs) const {
    const auto it = m_byFile.find(CacheKey(file));
    if (it == m_byFile.end() || it->second.empty()) return nullptr;
    const LibraryRow& first = it->second.front();
    return first.Size == size && first.ModifiedNs == modifiedNs ? &it->second : nullptr;
}

// ---- Listing ----------------------------------------------------------------------------------

LibraryScan ScanStageLibrary(const std::string& stagesFolder, const LibraryCache* cache) {
    std::string folder = stagesFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    Walk walk{cache, (fs::path(folder).parent_path() / "").string(), {}, {}, 0, false, 0};
    struct stat st {};
    const bool found = ::stat(stagesFolder.c_str(), &st) == 0;
    if (found && S_ISDIR(st.st_mode)) {
        walk.visited.insert({st.st_dev, st.st_ino});
        WalkFolder(walk, stagesFolder, "stages/", 0);
    } else if (!found && errno != ENOENT && errno != ENOTDIR) {
        walk.brokeOff = true;  // a missing folder simply holds no stages
    }
    std::stable_sort(walk.rows.begin(), walk.rows.end(),
                     [](const LibraryRow& a, const LibraryRow& b) { return LessNoCase(a.ListName, b.ListName); });
    return {std::move(walk.rows), walk.brokeOff, walk.read};
}

bool RowMatchesFilter(const LibraryRow& row, std::string_view filter) {
    const std::string haystack = text::Lower(row.Name + '\n' + row.Author + '\n' + row.ListName);
    const std::string words = text::Lower(std::string(filter));
    size_t start = 0;
    while (start < words.size()) {
        const size_t blank = words.find(' ', start);
        const std::string word = words.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
        if (!word.empty() && haystack.find(word) == std::string::npos) return false;
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return true;
}

bool RowBefore(const LibraryRow& a, const LibraryRow& b, LibrarySort sort) {
    int order = 0;
    switch (sort) {
        case LibrarySort::File: break;
        case LibrarySort::Name: order = CompareNoCase(a.Name, b.Name); break;
        case LibrarySort::Author:
            // Rows without an author come last, not first.
            if (a.Author.empty() != b.Author.empty()) return b.Author.empty();
            order = CompareNoCase(a.Author, b.Author);
            break;
        // Newest first: the stage just downloaded is the one looked for.
        case LibrarySort::Date: order = a.ModifiedNs > b.ModifiedNs ? -1 : a.ModifiedNs < b.ModifiedNs ? 1 : 0; break;
        case LibrarySort::Kind: order = static_cast<int>(a.Kind) - static_cast<int>(b.Kind); break;
    }
    if (order != 0) return order < 0;
    return LessNoCase(a.ListName, b.ListName);
}

const char* LibrarySortWord(LibrarySort sort) {
    static const char* const kWords[kLibrarySortCount] = {"file", "name", "author", "date", "kind"};
    return kWords[static_cast<int>(sort)];
}

LibrarySort LibrarySortFromWord(std::string_view word) {
    const std::string lower = text::Lower(std::string(word));
    for (int i = 0; i < kLibrarySortCount; ++i)
        if (lower == LibrarySortWord(static_cast<LibrarySort>(i))) return static_cast<LibrarySort>(i);
    return LibrarySort::File;
}

}  // namespace qb
