#pragma once
// The main window's run-time state: one object made of the parts each subsystem owns. The Qt
// window, the headless tool and the tests each own one.
#include <cstdint>
#include <string>

#include "app/menu_model.h"
#include "platform/gfx.h"
#include "platform/ports.h"
#include "render/camera_state.h"
#include "stage/error_log.h"
#include "stage/stage_model.h"

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

    std::string AppTitle;    // "Quillback " + VersionText + " Beta by Tarnwick"
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
};

}  // namespace qb
