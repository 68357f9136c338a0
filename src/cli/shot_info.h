#pragma once
// The text quillback-shot prints for --info.
#include <string>

namespace qb {
struct AppState;
}

namespace qb::shot {

// A 32-bit float as the stage writer writes it: at most 7 significant digits, plain decimal notation,
// no trailing zeros, and "0" for anything that rounds to zero (never "-0").
std::string FormatFloat(float value);

// The whole --info dump of a loaded stage, one line per item, each ended by "\n".
std::string InfoDump(const AppState& state);

}  // namespace qb::shot
