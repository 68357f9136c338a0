#include "lint/lint_jobs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace qb {

unsigned DefaultLintJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunLintJobs(size_t count, unsigned jobs, const std::function<void(size_t index)>& check,
                 const std::function<void(size_t done, size_t index)>& finished) {
    std::atomic<size_t> next{0};
    std::mutex report;
    size_t done = 0;
    // Stages are handed out one at a time rather than in fixed shares: one stage may take a hundred
    // times as long as its neighbour (a 1280 x 720 sprite file beside a tiny one).
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            check(i);
            const std::lock_guard<std::mutex> lock(report);
            if (finished) finished(++done, i);
        }
    };
    const size_t threads = std::min<size_t>(std::max(1u, jobs), std::max<size_t>(count, 1));
    std::vector<std::jthread> helpers;
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
    // The helpers join as they go out of scope.
}

}  // namespace qb
