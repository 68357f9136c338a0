#pragma once
// The bundled demo character "Wren": procedurally drawn sprites and the four files a test character
// is read from, with the standing, turning, walking and jumping actions the walker shows.
#include <filesystem>
#include <string>
#include <vector>

#include "demo/sff_writer.h"

namespace qb::demo {

// The character's sprites in sprite-file order: a portrait carrying the shared palette first, then
// sprites that reuse it, and one linked sprite (the landing frame shows the jump-start picture).
std::vector<SffSprite> DemoCharSprites();
// The definition, animation and constants files (LF line ends, as most character files have).
std::string DemoCharDef();
std::string DemoCharAir();
std::string DemoCharCns();
// Writes OUTPUT/chars/wren/wren.def, .air, .cns and .sff. False with a message on a write failure.
bool WriteDemoChar(const std::filesystem::path& output, std::string& error);

}  // namespace qb::demo
