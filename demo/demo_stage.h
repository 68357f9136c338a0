#pragma once
// The bundled demo stage: procedurally drawn art and a definition that exercises every element
// feature the renderer has.
#include <filesystem>
#include <string>
#include <vector>

#include "demo/sff_writer.h"

namespace qb::demo {

// The stage's sprites, in sprite-file order.
std::vector<SffSprite> DemoSprites();
// The stage definition text (CR LF line ends).
std::string DemoStageDef();
// Writes OUTPUT/stages/quillback.def and .sff, the demo character (demo_char.h), the version 2
// stage and character (demo_modern.h), and makes OUTPUT/sound. Answers false with a message when a
// file could not be written.
bool WriteDemoMugen(const std::filesystem::path& output, std::string& error);
// Writes one generated file; false with `error` set ("cannot write PATH") when it could not.
bool WriteDemoFile(const std::filesystem::path& path, const std::string& bytes, std::string& error);

}  // namespace qb::demo
