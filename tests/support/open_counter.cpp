#include "tests/support/open_counter.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>

namespace qb::test {

OpenCounter::OpenCounter(const std::string& folder) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) inotify_add_watch(m_fd, folder.c_str(), IN_OPEN);
}

OpenCounter::~OpenCounter() {
    if (m_fd >= 0) close(m_fd);
}

std::map<std::string, int> OpenCounter::Take() {
    std::map<std::string, int> opens;
    if (m_fd < 0) return opens;
    alignas(inotify_event) std::array<char, 16384> buffer{};
    for (;;) {
        const ssize_t n = read(m_fd, buffer.data(), buffer.size());
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->len > 0) ++opens[event->name];
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return opens;
}

}  // namespace qb::test
