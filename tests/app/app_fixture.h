#pragma once
// A main window without a window: the application state wired to the fake ports, a temporary
// program folder and a temporary MUGEN directory into which tests write real stages.
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/menu_model.h"
#include "session/load_stage.h"
#include "app/startup.h"
#include "demo/sff_writer.h"
#include "tests/support/fakes.h"
#include "tests/support/sprites.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

// The 32-bit picture the last frame drew into; an empty one while the frames draw into the back buffer.
inline const Picture32& DrawnPicture(const AppState& state) {
    static const Picture32 none;
    const Picture32* picture = state.Target.Picture();
    return picture ? *picture : none;
}

class RecordingSink : public FrameSink {
public:
    void Present(const FrameImage&) override { ++presents; }
    int presents = 0;
};

inline std::string StageDefText(const std::string& name, const std::string& sprite) {
    return "[Info]\r\nname = " + name +
           "\r\n[Camera]\r\nstartx = 0\r\nstarty = 0\r\nboundleft = -100\r\nboundright = 100\r\n"
           "boundhigh = -20\r\nboundlow = 0\r\n[StageInfo]\r\nzoffset = 200\r\n[BGdef]\r\nspr = stages/" +
           sprite + "\r\n[BG Sky]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = 0,0\r\ndelta = 1,1\r\n";
}

inline std::string TinySff() {
    demo::SffSprite sprite;
    sprite.picture.width = 8;
    sprite.picture.height = 8;
    sprite.picture.pixels.assign(64, 1);
    sprite.palette[3] = 200;
    return demo::WriteSff({sprite});
}

struct AppFixture {
    TempDir program;
    TempDir mugen;
    TempDir temp;  // the temporary folder: packages extract here, never into the shared /tmp
    FakeUi ui;
    FakeKeys keys;
    FakeClock clock;
    FakeMedia media;
    RecordingSink sink;
    FakeTimers timers;
    AppState state;

    AppFixture() {
        state.ports = Ports{&ui, &keys, &clock, &media, &sink, &timers};
        state.ProgramDir = program.Path().string();
        state.Dirs = PortableDataDirs(state.ProgramDir);
        state.Dirs.Temp = temp.Path().string();
        state.MugeDir = mugen.Dir();
        SetVersionAndTitle(state);
        a_allegro_init();
        state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
        state.Loop.PerfFrequency = FakeClock::kFrequency;
    }

    // Writes stages/<file>.def (and its sprite file unless `sprite` is empty); answers the path.
    std::string AddStage(const std::string& file, const std::string& name, std::string sprite = {}) const {
        if (sprite.empty()) sprite = file + ".sff";
        mugen.Write("stages/" + sprite, TinySff());
        return mugen.Write("stages/" + file + ".def", StageDefText(name, sprite)).string();
    }

    // Writes stages/<name>.def (and the sprites as stages/<name>.sff unless `sprites` is empty).
    std::string WriteStage(const std::string& name, const std::string& def,
                           const std::vector<demo::SffSprite>& sprites = {SolidSprite(0, 0)}) const {
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

    // Makes the run loop end at the given DoEvents call, as a command serviced mid-frame would.
    void EndLoopAtDoEvents(int doEventsCalls) {
        ui.onDoEvents = [this, seen = 0, doEventsCalls]() mutable {
            if (++seen >= doEventsCalls) state.Loop.ExitLoop = true;
        };
    }

    // Empties what the fakes recorded, for tests that run long sessions.
    void ForgetRecords() {
        ui.boxes.clear();
        ui.captions.clear();
        ui.moves.clear();
        clock.sleeps.clear();
        ui.eventWaits.clear();
        media.calls.clear();
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.boxes) texts.push_back(box.text);
        return texts;
    }
};

}  // namespace qb::test
