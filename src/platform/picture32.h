#pragma once
// The 32-bit picture modern stages (version 2 sprite files, their own resolution) draw into, and
// the pieces that draw on it. Each pixel is 0xAARRGGBB in one 32-bit word, rows contiguous: the
// layout of QImage::Format_RGB32, so the window shows it without converting. The back buffer is
// opaque (alpha 255).
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace qb {

// A rectangle of picture pixels, [left, right) x [top, bottom); empty when either side is not positive.
struct Clip32 {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const Clip32&) const = default;
};
// The smallest rectangle holding both (an empty one adds nothing).
inline Clip32 Unite(const Clip32& a, const Clip32& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
            a.bottom > b.bottom ? a.bottom : b.bottom};
}

// 5-6-5 to 0xFFRRGGBB with the top bits repeated into the low ones (0xFFFF is white).
inline uint32_t Expand565(uint16_t v) {
    const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// Memory a picture's pixels may live in instead of the heap: the window's memory shared with the
// display, so that it shows the picture where the frame drew it, with no copy.
class PixelMemory {
public:
    virtual ~PixelMemory() = default;
    // `bytes` of memory, or null when it has none to give (the heap is used then).
    virtual void* Allocate(size_t bytes) = 0;
    // False when `pixels` is not memory this gave out.
    virtual bool Release(void* pixels, size_t bytes) = 0;
};

// Takes pixels from a PixelMemory when it has one, else from the heap. A copy of a picture takes
// the heap (a snapshot's copy never holds the window's memory); a move keeps the memory.
template <class T>
struct PixelAllocator {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using propagate_on_container_copy_assignment = std::false_type;
    using is_always_equal = std::false_type;

    std::shared_ptr<PixelMemory> memory;

    PixelAllocator() = default;
    explicit PixelAllocator(std::shared_ptr<PixelMemory> from) : memory(std::move(from)) {}
    template <class U>
    PixelAllocator(const PixelAllocator<U>& other) : memory(other.memory) {}

    T* allocate(size_t count) {
        if (count > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
        if (memory)
            if (void* p = memory->Allocate(count * sizeof(T))) return static_cast<T*>(p);
        return static_cast<T*>(::operator new(count * sizeof(T)));
    }
    void deallocate(T* p, size_t count) {
        if (!memory || !memory->Release(p, count * sizeof(T))) ::operator delete(p);
    }
    PixelAllocator select_on_container_copy_construction() const { return {}; }
    template <class U>
    bool operator==(const PixelAllocator<U>& other) const {
        return memory == other.memory;
    }
};

using PixelVector = std::vector<uint32_t, PixelAllocator<uint32_t>>;

struct Picture32 {
    int Width = 0;
    int Height = 0;
    PixelVector Pixels;
    // The rows the compositing routines may write, [ClipTop, ClipBottom): the element pass narrows
    // them while it draws an element whose other rows later opaque layers hide. The whole picture
    // otherwise.
    int ClipTop = 0;
    int ClipBottom = std::numeric_limits<int>::max();
    // The columns they may write, [ClipLeft, ClipRight): narrowed while a kept picture redraws only
    // the area that changed.
    int ClipLeft = 0;
    int ClipRight = std::numeric_limits<int>::max();

    Picture32() = default;
    Picture32(int width, int height, uint32_t fill = 0xFF000000u, std::shared_ptr<PixelMemory> memory = nullptr)
        : Width(width > 0 ? width : 0),
          Height(height > 0 ? height : 0),
          Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill,
                 PixelAllocator<uint32_t>(std::move(memory))) {}

    uint32_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    Clip32 Whole() const { return {0, 0, Width, Height}; }
    const uint32_t* Row(int y) const {
        return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width);
    }
};

}  // namespace qb
