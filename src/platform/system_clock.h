#pragma once
// The Clock port over the monotonic clock: frame pacing and once-a-second work must not jump when the
// wall clock is set.
#include "platform/ports.h"

namespace qb {

class SystemClock : public Clock {
public:
    SystemClock();
    uint32_t TickCount() override;
    // Nanoseconds since construction; Frequency() is 1e9.
    int64_t Counter() override;
    int64_t Frequency() override;
    void SleepMs(int ms) override;
    // Sleeps (never spins); non-positive counts return at once.
    void SleepCounts(int64_t counts) override;

private:
    int64_t m_startNanos;
};

}  // namespace qb
