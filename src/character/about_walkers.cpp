#include "character/about_walkers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "character/char_walker.h"
#include "platform/text_util.h"

namespace qb {

namespace {

const SpriteEntry* EntryOf(const TestCharacter& ch, const CharFrame* frame) {
    if (!frame || frame->SpriteIndex < 0 || static_cast<size_t>(frame->SpriteIndex) >= ch.Sprites.size())
        return nullptr;
    return &ch.Sprites[static_cast<size_t>(frame->SpriteIndex)];
}

int16_t TimeOf(const TestCharacter& ch, int16_t slot, int16_t index) {
    const CharFrame* f = CharFrameAt(ch, slot, index);
    return f ? f->Time : 0;
}

// Axis x of the sprite the walking action starts with: the card keeps this distance to the walkers.
double FirstWalkAxisX(const TestCharacter& ch) {
    const SpriteEntry* e = EntryOf(ch, CharFrameAt(ch, kSlotWalk, 0));
    return e ? e->AxisX : 0;
}

// Forwards the action plays as the walker plays it; backwards (the first walker) it runs from the
// last frame down, and below frame 0 it starts over from the end or from its loop start.
void Animate(TestCharacter& ch, bool backwards) {
    if (ch.ActionSlot < 0 || static_cast<size_t>(ch.ActionSlot) >= ch.Actions.size()) return;
    CharAction& action = ch.Actions[static_cast<size_t>(ch.ActionSlot)];
    if (ch.FrameTime < 1) {
        if (backwards) {
            ch.FrameIndex = static_cast<int16_t>(ch.FrameIndex - 1);
            if (ch.FrameIndex < 0) {
                RestartAction(ch, action, static_cast<int16_t>(action.FrameCount - 1));
            }
        } else {
            ch.FrameIndex = static_cast<int16_t>(ch.FrameIndex + 1);
            if (ch.FrameIndex > action.FrameCount - 1) {
                RestartAction(ch, action, 0);
            }
        }
        // A loop start past the last frame would point outside the action.
        if (ch.FrameIndex < 0 || ch.FrameIndex >= action.FrameCount) ch.FrameIndex = 0;
        ch.FrameTime = TimeOf(ch, ch.ActionSlot, ch.FrameIndex);
    }
    ch.FrameTime = static_cast<int16_t>(ch.FrameTime - 1);
}

void StepWalker(AboutWalkers& walkers, size_t index, BITMAP* backBuffer, double cameraY, int16_t linkOffsetY) {
    CharState& scratch = walkers.Scratch;
    TestCharacter& ch = walkers.Records[index];
    const int16_t prevSlot = ch.ActionSlot;
    scratch.MirrorFrame = index == 0 ? -1 : 0;
    if (scratch.TurnLock == 0) {
        ch.Facing = 1;
        scratch.RightHeld = -1;
        ch.ActionSlot = kSlotWalk;
        ch.Walking = -1;
    }
    if (ch.ActionSlot != prevSlot) {
        ch.FrameIndex = 0;
        ch.FrameTime = TimeOf(ch, ch.ActionSlot, 0);
    }
    const double s = scratch.CharScale;
    ch.X += static_cast<float>(ch.WalkSpeed * s);

    const CharFrame* f = CharFrameAt(ch, ch.ActionSlot, ch.FrameIndex);
    if (!f) {
        // A walk shorter than the second walker's head start: it starts at the first frame.
        ch.FrameIndex = 0;
        f = CharFrameAt(ch, ch.ActionSlot, 0);
    }
    const SpriteEntry* e = EntryOf(ch, f);
    if (f && f->FlipH == -1) scratch.MirrorFrame = -1;
    const bool mirrored = scratch.MirrorFrame != 0;
    const double a = e ? e->AxisX : 0, b = e ? e->AxisY : 0;
    const double o = f ? f->OffsetX : 0, p = f ? f->OffsetY : 0;
    const double sx = s * ch.XScale, sy = s * ch.YScale;
    const bool right = ch.Facing == 1;
    if (mirrored)
        scratch.DrawX = text::RoundClampPixel(right ? ch.X + a * sx - o * sx : ch.X - a * sx + o * sx);
    else
        scratch.DrawX = text::RoundClampPixel(right ? ch.X - a * sx - o * sx : ch.X + a * sx + o * sx);
    scratch.DrawY = text::RoundClampPixel(ch.Y - b * sy + p * sy - cameraY) + linkOffsetY;
    scratch.DrawW = e ? e->Width : 0;
    scratch.DrawH = e ? e->Height : 0;
    if (index == 1) {
        // The second walker follows one card's width behind the first.
        scratch.DrawX = text::RoundClampPixel(scratch.DrawX - kIntroCardWidth - FirstWalkAxisX(ch) - 8);
    }

    const bool effectivelyRight = (ch.Facing == 1 && !mirrored) || (ch.Facing == -1 && mirrored);
    if (e && e->Bitmap && scratch.DrawW > 0 && scratch.DrawH > 0) {
        if (effectivelyRight)
            a_draw_sprite(backBuffer, e->Bitmap, scratch.DrawX, scratch.DrawY);
        else
            a_draw_sprite_h_flip(backBuffer, e->Bitmap, scratch.DrawX - scratch.DrawW, scratch.DrawY);
    }

    Animate(ch, mirrored);

    RecordDrawn(ch, scratch, mirrored);
}

}  // namespace

UniqueBitmap MakeIntroCard() {
    UniqueBitmap card = CreateBitmap(kIntroCardWidth, kIntroCardHeight);
    if (!card) return card;
    BITMAP* b = card.get();
    // A dusk-blue plate, lighter towards the top, framed in the quill's pale gold.
    for (int y = 0; y < kIntroCardHeight; ++y) {
        const int shade = 70 - y;
        const int colour = a_makecol(16, 24 + shade / 2, 40 + shade);
        for (int x = 0; x < kIntroCardWidth; ++x) a_putpixel(b, x, y, colour);
    }
    const int gold = a_makecol(232, 200, 120);
    for (int x = 0; x < kIntroCardWidth; ++x) {
        a_putpixel(b, x, 0, gold);
        a_putpixel(b, x, kIntroCardHeight - 1, gold);
    }
    for (int y = 0; y < kIntroCardHeight; ++y) {
        a_putpixel(b, 0, y, gold);
        a_putpixel(b, kIntroCardWidth - 1, y, gold);
    }
    // The name, with a one-pixel drop shadow, and a quill stroke under it that thins to a point.
    const std::string name = "Quillback";
    const int textX = (kIntroCardWidth - 8 * static_cast<int>(name.size())) / 2;
    a_textout(b, name, textX + 1, 7, a_makecol(0, 0, 0));
    a_textout(b, name, textX, 6, a_makecol(250, 244, 226));
    for (int x = 12; x < kIntroCardWidth - 12; ++x) {
        const double t = static_cast<double>(x - 12) / (kIntroCardWidth - 24);
        const int y = 20 + static_cast<int>(std::lround(3 * std::sin(t * 3.14159265)));
        a_putpixel(b, x, y, gold);
        if (t < 0.7) a_putpixel(b, x, y + 1, gold);
    }
    return card;
}

void PlaceAboutWalkers(AboutWalkers& walkers, float groundY) {
    TestCharacter& first = walkers.Records[0];
    walkers.Records[1] = SharedCopy(first);
    walkers.Scratch.CharScale = 1.0f;
    walkers.Scratch.GroundY = groundY;
    const double width = first.Sprites.empty() ? 0 : first.Sprites[0].Width;
    for (TestCharacter& ch : walkers.Records) {
        ch.Facing = 1;
        ch.X = text::RoundClampInt16(-width - 10);
        ch.Y = groundY;
        ch.ActionSlot = kSlotStand;
        ch.FrameIndex = 0;
        ch.FrameTime = TimeOf(ch, kSlotWalk, 0);
    }
    walkers.Scratch.MirrorFrame = -1;
    walkers.Records[1].ActionSlot = kSlotWalk;
    walkers.Records[1].FrameIndex = 3;
}

int32_t DrawAboutFrame(AboutWalkers& walkers, BITMAP* backBuffer, BITMAP* card, float cameraY,
                       int16_t linkOffsetY) {
    a_clear_bitmap(backBuffer);
    StepWalker(walkers, 0, backBuffer, cameraY, linkOffsetY);
    StepWalker(walkers, 1, backBuffer, cameraY, linkOffsetY);
    const int32_t secondX = walkers.Scratch.DrawX;
    if (card) {
        const TestCharacter& second = walkers.Records[1];
        const int32_t x = text::RoundClampPixel(text::RoundClampInt16(second.X) - kIntroCardWidth -
                                                FirstWalkAxisX(walkers.Records[0]) + 7);
        a_blit(card, backBuffer, 0, 0, x, walkers.Scratch.DrawY, BitmapWidth(card), BitmapHeight(card));
    }
    return secondX;
}

}  // namespace qb
