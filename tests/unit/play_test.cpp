// The play screen driven update by update with scripted keys: the run start, the creature's
// speed, steering, boost and trail, what eating and touching do, the bomb's countdown and
// blast, death, the pause keys and button, the motes' push and the water layers, and a soak
// of 1,000 updates per difficulty.
#include <cmath>

#include "play_fixture.h"

namespace {
constexpr float Dt = 16 / 16.666666666666668f;   // the speed factor of the fixture's 16 ms updates
constexpr int Easy = 1, Normal = 2, Hard = 3;

int LiveParticles(const MyGame& g, float type) {
    int n = 0;
    for (const auto& p : g.Particles) n += p.Type == type;
    return n;
}
}  // namespace

class Play : public PlayScreen {};

TEST_F(Play, ARunStartsFacingRightWithMusicAndAnEmptyField) {
    const int plays = G.Option[OptPlays];
    G.Score = 99;
    Put(5, MyGame::ObjHazard, 100, 100);
    StartRun(Normal);
    EXPECT_EQ(G.GameState, StatePlay);
    EXPECT_EQ(G.Option[OptPlays], plays + 1);
    EXPECT_FLOAT_EQ(G.Player.X, 160);
    EXPECT_FLOAT_EQ(G.Player.Y, 300);
    EXPECT_EQ(G.Player.Speed, 0);
    EXPECT_EQ(G.Player.Length, 10);
    EXPECT_EQ(G.Player.Angle, 90);
    EXPECT_EQ(G.Player.TurnRate, 0);
    EXPECT_EQ(G.Player.BombTimer, 0);
    EXPECT_EQ(G.Lives, 3);
    EXPECT_EQ(G.Score, 0);
    EXPECT_EQ(G.Objects[5].Type, 0);
    EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
    for (const auto& p : G.PlayerTrail)
        for (float v : p) ASSERT_EQ(v, -512);
    for (const auto& r : G.Ripples) EXPECT_EQ(r.Alpha, 0);
    EXPECT_EQ(G.RippleNext, 0);
    for (int i = 0; i < MyGame::PlayMotes; i++) {
        const auto& m = G.Motes[i];
        ASSERT_EQ(m.VX, 0);
        ASSERT_EQ(m.VY, 0);
        ASSERT_TRUE(m.X >= -128 && m.X <= 928 && m.Y >= -128 && m.Y <= 728);
    }
    for (const auto* w : {&G.WaterA, &G.WaterB}) {
        EXPECT_TRUE(w->X >= 0 && w->X <= 1024 && w->Y >= 0 && w->Y <= 1024);
        EXPECT_EQ(w->VX, w->TargetVX);
        EXPECT_EQ(w->VY, w->TargetVY);
        EXPECT_LE(std::fabs(w->TargetVX), 0.3f);
    }
    EXPECT_TRUE(Images(ImgGfx).empty()) << "the start of a run draws no play yet";
}

// One update draws in its fixed order: backdrop, motes, ripples, trail, objects, the water
// layers over them, the HUD, then the pause button.
TEST_F(Play, OneUpdateDrawsBackdropMotesRipplesTrailObjectsWaterHudAndPauseButton) {
    StartRun();
    Step();
    G.ClearObjects();
    Put(3, MyGame::ObjGem, 600, 450);
    G.DoRipple(300, 200, MyGame::RippleSmall);
    const float rippleAlpha = G.Ripples[G.RippleNext].Alpha;
    Step();

    // Runs of records of one kind: a shape's command code, or an image's slot.
    std::vector<std::pair<int, int>> runs;
    for (int i = 0; i < RecordCount(); i++) {
        const double* r = Record(i);
        const int kind = r[FieldCode] == CmdImage ? static_cast<int>(r[FieldSlot]) : -static_cast<int>(r[FieldCode]);
        if (runs.empty() || runs.back().first != kind) runs.push_back({kind, 0});
        runs.back().second++;
    }
    const std::vector<std::pair<int, int>> want = {
        {-CmdRect, 1},  {ImgParticles, MyGame::PlayMotes}, {ImgRipple, 1}, {ImgGfx, 10 + 1},
        {ImgRippleB, 18}, {FontMain, 0}, {ImgOptions, 3}, {ImgIcons, 1},   // text: any count
    };
    ASSERT_EQ(runs.size(), want.size()) << DrawnText();
    for (size_t k = 0; k < want.size(); k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(runs[k].first, want[k].first);
        if (want[k].first != FontMain) {
            EXPECT_EQ(runs[k].second, want[k].second);
        }
    }
    const auto gem = Images(ImgGfx, MyGame::ObjGem);
    ASSERT_EQ(gem.size(), 1u);
    EXPECT_FLOAT_EQ(ScreenX(gem[0]), 600);

    // The backdrop: 256 units larger than the screen, blue at the top, black at the bottom.
    const double* backdrop = Record(0);
    EXPECT_FLOAT_EQ(ScreenX(backdrop), 400);
    EXPECT_FLOAT_EQ(static_cast<float>(std::fabs(backdrop[FieldW])), 1056);
    EXPECT_FLOAT_EQ(static_cast<float>(std::fabs(backdrop[FieldH])), 856);
    EXPECT_NEAR(backdrop[FieldColourB], 0.4 * 255, 0.01);
    EXPECT_EQ(backdrop[FieldColourB + 3], 80);
    EXPECT_EQ(backdrop[FieldColourA + 3], 0);
    // Motes small and faint; a ripple at half its faded alpha.
    const double* mote = Record(1);
    EXPECT_FLOAT_EQ(SizeOf(mote), 0.3f);
    EXPECT_NEAR(mote[FieldColourA], 0.15 * 255, 0.01);
    const auto ripple = Images(ImgRipple);
    ASSERT_EQ(ripple.size(), 1u);
    EXPECT_NEAR(ripple[0][FieldColourA], (rippleAlpha - 0.05f) * 0.5f * 255, 0.01);
    EXPECT_FLOAT_EQ(ScreenX(ripple[0]), 300);
}

// The background motes drift right and up, are pushed along the creature's heading near its
// head, and wrap eight units outside the screen.
TEST_F(Play, MotesDriftTakeTheCreaturesWakeAndWrapOutsideTheScreen) {
    struct Case { const char* name; float dx, dy; float wantX, wantY, wantVX; };
    const Case cases[] = {
        // Relative to the head, which faces right: behind it within 45 units, pushed right
        // by its distance after the drift times 0.01 times 0.2.
        {"in the wake", -20, 0, -19.85f, -0.075f, 19.85f * 0.01f * 0.2f},
        {"beyond the wake", -60, 0, -59.85f, -0.075f, 0},
        {"diagonal beyond 45", -40, 40, -39.85f, 39.925f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRun();
        Step();
        G.ClearObjects();
        MyGame::Mote& m = G.Motes[0];
        m = MyGame::Mote{};
        const float hx = G.Player.X, hy = G.Player.Y;
        m.X = hx + c.dx;
        m.Y = hy + c.dy;
        Step();
        EXPECT_NEAR(m.X, hx + c.wantX, 1e-3);
        EXPECT_NEAR(m.Y, hy + c.wantY, 1e-3);
        EXPECT_NEAR(m.VX, c.wantVX, 1e-5);
        EXPECT_NEAR(m.VY, 0, 1e-6) << "the head faces right";
    }
    struct Wrap { float x, y, wantX, wantY; };
    const Wrap wraps[] = {{807.9f, 300, -8.0f + 0.05f, 299.925f}, {400, -7.95f, 400.15f, 607.975f}};
    for (const Wrap& w : wraps) {
        SCOPED_TRACE(testing::Message() << w.x << "," << w.y);
        MyGame::Mote& m = G.Motes[1];
        m = MyGame::Mote{};
        m.X = w.x;
        m.Y = w.y;
        Step();
        EXPECT_NEAR(m.X, w.wantX, 1e-3);
        EXPECT_NEAR(m.Y, w.wantY, 1e-3);
    }
}

TEST_F(Play, TheCreatureSpeedsUpByATenthPerUpdateUpToFive) {
    StartRun();
    float x = G.Player.X;
    for (int n = 1; n <= 60; n++) {
        G.ClearObjects();
        Step();
        const float speed = std::min(0.1f * n, 5.0f);
        ASSERT_NEAR(G.Player.Speed, speed, 1e-4) << n;
        x += Dt * G.Player.Speed;
        if (x > 792) x -= 784;
        ASSERT_NEAR(G.Player.X, x, 1e-3) << n;
        ASSERT_FLOAT_EQ(G.Player.Y, 300);
    }
}

TEST_F(Play, SteeringTurnsSlowlyFirstAndReleasingResetsTheRate) {
    StartRun();
    Hold(GLFW_KEY_RIGHT);
    float angle = 90;
    for (int n = 1; n <= 20; n++) {
        Step();
        ASSERT_NEAR(G.Player.TurnRate, 0.01f * n, 1e-5);
        angle += Dt * G.Player.Speed * G.Player.TurnRate;
        ASSERT_NEAR(G.Player.Angle, angle, 1e-3);
    }
    Hold(GLFW_KEY_RIGHT, false);
    Step();
    EXPECT_EQ(G.Player.TurnRate, 1);
    EXPECT_NEAR(G.Player.Angle, angle, 1e-3) << "no turn without a turn input";
    Hold(GLFW_KEY_LEFT);
    Step();
    EXPECT_NEAR(G.Player.Angle, angle - Dt * G.Player.Speed * G.Player.TurnRate, 1e-3);
}

TEST_F(Play, BoostMovesHalfAStepMore) {
    struct Case { bool boost; float share; };
    for (const Case& c : {Case{false, 1.0f}, Case{true, 1.5f}}) {
        SCOPED_TRACE(c.boost);
        StartRun();
        G.Player.Speed = 4.9f;
        const float x = G.Player.X;
        Hold(GLFW_KEY_Z, c.boost);
        Step();
        EXPECT_NEAR(G.Player.X - x, 5 * Dt * c.share, 1e-3);
        Hold(GLFW_KEY_Z, false);
    }
}

TEST_F(Play, ThePlayAreaWrapsEightUnitsInsideTheScreen) {
    struct Case { float x, y, wantX, wantY; };
    const Case cases[] = {
        {400, 300, 400, 300}, {7, 300, 791, 300}, {793, 300, 9, 300},
        {400, 7.5f, 400, 591.5f}, {400, 593, 400, 9}, {8, 592, 8, 592},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        float x = c.x, y = c.y;
        G.WrapOnPlayArea(x, y);
        EXPECT_FLOAT_EQ(x, c.wantX);
        EXPECT_FLOAT_EQ(y, c.wantY);
    }
}

TEST_F(Play, TheTrailDrawsOneSegmentPerUnitOfLengthTheNewestInTheHeadColour) {
    struct Case { float length; size_t segments; bool bomb; };
    const Case cases[] = {{10, 10, false}, {10.2f, 11, false}, {100, 100, false}, {150, 101, false}, {10, 10, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        StartRun();
        G.Player.Length = c.length;
        G.Player.BombTimer = c.bomb ? 200 : 0;
        G.Player.BombTick = 190;
        Step();
        const auto segments = Images(ImgGfx, 0);
        ASSERT_EQ(segments.size(), c.segments);
        const double* head = segments.back();
        EXPECT_EQ(head[FieldColourA + 1], c.bomb ? 255 : 180);
        EXPECT_EQ(head[FieldColourA + 2], c.bomb ? 180 : 255);
        EXPECT_EQ(head[FieldColourA + 3], c.bomb ? 100 : 180);
        EXPECT_EQ(segments.front()[FieldColourA + 1], 50);
        EXPECT_EQ(segments.front()[FieldColourA + 2], 125);
        EXPECT_FLOAT_EQ(ScreenX(head), G.Player.X);
        EXPECT_FLOAT_EQ(SizeOf(head), 0.8f);
    }
}

TEST_F(Play, TheTrailShiftsOnePointPerUpdate) {
    StartRun();
    Hold(GLFW_KEY_RIGHT);   // a curve, so every point differs
    std::vector<std::array<float, 3>> heads;
    for (int n = 0; n < 40; n++) {
        G.ClearObjects();
        Step();
        heads.push_back({G.Player.X, G.Player.Y, G.Player.Angle});
    }
    for (int j = 0; j < 40; j++) {
        SCOPED_TRACE(j);
        const auto& p = G.PlayerTrail[300 - j];
        EXPECT_EQ(p[0], heads[39 - j][0]);
        EXPECT_EQ(p[1], heads[39 - j][1]);
        EXPECT_EQ(p[2], heads[39 - j][2]);
    }
    EXPECT_EQ(G.PlayerTrail[300 - 40][0], -512) << "older points are still the off-screen start";
    // The drawn segments are points 273, 276, ..., 300: every third head of the last 30 updates.
    const auto segments = Images(ImgGfx, 0);
    ASSERT_EQ(segments.size(), 10u);
    for (int k = 0; k < 10; k++) {
        EXPECT_FLOAT_EQ(ScreenX(segments[k]), heads[39 - 27 + 3 * k][0]);
        EXPECT_FLOAT_EQ(static_cast<float>(segments[k][FieldRotation]), heads[39 - 27 + 3 * k][2]);
    }
}

TEST_F(Play, AnEatenGemScoresLengthensAndLeavesAGemThatKillsOnceItHasRegrown) {
    StartRun(Easy);
    Step();
    MyGame::GameObject& gem = PutAtHead(7, MyGame::ObjGem);
    const float gx = gem.X, gy = gem.Y;
    Step();
    EXPECT_EQ(G.Score, 10);
    EXPECT_FLOAT_EQ(G.Player.Length, 10.2f);
    EXPECT_EQ(gem.Type, MyGame::ObjRegrowing);
    EXPECT_EQ(gem.Alpha, 0);
    EXPECT_EQ(LastSound(), SfxGem);
    EXPECT_EQ(LiveParticles(G, MyGame::ParticlePopup), 1);
    EXPECT_EQ(G.RipplePush.X, gx);
    EXPECT_EQ(G.RipplePush.Y, gy);
    EXPECT_FLOAT_EQ(G.RipplePush.Strength, 0.01f);
    EXPECT_FLOAT_EQ(G.Ripples[G.RippleNext].Growth, 0.004f);
    EXPECT_EQ(Images(ImgGfx, MyGame::ObjGem).size(), 1u) << "drawn as a gem in the update it is eaten";
    EXPECT_EQ(Images(ImgGfx, MyGame::ObjGem)[0][FieldColourA], 255);

    // Kept under the head: harmless while fading in, deadly once its alpha passes 0.5.
    int updates = 0;
    while (G.Player.Dead == 0 && updates < 100) {
        const float before = gem.Alpha;
        G.ClearObjects();
        Put(7, MyGame::ObjRegrowing, G.Player.X, G.Player.Y, before);
        Step();
        updates++;
        if (G.Player.Dead == 0) {
            ASSERT_LE(before + 0.01f, 0.5f + 1e-5f) << updates;
        }
    }
    EXPECT_EQ(G.Player.Dead, 1);
    EXPECT_GE(updates, 50);
    EXPECT_LE(updates, 51);
    EXPECT_EQ(G.Objects[7].Alpha, 1);
}

TEST_F(Play, ABigGemTurnsTheCreatureBy160AndSlowsIt) {
    for (int gems : {1, 2}) {
        SCOPED_TRACE(gems);
        StartRun();
        for (int i = 0; i < 5; i++) Step();
        G.ClearObjects();
        for (int k = 0; k < gems; k++) PutAtHead(3 + k, MyGame::ObjBigGem);
        const float angle = G.Player.Angle, speed = G.Player.Speed;
        Step();
        const float turn = G.Player.Angle - angle;
        EXPECT_TRUE(std::fabs(turn - 160 * gems) < 1e-3 || std::fabs(turn + 160 * gems) < 1e-3) << turn;
        EXPECT_NEAR(G.Player.Speed, std::pow(0.3f, gems) * (speed + 0.1f), 1e-4);
        EXPECT_FLOAT_EQ(G.Player.Length, 10.0f + gems);
        EXPECT_EQ(G.Score, 50 * gems);
        EXPECT_EQ(G.Player.TurnRate, 1);
        EXPECT_EQ(G.Objects[3].Type, 0);
        EXPECT_EQ(LastSound(), SfxBigGem);
        EXPECT_FLOAT_EQ(G.RipplePush.Strength, 0.02f);
    }
}

TEST_F(Play, DeadlyTouchesKillWithoutABombAndSetItOffWithOne) {
    struct Case {
        const char* name;
        int first, second;      // kinds in slots 3 and 5 under the head (0: none)
        float alpha;            // alpha of the slot-3 object
        float bomb;             // BombTimer before the update
        bool dies;
        int score;
    };
    const Case cases[] = {
        {"hazard", MyGame::ObjHazard, 0, 1, 0, true, 0},
        {"hazard with a bomb", MyGame::ObjHazard, 0, 1, 150, false, 5},
        {"regrown gem", MyGame::ObjRegrowing, 0, 1, 0, true, 0},
        {"fading regrown gem", MyGame::ObjRegrowing, 0, 0.3f, 0, false, 0},
        {"hazard before a pickup", MyGame::ObjHazard, MyGame::ObjBombPickup, 1, 0, true, 0},
        {"pickup before a hazard", MyGame::ObjBombPickup, MyGame::ObjHazard, 1, 0, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRun();
        Step();
        G.ClearObjects();
        Put(3, c.first, G.Player.X, G.Player.Y, c.alpha);
        if (c.second) PutAtHead(5, c.second);
        G.Player.BombTimer = c.bomb;
        G.Player.BombTick = c.bomb - 10;
        Step();
        EXPECT_EQ(G.Player.Dead, c.dies ? 1 : 0);
        EXPECT_EQ(G.GameOver, c.dies ? MyGame::EndDeath : 0);
        EXPECT_EQ(G.Score, c.score);
        if (c.dies) {
            EXPECT_EQ(LiveParticles(G, MyGame::ParticleDrift), 100);
            EXPECT_EQ(ASys.MusicPlaying, MusicNone);
            EXPECT_EQ(G.RipplePush.X, G.Player.X);
            EXPECT_FLOAT_EQ(G.RipplePush.Strength, 0.04f);
        }
        if (c.score) {
            EXPECT_EQ(G.Player.BombTimer, 0) << "the blast uses up the bomb";
            EXPECT_EQ(G.Objects[3].Type, 0);
            EXPECT_EQ(G.Objects[5].Type, 0);
            EXPECT_EQ(LiveParticles(G, MyGame::ParticleDrift), 8);
        }
    }
}

TEST_F(Play, APickupTouchedWhileABombIsCarriedStays) {
    StartRun();
    Step();
    G.ClearObjects();
    G.Player.BombTimer = 100;
    G.Player.BombTick = 90;
    PutAtHead(6, MyGame::ObjBombPickup);
    Step();
    EXPECT_EQ(G.Objects[6].Type, MyGame::ObjBombPickup);
    EXPECT_NEAR(G.Player.BombTimer, 100 - Dt, 1e-4);
}

TEST_F(Play, ABombTicksElevenTimesRisingInPitchThenGoesOffAtTheHead) {
    StartRun();
    Step();
    G.ClearObjects();
    PutAtHead(6, MyGame::ObjBombPickup);
    Step();
    ASSERT_EQ(G.Player.BombTimer, 240);
    EXPECT_EQ(LastSound(), SfxBomb);
    std::vector<float> pitches;
    int updates = 0;
    while (G.Player.BombTimer > 0 && updates < 400) {
        G.ClearObjects();
        const int before = SoundsPlayed();
        Step();
        updates++;
        if (SoundsPlayed() > before && LastSound() == SfxBomb) pitches.push_back(LastPitch());
    }
    ASSERT_EQ(pitches.size(), 11u);
    for (size_t k = 1; k < pitches.size(); k++) EXPECT_GT(pitches[k], pitches[k - 1]);
    EXPECT_NEAR(pitches.front(), 2 - 210.0f / 240, 0.01);
    EXPECT_NEAR(updates * Dt, 240, 2) << "the fuse burns 240 dt units";
    EXPECT_EQ(LastSound(), SfxBlast);
    const auto& ring = G.Ripples[G.RippleNext];
    EXPECT_EQ(ring.X, G.Player.X);
    EXPECT_EQ(ring.Y, G.Player.Y);
    EXPECT_EQ(ring.Size, 1);
}

TEST_F(Play, TheBoostButtonSetsACarriedBombOffOnTheNextUpdate) {
    for (bool boost : {false, true}) {
        SCOPED_TRACE(boost);
        StartRun();
        Step();
        G.ClearObjects();
        Hold(GLFW_KEY_Z, boost);
        PutAtHead(6, MyGame::ObjBombPickup);
        Step();
        EXPECT_EQ(G.Player.BombTimer, 240) << "picked up after the countdown of its update";
        Step();
        const float left = boost ? 0 : 240 - Dt;
        EXPECT_NEAR(G.Player.BombTimer, left, 1e-4);
        Hold(GLFW_KEY_Z, false);
    }
}

TEST_F(Play, TheBlastClearsEveryObjectWithin128AndScoresFiveEach) {
    struct Case { int kind; float alpha; float distance; bool removed; };
    const Case cases[] = {
        {MyGame::ObjGem, 1, 127, true},          {MyGame::ObjBigGem, 1, 60, true},
        {MyGame::ObjHazard, 1, 0, true},         {MyGame::ObjBombPickup, 1, 100, true},
        {MyGame::ObjRegrowing, 0.3f, 20, true},  {MyGame::ObjGem, 1, 128.5f, false},
        {MyGame::ObjHazard, 1, 129, false},
    };
    StartRun();
    G.ClearObjects();
    const float x = 400, y = 300;
    int slot = 0, removed = 0;
    for (const Case& c : cases) {
        Put(slot, c.kind, x + c.distance * 0.6f, y - c.distance * 0.8f, c.alpha);
        removed += c.removed;
        slot += 10;
    }
    G.Bomb(x, y);
    slot = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " at " << c.distance);
        EXPECT_EQ(G.Objects[slot].Type == 0, c.removed);
        slot += 10;
    }
    EXPECT_EQ(G.Score, 5 * removed);
    EXPECT_EQ(LiveParticles(G, MyGame::ParticleDrift), 8 * removed);
    EXPECT_EQ(LiveParticles(G, MyGame::ParticlePopup), removed);
    EXPECT_EQ(G.RipplePush.X, x);
    EXPECT_FLOAT_EQ(G.RipplePush.Strength, 0.03f);
    EXPECT_EQ(LastSound(), SfxBlast);
}

TEST_F(Play, AfterDeathTheUnseenHeadSwimsOnAndHazardsKeepHoming) {
    StartRun();
    Step();
    G.ClearObjects();
    PutAtHead(3, MyGame::ObjHazard);
    Step();
    ASSERT_EQ(G.Player.Dead, 1);
    const float x = G.Player.X;
    MyGame::GameObject& hazard = Put(4, MyGame::ObjHazard, G.Player.X - 100, G.Player.Y);
    PutAtHead(5, MyGame::ObjGem);
    Step();
    EXPECT_NE(G.Player.X, x);
    EXPECT_TRUE(Images(ImgGfx, 0).empty()) << "no trail once dead";
    EXPECT_GT(hazard.VX, 0);
    EXPECT_EQ(G.Objects[5].Type, MyGame::ObjGem) << "no touches once dead";
    EXPECT_EQ(G.Score, 0);
    // The end banner runs out and the game returns to the title.
    EXPECT_TRUE(StepUntil([&] { return G.GameState != StatePlay; }, 200));
}

// A run quit from the pause screen plays on under its banner: touches and scoring go on,
// and a fatal touch neither kills nor stops the music.
TEST_F(Play, UnderTheQuitBannerAFatalTouchDoesNothing) {
    StartRun();
    Step();
    G.EndGame(MyGame::EndQuit);
    G.ClearObjects();
    PutAtHead(3, MyGame::ObjHazard);
    PutAtHead(4, MyGame::ObjGem);
    Step();
    EXPECT_EQ(G.Player.Dead, 0);
    EXPECT_EQ(G.GameOver, MyGame::EndQuit);
    EXPECT_EQ(ASys.MusicPlaying, MusicOgg);
    EXPECT_EQ(LiveParticles(G, MyGame::ParticleDrift), 0);
    EXPECT_EQ(G.Score, 10) << "the gem is still eaten";
    EXPECT_FALSE(Images(ImgGfx, 0).empty()) << "the trail is still drawn";
}

TEST_F(Play, EscapeAndStartPauseOnlyAfterTheirLatchIsReleased) {
    StartRun();
    Step();
    Tap(GLFW_KEY_ESCAPE, 1, 0);
    EXPECT_EQ(G.Paused, 1);
    EXPECT_EQ(G.PauseCursor, 1);

    G.Paused = 0;
    Hold(GLFW_KEY_ESCAPE, false);
    G.LockKeys();
    Hold(GLFW_KEY_ENTER);
    Step();
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.Paused, 0) << "Return held keeps the pause latch";
    Hold(GLFW_KEY_ENTER, false);
    Step();
    EXPECT_EQ(G.Paused, 0) << "Escape still held: its own press does not count again";
    Hold(GLFW_KEY_ESCAPE, false);
    Step();
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.Paused, 1);
}

TEST_F(Play, ThePauseButtonWorksByPointerEvenWhenInvisible) {
    for (int pointerMode : {0, 1}) {
        SCOPED_TRACE(pointerMode);
        StartRun();
        G.PointerMode = pointerMode;
        Step();
        const auto icons = Images(ImgIcons, 0);
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_EQ(icons[0][FieldColourA], pointerMode ? 0.4 * 255 : 0);
        EXPECT_FLOAT_EQ(ScreenX(icons[0]), 32);
        MouseAt(32, 32);
        MouseButton(true);
        Step();
        EXPECT_EQ(G.Paused, 1);
        MouseButton(false);
        MouseAt(400, 300);
    }
}

TEST_F(Play, ARipplePushMovesTheMotesOnTheNextUpdateOnly) {
    StartRun();
    Step();
    G.ClearObjects();
    PutAtHead(7, MyGame::ObjGem);
    MyGame::Mote& mote = G.Motes[0];
    mote = MyGame::Mote{};
    mote.X = G.Player.X - 60;
    mote.Y = G.Player.Y;
    Step();
    ASSERT_EQ(G.Score, 10);
    EXPECT_EQ(mote.VX, 0) << "the push of this update waits for the next";
    Step();
    EXPECT_NEAR(mote.VX, -60 * 0.01f * 0.2f, 0.005);
    const float vx = mote.VX;
    Step();
    EXPECT_FLOAT_EQ(mote.VX, vx * 0.98f) << "a push lasts one update";
}

TEST_F(Play, TheWaterLayersWrapAndDrawNineTilesEach) {
    StartRun();
    G.WaterA.X = 1023.9f;
    G.WaterA.VX = G.WaterA.TargetVX = 0.3f;
    G.WaterB.Y = 0.1f;
    G.WaterB.VY = G.WaterB.TargetVY = -0.3f;
    // A drift away from its target moves the layer first and then eases by 1/128 of the gap.
    G.WaterA.Y = 500;
    G.WaterA.VY = 0.2f;
    G.WaterA.TargetVY = -0.2f;
    Step();
    EXPECT_NEAR(G.WaterA.X, 0.2f, 1e-3);
    EXPECT_NEAR(G.WaterB.Y, 1023.8f, 1e-3);
    EXPECT_NEAR(G.WaterA.Y, 500.2f, 1e-4);
    EXPECT_NEAR(G.WaterA.VY, 0.2f - 0.4f / 128, 1e-6);
    const auto tiles = Images(ImgRippleB);
    ASSERT_EQ(tiles.size(), 18u);
    for (size_t k = 0; k < tiles.size(); k++) {
        EXPECT_EQ(tiles[k][FieldRotation], k < 9 ? 0 : 90);
        EXPECT_FLOAT_EQ(SizeOf(tiles[k]), 2);
        EXPECT_NEAR(tiles[k][FieldColourA], 0.1 * 255, 0.01);
    }
    EXPECT_NEAR(ScreenX(tiles[0]), G.WaterA.X - 1024, 1e-3);
}

// A scripted player swims in wide circles for 1,000 updates of play at a fixed seed on every
// difficulty, starting a new run whenever one has ended in death: no update's draw list
// overflows and every object stays a known kind inside the play area.
TEST_F(Play, SoakOfAThousandUpdatesPerDifficulty) {
    for (int mode : {Easy, Normal, Hard}) {
        SCOPED_TRACE(mode);
        G.SeedRnd(Seed + mode);
        StartRun(mode);
        int maxRecords = 0, runs = 1, deaths = 0;
        for (int n = 0; n < 1000; n++) {
            if (G.GameState != StatePlay) {
                deaths += G.Player.Dead == 1;
                StartRun(mode);
                runs++;
            }
            Hold(GLFW_KEY_RIGHT, n % 90 < 40);
            Hold(GLFW_KEY_Z, n % 200 < 10);
            Hold(GLFW_KEY_X, n % 50 == 0);
            Step();
            maxRecords = std::max(maxRecords, RecordCount());
            for (int i = 0; i < MyGame::ObjectSlots; i++) {
                const auto& o = G.Objects[i];
                const int t = static_cast<int>(o.Type);
                ASSERT_TRUE(t == 0 || t == 1 || t == 2 || t == 3 || t == 4 || t == 91) << t;
                if (t) {
                    ASSERT_TRUE(o.X >= 7 && o.X <= 793 && o.Y >= 7 && o.Y <= 593) << o.X << "," << o.Y;
                }
            }
        }
        ReleaseAll();
        EXPECT_LE(maxRecords, DrawListRecords);
        EXPECT_GT(maxRecords, 300) << "motes, water, trail and HUD are drawn";
        EXPECT_EQ(deaths, runs - 1) << "every run before the last ended in death";
        G.StopMusic();
    }
}
