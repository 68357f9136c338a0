// Every stage of the real-content corpus runs 300 frames of camera travel in quillback-shot without
// a crash. Each stage is laid out in a temporary MUGEN directory (stages/, chars/, sound/) because
// the corpus is read-only and stages name their sprite files relative to that directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/shot_tool.h"
#include "tests/render/picture_file.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

namespace fs = std::filesystem;

bool IsDefinition(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".def";
}

TEST(CorpusFrames, EveryStageRunsThreeHundredFramesOfCameraTravel) {
    fs::path corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus beside the project";
    int stages = 0;
    for (const auto& folder : fs::directory_iterator(corpus / "stages")) {
        if (!folder.is_directory()) continue;
        test::TempDir mugen;
        for (const char* sub : {"stages", "chars", "sound"}) fs::create_directories(mugen.Path() / sub);
        std::vector<fs::path> definitions;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            fs::copy_file(file.path(), mugen.Path() / "stages" / file.path().filename());
            if (IsDefinition(file.path()))
                definitions.push_back(mugen.Path() / "stages" / file.path().filename());
        }
        for (const fs::path& def : definitions) {
            fs::path out = mugen.Path() / "frame.png";
            int status = test::RunShotTool(
                "--mugen " + test::Quote(mugen.Dir()) + " " + test::Quote(def.string()) +
                " --frames 300 --keys right*150,left*300,up*60,down*60 --out " + test::Quote(out.string()));
            EXPECT_EQ(status, 0) << def.filename();
            test::DecodedPicture picture = test::LoadPicture(out.string());
            EXPECT_TRUE(picture.ok()) << def.filename();
            ++stages;
        }
    }
    EXPECT_GT(stages, 0);
}

// Every version 2 stage draws 300 frames of camera travel twice with the same pixels (PNG output
// of its own-size 32-bit picture), and the picture is not empty.
TEST(CorpusFrames, EveryVersion2StageDrawsThreeHundredFramesDeterministically) {
    fs::path corpus = test::CorpusDir();
    if (corpus.empty() || !fs::is_directory(corpus / "stages_v2")) GTEST_SKIP() << "no version 2 corpus";
    int stages = 0;
    for (const auto& folder : fs::directory_iterator(corpus / "stages_v2")) {
        if (!folder.is_directory()) continue;
        test::TempDir mugen;
        for (const char* sub : {"stages", "chars", "sound"}) fs::create_directories(mugen.Path() / sub);
        std::vector<fs::path> definitions;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            fs::copy_file(file.path(), mugen.Path() / "stages" / file.path().filename());
            if (IsDefinition(file.path())) definitions.push_back(mugen.Path() / "stages" / file.path().filename());
        }
        for (const fs::path& def : definitions) {
            std::string pictures[2];
            for (int run = 0; run < 2; ++run) {
                fs::path out = mugen.Path() / ("frame" + std::to_string(run) + ".png");
                int status = test::RunShotTool("--mugen " + test::Quote(mugen.Dir()) + " " + test::Quote(def.string()) +
                                               " --frames 300 --keys right*150,left*300,up*60,down*60 --out " +
                                               test::Quote(out.string()));
                ASSERT_EQ(status, 0) << def.filename();
                test::DecodedPicture picture = test::LoadPicture(out.string());
                ASSERT_TRUE(picture.ok()) << def.filename();
                EXPECT_GE(picture.width, 320);
                size_t lit = 0;
                for (uint16_t p : picture.pixels) lit += p != 0;
                EXPECT_GT(lit, picture.pixels.size() / 2) << def.filename() << " is mostly black";
                pictures[run] = std::string(reinterpret_cast<const char*>(picture.pixels.data()),
                                            picture.pixels.size() * sizeof(uint16_t));
            }
            EXPECT_EQ(pictures[0], pictures[1]) << def.filename();
            ++stages;
        }
    }
    EXPECT_GT(stages, 0);
}

}  // namespace
}  // namespace qb
