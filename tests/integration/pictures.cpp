// Pictures on the real OpenGL under Xvfb: a sprite-sheet frame and a line of text in the
// generated font, drawn through the core's API and the renderer, saved with the screenshot of
// the F10 path, and the PNG's pixels compared with the source pictures' cells.
#include <gtest/gtest.h>
#include <lodepng.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "VornCore.h"

namespace {

VornCore Core;

constexpr int Width = 800, Height = 600;   // the window SysInit opens: one unit is one pixel
constexpr int Tolerance = 3;

struct Png {
    std::vector<unsigned char> px;
    unsigned w = 0, h = 0;
    const unsigned char* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

Png Decode(const std::string& path) {
    Png p;
    EXPECT_EQ(lodepng::decode(p.px, p.w, p.h, path), 0u) << path;
    return p;
}

bool Keyed(const unsigned char* p) {
    return (p[0] > 250 && p[1] <= 4 && p[2] > 250) || (p[0] <= 4 && p[1] > 250 && p[2] > 250);
}

// What the screen must show: the clear colour with every drawn cell blended over it, and
// which pixels a cell covers.
struct Expected {
    std::vector<std::array<double, 3>> rgb = std::vector<std::array<double, 3>>(Width * Height, {0, 0, 0});
    std::vector<bool> covered = std::vector<bool>(Width * Height, false);
    int ink = 0;   // covered pixels that a visible texel reaches

    // Frame f of a sheet of size-pixel cells (in the source picture), drawn centred at (cx, cy)
    // with every texel k pixels wide: the whole cell of size + 8 texels, border included.
    void Cell(const Png& src, int size, int f, int cx, int cy, int k, std::array<int, 3> colour) {
        const int columns = static_cast<int>(src.w) / size, pitch = size + 8;
        const int sx = (f % columns) * size, sy = (f / columns) * size;
        const int left = cx - pitch * k / 2, top = cy - pitch * k / 2;
        for (int r = 0; r < pitch; ++r)
            for (int c = 0; c < pitch; ++c) {
                double a = 0, t[3] = {0, 0, 0};
                if (c >= 4 && c < 4 + size && r >= 4 && r < 4 + size) {
                    const unsigned char* p = src.at(sx + c - 4, sy + r - 4);
                    if (!Keyed(p)) {
                        a = p[3] / 255.0;
                        for (int i = 0; i < 3; ++i) t[i] = p[i] * colour[i] / 255.0;
                    }
                }
                for (int y = top + r * k; y < top + (r + 1) * k; ++y)
                    for (int x = left + c * k; x < left + (c + 1) * k; ++x) {
                        auto& d = rgb[static_cast<size_t>(y) * Width + x];
                        for (int i = 0; i < 3; ++i) d[i] = t[i] * a + d[i] * (1 - a);
                        covered[static_cast<size_t>(y) * Width + x] = true;
                        if (a > 0.5) ++ink;
                    }
            }
    }
};

TEST(PicturesGl, SheetFrameAndTextReachTheScreenshot) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "no X display: run under xvfb-run";
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(data)) << "the generated data folder " << data << " is missing";
    const std::string tmp = BRINDLEWICK_TEST_TMP;
    std::filesystem::create_directories(tmp);
    const std::string shot = tmp + "/pictures_shot.png";
    std::filesystem::remove(shot);
    ASSERT_LT(shot.size(), sizeof ASys.ScreenshotName) << "scratch folder path too long for a screenshot name";

    Core.Begin(556, "Pictures Test");
    std::snprintf(Core.home, sizeof Core.home, "%s", data.parent_path().parent_path().c_str());
    Core.LoadFont(51, "entplain.png");
    Core.LoadImg(0, "gfx", 16);
    ASSERT_GT(ASys.iFrames[51], 'I' - 32);
    ASSERT_GT(ASys.iFrames[0], 1);

    float w = 0, h = 0;
    Core.RenderGame(w, h);   // the window's geometry for the update below
    ASSERT_EQ(ASys.CanvasWidth, Width);
    ASSERT_EQ(ASys.CanvasHeight, Height);

    Core.ResetDraw();
    Core.CLS(0, 0, 0);
    Core.Smooth(0);
    Core.SetSize(4);
    Core.DrawImg(0, 200, 150, 1);               // the gem, each texel 4 x 4 pixels
    Core.SetSize(2);
    Core.SetCol(255, 255, 0);
    Core.Text(400, 450, "HI", 1);              // glyphs centred at 400 and 428
    Core.DebugMode = 0;
    Core.BufferGame();
    std::snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", shot.c_str());
    ASys.Button[FlagF10] = 1;
    Core.RenderGame(w, h);
    ASys.Button[FlagF10] = 0;
    Core.Terminate();

    Png screen = Decode(shot);
    ASSERT_EQ(screen.w, static_cast<unsigned>(Width));
    ASSERT_EQ(screen.h, static_cast<unsigned>(Height));

    Expected e;
    const Png gfx = Decode((data / "gfx.png").string());
    const Png font = Decode((data / "entplain.png").string());
    e.Cell(gfx, 16, 1, 200, 150, 4, {255, 255, 255});
    const int gem_ink = e.ink;
    e.Cell(font, 32, 'H' - 32, 400, 450, 2, {255, 255, 0});
    e.Cell(font, 32, 'I' - 32, 428, 450, 2, {255, 255, 0});
    ASSERT_GT(gem_ink, 16 * 4) << "the gem frame has hardly any visible pixel";
    ASSERT_GT(e.ink - gem_ink, 2 * 16 * 4) << "the glyphs have hardly any visible pixel";

    int wrong = 0, checked = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const size_t i = static_cast<size_t>(y) * Width + x;
            if (!e.covered[i]) continue;
            ++checked;
            const unsigned char* p = screen.at(x, y);
            bool ok = p[3] == 255;
            for (int c = 0; c < 3; ++c) ok = ok && std::abs(p[c] - e.rgb[i][c]) <= Tolerance;
            if (!ok && ++wrong <= 10)
                ADD_FAILURE() << "pixel " << x << ", " << y << " is (" << int(p[0]) << ", " << int(p[1]) << ", "
                              << int(p[2]) << "), expected (" << e.rgb[i][0] << ", " << e.rgb[i][1] << ", "
                              << e.rgb[i][2] << ")";
        }
    EXPECT_EQ(wrong, 0) << "of " << checked << " pixels";
    // Far from everything drawn the screen shows the clear colour.
    for (auto [x, y] : {std::pair{10, 10}, std::pair{790, 590}, std::pair{600, 150}}) {
        const unsigned char* p = screen.at(x, y);
        EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << ", " << y;
    }
}

}  // namespace
