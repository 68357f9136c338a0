#include "platform/sff_file.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace qb {

uint16_t ReadLe16(std::span<const uint8_t> bytes, size_t at) {
    if (at > bytes.size() || bytes.size() - at < 2) return 0;
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t ReadLe32(std::span<const uint8_t> bytes, size_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) return 0;
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::optional<SffHeader> ReadSffHeader(std::string_view file) {
    static constexpr char kSignature[] = "ElecbyteSpr";  // with its terminating zero: 12 bytes
    if (file.size() < 36 || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0) return std::nullopt;
    const auto bytes = AsBytes(file);
    SffHeader h;
    h.versionHi = bytes[15];
    // Version 2 files share the signature but not the layout.
    if (h.versionHi >= 2) return std::nullopt;
    h.groupCount = ReadLe32(bytes, 16);
    h.imageCount = ReadLe32(bytes, 20);
    h.firstOffset = ReadLe32(bytes, 24);
    h.subHeaderSize = ReadLe32(bytes, 28);
    h.paletteType = bytes[32];
    return h;
}

std::optional<SffIndex> ReadSffIndex(std::string_view file) {
    auto header = ReadSffHeader(file);
    if (!header) return std::nullopt;
    const auto bytes = AsBytes(file);
    const size_t size = bytes.size();

    SffIndex index;
    index.header = *header;
    // No more sub-headers than the file can physically hold.
    const size_t capacity = size / kSffSubHeaderSize;
    const size_t count = std::min<size_t>(header->imageCount, capacity);
    index.entries.reserve(count);

    // Real files may place their sub-headers in any order, so a "next" offset may point backward;
    // only a sub-header already read (a cycle) or one inside the file header ends the walk. The
    // image count bounds it in any case.
    std::unordered_set<size_t> visited;
    visited.reserve(count);
    size_t offset = header->firstOffset;
    for (size_t j = 0; j < count; ++j) {
        if (offset > size || size - offset < kSffSubHeaderSize) break;
        SffSubHeader s;
        s.offset = offset;
        s.next = ReadLe32(bytes, offset);
        s.length = ReadLe32(bytes, offset + 4);
        s.axisX = static_cast<int16_t>(ReadLe16(bytes, offset + 8));
        s.axisY = static_cast<int16_t>(ReadLe16(bytes, offset + 10));
        s.group = ReadLe16(bytes, offset + 12);
        s.image = static_cast<int16_t>(ReadLe16(bytes, offset + 14));
        s.linkedIndex = ReadLe16(bytes, offset + 16);
        s.samePalette = bytes[offset + 18] != 0;
        s.dataStart = offset + kSffSubHeaderSize;
        s.dataEnd = s.dataStart + std::min<size_t>(s.length, size - s.dataStart);
        index.entries.push_back(s);
        visited.insert(offset);
        if (s.next < kSffHeaderSize || visited.contains(s.next)) break;
        offset = s.next;
    }

    // Length fields overstate the data in real files (a reused palette still counted, the last
    // sprite running past the end): whatever sub-header follows the data in the file bounds it too,
    // and so does a forward "next" (the last sub-header's may be the file size).
    std::vector<size_t> starts;
    starts.reserve(index.entries.size());
    for (const SffSubHeader& s : index.entries) starts.push_back(s.offset);
    std::sort(starts.begin(), starts.end());
    for (SffSubHeader& s : index.entries) {
        auto after = std::upper_bound(starts.begin(), starts.end(), s.offset);
        if (after != starts.end()) s.dataEnd = std::min(s.dataEnd, std::max(*after, s.dataStart));
        if (s.next > s.offset) s.dataEnd = std::min<size_t>(s.dataEnd, std::max<size_t>(s.next, s.dataStart));
    }
    return index;
}

std::optional<std::span<const uint8_t, kPcxPaletteSize>> FindPcxPalette(std::span<const uint8_t> pcx,
                                                                        size_t searchFloor) {
    if (pcx.size() < kPcxPaletteSize + 1) return std::nullopt;
    const size_t last = pcx.size() - kPcxPaletteSize - 1;
    auto at = [&](size_t marker) { return pcx.subspan(marker + 1).first<kPcxPaletteSize>(); };
    const bool floorKnown = searchFloor > kPcxHeaderSize && searchFloor <= last;
    // Right where the pixels end is the surest place; then the end of the data, where most files
    // keep it.
    if (floorKnown && pcx[searchFloor] == 0x0C) return at(searchFloor);
    if (pcx[last] == 0x0C) return at(last);
    // Padded files: the first marker after the pixels. Searching backward from the end instead would
    // stop at a 0x0C byte inside the palette itself.
    if (floorKnown) {
        for (size_t marker = searchFloor; marker < last; ++marker) {
            if (pcx[marker] == 0x0C) return at(marker);
        }
    }
    return std::nullopt;
}

}  // namespace qb
