#include "platform/sff2_file.h"

#include <algorithm>
#include <cstring>

#include "platform/sff_file.h"

namespace qb {

std::string_view Sff2ErrorCode(Sff2Error error) {
    switch (error) {
        case Sff2Error::None: return "none";
        case Sff2Error::DataRange: return "data-range";
        case Sff2Error::Format: return "format";
        case Sff2Error::Link: return "link";
        case Sff2Error::ShortData: return "short-data";
        case Sff2Error::Size: return "size";
        case Sff2Error::LzOffset: return "lz-offset";
        case Sff2Error::Png: return "png";
        case Sff2Error::PngInterlaced: return "png-interlaced";
        case Sff2Error::PngType: return "png-type";
    }
    return "unknown";
}

std::string Sff2Header::VersionText() const {
    return std::to_string(version[3]) + "." + std::to_string(version[2]) + "." + std::to_string(version[1]) +
           "." + std::to_string(version[0]);
}

std::optional<size_t> Sff2File::FindSprite(uint16_t group, uint16_t image) const {
    auto it = firstSprite.find(uint32_t{group} << 16 | image);
    if (it == firstSprite.end()) return std::nullopt;
    return it->second;
}

std::optional<size_t> Sff2File::FindPalette(uint16_t group, uint16_t number) const {
    auto it = firstPalette.find(uint32_t{group} << 16 | number);
    if (it == firstPalette.end()) return std::nullopt;
    return it->second;
}

bool IsSff2(std::string_view file) {
    static constexpr char kSignature[] = "ElecbyteSpr";  // with its terminating zero: 12 bytes
    return file.size() >= 16 && std::memcmp(file.data(), kSignature, sizeof kSignature) == 0 &&
           static_cast<uint8_t>(file[15]) == 2;
}

namespace {

// A section of the file (ldata or tdata) as the header gives it, clipped to the file: a file cut
// short keeps the data that is still there.
struct Section {
    uint64_t start = 0;
    uint64_t end = 0;
};

Section ClipSection(uint32_t offset, uint32_t length, size_t fileSize) {
    const uint64_t start = std::min<uint64_t>(offset, fileSize);
    const uint64_t end = std::min<uint64_t>(uint64_t{offset} + length, fileSize);
    return {start, std::max(start, end)};
}

// The data [section.start + offset, + length) when it lies inside the section.
Sff2Source DataIn(const Section& section, uint32_t offset, uint32_t length, uint32_t node) {
    Sff2Source s;
    s.node = node;
    const uint64_t start = section.start + offset;
    if (start > section.end || section.end - start < length) {
        s.error = Sff2Error::DataRange;
        return s;
    }
    s.start = static_cast<size_t>(start);
    s.length = length;
    return s;
}

}  // namespace

std::vector<int64_t> FollowLinks(size_t n, const std::function<bool(size_t)>& linked,
                                 const std::function<size_t(size_t)>& target) {
    constexpr int64_t kUnknown = -2, kWalking = -3;
    std::vector<int64_t> root(n, kUnknown);
    for (size_t k = 0; k < n; ++k) {
        if (!linked(k)) root[k] = static_cast<int64_t>(k);
    }
    std::vector<size_t> path;
    for (size_t k = 0; k < n; ++k) {
        if (root[k] != kUnknown) continue;
        path.clear();
        size_t t = k;
        int64_t answer = -1;
        while (t < n) {
            if (root[t] == kWalking) break;  // a cycle
            if (root[t] != kUnknown) {
                answer = root[t];
                break;
            }
            root[t] = kWalking;
            path.push_back(t);
            t = target(t);
        }
        for (size_t j : path) root[j] = answer;
    }
    return root;
}

std::optional<Sff2File> ReadSff2(std::string_view file, std::string* reason) {
    auto refuse = [&](const char* why) -> std::optional<Sff2File> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    static constexpr char kSignature[] = "ElecbyteSpr";
    if (file.size() < 16 || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0)
        return refuse("not a sprite file");
    if (!IsSff2(file)) return refuse("not a version 2 sprite file");
    if (file.size() < kSff2HeaderBytes) return refuse("the header is cut short");
    const auto bytes = AsBytes(file);

    Sff2File out;
    Sff2Header& h = out.header;
    for (size_t i = 0; i < 4; ++i) h.version[i] = bytes[12 + i];
    h.spriteOffset = ReadLe32(bytes, 36);
    h.spriteCount = ReadLe32(bytes, 40);
    h.paletteOffset = ReadLe32(bytes, 44);
    h.paletteCount = ReadLe32(bytes, 48);
    h.ldataOffset = ReadLe32(bytes, 52);
    h.ldataLength = ReadLe32(bytes, 56);
    h.tdataOffset = ReadLe32(bytes, 60);
    h.tdataLength = ReadLe32(bytes, 64);

    // The tables are read whole or not at all: cut tables mean the data behind them is gone too.
    auto tableFits = [&](uint32_t offset, uint32_t count, size_t nodeSize) {
        return offset <= file.size() && (file.size() - offset) / nodeSize >= count;
    };
    if (!tableFits(h.spriteOffset, h.spriteCount, kSff2SpriteNodeSize))
        return refuse("the sprite node table runs past the end of the file");
    if (!tableFits(h.paletteOffset, h.paletteCount, kSff2PaletteNodeSize))
        return refuse("the palette node table runs past the end of the file");

    const Section ldata = ClipSection(h.ldataOffset, h.ldataLength, file.size());
    const Section tdata = ClipSection(h.tdataOffset, h.tdataLength, file.size());

    out.sprites.resize(h.spriteCount);
    out.spriteSources.resize(h.spriteCount);
    out.firstSprite.reserve(h.spriteCount);
    for (uint32_t k = 0; k < h.spriteCount; ++k) {
        const size_t at = h.spriteOffset + size_t{k} * kSff2SpriteNodeSize;
        Sff2SpriteNode& s = out.sprites[k];
        s.group = ReadLe16(bytes, at);
        s.image = ReadLe16(bytes, at + 2);
        s.width = ReadLe16(bytes, at + 4);
        s.height = ReadLe16(bytes, at + 6);
        s.axisX = static_cast<int16_t>(ReadLe16(bytes, at + 8));
        s.axisY = static_cast<int16_t>(ReadLe16(bytes, at + 10));
        s.link = ReadLe16(bytes, at + 12);
        s.format = bytes[at + 14];
        s.depth = bytes[at + 15];
        s.dataOffset = ReadLe32(bytes, at + 16);
        s.dataLength = ReadLe32(bytes, at + 20);
        s.palette = ReadLe16(bytes, at + 24);
        s.flags = ReadLe16(bytes, at + 26);
        if (!s.IsLinked())
            out.spriteSources[k] = DataIn((s.flags & 1) ? tdata : ldata, s.dataOffset, s.dataLength, k);
        out.firstSprite.try_emplace(uint32_t{s.group} << 16 | s.image, k);
    }
    out.palettes.resize(h.paletteCount);
    out.paletteSources.resize(h.paletteCount);
    out.firstPalette.reserve(h.paletteCount);
    for (uint32_t k = 0; k < h.paletteCount; ++k) {
        const size_t at = h.paletteOffset + size_t{k} * kSff2PaletteNodeSize;
        Sff2PaletteNode& p = out.palettes[k];
        p.group = ReadLe16(bytes, at);
        p.number = ReadLe16(bytes, at + 2);
        p.colours = ReadLe16(bytes, at + 4);
        p.link = ReadLe16(bytes, at + 6);
        p.offset = ReadLe32(bytes, at + 8);
        p.length = ReadLe32(bytes, at + 12);
        if (!p.IsLinked()) out.paletteSources[k] = DataIn(ldata, p.offset, p.length, k);
        out.firstPalette.try_emplace(uint32_t{p.group} << 16 | p.number, k);
    }
    // A linked node takes its target's data (or its target's fault); a broken chain is a fault of its own.
    auto resolve = [](const auto& nodes, std::vector<Sff2Source>& sources) {
        const auto root = FollowLinks(
            nodes.size(), [&](size_t k) { return nodes[k].IsLinked(); }, [&](size_t k) { return nodes[k].link; });
        for (size_t k = 0; k < nodes.size(); ++k) {
            if (!nodes[k].IsLinked()) continue;
            if (root[k] < 0) {
                sources[k] = {};
                sources[k].error = Sff2Error::Link;
            } else {
                sources[k] = sources[static_cast<size_t>(root[k])];
            }
        }
    };
    resolve(out.sprites, out.spriteSources);
    resolve(out.palettes, out.paletteSources);
    return out;
}

}  // namespace qb
