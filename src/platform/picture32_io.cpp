#include "platform/picture32_io.h"

#include <png.h>

#include <vector>

#include "platform/paths.h"

namespace qb {

bool SavePicture32Png(const std::string& path, const Picture32& picture, std::string& error) {
    error.clear();
    if (picture.Width <= 0 || picture.Height <= 0) {
        error = "there is no picture to save";
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height) * 3);
    size_t o = 0;
    for (uint32_t p : picture.Pixels) {
        rgb[o++] = static_cast<uint8_t>(p >> 16);
        rgb[o++] = static_cast<uint8_t>(p >> 8);
        rgb[o++] = static_cast<uint8_t>(p);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    std::string bytes;
    if (png_image_write_get_memory_size(image, size, 0, rgb.data(), picture.Width * 3, nullptr)) {
        bytes.resize(size);
        if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), picture.Width * 3, nullptr))
            size = 0;
        bytes.resize(size);
    }
    if (bytes.empty()) {
        error = image.message[0] ? image.message : "the picture could not be encoded";
        png_image_free(&image);
        return false;
    }
    return WriteFileAtomic(path, bytes, error);
}

namespace {

void Put16(std::string& out, size_t at, int v) {
    out[at] = static_cast<char>(v & 255);
    out[at + 1] = static_cast<char>((v >> 8) & 255);
}

// One plane of one row, PCX run-length coded: runs of up to 63, and single bytes of 0xC0 or more
// written as runs of one so that they are not read as counts.
void EncodePlane(std::string& out, const std::vector<uint8_t>& plane) {
    size_t i = 0;
    while (i < plane.size()) {
        const uint8_t v = plane[i];
        size_t run = 1;
        while (i + run < plane.size() && plane[i + run] == v && run < 63) ++run;
        if (run > 1 || v >= 0xC0) out += static_cast<char>(0xC0 | run);
        out += static_cast<char>(v);
        i += run;
    }
}

}  // namespace

std::string EncodePicture32Pcx(const Picture32& picture) {
    const int w = picture.Width, h = picture.Height;
    const int bytesPerLine = (w + 1) & ~1;  // even, as the format asks
    std::string out(128, '\0');
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version 3.0 with a palette
    out[2] = 1;   // run-length coded
    out[3] = 8;   // bits a plane
    Put16(out, 8, w - 1);
    Put16(out, 10, h - 1);
    Put16(out, 12, 72);
    Put16(out, 14, 72);
    out[65] = 3;  // planes: red, green, blue
    Put16(out, 66, bytesPerLine);
    Put16(out, 68, 1);
    std::vector<uint8_t> plane(static_cast<size_t>(bytesPerLine), 0);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = picture.Row(y);
        for (int shift : {16, 8, 0}) {
            for (int x = 0; x < w; ++x) plane[static_cast<size_t>(x)] = static_cast<uint8_t>(row[x] >> shift);
            EncodePlane(out, plane);
        }
    }
    return out;
}

bool SavePicture32Pcx(const std::string& path, const Picture32& picture, std::string& error) {
    error.clear();
    if (picture.Width <= 0 || picture.Height <= 0) {
        error = "there is no picture to save";
        return false;
    }
    return WriteFileAtomic(path, EncodePicture32Pcx(picture), error);
}

}  // namespace qb
