#include "tests/support/read_counter.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>

namespace qb::test {

ReadCounter::ReadCounter(const std::string& folder) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Opens and closes alternate, so none of them is merged with the one before (inotify merges
    // identical events in a row); reads in between are.
    if (m_fd >= 0) inotify_add_watch(m_fd, folder.c_str(), IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE);
}

ReadCounter::~ReadCounter() {
    if (m_fd >= 0) close(m_fd);
}

std::map<std::string, int> ReadCounter::Take() {
    std::map<std::string, int> reads;
    if (m_fd < 0) return reads;
    alignas(inotify_event) std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = read(m_fd, buffer.data(), buffer.size());
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->len > 0) {
                bool& read = m_readSinceOpen[event->name];
                if (event->mask & IN_OPEN) read = false;
                if ((event->mask & IN_ACCESS) && !read) {
                    read = true;
                    ++reads[event->name];
                }
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return reads;
}

}  // namespace qb::test
