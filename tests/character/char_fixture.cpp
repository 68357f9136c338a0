#include "tests/character/char_fixture.h"

#include <gtest/gtest.h>

#include "platform/gfx.h"

namespace qb::test {

std::vector<demo::SffSprite> CharFiles::DefaultSprites() {
    demo::Palette palette{};
    palette[3] = 255;  // colour 1 red
    std::vector<demo::SffSprite> sprites;
    for (auto [group, image] : {std::pair{0, 0}, {5, 0}, {20, 0}, {20, 1}}) {
        demo::SffSprite s;
        s.group = group;
        s.image = static_cast<int16_t>(image);
        s.axisX = 1;
        s.axisY = 3;
        s.picture = demo::Picture{2, 3, {1, 1, 1, 1, 1, 1}};
        s.palette = palette;
        s.samePalette = !sprites.empty();
        sprites.push_back(s);
    }
    return sprites;
}

std::string WriteCharFiles(const TempDir& dir, const std::string& folder, const std::string& defName,
                           const CharFiles& files) {
    dir.Write(folder + defName, files.def);
    dir.Write(folder + "t.air", files.air);
    dir.Write(folder + "t.cns", files.cns);
    dir.Write(folder + "t.sff", files.spriteFile.empty() ? demo::WriteSff(files.sprites) : files.spriteFile);
    return dir.Dir() + folder + defName;
}

std::string CharHarness::Write(const CharFiles& files) {
    return WriteCharFiles(dir, "chars/t/", "t.def", files);
}

bool CharHarness::Load(const CharFiles& files) {
    a_allegro_init();
    return LoadCharacter(env, character, Write(files), false);
}

std::string CharHarness::OnlyBox() const {
    EXPECT_LE(ui.boxes.size(), 1u);
    return ui.boxes.empty() ? std::string() : ui.boxes.back().text;
}

}  // namespace qb::test
