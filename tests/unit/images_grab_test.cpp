// Copies of the window: the grab square of the previous frame (sizes, centring, cropping of
// windows larger than the square), the screenshot slot and PNG file, and saving failures.
#include <GL/gl.h>

#include <cstdio>

#include "fakes.h"
#include "images_fixtures.h"

namespace {

// The fake window's pixel at (x, row counted from the top): distinct in red and green, blue
// 77, alpha 3 (the copies make it opaque).
Rgba WindowPixel(int x, int top_row) { return {x % 251, top_row % 241, 77, 3}; }

class Grabs : public ::testing::Test {
protected:
    void SetUp() override {
        ResetImageSlots();
        ResetFakes();
    }

    // A window of w x h pixels; glReadPixels hands them out bottom row first.
    static void Window(int w, int h) {
        ASys.CanvasWidth = w;
        ASys.CanvasHeight = h;
        FakeGl.framebufferWidth = w;
        FakeGl.framebufferHeight = h;
        FakeGl.framebuffer = Pixels(w, h, [h](int x, int y) { return WindowPixel(x, h - 1 - y); });
    }
};

TEST_F(Grabs, GrabCentresTheWindowInAPowerOfTwoSquare) {
    struct Case {
        int w, h, side, ox, oy;
    } cases[] = {
        {800, 600, 1024, 112, 212}, {1024, 768, 1024, 0, 128}, {1920, 1080, 2048, 64, 484},
        {50, 40, 64, 7, 12},        {2049, 100, 4096, 1024, 1998},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Window(c.w, c.h);
        ASys.GrabBuffer();
        EXPECT_EQ(ASys.iFrames[ImgGrab], 1);
        EXPECT_EQ(iSize[ImgGrab], c.side);
        EXPECT_EQ(iFramesW[ImgGrab], c.side);
        EXPECT_FLOAT_EQ(iFramesWz[ImgGrab], 1.0f);
        EXPECT_FLOAT_EQ(ASys.iSizeScaled[ImgGrab], static_cast<float>(c.side) / c.w);
        ASSERT_EQ(Image[ImgGrab].size(), static_cast<size_t>(c.side) * c.side * 4);
        // Upright and opaque: the window's top-left pixel at the offset, its bottom-right at
        // the far corner, nothing written just outside.
        Rgba tl = WindowPixel(0, 0), br = WindowPixel(c.w - 1, c.h - 1);
        EXPECT_EQ(TexelOf(ImgGrab, c.ox, c.oy), (Rgba{tl.r, tl.g, tl.b, 255}));
        EXPECT_EQ(TexelOf(ImgGrab, c.ox + c.w - 1, c.oy + c.h - 1), (Rgba{br.r, br.g, br.b, 255}));
        if (c.ox > 0) {
            EXPECT_EQ(TexelOf(ImgGrab, c.ox - 1, c.oy).a, 0);
        }
        if (c.oy + c.h < c.side) {
            EXPECT_EQ(TexelOf(ImgGrab, c.ox, c.oy + c.h).a, 0);
        }
        ASSERT_EQ(FakeGl.readPixelsCalls.size(), 1u);
        EXPECT_EQ(FakeGl.readPixelsCalls[0], (std::vector<int>{0, 0, c.w, c.h, GL_RGBA, GL_UNSIGNED_BYTE}));
        FakeGl.readPixelsCalls.clear();
        ResetImageSlots();
    }
}

TEST_F(Grabs, GrabOfAWindowLargerThanTheSquareTakesItsCentredPart) {
    struct Case {
        int w, h;
    } cases[] = {{5000, 300}, {300, 4500}, {4200, 4300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Window(c.w, c.h);
        ASys.GrabBuffer();
        const int side = GrabMaxSide;
        ASSERT_EQ(iSize[ImgGrab], side);
        ASSERT_EQ(Image[ImgGrab].size(), static_cast<size_t>(side) * side * 4);
        const int cw = std::min(c.w, side), ch = std::min(c.h, side);
        const int x0 = (c.w - cw) / 2, y0 = (c.h - ch) / 2;      // first window pixel kept
        const int ox = side / 2 - cw / 2, oy = side / 2 - ch / 2;  // where it lands
        Rgba first = WindowPixel(x0, y0), last = WindowPixel(x0 + cw - 1, y0 + ch - 1);
        EXPECT_EQ(TexelOf(ImgGrab, ox, oy), (Rgba{first.r, first.g, first.b, 255}));
        EXPECT_EQ(TexelOf(ImgGrab, ox + cw - 1, oy + ch - 1), (Rgba{last.r, last.g, last.b, 255}));
        EXPECT_FLOAT_EQ(ASys.iSizeScaled[ImgGrab], static_cast<float>(side) / c.w);
    }
}

TEST_F(Grabs, GrabKeepsTexelsOutsideTheWindowArea) {
    Window(100, 50);
    ASys.GrabBuffer();
    Image[ImgGrab][0] = 42;            // a texel the next grab does not cover
    Window(100, 60);
    ASys.GrabBuffer();
    EXPECT_EQ(Image[ImgGrab][0], 42);
    EXPECT_EQ(ASys.iFramesSquare[ImgGrab], 0);   // left as it was
}

TEST_F(Grabs, ScreenToBufferCopiesTheWindowUpright) {
    Window(7, 5);
    std::string out = Captured([] { ASys.ScreenToBuffer(); });
    EXPECT_EQ(out, "");
    ASSERT_EQ(Image[ImgScreenshot].size(), 7u * 5 * 4);
    ASSERT_EQ(Image[ImgScratch].size(), 7u * 5 * 4);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const unsigned char* p = &Image[ImgScreenshot][(y * 7 + x) * 4];
            Rgba want = WindowPixel(x, y);
            EXPECT_EQ((Rgba{p[0], p[1], p[2], p[3]}), (Rgba{want.r, want.g, want.b, 255}));
        }
    EXPECT_EQ(ASys.iFrames[ImgScreenshot], 0);   // fields untouched
    EXPECT_EQ(iSize[ImgScreenshot], 0);
}

TEST_F(Grabs, ScreenshotSavesTheWindowAsAPng) {
    Window(64, 32);
    std::string path = TmpDir() + "/Screenshot_test.png";
    std::remove(path.c_str());
    std::snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", path.c_str());
    std::string out = Captured([] { ASys.Screenshot(); });
    EXPECT_TRUE(HasLogLine(out, "Saving Image - 64x32  to " + path)) << out;
    std::vector<unsigned char> png;
    unsigned w = 0, h = 0;
    ASSERT_EQ(lodepng::decode(png, w, h, path), 0u);
    ASSERT_EQ(w, 64u);
    ASSERT_EQ(h, 32u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            const unsigned char* p = &png[(y * 64 + x) * 4];
            Rgba want = WindowPixel(x, y);
            ASSERT_EQ((Rgba{p[0], p[1], p[2], p[3]}), (Rgba{want.r, want.g, want.b, 255})) << x << ", " << y;
        }
}

TEST_F(Grabs, SaveFailuresAreLoggedWithTheEncoderError) {
    ASys.Buffer_Create(3, 8);
    const std::string dir = TmpDir();
    struct Case {
        std::string path;
        int slot;
        unsigned w, h;
        bool saved;
    } cases[] = {
        {dir + "/saved.png", 3, 8, 8, true},
        {dir + "/part.png", 3, 4, 2, true},               // the first texels of the slot
        {dir + "/no/such/folder/x.png", 3, 8, 8, false},
        {dir + "/toolarge.png", 3, 9, 9, false},          // more texels than the slot holds
        {dir + "/noslot.png", 200, 8, 8, false},
        {dir + "/empty.png", 4, 8, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::remove(c.path.c_str());
        std::string out = Captured([&] { ASys.SavePNG(c.path.c_str(), c.slot, c.w, c.h); });
        EXPECT_TRUE(HasLogLine(out, "Saving Image - " + std::to_string(c.w) + "x" + std::to_string(c.h) + "  to " +
                                        c.path))
            << out;
        const bool failed = out.find("> The image save didn't work.  All the images are unsaved!! ") != std::string::npos;
        EXPECT_EQ(failed, !c.saved) << out;
        FILE* f = std::fopen(c.path.c_str(), "rb");
        EXPECT_EQ(f != nullptr, c.saved);
        if (f) std::fclose(f);
    }
}

}  // namespace
