// The blend rows written by different means, side by side on the same pixels: our production loops
// (through ComposeRect, as a stage draw reaches them), the scalar rule they are held to (BlendPixel a
// pixel), GCC's vector extensions, and Highway, xsimd and pixman where they are installed. "hwy" is
// Highway's own run-time choice (named in the context lines), "hwy_avx2" and "hwy_sse4" its kernels
// for those instruction sets called directly, the last standing for processors without AVX2. The
// weighted adds of the libraries work in 16-bit lanes: source·s and destination·d each fit, and their
// sum added with saturation, shifted by 8, is the engine's clamped channel. Sources are prepared
// 32-bit words (0xAARRGGBB) drawn whole onto an opaque picture of the same size, 640 × 480 (source,
// picture and its saved copy stay in the cache between rounds) and 1280 × 720. Before a variant is
// timed its picture is compared with the scalar rule's: a difference aborts the run, unless the
// variant's name says "not_exact", and then the share of pixels that differ and the largest channel
// difference are reported with it.
// Counters: ns_per_row (one destination row), GBps (destination bytes a second), vs_memcpy (one
// draw's time over a memcpy of the picture timed in the same run).
#include <cstdint>
#include <type_traits>

#if !defined(QB_BLEND_MEANS_COMMON)
#define QB_BLEND_MEANS_COMMON
namespace qbm {
// What one row operation does: the add of 256,256 (a byte-wise saturating add), an add with other
// weights, a subtraction, a copy mixed by the source's own alpha, and the add of a masked source
// (alpha 0 leaves the picture alone).
enum Mode : int { kAddFull, kAddWeighted, kSub, kOver, kAddMasked };
// Calls `rows` with the mode as a constant: each means' loops are a template on it.
template <class Rows>
decltype(auto) ByMode(Mode mode, Rows rows) {
    switch (mode) {
        case kAddFull:
            return rows(std::integral_constant<Mode, kAddFull>{});
        case kAddWeighted:
            return rows(std::integral_constant<Mode, kAddWeighted>{});
        case kSub:
            return rows(std::integral_constant<Mode, kSub>{});
        case kOver:
            return rows(std::integral_constant<Mode, kOver>{});
        default:
            return rows(std::integral_constant<Mode, kAddMasked>{});
    }
}
// xsimd's rows on AVX2, whole vectors only: answers how many pixels it drew (the rest is the caller's).
int64_t XsimdRowAvx2(Mode mode, uint32_t* out, const uint32_t* src, int64_t n, int s, int d);
}  // namespace qbm
#endif

#if defined(QB_BLEND_MEANS_XSIMD_AVX2)
// This file once more, compiled by itself with -mavx2: xsimd fixes its instruction set when it is
// compiled, so its AVX2 rows need a file of their own, and nothing else is in it (an inline function
// shared with the other files would be AVX2 code there too).
#include <xsimd/xsimd.hpp>

namespace qbm {
namespace {
using A = xsimd::avx2;
using B32 = xsimd::batch<uint32_t, A>;
using B16 = xsimd::batch<uint16_t, A>;
using B8 = xsimd::batch<uint8_t, A>;

// As Mix16 below: the products summed with saturation.
B16 Mix(B16 x, B16 y, B16 ws, B16 wd) {
    return xsimd::sadd(x * ws, y * wd) >> 8;
}

template <int M>
int64_t Rows(uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    const B32 opaque(0xFF000000u);
    const B16 low(0xFF);
    int64_t i = 0;
    for (; i + static_cast<int64_t>(B32::size) <= n; i += static_cast<int64_t>(B32::size)) {
        const B32 a = B32::load_unaligned(src + i), b = B32::load_unaligned(out + i);
        B32 r;
        if constexpr (M == kAddFull) {
            r = xsimd::bitwise_cast<B32>(xsimd::sadd(xsimd::bitwise_cast<B8>(a), xsimd::bitwise_cast<B8>(b))) | opaque;
        } else if constexpr (M == kSub) {
            r = xsimd::bitwise_cast<B32>(xsimd::ssub(xsimd::bitwise_cast<B8>(b), xsimd::bitwise_cast<B8>(a))) | opaque;
        } else if constexpr (M == kAddMasked) {
            const B32 shown = xsimd::select((a >> 24) == B32(0u), B32(0u), a);
            r = xsimd::bitwise_cast<B32>(xsimd::sadd(xsimd::bitwise_cast<B8>(b), xsimd::bitwise_cast<B8>(shown)));
        } else {
            B16 ws(static_cast<uint16_t>(s)), wd(static_cast<uint16_t>(d));
            if constexpr (M == kOver) {
                const B32 alpha = a >> 24, w = alpha + (alpha >> 7);
                ws = xsimd::bitwise_cast<B16>(w | (w << 16));
                wd = B16(256) - ws;
            }
            const B16 a16 = xsimd::bitwise_cast<B16>(a), b16 = xsimd::bitwise_cast<B16>(b);
            const B16 even = Mix(a16 & low, b16 & low, ws, wd), odd = Mix(a16 >> 8, b16 >> 8, ws, wd);
            r = xsimd::bitwise_cast<B32>(even | (odd << 8)) | opaque;
        }
        r.store_unaligned(out + i);
    }
    return i;
}
}  // namespace

int64_t XsimdRowAvx2(Mode mode, uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    return ByMode(mode, [&](auto m) { return Rows<decltype(m)::value>(out, src, n, s, d); });
}
}  // namespace qbm

#else

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/memcpy_floor.h"
#include "render/compose32.h"

#if defined(QB_HAVE_HWY)
// Highway compiles the kernels below once per instruction set and picks one at run time; this file
// is read again for each of them.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "bench/blend_means_bench.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>
#endif

#if defined(QB_HAVE_HWY)
HWY_BEFORE_NAMESPACE();
namespace qbm {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET != HWY_SCALAR
// (x·ws + y·wd) >> 8 clamped to 255, in 16-bit lanes: each product fits (255·256), and their sum
// added with saturation is either exact (and then at most 255 after the shift) or 65535, which
// shifts to 255.
template <class D, class V>
HWY_INLINE V Mix16(D, V x, V y, V ws, V wd) {
    return hn::ShiftRight<8>(hn::SaturatedAdd(hn::Mul(x, ws), hn::Mul(y, wd)));
}
#endif

// The one-lane scalar target (the baseline without SSSE3) cannot view a pixel as its bytes: it draws
// by the scalar rule.
template <int M>
HWY_INLINE void Rows(uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    int64_t i = 0;
#if HWY_TARGET != HWY_SCALAR
    const hn::ScalableTag<uint32_t> d32;
    const hn::Repartition<uint16_t, decltype(d32)> d16;
    const hn::Repartition<uint8_t, decltype(d32)> d8;
    const auto opaque = hn::Set(d32, 0xFF000000u);
    const auto low = hn::Set(d16, 0xFF);
    const int64_t lanes = static_cast<int64_t>(hn::Lanes(d32));
    for (; i + lanes <= n; i += lanes) {
        const auto a = hn::LoadU(d32, src + i), b = hn::LoadU(d32, out + i);
        hn::Vec<decltype(d32)> r;
        if constexpr (M == kAddFull) {
            r = hn::Or(hn::BitCast(d32, hn::SaturatedAdd(hn::BitCast(d8, a), hn::BitCast(d8, b))), opaque);
        } else if constexpr (M == kSub) {
            r = hn::Or(hn::BitCast(d32, hn::SaturatedSub(hn::BitCast(d8, b), hn::BitCast(d8, a))), opaque);
        } else if constexpr (M == kAddMasked) {
            const auto shown = hn::IfThenZeroElse(hn::Eq(hn::ShiftRight<24>(a), hn::Zero(d32)), a);
            r = hn::BitCast(d32, hn::SaturatedAdd(hn::BitCast(d8, b), hn::BitCast(d8, shown)));
        } else {
            auto ws = hn::Set(d16, static_cast<uint16_t>(s)), wd = hn::Set(d16, static_cast<uint16_t>(d));
            if constexpr (M == kOver) {
                // Weight a + a/128 of 256 for the source, the rest for the picture.
                const auto alpha = hn::ShiftRight<24>(a);
                const auto w = hn::Add(alpha, hn::ShiftRight<7>(alpha));
                ws = hn::BitCast(d16, hn::Or(w, hn::ShiftLeft<16>(w)));
                wd = hn::Sub(hn::Set(d16, 256), ws);
            }
            const auto a16 = hn::BitCast(d16, a), b16 = hn::BitCast(d16, b);
            const auto even = Mix16(d16, hn::And(a16, low), hn::And(b16, low), ws, wd);
            const auto odd = Mix16(d16, hn::ShiftRight<8>(a16), hn::ShiftRight<8>(b16), ws, wd);
            r = hn::Or(hn::BitCast(d32, hn::Or(even, hn::ShiftLeft<8>(odd))), opaque);
        }
        hn::StoreU(r, d32, out + i);
    }
#endif
    const qb::Blend32 blend = M == kSub    ? qb::Blend32{qb::BlendOp::Sub, 256, 256}
                              : M == kOver ? qb::Blend32{}
                                           : qb::Blend32{qb::BlendOp::Add, s, d};
    for (; i < n; ++i)
        out[i] = qb::BlendPixel(M == kOver || M == kAddMasked ? src[i] : src[i] | 0xFF000000u, out[i], blend);
}

void HwyRow(int mode, uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    ByMode(static_cast<Mode>(mode), [&](auto m) { Rows<decltype(m)::value>(out, src, n, s, d); });
}
}  // namespace HWY_NAMESPACE
}  // namespace qbm
HWY_AFTER_NAMESPACE();
#endif

#if !defined(QB_HAVE_HWY) || HWY_ONCE

#if defined(QB_HAVE_PIXMAN)
#include <pixman.h>
#endif

#if defined(QB_HAVE_HWY)
namespace qbm {
HWY_EXPORT(HwyRow);
}  // namespace qbm
#endif

namespace qbm {
namespace {

// The reference: the engine's pixel rule, one call a pixel. An unmasked draw ignores the source's
// alpha, so its words go in opaque.
void ScalarRow(Mode mode, uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    const qb::Blend32 blend = mode == kSub    ? qb::Blend32{qb::BlendOp::Sub, 256, 256}
                              : mode == kOver ? qb::Blend32{}
                                              : qb::Blend32{qb::BlendOp::Add, s, d};
    const uint32_t force = mode == kOver || mode == kAddMasked ? 0u : 0xFF000000u;
    for (int64_t i = 0; i < n; ++i) out[i] = qb::BlendPixel(src[i] | force, out[i], blend);
}

// ---- GCC's vector extensions: 32-byte vectors, compiled twice (AVX2 and the x86-64 baseline, which
// splits each into two SSE2 halves) and chosen when the program starts.
// (GCC notes at the end of the file that 32-byte vectors change the calling convention without AVX:
// they never cross a call here, every helper is inlined.)
#pragma GCC diagnostic ignored "-Wpsabi"
typedef uint32_t U32 __attribute__((vector_size(32)));
typedef uint16_t U16 __attribute__((vector_size(32)));
typedef uint8_t U8 __attribute__((vector_size(32)));
#define QBM_INLINE __attribute__((always_inline)) inline

// a + b saturated as a + min(b, 255 − a): GCC 12 makes a minimum of this, not of a wrapped sum.
QBM_INLINE U8 AddSat(U8 a, U8 b) {
    const U8 room = ~a;
    return a + (b < room ? b : room);
}
QBM_INLINE U8 SubSat(U8 a, U8 b) {
    return (a - b) & (U8)(a >= b);
}
// As Mix16 above: the products summed with saturation.
QBM_INLINE U16 Mix(U16 x, U16 y, U16 ws, U16 wd) {
    const U16 p = x * ws, q = y * wd, room = ~p;
    return (p + (q < room ? q : room)) >> 8;
}
QBM_INLINE U32 MixPixels(U32 src, U32 dst, U16 ws, U16 wd) {
    const U16 a = (U16)src, b = (U16)dst;
    const U16 even = Mix(a & 255, b & 255, ws, wd), odd = Mix(a >> 8, b >> 8, ws, wd);
    return (U32)(even | (odd << 8)) | 0xFF000000u;
}

template <int M>
QBM_INLINE void VecRows(uint32_t* out, const uint32_t* src, int64_t n, int s, int d) {
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        U32 a, b, r;
        std::memcpy(&a, src + i, 32);
        std::memcpy(&b, out + i, 32);
        if constexpr (M == kAddFull) r = (U32)AddSat((U8)a, (U8)b) | 0xFF000000u;
        if constexpr (M == kSub) r = (U32)SubSat((U8)b, (U8)a) | 0xFF000000u;
        if constexpr (M == kAddMasked) r = (U32)AddSat((U8)b, (U8)(a & ~(U32)((a >> 24) == 0)));
        if constexpr (M == kAddWeighted)
            r = MixPixels(a, b, U16{} + static_cast<uint16_t>(s), U16{} + static_cast<uint16_t>(d));
        if constexpr (M == kOver) {
            const U32 alpha = a >> 24, w = alpha + (alpha >> 7);
            const U16 ws = (U16)(w | (w << 16));
            r = MixPixels(a, b, ws, (U16{} + 256) - ws);
        }
        std::memcpy(out + i, &r, 32);
    }
    ScalarRow(static_cast<Mode>(M), out + i, src + i, n - i, s, d);
}

// Its own switch, not ByMode: target_clones copies this function once per target with VecRows inlined
// into each copy, which a call through ByMode's lambda would not get.
__attribute__((target_clones("avx2", "default"))) void VecRow(Mode mode, uint32_t* out, const uint32_t* src,
                                                               int64_t n, int s, int d) {
    switch (mode) {
        case kAddFull:
            return VecRows<kAddFull>(out, src, n, s, d);
        case kAddWeighted:
            return VecRows<kAddWeighted>(out, src, n, s, d);
        case kSub:
            return VecRows<kSub>(out, src, n, s, d);
        case kOver:
            return VecRows<kOver>(out, src, n, s, d);
        case kAddMasked:
            return VecRows<kAddMasked>(out, src, n, s, d);
    }
}

// ---- The pictures.

struct Operation {
    const char* name;
    Mode mode;
    int s, d;
};
constexpr Operation kOperations[] = {
    {"Add", kAddFull, 256, 256},       {"Add1", kAddWeighted, 256, 128}, {"AS200D100", kAddWeighted, 200, 100},
    {"Sub", kSub, 256, 256},           {"AlphaOver", kOver, 256, 0},     {"AddMasked", kAddMasked, 256, 256},
};

// One picture size: the sources in each prepared form and the picture they are drawn onto.
struct Scene {
    int w, h;
    std::vector<uint32_t> opaque;  // every word alpha 255
    std::vector<uint32_t> keyed;   // a quarter of the words, in 16 × 16 patches, alpha 0 (colour 0)
    std::vector<uint32_t> partial;  // alpha of every value, runs of 0 and 255 among them
    std::vector<uint8_t> partialRgba;  // the same as a PNG's R G B A bytes, as our loops read them
    std::vector<uint32_t> keyedZeroed;  // keyed with its clear words 0 (a premultiplied source)
    std::vector<uint32_t> partialPremultiplied;
    qb::Picture32 start;  // the picture before a draw
    double memcpySeconds = 0;
    std::map<int, std::vector<uint32_t>> reference;  // the scalar rule's picture, per operation

    Scene(int width, int height) : w(width), h(height), start(width, height) {
        const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
        std::mt19937 rng(static_cast<unsigned>(w * 31 + h));
        opaque.resize(count);
        keyed.resize(count);
        partial.resize(count);
        partialRgba.resize(count * 4);
        keyedZeroed.resize(count);
        partialPremultiplied.resize(count);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
                const uint32_t rgb = rng() & 0xFFFFFFu;
                opaque[i] = 0xFF000000u | rgb;
                keyed[i] = ((x / 16 + y / 16) % 4 == 0 ? 0u : 0xFF000000u) | rgb;
                const uint32_t pick = rng() % 8;
                const uint32_t a = pick == 0 ? 0u : pick == 1 ? 255u : rng() & 255;
                partial[i] = a << 24 | rgb;
                partialRgba[i * 4] = static_cast<uint8_t>(rgb >> 16);
                partialRgba[i * 4 + 1] = static_cast<uint8_t>(rgb >> 8);
                partialRgba[i * 4 + 2] = static_cast<uint8_t>(rgb);
                partialRgba[i * 4 + 3] = static_cast<uint8_t>(a);
                keyedZeroed[i] = keyed[i] >> 24 ? keyed[i] : 0u;
                uint32_t pm = a << 24;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t t = ((rgb >> shift) & 255) * a + 128;
                    pm |= ((t + (t >> 8)) >> 8) << shift;  // c·a/255 rounded, as pixman rounds
                }
                partialPremultiplied[i] = pm;
                start.Pixels[i] = 0xFF000000u | (rng() & 0xFFFFFFu);
            }
        for (const Operation& op : kOperations) {
            std::vector<uint32_t> out(start.Pixels.begin(), start.Pixels.end());
            for (int y = 0; y < h; ++y)
                ScalarRow(op.mode, out.data() + static_cast<size_t>(y) * static_cast<size_t>(w),
                          SourceOf(op.mode) + static_cast<size_t>(y) * static_cast<size_t>(w), w, op.s, op.d);
            reference[op.mode * 1000 + op.s * 3 + op.d] = std::move(out);
        }
        memcpySeconds = MemcpySeconds();
    }
    const uint32_t* SourceOf(Mode mode) const {
        return mode == kOver ? partial.data() : mode == kAddMasked ? keyed.data() : opaque.data();
    }
    const std::vector<uint32_t>& Reference(const Operation& op) const {
        return reference.at(op.mode * 1000 + op.s * 3 + op.d);
    }
    double MemcpySeconds() const { return qb::bench::BestMemcpySeconds(opaque.data(), opaque.size()); }
};

// One way of drawing a whole source onto the picture.
using Draw = std::function<void(qb::Picture32&)>;

// The variant's picture against the scalar rule's: aborts on a difference unless the variant says it
// is not exact, then answers the share of differing pixels (percent) and the largest channel difference.
void CheckExact(const std::string& name, bool exact, const Scene& scene, const Operation& op, const Draw& draw,
                benchmark::State& state) {
    qb::Picture32 picture = scene.start;
    draw(picture);
    const std::vector<uint32_t>& want = scene.Reference(op);
    int64_t differing = 0;
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i) {
        if (picture.Pixels[i] == want[i]) continue;
        ++differing;
        for (int shift = 0; shift < 32; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((picture.Pixels[i] >> shift) & 255) -
                                             static_cast<int>((want[i] >> shift) & 255)));
    }
    if (exact && differing) {
        std::fprintf(stderr, "%s: %lld pixels differ from the scalar rule (largest channel difference %d)\n",
                     name.c_str(), static_cast<long long>(differing), worst);
        std::abort();
    }
    if (!exact) {
        state.counters["diff_px_pct"] = 100.0 * static_cast<double>(differing) / static_cast<double>(want.size());
        state.counters["max_diff"] = worst;
    }
}

void Time(benchmark::State& state, const std::string& name, bool exact, const Scene& scene, const Operation& op,
          const Draw& draw) {
    CheckExact(name, exact, scene, op, draw, state);
    qb::Picture32 picture = scene.start;
    for (auto _ : state) {
        // Every round starts from the same picture (a saturated add or subtraction would otherwise
        // reach all 255 or all 0 within a few rounds).
        state.PauseTiming();
        std::memcpy(picture.Pixels.data(), scene.start.Pixels.data(), picture.Pixels.size() * 4);
        state.ResumeTiming();
        draw(picture);
        benchmark::ClobberMemory();
    }
    const double rounds = static_cast<double>(state.iterations());
    const double bytes = static_cast<double>(scene.w) * scene.h * 4;
    state.counters["ns_per_row"] =
        benchmark::Counter(rounds * scene.h * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["GBps"] = benchmark::Counter(rounds * bytes * 1e-9, benchmark::Counter::kIsRate);
    state.counters["vs_memcpy"] = benchmark::Counter(rounds * scene.memcpySeconds,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Every row of the source through one row function.
template <class Row>
Draw ByRows(const Scene& scene, const uint32_t* src, Row row) {
    return [&scene, src, row](qb::Picture32& picture) {
        for (int y = 0; y < scene.h; ++y)
            row(picture.Row(y), src + static_cast<size_t>(y) * static_cast<size_t>(scene.w), scene.w);
    };
}

// Ours: ComposeRect with the source as a stage sprite's prepared words (a version 1 sprite made 32-bit,
// drawn straight from its rows), or, for the alpha-over case, a PNG's RGBA bytes, which the loop turns
// into words a chunk at a time before blending.
Draw Ours(const Scene& scene, const Operation& op) {
    auto source = std::make_shared<qb::Source32>();
    source->width = scene.w;
    source->height = scene.h;
    if (op.mode == kOver) {
        source->kind = qb::Source32::Kind::Rgba;
        source->bytes = scene.partialRgba.data();
        source->alpha = true;
    } else {
        source->kind = qb::Source32::Kind::Rgb565;
        source->wide = scene.SourceOf(op.mode);
        source->alpha = op.mode == kAddMasked;
    }
    const qb::Blend32 blend = op.mode == kSub    ? qb::Blend32{qb::BlendOp::Sub, 256, 256}
                              : op.mode == kOver ? qb::Blend32{}
                                                 : qb::Blend32{qb::BlendOp::Add, op.s, op.d};
    return [source, blend, &scene](qb::Picture32& picture) {
        qb::ComposeRect(picture, *source, 0, 0, scene.w, scene.h, 0, 0, false, false, blend, picture.Whole());
    };
}

#if defined(QB_HAVE_PIXMAN)
// pixman draws the whole rectangle in one call. Its ADD saturates per channel, alpha included, so with
// an opaque source it is our add of 256,256, and with a masked source whose clear words are 0 it
// leaves those pixels alone. OVER takes a premultiplied source and rounds c·(255 − a)/255, where the
// engine weighs by a + a/128 of 256 and truncates.
Draw Pixman(const Scene& scene, const Operation& op) {
    const uint32_t* src = op.mode == kOver ? scene.partialPremultiplied.data()
                          : op.mode == kAddMasked ? scene.keyedZeroed.data()
                                                  : scene.opaque.data();
    std::shared_ptr<pixman_image_t> from(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, scene.w, scene.h, const_cast<uint32_t*>(src), scene.w * 4),
        pixman_image_unref);
    const pixman_op_t pop = op.mode == kOver ? PIXMAN_OP_OVER : PIXMAN_OP_ADD;
    return [from, pop, &scene](qb::Picture32& picture) {
        pixman_image_t* to = pixman_image_create_bits(PIXMAN_a8r8g8b8, scene.w, scene.h, picture.Pixels.data(),
                                                      scene.w * 4);
        pixman_image_composite32(pop, from.get(), nullptr, to, 0, 0, 0, 0, 0, 0, scene.w, scene.h);
        pixman_image_unref(to);
    };
}
#endif

void Register(const Scene& scene, const Operation& op, const std::string& means, bool exact, Draw draw) {
    const std::string name = std::string(op.name) + "/" + std::to_string(scene.w) + "x" + std::to_string(scene.h) +
                             "/" + means + (exact ? "" : "_not_exact");
    benchmark::RegisterBenchmark(name.c_str(), [name, exact, &scene, op, draw](benchmark::State& state) {
        Time(state, name, exact, scene, op, draw);
    })->Unit(benchmark::kMicrosecond);
}

void RegisterScene(const Scene& scene) {
    const std::string size = std::to_string(scene.w) + "x" + std::to_string(scene.h);
    benchmark::RegisterBenchmark(("Memcpy/" + size).c_str(), [&scene](benchmark::State& state) {
        qb::Picture32 picture = scene.start;
        for (auto _ : state) {
            std::memcpy(picture.Pixels.data(), scene.opaque.data(), picture.Pixels.size() * 4);
            benchmark::ClobberMemory();
        }
        const double rounds = static_cast<double>(state.iterations());
        state.counters["ns_per_row"] = benchmark::Counter(rounds * scene.h * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        state.counters["GBps"] =
            benchmark::Counter(rounds * scene.w * scene.h * 4 * 1e-9, benchmark::Counter::kIsRate);
    })->Unit(benchmark::kMicrosecond);
    // What part of our alpha-over is the turning of RGBA bytes into words: the same source copied
    // opaque, the same gather and no arithmetic.
    benchmark::RegisterBenchmark(("RgbaGatherOnly/" + size + "/ours").c_str(), [&scene](benchmark::State& state) {
        qb::Source32 source;
        source.kind = qb::Source32::Kind::Rgba;
        source.width = scene.w;
        source.height = scene.h;
        source.bytes = scene.partialRgba.data();
        qb::Picture32 picture = scene.start;
        for (auto _ : state) {
            qb::ComposeRect(picture, source, 0, 0, scene.w, scene.h, 0, 0, false, false, {}, picture.Whole());
            benchmark::ClobberMemory();
        }
        state.counters["ns_per_row"] = benchmark::Counter(static_cast<double>(state.iterations()) * scene.h * 1e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    })->Unit(benchmark::kMicrosecond);
    for (const Operation& op : kOperations) {
        const uint32_t* src = scene.SourceOf(op.mode);
        const Mode mode = op.mode;
        const int s = op.s, d = op.d;
        Register(scene, op, "ours", true, Ours(scene, op));
        Register(scene, op, "scalar", true,
                 ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) { ScalarRow(mode, out, in, n, s, d); }));
        Register(scene, op, "gccvec", true,
                 ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) { VecRow(mode, out, in, n, s, d); }));
#if defined(QB_HAVE_HWY)
        Register(scene, op, "hwy", true, ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) {
                     HWY_DYNAMIC_DISPATCH(HwyRow)(mode, out, in, n, s, d);
                 }));
#if HWY_TARGETS & HWY_AVX2
        if (__builtin_cpu_supports("avx2"))
            Register(scene, op, "hwy_avx2", true, ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) {
                         N_AVX2::HwyRow(mode, out, in, n, s, d);
                     }));
#endif
#if HWY_TARGETS & HWY_SSE4
        if (__builtin_cpu_supports("sse4.2"))
            Register(scene, op, "hwy_sse4", true, ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) {
                         N_SSE4::HwyRow(mode, out, in, n, s, d);
                     }));
#endif
#endif
#if defined(QB_HAVE_XSIMD)
        if (__builtin_cpu_supports("avx2"))
            Register(scene, op, "xsimd_avx2", true, ByRows(scene, src, [=](uint32_t* out, const uint32_t* in, int n) {
                         const int64_t done = XsimdRowAvx2(mode, out, in, n, s, d);
                         ScalarRow(mode, out + done, in + done, n - done, s, d);
                     }));
#endif
#if defined(QB_HAVE_PIXMAN)
        if (op.mode == kAddFull || op.mode == kAddMasked) Register(scene, op, "pixman", true, Pixman(scene, op));
        if (op.mode == kOver) Register(scene, op, "pixman", false, Pixman(scene, op));
#endif
    }
}

}  // namespace
}  // namespace qbm

int main(int argc, char** argv) {
    static const qbm::Scene small(640, 480), large(1280, 720);
    qbm::RegisterScene(small);
    qbm::RegisterScene(large);
#if defined(QB_HAVE_HWY)
    // The instruction set Highway's run-time choice takes on this processor ("hwy" in the names).
    const int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
    benchmark::AddCustomContext("hwy_dispatch", hwy::TargetName(targets & -targets));
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#endif

#endif  // QB_BLEND_MEANS_XSIMD_AVX2
