// The definition reader and the stage parser over one text. The text is parsed as a stage file (the
// sprite file is missing, so the parse ends at the sprite step, as a stage without one does), the
// parsed model goes through placement and controller resolution, and every cleaned line is also
// offered to ReadDefValue directly under its own key, for each target type and member index, so the
// value rules are exercised for keys the parser never asks for.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "stage/stage_line_source.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"
#include "tests/support/fakes.h"

namespace qb::fuzz {
namespace {

// The direct reads cover the first lines only: the parse above already reads every line, and the
// fuzzer's speed matters more than reading a long file twice.
constexpr size_t kMaxDirectLines = 64;
constexpr size_t kMaxDirectLineLength = 1024;

class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(std::string_view bytes) : m_bytes(bytes) {}
    size_t Read(char* buffer, size_t capacity) override {
        const size_t n = std::min(capacity, m_bytes.size() - m_pos);
        std::memcpy(buffer, m_bytes.data() + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};

// The key a line would be read under: its first word, lower case, up to "=" or a blank.
std::string KeyOf(const std::string& line) {
    std::string key;
    size_t at = line.find_first_not_of(' ');
    for (; at != std::string::npos && at < line.size() && key.size() < 32; ++at) {
        const char c = line[at];
        if (c == '=' || c == ' ') break;
        key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return key;
}

template <typename T>
void ReadEveryIndex(ReaderContext& ctx, const std::string& line, std::string_view key, int variant) {
    for (int16_t n : {0, 1, 2, 5}) {
        T value{};
        int16_t index = n;
        ReadDefValue(ctx, line, key, value, index, static_cast<ReadFlags>(variant & 7));
        // The reader may only turn index 1 into 0 (a line without a comma).
        QB_FUZZ_CHECK(index == n || (n == 1 && index == 0));
    }
}

void ReadLinesDirectly(std::string_view text) {
    test::FakeUi ui;
    ErrorLog log;
    int32_t lineNumber = 0;
    ReaderContext ctx{log, ui, lineNumber, "fuzz.def"};
    MemoryBytes bytes(text);
    RawLineReader reader(bytes);
    std::string line;
    for (size_t count = 0; count < kMaxDirectLines && reader.Next(line); ++count) {
        ++lineNumber;
        if (line.size() > kMaxDirectLineLength) line.resize(kMaxDirectLineLength);
        if (!CleanStageLine(line)) continue;
        const std::string key = KeyOf(line);
        // The flags and the target type change from line to line.
        const int variant = static_cast<int>(count % 8);
        for (std::string_view k : {std::string_view(key), kAnyLineKey}) {
            switch ((count + (k == kAnyLineKey)) % 5) {
                case 0:
                    ReadEveryIndex<std::string>(ctx, line, k, variant);
                    break;
                case 1:
                    ReadEveryIndex<uint8_t>(ctx, line, k, variant);
                    break;
                case 2:
                    ReadEveryIndex<int16_t>(ctx, line, k, variant);
                    break;
                case 3:
                    ReadEveryIndex<int32_t>(ctx, line, k, variant);
                    break;
                default:
                    ReadEveryIndex<float>(ctx, line, k, variant);
                    break;
            }
        }
    }
}

void ParseAsStage(std::string_view text) {
    const test::TempDir& dir = Scratch();
    std::string path = dir.Write("stages/fuzz.def", std::string(text)).string();
    test::FakeUi ui;
    StageModel stage;
    StageLoadState load;
    ErrorLog log;
    int32_t lineNumber = 0;
    StageContext ctx{stage, load, log, ui, lineNumber, dir.Dir()};
    ParseStageDef(ctx, path);

    QB_FUZZ_CHECK(static_cast<size_t>(stage.ElementCount) == stage.Elements.size());
    QB_FUZZ_CHECK(static_cast<size_t>(stage.ActionCount) == stage.Actions.size());
    QB_FUZZ_CHECK(static_cast<size_t>(stage.CtrlDefCount) == stage.CtrlDefs.size());
    for (const BgAction& a : stage.Actions)
        QB_FUZZ_CHECK(static_cast<size_t>(a.NumFrames) == a.Frames.size());

    float minPosY = 0;
    PlaceElements(stage, minPosY);
    ResolveControllerTargets(stage);
    for (const BgCtrlDef& g : stage.CtrlDefs) {
        QB_FUZZ_CHECK(g.CtrlIdCount >= 0 && static_cast<size_t>(g.CtrlIdCount) <= g.CtrlIds.size());
        for (const BgCtrl& c : g.Ctrls)
            QB_FUZZ_CHECK(c.CtrlIdCount >= 0 && static_cast<size_t>(c.CtrlIdCount) <= c.CtrlIds.size());
    }
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = qb::fuzz::AsText(data, size);
    qb::fuzz::ParseAsStage(text);
    qb::fuzz::ReadLinesDirectly(text);
    return 0;
}
