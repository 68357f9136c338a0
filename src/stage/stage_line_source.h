#pragma once
// Delivers the cleaned lines of a stage definition file. A line ends at CR or CR LF; a bare LF does
// not end one. A file whose first line runs past 200 characters is taken to have bare-LF line ends and
// is read through a repaired copy ("fix.def" in the program's folder) in which every LF became
// CR CR LF, so line numbers count the lines of that copy.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qb {

// Sequential bytes from a file or from the repair of one.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `capacity` bytes; 0 at the end.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
};

// Splits a byte source into lines the way the definition files were written: CR or CR LF end a line,
// the text after the last line end is the last line. Lines are capped at kMaxLineLength bytes (the
// rest of an overlong line is dropped) so that binary garbage cannot take unbounded memory.
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

    // Opens the definition, repairing bare-LF line ends through "fix.def" in `programDir`. When the
    // copy cannot be written, the same repaired lines are produced from memory and no file is left.
    // False when the file cannot be opened.
    bool Open(const std::string& path, const std::string& programDir);
    // The next line to parse: tabs as blanks, Shift-JIS ideographic spaces removed, comment cut off;
    // comment-only and blank lines are counted in `lineNumber` but skipped. False at the end.
    bool Next(std::string& line, int32_t& lineNumber);
    // Closes the file and deletes the repaired copy.
    void Close();

    bool Repaired() const { return m_repaired; }
    bool RepairedInMemory() const { return m_repaired && m_fixPath.empty(); }
    // The file the lines come from: the definition, or the repaired copy.
    const std::string& ActivePath() const { return m_activePath; }

    static constexpr size_t kRepairThreshold = 200;

private:
    struct FileCloser {
        void operator()(std::FILE* f) const {
            if (f) std::fclose(f);
        }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::unique_ptr<ByteSource> m_bytes;
    std::unique_ptr<ByteSource> m_repair;
    std::unique_ptr<RawLineReader> m_reader;
    std::string m_activePath;
    std::string m_fixPath;
    bool m_repaired = false;
    std::string m_raw;
};

// Cleans one raw line as the parser wants it; false when the line is to be skipped.
bool CleanStageLine(std::string& line);

}  // namespace qb
