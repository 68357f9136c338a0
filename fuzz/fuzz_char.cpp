// The character loader over one character's four files: the definition, the animations, the
// constants and the sprite file, cut from one input at a marker line. Every count and index the
// files give must stay inside the tables the loader builds.
#include <filesystem>
#include <string>
#include <system_error>
#include <string_view>

#include "character/char_walker.h"
#include "character/load_character.h"
#include "character/test_character.h"
#include "fuzz/fuzz_support.h"
#include "platform/gfx.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "tests/support/fakes.h"

namespace qb::fuzz {
namespace {

constexpr std::string_view kMarker = "\n--8<--\n";
// The names the seeds' definitions are rewritten to use.
constexpr const char* kParts[] = {"c.def", "c.air", "c.cns", "c.sff"};

void LoadAsCharacter(std::string_view input) {
    const test::TempDir& dir = Scratch();
    std::error_code ec;
    for (const char* name : kParts) std::filesystem::remove(dir.Path() / name, ec);
    size_t start = 0;
    for (const char* name : kParts) {
        const size_t end = input.find(kMarker, start);
        dir.Write(name, std::string(input.substr(start, end == std::string_view::npos ? end : end - start)));
        if (end == std::string_view::npos) break;
        start = end + kMarker.size();
    }

    test::FakeUi ui;
    ErrorLog log;
    int32_t lineNumber = 0;
    ReaderContext reader{log, ui, lineNumber, {}};
    CharLoadEnv env{ui, reader};
    TestCharacter character;
    if (!LoadCharacter(env, character, dir.Dir() + "c.def", false)) return;

    QB_FUZZ_CHECK(character.Actions.size() == static_cast<size_t>(kCharSlotCount));
    for (const CharAction& action : character.Actions)
        QB_FUZZ_CHECK(action.FrameCount >= 0 && static_cast<size_t>(action.FrameCount) <= action.Frames.size());
    for (const SpriteEntry& entry : character.Sprites)
        if (entry.Owner >= 0) QB_FUZZ_CHECK(static_cast<size_t>(entry.Owner) < character.Sprites.size());

    // A few frames of the walker over the loaded files: standing, walking both ways, turning.
    CharState chars;
    chars.Characters.push_back(std::move(character));
    chars.CharCount = 1;
    chars.CharLoaded = 255;
    chars.CharEnabled = 255;
    chars.GroundY = 200;
    StageModel stage;
    stage.Tension = 50;
    stage.ShadowYScale = -0.4f;
    stage.Reflect = 1;
    stage.ReflectionIntensity = 128;
    CameraState camera;
    FrameState frame;
    UniqueBitmap backBuffer = CreateBitmap(kViewWidth, kViewHeight);
    test::FakeKeys keys;
    const Key script[] = {Key::Count, Key::Right, Key::Right, Key::Left, Key::Left, Key::Count};
    for (Key key : script) {
        keys.ReleaseAll();
        if (key != Key::Count) keys.Hold(key);
        if (!Char(chars, CharScene{stage, camera, frame, backBuffer.get(), keys, ui})) break;
    }
    ReleaseCharacter(chars.Characters, chars.CharCount, chars.CharLoaded);
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qb::fuzz::StartGraphics();
    qb::fuzz::LoadAsCharacter(qb::fuzz::AsText(data, size));
    return 0;
}
