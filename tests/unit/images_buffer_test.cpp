// Offscreen buffers edited texel by texel: creation, fill, plot and line with their clamping
// and clipping, and tiling sheet frames into a buffer.
#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "images_fixtures.h"

namespace {

using Texels = std::set<std::pair<int, int>>;

class Buffers : public ::testing::Test {
protected:
    void SetUp() override { ResetImageSlots(); }

    // The texels of a slot whose alpha is not 0.
    static Texels Visible(int slot) {
        Texels out;
        for (int y = 0; y < iSize[slot]; ++y)
            for (int x = 0; x < iSize[slot]; ++x)
                if (TexelOf(slot, x, y).a != 0) out.insert({x, y});
        return out;
    }
};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

TEST_F(Buffers, CreateMakesATransparentSquareOfOneFrame) {
    for (int slot : {0, 99, 100}) {
        ASys.Buffer_Create(slot, 16);
        EXPECT_EQ(ASys.iFrames[slot], 1);
        EXPECT_EQ(iSize[slot], 16);
        EXPECT_EQ(iFramesW[slot], 16);
        EXPECT_FLOAT_EQ(iFramesWz[slot], 1.0f);
        EXPECT_EQ(ASys.iFramesSquare[slot], 16);
        EXPECT_FLOAT_EQ(ASys.iSizeScaled[slot], 16 / 800.0f);
        EXPECT_EQ(Image[slot], std::vector<unsigned char>(16 * 16 * 4, 0));
        EXPECT_EQ(ImageBlur[slot], std::vector<unsigned char>(16 * 16 * 4, 0));
    }
    // Used buffers are cleared again.
    ASys.Buffer_Fill(0, 1, 2, 3, 4);
    ASys.Buffer_Create(0, 8);
    EXPECT_EQ(Image[0], std::vector<unsigned char>(8 * 8 * 4, 0));
}

TEST_F(Buffers, CreateIgnoresSlotsAndSidesItCannotHold) {
    for (int slot : {-1, 101, 102, 104, 105}) ASys.Buffer_Create(slot, 16);
    for (int s = 101; s < ImageSlots; ++s) EXPECT_EQ(iSize[s], 0) << s;
    EXPECT_EQ(ASys.iFrames[102], 0);
    ASys.Buffer_Create(3, -5);
    ASys.Buffer_Create(3, TextureMaxSide + 1);
    EXPECT_EQ(ASys.iFrames[3], -1);
    EXPECT_TRUE(Image[3].empty());
}

TEST_F(Buffers, FillClampsEachChannel) {
    ASys.Buffer_Create(2, 4);
    ASys.Buffer_Fill(2, 300, -5, 128, 255);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(TexelOf(2, x, y), (Rgba{255, 0, 128, 255}));
}

TEST_F(Buffers, DrawingIntoSlotsWithoutASquareDoesNothing) {
    // Never created, and out of the table: no effect, no crash.
    for (int slot : {4, -1, 105, 1000}) {
        ASys.Buffer_Fill(slot, 1, 1, 1, 1);
        ASys.Buffer_Plot(slot, 0, 0, 1, 1, 1, 1);
        ASys.Buffer_Line(slot, 0, 0, 5, 5, 1, 1, 1, 1);
        ASys.Buffer_Tile(slot, slot, 0, 0, 0);
    }
    EXPECT_TRUE(Image[4].empty());
}

TEST_F(Buffers, ScreenshotSlotShorterThanItsSquareIsNotOverrun) {
    // A window copy resizes slot 100 to the window; a later fill covers only what is there.
    ASys.Buffer_Create(100, 64);
    Image[100].resize(10 * 10 * 4);
    ASys.Buffer_Fill(100, 9, 9, 9, 9);
    ASys.Buffer_Plot(100, 63, 63, 1, 1, 1, 1);
    ASys.Buffer_Line(100, 0, 63, 63, 63, 1, 1, 1, 1);
    EXPECT_EQ(Image[100].size(), 400u);
    EXPECT_EQ(Image[100][399], 9);
}

TEST_F(Buffers, PlotFloorsAndClips) {
    struct Case {
        float x, y;
        bool set;
        int tx, ty;
    } cases[] = {
        {-0.5f, 3, false, 0, 0},  {2.9f, 3.1f, true, 2, 3}, {0, 0, true, 0, 0},     {7.99f, 7.99f, true, 7, 7},
        {8, 0, false, 0, 0},      {0, 8, false, 0, 0},       {NaN, 1, false, 0, 0},  {1, Inf, false, 0, 0},
        {-Inf, 1, false, 0, 0},   {3e9f, 1, false, 0, 0},    {1, -3e9f, false, 0, 0},
    };
    for (const Case& c : cases) {
        ASys.Buffer_Create(1, 8);
        ASys.Buffer_Plot(1, c.x, c.y, 10, 20, 30, 40);
        Texels want;
        if (c.set) want.insert({c.tx, c.ty});
        EXPECT_EQ(Visible(1), want) << "plot at " << c.x << ", " << c.y;
    }
}

TEST_F(Buffers, PlotClampsAndTruncatesTheColour) {
    ASys.Buffer_Create(1, 4);
    ASys.Buffer_Plot(1, 1, 1, 12.7f, 300, -3, 254.9f);
    EXPECT_EQ(TexelOf(1, 1, 1), (Rgba{12, 255, 0, 254}));
    ASys.Buffer_Plot(1, 2, 2, NaN, 1, 1, 255);
    EXPECT_EQ(TexelOf(1, 2, 2), (Rgba{0, 1, 1, 255}));
}

TEST_F(Buffers, LineSetsATexelInEveryColumnAndRowItSpans) {
    struct Case {
        float x1, y1, x2, y2;
        Texels want;
    } cases[] = {
        {0, 0, 3, 0, {{0, 0}, {1, 0}, {2, 0}}},                   // the end point is not plotted
        {3, 0, 0, 0, {{0, 0}, {1, 0}, {2, 0}}},                   // either way round
        {0, 3, 3, 0, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}},           // both passes
        {2, 0, 2, 4, {{2, 0}, {2, 1}, {2, 2}, {2, 3}}},           // vertical: rows only
        {0, 0, 1, 5, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},   // steep: no gaps
        {1.5f, 1.5f, 1.5f, 1.5f, {}},                              // a point: no texel
        {-3, 2, 3, 2, {{0, 2}, {1, 2}, {2, 2}}},                  // clipped on the left
        {6, 7, 10, 7, {{6, 7}, {7, 7}}},                          // and on the right
        {-1e9f, 5, 1e9f, 5, {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}}},
        {20, 20, 30, 30, {}},                                     // all outside
        {NaN, 0, 3, 3, {}},
        {0, 0, Inf, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}}},
    };
    for (const Case& c : cases) {
        ASys.Buffer_Create(1, 8);
        ASys.Buffer_Line(1, c.x1, c.y1, c.x2, c.y2, 255, 255, 255, 255);
        EXPECT_EQ(Visible(1), c.want) << "line " << c.x1 << ", " << c.y1 << " to " << c.x2 << ", " << c.y2;
    }
}

TEST_F(Buffers, LineUsesItsColour) {
    ASys.Buffer_Create(1, 4);
    ASys.Buffer_Line(1, 0, 1, 4, 1, 300, 7.5f, -1, 128);
    EXPECT_EQ(TexelOf(1, 3, 1), (Rgba{255, 7, 0, 128}));
}

// A two-frame sheet of 4-pixel sprites: frame f's pixel (i, j) is (f, i, j, alpha), with alpha
// 0 on the sprite's diagonal and 128 at (3, 0).
std::string TileSheet() {
    return WritePng("tiles.png", 8, 4, [](int x, int y) {
        int f = x / 4, i = x % 4;
        int alpha = i == y ? 0 : (i == 3 && y == 0 ? 128 : 255);
        return Rgba{50 + f, i, y, alpha};
    });
}

TEST_F(Buffers, TileCopiesVisibleTexelsOfAFrame) {
    std::string path = TileSheet();
    ASys.GetPNG(10, path.c_str(), 4);
    ASSERT_EQ(ASys.iFrames[10], 2);
    ASys.Buffer_Create(11, 16);
    ASys.Buffer_Fill(11, 9, 9, 9, 255);
    ASys.Buffer_Tile(11, 10, 10.7f, 3.2f, 1);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            Rgba want = i == j ? Rgba{9, 9, 9, 255}   // transparent: skipped
                               : Rgba{51, i, j, i == 3 && j == 0 ? 128 : 255};  // copied, not blended
            EXPECT_EQ(TexelOf(11, 10 + i, 3 + j), want) << i << ", " << j;
        }
    EXPECT_EQ(TexelOf(11, 14, 3), (Rgba{9, 9, 9, 255}));
}

TEST_F(Buffers, TileRefusesFramesOutsideTheSource) {
    std::string path = TileSheet();
    ASys.GetPNG(10, path.c_str(), 4);
    ASys.Buffer_Create(11, 16);
    for (int frame : {2, -1, 1000}) ASys.Buffer_Tile(11, 10, 0, 0, frame);
    EXPECT_TRUE(Visible(11).empty());
    ASys.Buffer_Tile(11, 12, 0, 0, 0);   // a source never loaded
    ASys.Buffer_Tile(12, 10, 0, 0, 0);   // a destination never created
    EXPECT_TRUE(Visible(11).empty());
    EXPECT_TRUE(Image[12].empty());
}

TEST_F(Buffers, TileClipsAtTheDestinationEdges) {
    std::string path = TileSheet();
    ASys.GetPNG(10, path.c_str(), 4);
    struct Case {
        float x, y;
        Texels want;
    } cases[] = {
        {-2, -2, {{0, 1}, {1, 0}}},                     // sprite (2..3, 2..3) lands at (0..1, 0..1)
        {6, 6, {{7, 6}, {6, 7}}},                       // sprite (0..1, 0..1) lands at (6..7, 6..7)
        {-4, 0, {}},                                    // wholly left
        {8, 8, {}},                                     // wholly below and right
        {NaN, 0, {}},
        {-1e10f, 1e10f, {}},
    };
    for (const Case& c : cases) {
        ASys.Buffer_Create(11, 8);
        ASys.Buffer_Tile(11, 10, c.x, c.y, 0);
        EXPECT_EQ(Visible(11), c.want) << "tile at " << c.x << ", " << c.y;
    }
}

TEST_F(Buffers, TileReadsASingleImageAtTheSheetCellOrigin) {
    // A buffer as source: frame 0's sprite starts at its texel (4, 4), and texels beyond the
    // source's square are skipped.
    ASys.Buffer_Create(20, 6);
    ASys.Buffer_Plot(20, 4, 4, 1, 2, 3, 255);
    ASys.Buffer_Plot(20, 5, 5, 4, 5, 6, 255);
    ASys.Buffer_Plot(20, 0, 0, 7, 7, 7, 255);
    ASys.Buffer_Create(21, 16);
    ASys.Buffer_Tile(21, 20, 0, 0, 0);
    EXPECT_EQ(Visible(21), (Texels{{0, 0}, {1, 1}}));
    EXPECT_EQ(TexelOf(21, 0, 0), (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(TexelOf(21, 1, 1), (Rgba{4, 5, 6, 255}));
}

}  // namespace
