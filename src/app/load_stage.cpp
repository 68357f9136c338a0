#include "app/load_stage.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "app/open_package.h"
#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tools/bg_commands.h"

namespace qb {

namespace {

void SetLoadMenus(AppState& state, bool enabled) {
    state.Window.StageLoading = !enabled;
    if (state.Chooser.Loaded) EnableMusicChooser(state.Chooser, enabled);
}

}  // namespace

StageContext MakeStageContext(AppState& state) {
    StageContext ctx{state.Stage, state.Load, state.Log, *state.ports.ui, state.LineNumber, state.MugeDir};
    ctx.fromPackage = state.Package.FromPackage;
    ctx.extractedDefFile = &state.Package.ExtractedDefFile;
    ctx.extractedSpriteFile = &state.Package.ExtractedSpriteFile;
    ctx.onCaption = [&state](const std::string& caption) { state.ports.ui->SetCaption(caption); };
    ctx.onSpriteFileMissing = [&state] {
        UnloadStuff(state);
        state.ports.ui->SetCaption(state.AppTitle);
        state.Window.StageLoading = false;
        state.Load.LoadPhase = 0;
    };
    return ctx;
}

void LoadStage(AppState& state) {
    if (!state.ports.ui) {
        state.bRunning = 0;
        return;
    }
    SetLoadMenus(state, false);
    CameraState& cam = state.Camera;
    if (cam.HCamStep == 0) cam.HCamStep = 1.0f;
    if (cam.VCamStep == 0) cam.VCamStep = 1.0f;
    state.Load.LoadPhase = 1;
    state.bRunning = 1;

    StageContext ctx = MakeStageContext(state);
    if (!ParseStageDef(ctx, state.StageFile)) {
        state.bRunning = 0;
        // The window must stay usable after a failed load: every menu the load disabled comes back,
        // and the view shows nothing rather than the previous stage's last frame.
        SetLoadMenus(state, true);
        ClearView(state);
        return;
    }

    // Full screen asked for while no stage ran: the wish left the item checked; the command toggles
    // it back on and now finds a running stage.
    if (state.bMakeFullScreen) {
        SwitchFullScreen(state, true);
    }

    // Presses made while the stage loaded must not act once it runs.
    if (Keys* keys = state.ports.keys) {
        for (Key k : {Key::MouseRight, Key::Left, Key::Right, Key::Up, Key::Down, Key::Pause, Key::Escape,
                      Key::Z, Key::A})
            keys->Pressed(k);
    }

    PlaceLoadedStage(state);
    // What the editor's writes compare against: the stage as the file gives it, placed.
    BeginEditBaseline(state.Stage, state.Load.Source, state.Edit);
    StartStageMusic(state);

    SetLoadMenus(state, true);
    if (state.Chooser.Loaded) InitMusicChooser(state.Chooser, state.Stage, state.MUSIC, state.bRunning != 0);
    if (state.BackBuffer) a_clear_to_color(state.BackBuffer.get(), 0);
    state.Load.LoadPhase = 0;
}

void PlaceLoadedStage(AppState& state) {
    CameraState& cam = state.Camera;
    StageModel& stage = state.Stage;
    cam.CameraY = 0;
    cam.CamOffsetX = PlaceElements(stage, state.Load.MinPosY);
    cam.CameraX = -static_cast<float>(cam.CamOffsetX);
    // The first element pass moves elements by the camera's travel since the previous pass: that
    // travel starts at zero, not at wherever the previous stage left the camera.
    cam.PrevCameraX = cam.CameraX;
    cam.PrevCameraY = cam.CameraY;
    // The view rectangle the tiling runs measure against is the whole 320 x 240 view again.
    cam.ViewLeft = 0;
    cam.ViewTop = 0;
    cam.ViewRight = 320;
    cam.ViewBottom = 240;
    ResolveControllerTargets(stage);
}

void StartStageMusic(AppState& state) {
    const StageModel& stage = state.Stage;
    // An empty "bgmusic =" reads as the text "0": no music, not a file named 0 beside the stage.
    const bool named = !stage.MusicFile.empty() && stage.MusicFile != "0" && !state.Load.MusicPath.empty();
    const std::string path = named ? state.Load.MusicPath : std::string();
    const bool exists = named && FileExists(path);
    // The player always takes this stage's file, also one that is missing or none at all: left
    // holding the previous stage's file, it would play that when Music is switched on.
    const bool opened = state.MUSIC.SetFileName(path);
    if (!named) return;
    if (exists && opened) {
        // The volume is set either way, so that switching Music on later plays it right.
        state.MUSIC.SetVolume(MusicVolume(stage.BgVolume));
        if (state.Options.Music) state.MUSIC.Play();
    } else {
        state.Log.Append(std::string(kMusicNotPlayedEntry) + path + ": " +
                         (exists ? state.MUSIC.OpenError() : std::string("no such file")) + "\r\n");
    }
}

bool LoadInProgress(const AppState& state) {
    return state.Load.LoadPhase != 0;
}

void UnloadStuff(AppState& state) {
    state.bRunning = 0;
    if (!state.Package.Reloading && state.Package.FromPackage) DeleteExtractedFiles(state.Package);
    // Whatever plays stops, also the chooser's preview on a stage that has no music of its own.
    state.MUSIC.StopPlaying();
    if (state.Chooser.Loaded) EnableMusicChooser(state.Chooser, false);
    // Every stage-wide value goes back to its program-start value, so a stage never looks different
    // depending on the stage opened before it (sprites' bitmaps go with their table).
    state.Stage = StageModel{};
    state.Load = StageLoadState{};
}

}  // namespace qb
