#pragma once
// The test character as the configuration keeps it: which character, its name for the menu, and
// whether it is to be put into the stage at start.
#include <cstdint>
#include <string>

namespace qb {

struct TestCharSettings {
    std::string TestCharPath;
    std::string TestCharName;
    uint8_t CharRequested = 0;  // "Char = True" was read: the character command should run once
};

}  // namespace qb
