#pragma once
// Counts how often files in one folder are read, by watching the folder with inotify: what the tests
// of "each file is read once" measure, without a fake file layer under the readers. A read is an open
// during which the file was read from (an open that only checks the file is there is not one).
#include <map>
#include <string>

namespace qb::test {

class ReadCounter {
public:
    explicit ReadCounter(const std::string& folder);
    ~ReadCounter();
    ReadCounter(const ReadCounter&) = delete;
    ReadCounter& operator=(const ReadCounter&) = delete;
    // Reads per file name since the last call (or since the counter was made).
    std::map<std::string, int> Take();

private:
    int m_fd = -1;
    std::map<std::string, bool> m_readSinceOpen;
};

}  // namespace qb::test
