#pragma once
// A temporary MUGEN directory and program folder with a main-window state wired to fakes, for
// loading stages written as string literals.
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/load_stage.h"
#include "demo/sff_writer.h"
#include "platform/gfx.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

// A sprite of `w` x `h` pixels of colour 1 with its axis at (ax, ay).
inline demo::SffSprite SolidSprite(int32_t group, int16_t image, int16_t ax = 0, int16_t ay = 0, int w = 4,
                                   int h = 3) {
    demo::SffSprite s;
    s.group = group;
    s.image = image;
    s.axisX = ax;
    s.axisY = ay;
    s.picture = demo::Picture{w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 1)};
    s.palette[3] = 255;
    return s;
}

struct StageFixture {
    TempDir mugen;
    TempDir program;
    FakeUi ui;
    FakeMedia media;
    FakeKeys keys;
    AppState state;

    StageFixture() {
        a_allegro_init();
        state.ports.ui = &ui;
        state.ports.media = &media;
        state.ports.keys = &keys;
        state.AppTitle = "Quillback .67 Beta by Tarnwick";
        state.ProgramDir = program.Path().string();
        state.MugeDir = mugen.Dir();
    }

    // Writes stages/<name>.def (and the sprites as stages/<name>.sff unless `sprites` is empty).
    std::string WriteStage(const std::string& name, const std::string& def,
                           const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) {
        if (!sprites.empty()) mugen.Write("stages/" + name + ".sff", demo::WriteSff(sprites));
        return mugen.Write("stages/" + name + ".def", def).string();
    }

    // Loads as the run loop does: line counter, empty log, LoadStage. True when the stage runs.
    bool Load(const std::string& defPath) {
        state.StageFile = defPath;
        state.LineNumber = 0;
        state.Log.Clear();
        LoadStage(state);
        return state.bRunning == 1;
    }
    bool LoadText(const std::string& def, const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) {
        return Load(WriteStage("test", def, sprites));
    }

    StageModel& Stage() { return state.Stage; }
    const std::string& Log() const { return state.Log.Text(); }
};

}  // namespace qb::test
