#pragma once
// Delivers the cleaned lines of a stage definition file. A line ends at CR LF, CR or LF wherever they
// occur: real files mix them (a CR LF stage edited with a tool that writes bare LF), and line numbers
// count the lines of the file itself.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qb {

// Sequential bytes, from a file or from memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `capacity` bytes; 0 at the end.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
};

// Splits a byte source into lines: CR LF, CR or LF ends a line, the text after the last line end is
// the last line. Lines are capped at kMaxLineLength bytes (the rest of an overlong line is dropped)
// so that binary garbage cannot take unbounded memory.
class RawLineReader {
public:
    static constexpr size_t kMaxLineLength = 64 * 1024;

    explicit RawLineReader(ByteSource& source) : m_source(source) {}
    // False at the end of the data. `fullLength` receives the line's length before the cap.
    bool Next(std::string& line, size_t* fullLength = nullptr);

private:
    int Get();
    int Peek();

    ByteSource& m_source;
    char m_buffer[16 * 1024];
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_eof = false;
};

class StageLineSource {
public:
    StageLineSource() = default;
    ~StageLineSource();
    StageLineSource(const StageLineSource&) = delete;
    StageLineSource& operator=(const StageLineSource&) = delete;

    // Opens the definition; false when the file cannot be opened. Nothing is written anywhere.
    bool Open(const std::string& path);
    // Reads the lines of `bytes` (a definition already read into memory, kept alive by the caller
    // until Close) instead of a file.
    void OpenBytes(std::string_view bytes);
    // The next line to parse: tabs as blanks, Shift-JIS ideographic spaces removed, comment cut off;
    // comment-only and blank lines are counted in `lineNumber` but skipped. False at the end.
    bool Next(std::string& line, int32_t& lineNumber);
    void Close();

private:
    struct FileCloser {
        void operator()(std::FILE* f) const {
            if (f) std::fclose(f);
        }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::unique_ptr<ByteSource> m_bytes;
    std::unique_ptr<RawLineReader> m_reader;
    std::string m_raw;
};

// Cleans one raw line as the parser wants it; false when the line is to be skipped.
bool CleanStageLine(std::string& line);

}  // namespace qb
