#pragma once
// Small single-byte text and number helpers shared by every layer. Content is bytes written on
// Windows: only ASCII letters change case, every other byte is kept as it is.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// Rounds to the nearest integer, halves to the even neighbour (infinities and NaN unchanged).
double RoundHalfEven(double v);
// RoundHalfEven clamped into the range of int32_t / int16_t (NaN gives 0). For values that are
// stored: the definition reader, the loader, the editor's boxes.
int32_t RoundClampInt32(double v);
int16_t RoundClampInt16(double v);

// RoundHalfEven clamped to +-1e9 (NaN gives 0), for pixel positions of the element pass: wild
// values from content (huge velocities, drifting positions) never overflow the conversion, and a
// few such results can still be added without overflowing int32_t.
inline int32_t RoundClampPixel(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLimit = 1'000'000'000.0;
    if (value > kLimit) value = kLimit;
    if (value < -kLimit) value = -kLimit;
    return static_cast<int32_t>(std::nearbyint(value));  // default mode: nearest, ties to even
}

// RoundClampPixel narrowed to 16 bits by wrapping, as a 16-bit store of the element pass does.
inline int16_t RoundWrapInt16(double value) {
    return static_cast<int16_t>(static_cast<uint16_t>(RoundClampPixel(value)));
}

// The lines of a whole text file. A line ends at CR LF, CR or a bare LF wherever they occur: content
// and settings are edited on Windows and on Linux alike, and files mix the two. A last line without
// a line end counts; an empty last line does not. With `tabsToBlanks` every tab becomes a blank.
std::vector<std::string> SplitTextLines(std::string_view bytes, bool tabsToBlanks = false);

// Numbers as the program shows them (the editor's boxes, the caption, the headless dumps): plain
// decimal, "." as the point, at most 7 significant digits, never "-0".
std::string NumberText(double value);
// The shortest text that reads back as the same float ("0.1", "1.2638888"): a box that shows it and
// is read again changes nothing. Plain decimal: the definition reader takes no exponent.
std::string FloatText(float value);
// The leading number of a box's text (0 when there is none or it is not finite), as the boxes are
// read.
double BoxValue(const std::string& text);

// Text from content (bytes) as UTF-8: kept when it is valid UTF-8, otherwise decoded as Windows-1252,
// the code page stages are written in; the five bytes that code page leaves undefined become U+FFFD.
std::string ContentToUtf8(std::string_view bytes);

// A name as a definition quotes it (name = "Kung Fu Palace"): blanks around it and one pair of
// enclosing double quotes removed.
std::string_view Unquoted(std::string_view s);

// Columns a UTF-8 text takes on a terminal: East Asian wide and fullwidth characters take 2, combining
// marks and zero-width characters 0, everything else 1 (a byte that is not valid UTF-8 counts as one
// column, as terminals show it as one replacement character).
size_t DisplayWidth(std::string_view utf8);
// The longest beginning of `utf8` made of whole characters that fits in `columns` (combining marks
// stay with their character).
std::string_view CutToWidth(std::string_view utf8, size_t columns);

}  // namespace qb::text
