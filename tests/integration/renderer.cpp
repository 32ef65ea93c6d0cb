// The renderer on the real OpenGL under Xvfb: a window opened by SysInit, known draw lists
// rendered through RenderSys, the pixels read back after the swap.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "../draw_records.h"
#include "Vorn_glfw3.h"

namespace {

using Record = DrawRecord;
using Rgb = std::array<int, 3>;

constexpr int Width = 800, Height = 600;   // the window SysInit opens
constexpr Rgb Background = {0, 0, 80};
constexpr int Tolerance = 3;

std::array<double, 4> Opaque(const Rgb& c) { return {255, double(c[0]), double(c[1]), double(c[2])}; }

Record Rect(double x, double y, double w, double h, const Rgb& a, const Rgb& b) {
    return ShapeRecord(CmdRect, {x, y, w, h}, Opaque(a), Opaque(b));
}

class RendererGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
        ASys.SysInit("Renderer Test");
        ASSERT_NE(window, nullptr) << "SysInit opened no window";
    }
    static void TearDownTestSuite() { ASys.Close(); }

    void SetUp() override {
        ASSERT_NE(window, nullptr);
        for (float& f : ASys.DrawSet) f = 0;
        for (int c = 0; c < 3; ++c) ASys.DrawSet[DsClearNow + c] = ASys.DrawSet[DsClearTarget + c] = Background[c];
        ASys.DrawSet[DsClearDivisor] = 1;
        ASys.Button[FlagF10] = 0;
        Wireframe = 0;
    }

    // Renders the list and reads the frame just shown, bottom row first. Like the game's own
    // screenshots it reads after the swap: Mesa keeps the back buffer's contents, and a frame
    // that was lost would read as black and fail every check.
    void Render(const std::vector<Record>& list) {
        HandOver(list);
        ASys.RenderSys(0);
        ASSERT_EQ(ASys.CanvasWidth, Width);
        ASSERT_EQ(ASys.CanvasHeight, Height);
        pixels.assign(static_cast<size_t>(Width) * Height * 4, 0);
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // The colour at window pixel (x, y), y counted from the top.
    Rgb At(int x, int y) const {
        const unsigned char* p = &pixels[(static_cast<size_t>(Height - 1 - y) * Width + x) * 4];
        return {p[0], p[1], p[2]};
    }

    std::vector<unsigned char> pixels;
};

::testing::AssertionResult Near(const Rgb& got, const Rgb& want) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(got[c] - want[c]) > Tolerance)
            return ::testing::AssertionFailure()
                   << "got (" << got[0] << ", " << got[1] << ", " << got[2] << "), want (" << want[0] << ", "
                   << want[1] << ", " << want[2] << ")";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(RendererGl, EmptyListShowsTheClearColour) {
    Render({});
    for (auto [x, y] : {std::pair{0, 0}, {399, 299}, {799, 599}}) EXPECT_TRUE(Near(At(x, y), Background)) << x << "," << y;
}

TEST_F(RendererGl, RedRectangleCoversItsAreaOnly) {
    // 200 x 100 units at the centre of an 800-unit-wide screen: one unit is one pixel.
    const Rgb red = {255, 0, 0};
    Render({Rect(0, 0, 200, -100, red, red)});
    struct Case {
        int x, y;
        Rgb want;
    } cases[] = {
        {400, 300, red},         {305, 255, red},         {494, 344, red},
        {295, 300, Background},  {505, 300, Background},  {400, 245, Background},
        {400, 355, Background},  {10, 10, Background},    {790, 590, Background},
    };
    for (const Case& c : cases) EXPECT_TRUE(Near(At(c.x, c.y), c.want)) << c.x << "," << c.y;
}

TEST_F(RendererGl, RectangleOffCentreLandsWhereItsUnitsSay) {
    // Centre (-200, 150) units: window pixel (200, 450); y grows downward.
    const Rgb green = {0, 255, 0};
    Render({Rect(-200, 150, 40, -40, green, green)});
    EXPECT_TRUE(Near(At(200, 450), green));
    EXPECT_TRUE(Near(At(600, 150), Background));
}

TEST_F(RendererGl, GradientRunsFromColourBOnTopToColourAAtTheBottom) {
    const Rgb a = {0, 255, 0}, b = {0, 0, 255};
    Render({Rect(0, 0, 200, -200, a, b)});
    const Rgb top = At(400, 205), bottom = At(400, 394), middle = At(400, 300);
    EXPECT_GT(top[2], 230);
    EXPECT_LT(top[1], 25);
    EXPECT_GT(bottom[1], 230);
    EXPECT_LT(bottom[2], 25);
    EXPECT_GT(middle[1], 100);
    EXPECT_GT(middle[2], 100);
}

TEST_F(RendererGl, AdditiveBlendAddsAndTheNormalModeReplaces) {
    const Rgb red = {100, 0, 0}, green = {0, 100, 0};
    struct Case {
        const char* name;
        int mode;
        Rgb want;
    } cases[] = {
        {"additive", BlendAdd, {100, 100, 0}},
        {"normal", BlendAlpha, {0, 100, 0}},
    };
    for (const Case& c : cases) {
        Render({Rect(0, 0, 100, -100, red, red), BlendRecord(c.mode), Rect(0, 0, 100, -100, green, green)});
        EXPECT_TRUE(Near(At(400, 300), c.want)) << c.name;
    }
    // Additive over the background outside the first rectangle.
    Render({BlendRecord(BlendAdd), Rect(0, 0, 100, -100, green, green)});
    EXPECT_TRUE(Near(At(400, 300), {0, 100, 80}));
}

TEST_F(RendererGl, ImageSlotIsDrawnUpright) {
    // An 8 x 8 single image: top half white, bottom half red, drawn 80 units high.
    constexpr int slot = 0, side = 8;
    ASys.iFrames[slot] = 1;
    iFramesW[slot] = 1;
    iFramesWz[slot] = 1;
    iSize[slot] = side;
    ASys.iSizeScaled[slot] = 1;
    Image[slot].assign(side * side * 4, 255);
    for (int y = side / 2; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            unsigned char* p = &Image[slot][(y * side + x) * 4];
            p[1] = p[2] = 0;
        }
    ImageBlur[slot].assign(side * side * 4, 0);
    Record r = Rect(0, 0, 40, -40, {255, 255, 255}, {255, 255, 255});
    r[FieldCode] = CmdImage;
    r[FieldSlot] = slot;
    r[FieldFrame] = 0;
    Render({r});
    EXPECT_TRUE(Near(At(400, 270), {255, 255, 255}));
    EXPECT_TRUE(Near(At(400, 330), {255, 0, 0}));
    EXPECT_TRUE(Near(At(400, 200), Background));
}
