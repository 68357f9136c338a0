#include "render/frame.h"

#include "platform/gfx.h"
#include "render/setup_overlays.h"

#include <gtest/gtest.h>

#include "tests/render/render_fixture.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

using test::TinyStage;

// A 4x1 view: a back element (R at 0), a front element (G at 1); the character slot paints B at 2.
struct FrameFixture {
    TinyStage t{4, 1};
    test::FakeKeys keys;
    test::FakeClock clock;
    FrameOptions options;
    std::string order;
    bool characterOn = false;  // the front end gives the slot only while the character stands in the stage
    FrameFixture() {
        int16_t red = t.AddSprite({"R"});
        int16_t green = t.AddSprite({"G"});
        t.AddElement("normal", red, 0, 0);
        t.AddElement("normal", green, 1, 0).LayerNo = 1;
        options.FpsLimit = 60;
    }
    FrameResult Draw() {
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock, options};
        if (characterOn) ctx.drawCharacter = [this] {
            // The character is drawn over the back layer and under the front layer.
            order += test::Dump(t.backBuffer.get())[0];
            a_putpixel(t.backBuffer.get(), 1, 0, test::LayoutColor('B'));
            a_putpixel(t.backBuffer.get(), 2, 0, test::LayoutColor('B'));
        };
        return DrawFrame(ctx);
    }
};

TEST(DrawFrame, DrawsTheBackLayerTheCharacterThenTheFrontLayer) {
    FrameFixture f;
    f.characterOn = true;
    f.Draw();
    EXPECT_EQ(f.order, "RKKK");
    EXPECT_EQ(f.t.Dump()[0], "RGBK");

    FrameFixture off;  // character off: the slot is skipped
    off.Draw();
    EXPECT_EQ(off.order, "");
    EXPECT_EQ(off.t.Dump()[0], "RGKK");
}

TEST(DrawFrame, TheFirstFrameShowsTheInfoTextAtARateOfOne) {
    FrameFixture f;
    f.options.Info = true;
    FrameResult result = f.Draw();
    EXPECT_TRUE(result.SecondElapsed);
    EXPECT_EQ(f.t.frame.InfoText, "Cam 0,0  1 FPS");
    EXPECT_EQ(f.t.frame.FramesThisSecond, 0);
}

TEST(DrawFrame, TheShownRateIsCappedAtTheLimit) {
    FrameFixture f;
    f.options.Info = true;
    f.Draw();
    for (int i = 0; i < 90; ++i) f.Draw();  // 90 frames within the same second
    f.clock.AdvanceMs(1001);
    f.Draw();
    EXPECT_EQ(f.t.frame.InfoText, "Cam 0,0  60 FPS");

    f.options.FpsLimit = 0;  // no limit: the true count
    for (int i = 0; i < 90; ++i) f.Draw();
    f.clock.AdvanceMs(1001);
    f.Draw();
    EXPECT_EQ(f.t.frame.InfoText, "Cam 0,0  91 FPS");

    f.options.FpsLimit = -5;  // a negative limit paces nothing and caps nothing
    for (int i = 0; i < 9; ++i) f.Draw();
    f.clock.AdvanceMs(1001);
    f.Draw();
    EXPECT_EQ(f.t.frame.InfoText, "Cam 0,0  10 FPS");
}

TEST(DrawFrame, TheInfoTextIsKeptWhenTheInfoItemIsOff) {
    FrameFixture f;
    f.t.frame.InfoText = "old";
    f.Draw();
    EXPECT_EQ(f.t.frame.InfoText, "old");
}

TEST(DrawFrame, DebugBackgroundClearsToMagentaBeforeTheLayers) {
    FrameFixture f;
    f.options.DebugBG = true;
    f.Draw();
    EXPECT_EQ(f.t.Dump()[0], "RG..");
}

TEST(DrawFrame, EveryFrameStartsFromAnEmptyPicture) {
    // The elements cover columns 0 and 1 only; columns 2 and 3 hold what the previous frame left
    // there (W). A drawn frame must not keep it; a paused one keeps its whole picture.
    struct Case {
        bool debugBG;
        bool paused;
        const char* picture;
    };
    for (const Case& c : {Case{false, false, "RGKK"}, Case{true, false, "RG.."}, Case{false, true, "WWWW"}}) {
        FrameFixture f;
        a_clear_to_color(f.t.backBuffer.get(), test::LayoutColor('W'));
        f.options.DebugBG = c.debugBG;
        f.options.Paused = c.paused;
        f.Draw();
        EXPECT_EQ(f.t.Dump()[0], c.picture) << "debug BG " << c.debugBG << ", paused " << c.paused;
    }
}

TEST(DrawFrame, DebugModeHidesTheInfoTextAndIgnoresThePauseKey) {
    FrameFixture f;
    f.t.backBuffer = CreateBitmap(64, 16);
    a_clear_bitmap(f.t.backBuffer.get());
    f.options.Info = true;
    f.options.DebugMode = 1;
    f.keys.Tap(Key::Pause);
    FrameResult result = f.Draw();
    EXPECT_FALSE(result.PauseKey);
    EXPECT_NE(a_getpixel(f.t.backBuffer.get(), 5, 5), 0xFFFF);
    int white = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) white += a_getpixel(f.t.backBuffer.get(), x, y) == 0xFFFF;
    EXPECT_EQ(white, 0);

    f.options.DebugMode = 0;
    result = f.Draw();
    EXPECT_TRUE(result.PauseKey);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) white += a_getpixel(f.t.backBuffer.get(), x, y) == 0xFFFF;
    EXPECT_GT(white, 0);
}

TEST(DrawFrame, APausedFrameDrawsNothingAndStandsStill) {
    FrameFixture f;
    f.options.Paused = true;
    f.keys.Tap(Key::Pause);
    FrameResult result = f.Draw();
    EXPECT_EQ(f.t.Dump()[0], "KKKK");
    EXPECT_EQ(f.t.frame.FramesThisSecond, 0);
    EXPECT_TRUE(result.PauseKey);  // the key that resumes is still read
}

TEST(DrawFrame, SetupOverlaysGoOverTheFrameAndTheCleanPictureIsKeptForSnapshots) {
    FrameFixture f;
    f.options.Overlays = kOverlayMoveBounds;  // screenleft 0: a line down the first column
    f.Draw();
    const auto line = static_cast<uint16_t>(a_makecol(0x40, 0xFF, 0x40));
    EXPECT_EQ(BitmapRow(f.t.backBuffer.get(), 0)[0], line);
    ASSERT_EQ(f.t.frame.UnderInfo.Pixels16.size(), 4u);
    EXPECT_EQ(f.t.frame.UnderInfo.Pixels16[0], static_cast<uint16_t>(test::LayoutColor('R')));
    // Paused, the kept picture comes back before the lines are drawn again: a line that moved
    // leaves nothing behind.
    f.options.Paused = true;
    f.t.stage.ScreenLeft = -1;
    f.Draw();
    EXPECT_EQ(f.t.Dump()[0].substr(0, 2), "RG");
}

TEST(DrawFrame, TheDeleteKeyIsReportedOnce) {
    FrameFixture f;
    f.keys.Tap(Key::Delete);
    EXPECT_TRUE(f.Draw().DeleteKey);
    EXPECT_FALSE(f.Draw().DeleteKey);
}

TEST(DrawFrame, ResetFrameStateMakesTheNextFrameDoTheSecondsUpdate) {
    FrameFixture f;
    f.clock.AdvanceMs(5000);
    f.Draw();
    f.t.frame.InfoText = "x";
    ResetFrameState(f.t.frame);
    EXPECT_EQ(f.t.frame.LastSecondTick, kNeverTick);
    EXPECT_EQ(f.t.frame.InfoText, "");
    f.clock.nowCounts = 0;
    EXPECT_TRUE(f.Draw().SecondElapsed);
}

}  // namespace
}  // namespace qb
