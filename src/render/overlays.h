#pragma once
// What is drawn over or taken from the finished frame: the info text, the debug background and
// PCX snapshots.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/picture32.h"
#include "render/camera_state.h"

struct BITMAP;

namespace qb {

// "Cam " x "," y "  " fps " FPS": the shown camera position rounded to two decimals (halves to even)
// in its shortest form.
std::string BuildInfoText(const CameraState& camera, int framesPerSecond);
// A number rounded to two decimals, halves to even, without trailing zeros ("12.5", "-3", "0").
std::string TwoDecimals(double value);
// The info overlay's second line: "Frame " n "  " speed, e.g. "Frame 1234  x1/2".
std::string BuildFrameText(int64_t frameNumber, const std::string& speedText);
// "Zoom 0.7", appended to the second line on modern stages.
std::string ZoomText(float zoom);
// Pixels between the info overlay's lines (the built-in font is 8 high).
inline constexpr int kInfoLineHeight = 10;
// Draws the text at (4, 3 + dy) in white with the built-in font.
void DrawInfoText(BITMAP* backBuffer, const std::string& text, int dy = 0);

// The top rows of a picture as they were before an overlay was drawn over them.
struct UnderOverlay {
    int Rows = 0;  // 0: nothing kept
    std::vector<uint16_t> Pixels16;  // the back buffer's rows
    std::vector<uint32_t> Pixels32;  // or the 32-bit picture's
};
// Keeps the top `rows` rows of `picture`, or of `backBuffer` when it is null.
void KeepUnderOverlay(UnderOverlay& under, const Picture32* picture, const BITMAP* backBuffer, int rows);
// Puts the kept rows back (pictures of another size than the kept rows' are left alone).
void RestoreUnderOverlay(const UnderOverlay& under, Picture32& picture);
void RestoreUnderOverlay(const UnderOverlay& under, BITMAP* backBuffer);
// `text` in white with a black edge a pixel wide all round, its top-left corner at (x, y).
void DrawOutlinedText(BITMAP* target, const std::string& text, int x, int y);
// What the view shows while no stage is open: how to open one, centred on black, one line a row
// (the built-in font is 8 pixels wide: 40 characters fill the 320-pixel frame).
extern const char* const kNoStageHint[];
extern const int kNoStageHintLines;
void DrawNoStageHint(BITMAP* backBuffer);
// Fills the back buffer with the mask colour so that transparent areas show.
void DebugClear(BITMAP* backBuffer);

// The stage name as it goes into a snapshot's file name: double quotes removed, characters a file
// name cannot hold (path separators, ":*?<>|", control characters) replaced by "_".
std::string SnapshotStem(const std::string& stageName);
enum class SnapshotFormat { Pcx, Png };
// "<folder>/<stem> <n>.pcx" (or ".png") for the first n = 0, 1, ... (16-bit n) for which neither the
// PCX nor the PNG file exists, so that a name and number always mean one picture; empty when all
// are taken.
std::string NextSnapshotPath(const std::string& folder, const std::string& stageName,
                             SnapshotFormat format = SnapshotFormat::Pcx);
// The snapshot command: when a stage runs, saves the back buffer into programDir/snapshots (made
// when missing) under the next free name, as PCX or PNG. Answers the path written, or empty when
// nothing was.
std::string TakeSnapshot(const std::string& programDir, const std::string& stageName, BITMAP* backBuffer,
                         uint8_t bRunning, SnapshotFormat format = SnapshotFormat::Pcx);

// The same for a modern stage's 32-bit picture: PCX as 24-bit colour, or PNG.
std::string TakeSnapshot32(const std::string& programDir, const std::string& stageName, const Picture32& picture,
                           uint8_t bRunning, SnapshotFormat format = SnapshotFormat::Pcx);

}  // namespace qb
