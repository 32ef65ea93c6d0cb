// The play objects: the spawn cycle of each difficulty over 21 spawns, spawn places on the
// grid away from the head, no spawn on a full field, hazard homing toward the point 8 units
// right of and below the head, the clock-driven blink and flash, regrowth and wrapping.
#include <cmath>
#include <set>

#include "play_fixture.h"

class Objects : public PlayScreen {
protected:
    void SetUp() override {
        PlayScreen::SetUp();
        StartRun();
        G.ClearObjects();
        G.dt = 1;
        G.Player.Dead = 1;   // a head that touches nothing, so walks only move, draw and home
    }
    // One walk of the objects; its draw records are handed over to DrawR.
    int Walk() {
        ASys.DrawTo = 0;
        int freeSlot = -2;
        G.ObjectWalk(freeSlot);
        G.BufferGame();
        return freeSlot;
    }
    // The clock set so that Mills() reads ms.
    void ClockAt(int ms) { Now = GameStartTime + ms; }
};

TEST_F(Objects, EachDifficultySpawnsItsCycleOf21Kinds) {
    struct Case {
        int mode;
        std::set<int> bigGems, hazards;
        int gems;
    };
    const Case cases[] = {
        {1, {4, 9, 14, 19}, {}, 16},
        {2, {4, 9, 14, 19}, {5, 15}, 14},
        {3, {}, {3, 9, 15}, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        G.ClearObjects();
        G.GameMode = c.mode;
        G.Player.SpawnCount = 0;
        int gems = 0;
        for (int n = 0; n < 21; n++) {
            G.SpawnObject(n);
            const int count = (n + 1) % 21;   // 1, 2, ..., 20, then 0
            ASSERT_EQ(G.Player.SpawnCount, count);
            int want = MyGame::ObjGem;
            if (c.bigGems.count(count)) want = MyGame::ObjBigGem;
            if (c.hazards.count(count)) want = MyGame::ObjHazard;
            if (count == 11) want = MyGame::ObjBombPickup;
            EXPECT_EQ(G.Objects[n].Type, want) << "spawn count " << count;
            gems += G.Objects[n].Type == MyGame::ObjGem;
        }
        EXPECT_EQ(gems, c.gems);
        G.SpawnObject(21);
        EXPECT_EQ(G.Player.SpawnCount, 1) << "the cycle starts again";
    }
}

TEST_F(Objects, SpawnsLandOnTheGridAtLeast128FromTheHead) {
    struct Head { float x, y; };
    const Head heads[] = {{400, 300}, {160, 300}, {8, 8}, {792, 592}, {40, 560}, {700, 60}};
    for (const Head& h : heads) {
        SCOPED_TRACE(testing::Message() << h.x << "," << h.y);
        G.Player.X = h.x;
        G.Player.Y = h.y;
        for (int n = 0; n < 200; n++) {
            G.SpawnObject(n);
            const auto& o = G.Objects[n];
            ASSERT_GE(G.Dist(h.x, h.y, o.X, o.Y), 128);
            ASSERT_EQ(std::fmod(o.X, 16.0f), 0);
            ASSERT_EQ(std::fmod(o.Y, 16.0f), 0);
            ASSERT_TRUE(o.X >= 32 && o.X <= 768 && o.Y >= 32 && o.Y <= 576) << o.X << "," << o.Y;
            ASSERT_EQ(o.Alpha, 1);
            ASSERT_TRUE(o.VX == 0 && o.VY == 0 && o.Angle == 0 && o.Speed == 0 && o.Spare1 == 0 && o.Spare2 == 0);
        }
    }
}

TEST_F(Objects, TheWalkReportsTheHighestFreeSlotAndAFullFieldSpawnsNothing) {
    for (int i = 0; i < MyGame::ObjectSlots; i++) Put(i, MyGame::ObjGem, 400, 300);
    EXPECT_EQ(Walk(), -1);
    const int drawsBefore = jRand_Count;
    for (int n = 0; n < 500; n++) G.SpawnObjects(-1);
    EXPECT_NE(jRand_Count, drawsBefore) << "the spawn chance is drawn even when nothing can spawn";
    for (int i = 0; i < MyGame::ObjectStorage; i++) ASSERT_EQ(G.Objects[i].Type, i < MyGame::ObjectSlots ? 1 : 0);

    G.Objects[10].Type = 0;
    G.Objects[300].Type = 0;
    EXPECT_EQ(Walk(), 300);
    for (int n = 0; n < 1000 && G.Objects[300].Type == 0; n++) G.SpawnObjects(300);
    EXPECT_NE(G.Objects[300].Type, 0) << "about two updates in a hundred spawn";
    EXPECT_EQ(G.Objects[10].Type, 0);
}

TEST_F(Objects, HazardsHomeOnThePointEightUnitsRightOfAndBelowTheHead) {
    struct Case { float headX, dx, v, wantV; };
    const Case cases[] = {
        {400, -50, 0, 0.025f},   // left of the head: gains toward it
        {400, 50, 0, -0.025f},
        {400, 0, 0, 0.025f},     // level with the head: still pushed on
        {400, 5, 0, 0.025f},
        {400, 8, 0, 0},          // the resting point
        {400, 10, 0, -0.025f},
        {600, -500, 0, -0.025f}, // farther than half the area: the short way round wraps
        {400, -50, 1, 1},        // at the cap it gains no more
        {400, -50, 0.99f, 1.015f},
        {400, 50, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dx " << c.dx << " v " << c.v);
        G.Player.X = c.headX;
        G.Player.Y = 300;
        MyGame::GameObject& h = Put(0, MyGame::ObjHazard, c.headX + c.dx, 300 + c.dx);
        h.VX = h.VY = c.v;
        G.dt = 0;   // home without moving
        Walk();
        EXPECT_NEAR(h.VX, c.wantV, 1e-5);
        EXPECT_NEAR(h.VY, c.wantV, 1e-5);
    }
}

TEST_F(Objects, AHazardSettlesAroundThePointRightOfAndBelowTheHead) {
    G.Player.X = 400;
    G.Player.Y = 300;
    MyGame::GameObject& h = Put(0, MyGame::ObjHazard, 150, 120);
    double sx = 0, sy = 0;
    constexpr int Settle = 3000, Measure = 3000;
    for (int n = 0; n < Settle + Measure; n++) {
        Walk();
        ASSERT_LE(std::fabs(h.VX), 1.025f + 1e-5f);
        if (n >= Settle) {
            sx += h.X - G.Player.X;
            sy += h.Y - G.Player.Y;
        }
    }
    EXPECT_NEAR(sx / Measure, 8, 2);
    EXPECT_NEAR(sy / Measure, 8, 2);
}

TEST_F(Objects, HazardsBlinkAndFlashByTheClockTwentyMillisecondsApartPerSlot) {
    // A hazard blinks for 350 ms of every 750 and is tinted red, or pale for 50 ms of every
    // 1000, while not blinking. Slot 10 runs 200 ms ahead of slot 0.
    struct Case { int mills; int frame0, frame10; double red0, green0, blue0; };
    const Case cases[] = {
        {7800, 90, 3, 255, 255, 255},    // slot 0 at 300 of 750, slot 10 at 500
        {7900, 3, 3, 255, 100, 100},     // 400 and 600; slot 0 at 900 of 1000
        {8100, 3, 90, 255, 100, 100},    // 600 and 50
        {20040, 3, 3, 220, 220, 140},    // slot 0 at 540 of 750 and 40 of 1000: the flash
        {21020, 90, 90, 255, 255, 255},  // 20 of 750 and of 1000: blinking, neither red nor pale
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mills);
        G.ClearObjects();
        Put(0, MyGame::ObjHazard, 100, 100);
        Put(10, MyGame::ObjHazard, 200, 100);
        ClockAt(c.mills);
        Walk();
        const auto hazards = Images(ImgGfx);
        ASSERT_EQ(hazards.size(), 2u);
        EXPECT_EQ(hazards[0][FieldFrame], c.frame0);
        EXPECT_EQ(hazards[1][FieldFrame], c.frame10);
        EXPECT_EQ(hazards[0][FieldColourA + 1], c.red0);
        EXPECT_EQ(hazards[0][FieldColourA + 2], c.green0);
        EXPECT_EQ(hazards[0][FieldColourA + 3], c.blue0);
    }
}

TEST_F(Objects, RegrownGemsFadeInByAHundredthAndSnapToFullAboveHalf) {
    struct Case { int kind; float alpha, want; };
    const Case cases[] = {
        {MyGame::ObjRegrowing, 0, 0.01f},   {MyGame::ObjRegrowing, 0.3f, 0.31f},
        {MyGame::ObjRegrowing, 0.495f, 1},  {MyGame::ObjGem, 0.7f, 1},
        {MyGame::ObjGem, 0.4f, 0.4f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " at " << c.alpha);
        MyGame::GameObject& o = Put(0, c.kind, 300, 200, c.alpha);
        G.dt = 7.68f;
        Walk();
        EXPECT_NEAR(o.Alpha, c.want, 1e-5);
        EXPECT_EQ(o.X, 300) << "only hazards move";
        const auto drawn = Images(ImgGfx, c.kind);
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_NEAR(drawn[0][FieldColourA], c.want * 255, 0.5);
    }
}

TEST_F(Objects, MovingObjectsWrapOnThePlayArea) {
    MyGame::GameObject& h = Put(0, MyGame::ObjHazard, 791.5f, 8.5f);
    h.VX = 1;
    h.VY = -1;
    G.Player.X = 300;   // homing pulls it back, after the move
    G.Player.Y = 300;
    Walk();
    EXPECT_FLOAT_EQ(h.X, 8.5f);
    EXPECT_FLOAT_EQ(h.Y, 591.5f);
}
