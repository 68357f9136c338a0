#include "render/overlays.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/picture32_io.h"
#include "platform/gfx.h"

namespace qb {

std::string TwoDecimals(double value) {
    if (!std::isfinite(value)) return "0";
    double scaled = std::nearbyint(value * 100.0);
    if (std::fabs(scaled) > 9e15) return std::to_string(static_cast<long long>(value));
    long long hundredths = static_cast<long long>(scaled);
    if (hundredths == 0) return "0";
    std::string text = hundredths < 0 ? "-" : "";
    unsigned long long magnitude = hundredths < 0 ? -static_cast<unsigned long long>(hundredths) : hundredths;
    text += std::to_string(magnitude / 100);
    unsigned fraction = static_cast<unsigned>(magnitude % 100);
    if (fraction != 0) {
        text += '.';
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

std::string BuildInfoText(const CameraState& camera, int framesPerSecond) {
    return "Cam " + TwoDecimals(-static_cast<double>(camera.CameraX)) + "," +
           TwoDecimals(static_cast<double>(camera.CameraY)) + "  " + std::to_string(framesPerSecond) + " FPS";
}

std::string BuildFrameText(int64_t frameNumber, const std::string& speedText) {
    return "Frame " + std::to_string(frameNumber) + "  " + speedText;
}

std::string ZoomText(float zoom) {
    return "Zoom " + TwoDecimals(static_cast<double>(zoom));
}

void DrawInfoText(BITMAP* backBuffer, const std::string& text, int dy) {
    DrawOutlinedText(backBuffer, text, 4, 3 + dy);
}

void KeepUnderOverlay(UnderOverlay& under, const Picture32* picture, const BITMAP* backBuffer, int rows) {
    under.Rows = 0;
    under.Pixels16.clear();
    under.Pixels32.clear();
    if (picture) {
        rows = std::clamp(rows, 0, picture->Height);
        under.Pixels32.assign(picture->Pixels.begin(),
                              picture->Pixels.begin() + static_cast<ptrdiff_t>(rows) * picture->Width);
    } else if (backBuffer) {
        const int width = BitmapWidth(backBuffer);
        rows = std::clamp(rows, 0, BitmapHeight(backBuffer));
        for (int y = 0; y < rows; ++y) {
            const uint16_t* row = BitmapRow(backBuffer, y);
            under.Pixels16.insert(under.Pixels16.end(), row, row + width);
        }
    } else {
        return;
    }
    under.Rows = rows;
}

void RestoreUnderOverlay(const UnderOverlay& under, Picture32& picture) {
    if (under.Rows <= 0 || under.Pixels32.size() != static_cast<size_t>(under.Rows) * picture.Width ||
        under.Rows > picture.Height)
        return;
    std::copy(under.Pixels32.begin(), under.Pixels32.end(), picture.Pixels.begin());
}

void RestoreUnderOverlay(const UnderOverlay& under, BITMAP* backBuffer) {
    if (!backBuffer || under.Rows <= 0 || under.Rows > BitmapHeight(backBuffer)) return;
    const auto width = static_cast<size_t>(BitmapWidth(backBuffer));
    if (under.Pixels16.size() != static_cast<size_t>(under.Rows) * width) return;
    for (int y = 0; y < under.Rows; ++y)
        std::copy_n(under.Pixels16.begin() + static_cast<ptrdiff_t>(y * width), width, BitmapRow(backBuffer, y));
}

void DrawOutlinedText(BITMAP* target, const std::string& text, int x, int y) {
    if (!target || text.empty()) return;
    // White on black edges: readable on a light sky as on a dark one.
    const int black = a_makecol(0, 0, 0);
    static constexpr int kEdge[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (const auto& edge : kEdge) a_textout(target, text, x + edge[0], y + edge[1], black);
    a_textout(target, text, x, y, a_makecol(255, 255, 255));
}

const char* const kNoStageHint[] = {
    "No stage is open.",
    "",
    "Drop a stage's .def or .zip here,",
    "open one from the first menu (Ctrl+O),",
    "or pick one from the stage list",
    "(Stage List, on the menu bar).",
};
const int kNoStageHintLines = static_cast<int>(sizeof(kNoStageHint) / sizeof(kNoStageHint[0]));

void DrawNoStageHint(BITMAP* backBuffer) {
    if (!backBuffer) return;
    a_clear_to_color(backBuffer, 0);
    constexpr int kGlyph = 8;
    const int top = (kViewHeight - kNoStageHintLines * kInfoLineHeight) / 2;
    for (int line = 0; line < kNoStageHintLines; ++line) {
        const std::string text = kNoStageHint[line];
        const int x = (kViewWidth - static_cast<int>(text.size()) * kGlyph) / 2;
        // The first line in white, the ways to open one in grey.
        const int color = line == 0 ? a_makecol(255, 255, 255) : a_makecol(176, 176, 176);
        a_textout(backBuffer, text, std::max(0, x), top + line * kInfoLineHeight, color);
    }
}

void DebugClear(BITMAP* backBuffer) {
    if (backBuffer) a_clear_to_color(backBuffer, kMaskColor);
}

std::string SnapshotStem(const std::string& stageName) {
    std::string stem;
    for (char c : stageName) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"') continue;
        if (u < 32 || u == 127 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '<' ||
            c == '>' || c == '|')
            stem += '_';
        else
            stem += c;
    }
    return stem;
}

std::string NextSnapshotPath(const std::string& folder, const std::string& stageName, SnapshotFormat format) {
    const std::filesystem::path base = std::filesystem::path(folder) / SnapshotStem(stageName);
    for (int n = 0; n <= 32767; ++n) {
        const std::string numbered = base.string() + " " + std::to_string(n);
        std::error_code ec;
        if (std::filesystem::exists(numbered + ".pcx", ec) || std::filesystem::exists(numbered + ".png", ec))
            continue;
        return numbered + (format == SnapshotFormat::Png ? ".png" : ".pcx");
    }
    return {};
}

std::string TakeSnapshot(const std::string& programDir, const std::string& stageName, BITMAP* backBuffer,
                         uint8_t bRunning, SnapshotFormat format) {
    if (bRunning == 0 || !backBuffer) return {};
    std::filesystem::path folder = std::filesystem::path(programDir) / "snapshots";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directories(folder, ec);
    std::string path = NextSnapshotPath(folder.string(), stageName, format);
    if (path.empty()) return {};
    const bool saved =
        format == SnapshotFormat::Png ? SavePng(path, backBuffer) : a_save_pcx(path, backBuffer);
    if (!saved) return {};
    return path;
}

std::string TakeSnapshot32(const std::string& programDir, const std::string& stageName, const Picture32& picture,
                           uint8_t bRunning, SnapshotFormat format) {
    if (bRunning == 0 || picture.Width <= 0) return {};
    std::filesystem::path folder = std::filesystem::path(programDir) / "snapshots";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directories(folder, ec);
    std::string path = NextSnapshotPath(folder.string(), stageName, format);
    if (path.empty()) return {};
    std::string error;
    const bool saved = format == SnapshotFormat::Png ? SavePicture32Png(path, picture, error)
                                                     : SavePicture32Pcx(path, picture, error);
    return saved ? path : std::string();
}

}  // namespace qb
