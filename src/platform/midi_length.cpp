#include "platform/midi_length.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qb {

namespace {

class Reader {
public:
    Reader(std::string_view bytes, size_t at, size_t end) : m_bytes(bytes), m_at(at), m_end(end) {}
    bool AtEnd() const { return m_at >= m_end; }
    std::optional<uint8_t> Byte() {
        if (m_at >= m_end) return std::nullopt;
        return static_cast<uint8_t>(m_bytes[m_at++]);
    }
    std::optional<uint8_t> Peek() const {
        if (m_at >= m_end) return std::nullopt;
        return static_cast<uint8_t>(m_bytes[m_at]);
    }
    // A variable-length quantity: at most four bytes of seven bits each.
    std::optional<uint32_t> Vlq() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = Byte();
            if (!b) return std::nullopt;
            value = (value << 7) | (*b & 0x7Fu);
            if (*b < 0x80) return value;
        }
        return std::nullopt;
    }
    bool Skip(size_t n) {
        if (n > m_end - m_at) return false;
        m_at += n;
        return true;
    }

private:
    std::string_view m_bytes;
    size_t m_at, m_end;
};

uint32_t Be32(std::string_view s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}
uint16_t Be16(std::string_view s, size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(s[at]) << 8) | static_cast<uint8_t>(s[at + 1]));
}

struct Tempo {
    uint64_t tick;
    uint32_t microsPerBeat;
};

// Walks one track; answers the tick of its last complete event and collects its tempo changes.
uint64_t WalkTrack(Reader r, std::vector<Tempo>& tempos) {
    uint64_t tick = 0, last = 0;
    uint8_t running = 0;
    while (!r.AtEnd()) {
        const auto delta = r.Vlq();
        if (!delta) break;
        const uint64_t at = tick + *delta;
        auto status = r.Peek();
        if (!status) break;
        if (*status >= 0x80) {
            r.Byte();
        } else if (running != 0) {
            status = running;  // running status: the data byte is read below
        } else {
            break;
        }
        if (*status == 0xFF) {
            const auto type = r.Byte();
            const auto length = type ? r.Vlq() : std::nullopt;
            if (!length) break;
            if (*type == 0x51 && *length == 3) {
                uint32_t micros = 0;
                for (int i = 0; i < 3; ++i) {
                    const auto b = r.Byte();
                    if (!b) return last;
                    micros = (micros << 8) | *b;
                }
                if (micros > 0) tempos.push_back({at, micros});
            } else if (!r.Skip(*length)) {
                break;
            }
            tick = last = at;
            if (*type == 0x2F) break;  // end of track
            continue;
        }
        if (*status == 0xF0 || *status == 0xF7) {
            const auto length = r.Vlq();
            if (!length || !r.Skip(*length)) break;
            tick = last = at;
            continue;
        }
        if (*status >= 0xF0) break;  // system messages other than sysex do not belong in a file
        running = *status;
        const uint8_t kind = *status & 0xF0;
        if (!r.Skip(kind == 0xC0 || kind == 0xD0 ? 1 : 2)) break;
        tick = last = at;
    }
    return last;
}

}  // namespace

std::optional<double> MidiLength(std::string_view file) {
    if (file.size() < 14 || file.substr(0, 4) != "MThd") return std::nullopt;
    const uint32_t headerLength = Be32(file, 4);
    if (headerLength < 6 || headerLength > file.size() - 8) return std::nullopt;
    const uint16_t division = Be16(file, 12);
    if (division == 0) return std::nullopt;

    std::vector<Tempo> tempos;
    uint64_t lastTick = 0;
    size_t at = 8 + headerLength;
    while (file.size() - at >= 8) {
        const uint32_t length = Be32(file, at + 4);
        const size_t begin = at + 8;
        const size_t end = begin + std::min<size_t>(length, file.size() - begin);
        if (file.substr(at, 4) == "MTrk") {
            lastTick = std::max(lastTick, WalkTrack(Reader(file, begin, end), tempos));
        }
        at = end;
    }

    if (division & 0x8000) {
        // SMPTE time: frames a second (a negative byte) times ticks a frame; tempo does not matter.
        const int frames = -static_cast<int8_t>(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if (frames <= 0 || ticksPerFrame == 0) return std::nullopt;
        return static_cast<double>(lastTick) / (frames * ticksPerFrame);
    }
    // Tempo changes of all tracks form one map (format 1 keeps them in the first track).
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
    double seconds = 0;
    uint64_t tick = 0;
    uint32_t micros = 500000;  // 120 beats a minute until a tempo says otherwise
    for (const Tempo& t : tempos) {
        if (t.tick >= lastTick) break;
        seconds += static_cast<double>(t.tick - tick) * micros / division / 1e6;
        tick = t.tick;
        micros = t.microsPerBeat;
    }
    seconds += static_cast<double>(lastTick - tick) * micros / division / 1e6;
    return seconds;
}

}  // namespace qb
