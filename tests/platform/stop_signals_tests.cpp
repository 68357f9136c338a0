#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/paths.h"
#include "platform/zip_archive.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

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

// Past the file-size limit a write must fail ("File too large") instead of ending the program half
// way, so that each writer removes its partial file. Run in a child: the limit and the signal's
// disposition belong to the process. The child's exit status is the number of checks that failed.
TEST(StopSignals, WritesPastTheFileSizeLimitFailAndLeaveNothing) {
    test::TempDir dir;
    const std::string big(64 * 1024, 'x');
    const auto zipPath =
        dir.Write("big.zip", test::RawZip({{"big.sff", big, 0, 0, test::Crc32(big), big.size()}}));
    dir.Write("stage.def", "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IgnoreFileSizeSignal();
        const struct rlimit limit = {16 * 1024, 16 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int failures = 0;
        std::string error;
        if (WriteFileAtomic(dir.Dir() + "stage.def", big, error) ||
            error.find("File too large") == std::string::npos)
            ++failures;
        const auto archive = ZipArchive::Open(zipPath.string());
        if (!archive || archive->Extract(0, dir.Dir() + "big.sff", big.size(), big.size(), "") !=
                            ZipExtractResult::WriteError)
            ++failures;
        std::_Exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The stage as it was, no temporary file and no partial sprite file.
    EXPECT_EQ(dir.Read("stage.def"), "old");
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"big.zip", "stage.def"}));
}

}  // namespace
}  // namespace qb
