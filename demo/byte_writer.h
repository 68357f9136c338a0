#pragma once
// Appending whole numbers to a byte string in a file format's byte order: the sprite writer, the demo
// music and the tests' hand-made files (zip entries, WAV, FLAC and Ogg headers) all use these.
#include <cstdint>
#include <string>

namespace qb::demo {

inline void PutLe16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void PutLe32(std::string& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}
inline void PutBe32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

}  // namespace qb::demo
