// Truncated and garbled definitions and sprite files from the corpus: loading never crashes, hangs
// or leaves an index that points outside its table.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The invariants every later stage of the program relies on.
void ExpectConsistent(const StageModel& s, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(static_cast<size_t>(s.ElementCount), s.Elements.size());
    ASSERT_EQ(static_cast<size_t>(s.ActionCount), s.Actions.size());
    ASSERT_EQ(static_cast<size_t>(s.CtrlDefCount), s.CtrlDefs.size());
    ASSERT_LE(static_cast<size_t>(std::max<int16_t>(s.SpriteCount, 0)), s.Sprites.size());
    const auto spriteOk = [&](int16_t index, bool allowMinusTwo) {
        return index == -1 || (allowMinusTwo && index == -2) ||
               (index >= 0 && static_cast<size_t>(index) < s.Sprites.size());
    };
    for (const BgElement& e : s.Elements) {
        ASSERT_TRUE(spriteOk(e.SpriteIndex, true)) << e.SpriteIndex;
        if (e.Type == "anim" && e.Enabled) {
            ASSERT_GE(e.ActionIndex, 0);
            ASSERT_LT(static_cast<size_t>(e.ActionIndex), s.Actions.size());
        }
        if (e.PositionLink && e.Enabled) {
            ASSERT_LT(static_cast<size_t>(e.LinkParent), s.Elements.size());
        }
    }
    for (const BgAction& a : s.Actions) {
        ASSERT_EQ(static_cast<size_t>(a.NumFrames), a.Frames.size());
        ASSERT_LE(a.LoopStart, a.NumFrames);
        for (const BgFrame& f : a.Frames) ASSERT_TRUE(spriteOk(f.SpriteIndex, false)) << f.SpriteIndex;
    }
    for (const BgCtrlDef& g : s.CtrlDefs) {
        ASSERT_EQ(static_cast<size_t>(g.CtrlCount), g.Ctrls.size());
        ASSERT_LE(static_cast<size_t>(g.CtrlIdCount), g.CtrlIds.size());
        for (int16_t i = 0; i < g.CtrlIdCount; ++i)
            ASSERT_LT(g.CtrlIds[static_cast<size_t>(i)], static_cast<int32_t>(s.Elements.size()));
        for (const BgCtrl& c : g.Ctrls) {
            ASSERT_LE(static_cast<size_t>(c.CtrlIdCount), c.CtrlIds.size());
            for (int16_t i = 0; i < c.CtrlIdCount; ++i)
                ASSERT_LT(c.CtrlIds[static_cast<size_t>(i)], static_cast<int32_t>(s.Elements.size()));
            if (c.Type == "anim") {
                ASSERT_LT(c.Value, static_cast<int32_t>(s.Actions.size()));
            }
        }
    }
    for (size_t j = 0; j < s.Sprites.size(); ++j) {
        const SpriteEntry& e = s.Sprites[j];
        if (e.Owner >= 0) {
            ASSERT_LT(static_cast<size_t>(e.Owner), s.Sprites.size());
        }
    }
}

std::vector<size_t> CutPoints(size_t size, int count) {
    std::vector<size_t> cuts = {0, 1, 16, 511, 512, 513, 544};
    for (int i = 1; i <= count; ++i)
        cuts.push_back(size * static_cast<size_t>(i) / static_cast<size_t>(count + 1));
    std::vector<size_t> kept;
    for (size_t c : cuts)
        if (c < size) kept.push_back(c);
    return kept;
}

std::string Flip(std::string bytes, std::mt19937& rng, int flips, size_t hotRegion) {
    if (bytes.empty()) return bytes;
    for (int i = 0; i < flips; ++i) {
        // Half of the flips land in the header region, where counts and offsets live.
        size_t limit = (i % 2 == 0) ? std::min(hotRegion, bytes.size()) : bytes.size();
        size_t at = std::uniform_int_distribution<size_t>(0, limit - 1)(rng);
        bytes[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
    }
    return bytes;
}

TEST(GarbledStage, CorpusFilesCutAndFlippedLoadSafely) {
    fs::path corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus not present";
    std::mt19937 rng(20261208);
    int loads = 0;
    for (const auto& folder : fs::directory_iterator(corpus / "stages")) {
        fs::path defFile, sffFile;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            std::string ext = file.path().extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext == ".def") defFile = file.path();
            if (ext == ".sff") sffFile = file.path();
        }
        if (defFile.empty() || sffFile.empty()) continue;
        const std::string def = ReadAll(defFile);
        const std::string sff = ReadAll(sffFile);
        // Big sprite files cost the most to decode: fewer variants of them.
        const int sffVariants = sff.size() > (1u << 20) ? 2 : 5;

        std::vector<std::pair<std::string, std::string>> variants;
        for (size_t cut : CutPoints(def.size(), 6)) variants.emplace_back(def.substr(0, cut), sff);
        for (int i = 0; i < 3; ++i) variants.emplace_back(Flip(def, rng, 40, def.size()), sff);
        for (size_t cut : CutPoints(sff.size(), sffVariants)) variants.emplace_back(def, sff.substr(0, cut));
        for (int i = 0; i < sffVariants; ++i) variants.emplace_back(def, Flip(sff, rng, 24, 1024));

        for (size_t v = 0; v < variants.size(); ++v) {
            test::StageFixture f;
            f.mugen.Write("stages/" + sffFile.filename().string(), variants[v].second);
            auto path = f.mugen.Write("stages/" + defFile.filename().string(), variants[v].first);
            f.Load(path.string());
            ++loads;
            ExpectConsistent(f.stage, defFile.filename().string() + " variant " + std::to_string(v));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(loads, 100);
}

TEST(GarbledStage, BinaryGarbageAsDefinition) {
    test::StageFixture f;
    std::mt19937 rng(7);
    std::string garbage(300000, '\0');
    for (char& c : garbage) c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
    // Sprinkle headers so that the parser builds sections out of the noise.
    for (size_t at = 0; at + 40 < garbage.size(); at += 997) {
        const char* piece = (at / 997) % 3 == 0   ? "\r[BG x]\r"
                            : (at / 997) % 3 == 1 ? "\r[Begin Action 1]\r1,2,3\r"
                                                  : "\r[BGCtrl y]\rctrlid=1,2\r";
        garbage.replace(at, std::strlen(piece), piece);
    }
    f.Load(f.WriteStage("noise", garbage));
    ExpectConsistent(f.stage, "noise");
    EXPECT_GT(f.Stage().ElementCount, 0);
}

}  // namespace
}  // namespace qb
