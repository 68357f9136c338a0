#pragma once
// Bounds-checked reading of a version 2 sprite file: the header, the sprite and palette node tables
// and the links between nodes. Nothing is decoded here (sff2_decoder.h does that); every offset and
// count is checked against the bytes given, and nothing allocates more than the file can hold.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

constexpr size_t kSff2HeaderBytes = 68;  // the fields read; the header itself is longer
constexpr size_t kSff2SpriteNodeSize = 28;
constexpr size_t kSff2PaletteNodeSize = 16;

// Why one sprite or palette of an otherwise readable file cannot be decoded. The names
// (Sff2ErrorCode) are what the error log and `--sff-info` print.
enum class Sff2Error : uint8_t {
    None,
    DataRange,      // the data lies outside its section or the file
    Format,         // an unknown format, or a depth the format cannot have
    Link,           // a link outside the table, or a chain of links that comes back on itself
    ShortData,      // the data ends before the picture (or palette) is complete
    Size,           // a size the data cannot hold, one that differs from the picture's, or past the budget
    LzOffset,       // a copy from before the start of the picture
    Png,            // libpng refused the data
    PngInterlaced,  // an interlaced PNG (the engine reads only plain ones)
    PngType,        // a PNG whose colour type the sprite's format cannot show
};
std::string_view Sff2ErrorCode(Sff2Error error);

enum Sff2Format : uint8_t {
    kSff2Raw = 0,
    kSff2Rle8 = 2,
    kSff2Rle5 = 3,
    kSff2Lz5 = 4,
    kSff2Png8 = 10,
    kSff2Png24 = 11,
    kSff2Png32 = 12,
};

struct Sff2Header {
    std::array<uint8_t, 4> version{};  // bytes 12..15 as stored, lowest first: 2.01 is {0, 1, 0, 2}
    uint32_t spriteOffset = 0;
    uint32_t spriteCount = 0;
    uint32_t paletteOffset = 0;
    uint32_t paletteCount = 0;
    uint32_t ldataOffset = 0;
    uint32_t ldataLength = 0;
    uint32_t tdataOffset = 0;
    uint32_t tdataLength = 0;

    // 2.00 files hold junk in each colour's fourth byte (112, 192... in real files); from 2.01 on it
    // is the colour's alpha.
    bool PaletteHasAlpha() const { return version[2] != 0 || version[1] != 0 || version[0] != 0; }
    // "2.0.1.0" for 2.01: byte 15 first.
    std::string VersionText() const;
};

struct Sff2SpriteNode {
    uint16_t group = 0;
    uint16_t image = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    int16_t axisX = 0;
    int16_t axisY = 0;
    uint16_t link = 0;  // the node index a linked sprite takes its pixels from
    uint8_t format = 0;
    uint8_t depth = 0;
    uint32_t dataOffset = 0;  // from tdata when flags bit 0 is set, else from ldata
    uint32_t dataLength = 0;  // 0: linked
    uint16_t palette = 0;
    uint16_t flags = 0;

    bool IsLinked() const { return dataLength == 0; }
};

struct Sff2PaletteNode {
    uint16_t group = 0;
    uint16_t number = 0;
    uint16_t colours = 0;
    uint16_t link = 0;
    uint32_t offset = 0;  // from ldata
    uint32_t length = 0;  // 0: linked

    bool IsLinked() const { return length == 0; }
};

// Where a node's own data is, or why it has none. `node` is the node that holds the data: itself,
// or the end of its chain of links.
struct Sff2Source {
    uint32_t node = 0;
    Sff2Error error = Sff2Error::None;
    size_t start = 0;  // [start, start + length) lies inside the file when error is None
    size_t length = 0;
};

struct Sff2File {
    Sff2Header header;
    std::vector<Sff2SpriteNode> sprites;
    std::vector<Sff2PaletteNode> palettes;
    // Per node: where its pixels (colours) come from, links followed.
    std::vector<Sff2Source> spriteSources;
    std::vector<Sff2Source> paletteSources;

    // The first sprite with these numbers: later ones with the same numbers are never shown, as in
    // version 1 files.
    std::optional<size_t> FindSprite(uint16_t group, uint16_t image) const;
    // The first palette with these numbers.
    std::optional<size_t> FindPalette(uint16_t group, uint16_t number) const;

    std::unordered_map<uint32_t, uint32_t> firstSprite;   // (group << 16 | image) -> node
    std::unordered_map<uint32_t, uint32_t> firstPalette;  // (group << 16 | number) -> node
};

// For each of `n` nodes: the node at the end of its chain of links (itself when `linked(k)` is false),
// or -1 when the chain leaves the table or comes back on itself. Each chain is walked once (every node
// on it learns the answer), so a hostile table of long chains costs linear time.
std::vector<int64_t> FollowLinks(size_t n, const std::function<bool(size_t)>& linked,
                                 const std::function<size_t(size_t)>& target);

// True when the bytes carry the sprite-file signature and a major version of 2.
bool IsSff2(std::string_view file);

// Reads the header, both node tables and resolves every link. nullopt (with `reason` set to a short
// English sentence) when the file is not a version 2 sprite file or a node table runs past its end;
// a single bad node never refuses the file (its source carries the error).
std::optional<Sff2File> ReadSff2(std::string_view file, std::string* reason = nullptr);

}  // namespace qb
