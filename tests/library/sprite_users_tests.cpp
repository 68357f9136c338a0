// Which stages share a sprite file, found by the file on disk, not by its name.
#include "library/sprite_users.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/sprites.h"
#include "tests/support/temp_dir.h"

namespace qb::test {
namespace {

std::string Def(const std::string& spr) {
    return "[Info]\r\nname = x\r\n[Camera]\r\nstartx = 0\r\n[BGdef]\r\nspr\t= " + spr + "  ; pictures\r\n";
}

TEST(SpriteUsers, FoundByTheFileLoadingWouldOpen) {
    TempDir dir;
    const std::string mugen = dir.Dir() + "mugen/";
    const std::string stages = mugen + "stages";
    dir.Write("mugen/stages/common.sff", "S");
    dir.Write("mugen/stages/a.def", Def("stages/common.sff"));
    dir.Write("mugen/stages/b.def", Def("Stages\\Common.SFF"));       // other case, other separator
    dir.Write("mugen/stages/deep/c.def", Def("stages/common.sff"));   // a subfolder of the list
    dir.Write("mugen/stages/deep/d.def", Def("nowhere/common.sff"));  // beside itself: deep/common.sff, none
    dir.Write("mugen/stages/e.def", Def("stages/other.sff"));
    dir.Write("mugen/stages/other.sff", "O");
    dir.Write("elsewhere/stage0.def", Def("common.sff"));  // the same name, another file
    dir.Write("elsewhere/common.sff", "E");
    dir.Write("pair/a.def", Def("common.sff"));  // two stages side by side outside the MUGEN directory
    dir.Write("pair/b.def", Def("common.sff"));
    dir.Write("pair/common.sff", "P");

    const struct {
        std::string stage, sprite;
        std::vector<std::string> users;
    } cases[] = {
        {stages + "/a.def", stages + "/common.sff", {stages + "/b.def", stages + "/deep/c.def"}},
        {stages + "/e.def", stages + "/other.sff", {}},
        {dir.Dir() + "elsewhere/stage0.def", dir.Dir() + "elsewhere/common.sff", {}},
        {dir.Dir() + "pair/a.def", dir.Dir() + "pair/common.sff", {dir.Dir() + "pair/b.def"}},
        {stages + "/a.def", stages + "/gone.sff", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StagesUsingSprite(c.stage, c.sprite, stages, mugen), c.users) << c.stage << " " << c.sprite;
    }
}

// A stage's "spr" may name any file; Delete takes only what is the stage's own.
TEST(SpriteUsers, DeleteTakesOnlyTheStagesOwnFiles) {
    TempDir dir;
    const std::string mugen = dir.Dir() + "mugen/", stages = mugen + "stages/";
    for (const char* name : {"mugen/stages/own.sff", "mugen/stages/shared.sff", "outside/real.sff"})
        dir.Write(name, demo::WriteSff({SolidSprite(0, 0)}));
    dir.Write("mugen/stages/notes.txt", std::string(64, 'x'));
    dir.Write("mugen/stages/other.def", Def("stages/shared.sff"));
    dir.Write("outside/thesis.txt", "my thesis");
    ASSERT_EQ(::symlink((dir.Dir() + "outside").c_str(), (stages + "ext").c_str()), 0);
    const std::string def = dir.Write("mugen/stages/s.def", Def("x")).string();
    dir.Write("mugen/stages/s.def.bak", "old");
    const struct {
        std::string sprite, because;  // no reason: it goes
    } cases[] = {
        {stages + "own.sff", ""},
        {stages + "../../outside/thesis.txt", "outside the MUGEN directory"},
        {stages + "ext/real.sff", "outside the MUGEN directory"},  // through a linked folder
        {stages + "notes.txt", "not a sprite file"},
        {stages + "shared.sff", "other stages use it"},
    };
    for (const auto& c : cases) {
        const StageFilesToTrash plan = StageFilesForDelete(def, c.sprite, stages, mugen);
        std::vector<std::string> moved{def, def + ".bak"};
        if (c.because.empty()) moved.push_back(c.sprite);
        EXPECT_EQ(plan.moved, moved) << c.sprite;
        EXPECT_EQ(plan.keptSprite.empty(), c.because.empty()) << c.sprite;
        EXPECT_NE(plan.keptBecause.find(c.because), std::string::npos) << plan.keptBecause;
    }
}

TEST(SpriteUsers, TheKeptBoxNamesAFewAndCountsTheRest) {
    TempDir dir;
    const std::string stages = dir.Dir() + "stages";
    std::vector<std::string> users;
    for (int i = 0; i < 5000; ++i) users.push_back(stages + "/s" + std::to_string(i) + ".def");
    users[1] = stages + "/deep/t.DEF";
    users[2] = dir.Dir() + "pair/b.def";
    EXPECT_EQ(SpriteKeptText("/x/common.sff", {users.begin(), users.begin() + 3}, stages),
              "The sprite file\r\n/x/common.sff\r\nwas kept because other stages use it:\r\ns0\r\ndeep/t\r\nb");
    const std::string many = SpriteKeptText("/x/common.sff", users, stages + "/");
    EXPECT_EQ(many.substr(many.find("use it:")),
              "use it:\r\ns0\r\ndeep/t\r\nb\r\ns3\r\ns4\r\nand 4995 more.");
}

}  // namespace
}  // namespace qb::test
