#pragma once
// The one place that calls libzip: an archive opened for reading, its entries as they are stored,
// and the inflation of one entry into a file created for it. What an entry becomes on disk (its
// name, whether it is written at all) is decided above this layer, by cUnzip.
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct zip;

namespace qb {

struct ZipEntryInfo {
    std::string RawName;  // the stored name's bytes (no code-page guess), cut at a NUL
    uint64_t Size = 0;    // uncompressed size the archive declares
    uint64_t PackedSize = 0;
    uint16_t Method = 0;  // ZIP_CM_* of the entry
    uint32_t Crc = 0;
    std::time_t Modified = 0;
    bool Encrypted = false;
    bool Symlink = false;      // stored with Unix symbolic-link attributes
    bool Inflatable = false;   // libzip can decompress the method (stored, deflate, bzip2 when built in)
};

enum class ZipExtractResult {
    Ok,
    Exists,          // the target path already exists (nothing was written)
    CreateFailed,    // the target could not be created
    Unsupported,     // a compression method libzip cannot inflate
    Encrypted,       // needs a password, or the one given is wrong
    TooLarge,        // inflated more than the bound
    SizeMismatch,    // inflated a different number of bytes than the archive declares
    ReadError,       // libzip failed while inflating (damaged data, wrong checksum)
    WriteError,      // the disk refused the bytes
};

class ZipArchive {
public:
    // nullopt when the file is missing, is no regular file (a FIFO is never waited on) or is not a
    // readable zip archive; `error` says why.
    static std::optional<ZipArchive> Open(const std::string& path, std::string* error = nullptr);

    ZipArchive(ZipArchive&&) noexcept = default;
    ZipArchive& operator=(ZipArchive&&) noexcept = default;
    ~ZipArchive();

    uint64_t Count() const;
    std::optional<ZipEntryInfo> Entry(uint64_t index) const;

    // Inflates entry `index` into `path`, a file created for it (O_CREAT | O_EXCL | O_NOFOLLOW: an
    // existing path, symbolic links included, is never written through). At most `maxBytes` are
    // inflated; a count different from `expectedSize` is a failure. On any failure the partly
    // written file is removed, so nothing half-written stays. `path` empty inflates and checks
    // without writing (a test of the entry). `password` empty: none.
    ZipExtractResult Extract(uint64_t index, const std::string& path, uint64_t maxBytes, uint64_t expectedSize,
                             const std::string& password) const;
    // The first `maxBytes` bytes of entry `index`, inflated in memory (nothing is written); nullopt
    // for an entry that cannot be inflated (method, password, damage). Reading stops at maxBytes, so a
    // bomb costs no more than that.
    std::optional<std::string> ReadHead(uint64_t index, size_t maxBytes) const;

private:
    struct Closer {
        void operator()(zip* archive) const;
    };
    ZipArchive(zip* archive, std::string path) : m_zip(archive), m_path(std::move(path)) {}
    // The stored name of entry `index` cut at its first NUL, when libzip's copy may differ from it.
    std::string StoredName(uint64_t index, const char* libzipName) const;
    std::unique_ptr<zip, Closer> m_zip;
    std::string m_path;
    // libzip turns a NUL inside a name into a blank; the names as stored are read from the central
    // directory the first time a name holds a blank (nullopt inside: that directory could not be read).
    mutable std::optional<std::optional<std::vector<std::string>>> m_storedNames;
};

// libzip's version text ("1.9.2").
std::string ZipLibraryVersion();

// A stored entry name as UTF-8: kept when it already is valid UTF-8, otherwise decoded from the
// code pages old packages were made with (Shift-JIS or GBK, then Windows-1252). Bytes no code page
// accepts become '_'. Never fails.
std::string ZipNameToUtf8(std::string_view raw);

}  // namespace qb
