#include "music/cls_music.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <tuple>

#include "tests/support/fakes.h"

namespace qb {
namespace {

struct Player {
    test::FakeMedia media;
    MediaBackend* slot = &media;
    clsMusic music{&slot};
};

TEST(ClsMusic, ClampsWhatItIsGiven) {
    Player p;
    ASSERT_TRUE(p.music.SetFileName("/m/song.ogg"));
    EXPECT_TRUE(p.music.HasAudio());
    p.media.duration = 90;
    const struct {
        int32_t volume, volumeSet, balance, balanceSet;
        double speed, speedSet, pos, posSet;
    } cases[] = {
        {500, 0, 20000, 10000, 0, 0.1, -5, 0},
        {-20000, -10000, -20000, -10000, 2.5, 2.5, 100, 90},
        {-3000, -3000, 40, 40, -1, 0.1, 12.5, 12.5},
    };
    for (const auto& c : cases) {
        p.music.SetVolume(c.volume);
        p.music.SetBalance(c.balance);
        p.music.SetSpeed(c.speed);
        p.music.SetPosition(c.pos);
        EXPECT_EQ(p.media.volume, c.volumeSet);
        EXPECT_EQ(p.music.Volume(), c.volumeSet);
        EXPECT_EQ(p.media.balance, c.balanceSet);
        EXPECT_EQ(p.media.rate, c.speedSet);
        EXPECT_EQ(p.media.position, c.posSet);
    }
}

TEST(ClsMusic, PlayRewindsAFileThatEndedAndStates) {
    Player p;
    p.music.Play();  // no file: nothing happens
    EXPECT_TRUE(p.media.calls.empty());
    EXPECT_EQ(p.music.State(), 0);

    ASSERT_TRUE(p.music.SetFileName("/m/song.ogg"));
    p.media.duration = 30;
    p.media.position = 12;
    p.music.Play();
    EXPECT_EQ(p.media.position, 12);  // resumes where it was
    EXPECT_EQ(p.music.State(), 1);
    p.music.Pause();
    EXPECT_EQ(p.music.State(), 2);
    p.media.position = 30;  // played to its end
    p.music.Play();
    EXPECT_EQ(p.media.position, 0);
    EXPECT_TRUE(p.media.playing);
    p.music.StopPlaying();
    EXPECT_EQ(p.music.State(), 0);
    EXPECT_FALSE(p.media.playing);
}

TEST(ClsMusic, AFileThatCannotOpenLeavesThePlayerQuiet) {
    Player p;
    p.media.openWorks = false;
    EXPECT_FALSE(p.music.SetFileName("/m/missing.wma"));
    EXPECT_EQ(p.music.FileName(), "/m/missing.wma");
    EXPECT_FALSE(p.music.HasAudio());
    EXPECT_FALSE(p.music.OpenError().empty());
    p.media.calls.clear();
    p.media.duration = p.media.position = 5;
    p.music.Play();
    p.music.SetVolume(-100);
    EXPECT_TRUE(p.media.calls.empty());
    EXPECT_EQ(p.music.Position(), 0);
    EXPECT_EQ(p.music.Duration(), 0);

    MediaBackend* none = nullptr;
    clsMusic without{&none};
    EXPECT_FALSE(without.SetFileName("/m/song.ogg"));
    without.Play();
    EXPECT_EQ(without.State(), 0);
}

TEST(ClsMusic, LevelLowersTheVolumeByItsShareOfTheAmplitudeFromFileToFile) {
    Player p;
    for (const auto& [level, volume, told] : {std::array{100, -3000, -3000}, {50, 0, -602}, {0, 0, -10000},
                                               {250, -3000, -3000}, {10, -9000, -10000}}) {
        ASSERT_TRUE(p.music.SetFileName("/m/song.ogg"));
        p.music.SetLevel(level);
        p.music.SetVolume(volume);
        EXPECT_EQ(p.media.volume, told) << level << " " << volume;
    }
}

TEST(ClsMusic, LoopPointsSendTheMusicBackToTheLoopStart) {
    // 1000 samples a second; an 8 s file.
    const struct {
        int32_t start, end;
        int rate;
        bool playing;
        double position, after, restart;
        bool playsAgain;
    } cases[] = {
        {2000, 5000, 1000, true, 4.9, 4.9, 2, false}, {2000, 5000, 1000, true, 5.3, 2, 2, false},
        {2000, 8000, 1000, true, 8, 2, 2, true},      {2000, 5000, 1000, false, 6, 6, 2, false},
        {2000, 0, 1000, true, 6, 6, 0, false},  // no end: the whole file loops
        {2000, 5000, 0, true, 6, 6, 0, false},  // rate unknown
        {9000, 10000, 1000, true, 8, 8, 0, false},  // a start past the file's end
    };
    for (const auto& c : cases) {
        Player p;
        ASSERT_TRUE(p.music.SetFileName("/m/song.ogg"));
        p.music.SetLoop(c.start, c.end);
        p.media.sampleRate = c.rate;
        p.media.duration = 8;
        if (c.playing) p.music.Play();
        p.media.position = c.position;
        p.media.calls.clear();
        p.music.KeepLoop();
        EXPECT_EQ(std::tuple(p.media.position, p.media.calls.size() == 2, p.music.RestartPosition()),
                  std::tuple(c.after, c.playsAgain, c.restart)) << c.start << " " << c.position;
        ASSERT_TRUE(p.music.SetFileName("/m/other.ogg"));  // another file forgets the loop
        EXPECT_EQ(p.music.RestartPosition(), 0);
    }
}

TEST(ClsMusic, Sec2Min) {
    const struct {
        double secs;
        const char* text;
    } cases[] = {
        {0, "0:00"},      {9, "0:09"},    {59, "0:59"},     {59.6, "1:00"},
        {125, "2:05"},    {600, "10:00"}, {3600, "60:00"},  {32767, "546:07"},
        {-1, "0:00"},     {40000, "0:00"}, {1e300, "0:00"}, {std::numeric_limits<double>::quiet_NaN(), "0:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(Sec2Min(c.secs), c.text) << c.secs;
}

}  // namespace
}  // namespace qb
