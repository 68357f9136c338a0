#include "stage/stage_line_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <system_error>

#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "platform/text_util.h"

namespace qb {

namespace {

class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(std::FILE* file) : m_file(file) {}
    size_t Read(char* buffer, size_t capacity) override {
        if (!m_file) return 0;
        return std::fread(buffer, 1, capacity, m_file);
    }

private:
    std::FILE* m_file;
};

// The bytes of the repaired copy, produced from the original on the fly: every LF inside a line
// becomes CR CR LF and every line is ended by CR LF.
class RepairByteSource : public ByteSource {
public:
    explicit RepairByteSource(ByteSource& input) : m_input(input) {}

    size_t Read(char* buffer, size_t capacity) override {
        size_t out = 0;
        while (out + 3 <= capacity) {
            if (m_pos == m_end) {
                if (m_done) break;
                m_end = m_input.Read(m_in, sizeof m_in);
                m_pos = 0;
                if (m_end == 0) {
                    m_done = true;
                    if (m_lineOpen) {
                        buffer[out++] = '\r';
                        buffer[out++] = '\n';
                        m_lineOpen = false;
                    }
                    break;
                }
            }
            char c = m_in[m_pos++];
            if (m_afterCr) {
                m_afterCr = false;
                if (c == '\n') continue;  // the LF of a CR LF line end
            }
            if (c == '\r') {
                buffer[out++] = '\r';
                buffer[out++] = '\n';
                m_afterCr = true;
                m_lineOpen = false;
            } else if (c == '\n') {
                buffer[out++] = '\r';
                buffer[out++] = '\r';
                buffer[out++] = '\n';
                m_lineOpen = true;
            } else {
                buffer[out++] = c;
                m_lineOpen = true;
            }
        }
        return out;
    }

private:
    ByteSource& m_input;
    char m_in[8 * 1024];
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_done = false;
    bool m_afterCr = false;
    bool m_lineOpen = false;
};

using UniqueFile = std::unique_ptr<std::FILE, void (*)(std::FILE*)>;

void CloseFile(std::FILE* f) {
    if (f) std::fclose(f);
}

UniqueFile OpenRead(const std::string& path) {
    return UniqueFile(std::fopen(ResolvePath(path).c_str(), "rb"), CloseFile);
}

void RemoveQuietly(const std::string& path) {
    if (!path.empty()) std::remove(path.c_str());
}

// Writes the repaired copy of `source` to `target`; on any failure nothing is left at `target`.
bool WriteRepairedCopy(const std::string& source, const std::string& target) {
    UniqueFile in = OpenRead(source);
    if (!in) return false;
    std::FILE* out = std::fopen(target.c_str(), "wb");
    if (!out) return false;
    FileByteSource bytes(in.get());
    RepairByteSource repair(bytes);
    char buffer[16 * 1024];
    bool ok = true;
    for (;;) {
        size_t n = repair.Read(buffer, sizeof buffer);
        if (n == 0) break;
        if (std::fwrite(buffer, 1, n, out) != n) {
            ok = false;
            break;
        }
    }
    if (std::ferror(in.get())) ok = false;
    if (std::fclose(out) != 0) ok = false;
    if (!ok) RemoveQuietly(target);
    return ok;
}

}  // namespace

int RawLineReader::Get() {
    if (m_pos == m_end) {
        if (m_eof) return -1;
        m_end = m_source.Read(m_buffer, sizeof m_buffer);
        m_pos = 0;
        if (m_end == 0) {
            m_eof = true;
            return -1;
        }
    }
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

int RawLineReader::Peek() {
    int c = Get();
    if (c >= 0) --m_pos;
    return c;
}

bool RawLineReader::Next(std::string& line, size_t* fullLength) {
    line.clear();
    size_t length = 0;
    int c = Get();
    if (c < 0) return false;
    while (c >= 0 && c != '\r') {
        if (length < kMaxLineLength) line.push_back(static_cast<char>(c));
        ++length;
        c = Get();
    }
    if (c == '\r' && Peek() == '\n') Get();
    if (fullLength) *fullLength = length;
    return true;
}

StageLineSource::~StageLineSource() {
    Close();
}

bool StageLineSource::Open(const std::string& path, const std::string& programDir) {
    Close();
    m_file.reset(OpenRead(path).release());
    if (!m_file) return false;
    m_activePath = path;

    // The first line decides whether the file needs its line ends repaired.
    size_t firstLength = 0;
    {
        FileByteSource probeBytes(m_file.get());
        RawLineReader probe(probeBytes);
        std::string first;
        probe.Next(first, &firstLength);
    }
    std::rewind(m_file.get());

    if (firstLength > kRepairThreshold) {
        m_repaired = true;
        std::string fixPath = programDir.empty() ? std::string() : JoinPath(programDir, "fix.def");
        if (!fixPath.empty() && WriteRepairedCopy(path, fixPath)) {
            m_fixPath = fixPath;
            m_file.reset(std::fopen(fixPath.c_str(), "rb"));
            if (m_file) {
                m_activePath = fixPath;
                m_bytes = std::make_unique<FileByteSource>(m_file.get());
                m_reader = std::make_unique<RawLineReader>(*m_bytes);
                return true;
            }
            RemoveQuietly(m_fixPath);
            m_fixPath.clear();
            m_file.reset(OpenRead(path).release());
            if (!m_file) return false;
        }
        // The copy could not be written (or read back): produce the same lines from memory.
        m_activePath = programDir.empty() ? std::string("fix.def") : JoinPath(programDir, "fix.def");
        m_bytes = std::make_unique<FileByteSource>(m_file.get());
        m_repair = std::make_unique<RepairByteSource>(*m_bytes);
        m_reader = std::make_unique<RawLineReader>(*m_repair);
        return true;
    }
    m_bytes = std::make_unique<FileByteSource>(m_file.get());
    m_reader = std::make_unique<RawLineReader>(*m_bytes);
    return true;
}

bool CleanStageLine(std::string& line) {
    size_t out = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\x81' && i + 1 < line.size() && line[i + 1] == '\x40') {
            ++i;  // a Shift-JIS ideographic space read as single bytes
            continue;
        }
        line[out++] = c == '\t' ? ' ' : c;
    }
    line.resize(out);
    size_t semicolon = line.find(';');
    if (semicolon == 0) return false;
    if (semicolon != std::string::npos) line.resize(semicolon);
    return line.find_first_not_of(' ') != std::string::npos;
}

bool StageLineSource::Next(std::string& line, int32_t& lineNumber) {
    if (!m_reader) return false;
    while (m_reader->Next(m_raw)) {
        if (lineNumber < INT32_MAX) ++lineNumber;
        if (!CleanStageLine(m_raw)) continue;
        line.swap(m_raw);
        return true;
    }
    return false;
}

void StageLineSource::Close() {
    m_reader.reset();
    m_repair.reset();
    m_bytes.reset();
    m_file.reset();
    if (!m_fixPath.empty()) {
        RemoveQuietly(m_fixPath);
        m_fixPath.clear();
    }
    m_repaired = false;
}

bool IsStage(const std::string& stage) {
    UniqueFile file = OpenRead(stage);
    if (!file) return false;
    static constexpr std::string_view kWord = "camera";
    char buffer[16 * 1024];
    size_t kept = 0;
    for (;;) {
        size_t n = std::fread(buffer + kept, 1, sizeof buffer - kept, file.get());
        if (n == 0) return false;
        std::string_view chunk(buffer, kept + n);
        if (text::ContainsNoCase(chunk, kWord)) return true;
        kept = std::min(chunk.size(), kWord.size() - 1);
        std::memmove(buffer, buffer + chunk.size() - kept, kept);
    }
}

}  // namespace qb
