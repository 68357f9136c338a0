// The headless tool's --sff-info: the sprite file's dump on standard output and 0, or nothing, the
// reason on standard error and 1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "demo/sff2_writer.h"
#include "platform/sff2_decoder.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

TEST(ShotSffInfo, PrintsTheDumpAndExitsByTheResult) {
    demo::Sff2Sprite sprite;
    sprite.format = 4;
    sprite.depth = 5;
    sprite.width = 3;
    sprite.height = 2;
    sprite.pixels = {1, 2, 3, 4, 5, 6};
    demo::Sff2Sprite link = sprite;
    link.image = 1;
    link.pixels.clear();
    link.linkTo = 0;
    demo::Sff2Palette palette{1, 1, std::vector<uint8_t>(8, 7), -1};
    const std::string v2 = demo::WriteSff2({sprite, link, link, link}, {palette, palette});
    std::string reason;

    test::TempDir dir;
    const auto good = dir.Write("good.sff", v2);
    const auto bad = dir.Write("bad.sff", v2.substr(0, 600));
    auto run = [&](const std::filesystem::path& file) {
        const std::string command = std::string("'") + QB_SHOT_EXE + "' --sff-info '" + file.string() +
                                    "' 2>'" + (dir.Path() / "err.txt").string() + "'";
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        std::array<char, 4096> buffer{};
        for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) out.append(buffer.data(), n);
        const int status = pclose(pipe);
        return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
    };
    EXPECT_EQ(run(good), std::pair(0, *SffInfoDump(v2, reason)));
    EXPECT_EQ(run(bad), std::pair(1, std::string()));
    EXPECT_NE(dir.Read("err.txt").find("the sprite node table runs past the end of the file"),
              std::string::npos);
}

}  // namespace
}  // namespace qb
