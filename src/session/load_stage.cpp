#include "session/load_stage.h"

#include <algorithm>

#include "session/session_state.h"
#include "library/open_package.h"
#include "music/music_chooser.h"
#include "platform/paths.h"
#include "render/camera.h"
#include "stage/load_stage_files.h"
#include "stage/stage_loader.h"
#include "stage/stage_version.h"
#include "tools/bg_commands.h"
#include "tools/bg_editor.h"

namespace qb {

namespace {

void SetLoadMenus(SessionState& state, bool enabled) {
    state.Host().SetStageLoading(!enabled);
    if (state.Chooser.Loaded) EnableMusicChooser(state.Chooser, enabled);
}

}  // namespace

namespace {

// A Fresh install whose sprite file is missing: the stage is released and the window given back.
void ReleaseMissingStage(SessionState& state) {
    UnloadStuff(state);
    state.ports.ui->SetCaption(state.AppTitle);
    state.Host().SetStageLoading(false);
    state.StageFile.clear();
}

// Puts the freshly loaded stage where the old one was seen from: elements are placed for the camera's
// start, and each pass moves them by delta times the camera's step (parallax elements follow the
// camera by themselves), so the camera's distance from its start moves them at once.
void KeepCamera(SessionState& state, const CameraState& kept) {
    CameraState& cam = state.Camera;
    const auto follow = static_cast<float>(LayerCameraScale(state.Stage));
    const float dx = (kept.CameraX - cam.CameraX) * follow;
    const float dy = (kept.CameraY - cam.CameraY) * follow;
    for (BgElement& e : state.Stage.Elements) {
        if (e.Type == "parallax") continue;
        e.PosX += e.DeltaX * dx;
        e.PosY -= e.DeltaY * dy;
    }
    const int16_t offset = cam.CamOffsetX;
    const CameraState fresh = cam;
    cam = kept;
    cam.CamOffsetX = offset;
    // The reloaded stage's zoom range, the zoom the user had kept within it.
    cam.ZoomOut = fresh.ZoomOut;
    cam.ZoomIn = fresh.ZoomIn;
    cam.StartZoom = fresh.StartZoom;
    cam.ViewHalfUnits = fresh.ViewHalfUnits;
    cam.Zoom = std::clamp(kept.Zoom, fresh.ZoomOut, fresh.ZoomIn);
    cam.PrevCameraX = cam.CameraX;
    cam.PrevCameraY = cam.CameraY;
}

void StartCamera(CameraState& cam, int16_t camOffsetX) {
    cam.CameraY = 0;
    cam.CamOffsetX = camOffsetX;
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
}


}  // namespace

void AddPackageNotes(SessionState& state) {
    if (!state.Package.FromPackage) return;
    for (const std::string& note : state.Package.Notes)
        state.Log.Add(
            Problem{.kind = ProblemKind::PackageNote, .file = state.Package.PackageFile, .text = note});
}

void LoadStage(SessionState& state) {
    if (!state.ports.ui) {
        state.bRunning = 0;
        return;
    }
    SetLoadMenus(state, false);
    CameraState& cam = state.Camera;
    if (cam.HCamStep == 0) cam.HCamStep = 1.0f;
    if (cam.VCamStep == 0) cam.VCamStep = 1.0f;
    state.Load.LoadPhase = 1;
    state.bRunning = 0;

    UiProgress progress(*state.ports.ui);
    if (!InstallStage(state, LoadStageFiles({state.StageFile, state.MugeDir}, progress), InstallHow::Fresh)) {
        state.bRunning = 0;
        // The window must stay usable after a failed load: every menu the load disabled comes back,
        // and the view shows nothing rather than the previous stage's last frame.
        SetLoadMenus(state, true);
        state.Host().ClearView();
        state.Load.LoadPhase = 0;
        return;
    }

    // Full screen asked for while no stage ran: the wish left the item checked; the command toggles
    // it back on and now finds a running stage.
    state.Host().FulfilFullScreenWish();

    // Presses made while the stage loaded must not act once it runs.
    if (Keys* keys = state.ports.keys) {
        for (Key k : {Key::MouseRight, Key::Left, Key::Right, Key::Up, Key::Down, Key::Pause, Key::Escape,
                      Key::Z, Key::A})
            keys->Pressed(k);
    }

    SetLoadMenus(state, true);
    if (state.Chooser.Loaded) InitMusicChooser(state.Chooser, state.Stage, state.MUSIC, state.bRunning != 0);
    state.Host().ClearPicture(false);
    state.Load.LoadPhase = 0;
}

bool InstallStage(SessionState& state, LoadResult&& result, InstallHow how) {
    const bool fresh = how == InstallHow::Fresh;
    if (!fresh && !result.ok) return false;  // the stage on screen stays, and so does its log
    if (fresh) {
        // The boxes come in the order the load asked for them, each with the reader's line counter as
        // it stood then.
        for (const LoadBox& box : result.boxes) {
            state.LineNumber = box.line;
            if (state.ports.ui) state.ports.ui->MsgBox(box.text, box.icon, box.buttons);
        }
        state.Log.AddAll(result.log.Records());
    } else {
        // A reload shows no box (a save in the text editor must not put a modal box in front of it):
        // its boxes are log entries where they were asked.
        state.Log.Clear();
        AddPackageNotes(state);
        state.Log.AddAll(result.ProblemsWithBoxes());
    }
    state.LineNumber = result.lineNumber;
    if (!result.ok) {
        if (fresh) ReleaseMissingStage(state);
        return false;
    }

    const CameraState kept = state.Camera;
    const std::string oldMusic = state.Load.MusicPath;
    const bool hadMusic = !state.Stage.MusicFile.empty();
    // The phase is the load's, not the stage's: the commands keep waiting until the install is over.
    const uint8_t phase = state.Load.LoadPhase;
    state.Stage = std::move(result.stage);
    state.Load = std::move(result.load);
    state.Load.LoadPhase = phase;
    state.bRunning = 1;
    state.Host().InstallPicture();
    // A packaged stage's extracted files are deleted when it is released.
    PackageState& package = state.Package;
    package.ExtractedDefFile = package.FromPackage ? state.StageFile : std::string();
    package.ExtractedSpriteFile = package.FromPackage ? state.Stage.SpriteFile : std::string();

    StartCamera(state.Camera, result.camOffsetX);
    ApplyZoomRange(state.Stage, state.Camera, false);
    if (fresh) {
        // What the editor's writes compare against: the stage as the file gives it, placed.
        BeginEditBaseline(state.Stage, state.Load.Source, state.Edit);
        StartStageMusic(state);
    } else {
        KeepCamera(state, kept);
        // The music plays on when the definition names the same file; its volume follows bgvolume.
        if (state.Load.MusicPath == oldMusic && !oldMusic.empty()) {
            state.MUSIC.SetLevel(state.Stage.BgmVolume);
            state.MUSIC.SetLoop(state.Stage.BgmLoopStart, state.Stage.BgmLoopEnd);
            state.MUSIC.SetVolume(MusicVolume(state.Stage.BgVolume));
        } else {
            if (hadMusic) state.MUSIC.StopPlaying();
            StartStageMusic(state);
        }
        if (state.Chooser.Loaded) InitMusicChooser(state.Chooser, state.Stage, state.MUSIC, true);
        EditState& edit = state.Edit;
        if (edit.SelectedElement >= state.Stage.ElementCount) edit.SelectedElement = -1;
        edit.DragIndex = -1;
        ShowStuff(state.Stage, edit.Fields);
        BeginEditBaseline(state.Stage, state.Load.Source, edit);
        if (edit.SelectedElement >= 0) ShowElement(state.Stage, edit.SelectedElement, edit.Fields, &edit);
        // Parts of the view the new stage does not cover must not keep the old stage's pixels.
        state.Host().ClearPicture(true);
        state.Host().ShowStageCaption();
    }
    // What the files held when they were read is what later changes are measured against.
    WatchStageFiles(state, std::move(result.files), std::move(result.stamps));
    return true;
}

void StartStageMusic(SessionState& state) {
    const StageModel& stage = state.Stage;
    // An empty "bgmusic =" reads as the text "0": no music, not a file named 0 beside the stage.
    const bool named = !stage.MusicFile.empty() && stage.MusicFile != "0" && !state.Load.MusicPath.empty();
    const std::string path = named ? state.Load.MusicPath : std::string();
    const bool exists = named && FileExists(path);
    // The player always takes this stage's file, also one that is missing or none at all: left
    // holding the previous stage's file, it would play that when Music is switched on.
    const bool opened = state.MUSIC.SetFileName(path);
    state.MUSIC.SetLevel(stage.BgmVolume);
    state.MUSIC.SetLoop(stage.BgmLoopStart, stage.BgmLoopEnd);
    if (!named) return;
    if (exists && opened) {
        // The volume is set either way, so that switching Music on later plays it right.
        state.MUSIC.SetVolume(MusicVolume(stage.BgVolume));
        if (state.Host().MusicOn()) state.MUSIC.Play();
    } else {
        state.Log.Add(Problem{.kind = ProblemKind::MusicNotPlayed,
                              .file = path,
                              .text = exists ? state.MUSIC.OpenError() : std::string("no such file")});
    }
}

std::vector<FileStamp> StampsOf(const std::vector<std::string>& files) {
    std::vector<FileStamp> stamps;
    for (const std::string& file : files) stamps.push_back(StampOf(file));
    return stamps;
}

void WatchStageFiles(SessionState& state, std::vector<std::string> files, std::vector<FileStamp> stamps) {
    LiveReloadState& live = state.Live;
    live.Files = std::move(files);
    live.Stamps = std::move(stamps);
    // A packaged stage's files are extracted copies: the package is what the user changes.
    if (state.Package.FromPackage) {
        live.Files.push_back(ResolvePath(state.Package.PackageFile));
        live.Stamps.push_back(StampOf(live.Files.back()));
    }
    live.Pending = false;
    live.LastFailed = false;
    live.BaseLog = state.Log.Records();
}

void WatchStageFiles(SessionState& state) {
    LiveReloadState& live = state.Live;
    live.Files.clear();
    if (!state.StageFile.empty()) live.Files.push_back(ResolvePath(state.StageFile));
    if (!state.Stage.SpriteFile.empty()) live.Files.push_back(ResolvePath(state.Stage.SpriteFile));
    // A packaged stage's files are extracted copies: the package is what the user changes.
    if (state.Package.FromPackage) live.Files.push_back(ResolvePath(state.Package.PackageFile));
    live.Stamps = StampsOf(live.Files);
    live.Pending = false;
    live.LastFailed = false;
    live.BaseLog = state.Log.Records();
}

void UnloadStuff(SessionState& state) {
    state.bRunning = 0;
    if (!state.Package.Reloading && state.Package.FromPackage) DeleteExtractedFiles(state.Package);
    // Whatever plays stops, also the chooser's preview on a stage that has no music of its own.
    state.MUSIC.StopPlaying();
    if (state.Chooser.Loaded) EnableMusicChooser(state.Chooser, false);
    // Every stage-wide value goes back to its program-start value, so a stage never looks different
    // depending on the stage opened before it (sprites' bitmaps go with their table).
    state.Stage = StageModel{};
    state.Load = StageLoadState{};
    // The editor's undo steps name elements of the stage that goes.
    state.Edit.History.Clear();
    // A reload keeps the old frame on screen until the new stage is installed.
    if (!state.Package.Reloading) state.Host().ReleasePicture();
}

}  // namespace qb
