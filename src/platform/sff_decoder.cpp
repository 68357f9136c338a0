// Sprite-file pictures into 16-bit bitmaps. This is the load path's hot loop: pictures are decoded
// straight into the bitmap rows through a 256-entry colour table, with no per-pixel calls.
#include "platform/sff_decoder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <type_traits>
#include <functional>
#include <system_error>
#include <thread>
#include <unordered_map>

#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <vector>

#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/picture32.h"
#include "platform/sff2_file.h"
#include "platform/sff2_sprites.h"
#include "platform/sff_file.h"

namespace qb {

namespace {

constexpr int kMaxPictureSide = 8192;
constexpr size_t kMaxOwnerIndex = 32767;
// One run-length pair (two bytes) yields at most 63 pixels: a picture claiming more than this many
// bytes per input byte cannot be complete, and is refused before anything is allocated.
constexpr size_t kMaxRleExpansion = 32;

using PaletteBytes = std::array<uint8_t, kPcxPaletteSize>;
using ColorTable = std::array<uint16_t, 256>;

struct PcxLayout {
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
    bool runLength = true;
};

std::optional<PcxLayout> ReadPcxLayout(std::span<const uint8_t> pcx) {
    if (pcx.size() < kPcxHeaderSize) return std::nullopt;
    const int bitsPerPixel = pcx[3];
    const int planes = pcx[65];
    if (bitsPerPixel != 8 || planes != 1) return std::nullopt;
    const int xmin = ReadLe16(pcx, 4);
    const int ymin = ReadLe16(pcx, 6);
    const int xmax = ReadLe16(pcx, 8);
    const int ymax = ReadLe16(pcx, 10);
    PcxLayout layout;
    layout.width = xmax - xmin + 1;
    layout.height = ymax - ymin + 1;
    layout.bytesPerLine = ReadLe16(pcx, 66);
    layout.runLength = pcx[2] == 1;
    if (layout.width <= 0 || layout.height <= 0 || layout.width > kMaxPictureSide ||
        layout.height > kMaxPictureSide || layout.bytesPerLine < layout.width) {
        return std::nullopt;
    }
    const size_t needed = static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
    const size_t available = pcx.size() - kPcxHeaderSize;
    if (needed > available * (layout.runLength ? kMaxRleExpansion : 1)) return std::nullopt;
    return layout;
}

uint16_t To565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

ColorTable MakeColorTable(const PaletteBytes* palette, bool masked) {
    ColorTable table;
    for (int i = 0; i < 256; ++i) {
        uint16_t c;
        if (palette) {
            const size_t at = static_cast<size_t>(i) * 3;
            c = To565((*palette)[at], (*palette)[at + 1], (*palette)[at + 2]);
        } else {
            const auto v = static_cast<uint8_t>(i);  // no palette anywhere: a grey ramp
            c = To565(v, v, v);
        }
        // An ordinary colour that happens to be magenta would vanish under masked drawing.
        if (c == kMaskColor) c ^= 0x0020;
        table[static_cast<size_t>(i)] = c;
    }
    if (masked) table[0] = static_cast<uint16_t>(kMaskColor);
    return table;
}

// Runs are short (at most 63) but frequent; four pixels per store beats a pixel loop the compiler
// leaves scalar.
inline void FillRun(uint16_t* __restrict out, size_t count, uint16_t color) {
    if (count >= 8) {
        const uint64_t four = color * 0x0001000100010001ull;
        while (count >= 4) {
            std::memcpy(out, &four, sizeof four);
            out += 4;
            count -= 4;
        }
    }
    while (count-- > 0) *out++ = color;
}

// A picture's codes make one stream of bytesPerLine x height pixels: a run may carry over into the
// next row (files from some tools do that), and a row's padding bytes past the width are part of the
// stream and dropped afterwards. The decoders below fill a stretch [x, to) of that stream in `out`
// (stream pixel x at out[x]); `RunState` carries a run that goes on past the stretch.
struct RunState {
    size_t pending = 0;  // pixels of the current run not yet placed
    uint16_t color = 0;
};

// The plain decoder, code by code, writing exactly the stretch. False when the data runs out first.
bool DecodeCodesExact(const uint8_t*& p, const uint8_t* end, uint16_t* out, size_t& x, size_t to,
                      RunState& run, const ColorTable& colors) {
    while (x < to) {
        if (run.pending == 0) {
            if (p >= end) return false;
            uint8_t value = *p++;
            run.pending = 1;
            if (value >= 0xC0) {
                if (p >= end) return false;
                run.pending = value & 0x3Fu;  // may be 0: the code places nothing
                value = *p++;
            }
            run.color = colors[value];
        }
        const size_t take = std::min(run.pending, to - x);
        FillRun(out + x, take, run.color);
        x += take;
        run.pending -= take;
    }
    return true;
}

#if defined(__SSE2__)
using SixteenBytes = uint8_t __attribute__((vector_size(16)));

// Which bytes of a block of 64 code bytes start a code, given which are 0xC0 or more (`high`). Such a
// byte heads a run and the byte after it is the run's colour, whatever its value; so in a stretch of
// such bytes the headers are every other byte from the stretch's first. Adding each stretch's first
// bit to the stretch carries through it exactly, which tells the stretches that begin on an even
// byte from those that begin on an odd one without a loop. `splitRun`: the last byte heads a run
// whose colour is in the next block.
inline uint64_t CodeStarts(uint64_t high, bool& splitRun) {
    constexpr uint64_t kEven = 0x5555555555555555ull;
    const uint64_t firsts = high & ~(high << 1);
    const uint64_t evenStretches = high & ~(high + (firsts & kEven));
    const uint64_t headers = (evenStretches & kEven) | (high & ~evenStretches & ~kEven);
    splitRun = (headers >> 63) != 0;
    return ~(headers << 1) & ~(uint64_t{splitRun} << 63);
}

// A block of 64 bytes of codes whose first byte starts a code, read all at once: which bytes start
// codes, and for each byte, the pixel count and colour index of a code starting there.
struct CodeBlock {
    uint64_t starts = 0;
    bool splitRun = false;
    alignas(16) uint8_t counts[64];
    alignas(16) uint8_t values[64];
};

// Needs 65 readable bytes.
inline void ReadCodeBlock(const uint8_t* p, CodeBlock& block) {
    uint64_t high64 = 0;
    for (int k = 0; k < 4; ++k) {
        SixteenBytes bytes, after;
        std::memcpy(&bytes, p + 16 * k, sizeof bytes);
        std::memcpy(&after, p + 16 * k + 1, sizeof after);
        const SixteenBytes high = bytes >= 0xC0;
        const SixteenBytes counts = (bytes & 0x3F & high) | (1 & ~high);
        const SixteenBytes values = (after & high) | (bytes & ~high);
        std::memcpy(block.counts + 16 * k, &counts, sizeof counts);
        std::memcpy(block.values + 16 * k, &values, sizeof values);
        __m128i bits;
        std::memcpy(&bits, &high, sizeof bits);
        high64 |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(bits))} << (16 * k);
    }
    block.starts = CodeStarts(high64, block.splitRun);
}

using EightPixels = uint16_t __attribute__((vector_size(16)));
using SixteenPixels = uint16_t __attribute__((vector_size(32)));

// Decodes codes 64 bytes at a time into `out` from x while every code's pixels fit (with the
// overshoot of whole stores) before `to`; answers where the codes it left begin.
template <bool Wide>
__attribute__((always_inline)) inline const uint8_t* DecodeBlocks(const uint8_t* p, const uint8_t* end,
                                                                  uint16_t* __restrict out, size_t& x,
                                                                  size_t to, const ColorTable& colors) {
    CodeBlock block;
    size_t placed = x;
    while (end - p > 64) {
        ReadCodeBlock(p, block);
        for (uint64_t starts = block.starts; starts != 0; starts &= starts - 1) {
            const int at = __builtin_ctzll(starts);
            const size_t count = block.counts[at];
            // The stores below reach at most count + 15 pixels past x.
            if (to - placed < count + 16) {
                x = placed;
                return p + at;
            }
            // Sixteen pixels whatever the code's length (most runs are shorter), so that only
            // runs longer than that take a second branch; the surplus is overwritten later.
            using Lanes = std::conditional_t<Wide, SixteenPixels, EightPixels>;
            constexpr size_t kLanes = sizeof(Lanes) / 2;
            const Lanes same = Lanes{} + colors[block.values[at]];
            std::memcpy(out + placed, &same, sizeof same);
            if constexpr (!Wide) std::memcpy(out + placed + 8, &same, sizeof same);
            for (size_t k = 16; k < count; k += kLanes) std::memcpy(out + placed + k, &same, sizeof same);
            placed += count;
        }
        p += 64 - static_cast<int>(block.splitRun);
    }
    x = placed;
    return p;
}

const uint8_t* DecodeBlocksSse2(const uint8_t* p, const uint8_t* end, uint16_t* out, size_t& x, size_t to,
                                const ColorTable& colors) {
    return DecodeBlocks<false>(p, end, out, x, to, colors);
}

__attribute__((target("avx2"))) const uint8_t* DecodeBlocksAvx2(const uint8_t* p, const uint8_t* end,
                                                                uint16_t* out, size_t& x, size_t to,
                                                                const ColorTable& colors) {
    return DecodeBlocks<true>(p, end, out, x, to, colors);
}

#define QB_AVX512 "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,popcnt"

// Inclusive prefix sums of 32 words.
__attribute__((target(QB_AVX512))) inline __m512i PrefixSums(__m512i v) {
    const __m512i lanes = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                           14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
#pragma GCC unroll 5
    for (int s = 1; s < 32; s *= 2) {
        const __m512i from = _mm512_sub_epi16(lanes, _mm512_set1_epi16(static_cast<short>(s)));
        v = _mm512_add_epi16(v, _mm512_maskz_permutexvar_epi16(~0u << s, from, v));
    }
    return v;
}

// The colours of 32 palette indices (words), from the 256-entry table held in eight registers.
__attribute__((target(QB_AVX512))) inline __m512i LookUpColors(__m512i index, const __m512i (&table)[8]) {
    const __mmask32 bit6 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(128));
    const __m512i low = _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(table[0], index, table[1]),
                                                _mm512_permutex2var_epi16(table[2], index, table[3]));
    const __m512i high = _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(table[4], index, table[5]),
                                                 _mm512_permutex2var_epi16(table[6], index, table[7]));
    return _mm512_mask_blend_epi16(bit7, low, high);
}

// Blocks of 64 code bytes with no branch per code: the block's codes are packed together, their
// places in the stream come from prefix sums of their counts and their colours from a table look-up
// of all of them at once, and then each code is one store of sixteen pixels at its place (in stream
// order, so a later code overwrites the surplus of the one before). Runs longer than sixteen get
// their remaining pixels afterwards, with stores that stay inside the run. A block is decoded only
// when its pixels and the last store's surplus fit before `to`.
__attribute__((target(QB_AVX512))) const uint8_t* DecodeBlocksAvx512(const uint8_t* p, const uint8_t* end,
                                                                     uint16_t* out, size_t& x, size_t to,
                                                                     const ColorTable& colors) {
    __m512i table[8];
    for (size_t k = 0; k < 8; ++k) table[k] = _mm512_loadu_si512(colors.data() + 32 * k);
    alignas(64) uint16_t places[64];
    alignas(64) uint16_t colours[64];
    alignas(64) uint8_t counts[64];
    while (end - p > 64) {
        const __m512i bytes = _mm512_loadu_si512(p);
        const __m512i after = _mm512_loadu_si512(p + 1);
        const __mmask64 high = _mm512_cmpge_epu8_mask(bytes, _mm512_set1_epi8(static_cast<char>(0xC0)));
        bool splitRun = false;
        uint64_t starts = CodeStarts(high, splitRun);
        const __m512i count = _mm512_mask_blend_epi8(high, _mm512_set1_epi8(1),
                                                     _mm512_and_si512(bytes, _mm512_set1_epi8(0x3F)));
        const __m512i value = _mm512_mask_blend_epi8(high, bytes, after);
        starts &= _mm512_test_epi8_mask(count, count);  // runs of length 0 place nothing
        const int codes = __builtin_popcountll(starts);
        const __m512i packedCounts = _mm512_maskz_compress_epi8(starts, count);
        const __m512i packedValues = _mm512_maskz_compress_epi8(starts, value);
        const __m512i counts0 = _mm512_cvtepu8_epi16(_mm512_maskz_extracti64x4_epi64(0xFF, packedCounts, 0));
        const __m512i counts1 = _mm512_cvtepu8_epi16(_mm512_maskz_extracti64x4_epi64(0xFF, packedCounts, 1));
        const __m512i sums0 = PrefixSums(counts0);
        const __m512i sums1 =
            _mm512_add_epi16(PrefixSums(counts1), _mm512_permutexvar_epi16(_mm512_set1_epi16(31), sums0));
        // The packed counts past the last code are 0: the last word is the block's pixel count.
        const size_t pixels =
            static_cast<uint16_t>(_mm_extract_epi16(_mm512_maskz_extracti32x4_epi32(0xF, sums1, 3), 7));
        if (to - x < pixels + 16) break;
        _mm512_store_si512(places, _mm512_sub_epi16(sums0, counts0));
        _mm512_store_si512(places + 32, _mm512_sub_epi16(sums1, counts1));
        _mm512_store_si512(
            colours,
            LookUpColors(_mm512_cvtepu8_epi16(_mm512_maskz_extracti64x4_epi64(0xFF, packedValues, 0)),
                         table));
        _mm512_store_si512(
            colours + 32,
            LookUpColors(_mm512_cvtepu8_epi16(_mm512_maskz_extracti64x4_epi64(0xFF, packedValues, 1)),
                         table));
        _mm512_store_si512(counts, packedCounts);
        uint16_t* const o = out + x;
        // Four at a time: the places past the last code are the block's end and their stores land in
        // the surplus, which the next block overwrites.
        for (int j = 0; j < codes; j += 4) {
#pragma GCC unroll 4
            for (int u = 0; u < 4; ++u)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + places[j + u]),
                                    _mm256_set1_epi16(static_cast<short>(colours[j + u])));
        }
        for (uint64_t longer = _mm512_cmpgt_epu8_mask(packedCounts, _mm512_set1_epi8(16)); longer != 0;
             longer &= longer - 1) {
            const int j = __builtin_ctzll(longer);
            uint16_t* const run = o + places[j];
            const int last = counts[j] - 16;
            const __m256i same = _mm256_set1_epi16(static_cast<short>(colours[j]));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(run + std::min(16, last)), same);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(run + std::min(32, last)), same);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(run + std::min(48, last)), same);
        }
        x += pixels;
        p += 64 - static_cast<int>(splitRun);
    }
    return p;
}
#undef QB_AVX512
#endif

// Away from the stretch's end, every code writes whole groups of pixels at once whatever its length
// (a literal, or a run, mostly of one to four): fewer unpredictable branches. The extra pixels land
// inside the stretch and are overwritten by the codes that follow. Stops where a code's groups would
// not fit before `to`.
const uint8_t* DecodeCodesEach(const uint8_t* p, const uint8_t* end, uint16_t* __restrict out, size_t& x,
                               size_t to, const ColorTable& colors) {
    while (end - p >= 2) {
        const uint8_t code = p[0];
        const bool isRun = code >= 0xC0;
        const size_t count = isRun ? (code & 0x3Fu) : 1;
#if defined(__SSE2__)
        // Sixteen pixels whatever the code's length (most runs are shorter), so that only runs longer
        // than that take a second branch.
        if (to - x < std::max<size_t>(16, (count + 7) & ~size_t{7})) break;  // whole groups must fit
        const __m128i eight = _mm_set1_epi16(static_cast<short>(colors[isRun ? p[1] : code]));
        p += isRun ? 2 : 1;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), eight);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8), eight);
        for (size_t k = 16; k < count; k += 8)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + k), eight);
#else
        if (to - x < ((count + 4) & ~size_t{3})) break;  // whole groups of four must fit
        const uint64_t four = colors[isRun ? p[1] : code] * 0x0001000100010001ull;
        p += isRun ? 2 : 1;
        std::memcpy(out + x, &four, sizeof four);
        for (size_t k = 4; k < count; k += 4) std::memcpy(out + x + k, &four, sizeof four);
#endif
        x += count;
    }
    return p;
}

enum class DecodeSpeed { Fastest, Plain };

// Fills the stretch [x, to) of the stream; false when the data runs out first. `Plain` decodes code
// by code only: the reference the fast paths are held to.
bool DecodeStream(const uint8_t*& p, const uint8_t* end, uint16_t* out, size_t& x, size_t to, RunState& run,
                  const ColorTable& colors, DecodeSpeed speed) {
    if (run.pending > 0) {
        const size_t take = std::min(run.pending, to - x);
        FillRun(out + x, take, run.color);
        x += take;
        run.pending -= take;
    }
    if (speed == DecodeSpeed::Fastest && run.pending == 0) {
#if defined(__SSE2__)
        if (__builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("avx512bw")) {
            p = DecodeBlocksAvx512(p, end, out, x, to, colors);
        }
        p = __builtin_cpu_supports("avx2") ? DecodeBlocksAvx2(p, end, out, x, to, colors)
                                           : DecodeBlocksSse2(p, end, out, x, to, colors);
#endif
        p = DecodeCodesEach(p, end, out, x, to, colors);
    }
    return DecodeCodesExact(p, end, out, x, to, run, colors);
}

// Decodes the picture into a new bitmap; null when the data is short or the layout impossible.
// `pixelEnd` receives the offset in `pcx` just past the last byte the pixels used. `buffer` is where
// padded rows are decoded first; callers decoding many pictures keep one for all of them.
UniqueBitmap DecodePicture(std::span<const uint8_t> pcx, const PcxLayout& layout, const ColorTable& colors,
                           size_t* pixelEnd = nullptr, std::vector<uint16_t>* buffer = nullptr,
                           BitmapBlock* block = nullptr, DecodeSpeed speed = DecodeSpeed::Fastest) {
    UniqueBitmap bitmap =
        block ? block->Create(layout.width, layout.height) : CreateBitmap(layout.width, layout.height);
    if (!bitmap) return nullptr;
    const size_t width = static_cast<size_t>(layout.width);
    const size_t height = static_cast<size_t>(layout.height);
    const size_t pitch = static_cast<size_t>(layout.bytesPerLine);
    const uint8_t* const begin = pcx.data();
    const uint8_t* p = begin + kPcxHeaderSize;
    const uint8_t* const end = begin + pcx.size();

    if (!layout.runLength) {
        // ReadPcxLayout checked that all rows are present.
        for (int y = 0; y < layout.height; ++y) {
            uint16_t* row = BitmapRow(bitmap.get(), y);
            for (size_t x = 0; x < width; ++x) row[x] = colors[p[x]];
            p += pitch;
        }
        if (pixelEnd) *pixelEnd = static_cast<size_t>(p - begin);
        return bitmap;
    }

    RunState run;
    uint16_t* const first = BitmapRow(bitmap.get(), 0);
    if (pitch == width && BitmapRow(bitmap.get(), layout.height - 1) == first + (height - 1) * width) {
        // Rows without padding, one after another in memory: the stream is the bitmap.
        size_t x = 0;
        if (!DecodeStream(p, end, first, x, width * height, run, colors, speed)) return nullptr;
    } else {
        // Padded rows: the stream goes through a small buffer a few rows at a time, and each row's
        // pixels are copied out of it without the padding.
        const size_t rows = std::max<size_t>(1, 16384 / pitch);
        std::vector<uint16_t> own;
        if (!buffer) buffer = &own;
        if (buffer->size() < rows * pitch) buffer->resize(rows * pitch);
        for (size_t y = 0; y < height; y += rows) {
            const size_t count = std::min(rows, height - y);
            size_t x = 0;
            if (!DecodeStream(p, end, buffer->data(), x, count * pitch, run, colors, speed)) return nullptr;
            for (size_t k = 0; k < count; ++k)
                std::memcpy(BitmapRow(bitmap.get(), static_cast<int>(y + k)), buffer->data() + k * pitch,
                            width * 2);
        }
    }
    if (pixelEnd) *pixelEnd = static_cast<size_t>(p - begin);
    return bitmap;
}

std::optional<PaletteBytes> CopyPalette(std::optional<std::span<const uint8_t, kPcxPaletteSize>> found) {
    if (!found) return std::nullopt;
    PaletteBytes out;
    std::copy(found->begin(), found->end(), out.begin());
    return out;
}

// The pictures of a stage file in file order, with what carries from one to the next: the palette
// "same palette as previous" refers to, the colour table built for it and the decoded-bytes budget.
struct StagePictures {
    std::span<const uint8_t> bytes;
    const SffIndex& index;
    SpriteTable& table;
    BitmapBlock& block;
    std::vector<int>& paletteOf;  // per decoded entry, for re-decoding with another mask
    size_t budget = 0;
    std::vector<PaletteBytes> palettes;
    int current = -1;
    // Most sprites share the previous palette and mask treatment: build their colour table once.
    ColorTable cachedColors{};
    int cachedPalette = -2;
    bool cachedMask = false;
    std::vector<uint16_t> buffer;

    std::span<const uint8_t> PictureOf(size_t j) const {
        return bytes.subspan(index.entries[j].dataStart, index.entries[j].DataSize());
    }

    const ColorTable& ColorsFor(int palette, bool masked) {
        if (palette != cachedPalette || masked != cachedMask) {
            cachedColors =
                MakeColorTable(palette >= 0 ? &palettes[static_cast<size_t>(palette)] : nullptr, masked);
            cachedPalette = palette;
            cachedMask = masked;
        }
        return cachedColors;
    }

    UniqueBitmap DecodeWithin(std::span<const uint8_t> pcx, const PcxLayout& layout, const ColorTable& colors,
                              size_t* pixelEnd = nullptr) {
        const size_t bytesNeeded = static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height) * 2;
        if (bytesNeeded > budget) return nullptr;
        UniqueBitmap bitmap = DecodePicture(pcx, layout, colors, pixelEnd, &buffer, &block);
        if (bitmap) budget -= bytesNeeded;
        return bitmap;
    }

    UniqueBitmap Decode(size_t j, int palette, bool masked) {
        const auto pcx = PictureOf(j);
        const auto layout = ReadPcxLayout(pcx);
        if (!layout) return nullptr;
        return DecodeWithin(pcx, *layout, ColorsFor(palette, masked));
    }

    void UsePalette(const PaletteBytes& palette) {
        // Stage files often repeat one palette in every sprite: keep one copy, one colour table.
        if (current < 0 || palettes[static_cast<size_t>(current)] != palette) {
            palettes.push_back(palette);
            current = static_cast<int>(palettes.size()) - 1;
        }
    }

    // The entries [from, to) that own their pictures.
    void DecodeOwners(size_t from, size_t to) {
        for (size_t j = from; j < to; ++j) {
            const SffSubHeader& s = index.entries[j];
            if (s.IsLinked()) continue;
            SpriteEntry& e = table[j];
            e.Owner = -1;
            e.Owned.reset();
            e.Bitmap = nullptr;
            e.AxisX = s.axisX;
            e.AxisY = s.axisY;
            e.Width = 0;
            e.Height = 0;
            const auto pcx = PictureOf(j);
            const auto layout = ReadPcxLayout(pcx);
            // "Same palette as previous" reuses the last palette read; the first sprite has none to reuse.
            const bool ownPalette = !s.samePalette || current < 0;
            if (ownPalette) {
                // Decode with the palette found without knowing where the pixels end (the usual place:
                // the last 769 bytes), then confirm it sits right after them. Only padded files, where
                // the guess can be a 0x0C byte inside the palette, pay for a second decode.
                const auto guess = CopyPalette(FindPcxPalette(pcx));
                if (guess) UsePalette(*guess);
                size_t pixelEnd = 0;
                if (layout) e.Owned = DecodeWithin(pcx, *layout, ColorsFor(current, e.Mask == 1), &pixelEnd);
                if (e.Owned && (!guess || pixelEnd + kPcxPaletteSize + 1 != pcx.size())) {
                    const auto sure = CopyPalette(FindPcxPalette(pcx, pixelEnd));
                    if (sure && sure != guess) {
                        UsePalette(*sure);
                        e.Owned.reset();  // its bytes go back to the budget first
                        budget += static_cast<size_t>(layout->width) * static_cast<size_t>(layout->height) * 2;
                        e.Owned = DecodeWithin(pcx, *layout, ColorsFor(current, e.Mask == 1));
                    }
                }
            } else if (layout) {
                e.Owned = DecodeWithin(pcx, *layout, ColorsFor(current, e.Mask == 1));
            }
            paletteOf[j] = current;
            if (e.Owned) {
                e.Bitmap = e.Owned.get();
                e.Width = static_cast<int16_t>(BitmapWidth(e.Bitmap));
                e.Height = static_cast<int16_t>(BitmapHeight(e.Bitmap));
            }
        }
    }
};

// Files with fewer decoded pixels than this are decoded on the calling thread alone: starting a
// thread costs more than it saves.
constexpr size_t kMinPixelsForTwoThreads = size_t{1} << 20;

// Where the owned pictures of [0, n) can be cut into parts of about `pixels / parts` pixels each:
// at entries whose picture carries a palette of its own and does not say "same palette as previous",
// so nothing of the entries before such an entry decides how it and the ones after it decode. The
// parts' first entries, from 0, then n.
std::vector<size_t> PartStarts(const StagePictures& pictures, size_t n, size_t pixels, size_t parts) {
    std::vector<size_t> starts{0};
    size_t before = 0;
    for (size_t j = 0; j < n; ++j) {
        const SffSubHeader& s = pictures.index.entries[j];
        if (s.IsLinked()) continue;
        const auto pcx = pictures.PictureOf(j);
        if (j > 0 && before * parts >= pixels * starts.size() && !s.samePalette && FindPcxPalette(pcx))
            starts.push_back(j);
        if (const auto layout = ReadPcxLayout(pcx))
            before += static_cast<size_t>(layout->width) * static_cast<size_t>(layout->height);
    }
    starts.push_back(n);
    return starts;
}

}  // namespace

bool DecodeSffSprites(std::string_view file, SpriteTable& table, int count, size_t maxDecodedBytes) {
    auto index = ReadSffIndex(file);
    if (!index) return false;
    if (!a_allegro_init()) return false;
    const auto bytes = AsBytes(file);
    const size_t n = std::min({static_cast<size_t>(std::max(count, 0)), table.size(), index->entries.size()});
    std::vector<int> paletteOf(n, -1);

    // One block of memory for all the file's pictures (as far as the budget goes).
    size_t pixels = 0, pictures = 0;
    bool allFit = true;
    for (size_t j = 0; j < n; ++j) {
        if (index->entries[j].IsLinked()) continue;
        if (const auto layout = ReadPcxLayout(bytes.subspan(index->entries[j].dataStart,
                                                            index->entries[j].DataSize()))) {
            const size_t more = static_cast<size_t>(layout->width) * static_cast<size_t>(layout->height);
            if ((pixels + more) * 2 > maxDecodedBytes) {
                allFit = false;
                break;
            }
            pixels += more;
            ++pictures;
        }
    }
    BitmapBlock block(pixels, pictures);
    // All bitmaps of one file together stay within a budget, so a hostile file of pictures that each
    // claim the largest size their data allows cannot take the machine's memory.
    StagePictures first{bytes, *index, table, block, paletteOf, maxDecodedBytes};

    // Large files are cut into parts at pictures whose decoding depends on no picture before them,
    // and the calling thread and one more take the parts in turn (the calling thread takes them all
    // when the other gets no processor). When every picture fits in the block and the budget, the
    // budget turns nothing away, so the result is the one thread's.
    const std::vector<size_t> starts =
        allFit && block.HasMemory() && pixels >= kMinPixelsForTwoThreads
            ? PartStarts(first, n, pixels, 8)
            : std::vector<size_t>{0, n};
    if (starts.size() > 2) {
        std::deque<StagePictures> parts;
        for (size_t k = 1; k < starts.size(); ++k)
            parts.push_back(StagePictures{bytes, *index, table, block, paletteOf, maxDecodedBytes});
        std::atomic<size_t> nextPart{0};
        // Each thread takes the next part until none is left; a failure ends both and is kept for
        // after the join.
        auto work = [&](std::exception_ptr& failure) noexcept {
            try {
                for (size_t k = nextPart++; k < parts.size(); k = nextPart++)
                    parts[k].DecodeOwners(starts[k], starts[k + 1]);
            } catch (...) {
                nextPart = parts.size();
                failure = std::current_exception();
            }
        };
        std::exception_ptr failed, mine;
        {
            // A process at its thread limit decodes every part here.
            std::thread worker;
            try {
                worker = std::thread(work, std::ref(failed));
            } catch (const std::system_error&) {
            }
            work(mine);
            if (worker.joinable()) worker.join();
        }
        if (mine) std::rethrow_exception(mine);
        if (failed) std::rethrow_exception(failed);
        first.palettes = std::move(parts[0].palettes);
        first.budget = parts[0].budget;
        // One list of palettes: each part's indices follow those of the parts before it.
        for (size_t k = 1; k < parts.size(); ++k) {
            const int offset = static_cast<int>(first.palettes.size());
            for (size_t j = starts[k]; j < starts[k + 1]; ++j)
                if (paletteOf[j] >= 0) paletteOf[j] += offset;
            first.palettes.insert(first.palettes.end(), parts[k].palettes.begin(), parts[k].palettes.end());
            first.budget -= maxDecodedBytes - parts[k].budget;
        }
    } else {
        first.DecodeOwners(0, n);
    }
    auto decode = [&](size_t j, int palette, bool masked) { return first.Decode(j, palette, masked); };

    // Linked entries share what their target decoded; targets may come later in the file and may be
    // linked themselves. Each chain is walked once (every entry on it learns the answer), so a hostile
    // file of long chains costs linear time; a chain that comes back on itself has no picture.
    constexpr size_t kUnknown = SIZE_MAX, kWalking = SIZE_MAX - 1, kNone = SIZE_MAX - 2;
    std::vector<size_t> root(n, kUnknown);
    std::vector<size_t> path;
    auto rootOf = [&](size_t j) {
        path.clear();
        size_t t = j;
        size_t answer = kNone;
        while (true) {
            if (t >= n) break;
            if (!index->entries[t].IsLinked()) {
                answer = t;
                break;
            }
            if (root[t] == kWalking) break;  // a cycle
            if (root[t] != kUnknown) {
                answer = root[t];
                break;
            }
            root[t] = kWalking;
            path.push_back(t);
            t = static_cast<size_t>(index->entries[t].linkedIndex);
        }
        for (size_t k : path) root[k] = answer;
        return answer;
    };

    std::unordered_map<size_t, size_t> alternateOwner;  // target -> entry owning its other-mask bitmap
    for (size_t j = 0; j < n; ++j) {
        if (!index->entries[j].IsLinked()) continue;
        SpriteEntry& e = table[j];
        e.Owned.reset();
        e.Bitmap = nullptr;
        const size_t t = rootOf(j);
        if (t == kNone || !table[t].Bitmap) continue;
        const SpriteEntry& target = table[t];
        e.AxisX = target.AxisX;
        e.AxisY = target.AxisY;
        e.Width = target.Width;
        e.Height = target.Height;
        // The mark is 16-bit: an owner beyond its range leaves the caller's mark (never -1 by accident).
        if (e.Owner < 0 && t <= kMaxOwnerIndex) e.Owner = static_cast<int16_t>(t);
        if ((e.Mask == 1) == (target.Mask == 1)) {
            e.Bitmap = target.Bitmap;
            continue;
        }
        // The target was decoded with the other treatment of colour 0: this entry needs its own copy.
        // One copy per target is enough, whichever linked entry owns it.
        if (auto it = alternateOwner.find(t); it != alternateOwner.end()) {
            e.Bitmap = table[it->second].Bitmap;
            if (it->second <= kMaxOwnerIndex) e.Owner = static_cast<int16_t>(it->second);
            continue;
        }
        e.Owned = decode(t, paletteOf[t], e.Mask == 1);
        if (e.Owned) {
            e.Bitmap = e.Owned.get();
            e.Owner = -1;
            alternateOwner.emplace(t, j);
        }
    }
    return true;
}

namespace {

// Where the run-length pixel data of a picture ends, scanning the codes without drawing anything;
// nullopt when the data runs out first.
std::optional<size_t> PcxPixelEnd(std::span<const uint8_t> pcx, const PcxLayout& layout) {
    if (!layout.runLength) {
        return kPcxHeaderSize + static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
    }
    const size_t needed = static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
    size_t placed = 0;
    size_t p = kPcxHeaderSize;
    while (placed < needed) {
        if (p >= pcx.size()) return std::nullopt;
        const uint8_t code = pcx[p++];
        if (code >= 0xC0) {
            if (p >= pcx.size()) return std::nullopt;
            ++p;
            placed += code & 0x3F;
        } else {
            ++placed;
        }
    }
    return p;
}

// The palette a sprite carries in its own data, found right after its pixels.
std::optional<PaletteBytes> OwnPalette(std::span<const uint8_t> pcx) {
    const auto layout = ReadPcxLayout(pcx);
    size_t floor = kPcxHeaderSize;
    if (layout) {
        if (auto end = PcxPixelEnd(pcx, *layout)) floor = *end;
    }
    return CopyPalette(FindPcxPalette(pcx, floor));
}

}  // namespace

bool DecodeCharSprites(std::string_view file, SpriteTable& table, int32_t count,
                       const std::vector<CharSpriteRequest>& requests, int32_t highestIndex,
                       size_t maxDecodedBytes) {
    auto index = ReadSffIndex(file);
    if (!index) return false;
    if (!a_allegro_init()) return false;
    const auto bytes = AsBytes(file);
    const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), index->entries.size());

    // A character's sprites mostly say "same palette as previous" and carry no palette of their own:
    // they take the character's own colours, the file's first palette, not that of the last sprite
    // before them (in files made like KFM's that is the large portrait's, with other colours).
    // Sprites that say so but still carry palette bytes (old tools wrote them anyway) use the shared
    // one too. Stage files keep their "previous palette" rule (DecodeSffSprites).
    std::vector<PaletteBytes> palettes;
    std::vector<int> paletteOf(n, -1);
    int first = -1;
    for (size_t j = 0; j < n; ++j) {
        const SffSubHeader& s = index->entries[j];
        if (s.IsLinked()) continue;
        if (s.samePalette && first >= 0) {
            paletteOf[j] = first;
            continue;
        }
        if (auto own = OwnPalette(bytes.subspan(s.dataStart, s.DataSize()))) {
            const auto same = std::find(palettes.begin(), palettes.end(), *own);
            paletteOf[j] = static_cast<int>(same - palettes.begin());
            if (same == palettes.end()) palettes.push_back(*own);
            if (first < 0) first = paletteOf[j];
        } else {
            paletteOf[j] = first;
        }
    }

    // The first sprite of the file with a group and image number is the one a request names.
    std::unordered_map<uint64_t, size_t> firstOf;
    auto key = [](int64_t group, int64_t image) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(group)) << 32) | static_cast<uint32_t>(image);
    };
    for (size_t j = 0; j < n; ++j) firstOf.emplace(key(index->entries[j].group, index->entries[j].image), j);

    // A linked sprite shows its target's picture; chains are followed at most n steps (a cycle or a
    // link out of range has no picture).
    auto rootOf = [&](size_t j) -> std::optional<size_t> {
        size_t t = j;
        for (size_t steps = 0; steps <= n; ++steps) {
            if (t >= n) return std::nullopt;
            if (!index->entries[t].IsLinked()) return t;
            t = static_cast<size_t>(index->entries[t].linkedIndex);
        }
        return std::nullopt;
    };

    size_t budget = maxDecodedBytes;
    std::vector<uint16_t> buffer;
    std::unordered_map<size_t, size_t> ownerOf;  // decoded file sprite -> table entry owning its bitmap
    const size_t limit = std::min({requests.size(), table.size(),
                                   static_cast<size_t>(std::max<int32_t>(highestIndex + 1, 0))});
    for (size_t k = 0; k < limit; ++k) {
        const CharSpriteRequest& r = requests[k];
        const auto found = firstOf.find(key(r.Group, r.Image));
        if (found == firstOf.end()) continue;  // the entry stays fresh
        const SffSubHeader& s = index->entries[found->second];
        SpriteEntry& e = table[k];
        e.Group = s.group;
        e.Image = s.image;
        // The axis is the requested sprite's own, also when it borrows a linked picture.
        e.AxisX = s.axisX;
        e.AxisY = s.axisY;
        e.Mask = 1;
        e.Owner = -1;
        e.Owned.reset();
        e.Bitmap = nullptr;
        e.Width = 0;
        e.Height = 0;
        const auto root = rootOf(found->second);
        if (!root) continue;
        if (auto owner = ownerOf.find(*root);
            owner != ownerOf.end() && owner->second <= kMaxOwnerIndex && table[owner->second].Bitmap) {
            e.Bitmap = table[owner->second].Bitmap;
            e.Owner = static_cast<int16_t>(owner->second);
        } else {
            const SffSubHeader& t = index->entries[*root];
            const auto pcx = bytes.subspan(t.dataStart, t.DataSize());
            const auto layout = ReadPcxLayout(pcx);
            if (!layout) continue;
            const size_t bytesNeeded = static_cast<size_t>(layout->width) * static_cast<size_t>(layout->height) * 2;
            if (bytesNeeded > budget) continue;
            const int palette = paletteOf[*root];
            e.Owned = DecodePicture(
                pcx, *layout,
                MakeColorTable(palette >= 0 ? &palettes[static_cast<size_t>(palette)] : nullptr, true),
                nullptr, &buffer);
            if (!e.Owned) continue;
            budget -= bytesNeeded;
            e.Bitmap = e.Owned.get();
            ownerOf[*root] = k;
        }
        e.Width = static_cast<int16_t>(BitmapWidth(e.Bitmap));
        e.Height = static_cast<int16_t>(BitmapHeight(e.Bitmap));
    }
    return true;
}

void ExpandSffBitmaps(SpriteTable& table, size_t maxBytes, const std::vector<uint8_t>* drawn) {
    std::unordered_map<const BITMAP*, std::shared_ptr<const std::vector<uint32_t>>> done;
    // The words of each 5-6-5 value, by its high and its low byte: red and blue live wholly in one
    // byte each and green's expansion splits into disjoint bits, so an OR of two look-ups is exact.
    std::array<uint32_t, 256> high{}, low{};
    for (uint32_t v = 0; v < 256; ++v) {
        high[v] = Expand565(static_cast<uint16_t>(v << 8)) & 0x00FFFFFFu;
        low[v] = Expand565(static_cast<uint16_t>(v)) & 0x00FFFFFFu;
    }
    for (size_t k = 0; k < table.size(); ++k) {
        SpriteEntry& e = table[k];
        e.Expanded.reset();
        if (!e.Bitmap || (drawn && (k >= drawn->size() || (*drawn)[k] == 0))) continue;
        if (auto it = done.find(e.Bitmap); it != done.end()) {
            e.Expanded = it->second;
            continue;
        }
        const int w = BitmapWidth(e.Bitmap), h = BitmapHeight(e.Bitmap);
        const size_t count = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
        if (count == 0 || count * 4 > maxBytes) continue;
        maxBytes -= count * 4;
        auto words = std::make_shared<std::vector<uint32_t>>(count);
        uint32_t* out = words->data();
        for (int y = 0; y < h; ++y, out += w) {
            const uint16_t* row = BitmapRow(e.Bitmap, y);
            for (int x = 0; x < w; ++x) {
                const uint16_t v = row[x];
                out[x] = (high[v >> 8] | low[v & 0xFF]) | (v == kMaskColor ? 0u : 0xFF000000u);
            }
        }
        e.Expanded = words;
        done.emplace(e.Bitmap, std::move(words));
    }
}

std::optional<IndexedSprite> DecodeSffSpriteIndexed(std::string_view file, size_t index) {
    auto sff = ReadSffIndex(file);
    if (!sff || index >= sff->entries.size()) return std::nullopt;
    if (!a_allegro_init()) return std::nullopt;
    const auto bytes = AsBytes(file);
    const size_t n = sff->entries.size();
    // Links are followed at most n steps: a chain that comes back on itself has no picture.
    size_t target = index;
    for (size_t steps = 0; target < n && sff->entries[target].IsLinked(); ++steps) {
        if (steps >= n) return std::nullopt;
        target = static_cast<size_t>(sff->entries[target].linkedIndex);
    }
    if (target >= n) return std::nullopt;

    // The palette as the stage decoder chooses it: the last one read up to the picture.
    std::optional<PaletteBytes> palette;
    for (size_t j = 0; j <= target; ++j) {
        const SffSubHeader& s = sff->entries[j];
        if (s.IsLinked() || (s.samePalette && palette)) continue;
        if (auto own = OwnPalette(bytes.subspan(s.dataStart, s.DataSize()))) palette = own;
    }

    const auto pcx = bytes.subspan(sff->entries[target].dataStart, sff->entries[target].DataSize());
    const auto layout = ReadPcxLayout(pcx);
    if (!layout) return std::nullopt;
    // Decoded through a colour table that maps every index onto itself: the bitmap holds the indices.
    ColorTable identity;
    for (size_t i = 0; i < identity.size(); ++i) identity[i] = static_cast<uint16_t>(i);
    const UniqueBitmap picture = DecodePicture(pcx, *layout, identity);
    if (!picture) return std::nullopt;
    IndexedSprite out;
    out.Width = layout->width;
    out.Height = layout->height;
    out.Pixels.reserve(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height));
    for (int y = 0; y < out.Height; ++y) {
        const uint16_t* row = BitmapRow(picture.get(), y);
        for (int x = 0; x < out.Width; ++x) out.Pixels.push_back(static_cast<uint8_t>(row[x]));
    }
    if (palette) {
        out.Palette = *palette;
    } else {
        for (size_t i = 0; i < 256; ++i)
            out.Palette[i * 3] = out.Palette[i * 3 + 1] = out.Palette[i * 3 + 2] = static_cast<uint8_t>(i);
    }
    return out;
}

std::optional<PcxPixels> DecodePcxPixels(std::span<const uint8_t> pcx,
                                         const std::array<uint16_t, 256>& colors, bool plain) {
    const auto layout = ReadPcxLayout(pcx);
    if (!layout || !a_allegro_init()) return std::nullopt;
    PcxPixels out;
    const UniqueBitmap picture = DecodePicture(pcx, *layout, colors, &out.End, nullptr, nullptr,
                                               plain ? DecodeSpeed::Plain : DecodeSpeed::Fastest);
    if (!picture) return std::nullopt;
    out.Width = layout->width;
    out.Height = layout->height;
    for (int y = 0; y < out.Height; ++y) {
        const uint16_t* row = BitmapRow(picture.get(), y);
        out.Pixels.insert(out.Pixels.end(), row, row + out.Width);
    }
    return out;
}

bool Load_Char_SFF(const std::string& path, SpriteTable& table, int32_t count,
                   const std::vector<CharSpriteRequest>& requests, int32_t highestIndex) {
    const auto file = ReadFileBytes(path, kMaxSffFileBytes);
    if (!file) return false;
    // A version 2 file has no image count at byte 20: every node is looked at.
    if (IsSff2(*file)) return DecodeCharSprites2(*file, table, requests, highestIndex);
    return DecodeCharSprites(*file, table, count, requests, highestIndex);
}

bool Load_Stage_SFF(const std::string& path, SpriteTable& table, int count) {
    const auto file = ReadFileBytes(path, kMaxSffFileBytes);
    if (!file) return false;
    return DecodeSffSprites(*file, table, count);
}

}  // namespace qb
