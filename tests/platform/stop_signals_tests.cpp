#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace qb {
namespace {

// A termination request must reach the event loop instead of ending or being swallowed: each of the
// three signals arrives as one byte, and draining leaves the pipe empty for the next one.
TEST(StopSignals, EachSignalArrivesOnceThroughThePipe) {
    const int fd = StopSignalFd();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(StopSignalFd(), fd);  // installed once
    DrainStopSignals(fd);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_EQ(raise(signal), 0);
        EXPECT_EQ(DrainStopSignals(fd), 1) << "signal " << signal;
    }
    EXPECT_EQ(DrainStopSignals(fd), 0);
}

}  // namespace
}  // namespace qb
