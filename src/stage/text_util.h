#pragma once
// Small single-byte text helpers shared by the definition reader, the parser and the loader. Content is
// bytes written on Windows: only ASCII letters change case, every other byte is kept as it is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qb::text {

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Lower(std::string_view s);
std::string Upper(std::string_view s);
// Blanks (the space character only) removed from both ends.
std::string_view Trim(std::string_view s);
// Position of `needle` in `hay` without regard to ASCII case, or npos.
size_t FindNoCase(std::string_view hay, std::string_view needle);
inline bool ContainsNoCase(std::string_view hay, std::string_view needle) {
    return FindNoCase(hay, needle) != std::string_view::npos;
}

// The strict reading a stored value gets: optional blanks, sign, digits with one decimal point,
// optional exponent, optional blanks; or an "&H" hexadecimal literal. nullopt when the text is not a
// number.
std::optional<double> ParseNumber(std::string_view s);
// The lenient reading: the longest leading part that forms a number, blanks inside it ignored;
// 0 when there is none.
double LeadingNumber(std::string_view s);
// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double v);
// RoundHalfEven clamped into the range of int32_t / int16_t (NaN gives 0).
int32_t RoundToInt32(double v);
int16_t RoundToInt16(double v);

}  // namespace qb::text
