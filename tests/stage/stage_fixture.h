#pragma once
// A temporary MUGEN directory and program folder and a stage model loaded the way the main window
// loads it (parse, sprite file, placement, controller targets), for stages written as string literals.
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "stage/load_stage_files.h"
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

    // Loads into a fresh model with a fresh line counter and log, through the pipeline the program
    // uses; the boxes it asks for are shown on `ui`. True when the stage runs.
    bool Load(std::string defPath) {
        UiProgress progress(ui);
        LoadResult result = LoadStageFiles({defPath, mugen.Dir()}, progress);
        for (const LoadBox& box : result.boxes) ui.MsgBox(box.text, box.icon, box.buttons);
        stage = std::move(result.stage);
        load = std::move(result.load);
        log = std::move(result.log);
        lineNumber = result.lineNumber;
        minPosY = load.MinPosY;
        spriteFileMissing = !result.ok;
        if (!result.ok) stage = StageModel{};
        return result.ok;
    }
    bool LoadText(const std::string& def, const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) {
        return Load(WriteStage("test", def, sprites));
    }

    StageModel& Stage() { return stage; }
    const std::string& Log() const { return log.Text(); }
};

}  // namespace qb::test
