#pragma once
// The playing length of a Standard MIDI File, read from its events. The synthesiser only reports a
// MIDI file as finished once the last notes' release and reverb have died away (seconds later), so
// the player measures where the music itself ends.
#include <optional>
#include <string_view>

namespace qb {

// Seconds from the start to the file's last event (its last note, or the end-of-track mark after it),
// following every tempo change. Nullopt when the bytes are not a MIDI file with a whole header.
// A track cut short counts up to its last complete event; the walk is bounded by the bytes.
std::optional<double> MidiLength(std::string_view file);

}  // namespace qb
