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

}  // namespace
}  // namespace qb
