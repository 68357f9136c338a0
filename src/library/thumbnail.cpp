#include "library/thumbnail.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "platform/paths.h"
#include "platform/picture32.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

// Definitions are small; one larger than this is no stage worth a picture.
constexpr size_t kMaxDefinitionBytes = 16u << 20;

void Mix(uint64_t& hash, std::string_view bytes) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    hash ^= 0xff;  // a separator no text holds, so "ab"+"c" differs from "a"+"bc"
    hash *= 0x100000001b3ull;
}

void Mix(uint64_t& hash, const ThumbStamp& stamp) {
    Mix(hash, std::to_string(stamp.Size) + ":" + std::to_string(stamp.ModifiedNs));
}

}  // namespace

ThumbStamp ThumbStampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string StageSpriteFile(const std::string& defPath, const std::string& mugeDir) {
    const auto text = ReadFileBytes(defPath, kMaxDefinitionBytes);
    if (!text) return {};
    const std::string spr = ReadStageHead(*text).Sprite;
    const std::string located = LocateSpriteFile(spr, defPath, mugeDir);
    const std::string beside = SpriteFileBesideDef(spr, defPath);
    // Files named exactly first: finding one by letter case lists its folder, and a stage copied into
    // a folder of its own names "stages/x.sff", which a stages folder of thousands lacks.
    for (const std::string& exact : {ToNativePath(located), ToNativePath(beside)}) {
        struct stat st {};
        if (!exact.empty() && ::stat(exact.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return exact;
    }
    if (!located.empty()) {
        const std::string resolved = ResolvePath(located);
        if (FileExists(resolved)) return resolved;
    }
    return ResolvePath(beside);
}

ThumbSource ThumbSourceOf(const LibraryRow& row, const std::string& mugeDir) {
    ThumbSource source;
    source.File = row.File;
    source.Entry = row.Entry;
    source.FileStamp = ThumbStampOf(row.File);
    if (row.Entry.empty()) {
        source.Sprite = StageSpriteFile(row.File, mugeDir);
        source.SpriteStamp = ThumbStampOf(source.Sprite);
    }
    return source;
}

std::string ThumbnailKey(const ThumbSource& source) {
    uint64_t hash = 0xcbf29ce484222325ull;
    Mix(hash, source.File);
    Mix(hash, source.Entry);
    Mix(hash, source.FileStamp);
    Mix(hash, source.Sprite);
    Mix(hash, source.SpriteStamp);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string ThumbnailPath(const std::string& cacheDir, const std::string& key) {
    return (std::filesystem::path(cacheDir) / "thumbs" / (key + ".png")).string();
}

Thumbnail ScaleFrame(const FrameImage& frame, int size) {
    Thumbnail thumb;
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || size <= 0) return thumb;
    size = std::min(size, kMaxThumbnailSize);
    const int longest = std::max(frame.width, frame.height);
    const double scale = longest > size ? static_cast<double>(size) / longest : 1.0;
    thumb.Width = std::max(1, static_cast<int>(frame.width * scale + 0.5));
    thumb.Height = std::max(1, static_cast<int>(frame.height * scale + 0.5));
    thumb.Rgba.resize(static_cast<size_t>(thumb.Width) * thumb.Height * 4);
    const auto pixel = [&](int x, int y) -> uint32_t {
        if (frame.format == FrameImage::Format::Rgb32)
            return static_cast<const uint32_t*>(frame.pixels)[static_cast<size_t>(y) * frame.pitch + x];
        return Expand565(static_cast<const uint16_t*>(frame.pixels)[static_cast<size_t>(y) * frame.pitch + x]);
    };
    for (int ty = 0; ty < thumb.Height; ++ty) {
        const int y0 = ty * frame.height / thumb.Height;
        const int y1 = std::max(y0 + 1, (ty + 1) * frame.height / thumb.Height);
        for (int tx = 0; tx < thumb.Width; ++tx) {
            const int x0 = tx * frame.width / thumb.Width;
            const int x1 = std::max(x0 + 1, (tx + 1) * frame.width / thumb.Width);
            uint64_t r = 0, g = 0, b = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const uint32_t p = pixel(x, y);
                    r += (p >> 16) & 0xff;
                    g += (p >> 8) & 0xff;
                    b += p & 0xff;
                }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * static_cast<uint64_t>(x1 - x0);
            uint8_t* out = &thumb.Rgba[(static_cast<size_t>(ty) * thumb.Width + tx) * 4];
            out[0] = static_cast<uint8_t>(r / n);
            out[1] = static_cast<uint8_t>(g / n);
            out[2] = static_cast<uint8_t>(b / n);
            out[3] = 255;
        }
    }
    return thumb;
}

}  // namespace qb
