#pragma once
// A temporary folder removed with everything in it when the object goes away.
#include <filesystem>
#include <string>

namespace qb::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Path text with a trailing separator, as the MUGEN directory is kept.
    std::string Dir() const { return m_path.string() + "/"; }
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;

private:
    std::filesystem::path m_path;
};

// The real-content folder beside the project, or empty when it is absent.
std::filesystem::path CorpusDir();

}  // namespace qb::test
