#include "render/frame_target.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/render/picture_file.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

struct CountingSink : FrameSink {
    int classic = 0, pictures = 0;
    void Present(const FrameImage& frame) override {
        ++(frame.format == FrameImage::Format::Rgb32 ? pictures : classic);
        last = frame;
    }
    std::shared_ptr<PixelMemory> PictureMemory() override { return memory; }
    FrameImage last;
    std::shared_ptr<PixelMemory> memory;
};

// Every question the layers above ask, for each picture a stage can draw into.
TEST(FrameTarget, AnswersForTheClassicAndTheModernPicture) {
    struct Case {
        const char* name;
        int localW, localH, hires, zOffset;
        double zoom;
        bool picture;
        int width, height, perUnit, viewWidth;
        double pivotY;
    };
    const Case cases[] = {
        {"classic", 320, 240, 0, 200, 1, false, 320, 240, 1, 320, 0},
        {"classic zoomed: the 32-bit picture at 320 x 240", 320, 240, 0, 200, 0.5, true, 320, 240, 1, 320, 200},
        {"modern at its own size, no zoffset: the bottom edge", 400, 300, 0, -1, 1, true, 400, 300, 1, 400, 300},
        {"hires: two pixels a unit", 320, 240, 1, 100, 1, true, 640, 480, 2, 320, 200},
    };
    a_allegro_init();
    const UniqueBitmap backBuffer = CreateBitmap(kViewWidth, kViewHeight);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StageModel stage;
        stage.LocalCoordW = c.localW;
        stage.LocalCoordH = c.localH;
        stage.Hires = static_cast<int16_t>(c.hires);
        stage.ZOffset = static_cast<int16_t>(c.zOffset);
        FrameTarget target(&backBuffer);
        target.Install(stage);
        CameraState camera;
        camera.Zoom = static_cast<float>(c.zoom);
        const Picture32* picture = target.BeginFrame(camera);
        ASSERT_EQ(picture != nullptr, c.picture);
        EXPECT_EQ(target.Picture(), picture);
        EXPECT_EQ(target.PixelSize().width, c.width);
        EXPECT_EQ(target.PixelSize().height, c.height);
        EXPECT_EQ(camera.ViewRight, c.picture ? c.width : CameraState{}.ViewRight);
        EXPECT_EQ(target.PixelsPerUnit(), c.perUnit);
        const PictureView view = target.CharacterView(camera);
        EXPECT_EQ(view.picture, picture);
        EXPECT_EQ(view.viewWidth, c.viewWidth);
        EXPECT_DOUBLE_EQ(view.pivotY, c.pivotY);

        CountingSink sink;
        Clip32 shown{0, 0, 4, 4};
        target.Present(sink, shown);
        EXPECT_EQ(sink.pictures, c.picture ? 1 : 0);
        EXPECT_EQ(sink.classic, c.picture ? 0 : 1);
        EXPECT_EQ(sink.last.width, c.width);
        EXPECT_EQ(sink.last.height, c.height);
        EXPECT_GE(sink.last.pitch, c.width);
        EXPECT_EQ(sink.last.changed.right, c.picture ? 4 : c.width) << "a 5-6-5 frame is handed whole";
        EXPECT_EQ(shown.Empty(), c.picture) << "what was shown is forgotten once presented";

        test::TempDir dir;
        std::string error;
        ASSERT_TRUE(target.Save(dir.Dir() + "frame.png", error)) << error;
        EXPECT_EQ(test::LoadPicture(dir.Dir() + "frame.png").width, c.width);
    }
}

// Memory that hands out heap blocks and knows which are its own.
struct FakePixelMemory : PixelMemory {
    bool refuse = false;
    std::set<void*, std::less<>> live;
    void* Allocate(size_t bytes) override { return refuse ? nullptr : *live.insert(::operator new(bytes)).first; }
    bool Release(void* pixels, size_t) override {
        if (live.erase(pixels) == 0) return false;
        ::operator delete(pixels);
        return true;
    }
};

// The sink's memory holds the picture from its first present on, with what the frame drew; copies
// (snapshots) never take it, and every picture made there goes back to it.
TEST(FrameTarget, MakesItsPictureInTheMemoryTheSinkShows) {
    auto memory = std::make_shared<FakePixelMemory>();
    StageModel stage;
    stage.LocalCoordW = 400;
    stage.LocalCoordH = 300;
    {
        FrameTarget target;
        target.Install(stage);
        CameraState camera;
        target.BeginFrame(camera)->Row(299)[399] = 0xFF123456u;
        CountingSink sink;
        sink.memory = memory;
        Clip32 shown;
        target.Present(sink, shown);
        ASSERT_EQ(memory->live.size(), 1u);
        EXPECT_TRUE(memory->live.count(sink.last.pixels)) << "the moved picture is the one shown";
        EXPECT_EQ(target.Picture()->Row(299)[399], 0xFF123456u);
        EXPECT_EQ(target.BeginFrame(camera)->Pixels.data(), sink.last.pixels) << "kept between frames";
        const Picture32 copy = *target.Picture();
        EXPECT_FALSE(memory->live.count(copy.Pixels.data()));
        EXPECT_EQ(copy.Pixels, target.Picture()->Pixels);

        stage.LocalCoordW = 500;
        target.Install(stage);
        target.BeginFrame(camera);
        ASSERT_EQ(memory->live.size(), 1u) << "the old size went back";
        EXPECT_TRUE(memory->live.count(target.Picture()->Pixels.data())) << "a new size is made there at once";
        sink.memory = nullptr;
        target.Present(sink, shown);
        EXPECT_TRUE(memory->live.empty()) << "a sink without memory takes the picture back to the heap";
        memory->refuse = true;
        sink.memory = memory;
        target.Present(sink, shown);
        EXPECT_TRUE(memory->live.empty()) << "refused memory leaves the picture on the heap";
    }
    EXPECT_TRUE(memory->live.empty());
}

}  // namespace
}  // namespace qb
