// Whole frames of the demo stage drawn by the real quillback-shot, compared pixel for pixel with the
// pictures in tests/data/golden (each one looked at before it was committed). Set
// QB_UPDATE_GOLDEN=1 to rewrite them after a deliberate change, then look at them again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/cli/shot_tool.h"
#include "tests/render/picture_file.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

namespace fs = std::filesystem;

std::string DemoDir() {
    return std::string(QB_DEMO_DIR) + "/";
}
std::string DemoStage() {
    return DemoDir() + "stages/quillback.def";
}
std::string StageArgs() {
    return "--mugen " + test::Quote(DemoDir()) + " " + test::Quote(DemoStage());
}

struct GoldenCase {
    const char* name;
    const char* arguments;
    bool demoChar = false;  // with the demo character Wren switched on
};

const GoldenCase kGoldenCases[] = {
    {"start", "--frames 1"},
    // The shooting star crosses, the lanterns flicker, the boat drifts.
    {"dusk_330", "--frames 330"},
    {"pan_right_up", "--frames 120 --keys right*60,up*30"},
    // Bigger camera steps (A) to the left bound.
    {"left_bound_steps", "--frames 240 --keys a*12,left*200"},
    {"info_overlay", "--frames 75 --info-overlay --debug-bg --keys right+down*10,up*20"},
    {"down_right_z", "--frames 180 --keys up*40,z*20,right*100,down*20"},
    // Wren walks right into the camera's push, then turns round.
    {"char_walk_turn", "--frames 160 --keys right*150,left*10", true},
    // Paused at frame 100 at half speed, then stepped once: frame 101 and "x1/2" on the overlay.
    {"paused_step_half",
     "--frames 130 --speed 1/2 --info-overlay --keys right*99,right+pause*1,right*20,right+step*1,right*9", true},
};

// Compares a frame the tool wrote with the committed picture `name` (rewriting it first when asked).
void ExpectGolden(const fs::path& out, const std::string& name) {
    fs::path golden = fs::path(QB_TEST_DATA_DIR) / "golden" / (name + ".png");
    if (const char* update = std::getenv("QB_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        fs::create_directories(golden.parent_path());
        fs::copy_file(out, golden, fs::copy_options::overwrite_existing);
    }
    test::DecodedPicture want = test::LoadPicture(golden.string());
    test::DecodedPicture got = test::LoadPicture(out.string());
    ASSERT_TRUE(want.ok()) << golden;
    ASSERT_TRUE(got.ok());
    ASSERT_EQ(got.width, 320);
    ASSERT_EQ(got.height, 240);
    int differing = 0;
    for (size_t i = 0; i < want.pixels.size(); ++i) differing += want.pixels[i] != got.pixels[i];
    EXPECT_EQ(differing, 0) << name << ": " << differing << " pixels differ";
}

class GoldenFrames : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFrames, MatchTheCommittedPictures) {
    const GoldenCase& c = GetParam();
    test::TempDir temp;
    fs::path out = temp.Path() / (std::string(c.name) + ".png");
    const std::string character =
        c.demoChar ? " --no-p2 --char " + test::Quote(DemoDir() + "chars/wren/wren.def") : std::string();
    ASSERT_EQ(test::RunShotTool(StageArgs() + character + " " + c.arguments + " --out " +
                                test::Quote(out.string())),
              0);
    ExpectGolden(out, c.name);
}

// KFM standing in his own stage, in his own colours: his sprites share the sprite file's first
// palette (dark hair, white gi, blue trousers), not the large portrait's. Laid out from the corpus
// in a temporary MUGEN directory, as a user installs them.
TEST(GoldenCorpusFrames, KfmStandsInTheKfmStageInHisOwnColours) {
    const fs::path corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus beside the project";
    test::TempDir mugen;
    const fs::path stages = mugen.Path() / "stages", kfm = mugen.Path() / "chars" / "kfm";
    fs::create_directories(stages);
    fs::create_directories(kfm);
    for (const char* file : {"kfm.def", "kfm.sff"})
        fs::copy_file(corpus / "stages" / "kazzmir__kfm" / file, stages / file);
    for (const auto& file : fs::directory_iterator(corpus / "chars" / "kazzmir__kfm-winmugen-2001"))
        fs::copy_file(file.path(), kfm / file.path().filename());
    const fs::path out = mugen.Path() / "kfm_stand.png";
    ASSERT_EQ(test::RunShotTool("--mugen " + test::Quote(mugen.Dir()) + " " +
                                test::Quote((stages / "kfm.def").string()) + " --no-p2 --char " +
                                test::Quote((kfm / "kfm.def").string()) + " --frames 60 --out " +
                                test::Quote(out.string())),
              0);
    ExpectGolden(out, "kfm_stand");
}

INSTANTIATE_TEST_SUITE_P(DemoStage, GoldenFrames, ::testing::ValuesIn(kGoldenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShotFrames, PcxAndPngHoldTheSamePixels) {
    test::TempDir temp;
    std::string png = (temp.Path() / "a.png").string();
    std::string pcx = (temp.Path() / "a.pcx").string();
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 40 --out " + test::Quote(png)), 0);
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 40 --out " + test::Quote(pcx)), 0);
    test::DecodedPicture a = test::LoadPicture(png), b = test::LoadPicture(pcx);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.pixels, b.pixels);
}

TEST(ShotFrames, EveryKthFrameIsWrittenAndMatchesASingleRun) {
    test::TempDir temp;
    fs::path dir = temp.Path() / "frames";
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 25 --every 10 --out-dir " +
                                test::Quote(dir.string()) + " --keys right*25"),
              0);
    EXPECT_TRUE(fs::exists(dir / "frame_00010.png"));
    EXPECT_TRUE(fs::exists(dir / "frame_00020.png"));
    EXPECT_FALSE(fs::exists(dir / "frame_00025.png"));
    EXPECT_FALSE(fs::exists(dir / "frame_00030.png"));
    std::string single = (temp.Path() / "twenty.png").string();
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 20 --keys right*25 --out " + test::Quote(single)),
              0);
    EXPECT_EQ(test::LoadPicture(single).pixels, test::LoadPicture((dir / "frame_00020.png").string()).pixels);
}

TEST(ShotFrames, BadRequestsAreUsageErrors) {
    test::TempDir temp;
    std::string out = test::Quote((temp.Path() / "x.png").string());
    EXPECT_EQ(test::RunShotTool(StageArgs() + " --frames 5 --keys right*x --out " + out), 2);
    EXPECT_EQ(test::RunShotTool(StageArgs() + " --frames 5 --keys fly*3 --out " + out), 2);
    EXPECT_EQ(
        test::RunShotTool(StageArgs() + " --frames 5 --out " + test::Quote((temp.Path() / "x.bmp").string())),
        2);
    EXPECT_EQ(test::RunShotTool(StageArgs() + " --frames 5 --bench-gap 3 --out " + out), 2);
    EXPECT_FALSE(fs::exists(temp.Path() / "x.png"));
}

TEST(ShotFrames, BenchPrintsTheRateAndTheDrawingShare) {
    std::string output;
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 30 --bench", &output), 0);
    int frames = 0;
    double seconds = 0, fps = 0, drawSeconds = 0, ratio = 0;
    ASSERT_EQ(std::sscanf(output.c_str(), "frames=%d seconds=%lf fps=%lf\ndraw_seconds=%lf ratio=%lf",
                          &frames, &seconds, &fps, &drawSeconds, &ratio),
              5)
        << output;
    EXPECT_EQ(frames, 30);
    EXPECT_GT(drawSeconds, 0);
    EXPECT_LE(drawSeconds, seconds);
    EXPECT_GE(ratio, 1.0);
    // With a gap the frames' own processor time is printed as well.
    ASSERT_EQ(test::RunShotTool(StageArgs() + " --frames 3 --bench --bench-gap 2", &output), 0);
    double cpuMs = 0;
    const size_t at = output.find("gap_ms=2 frame_cpu_ms=");
    ASSERT_NE(at, std::string::npos) << output;
    ASSERT_EQ(std::sscanf(output.c_str() + at, "gap_ms=2 frame_cpu_ms=%lf", &cpuMs), 1);
    EXPECT_GT(cpuMs, 0);
}

}  // namespace
}  // namespace qb
