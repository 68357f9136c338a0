#pragma once
// Stage thumbnails: small pictures of a stage's first frame, drawn by the headless tool with the
// renderer the window uses and kept as PNG files in the per-user cache. A thumbnail is named by a
// hash of the stage's path and the sizes and times of its definition and sprite file, so an edit of
// either (or a new copy of the package) makes a new one, and an unchanged stage is never drawn again.
#include <cstdint>
#include <string>
#include <vector>

#include "library/stage_library.h"
#include "platform/ports.h"

namespace qb {

// Size and time of a file as the cache compares them; size -1: missing.
struct ThumbStamp {
    int64_t Size = -1;
    int64_t ModifiedNs = 0;
    bool operator==(const ThumbStamp&) const = default;
};
ThumbStamp ThumbStampOf(const std::string& path);

// What a thumbnail depends on: the stage's file (a definition or a package), the package's entry,
// and the sprite file the definition names (empty for a package: the package's stamp covers it).
struct ThumbSource {
    std::string File;
    std::string Entry;
    ThumbStamp FileStamp;
    std::string Sprite;
    ThumbStamp SpriteStamp;
};

// The sprite file a definition draws from: [BGdef]'s spr, found as the loader finds it (the MUGEN
// directory first, then beside the definition); the definition's own name with ".sff" when it names
// none. Empty when the definition cannot be read.
std::string StageSpriteFile(const std::string& defPath, const std::string& mugeDir);
// The source of a listed row, its files looked at now.
ThumbSource ThumbSourceOf(const LibraryRow& row, const std::string& mugeDir);

// 16 hexadecimal digits: FNV-1a over the paths, the entry and the stamps.
std::string ThumbnailKey(const ThumbSource& source);
// cacheDir/thumbs/<key>.png
std::string ThumbnailPath(const std::string& cacheDir, const std::string& key);

// The longest side of a thumbnail of the list's grid, and the largest a caller may ask for.
inline constexpr int kThumbnailSize = 96;
inline constexpr int kMaxThumbnailSize = 1024;

// A frame scaled down (each thumbnail pixel the average of the frame pixels it covers) to fit
// `size` x `size`, keeping its shape; never scaled up. RGBA bytes, opaque.
struct Thumbnail {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Rgba;
};
Thumbnail ScaleFrame(const FrameImage& frame, int size);

}  // namespace qb
