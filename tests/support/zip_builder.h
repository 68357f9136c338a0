#pragma once
// Zip archives for tests. ZipBuilder writes through libzip (names stored byte for byte); RawZip lays
// out local headers and the central directory by hand, for archives libzip refuses to write
// (declared sizes that lie, unknown methods, encryption flags without a cipher).
#include <cstdint>
#include <string>
#include <vector>

namespace qb::test {

struct ZipItem {
    std::string name;  // stored bytes
    std::string data;
    bool symlink = false;        // Unix symbolic-link attributes (data is the target)
    std::string password;        // non-empty: AES-256 encrypted with it
};

// Writes `items` to `path` with libzip; false when libzip refused something.
bool WriteZip(const std::string& path, const std::vector<ZipItem>& items);

struct RawZipItem {
    std::string name;
    std::string stored;        // the bytes after the local header, as they are
    uint16_t method = 0;       // 0 stored, 8 deflate, anything else as given
    uint16_t flags = 0;        // general-purpose flags (bit 0: encrypted)
    uint32_t crc = 0;
    uint64_t declaredSize = 0;  // uncompressed size written in the headers
};

// The bytes of a zip archive holding `items`, sizes above 4 GiB excluded.
std::string RawZip(const std::vector<RawZipItem>& items);
// `bytes` deflated without zlib's header (zip's method 8) and its CRC-32.
std::string RawDeflate(const std::string& bytes);
uint32_t Crc32(const std::string& bytes);
// A deflate stream of `count` zero bytes, built without holding them all in memory.
std::string DeflatedZeros(uint64_t count, uint32_t& crc);

}  // namespace qb::test
