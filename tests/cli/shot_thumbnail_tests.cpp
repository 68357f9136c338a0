// quillback-shot --thumbnail, as a file manager's thumbnailer runs it: the stage's first frame drawn
// by the same renderer as --frames, scaled down; a definition that is no stage draws nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "library/thumbnail.h"
#include "tests/cli/shot_tool.h"
#include "tests/render/picture_file.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

TEST(ShotThumbnail, IsTheFirstFrameScaledAndFindsItsMugenDirectory) {
    TempDir out;
    const std::string demo = std::string(QB_DEMO_DIR) + "/";
    const std::string stage = demo + "stages/quillback.def";
    const std::string thumb = (out.Path() / "thumb.png").string();
    const std::string frame = (out.Path() / "frame.png").string();
    // No --mugen: the folder above "stages" is the MUGEN directory, as for a file manager.
    ASSERT_EQ(RunShotTool("--thumbnail " + Quote(stage) + " " + Quote(thumb) + " 96"), 0);
    ASSERT_EQ(RunShotTool("--mugen " + Quote(demo) + " " + Quote(stage) + " --frames 1 --out " + Quote(frame)), 0);

    const DecodedPicture full = LoadPicture(frame);
    const DecodedPicture small = LoadPicture(thumb);
    ASSERT_TRUE(full.ok());
    ASSERT_EQ(small.width, 96);
    ASSERT_EQ(small.height, 72);
    const FrameImage image{full.pixels.data(), full.width, full.height, full.width, FrameImage::Format::Rgb565, {}};
    const Thumbnail expected = ScaleFrame(image, 96);
    size_t differing = 0;
    for (size_t i = 0; i < small.pixels.size(); ++i) {
        const uint8_t* p = &expected.Rgba[i * 4];
        const uint16_t rgb565 = static_cast<uint16_t>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
        differing += small.pixels[i] != rgb565;
    }
    EXPECT_EQ(differing, 0u);
}

TEST(ShotThumbnail, APackagesStageIsTheEntryAskedFor) {
    TempDir out;
    const std::string demo = std::string(QB_DEMO_DIR) + "/";
    std::vector<ZipItem> items;
    for (const char* name : {"quillback.def", "quillback.sff", "lanternpass.def", "lanternpass.sff"}) {
        const auto bytes = ReadFileBytes(demo + "stages/" + name, 64u << 20);
        ASSERT_TRUE(bytes) << name;
        items.push_back({std::string("stages/") + name, *bytes});
    }
    const std::string package = (out.Path() / "two.zip").string();
    ASSERT_TRUE(WriteZip(package, items));
    const auto draw = [&](const std::string& stage, const std::string& entry, const std::string& png) {
        const std::string path = (out.Path() / png).string();
        EXPECT_EQ(RunShotTool("--mugen " + Quote(demo) + (entry.empty() ? "" : " --entry " + Quote(entry)) +
                              " --thumbnail " + Quote(stage) + " " + Quote(path) + " 64"),
                  0);
        return LoadPicture(path).pixels;
    };
    const auto first = draw(package, "stages/quillback.def", "first.png");
    const auto second = draw(package, "stages/lanternpass.def", "second.png");
    EXPECT_EQ(first, draw(demo + "stages/quillback.def", "", "first-alone.png"));
    EXPECT_EQ(second, draw(demo + "stages/lanternpass.def", "", "second-alone.png"));
    EXPECT_NE(first, second);
}

TEST(ShotThumbnail, RefusesWhatIsNoStageAndSizesOutOfRange) {
    TempDir out;
    const std::string thumb = (out.Path() / "thumb.png").string();
    const std::string character = std::string(QB_DEMO_DIR) + "/chars/wren/wren.def";
    EXPECT_EQ(RunShotTool("--thumbnail " + Quote(character) + " " + Quote(thumb) + " 96"), 1);
    EXPECT_EQ(RunShotTool("--thumbnail " + Quote((out.Path() / "missing.def").string()) + " " + Quote(thumb) + " 96"), 1);
    EXPECT_FALSE(fs::exists(thumb));
    for (const char* size : {"0", "1025", "big"})
        EXPECT_EQ(RunShotTool("--thumbnail " + Quote(character) + " " + Quote(thumb) + " " + size), 2) << size;
}

}  // namespace
}  // namespace qb::test
