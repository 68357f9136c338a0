#include "stage/def_reader.h"

#include <gtest/gtest.h>

#include "stage/error_log.h"
#include "platform/text_util.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

struct Reader {
    ErrorLog log;
    test::FakeUi ui;
    int32_t line = 7;
    ReaderContext ctx{log, ui, line, "/mugen/stages/Test Stage.def"};

    template <typename T>
    bool Read(std::string_view text, std::string_view key, T& out, int16_t index = 0,
              ReadFlags flags = ReadFlags::None) {
        return ReadDefValue(ctx, text, key, out, index, flags);
    }
};

TEST(DefReader, KeyMatchesWithAnySpacingAndCase) {
    Reader r;
    int32_t v = 0;
    EXPECT_TRUE(r.Read("startx=5", "startx", v));
    EXPECT_EQ(v, 5);
    v = 0;
    EXPECT_TRUE(r.Read("startx = 5", "startx", v));
    EXPECT_EQ(v, 5);
    v = 0;
    EXPECT_TRUE(r.Read("  StartX   =   5", "startx", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(r.log.Text().empty());
}

TEST(DefReader, KeyWithoutEqualsUsesWholeLineAndLogsMismatch) {
    Reader r;
    int32_t v = 42;
    EXPECT_FALSE(r.Read("startx 5", "startx", v));
    EXPECT_EQ(v, 42);
    EXPECT_EQ(
        r.log.Text(),
        "---------------------------\r\nERROR #13  (Type mismatch)\r\nWhile loading Test Stage.def!\r\n\r\n"
        "I choked on line #7:\r\n\"startx 5\r\n");
}

TEST(DefReader, KeyOnlyAtLineStartAndFollowedByEqualsOrBlank) {
    Reader r;
    int32_t v = 0;
    EXPECT_FALSE(r.Read("zoffsetlink = 3", "zoffset", v));
    float f = 0;
    EXPECT_FALSE(r.Read("delta = 1,1", "windowdelta", f, 1));
    EXPECT_FALSE(r.Read("WindowDelta = 1,1", "delta", f, 1));
    EXPECT_FALSE(r.Read("tilespacing = 1,1", "tile", v, 1));
    EXPECT_FALSE(r.Read("x", "x", v));  // nothing after the key
    EXPECT_FALSE(r.Read("", "x", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(r.log.Text().empty());
}

TEST(DefReader, IndexOneWithoutCommaReadsWholeValueAndResetsIndex) {
    Reader r;
    float f = 0;
    int16_t index = 1;
    EXPECT_TRUE(r.Read("delta = 0.5", "delta", f, index));
    EXPECT_FLOAT_EQ(f, 0.5f);
    int16_t index1 = 1;
    EXPECT_TRUE(ReadDefValue(r.ctx, "delta = 0.5", "delta", f, index1));
    EXPECT_EQ(index1, 0);
    f = 9;
    EXPECT_FALSE(r.Read("delta = 0.5", "delta", f, 2));
    EXPECT_FLOAT_EQ(f, 9);
}

TEST(DefReader, ListMembers) {
    Reader r;
    int32_t v = -5;
    EXPECT_TRUE(r.Read("tile = 1, 0", "tile", v, 2));
    EXPECT_EQ(v, 0);
    v = -5;
    EXPECT_FALSE(r.Read("tile = 1,", "tile", v, 2));  // empty last member
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(r.log.Text().empty());
    EXPECT_FALSE(r.Read("tile = 1,,0", "tile", v, 2));  // empty inner member is stored: mismatch
    EXPECT_NE(r.log.Text().find("ERROR #13  (Type mismatch)"), std::string::npos);
    EXPECT_EQ(v, -5);
    int16_t s = 0;
    EXPECT_TRUE(r.Read("spriteno = 5 6, 7 8", "spriteno", s, 2));
    EXPECT_EQ(s, 7);  // first blank after the member's first character ends it
    EXPECT_FALSE(r.Read("spriteno = 5, 6", "spriteno", s, 3));
    EXPECT_FALSE(r.Read("spriteno = 5, .", "spriteno", s, 2));
}

TEST(DefReader, LenientFirstMember) {
    Reader r;
    int32_t v = 0;
    EXPECT_TRUE(r.Read("start = 10 20, 30", "start", v, 1));
    EXPECT_EQ(v, 1020);
    EXPECT_TRUE(r.Read("start = abc, 30", "start", v, 1));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(r.Read("start = &H10, 30", "start", v, 1));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(r.Read("start = -2.5e1x, 30", "start", v, 1));
    EXPECT_EQ(v, -25);
    EXPECT_TRUE(r.Read("start = 7px, 30", "start", v, 1));
    EXPECT_EQ(v, 7);
}

TEST(DefReader, WholeValueBlanksAndCase) {
    Reader r;
    std::string s;
    EXPECT_TRUE(r.Read("name = My Stage", "name", s, 0, ReadFlags::KeepCase));
    EXPECT_EQ(s, "My Stage");
    EXPECT_TRUE(r.Read("name = My Stage", "name", s));
    EXPECT_EQ(s, "my stage");
    EXPECT_TRUE(r.Read("name = 12 Stage", "name", s, 0, ReadFlags::KeepCase));
    EXPECT_EQ(s, "12");
    EXPECT_TRUE(r.Read("name = 12 Stage", "name", s, 0, ReadFlags::KeepCase | ReadFlags::KeepBlanks));
    EXPECT_EQ(s, "12 Stage");
    EXPECT_TRUE(r.Read("bgmusic =", "bgmusic", s, 0, ReadFlags::KeepBlanks));
    EXPECT_EQ(s, "0");
    int32_t v = 0;
    EXPECT_TRUE(r.Read("boundleft = 100 200", "boundleft", v));
    EXPECT_EQ(v, 100);
}

TEST(DefReader, TrimToDigit) {
    Reader r;
    float x = 1;
    EXPECT_TRUE(r.Read("x = 10abc", "x", x, 0, ReadFlags::TrimToDigit));
    EXPECT_FLOAT_EQ(x, 10);
}

// A number followed by a character that cannot belong to it is read up to that character, which the
// log names with its column; a value that does not start with a number stays a mismatch.
TEST(DefReader, NumbersEndAtTheFirstStrayCharacter) {
    struct Case {
        const char* line;
        int16_t index;
        float value;
        std::string told;  // the character named, or the mismatch
        int32_t column;
    };
    const Case cases[] = {{"delta = .6388889\xE2\x80\xAC", 0, .6388889f, "U+202C", 17},  // UTF-8
                          {"delta = 1, .5\x80", 2, .5f, "U+20AC", 14},                   // Windows-1252
                          {"delta = 1,  -2.5e1Px", 2, -25, "\"P\"", 19},
                          {"delta = .e5", 0, 9, "Type mismatch", 0}};
    for (const Case& c : cases) {
        Reader r;
        float value = 9;
        EXPECT_EQ(r.Read(c.line, "delta", value, c.index), c.column > 0) << c.line;
        EXPECT_FLOAT_EQ(value, c.value);
        ASSERT_EQ(r.log.Records().size(), 1u);
        EXPECT_EQ(r.log.Records()[0].text, c.told);
        EXPECT_EQ(r.log.Records()[0].column, c.column);
    }
}

TEST(DefReader, FrameLinesWithAnyLineKey) {
    Reader r;
    int32_t values[7] = {9, 9, 9, 9, 9, 9, 9};
    const char* line = "0,0, 0,0, 5";
    for (int16_t i = 1; i <= 5; ++i) EXPECT_TRUE(r.Read(line, kAnyLineKey, values[i - 1], i)) << i;
    EXPECT_EQ(values[4], 5);
    EXPECT_FALSE(r.Read(line, kAnyLineKey, values[5], 6));
    EXPECT_FALSE(r.Read(line, kAnyLineKey, values[6], 7));
    std::string flip = "x";
    EXPECT_TRUE(r.Read("1,2, 3,4, 5, H, a", kAnyLineKey, flip, 6));
    EXPECT_EQ(flip, "h");
    EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(DefReader, FlipLetterInTimeSlotShowsDoomFix) {
    Reader r;
    int16_t time = 5;
    EXPECT_FALSE(r.Read("1,2, 3,4, h", kAnyLineKey, time, 5));
    EXPECT_EQ(time, 0);
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text, "DOOM FIX");
    EXPECT_EQ(r.ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(r.ui.boxes[0].icon, MsgIcon::None);
}

TEST(DefReader, CommentBeforeFirstCommaOnFrameLineShowsPosZero) {
    Reader r;
    int32_t v = 3;
    EXPECT_FALSE(r.Read("1;2, 3", kAnyLineKey, v, 1));
    EXPECT_EQ(v, 3);
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text, "pos=0");
    // Elsewhere a comment is cut off and the value trimmed.
    EXPECT_TRUE(r.Read("  tension = 50 ; soft", "tension", v));
    EXPECT_EQ(v, 50);
}

TEST(DefReader, ShiftJisLeadByteCutsLine) {
    Reader r;
    int32_t v = 0;
    EXPECT_TRUE(r.Read("id = 12\x81\x40xyz", "id", v));
    EXPECT_EQ(v, 12);
}

TEST(DefReader, RangesAndRounding) {
    Reader r;
    int16_t s = 1;
    EXPECT_FALSE(r.Read("v = 70000", "v", s));
    EXPECT_EQ(s, 1);
    EXPECT_EQ(r.log.Text(),
              "---------------------------\r\nERROR #6  (Overflow)\r\nWhile loading Test Stage.def!\r\n\r\n"
              "I choked on line #7:\r\n\"v = 70000\r\n");
    EXPECT_TRUE(r.Read("v = 2.5", "v", s));
    EXPECT_EQ(s, 2);
    EXPECT_TRUE(r.Read("v = 3.5", "v", s));
    EXPECT_EQ(s, 4);
    EXPECT_TRUE(r.Read("v = -2.5", "v", s));
    EXPECT_EQ(s, -2);
    uint8_t b = 7;
    EXPECT_FALSE(r.Read("v = -1", "v", b));
    EXPECT_FALSE(r.Read("v = 256", "v", b));
    EXPECT_TRUE(r.Read("v = 255", "v", b));
    EXPECT_EQ(b, 255);
    int32_t l = 0;
    EXPECT_TRUE(r.Read("v = -2147483648", "v", l));
    EXPECT_EQ(l, INT32_MIN);
    EXPECT_FALSE(r.Read("v = 2147483648", "v", l));
    float f = 0;
    EXPECT_FALSE(r.Read("v = 1e39", "v", f));
    EXPECT_TRUE(r.Read("v = 1.5e-3", "v", f));
    EXPECT_FLOAT_EQ(f, 0.0015f);
    EXPECT_FALSE(r.Read("v = inf", "v", f));
    EXPECT_FALSE(r.Read("v = nan", "v", f));
    EXPECT_TRUE(r.Read("v = .5", "v", f));
    EXPECT_FLOAT_EQ(f, 0.5f);
}

TEST(ErrorLog, HandleErrorMessageFormat) {
    EXPECT_EQ(HandleErrorMessage("Main", "LoadConfig", 53, "File not found"),
              "An ERROR has occurred!!\r\nMain LoadConfig: 53 - File not found");
    EXPECT_EQ(HandleErrorMessage("Load", "Form_Load", -2147024894, ""),
              "An ERROR has occurred!!\r\nLoad Form_Load: -2147024894 - ");
    test::FakeUi ui;
    HandleError(ui, "Main", "Char", 9, "Subscript out of range");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ui.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(ui.boxes[0].title.empty());
}

class ThrowingUi : public test::FakeUi {
public:
    MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                     const std::string& title) override {
        if (++calls == 1) throw std::runtime_error("no window");
        return test::FakeUi::MsgBox(text, icon, buttons, title);
    }
    int calls = 0;
};

TEST(ErrorLog, HandleErrorFallsBackToPlainBox) {
    ThrowingUi ui;
    HandleError(ui, "Main", "LoadConfig", 53, "File not found");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Main HandleError: ", 0), 0u);
    EXPECT_NE(ui.boxes[0].text.find(" - no window"), std::string::npos);
    EXPECT_EQ(ui.boxes[0].icon, MsgIcon::None);
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(DefReader, NumberSyntaxOfStoredValues) {
    using text::ParseNumber;
    EXPECT_EQ(ParseNumber("1."), 1.0);
    EXPECT_EQ(ParseNumber("-.5"), -0.5);
    EXPECT_EQ(ParseNumber("+3"), 3.0);
    EXPECT_EQ(ParseNumber(" 1e+2 "), 100.0);
    EXPECT_EQ(ParseNumber("&HFFFF"), -1.0);
    EXPECT_EQ(ParseNumber("&h7fffffff"), 2147483647.0);
    for (const char* bad : {"", " ", ".", "-", "1e", "1.2.3", "0x10", "1,5", "5 6", "&H", "infinity", "--1"})
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
    EXPECT_EQ(text::LeadingNumber("  - 1 2 . 5 e 1xyz"), -125.0);
    EXPECT_EQ(text::LeadingNumber("1e"), 1.0);
    EXPECT_EQ(text::LeadingNumber("."), 0.0);
    EXPECT_EQ(text::RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(text::RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(text::RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(text::RoundHalfEven(-0.5), -0.0);
}

// The log window shows the text as it is: entries that ran together ("TileX < 0TileX < 0") could not
// be told apart.
TEST(ErrorLog, EveryEntryEndsItsLineOnce) {
    ErrorLog log;
    log.Append("Windowdelta not supported yet");
    log.Append("TileX < 0");
    log.Append("No background elements found\r\n");
    log.Append("");  // nothing to say: no empty line
    EXPECT_EQ(log.Text(), "Windowdelta not supported yet\r\nTileX < 0\r\nNo background elements found\r\n");
}

}  // namespace
}  // namespace qb
