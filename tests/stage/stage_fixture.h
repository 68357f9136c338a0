#pragma once
// A temporary MUGEN directory and program folder and a stage model loaded the way the main window
// loads it (parse, sprite file, placement, controller targets), for stages written as string literals.
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tests/support/fakes.h"
#include "tests/support/sprites.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

struct StageFixture {
    TempDir mugen;
    TempDir program;
    FakeUi ui;
    StageModel stage;
    StageLoadState load;
    ErrorLog log;
    int32_t lineNumber = 0;
    float minPosY = 0;
    bool spriteFileMissing = false;

    StageFixture() { a_allegro_init(); }

    // Writes stages/<name>.def (and the sprites as stages/<name>.sff unless `sprites` is empty).
    std::string WriteStage(const std::string& name, const std::string& def,
                           const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) {
        if (!sprites.empty()) mugen.Write("stages/" + name + ".sff", demo::WriteSff(sprites));
        return mugen.Write("stages/" + name + ".def", def).string();
    }

    // Loads into a fresh model with a fresh line counter and log. True when the stage runs.
    bool Load(std::string defPath) {
        stage = StageModel{};
        load = StageLoadState{};
        log.Clear();
        lineNumber = 0;
        minPosY = 0;
        StageContext ctx{stage, load, log, ui, lineNumber, mugen.Dir()};
        ctx.onSpriteFileMissing = [this] {
            spriteFileMissing = true;
            stage = StageModel{};
        };
        if (!ParseStageDef(ctx, defPath)) return false;
        PlaceElements(stage, minPosY);
        ResolveControllerTargets(stage);
        return true;
    }
    bool LoadText(const std::string& def, const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) {
        return Load(WriteStage("test", def, sprites));
    }

    StageModel& Stage() { return stage; }
    const std::string& Log() const { return log.Text(); }
};

}  // namespace qb::test
