#include "app/live_reload.h"

#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/bg_buttons.h"
#include "app/load_stage.h"
#include "app/open_package.h"
#include "app/startup.h"
#include "app/window_rules.h"
#include "library/stage_list.h"
#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tools/bg_commands.h"
#include "tools/bg_editor.h"

namespace qb {

namespace {

// The Ui a background reload talks to: its boxes become log entries (a save in the text editor must
// not put a modal box in front of it), and it services no window messages, so no command can release
// or replace the stage while the new one is read.
class ReloadUi : public HeadlessUi {
public:
    explicit ReloadUi(ErrorLog* log) : m_log(log) {}
    // Questions are answered No: a reload asks nothing of the user.
    MsgAnswer MsgBox(const std::string& text, MsgIcon, MsgButtons buttons, const std::string&) override {
        if (m_log) m_log->Append(text);
        return buttons == MsgButtons::Ok || buttons == MsgButtons::OkCancel ? MsgAnswer::Ok : MsgAnswer::No;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool* cancelled) override {
        if (cancelled) *cancelled = true;
        return {};
    }

private:
    ErrorLog* m_log;
};

uint64_t Fnv1a(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::vector<FileStamp> StampsOf(const std::vector<std::string>& files) {
    std::vector<FileStamp> stamps;
    for (const std::string& file : files) stamps.push_back(StampOf(file));
    return stamps;
}

// Why the definition at `path` does not give a stage, judged after it was parsed into `fresh`; empty
// when it does. The loader itself carries on past all of these (it would show an empty or black
// stage), but a reload must not replace a working stage by one.
std::string RefusalOf(const StageModel& fresh, bool parsed) {
    if (!parsed) return "its sprite file was not found";
    if (fresh.Elements.empty()) return "it has no background elements";
    if (fresh.SpriteCount <= 0) return "its sprite file holds no readable sprites";
    return {};
}

void ShowFailure(AppState& state, const std::string& reason, const ErrorLog& freshLog) {
    LiveReloadState& live = state.Live;
    live.LastFailed = true;
    // The entries of earlier failed attempts are replaced, not piled up: the log shows the stage on
    // screen and what is wrong with the file now.
    state.Log.SetText(live.BaseLog);
    state.Log.Append("Reloading " + FileNameOf(state.StageFile) + " failed: " + reason +
                     ". The stage on screen is the one loaded before.");
    if (!freshLog.Text().empty()) state.Log.Append(freshLog.Text());
    state.Window.ErrorLogShown = true;
    state.ports.ui->ShowErrorLog(true);
}

// Puts the freshly loaded stage where the old one was seen from: elements are placed for the camera's
// start, and each pass moves them by delta times the camera's step (parallax elements follow the
// camera by themselves), so the camera's distance from its start moves them at once.
void KeepCamera(AppState& state, const CameraState& kept) {
    CameraState& cam = state.Camera;
    const float dx = kept.CameraX - cam.CameraX;
    const float dy = kept.CameraY - cam.CameraY;
    for (BgElement& e : state.Stage.Elements) {
        if (e.Type == "parallax") continue;
        e.PosX += e.DeltaX * dx;
        e.PosY -= e.DeltaY * dy;
    }
    const int16_t offset = cam.CamOffsetX;
    cam = kept;
    cam.CamOffsetX = offset;
    cam.PrevCameraX = cam.CameraX;
    cam.PrevCameraY = cam.CameraY;
}

bool ReloadStage(AppState& state) {
    StageModel fresh;
    StageLoadState freshLoad;
    ErrorLog freshLog;
    ReloadUi quiet(&freshLog);
    int32_t lineNumber = 0;
    StageContext ctx{fresh, freshLoad, freshLog, quiet, lineNumber, state.MugeDir};
    // A packaged stage keeps reading its extracted files, which stay until the stage is closed.
    ctx.fromPackage = state.Package.FromPackage;
    std::string extractedDef = state.Package.ExtractedDefFile;
    std::string extractedSprite = state.Package.ExtractedSpriteFile;
    ctx.extractedDefFile = &extractedDef;
    ctx.extractedSpriteFile = &extractedSprite;

    std::string path = state.StageFile;
    const auto bytes = ReadFileBytes(path, kMaxSpriteFileBytes);
    if (!bytes) {
        ShowFailure(state, "the file cannot be read", freshLog);
        return false;
    }
    if (bytes->find_first_not_of(" \t\r\n") == std::string::npos) {
        // Editors that truncate before they write are caught here halfway; their last write follows.
        ShowFailure(state, "the file is empty", freshLog);
        return false;
    }
    const bool parsed = ParseStageDef(ctx, path);
    if (const std::string refusal = RefusalOf(fresh, parsed); !refusal.empty()) {
        ShowFailure(state, refusal, freshLog);
        return false;
    }

    const CameraState kept = state.Camera;
    const std::string oldMusic = state.Load.MusicPath;
    const bool hadMusic = !state.Stage.MusicFile.empty();
    state.Stage = std::move(fresh);
    state.Load = std::move(freshLoad);
    state.Load.LoadPhase = 0;  // the parse left its phase behind; the commands wait while it is set
    state.Package.ExtractedDefFile = extractedDef;
    state.Package.ExtractedSpriteFile = extractedSprite;

    state.Log.Clear();
    if (state.Package.FromPackage)
        for (const std::string& note : state.Package.Notes) state.Log.Append(note);
    state.Log.Append(freshLog.Text());

    PlaceLoadedStage(state);
    KeepCamera(state, kept);
    // The music plays on when the definition names the same file; its volume follows bgvolume.
    if (state.Load.MusicPath == oldMusic && !oldMusic.empty()) {
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
    if (edit.SelectedElement >= 0) ShowElement(state.Stage, edit.SelectedElement, edit.Fields);
    state.Frame.Drawn.clear();
    // Parts of the view the new stage does not cover must not keep the old stage's pixels.
    if (state.BackBuffer) a_clear_to_color(state.BackBuffer.get(), 0);

    state.ports.ui->SetCaption(StageCaption(state.Stage.StageName, state.Loop.Paused == 255));
    ++state.Live.Reloads;
    return true;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
    namespace fs = std::filesystem;
    FileStamp stamp;
    const std::string native = ResolvePath(path);
    std::error_code ec;
    const auto size = fs::file_size(native, ec);
    if (ec) return stamp;
    stamp.size = static_cast<int64_t>(size);
    if (stamp.size <= kStampHashLimit) {
        if (const auto bytes = ReadFileBytes(native, static_cast<size_t>(kStampHashLimit))) stamp.hash = Fnv1a(*bytes);
        return stamp;
    }
    const auto time = fs::last_write_time(native, ec);
    if (!ec) stamp.time = static_cast<int64_t>(time.time_since_epoch().count());
    return stamp;
}

void WatchStageFiles(AppState& state) {
    LiveReloadState& live = state.Live;
    live.Files.clear();
    if (!state.StageFile.empty()) live.Files.push_back(ResolvePath(state.StageFile));
    if (!state.Stage.SpriteFile.empty()) live.Files.push_back(ResolvePath(state.Stage.SpriteFile));
    // A packaged stage's files are extracted copies: the package is what the user changes.
    if (state.Package.FromPackage) live.Files.push_back(ResolvePath(state.Package.PackageFile));
    live.Stamps = StampsOf(live.Files);
    live.Pending = false;
    live.LastFailed = false;
    live.BaseLog = state.Log.Text();
}

std::vector<std::string> StageFilesToWatch(const AppState& state) {
    if (state.bRunning != 1 || !state.Options.AutoReload) return {};
    return state.Live.Files;
}

void NoteStageFilesChanged(AppState& state) {
    if (state.bRunning != 1 || !state.Options.AutoReload || !state.ports.clock) return;
    state.Live.Pending = true;
    state.Live.Deadline = state.ports.clock->TickCount() + kReloadSettleMs;
}

bool PollLiveReload(AppState& state) {
    LiveReloadState& live = state.Live;
    if (!live.Pending) return false;
    if (state.bRunning != 1 || !state.Options.AutoReload || !state.ports.ui) {
        live.Pending = false;
        return false;
    }
    if (static_cast<int32_t>(state.ports.clock->TickCount() - live.Deadline) < 0) return false;
    live.Pending = false;
    if (PackageChanged(state.Package)) {
        // Unwritten edits win over a changed package as over a changed definition: they are kept and
        // the user told, with no question coming out of nowhere; Reload then takes the package's.
        if (HasUnwrittenEdits(state.Stage, state.Edit)) {
            HoldEditsAgainstDiskChange(state);
            return false;
        }
        // Extracted again and started through tmrStart as the Reload command does; the new stage
        // is not on screen yet.
        mnuReload_Click(state);
        return false;
    }
    std::vector<FileStamp> now = StampsOf(live.Files);
    if (now == live.Stamps && !live.LastFailed) return false;
    // Whatever the outcome, these contents have been looked at: only a further change tries again.
    live.Stamps = std::move(now);
    // Edits made with Update but not written would be lost by the reload: they win until the user
    // reloads or writes.
    if (HasUnwrittenEdits(state.Stage, state.Edit)) {
        HoldEditsAgainstDiskChange(state);
        return false;
    }
    if (!ReloadStage(state)) return false;
    WatchStageFiles(state);
    return true;
}

void mnuAutoReload_Click(AppState& state) {
    state.Options.AutoReload = !state.Options.AutoReload;
    if (!state.Options.AutoReload) state.Live.Pending = false;
}

bool RefillStageList(AppState& state) {
    StageList& list = state.Stages;
    StageList fresh;
    ReloadUi quiet(nullptr);
    LoadFilestoList(fresh, quiet, StagesFolder(state), ".def");
    if (fresh.Files == list.Files && fresh.Names == list.Names) return false;
    const bool selected = list.ListIndex >= 0 && list.ListIndex < static_cast<int>(list.Files.size());
    const std::string chosen = selected ? list.Files[static_cast<size_t>(list.ListIndex)] : std::string();
    int index = -1;
    for (size_t i = 0; i < fresh.Files.size() && selected; ++i)
        if (fresh.Files[i] == chosen) index = static_cast<int>(i);
    list.Names = std::move(fresh.Names);
    list.Files = std::move(fresh.Files);
    list.ListIndex = index;
    ++list.Revision;
    return true;
}

}  // namespace qb
