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

// Reads `key` from `line` into `result`. `index` 0 asks for the whole value, n >= 1 for the n-th
// member of a comma list; it may be set from 1 to 0 when the line has no comma. Returns true when a
// value was stored. Conversion failures append an entry to the log and leave `result` unchanged.
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, std::string& result,
                  int16_t& index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false);
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, uint8_t& result,
                  int16_t& index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false);
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, int16_t& result,
                  int16_t& index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false);
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, int32_t& result,
                  int16_t& index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false);
bool ReadDefValue(ReaderContext& ctx, std::string_view line, std::string_view key, float& result,
                  int16_t& index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false);

// Convenience for a fixed index the caller does not need back.
template <typename T>
bool ReadDefValueAt(ReaderContext& ctx, std::string_view line, std::string_view key, T& result,
                    int16_t index, bool keepCase = false, bool trimToDigit = false, bool keepBlanks = false) {
    return ReadDefValue(ctx, line, key, result, index, keepCase, trimToDigit, keepBlanks);
}

}  // namespace qb
