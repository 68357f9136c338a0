#include "platform/zip_archive.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/paths.h"

namespace qb {

namespace {

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Length of the valid UTF-8 sequence at `s[i]`, or 0 (overlong forms, surrogates and values past
// U+10FFFF are invalid).
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    size_t length = 0;
    uint32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t length = Utf8SequenceLength(s, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// Strict conversion to UTF-8 through iconv; nullopt when a byte sequence is not in the code page.
std::optional<std::string> Decode(std::string_view raw, const char* codePage) {
    iconv_t cd = ::iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in(raw);
    std::string out(raw.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// Code points a Shift-JIS reading of Chinese bytes produces and real Japanese file names do not
// hold: half-width katakana and the private-use area (vendor-defined lead bytes).
bool LooksMisreadAsShiftJis(std::string_view utf8) {
    for (size_t i = 0; i + 2 < utf8.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
        if (b0 == 0xEF && (b1 == 0xBD || b1 == 0xBE)) {
            const uint32_t cp = 0xF000u | ((b1 & 0x3Fu) << 6) | (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            if (cp >= 0xFF61 && cp <= 0xFF9F) return true;
        }
        if (b0 == 0xEE || (b0 == 0xEF && b1 < 0xA4)) return true;  // U+E000..U+F8FF
    }
    return false;
}

uint32_t Le(const std::string& bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = width; i > 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i - 1]);
    return static_cast<uint32_t>(value);
}

uint64_t Le64(const std::string& bytes, size_t at) {
    return (static_cast<uint64_t>(Le(bytes, at + 4, 4)) << 32) | Le(bytes, at, 4);
}

bool ReadAt(int fd, uint64_t offset, size_t count, std::string& out) {
    out.assign(count, '\0');
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, out.data() + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

// The names of the central directory as stored, in its order; nullopt when the directory is not
// where the end record says (data before the archive, damage) or does not hold `expected` entries.
std::optional<std::vector<std::string>> ReadStoredNames(const std::string& path, uint64_t expected) {
    constexpr uint64_t kMaxDirectoryBytes = 64u << 20;
    Fd file;
    file.fd = OpenRegularFile(path);
    struct stat st;
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) return std::nullopt;
    const auto size = static_cast<uint64_t>(st.st_size);
    const uint64_t tailSize = std::min<uint64_t>(size, 22 + 65535);
    std::string tail;
    if (tailSize < 22 || !ReadAt(file.fd, size - tailSize, static_cast<size_t>(tailSize), tail))
        return std::nullopt;
    const size_t end = tail.rfind(std::string("PK\x05\x06", 4), tail.size() - 22);
    if (end == std::string::npos) return std::nullopt;
    uint64_t entries = Le(tail, end + 10, 2);
    uint64_t dirSize = Le(tail, end + 12, 4);
    uint64_t dirOffset = Le(tail, end + 16, 4);
    if (entries == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
        std::string record;
        const uint64_t locatorAt = size - tailSize + end;
        if (locatorAt < 20 || !ReadAt(file.fd, locatorAt - 20, 20, record) ||
            record.compare(0, 4, "PK\x06\x07") != 0)
            return std::nullopt;
        if (!ReadAt(file.fd, Le64(record, 8), 56, record) || record.compare(0, 4, "PK\x06\x06") != 0)
            return std::nullopt;
        entries = Le64(record, 32);
        dirSize = Le64(record, 40);
        dirOffset = Le64(record, 48);
    }
    if (entries != expected || dirSize > kMaxDirectoryBytes || dirOffset > size || dirSize > size - dirOffset)
        return std::nullopt;
    std::string directory;
    if (!ReadAt(file.fd, dirOffset, static_cast<size_t>(dirSize), directory)) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(entries));
    size_t at = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        if (at + 46 > directory.size() || directory.compare(at, 4, "PK\x01\x02") != 0) return std::nullopt;
        const size_t nameLength = Le(directory, at + 28, 2);
        const size_t rest = nameLength + Le(directory, at + 30, 2) + Le(directory, at + 32, 2);
        if (at + 46 + rest > directory.size()) return std::nullopt;
        names.push_back(directory.substr(at + 46, nameLength));
        at += 46 + rest;
    }
    return names;
}

}  // namespace

void ZipArchive::Closer::operator()(zip* archive) const {
    zip_discard(archive);  // read-only: nothing to write back
}

ZipArchive::~ZipArchive() = default;

std::optional<ZipArchive> ZipArchive::Open(const std::string& path, std::string* error) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        if (error) *error = "not a readable file";
        return std::nullopt;
    }
    int code = 0;
    zip* archive = zip_fdopen(fd, ZIP_RDONLY, &code);  // takes the descriptor only when it succeeds
    if (!archive) {
        ::close(fd);
        if (error) {
            zip_error_t ze;
            zip_error_init_with_code(&ze, code);
            *error = zip_error_strerror(&ze);
            zip_error_fini(&ze);
        }
        return std::nullopt;
    }
    return ZipArchive(archive, path);
}

std::string ZipArchive::StoredName(uint64_t index, const char* libzipName) const {
    const std::string name(libzipName);
    if (name.find(' ') == std::string::npos) return name;
    if (!m_storedNames) m_storedNames.emplace(ReadStoredNames(m_path, Count()));
    const auto& stored = *m_storedNames;
    if (!stored || index >= stored->size()) return name;
    std::string raw = (*stored)[index];
    std::replace(raw.begin(), raw.end(), '\0', ' ');
    if (raw != name) return name;  // not the entry libzip means: keep libzip's reading
    const std::string& exact = (*stored)[index];
    return exact.substr(0, exact.find('\0'));
}

uint64_t ZipArchive::Count() const {
    const zip_int64_t count = zip_get_num_entries(m_zip.get(), 0);
    return count < 0 ? 0 : static_cast<uint64_t>(count);
}

std::optional<ZipEntryInfo> ZipArchive::Entry(uint64_t index) const {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip.get(), index, ZIP_FL_ENC_RAW, &st) != 0) return std::nullopt;
    ZipEntryInfo info;
    if (st.valid & ZIP_STAT_NAME) info.RawName = StoredName(index, st.name);
    if (st.valid & ZIP_STAT_SIZE) info.Size = st.size;
    if (st.valid & ZIP_STAT_COMP_SIZE) info.PackedSize = st.comp_size;
    if (st.valid & ZIP_STAT_COMP_METHOD) info.Method = st.comp_method;
    if (st.valid & ZIP_STAT_CRC) info.Crc = st.crc;
    if (st.valid & ZIP_STAT_MTIME) info.Modified = st.mtime;
    info.Encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    info.Inflatable = zip_compression_method_supported(static_cast<zip_int32_t>(info.Method), 0) != 0;
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(m_zip.get(), index, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX) {
        info.Symlink = S_ISLNK(static_cast<mode_t>(attributes >> 16));
    }
    return info;
}

ZipExtractResult ZipArchive::Extract(uint64_t index, const std::string& path, uint64_t maxBytes,
                                     uint64_t expectedSize, const std::string& password) const {
    const auto info = Entry(index);
    if (!info) return ZipExtractResult::ReadError;
    if (!info->Inflatable) return ZipExtractResult::Unsupported;
    if (info->Encrypted && password.empty()) return ZipExtractResult::Encrypted;
    std::unique_ptr<zip_file_t, FileCloser> file(
        info->Encrypted ? zip_fopen_index_encrypted(m_zip.get(), index, 0, password.c_str())
                        : zip_fopen_index(m_zip.get(), index, 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_zip.get()));
        zip_error_clear(m_zip.get());
        if (code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP) return ZipExtractResult::Unsupported;
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD) return ZipExtractResult::Encrypted;
        return ZipExtractResult::ReadError;
    }
    Fd out;
    if (!path.empty()) {
        out.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (out.fd < 0) return errno == EEXIST ? ZipExtractResult::Exists : ZipExtractResult::CreateFailed;
    }
    const auto fail = [&](ZipExtractResult result) {
        if (out.fd >= 0) {
            ::close(out.fd);
            out.fd = -1;
            ::unlink(path.c_str());  // created above by this call, so ours to remove
        }
        return result;
    };
    std::vector<char> buffer(64 * 1024);
    uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
        if (got < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file.get()));
            if (code == ZIP_ER_WRONGPASSWD) return fail(ZipExtractResult::Encrypted);
            return fail(ZipExtractResult::ReadError);
        }
        if (got == 0) break;
        total += static_cast<uint64_t>(got);
        // The declared size is not trusted: a bomb may declare little and inflate much.
        if (total > maxBytes) return fail(ZipExtractResult::TooLarge);
        if (total > expectedSize) return fail(ZipExtractResult::SizeMismatch);
        if (out.fd >= 0 && !WriteAll(out.fd, buffer.data(), static_cast<size_t>(got)))
            return fail(ZipExtractResult::WriteError);
    }
    if (total != expectedSize) return fail(ZipExtractResult::SizeMismatch);
    if (out.fd >= 0 && ::close(std::exchange(out.fd, -1)) != 0) {
        ::unlink(path.c_str());
        return ZipExtractResult::WriteError;
    }
    return ZipExtractResult::Ok;
}

std::optional<std::string> ZipArchive::ReadHead(uint64_t index, size_t maxBytes) const {
    const auto info = Entry(index);
    if (!info || !info->Inflatable || info->Encrypted || info->Symlink) return std::nullopt;
    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(m_zip.get(), index, 0));
    if (!file) {
        zip_error_clear(m_zip.get());
        return std::nullopt;
    }
    std::string head(static_cast<size_t>(std::min<uint64_t>(maxBytes, info->Size)), '\0');
    size_t total = 0;
    while (total < head.size()) {
        const zip_int64_t got = zip_fread(file.get(), head.data() + total, head.size() - total);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    head.resize(total);
    return head;
}

std::string ZipLibraryVersion() {
    return zip_libzip_version();
}

std::string ZipNameToUtf8(std::string_view raw) {
    if (IsValidUtf8(raw)) return std::string(raw);
    if (auto sjis = Decode(raw, "CP932"); sjis && !LooksMisreadAsShiftJis(*sjis)) return *sjis;
    if (auto gbk = Decode(raw, "GBK")) return *gbk;
    // Windows-1252, with the five bytes it leaves undefined (and anything iconv refuses) as '_'.
    std::string out;
    for (const char c : raw) {
        const std::string_view one(&c, 1);
        const auto decoded = Decode(one, "CP1252");
        out += decoded ? *decoded : std::string("_");
    }
    return out;
}

}  // namespace qb
