// The graphics function set over Allegro 4 memory bitmaps. Allegro is started without a display
// (see a_allegro_init); everything here draws on the calling thread only.
#include "platform/gfx.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define ALLEGRO_NO_MAGIC_MAIN
#define ALLEGRO_NO_COMPATIBILITY
#define ALLEGRO_NO_FIX_ALIASES
#include <allegro.h>
#include <loadpng.h>
#undef dup

#include "platform/paths.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qb {

namespace {

bool g_timing = false;
int64_t g_timingNanos = 0;
int64_t g_drawCalls = 0;

// Runs a drawing call, adding its time to the counter only when timing is on: one branch otherwise.
template <typename F>
inline void Timed(F&& draw) {
    ++g_drawCalls;
    if (!g_timing) {
        draw();
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    draw();
    g_timingNanos +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
            .count();
}

// The destination's clip rectangle intersected with its bounds, right and bottom exclusive.
struct ClipBox {
    int left, top, right, bottom;
};

ClipBox ClipOf(const BITMAP* bmp) {
    ClipBox box{0, 0, bmp->w, bmp->h};
    if (bmp->clip) {
        box.left = std::max(box.left, bmp->cl);
        box.top = std::max(box.top, bmp->ct);
        box.right = std::min(box.right, bmp->cr);
        box.bottom = std::min(box.bottom, bmp->cb);
    }
    return box;
}

// Walks the part of `sprite` drawn at (x, y) that falls inside the destination's clip box, calling
// row(destRow, spriteRow, count) per visible row.
template <typename Row>
void ForEachClippedRow(BITMAP* dest, BITMAP* sprite, int x, int y, Row&& row) {
    if (!dest || !sprite) return;
    const ClipBox box = ClipOf(dest);
    const int x0 = std::max(x, box.left);
    const int y0 = std::max(y, box.top);
    const int x1 = std::min(x + sprite->w, box.right);
    const int y1 = std::min(y + sprite->h, box.bottom);
    if (x0 >= x1 || y0 >= y1) return;
    const int count = x1 - x0;
    for (int dy = y0; dy < y1; ++dy) {
        auto* d = reinterpret_cast<uint16_t*>(dest->line[dy]) + x0;
        const auto* s = reinterpret_cast<const uint16_t*>(sprite->line[dy - y]) + (x0 - x);
        row(d, s, count);
    }
}

}  // namespace

bool a_allegro_init();

namespace {

// A 16-bit bitmap, with Allegro running (drawing on bitmaps that outlived a_allegro_exit starts it
// again rather than calling into a shut-down library).
bool IsUsable(const BITMAP* bmp) {
    return bmp != nullptr && bitmap_color_depth(const_cast<BITMAP*>(bmp)) == 16 &&
           (system_driver != nullptr || a_allegro_init());
}

}  // namespace

void BitmapDeleter::operator()(BITMAP* bitmap) const {
    a_destroy_bitmap(bitmap);
}

bool a_allegro_init() {
    // Allegro clears its system driver when it shuts down (also from its own atexit handler).
    if (system_driver != nullptr) return true;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return false;
    // Without a graphics mode Allegro lays 16-bit pixels out as BGR; the program and its front ends
    // read rows as 5-6-5 with red on top.
    _rgb_r_shift_16 = 11;
    _rgb_g_shift_16 = 5;
    _rgb_b_shift_16 = 0;
    set_color_depth(16);
    return true;
}

void a_allegro_exit() {
    if (system_driver != nullptr) allegro_exit();
}

BITMAP* a_create_bitmap(int width, int height) {
    if (width <= 0 || height <= 0 || !a_allegro_init()) return nullptr;
    BITMAP* bmp = create_bitmap_ex(16, width, height);
    return bmp;
}

UniqueBitmap CreateBitmap(int width, int height) {
    return UniqueBitmap(a_create_bitmap(width, height));
}

struct BitmapBlock::Shared {
    static constexpr uint64_t kMagic = 0x6b636f6c42626d70ull;
    uint64_t magic = kMagic;
    std::atomic<size_t> users{1};  // the BitmapBlock and each bitmap made in it
    void* memory = nullptr;
    size_t memoryBytes = 0;
    std::mutex lock;  // guards `next`
    uint8_t* next = nullptr;
    uint8_t* end = nullptr;
    alignas(BITMAP) unsigned char header[sizeof(BITMAP)] = {};  // Allegro's fields of a 16-bit memory bitmap

    void Release();
};

namespace {

#if defined(__linux__)
constexpr size_t kLargePage = size_t{2} << 20;
#else
constexpr size_t kLargePage = 64;
#endif
// A released block's memory is kept for the next block: a reload, or the next stage, then writes into
// pages it already has instead of fresh ones (as the allocator's reuse did for bitmaps made one by
// one). One block at most, never one more than twice the size asked for, and none past this size.
constexpr size_t kMaxSpareBytes = size_t{512} << 20;
std::mutex g_spareLock;
void* g_spare = nullptr;
size_t g_spareBytes = 0;

void FreeBlockMemory(void* memory, size_t bytes) {
#if defined(__linux__)
    munmap(memory, bytes);
#else
    (void)bytes;
    std::free(memory);
#endif
}

void* NewBlockMemory(size_t bytes) {
#if defined(__linux__)
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    // Advice only: small pages when large ones are refused.
    madvise(memory, bytes, MADV_HUGEPAGE);
    return memory;
#else
    return std::malloc(bytes);
#endif
}

// The block a bitmap's pixels live in; null for Allegro's own bitmaps (their `extra` is null).
BitmapBlock::Shared* BlockOf(BITMAP* bitmap) {
    if (bitmap->dat != nullptr || bitmap->extra == nullptr || (bitmap->id & BMP_ID_SUB) != 0) return nullptr;
    auto* shared = static_cast<BitmapBlock::Shared*>(bitmap->extra);
    return shared->magic == BitmapBlock::Shared::kMagic ? shared : nullptr;
}

}  // namespace

BitmapBlock::BitmapBlock(size_t pixels, size_t bitmaps) {
    if (pixels == 0 || pixels > (size_t{1} << 40) || bitmaps > (size_t{1} << 32) || !a_allegro_init()) return;
    BITMAP* model = create_bitmap_ex(16, 1, 1);
    if (!model) return;
    auto shared = std::make_unique<Shared>();
    std::memcpy(shared->header, model, sizeof(BITMAP));
    destroy_bitmap(model);
    // Every bitmap starts on a 64-byte boundary.
    const size_t bytes = pixels * 2 + 64 * bitmaps;
    const size_t needed = bytes + kLargePage;  // room to start on a large page's boundary
    {
        const std::lock_guard<std::mutex> lock(g_spareLock);
        if (g_spare && g_spareBytes >= needed && g_spareBytes / 2 <= needed) {
            shared->memory = std::exchange(g_spare, nullptr);
            shared->memoryBytes = g_spareBytes;
        }
    }
    if (!shared->memory) {
        ReleaseSpareBitmapMemory();
        shared->memory = NewBlockMemory(needed);
        if (!shared->memory) return;
        shared->memoryBytes = needed;
    }
    auto* start = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(shared->memory) + kLargePage - 1) &
                                             ~(kLargePage - 1));
    shared->next = start;
    shared->end = start + bytes;
    shared_ = shared.release();
}

void BitmapBlock::Shared::Release() {
    if (users.fetch_sub(1) != 1) return;
    if (memoryBytes <= kMaxSpareBytes) {
        const std::lock_guard<std::mutex> lock(g_spareLock);
        std::swap(memory, g_spare);
        std::swap(memoryBytes, g_spareBytes);
    }
    if (memory) FreeBlockMemory(memory, memoryBytes);
    delete this;
}

void ReleaseSpareBitmapMemory() {
    void* memory = nullptr;
    size_t bytes = 0;
    {
        const std::lock_guard<std::mutex> lock(g_spareLock);
        memory = std::exchange(g_spare, nullptr);
        bytes = std::exchange(g_spareBytes, 0);
    }
    if (memory) FreeBlockMemory(memory, bytes);
}

BitmapBlock::~BitmapBlock() {
    if (shared_) shared_->Release();
}

UniqueBitmap BitmapBlock::Create(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    const size_t bytes = (static_cast<size_t>(width) * static_cast<size_t>(height) * 2 + 63) & ~size_t{63};
    if (!shared_) return CreateBitmap(width, height);
    uint8_t* pixels = nullptr;
    {
        const std::lock_guard<std::mutex> hold(shared_->lock);
        if (static_cast<size_t>(shared_->end - shared_->next) >= bytes) {
            pixels = shared_->next;
            shared_->next += bytes;
        }
    }
    if (!pixels) return CreateBitmap(width, height);
    auto* bitmap = static_cast<BITMAP*>(
        std::malloc(sizeof(BITMAP) + sizeof(unsigned char*) * static_cast<size_t>(height)));
    if (!bitmap) return nullptr;
    std::memcpy(bitmap, shared_->header, sizeof(BITMAP));
    bitmap->w = bitmap->cr = width;
    bitmap->h = bitmap->cb = height;
    bitmap->cl = bitmap->ct = 0;
    bitmap->clip = TRUE;
    bitmap->dat = nullptr;
    bitmap->id = 0;
    bitmap->extra = shared_;
    bitmap->x_ofs = bitmap->y_ofs = 0;
    for (int y = 0; y < height; ++y)
        bitmap->line[y] = pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * 2;
    shared_->users.fetch_add(1);
    return UniqueBitmap(bitmap);
}

void a_destroy_bitmap(BITMAP* bitmap) {
    if (!bitmap) return;
    if (BitmapBlock::Shared* shared = BlockOf(bitmap)) {
        // Made by BitmapBlock::Create: the header is ours, the pixels the block's.
        std::free(bitmap);
        shared->Release();
        return;
    }
    if (system_driver != nullptr) {
        destroy_bitmap(bitmap);
        return;
    }
    // Allegro already shut down (a_allegro_exit, or its atexit handler running before the destructor
    // of some longer-lived table): destroy_bitmap would dereference the missing driver. A memory
    // bitmap is two plain allocations, freed here the way Allegro frees them.
    free(bitmap->dat);
    free(bitmap);
}

int BitmapWidth(const BITMAP* bitmap) {
    return bitmap ? bitmap->w : 0;
}
int BitmapHeight(const BITMAP* bitmap) {
    return bitmap ? bitmap->h : 0;
}

uint16_t* BitmapRow(BITMAP* bitmap, int y) {
    if (!bitmap || y < 0 || y >= bitmap->h) return nullptr;
    return reinterpret_cast<uint16_t*>(bitmap->line[y]);
}

const uint16_t* BitmapRow(const BITMAP* bitmap, int y) {
    if (!bitmap || y < 0 || y >= bitmap->h) return nullptr;
    return reinterpret_cast<const uint16_t*>(bitmap->line[y]);
}

int a_makecol(int r, int g, int b) {
    r = std::clamp(r, 0, 255);
    g = std::clamp(g, 0, 255);
    b = std::clamp(b, 0, 255);
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

int a_getpixel(BITMAP* bitmap, int x, int y) {
    if (!bitmap || x < 0 || y < 0 || x >= bitmap->w || y >= bitmap->h) return -1;
    return reinterpret_cast<const uint16_t*>(bitmap->line[y])[x];
}

void a_putpixel(BITMAP* bitmap, int x, int y, int color) {
    if (!bitmap) return;
    const ClipBox box = ClipOf(bitmap);
    if (x < box.left || y < box.top || x >= box.right || y >= box.bottom) return;
    reinterpret_cast<uint16_t*>(bitmap->line[y])[x] = static_cast<uint16_t>(color);
}

void a_clear_bitmap(BITMAP* bitmap) {
    if (!bitmap) return;
    Timed([&] { clear_bitmap(bitmap); });
}

void a_clear_to_color(BITMAP* bitmap, int color) {
    if (!bitmap) return;
    Timed([&] { clear_to_color(bitmap, color); });
}

void a_set_clip(BITMAP* bitmap, int x1, int y1, int x2, int y2) {
    if (bitmap) set_clip_rect(bitmap, x1, y1, x2, y2);
}

void a_reset_clip(BITMAP* bitmap) {
    if (bitmap) set_clip_rect(bitmap, 0, 0, bitmap->w - 1, bitmap->h - 1);
}

void a_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int dx, int dy, int w, int h) {
    if (!IsUsable(source) || !IsUsable(dest)) return;
    Timed([&] { blit(source, dest, sx, sy, dx, dy, w, h); });
}

void a_masked_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int dx, int dy, int w, int h) {
    if (!IsUsable(source) || !IsUsable(dest)) return;
    Timed([&] { masked_blit(source, dest, sx, sy, dx, dy, w, h); });
}

namespace {

// Allegro's stretches walk their whole destination, clipped or not: a row stretched to 10^9 pixels
// (a floor's "width" from a broken file) takes a third of a second. Beyond this size the stretch is
// sampled here over the clipped part only; below it Allegro draws, as it always did.
constexpr int kMaxAllegroStretch = 8192;

bool Oversized(int dw, int dh) {
    return dw > kMaxAllegroStretch || dh > kMaxAllegroStretch;
}

// Nearest-pixel stretch of the source rectangle onto the destination's clipped part (16-bit both).
void StretchClipped(BITMAP* source, BITMAP* dest, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                    int dh, bool masked) {
    const ClipBox box = ClipOf(dest);
    const int64_t x0 = std::max<int64_t>(box.left, dx), x1 = std::min<int64_t>(box.right, int64_t{dx} + dw);
    const int64_t y0 = std::max<int64_t>(box.top, dy), y1 = std::min<int64_t>(box.bottom, int64_t{dy} + dh);
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t srcY = sy + (y - dy) * sh / dh;
        const auto* s = reinterpret_cast<const uint16_t*>(source->line[srcY]);
        auto* d = reinterpret_cast<uint16_t*>(dest->line[y]);
        for (int64_t x = x0; x < x1; ++x) {
            const uint16_t c = s[sx + (x - dx) * sw / dw];
            if (!masked || c != kMaskColor) d[x] = c;
        }
    }
}

}  // namespace

void a_stretch_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                    int dh) {
    if (!IsUsable(source) || !IsUsable(dest) || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    // Allegro does not clip the source rectangle of a stretch; out-of-range reads would follow.
    if (sx < 0 || sy < 0 || sx + sw > source->w || sy + sh > source->h) return;
    if (Oversized(dw, dh))
        Timed([&] { StretchClipped(source, dest, sx, sy, sw, sh, dx, dy, dw, dh, false); });
    else
        Timed([&] { stretch_blit(source, dest, sx, sy, sw, sh, dx, dy, dw, dh); });
}

void a_draw_sprite(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_sprite(dest, sprite, x, y); });
}

void a_draw_sprite_h_flip(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_sprite_h_flip(dest, sprite, x, y); });
}

void a_draw_sprite_v_flip(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_sprite_v_flip(dest, sprite, x, y); });
}

void a_draw_sprite_vh_flip(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_sprite_vh_flip(dest, sprite, x, y); });
}

void a_stretch_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int w, int h) {
    if (!IsUsable(sprite) || !IsUsable(dest) || w <= 0 || h <= 0) return;
    if (Oversized(w, h))
        Timed([&] { StretchClipped(sprite, dest, 0, 0, sprite->w, sprite->h, x, y, w, h, true); });
    else
        Timed([&] { stretch_sprite(dest, sprite, x, y, w, h); });
}

void a_draw_trans_sprite(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_trans_sprite(dest, sprite, x, y); });
}

void a_draw_lit_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int color) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { draw_lit_sprite(dest, sprite, x, y, color); });
}

void a_set_trans_blender(int r, int g, int b, int a) {
    set_trans_blender(r, g, b, a);
}

void a_set_difference_blender(int r, int g, int b, int a) {
    set_difference_blender(r, g, b, a);
}

namespace {

// The additive and subtractive draws run over whole stage layers every frame, so they work on eight
// pixels at a time. Each channel is moved to the top of its own 16-bit lane, where the unsigned
// saturating add or subtract clamps it exactly at the channel's limit; mask-colour pixels keep the
// destination. The per-pixel forms below handle row tails and machines without SSE2, and give the
// same results.

// amount/255 of a channel value, rounded to nearest: (v * amount + 127) / 255.
inline int ScaleChannel(int v, int amount) {
    return (v * amount + 127) / 255;
}

inline uint16_t AddPixel(uint16_t dp, uint16_t sp, int amount) {
    const int r = std::min(31, (dp >> 11) + ScaleChannel(sp >> 11, amount));
    const int g = std::min(63, ((dp >> 5) & 63) + ScaleChannel((sp >> 5) & 63, amount));
    const int b = std::min(31, (dp & 31) + ScaleChannel(sp & 31, amount));
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

inline uint16_t SubPixel(uint16_t dp, uint16_t sp) {
    const int r = std::max(0, (dp >> 11) - (sp >> 11));
    const int g = std::max(0, ((dp >> 5) & 63) - ((sp >> 5) & 63));
    const int b = std::max(0, (dp & 31) - (sp & 31));
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

// (sprite * src + destination * dst) / 256 per channel, rounded to nearest and clamped at the
// channel's top. Both weights are at most 256, so every sum stays below 2^15.
inline uint16_t BlendPixel(uint16_t dp, uint16_t sp, int src, int dst) {
    auto mix = [src, dst](int s, int d, int top) { return std::min(top, (s * src + d * dst + 128) >> 8); };
    const int r = mix(sp >> 11, dp >> 11, 31);
    const int g = mix((sp >> 5) & 63, (dp >> 5) & 63, 63);
    const int b = mix(sp & 31, dp & 31, 31);
    return static_cast<uint16_t>((r << 11) | (g << 5) | b);
}

#if defined(__SSE2__)

constexpr int kLanes = 8;

// Red stays in place (bits 11-15), green moves up by 5 (bits 10-15), blue up by 11 (bits 11-15).
struct Lanes {
    __m128i r, g, b;
};

inline Lanes SplitTop(__m128i p) {
    return {_mm_and_si128(p, _mm_set1_epi16(static_cast<int16_t>(0xF800))),
            _mm_and_si128(_mm_slli_epi16(p, 5), _mm_set1_epi16(static_cast<int16_t>(0xFC00))),
            _mm_slli_epi16(p, 11)};
}

// Back from the top-aligned lanes; a saturated lane is all ones, so each is masked to its field.
inline __m128i JoinTop(const Lanes& l) {
    const __m128i r = _mm_and_si128(l.r, _mm_set1_epi16(static_cast<int16_t>(0xF800)));
    const __m128i g = _mm_and_si128(_mm_srli_epi16(l.g, 5), _mm_set1_epi16(0x07E0));
    const __m128i b = _mm_srli_epi16(l.b, 11);
    return _mm_or_si128(_mm_or_si128(r, g), b);
}

// (v * amount + 127) / 255 per lane, v at most 63: the division is a multiply by 0x8081 and a
// shift by 23, exact for every 16-bit dividend.
inline __m128i ScaleLanes(__m128i v, __m128i amount) {
    const __m128i x = _mm_add_epi16(_mm_mullo_epi16(v, amount), _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

// The sprite's channels scaled by amount/255, top-aligned like SplitTop.
inline Lanes ScaledTop(__m128i s, __m128i amount) {
    const __m128i r = ScaleLanes(_mm_srli_epi16(s, 11), amount);
    const __m128i g = ScaleLanes(_mm_and_si128(_mm_srli_epi16(s, 5), _mm_set1_epi16(63)), amount);
    const __m128i b = ScaleLanes(_mm_and_si128(s, _mm_set1_epi16(31)), amount);
    return {_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 10), _mm_slli_epi16(b, 11)};
}

// Runs op(destPixels, spritePixels) over the row eight pixels at a time, keeping the destination where
// the sprite has the mask colour and leaving all-mask groups untouched; returns how many pixels it did.
template <typename Op>
inline int ForEachGroup(uint16_t* d, const uint16_t* s, int count, Op&& op) {
    const __m128i mask = _mm_set1_epi16(static_cast<int16_t>(kMaskColor));
    int i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i skip = _mm_cmpeq_epi16(sp, mask);
        if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
        auto* at = reinterpret_cast<__m128i*>(d + i);
        const __m128i dp = _mm_loadu_si128(at);
        const __m128i out = op(dp, sp);
        _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(skip, dp), _mm_andnot_si128(skip, out)));
    }
    return i;
}

void AddRowFull(uint16_t* d, const uint16_t* s, int count) {
    const int done = ForEachGroup(d, s, count, [](__m128i dp, __m128i sp) {
        const Lanes a = SplitTop(dp);
        const Lanes b = SplitTop(sp);
        return JoinTop({_mm_adds_epu16(a.r, b.r), _mm_adds_epu16(a.g, b.g), _mm_adds_epu16(a.b, b.b)});
    });
    for (int i = done; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = AddPixel(d[i], s[i], 255);
}

void AddRowScaled(uint16_t* d, const uint16_t* s, int count, int amount) {
    const __m128i amt = _mm_set1_epi16(static_cast<int16_t>(amount));
    const int done = ForEachGroup(d, s, count, [amt](__m128i dp, __m128i sp) {
        const Lanes a = SplitTop(dp);
        const Lanes b = ScaledTop(sp, amt);
        return JoinTop({_mm_adds_epu16(a.r, b.r), _mm_adds_epu16(a.g, b.g), _mm_adds_epu16(a.b, b.b)});
    });
    for (int i = done; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = AddPixel(d[i], s[i], amount);
}

void SubRow(uint16_t* d, const uint16_t* s, int count) {
    const int done = ForEachGroup(d, s, count, [](__m128i dp, __m128i sp) {
        const Lanes a = SplitTop(dp);
        const Lanes b = SplitTop(sp);
        return JoinTop({_mm_subs_epu16(a.r, b.r), _mm_subs_epu16(a.g, b.g), _mm_subs_epu16(a.b, b.b)});
    });
    for (int i = done; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = SubPixel(d[i], s[i]);
}

void BlendRow(uint16_t* d, const uint16_t* s, int count, int src, int dst) {
    const __m128i ws = _mm_set1_epi16(static_cast<int16_t>(src));
    const __m128i wd = _mm_set1_epi16(static_cast<int16_t>(dst));
    const int done = ForEachGroup(d, s, count, [ws, wd](__m128i dp, __m128i sp) {
        // Channels at the bottom of their lanes; sums below 2^15, so the signed minimum is safe.
        auto mix = [ws, wd](__m128i sv, __m128i dv, int16_t top) {
            const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(sv, ws), _mm_mullo_epi16(dv, wd)),
                                              _mm_set1_epi16(128));
            return _mm_min_epi16(_mm_srli_epi16(sum, 8), _mm_set1_epi16(top));
        };
        const __m128i c5 = _mm_set1_epi16(31), c6 = _mm_set1_epi16(63);
        const __m128i r = mix(_mm_srli_epi16(sp, 11), _mm_srli_epi16(dp, 11), 31);
        const __m128i g =
            mix(_mm_and_si128(_mm_srli_epi16(sp, 5), c6), _mm_and_si128(_mm_srli_epi16(dp, 5), c6), 63);
        const __m128i b = mix(_mm_and_si128(sp, c5), _mm_and_si128(dp, c5), 31);
        return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
    });
    for (int i = done; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = BlendPixel(d[i], s[i], src, dst);
}

#else

void BlendRow(uint16_t* d, const uint16_t* s, int count, int src, int dst) {
    for (int i = 0; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = BlendPixel(d[i], s[i], src, dst);
}

void AddRowFull(uint16_t* d, const uint16_t* s, int count) {
    for (int i = 0; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = AddPixel(d[i], s[i], 255);
}

void AddRowScaled(uint16_t* d, const uint16_t* s, int count, int amount) {
    for (int i = 0; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = AddPixel(d[i], s[i], amount);
}

void SubRow(uint16_t* d, const uint16_t* s, int count) {
    for (int i = 0; i < count; ++i)
        if (s[i] != kMaskColor) d[i] = SubPixel(d[i], s[i]);
}

#endif

}  // namespace

void add_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int amount) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    amount = std::clamp(amount, 0, 255);
    if (amount == 0) return;  // every channel would gain (v * 0 + 127) / 255 = 0
    Timed([&] {
        if (amount == 255) {
            ForEachClippedRow(dest, sprite, x, y, AddRowFull);
            return;
        }
        ForEachClippedRow(dest, sprite, x, y, [amount](uint16_t* d, const uint16_t* s, int count) {
            AddRowScaled(d, s, count, amount);
        });
    });
}

void sub_sprite(BITMAP* dest, BITMAP* sprite, int x, int y) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    Timed([&] { ForEachClippedRow(dest, sprite, x, y, SubRow); });
}

void blend_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int src, int dst) {
    if (!IsUsable(sprite) || !IsUsable(dest)) return;
    src = std::clamp(src, 0, 256);
    dst = std::clamp(dst, 0, 256);
    if (src == 0 && dst == 256) return;  // every channel keeps its value
    Timed([&] {
        ForEachClippedRow(dest, sprite, x, y, [src, dst](uint16_t* d, const uint16_t* s, int count) {
            BlendRow(d, s, count, src, dst);
        });
    });
}

namespace {

// Allegro reads text as UTF-8. Content text is bytes: valid UTF-8 passes through; anything else is
// taken as Latin-1, whose letters the built-in font has. Control bytes and the C1 range become '?'.
std::string TextForAllegro(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            out += '?';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        ++i;
    }
    return out;
}

}  // namespace

void a_textout(BITMAP* bitmap, const std::string& text, int x, int y, int color) {
    if (!IsUsable(bitmap) || text.empty()) return;
    const std::string utf8 = TextForAllegro(text);
    Timed([&] { textout_ex(bitmap, font, utf8.c_str(), x, y, color, -1); });
}

bool a_save_pcx(const std::string& path, BITMAP* bitmap) {
    if (!IsUsable(bitmap) || path.empty()) return false;
    const std::string native = ResolvePath(path);
    return save_pcx(native.c_str(), bitmap, nullptr) == 0;
}

bool SavePng(const std::string& path, BITMAP* bitmap) {
    if (!IsUsable(bitmap) || path.empty()) return false;
    const std::string native = ResolvePath(path);
    return save_png(native.c_str(), bitmap, nullptr) == 0;
}

void GfxTimingEnable(bool on) {
    g_timing = on;
}
int64_t GfxTimingNanos() {
    return g_timingNanos;
}
void GfxTimingReset() {
    g_timingNanos = 0;
    g_drawCalls = 0;
}
int64_t GfxDrawCalls() {
    return g_drawCalls;
}

}  // namespace qb
