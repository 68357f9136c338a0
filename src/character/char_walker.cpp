#include "character/char_walker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "character/char_picture32.h"
#include "character/fighters.h"
#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/compose32.h"
#include "stage/error_log.h"

namespace qb {

namespace {

// A shadow or reflection never needs to be taller than a few views; absurd scales from content
// would otherwise ask for enormous work bitmaps.
constexpr int32_t kMaxShadowSide = 4 * kViewHeight;
constexpr int kSilhouetteAlpha = 128;

// The run-time error the walker reports when the record does not hold what it needs.
constexpr int32_t kErrSubscript = 9;

bool Fail(CharState& chars, const CharScene& scene, const char* procedure) {
    HandleError(scene.ui, "Main", procedure, kErrSubscript, "Subscript out of range");
    chars.CharEnabled = 0;
    return false;
}

int16_t FirstFrameTime(const TestCharacter& ch, int16_t slot) {
    const CharFrame* f = CharFrameAt(ch, slot, 0);
    return f ? f->Time : 0;
}

void Silhouette(BITMAP* bitmap) {
    a_set_trans_blender(0, 0, 0, kSilhouetteAlpha);
    a_draw_lit_sprite(bitmap, bitmap, 0, 0, 255);
}

// Casts a silhouette onto the picture as the engine does: what lies under it is darkened by
// intensity ("0 (lightest) to 256 (darkest)") and the colour is subtracted on top ("intensity and
// color's effects add up"). The translucent draw of the black silhouette darkens, the same
// silhouette filled with the colour subtracts.
void CastShadow(BITMAP* dest, BITMAP* silhouette, int32_t x, int32_t y, int intensity, uint32_t colour) {
    a_set_trans_blender(0, 0, 0, std::min(intensity, 255));
    a_draw_trans_sprite(dest, silhouette, x, y);
    if (colour == 0) return;
    const auto tint = static_cast<uint16_t>(a_makecol(static_cast<int>(colour >> 16 & 0xFF),
                                                      static_cast<int>(colour >> 8 & 0xFF),
                                                      static_cast<int>(colour & 0xFF)));
    for (int row = 0; row < BitmapHeight(silhouette); ++row) {
        uint16_t* pixel = BitmapRow(silhouette, row);
        for (int i = 0; i < BitmapWidth(silhouette); ++i)
            if (pixel[i] != kMaskColor) pixel[i] = tint;
    }
    sub_sprite(dest, silhouette, x, y);
}

UniqueBitmap MaskedBitmap(int32_t w, int32_t h) {
    UniqueBitmap b = CreateBitmap(w, h);
    if (b) a_clear_to_color(b.get(), kMaskColor);
    return b;
}

}  // namespace

TestCharacter SharedCopy(const TestCharacter& source) {
    TestCharacter copy;
    copy.Name = source.Name;
    copy.LocalCoordWidth = source.LocalCoordWidth;
    copy.Actions = source.Actions;
    copy.Sprites.resize(source.Sprites.size());
    for (size_t k = 0; k < source.Sprites.size(); ++k) {
        const SpriteEntry& from = source.Sprites[k];
        SpriteEntry& to = copy.Sprites[k];
        to.AxisX = from.AxisX;
        to.AxisY = from.AxisY;
        to.Width = from.Width;
        to.Height = from.Height;
        to.Group = from.Group;
        to.Image = from.Image;
        to.Bitmap = from.Bitmap;
        to.Mask = from.Mask;
        to.Picture = from.Picture;
        to.Colours = from.Colours;
        to.Owner = static_cast<int16_t>(std::min<size_t>(k, 32767));  // never -1: it owns nothing
    }
    copy.X = source.X;
    copy.Y = source.Y;
    copy.SpriteWidth = source.SpriteWidth;
    copy.SpriteHeight = source.SpriteHeight;
    copy.ScreenX = source.ScreenX;
    copy.ScreenY = source.ScreenY;
    copy.XScale = source.XScale;
    copy.YScale = source.YScale;
    copy.FrameIndex = source.FrameIndex;
    copy.FrameTime = source.FrameTime;
    copy.WalkSpeed = source.WalkSpeed;
    copy.VelY = source.VelY;
    copy.JumpVelX = source.JumpVelX;
    copy.JumpVelY = source.JumpVelY;
    copy.YAccel = source.YAccel;
    copy.Facing = source.Facing;
    copy.DrawnFacing = source.DrawnFacing;
    copy.ActionSlot = source.ActionSlot;
    copy.Walking = source.Walking;
    copy.CanTurn = source.CanTurn;
    return copy;
}

const CharFrame* CharFrameAt(const TestCharacter& ch, int16_t slot, int16_t index) {
    if (slot < 0 || static_cast<size_t>(slot) >= ch.Actions.size()) return nullptr;
    const CharAction& action = ch.Actions[static_cast<size_t>(slot)];
    if (index < 0 || index >= action.FrameCount || static_cast<size_t>(index) >= action.Frames.size())
        return nullptr;
    return &action.Frames[static_cast<size_t>(index)];
}

void RecordDrawn(TestCharacter& ch, CharState& chars, bool mirrored) {
    ch.ScreenX = static_cast<float>(chars.DrawX);
    ch.ScreenY = static_cast<float>(chars.DrawY);
    ch.SpriteWidth = static_cast<int16_t>(chars.DrawW);
    ch.SpriteHeight = static_cast<int16_t>(chars.DrawH);
    ch.DrawnFacing = mirrored ? static_cast<int16_t>(-ch.Facing) : ch.Facing;
    chars.MirrorFrame = 0;
}

void RestartAction(TestCharacter& ch, CharAction& action, int16_t noLoopFrame) {
    if (action.LoopStart < 1) {
        ch.FrameIndex = noLoopFrame;
        return;
    }
    ch.FrameIndex = action.LoopStart;
    action.LoopsDone = static_cast<int16_t>(action.LoopsDone + 1);
    if (ch.Walking == 0 && action.LoopsDone >= action.LoopLimit && action.LoopLimit != -1) {
        action.LoopsDone = 0;
        ch.FrameIndex = 0;
    }
}

CameraArrows CameraArrowsFor(const CharState& chars) {
    if (chars.CharEnabled != 255) return CameraArrows::All;
    return chars.CameraFollow == 1 ? CameraArrows::LeftRight : CameraArrows::None;
}

bool InitChar(CharLoadEnv& env, CharState& chars, TestCharSettings& settings, const StageModel& stage,
              CameraState& camera) {
    chars.CharCount = 1;
    if (chars.CharLoaded != 255) {
        chars.Characters.resize(1);
        if (!LoadCharacter(env, chars.Characters[0], settings.TestCharPath, true)) {
            settings.TestCharPath.clear();
            chars.CharEnabled = 0;
            return false;
        }
        chars.CharLoaded = 255;
        settings.TestCharName = chars.Characters[0].Name;
    }
    if (chars.Characters.empty()) return false;
    chars.CharScale = 1.0f;
    TestCharacter& ch = chars.Characters[0];
    ch.Facing = 1;
    ch.X = static_cast<float>(stage.P1StartX + 160);
    if (stage.ZOffset != 0) {
        ch.Y = stage.ZOffset;
    } else if (stage.ZOffsetLink > 0 && static_cast<size_t>(stage.ZOffsetLink) < stage.Elements.size()) {
        ch.Y = stage.Elements[static_cast<size_t>(stage.ZOffsetLink)].PosY;
    }
    chars.GroundY = ch.Y;
    // Scrolling done before the character stood here is not its to follow.
    camera.ScrollTravelX = camera.ScrollTravelY = 0;
    chars.ScrollLagX = chars.ScrollLagY = 0;
    ch.ActionSlot = kSlotStand;
    ch.FrameIndex = 0;
    ch.FrameTime = FirstFrameTime(ch, kSlotStand);
    ch.VelY = 0;
    ch.Airborne = false;
    if (chars.TwoFighters) {
        // Player two: his own character when one was chosen and loads, else the first again.
        if (chars.Characters.size() < 2) {
            chars.Characters.resize(2);
            if (settings.TestChar2Path.empty() || !LoadCharacter(env, chars.Characters[1], settings.TestChar2Path, false)) {
                settings.TestChar2Path.clear();
                chars.Characters[1] = SharedCopy(chars.Characters[0]);
            }
        }
        chars.CharCount = 2;
        StartFighters(chars, stage, camera);
    }
    return true;
}

namespace {

// Mouse scrolling slides the stage under the view: the characters stand on it and slide along, as a
// playfield element (delta 1) does, one frame behind the camera as the elements drawn just before
// them are. The camera x grows leftwards and y downwards. Answers this frame's travel (x, y).
std::pair<float, float> TakeScrollTravel(CharState& chars, CameraState& camera) {
    const float travelX = chars.ScrollLagX, travelY = chars.ScrollLagY;
    chars.ScrollLagX = camera.ScrollTravelX;
    chars.ScrollLagY = camera.ScrollTravelY;
    camera.ScrollTravelX = camera.ScrollTravelY = 0;
    chars.GroundY -= travelY;
    return {travelX, travelY};
}

// Steps 1 and 2: the arrow keys. Both are always read, and left is handled after right, so it wins
// when both are held. The up arrow does nothing: the walker never jumps.
void ReadArrowKeys(TestCharacter& ch, CharState& chars, Keys& keys) {
    const bool right = keys.Pressed(Key::Right);
    const bool left = keys.Pressed(Key::Left);
    if (right && chars.TurnLock == 0 && ch.ActionSlot < kSlotJumpStart) {
        ch.Facing = 1;
        ch.ActionSlot = kSlotWalk;
        chars.RightHeld = -1;
        ch.Walking = -1;
    }
    if (left && chars.TurnLock == 0 && ch.ActionSlot < kSlotJumpStart) {
        ch.Facing = -1;
        ch.ActionSlot = kSlotWalk;
        chars.LeftHeld = -1;
        ch.Walking = -1;
    }
    // Releases.
    if (chars.RightHeld == -1 && !keys.IsDown(Key::Right) && chars.TurnLock == 0) {
        ch.ActionSlot = kSlotStand;
        chars.RightHeld = 0;
        ch.Walking = 0;
    }
    if (chars.LeftHeld == -1 && !keys.IsDown(Key::Left) && chars.TurnLock == 0) {
        ch.ActionSlot = kSlotStand;
        chars.LeftHeld = 0;
        ch.Walking = 0;
    }
}

// Steps 3 and 4: a new action starts at its first frame; a change of facing plays the turn once
// (arrows ignored meanwhile) when there is one. `prevSlot` and `prevFacing` are the first
// character's before this frame's keys (the walker's rules compare every character against it).
void StartNewAction(TestCharacter& ch, CharState& chars, int16_t prevSlot, int16_t prevFacing) {
    if (ch.ActionSlot != prevSlot) {
        ch.FrameIndex = 0;
        ch.FrameTime = FirstFrameTime(ch, ch.ActionSlot);
    }
    if (ch.Facing == prevFacing || ch.CanTurn == 0) return;
    chars.TurnLock = 255;
    ch.ActionSlot = kSlotTurn;
    ch.FrameIndex = 0;
    ch.Walking = 0;
    if (ch.Actions[kSlotTurn].FrameCount >= 1) {
        ch.FrameTime = FirstFrameTime(ch, kSlotTurn);
    } else {
        ch.ActionSlot = kSlotWalk;
        ch.Walking = -1;
        chars.TurnLock = 0;
    }
}

// The frame being drawn and how its sprite is placed.
struct FramePlacement {
    const CharFrame* frame = nullptr;
    const SpriteEntry* sprite = nullptr;  // null when the frame names no sprite of the character
    bool mirrored = false;
    bool facingRight = false;  // facing right once the frame's own mirror is taken into account
    double scale = 1;          // the character's scale on this picture (s)
    double sx = 1, sy = 1;     // times his own x and y scale
    double axisX = 0, axisY = 0;
    int16_t z = 0;  // the sprite's top above his feet, in pixels
};

// Step 5: the frame, its sprite and the classic placement in chars.DrawX/DrawY/DrawW/DrawH. False
// when the action has no such frame.
bool PlaceFrame(TestCharacter& ch, CharState& chars, const CharScene& scene, FramePlacement& p) {
    const CharFrame* f = CharFrameAt(ch, ch.ActionSlot, ch.FrameIndex);
    if (!f) return false;
    p.frame = f;
    p.sprite = (f->SpriteIndex >= 0 && static_cast<size_t>(f->SpriteIndex) < ch.Sprites.size())
                   ? &ch.Sprites[static_cast<size_t>(f->SpriteIndex)]
                   : nullptr;
    if (f->FlipH == -1) chars.MirrorFrame = -1;
    p.mirrored = chars.MirrorFrame != 0;
    p.facingRight = (ch.Facing == 1 && !p.mirrored) || (ch.Facing == -1 && p.mirrored);
    const PictureView& view = scene.view;
    p.scale = chars.CharScale * (view.picture ? view.stageWidth / std::max<int>(1, ch.LocalCoordWidth) : 1.0);
    p.axisX = p.sprite ? p.sprite->AxisX : 0;
    p.axisY = p.sprite ? p.sprite->AxisY : 0;
    p.sx = p.scale * ch.XScale;
    p.sy = p.scale * ch.YScale;
    chars.DrawX = p.facingRight ? text::RoundClampPixel(ch.X - p.axisX * p.sx + f->OffsetX * p.sx)
                                : text::RoundClampPixel(ch.X + p.axisX * p.sx - f->OffsetX * p.sx);
    p.z = text::RoundWrapInt16((f->OffsetY - p.axisY) * p.sy);
    chars.DrawY = text::RoundClampPixel(p.z + static_cast<double>(ch.Y)) + scene.frame.LinkOffsetY;
    chars.DrawW = p.sprite ? p.sprite->Width : 0;
    chars.DrawH = p.sprite ? p.sprite->Height : 0;
    return true;
}

// Steps 5 and 6 on the modern picture: the sprite scaled to the stage, placed about the picture's
// centre, then shadow, sprite and reflection. The character's place is in stage units, his sprite's
// own pixels (times the scale) already in picture pixels.
void DrawOnPicture(const TestCharacter& ch, CharState& chars, const CharScene& scene, const FramePlacement& p) {
    const PictureView& view = scene.view;
    const StageModel& stage = scene.stage;
    const CharFrame& f = *p.frame;
    const int32_t u = std::max<int32_t>(1, view.unitScale);
    const double px = static_cast<double>(u) * (ch.X + view.centreShift);
    chars.DrawX = p.facingRight ? text::RoundClampPixel(px - p.axisX * p.sx + f.OffsetX * p.sx)
                                : text::RoundClampPixel(px + p.axisX * p.sx - f.OffsetX * p.sx);
    chars.DrawY = text::RoundClampPixel(p.z + static_cast<double>(u) *
                                                  (static_cast<double>(ch.Y) + scene.frame.LinkOffsetY));
    chars.DrawW = text::RoundClampPixel(chars.DrawW * p.sx);
    chars.DrawH = text::RoundClampPixel(chars.DrawH * p.sy);
    // His feet and the floor line, mapped by the zoom as his sprite is below.
    const bool zoomed = view.zoom != 1 && std::isfinite(view.zoom) && view.zoom > 0;
    auto zoomY = [&](double v) { return zoomed ? view.pivotY + (v - view.pivotY) * view.zoom : v; };
    const double footY = zoomY(static_cast<double>(chars.DrawY) - p.z);
    const double floorY =
        zoomY(static_cast<double>(u) * (static_cast<double>(chars.GroundY) + scene.frame.LinkOffsetY));
    if (zoomed) {
        // Both edges are mapped and rounded (not the size), as a zoomed element's are. DrawX is the
        // left edge facing right, the right edge facing left.
        auto zx = [&](double v) { return text::RoundClampPixel(view.pivotX + (v - view.pivotX) * view.zoom); };
        auto zy = [&](double v) { return text::RoundClampPixel(view.pivotY + (v - view.pivotY) * view.zoom); };
        const double other = p.facingRight ? static_cast<double>(chars.DrawX) + chars.DrawW
                                           : static_cast<double>(chars.DrawX) - chars.DrawW;
        const int32_t x0 = zx(chars.DrawX), x1 = zx(other);
        const int32_t y0 = zy(chars.DrawY), y1 = zy(static_cast<double>(chars.DrawY) + chars.DrawH);
        chars.DrawX = x0;
        chars.DrawW = std::abs(x1 - x0);
        chars.DrawY = y0;
        chars.DrawH = y1 - y0;
    }
    if (!p.sprite || chars.DrawW <= 0 || chars.DrawH <= 0) return;
    Picture32& picture = *view.picture;
    const Source32 source = MakeSource32(*p.sprite, true);
    const int64_t left = p.facingRight ? chars.DrawX : int64_t{chars.DrawX} - chars.DrawW;
    // Shadow, sprite, reflection, as on the classic picture; the floor line is where he stands when
    // on the ground.
    const DrawnCharSprite drawn{&source, left, chars.DrawY, chars.DrawW, chars.DrawH, !p.facingRight, footY, floorY};
    DrawCharShadow32(picture, drawn, stage, static_cast<double>(chars.GroundY) - ch.Y);
    ComposeScaled(picture, source, left, chars.DrawY, chars.DrawW, chars.DrawH, !p.facingRight, Blend32{},
                  WholePicture(picture));
    if (stage.ReflectionIntensity > 0) DrawCharReflection32(picture, drawn, stage.ReflectionIntensity);
}

// Step 6 on the classic back buffer: shadow, sprite, reflection.
void DrawOnBackBuffer(const TestCharacter& ch, const CharState& chars, const CharScene& scene,
                      const FramePlacement& p) {
    BITMAP* sprite = p.sprite ? p.sprite->Bitmap : nullptr;
    if (!sprite || chars.DrawW <= 0 || chars.DrawH <= 0) return;
    const StageModel& stage = scene.stage;
    const double k = stage.ShadowYScale;
    // Two players' shadows lie on the floor, under a jumping one too.
    const float feet = chars.TwoFighters ? chars.GroundY : ch.Y;
    DrawCharShadow(scene.backBuffer, sprite, chars.DrawX,
                   text::RoundClampPixel((feet - p.z - chars.DrawH) * k + feet * (1 - k)), chars.DrawW, chars.DrawH,
                   !p.facingRight, stage.ShadowYScale, chars.GroundY, stage.ShadowIntensity, ShadowColour(stage));
    if (p.facingRight)
        a_draw_sprite(scene.backBuffer, sprite, chars.DrawX, chars.DrawY);
    else
        a_draw_sprite_h_flip(scene.backBuffer, sprite, chars.DrawX - chars.DrawW, chars.DrawY);
    if (stage.ReflectionIntensity > 0)
        DrawCharReflection(scene.backBuffer, sprite, chars.DrawX,
                           text::RoundClampPixel(static_cast<double>(ch.Y) - p.z - chars.DrawH), chars.DrawW,
                           chars.DrawH, !p.facingRight, stage.ReflectionIntensity);
}

// Step 8: walking. In the middle of the view the character walks; within Tension of an edge the
// camera takes the walk over (its arrow keys scroll it) until it meets the stage's bound, after
// which the character walks on up to the screen edge. `s` is his scale on the picture.
void Walk(TestCharacter& ch, CharState& chars, const CharScene& scene, double s) {
    const StageModel& stage = scene.stage;
    const PictureView& view = scene.view;
    const float w = ch.WalkSpeed;
    const float c = -scene.camera.CameraX;
    const bool walking = ch.Walking != 0;
    uint8_t& follow = chars.CameraFollow;
    // The view's edges in the character's x: 0 and 320 on the classic picture; on a modern one the
    // picture reaches centreShift further each way.
    const float viewLeft = view.picture ? static_cast<float>(-view.centreShift) : 0.0f;
    const float viewRight =
        view.picture ? static_cast<float>(view.viewWidth - view.centreShift) : static_cast<float>(kViewWidth);
    const float leftEdge = viewLeft + stage.ScreenLeft;
    const float rightEdge = viewRight - stage.ScreenRight;
    if (follow == 1) {
        if (ch.Facing == -1) {
            if (ch.X - w > leftEdge && stage.BoundLeft >= c - w && walking) ch.X -= static_cast<float>(w * s);
            if (ch.X > viewLeft + stage.Tension) follow = 0;
        } else {
            if (rightEdge > ch.X + w && stage.BoundRight <= c + w && walking) ch.X += static_cast<float>(w * s);
            if (viewRight - stage.Tension > ch.X) follow = 0;
        }
    }
    if (walking && follow == 0) {
        if (ch.Facing == -1) {
            if (ch.X - w > leftEdge) ch.X -= static_cast<float>(w * s);
            if (viewLeft + stage.Tension >= ch.X) follow = 1;
        } else {
            if (rightEdge > ch.X + w) ch.X += static_cast<float>(w * s);
            if (viewRight - stage.Tension <= ch.X) follow = 1;
        }
    }
}

// Step 9: animation.
void Animate(TestCharacter& ch, CharState& chars) {
    CharAction& action = ch.Actions[static_cast<size_t>(ch.ActionSlot)];
    if (ch.FrameTime < 1) {
        ch.FrameIndex = static_cast<int16_t>(ch.FrameIndex + 1);
        if (ch.FrameIndex > action.FrameCount - 1) {
            RestartAction(ch, action, 0);
            if (chars.TurnLock == 255) chars.TurnLock = 0;  // the turn has played once
        }
        // A loop-start line after an action's last frame points past it: start over instead.
        if (ch.FrameIndex >= action.FrameCount) ch.FrameIndex = 0;
        ch.FrameTime = FirstFrameTime(ch, ch.ActionSlot);
        if (const CharFrame* next = CharFrameAt(ch, ch.ActionSlot, ch.FrameIndex)) ch.FrameTime = next->Time;
    }
    ch.FrameTime = static_cast<int16_t>(ch.FrameTime - 1);
}

}  // namespace

bool Char(CharState& chars, const CharScene& scene) {
    if (chars.Characters.empty()) return Fail(chars, scene, "Char");
    const int16_t prevSlot = chars.Characters[0].ActionSlot;
    const int16_t prevFacing = chars.Characters[0].Facing;
    const size_t count = std::min(static_cast<size_t>(std::max<int16_t>(chars.CharCount, 0)), chars.Characters.size());
    const auto [travelX, travelY] = TakeScrollTravel(chars, scene.camera);
    // Two players keep their places on the stage: the picture's follows from the camera.
    const bool fighters = chars.TwoFighters && count >= 2;
    if (fighters) PlaceFighters(chars, scene.stage, scene.camera);
    for (size_t i = 0; i < count; ++i) {
        TestCharacter& ch = chars.Characters[i];
        if (ch.Actions.size() != kCharSlotCount) return Fail(chars, scene, "Char");
        if (!fighters) {
            ch.X += travelX;
            ch.Y -= travelY;
            ReadArrowKeys(ch, chars, scene.keys);
            StartNewAction(ch, chars, prevSlot, prevFacing);
        }
        FramePlacement placed;
        if (!PlaceFrame(ch, chars, scene, placed)) return Fail(chars, scene, "Char");
        if (scene.view.picture)
            DrawOnPicture(ch, chars, scene, placed);
        else
            DrawOnBackBuffer(ch, chars, scene, placed);
        if (!fighters) {
            // Step 7: vertical motion (nothing makes the walker leave the ground).
            ch.Y += ch.VelY;
            Walk(ch, chars, scene, placed.scale);
        }
        Animate(ch, chars);
        // Step 10: bookkeeping.
        RecordDrawn(ch, chars, placed.mirrored);
    }
    return true;
}

void ReleaseCharacter(std::vector<TestCharacter>& characters, int16_t count, uint8_t& CharLoaded) {
    const size_t n = std::min(static_cast<size_t>(std::max<int16_t>(count, 0)), characters.size());
    for (size_t i = 0; i < n; ++i) {
        for (SpriteEntry& entry : characters[i].Sprites) {
            if (entry.Owner == -1) entry.Owned.reset();
            entry.Bitmap = nullptr;
        }
    }
    CharLoaded = 0;
}

void DrawCharShadow(BITMAP* dest, BITMAP* sprite, int32_t x, int32_t y, int32_t w, int32_t h, bool mirror,
                    float shadowYScale, float groundY, int intensity, uint32_t colour) {
    const double k = shadowYScale;
    // As on the modern picture, an intensity of 0 casts no shadow at all.
    if (!dest || !sprite || w < 1 || h < 1 || k == 0 || std::isnan(k) || intensity <= 0) return;
    intensity = std::min(intensity, 256);
    w = std::min(w, BitmapWidth(sprite));
    h = std::min(h, BitmapHeight(sprite));
    const int32_t squashed = std::min(text::RoundClampPixel(std::fabs(k) * h), kMaxShadowSide);
    if (w < 1 || h < 1 || squashed < 1) return;
    UniqueBitmap shadow = MaskedBitmap(w, squashed);
    if (!shadow) return;
    const int32_t left = mirror ? x - w : x;
    if (k > 0) {
        // Upside down below the feet, as if cast towards the viewer.
        UniqueBitmap flipped = MaskedBitmap(w, h);
        if (!flipped) return;
        if (mirror)
            a_draw_sprite_vh_flip(flipped.get(), sprite, 0, 0);
        else
            a_draw_sprite_v_flip(flipped.get(), sprite, 0, 0);
        a_stretch_sprite(shadow.get(), flipped.get(), 0, 0, w, squashed);
        Silhouette(shadow.get());
        CastShadow(dest, shadow.get(), left, y, intensity, colour);
    } else {
        // Upright and squashed, standing on the ground line like a shadow on a back wall.
        UniqueBitmap work;
        BITMAP* source = sprite;
        if (mirror) {
            work = MaskedBitmap(w, h);
            if (!work) return;
            a_draw_sprite_h_flip(work.get(), sprite, 0, 0);
            source = work.get();
        }
        a_stretch_sprite(shadow.get(), source, 0, 0, w, squashed);
        Silhouette(shadow.get());
        CastShadow(dest, shadow.get(), left, text::RoundClampPixel(groundY - h * std::fabs(k)), intensity,
                   colour);
    }
}

void DrawCharReflection(BITMAP* dest, BITMAP* sprite, int32_t x, int32_t y, int32_t w, int32_t h, bool mirror,
                        int16_t reflectionIntensity) {
    if (!dest || !sprite) return;
    w = std::min(w, BitmapWidth(sprite));
    h = std::min(h, BitmapHeight(sprite));
    if (w < 1 || h < 1) return;
    UniqueBitmap reflection = MaskedBitmap(w, h);
    if (!reflection) return;
    a_set_trans_blender(0, 0, 0, std::clamp(reflectionIntensity - 1, 0, 255));
    if (mirror)
        a_draw_sprite_vh_flip(reflection.get(), sprite, 0, 0);
    else
        a_draw_sprite_v_flip(reflection.get(), sprite, 0, 0);
    a_draw_trans_sprite(dest, reflection.get(), mirror ? x - w : x, y);
}

}  // namespace qb
