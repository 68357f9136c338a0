#include "demo/sff_writer.h"

#include <algorithm>
#include <map>

#include "demo/byte_writer.h"

namespace qb::demo {

namespace {

void Put8(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
}
void Put16(std::string& out, int v) {
    PutLe16(out, static_cast<uint32_t>(v));
}
void Poke32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

constexpr size_t kHeaderSize = 512;
constexpr size_t kSubHeaderSize = 32;

}  // namespace

std::string EncodePcx(const Picture& picture, const Palette& palette, bool withPalette) {
    const int width = std::max(picture.width, 0);
    const int height = std::max(picture.height, 0);
    // Rows are padded to an even byte count, as PCX readers of the engine expect.
    const int bytesPerLine = width + (width & 1);

    std::string out;
    out.reserve(128 + static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height) + 769);
    Put8(out, 0x0A);  // manufacturer
    Put8(out, 5);     // version
    Put8(out, 1);     // run-length encoding
    Put8(out, 8);     // bits per pixel per plane
    Put16(out, 0);    // xmin
    Put16(out, 0);    // ymin
    Put16(out, width - 1);
    Put16(out, height - 1);
    Put16(out, 72);
    Put16(out, 72);
    out.append(48, '\0');  // 16-colour palette, unused
    Put8(out, 0);          // reserved
    Put8(out, 1);          // planes
    Put16(out, bytesPerLine);
    Put16(out, 1);  // palette info: colour
    Put16(out, 0);
    Put16(out, 0);
    out.append(54, '\0');

    std::vector<uint8_t> line(static_cast<size_t>(bytesPerLine), 0);
    for (int y = 0; y < height; ++y) {
        const size_t rowStart = static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            const size_t at = rowStart + static_cast<size_t>(x);
            line[static_cast<size_t>(x)] = at < picture.pixels.size() ? picture.pixels[at] : 0;
        }
        // Runs never cross a row; a lone byte of 0xC0 or more must be written as a run of one.
        int x = 0;
        while (x < bytesPerLine) {
            const uint8_t value = line[static_cast<size_t>(x)];
            int run = 1;
            while (x + run < bytesPerLine && run < 63 && line[static_cast<size_t>(x + run)] == value) ++run;
            if (run > 1 || value >= 0xC0) Put8(out, 0xC0 | run);
            Put8(out, value);
            x += run;
        }
    }
    if (withPalette) {
        Put8(out, 0x0C);
        out.append(reinterpret_cast<const char*>(palette.data()), palette.size());
    }
    return out;
}

std::string WriteSff(const std::vector<SffSprite>& sprites) {
    std::string out;
    out.append("ElecbyteSpr", 11);
    out.push_back('\0');
    // Version 1.01 as the engine's own tools write it.
    Put8(out, 0);
    Put8(out, 1);
    Put8(out, 0);
    Put8(out, 1);
    std::map<int32_t, int> groups;
    for (const auto& s : sprites) groups[s.group] = 1;
    PutLe32(out, static_cast<uint32_t>(groups.size()));
    PutLe32(out, static_cast<uint32_t>(sprites.size()));
    PutLe32(out, static_cast<uint32_t>(kHeaderSize));
    PutLe32(out, static_cast<uint32_t>(kSubHeaderSize));
    Put8(out, 0);  // palette type: individual
    out.resize(kHeaderSize, '\0');

    for (size_t i = 0; i < sprites.size(); ++i) {
        const SffSprite& s = sprites[i];
        const size_t at = out.size();
        const bool linked = s.linkTo >= 0;
        std::string data;
        if (!linked) data = EncodePcx(s.picture, s.palette, !s.samePalette);
        PutLe32(out, 0);  // next offset, patched below
        PutLe32(out, static_cast<uint32_t>(data.size()));
        Put16(out, s.axisX);
        Put16(out, s.axisY);
        Put16(out, static_cast<int>(s.group));
        Put16(out, s.image);
        Put16(out, linked ? s.linkTo : 0);
        Put8(out, s.samePalette ? 1 : 0);
        out.resize(at + kSubHeaderSize, '\0');
        out += data;
        // The last sub-header points at the end of the file, as the engine's tools do.
        Poke32(out, at, static_cast<uint32_t>(out.size()));
    }
    return out;
}

}  // namespace qb::demo
