#include "platform/midi_length.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/byte_writer.h"

namespace qb {
namespace {

using demo::PutBe32;

std::string Chunk(const char* id, const std::string& body) {
    std::string out = id;
    PutBe32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

// A header for `tracks` tracks at `division` ticks a beat, then the tracks.
std::string Midi(uint16_t division, const std::vector<std::string>& tracks) {
    std::string header("\x00\x01", 2);
    header += static_cast<char>(tracks.size() >> 8);
    header += static_cast<char>(tracks.size() & 0xFF);
    header += static_cast<char>(division >> 8);
    header += static_cast<char>(division & 0xFF);
    std::string out = Chunk("MThd", header);
    for (const std::string& t : tracks) out += Chunk("MTrk", t);
    return out;
}

const std::string kEnd("\x00\xFF\x2F\x00", 4);
// 480 ticks (a beat at division 480) as a variable-length quantity.
const std::string kBeat("\x83\x60", 2);
const std::string kTempo60("\x00\xFF\x51\x03\x0F\x42\x40", 7);  // 1,000,000 us a beat

TEST(MidiLength, EndsWithTheLastEventFollowingTheTempo) {
    // A note held one beat, with running status for its release (note on, velocity 0).
    const std::string note = std::string("\x00\x90\x3C\x64", 4) + kBeat + std::string("\x3C\x00", 2);
    const struct {
        const char* what;
        std::string file;
        double seconds;
    } cases[] = {
        {"one beat at 120", Midi(480, {note + kEnd}), 0.5},
        {"tempo 60", Midi(480, {kTempo60 + note + kEnd}), 1.0},
        // The tempo track and a note track: the tempo applies to every track.
        {"tempo in its own track", Midi(480, {kTempo60 + kEnd, note + note + kEnd}), 2.0},
        // A rest written before the end-of-track mark is part of the file's length.
        {"rest before the end", Midi(480, {note + kBeat + std::string("\xFF\x2F\x00", 3)}), 1.0},
        // A tempo change half-way: one beat at 120, one at 60.
        {"tempo change", Midi(480, {note + std::string("\x00\xFF\x51\x03\x0F\x42\x40", 7) + note + kEnd}),
         1.5},
        // SysEx and a program change (one data byte) between the notes.
        {"sysex", Midi(480, {std::string("\x00\xF0\x03\x7E\x09\xF7\x00\xC0\x05", 9) + note + kEnd}), 0.5},
        // SMPTE: 25 frames a second of 40 ticks; one beat of 480 ticks is 0.48 s.
        {"smpte", Midi(0xE728, {note + kEnd}), 0.48},
        // A track cut short counts up to its last complete event.
        {"cut short", Midi(480, {note + note.substr(0, 5)}), 0.5},
        {"no end mark", Midi(480, {note}), 0.5},
        {"garbage", Midi(480, {std::string(64, '\xFF')}), 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto length = MidiLength(c.file);
        ASSERT_TRUE(length.has_value());
        EXPECT_NEAR(*length, c.seconds, 1e-9);
    }
}

TEST(MidiLength, WhatIsNoMidiFileHasNoLength) {
    for (const std::string& bytes :
         {std::string(), std::string("RIFF....WAVEfmt "),
          std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x00", 14),   // division 0
          std::string("MThd\x7F\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14)})  // header too long
        EXPECT_FALSE(MidiLength(bytes));
}

}  // namespace
}  // namespace qb
