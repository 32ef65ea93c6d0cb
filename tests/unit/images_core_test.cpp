// The core's picture API over the real slot table and the fakes: asset paths and log lines of
// LoadImg and LoadFont, the image records with their refusals, the grabbed-frame record, the
// buffer forwarders, the start-up state of the slots and a sheet frame's texture coordinates.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "VornCore.h"
#include "fakes.h"
#include "images_fixtures.h"

namespace {

VornCore Core;   // the core alone, as a game object holds it

class CoreImages : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        ResetImageSlots();
        data_ = TmpDir("home") + "/Data/556";
        std::filesystem::create_directories(data_ + "/gfx");
        std::snprintf(Core.home, sizeof Core.home, "%s", TmpDir("home").c_str());
        Core.GameNum = 556;
        ASys.VirtualWidth = 800;
        ASys.ImageZoom = 1;
        ViewScale = 2 / ASys.VirtualWidth;
        rw2 = 400;
        rh2 = 300;
        ASys.DrawTo = 0;
        ASys.FontImage = 0;
        Core.ResetDraw();
    }

    // A one-colour 8 x 8 PNG in the data folder, told apart by its red channel.
    void DataPng(const std::string& name, int red) {
        std::string path = data_ + "/" + name;
        ASSERT_EQ(lodepng::encode(path, Pixels(8, 8, [red](int, int) { return Rgba{red, 1, 2, 255}; }), 8, 8), 0u);
    }

    const double* Record(int n) const { return ASys.Draw + n * DrawFields; }

    std::string data_;
};

TEST_F(CoreImages, LoadImgBuildsTheDataFolderPath) {
    struct Case {
        const char* name;      // as the game passes it
        const char* file;      // the file it must load
        const char* logged;    // the name in the log line
    } cases[] = {
        {"gfx\\sprites", "gfx/sprites.png", "gfx/sprites"},
        {"icons", "icons.png", "icons"},
        {"pic.png", "pic.png", "pic.png"},
        {"pic.Png", "pic.Png", "pic.Png"},
        {"pic.PNG", "pic.PNG", "pic.PNG"},
        {"pic.pNg", "pic.pNg.png", "pic.pNg"},
        {"png", "png.png", "png"},
        {".png", ".png", ".png"},
    };
    int red = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataPng(c.file, ++red);
        std::string out = Captured([&] { Core.LoadImg(3, c.name, 16); });
        EXPECT_TRUE(HasLogLine(out, std::string("Load Image : ") + c.logged + " ")) << out;
        EXPECT_FALSE(HasLogLine(out, "OMGERRORZ")) << out;
        ASSERT_EQ(ASys.iFrames[3], 1);
        EXPECT_EQ(iSize[3], 16);
        EXPECT_EQ(TexelOf(3, 0, 0).r, red);
        std::filesystem::remove(data_ + "/" + c.file);
    }
}

TEST_F(CoreImages, LoadImgOfAMissingFileLeavesTheSlotEmpty) {
    DataPng("there.png", 5);
    Core.LoadImg(6, "there", 16);
    std::string out = Captured([] { Core.LoadImg(6, "not_there", 16); });
    EXPECT_TRUE(HasLogLine(out, "Load Image : not_there ")) << out;
    EXPECT_TRUE(HasLogLine(out, "OMGERRORZ")) << out;
    EXPECT_EQ(ASys.iFrames[6], -1);
}

TEST_F(CoreImages, LoadFontUsesThirtyTwoPixelCellsAndBecomesTheFont) {
    std::string path = data_ + "/entplain.png";
    ASSERT_EQ(lodepng::encode(path, Pixels(320, 96, [](int x, int y) { return Rgba{x % 256, y, 9, 255}; }), 320, 96),
              0u);
    std::string out = Captured([] { Core.LoadFont(51, "entplain.png"); });
    EXPECT_TRUE(HasLogLine(out, "Load Font  : entplain.png ")) << out;
    EXPECT_EQ(ASys.FontImage, 51);
    EXPECT_EQ(ASys.iFrames[51], 30);
    EXPECT_EQ(ASys.iFramesSquare[51], 32);
    // A font that cannot be loaded is still made the current font.
    out = Captured([] { Core.LoadFont(52, "nofont"); });
    EXPECT_TRUE(HasLogLine(out, "Load Font  : nofont ")) << out;
    EXPECT_TRUE(HasLogLine(out, "OMGERRORZ")) << out;
    EXPECT_EQ(ASys.FontImage, 52);
}

TEST_F(CoreImages, ImageRecordsCarryPositionScaleSlotFrameAndState) {
    ASys.iFrames[3] = 4;
    ASys.ImageZoom = 1.5625f;
    Core.SetSize(2);
    Core.SetRot(30);
    Core.SetGradient(10, 20, 30, 0.5f, 40, 50, 60, 1);
    Core.DrawImg(3, 100, 50, 2);
    Core.DrawImg(3, 100, 50);
    Core.DrawBlur(3, 10, 20, 1);
    Core.DrawBlur(3, 10, 20);
    Core.QuadImg(3, 1, 2, 3, 4, 5, 6, 7, 8, 3);
    ASSERT_EQ(ASys.DrawTo, 5);
    struct Case {
        int code;
        double x, y;
        int frame;
    } cases[] = {{CmdImage, -300, -250, 2}, {CmdImage, -300, -250, 0}, {CmdImageBlur, -390, -280, 1},
                 {CmdImageBlur, -390, -280, 0}};
    for (int i = 0; i < 4; ++i) {
        const double* r = Record(i);
        EXPECT_EQ(r[FieldCode], cases[i].code) << i;
        EXPECT_EQ(r[FieldX], cases[i].x) << i;
        EXPECT_EQ(r[FieldY], cases[i].y) << i;
        EXPECT_FLOAT_EQ(r[FieldW], 800 * 1.5625f) << i;    // the size's scale, enlarged by ImageZoom
        EXPECT_FLOAT_EQ(r[FieldH], -800 * 1.5625f) << i;
        EXPECT_EQ(r[FieldSlot], 3) << i;
        EXPECT_EQ(r[FieldFrame], cases[i].frame) << i;
    }
    const double* q = Record(4);
    EXPECT_EQ(q[FieldCode], CmdQuadImage);
    const double corners[8] = {1 - 400, 2 - 300, 3 - 400, 4 - 300, 5 - 400, 6 - 300, 7 - 400, 8 - 300};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(q[FieldX + i], corners[i]) << "corner value " << i;
    EXPECT_EQ(q[FieldFrame], 3);
    for (int n = 0; n < 5; ++n)
        for (int i = 0; i < DrawStateFloats; ++i)
            EXPECT_EQ(Record(n)[FieldColourA + i], ASys.DrawSet[i]) << "record " << n << " state " << i;
    EXPECT_EQ(Record(0)[FieldRotation], 30);
    EXPECT_EQ(Record(0)[FieldColourA], 255);   // colour A alpha: the second colour of the gradient
    EXPECT_EQ(Record(0)[FieldColourB], 127.5);
}

TEST_F(CoreImages, EmptyOrUnknownSlotsLogAndAppendNothing) {
    ASys.iFrames[7] = -1;
    for (int slot : {7, -1, 105, 500}) {
        SCOPED_TRACE(slot);
        std::string out = Captured([&] {
            Core.DrawImg(slot, 0, 0);
            Core.DrawBlur(slot, 0, 0, 1);
            Core.QuadImg(slot, 0, 0, 1, 0, 1, 1, 0, 1, 0);
        });
        const std::string line = "> Missing Image " + std::to_string(slot) + "\n";
        size_t n = 0;
        for (size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) ++n;
        EXPECT_EQ(n, 3u) << out;
        EXPECT_EQ(ASys.DrawTo, 0);
    }
    // A slot with no whole cell still gets its record; the renderer draws frame 0.
    ASys.iFrames[8] = 0;
    Core.DrawImg(8, 0, 0, 5);
    EXPECT_EQ(ASys.DrawTo, 1);
}

TEST_F(CoreImages, DrawBufferNeedsAGrabbedFrame) {
    std::string out = Captured([] { Core.DrawBuffer(); });
    EXPECT_TRUE(HasLogLine(out, "Previous Buffer Missing")) << out;
    EXPECT_EQ(ASys.DrawTo, 0);

    ASys.CanvasWidth = 80;
    ASys.CanvasHeight = 60;
    Core.CopyBuffer();
    ASys.ImageZoom = 1.5625f;
    Core.SetSize(0.5f);
    Core.DrawBuffer();
    ASSERT_EQ(ASys.DrawTo, 1);
    const double* r = Record(0);
    EXPECT_EQ(r[FieldCode], CmdImage);
    EXPECT_EQ(r[FieldX], 0);
    EXPECT_EQ(r[FieldY], 0);
    EXPECT_FLOAT_EQ(r[FieldW], 200);       // no ImageZoom for the grab
    EXPECT_FLOAT_EQ(r[FieldH], -200);
    EXPECT_EQ(r[FieldSlot], ImgGrab);
    EXPECT_EQ(r[FieldFrame], 0);
}

TEST_F(CoreImages, BufferForwardersDrawWithColourA) {
    Core.CreateBuffer(40, 8);
    ASSERT_EQ(iSize[40], 8);
    Core.BufferFill(40, 1, 2, 3, 4);
    EXPECT_EQ(TexelOf(40, 7, 7), (Rgba{1, 2, 3, 4}));
    Core.BufferCLS(40);
    EXPECT_EQ(TexelOf(40, 7, 7), (Rgba{0, 0, 0, 0}));
    Core.SetGradient(200, 0, 0, 1, 0, 90, 180, 0.5f);   // colour B red, colour A (0, 90, 180, 127.5)
    Core.BufferPlot(40, 1.5f, 2.5f);
    EXPECT_EQ(TexelOf(40, 1, 2), (Rgba{0, 90, 180, 127}));
    Core.BufferLine(40, 0, 5, 3, 5);
    EXPECT_EQ(TexelOf(40, 2, 5), (Rgba{0, 90, 180, 127}));
    EXPECT_EQ(TexelOf(40, 3, 5).a, 0);
    Core.CreateBuffer(41, 16);
    Core.BufferTile(41, 40, 1, 1, 0);       // the cell origin (4, 4) of the 8-texel buffer
    EXPECT_EQ(TexelOf(41, 1, 2), (Rgba{0, 0, 0, 0}));
    Core.BufferPlot(40, 5, 6);
    Core.BufferTile(41, 40, 1, 1, 0);
    EXPECT_EQ(TexelOf(41, 2, 3), (Rgba{0, 90, 180, 127}));
}

TEST_F(CoreImages, TakeScreenshotSavesUnderTheScreenshotName) {
    ASys.CanvasWidth = 4;
    ASys.CanvasHeight = 2;
    std::string path = TmpDir() + "/core_shot.png";
    std::remove(path.c_str());
    std::snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", path.c_str());
    std::string out = Captured([] { Core.TakeScreenshot(); });
    EXPECT_TRUE(HasLogLine(out, "Saving Image - 4x2  to " + path)) << out;
    std::vector<unsigned char> png;
    unsigned w = 0, h = 0;
    EXPECT_EQ(lodepng::decode(png, w, h, path), 0u);
    EXPECT_EQ(w, 4u);
}

TEST_F(CoreImages, SetWindowRecreatesTheWindowAtThatSize) {
    Captured([] { Core.SetWindow(640, 360); });
    ASSERT_FALSE(FakeGlfw.windows.empty());
    EXPECT_EQ(FakeGlfw.windows.back().width, 640);
    EXPECT_EQ(FakeGlfw.windows.back().height, 360);
    window = nullptr;
}

TEST_F(CoreImages, SysInitLeavesEverySlotEmpty) {
    ASys.iFrames[3] = 5;
    ASys.iFrames[99] = 0;
    Captured([] { ASys.SysInit("slots"); });
    for (int s = 0; s < 100; ++s) EXPECT_EQ(ASys.iFrames[s], -1) << s;
    // The reserved slots hold no frame, and nothing draws slot 102 before the first grab.
    for (int s = 100; s < ImageSlots; ++s) EXPECT_EQ(ASys.iFrames[s], 0) << s;
    EXPECT_TRUE(HasLogLine(Captured([] { Core.DrawBuffer(); }), "Previous Buffer Missing"));
    Captured([] { ASys.Close(); });
}

TEST_F(CoreImages, RendererCutsTheSheetFrameOutOfTheTexture) {
    // 6 x 2 cells of 16 pixels: pitch 24, side 144 raised to 256, 10 cells a texture row, so
    // frame 11 lies in texture column 1 of row 1.
    std::string path = data_ + "/sheet.png";
    ASSERT_EQ(lodepng::encode(path, Pixels(96, 32, [](int x, int y) { return Rgba{x, y, 1, 255}; }), 96, 32), 0u);
    Core.LoadImg(4, "sheet", 16);
    ASSERT_EQ(iSize[4], 256);
    window = glfwCreateWindow(800, 600, "t", nullptr, nullptr);
    ASys.Aspect = 800.0f / 600;
    ASys.DrawSet[DsClearDivisor] = 1;
    WhiteBlock.assign(WhiteBlockSide * WhiteBlockSide * 4, 255);
    Core.DrawImg(4, 400, 300, 11);
    ASys.RenderBuffer();
    ASys.RenderSys(0);
    window = nullptr;

    ASSERT_EQ(FakeGl.uploads.size(), 1u);
    EXPECT_EQ(FakeGl.uploads[0].width, 256);
    EXPECT_EQ(FakeGl.uploads[0].pixels, Image[4]);
    std::vector<FakeVertex> v = FakeGlVertices();
    ASSERT_EQ(v.size(), 6u);
    const double z = 24.0 / 256, s0 = z, t0 = z, s1 = 2 * z, t1 = 2 * z;
    // P1, P2, P3, P1, P3, P4: the lower edge on screen (y - hh) takes the cell's lower rows.
    const double want[6][2] = {{s0, t1}, {s1, t1}, {s1, t0}, {s0, t1}, {s1, t0}, {s0, t0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(v[i].s, want[i][0], 1e-6) << "vertex " << i;
        EXPECT_NEAR(v[i].t, want[i][1], 1e-6) << "vertex " << i;
    }
    // The quad covers the whole cell, border included: pitch 24 at scale 1 is 12 units a side.
    EXPECT_NEAR(v[0].x, -12, 1e-4);
    EXPECT_NEAR(v[1].x, 12, 1e-4);
    // And the cell holds the sprite of source cell 11 (column 5, row 1) inside its border.
    EXPECT_EQ(TexelOf(4, 24 + 4, 24 + 4), (Rgba{80, 16, 1, 255}));
}

}  // namespace
