#include "platform/png_writer.h"

#include <png.h>

#include <vector>

#include "platform/paths.h"

namespace qb {

namespace {

// Encodes with libpng's simplified writer; empty (with `error` set) when it fails.
std::string EncodePng(png_image& image, const void* pixels, int stride, const void* colormap, std::string& error) {
    png_alloc_size_t size = 0;
    std::string bytes;
    if (png_image_write_get_memory_size(image, size, 0, pixels, stride, colormap)) {
        bytes.resize(size);
        if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, stride, colormap)) size = 0;
        bytes.resize(size);
    }
    if (bytes.empty()) error = image.message[0] ? image.message : "the picture could not be encoded";
    png_image_free(&image);
    return bytes;
}

}  // namespace

bool SaveIndexedPng(const std::string& path, const IndexedSprite& sprite, bool transparentZero,
                    std::string& error) {
    error.clear();
    if (sprite.Width <= 0 || sprite.Height <= 0 ||
        sprite.Pixels.size() != static_cast<size_t>(sprite.Width) * static_cast<size_t>(sprite.Height)) {
        error = "there is no picture to save";
        return false;
    }
    // libpng's simplified writer: the palette goes out as given (PLTE), the alpha of colour 0 as tRNS.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(sprite.Width);
    image.height = static_cast<png_uint_32>(sprite.Height);
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    image.colormap_entries = 256;
    std::vector<uint8_t> colormap(256 * 4);
    for (size_t i = 0; i < 256; ++i) {
        for (size_t c = 0; c < 3; ++c) colormap[i * 4 + c] = sprite.Palette[i * 3 + c];
        colormap[i * 4 + 3] = transparentZero && i == 0 ? 0 : 255;
    }
    const std::string bytes = EncodePng(image, sprite.Pixels.data(), sprite.Width, colormap.data(), error);
    if (bytes.empty()) return false;
    return WriteFileAtomic(path, bytes, error);
}

bool SaveRgbaPng(const std::string& path, int width, int height, std::span<const uint8_t> rgba,
                 std::string& error) {
    error.clear();
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
        error = "there is no picture to save";
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const std::string bytes = EncodePng(image, rgba.data(), width * 4, nullptr, error);
    if (bytes.empty()) return false;
    return WriteFileAtomic(path, bytes, error);
}

}  // namespace qb
