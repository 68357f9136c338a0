#include "platform/text_util.h"

#include <charconv>
#include <cmath>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace qb::text {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

size_t FindNoCase(std::string_view hay, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > hay.size()) return std::string_view::npos;
    const char first = LowerAscii(needle[0]);
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        if (LowerAscii(hay[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && LowerAscii(hay[i + k]) == LowerAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Hex literals take the width of the smallest signed type that holds their digits, so "&HFFFF" is -1.
double HexToNumber(uint64_t value, size_t digits) {
    if (digits <= 4) return static_cast<int16_t>(static_cast<uint16_t>(value));
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Converts a text already known to have decimal-number syntax (no '+', no blanks).
double ConvertDecimal(std::string_view s) {
    double value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        size_t e = s.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < s.size() && s[e + 1] == '-';
        double huge = std::numeric_limits<double>::infinity();
        if (tiny) return 0.0;
        return (!s.empty() && s[0] == '-') ? -huge : huge;
    }
    if (ec != std::errc()) return 0.0;
    return value;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view s) {
    s = Trim(s);
    if (s.empty()) return std::nullopt;
    if (s.size() >= 2 && s[0] == '&' && LowerAscii(s[1]) == 'h') {
        size_t digits = s.size() - 2;
        if (digits == 0 || digits > 8) return std::nullopt;
        uint64_t v = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            int h = HexValue(s[i]);
            if (h < 0) return std::nullopt;
            v = v * 16 + static_cast<uint64_t>(h);
        }
        return HexToNumber(v, digits);
    }
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    std::string_view body = s[0] == '+' ? s.substr(1) : s;
    // from_chars does not take a leading '.', so give it a zero.
    std::string buffer;
    if (!body.empty() && (body[0] == '.' || (body[0] == '-' && body.size() > 1 && body[1] == '.'))) {
        buffer.assign(body);
        buffer.insert(buffer[0] == '-' ? 1 : 0, 1, '0');
        return ConvertDecimal(buffer);
    }
    return ConvertDecimal(body);
}

double LeadingNumber(std::string_view s) {
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < s.size() && s[i] == ' ') ++i;
    };
    skipBlanks();
    if (i + 1 < s.size() && s[i] == '&' && LowerAscii(s[i + 1]) == 'h') {
        i += 2;
        uint64_t v = 0;
        size_t digits = 0;
        for (;; ++i) {
            skipBlanks();
            if (i >= s.size()) break;
            int h = HexValue(s[i]);
            if (h < 0 || digits == 8) break;
            v = v * 16 + static_cast<uint64_t>(h);
            ++digits;
        }
        return digits == 0 ? 0.0 : HexToNumber(v, digits);
    }
    std::string buffer;
    buffer.push_back('0');  // from_chars wants a digit before a leading '.'
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool point = false;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == ' ') continue;
        if (IsDigit(c)) {
            buffer.push_back(c);
            ++digits;
        } else if (c == '.' && !point) {
            buffer.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when digits follow it.
    if (i < s.size() && (LowerAscii(s[i]) == 'e' || LowerAscii(s[i]) == 'd')) {
        size_t j = i + 1;
        while (j < s.size() && s[j] == ' ') ++j;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
        size_t expDigits = 0;
        for (; j < s.size(); ++j) {
            if (s[j] == ' ') continue;
            if (!IsDigit(s[j])) break;
            exponent.push_back(s[j]);
            ++expDigits;
        }
        if (expDigits > 0) buffer += exponent;
    }
    double v = ConvertDecimal(buffer);
    return negative ? -v : v;
}

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    double floorV = std::floor(v);
    double diff = v - floorV;
    if (diff > 0.5) return floorV + 1;
    if (diff < 0.5) return floorV;
    return std::fmod(floorV, 2.0) == 0.0 ? floorV : floorV + 1;
}

namespace {

// Rounded half to even and held inside T's range; NaN is 0.
template <typename T>
T RoundClampTo(double v) {
    if (std::isnan(v)) return 0;
    const double r = RoundHalfEven(v);
    if (r < static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (r > static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(r);
}

}  // namespace

int32_t RoundClampInt32(double v) {
    return RoundClampTo<int32_t>(v);
}

int16_t RoundClampInt16(double v) {
    return RoundClampTo<int16_t>(v);
}

std::vector<std::string> SplitTextLines(std::string_view bytes, bool tabsToBlanks) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line.push_back(tabsToBlanks && c == '\t' ? ' ' : c);
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::string NumberText(double value) {
    if (std::isnan(value)) return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    std::string text = buffer;
    if (text == "-0") text = "0";
    return text;
}

std::string FloatText(float value) {
    if (std::isnan(value)) return "0";
    if (value == 0) return "0";  // no "-0"
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc()) return NumberText(value);
    return std::string(buffer, end);
}

double BoxValue(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return 0;
    return value;
}

namespace {

// Length of the well-formed UTF-8 sequence at s[i] (no overlongs, surrogates or values past
// U+10FFFF), 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
    if (c == 0xED && b(i + 1) > 0x9F) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;
    if (c == 0xF4 && b(i + 1) > 0x8F) return 0;
    return n;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string ContentToUtf8(std::string_view bytes) {
    bool valid = true;
    for (size_t i = 0; i < bytes.size() && valid;) {
        const size_t n = Utf8Length(bytes, i);
        valid = n != 0;
        i += n;
    }
    if (valid) return std::string(bytes);
    // 0x80-0x9F of Windows-1252; the rest of the upper half equals Latin-1.
    static constexpr uint16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    }
    return out;
}

std::string_view Unquoted(std::string_view s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = Trim(s.substr(1, s.size() - 2));
    return s;
}

namespace {

struct CodeRange {
    char32_t first, last;
};

// Characters that take no column: combining marks of the scripts stage names are written in, the
// zero-width format characters and the variation selectors.
constexpr CodeRange kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0900, 0x0903},
    {0x093A, 0x093C}, {0x093E, 0x094F}, {0x0951, 0x0957}, {0x0962, 0x0963}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x2028, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302F}, {0x3099, 0x309A},
    {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters: CJK, kana, hangul, fullwidth forms, pictographs.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x3029},   {0x3030, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool InRanges(char32_t c, const CodeRange (&ranges)[N]) {
    for (const CodeRange& r : ranges)
        if (c >= r.first && c <= r.last) return true;
    return false;
}

// Decodes the character at `at`, advancing it; a byte that starts no valid sequence is one
// character of its own (U+FFFD).
char32_t NextCodePoint(std::string_view s, size_t& at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > s.size()) {
        ++at;
        return lead < 0x80 ? lead : 0xFFFD;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(at + k) & 0x3F);
    }
    at += length;
    return c;
}

size_t CharWidth(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
    if (InRanges(c, kZeroWidth)) return 0;
    return InRanges(c, kWide) ? 2 : 1;
}

}  // namespace

size_t DisplayWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t at = 0; at < utf8.size();) width += CharWidth(NextCodePoint(utf8, at));
    return width;
}

std::string_view CutToWidth(std::string_view utf8, size_t columns) {
    size_t width = 0, at = 0;
    while (at < utf8.size()) {
        size_t next = at;
        const size_t w = CharWidth(NextCodePoint(utf8, next));
        if (width + w > columns) break;
        width += w;
        at = next;
    }
    return utf8.substr(0, at);
}

}  // namespace qb::text
