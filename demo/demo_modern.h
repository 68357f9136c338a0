#pragma once
// The second demo stage and character, in version 2 sprite files: "Lantern Pass", a stage at
// 1280 x 720 (localcoord 1280,720, mugenversion 1.1) whose sprites use RLE8, LZ5, PNG8 and PNG32
// and whose elements blend (addalpha, add1), and "Kite", a character whose sprite file is version 2.
#include <filesystem>
#include <string>
#include <vector>

#include "demo/sff2_writer.h"

namespace qb::demo {

struct ModernSheet {
    std::vector<Sff2Sprite> sprites;
    std::vector<Sff2Palette> palettes;
};

ModernSheet ModernStageSprites();
// The stage definition text (CR LF line ends).
std::string ModernStageDef();
// Kite's sprites: Wren's drawings in a palette of their own, LZ5 where the colours fit and RLE8
// otherwise, the landing frame linked to the jump start.
ModernSheet ModernCharSprites();
std::string ModernCharDef();

// Writes OUTPUT/stages/lanternpass.def and .sff and OUTPUT/chars/kite/kite.def, .air, .cns, .sff.
// False with a message when a file could not be written.
bool WriteModernDemo(const std::filesystem::path& output, std::string& error);

}  // namespace qb::demo
