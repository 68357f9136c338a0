#pragma once
// The stage library behind the stage list: every stage the MUGEN directory's stages folder holds, in
// its subfolders too and inside its zip packages, each with the name and author its definition gives
// in [Info]. Reading those takes only the head of each definition (a package's directory and the
// head of its definitions, inflated in memory), and a cache file keeps them between runs, keyed by
// each file's size and time.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

// Classic: made for the old engines. Modern: "mugenversion = 1.0" or later in [Info], or a version 2
// sprite file (the older engines cannot read one).
enum class StageKind : uint8_t { Classic, Modern };
// The orders the list can show. File is the list's old order (by path, without regard to case).
enum class LibrarySort : uint8_t { File, Name, Author, Date, Kind };
inline constexpr int kLibrarySortCount = 5;

struct LibraryRow {
    std::string File;      // the definition on disk, or the package holding it
    std::string Entry;     // the package's entry ("stages/city.def"); empty for a definition on disk
    std::string ListName;  // as the engine's select list names it: "stages/folder/x.def",
                           // "stages/pack.zip!stages/x.def" for a package's stage
    std::string Name;      // [Info] displayname, else name, else the file name without ".def"
    std::string Author;
    int64_t Size = -1;        // of File (the package for a package's stage)
    int64_t ModifiedNs = 0;   // of File
    StageKind Kind = StageKind::Classic;
    bool operator==(const LibraryRow&) const = default;
};

// What a definition's head says in [Info].
struct StageHead {
    std::string Name;
    std::string DisplayName;
    std::string Author;
    float MugenVersion = 0;
    // [BGdef]'s spr, as written (without quotes and comment); empty when the head has none.
    std::string Sprite;
    // A section only stages have ([Camera], [PlayerInfo], [StageInfo], [BGdef]) was seen: tells a
    // package's stage from the characters and storyboards packages also hold.
    bool StageSections = false;
};
// How much of a definition is read for its head: [Info] comes first in every stage the engine's
// documentation shows.
inline constexpr size_t kStageHeadBytes = 8192;
StageHead ReadStageHead(std::string_view text);

// The previous run's rows, keyed by File and Entry; a row counts only while its file's size and time
// are unchanged.
class LibraryCache {
public:
    // Reads the cache file; a missing, damaged or foreign file is an empty cache.
    static LibraryCache Load(const std::string& path);
    // Writes the rows to `path` (replaced in one step). False when it could not be written.
    static bool Save(const std::string& path, const std::vector<LibraryRow>& rows);
    // The cached rows of `file` when its size and time are these, else nullptr. A package gives all
    // its stages' rows.
    const std::vector<LibraryRow>* Find(const std::string& file, int64_t size, int64_t modifiedNs) const;
    size_t Files() const { return m_byFile.size(); }

private:
    std::unordered_map<std::string, std::vector<LibraryRow>> m_byFile;
};

// Every stage under `stagesFolder` at any depth (folders linked in are followed once; at most
// kMaxLibraryDepth levels and kMaxLibraryFiles files): definitions (".def", any letter case) and
// the stages inside packages (".zip"). Rows are in file order (by ListName without regard to case).
// `cache` may be null.
inline constexpr int kMaxLibraryDepth = 16;
inline constexpr size_t kMaxLibraryFiles = 200000;
struct LibraryScan {
    std::vector<LibraryRow> Rows;
    bool BrokeOff = false;  // a folder could not be read (wholly)
    size_t ReadFiles = 0;   // files whose head was read (not found in the cache)
};
LibraryScan ScanStageLibrary(const std::string& stagesFolder, const LibraryCache* cache);

// True when every blank-separated word of `filter` is found, without regard to case, in the row's
// name, author or list name. An empty filter keeps every row.
bool RowMatchesFilter(const LibraryRow& row, std::string_view filter);
// The order of two rows under `sort`; rows that tie keep file order.
bool RowBefore(const LibraryRow& a, const LibraryRow& b, LibrarySort sort);

// The setting's word for each order and back (unknown words: File).
const char* LibrarySortWord(LibrarySort sort);
LibrarySort LibrarySortFromWord(std::string_view word);

}  // namespace qb
