// Tests of the core's maths and geometry helpers: trigonometry in degrees with its two
// conversion constants, remainders, distances, the wrapping step, the spiral walk and the
// collision tests with their meeting point.
#include <cmath>
#include <climits>

#include "helpers_fixture.h"

using Maths = CoreHelpers;

TEST_F(Maths, TrigonometryInDegrees) {
    struct Case { float angle; float sin, cos; };
    const Case cases[] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}, {30, 0.5f, 0.8660254f},
                          {-90, -1, 0}, {450, 1, 0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(core->Sin(c.angle), c.sin, 1e-6) << c.angle;
        EXPECT_NEAR(core->Cos(c.angle), c.cos, 1e-6) << c.angle;
    }
}

TEST_F(Maths, DirectionsReadBackWithTheirOwnDivisor) {
    struct Case { float x1, y1, x2, y2, angle; };
    const Case cases[] = {
        {0, 0, 10, 0, 90.0015f},     // to the right
        {0, 0, 0, -10, 0},           // above
        {0, 0, -10, 0, -90.0015f},   // to the left
        {0, 0, 0, 10, 180.003f},     // below
        {5, 5, 15, -5, 45.00076f},   // up and to the right
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(core->Atan2(c.x1, c.y1, c.x2, c.y2), c.angle, 2e-4) << c.x2 << "," << c.y2;
        EXPECT_EQ(core->aTan2(c.x1, c.y1, c.x2, c.y2), core->Atan2(c.x1, c.y1, c.x2, c.y2));
    }
    EXPECT_NEAR(core->Atan2(1, 0), 90.0015f, 2e-4);
    EXPECT_EQ(core->aTan2(1, 1), core->Atan2(1, 1));
    // A heading turned to a point and back lands 0.0015 degrees per right angle further on.
    EXPECT_GT(core->Atan2(core->Sin(90), 0), 90);
}

TEST_F(Maths, RemaindersAbsoluteValuesAndDistances) {
    EXPECT_FLOAT_EQ(core->Mod(7, 3), 1);
    EXPECT_FLOAT_EQ(core->Mod(-7, 3), -1);
    EXPECT_FLOAT_EQ(core->Mod(7.5f, -2), 1.5f);
    EXPECT_TRUE(std::isnan(core->Mod(1, 0)));
    EXPECT_EQ(core->Abs(-3), 3);
    EXPECT_EQ(core->Abs(4), 4);
    EXPECT_EQ(core->Abs(INT_MIN), INT_MAX);
    EXPECT_FLOAT_EQ(core->Abs(-2.5f), 2.5f);
    EXPECT_FLOAT_EQ(core->Dist(0, 0, 3, 4), 5);
    EXPECT_FLOAT_EQ(core->Dist(1, 1, -2, -3), 5);
    EXPECT_FLOAT_EQ(core->Pyth(3, 4), 5);
    EXPECT_FLOAT_EQ(core->Pyth(-6, 8), 10);
}

TEST_F(Maths, SignedStepAlongAWrappingRange) {
    struct Case { float from, to, lo, hi, step; };
    const Case cases[] = {
        {0, 270, 0, 359, -90},  {350, 10, 0, 359, 20}, {10, 350, 0, 359, -20},
        {0, 180, 0, 359, -180}, {0, 179, 0, 359, 179}, {-10, 10, 0, 359, 20},
        {720, 90, 0, 359, 90},  {100, 100, 8, 792, 8}, {100, 101, 8, 792, 9},
        {101, 100, 8, 792, 7},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(core->WhichWayDoIGo(c.from, c.to, c.lo, c.hi), c.step)
            << c.from << " to " << c.to;
    }
    EXPECT_FLOAT_EQ(core->WhichWayDoIGo(0, 270), -90);
    EXPECT_FLOAT_EQ(core->WhichWayDoIGo(350, 10), 20);
    EXPECT_TRUE(std::isnan(core->WhichWayDoIGo(1, 2, 5, 4)));   // empty range
}

TEST_F(Maths, SpiralNumbersEveryCellOfAnOddSquare) {
    struct Case { int x, y, step; };
    const Case cases[] = {{3, 3, 1}, {3, 2, 2},  {4, 2, 3},  {4, 3, 4},  {4, 4, 5},
                          {3, 4, 6}, {2, 4, 7},  {2, 3, 8},  {2, 2, 9},  {2, 1, 10},
                          {5, 1, 13}, {5, 5, 17}, {1, 5, 21}, {1, 1, 25}};
    for (const auto& c : cases) EXPECT_EQ(core->SpiralAt(c.x, c.y, 5, 5), c.step) << c.x << "," << c.y;
    bool seen[26] = {};
    for (int y = 1; y <= 5; y++)
        for (int x = 1; x <= 5; x++) {
            const int step = core->SpiralAt(x, y, 5, 5);
            ASSERT_TRUE(step >= 1 && step <= 25);
            EXPECT_FALSE(seen[step]) << step;
            seen[step] = true;
        }
}

TEST_F(Maths, SpiralLeavesGridsThatItDoesNotFit) {
    struct Case { int x, y, w, h, step; };
    const Case cases[] = {
        {6, 1, 5, 5, 0},  {0, 3, 5, 5, 0},  {4, 4, 4, 4, 0},  {2, 2, 4, 4, 1},
        {1, 1, 4, 4, 9},  {1, 1, 1, 1, 1},  {1, 1, 0, 0, 0},  {1, 1, -3, 5, 0},
        {3, 1, 5, 1, 1},  {4, 1, 5, 1, 0},  {3, 1, 3, 1, 0},  {2, 1, 3, 1, 1},  {2, 1, 3, 3, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(core->SpiralAt(c.x, c.y, c.w, c.h), c.step)
            << c.x << "," << c.y << " on " << c.w << "x" << c.h;
    }
}

TEST_F(Maths, SegmentsMeetAndReportThePoint) {
    EXPECT_EQ(core->Collide_Line_Line(0, 0, 10, 10, 0, 10, 10, 0), 1);
    EXPECT_FLOAT_EQ(core->LastColPointX, 5);
    EXPECT_FLOAT_EQ(core->LastColPointY, 5);

    struct Case { float x1, y1, x2, y2, x3, y3, x4, y4; int hit; };
    const Case cases[] = {
        {0, 0, 10, 10, 20, 0, 30, 10, 0},   // parallel
        {0, 0, 10, 10, 10, 0, 20, -10, 0},  // lines meet beyond the segments
        {0, 0, 10, 0, 10, 0, 10, 10, 1},    // touching at an end point
        {0, 0, 0, 0, 0, 0, 5, 5, 0},        // zero length
        {0, 0, 10, 0, 5, -5, 5, 5, 1},
    };
    for (const auto& c : cases) {
        core->LastColPointX = core->LastColPointY = 1;
        EXPECT_EQ(core->Collide_Line_Line(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4), c.hit);
        if (!c.hit) {
            EXPECT_EQ(core->LastColPointX, -3717);
            EXPECT_EQ(core->LastColPointY, -3717);
        }
    }
}

TEST_F(Maths, CircleTestsIncludeTouchingAndClearThePoint) {
    struct Case { int hit; int got; };
    core->LastColPointX = core->LastColPointY = 3;
    const Case cases[] = {
        {1, core->Collide_Point_Circle(3, 4, 0, 0, 5)},
        {0, core->Collide_Point_Circle(3, 4.01f, 0, 0, 5)},
        {1, core->Collide_Circle_Circle(0, 0, 2, 5, 0, 3)},
        {0, core->Collide_Circle_Circle(0, 0, 2, 5.1f, 0, 3)},
        {1, core->Collide_Circle_Circle(0, 0, 10, 1, 1, 1)},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) EXPECT_EQ(cases[i].got, cases[i].hit) << i;
    EXPECT_EQ(core->LastColPointX, -3717);
    EXPECT_EQ(core->LastColPointY, -3717);
}

TEST_F(Maths, RectangleOverlapAndTheEdgeTest) {
    struct Case { float x1, y1, w1, h1, x2, y2, w2, h2; int plain, complex; };
    const Case cases[] = {
        {0, 0, 10, 10, 10, 0, 10, 10, 1, 1},      // edges touch
        {0, 0, 10, 10, 10.5f, 0, 10, 10, 0, 0},
        {0, 0, 10, 10, 5, 5, 10, 10, 1, 1},       // corner overlap
        {0, 0, 100, 100, 0, 0, 10, 10, 1, 1},     // one inside the other
        {0, 0, 100, 10, 0, 0, 10, 100, 1, 0},     // a cross: no edge inside on both axes
        {0, 0, 10, 10, 0, 30, 10, 10, 0, 0},
    };
    for (const auto& c : cases) {
        core->LastColPointX = 7;
        EXPECT_EQ(core->Collide_Rect_Rect(c.x1, c.y1, c.w1, c.h1, c.x2, c.y2, c.w2, c.h2), c.plain)
            << c.x2 << "," << c.y2;
        EXPECT_EQ(core->Collide_Rect_Rect_Complex(c.x1, c.y1, c.w1, c.h1, c.x2, c.y2, c.w2, c.h2),
                  c.complex) << c.x2 << "," << c.y2;
        EXPECT_EQ(core->LastColPointX, 7);   // untouched by the rectangle tests
    }
}
