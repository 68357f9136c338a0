#include "session/live_reload.h"

#include <filesystem>
#include <system_error>

#include "session/session_state.h"
#include "session/load_stage.h"
#include "library/open_package.h"
#include "session/stage_session.h"
#include "library/stage_list.h"
#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tools/bg_commands.h"
#include "tools/bg_editor.h"

namespace qb {

namespace {

// Why the definition at `path` does not give a stage, judged after it was parsed into `fresh`; empty
// when it does. The loader itself carries on past all of these (it would show an empty or black
// stage), but a reload must not replace a working stage by one.
std::string RefusalOf(const StageModel& fresh, bool parsed) {
    if (!parsed) return "its sprite file was not found";
    if (fresh.Elements.empty()) return "it has no background elements";
    if (fresh.SpriteCount <= 0) return "its sprite file holds no readable sprites";
    return {};
}

void ShowFailure(SessionState& state, const std::string& reason, const std::vector<Problem>& fresh) {
    LiveReloadState& live = state.Live;
    live.LastFailed = true;
    // The entries of earlier failed attempts are replaced, not piled up: the log shows the stage on
    // screen and what is wrong with the file now.
    state.Log.Clear();
    state.Log.AddAll(live.BaseLog);
    state.Log.Append("Reloading " + FileNameOf(state.StageFile) + " failed: " + reason +
                     ". The stage on screen is the one loaded before.");
    state.Log.AddAll(fresh);
    state.Host().ShowErrorLog();
}

}  // namespace

// A reload services no window messages, so no command can release or replace the stage while the new
// one is read; its boxes become log entries.
bool ReloadStageFromFile(SessionState& state) {
    // A packaged stage keeps reading its extracted files, which stay until the stage is closed.
    Progress quiet;
    LoadResult result = LoadStageFiles({state.StageFile, state.MugeDir}, quiet);
    const StageSource& source = result.load.Source;
    if (!result.defRead) {
        ShowFailure(state, "the file cannot be read", {});
        return false;
    }
    if (source.Complete && source.Bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
        // Editors that truncate before they write are caught here halfway; their last write follows.
        ShowFailure(state, "the file is empty", {});
        return false;
    }
    if (const std::string refusal = RefusalOf(result.stage, result.ok); !refusal.empty()) {
        ShowFailure(state, refusal, result.ProblemsWithBoxes());
        return false;
    }
    InstallStage(state, std::move(result), InstallHow::KeepView);
    ++state.Live.Reloads;
    return true;
}

std::vector<std::string> StageFilesToWatch(const SessionState& state) {
    if (state.bRunning != 1 || !state.Host().AutoReload()) return {};
    return state.Live.Files;
}

void NoteStageFilesChanged(SessionState& state) {
    if (state.bRunning != 1 || !state.Host().AutoReload() || !state.ports.clock) return;
    state.Live.Pending = true;
    state.Live.Deadline = state.ports.clock->TickCount() + kReloadSettleMs;
}

bool PollLiveReload(SessionState& state) {
    LiveReloadState& live = state.Live;
    if (!live.Pending) return false;
    if (state.bRunning != 1 || !state.Host().AutoReload() || !state.ports.ui) {
        live.Pending = false;
        return false;
    }
    if (static_cast<int32_t>(state.ports.clock->TickCount() - live.Deadline) < 0) return false;
    live.Pending = false;
    if (PackageChanged(state.Package)) {
        // Unwritten edits win over a changed package as over a changed definition: they are kept and
        // the user told, with no question coming out of nowhere; Reload then takes the package's.
        if (HasUnwrittenEdits(state.Stage, state.Edit)) {
            state.Host().HoldEditsAgainstDiskChange();
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
        state.Host().HoldEditsAgainstDiskChange();
        return false;
    }
    return ReloadStageFromFile(state);
}

void mnuAutoReload_Click(SessionState& state) {
    state.Host().SetAutoReload(!state.Host().AutoReload());
    if (!state.Host().AutoReload()) state.Live.Pending = false;
}

bool RefillStageList(SessionState& state) {
    StageList& list = state.Stages;
    StageList fresh;
    fresh.CacheFile = list.CacheFile;
    HeadlessUi quiet;  // no box when the folder is empty or unreadable
    LoadFilestoList(fresh, quiet, StagesFolder(state), ".def");
    if (fresh.All == list.All) return false;
    // The filter, the order and the selected stage stay as they were.
    list.All = std::move(fresh.All);
    ShowLibraryRows(list);
    return true;
}

}  // namespace qb
