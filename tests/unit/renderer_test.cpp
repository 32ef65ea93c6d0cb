// The renderer through the GL and GLFW fakes: vertices, colours and texture coordinates per
// command code, batching, texture objects and their uploads, rotation, the clear-colour fade,
// statistics, image slots and frames, blend modes, wireframe, overscan and the hand-over of
// the draw list.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../draw_records.h"
#include "Vorn_glfw3.h"
#include "fakes.h"
#include "images_fixtures.h"

namespace {

using Record = DrawRecord;

// Colour A and colour B of every shape below (alpha, red, green, blue).
constexpr std::array<double, 4> ColourA = {255, 10, 20, 30};
constexpr std::array<double, 4> ColourB = {128, 40, 50, 60};

Record Shape(int code, const std::vector<double>& points) { return ShapeRecord(code, points, ColourA, ColourB); }

Record ImageRec(int code, int slot, double frame, const std::vector<double>& points) {
    Record r = Shape(code, points);
    r[FieldSlot] = slot;
    r[FieldFrame] = frame;
    return r;
}

Record Blend(double mode) { return BlendRecord(mode); }

// Fills a slot as a sprite sheet: frames cells, perRow to a row, cell side z texture units.
void FillSlot(int slot, int frames, int perRow, float z, int side, float scale, unsigned char tag) {
    ASys.iFrames[slot] = frames;
    iFramesW[slot] = perRow;
    iFramesWz[slot] = z;
    iSize[slot] = side;
    ASys.iSizeScaled[slot] = scale;
    Image[slot].assign(static_cast<size_t>(side) * side * 4, tag);
    ImageBlur[slot].assign(static_cast<size_t>(side) * side * 4, static_cast<unsigned char>(tag + 1));
    MarkImageChanged(slot);
}

// The side of the picture last uploaded into the texture a batch drew with, or -1.
int BatchSide(const FakeBatch& b) { return b.upload >= 0 ? FakeGl.uploads[b.upload].width : -1; }

class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        window = glfwCreateWindow(800, 600, "test", nullptr, nullptr);
        ASys.VirtualWidth = 800;
        ASys.Aspect = 1;
        for (float& f : ASys.DrawSet) f = 0;
        ASys.DrawSet[DsClearDivisor] = 1;
        for (int& b : ASys.Button) b = 0;
        for (int s = 0; s < ImageSlots; ++s) {
            ASys.iFrames[s] = s < ImageSlotsDrawn ? -1 : 0;
            iFramesW[s] = iSize[s] = 0;
            Image[s].clear();
            ImageBlur[s].clear();
        }
        WhiteBlock.assign(WhiteBlockSide * WhiteBlockSide * 4, 255);
        Wireframe = 0;
        ASys.DrawTo = 0;
        DrawToRT = 0;
    }
    void TearDown() override { window = nullptr; }

    // Puts the records in the draw list, hands it over and renders one frame.
    void Render(const std::vector<Record>& list, float overscan = 0) {
        HandOver(list);
        ASys.RenderSys(overscan);
    }
};

struct Expect {
    float x, y;
    double s, t;
    char colour;  // 'A' or 'B'
};

void CheckVertex(const FakeVertex& v, const Expect& e, const std::string& where) {
    const std::array<double, 4>& c = e.colour == 'A' ? ColourA : ColourB;
    EXPECT_NEAR(v.x, e.x, 1e-4) << where;
    EXPECT_NEAR(v.y, e.y, 1e-4) << where;
    EXPECT_DOUBLE_EQ(v.s, e.s) << where;
    EXPECT_DOUBLE_EQ(v.t, e.t) << where;
    EXPECT_EQ(v.a, c[0]) << where;
    EXPECT_EQ(v.r, c[1]) << where;
    EXPECT_EQ(v.g, c[2]) << where;
    EXPECT_EQ(v.b, c[3]) << where;
}

}  // namespace

TEST_F(Renderer, FlatShapesSendTheirCornersColoursAndTextureCoordinates) {
    // Rectangle (10, 20) size (40, -30): hw 20, hh -15, so the y - hh side is y + 15.
    const Expect r1{-10, 35, 0, 0, 'A'}, r2{30, 35, 1, 0, 'A'}, r3{30, 5, 1, 1, 'B'}, r4{-10, 5, 0, 1, 'B'};
    const Expect q1{0, 0, 0, 0, 'A'}, q2{10, 0, 1, 0, 'A'}, q3{10, 10, 1, 1, 'B'}, q4{0, 10, 0, 1, 'B'};
    struct Case {
        const char* name;
        Record record;
        std::vector<Expect> vertices;
    } cases[] = {
        {"rect", Shape(CmdRect, {10, 20, 40, -30}), {r1, r2, r3, r1, r3, r4}},
        {"quad", Shape(CmdQuad, {0, 0, 10, 0, 10, 10, 0, 10}), {q1, q2, q3, q1, q3, q4}},
        {"line", Shape(CmdLine, {0, 0, 10, 0, 10, 10, 0, 10}), {q1, q2, q3, q1, q3, q4}},
        {"tri", Shape(CmdTri, {0, 0, 10, 0, 0, 10}), {{0, 0, 0, 0, 'B'}, {10, 0, 1, 0, 'A'}, {0, 10, 1, 1, 'A'}}},
    };
    for (const Case& c : cases) {
        SetUp();
        Render({c.record});
        ASSERT_EQ(FakeGl.batches.size(), 1u) << c.name;
        EXPECT_EQ(FakeGl.batches[0].mode, GL_TRIANGLES) << c.name;
        const auto& v = FakeGl.batches[0].vertices;
        ASSERT_EQ(v.size(), c.vertices.size()) << c.name;
        for (size_t i = 0; i < v.size(); ++i) CheckVertex(v[i], c.vertices[i], std::string(c.name) + " vertex " + std::to_string(i));
    }
}

TEST_F(Renderer, OvalSendsThirtySixWedgesFromCentreToRim) {
    const float x = 100, y = -50, hw = 30, hh = -20;  // size (60, -40)
    Render({Shape(CmdOval, {x, y, 60, -40})});
    ASSERT_EQ(FakeGl.batches.size(), 1u);
    const auto& v = FakeGl.batches[0].vertices;
    ASSERT_EQ(v.size(), 36u * 3);
    for (int i = 0; i < 36; ++i) {
        const float t0 = static_cast<float>(10 * i * 0.017453), t1 = static_cast<float>((10 * i + 10) * 0.017453);
        const std::string w = "wedge " + std::to_string(i);
        CheckVertex(v[3 * i], {x, y, 0, 0, 'A'}, w);
        CheckVertex(v[3 * i + 1], {x + std::sin(t0) * hw, y - std::cos(t0) * hh, 1, 0, 'B'}, w);
        CheckVertex(v[3 * i + 2], {x + std::sin(t1) * hw, y - std::cos(t1) * hh, 1, 1, 'B'}, w);
    }
    // The quarter turn lies on the right of the centre.
    EXPECT_NEAR(v[3 * 8 + 2].x, x + hw, 1e-3);
}

TEST_F(Renderer, FanAlternatesWedgeColoursAndTurnsBackByItsRotation) {
    Record fan = Shape(CmdFan, {0, 0, 100, 100});
    fan[FieldRotation] = 5;
    Render({fan});
    const auto& v = FakeGl.batches.at(0).vertices;
    ASSERT_EQ(v.size(), 36u * 3);
    for (int i = 0; i < 36; ++i) {
        const char colour = i % 2 == 0 ? 'B' : 'A';
        const float t0 = static_cast<float>((10 * i - 5) * 0.017453), t1 = static_cast<float>((10 * i + 5) * 0.017453);
        const std::string w = "wedge " + std::to_string(i);
        CheckVertex(v[3 * i], {0, 0, 0, 0, colour}, w);
        CheckVertex(v[3 * i + 1], {std::sin(t0) * 50, -std::cos(t0) * 50, 1, 0, colour}, w);
        CheckVertex(v[3 * i + 2], {std::sin(t1) * 50, -std::cos(t1) * 50, 1, 1, colour}, w);
    }
}

TEST_F(Renderer, ColourChannelsAreTruncatedToTheirLowEightBits) {
    Record r = Shape(CmdTri, {0, 0, 1, 0, 0, 1});
    const double a[4] = {255.9, 256, -1, 300.7};
    for (int c = 0; c < 4; ++c) r[FieldColourA + c] = a[c];
    Render({r});
    const FakeVertex& v = FakeGl.batches.at(0).vertices.at(1);  // corner 2 is in colour A
    EXPECT_EQ(v.a, 255);
    EXPECT_EQ(v.r, 0);
    EXPECT_EQ(v.g, 255);
    EXPECT_EQ(v.b, 44);
}

TEST_F(Renderer, RotationTurnsCornersWithTheRenderersOwnConstant) {
    struct Case {
        double degrees;
    } cases[] = {{90}, {-45}, {360}};
    const float hw = 100, hh = -50;
    const float off[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    for (const Case& c : cases) {
        SetUp();
        Record r = Shape(CmdRect, {0, 0, 200, -100});
        r[FieldRotation] = c.degrees;
        Render({r});
        const auto& v = FakeGl.batches.at(0).vertices;
        const float rad = static_cast<float>(c.degrees * 0.017453);
        const int order[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) {
            const float dx = off[order[i]][0], dy = off[order[i]][1];
            EXPECT_NEAR(v[i].x, dx * std::cos(rad) - dy * std::sin(rad), 1e-3) << c.degrees;
            EXPECT_NEAR(v[i].y, dy * std::cos(rad) + dx * std::sin(rad), 1e-3) << c.degrees;
        }
    }
    // 360 degrees is slightly short of a full turn; 0 takes the axis-aligned path exactly.
    const float x360 = FakeGl.batches.at(0).vertices.at(0).x;
    EXPECT_NE(x360, -hw);
    EXPECT_NEAR(x360, -hw, 0.05);
    SetUp();
    Render({Shape(CmdRect, {0, 0, 200, -100})});
    EXPECT_EQ(FakeGl.batches.at(0).vertices.at(0).x, -hw);
    EXPECT_EQ(FakeGl.batches.at(0).vertices.at(0).y, -hh);
}

TEST_F(Renderer, PositiveAngleTurnsClockwiseOnScreen) {
    // A tall thin bar turned by 90 degrees: its top (negative y) end moves to the right.
    Record r = Shape(CmdRect, {0, 0, 2, -100});
    r[FieldRotation] = 90;
    Render({r});
    const auto& v = FakeGl.batches.at(0).vertices;
    // P3 is the corner (hw, hh) = (1, -50): the upper right one before turning.
    EXPECT_NEAR(v[2].x, 50, 0.01);
    EXPECT_NEAR(v[2].y, 1, 0.01);
}

TEST_F(Renderer, BatchesFollowTheTextureAndBlendRecords) {
    FillSlot(0, 4, 2, 0.5f, 16, 1, 7);
    FillSlot(1, 1, 1, 1, 8, 1, 9);
    const Record rect = Shape(CmdRect, {0, 0, 10, 10});
    const Record img0 = ImageRec(CmdImage, 0, 0, {0, 0, 1, 1});
    const Record img1 = ImageRec(CmdImage, 1, 0, {0, 0, 1, 1});
    const Record blur0 = ImageRec(CmdImageBlur, 0, 0, {0, 0, 1, 1});
    auto code = [&](int c) {
        Record r = rect;
        r[FieldCode] = c;
        return r;
    };
    struct Case {
        const char* name;
        std::vector<Record> list;
        std::vector<int> batchSides;   // the side of the texture each batch draws with
        std::vector<int> textures;     // which of the frame's textures each batch binds (0 = first)
        size_t uploads;                // one per texture the frame uses
    } cases[] = {
        {"flat shapes share one batch",
         {rect, Shape(CmdOval, {0, 0, 5, 5}), Shape(CmdTri, {0, 0, 1, 0, 0, 1}), Shape(CmdQuad, {0, 0, 1, 0, 1, 1, 0, 1})},
         {8}, {0}, 1},
        {"unknown codes leave the batch open",
         {rect, code(0), code(7), code(10), code(14), code(49), code(51), code(-3), code(1000), rect},
         {8}, {0}, 1},
        {"same slot twice shares a batch", {img0, img0}, {16}, {0}, 1},
        {"image, shape, image binds the image again", {img0, rect, img0}, {16, 8, 16}, {0, 1, 0}, 2},
        {"two slots", {img0, img1}, {16, 8}, {0, 1}, 2},
        {"blurred pixels are their own texture", {img0, blur0}, {16, 16}, {0, 1}, 2},
        {"a blend record ends the batch", {rect, Blend(BlendAdd), rect}, {8, 8}, {0, 0}, 1},
        {"an unknown blend mode ends it too", {rect, Blend(7), rect}, {8, 8}, {0, 0}, 1},
        {"empty list", {}, {}, {}, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        FillSlot(0, 4, 2, 0.5f, 16, 1, 7);
        FillSlot(1, 1, 1, 1, 8, 1, 9);
        Render(c.list);
        ASSERT_EQ(FakeGl.batches.size(), c.batchSides.size()) << c.name;
        EXPECT_EQ(FakeGl.uploads.size(), c.uploads) << c.name;
        EXPECT_EQ(FakeGl.generated.size(), c.uploads) << c.name;
        for (size_t i = 0; i < c.batchSides.size(); ++i) {
            EXPECT_EQ(BatchSide(FakeGl.batches[i]), c.batchSides[i]) << c.name;
            ASSERT_LT(c.textures[i], static_cast<int>(FakeGl.generated.size())) << c.name;
            EXPECT_EQ(FakeGl.batches[i].texture, FakeGl.generated[c.textures[i]]) << c.name;
            EXPECT_TRUE(FakeGl.batches[i].ended) << c.name;
        }
        EXPECT_EQ(FakeGl.unbalancedEnds, 0) << c.name;
        EXPECT_EQ(FakeGl.clears, 1) << c.name;
        EXPECT_EQ(FakeGlfw.swaps, 1) << c.name;
        EXPECT_EQ(FakeGlfw.swapInterval, 1) << c.name;
        EXPECT_EQ(FakeGlfw.polls, 1) << c.name;
    }
}

TEST_F(Renderer, UploadsSendTheRightPixelsAndFormat) {
    FillSlot(3, 1, 1, 1, 16, 1, 40);
    Render({Shape(CmdRect, {0, 0, 1, 1}), ImageRec(CmdImage, 3, 0, {0, 0, 1, 1}), ImageRec(CmdImageBlur, 3, 0, {0, 0, 1, 1})});
    ASSERT_EQ(FakeGl.uploads.size(), 3u);
    EXPECT_EQ(FakeGl.uploads[0].pixels, WhiteBlock);
    EXPECT_EQ(FakeGl.uploads[1].pixels, Image[3]);
    EXPECT_EQ(FakeGl.uploads[2].pixels, ImageBlur[3]);
    for (const FakeUpload& u : FakeGl.uploads) {
        EXPECT_EQ(u.internalFormat, 4);
        EXPECT_EQ(u.format, GL_RGBA);
        EXPECT_EQ(u.type, GL_UNSIGNED_BYTE);
    }
}

TEST_F(Renderer, BatchesAreCutAboveFiftyThousandShapes) {
    // 1,388 ovals hold 49,968 shapes, so a rectangle still fits; 1,389 hold 50,004.
    struct Case {
        int ovals;
        size_t batches;
    } cases[] = {{1388, 1}, {1389, 2}};
    for (const Case& c : cases) {
        SetUp();
        std::vector<Record> list(c.ovals, Shape(CmdOval, {0, 0, 2, 2}));
        list.push_back(Shape(CmdRect, {0, 0, 2, 2}));
        Render(list);
        EXPECT_EQ(FakeGl.batches.size(), c.batches) << c.ovals;
        EXPECT_EQ(FakeGl.batches.back().vertices.size(), c.batches == 1 ? c.ovals * 108u + 6 : 6u) << c.ovals;
    }
}

TEST_F(Renderer, StatisticsCountTrianglesShapesAndRecords) {
    FillSlot(0, 1, 1, 1, 8, 1, 1);
    struct Case {
        const char* name;
        Record record;
        int polys, shapes, objects;
    } cases[] = {
        {"oval", Shape(CmdOval, {0, 0, 5, 5}), 36, 36, 1},
        {"fan", Shape(CmdFan, {0, 0, 5, 5}), 36, 36, 1},
        {"rect", Shape(CmdRect, {0, 0, 5, 5}), 2, 1, 1},
        {"quad", Shape(CmdQuad, {0, 0, 1, 0, 1, 1, 0, 1}), 2, 1, 1},
        {"line", Shape(CmdLine, {0, 0, 1, 0, 1, 1, 0, 1}), 2, 1, 1},
        {"tri", Shape(CmdTri, {0, 0, 1, 0, 0, 1}), 1, 1, 1},
        {"image", ImageRec(CmdImage, 0, 0, {0, 0, 1, 1}), 2, 1, 1},
        {"textured quad", ImageRec(CmdQuadImage, 0, 0, {0, 0, 1, 0, 1, 1, 0, 1}), 2, 1, 1},
        {"image of an empty slot", ImageRec(CmdImage, 5, 0, {0, 0, 1, 1}), 0, 0, 0},
        {"unknown code", Shape(20, {0, 0, 5, 5}), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        FillSlot(0, 1, 1, 1, 8, 1, 1);
        Render({c.record});
        EXPECT_EQ(ASys.PolyCount, c.polys) << c.name;
        EXPECT_EQ(TriCount, c.shapes) << c.name;
        EXPECT_EQ(ASys.ObjCount, c.objects) << c.name;
    }
    // The counters start again at every frame.
    ASys.RenderSys(0);
    EXPECT_EQ(ASys.PolyCount, 0);
    EXPECT_EQ(ASys.ObjCount, 0);
}

TEST_F(Renderer, ImageFramesPickTheirCellAndOutOfRangeFramesDrawFrameZero) {
    // 4 frames, 2 cells per row, cells a half texture wide, scale 2 per unit.
    struct Case {
        double frame;
        double stored;       // field 29 of the render copy afterwards
        double s0, t0;       // the cell drawn
    } cases[] = {{0, 0, 0, 0}, {1, 1, 0.5, 0}, {3, 3, 0.5, 0.5}, {2.7, 2.7, 0, 0.5},
                 {7, 0, 0, 0}, {4, 0, 0, 0},  {-1, 0, 0, 0}};
    for (const Case& c : cases) {
        SetUp();
        FillSlot(0, 4, 2, 0.5f, 16, 2, 1);
        Render({ImageRec(CmdImage, 0, c.frame, {100, 50, 10, -10})});
        EXPECT_EQ(DrawR[FieldFrame], c.stored) << c.frame;
        const auto& v = FakeGl.batches.at(0).vertices;
        ASSERT_EQ(v.size(), 6u);
        const double s1 = c.s0 + 0.5, t1 = c.t0 + 0.5;
        // hw 20, hh -20: the y - hh side (lower on screen) takes the cell's lower rows (t1).
        CheckVertex(v[0], {80, 70, c.s0, t1, 'A'}, "P1");
        CheckVertex(v[1], {120, 70, s1, t1, 'A'}, "P2");
        CheckVertex(v[2], {120, 30, s1, c.t0, 'B'}, "P3");
        CheckVertex(v[5], {80, 30, c.s0, c.t0, 'B'}, "P4");
    }
}

TEST_F(Renderer, TexturedQuadMapsTheCellOntoItsCorners) {
    FillSlot(0, 4, 2, 0.5f, 16, 2, 1);
    Render({ImageRec(CmdQuadImage, 0, 1, {0, 0, 10, 0, 10, 10, 0, 10})});
    const auto& v = FakeGl.batches.at(0).vertices;
    ASSERT_EQ(v.size(), 6u);
    CheckVertex(v[0], {0, 0, 0.5, 0, 'A'}, "P1");
    CheckVertex(v[1], {10, 0, 1, 0, 'A'}, "P2");
    CheckVertex(v[2], {10, 10, 1, 0.5, 'B'}, "P3");
    CheckVertex(v[5], {0, 10, 0.5, 0.5, 'B'}, "P4");
}

TEST_F(Renderer, OnlyDrawableSlotsAreDrawn) {
    struct Case {
        int code, slot;
        bool drawn;
    } cases[] = {
        {CmdImage, 0, true},         {CmdImage, 99, true},       {CmdImage, ImgGrab, true},
        {CmdImageBlur, ImgGrab, true}, {CmdQuadImage, ImgGrab, false}, {CmdQuadImage, 99, true},
        {CmdImage, ImgScreenshot, false}, {CmdImage, ImgScratch, false}, {CmdImage, 103, false},
        {CmdImage, -1, false},       {CmdImage, 5, false},        // 5 is empty
        {CmdImage, 1000000, false},
    };
    for (const Case& c : cases) {
        SetUp();
        for (int s : {0, 99, ImgGrab, ImgScreenshot, ImgScratch}) FillSlot(s, 1, 1, 1, 8, 1, 3);
        Render({Shape(CmdRect, {0, 0, 1, 1}), ImageRec(c.code, c.slot, 0, {0, 0, 1, 0, 1, 1, 0, 1})});
        EXPECT_EQ(FakeGl.batches.size(), c.drawn ? 2u : 1u) << c.code << " slot " << c.slot;
        EXPECT_EQ(ASys.ObjCount, c.drawn ? 2 : 1) << c.code << " slot " << c.slot;
    }
}

TEST_F(Renderer, SlotsWithoutATextureAreSkippedSafely) {
    // The grab slot before the first grab holds frame count 0 and no pixels; a slot whose
    // pixel array is shorter than its side must not be uploaded either.
    struct Case {
        const char* name;
        int frames, perRow, side;
        size_t bytes;
    } cases[] = {
        {"no cells per row", 0, 0, 0, 0},
        {"no side", 1, 1, 0, 0},
        {"pixels shorter than the side", 1, 1, 16, 16 * 16 * 4 - 1},
    };
    for (const Case& c : cases) {
        SetUp();
        ASys.iFrames[ImgGrab] = c.frames;
        iFramesW[ImgGrab] = c.perRow;
        iSize[ImgGrab] = c.side;
        Image[ImgGrab].assign(c.bytes, 0);
        ImageBlur[ImgGrab].assign(c.bytes, 0);
        Render({ImageRec(CmdImage, ImgGrab, 0, {0, 0, 1, 1}), ImageRec(CmdImageBlur, ImgGrab, 0, {0, 0, 1, 1})});
        EXPECT_TRUE(FakeGl.batches.empty()) << c.name;
        EXPECT_EQ(ASys.ObjCount, 0) << c.name;
    }
}

TEST_F(Renderer, BlendRecordsSetTheirFunctionAndEveryFrameStartsNormal) {
    struct Case {
        double mode;
        int src, dst;  // in force for the second rectangle
    } cases[] = {
        {BlendAlpha, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
        {BlendAdd, GL_SRC_ALPHA, GL_ONE},
        {BlendInverseAdd, GL_ONE_MINUS_SRC_COLOR, GL_ONE},
        {2.5, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},  // not an exact mode: unchanged
        {0, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
    };
    const Record rect = Shape(CmdRect, {0, 0, 1, 1});
    for (const Case& c : cases) {
        SetUp();
        Render({rect, Blend(c.mode), rect});
        ASSERT_EQ(FakeGl.batches.size(), 2u) << c.mode;
        EXPECT_EQ(FakeGl.batches[0].blendSrc, GL_SRC_ALPHA) << c.mode;
        EXPECT_EQ(FakeGl.batches[0].blendDst, GL_ONE_MINUS_SRC_ALPHA) << c.mode;
        EXPECT_EQ(FakeGl.batches[1].blendSrc, c.src) << c.mode;
        EXPECT_EQ(FakeGl.batches[1].blendDst, c.dst) << c.mode;
        // The next frame starts with normal blending again.
        FakeGl.batches.clear();
        ASys.RenderSys(0);
        EXPECT_EQ(FakeGl.batches.at(0).blendSrc, GL_SRC_ALPHA) << c.mode;
        EXPECT_EQ(FakeGl.batches.at(0).blendDst, GL_ONE_MINUS_SRC_ALPHA) << c.mode;
    }
}

TEST_F(Renderer, WireframeDrawsOutlinesWithoutTextures) {
    struct Case {
        int wireframe;
        std::vector<int> modes;
        bool textures;
    } cases[] = {{0, {GL_FILL}, true}, {1, {GL_FILL, GL_LINE}, false}};
    for (const Case& c : cases) {
        SetUp();
        Wireframe = c.wireframe;
        Render({Shape(CmdRect, {0, 0, 1, 1})});
        EXPECT_EQ(FakeGl.polygonModes, c.modes) << c.wireframe;
        auto has = [](const std::vector<int>& caps, int cap) {
            return std::find(caps.begin(), caps.end(), cap) != caps.end();
        };
        EXPECT_EQ(has(FakeGl.enabled, GL_TEXTURE_2D), c.textures) << c.wireframe;
        EXPECT_EQ(has(FakeGl.disabled, GL_TEXTURE_2D), !c.textures) << c.wireframe;
        EXPECT_TRUE(has(FakeGl.enabled, GL_BLEND)) << c.wireframe;
    }
}

TEST_F(Renderer, SmoothingFlagSelectsTheTextureFilter) {
    struct Case {
        float flag;
        int filter;
    } cases[] = {{1.0f, GL_LINEAR}, {0.0f, GL_NEAREST}, {0.999f, GL_NEAREST}, {2.0f, GL_NEAREST}};
    for (const Case& c : cases) {
        SetUp();
        ASys.DrawSet[DsSmooth] = c.flag;
        Render({Shape(CmdRect, {0, 0, 1, 1})});
        ASSERT_EQ(FakeGl.batches.size(), 1u);
        EXPECT_EQ(FakeGl.batches[0].minFilter, c.filter) << c.flag;
        EXPECT_EQ(FakeGl.batches[0].magFilter, c.filter) << c.flag;
    }
    // The filter is set at every bind: a texture made under one setting follows the next.
    SetUp();
    FillSlot(0, 1, 1, 1, 8, 1, 1);
    const std::vector<Record> list = {Shape(CmdRect, {0, 0, 1, 1}), ImageRec(CmdImage, 0, 0, {0, 0, 1, 1})};
    Render(list);
    ASys.DrawSet[DsSmooth] = 1;
    FakeGl.batches.clear();
    ASys.RenderSys(0);
    ASSERT_EQ(FakeGl.batches.size(), 2u);
    for (const FakeBatch& b : FakeGl.batches) {
        EXPECT_EQ(b.minFilter, GL_LINEAR);
        EXPECT_EQ(b.magFilter, GL_LINEAR);
    }
}

TEST_F(Renderer, ProjectionFillsTheWindowAndLeavesTheOverscanMargin) {
    struct Case {
        int width, height;
        float overscan;
    } cases[] = {{800, 600, 0}, {800, 600, 0.2f}, {600, 800, 0.1f}, {1920, 1080, 0.05f}};
    for (const Case& c : cases) {
        SetUp();
        FakeGlfw.framebufferWidth = c.width;
        FakeGlfw.framebufferHeight = c.height;
        Render({}, c.overscan);
        const float aspect = static_cast<float>(c.width) / c.height;
        EXPECT_EQ(ASys.CanvasWidth, c.width);
        EXPECT_EQ(ASys.CanvasHeight, c.height);
        EXPECT_FLOAT_EQ(ASys.Aspect, aspect);
        EXPECT_EQ(FakeGl.viewports.back(), (std::vector<int>{0, 0, c.width, c.height}));
        ASSERT_EQ(FakeGl.scales.size(), 1u);
        EXPECT_FLOAT_EQ(FakeGl.scales[0][0], (2 - c.overscan) / 800);
        EXPECT_FLOAT_EQ(FakeGl.scales[0][1], -(2 - aspect * c.overscan) * aspect / 800);
        EXPECT_FLOAT_EQ(FakeGl.scales[0][2], 1);
        EXPECT_EQ(FakeGl.pushes, 1);
        EXPECT_EQ(FakeGl.pops, 1);
        EXPECT_FLOAT_EQ(OverscanScaleX, 1 / (1 - c.overscan / 2));
        EXPECT_FLOAT_EQ(OverscanScaleY, 1 / (1 - c.overscan / 2 * aspect));
    }
}

TEST_F(Renderer, ClearColourFadesTowardItsTarget) {
    struct Case {
        const char* name;
        float divisor;
        int frames;
        float blue;        // after that many renders
    } cases[] = {
        {"divisor 8, first step", 8, 1, 70},
        {"divisor 8, second step", 8, 2, 61.25f},
        {"divisor 8, still 2 or more away", 8, 27, 80 * std::pow(7.0f / 8, 27)},
        {"divisor 8, below 2: exactly the target", 8, 28, 0},
        {"divisor 1 jumps at once", 1, 1, 0},
        {"divisor 0 jumps at once", 0, 1, 0},
        {"negative divisor jumps at once", -4, 1, 0},
        {"divisor below 1 would overshoot: jumps", 0.25f, 1, 0},
        {"divisor NaN jumps at once", NAN, 1, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        ASys.DrawSet[DsClearNow + 2] = 80;
        ASys.DrawSet[DsClearDivisor] = c.divisor;
        for (int i = 0; i < c.frames; ++i) ASys.RenderSys(0);
        EXPECT_NEAR(ASys.DrawSet[DsClearNow + 2], c.blue, 1e-3) << c.name;
        if (c.blue == 0) {
            EXPECT_EQ(ASys.DrawSet[DsClearNow + 2], 0.0f) << c.name;
        }
        ASSERT_EQ(static_cast<int>(FakeGl.clearColours.size()), c.frames) << c.name;
        EXPECT_FLOAT_EQ(FakeGl.clearColours.back()[2], ASys.DrawSet[DsClearNow + 2] / 255) << c.name;
        EXPECT_EQ(FakeGl.clearColours.back()[3], 1.0f) << c.name;
    }
    // Each channel fades on its own, upward as well.
    SetUp();
    const float now[3] = {255, 0, 10}, target[3] = {0, 100, 11};
    for (int c = 0; c < 3; ++c) {
        ASys.DrawSet[DsClearNow + c] = now[c];
        ASys.DrawSet[DsClearTarget + c] = target[c];
    }
    ASys.DrawSet[DsClearDivisor] = 5;
    ASys.RenderSys(0);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsClearNow], 204);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsClearNow + 1], 20);
    EXPECT_FLOAT_EQ(ASys.DrawSet[DsClearNow + 2], 11);
}

TEST_F(Renderer, MinimisedWindowKeepsItsAspectAndDrawsNothing) {
    Render({Shape(CmdRect, {0, 0, 1, 1})});
    const float aspect = ASys.Aspect;
    SetUp();
    ASys.Aspect = aspect;
    ASys.CanvasWidth = 800;
    ASys.CanvasHeight = 600;
    ASys.DrawSet[DsClearNow] = 100;
    FakeGlfw.framebufferWidth = 0;
    FakeGlfw.framebufferHeight = 0;
    Render({Shape(CmdRect, {0, 0, 1, 1})});
    EXPECT_EQ(ASys.Aspect, aspect);
    EXPECT_EQ(ASys.CanvasWidth, 800);
    EXPECT_EQ(ASys.CanvasHeight, 600);
    EXPECT_TRUE(FakeGl.batches.empty());
    EXPECT_TRUE(FakeGl.scales.empty());
    EXPECT_EQ(ASys.DrawSet[DsClearNow], 100);  // the fade waits for a visible frame
    EXPECT_EQ(FakeGlfw.polls, 1);               // events still flow, so the window can return
    // Height 0 alone counts as minimised too.
    FakeGlfw.framebufferWidth = 800;
    ASys.RenderSys(0);
    EXPECT_EQ(ASys.Aspect, aspect);
    EXPECT_TRUE(std::isfinite(OverscanScaleY));
}

TEST_F(Renderer, WithoutAWindowNothingIsCalled) {
    window = nullptr;
    Render({Shape(CmdRect, {0, 0, 1, 1})});
    EXPECT_TRUE(FakeGl.batches.empty());
    EXPECT_EQ(FakeGl.clears, 0);
    EXPECT_EQ(FakeGlfw.swaps, 0);
}

TEST_F(Renderer, HandOverCopiesTheListWithinItsCapacity) {
    struct Case {
        int drawTo, copied;
    } cases[] = {{0, 0}, {3, 3}, {DrawListRecords, DrawListRecords}, {DrawListRecords + 5, DrawListRecords}, {-2, 0}};
    for (const Case& c : cases) {
        SetUp();
        for (int i = 0; i < DrawListDoubles; ++i) ASys.Draw[i] = i;
        DrawR[DrawListRecords * DrawFields] = -7;  // just past what the list can hold
        ASys.DrawTo = c.drawTo;
        ASys.RenderBuffer();
        EXPECT_EQ(DrawToRT, c.copied) << c.drawTo;
        if (c.copied > 0) {
            EXPECT_EQ(DrawR[c.copied * DrawFields - 1], c.copied * DrawFields - 1) << c.drawTo;
        }
        EXPECT_EQ(DrawR[DrawListRecords * DrawFields], -7) << c.drawTo;
    }
    // The render copy stays valid and can be drawn again.
    SetUp();
    Render({Shape(CmdRect, {0, 0, 1, 1})});
    ASys.DrawTo = 0;
    ASys.RenderSys(0);
    EXPECT_EQ(FakeGl.batches.size(), 2u);
}

TEST_F(Renderer, ScreenshotFlagSavesTheWindow) {
    struct Case {
        int flag;
        bool saved;
    } cases[] = {{0, false}, {1, true}};
    std::filesystem::create_directories(BRINDLEWICK_TEST_TMP);
    const std::string path = std::string(BRINDLEWICK_TEST_TMP) + "/renderer_shot.png";
    for (const Case& c : cases) {
        SetUp();
        std::filesystem::remove(path);
        snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", path.c_str());
        ASys.Button[FlagF10] = c.flag;
        testing::internal::CaptureStdout();
        Render({});
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(!FakeGl.readPixelsCalls.empty(), c.saved) << c.flag;
        EXPECT_EQ(std::filesystem::exists(path), c.saved) << c.flag;
        // The window is read after the swap, before events are pumped.
        EXPECT_EQ(FakeGlfw.swaps, 1) << c.flag;
    }
    ASys.Button[FlagF10] = 0;
}

// ---- texture objects: made once per context, uploaded again only when a slot changes ----

namespace {

// A list that draws the white block, slot 0, slot 0's blurred pixels and slot 1, with slot 0
// bound in two batches.
std::vector<Record> TextureList() {
    return {Shape(CmdRect, {0, 0, 1, 1}), ImageRec(CmdImage, 0, 0, {0, 0, 1, 1}),
            ImageRec(CmdImageBlur, 0, 0, {0, 0, 1, 1}), ImageRec(CmdImage, 1, 0, {0, 0, 1, 1}),
            Shape(CmdOval, {0, 0, 4, 4}), ImageRec(CmdImage, 0, 1, {0, 0, 1, 1})};
}

std::vector<unsigned> BatchTextures() {
    std::vector<unsigned> names;
    for (const FakeBatch& b : FakeGl.batches) names.push_back(b.texture);
    return names;
}

// Forgets what the fake recorded of the frames so far.
void NextFrame() {
    FakeGl.batches.clear();
    FakeGl.uploads.clear();
}

}  // namespace

TEST_F(Renderer, ASecondFrameOfTheSameListUploadsNothing) {
    FillSlot(0, 4, 2, 0.5f, 16, 1, 7);
    FillSlot(1, 1, 1, 1, 8, 1, 9);
    Render(TextureList());
    ASSERT_EQ(FakeGl.batches.size(), 6u);
    ASSERT_EQ(FakeGl.uploads.size(), 4u);   // white block, slot 0, its blurred pixels, slot 1
    EXPECT_EQ(FakeGl.generated.size(), 4u);
    const std::vector<unsigned> first = BatchTextures();
    EXPECT_EQ(first[1], first[5]);          // slot 0 binds its one texture twice
    EXPECT_EQ(first[0], first[4]);
    for (int frame = 2; frame <= 3; ++frame) {
        NextFrame();
        ASys.RenderSys(0);
        EXPECT_TRUE(FakeGl.uploads.empty()) << frame;
        EXPECT_EQ(FakeGl.generated.size(), 4u) << frame;
        EXPECT_EQ(BatchTextures(), first) << frame;
    }
}

TEST_F(Renderer, EveryWriterOfASlotMakesItUploadOnceMore) {
    const std::string png = WritePng("reload.png", 16, 16, [](int x, int y) { return Rgba{x, y, 5, 255}; });
    struct Case {
        const char* name;
        int slot;
        std::function<void()> write;
    } cases[] = {
        {"fill", 0, [] { ASys.Buffer_Fill(0, 1, 2, 3, 4); }},
        {"plot", 0, [] { ASys.Buffer_Plot(0, 3, 4, 9, 9, 9, 9); }},
        {"line", 0, [] { ASys.Buffer_Line(0, 0, 0, 9, 5, 9, 9, 9, 9); }},
        {"tile", 0, [] { ASys.Buffer_Tile(0, 1, 2, 2, 0); }},
        {"create at another size", 0, [] { ASys.Buffer_Create(0, 32); }},
        {"png reloaded", 0, [&png] { Captured([&png] { ASys.GetPNG(0, png.c_str(), 16); }); }},
        {"grab", ImgGrab, [] { ASys.GrabBuffer(); }},
        {"marked by hand", 1, [] { MarkImageChanged(1); }},
    };
    const std::vector<Record> list = {ImageRec(CmdImage, 0, 0, {0, 0, 1, 1}), Shape(CmdRect, {0, 0, 1, 1}),
                                      ImageRec(CmdImage, 1, 0, {0, 0, 1, 1}), ImageRec(CmdImage, ImgGrab, 0, {0, 0, 1, 1})};
    for (const Case& c : cases) {
        SetUp();
        FillSlot(0, 1, 1, 1, 16, 1, 7);
        FillSlot(1, 1, 1, 1, 8, 1, 9);
        ASys.iFramesSquare[1] = 4;
        FakeGl.framebuffer.assign(8 * 8 * 4, 77);
        FakeGl.framebufferWidth = FakeGl.framebufferHeight = 8;
        ASys.CanvasWidth = ASys.CanvasHeight = 8;
        ASys.GrabBuffer();
        Render(list);
        ASSERT_EQ(FakeGl.uploads.size(), 4u) << c.name;
        const std::vector<unsigned> names = BatchTextures();
        const unsigned slotTexture = names[c.slot == ImgGrab ? 3 : c.slot == 1 ? 2 : 0];

        NextFrame();
        FakeGl.framebuffer.assign(8 * 8 * 4, 99);   // what a grab reads has changed too
        c.write();
        ASys.RenderSys(0);
        ASSERT_EQ(FakeGl.uploads.size(), 1u) << c.name;
        EXPECT_EQ(FakeGl.uploads[0].texture, slotTexture) << c.name;
        EXPECT_EQ(FakeGl.uploads[0].width, iSize[c.slot]) << c.name;
        EXPECT_EQ(FakeGl.uploads[0].pixels, Image[c.slot]) << c.name;
        EXPECT_EQ(BatchTextures(), names) << c.name;

        NextFrame();
        ASys.RenderSys(0);
        EXPECT_TRUE(FakeGl.uploads.empty()) << c.name;
    }
}

TEST_F(Renderer, ARecreatedWindowMakesAndUploadsEveryTextureAgain) {
    struct Case {
        const char* name;
        std::function<void()> recreate;
    } cases[] = {
        {"SetScreen", [] { ASys.SetScreen(640, 480); }},
        {"fullscreen toggle", [] { ASys.FlipFull(); }},
    };
    for (const Case& c : cases) {
        SetUp();
        isFullscreen = 0;
        FillSlot(0, 4, 2, 0.5f, 16, 1, 7);
        FillSlot(1, 1, 1, 1, 8, 1, 9);
        Render(TextureList());
        ASSERT_EQ(FakeGl.generated.size(), 4u) << c.name;
        Captured(c.recreate);
        NextFrame();
        ASys.RenderSys(0);
        EXPECT_EQ(FakeGl.uploads.size(), 4u) << c.name;
        EXPECT_EQ(FakeGl.generated.size(), 8u) << c.name;
        for (unsigned name : BatchTextures()) EXPECT_GT(name, 4u) << c.name;   // only the new ones
        NextFrame();
        ASys.RenderSys(0);
        EXPECT_TRUE(FakeGl.uploads.empty()) << c.name;
    }
    isFullscreen = 0;
}

TEST_F(Renderer, CloseDeletesEveryTexture) {
    FillSlot(0, 4, 2, 0.5f, 16, 1, 7);
    FillSlot(1, 1, 1, 1, 8, 1, 9);
    Render(TextureList());
    ASSERT_EQ(FakeGl.generated.size(), 4u);
    EXPECT_TRUE(FakeGl.deleted.empty());
    Captured([] { ASys.Close(); });
    std::vector<unsigned> deleted = FakeGl.deleted;
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, FakeGl.generated);
    // A window opened after that starts with new textures.
    window = glfwCreateWindow(800, 600, "again", nullptr, nullptr);
    NextFrame();
    ASys.RenderSys(0);
    EXPECT_EQ(FakeGl.generated.size(), 8u);
    EXPECT_EQ(FakeGl.uploads.size(), 4u);
}

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

}  // namespace

TEST_F(Renderer, OvalAndFanRimsAreExactlyTheirSinesAndCosines) {
    // Every rim point bit for bit as sin and cos of the angle in the renderer's own precision:
    // the angle in degrees as a double, times 0.017453, as a float.
    struct Case {
        int code;
        double x, y, w, h, rotation;
    } cases[] = {
        {CmdOval, 0, 0, 2, -2, 0},        {CmdOval, 100, -50, 60, -40, 0},  {CmdOval, -377.25, 281.5, 7.3, -7.3, 0},
        {CmdOval, 3, 4, 1000, -640, 0},   {CmdOval, 0.1, 0.2, 0.05, 0.07, 33}, // ovals ignore the rotation
        {CmdFan, 0, 0, 100, -100, 0},     {CmdFan, 10, 20, 48, -30, 5},      {CmdFan, -8, 9, 12, -12, 37.3},
        {CmdFan, 1, 1, 300, -300, -90},   {CmdFan, 0, 0, 64, -64, 1e-7},     {CmdFan, 0, 0, 64, -64, 720.5},
    };
    volatile double wedge = WedgeDegrees;   // keeps the compiler from working the angles out itself
    for (const Case& c : cases) {
        SetUp();
        Render({Shape(c.code, {c.x, c.y, c.w, c.h})});
        DrawR[FieldRotation] = c.rotation;
        NextFrame();
        ASys.RenderSys(0);
        const auto& v = FakeGl.batches.at(0).vertices;
        ASSERT_EQ(v.size(), 108u);
        const float x = static_cast<float>(c.x), y = static_cast<float>(c.y);
        const float hw = static_cast<float>(c.w * 0.5), hh = static_cast<float>(c.h * 0.5);
        const double turn = c.code == CmdFan ? c.rotation : 0;
        for (int i = 0; i < WedgeCount; ++i) {
            const double from = wedge * i - turn;
            const double angles[2] = {from, from + wedge};
            EXPECT_EQ(Bits(v[3 * i].x), Bits(x)) << c.code << " wedge " << i;
            EXPECT_EQ(Bits(v[3 * i].y), Bits(y)) << c.code << " wedge " << i;
            for (int k = 0; k < 2; ++k) {
                const float r = static_cast<float>(angles[k] * 0.017453);
                const FakeVertex& p = v[3 * i + 1 + k];
                EXPECT_EQ(Bits(p.x), Bits(x + std::sin(r) * hw)) << c.code << " " << c.rotation << " wedge " << i;
                EXPECT_EQ(Bits(p.y), Bits(y - std::cos(r) * hh)) << c.code << " " << c.rotation << " wedge " << i;
            }
        }
    }
}
