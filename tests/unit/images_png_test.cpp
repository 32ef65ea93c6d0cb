// Loading PNG files into image slots: single images, sprite sheets repacked with their borders
// and bleed, the colour keys, sheets too tall for their square, and files that cannot be
// loaded (missing, cut short, not PNG, absurdly large).
#include <fstream>

#include "images_fixtures.h"

namespace {

class PngLoad : public ::testing::Test {
protected:
    void SetUp() override { ResetImageSlots(); }
};

// Cell k of a sheet is painted (10 + k, 2 * row-in-cell, 3 * column-in-cell, 255), so every
// texel tells where it came from.
Rgba CellPaint(int x, int y, int size, int columns) {
    int k = (y / size) * columns + x / size;
    return {10 + k, 2 * (y % size), 3 * (x % size), 255};
}

TEST_F(PngLoad, SheetLayouts) {
    struct Case {
        const char* name;
        int w, h, size;
        int frames, side, per_row;
    } cases[] = {
        {"sheet_64x16.png", 64, 16, 16, 4, 128, 5},      // 4 x 24 = 96, raised to 128
        {"sheet_48x24.png", 48, 24, 24, 2, 64, 2},       // 2 x 32 = 64 exactly
        {"sheet_2240x56.png", 2240, 56, 56, 40, 2560, 40},  // above 2048: as computed
        {"sheet_96x40.png", 96, 40, 16, 12, 256, 10},    // the 8 rows below the cells are ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int columns = c.w / c.size, pitch = c.size + 8;
        std::string path = WritePng(c.name, c.w, c.h, [&](int x, int y) { return CellPaint(x, y, c.size, columns); });
        std::string out = Captured([&] { ASys.GetPNG(7, path.c_str(), c.size); });
        EXPECT_TRUE(HasLogLine(out, "    Loaded Spritesheet of " + std::to_string(c.frames) + " x " +
                                        std::to_string(c.size) + "x" + std::to_string(c.size) + " sprites"))
            << out;
        EXPECT_EQ(ASys.iFrames[7], c.frames);
        EXPECT_EQ(iSize[7], c.side);
        EXPECT_EQ(iFramesW[7], c.per_row);
        EXPECT_FLOAT_EQ(iFramesWz[7], static_cast<float>(pitch) / c.side);
        EXPECT_EQ(ASys.iFramesSquare[7], c.size);
        EXPECT_FLOAT_EQ(ASys.iSizeScaled[7], pitch / 800.0f);
        ASSERT_EQ(Image[7].size(), static_cast<size_t>(c.side) * c.side * 4);
        EXPECT_EQ(ImageBlur[7].size(), Image[7].size());
        for (int k = 0; k < c.frames; ++k) {
            const int tx = (k % c.per_row) * pitch, ty = (k / c.per_row) * pitch;
            EXPECT_EQ(TexelOf(7, tx + 4, ty + 4), (Rgba{10 + k, 0, 0, 255})) << "frame " << k;
            const int last = c.size - 1;
            EXPECT_EQ(TexelOf(7, tx + 4 + last, ty + 4 + last), (Rgba{10 + k, 2 * last, 3 * last, 255}));
            EXPECT_EQ(TexelOf(7, tx + 1, ty + 1).a, 0) << "border of frame " << k;
            EXPECT_EQ(TexelOf(7, tx + 5 + last, ty + 4).a, 0) << "right border of frame " << k;
        }
    }
}

TEST_F(PngLoad, SixtyFourBySixteenCellsSitAtTheirOffsets) {
    std::string path = WritePng("cells.png", 64, 16, [](int x, int y) { return CellPaint(x, y, 16, 4); });
    ASys.GetPNG(0, path.c_str(), 16);
    EXPECT_FLOAT_EQ(iFramesWz[0], 0.1875f);
    const int at[4] = {4, 28, 52, 76};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(TexelOf(0, at[k], 4).r, 10 + k);
}

TEST_F(PngLoad, SheetTallerThanItsSquareGrowsUntilEveryCellFits) {
    struct Case {
        int w, h, frames, side;
    } cases[] = {
        {32, 160, 20, 128},   // 2 x 10 cells: 64 holds 4 cells, 128 holds 25
        {32, 736, 92, 256},   // 2 x 46 cells, like a sheet whose frames 90 and 91 are needed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        std::string path = WritePng("tall.png", c.w, c.h, [&](int x, int y) { return CellPaint(x, y, 16, c.w / 16); });
        ASys.GetPNG(2, path.c_str(), 16);
        EXPECT_EQ(ASys.iFrames[2], c.frames);
        EXPECT_EQ(iSize[2], c.side);
        ASSERT_EQ(Image[2].size(), static_cast<size_t>(c.side) * c.side * 4);
        const int per_row = c.side / 24;
        EXPECT_EQ(iFramesW[2], per_row);
        const int last = c.frames - 1;
        EXPECT_EQ(TexelOf(2, (last % per_row) * 24 + 4, (last / per_row) * 24 + 4).r, 10 + last);
    }
}

TEST_F(PngLoad, SheetBeyondTheLargestTextureKeepsTheCellsThatFit) {
    // 512 x 512 one-pixel cells need more than any texture holds: 4096 / 9 = 455 cells a row.
    std::string path = WritePng("huge_sheet.png", 512, 512, [](int x, int y) { return Rgba{x % 256, y % 256, 7, 255}; });
    std::string out = Captured([&] { ASys.GetPNG(4, path.c_str(), 1); });
    EXPECT_EQ(iSize[4], TextureMaxSide);
    ASSERT_EQ(Image[4].size(), static_cast<size_t>(TextureMaxSide) * TextureMaxSide * 4);
    EXPECT_EQ(iFramesW[4], 455);
    EXPECT_EQ(ASys.iFrames[4], 455 * 455);
    EXPECT_TRUE(HasLogLine(out, "    Spritesheet too large: kept 207025 of 262144 sprites")) << out;
    // The last kept cell is source cell 207024: column 207024 mod 512, row 207024 div 512.
    const int k = 455 * 455 - 1;
    EXPECT_EQ(TexelOf(4, (k % 455) * 9 + 4, (k / 455) * 9 + 4), (Rgba{(k % 512) % 256, (k / 512) % 256, 7, 255}));
}

TEST_F(PngLoad, SingleImagesFillTheirSquareFromTheTopLeft) {
    struct Case {
        int w, h, size;
    } cases[] = {
        {32, 20, 32},   // shorter than the cell: the bottom 12 rows are transparent black
        {20, 32, 32},   // narrower
        {16, 48, 16},   // as wide as the cell but three cells tall: one frame, top 16 rows
        {5, 3, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " at " << c.size);
        std::string path = WritePng("single.png", c.w, c.h, [](int x, int y) { return Rgba{x, y, 99, 200}; });
        std::string out = Captured([&] { ASys.GetPNG(9, path.c_str(), c.size); });
        std::string s = std::to_string(c.size);
        EXPECT_TRUE(HasLogLine(out, "    Loaded " + s + "x" + s + " Image")) << out;
        EXPECT_EQ(ASys.iFrames[9], 1);
        EXPECT_EQ(iSize[9], c.size);
        EXPECT_EQ(iFramesW[9], c.size);
        EXPECT_FLOAT_EQ(iFramesWz[9], 1.0f);
        EXPECT_EQ(ASys.iFramesSquare[9], c.size);
        EXPECT_FLOAT_EQ(ASys.iSizeScaled[9], c.size / 800.0f);
        ASSERT_EQ(Image[9].size(), static_cast<size_t>(c.size) * c.size * 4);
        for (int y = 0; y < c.size; ++y)
            for (int x = 0; x < c.size; ++x) {
                Rgba want = (x < c.w && y < c.h) ? Rgba{x, y, 99, 200} : Rgba{0, 0, 0, 0};
                ASSERT_EQ(TexelOf(9, x, y), want) << "texel " << x << ", " << y;
            }
    }
}

// The colour keys, pixel by pixel: each case is one pixel of a 12 x 1 picture.
struct KeyCase {
    Rgba colour;
    bool keyed;
};
const KeyCase KeyCases[] = {
    {{255, 0, 255, 255}, true},  {{251, 4, 251, 255}, true},   {{250, 0, 255, 255}, false},
    {{255, 5, 255, 255}, false}, {{255, 0, 250, 128}, false},  {{0, 255, 255, 255}, true},
    {{4, 251, 251, 10}, true},   {{5, 255, 255, 255}, false},  {{0, 250, 255, 255}, false},
    {{0, 255, 250, 255}, false}, {{255, 255, 255, 255}, false}, {{255, 0, 255, 0}, true},
};
constexpr int KeyCount = sizeof KeyCases / sizeof KeyCases[0];

TEST_F(PngLoad, ColourKeyInASingleImageClearsThePixel) {
    std::string path = WritePng("keys.png", KeyCount, 1, [](int x, int) { return KeyCases[x].colour; });
    ASys.GetPNG(1, path.c_str(), 16);
    for (int i = 0; i < KeyCount; ++i)
        EXPECT_EQ(TexelOf(1, i, 0), (KeyCases[i].keyed ? Rgba{0, 0, 0, 0} : KeyCases[i].colour)) << "case " << i;
}

TEST_F(PngLoad, ColourKeyInASheetClearsAlphaAndBleeds) {
    // Two 16-pixel cells; cell 0 is opaque (40, 80, 120) with the key cases on the even pixels
    // of its row 5, so each has eight opaque neighbours; cell 1 is all key magenta.
    std::string path = WritePng("keysheet.png", 32, 16, [](int x, int y) -> Rgba {
        if (x >= 16) return {255, 0, 255, 255};
        if (y == 5 && x % 2 == 0 && x / 2 < KeyCount) return KeyCases[x / 2].colour;
        return {40, 80, 120, 255};
    });
    ASys.GetPNG(1, path.c_str(), 16);
    for (int i = 0; i < 8; ++i) {
        Rgba t = TexelOf(1, 4 + 2 * i, 4 + 5);
        if (KeyCases[i].keyed) {
            // Transparent, and the mean of its eight opaque neighbours.
            EXPECT_EQ(t.a, 0) << "case " << i;
            EXPECT_EQ(t.r, 40) << "case " << i;
        } else {
            EXPECT_EQ(t, KeyCases[i].colour) << "case " << i;
        }
    }
    // Cell 1 is all key: transparent with no visible neighbour inside, so black.
    EXPECT_EQ(TexelOf(1, 24 + 4 + 8, 4 + 8), (Rgba{0, 0, 0, 0}));
}

TEST_F(PngLoad, BleedGivesTransparentTexelsTheMeanOfVisibleNeighbours) {
    // One sprite of 16 x 16 in a two-cell sheet; its top-left corner pixels carry colours,
    // the pixel at (3, 0) is half transparent, the rest of the row opaque grey.
    std::string path = WritePng("bleed.png", 32, 16, [](int x, int y) -> Rgba {
        if (x >= 16) return {0, 0, 0, 0};
        if (x == 0 && y == 0) return {90, 30, 60, 255};
        if (x == 0 && y == 1) return {30, 91, 0, 255};
        if (x == 3 && y == 0) return {7, 7, 7, 128};
        if (y == 0) return {200, 200, 200, 255};
        return {0, 0, 0, 0};
    });
    ASys.GetPNG(3, path.c_str(), 16);
    struct Case {
        int x, y;
        Rgba want;
    } cases[] = {
        {3, 3, {90, 30, 60, 0}},                 // one visible neighbour
        {3, 4, {60, 60, 30, 0}},                 // (90 + 30) / 2, (30 + 91) / 2 truncated, (60 + 0) / 2
        {3, 6, {30, 91, 0, 0}},
        {1, 1, {0, 0, 0, 0}},                    // nothing visible nearby
        {7, 3, {(200 + 7 + 200) / 3, (200 + 7 + 200) / 3, (200 + 7 + 200) / 3, 0}},  // reads the half-transparent
        {7, 4, {7, 7, 7, 128}},                  // partly transparent texels are kept as they are
        {5, 5, {130, 130, 115, 0}},                // four visible: two grey, two coloured
    };
    for (const Case& c : cases) EXPECT_EQ(TexelOf(3, c.x, c.y), c.want) << "texel " << c.x << ", " << c.y;
}

// PNG bytes of a tiny picture whose header claims w x h pixels (with a valid checksum).
std::vector<unsigned char> PngClaiming(unsigned w, unsigned h) {
    std::vector<unsigned char> png;
    EXPECT_EQ(lodepng::encode(png, Pixels(1, 1, [](int, int) { return Rgba{1, 2, 3, 255}; }), 1, 1), 0u);
    unsigned char* ihdr = &png[8];   // length, "IHDR", width, height, ...
    for (int i = 0; i < 4; ++i) {
        ihdr[8 + i] = static_cast<unsigned char>(w >> (24 - 8 * i));
        ihdr[12 + i] = static_cast<unsigned char>(h >> (24 - 8 * i));
    }
    lodepng_chunk_generate_crc(ihdr);
    return png;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(PngLoad, UnloadableFilesLeaveTheSlotEmpty) {
    const std::string dir = TmpDir();
    std::vector<unsigned char> good;
    ASSERT_EQ(lodepng::encode(good, Pixels(40, 40, [](int x, int y) { return Rgba{x, y, x ^ y, 255}; }), 40, 40), 0u);
    WriteBytes(dir + "/truncated.png", std::vector<unsigned char>(good.begin(), good.begin() + good.size() / 2));
    WriteBytes(dir + "/notpng.png", std::vector<unsigned char>{'h', 'e', 'l', 'l', 'o', '\n'});
    WriteBytes(dir + "/empty.png", {});
    WriteBytes(dir + "/absurd.png", PngClaiming(100000, 100000));
    WriteBytes(dir + "/wide.png", PngClaiming(PngMaxSide + 1, 1));
    WriteBytes(dir + "/good.png", good);
    struct Case {
        std::string path;
        unsigned size;
    } cases[] = {
        {dir + "/missing.png", 16}, {dir + "/truncated.png", 16}, {dir + "/notpng.png", 16},
        {dir + "/empty.png", 16},   {dir + "/absurd.png", 16},    {dir + "/wide.png", 16},
        {dir, 16},                                   // a folder
        {dir + "/good.png", 0},                      // no cells of size 0
        {dir + "/good.png", 100000},                 // a square no texture can hold
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " at " + std::to_string(c.size));
        ASys.GetPNG(5, (dir + "/good.png").c_str(), 64);
        ASSERT_EQ(ASys.iFrames[5], 1);
        std::string out = Captured([&] { ASys.GetPNG(5, c.path.c_str(), c.size); });
        EXPECT_TRUE(HasLogLine(out, "OMGERRORZ")) << out;
        EXPECT_EQ(ASys.iFrames[5], -1);
    }
}

TEST_F(PngLoad, SlotOutsideTheLoadableRangeIsRefused) {
    std::string path = WritePng("small.png", 8, 8, [](int, int) { return Rgba{1, 1, 1, 255}; });
    for (int slot : {100, 102, -1, 105}) {
        std::string out = Captured([&] { ASys.GetPNG(slot, path.c_str(), 16); });
        EXPECT_EQ(out, "Image number out of bounds");
    }
    EXPECT_EQ(ASys.iFrames[100], 0);
    EXPECT_EQ(ASys.iFrames[102], 0);
    EXPECT_TRUE(Image[100].empty());
}

TEST_F(PngLoad, ReloadingReplacesTheSlot) {
    std::string sheet = WritePng("re_sheet.png", 64, 16, [](int x, int y) { return CellPaint(x, y, 16, 4); });
    std::string single = WritePng("re_single.png", 8, 8, [](int, int) { return Rgba{5, 6, 7, 255}; });
    ASys.GetPNG(8, sheet.c_str(), 16);
    ASys.GetPNG(8, single.c_str(), 32);
    EXPECT_EQ(ASys.iFrames[8], 1);
    EXPECT_EQ(iSize[8], 32);
    EXPECT_EQ(TexelOf(8, 4, 4), (Rgba{5, 6, 7, 255}));
    EXPECT_EQ(TexelOf(8, 20, 20), (Rgba{0, 0, 0, 0}));
    EXPECT_EQ(ImageBlur[8], std::vector<unsigned char>(32 * 32 * 4, 0));
}

}  // namespace
