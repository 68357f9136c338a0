#include "tests/support/temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>

namespace qb::test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("qb-test-" + std::to_string(rd()) + std::to_string(attempt));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            m_path = candidate;
            return;
        }
    }
    m_path = base / "qb-test-fallback";
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempDir::Write(const std::string& relative, const std::string& bytes) const {
    auto full = m_path / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream in(m_path / relative, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::filesystem::path CorpusDir() {
    std::filesystem::path dir = QB_CORPUS_DIR;
    std::error_code ec;
    if (std::filesystem::is_directory(dir / "stages", ec)) return dir;
    return {};
}

}  // namespace qb::test
