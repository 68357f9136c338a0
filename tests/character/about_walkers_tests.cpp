// The about screen's walkers: the first one walks backwards, the second follows a card's width
// behind it, the card rides between them.
#include <gtest/gtest.h>

#include "character/about_walkers.h"
#include "tests/character/char_fixture.h"

namespace qb::test {
namespace {

TEST(AboutWalkers, FirstBacksAlongTheSecondFollowsAndTheCardRidesBetween) {
    CharHarness h;
    AboutWalkers walkers;
    ASSERT_TRUE(LoadCharacter(h.env, walkers.Records[0], h.Write(CharFiles{}), false));
    // The default character: walk 20,0 / 20,1 / 20,0 / 20,1, 3 ticks each, speed 2; 2 x 3 sprites
    // with their axis at (1, 3).
    PlaceAboutWalkers(walkers, 200);
    UniqueBitmap back = CreateBitmap(kViewWidth, kViewHeight);
    UniqueBitmap card = MakeIntroCard();
    ASSERT_TRUE(back && card);
    const TestCharacter& first = walkers.Records[0];
    const TestCharacter& second = walkers.Records[1];
    EXPECT_EQ(first.X, -12);  // -(first sprite's width) - 10

    // The walk plays backwards for the first walker (0, then 3, 2, ...) and forwards for the second,
    // which starts four frames in.
    std::vector<int> firstFrames, secondFrames;
    int32_t secondX = 0;
    for (int frame = 1; frame <= 81; ++frame) {
        secondX = DrawAboutFrame(walkers, back.get(), card.get(), 0, 0);
        if (frame <= 7) {
            firstFrames.push_back(first.FrameIndex);
            secondFrames.push_back(second.FrameIndex);
        }
    }
    EXPECT_EQ(firstFrames, (std::vector<int>{0, 0, 0, 3, 3, 3, 2}));
    EXPECT_EQ(secondFrames, (std::vector<int>{3, 3, 3, 0, 0, 0, 1}));
    EXPECT_EQ(first.DrawnFacing, -1);  // mirrored: it faces back while walking right
    EXPECT_EQ(second.DrawnFacing, 1);
    ASSERT_EQ(first.X, 150);
    ASSERT_EQ(second.X, 150);

    // Row 197 (the sprites' top, the card's top edge), x 40..160:
    //   second walker at 44..45 (axis 150, less the card, its axis and 8), the card's gold edge from
    //   60 to 155, drawn last, over the first walker.
    BITMAP* b = back.get();
    const int red = a_makecol(255, 0, 0), gold = a_makecol(232, 200, 120);
    EXPECT_EQ(secondX, 44);
    EXPECT_EQ(a_getpixel(b, 44, 197), red);
    EXPECT_EQ(a_getpixel(b, 45, 199), red);
    EXPECT_EQ(a_getpixel(b, 43, 197), 0);
    EXPECT_EQ(a_getpixel(b, 59, 197), 0);
    EXPECT_EQ(a_getpixel(b, 60, 197), gold);
    EXPECT_EQ(a_getpixel(b, 148, 197), gold);
    EXPECT_EQ(a_getpixel(b, 155, 197), gold);
    EXPECT_EQ(a_getpixel(b, 156, 197), 0);
    // Without the card the first walker shows, mirrored at its axis (152 one frame on): 151..152.
    // The camera lifts everything with it.
    DrawAboutFrame(walkers, b, nullptr, 10, 0);
    EXPECT_EQ(a_getpixel(b, 150, 187), 0);
    EXPECT_EQ(a_getpixel(b, 151, 187), red);
    EXPECT_EQ(a_getpixel(b, 152, 189), red);
    EXPECT_EQ(a_getpixel(b, 153, 187), 0);
}

}  // namespace
}  // namespace qb::test
