#include "music/music_chooser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

struct ChooserFixture {
    test::TempDir mugen;
    test::FakeMedia media;
    MediaBackend* slot = &media;
    clsMusic music{&slot};
    test::FakeUi ui;
    clsDialog cdl;
    StageModel stage;
    MusicChooser chooser;
    std::string mugeDir = mugen.Dir();
    std::string stageFile = mugen.Write("stages/s.def", "[Music]\nbgmusic = old.mp3\nbgvolume = 0\n").string();
    MusicChooserEnv env{stage, music, cdl, ui, mugeDir, stageFile, ""};
};

TEST(MusicChooser, InitShowsTheStageAndSetsTheVolume) {
    const struct {
        const char* musicFile;
        int16_t bgVolume;
        bool running;
        const char* shown;
        int32_t volume, playerVolume;
    } cases[] = {
        {"sound/a.mp3", 0, true, "sound/a.mp3", 0, -3000},
        {"0", 400, true, "None", 255, 0},  // an empty bgmusic reads as "0"
        {"", -300, false, "None", -255, -6000},
    };
    for (const auto& c : cases) {
        ChooserFixture f;
        ASSERT_TRUE(f.music.SetFileName("/m/a.mp3"));
        f.stage.MusicFile = c.musicFile;
        f.stage.BgVolume = c.bgVolume;
        f.chooser.Caption = "Changes saved...";
        InitMusicChooser(f.chooser, f.stage, f.music, c.running);
        EXPECT_EQ(f.chooser.Caption, "Choose Music");
        EXPECT_EQ(f.chooser.CurMusic, c.shown);
        EXPECT_EQ(f.chooser.Volume, c.volume);
        EXPECT_EQ(f.chooser.VolumeText, std::to_string(c.volume));
        EXPECT_EQ(f.stage.BgVolume, c.volume);  // clamped and stored back
        EXPECT_EQ(f.media.volume, c.playerVolume);
        EXPECT_EQ(f.chooser.Enabled, c.running);
    }
}

TEST(MusicChooser, BrowsePlaysTheChoiceAndNamesItRelativeToTheSoundFolder) {
    ChooserFixture f;
    f.mugen.Write("sound/Battle.mp3", "x");
    f.chooser.Volume = 255;
    f.ui.openAnswers = {f.mugen.Dir() + "SOUND/Battle.mp3", "/elsewhere/tune.ogg", ""};
    cmdBrowse_Click(f.chooser, f.env);
    ASSERT_EQ(f.ui.openRequests.size(), 1u);
    EXPECT_EQ(f.ui.openRequests[0].title, "Choose da music!");
    EXPECT_EQ(f.ui.openRequests[0].initialDir, f.mugen.Dir() + "sound/");
    ASSERT_EQ(f.ui.openRequests[0].filters.size(), 1u);
    EXPECT_EQ(f.ui.openRequests[0].filters[0].second, "*.mp3;*.mid;*.wav;*.wma;*.ogg");
    EXPECT_EQ(f.media.opened, f.mugen.Dir() + "SOUND/Battle.mp3");
    EXPECT_TRUE(f.media.playing);
    EXPECT_EQ(f.media.volume, 0);
    EXPECT_EQ(f.chooser.CurMusic, "sound\\Battle.mp3");

    cmdBrowse_Click(f.chooser, f.env);
    EXPECT_EQ(f.chooser.CurMusic, "/elsewhere/tune.ogg");
    cmdBrowse_Click(f.chooser, f.env);  // cancelled: nothing changes
    EXPECT_EQ(f.chooser.CurMusic, "/elsewhere/tune.ogg");
    EXPECT_EQ(f.media.opened, "/elsewhere/tune.ogg");
}

TEST(MusicChooser, UpdateDefWritesTheFileOrSaysWhyNot) {
    ChooserFixture f;
    f.chooser.CurMusic = "sound\\new.ogg";
    f.chooser.MusicPicked = true;  // as Browse leaves it
    f.chooser.VolumeText = "-40";
    ASSERT_TRUE(cmdSave_Click(f.chooser, f.env));
    EXPECT_EQ(f.mugen.Read("stages/s.def"), "[Music]\nbgmusic = sound\\new.ogg\nbgvolume = -40\n");
    EXPECT_EQ(f.chooser.Caption, "Changes saved...");
    EXPECT_EQ(f.stage.MusicFile, "sound\\new.ogg");
    EXPECT_EQ(f.stage.BgVolume, -40);

    ::chmod(f.stageFile.c_str(), 0444);
    f.chooser.CurMusic = "other.mp3";
    f.chooser.Caption = "Choose Music";
    EXPECT_FALSE(cmdSave_Click(f.chooser, f.env));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_NE(f.ui.boxes[0].text.find("read-only"), std::string::npos);
    EXPECT_EQ(f.chooser.Caption, "Choose Music");
    EXPECT_EQ(f.stage.MusicFile, "sound\\new.ogg");
}

// A packaged stage runs from an extracted copy that goes when it is closed: Update DEF says so first,
// and writes only when the user still wants it.
TEST(MusicChooser, UpdateDefOnAPackagedStageSaysTheChangeIsTemporary) {
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        ChooserFixture f;
        const std::string original = f.mugen.Read("stages/s.def");
        f.env.packageFile = "/home/ann/city.zip";
        f.chooser.CurMusic = "new.mp3";
        f.chooser.MusicPicked = true;
        f.ui.boxAnswers = {answer};
        EXPECT_EQ(cmdSave_Click(f.chooser, f.env), answer == MsgAnswer::Yes);
        ASSERT_EQ(f.ui.boxes.size(), 1u);
        EXPECT_EQ(f.ui.boxes[0].text,
                  "This stage was opened from the package\r\n/home/ann/city.zip\r\nThe package itself is not "
                  "changed: the new music goes into the extracted copy of its definition and lasts until the "
                  "stage is closed.\r\nUpdate the copy?");
        EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::YesNoDefaultNo);
        EXPECT_EQ(f.mugen.Read("stages/s.def") == original, answer == MsgAnswer::No);
    }
}

TEST(MusicChooser, UpdateDefKeepsTheStagesOwnReferenceUnlessBrowseChoseAnother) {
    const struct {
        const char *musicFile, *musicRef;  // as the stage was read
        const char* picked;                // chosen with Browse, or none
        const char* written;               // the music line afterwards
    } cases[] = {
        {"balrog.mp3", "Sound/Balrog.mp3", nullptr, "bgmusic = Sound/Balrog.mp3"},
        {"0", "", nullptr, "bgmusic = "},  // no music: never the shown "None"
        {"", "", nullptr, "bgmusic = "},
        {"balrog.mp3", "Sound/Balrog.mp3", "/elsewhere/Tune.ogg", "bgmusic = /elsewhere/Tune.ogg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.musicRef);
        ChooserFixture f;
        f.stage.MusicFile = c.musicFile;
        f.stage.MusicRef = c.musicRef;
        InitMusicChooser(f.chooser, f.stage, f.music, true);
        if (c.picked) {
            f.ui.openAnswers = {c.picked};
            cmdBrowse_Click(f.chooser, f.env);
        }
        vscVol_Change(f.chooser, f.music, 30);
        ASSERT_TRUE(cmdSave_Click(f.chooser, f.env));
        EXPECT_EQ(f.mugen.Read("stages/s.def"), "[Music]\n" + std::string(c.written) + "\nbgvolume = 30\n");
        // A second save keeps what the first one wrote.
        ASSERT_TRUE(cmdSave_Click(f.chooser, f.env));
        EXPECT_EQ(f.mugen.Read("stages/s.def"), "[Music]\n" + std::string(c.written) + "\nbgvolume = 30\n");
    }
}

}  // namespace
}  // namespace qb
