#pragma once
// Test characters written into a temporary folder: the four files with defaults that load, any of
// which a test replaces, and a loader environment whose boxes and log are recorded.
#include <string>
#include <vector>

#include "character/load_character.h"
#include "demo/sff_writer.h"
#include "stage/error_log.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

struct CharFiles {
    std::string def =
        "[Info]\ndisplayname = \"Tester\"\n[Files]\ncns = t.cns\nstcommon = common1.cns\nsprite = t.sff\n"
        "anim = t.air\n[Arcade]\n";
    std::string air =
        "[Begin Action 0]\n0,0, 0,0, 5\n[Begin Action 5]\n5,0, 0,0, 4\n[Begin Action 20]\n20,0, 0,0, 3\n"
        "20,1, 0,0, 3\n20,0, 0,0, 3\n20,1, 0,0, 3\n[Begin Action 47]\n0,0, 0,0, 2\n";
    std::string cns = "[Size]\nxscale = 1\nyscale = 1\n[Velocity]\nwalk.fwd = 2\njump.neu = 0,-8\n[Statedef 0]\n";
    // Sprites 0,0 / 5,0 / 20,0 / 20,1, each 2 x 3.
    std::vector<demo::SffSprite> sprites = DefaultSprites();
    // When not empty, the sprite file's bytes (a version 2 file) instead of `sprites`.
    std::string spriteFile;

    static std::vector<demo::SffSprite> DefaultSprites();
};

// Writes `files` into `dir`: the definition as `folder` + `defName`, the other three beside it under
// the names the definition gives (t.air, t.cns, t.sff by default). Answers the definition's path.
std::string WriteCharFiles(const TempDir& dir, const std::string& folder, const std::string& defName,
                           const CharFiles& files);

class CharHarness {
public:
    CharHarness() : reader{log, ui, lineNumber, {}}, env{ui, reader, nullptr} {}
    // Writes the files under chars/t/ and answers the definition's path.
    std::string Write(const CharFiles& files);
    // Writes and loads into `character`.
    bool Load(const CharFiles& files);
    // The text of the only box shown, or "" when none (and a failure when more than one).
    std::string OnlyBox() const;

    TempDir dir;
    FakeUi ui;
    ErrorLog log;
    int32_t lineNumber = 0;
    ReaderContext reader;
    CharLoadEnv env;
    TestCharacter character;
};

}  // namespace qb::test
