#pragma once
// The definition-text reader shared by the stage parser, the configuration loader and the character
// loader: ReadDefValue reads one key of one line, and StageLineSource delivers cleaned stage lines.
#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

class ErrorLog;
class Ui;

// Conversion errors of the reader's error entries.
constexpr int32_t kErrTypeMismatch = 13;  // "Type mismatch"
constexpr int32_t kErrOverflow = 6;       // "Overflow"

// What ReadDefValue needs besides the line: where to log, where to show its two message boxes,
// the line counter quoted in entries and the name of the file being read.
struct ReaderContext {
    ErrorLog& log;
    Ui& ui;
    int32_t& lineNumber;
    std::string fileName;  // path of the current stage file; entries quote its name without folder
};

// The any-line key: the whole line is the value list.
inline constexpr std::string_view kAnyLineKey = "!@!";

// How a value is read. Values are lower-cased and cut at their first blank unless told otherwise.
enum class ReadFlags : uint8_t {
    None = 0,
    KeepCase = 1,     // keep the value's letter case (names, paths)
    TrimToDigit = 2,  // a value that is not a number loses characters from its end until it is one
    KeepBlanks = 4,   // the value runs to the end of the line, blanks inside it kept
};
constexpr ReadFlags operator|(ReadFlags a, ReadFlags b) {
    return static_cast<ReadFlags>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}
constexpr bool HasFlag(ReadFlags flags, ReadFlags flag) {
    return (static_cast<uint8_t>(flags) & static_cast<uint8_t>(flag)) != 0;
}

// Reads `key` from `line` into `result` (text, uint8_t, int16_t, int32_t or float). `index` 0 asks
// for the whole value, n >= 1 for the n-th member of a comma list; it may be set from 1 to 0 when
// the line has no comma. Returns true when a value was stored. Conversion failures append an entry
// to the log and leave `result` unchanged.
template <typename T>
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, T& result, int16_t& index,
                  ReadFlags flags = ReadFlags::None);

}  // namespace qb
