// Every real stage of the corpus, loaded through the headless tool exactly as a user's MUGEN
// directory would hold it.
#include <gtest/gtest.h>

#include "platform/text_util.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qb {
namespace {

namespace fs = std::filesystem;

struct ShotResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

ShotResult RunShot(const std::string& args, const test::TempDir& scratch) {
    ShotResult r;
    const std::string errPath = (scratch.Path() / "stderr.txt").string();
    std::string command = Quote(QB_SHOT_EXE) + " " + args + " 2>" + Quote(errPath);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
    int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = scratch.Read("stderr.txt");
    return r;
}

std::string Line(const std::string& text, const std::string& prefix) {
    size_t at = text.rfind("\n" + prefix, std::string::npos);
    if (text.rfind(prefix, 0) == 0)
        at = 0;
    else if (at != std::string::npos)
        ++at;
    else
        return {};
    return text.substr(at, text.find('\n', at) - at);
}

// Counts and names checked against each definition file and sprite-file header by reading them.
struct CorpusStage {
    const char* folder;
    const char* def;
    const char* name;
    int elements, actions, ctrldefs, sprites;
    const char* log;
};

const std::string kTile = "TileX < 0";
const CorpusStage kStages[] = {
    {"TheNegumProject__CellGameUB", "CellGameUB.def", "\"Cell Games - UB\"", 11, 1, 0, 14,
     "Windowdelta not supported yet\r\nTileX < 0\r\nTileX < 0\r\n"},
    {"matepore__DMC4-Jungle", "DMC4-Jungle.def", "\"DMC4 Jungle\"", 17, 2, 0, 34, ""},
    {"matepore__SlashBG", "SlashBG.def", "\"Midnight Park\"", 8, 7, 0, 73, ""},
    {"MineTech99__balrog", "balrog.def", "\"(SF2) Balrog\"", 36, 23, 5, 77, ""},
    {"DBZ-Mugen__bardock_stage", "bardock_stage.def", "\"Saiyan's Planet Destruction\"", 26, 6, 0, 65, ""},
    {"kazzmir__cargo", "cargo.def", "\"Below deck\"", 11, 5, 0, 35, ""},
    {"MineTech99__chunli", "chunli.def", "\"(SF2) Chun-Li\"", 25, 20, 0, 101,
     "TileX < 0\r\nTileX < 0\r\nTileX < 0\r\nTileX < 0\r\nTileX < 0\r\nTileX < 0\r\n"},
    {"kazzmir__falls", "falls.def", "\"The Falls\"", 5, 3, 0, 14, ""},
    {"kazzmir__kfm", "kfm.def", "\"Mountainside Temple\"", 7, 0, 0, 7, "Windowdelta not supported yet\r\n"},
    {"Diegoprofeta__kof97usa", "kof97usa.def", "\"KOF'97 - U.S.A. Stage\"", 16, 11, 4, 65, ""},
    {"TheNegumProject__sb3dcloud", "sb3dcloud.def", "\"Clouds Day (sb3)\"", 1, 0, 0, 1,
     "Windowdelta not supported yet\r\n"},
    {"kazzmir__ssf2-China", "ssf2-China.def", "\"SSF2 - China\"", 41, 21, 4, 51,
     "Windowdelta not supported yet\r\n"},
    {"kazzmir__stage0", "stage0.def", "\"Training Room\"", 2, 0, 0, 2, ""},
    {"MineTech99__thawk", "thawk.def", "\"(SSF2) T.Hawk\"", 23, 23, 7, 54, ""},
    {"kazzmir__venice", "venice.def", "\"Love in Venice\"", 12, 3, 0, 39, ""},
    {"matepore__KOF99-Chinatown-Night", "KOF99 - Chinatown Night.DEF", "\"Chinatown Night\"", 8, 21, 2, 62,
     ""},
};

class ShotCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        corpus = test::CorpusDir();
        if (corpus.empty()) GTEST_SKIP() << "corpus not present";
        // Lay the stages out as a MUGEN directory, file names as found.
        for (const auto& entry : fs::directory_iterator(corpus / "stages"))
            for (const auto& file : fs::directory_iterator(entry.path()))
                mugen.Write("stages/" + file.path().filename().string(), ReadAll(file.path()));
    }
    static std::string ReadAll(const fs::path& p) {
        std::string bytes;
        FILE* f = std::fopen(p.c_str(), "rb");
        if (!f) return bytes;
        std::array<char, 65536> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes.append(buffer.data(), n);
        std::fclose(f);
        return bytes;
    }
    fs::path corpus;
    test::TempDir mugen;
    test::TempDir scratch;
};

TEST_F(ShotCorpus, EveryStageLoadsWithItsCountsAndOnlyDeservedLogEntries) {
    for (const CorpusStage& s : kStages) {
        SCOPED_TRACE(s.def);
        ASSERT_TRUE(fs::exists(corpus / "stages" / s.folder / s.def));
        test::TempDir program;
        const std::string def = (mugen.Path() / "stages" / s.def).string();
        const std::string common = "--mugen " + Quote(mugen.Dir()) + " --program-dir " +
                                   Quote(program.Path().string()) + " " + Quote(def);
        ShotResult info = RunShot(common + " --info", scratch);
        EXPECT_EQ(info.status, 0);
        EXPECT_EQ(info.err, "");  // no message box
        EXPECT_EQ(Line(info.out, "name: "), std::string("name: ") + s.name);
        char counts[160];
        std::snprintf(counts, sizeof counts, "counts: elements=%d actions=%d ctrldefs=%d sprites=%d",
                      s.elements, s.actions, s.ctrldefs, s.sprites);
        EXPECT_EQ(Line(info.out, "counts: "), counts);
        ShotResult log = RunShot(common + " --log", scratch);
        EXPECT_EQ(log.status, 0);
        // The stages come without their music: each names its missing file in one line of its own.
        std::string definitionLog;
        int musicLines = 0;
        for (size_t at = 0; at < log.out.size();) {
            const size_t end = std::min(log.out.find("\r\n", at), log.out.size());
            const std::string line = log.out.substr(at, end - at);
            if (line.rfind("Could not play the music file ", 0) == 0) {
                ++musicLines;
                EXPECT_TRUE(line.ends_with(": no such file")) << line;
            } else {
                definitionLog += line + "\r\n";
            }
            at = end + 2;
        }
        EXPECT_LE(musicLines, 1);
        EXPECT_EQ(definitionLog, s.log);
        // Repaired copies of bare-LF files are gone again.
        EXPECT_TRUE(fs::is_empty(program.Path()));
    }
}

TEST_F(ShotCorpus, EverySavedStageLoadsAgainWithItsElementsAndSprites) {
    for (const CorpusStage& s : kStages) {
        SCOPED_TRACE(s.def);
        test::TempDir out;
        const std::string def = (mugen.Path() / "stages" / s.def).string();
        const std::string one = (out.Path() / "test.def").string(), two = (out.Path() / "stage.def").string();
        ShotResult r = RunShot("--mugen " + Quote(mugen.Dir()) + " " + Quote(def) + " --save-stage " + Quote(one) +
                                   " --save-stage2 " + Quote(two),
                               scratch);
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string& saved : {one, two}) {
            ShotResult again = RunShot("--mugen " + Quote(mugen.Dir()) + " " + Quote(saved) + " --info", scratch);
            EXPECT_EQ(again.status, 0) << again.err;
            EXPECT_EQ(Line(again.out, "name: "), "name: \"Fenn Test\"");
            char counts[80];
            std::snprintf(counts, sizeof counts, "counts: elements=%d ", s.elements);
            EXPECT_EQ(Line(again.out, "counts: ").rfind(counts, 0), 0u) << Line(again.out, "counts: ");
            EXPECT_NE(Line(again.out, "counts: ").find(" sprites=" + std::to_string(s.sprites)), std::string::npos);
        }
    }
}

TEST_F(ShotCorpus, DumpLinesOfKnownStages) {
    const std::string kfm = (mugen.Path() / "stages/kfm.def").string();
    ShotResult r = RunShot("--mugen " + Quote(mugen.Dir()) + " " + Quote(kfm) + " --info", scratch);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(
        Line(r.out, "stage: "),
        "stage: zoffset=200 zoffsetlink=-1 tension=60 p1startx=-70 screenleft=15 screenright=15 shadow=0,0,0 "
        "intensity=64 yscale=-0.1 reflection=128");
    EXPECT_EQ(Line(r.out, "music: "), "music: file=0 volume=0");
    EXPECT_EQ(
        Line(r.out, "element 1: ").rfind("element 1: name=\"Floor\" type=parallax sprite=3 group=10,0 ", 0),
        0u);
    EXPECT_NE(Line(r.out, "element 1: ").find(" delta=0.78,0.75 "), std::string::npos);

    const std::string usa = (mugen.Path() / "stages/kof97usa.def").string();
    r = RunShot("--mugen " + Quote(mugen.Dir()) + " " + Quote(usa) + " --info", scratch);
    ASSERT_EQ(r.status, 0);
    // ctrlID = 10 names the thirteenth element (id = 10).
    EXPECT_EQ(Line(r.out, "ctrldef 0: "), "ctrldef 0: name=\"10\" looptime=800 ids=12 ctrls=3");
    EXPECT_EQ(Line(r.out, "music: "), "music: file=athena asamiya.mp3 volume=255");
}

TEST(Shot, UsageErrorsAndMissingStage) {
    test::TempDir scratch;
    EXPECT_EQ(RunShot("", scratch).status, 2);
    EXPECT_EQ(RunShot("--frames", scratch).status, 2);
    EXPECT_EQ(RunShot("--frames x a.def", scratch).status, 2);
    EXPECT_EQ(RunShot("--bogus a.def", scratch).status, 2);
    EXPECT_EQ(RunShot("a.def b.def", scratch).status, 2);
    ShotResult r = RunShot(Quote((scratch.Path() / "none.def").string()) + " --info", scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read the stage file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("[message]"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    // A folder is no stage file either.
    r = RunShot(Quote(scratch.Path().string()) + " --info", scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read the stage file"), std::string::npos) << r.err;
}

TEST(Shot, FloatsAreWrittenWithSevenDigitsAndNoNegativeZero) {
    test::TempDir mugen;
    test::TempDir scratch;
    mugen.Write("stages/f.sff", "");
    auto def = mugen.Write(
        "stages/f.def",
        "[Camera]\r\nstartx = 0.1\r\n[Shadow]\r\nyscale = 1234567.8\r\n[BG a]\r\ndelta = -0.0000001, 2.50\r\n"
        "velocity = 1.25\r\n[BGCtrlDef g]\r\n[BGCtrl c]\r\nx = -1.25\r\ny = 0.000012345678\r\n");
    ShotResult r = RunShot(Quote(def.string()) + " --info", scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("camera: startx=0.1 "), std::string::npos);
    EXPECT_NE(r.out.find(" yscale=1234568 "), std::string::npos);
    EXPECT_NE(r.out.find(" delta=-0.0000001,2.5 "), std::string::npos);
    EXPECT_NE(r.out.find(" x=-1.25 y=0.00001234568 "), std::string::npos);
    EXPECT_NE(r.out.find(" camerax=0 cameray=0"), std::string::npos);  // -0 is written 0
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

bool StartsWithKey(const std::string& line, const std::string& key) {
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line.size() < b + key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[b + i])) != key[i]) return false;
    return true;
}

// Only the music and volume lines change, or they are inserted; line ends stay the file's own (most of
// these stages use LF only); running it again changes nothing.
TEST_F(ShotCorpus, ChangeMusicTouchesOnlyTheMusicLines) {
    const std::string music = "sound/qb new.mp3";
    int stages = 0;
    for (const auto& entry : fs::directory_iterator(mugen.Path() / "stages")) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension != ".def") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++stages;
        const std::string before = ReadAll(entry.path());
        const std::string args = "--change-music " + Quote(music) + " --volume -42 " + Quote(entry.path().string());
        ShotResult r = RunShot(args, scratch);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string after = ReadAll(entry.path());
        EXPECT_EQ(before.find('\r') == std::string::npos, after.find('\r') == std::string::npos);
        EXPECT_EQ(before.find('\n') == std::string::npos, after.find('\n') == std::string::npos);
        EXPECT_EQ(before.ends_with('\n'), after.ends_with('\n'));

        const auto a = text::SplitTextLines(before);
        const auto b = text::SplitTextLines(after);
        ASSERT_TRUE(b.size() >= a.size() && b.size() <= a.size() + 2);
        size_t inserted = 0;
        bool musicWritten = false;
        for (size_t i = 0, j = 0; j < b.size(); ++i, ++j) {
            const bool isMusic = StartsWithKey(b[j], "bgmusic") && b[j].find(music) != std::string::npos;
            const bool isVolume = StartsWithKey(b[j], "bgvolume") && b[j].find("-42") != std::string::npos;
            musicWritten = musicWritten || isMusic;
            if (i < a.size() && a[i] == b[j]) continue;
            if (i < a.size() && ((isMusic && StartsWithKey(a[i], "bgmusic")) ||
                                 (isVolume && StartsWithKey(a[i], "bgvolume"))))
                continue;
            ASSERT_TRUE(isMusic || isVolume) << "line " << j + 1 << ": " << b[j];
            ++inserted;
            --i;
        }
        EXPECT_EQ(b.size(), a.size() + inserted);
        if (before.find("[Music]") != std::string::npos || before.find("[music]") != std::string::npos) {
            EXPECT_TRUE(musicWritten);
        }

        ASSERT_EQ(RunShot(args, scratch).status, 0);
        EXPECT_EQ(ReadAll(entry.path()), after);
    }
    EXPECT_EQ(stages, static_cast<int>(std::size(kStages)));
}

TEST(Shot, ChangeMusicUsageAndRefusals) {
    test::TempDir scratch;
    EXPECT_EQ(RunShot("--volume 3 x.def", scratch).status, 2);
    EXPECT_EQ(RunShot("--change-music a.mp3 x.def", scratch).status, 2);
    EXPECT_EQ(RunShot("--change-music a.mp3 --volume 40000 x.def", scratch).status, 2);
    ShotResult missing = RunShot("--change-music a.mp3 --volume 3 " + Quote(scratch.Dir() + "none.def"), scratch);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.def"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace qb
