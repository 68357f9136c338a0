#pragma once
// The demo stage's music: a short tune of our own, composed here as a Standard MIDI File.
#include <string>

namespace qb::demo {

// A format-0 MIDI file: eight bars of melody over a bass line at 112 beats a minute (about 17 s),
// ending where it began so that it loops without a seam.
std::string DemoTuneMidi();

}  // namespace qb::demo
