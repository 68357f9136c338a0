// The about screen on the window's state: the credits without KFM, the walk's pacing and its one
// pause on the fake clock, the re-entry guard and the window's close.
#include <gtest/gtest.h>

#include "app/about_screen.h"
#include "app/startup.h"
#include "tests/app/app_fixture.h"
#include "tests/character/char_fixture.h"

namespace qb::test {
namespace {

constexpr int64_t kFramePeriod = FakeClock::kFrequency / 40;
constexpr int64_t kPause = FakeClock::kFrequency * 12 / 10;

struct AboutFixture : AppFixture {
    AboutFixture() { state.VersionText = ".67"; }
    // KFM as content spells it on disk, in any case: the look-up must still find it.
    void InstallKfm(const std::string& walkSpeed = "2") {
        CharFiles kfm;
        kfm.cns.replace(kfm.cns.find("walk.fwd = 2"), 12, "walk.fwd = " + walkSpeed);
        WriteCharFiles(mugen, "chars/KFM/", "KFM.def", kfm);
    }
};

// The walk at the first start shows no box (the user asked for nothing); About does.
TEST(AboutScreen, WithoutKfmOnlyAboutShowsTheCreditsInTwoBoxes) {
    for (uint8_t showIntro : {uint8_t{255}, uint8_t{0}}) {
        AboutFixture f;
        f.state.Window.ShowIntro = showIntro;
        FormActivate(f.state);  // the first activation runs the walk when the configuration asks
        FormActivate(f.state);  // later ones never do
        EXPECT_TRUE(f.ui.boxes.empty());
        // No about frame is drawn; the view says how to open a stage (one present).
        EXPECT_EQ(f.sink.presents, 1);
        mnuAbout_Click(f.state);
        ASSERT_EQ(f.ui.boxes.size(), 2u);
        EXPECT_EQ(f.ui.boxes[0].text, "KFM character could not be found for the about screen :(");
        EXPECT_EQ(f.ui.boxes[1].text,
                  "Quillback .67 Beta\r\nBy Tarnwick (quillback@users.noreply.invalid)\r\n\r\n"
                  "M.U.G.E.N. by Elecbyte! :)");
        for (const auto& box : f.ui.boxes) {
            EXPECT_EQ(box.icon, MsgIcon::None);
            EXPECT_EQ(box.buttons, MsgButtons::Ok);
        }
        // The guard is down again: About shows them once more.
        mnuAbout_Click(f.state);
        EXPECT_EQ(f.ui.boxes.size(), 4u);
    }
}

TEST(AboutScreen, WalkersCrossAt40FpsAndRestOnceWhateverTheirSpeed) {
    // At 1 the second walker is drawn at both 9 and 10; at 7 it steps over them.
    for (const char* speed : {"1", "2.4", "7"}) {
        AboutFixture f;
        f.InstallKfm(speed);
        mnuAbout_Click(f.state);
        EXPECT_TRUE(f.ui.boxes.empty()) << speed;
        ASSERT_GT(f.sink.presents, 20) << speed;
        // Every frame waits its 25 ms after its present; one 1.2-second rest on top.
        EXPECT_EQ(f.clock.nowCounts, f.sink.presents * kFramePeriod + kPause) << speed;
        EXPECT_FALSE(f.state.Loop.AboutRunning);
        EXPECT_EQ(f.state.Chars.AboutGuard, 0);
    }
}

TEST(AboutScreen, ARequestWhileItRunsDoesNothingAndClosingTheWindowEndsIt) {
    AboutFixture f;
    f.InstallKfm();
    mnuAbout_Click(f.state);
    const int fullRun = f.sink.presents;
    ASSERT_GT(fullRun, 100);

    f.sink.presents = 0;
    int messages = 0;
    int presentsAroundReentry = -1;
    f.ui.onDoEvents = [&] {
        ++messages;
        if (messages == 10) {
            const int before = f.sink.presents;
            mnuAbout_Click(f.state);
            presentsAroundReentry = f.sink.presents - before;
            EXPECT_TRUE(f.state.Loop.AboutRunning);
        }
        if (messages == 40) CloseRequest(f.state);
    };
    mnuAbout_Click(f.state);
    EXPECT_EQ(presentsAroundReentry, 0);
    EXPECT_LT(f.sink.presents, fullRun / 2);
    EXPECT_FALSE(f.state.Loop.AboutRunning);
    EXPECT_TRUE(f.timers.Active(TimerId::Exit));
    EXPECT_EQ(f.state.Chars.AboutGuard, 0);
    EXPECT_TRUE(f.ui.boxes.empty());
}

}  // namespace
}  // namespace qb::test
