#pragma once
// The stage session's part of the main window's state, and the window's side it reaches through.
//
// The session (opening, loading, reloading, packages, deleting, the recent files) is a layer of its
// own below the commands, menus and run loop of app/. It works on the parts of the state declared
// here and below; what only the window knows or does (its run loop, its boxes, its settings, its
// picture, full screen, the editor's questions) it asks through SessionHost, which AppState
// implements. So the session cannot call back into app/, and the build refuses an include that would.
#include <cstdint>
#include <string>
#include <vector>

#include "library/package_state.h"
#include "library/stage_list.h"
#include "music/cls_music.h"
#include "music/music_chooser.h"
#include "platform/data_dirs.h"
#include "platform/file_dialog.h"
#include "platform/ports.h"
#include "render/camera_state.h"
#include "stage/error_log.h"
#include "stage/load_stage_files.h"
#include "stage/stage_model.h"
#include "tools/element_edit.h"

namespace qb {

// Changes that arrive closer together than this are one change (an editor's save is often a
// truncate, several writes and a rename).
inline constexpr uint32_t kReloadSettleMs = 200;

struct LiveReloadState {
    // The stage on screen: its definition and resolved sprite file, and what they held when it loaded.
    std::vector<std::string> Files;
    std::vector<FileStamp> Stamps;
    // A change was reported; it is acted on once the clock passes Deadline.
    bool Pending = false;
    uint32_t Deadline = 0;
    // The last reload failed: the next report retries even when the watched files look unchanged
    // (the fix may be a new sprite file the old definition never named).
    bool LastFailed = false;
    // The error log of the stage on screen; a failed reload shows its entries after these.
    std::vector<Problem> BaseLog;
    // Reloads performed since the program started.
    int Reloads = 0;
};

// The menus' own state: the recent-file items. Item 1 is the most recent; the separator (item 0) is
// visible while any exist.
struct MenuState {
    std::vector<std::string> RecentFiles;
};

struct Ports {
    Ui* ui = nullptr;
    Keys* keys = nullptr;
    Clock* clock = nullptr;
    MediaBackend* media = nullptr;
    FrameSink* sink = nullptr;
    Timers* timers = nullptr;  // none in the headless tool: nothing is left to a timer there
};

// What the session asks of the window it serves.
class SessionHost {
public:
    // The settings the session follows: the stage's music plays; reload when the files change.
    virtual bool MusicOn() const = 0;
    virtual bool AutoReload() const = 0;
    virtual void SetAutoReload(bool on) = 0;
    // The run loop leaves after its pass (the stage it runs is being released); the about screen ends.
    virtual void EndRunLoop() = 0;
    virtual void EndAboutScreen() = 0;
    // Services pending window messages (API_doevents).
    virtual void DoEvents() = 0;
    // The stage is about to be replaced: the editor's unwritten edits are asked about (false: keep it).
    virtual bool ConfirmDropEdits() = 0;
    // The files changed under unwritten edits: they win, and the user is told.
    virtual void HoldEditsAgainstDiskChange() = 0;
    // A stage is loading: the menus that could replace it are off.
    virtual void SetStageLoading(bool loading) = 0;
    // Full screen asked for while no stage ran comes true now a stage runs; Close leaves it.
    virtual void FulfilFullScreenWish() = 0;
    virtual void LeaveFullScreen() = 0;
    // A black view, presented.
    virtual void ClearView() = 0;
    // The picture the stage draws into goes black (`forgetDrawn`: and no kept frame is reused).
    virtual void ClearPicture(bool forgetDrawn) = 0;
    // The picture the frames draw into becomes the installed stage's (its kind and size).
    virtual void InstallPicture() = 0;
    // The stage's own picture goes with it: the view is handed the cleared classic one.
    virtual void ReleasePicture() = 0;
    // The caption names the stage on screen (and says when it is paused).
    virtual void ShowStageCaption() = 0;
    virtual void ShowErrorLog() = 0;
    // `path` is opened by the drop timer once nothing holds the stage (a drop, the command line).
    virtual void OpenLater(const std::string& path) = 0;

protected:
    ~SessionHost() = default;
};

struct SessionState {
    Ports ports;
    clsMusic MUSIC{&ports.media};  // music/: plays through whatever backend the ports hold

    std::string AppTitle;    // "Quillback " + VersionText + " Beta by Tarnwick"
    std::string ProgramDir;  // folder of the executable (tests: a temporary folder); no trailing separator
    DataDirs Dirs;           // platform/: where the configuration, snapshots and temporary files go
    std::string MugeDir;     // ends in a separator
    std::string StageFile;
    uint8_t bRunning = 0;
    int32_t LineNumber = 0;
    // Boxes about the stage on screen waiting for their answer (Delete's question, the edits
    // question): while one is up nothing may replace the stage behind it (StageHeld, StageBoxHold).
    int StageBoxesOpen = 0;

    StageModel Stage;      // stage/
    StageLoadState Load;   // stage/
    ErrorLog Log;          // stage/
    CameraState Camera;    // render/
    PackageState Package;  // library/
    StageList Stages;      // library/: lstStages
    clsDialog cdl;         // platform/: the one file dialog, shared by every file choice
    MusicChooser Chooser;  // music/: frmMusic's fields
    EditState Edit;        // tools/: selection, drag, the editor's fields
    LiveReloadState Live;  // session/: reloading the stage when its files change
    MenuState Menus;       // the recent-file items (the rest of the menus is computed by app/)

    virtual SessionHost& Host() = 0;
    virtual const SessionHost& Host() const = 0;

protected:
    ~SessionState() = default;
};

// A message box of the main window, OK unless told otherwise (nothing without a window).
void Box(SessionState& state, const std::string& text, MsgIcon icon = MsgIcon::None,
         MsgButtons buttons = MsgButtons::Ok);

// The folder the stage list shows: MugeDir's "stages" folder (the program's when no MUGEN directory
// is set).
std::string StagesFolder(const SessionState& state);

// The one-shot timers tick every millisecond until their handler has done its work.
inline constexpr int kOneShotTimerMs = 1;
// Through the Timers port; without one (the headless tool) nothing starts and none is active.
void StartTimer(SessionState& state, TimerId id);
void StopTimer(SessionState& state, TimerId id);
bool TimerActive(const SessionState& state, TimerId id);

// True while LoadStage runs: the load services window messages while it indexes the sprite file, and
// nothing may start another load, close the stage or shut the program down under it.
bool LoadInProgress(const SessionState& state);
// True while nothing may replace or end the stage on screen: it is loading, or a box about it waits
// for its answer. Opening commands refuse then, and the drop timer (the hand-over of a second start)
// waits.
bool StageHeld(const SessionState& state);

// Holds the stage for as long as it lives: put one around a box whose answer acts on the stage.
class StageBoxHold {
public:
    explicit StageBoxHold(SessionState& state);
    ~StageBoxHold();
    StageBoxHold(const StageBoxHold&) = delete;
    StageBoxHold& operator=(const StageBoxHold&) = delete;

private:
    SessionState& m_state;
};

}  // namespace qb
