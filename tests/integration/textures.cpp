// Texture objects on the real OpenGL under Xvfb: a fixed scene drawn over several frames
// while slots change between them (the grabbed previous frame, a picture reloaded at the same
// and at another size, a buffer drawn into, the window re-created, smoothing turned on). The
// whole run is made twice: once as the game draws, keeping its textures from frame to frame,
// and once as the reference, every texture deleted before each frame so each is made and
// uploaded afresh from the CPU-side pixels. Frame by frame the pixels must be identical.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "VornCore.h"

namespace {

VornCore Core;

constexpr int ImgSheet = 0, ImgPicture = 2, ImgCanvas = 3, ImgFont = 51;
constexpr int CanvasSide = 64;
constexpr size_t FramesPerRun = 8;

// A size x size picture with a pattern of its own in each corner, some of it see-through.
std::string WritePicture(const std::string& dir, const std::string& name, int size, int seed) {
    std::vector<unsigned char> px(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            unsigned char* p = &px[(static_cast<size_t>(y) * size + x) * 4];
            p[0] = static_cast<unsigned char>(x * 7 + seed * 40);
            p[1] = static_cast<unsigned char>(y * 5 + seed * 90);
            p[2] = static_cast<unsigned char>((x ^ y) * 3 + seed);
            p[3] = static_cast<unsigned char>((x + y + seed) % 5 == 0 ? 0 : 255 - x);
        }
    const std::string path = dir + "/" + name + ".png";
    EXPECT_EQ(lodepng::encode(path, px, size, size), 0u) << path;
    return path;
}

// One update's drawing: sprites (plain and turned), text, every kind of shape, the three blend
// modes, the reloaded picture, the buffer and, once there is one, the grabbed previous frame.
void DrawScene(int frame) {
    Core.ResetDraw();
    Core.CLS(20, 30, 60);
    if (frame > 0) {
        Core.SetSize(0.5f);
        Core.SetCol(255, 255, 255, 0.8f);
        Core.DrawBuffer();
    }
    Core.SetSize(2);
    Core.SetCol(255, 255, 255);
    for (int i = 0; i < 12; ++i) {
        Core.SetRot(i % 3 == 0 ? 0.0f : static_cast<float>(i * 17 + frame * 9));
        Core.DrawImg(ImgSheet, 80.0f + i * 55, 90.0f + (i % 4) * 40, i + frame);
    }
    Core.SetRot(0);
    Core.SetSize(1.5f);
    Core.SetCol(255, 220, 80);
    Core.Text(400, 300, "Frame " + std::to_string(frame) + " of the textures", 1);
    Core.SetGradient(255, 0, 0, 1, 0, 0, 255, 0.7f);
    Core.Rect(150, 420, 120, 60);
    Core.Oval(330, 420, 70, 50);
    Core.Line(420, 380, 560, 460);
    Core.SetBlend(BlendAdd);
    Core.SetCol(90, 200, 40, 0.6f);
    Core.Rect(600, 420, 100, 100);
    Core.SetSize(3);
    Core.DrawImg(ImgPicture, 640, 150);
    Core.SetBlend(BlendInverseAdd);
    Core.SetCol(200, 100, 255);
    Core.Oval(690, 500, 90, 70);
    Core.DrawImg(ImgSheet, 560, 520, frame);
    Core.SetBlend(BlendAlpha);
    Core.SetSize(2);
    Core.DrawImg(ImgCanvas, 250, 530);
    Core.SetSize(1);
    Core.DrawImg(ImgPicture, 60, 540);
    Core.DebugMode = 0;
    Core.BufferGame();
}

// Renders the render copy and reads the frame back. The reference first deletes every
// texture, so this frame makes and uploads each one again from its slot's pixels.
std::vector<unsigned char> RenderAndRead(bool reference) {
    if (reference) DeleteTextures();
    float w = 0, h = 0;
    Core.RenderGame(w, h);
    std::vector<unsigned char> pixels(static_cast<size_t>(ASys.CanvasWidth) * ASys.CanvasHeight * 4);
    glFinish();
    glReadBuffer(GL_BACK);   // the frame just shown: Mesa keeps the back buffer after the swap
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, ASys.CanvasWidth, ASys.CanvasHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return pixels;
}

size_t Differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    if (a.size() != b.size()) return a.size() + b.size();
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

// The pictures of one run, written once into the scratch folder.
struct Pictures {
    std::string first, second, larger;
};

// One run from the framework's start to its end: the slots loaded, then every frame's change,
// scene and read-back. Gives the frames in order (empty when the run could not start).
std::vector<std::vector<unsigned char>> RunFrames(const Pictures& pictures, bool reference) {
    std::vector<std::vector<unsigned char>> frames;
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    Core.Begin(556, "Textures Test");
    EXPECT_NE(window, nullptr) << "SysInit opened no window";
    if (!window) return frames;
    std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
    Core.LoadFont(ImgFont, "entplain.png");
    Core.LoadImg(ImgSheet, "gfx", 16);
    ASys.GetPNG(ImgPicture, pictures.first.c_str(), 32);
    Core.CreateBuffer(ImgCanvas, CanvasSide);
    Core.BufferFill(ImgCanvas, 0, 90, 90, 255);
    EXPECT_GT(ASys.iFrames[ImgSheet], 12);
    EXPECT_EQ(ASys.iFrames[ImgPicture], 1);
    Core.Smooth(0);
    float w = 0, h = 0;
    Core.RenderGame(w, h);   // the window's geometry for the first update

    // What changes before each frame; every frame from the second on grabs the one before.
    const std::function<void()> changes[] = {
        [] {},
        [&] { ASys.GetPNG(ImgPicture, pictures.second.c_str(), 32); },       // same size, new pixels
        [] { Core.SetCol(255, 0, 0); Core.BufferLine(ImgCanvas, 0, 0, 63, 40); },
        [] { ASys.SetScreen(WindowWidth, WindowHeight); },                   // a new window and context
        [&] { ASys.GetPNG(ImgPicture, pictures.larger.c_str(), 64); },       // another size
        [] { Core.SetCol(255, 255, 0); Core.BufferPlot(ImgCanvas, 5, 5); Core.Smooth(1); },
        [] { ASys.SetScreen(640, 480); Core.BufferFill(ImgCanvas, 250, 10, 10, 128); },
        [] {},
    };
    static_assert(sizeof changes / sizeof changes[0] == FramesPerRun);
    for (const auto& change : changes) {
        if (!frames.empty()) Core.CopyBuffer();
        change();
        EXPECT_NE(window, nullptr) << "frame " << frames.size();
        if (!window) break;
        DrawScene(static_cast<int>(frames.size()));
        frames.push_back(RenderAndRead(reference));
    }
    Core.Terminate();
    return frames;
}

TEST(TexturesGl, FramesMatchTheFramesOfTexturesMadeAfreshEachFrame) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(data)) << "the generated data folder " << data << " is missing";
    const std::string tmp = std::string(BRINDLEWICK_TEST_TMP) + "/textures";
    std::filesystem::create_directories(tmp);
    const Pictures pictures{WritePicture(tmp, "first", 32, 1), WritePicture(tmp, "second", 32, 2),
                            WritePicture(tmp, "larger", 64, 3)};

    const auto kept = RunFrames(pictures, false);
    const auto reference = RunFrames(pictures, true);
    ASSERT_EQ(kept.size(), FramesPerRun) << "the run as the game draws stopped early";
    ASSERT_EQ(reference.size(), kept.size()) << "the reference run stopped early";
    for (size_t frame = 0; frame < kept.size(); ++frame) {
        ASSERT_EQ(kept[frame].size(), reference[frame].size()) << "frame " << frame;
        EXPECT_EQ(Differing(kept[frame], reference[frame]), 0u) << "bytes differ in frame " << frame;
        // The scene reaches the screen: far more than the clear colour is there.
        size_t background = 0;
        for (size_t i = 0; i + 4 <= kept[frame].size(); i += 4)
            background += kept[frame][i] == 20 && kept[frame][i + 1] == 30 && kept[frame][i + 2] == 60;
        EXPECT_LT(background, kept[frame].size() / 4 * 9 / 10) << "frame " << frame;
    }
}

}  // namespace
