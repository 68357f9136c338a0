#pragma once
// The text quillback-shot prints for --info.
#include <string>

namespace qb {
struct AppState;
struct TestCharacter;
}

namespace qb::shot {

// A 32-bit float as the stage writer writes it: at most 7 significant digits, plain decimal notation,
// no trailing zeros, and "0" for anything that rounds to zero (never "-0").
std::string FormatFloat(float value);

// The whole --info dump of a loaded stage, one line per item, each ended by "\n".
std::string InfoDump(const AppState& state);

// The whole --char-info dump of a loaded character: its constants, the six action slots with their
// frames, then every entry of its sprite table.
std::string CharInfoDump(const TestCharacter& character);

}  // namespace qb::shot
