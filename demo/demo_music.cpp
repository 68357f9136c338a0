#include "demo/demo_music.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "demo/byte_writer.h"

namespace qb::demo {

namespace {

constexpr int kTicksPerBeat = 240;

struct Event {
    int tick;
    uint8_t status, data1, data2;
};

void VariableLength(std::string& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = static_cast<uint8_t>(value & 0x7F);
    while ((value >>= 7) != 0) bytes[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
    while (n > 0) out += static_cast<char>(bytes[--n]);
}

// Notes as (pitch, length in eighths); pitch 0 is a rest.
void AddVoice(std::vector<Event>& events, uint8_t channel, uint8_t velocity,
              std::initializer_list<std::pair<int, int>> notes) {
    int tick = 0;
    for (const auto& [pitch, eighths] : notes) {
        const int length = eighths * kTicksPerBeat / 2;
        if (pitch > 0) {
            events.push_back({tick, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(pitch), velocity});
            events.push_back({tick + length - 10, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(pitch), 64});
        }
        tick += length;
    }
}

}  // namespace

std::string DemoTuneMidi() {
    std::vector<Event> events;
    // A minor, Am - F - C - G twice; the melody on a vibraphone, the bass on a fingered bass.
    AddVoice(events, 0, 120,
             {{69, 2}, {72, 2}, {76, 3}, {74, 1}, {72, 2}, {69, 2}, {65, 4},
              {67, 2}, {69, 2}, {72, 4}, {71, 2}, {67, 2}, {74, 4},
              {76, 2}, {74, 2}, {72, 3}, {71, 1}, {69, 2}, {72, 2}, {77, 4},
              {76, 2}, {72, 2}, {79, 2}, {76, 2}, {74, 4}, {71, 2}, {0, 2}});
    AddVoice(events, 1, 120,
             {{45, 4}, {52, 4}, {41, 4}, {48, 4}, {48, 4}, {55, 4}, {43, 4}, {50, 4},
              {45, 4}, {52, 4}, {41, 4}, {48, 4}, {48, 4}, {55, 4}, {43, 4}, {50, 4}});
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });

    std::string track;
    // Tempo 112 beats a minute; programs: vibraphone (11), fingered bass (33).
    track += std::string("\x00\xFF\x51\x03", 4);
    const uint32_t microsPerBeat = 60000000 / 112;
    track += static_cast<char>((microsPerBeat >> 16) & 0xFF);
    track += static_cast<char>((microsPerBeat >> 8) & 0xFF);
    track += static_cast<char>(microsPerBeat & 0xFF);
    track += std::string("\x00\xC0\x0B\x00\xC1\x21", 6);
    // Both channels at full channel volume (controller 7; 100 when unset): the player's synthesiser
    // runs at a gain that keeps dense commercial MIDI below full scale, and this tune has two voices.
    track += std::string("\x00\xB0\x07\x7F\x00\xB1\x07\x7F", 8);
    int last = 0;
    for (const Event& e : events) {
        VariableLength(track, static_cast<uint32_t>(e.tick - last));
        last = e.tick;
        track += static_cast<char>(e.status);
        track += static_cast<char>(e.data1);
        track += static_cast<char>(e.data2);
    }
    track += std::string("\x0A\xFF\x2F\x00", 4);

    std::string midi = "MThd";
    PutBe32(midi, 6);
    midi += std::string("\x00\x00\x00\x01", 4);
    midi += static_cast<char>(kTicksPerBeat >> 8);
    midi += static_cast<char>(kTicksPerBeat & 0xFF);
    midi += "MTrk";
    PutBe32(midi, static_cast<uint32_t>(track.size()));
    return midi + track;
}

}  // namespace qb::demo
