// Version 2 sprite pictures into plain bytes. Each format's loop writes straight into the picture and
// stops at exactly width x height pixels: a run or copy that would write past it, or data that ends
// before it, makes the sprite damaged rather than guessed at.
#include "platform/sff2_decoder.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/sff_decoder.h"
#include "platform/sff_file.h"

namespace qb {

namespace {

// Compressed and PNG data begin with four bytes that real files fill inconsistently (width x height,
// eight times that, the PNG's length...): they are skipped and never trusted.
constexpr size_t kPrefixBytes = 4;

// The most pixels one byte of each format's data can yield (a long run of two bytes, 263 pixels in
// LZ5, 256 in RLE5, 63 in RLE8). A picture claiming more than this many pixels per byte cannot be
// complete, and is refused before anything is allocated.
constexpr uint64_t kMaxRle8Expansion = 32;
constexpr uint64_t kMaxRle5Expansion = 128;
constexpr uint64_t kMaxLz5Expansion = 132;
// Deflate never expands more than 1032 times; the slack covers the zlib and PNG framing of tiny pictures.
constexpr uint64_t kMaxDeflateExpansion = 1032;
constexpr uint64_t kPngSlackBytes = 4096;
// Ancillary PNG chunks (text, colour profiles) are skipped, but libpng still inflates some of them:
// none may take more than this.
constexpr png_alloc_size_t kMaxPngChunkBytes = 1 << 20;

Sff2Error DecodeRaw(std::span<const uint8_t> in, uint8_t* out, size_t n) {
    if (in.size() < n) return Sff2Error::ShortData;
    if (n) std::memcpy(out, in.data(), n);
    return Sff2Error::None;
}

// A byte with (b & 0xC0) == 0x40 is a run of (b & 0x3F) copies of the next byte; any other byte is
// one pixel.
Sff2Error DecodeRle8(std::span<const uint8_t> in, uint8_t* out, size_t n) {
    const uint8_t* p = in.data();
    const uint8_t* const end = p + in.size();
    size_t x = 0;
    while (x < n) {
        if (p == end) return Sff2Error::ShortData;
        const uint8_t b = *p++;
        if ((b & 0xC0) != 0x40) {
            out[x++] = b;
            continue;
        }
        if (p == end) return Sff2Error::ShortData;
        const size_t run = b & 0x3F;
        if (run > n - x) return Sff2Error::Size;
        std::memset(out + x, *p++, run);
        x += run;
    }
    return Sff2Error::None;
}

// Packets of: a run length byte (run + 1 pixels), a byte holding the count of packed bytes that follow
// (low seven bits) and whether a colour byte comes first (top bit; else colour 0); then each packed
// byte is colour (b & 0x1F) for (b >> 5) + 1 pixels.
Sff2Error DecodeRle5(std::span<const uint8_t> in, uint8_t* out, size_t n) {
    const uint8_t* p = in.data();
    const uint8_t* const end = p + in.size();
    size_t x = 0;
    auto put = [&](uint8_t colour, size_t run) {
        if (run > n - x) return false;
        std::memset(out + x, colour, run);
        x += run;
        return true;
    };
    while (x < n) {
        if (end - p < 2) return Sff2Error::ShortData;
        const size_t run = size_t{p[0]} + 1;
        const uint8_t packed = p[1];
        p += 2;
        uint8_t colour = 0;
        if (packed & 0x80) {
            if (p == end) return Sff2Error::ShortData;
            colour = *p++;
        }
        if (!put(colour, run)) return Sff2Error::Size;
        const size_t count = packed & 0x7F;
        if (static_cast<size_t>(end - p) < count) return Sff2Error::ShortData;
        for (size_t j = 0; j < count; ++j) {
            const uint8_t b = *p++;
            if (!put(b & 0x1F, size_t{b} / 32 + 1)) return Sff2Error::Size;
        }
    }
    return Sff2Error::None;
}

// A control byte gives the kind of the next eight packets, bit 0 first (0 run, 1 copy). The copy
// offsets of short copies carry their top two bits in the packet's own top bits, gathered into a
// fourth offset byte: the first short copy's into bits 6-7, then 4-5, then 2-3; the fourth short copy
// of each group supplies bits 0-1 and uses the gathered byte. Copies run byte by byte, so one that
// overlaps its own output repeats the pattern.
Sff2Error DecodeLz5(std::span<const uint8_t> in, uint8_t* out, size_t n) {
    const uint8_t* p = in.data();
    const uint8_t* const end = p + in.size();
    if (n == 0) return Sff2Error::None;
    if (p == end) return Sff2Error::ShortData;
    uint8_t control = *p++;
    int bit = 0;
    uint8_t gathered = 0;
    int gatheredBits = 0;
    size_t x = 0;
    while (x < n) {
        if (p == end) return Sff2Error::ShortData;
        const uint8_t b = *p++;
        if (control & (1u << bit)) {
            size_t length, offset;
            if ((b & 0x3F) == 0) {
                if (end - p < 2) return Sff2Error::ShortData;
                offset = ((size_t{b & 0xC0u} << 2) | p[0]) + 1;
                length = size_t{p[1]} + 3;
                p += 2;
            } else {
                gathered = static_cast<uint8_t>(gathered | ((b & 0xC0) >> gatheredBits));
                gatheredBits += 2;
                length = size_t{b & 0x3Fu} + 1;
                if (gatheredBits < 8) {
                    if (p == end) return Sff2Error::ShortData;
                    offset = size_t{*p++} + 1;
                } else {
                    offset = size_t{gathered} + 1;
                    gathered = 0;
                    gatheredBits = 0;
                }
            }
            if (offset > x) return Sff2Error::LzOffset;
            if (length > n - x) return Sff2Error::Size;
            uint8_t* to = out + x;
            const uint8_t* from = to - offset;
            if (offset == 1) {
                std::memset(to, *from, length);
            } else {
                // Each chunk of at most `offset` bytes reads only what is already written.
                for (size_t left = length; left > 0;) {
                    const size_t chunk = std::min(left, offset);
                    std::memcpy(to, from, chunk);
                    to += chunk;
                    from += chunk;
                    left -= chunk;
                }
            }
            x += length;
        } else {
            size_t run = b >> 5;
            if (run == 0) {
                if (p == end) return Sff2Error::ShortData;
                run = size_t{*p++} + 8;
            }
            if (run > n - x) return Sff2Error::Size;
            std::memset(out + x, b & 0x1F, run);
            x += run;
        }
        if (++bit == 8 && x < n) {
            if (p == end) return Sff2Error::ShortData;
            control = *p++;
            bit = 0;
        }
    }
    return Sff2Error::None;
}

// ---- PNG -------------------------------------------------------------------------------------
// libpng reports errors by longjmp: the functions holding a setjmp keep nothing with a destructor
// alive, and everything they change lives in PngRead.

struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    bool ranOut = false;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    int channels = 0;
};

void PngReadBytes(png_structp png, png_bytep to, png_size_t count) {
    auto* r = static_cast<PngRead*>(png_get_io_ptr(png));
    if (r->size - r->at < count) {
        r->ranOut = true;
        png_error(png, "data cut short");
    }
    std::memcpy(to, r->data + r->at, count);
    r->at += count;
}

// Quiet: the sprite's error code says what went wrong.
void PngFail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarn(png_structp, png_const_charp) {}

bool PngReadHeader(PngRead& r) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_set_read_fn(r.png, &r, PngReadBytes);
    png_set_chunk_malloc_max(r.png, kMaxPngChunkBytes);
    png_read_info(r.png, r.info);
    png_get_IHDR(r.png, r.info, &r.width, &r.height, &r.bitDepth, &r.colourType, &r.interlace, nullptr,
                 nullptr);
    r.channels = png_get_channels(r.png, r.info);
    return true;
}

// Sets the transformations for `format` and reads the rows into `out` (width * bytesPerPixel each).
bool PngReadRows(PngRead& r, uint8_t format, uint8_t* out, size_t rowBytes) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    if (format == kSff2Png8) {
        if (r.bitDepth < 8) png_set_packing(r.png);
    } else {
        if (r.bitDepth == 16) png_set_strip_16(r.png);
        if (r.colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
        if (r.colourType == PNG_COLOR_TYPE_GRAY && r.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
        if (r.colourType == PNG_COLOR_TYPE_GRAY || r.colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(r.png);
        const bool alpha = (r.colourType & PNG_COLOR_MASK_ALPHA) != 0;
        if (format == kSff2Png32 && png_get_valid(r.png, r.info, PNG_INFO_tRNS)) {
            png_set_tRNS_to_alpha(r.png);
        } else if (format == kSff2Png24 && alpha) {
            png_set_strip_alpha(r.png);  // PNG24 is opaque whatever the picture holds
        }
        if (!alpha || format == kSff2Png24) png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
    }
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != rowBytes) return false;
    for (png_uint_32 y = 0; y < r.height; ++y) png_read_row(r.png, out + size_t{y} * rowBytes, nullptr);
    return true;
}

struct PngGuard {
    PngRead& r;
    ~PngGuard() { png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr); }
};

Sff2Error DecodePng(std::span<const uint8_t> in, const Sff2SpriteNode& node, Sff2Picture& out,
                    size_t& budget) {
    PngRead r;
    r.data = in.data();
    r.size = in.size();
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
    if (!r.png) return Sff2Error::Png;
    PngGuard guard{r};
    r.info = png_create_info_struct(r.png);
    if (!r.info) return Sff2Error::Png;
    if (!PngReadHeader(r)) return r.ranOut ? Sff2Error::ShortData : Sff2Error::Png;
    if (r.width != node.width || r.height != node.height) return Sff2Error::Size;
    if (r.interlace != PNG_INTERLACE_NONE) return Sff2Error::PngInterlaced;
    // PNG8 shows the picture's indices through the sprite's palette node: a palette picture of any
    // depth (its own colours unused), or an 8-bit grey one whose levels are the indices.
    const bool indexed = node.format == kSff2Png8;
    if (indexed && r.colourType != PNG_COLOR_TYPE_PALETTE &&
        !(r.colourType == PNG_COLOR_TYPE_GRAY && r.bitDepth == 8)) {
        return Sff2Error::PngType;
    }
    // The inflated rows (a filter byte each) against what the compressed data can expand to: a bomb
    // with a huge declared size is refused before anything is allocated or inflated.
    const uint64_t inflated =
        uint64_t{r.height} * (1 + (uint64_t{r.width} * static_cast<uint64_t>(r.channels * r.bitDepth) + 7) / 8);
    if (inflated > uint64_t{in.size()} * kMaxDeflateExpansion + kPngSlackBytes) return Sff2Error::Size;
    const size_t bytesPerPixel = indexed ? 1 : 4;
    const uint64_t total = uint64_t{r.width} * r.height * bytesPerPixel;
    if (total > budget) return Sff2Error::Size;
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(total));
    if (!PngReadRows(r, node.format, bytes.get(), size_t{r.width} * bytesPerPixel))
        return r.ranOut ? Sff2Error::ShortData : Sff2Error::Png;
    out.width = static_cast<int>(r.width);
    out.height = static_cast<int>(r.height);
    out.rgba = !indexed;
    out.bytes = std::move(bytes);
    out.size = static_cast<size_t>(total);
    budget -= out.size;
    return Sff2Error::None;
}

uint32_t Crc(std::span<const uint8_t> bytes) {
    return static_cast<uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
}

std::string Hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

}  // namespace

Sff2Error DecodeSff2Picture(std::string_view file, const Sff2File& index, size_t k, Sff2Picture& out,
                            size_t& budget) {
    out = Sff2Picture{};
    if (k >= index.sprites.size()) return Sff2Error::Link;
    const Sff2SpriteNode& node = index.sprites[k];
    const Sff2Source& source = index.spriteSources[k];
    if (source.error != Sff2Error::None) return source.error;
    if (node.IsLinked()) return Sff2Error::Link;  // callers decode the end of the chain
    const auto data = AsBytes(file).subspan(source.start, source.length);
    switch (node.format) {
        case kSff2Raw:
        case kSff2Rle8:
        case kSff2Rle5:
        case kSff2Lz5:
        case kSff2Png8:
        case kSff2Png24:
        case kSff2Png32: break;
        default: return Sff2Error::Format;
    }
    if (node.format == kSff2Raw && node.depth != 8) return Sff2Error::Format;
    if (node.format != kSff2Raw && data.size() < kPrefixBytes) return Sff2Error::ShortData;
    const auto payload = node.format == kSff2Raw ? data : data.subspan(kPrefixBytes);
    if (node.format >= kSff2Png8) return DecodePng(payload, node, out, budget);

    const uint64_t pixels = uint64_t{node.width} * node.height;
    uint64_t expansion = 1;
    if (node.format == kSff2Rle8) expansion = kMaxRle8Expansion;
    if (node.format == kSff2Rle5) expansion = kMaxRle5Expansion;
    if (node.format == kSff2Lz5) expansion = kMaxLz5Expansion;
    if (pixels > 0 && payload.empty()) return Sff2Error::ShortData;
    if (node.format == kSff2Raw && pixels > payload.size()) return Sff2Error::ShortData;
    if (pixels > payload.size() * expansion) return Sff2Error::Size;
    if (pixels > budget) return Sff2Error::Size;
    const size_t n = static_cast<size_t>(pixels);
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(n, 1));
    Sff2Error error = Sff2Error::None;
    switch (node.format) {
        case kSff2Raw: error = DecodeRaw(payload, bytes.get(), n); break;
        case kSff2Rle8: error = DecodeRle8(payload, bytes.get(), n); break;
        case kSff2Rle5: error = DecodeRle5(payload, bytes.get(), n); break;
        default: error = DecodeLz5(payload, bytes.get(), n); break;
    }
    if (error != Sff2Error::None) return error;
    out.width = node.width;
    out.height = node.height;
    out.bytes = std::move(bytes);
    out.size = n;
    budget -= n;
    return Sff2Error::None;
}

Sff2Error DecodeSff2Palette(std::string_view file, const Sff2File& index, size_t k, Sff2Colours& out) {
    out = Sff2Colours{};
    for (size_t c = 0; c < 256; ++c) out.rgba[c * 4 + 3] = 255;
    if (k >= index.palettes.size()) return Sff2Error::Link;
    const Sff2Source& source = index.paletteSources[k];
    if (source.error != Sff2Error::None) return source.error;
    const Sff2PaletteNode& node = index.palettes[source.node];
    if (node.colours == 0 || node.colours > 256) return Sff2Error::Size;
    if (source.length < size_t{node.colours} * 4) return Sff2Error::ShortData;
    const auto data = AsBytes(file).subspan(source.start, source.length);
    const bool alpha = index.header.PaletteHasAlpha();
    out.count = node.colours;
    for (size_t c = 0; c < node.colours; ++c) {
        for (size_t i = 0; i < 3; ++i) out.rgba[c * 4 + i] = data[c * 4 + i];
        out.rgba[c * 4 + 3] = alpha ? data[c * 4 + 3] : 255;
    }
    return Sff2Error::None;
}

const Sff2Picture* Sff2Sheet::PictureOf(size_t k) const {
    if (k >= spriteErrors.size() || spriteErrors[k] != Sff2Error::None) return nullptr;
    return &pictures[pictureOf[k]];
}

Sff2Sheet DecodeSff2Sheet(std::string_view file, const Sff2File& index, size_t budget) {
    Sff2Sheet sheet;
    const size_t n = index.sprites.size();
    sheet.pictures.resize(n);
    sheet.spriteErrors.resize(n);
    sheet.pictureOf.resize(n);
    for (size_t k = 0; k < n; ++k) {
        sheet.pictureOf[k] = index.spriteSources[k].node;
        if (!index.sprites[k].IsLinked())
            sheet.spriteErrors[k] = DecodeSff2Picture(file, index, k, sheet.pictures[k], budget);
    }
    for (size_t k = 0; k < n; ++k) {
        const Sff2Source& source = index.spriteSources[k];
        if (!index.sprites[k].IsLinked()) continue;
        sheet.spriteErrors[k] = source.error != Sff2Error::None ? source.error : sheet.spriteErrors[source.node];
    }
    sheet.palettes.resize(index.palettes.size());
    sheet.paletteErrors.resize(index.palettes.size());
    for (size_t k = 0; k < index.palettes.size(); ++k)
        sheet.paletteErrors[k] = DecodeSff2Palette(file, index, k, sheet.palettes[k]);
    return sheet;
}

// ---- the dump --------------------------------------------------------------------------------

namespace {

struct PcxLayout {
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
    bool runLength = true;
};

// A version 1 sprite's PCX picture as palette indices, with the clipping rules of the version 1
// decoder: rows padded to bytes-per-line, runs that carry over into the next row.
Sff2Error DecodePcx(std::span<const uint8_t> pcx, Sff2Picture& out, size_t& budget) {
    if (pcx.size() < kPcxHeaderSize) return Sff2Error::ShortData;
    if (pcx[3] != 8 || pcx[65] != 1) return Sff2Error::Format;
    PcxLayout layout;
    layout.width = ReadLe16(pcx, 8) - ReadLe16(pcx, 4) + 1;
    layout.height = ReadLe16(pcx, 10) - ReadLe16(pcx, 6) + 1;
    layout.bytesPerLine = ReadLe16(pcx, 66);
    layout.runLength = pcx[2] == 1;
    if (layout.width <= 0 || layout.height <= 0 || layout.bytesPerLine < layout.width) return Sff2Error::Size;
    const uint64_t padded = uint64_t(layout.bytesPerLine) * uint64_t(layout.height);
    const uint64_t available = pcx.size() - kPcxHeaderSize;
    if (!layout.runLength && padded > available) return Sff2Error::ShortData;
    if (padded > available * kMaxRle8Expansion) return Sff2Error::Size;
    const size_t n = size_t(layout.width) * size_t(layout.height);
    if (n > budget) return Sff2Error::Size;
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(n);
    const uint8_t* p = pcx.data() + kPcxHeaderSize;
    const uint8_t* const end = pcx.data() + pcx.size();
    int pending = 0;
    uint8_t value = 0;
    for (int y = 0; y < layout.height; ++y) {
        uint8_t* row = bytes.get() + size_t(y) * size_t(layout.width);
        if (!layout.runLength) {
            std::memcpy(row, p, size_t(layout.width));
            p += layout.bytesPerLine;
            continue;
        }
        for (int x = 0; x < layout.bytesPerLine;) {
            if (pending == 0) {
                if (p == end) return Sff2Error::ShortData;
                value = *p++;
                pending = 1;
                if (value >= 0xC0) {
                    if (p == end) return Sff2Error::ShortData;
                    pending = value & 0x3F;
                    value = *p++;
                }
            }
            const int take = std::min(pending, layout.bytesPerLine - x);
            if (x < layout.width) std::memset(row + x, value, size_t(std::min(take, layout.width - x)));
            x += take;
            pending -= take;
        }
    }
    out.width = layout.width;
    out.height = layout.height;
    out.bytes = std::move(bytes);
    out.size = n;
    budget -= n;
    return Sff2Error::None;
}

std::string PixelsField(Sff2Error error, const Sff2Picture& picture) {
    if (error != Sff2Error::None) return "error:" + std::string(Sff2ErrorCode(error));
    return Hex8(Crc(picture.Bytes()));
}

struct SpriteLine {
    int width = 0;
    int height = 0;
    std::string pixels;
};

std::string DumpVersion1(std::string_view file, const SffIndex& index) {
    const auto bytes = AsBytes(file);
    const size_t n = index.entries.size();
    std::string out = "sff: version=" + std::to_string(bytes[15]) + "." + std::to_string(bytes[14]) + "." +
                      std::to_string(bytes[13]) + "." + std::to_string(bytes[12]) +
                      " sprites=" + std::to_string(n) + " palettes=0\n";
    std::vector<SpriteLine> own(n);
    size_t budget = kMaxDecodedBytes;
    for (size_t k = 0; k < n; ++k) {
        const SffSubHeader& s = index.entries[k];
        if (s.IsLinked()) continue;
        Sff2Picture picture;
        const Sff2Error error = DecodePcx(bytes.subspan(s.dataStart, s.DataSize()), picture, budget);
        own[k] = {picture.width, picture.height, PixelsField(error, picture)};
    }
    const auto root = FollowLinks(
        n, [&](size_t k) { return index.entries[k].IsLinked(); },
        [&](size_t k) { return static_cast<size_t>(index.entries[k].linkedIndex); });
    for (size_t k = 0; k < n; ++k) {
        const SffSubHeader& s = index.entries[k];
        const SpriteLine line = root[k] < 0 ? SpriteLine{0, 0, "error:link"} : own[size_t(root[k])];
        out += "sprite " + std::to_string(k) + ": group=" + std::to_string(s.group) +
               " image=" + std::to_string(s.image) + " size=" + std::to_string(line.width) + "x" +
               std::to_string(line.height) + " axis=" + std::to_string(s.axisX) + "," + std::to_string(s.axisY) +
               " format=0 depth=8 palette=0 linked=" + (s.IsLinked() ? std::to_string(s.linkedIndex) : "-1") +
               " pixels=" + line.pixels + "\n";
    }
    return out;
}

std::string DumpVersion2(std::string_view file, const Sff2File& index) {
    const size_t n = index.sprites.size();
    std::string out = "sff: version=" + index.header.VersionText() + " sprites=" + std::to_string(n) +
                      " palettes=" + std::to_string(index.palettes.size()) + "\n";
    // One picture at a time; the budget runs over the whole file, as in a load.
    std::vector<std::string> own(n);
    size_t budget = kMaxDecodedBytes;
    for (size_t k = 0; k < n; ++k) {
        if (index.sprites[k].IsLinked()) continue;
        Sff2Picture picture;
        const Sff2Error error = DecodeSff2Picture(file, index, k, picture, budget);
        own[k] = PixelsField(error, picture);
    }
    for (size_t k = 0; k < n; ++k) {
        const Sff2SpriteNode& s = index.sprites[k];
        const Sff2Source& source = index.spriteSources[k];
        std::string pixels = own[k];
        if (s.IsLinked()) {
            pixels = source.error != Sff2Error::None ? "error:" + std::string(Sff2ErrorCode(source.error))
                                                     : own[source.node];
        }
        out += "sprite " + std::to_string(k) + ": group=" + std::to_string(s.group) +
               " image=" + std::to_string(s.image) + " size=" + std::to_string(s.width) + "x" +
               std::to_string(s.height) + " axis=" + std::to_string(s.axisX) + "," + std::to_string(s.axisY) +
               " format=" + std::to_string(s.format) + " depth=" + std::to_string(s.depth) +
               " palette=" + std::to_string(s.palette) +
               " linked=" + (s.IsLinked() ? std::to_string(s.link) : "-1") + " pixels=" + pixels + "\n";
    }
    for (size_t k = 0; k < index.palettes.size(); ++k) {
        const Sff2PaletteNode& p = index.palettes[k];
        Sff2Colours colours;
        const Sff2Error error = DecodeSff2Palette(file, index, k, colours);
        std::string rgb = "error:" + std::string(Sff2ErrorCode(error));
        if (error == Sff2Error::None) {
            std::vector<uint8_t> plain;
            plain.reserve(size_t(colours.count) * 3);
            for (size_t c = 0; c < size_t(colours.count); ++c)
                plain.insert(plain.end(), &colours.rgba[c * 4], &colours.rgba[c * 4 + 3]);
            rgb = Hex8(Crc(plain));
        }
        out += "palette " + std::to_string(k) + ": group=" + std::to_string(p.group) +
               " number=" + std::to_string(p.number) + " colours=" + std::to_string(p.colours) +
               " linked=" + (p.IsLinked() ? std::to_string(p.link) : "-1") + " rgb=" + rgb + "\n";
    }
    return out;
}

}  // namespace

std::optional<std::string> SffInfoDump(std::string_view file, std::string& reason) {
    if (IsSff2(file)) {
        auto index = ReadSff2(file, &reason);
        if (!index) return std::nullopt;
        return DumpVersion2(file, *index);
    }
    auto index = ReadSffIndex(file);
    if (!index) {
        // Say what the version 2 reader would have said about the signature.
        ReadSff2(file, &reason);
        if (reason == "not a version 2 sprite file") reason = "not a sprite file of version 1 or 2";
        return std::nullopt;
    }
    return DumpVersion1(file, *index);
}

}  // namespace qb
