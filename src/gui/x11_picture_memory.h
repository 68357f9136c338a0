#pragma once
// Pictures the X server reads where the frames drew them. On an X display with the shared memory
// extension, each 32-bit picture is made in a segment the server has attached, and a frame is shown
// by asking the server to copy the changed rectangle from it onto the window: the program itself
// copies nothing (the painter's way reads the whole picture and writes it again into the window's
// backing store every frame).
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/picture32.h"

struct xcb_connection_t;

namespace qb::gui {

class X11PictureMemory : public PixelMemory {
public:
    // Null unless the application runs on an X display whose server offers shared memory.
    static std::shared_ptr<X11PictureMemory> Open();
    explicit X11PictureMemory(xcb_connection_t* connection) : m_connection(connection) {}
    ~X11PictureMemory() override;
    X11PictureMemory(const X11PictureMemory&) = delete;
    X11PictureMemory& operator=(const X11PictureMemory&) = delete;

    void* Allocate(size_t bytes) override;
    bool Release(void* pixels, size_t bytes) override;

    // Whether `pixels` (`pitch` pixels a row, `height` rows) lie in one of this memory's segments.
    bool Holds(const void* pixels, int pitch, int height) const;
    // Copies `area` of that picture onto X window `window` with its top left at `at`, and waits
    // until the server has read it (the next frame may then draw over it). False, with nothing
    // shown, when the picture is not here or the window's pixels are not 32-bit 0x00RRGGBB.
    bool Put(uint32_t window, const void* pixels, int pitch, int height, QRect area, QPoint at);

private:
    struct Segment {
        char* base = nullptr;
        size_t bytes = 0;
        uint32_t id = 0;  // the server's name for it
    };
    struct WindowFormat {
        bool ok = false;
        uint8_t depth = 0;
        uint32_t gc = 0;
    };
    const Segment* Find(const void* pixels, size_t bytes) const;
    WindowFormat& FormatOf(uint32_t window);

    xcb_connection_t* m_connection = nullptr;
    std::vector<Segment> m_segments;
    std::unordered_map<uint32_t, WindowFormat> m_windows;
    bool m_refused = false;  // the server would not attach a segment: the heap from then on
};

}  // namespace qb::gui
