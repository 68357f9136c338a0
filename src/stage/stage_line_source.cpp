#include "stage/stage_line_source.h"

#include <unistd.h>

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

class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::string_view bytes) : m_bytes(bytes) {}
    size_t Read(char* buffer, size_t capacity) override {
        const size_t n = std::min(capacity, m_bytes.size());
        std::memcpy(buffer, m_bytes.data(), n);
        m_bytes.remove_prefix(n);
        return n;
    }

private:
    std::string_view m_bytes;
};

using UniqueFile = std::unique_ptr<std::FILE, void (*)(std::FILE*)>;

void CloseFile(std::FILE* f) {
    if (f) std::fclose(f);
}

UniqueFile OpenRead(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return UniqueFile(nullptr, CloseFile);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return UniqueFile(file, CloseFile);
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
    while (c >= 0 && c != '\r' && c != '\n') {
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

bool StageLineSource::Open(const std::string& path) {
    Close();
    m_file.reset(OpenRead(path).release());
    if (!m_file) return false;
    m_bytes = std::make_unique<FileByteSource>(m_file.get());
    m_reader = std::make_unique<RawLineReader>(*m_bytes);
    return true;
}

void StageLineSource::OpenBytes(std::string_view bytes) {
    Close();
    m_bytes = std::make_unique<MemoryByteSource>(bytes);
    m_reader = std::make_unique<RawLineReader>(*m_bytes);
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
    m_bytes.reset();
    m_file.reset();
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
