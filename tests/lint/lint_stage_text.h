#pragma once
// The stages the lint's tests and the tool's end-to-end lint test are made of.
#include <string>
#include <vector>

#include "demo/sff_writer.h"
#include "tests/support/sprites.h"

namespace qb::test {

// A stage whose sprite file holds 0,0 and 1,0; `extra` goes after its one element.
inline std::string LintStageText(const std::string& name, const std::string& stageKeys,
                                 const std::string& extra) {
    return "[Info]\nname = \"" + name + "\"\n[Camera]\nstartx = 0\n" + stageKeys +  // from line 5
           "[BGdef]\nspr = stages/" + name + ".sff\n[BG Sky]\ntype = normal\nspriteno = 0,0\n" + extra;
}

inline const std::vector<demo::SffSprite> kSprites = {SolidSprite(0, 0), SolidSprite(1, 0)};

}  // namespace qb::test
