// The sprite-file reader and decoder over one file's bytes: the header and sub-header walk, the
// palette search of every sprite's data, the index the loader builds, and the decode into bitmaps.
#include "fuzz/fuzz_support.h"
#include "platform/gfx.h"
#include "platform/sff_decoder.h"
#include "platform/sff_file.h"
#include "stage/stage_loader.h"

namespace qb::fuzz {
namespace {

// Small enough that a hostile file cannot take the fuzzer's memory, large enough for real pictures.
constexpr size_t kDecodeBudget = size_t{64} << 20;

void CheckIndex(std::string_view bytes) {
    const std::optional<SffIndex> index = ReadSffIndex(bytes);
    if (!index) return;
    QB_FUZZ_CHECK(index->entries.size() <= index->header.imageCount);
    for (const SffSubHeader& s : index->entries) {
        QB_FUZZ_CHECK(s.offset + kSffSubHeaderSize <= bytes.size());
        QB_FUZZ_CHECK(s.dataStart <= s.dataEnd && s.dataEnd <= bytes.size());
        const auto data = AsBytes(bytes).subspan(s.dataStart, s.DataSize());
        FindPcxPalette(data);
        FindPcxPalette(data, data.size() / 2);
    }
}

void CheckDecode(std::string_view bytes) {
    SpriteTable table;
    const int16_t count = IndexSpriteFile(bytes, table, nullptr);
    QB_FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) < table.size());
    DecodeSffSprites(bytes, table, count, kDecodeBudget);
    for (int16_t j = 0; j < count; ++j) {
        const SpriteEntry& e = table[static_cast<size_t>(j)];
        if (e.Owner >= 0) QB_FUZZ_CHECK(static_cast<size_t>(e.Owner) < table.size());
        if (!e.Bitmap) continue;
        QB_FUZZ_CHECK(BitmapWidth(e.Bitmap) == e.Width && BitmapHeight(e.Bitmap) == e.Height);
    }
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = (qb::fuzz::StartGraphics(), true);
    (void)started;
    const std::string_view bytes = qb::fuzz::AsText(data, size);
    qb::fuzz::CheckIndex(bytes);
    qb::fuzz::CheckDecode(bytes);
    return 0;
}
