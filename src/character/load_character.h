#pragma once
// Reading one MUGEN character (.def, .air, .cns, .sff) into a TestCharacter record: only what the
// walker shows.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "character/test_character.h"
#include "platform/sff_file.h"
#include "stage/def_reader.h"

namespace qb {

class Ui;

// Title of the boxes that refuse a character once its definition was found.
inline constexpr const char* kCharBoxTitle = "Test character";

// What the loader needs from the main window.
struct CharLoadEnv {
    Ui& ui;
    // The constants file's jump.neu goes through the definition reader, which logs its
    // conversion errors like any other reader error.
    ReaderContext& reader;
    // The main window's sprite-file header record: after a character has loaded it holds the
    // character's sprite-file header. May be null.
    SffHeader* spriteHeader = nullptr;
};

// Reads the character whose definition is `defPath` into `character`. False, after a box with an
// exclamation icon, when it is not usable; the record may then be partly filled. With `announce`
// the caption becomes "Loading " and the character's name once it is known.
bool LoadCharacter(CharLoadEnv& env, TestCharacter& character, const std::string& defPath, bool announce);

// True when the file exists and a line of it mentions "stcommon" (every character names its common
// states; stages and other definitions do not).
bool IsChar(const std::string& path);

// The lines of a character's text file. CR, LF and CR LF all end a line (most character files are
// LF-only); tabs become blanks as in every definition line. nullopt when the file cannot be read or
// is absurdly large.
std::optional<std::vector<std::string>> ReadCharLines(const std::string& path);
std::vector<std::string> SplitCharLines(std::string_view text);

}  // namespace qb
