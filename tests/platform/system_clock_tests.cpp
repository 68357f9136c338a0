#include <gtest/gtest.h>

#include "platform/system_clock.h"

namespace qb {
namespace {

TEST(SystemClock, CountersAdvanceAcrossASleep) {
    SystemClock clock;
    EXPECT_EQ(clock.Frequency(), 1000000000);
    const int64_t c0 = clock.Counter();
    const uint32_t t0 = clock.TickCount();
    clock.SleepCounts(clock.Frequency() / 50);  // 20 ms
    // A sleep may return early only by a little; the counter must show most of it passed.
    EXPECT_GE(clock.Counter() - c0, clock.Frequency() / 100);
    clock.SleepMs(15);
    EXPECT_GE(clock.TickCount() - t0, 25u);
    const int64_t c1 = clock.Counter();
    clock.SleepCounts(-5);
    clock.SleepCounts(0);
    EXPECT_GE(clock.Counter(), c1);
}

}  // namespace
}  // namespace qb
