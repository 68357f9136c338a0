#include "stage/def_reader.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <type_traits>

#include "platform/ports.h"
#include "stage/error_log.h"
#include "platform/text_util.h"

namespace qb {

namespace {

using text::IsDigit;
using text::LowerAscii;

constexpr size_t npos = std::string_view::npos;

const char* ErrorDescription(int32_t number) {
    return number == kErrOverflow ? "Overflow" : "Type mismatch";
}

void LogConversionError(ReaderContext& ctx, int32_t number, std::string_view lineAsReceived) {
    ctx.log.Add(Problem{.kind = ProblemKind::ReaderError,
                        .file = ctx.fileName,
                        .line = ctx.lineNumber,
                        .text = ErrorDescription(number),
                        .subject = std::string(lineAsReceived),
                        .code = number});
}

// Converts a number into the target's type: 0 on success, else the conversion error number.
template <typename T>
int32_t StoreNumber(double value, T& result) {
    if (std::isnan(value)) return kErrOverflow;
    if constexpr (std::is_same_v<T, float>) {
        if (std::fabs(value) > FLT_MAX) return kErrOverflow;
        result = static_cast<float>(value);
        return 0;
    } else {
        double r = text::RoundHalfEven(value);
        if (!std::isfinite(r)) return kErrOverflow;
        if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
            r > static_cast<double>(std::numeric_limits<T>::max()))
            return kErrOverflow;
        result = static_cast<T>(r);
        return 0;
    }
}

template <typename T>
int32_t StoreText(std::string_view value, T& result) {
    if constexpr (std::is_same_v<T, std::string>) {
        result.assign(value);
        return 0;
    } else {
        std::optional<double> number = text::ParseNumber(value);
        if (!number) return kErrTypeMismatch;
        return StoreNumber(*number, result);
    }
}

// Length of the number at the start of `s` as the engine reads one: a sign, digits with one decimal
// point, an exponent when digits follow its "e". 0 when no digit stands there.
size_t NumberLength(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && IsDigit(s[e])) {
            while (e < s.size() && IsDigit(s[e])) ++e;
            i = e;
        }
    }
    return i;
}

// The character at the start of `rest` as a problem names it: printable ASCII as itself in quotes,
// anything else as U+XXXX, read as the line is shown (UTF-8 when it is valid, else Windows-1252).
std::string CharacterName(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    if (lead > 0x20 && lead < 0x7F) return std::string("\"") + rest[0] + '"';
    const std::string utf8 = text::ContentToUtf8(rest);
    const auto first = static_cast<unsigned char>(utf8[0]);
    const size_t n = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
    uint32_t code = n == 1 ? first : first & (0x7Fu >> n);
    for (size_t k = 1; k < n && k < utf8.size(); ++k)
        code = (code << 6) | (static_cast<unsigned char>(utf8[k]) & 0x3Fu);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code));
    return buffer;
}

// The number at the start of a value that is not one (the `size` bytes of `line` from `offset`), up
// to the first character that cannot belong to it: stored, and that character named in the log with
// its 1-based column. Kept out of line, with few arguments: real values almost never get here, and
// the readers' miss path stays as lean as it was.
template <typename T>
[[gnu::noinline]] int32_t StoreLeadingNumber(ReaderContext& ctx, std::string_view line, size_t offset,
                                             size_t size, T& result) {
    const std::string_view value = line.substr(offset, size);
    const size_t length = NumberLength(value);
    if (length == 0) return kErrTypeMismatch;
    T number{};
    if (const int32_t stored = StoreText(value.substr(0, length), number); stored != 0) return stored;
    result = number;
    const size_t at = offset + length;
    if (at < line.size())
        ctx.log.Add(Problem{.kind = ProblemKind::StrayCharacter,
                            .file = ctx.fileName,
                            .line = ctx.lineNumber,
                            .text = CharacterName(line.substr(at)),
                            .subject = std::string(line),
                            .column = static_cast<int32_t>(at + 1)});
    return 0;
}

// Stores `value` (a view into `work`, the line's working copy) the way the engine reads numbers: a
// value that is a number followed by something else keeps the number (StoreLeadingNumber); one that
// does not start with a number is the conversion error it always was.
template <typename T>
int32_t StoreValue(ReaderContext& ctx, std::string_view line, const std::string& work, std::string_view value,
                   T& result) {
    const int32_t error = StoreText(value, result);
    if constexpr (!std::is_same_v<T, std::string>) {
        if (error == kErrTypeMismatch)
            return StoreLeadingNumber(ctx, line, static_cast<size_t>(value.data() - work.data()),
                                      value.size(), result);
    }
    return error;
}

// The lenient reading hands over a number; a text target gets its plain decimal form.
template <typename T>
int32_t StoreLenient(double value, T& result) {
    if constexpr (std::is_same_v<T, std::string>) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
        result = buffer;
        return 0;
    } else {
        return StoreNumber(value, result);
    }
}

template <typename T>
void SetZero(T& result) {
    if constexpr (std::is_same_v<T, std::string>)
        result = "0";
    else
        result = 0;
}

template <typename T>
bool ReadImpl(ReaderContext& ctx, std::string_view line, std::string_view key, T& result, int16_t& index,
              bool keepCase, bool trimToDigit, bool keepBlanks) {
    // The misses come first and touch only the key's few bytes: the parser offers every line to some
    // thirty keys and almost all of them answer no.
    if (line.empty()) return false;
    const bool anyLine = key == kAnyLineKey;
    if (!anyLine) {
        // Nothing but blanks may stand before the key, so it is found exactly where the blanks end.
        size_t at = 0;
        while (at < line.size() && line[at] == ' ') ++at;
        if (line.size() - at <= key.size()) return false;  // the key needs a character after it
        for (size_t k = 0; k < key.size(); ++k)
            if (LowerAscii(line[at + k]) != key[k]) return false;
        char after = line[at + key.size()];
        if (after != '=' && after != ' ') return false;
    }

    std::string work(line);
    if (!keepCase)
        for (char& c : work) c = LowerAscii(c);

    size_t cut = work.find('\x81');
    if (cut != npos) work.resize(cut);

    const size_t firstComma = work.find(',');
    if (firstComma == npos) {
        if (index == 1)
            index = 0;
        else if (index >= 2)
            return false;
    }

    size_t semicolon = work.find(';');
    if (anyLine && semicolon != npos && firstComma != npos && semicolon < firstComma) {
        ctx.ui.MsgBox("pos=0", MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    std::string_view view = work;
    if (semicolon != npos) view = text::Trim(view.substr(0, semicolon));

    std::string_view value = view;
    if (!anyLine) {
        // Only blanks stand before the key, so the first "=" of the line is the one after it.
        size_t eq = view.find('=');
        if (eq != npos) value = view.substr(eq + 1);
    }

    if (trimToDigit && !text::ParseNumber(value)) {
        size_t last = value.size();
        while (last > 0 && !IsDigit(value[last - 1])) --last;
        if (last > 0) value = value.substr(0, last);
    }

    int32_t error = 0;
    if (index <= 0) {
        value = text::Trim(value);
        if (!keepBlanks) {
            size_t blank = value.find(' ');
            if (blank != npos && blank > 0 && IsDigit(value[blank - 1])) value = value.substr(0, blank);
        }
        error = value.empty() ? StoreText(std::string_view("0"), result)
                              : StoreValue(ctx, line, work, value, result);
    } else if (index == 1) {
        std::string_view first = text::Trim(value.substr(0, value.find(',')));
        error = StoreLenient(text::LeadingNumber(first), result);
    } else {
        size_t start = 0;
        for (int n = 1; n < index; ++n) {
            size_t comma = value.find(',', start);
            if (comma == npos) return false;
            start = comma + 1;
        }
        size_t end = value.find(',', start);
        const bool last = end == npos;
        std::string_view member = value.substr(start, last ? npos : end - start);
        size_t b = 0;
        while (b < member.size() && member[b] == ' ') ++b;
        size_t e = member.find(' ', b);
        member = text::Trim(member.substr(b, e == npos ? npos : e - b));
        if (last) {
            if (index == 5 && member.size() == 1 && LowerAscii(member[0]) == 'h') {
                // Some frame lines put a flip letter where the time belongs.
                SetZero(result);
                ctx.ui.MsgBox("DOOM FIX", MsgIcon::None, MsgButtons::Ok);
                return false;
            }
            if (member.empty() || member == ".") return false;
        }
        error = StoreValue(ctx, line, work, member, result);
    }
    if (error != 0) {
        LogConversionError(ctx, error, line);
        return false;
    }
    return true;
}

}  // namespace

template <typename T>
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, T& result, int16_t& index,
                  ReadFlags flags) {
    return ReadImpl(ctx, line, key, result, index, HasFlag(flags, ReadFlags::KeepCase),
                    HasFlag(flags, ReadFlags::TrimToDigit), HasFlag(flags, ReadFlags::KeepBlanks));
}

template bool ReadDefValue(ReaderContext&, std::string_view, std::string_view, std::string&, int16_t&, ReadFlags);
template bool ReadDefValue(ReaderContext&, std::string_view, std::string_view, uint8_t&, int16_t&, ReadFlags);
template bool ReadDefValue(ReaderContext&, std::string_view, std::string_view, int16_t&, int16_t&, ReadFlags);
template bool ReadDefValue(ReaderContext&, std::string_view, std::string_view, int32_t&, int16_t&, ReadFlags);
template bool ReadDefValue(ReaderContext&, std::string_view, std::string_view, float&, int16_t&, ReadFlags);

}  // namespace qb
