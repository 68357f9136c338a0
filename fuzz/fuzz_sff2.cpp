// The version 2 sprite-file reader and decoder over one file's bytes: the node tables and their links,
// every picture format (the run-length codes, LZ5, PNG through libpng), the palettes and the
// --sff-info dump, which also walks version 1 files.
#include "fuzz/fuzz_support.h"
#include "platform/sff2_decoder.h"
#include "platform/sff2_file.h"

namespace qb::fuzz {
namespace {

// Small enough that a hostile file cannot take the fuzzer's memory, large enough for real pictures.
constexpr size_t kDecodeBudget = size_t{64} << 20;

void CheckSheet(std::string_view bytes) {
    const std::optional<Sff2File> index = ReadSff2(bytes);
    if (!index) return;
    QB_FUZZ_CHECK(index->sprites.size() == index->header.spriteCount);
    QB_FUZZ_CHECK(index->palettes.size() == index->header.paletteCount);
    for (const Sff2Source& s : index->spriteSources) {
        if (s.error != Sff2Error::None) continue;
        QB_FUZZ_CHECK(s.start <= bytes.size() && s.length <= bytes.size() - s.start);
        QB_FUZZ_CHECK(s.node < index->sprites.size() && !index->sprites[s.node].IsLinked());
    }
    const Sff2Sheet sheet = DecodeSff2Sheet(bytes, *index, kDecodeBudget);
    size_t decoded = 0;
    for (size_t k = 0; k < index->sprites.size(); ++k) {
        const Sff2Picture* p = sheet.PictureOf(k);
        if (!p) continue;
        const Sff2SpriteNode& node = index->sprites[index->spriteSources[k].node];
        QB_FUZZ_CHECK(p->width == node.width && p->height == node.height);
        QB_FUZZ_CHECK(p->size == size_t{node.width} * node.height * (p->rgba ? 4 : 1));
        if (!index->sprites[k].IsLinked()) decoded += p->size;
    }
    QB_FUZZ_CHECK(decoded <= kDecodeBudget);
    for (const Sff2Colours& c : sheet.palettes) QB_FUZZ_CHECK(c.count >= 0 && c.count <= 256);
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = qb::fuzz::AsText(data, size);
    qb::fuzz::CheckSheet(bytes);
    std::string reason;
    const auto dump = qb::SffInfoDump(bytes, reason);
    if (dump) {
        QB_FUZZ_CHECK(dump->starts_with("sff: version=") && dump->back() == '\n');
    } else {
        QB_FUZZ_CHECK(!reason.empty());
    }
    return 0;
}
