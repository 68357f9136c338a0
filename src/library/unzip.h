#pragma once
// cUnzip: lists a zip archive and extracts chosen entries flat into one folder. Stage packages are
// its only user. It stands where an Info-ZIP style library once stood; what such a library decided
// on its own is decided here, always on the safe side:
//
// - Extraction is always flat: an entry's file lands in UnzipFolder under a safe base name (the
//   part after the last '/', '\' or ':', decoded to UTF-8). Names that reduce to nothing, ".", "..",
//   or hold control characters are skipped; UseFolderNames never creates folders.
// - A file is written only through a path that did not exist (O_EXCL, O_NOFOLLOW): an existing
//   file of that name is kept as it is, whatever OverwriteExisting or an OverwritePrompt handler
//   says. Symbolic-link entries are skipped.
// - Bounds: an entry declaring more than kMaxEntryBytes is skipped; when the selected entries
//   declare more than kMaxTotalBytes together nothing is written. Inflation stops at the declared
//   size: an entry that inflates to another size is removed again.
// - Encrypted entries are extracted only with a password from a PasswordRequest handler; without
//   one they are skipped. Methods libzip cannot inflate (LZMA, XZ, ...) are skipped.
// - Every file Unzip created is remembered (CreatedFiles); nothing else is ever the caller's to delete.
//
// The listing callback gets the 13 arguments the listing always had. Its sizes and the factor are
// clamped to 32 bits; the factor is the space saved in percent (0 for an empty entry), as Info-ZIP
// counted it. ConvertCRToCRLF, ExtractOnlyNewer and MessageLevel are stored and have no effect.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

inline constexpr uint64_t kMaxEntryBytes = 256ull << 20;
inline constexpr uint64_t kMaxTotalBytes = 1ull << 30;
// More entries than a stage package sensibly holds: such an archive is neither listed nor extracted
// (listing and extracting cost time and files in proportion to the entries).
inline constexpr uint64_t kMaxPackageEntries = 10000;

// What Unzip did with one entry.
enum class EntryOutcome {
    NotTried,     // not selected, or extraction stopped before it
    Created,      // written to a new file
    Existed,      // a file of that name was already there and was kept (not ours)
    UnsafeName,   // the name reduces to nothing usable
    Symlink,
    TooLarge,     // the declared or the inflated size passes the bounds
    Encrypted,    // no (or a wrong) password
    Unsupported,  // compression method libzip cannot inflate
    Damaged,      // read error, size or checksum mismatch, or the disk refused it
    Tested,       // TestZip: inflated and checked, nothing written
};

struct ZipDate {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0;  // all 0: no valid date
};

struct UnzipEntry {
    std::string Name;    // the entry's name without its folder (raw bytes as stored)
    std::string Folder;  // "\" separated, no trailing "\"
    int32_t Size = 0;
    int32_t Factor = 0;
    std::string Method;
    ZipDate Date;
    uint32_t Crc = 0;
    bool Encrypted = false;
    bool Selected = true;
    // Filled by Unzip:
    EntryOutcome Outcome = EntryOutcome::NotTried;
    std::string DiskPath;  // the file that holds the entry now (created or found existing), or empty
};

// The listing callback's arguments, in their order.
using ListingCallback = std::function<void(uint32_t uncompressedSize, uint32_t compressedSize, int32_t factor,
                                           int32_t month, int32_t day, int32_t year, int32_t hour, int32_t minute,
                                           char flag, const char* name, const char* method, uint32_t crc,
                                           char encryption)>;

// Lists the archive at `zipFile` through `listing`, one call per entry in the archive's order.
// False when the archive cannot be read or holds more than `maxEntries` entries (no call is made);
// `entryCount`, when given, receives the archive's number of entries (0 when unreadable).
bool ListArchive(const std::string& zipFile, const ListingCallback& listing, uint64_t maxEntries = UINT64_MAX,
                 uint64_t* entryCount = nullptr);

// Splits a stored entry name into folder and name (see SplitEntryName in unzip.cpp).
void SplitEntryName(std::string_view text, std::string& folder, std::string& name);
// folder + "/" + name with every "\" turned into "/"; the name alone when the folder is empty.
std::string EntryPath(const std::string& folder, const std::string& name);
// The base name an entry is written under, as UTF-8; empty when the entry must be skipped.
std::string SafeEntryFileName(std::string_view storedName);

class cUnzip {
public:
    // The options record: 17 32-bit fields in the library's order.
    enum Option : size_t {
        kExtractOnlyNewer = 0,
        kSpaceToUnderScore = 1,
        kPromptToOverwrite = 2,
        kMessageLevel = 3,
        kTestZip = 5,
        kListing = 6,
        kUseFolderNames = 9,
        kOverwriteExisting = 10,
        kConvertCRToCRLF = 11,
        kCaseSensitiveFileNames = 13,
    };

    // Events; nothing handles them unless the holder sets them.
    std::function<void(const std::string& message, bool& cancel)> Cancel;
    std::function<void(const std::string& fileName, int32_t& response)> OverwritePrompt;
    std::function<void(std::string& password, bool& cancel)> PasswordRequest;
    std::function<void(int32_t count, const std::string& message)> Progress;

    bool ExtractOnlyNewer() const { return Flag(kExtractOnlyNewer); }
    void ExtractOnlyNewer(bool bState) { SetFlag(kExtractOnlyNewer, bState); }
    bool SpaceToUnderScore() const { return Flag(kSpaceToUnderScore); }
    void SpaceToUnderScore(bool bState) { SetFlag(kSpaceToUnderScore, bState); }
    bool PromptToOverwrite() const { return Flag(kPromptToOverwrite); }
    void PromptToOverwrite(bool bState) { SetFlag(kPromptToOverwrite, bState); }
    int32_t MessageLevel() const { return m_options[kMessageLevel]; }
    void MessageLevel(int32_t level) { m_options[kMessageLevel] = level; }
    bool TestZip() const { return Flag(kTestZip); }
    void TestZip(bool bState) { SetFlag(kTestZip, bState); }
    bool UseFolderNames() const { return Flag(kUseFolderNames); }
    void UseFolderNames(bool bState) { SetFlag(kUseFolderNames, bState); }
    bool OverwriteExisting() const { return Flag(kOverwriteExisting); }
    void OverwriteExisting(bool bState) { SetFlag(kOverwriteExisting, bState); }
    bool ConvertCRToCRLF() const { return Flag(kConvertCRToCRLF); }
    void ConvertCRToCRLF(bool bState) { SetFlag(kConvertCRToCRLF, bState); }
    bool CaseSensitiveFileNames() const { return Flag(kCaseSensitiveFileNames); }
    void CaseSensitiveFileNames(bool bState) { SetFlag(kCaseSensitiveFileNames, bState); }
    const std::array<int32_t, 17>& OptionsRecord() const { return m_options; }

    int32_t FileCount() const { return static_cast<int32_t>(m_entries.size()); }
    // Entry accessors take the 1-based lIndex; out of range answers an empty value.
    std::string FileName(int32_t lIndex) const { return At(lIndex).Name; }
    std::string FileDirectory(int32_t lIndex) const { return At(lIndex).Folder; }
    int32_t FileSize(int32_t lIndex) const { return At(lIndex).Size; }
    int32_t FileCompressionRatio(int32_t lIndex) const { return At(lIndex).Factor; }
    ZipDate FileDate(int32_t lIndex) const { return At(lIndex).Date; }
    uint32_t FileCRC(int32_t lIndex) const { return At(lIndex).Crc; }
    std::string FileCompressionMethod(int32_t lIndex) const { return At(lIndex).Method; }
    bool FileEncrypted(int32_t lIndex) const { return At(lIndex).Encrypted; }
    // factor × size / 100 in 32-bit arithmetic, truncated toward zero (wrapping as 32 bits would).
    int32_t FilePackedSize(int32_t lIndex) const;
    bool FileSelected(int32_t lIndex) const { return At(lIndex).Selected; }
    void FileSelected(int32_t lIndex, bool bState);
    const UnzipEntry& Entry(int32_t lIndex) const { return At(lIndex); }

    const std::string& ZipFile() const { return m_zipFile; }
    // Setting the archive discards the listing.
    void ZipFile(const std::string& path);
    const std::string& UnzipFolder() const { return m_unzipFolder; }
    void UnzipFolder(const std::string& folder) { m_unzipFolder = folder; }

    // Lists the archive, appending to the entries already listed. An unreadable archive lists nothing,
    // and so does one with more than MaxEntries entries (TooManyEntries then says how many it has).
    void Directory();
    uint64_t MaxEntries() const { return m_maxEntries; }
    void MaxEntries(uint64_t count) { m_maxEntries = count; }
    // The entry count of the archive the last Directory or Unzip refused for holding too many; 0 otherwise.
    uint64_t TooManyEntries() const { return m_tooMany; }
    // What the selected entries declare together when the last Unzip wrote nothing because it passes
    // kMaxTotalBytes; 0 otherwise.
    uint64_t TooLargeTotal() const { return m_tooLargeTotal; }
    // The name entry `lIndex` is written under in UnzipFolder (what SafeEntryFileName makes of its
    // stored name, blanks turned by SpaceToUnderScore); empty when it is never written. Whoever
    // selects entries by the name of the file they become asks this.
    std::string WrittenName(int32_t lIndex) const;
    // The names Unzip passes on: empty when every entry is selected (extract everything).
    std::vector<std::string> IncludeList() const;
    // Extracts the selected entries. Answers true when the extraction reported a failure (a
    // non-zero status), false when every chosen entry was written: the library's status test.
    bool Unzip();
    // Files Unzip created, in the order it created them.
    const std::vector<std::string>& CreatedFiles() const { return m_created; }

    // libzip's version; `date` is left as it is.
    void GetVersion(int32_t& major, int32_t& minor, int32_t& revision, std::string& date, std::string& extra) const;

    // Appends one entry (the listing callback's work); an empty name is ignored.
    void AddEntry(UnzipEntry entry);

private:
    bool Flag(Option o) const { return m_options[o] != 0; }
    void SetFlag(Option o, bool on) { m_options[o] = on ? 1 : 0; }
    const UnzipEntry& At(int32_t lIndex) const;
    std::string TargetName(std::string_view storedName) const;

    std::array<int32_t, 17> m_options{};
    std::string m_zipFile;
    std::string m_unzipFolder;
    std::vector<UnzipEntry> m_entries;
    std::vector<std::string> m_created;
    uint64_t m_maxEntries = kMaxPackageEntries;
    uint64_t m_tooMany = 0;
    uint64_t m_tooLargeTotal = 0;
    UnzipEntry m_none;  // what an index out of range reads
};

}  // namespace qb
