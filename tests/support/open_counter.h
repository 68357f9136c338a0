#pragma once
// Counts how often files in one folder are opened, by watching the folder with inotify: what the
// tests of "each file is read once" measure, without a fake file layer under the readers.
#include <map>
#include <string>

namespace qb::test {

class OpenCounter {
public:
    explicit OpenCounter(const std::string& folder);
    ~OpenCounter();
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;
    // Opens per file name seen since the last call (or since the counter was made).
    std::map<std::string, int> Take();

private:
    int m_fd = -1;
};

}  // namespace qb::test
