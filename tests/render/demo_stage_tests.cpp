#include "demo/demo_stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"
#include "tests/support/temp_dir.h"

namespace qb::demo {
namespace {

namespace fs = std::filesystem;

// The demo is the first stage a user sees and the golden tests' input: it has to keep showing
// every element feature the renderer draws.
TEST(DemoStage, TheDefinitionUsesEveryElementFeature) {
    std::string def = DemoStageDef();
    const char* features[] = {"type = normal",
                              "type = parallax",
                              "type = anim",
                              "type = dummy",
                              "loopstart",
                              "trans = add\r",
                              "trans = add1",
                              "trans = sub",
                              "trans = none",
                              ", a\r",
                              ", a1\r",
                              ", s\r",
                              ", h\r",
                              ", v,",
                              ", hv\r",
                              ", vh\r",
                              "tile = 1, 0",
                              "tile = 3, 5",
                              "tile = 1, 2",
                              "tilespacing = 10, 12",
                              "window =",
                              "velocity =",
                              "sin.x =",
                              "sin.y =",
                              "positionlink = 1",
                              "layerno = 1",
                              "zoffsetlink = 50",
                              "xscale =",
                              "width =",
                              "name = \"Quillback Demo\""};
    for (const char* feature : features) EXPECT_NE(def.find(feature), std::string::npos) << feature;

    std::set<std::string> controllers;
    std::regex type(R"(\[BGCtrl [^\]]*\]\r\ntype = (\w+))");
    for (auto it = std::sregex_iterator(def.begin(), def.end(), type); it != std::sregex_iterator(); ++it)
        controllers.insert((*it)[1]);
    for (const char* kind :
         {"visible", "enable", "velset", "veladd", "posset", "posadd", "anim", "sinx", "siny", "null"})
        EXPECT_TRUE(controllers.count(kind)) << kind;
}

TEST(DemoStage, EveryLineEndsWithCrLf) {
    std::string def = DemoStageDef();
    size_t lf = std::count(def.begin(), def.end(), '\n');
    size_t crlf = 0;
    for (size_t i = 1; i < def.size(); ++i) crlf += def[i] == '\n' && def[i - 1] == '\r';
    EXPECT_EQ(lf, crlf);
}

TEST(DemoStage, EverySpriteTheDefinitionNamesIsInTheSpriteFile) {
    std::set<std::pair<int, int>> present;
    for (const SffSprite& s : DemoSprites()) present.insert({s.group, s.image});
    std::string def = DemoStageDef();
    std::regex named(R"((?:spriteno = |\r\n)(\d+), ?(\d+)(?:\r|, ))");
    int count = 0;
    for (auto it = std::sregex_iterator(def.begin(), def.end(), named); it != std::sregex_iterator(); ++it) {
        std::pair<int, int> key{std::stoi((*it)[1]), std::stoi((*it)[2])};
        EXPECT_TRUE(present.count(key)) << key.first << "," << key.second;
        ++count;
    }
    EXPECT_GT(count, 20);
}

TEST(DemoStage, WritesTheStageAndTheMugenFolders) {
    test::TempDir out;
    std::string error;
    ASSERT_TRUE(WriteDemoMugen(out.Path(), error)) << error;
    EXPECT_TRUE(fs::is_directory(out.Path() / "chars"));
    EXPECT_TRUE(fs::is_directory(out.Path() / "sound"));
    EXPECT_EQ(out.Read("stages/quillback.def"), DemoStageDef());
    std::string sff = out.Read("stages/quillback.sff");
    ASSERT_GT(sff.size(), 512u);
    EXPECT_EQ(sff.substr(0, 11), "ElecbyteSpr");
}

TEST(DemoStage, AnUnwritableOutputIsReported) {
    test::TempDir out;
    out.Write("blocked", "a file where a folder should go");
    std::string error;
    EXPECT_FALSE(WriteDemoMugen(out.Path() / "blocked", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qb::demo

namespace qb::demo {
namespace {

// The version 2 demo is the modern path's content without third-party files: every sprite of both
// files decodes, the stage's sprites cover the formats and the links the modern path reads, and
// its definition names only sprites the file has.
TEST(ModernDemo, EverySpriteDecodesAndTheStageCoversTheModernFeatures) {
    test::TempDir out;
    std::string error;
    ASSERT_TRUE(WriteDemoMugen(out.Path(), error)) << error;
    for (const char* path : {"stages/lanternpass.sff", "chars/kite/kite.sff"}) {
        SCOPED_TRACE(path);
        const std::string file = out.Read(path);
        const auto index = ReadSff2(file);
        ASSERT_TRUE(index);
        const Sff2Sheet sheet = DecodeSff2Sheet(file, *index, kMaxDecodedBytes);
        for (size_t k = 0; k < sheet.spriteErrors.size(); ++k)
            EXPECT_EQ(sheet.spriteErrors[k], Sff2Error::None) << k;
        for (size_t k = 0; k < sheet.paletteErrors.size(); ++k)
            EXPECT_EQ(sheet.paletteErrors[k], Sff2Error::None) << k;
    }
    const auto index = ReadSff2(out.Read("stages/lanternpass.sff"));
    std::set<int> formats;
    bool ownAxisLink = false;
    std::set<std::pair<int, int>> present;
    for (const Sff2SpriteNode& node : index->sprites) {
        present.insert({node.group, node.image});
        if (!node.IsLinked()) formats.insert(node.format);
        else ownAxisLink |= node.axisX != index->sprites[node.link].axisX;
    }
    EXPECT_EQ(formats, (std::set<int>{kSff2Rle8, kSff2Lz5, kSff2Png8, kSff2Png32}));
    EXPECT_TRUE(ownAxisLink);

    const std::string def = out.Read("stages/lanternpass.def");
    for (const char* feature :
         {"localcoord = 1280,720", "mugenversion = 1.1", "trans = addalpha", "trans = add1",
          "type = parallax", "type = anim", "Interpolate Angle", ", 1.1, 1.1, 8"})
        EXPECT_NE(def.find(feature), std::string::npos) << feature;
    std::regex named(R"((?:spriteno = |\r\n)(\d+), ?(\d+)(?:\r|, ))");
    int count = 0;
    for (auto it = std::sregex_iterator(def.begin(), def.end(), named); it != std::sregex_iterator(); ++it, ++count)
        EXPECT_TRUE(present.count({std::stoi((*it)[1]), std::stoi((*it)[2])})) << (*it)[0];
    EXPECT_GE(count, 12);
}

}  // namespace
}  // namespace qb::demo
