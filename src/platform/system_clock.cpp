#include "platform/system_clock.h"

#include <chrono>
#include <thread>

namespace qb {

namespace {

int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SystemClock::SystemClock() : m_startNanos(NowNanos()) {}

uint32_t SystemClock::TickCount() {
    // Wraps after 49.7 days like the millisecond tick it stands for; callers compare differences.
    return static_cast<uint32_t>(static_cast<uint64_t>((NowNanos() - m_startNanos) / 1000000));
}

int64_t SystemClock::Counter() {
    return NowNanos() - m_startNanos;
}

int64_t SystemClock::Frequency() {
    return 1000000000;
}

void SystemClock::SleepMs(int ms) {
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::SleepCounts(int64_t counts) {
    if (counts <= 0) return;
    std::this_thread::sleep_for(std::chrono::nanoseconds(counts));
}

}  // namespace qb
