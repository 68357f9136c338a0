#include "demo/sff2_writer.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "demo/byte_writer.h"

namespace qb::demo {

namespace {

void Put8(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
}

size_t RunAt(std::span<const uint8_t> pixels, size_t at, size_t limit) {
    size_t run = 1;
    while (at + run < pixels.size() && run < limit && pixels[at + run] == pixels[at]) ++run;
    return run;
}

}  // namespace

std::string EncodeRle8(std::span<const uint8_t> pixels) {
    std::string out;
    for (size_t x = 0; x < pixels.size();) {
        const uint8_t value = pixels[x];
        const size_t run = RunAt(pixels, x, 63);
        // A lone pixel that looks like a run code must be written as a run of one.
        if (run > 1 || (value & 0xC0) == 0x40) Put8(out, 0x40 | static_cast<int>(run));
        Put8(out, value);
        x += run;
    }
    return out;
}

std::string EncodeRle5(std::span<const uint8_t> pixels) {
    std::string out;
    for (size_t x = 0; x < pixels.size();) {
        // A packet: one run of up to 256 pixels, then up to 127 packed runs of up to 8.
        const uint8_t first = pixels[x] & 0x1F;
        size_t run = 1;
        while (x + run < pixels.size() && run < 256 && (pixels[x + run] & 0x1F) == first) ++run;
        x += run;
        std::string packed;
        while (x < pixels.size() && packed.size() < 127) {
            const uint8_t colour = pixels[x] & 0x1F;
            size_t n = 1;
            while (x + n < pixels.size() && n < 9 && (pixels[x + n] & 0x1F) == colour) ++n;
            if (n > 8) break;  // a long run starts the next packet
            Put8(packed, static_cast<int>((n - 1) << 5 | colour));
            x += n;
        }
        Put8(out, static_cast<int>(run - 1));
        Put8(out, static_cast<int>(packed.size()) | (first ? 0x80 : 0));
        if (first) Put8(out, first);
        out += packed;
    }
    return out;
}

std::string EncodeLz5(std::span<const uint8_t> input) {
    std::vector<uint8_t> pixels(input.begin(), input.end());
    for (uint8_t& p : pixels) p &= 0x1F;
    const size_t n = pixels.size();
    // Candidate matches through a chain of earlier positions with the same three bytes.
    constexpr size_t kWindow = 1024, kShortWindow = 256, kCandidates = 48;
    std::vector<int64_t> head(1 << 15, -1), previous(n, -1);
    auto hashAt = [&](size_t at) {
        return (size_t{pixels[at]} << 10 ^ size_t{pixels[at + 1]} << 5 ^ pixels[at + 2]) & 0x7FFF;
    };

    std::string out;
    size_t control = 0;
    int packets = 8;  // a control byte is due
    size_t shortSeen = 0;
    std::vector<size_t> shortBytes;  // the first three short copies of the current group of four
    auto beginPacket = [&](bool copy) {
        if (packets == 8) {
            control = out.size();
            Put8(out, 0);
            packets = 0;
        }
        if (copy) out[control] = static_cast<char>(out[control] | (1 << packets));
        ++packets;
    };
    auto insert = [&](size_t at) {
        if (at + 2 >= n) return;
        const size_t h = hashAt(at);
        previous[at] = head[h];
        head[h] = static_cast<int64_t>(at);
    };

    for (size_t x = 0; x < n;) {
        size_t bestLength = 0, bestOffset = 0;
        if (x + 2 < n) {
            size_t tried = 0;
            for (int64_t c = head[hashAt(x)]; c >= 0 && tried < kCandidates; c = previous[size_t(c)], ++tried) {
                const size_t offset = x - size_t(c);
                if (offset > kWindow) break;
                size_t length = 0;
                while (x + length < n && length < 258 && pixels[x + length] == pixels[x + length - offset]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestOffset = offset;
                }
            }
        }
        const size_t run = RunAt(pixels, x, 263);
        size_t advance;
        if (bestLength >= 3 && bestLength > run) {
            beginPacket(true);
            if (bestOffset <= kShortWindow && bestLength <= 64) {
                // Short copy: the fourth of each group takes its offset from the top bits of all four.
                const size_t slot = shortSeen++ % 4;
                if (slot < 3) {
                    shortBytes.resize(slot);
                    shortBytes.push_back(out.size());
                    Put8(out, static_cast<int>(bestLength - 1));
                    Put8(out, static_cast<int>(bestOffset - 1));
                } else {
                    const size_t o = bestOffset - 1;
                    for (size_t j = 0; j < 3; ++j) {
                        const auto bits = static_cast<uint8_t>((o >> (6 - 2 * j)) & 3);
                        out[shortBytes[j]] = static_cast<char>(out[shortBytes[j]] | (bits << 6));
                    }
                    Put8(out, static_cast<int>((o & 3) << 6 | (bestLength - 1)));
                }
            } else {
                const size_t length = std::min<size_t>(bestLength, 258);
                const size_t o = bestOffset - 1;
                Put8(out, static_cast<int>((o >> 8) << 6));
                Put8(out, static_cast<int>(o & 0xFF));
                Put8(out, static_cast<int>(length - 3));
                bestLength = length;
            }
            advance = bestLength;
        } else {
            beginPacket(false);
            if (run < 8) {
                Put8(out, static_cast<int>(run << 5 | pixels[x]));
            } else {
                Put8(out, pixels[x]);
                Put8(out, static_cast<int>(run - 8));
            }
            advance = run;
        }
        for (size_t j = 0; j < advance; ++j) insert(x + j);
        x += advance;
    }
    return out;
}

namespace {

std::string WritePng(png_image& image, const void* pixels, const void* colourMap) {
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, colourMap)) return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, colourMap)) return {};
    out.resize(size);
    return out;
}

}  // namespace

std::string EncodePng8(int width, int height, std::span<const uint8_t> indices) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = 256;
    std::vector<uint8_t> ramp(256 * 3);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i / 3);
    return WritePng(image, indices.data(), ramp.data());
}

std::string EncodePngRgba(int width, int height, std::span<const uint8_t> rgba, bool alpha) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    if (!alpha) {
        for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), &rgba[i], &rgba[i + 3]);
    }
    return WritePng(image, alpha ? rgba.data() : rgb.data(), nullptr);
}

std::string WriteSff2(const std::vector<Sff2Sprite>& sprites, const std::vector<Sff2Palette>& palettes,
                      int minor) {
    constexpr size_t kHeader = 512, kSpriteNode = 28, kPaletteNode = 16;
    std::string ldata, tdata, spriteNodes, paletteNodes;
    for (const Sff2Palette& p : palettes) {
        const bool linked = p.linkTo >= 0;
        PutLe16(paletteNodes, p.group);
        PutLe16(paletteNodes, p.number);
        PutLe16(paletteNodes, static_cast<uint32_t>(p.rgba.size() / 4));
        PutLe16(paletteNodes, linked ? static_cast<uint32_t>(p.linkTo) : 0);
        PutLe32(paletteNodes, static_cast<uint32_t>(ldata.size()));
        PutLe32(paletteNodes, linked ? 0 : static_cast<uint32_t>(p.rgba.size()));
        if (!linked) ldata.append(reinterpret_cast<const char*>(p.rgba.data()), p.rgba.size());
    }
    for (const Sff2Sprite& s : sprites) {
        const bool linked = s.linkTo >= 0;
        std::string data;
        if (!linked) {
            const std::span<const uint8_t> px(s.pixels);
            std::string body;
            switch (s.format) {
                case 0: body.assign(s.pixels.begin(), s.pixels.end()); break;
                case 2: body = EncodeRle8(px); break;
                case 3: body = EncodeRle5(px); break;
                case 4: body = EncodeLz5(px); break;
                case 10: body = EncodePng8(s.width, s.height, px); break;
                default: body = EncodePngRgba(s.width, s.height, px, s.format == 12); break;
            }
            // The prefix holds the decoded size, as the engine's own tool writes it.
            if (s.format != 0) PutLe32(data, static_cast<uint32_t>(s.width * s.height));
            data += body;
        }
        std::string& section = s.inTdata ? tdata : ldata;
        PutLe16(spriteNodes, s.group);
        PutLe16(spriteNodes, s.image);
        PutLe16(spriteNodes, static_cast<uint32_t>(s.width));
        PutLe16(spriteNodes, static_cast<uint32_t>(s.height));
        PutLe16(spriteNodes, static_cast<uint16_t>(s.axisX));
        PutLe16(spriteNodes, static_cast<uint16_t>(s.axisY));
        PutLe16(spriteNodes, linked ? static_cast<uint32_t>(s.linkTo) : 0);
        Put8(spriteNodes, s.format);
        Put8(spriteNodes, s.depth);
        PutLe32(spriteNodes, static_cast<uint32_t>(section.size()));
        PutLe32(spriteNodes, static_cast<uint32_t>(data.size()));
        PutLe16(spriteNodes, s.palette);
        PutLe16(spriteNodes, s.inTdata ? 1 : 0);
        section += data;
    }

    const size_t spriteOffset = kHeader;
    const size_t paletteOffset = spriteOffset + sprites.size() * kSpriteNode;
    const size_t ldataOffset = paletteOffset + palettes.size() * kPaletteNode;
    const size_t tdataOffset = ldataOffset + ldata.size();
    std::string out("ElecbyteSpr", 11);
    out.push_back('\0');
    Put8(out, 0);
    Put8(out, minor);
    Put8(out, 0);
    Put8(out, 2);
    out.resize(36, '\0');
    PutLe32(out, static_cast<uint32_t>(spriteOffset));
    PutLe32(out, static_cast<uint32_t>(sprites.size()));
    PutLe32(out, static_cast<uint32_t>(paletteOffset));
    PutLe32(out, static_cast<uint32_t>(palettes.size()));
    PutLe32(out, static_cast<uint32_t>(ldataOffset));
    PutLe32(out, static_cast<uint32_t>(ldata.size()));
    PutLe32(out, static_cast<uint32_t>(tdataOffset));
    PutLe32(out, static_cast<uint32_t>(tdata.size()));
    out.resize(kHeader, '\0');
    out += spriteNodes;
    out += paletteNodes;
    out += ldata;
    out += tdata;
    return out;
}

}  // namespace qb::demo
