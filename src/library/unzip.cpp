#include "library/unzip.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "platform/zip_archive.h"

namespace qb {

namespace {

uint32_t Clamp32(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<int32_t>::max()));
}

// Space saved in percent, as Info-ZIP's listing counted it (0 for an empty or a grown entry).
int32_t SavedPercent(uint64_t size, uint64_t packed) {
    if (size == 0 || packed >= size) return 0;
    return static_cast<int32_t>(static_cast<double>(size - packed) * 100.0 / static_cast<double>(size));
}

std::string MethodText(uint16_t method) {
    switch (method) {
        case 0: return "Stored";
        case 8: return "Defl:N";
        case 9: return "Def64";
        case 12: return "BZip2";
        case 14: return "LZMA";
        case 93: return "Zstd";
        case 95: return "XZ";
        default: return "Unk:" + std::to_string(method);
    }
}

bool ValidDate(int year, int month, int day) {
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1]) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

bool PathTaken(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;  // a dangling symbolic link counts as taken
}

EntryOutcome OutcomeOf(ZipExtractResult result) {
    switch (result) {
        case ZipExtractResult::Ok: return EntryOutcome::Created;
        case ZipExtractResult::Exists: return EntryOutcome::Existed;
        case ZipExtractResult::Unsupported: return EntryOutcome::Unsupported;
        case ZipExtractResult::Encrypted: return EntryOutcome::Encrypted;
        case ZipExtractResult::TooLarge: return EntryOutcome::TooLarge;
        default: return EntryOutcome::Damaged;
    }
}

std::string Backslashed(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

}  // namespace

bool ListArchive(const std::string& zipFile, const ListingCallback& listing, uint64_t maxEntries,
                 uint64_t* entryCount) {
    if (entryCount) *entryCount = 0;
    auto archive = ZipArchive::Open(zipFile);
    if (!archive) return false;
    const uint64_t count = archive->Count();
    if (entryCount) *entryCount = count;
    if (count > maxEntries) return false;
    for (uint64_t i = 0; i < count; ++i) {
        const auto info = archive->Entry(i);
        if (!info) continue;
        std::tm when{};
        const std::time_t modified = info->Modified;
        localtime_r(&modified, &when);
        const std::string method = MethodText(info->Method);
        listing(Clamp32(info->Size), Clamp32(info->PackedSize), SavedPercent(info->Size, info->PackedSize),
                when.tm_mon + 1, when.tm_mday, when.tm_year + 1900, when.tm_hour, when.tm_min, 0,
                info->RawName.c_str(), method.c_str(), info->Crc, info->Encrypted ? char(0x40) : char(0));
    }
    return true;
}

// Cut at the first NUL; every "/" after the first character becomes "\"; the last one turned parts
// folder from name. A leading "/" is left as it is and stays in the name. Backslashes that were
// stored as such do not split.
void SplitEntryName(std::string_view text, std::string& folder, std::string& name) {
    text = text.substr(0, text.find('\0'));
    std::string converted(text);
    size_t lastTurned = std::string::npos;
    for (size_t i = 1; i < converted.size(); ++i) {
        if (converted[i] == '/') {
            converted[i] = '\\';
            lastTurned = i;
        }
    }
    if (lastTurned == std::string::npos) {
        folder.clear();
        name = converted;
        return;
    }
    folder = converted.substr(0, lastTurned);
    name = converted.substr(lastTurned + 1);
}

std::string EntryPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string path = folder + "/" + name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string SafeEntryFileName(std::string_view storedName) {
    storedName = storedName.substr(0, storedName.find('\0'));
    const std::string utf8 = ZipNameToUtf8(storedName);
    // Folders, drive letters ("C:x.def") and backslash separators all go: only the last part is kept.
    const size_t cut = utf8.find_last_of("/\\:");
    std::string base = cut == std::string::npos ? utf8 : utf8.substr(cut + 1);
    if (base.empty() || base == "." || base == ".." || base.size() > 255) return {};
    for (const char c : base) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
    }
    return base;
}

int32_t cUnzip::FilePackedSize(int32_t lIndex) const {
    const UnzipEntry& entry = At(lIndex);
    const int64_t product = static_cast<int64_t>(entry.Factor) * entry.Size / 100;  // truncates toward zero
    return static_cast<int32_t>(std::clamp<int64_t>(product, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void cUnzip::FileSelected(int32_t lIndex, bool bState) {
    if (lIndex >= 1 && lIndex <= FileCount()) m_entries[static_cast<size_t>(lIndex - 1)].Selected = bState;
}

const UnzipEntry& cUnzip::At(int32_t lIndex) const {
    if (lIndex < 1 || lIndex > FileCount()) return m_none;
    return m_entries[static_cast<size_t>(lIndex - 1)];
}

void cUnzip::ZipFile(const std::string& path) {
    m_zipFile = path;
    m_entries.clear();
    m_created.clear();
}

void cUnzip::AddEntry(UnzipEntry entry) {
    if (entry.Name.empty()) return;
    entry.Selected = true;
    m_entries.push_back(std::move(entry));
}

std::string cUnzip::TargetName(std::string_view storedName) const {
    std::string base = SafeEntryFileName(storedName);
    if (SpaceToUnderScore()) std::replace(base.begin(), base.end(), ' ', '_');
    return base;
}

std::string cUnzip::WrittenName(int32_t lIndex) const {
    if (lIndex < 1 || lIndex > FileCount()) return {};
    const UnzipEntry& entry = At(lIndex);
    // The folder and name put back together name the same last part as the stored name: both
    // separators end a part either way.
    return TargetName(EntryPath(entry.Folder, entry.Name));
}

void cUnzip::Directory() {
    m_options[kListing] = 1;
    m_tooMany = 0;
    uint64_t count = 0;
    const bool listed = ListArchive(
        m_zipFile,
        [this](uint32_t, uint32_t compressedSize, int32_t factor, int32_t month, int32_t day, int32_t year,
               int32_t hour, int32_t minute, char, const char* name, const char* method, uint32_t crc,
               char encryption) {
            UnzipEntry entry;
            SplitEntryName(name, entry.Folder, entry.Name);
            entry.Size = static_cast<int32_t>(compressedSize);
            entry.Factor = factor;
            entry.Method = method;
            if (ValidDate(year, month, day)) entry.Date = ZipDate{year, month, day, hour, minute};
            entry.Crc = crc;
            entry.Encrypted = (static_cast<unsigned char>(encryption) & 0x40) != 0;
            AddEntry(std::move(entry));
        },
        m_maxEntries, &count);
    if (!listed && count > m_maxEntries) m_tooMany = count;
}

std::vector<std::string> cUnzip::IncludeList() const {
    std::vector<std::string> names;
    bool all = true;
    for (const UnzipEntry& entry : m_entries) {
        if (entry.Selected)
            names.push_back(EntryPath(entry.Folder, entry.Name));
        else
            all = false;
    }
    if (all) names.clear();
    return names;
}

bool cUnzip::Unzip() {
    if (m_zipFile.empty()) return false;
    m_options[kListing] = 0;
    const std::vector<std::string> include = IncludeList();
    const bool caseSensitive = CaseSensitiveFileNames();
    const auto key = [caseSensitive](const std::string& path) {
        return caseSensitive ? path : text::Lower(path);
    };
    // Looked up once per entry: a scan of the list for each would make large archives quadratic.
    std::unordered_set<std::string> chosenPaths;
    for (const std::string& path : include) chosenPaths.insert(key(path));
    auto archive = ZipArchive::Open(m_zipFile);
    if (!archive) return true;
    m_tooMany = 0;
    m_tooLargeTotal = 0;
    if (archive->Count() > m_maxEntries) {
        m_tooMany = archive->Count();
        return true;
    }

    struct Job {
        uint64_t index;
        ZipEntryInfo info;
        std::string path;  // EntryPath, as the include list names it
        EntryOutcome outcome = EntryOutcome::NotTried;
        std::string diskPath;
    };
    std::vector<Job> jobs;
    const uint64_t count = archive->Count();
    for (uint64_t i = 0; i < count; ++i) {
        auto info = archive->Entry(i);
        if (!info) continue;
        std::string folder, name;
        SplitEntryName(info->RawName, folder, name);
        if (name.empty()) continue;  // a folder entry
        std::string path = EntryPath(folder, name);
        const bool chosen = include.empty() || chosenPaths.count(key(path)) != 0;
        if (chosen) jobs.push_back(Job{i, std::move(*info), std::move(path)});
    }

    // Bounds first, from the declared sizes, so that a bomb writes nothing at all.
    uint64_t total = 0;
    for (Job& job : jobs) {
        if (job.info.Size > kMaxEntryBytes)
            job.outcome = EntryOutcome::TooLarge;
        else
            total += job.info.Size;
    }
    bool failed = false;
    if (total > kMaxTotalBytes) {
        m_tooLargeTotal = total;
        for (Job& job : jobs) job.outcome = EntryOutcome::TooLarge;
        failed = true;
    }

    bool passwordCancelled = false;
    std::string password;
    for (Job& job : jobs) {
        if (job.outcome != EntryOutcome::NotTried) continue;
        bool cancel = false;
        if (Cancel) Cancel(Backslashed(job.path), cancel);
        if (cancel) break;
        if (job.info.Symlink) {
            job.outcome = EntryOutcome::Symlink;
            continue;
        }
        const std::string base = TargetName(job.info.RawName);
        if (base.empty()) {
            job.outcome = EntryOutcome::UnsafeName;
            continue;
        }
        if (!job.info.Inflatable) {
            job.outcome = EntryOutcome::Unsupported;
            continue;
        }
        if (job.info.Encrypted && password.empty()) {
            // Asked once per call: after a refusal the other encrypted entries are skipped unasked.
            if (!passwordCancelled && PasswordRequest) {
                std::string answer;
                bool refused = false;
                PasswordRequest(answer, refused);
                answer = std::string(text::Trim(answer)).substr(0, 254);
                if (refused || answer.empty())
                    passwordCancelled = true;
                else
                    password = answer;
            } else {
                passwordCancelled = true;
            }
            if (password.empty()) {
                job.outcome = EntryOutcome::Encrypted;
                continue;
            }
        }
        const std::string target = JoinPath(m_unzipFolder, base);
        if (!TestZip() && PathTaken(target)) {
            int32_t response = 100;
            if (OverwritePrompt) OverwritePrompt(Backslashed(job.path), response);
            job.outcome = EntryOutcome::Existed;  // never replaced, whatever the answer
            job.diskPath = target;
            continue;
        }
        const ZipExtractResult result = archive->Extract(job.index, TestZip() ? std::string() : target,
                                                         kMaxEntryBytes, job.info.Size,
                                                         job.info.Encrypted ? password : std::string());
        job.outcome = OutcomeOf(result);
        if (result == ZipExtractResult::Ok) {
            if (TestZip()) {
                job.outcome = EntryOutcome::Tested;
            } else {
                job.diskPath = target;
                m_created.push_back(target);
            }
            if (Progress) Progress(1, (TestZip() ? "    testing: " : "  inflating: ") + Backslashed(job.path));
        } else if (result == ZipExtractResult::Exists) {
            job.diskPath = target;
        }
    }

    // Each listed entry takes the outcome of the last job of its path (entries may share one).
    std::unordered_map<std::string_view, const Job*> byPath;
    for (const Job& job : jobs) {
        if (job.outcome != EntryOutcome::Created && job.outcome != EntryOutcome::Tested) failed = true;
        byPath[job.path] = &job;
    }
    for (UnzipEntry& entry : m_entries) {
        if (!entry.Selected) continue;
        const auto found = byPath.find(EntryPath(entry.Folder, entry.Name));
        if (found == byPath.end()) continue;
        entry.Outcome = found->second->outcome;
        entry.DiskPath = found->second->diskPath;
    }
    return failed;
}

void cUnzip::GetVersion(int32_t& major, int32_t& minor, int32_t& revision, std::string&, std::string& extra) const {
    const std::string version = ZipLibraryVersion();
    int32_t parts[3] = {0, 0, 0};
    size_t part = 0;
    size_t i = 0;
    for (; i < version.size() && part < 3; ++i) {
        const char c = version[i];
        if (text::IsDigit(c)) {
            parts[part] = parts[part] * 10 + (c - '0');
        } else if (c == '.') {
            ++part;
        } else {
            break;
        }
    }
    major = parts[0];
    minor = parts[1];
    revision = parts[2];
    extra = i < version.size() ? version.substr(i) : std::string();
}

}  // namespace qb
