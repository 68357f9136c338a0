// Loads a stage whose definition is the input and draws a few frames of it, so that hostile numbers
// in element, animation-frame and controller keys reach the renderer. The sprite file is generated
// for the definition: one small sprite for every sprite number it names (sizes, axes, shared
// palettes and links vary with the number), written where the loader looks for it. A definition
// written for the 1.0 or 1.1 engine ("mugenversion") gets a version 2 sprite file, so that it takes
// the modern path (32-bit picture, its zoom, scale and window keys) even at localcoord 320,240.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <utility>

#include "app/app_state.h"
#include "session/load_stage.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "demo/sff2_writer.h"
#include "demo/sff_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "render/frame.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tests/support/fakes.h"

namespace qb::fuzz {
namespace {

constexpr size_t kMaxSprites = 48;
constexpr int kFrames = 4;

// Every sprite number the definition's elements and animation frames name.
std::set<std::pair<int32_t, int16_t>> SpriteNumbers(const StageModel& stage) {
    std::set<std::pair<int32_t, int16_t>> numbers;
    for (const BgElement& e : stage.Elements) numbers.emplace(e.SpriteGroup, e.SpriteImage);
    for (const BgAction& a : stage.Actions)
        for (const BgFrame& f : a.Frames) numbers.emplace(f.Group, f.Image);
    return numbers;
}

std::string SpritesFor(const StageModel& stage) {
    std::vector<demo::SffSprite> sprites;
    for (const auto& [group, image] : SpriteNumbers(stage)) {
        if (sprites.size() >= kMaxSprites) break;
        // Sizes from 1 x 1 (a tile run's worst case) to a picture larger than the view, spread over
        // the numbers so that neighbouring numbers differ.
        const uint32_t k = static_cast<uint32_t>(group) * 2654435761u + static_cast<uint16_t>(image) * 40503u;
        demo::SffSprite s;
        s.group = group;
        s.image = image;
        s.axisX = static_cast<int16_t>(int(k % 41) - 10);
        s.axisY = static_cast<int16_t>(int((k >> 6) % 37) - 5);
        const bool large = (k >> 28) == 0;
        const int w = large ? 330 + static_cast<int>(k % 64) : 1 + static_cast<int>((k >> 8) % 80);
        const int h = large ? 250 + static_cast<int>(k % 32) : 1 + static_cast<int>((k >> 16) % 64);
        s.picture.width = w;
        s.picture.height = h;
        s.picture.pixels.resize(static_cast<size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                s.picture.pixels[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>((x + y) % 4);
        for (size_t c = 3; c < s.palette.size(); ++c) s.palette[c] = static_cast<uint8_t>(c * 7 + k);
        s.samePalette = !sprites.empty() && k % 5 == 0;
        if (!sprites.empty() && k % 7 == 0) s.linkTo = static_cast<int16_t>(sprites.size() - 1);
        sprites.push_back(std::move(s));
    }
    return demo::WriteSff(sprites);
}

// The same sprites as a version 2 file: RLE8 pictures over one palette; the links stay links.
std::string Sprites2For(const StageModel& stage) {
    std::vector<demo::Sff2Sprite> sprites;
    for (const auto& [group, image] : SpriteNumbers(stage)) {
        // Version 2 numbers are 16 bits without sign: the others cannot be in the file.
        if (group < 0 || group > 0xFFFF || image < 0) continue;
        if (sprites.size() >= kMaxSprites) break;
        const uint32_t k = static_cast<uint32_t>(group) * 2654435761u + static_cast<uint16_t>(image) * 40503u;
        demo::Sff2Sprite s;
        s.group = static_cast<uint16_t>(group);
        s.image = static_cast<uint16_t>(image);
        s.axisX = static_cast<int16_t>(int(k % 41) - 10);
        s.axisY = static_cast<int16_t>(int((k >> 6) % 37) - 5);
        s.width = 1 + static_cast<int>((k >> 8) % 80);
        s.height = 1 + static_cast<int>((k >> 16) % 64);
        s.pixels.resize(static_cast<size_t>(s.width * s.height));
        for (size_t i = 0; i < s.pixels.size(); ++i) s.pixels[i] = static_cast<uint8_t>(i % 4);
        if (!sprites.empty() && k % 7 == 0) s.linkTo = static_cast<int>(sprites.size() - 1);
        sprites.push_back(std::move(s));
    }
    demo::Sff2Palette palette;
    palette.rgba.resize(256 * 4);
    for (size_t i = 0; i < palette.rgba.size(); ++i) palette.rgba[i] = static_cast<uint8_t>(i * 37);
    return demo::WriteSff2(sprites, {palette});
}

// Where the loader will find a sprite file for this definition: beside it under the bare name of
// its "spr" value, or under the definition's own name when it has none.
std::string SpritePathFor(const StageModel& stage, const std::string& defPath, const std::string& mugeDir) {
    if (stage.SpriteFile.empty()) return LocateSpriteFile({}, defPath, mugeDir);
    return SpriteFileBesideDef(stage.SpriteFile, defPath);
}

void DrawFrames(AppState& state, test::FakeKeys& keys, test::FakeClock& clock) {
    // The camera stands for the second frame, which draws only what changed (the first one's info
    // text included), then moves.
    const std::vector<std::vector<Key>> held = {{}, {}, {Key::Right, Key::Down}, {Key::Left, Key::Up, Key::Z}};
    ResetFrameState(state.Frame);
    // A frame that draws only what changed is checked against the whole frame.
    state.Loop.VerifyKept = true;
    for (int n = 0; n < kFrames; ++n) {
        keys.ReleaseAll();
        for (Key k : held[static_cast<size_t>(n) % held.size()]) keys.Hold(k);
        state.Options.Info = n == 0 || n == kFrames - 1;
        DrawStageFrame(state, keys, clock);
        if (state.Frame.Retained.Mismatches != 0) std::abort();
        clock.AdvanceMs(17);
    }
}

void LoadAndDraw(std::string_view text) {
    const test::TempDir& dir = Scratch();
    const std::string mugeDir = dir.Dir() + "mugen/";
    const std::string programDir = dir.Dir() + "program";
    std::filesystem::create_directories(programDir);
    const std::string defPath = dir.Write("mugen/stages/stage.def", std::string(text)).string();

    // A first parse learns the sprite numbers and the sprite file's name.
    std::string spritePath;
    {
        test::FakeUi ui;
        StageModel probe;
        StageLoadState load;
        ErrorLog log;
        int32_t lineNumber = 0;
        StageContext ctx{probe, load, log, ui, lineNumber, mugeDir};
        std::string path = defPath;
        ParseStageDef(ctx, path);
        spritePath = SpritePathFor(probe, defPath, mugeDir);
        if (ResolvePath(spritePath) == ResolvePath(defPath)) spritePath.clear();
        if (!spritePath.empty())
            WriteFileAtomic(spritePath, probe.MugenVersion >= 1 ? Sprites2For(probe) : SpritesFor(probe));
    }

    test::FakeUi ui;
    test::FakeKeys keys;
    test::FakeClock clock;
    test::FakeMedia media;
    AppState state;
    state.ports = Ports{&ui, &keys, &clock, &media, nullptr};
    state.ProgramDir = programDir;
    state.Dirs = PortableDataDirs(programDir);
    state.MugeDir = mugeDir;
    state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
    state.StageFile = defPath;
    LoadStage(state);
    if (state.bRunning == 1) DrawFrames(state, keys, clock);
    UnloadStuff(state);

    std::error_code ec;
    if (!spritePath.empty()) std::filesystem::remove(ResolvePath(spritePath), ec);
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = (qb::fuzz::StartGraphics(), true);
    (void)started;
    qb::fuzz::LoadAndDraw(qb::fuzz::AsText(data, size));
    return 0;
}
