#include "gui/x11_picture_memory.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

namespace qb::gui {

std::shared_ptr<X11PictureMemory> X11PictureMemory::Open() {
    // Qt's own switch for displays whose shared memory misbehaves turns ours off too.
    if (qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection == nullptr || xcb_connection_has_error(connection)) return nullptr;
    // Only a server on this machine (a local socket) can see our segments: a forwarded display
    // (ssh's, over TCP) could attach another memory of the same number.
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.ss_family != AF_UNIX)
        return nullptr;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (extension == nullptr || !extension->present) return nullptr;
    return std::make_shared<X11PictureMemory>(connection);
}

X11PictureMemory::~X11PictureMemory() {
    // The pictures hold this memory, so none is left; the window formats' graphics contexts are.
    for (const Segment& segment : m_segments) {
        xcb_shm_detach(m_connection, segment.id);
        shmdt(segment.base);
    }
    for (const auto& [window, format] : m_windows)
        if (format.gc != 0) xcb_free_gc(m_connection, format.gc);
    xcb_flush(m_connection);
}

void* X11PictureMemory::Allocate(size_t bytes) {
    if (m_refused || bytes == 0) return nullptr;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return nullptr;  // the system's segment limits: this picture takes the heap
    void* base = shmat(id, nullptr, 0);
    if (base == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    const uint32_t name = xcb_generate_id(m_connection);
    // Read-only: the server only ever copies out of it.
    xcb_generic_error_t* error = xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, name, id, 1));
    // Marked for removal at once: the segment goes when both sides have let go of it, even when
    // the program is killed.
    shmctl(id, IPC_RMID, nullptr);
    if (error != nullptr) {
        // A server on another machine (or one that forbids it) cannot reach our memory.
        std::free(error);
        shmdt(base);
        m_refused = true;
        return nullptr;
    }
    m_segments.push_back({static_cast<char*>(base), bytes, name});
    return base;
}

bool X11PictureMemory::Release(void* pixels, size_t bytes) {
    (void)bytes;
    const auto it = std::find_if(m_segments.begin(), m_segments.end(),
                                 [&](const Segment& segment) { return segment.base == pixels; });
    if (it == m_segments.end()) return false;
    xcb_shm_detach(m_connection, it->id);
    xcb_flush(m_connection);
    shmdt(it->base);
    m_segments.erase(it);
    return true;
}

const X11PictureMemory::Segment* X11PictureMemory::Find(const void* pixels, size_t bytes) const {
    const auto* p = static_cast<const char*>(pixels);
    for (const Segment& segment : m_segments)
        if (p >= segment.base && static_cast<size_t>(p - segment.base) <= segment.bytes &&
            bytes <= segment.bytes - static_cast<size_t>(p - segment.base))
            return &segment;
    return nullptr;
}

bool X11PictureMemory::Holds(const void* pixels, int pitch, int height) const {
    if (pitch <= 0 || height <= 0) return false;
    return Find(pixels, static_cast<size_t>(pitch) * static_cast<size_t>(height) * sizeof(uint32_t)) != nullptr;
}

X11PictureMemory::WindowFormat& X11PictureMemory::FormatOf(uint32_t window) {
    auto [it, fresh] = m_windows.try_emplace(window);
    WindowFormat& format = it->second;
    if (!fresh) return format;
    // The window's visual must hold a pixel as the picture does: 32 bits, 0x00RRGGBB, least
    // significant byte first.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    bool visualOk = false;
    bool pixmapOk = false;
    if (attributes != nullptr && geometry != nullptr && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) {
        for (auto screen = xcb_setup_roots_iterator(setup); screen.rem && !visualOk; xcb_screen_next(&screen))
            for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem; xcb_depth_next(&depth)) {
                if (depth.data->depth != geometry->depth) continue;
                for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem; xcb_visualtype_next(&visual))
                    if (visual.data->visual_id == attributes->visual)
                        visualOk = visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                                   visual.data->red_mask == 0xFF0000u && visual.data->green_mask == 0xFF00u &&
                                   visual.data->blue_mask == 0xFFu;
            }
        for (auto pixmap = xcb_setup_pixmap_formats_iterator(setup); pixmap.rem; xcb_format_next(&pixmap))
            if (pixmap.data->depth == geometry->depth) pixmapOk = pixmap.data->bits_per_pixel == 32;
    }
    if (visualOk && pixmapOk) {
        format.depth = geometry->depth;
        format.gc = xcb_generate_id(m_connection);
        // No exposure events: the frames show the picture again anyway.
        const uint32_t noExposures = 0;
        xcb_create_gc(m_connection, format.gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        format.ok = true;
    }
    std::free(attributes);
    std::free(geometry);
    return format;
}

bool X11PictureMemory::Put(uint32_t window, const void* pixels, int pitch, int height, QRect area, QPoint at) {
    // The request's sizes are 16-bit.
    if (window == 0 || pitch <= 0 || height <= 0 || pitch > 0xFFFF || height > 0xFFFF) return false;
    if (at.x() < INT16_MIN || at.y() < INT16_MIN || at.x() + area.width() > INT16_MAX ||
        at.y() + area.height() > INT16_MAX)
        return false;
    const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height) * sizeof(uint32_t);
    const Segment* segment = Find(pixels, bytes);
    if (segment == nullptr) return false;
    area &= QRect(0, 0, pitch, height);
    if (area.isEmpty()) return true;
    WindowFormat& format = FormatOf(window);
    if (!format.ok) return false;
    const auto offset = static_cast<uint32_t>(static_cast<const char*>(pixels) - segment->base);
    const xcb_void_cookie_t cookie = xcb_shm_put_image_checked(
        m_connection, window, format.gc, static_cast<uint16_t>(pitch), static_cast<uint16_t>(height),
        static_cast<uint16_t>(area.x()), static_cast<uint16_t>(area.y()), static_cast<uint16_t>(area.width()),
        static_cast<uint16_t>(area.height()), static_cast<int16_t>(at.x()), static_cast<int16_t>(at.y()),
        format.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment->id, offset);
    // The check is a round trip: when it returns, the server has copied the pixels out.
    if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
        std::free(error);
        format.ok = false;
        return false;
    }
    return true;
}

}  // namespace qb::gui
