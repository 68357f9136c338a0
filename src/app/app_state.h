#pragma once
// The main window's run-time state: one object made of the parts each subsystem owns. The Qt
// window, the headless tool and the tests each own one.
#include <cstdint>
#include <string>

#include "app/menu_model.h"
#include "library/stage_list.h"
#include "platform/gfx.h"
#include "platform/ports.h"
#include "render/camera.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "stage/error_log.h"
#include "stage/stage_model.h"
#include "platform/file_dialog.h"

namespace qb {

struct Ports {
    Ui* ui = nullptr;
    Keys* keys = nullptr;
    Clock* clock = nullptr;
    MediaBackend* media = nullptr;
    FrameSink* sink = nullptr;
};

struct AppState {
    Ports ports;

    std::string AppTitle;  // "Quillback " + VersionText + " Beta by Tarnwick"
    std::string VersionText;
    std::string ProgramDir;  // folder of the executable (tests: a temporary folder); no trailing separator
    std::string MugeDir;     // ends in a separator
    std::string StageFile;

    uint8_t bRunning = 0;
    uint8_t bMakeFullScreen = 0;
    uint8_t bFullScreen = 0;

    StageModel Stage;
    CameraState Camera;
    UniqueBitmap BackBuffer;
    ErrorLog Log;
    MenuModel Menus;
    int32_t LineNumber = 0;
    float MinPosY = 0;

    // Packages (opening stages from zip files).
    bool FromPackage = false;
    bool Reloading = false;
    std::string ExtractedDefFile;
    std::string ExtractedSpriteFile;
    std::string DroppedPackage;

    // Run loop.
    int16_t FpsLimit = 60;
    uint8_t Paused = 0;
    bool ExitLoop = false;
    bool InRunLoop = false;
    bool AboutRunning = false;
    uint8_t DebugMode = 0;
    int16_t SelectedElement = -1;
    uint8_t StartPending = 0;
    // Frame count, info text, layer pass and the element passes' run-time values.
    FrameState Frame;

    // ---- Application shell (start-up, timers, configuration, window, stage list) ----
    // The three one-shot timers (1 ms): the front end calls the matching tick handler of
    // app/startup.h while a flag is true.
    bool tmrStartEnabled = false;
    bool tmrExitEnabled = false;
    bool tmrDropEnabled = false;
    bool ShutdownDone = false;

    uint8_t FirstActivate = 255;
    uint8_t ShowIntro = 255;
    uint8_t StageListShown = 0;  // 255 while lstStages is shown
    int32_t ViewScale = 2;       // 1..4: the view shows the 320 x 240 frame at this whole-number scale
    int32_t SavedTop = 0;        // main window position kept while full screen is on
    int32_t SavedLeft = 0;

    // Test character settings kept by the configuration (the character itself lives elsewhere).
    std::string TestCharPath;
    std::string TestCharName;
    uint8_t CharRequested = 0;  // "Char = True" was read: the character command should run once

    std::string PackageFile;  // the zip package the current stage came from
    std::string DroppedFile;  // the dropped (or command-line) stage tmrDrop opens
    StageList Stages;         // lstStages
    clsDialog cdl;            // the one file dialog, shared by every file choice

    // Run-loop pacing and the once-a-second work.
    int64_t PerfFrequency = 0;
    int64_t LastPresent = 0;
    int32_t HScrollValue = 0;

    // The background editor's text boxes (frmBG); stage start shows the camera state in them.
    BgEditorFields BgFields;
};

}  // namespace qb
