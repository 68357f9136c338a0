#include "render/overlays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/gfx.h"
#include "render/frame.h"
#include "render/frame_target.h"
#include "tests/render/picture_file.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

TEST(InfoText, ShowsTheCameraAndTheFrameRate) {
    CameraState camera;
    camera.CameraX = -12.5f;
    camera.CameraY = -3;
    EXPECT_EQ(BuildInfoText(camera, 60), "Cam 12.5,-3  60 FPS");
    camera.CameraX = 0;
    camera.CameraY = 0;
    EXPECT_EQ(BuildInfoText(camera, 1), "Cam 0,0  1 FPS");
    // The second line: the frame number and the run speed.
    std::string speeds;
    for (int s = 0; s <= kSpeedCount; ++s) speeds += SpeedText(s) + " ";
    EXPECT_EQ(speeds, "x1/4 x1/2 x1 x2 x4 x4 ");
    EXPECT_EQ(BuildFrameText(1234, SpeedText(1)), "Frame 1234  x1/2");
}

TEST(InfoText, NumbersRoundToTwoDecimalsHalvesToEven) {
    EXPECT_EQ(TwoDecimals(0.125), "0.12");
    EXPECT_EQ(TwoDecimals(0.375), "0.38");
    EXPECT_EQ(TwoDecimals(-2.5), "-2.5");
    EXPECT_EQ(TwoDecimals(3.10), "3.1");
    EXPECT_EQ(TwoDecimals(7), "7");
    EXPECT_EQ(TwoDecimals(-0.001), "0");
    EXPECT_EQ(TwoDecimals(1234.5678), "1234.57");
}

TEST(InfoText, IsDrawnInWhiteNearTheTopLeft) {
    a_allegro_init();
    UniqueBitmap buffer = CreateBitmap(64, 16);
    a_clear_bitmap(buffer.get());
    DrawInfoText(buffer.get(), "Cam");
    int white = 0, outside = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) {
            int c = a_getpixel(buffer.get(), x, y);
            if (c == 0xFFFF) ++white;
            if (c != 0 && (x < 4 || y < 3 || y >= 11 || x >= 4 + 3 * 8)) ++outside;
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(outside, 0);
}

// On a light stage the white text keeps a black edge; a snapshot puts back the rows kept from under
// it, so the saved picture is the stage alone (the window's picture keeps the overlay).
TEST(InfoText, HasABlackEdgeAndSnapshotsLeaveItOut) {
    a_allegro_init();
    const int sky = a_makecol(200, 220, 255);
    auto buffer = std::make_unique<UniqueBitmap>(CreateBitmap(320, 240));
    a_clear_to_color(buffer->get(), sky);
    UnderOverlay under;
    KeepUnderOverlay(under, nullptr, buffer->get(), 3 + kInfoLineHeight + 9);
    DrawInfoText(buffer->get(), "Cam 0,0  60 FPS");
    DrawInfoText(buffer->get(), "Frame 1  x1", kInfoLineHeight);
    int white = 0, black = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const int c = a_getpixel(buffer->get(), x, y);
            white += c == 0xFFFF;
            black += c == 0;
            if (c != sky) {
                EXPECT_LT(y, 3 + kInfoLineHeight + 9) << "below the kept rows at " << x << "," << y;
            }
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(black, white) << "every lit pixel has dark neighbours";

    test::TempDir dir;
    const FrameTarget target(buffer.get());
    for (const bool leaveOut : {true, false}) {
        const std::string path = target.Snapshot(dir.Path().string(), "Sky", 1, SnapshotFormat::Png,
                                                 leaveOut ? &under : nullptr);
        const test::DecodedPicture saved = test::LoadPicture(path);
        ASSERT_TRUE(saved.ok()) << path;
        const auto skyPixels = std::count(saved.pixels.begin(), saved.pixels.end(), static_cast<uint16_t>(sky));
        EXPECT_EQ(skyPixels == 320 * 240, leaveOut);
    }
    int stillWhite = 0;
    for (int y = 0; y < 3 + kInfoLineHeight + 9; ++y)
        for (int x = 0; x < 320; ++x) stillWhite += a_getpixel(buffer->get(), x, y) == 0xFFFF;
    EXPECT_EQ(stillWhite, white) << "the window's picture keeps its overlay";
}

TEST(DebugBackground, FillsTheBufferWithTheMaskColour) {
    a_allegro_init();
    UniqueBitmap buffer = CreateBitmap(4, 4);
    DebugClear(buffer.get());
    EXPECT_EQ(a_getpixel(buffer.get(), 3, 3), 0xF81F);
}

TEST(Snapshot, NamesCountUpAndReuseFreedNumbers) {
    a_allegro_init();
    test::TempDir program;
    UniqueBitmap buffer = CreateBitmap(320, 240);
    std::string first = TakeSnapshot(program.Path().string(), "Forest Gate", buffer.get(), 1);
    std::string second = TakeSnapshot(program.Path().string(), "Forest Gate", buffer.get(), 1);
    EXPECT_EQ(std::filesystem::path(first), program.Path() / "snapshots" / "Forest Gate 0.pcx");
    EXPECT_EQ(std::filesystem::path(second), program.Path() / "snapshots" / "Forest Gate 1.pcx");
    EXPECT_TRUE(std::filesystem::exists(first));
    std::filesystem::remove(first);
    std::string third = TakeSnapshot(program.Path().string(), "Forest Gate", buffer.get(), 1);
    EXPECT_EQ(third, first);
}

TEST(Snapshot, NamesLoseQuotesAndReplaceWhatAFileNameCannotHold) {
    EXPECT_EQ(SnapshotStem("\"Quoted\" Stage"), "Quoted Stage");
    EXPECT_EQ(SnapshotStem("Mid/Night: A*B?<C>|D\\E"), "Mid_Night_ A_B__C__D_E");
    EXPECT_EQ(SnapshotStem(std::string("Tab\there")), "Tab_here");
    EXPECT_EQ(SnapshotStem("\xE6\x9C\x88 Moon"), "\xE6\x9C\x88 Moon");  // other bytes are kept

    a_allegro_init();
    test::TempDir program;
    UniqueBitmap buffer = CreateBitmap(8, 8);
    std::string path = TakeSnapshot(program.Path().string(), "a/b", buffer.get(), 1);
    EXPECT_EQ(std::filesystem::path(path).filename(), "a_b 0.pcx");
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(Snapshot, PcxAndPngShareTheNumbers) {
    a_allegro_init();
    test::TempDir program;
    UniqueBitmap buffer = CreateBitmap(8, 8);
    for (auto [format, file] : {std::pair{SnapshotFormat::Png, "Forest Gate 0.png"},
                                std::pair{SnapshotFormat::Pcx, "Forest Gate 1.pcx"},
                                std::pair{SnapshotFormat::Png, "Forest Gate 2.png"}}) {
        const std::string path =
            TakeSnapshot(program.Path().string(), "\"Forest\" Gate", buffer.get(), 1, format);
        EXPECT_EQ(std::filesystem::path(path), program.Path() / "snapshots" / file);
        EXPECT_TRUE(test::LoadPicture(path).ok()) << "written in the format its name says";
    }
}

TEST(Snapshot, NothingIsWrittenWithoutARunningStage) {
    a_allegro_init();
    test::TempDir program;
    UniqueBitmap buffer = CreateBitmap(8, 8);
    EXPECT_EQ(TakeSnapshot(program.Path().string(), "Idle", buffer.get(), 0), "");
    EXPECT_FALSE(std::filesystem::exists(program.Path() / "snapshots"));
}

}  // namespace
}  // namespace qb
