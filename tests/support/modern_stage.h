#pragma once
// A small modern stage built in code: a version 2 sprite file written with demo/sff2_writer and a
// definition at localcoord 400,300, for the tests of the 32-bit path.
#include <string>

namespace qb::test {

// Sprites: 0,0 a 4 × 2 RLE8 picture (row 0: colours 0 1 0 1, row 1: 1 1 1 1) through palette 0
// (colour 0 blue, 1 red); 1,0 a 2 × 1 PNG32 (white at alpha 0, green at alpha 128); 2,0 linked to 0,0
// with its own axis 2,0; 3,0 linked past the table (damaged).
std::string ModernTestSff();
// Elements, top to bottom: "Plain" 0,0 at y 10 (unmasked), "Add1" 0,0 at y 20 with trans = add1,
// "Linked" 2,0 at y 30, "Png" 1,0 at y 40 with mask = 1, "Broken" 3,0 at y 50.
std::string ModernTestDef(const std::string& spriteFile);

}  // namespace qb::test
