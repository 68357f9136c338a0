// The Qt side's own logic: pixel conversion for presenting, the key latch, and the text and filter
// conversions of the dialogs.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QImage>
#include <QWindow>
#include <cstdlib>
#include <tuple>

#include "gui/qt_keys.h"
#include "gui/qt_ui.h"
#include "gui/stage_view.h"
#include "gui/x11_picture_memory.h"
#include "platform/gfx.h"
#include "render/frame_target.h"
#include "tests/gui/gui_harness.h"

namespace qb::test {
namespace {

uint32_t converterGrey() {
    return gui::Rgb16Converter().Convert(static_cast<uint16_t>(a_makecol(128, 128, 128)));
}

TEST(Rgb16Converter, MatchesQtsOwnConversionForEveryPixel) {
    gui::Rgb16Converter converter;
    // Every 16-bit value once: 256 x 256 pixels.
    QImage rgb16(256, 256, QImage::Format_RGB16);
    for (int y = 0; y < 256; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(rgb16.scanLine(y));
        for (int x = 0; x < 256; ++x) row[x] = static_cast<uint16_t>(y * 256 + x);
    }
    const QImage reference = rgb16.convertToFormat(QImage::Format_RGB32);
    int mismatches = 0;
    for (int v = 0; v < 65536 && mismatches < 5; ++v) {
        const QRgb expected = reference.pixel(v % 256, v / 256);
        const uint32_t got = converter.Convert(static_cast<uint16_t>(v));
        if (got != expected) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "pixel " << v << ": " << got << " != " << expected;
        }
    }
    EXPECT_EQ(converter.Convert(0xF800), 0xFFFF0000u);  // pure red
    EXPECT_EQ(converter.Convert(0xF81F), 0xFFFF00FFu);  // the mask colour, magenta
}

TEST(Rgb16Converter, ScalesEachPixelToAWholeBlockAndHonoursThePitch) {
    gui::Rgb16Converter converter;
    // 2 x 2 source inside rows of pitch 3 (the third pixel of each row must be ignored):
    //   red   green  (junk)
    //   blue  white  (junk)
    const uint16_t rows[] = {0xF800, 0x07E0, 0x1234, 0x001F, 0xFFFF, 0x4321};
    QImage out(6, 6, QImage::Format_RGB32);
    converter.ConvertScaled(rows, 3, 2, 2, 3, out);
    const QRgb red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, white = 0xFFFFFFFF;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const QRgb expected = y < 3 ? (x < 3 ? red : green) : (x < 3 ? blue : white);
            EXPECT_EQ(out.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(StageView, FittingViewUsesTheLargestWholeScaleWithBlackBorders) {
    GuiApp();
    gui::StageView view;
    view.SetScale(0);
    view.resize(1000, 800);  // 3 x 320 = 960 fits, 4 x 320 does not
    EXPECT_EQ(view.EffectiveScale(), 3);
    EXPECT_EQ(view.PictureRect(), QRect(20, 40, 960, 720));
    view.SetScale(2);
    EXPECT_EQ(view.size(), QSize(640, 480));
    EXPECT_EQ(view.PictureRect(), QRect(0, 0, 640, 480));
}

TEST(StageView, PaintsThePresentedFrameWhereverItIsDrawn) {
    GuiApp();
    ASSERT_TRUE(a_allegro_init());
    // A frame with a red top-left pixel, a blue bottom-right one and grey elsewhere.
    UniqueBitmap frame = CreateBitmap(kViewWidth, kViewHeight);
    a_clear_to_color(frame.get(), a_makecol(128, 128, 128));
    a_putpixel(frame.get(), 0, 0, a_makecol(255, 0, 0));
    a_putpixel(frame.get(), kViewWidth - 1, kViewHeight - 1, a_makecol(0, 0, 255));
    gui::StageView view;
    view.SetScale(2);
    view.Present(FrameOf(frame.get()));
    // Into a picture at an offset (the direct way: the painter draws on a plain 32-bit image) ...
    QImage image(700, 500, QImage::Format_RGB32);
    image.fill(Qt::green);
    const int before = view.DirectPaints();
    view.render(&image, QPoint(5, 7));
    EXPECT_EQ(view.DirectPaints(), before + 1);
    EXPECT_EQ(image.pixel(4, 7), QColor(Qt::green).rgb()) << "nothing left of the picture";
    EXPECT_EQ(image.pixel(5, 7), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(6, 8), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(7, 9), converterGrey());
    EXPECT_EQ(image.pixel(5 + 639, 7 + 479), 0xFF0000FFu);
    EXPECT_EQ(image.pixel(5 + 640, 7 + 479), QColor(Qt::green).rgb()) << "nothing right of the picture";
    // ... and through the painter (a 16-bit picture cannot be written directly): the same pixels.
    QImage rgb16(640, 480, QImage::Format_RGB16);
    view.render(&rgb16);
    EXPECT_EQ(view.DirectPaints(), before + 1);
    EXPECT_EQ(rgb16.convertToFormat(QImage::Format_RGB32), image.copy(5, 7, 640, 480));
}

TEST(StageView, ShowsAModernPictureWholeAtTheLargestScaleThatFits) {
    GuiApp();
    Picture32 picture(640, 360, 0xFF203040u);
    picture.Row(0)[0] = 0xFFFF0000u;
    gui::StageView view;
    view.SetScale(0);
    view.resize(1300, 800);  // 2 x 640 fits, 3 x 640 does not
    view.Present(FrameOf(picture, picture.Whole()));
    EXPECT_EQ(view.EffectiveScale(), 2);
    EXPECT_EQ(view.PictureRect(), QRect(10, 40, 1280, 720));
    EXPECT_EQ(view.ToFramePixels(QPoint(10 + 2 * 639 + 1, 40)), std::make_pair(639, 0));
    QImage image(1300, 800, QImage::Format_RGB32);
    view.render(&image);
    EXPECT_EQ(image.pixel(11, 41), 0xFFFF0000u);
    EXPECT_EQ(image.pixel(12, 40), 0xFF203040u);
    EXPECT_EQ(image.pixel(9, 40), 0xFF000000u) << "black beside the picture";
    // Smaller than the picture: still 1x, never scaled down. A classic frame brings 320 x 240 back.
    view.resize(500, 300);
    EXPECT_EQ(view.EffectiveScale(), 1);
    ASSERT_TRUE(a_allegro_init());
    UniqueBitmap frame = CreateBitmap(kViewWidth, kViewHeight);
    view.Present(FrameOf(frame.get()));
    EXPECT_EQ(view.PictureRect().size(), QSize(320, 240));
}

// A 32-bit picture at 2x or 3x goes straight into a 32-bit device, each pixel a block, over the painted region only.
TEST(StageView, WritesAScaledModernPictureStraightIntoThePaintedRegion) {
    GuiApp();
    Picture32 picture(7, 5);  // each pixel its own colour, so that a misplaced block shows
    for (int i = 0; i < 35; ++i) picture.Row(i / 7)[i % 7] = 0xFF000000u | static_cast<uint32_t>(i + 1);
    for (const int scale : {2, 3}) {
        gui::StageView view;
        view.SetScale(0);
        view.resize(7 * scale, 5 * scale);
        view.Present(FrameOf(picture, picture.Whole()));
        const QRect region(scale + 1, 1, 3 * scale, 2 * scale + 1);  // starts and ends inside blocks
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(0);
        view.render(&image, QPoint(3, 2), QRegion(region));  // the region's corner lands at (3, 2)
        EXPECT_EQ(view.DirectPaints(), 1);
        for (int i = 0; i < 40 * 30; ++i) {
            const QPoint at(i % 40 - 3 + region.left(), i / 40 - 2 + region.top());
            const QRgb want = region.contains(at) ? picture.Row(at.y() / scale)[at.x() / scale] : 0xFF000000u;
            ASSERT_EQ(image.pixel(i % 40, i / 40), want) << scale << ": " << at.x() << "," << at.y();
        }
    }
}

// A kept picture presented again repaints only what changed; another picture repaints whole.
TEST(StageView, RepaintsOnlyTheChangedPartOfTheSamePicture) {
    GuiApp();
    Picture32 picture(640, 360), other(640, 360);
    gui::StageView view;
    view.SetScale(0);
    view.resize(1300, 800);
    view.show();
    for (int i = 0; i < 50 && !view.windowHandle()->isExposed(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    view.Present(FrameOf(picture, picture.Whole()));
    EXPECT_EQ(view.LastPainted(), view.rect());
    view.Present(FrameOf(picture, Clip32{10, 20, 30, 40}));
    EXPECT_EQ(view.LastPainted(), QRect(10 + 2 * 10, 40 + 2 * 20, 2 * 20, 2 * 20));
    const int paints = view.PaintCount();
    view.Present(FrameOf(picture, Clip32{}));
    EXPECT_EQ(view.PaintCount(), paints) << "nothing changed: nothing painted";
    view.Present(FrameOf(other, Clip32{10, 20, 30, 40}));
    EXPECT_EQ(view.LastPainted(), view.rect());
}

// On an X display the changed part of a picture in shared memory reaches the window without a
// paint, and stays there while other widgets of the window repaint; an exposure, an outline or
// another scale take the painter's way again. (Skipped off X: the test script runs it once more on
// a virtual display.)
TEST(StageView, OnXShowsAPictureInSharedMemoryWithoutPainting) {
    GuiApp();
    const std::shared_ptr<gui::X11PictureMemory> memory = gui::X11PictureMemory::Open();
    if (!memory) GTEST_SKIP() << "no X display with shared memory";
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    Picture32 picture(64, 48, 0xFF000000u, memory);
    // The view between two widgets, so that their repaints' flushes lie on both sides of it.
    QWidget top;
    top.resize(120, 48);
    QWidget left(&top), right(&top);
    auto* view = new gui::StageView(&top);
    view->SetScale(0);
    for (auto [widget, x, w] : {std::tuple<QWidget*, int, int>{&left, 0, 10}, {view, 20, 64}, {&right, 100, 20}})
        widget->setGeometry(x, 0, w, 48);
    view->SetPictureMemory(memory);
    top.show();
    for (int i = 0; i < 50 && !top.windowHandle()->isExposed(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    view->Present(FrameOf(picture, picture.Whole()));
    const int paints = view->PaintCount();
    EXPECT_EQ(view->SharedPuts(), 0) << "a picture shown first is painted whole";
    for (int i = 0; i < 64 * 48; ++i)
        picture.Pixels[static_cast<size_t>(i)] = 0xFF000000u | static_cast<uint32_t>(i * 4099);
    view->Present(FrameOf(picture, picture.Whole()));
    EXPECT_EQ(view->SharedPuts(), 1);
    EXPECT_EQ(view->PaintCount(), paints);
    // The pixels of the view's place that differ from the picture, read back from the server.
    const auto wrongOnScreen = [&] {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_drawable_t>(top.winId()), 20, 0,
                          64, 48, ~0u),
            nullptr);
        int wrong = image == nullptr || xcb_get_image_data_length(image) != 64 * 48 * 4 ? -1 : 0;
        const auto* shown = wrong == 0 ? reinterpret_cast<const uint32_t*>(xcb_get_image_data(image)) : nullptr;
        for (size_t i = 0; shown && i < 64 * 48; ++i) wrong += ((shown[i] ^ picture.Pixels[i]) & 0xFFFFFFu) != 0;
        std::free(image);
        return wrong;
    };
    EXPECT_EQ(wrongOnScreen(), 0);
    left.update();
    right.update();
    QCoreApplication::processEvents();
    EXPECT_EQ(wrongOnScreen(), 0) << "the neighbours' repaints leave the put picture alone";

    QExposeEvent expose{QRegion(top.rect())};
    QCoreApplication::sendEvent(top.windowHandle(), &expose);
    QCoreApplication::processEvents();
    EXPECT_GT(view->PaintCount(), paints) << "an exposed view paints the current picture";
    EXPECT_EQ(wrongOnScreen(), 0);
    view->SetOutline(std::array<int, 4>{1, 1, 8, 8});
    view->Present(FrameOf(picture, Clip32{0, 0, 4, 4}));
    view->SetOutline(std::nullopt);
    view->setGeometry(0, 0, 128, 96);
    view->Present(FrameOf(picture, Clip32{0, 0, 4, 4}));
    EXPECT_EQ(view->SharedPuts(), 1) << "an outline over the picture, or 2x, is painted";
}

TEST(QtKeys, LatchesShortTapsAndIgnoresOtherKeys) {
    gui::QtKeys keys;
    EXPECT_FALSE(keys.KeyEvent(Qt::Key_Q, true));
    EXPECT_TRUE(keys.KeyEvent(Qt::Key_Left, true));
    EXPECT_TRUE(keys.IsDown(Key::Left));
    EXPECT_TRUE(keys.Pressed(Key::Left));
    EXPECT_TRUE(keys.Pressed(Key::Left)) << "held keys read as pressed on every poll";
    keys.KeyEvent(Qt::Key_Left, false);
    EXPECT_FALSE(keys.Pressed(Key::Left));
    keys.KeyEvent(Qt::Key_Pause, true);
    keys.KeyEvent(Qt::Key_Pause, false);
    EXPECT_FALSE(keys.IsDown(Key::Pause));
    EXPECT_TRUE(keys.Pressed(Key::Pause));
    EXPECT_FALSE(keys.Pressed(Key::Pause));
    // The step key acts once per press, however long it is held.
    EXPECT_TRUE(keys.KeyEvent(Qt::Key_Period, true));
    EXPECT_TRUE(keys.Pressed(Key::Step));
    EXPECT_FALSE(keys.Pressed(Key::Step));
    // The speed keys count every press made between two reads.
    for (int i = 0; i < 2; ++i) {
        keys.KeyEvent(Qt::Key_BracketRight, true);
        keys.KeyEvent(Qt::Key_BracketRight, false);
    }
    EXPECT_EQ(keys.PressCount(Key::SpeedUp), 2);
    EXPECT_EQ(keys.PressCount(Key::SpeedUp), 0);
    keys.MouseButton(Key::MouseRight, true);
    keys.ReleaseAll();
    EXPECT_FALSE(keys.IsDown(Key::MouseRight));
}

TEST(QtKeys, NumericPadPlusAndMinusAreKeysOfTheirOwn) {
    gui::QtKeys keys;
    EXPECT_TRUE(keys.KeyEvent(Qt::Key_Plus, true, false)) << "the main keyboard's plus zooms in";
    EXPECT_TRUE(keys.IsDown(Key::ZoomIn));
    EXPECT_FALSE(keys.IsDown(Key::NumPlus));
    keys.KeyEvent(Qt::Key_Plus, false, false);
    EXPECT_TRUE(keys.KeyEvent(Qt::Key_Plus, true, true));
    EXPECT_TRUE(keys.IsDown(Key::NumPlus));
    keys.KeyEvent(Qt::Key_Plus, false, false);  // a release that lost the keypad flag
    EXPECT_FALSE(keys.IsDown(Key::NumPlus));
    keys.KeyEvent(Qt::Key_Minus, true, true);
    EXPECT_TRUE(keys.IsDown(Key::NumMinus));
    EXPECT_FALSE(keys.IsDown(Key::NumPlus));
    keys.KeyEvent(Qt::Key_Insert, true);
    EXPECT_TRUE(keys.IsDown(Key::Insert));
}

TEST(StageView, WidgetPointsMapToFramePixelsAtTheScale) {
    GuiApp();
    gui::StageView view;
    view.SetScale(3);
    EXPECT_EQ(view.ToFramePixels(QPoint(0, 0)), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(view.ToFramePixels(QPoint(8, 5)), (std::pair<int, int>{2, 1}));
    EXPECT_EQ(view.ToFramePixels(QPoint(959, 719)), (std::pair<int, int>{319, 239}));
    EXPECT_EQ(view.ToFramePixels(QPoint(-1, -3)), (std::pair<int, int>{-1, -1})) << "beside the picture";
}

TEST(QtUi, ContentTextAndFileFilters) {
    EXPECT_EQ(gui::FromContentText("caf\xC3\xA9"), QStringLiteral("caf\u00E9"));          // UTF-8
    EXPECT_EQ(gui::FromContentText("caf\xE9 \x80"), QStringLiteral("caf\u00E9 \u20AC"));  // cp1252
    FileDialogRequest request;
    request.filters = {{".def, .zip", "*.def;*.zip"}, {"All", "*"}};
    EXPECT_EQ(gui::NameFilters(request), (QStringList{".def, .zip (*.def *.zip)", "All (*)"}));
}

TEST(QtUi, BoxesWithoutATitleCarryTheApplicationTitle) {
    gui::QtUi ui;
    const std::string title = "Quillback .67 Beta by Tarnwick";
    ui.SetApplicationTitle(&title);
    std::string seen;
    ui.Script().msgBox = [&](const std::string&, MsgIcon, MsgButtons, const std::string& t) {
        seen = t;
        return MsgAnswer::Ok;
    };
    ui.MsgBox("x", MsgIcon::None, MsgButtons::Ok);
    EXPECT_EQ(seen, title);
    ui.MsgBox("x", MsgIcon::None, MsgButtons::Ok, "Own");
    EXPECT_EQ(seen, "Own");
}

}  // namespace
}  // namespace qb::test
