#pragma once
// Bounds-checked reading of a version 1 sprite file's header and sub-header chain. Every offset, size
// and count is checked against the bytes given; nothing here allocates more than the file can hold.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qb {

constexpr size_t kSffHeaderSize = 512;
constexpr size_t kSffSubHeaderSize = 32;
constexpr size_t kPcxHeaderSize = 128;
constexpr size_t kPcxPaletteSize = 768;

struct SffHeader {
    uint32_t groupCount = 0;   // informative only; real files may say 0
    uint32_t imageCount = 0;   // as written in the file (byte 20)
    uint32_t firstOffset = 0;  // offset of the first sub-header (byte 24)
    uint32_t subHeaderSize = 0;
    uint8_t paletteType = 0;
    uint8_t versionHi = 0;  // byte 15: 1 for version 1 files
};

struct SffSubHeader {
    size_t offset = 0;    // where this sub-header sits in the file
    uint32_t next = 0;    // next-offset field as written
    uint32_t length = 0;  // data length as written; 0 marks a linked sprite
    int16_t axisX = 0;
    int16_t axisY = 0;
    int32_t group = 0;  // unsigned 16-bit in the file
    int16_t image = 0;
    int32_t linkedIndex = 0;   // unsigned 16-bit in the file
    bool samePalette = false;  // byte 18
    // The sprite's data clipped to the file: [dataStart, dataEnd). Ends at the smallest of the
    // length field, the nearest sub-header after it in the file, a forward "next" offset and the end
    // of the file.
    size_t dataStart = 0;
    size_t dataEnd = 0;

    bool IsLinked() const { return length == 0; }
    size_t DataSize() const { return dataEnd - dataStart; }
};

struct SffIndex {
    SffHeader header;
    // One per sub-header actually present, in chain order; at most header.imageCount. Fewer when the
    // chain leaves the file or comes back to a sub-header already read.
    std::vector<SffSubHeader> entries;
};

// Reads the header: nullopt when the bytes are not a version 1 sprite file.
std::optional<SffHeader> ReadSffHeader(std::string_view file);

// Reads the header and walks the sub-header chain for the header's image count. "Next" offsets may
// point backward (sub-headers in any order). The walk stops early (keeping what it read) when a
// sub-header would not fit in the file, or when a "next" offset returns to a sub-header already read
// (a cycle) or points into the file header (0, a garbled pointer); the last sub-header's "next" may be
// the file size or 0 in real files and is never followed.
std::optional<SffIndex> ReadSffIndex(std::string_view file);

// The 768-byte palette of a PCX picture held in `pcx` (one sprite's data): the 768 bytes after a 0x0C
// marker. `searchFloor` is where the picture's run-length data ended, when the caller knows it (the
// default, the end of the PCX header, means unknown). Looked for right at the floor, then as the last
// 769 bytes, then (floor known) as the first marker after the floor that leaves 768 bytes behind it,
// for files that pad after the palette. nullopt when there is none.
std::optional<std::span<const uint8_t, kPcxPaletteSize>> FindPcxPalette(std::span<const uint8_t> pcx,
                                                                        size_t searchFloor = kPcxHeaderSize);

// Little-endian readers over a byte span with bounds checks (0 outside).
uint16_t ReadLe16(std::span<const uint8_t> bytes, size_t at);
uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t at);

inline std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace qb
