#include "app/load_stage.h"

#include <filesystem>

#include "app/app_state.h"
#include "app/commands.h"
#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"

namespace qb {

namespace {

constexpr const char* kLoadMenus[] = {"mnuOptions", "mnuStage", "mnuStagePrev", "mnuStageNext", "mnuR"};

void SetLoadMenus(AppState& state, bool enabled) {
    for (const char* name : kLoadMenus) state.Menus.SetEnabled(name, enabled);
}

// A remembered extracted file is deleted only when it lies in the program's folder, where package
// extraction writes; anything else (a sprite file in the MUGEN directory) is never touched.
void DeleteExtracted(const AppState& state, std::string& path) {
    if (path.empty() || state.ProgramDir.empty()) {
        path.clear();
        return;
    }
    std::error_code ec;
    std::filesystem::path file(ResolvePath(path));
    std::filesystem::path folder(ResolvePath(state.ProgramDir));
    if (std::filesystem::equivalent(file.parent_path(), folder, ec) && !ec) std::filesystem::remove(file, ec);
    path.clear();
}

}  // namespace

StageContext MakeStageContext(AppState& state) {
    StageContext ctx{state.Stage, state.Log, *state.ports.ui, state.LineNumber, state.MugeDir};
    ctx.fromPackage = state.FromPackage;
    ctx.extractedDefFile = &state.ExtractedDefFile;
    ctx.extractedSpriteFile = &state.ExtractedSpriteFile;
    ctx.onParseStart = [&state] { state.Menus.SetEnabled("mnuFS", false); };
    ctx.onCaption = [&state](const std::string& caption) { state.ports.ui->SetCaption(caption); };
    ctx.onSpriteFileMissing = [&state] {
        UnloadStuff(state);
        state.ports.ui->SetCaption(state.AppTitle);
        state.Menus.SetEnabled("mnuStage", true);
        state.Menus.SetEnabled("mnuOptions", true);
        state.Stage.LoadPhase = 0;
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
    cam.SavedHCamStep = cam.HCamStep;
    cam.SavedVCamStep = cam.VCamStep;
    state.Stage.LoadPhase = 1;
    state.bRunning = 1;

    StageContext ctx = MakeStageContext(state);
    if (!ParseStageDef(ctx, state.StageFile)) {
        state.bRunning = 0;
        // The window must stay usable after a failed load: every menu the load disabled comes back.
        SetLoadMenus(state, true);
        return;
    }

    // Full screen asked for while no stage ran: the wish left the item checked; the command toggles
    // it back on and now finds a running stage.
    if (state.bMakeFullScreen) {
        state.Menus.Toggle("mnuFS");
        mnuFS_Click(state);
    }

    // Presses made while the stage loaded must not act once it runs.
    if (Keys* keys = state.ports.keys) {
        for (Key k : {Key::MouseRight, Key::Left, Key::Right, Key::Up, Key::Down, Key::Pause, Key::Escape,
                      Key::Z, Key::A})
            keys->Pressed(k);
    }

    StageModel& stage = state.Stage;
    cam.CameraY = 0;
    PlaceElements(stage, state.MinPosY);
    cam.CameraX = -static_cast<float>(stage.CamOffsetX);
    ResolveControllerTargets(stage);

    if (!stage.MusicFile.empty() && state.Menus.Checked("mnuMusic") && !stage.MusicPath.empty() &&
        FileExists(stage.MusicPath) && state.ports.media) {
        MediaBackend& media = *state.ports.media;
        if (media.Open(stage.MusicPath)) {
            media.SetVolume(MusicVolume(stage.BgVolume));
            media.Play();
        }
    }

    SetLoadMenus(state, true);
    if (state.BackBuffer) a_clear_to_color(state.BackBuffer.get(), 0);
    stage.LoadPhase = 0;
}

void UnloadStuff(AppState& state) {
    state.bRunning = 0;
    if (!state.Reloading && state.FromPackage) {
        state.FromPackage = false;
        DeleteExtracted(state, state.ExtractedDefFile);
        DeleteExtracted(state, state.ExtractedSpriteFile);
    }
    state.DroppedPackage.clear();
    if (!state.Stage.MusicFile.empty() && state.ports.media) {
        state.ports.media->Stop();
    }
    // Every stage-wide value goes back to its program-start value, so a stage never looks different
    // depending on the stage opened before it (sprites' bitmaps go with their table).
    state.Stage = StageModel{};
    state.MinPosY = 0;
}

}  // namespace qb
