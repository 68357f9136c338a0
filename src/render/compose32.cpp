#include "render/compose32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// Loops built for AVX2 beside the baseline ones; callers choose them when the processor has it.
#define QB_AVX2 __attribute__((target("avx2")))
#endif

#include "platform/gfx.h"

namespace qb {

namespace {

int ClampWeight(int w) {
    return std::clamp(w, 0, 256);
}

// The pixel rule every loop inlines. Alpha: the source carries a (partial) alpha in its top byte; a
// pixel with alpha 0 (colour 0 of a masked picture, a clear PNG pixel) leaves the destination as it is.
template <BlendOp Op, bool Alpha>
inline void Put(uint32_t& dst, uint32_t c, int s, int d) {
    uint32_t a = 255;
    if constexpr (Alpha) {
        a = c >> 24;
        if (a == 0) return;
    }
    const uint32_t sr = (c >> 16) & 255, sg = (c >> 8) & 255, sb = c & 255;
    const uint32_t dr = (dst >> 16) & 255, dg = (dst >> 8) & 255, db = dst & 255;
    if constexpr (Op == BlendOp::Copy) {
        if (!Alpha || a == 255) {
            dst = c | 0xFF000000u;
            return;
        }
        const int w = static_cast<int>(a + (a >> 7));  // 0..256
        dst = 0xFF000000u | AddChannel(sr, dr, w, 256 - w) << 16 | AddChannel(sg, dg, w, 256 - w) << 8 |
              AddChannel(sb, db, w, 256 - w);
    } else if constexpr (Op == BlendOp::Add) {
        const int se = Alpha && a != 255 ? (s * static_cast<int>(a) + 127) / 255 : s;
        dst = 0xFF000000u | AddChannel(sr, dr, se, d) << 16 | AddChannel(sg, dg, se, d) << 8 |
              AddChannel(sb, db, se, d);
    } else {
        if (Alpha && a != 255) {
            const uint32_t w = a + (a >> 7);
            dst = 0xFF000000u | SubChannel(sr * w >> 8, dr) << 16 | SubChannel(sg * w >> 8, dg) << 8 |
                  SubChannel(sb * w >> 8, db);
        } else {
            dst = 0xFF000000u | SubChannel(sr, dr) << 16 | SubChannel(sg, dg) << 8 | SubChannel(sb, db);
        }
    }
}

// Whole rows through one blend, four pixels at a time where SSE2 is there (every x86-64), each
// step exactly Put: the channel pairs (source, destination) are multiplied by their weights and
// summed in 32 bits (pmaddwd), shifted, and packed back with unsigned saturation, which is
// AddChannel, clamp included; subtraction is the saturating byte subtraction. A pixel whose alpha
// is 0 is left as it was, as Put leaves it.
// What a row loop may assume about the source's alpha: none (every pixel opaque), only 0 and 255
// (a mask: the pixel is drawn or left alone), or any value.
enum class AlphaKind : uint8_t { None, Binary, Partial };
// Add with 256,256 (plain "add", "a") is a saturating byte addition; with 256,128 ("add1", "a1": the
// usual clouds and lights) one of the source and half the destination, since
// (s·256 + d·128) >> 8 is s + d/2 rounded down.
enum class RowOp : uint8_t { Copy, Add, AddFull, AddHalf, Sub };

constexpr BlendOp BlendOf(RowOp op) {
    return op == RowOp::Copy ? BlendOp::Copy : op == RowOp::Sub ? BlendOp::Sub : BlendOp::Add;
}

#if defined(__SSE2__)
inline __m128i MixFour(__m128i src, __m128i dst, __m128i weights) {
    // weights: one 32-bit lane a pixel, d << 16 | s; each spread over its pixel's four channels.
    const __m128i w0 = _mm_shuffle_epi32(weights, 0x00), w1 = _mm_shuffle_epi32(weights, 0x55);
    const __m128i w2 = _mm_shuffle_epi32(weights, 0xAA), w3 = _mm_shuffle_epi32(weights, 0xFF);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_unpacklo_epi8(src, dst), hi = _mm_unpackhi_epi8(src, dst);
    const __m128i p0 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w0), 8);
    const __m128i p1 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w1), 8);
    const __m128i p2 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w2), 8);
    const __m128i p3 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w3), 8);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
    return _mm_or_si128(packed, _mm_set1_epi32(static_cast<int>(0xFF000000u)));
}

// The destination where the source's alpha is 0, the blended value elsewhere.
inline __m128i KeepClear(__m128i src, __m128i dst, __m128i blended) {
    const __m128i clear = _mm_cmpeq_epi32(_mm_srli_epi32(src, 24), _mm_setzero_si128());
    return _mm_or_si128(_mm_and_si128(clear, dst), _mm_andnot_si128(clear, blended));
}

// Each channel halved, rounded down.
inline __m128i HalfFour(__m128i v) {
    return _mm_and_si128(_mm_srli_epi32(v, 1), _mm_set1_epi8(0x7F));
}

template <RowOp Op, AlphaKind A>
inline __m128i BlendFour(__m128i src, __m128i dst, int s, int d) {
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    if constexpr (A == AlphaKind::None) {
        if constexpr (Op == RowOp::Copy) return _mm_or_si128(src, opaque);
        if constexpr (Op == RowOp::AddFull) return _mm_or_si128(_mm_adds_epu8(src, dst), opaque);
        if constexpr (Op == RowOp::AddHalf) return _mm_or_si128(_mm_adds_epu8(src, HalfFour(dst)), opaque);
        if constexpr (Op == RowOp::Add) return MixFour(src, dst, _mm_set1_epi32(d << 16 | s));
        if constexpr (Op == RowOp::Sub) return _mm_or_si128(_mm_subs_epu8(dst, src), opaque);
    } else if constexpr (A == AlphaKind::Binary) {
        const __m128i clear = _mm_cmpeq_epi32(_mm_srli_epi32(src, 24), _mm_setzero_si128());
        const __m128i shown = _mm_andnot_si128(clear, src);  // 0 where clear, the opaque pixel elsewhere
        if constexpr (Op == RowOp::Copy) return _mm_or_si128(_mm_and_si128(clear, dst), shown);
        // Adding 0 leaves a clear pixel's destination as it was, alpha included; an opaque one's
        // alpha saturates to 255.
        if constexpr (Op == RowOp::AddFull) return _mm_adds_epu8(dst, shown);
        if constexpr (Op == RowOp::AddHalf)
            return KeepClear(src, dst, _mm_or_si128(_mm_adds_epu8(src, HalfFour(dst)), opaque));
        if constexpr (Op == RowOp::Add)
            return KeepClear(src, dst, MixFour(src, dst, _mm_set1_epi32(d << 16 | s)));
        if constexpr (Op == RowOp::Sub)
            return _mm_or_si128(_mm_subs_epu8(dst, _mm_andnot_si128(opaque, shown)),
                                _mm_and_si128(shown, opaque));
    } else if constexpr (Op == RowOp::Copy) {
        // Weight a + a/128 of 256 for the source, the rest for the destination.
        const __m128i a = _mm_srli_epi32(src, 24);
        const __m128i w = _mm_add_epi32(a, _mm_srli_epi32(a, 7));
        const __m128i weights = _mm_or_si128(_mm_slli_epi32(_mm_sub_epi32(_mm_set1_epi32(256), w), 16), w);
        return KeepClear(src, dst, MixFour(src, dst, weights));
    } else if constexpr (Op == RowOp::Add || Op == RowOp::AddFull || Op == RowOp::AddHalf) {
        // s·a/255 rounded: x = s·a + 127 stays below 65536, where (x + 1 + x/256)/256 is x/255 exactly
        // (and a = 255 gives s back).
        const __m128i a = _mm_srli_epi32(src, 24);
        const __m128i x = _mm_add_epi32(_mm_mullo_epi16(a, _mm_set1_epi32(s)), _mm_set1_epi32(127));
        const __m128i se =
            _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(x, _mm_set1_epi32(1)), _mm_srli_epi32(x, 8)), 8);
        return KeepClear(src, dst, MixFour(src, dst, _mm_or_si128(_mm_set1_epi32(d << 16), se)));
    } else {
        // The source's channels scaled by a + a/128 of 256 first.
        const __m128i a = _mm_srli_epi32(src, 24);
        const __m128i w = _mm_add_epi32(a, _mm_srli_epi32(a, 7));
        const __m128i w16 = _mm_packs_epi32(w, w);  // w0 w1 w2 w3 w0 w1 w2 w3
        const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
        const __m128i wlo = _mm_unpacklo_epi32(pairs, pairs), whi = _mm_unpackhi_epi32(pairs, pairs);
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(src, zero), wlo), 8);
        const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(src, zero), whi), 8);
        const __m128i scaled = _mm_packus_epi16(lo, hi);
        return KeepClear(src, dst, _mm_or_si128(_mm_subs_epu8(dst, scaled), opaque));
    }
}
#endif

// out[i] = Put(out[i], src[i]) for n pixels.
template <RowOp Op, AlphaKind A>
void BlendRow(uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    int64_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), BlendFour<Op, A>(a, b, s, d));
    }
#endif
    for (; i < n; ++i) Put<BlendOf(Op), A != AlphaKind::None>(out[i], src[i], s, d);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same rows eight pixels at a time on processors with AVX2 (chosen when the blend is looked up):
// every step works within 128-bit halves, so each half is BlendFour exactly.
// (src·ws + dst·wd) >> 8 per channel, clamped to 255, in 16-bit lanes (weights up to 256, one pair
// a 16-bit lane, so a pixel may have its own): each product fits (255·256), and their sum added with
// saturation is either exact, and at most 255 after the shift, or 65535, which shifts to 255. Even
// bytes (blue, red) and odd ones (green, alpha) go through separately; alpha comes out 255.
QB_AVX2 inline __m256i Mix16(__m256i src, __m256i dst, __m256i ws, __m256i wd) {
    const __m256i low = _mm256_set1_epi16(0xFF);
    const __m256i even = _mm256_srli_epi16(_mm256_adds_epu16(_mm256_mullo_epi16(_mm256_and_si256(src, low), ws),
                                                             _mm256_mullo_epi16(_mm256_and_si256(dst, low), wd)),
                                           8);
    const __m256i odd = _mm256_adds_epu16(_mm256_mullo_epi16(_mm256_srli_epi16(src, 8), ws),
                                          _mm256_mullo_epi16(_mm256_srli_epi16(dst, 8), wd));
    // The odd sums' high bytes are the results already in place.
    const __m256i mixed = _mm256_or_si256(even, _mm256_andnot_si256(low, odd));
    return _mm256_or_si256(mixed, _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}
// Each channel halved, rounded down.
QB_AVX2 inline __m256i Half8(__m256i v) {
    return _mm256_and_si256(_mm256_srli_epi32(v, 1), _mm256_set1_epi8(0x7F));
}
// The same weight for both 16-bit halves of each pixel's lane.
QB_AVX2 inline __m256i EachHalf(__m256i w32) {
    return _mm256_or_si256(w32, _mm256_slli_epi32(w32, 16));
}

template <RowOp Op, AlphaKind A>
QB_AVX2 void BlendRowAvx2(uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i ws = _mm256_set1_epi16(static_cast<int16_t>(s)), wd = _mm256_set1_epi16(static_cast<int16_t>(d));
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i));
        __m256i r;
        if constexpr (A == AlphaKind::None) {
            if constexpr (Op == RowOp::Copy) r = _mm256_or_si256(a, opaque);
            if constexpr (Op == RowOp::AddFull) r = _mm256_or_si256(_mm256_adds_epu8(a, b), opaque);
            if constexpr (Op == RowOp::AddHalf) r = _mm256_or_si256(_mm256_adds_epu8(a, Half8(b)), opaque);
            if constexpr (Op == RowOp::Add) r = Mix16(a, b, ws, wd);
            if constexpr (Op == RowOp::Sub) r = _mm256_or_si256(_mm256_subs_epu8(b, a), opaque);
        } else if constexpr (A == AlphaKind::Partial) {
            // BlendFour's partial rules, each half by itself.
            const __m256i alpha = _mm256_srli_epi32(a, 24);
            const __m256i clear = _mm256_cmpeq_epi32(alpha, _mm256_setzero_si256());
            const __m256i w = _mm256_add_epi32(alpha, _mm256_srli_epi32(alpha, 7));
            if constexpr (Op == RowOp::Copy) {
                const __m256i each = EachHalf(w);
                r = Mix16(a, b, each, _mm256_sub_epi16(_mm256_set1_epi16(256), each));
            } else if constexpr (Op == RowOp::Add || Op == RowOp::AddFull || Op == RowOp::AddHalf) {
                const __m256i x =
                    _mm256_add_epi32(_mm256_mullo_epi16(alpha, _mm256_set1_epi32(s)), _mm256_set1_epi32(127));
                const __m256i se = _mm256_srli_epi32(
                    _mm256_add_epi32(_mm256_add_epi32(x, _mm256_set1_epi32(1)), _mm256_srli_epi32(x, 8)), 8);
                r = Mix16(a, b, EachHalf(se), wd);
            } else {
                const __m256i w16 = _mm256_packs_epi32(w, w);
                const __m256i pairs = _mm256_unpacklo_epi16(w16, w16);
                const __m256i wlo = _mm256_unpacklo_epi32(pairs, pairs),
                              whi = _mm256_unpackhi_epi32(pairs, pairs);
                const __m256i zero = _mm256_setzero_si256();
                const __m256i lo =
                    _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), wlo), 8);
                const __m256i hi =
                    _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), whi), 8);
                r = _mm256_or_si256(_mm256_subs_epu8(b, _mm256_packus_epi16(lo, hi)), opaque);
            }
            r = _mm256_or_si256(_mm256_and_si256(clear, b), _mm256_andnot_si256(clear, r));
        } else {
            const __m256i clear = _mm256_cmpeq_epi32(_mm256_srli_epi32(a, 24), _mm256_setzero_si256());
            const __m256i shown = _mm256_andnot_si256(clear, a);
            if constexpr (Op == RowOp::Copy) r = _mm256_or_si256(_mm256_and_si256(clear, b), shown);
            if constexpr (Op == RowOp::AddFull) r = _mm256_adds_epu8(b, shown);
            if constexpr (Op == RowOp::AddHalf)
                r = _mm256_or_si256(
                    _mm256_and_si256(clear, b),
                    _mm256_andnot_si256(clear, _mm256_or_si256(_mm256_adds_epu8(a, Half8(b)), opaque)));
            if constexpr (Op == RowOp::Add)
                r = _mm256_or_si256(_mm256_and_si256(clear, b),
                                    _mm256_andnot_si256(clear, Mix16(a, b, ws, wd)));
            if constexpr (Op == RowOp::Sub)
                r = _mm256_or_si256(_mm256_subs_epu8(b, _mm256_andnot_si256(opaque, shown)),
                                    _mm256_and_si256(shown, opaque));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), r);
    }
    BlendRow<Op, A>(out + i, src + i, n - i, s, d);
}
#endif

using RowBlend = void (*)(uint32_t*, const uint32_t*, int64_t, int, int);
template <RowOp Op>
RowBlend RowBlendOf(AlphaKind alpha) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx2")) {
        switch (alpha) {
            case AlphaKind::None:
                return BlendRowAvx2<Op, AlphaKind::None>;
            case AlphaKind::Binary:
                return BlendRowAvx2<Op, AlphaKind::Binary>;
            case AlphaKind::Partial:
                return BlendRowAvx2<Op, AlphaKind::Partial>;
        }
    }
#endif
    switch (alpha) {
        case AlphaKind::None:
            return BlendRow<Op, AlphaKind::None>;
        case AlphaKind::Binary:
            return BlendRow<Op, AlphaKind::Binary>;
        case AlphaKind::Partial:
            break;
    }
    return BlendRow<Op, AlphaKind::Partial>;
}
RowBlend RowBlendFor(Blend32 blend, AlphaKind alpha) {
    switch (blend.op) {
        case BlendOp::Copy:
            return RowBlendOf<RowOp::Copy>(alpha);
        case BlendOp::Add:
            if (blend.s == 256 && blend.d == 256) return RowBlendOf<RowOp::AddFull>(alpha);
            return blend.s == 256 && blend.d == 128 ? RowBlendOf<RowOp::AddHalf>(alpha)
                                                    : RowBlendOf<RowOp::Add>(alpha);
        case BlendOp::Sub:
            break;
    }
    return RowBlendOf<RowOp::Sub>(alpha);
}
// The alpha a source's pixels may have.
AlphaKind AlphaOf(const Source32& source) {
    if (!source.alpha) return AlphaKind::None;
    return source.kind == Source32::Kind::Rgb565 || (source.kind == Source32::Kind::Indexed && source.binary)
               ? AlphaKind::Binary
               : AlphaKind::Partial;
}

// Pixels gathered for the row blends, a chunk at a time (on the stack).
constexpr int64_t kChunk = 256;

// Each fetch reads one source pixel (At) or m consecutive ones, from column c on, rightwards or,
// with step -1, leftwards (Gather).
struct IndexedFetch {
    const Source32& s;
    const uint8_t* row = nullptr;
    void Row(int y) { row = s.bytes + static_cast<size_t>(y) * static_cast<size_t>(s.width); }
    uint32_t At(int x) const { return s.colours[row[x]]; }
    void Gather(int64_t c, int step, int64_t m, uint32_t* out) const {
        const uint8_t* in = row + c;
        const uint32_t* lut = s.colours.data();
        if (step == 1)
            for (int64_t k = 0; k < m; ++k) out[k] = lut[in[k]];
        else
            for (int64_t k = 0; k < m; ++k) out[k] = lut[*(in - k)];
    }
};
struct RgbaFetch {
    const Source32& s;
    const uint8_t* row = nullptr;
    void Row(int y) { row = s.bytes + static_cast<size_t>(y) * static_cast<size_t>(s.width) * 4; }
    uint32_t At(int x) const {
        const uint8_t* p = row + static_cast<size_t>(x) * 4;
        const uint32_t a = s.alpha ? p[3] : 255u;
        return a << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
    void Gather(int64_t c, int step, int64_t m, uint32_t* out) const {
        int64_t k = 0;
#if defined(__SSE2__)
        // Four at a time: bytes R G B A read as one little-endian word are A B G R; red and blue
        // change places, and the alpha is 255 unless it counts.
        const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
        const __m128i opaque = _mm_set1_epi32(s.alpha ? 0 : static_cast<int>(0xFF000000u));
        for (; k + 4 <= m; k += 4) {
            __m128i v;
            if (step == 1) {
                v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + static_cast<size_t>(c + k) * 4));
            } else {
                v = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(row + static_cast<size_t>(c - k - 3) * 4));
                v = _mm_shuffle_epi32(v, 0x1B);
            }
            const __m128i swapped =
                _mm_or_si128(_mm_and_si128(v, keep), _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low), 16),
                                                                  _mm_and_si128(_mm_srli_epi32(v, 16), low)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(swapped, opaque));
        }
#endif
        for (; k < m; ++k) out[k] = At(static_cast<int>(c + k * step));
    }
};
struct Rgb565Fetch {
    const Source32& s;
    const uint16_t* row = nullptr;
    void Row(int y) { row = s.pixels16 + static_cast<size_t>(y) * s.pitch16; }
    uint32_t At(int x) const {
        const uint16_t v = row[x];
        if (s.alpha && v == kMaskColor) return 0;
        return Expand565(v);
    }
    void Gather(int64_t c, int step, int64_t m, uint32_t* out) const {
        const uint16_t* in = row + c;
        int64_t k = 0;
#if defined(__SSE2__)
        // Eight at a time: the top bits of each channel repeated into its low ones, the mask colour
        // (when masked) cleared to alpha 0.
        const __m128i zero = _mm_setzero_si128();
        const __m128i mask = s.alpha ? _mm_set1_epi16(static_cast<short>(kMaskColor)) : zero;
        const __m128i keepAll = s.alpha ? zero : _mm_set1_epi16(-1);
        for (; k + 8 <= m; k += 8) {
            __m128i v;
            if (step == 1) {
                v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
            } else {
                v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in - k - 7));
                v = _mm_shufflelo_epi16(_mm_shufflehi_epi16(v, 0x1B), 0x1B);
                v = _mm_shuffle_epi32(v, 0x4E);
            }
            const __m128i r5 = _mm_srli_epi16(v, 11);
            const __m128i g6 = _mm_and_si128(_mm_srli_epi16(v, 5), _mm_set1_epi16(63));
            const __m128i b5 = _mm_and_si128(v, _mm_set1_epi16(31));
            const __m128i r = _mm_or_si128(_mm_slli_epi16(r5, 3), _mm_srli_epi16(r5, 2));
            const __m128i g = _mm_or_si128(_mm_slli_epi16(g6, 2), _mm_srli_epi16(g6, 4));
            const __m128i b = _mm_or_si128(_mm_slli_epi16(b5, 3), _mm_srli_epi16(b5, 2));
            // Alpha 255 unless the pixel is the mask colour of a masked source.
            const __m128i a = _mm_srli_epi16(
                _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi16(v, mask), _mm_set1_epi16(-1)), keepAll), 8);
            const __m128i gb = _mm_or_si128(_mm_slli_epi16(g, 8), b);  // 16 bits a pixel: g << 8 | b
            const __m128i ar = _mm_or_si128(_mm_slli_epi16(a, 8), r);  // a << 8 | r
            __m128i lo = _mm_unpacklo_epi16(gb, ar), hi = _mm_unpackhi_epi16(gb, ar);
            // A cleared pixel is 0 altogether, as At answers.
            lo = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_srli_epi32(lo, 24), zero), lo);
            hi = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_srli_epi32(hi, 24), zero), hi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), lo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 4), hi);
        }
#endif
        for (; k < m; ++k) out[k] = At(static_cast<int>(c + k * step));
    }
};

// An Rgb565 source through its 32-bit words: the mask colour has alpha 0, which only a masked draw
// reads (an unmasked one ignores the source's alpha).
struct WideFetch {
    const Source32& s;
    const uint32_t* row = nullptr;
    void Row(int y) { row = s.wide + static_cast<size_t>(y) * static_cast<size_t>(s.width); }
    uint32_t At(int x) const { return row[x]; }
    const uint32_t* Direct(int64_t c) const { return row + c; }
    void Gather(int64_t c, int step, int64_t m, uint32_t* out) const {
        const uint32_t* in = row + c;
        int64_t k = 0;
#if defined(__SSE2__)
        if (step == -1)
            for (; k + 4 <= m; k += 4)
                _mm_storeu_si128(
                    reinterpret_cast<__m128i*>(out + k),
                    _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in - k - 3)), 0x1B));
#endif
        for (; k < m; ++k) out[k] = in[k * step];
    }
};

// Source column of destination column x.
struct LinearCols {
    int64_t start;  // source column at x0
    int step;       // +1 or -1
    int64_t x0;
    int At(int64_t x) const { return static_cast<int>(start + (x - x0) * step); }
};
struct StretchedCols {
    int64_t dx;
    int64_t sw;
    int64_t dw;
    bool flip = false;
    int At(int64_t x) const {
        const int c = static_cast<int>((x - dx) * sw / dw);
        return flip ? static_cast<int>(sw) - 1 - c : c;
    }
};

// Source columns from a table made once per call, indexed from the span's first column.
struct TableCols {
    const int32_t* table;
    int64_t x0;
    int At(int64_t x) const { return table[x - x0]; }
};

struct Span {
    int64_t x0, x1, y0, y1;  // destination, clipped
    int64_t row0;            // source row at y0
    int rowStep;             // +1, -1, or 0 for a single row
};

// Every blend a row piece at a time: the source pixels gathered into a buffer (on the stack), then
// blended into the row by the vector loop.
template <class Fetch, class Cols>
int64_t Loop(Picture32& picture, Fetch fetch, const Cols& cols, const Span& span, RowBlend blend, int s,
             int d) {
    const int64_t n = span.x1 - span.x0;
    uint32_t buffer[kChunk];
    for (int64_t y = span.y0; y < span.y1; ++y) {
        fetch.Row(static_cast<int>(span.row0 + (y - span.y0) * span.rowStep));
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        if constexpr (std::is_same_v<Cols, LinearCols> && requires { fetch.Direct(0); }) {
            if (cols.step == 1) {
                blend(out, fetch.Direct(cols.At(span.x0)), n, s, d);
                continue;
            }
        }
        for (int64_t i = 0; i < n; i += kChunk) {
            const int64_t m = std::min(kChunk, n - i);
            if constexpr (std::is_same_v<Cols, LinearCols>) {
                fetch.Gather(cols.At(span.x0 + i), cols.step, m, buffer);
            } else if constexpr (std::is_same_v<Cols, TableCols>) {
                const int32_t* c = cols.table + (span.x0 - cols.x0) + i;
                for (int64_t k = 0; k < m; ++k) buffer[k] = fetch.At(c[k]);
            } else {
                for (int64_t k = 0; k < m; ++k) buffer[k] = fetch.At(cols.At(span.x0 + i + k));
            }
            blend(out + i, buffer, m, s, d);
        }
    }
    return n * (span.y1 - span.y0);
}

// Blends of a masked indexed picture through its runs of non-zero indices: colour 0 has alpha 0 there,
// so the holes the runs leave out are pixels the rule would leave alone.
int64_t LoopRuns(Picture32& picture, const Source32& src, const LinearCols& cols, const Span& span,
                 RowBlend blend, int s, int d) {
    const int64_t n = span.x1 - span.x0;
    const int64_t c0 = cols.At(span.x0);
    const int64_t lo = cols.step == 1 ? c0 : c0 - n + 1, hi = cols.step == 1 ? c0 + n : c0 + 1;
    uint32_t buffer[kChunk];
    for (int64_t y = span.y0; y < span.y1; ++y) {
        const size_t sy = static_cast<size_t>(span.row0 + (y - span.y0) * span.rowStep);
        const uint8_t* row = src.bytes + sy * static_cast<size_t>(src.width);
        const uint32_t* wide = src.expanded ? src.expanded + sy * static_cast<size_t>(src.width) : nullptr;
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        const uint16_t* run = src.runs + src.runRows[sy];
        const uint16_t* end = src.runs + src.runRows[sy + 1];
        for (; run != end && run[0] < hi; run += 2) {
            const int64_t a = std::max<int64_t>(run[0], lo), b = std::min<int64_t>(run[1], hi);
            if (a >= b) continue;
            if (cols.step == 1 && wide) {
                // Inside a run the prepared colours are the source's own.
                blend(out + (a - c0), wide + a, b - a, s, d);
                continue;
            }
            // Source columns [a, b) land on [a - c0, b - c0) of the span, or mirrored on
            // [c0 - b + 1, c0 - a + 1) from the last column down.
            for (int64_t c = a; c < b; c += kChunk) {
                const int64_t m = std::min(kChunk, b - c);
                if (cols.step == 1) {
                    for (int64_t k = 0; k < m; ++k) buffer[k] = src.colours[row[c + k]];
                    blend(out + (c - c0), buffer, m, s, d);
                } else {
                    const int64_t last = b - 1 - (c - a);  // this piece's columns last, last - 1, ...
                    for (int64_t k = 0; k < m; ++k) buffer[k] = src.colours[row[last - k]];
                    blend(out + (c0 - last), buffer, m, s, d);
                }
            }
        }
    }
    return n * (span.y1 - span.y0);
}

template <class Fetch, class Cols>
int64_t Dispatch(Picture32& picture, Fetch fetch, AlphaKind alpha, const Cols& cols, const Span& span,
                 Blend32 b) {
    return Loop(picture, fetch, cols, span, RowBlendFor(b, alpha), b.s, b.d);
}

#if defined(__x86_64__) && defined(__GNUC__)
// One run of prepared colours, m ≥ 1 pixels, without a library call: stage art is thousands of runs a
// frame of a few hundred bytes each, where the call and its size dispatch cost more than the copy.
// The last piece overlaps the one before it (source and picture never overlap); long runs go to
// memcpy, which knows how to stream them.
QB_AVX2 inline void CopyRunAvx2(uint32_t* out, const uint32_t* in, int64_t m) {
    if (m >= 8) {
        if (m > 1024) {
            std::memcpy(out, in, static_cast<size_t>(m) * 4);
            return;
        }
        int64_t k = 0;
        for (; k + 16 <= m; k += 16) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 8));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), a);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k + 8), b);
        }
        if (k + 8 <= m) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k)));
        }
        if (m % 8 != 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + m - 8),
                                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + m - 8)));
        }
    } else if (m >= 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + m - 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + m - 4), b);
    } else {
        const uint32_t first = in[0], middle = in[m / 2], last = in[m - 1];
        out[0] = first;
        out[m / 2] = middle;
        out[m - 1] = last;
    }
}

// CopyRuns of prepared colours, unmirrored, with the run copies inline.
QB_AVX2 void CopyWideRunsAvx2(Picture32& picture, const Source32& s, int64_t c0, int64_t hi, const Span& span) {
    const size_t width = static_cast<size_t>(s.width);
    for (int64_t y = span.y0; y < span.y1; ++y) {
        const size_t sy = static_cast<size_t>(span.row0 + (y - span.y0) * span.rowStep);
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        const uint32_t* in = s.expanded + sy * width;
        const uint16_t* run = s.runs + s.runRows[sy];
        const uint16_t* end = s.runs + s.runRows[sy + 1];
        for (; run != end && run[0] < hi; run += 2) {
            const int64_t a = std::max<int64_t>(run[0], c0), b = std::min<int64_t>(run[1], hi);
            if (a < b) CopyRunAvx2(out + (a - c0), in + a, b - a);
        }
    }
}
#endif

// A masked copy through the picture's runs of non-zero indices: holes cost nothing, and inside a run
// every colour is opaque, so each pixel is a look-up and a store.
int64_t CopyRuns(Picture32& picture, const Source32& s, const LinearCols& cols, const Span& span) {
    const int64_t n = span.x1 - span.x0;
    const uint32_t* lut = s.colours.data();
    const int64_t c0 = cols.At(span.x0);
    // Source columns [lo, hi) land in this span: c0 onwards, or c0 downwards when mirrored.
    const int64_t lo = cols.step == 1 ? c0 : c0 - n + 1, hi = cols.step == 1 ? c0 + n : c0 + 1;
    const uint32_t* wide = s.expanded;
#if defined(__x86_64__) && defined(__GNUC__)
    if (cols.step == 1 && wide && __builtin_cpu_supports("avx2")) {
        CopyWideRunsAvx2(picture, s, c0, hi, span);
        return n * (span.y1 - span.y0);
    }
#endif
    for (int64_t y = span.y0; y < span.y1; ++y) {
        const size_t sy = static_cast<size_t>(span.row0 + (y - span.y0) * span.rowStep);
        const uint8_t* row = s.bytes + sy * static_cast<size_t>(s.width);
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        const uint16_t* run = s.runs + s.runRows[sy];
        const uint16_t* end = s.runs + s.runRows[sy + 1];
        for (; run != end; run += 2) {
            const int64_t a = std::max<int64_t>(run[0], lo), b = std::min<int64_t>(run[1], hi);
            if (run[0] >= hi) break;
            if (a >= b) continue;
            if (cols.step == 1 && wide) {
                std::memcpy(out + (a - c0), wide + sy * static_cast<size_t>(s.width) + a,
                            static_cast<size_t>(b - a) * 4);
            } else if (cols.step == 1) {
                uint32_t* o = out + (a - c0);
                const uint8_t* in = row + a;
                const int64_t m = b - a;
                for (int64_t k = 0; k < m; ++k) o[k] = lut[in[k]];
            } else {
                uint32_t* o = out + (c0 - a);
                const uint8_t* in = row + a;
                const int64_t m = b - a;
                for (int64_t k = 0; k < m; ++k) *(o - k) = lut[in[k]];
            }
        }
    }
    return n * (span.y1 - span.y0);
}

// Copies of an indexed picture whose colours are opaque but a masked colour 0: a look-up and a store
// a pixel, colour 0 skipped by its index (the common case of stage art).
int64_t CopyBinary(Picture32& picture, const Source32& s, const LinearCols& cols, const Span& span) {
    if (s.masked && s.runs) return CopyRuns(picture, s, cols, span);
    const int64_t n = span.x1 - span.x0;
    const uint32_t* lut = s.colours.data();
    for (int64_t y = span.y0; y < span.y1; ++y) {
        const uint8_t* row = s.bytes + static_cast<size_t>(span.row0 + (y - span.y0) * span.rowStep) *
                                           static_cast<size_t>(s.width);
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        const uint8_t* in = row + cols.At(span.x0);
        if (cols.step == 1) {
            if (s.masked) {
                // Eight indices at a time: runs wholly of colour 0 are skipped and runs without it
                // copied without a test per pixel; only the edges between them are looked at one by one.
                int64_t i = 0;
                for (; i + 8 <= n; i += 8) {
                    uint64_t v;
                    std::memcpy(&v, in + i, 8);
                    if (v == 0) continue;
                    const bool hasZero = ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
                    if (!hasZero) {
                        for (int k = 0; k < 8; ++k) out[i + k] = lut[in[i + k]] | 0xFF000000u;
                    } else {
                        for (int k = 0; k < 8; ++k)
                            if (const uint8_t c = in[i + k]) out[i + k] = lut[c] | 0xFF000000u;
                    }
                }
                for (; i < n; ++i)
                    if (const uint8_t v = in[i]) out[i] = lut[v] | 0xFF000000u;
            } else if (s.expanded) {
                std::memcpy(out, s.expanded + (in - s.bytes), static_cast<size_t>(n) * 4);
            } else {
                for (int64_t i = 0; i < n; ++i) out[i] = lut[in[i]] | 0xFF000000u;
            }
        } else {
            for (int64_t i = 0; i < n; ++i) {
                const uint8_t v = *(in - i);
                if (v || !s.masked) out[i] = lut[v] | 0xFF000000u;
            }
        }
    }
    return n * (span.y1 - span.y0);
}

// A scaled copy of an indexed picture whose colours are opaque but a masked colour 0: a table look-up,
// a colour look-up and a store a pixel (the usual zoomed stage art).
int64_t CopyBinaryTable(Picture32& picture, const Source32& s, const TableCols& cols, const Span& span) {
    const int64_t n = span.x1 - span.x0;
    const uint32_t* lut = s.colours.data();
    const int32_t* c = cols.table + (span.x0 - cols.x0);
    if (s.masked && s.runs && n > 0) {
        // Through the row's runs of non-zero indices: the holes cost nothing and a run needs no test
        // per pixel. The table rises (falls when mirrored), so the columns showing a run are one
        // stretch of it, found by bisection.
        const bool rising = c[n - 1] >= c[0];
        auto firstShowing = [&](int32_t col) -> int64_t {  // first i whose column is col or beyond it
            return rising ? std::lower_bound(c, c + n, col) - c
                          : std::lower_bound(c, c + n, col, std::greater<int32_t>()) - c;
        };
        const size_t sy = static_cast<size_t>(span.row0);
        const uint8_t* row = s.bytes + sy * static_cast<size_t>(s.width);
        const uint16_t* run = s.runs + s.runRows[sy];
        const uint16_t* end = s.runs + s.runRows[sy + 1];
        for (; run != end; run += 2) {
            // Rising: columns [run0, run1) are i in [first(run0), first(run1)); falling: columns
            // run1 - 1 down to run0 are i in [first(run1 - 1), first(run0 - 1)).
            const int64_t i0 = rising ? firstShowing(run[0]) : firstShowing(run[1] - 1);
            const int64_t i1 = rising ? firstShowing(run[1]) : firstShowing(static_cast<int32_t>(run[0]) - 1);
            if (i0 >= i1) continue;
            for (int64_t y = span.y0; y < span.y1; ++y) {
                uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
                for (int64_t i = i0; i < i1; ++i) out[i] = lut[row[c[i]]] | 0xFF000000u;
            }
        }
        return n * (span.y1 - span.y0);
    }
    for (int64_t y = span.y0; y < span.y1; ++y) {
        const uint8_t* in = s.bytes + static_cast<size_t>(span.row0 + (y - span.y0) * span.rowStep) *
                                          static_cast<size_t>(s.width);
        uint32_t* out = picture.Row(static_cast<int>(y)) + span.x0;
        if (s.masked) {
            // A select rather than a branch: holes and colours alternate unpredictably.
            for (int64_t i = 0; i < n; ++i) {
                const uint8_t v = in[c[i]];
                out[i] = v ? lut[v] | 0xFF000000u : out[i];
            }
        } else {
            for (int64_t i = 0; i < n; ++i) out[i] = lut[in[c[i]]] | 0xFF000000u;
        }
    }
    return n * (span.y1 - span.y0);
}

template <class Cols>
int64_t Run(Picture32& picture, const Source32& source, const Cols& cols, const Span& span, Blend32 blend) {
    if (span.x0 >= span.x1 || span.y0 >= span.y1) return 0;
    if constexpr (std::is_same_v<Cols, TableCols>) {
        if (source.kind == Source32::Kind::Indexed && source.binary && blend.op == BlendOp::Copy)
            return CopyBinaryTable(picture, source, cols, span);
    }
    if constexpr (std::is_same_v<Cols, LinearCols>) {
        if (source.kind == Source32::Kind::Indexed && source.binary && blend.op == BlendOp::Copy)
            return CopyBinary(picture, source, cols, span);
    }
    if constexpr (std::is_same_v<Cols, LinearCols>) {
        if (source.kind == Source32::Kind::Indexed && source.masked && source.runs)
            return LoopRuns(picture, source, cols, span,
                            RowBlendFor(blend, source.binary ? AlphaKind::Binary : AlphaKind::Partial),
                            blend.s, blend.d);
    }
    switch (source.kind) {
        case Source32::Kind::Indexed:
            return Dispatch(picture, IndexedFetch{source}, AlphaOf(source), cols, span, blend);
        case Source32::Kind::Rgba:
            return Dispatch(picture, RgbaFetch{source}, AlphaOf(source), cols, span, blend);
        case Source32::Kind::Rgb565:
            if (source.wide) return Dispatch(picture, WideFetch{source}, AlphaOf(source), cols, span, blend);
            return Dispatch(picture, Rgb565Fetch{source}, AlphaOf(source), cols, span, blend);
        case Source32::Kind::None:
            break;
    }
    return 0;
}

Clip32 Intersect(Clip32 clip, const Picture32& picture) {
    clip.left = std::max({clip.left, 0, picture.ClipLeft});
    clip.top = std::max({clip.top, 0, picture.ClipTop});
    clip.right = std::min({clip.right, picture.Width, picture.ClipRight});
    clip.bottom = std::min({clip.bottom, picture.Height, picture.ClipBottom});
    return clip;
}

// The turn of ComposeRotated: where the centre of destination pixel (x0, y) finds itself in the
// source, and how far one destination pixel to the right moves it there.
struct Turn {
    double atX, atY, axisX, axisY;
    double cosA, sinA;
    double invX, invY;  // mirror / scale, per axis
    int width, height;
    // The column each row's stepping starts from: where the rectangle starts within the element's
    // own clip, whatever part of it is drawn, so that a redraw of part of the picture finds the
    // same source pixels as the whole frame did.
    int64_t baseX;
};

template <BlendOp Op, bool Alpha, class Fetch>
int64_t TurnLoop(Picture32& picture, Fetch fetch, const Turn& t, int64_t x0, int64_t x1, int64_t y0,
                 int64_t y1, int s, int d) {
    const double du = t.cosA * t.invX, dv = t.sinA * t.invY;
    for (int64_t y = y0; y < y1; ++y) {
        const double px = static_cast<double>(t.baseX) + 0.5 - t.atX, py = static_cast<double>(y) + 0.5 - t.atY;
        const double u0 = (px * t.cosA - py * t.sinA) * t.invX + t.axisX;
        const double v0 = (px * t.sinA + py * t.cosA) * t.invY + t.axisY;
        uint32_t* out = picture.Row(static_cast<int>(y));
        for (int64_t x = x0; x < x1; ++x) {
            const double i = static_cast<double>(x - t.baseX);
            const double u = u0 + i * du, v = v0 + i * dv;
            if (!(u >= 0 && u < t.width && v >= 0 && v < t.height)) continue;
            fetch.Row(static_cast<int>(v));
            Put<Op, Alpha>(out[x], fetch.At(static_cast<int>(u)), s, d);
        }
    }
    return (x1 - x0) * (y1 - y0);
}

template <class Fetch>
int64_t TurnDispatch(Picture32& picture, Fetch fetch, bool alpha, const Turn& t, int64_t x0, int64_t x1,
                     int64_t y0, int64_t y1, Blend32 b) {
    switch (b.op) {
        case BlendOp::Copy:
            return alpha ? TurnLoop<BlendOp::Copy, true>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d)
                         : TurnLoop<BlendOp::Copy, false>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d);
        case BlendOp::Add:
            return alpha ? TurnLoop<BlendOp::Add, true>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d)
                         : TurnLoop<BlendOp::Add, false>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d);
        case BlendOp::Sub:
            return alpha ? TurnLoop<BlendOp::Sub, true>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d)
                         : TurnLoop<BlendOp::Sub, false>(picture, fetch, t, x0, x1, y0, y1, b.s, b.d);
    }
    return 0;
}

// Cosine and sine of a turn in degrees, exact at the quarter turns (so 90 and 180 land pixel for pixel).
void CosSin(double degrees, double& c, double& s) {
    const double a = std::fmod(degrees, 360.0);
    if (std::fmod(a, 90.0) == 0) {
        static constexpr double kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
        const int q = (static_cast<int>(a / 90) % 4 + 4) % 4;
        c = kCos[q];
        s = kSin[q];
        return;
    }
    const double r = a * 3.14159265358979323846 / 180;
    c = std::cos(r);
    s = std::sin(r);
}

bool ParseNumber(const std::string& text, size_t& pos, int& value) {
    // Saturates rather than reading a few digits: "as0000001d0" is 1, and any long number clamps later.
    const size_t start = pos;
    value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = std::min(value * 10 + (text[pos] - '0'), 1000000);
    return pos != start;
}

}  // namespace

uint32_t BlendPixel(uint32_t src, uint32_t dst, Blend32 blend) {
    if (blend.skip) return dst;
    switch (blend.op) {
        case BlendOp::Copy:
            Put<BlendOp::Copy, true>(dst, src, blend.s, blend.d);
            break;
        case BlendOp::Add:
            Put<BlendOp::Add, true>(dst, src, blend.s, blend.d);
            break;
        case BlendOp::Sub:
            Put<BlendOp::Sub, true>(dst, src, blend.s, blend.d);
            break;
    }
    return dst;
}

Blend32 ElementBlend32(const std::string& trans, int alphaS, int alphaD) {
    const bool hasAlpha = alphaS >= 0;
    const int s = ClampWeight(alphaS), d = ClampWeight(std::max(alphaD, 0));
    if (trans.empty() || trans == "none" || trans == "default") return {};
    if (trans == "add") return hasAlpha ? Blend32{BlendOp::Add, s, d} : Blend32{BlendOp::Add, 256, 256};
    if (trans == "add1") return hasAlpha ? Blend32{BlendOp::Add, s, d} : Blend32{BlendOp::Add, 256, 128};
    if (trans == "addalpha") return hasAlpha ? Blend32{BlendOp::Add, s, d} : Blend32{BlendOp::Add, 256, 0};
    if (trans == "sub") return {BlendOp::Sub, 256, 256};
    Blend32 unknown;
    unknown.skip = true;
    return unknown;
}

Blend32 FrameBlend32(const std::string& letters) {
    // The definition reader hands values over in lower case; frames coming from elsewhere (the
    // editor, tests) may still write "AS128D128" as the engine's documents do.
    std::string trans(letters);
    for (char& c : trans)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (trans.empty()) return {};
    if (trans == "a") return {BlendOp::Add, 256, 256};
    if (trans == "a1") return {BlendOp::Add, 256, 128};
    // The engine subtracts for any word that starts with S ("sub" as well as "s").
    if (trans[0] == 's') return {BlendOp::Sub, 256, 256};
    if (trans.size() > 2 && trans[0] == 'a' && trans[1] == 's') {
        size_t pos = 2;
        int s = 0, d = 0;
        if (ParseNumber(trans, pos, s) && pos < trans.size() && trans[pos] == 'd') {
            ++pos;
            ParseNumber(trans, pos, d);
            return {BlendOp::Add, ClampWeight(s), ClampWeight(d)};
        }
    }
    Blend32 unknown;
    unknown.skip = true;
    return unknown;
}

Blend32 AnimBlend32(const BgElement& element, float mugenVersion, Blend32 frameBlend) {
    const std::string& trans = element.Trans;
    const bool keepsFrames = trans.empty() || trans == "default" || (trans == "none" && mugenVersion < 1.0f);
    return keepsFrames ? frameBlend : ElementBlend32(trans, element.AlphaS, element.AlphaD);
}

bool ModernMask(const BgElement& element) {
    if (element.Type == "anim") return true;
    if (element.MaskKey >= 0) return element.MaskKey != 0;
    return element.Trans == "add" || element.Trans == "add1" || element.Trans == "sub";
}

Source32 MakeSource32(const SpriteEntry& sprite, bool masked) {
    Source32 source;
    if (sprite.Picture && sprite.Picture->bytes) {
        const Sff2Picture& picture = *sprite.Picture;
        source.width = picture.width;
        source.height = picture.height;
        source.bytes = picture.bytes.get();
        if (picture.rgba) {
            source.kind = Source32::Kind::Rgba;
            source.alpha = masked;
            return source;
        }
        source.kind = Source32::Kind::Indexed;
        // Every draw makes its table: the bytes R G B A of each colour, read as one little-endian
        // word (A B G R), with red and blue changing places; the alphas of colours 1-255 gathered
        // by one AND.
        uint32_t* out = source.colours.data();
        uint32_t alphas = 0xFFFFFFFFu;  // of colours 1-255
        if (sprite.Colours) {
            const uint8_t* rgba = sprite.Colours->rgba.data();
            size_t c = 0;
#if defined(__SSE2__)
            const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
            __m128i all = _mm_set1_epi32(-1);
            for (; c < 256; c += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + c * 4));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c),
                                 _mm_or_si128(_mm_and_si128(v, keep),
                                              _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low), 16),
                                                           _mm_and_si128(_mm_srli_epi32(v, 16), low))));
                all = _mm_and_si128(all, c == 0 ? _mm_or_si128(v, _mm_cvtsi32_si128(-1)) : v);
            }
            alignas(16) uint32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), all);
            alphas = lanes[0] & lanes[1] & lanes[2] & lanes[3];
#endif
            for (; c < 256; ++c) {
                uint32_t v;
                std::memcpy(&v, rgba + c * 4, 4);
                out[c] = (v & 0xFF00FF00u) | (v & 0xFFu) << 16 | (v >> 16 & 0xFFu);
                if (c > 0) alphas &= v;
            }
        } else {
            // A grey ramp, every colour opaque.
            for (uint32_t c = 0; c < 256; ++c) out[c] = 0xFF000000u | c * 0x010101u;
        }
        const bool opaqueFrom1 = (alphas >> 24) == 255, opaque0 = (out[0] >> 24) == 255;
        const bool partial = masked || !opaqueFrom1 || !opaque0;
        source.binary = opaqueFrom1 && (masked || opaque0);
        if (masked) source.colours[0] &= 0x00FFFFFFu;
        source.masked = masked;
        source.alpha = partial;
        if (source.binary && sprite.Expanded && sprite.Expanded->size() == picture.size)
            source.expanded = sprite.Expanded->data();
        if (!picture.runRows.empty()) {
            source.runRows = picture.runRows.data();
            source.runs = picture.runs.data();
        }
        return source;
    }
    if (sprite.Bitmap) {
        source.kind = Source32::Kind::Rgb565;
        source.width = BitmapWidth(sprite.Bitmap);
        source.height = BitmapHeight(sprite.Bitmap);
        source.pixels16 = BitmapRow(sprite.Bitmap, 0);
        if (sprite.Expanded &&
            sprite.Expanded->size() == static_cast<size_t>(source.width) * static_cast<size_t>(source.height))
            source.wide = sprite.Expanded->data();
        source.pitch16 = source.height > 1
                             ? static_cast<size_t>(BitmapRow(sprite.Bitmap, 1) - BitmapRow(sprite.Bitmap, 0))
                             : static_cast<size_t>(source.width);
        source.alpha = masked;
    }
    return source;
}

int64_t ComposeRect(Picture32& picture, const Source32& source, int sx, int sy, int w, int h, int64_t dx,
                    int64_t dy, bool flipH, bool flipV, Blend32 blend, Clip32 clip) {
    if (blend.skip || source.kind == Source32::Kind::None) return 0;
    // Keep the rectangle inside the source; with a mirror the trimmed columns come off the other side.
    int64_t sx0 = std::max(sx, 0), sx1 = std::min<int64_t>(int64_t{sx} + w, source.width);
    int64_t sy0 = std::max(sy, 0), sy1 = std::min<int64_t>(int64_t{sy} + h, source.height);
    if (sx0 >= sx1 || sy0 >= sy1) return 0;
    dx += flipH ? (int64_t{sx} + w - sx1) : (sx0 - sx);
    dy += flipV ? (int64_t{sy} + h - sy1) : (sy0 - sy);
    const int64_t rw = sx1 - sx0, rh = sy1 - sy0;
    clip = Intersect(clip, picture);
    Span span{std::max<int64_t>(dx, clip.left),
              std::min<int64_t>(dx + rw, clip.right),
              std::max<int64_t>(dy, clip.top),
              std::min<int64_t>(dy + rh, clip.bottom),
              0,
              1};
    if (span.x0 >= span.x1 || span.y0 >= span.y1) return 0;
    span.row0 = flipV ? sy1 - 1 - (span.y0 - dy) : sy0 + (span.y0 - dy);
    span.rowStep = flipV ? -1 : 1;
    LinearCols cols{flipH ? sx1 - 1 - (span.x0 - dx) : sx0 + (span.x0 - dx), flipH ? -1 : 1, span.x0};
    return Run(picture, source, cols, span, blend);
}

int64_t ComposeStretchedRow(Picture32& picture, const Source32& source, int sy, int64_t dx, int64_t dw,
                            int dy, Blend32 blend, Clip32 clip) {
    if (blend.skip || source.kind == Source32::Kind::None || dw <= 0) return 0;
    if (sy < 0 || sy >= source.height || source.width <= 0) return 0;
    clip = Intersect(clip, picture);
    if (dy < clip.top || dy >= clip.bottom) return 0;
    Span span{
        std::max<int64_t>(dx, clip.left), std::min<int64_t>(dx + dw, clip.right), dy, int64_t{dy} + 1, sy, 0};
    StretchedCols cols{dx, source.width, dw};
    return Run(picture, source, cols, span, blend);
}

int64_t ComposeScaled(Picture32& picture, const Source32& source, int64_t dx, int64_t dy, int64_t dw,
                      int64_t dh, bool flipH, Blend32 blend, Clip32 clip) {
    if (blend.skip || source.kind == Source32::Kind::None || dw <= 0 || dh <= 0) return 0;
    if (source.width <= 0 || source.height <= 0) return 0;
    clip = Intersect(clip, picture);
    const int64_t y0 = std::max<int64_t>(dy, clip.top), y1 = std::min<int64_t>(dy + dh, clip.bottom);
    const int64_t x0 = std::max<int64_t>(dx, clip.left), x1 = std::min<int64_t>(dx + dw, clip.right);
    if (x0 >= x1 || y0 >= y1) return 0;
    // Every row shows the same source columns: a division each, worked out once for the call.
    const StretchedCols stretched{dx, source.width, dw, flipH};
    std::vector<int32_t> columns(static_cast<size_t>(x1 - x0));
    for (int64_t x = x0; x < x1; ++x) columns[static_cast<size_t>(x - x0)] = stretched.At(x);
    const TableCols cols{columns.data(), x0};
    int64_t written = 0;
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t sy = (y - dy) * source.height / dh;
        Span span{x0, x1, y, y + 1, sy, 0};
        written += Run(picture, source, cols, span, blend);
    }
    return written;
}

int64_t ComposeRotated(Picture32& picture, const Source32& source, double atX, double atY, double axisX,
                       double axisY, double scaleX, double scaleY, double angle, bool flipH, bool flipV,
                       Blend32 blend, Clip32 clip) {
    if (blend.skip || source.kind == Source32::Kind::None || source.width <= 0 || source.height <= 0)
        return 0;
    for (double v : {atX, atY, axisX, axisY, scaleX, scaleY, angle})
        if (!std::isfinite(v)) return 0;
    if (scaleX == 0 || scaleY == 0) return 0;
    Turn t{atX, atY, axisX, axisY, 1, 0, 1, 1, source.width, source.height, 0};
    t.invX = (flipH ? -1 : 1) / scaleX;
    t.invY = (flipV ? -1 : 1) / scaleY;
    CosSin(angle, t.cosA, t.sinA);
    if (!std::isfinite(t.invX) || !std::isfinite(t.invY)) return 0;
    // The turned rectangle's bounds: its four corners carried forward (mirror, scale, turn).
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (double cu : {-axisX, source.width - axisX})
        for (double cv : {-axisY, source.height - axisY}) {
            const double u = (flipH ? -cu : cu) * scaleX, v = (flipV ? -cv : cv) * scaleY;
            const double x = atX + u * t.cosA + v * t.sinA, y = atY - u * t.sinA + v * t.cosA;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    // Clamped while still doubles: a scale of 1e9 reaches far past any integer (a corner past the
    // picture's far side draws nothing, and NaN nothing either).
    const auto bounded = [](double v) { return v > -1e15 ? (v < 1e15 ? v : 1e15) : -1e15; };
    const auto lo = [&](double v, int edge) {
        return static_cast<int64_t>(std::max(bounded(std::floor(v)), double(edge)));
    };
    const auto hi = [&](double v, int edge) {
        return static_cast<int64_t>(std::min(bounded(std::ceil(v)), double(edge)));
    };
    t.baseX = lo(minX, std::max(clip.left, 0));
    clip = Intersect(clip, picture);
    const int64_t x0 = lo(minX, clip.left), x1 = hi(maxX, clip.right);
    const int64_t y0 = lo(minY, clip.top), y1 = hi(maxY, clip.bottom);
    if (x0 >= x1 || y0 >= y1) return 0;
    switch (source.kind) {
        case Source32::Kind::Indexed:
            return TurnDispatch(picture, IndexedFetch{source}, source.alpha, t, x0, x1, y0, y1, blend);
        case Source32::Kind::Rgba:
            return TurnDispatch(picture, RgbaFetch{source}, source.alpha, t, x0, x1, y0, y1, blend);
        case Source32::Kind::Rgb565:
            if (source.wide)
                return TurnDispatch(picture, WideFetch{source}, source.alpha, t, x0, x1, y0, y1, blend);
            return TurnDispatch(picture, Rgb565Fetch{source}, source.alpha, t, x0, x1, y0, y1, blend);
        case Source32::Kind::None:
            break;
    }
    return 0;
}

int64_t ComposeScaledRect(Picture32& picture, const Source32& source, int sx, int sy, int sw, int sh, int64_t dx,
                          int64_t dy, int64_t dw, int64_t dh, bool flipH, bool flipV, Blend32 blend, Clip32 clip) {
    if (blend.skip || source.kind == Source32::Kind::None || dw <= 0 || dh <= 0) return 0;
    // Keep the rectangle inside the source (a window may ask for parts beyond it).
    if (sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || int64_t{sx} + sw > source.width ||
        int64_t{sy} + sh > source.height)
        return 0;
    clip = Intersect(clip, picture);
    const int64_t x0 = std::max<int64_t>(dx, clip.left), x1 = std::min<int64_t>(dx + dw, clip.right);
    const int64_t y0 = std::max<int64_t>(dy, clip.top), y1 = std::min<int64_t>(dy + dh, clip.bottom);
    if (x0 >= x1 || y0 >= y1) return 0;
    // Column i of the destination shows source column floor((x0 + i - dx) * sw / dw): stepped by the
    // whole and the remainder of sw / dw, so the only divisions are these two. The clip keeps the
    // span within the picture (at most 4096 wide).
    constexpr int64_t kMaxSpan = 4096;
    int32_t table[kMaxSpan];
    const int64_t n = std::min(x1 - x0, kMaxSpan);
    const int64_t q = (x0 - dx) * sw;
    int64_t c = q / dw, rem = q % dw;
    const int64_t whole = sw / dw, part = sw % dw;
    for (int64_t i = 0; i < n; ++i) {
        table[i] = static_cast<int32_t>(flipH ? sx + sw - 1 - c : sx + c);
        c += whole;
        rem += part;
        if (rem >= dw) {
            rem -= dw;
            ++c;
        }
    }
    const TableCols cols{table, x0};
    int64_t written = 0;
    // Consecutive destination rows that show the same source row go in one call.
    int64_t y = y0;
    while (y < y1) {
        const int64_t r = (y - dy) * sh / dh;
        int64_t next = ((r + 1) * dh + sh - 1) / sh + dy;  // first row showing source row r + 1
        next = std::clamp(next, y + 1, y1);
        Span span{x0, x0 + n, y, next, flipV ? sy + sh - 1 - r : sy + r, 0};
        written += Run(picture, source, cols, span, blend);
        y = next;
    }
    return written;
}

}  // namespace qb
