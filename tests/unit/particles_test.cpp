// Particles, score popups, ripples and motes: what a thrown particle starts with and in which
// order it draws its random numbers, how long sparks and popups live and how they move, the
// full table, the ripple ring and the mote scatter.
#include <cmath>

#include "play_fixture.h"

class Particles : public PlayScreen {
protected:
    void SetUp() override {
        PlayScreen::SetUp();
        G.GameState = -1;   // a state that draws nothing of its own: only the particles run
    }
    MyGame::Particle& First() { return G.Particles[0]; }
};

TEST_F(Particles, AThrownParticleTakesItsColourGroupSpeedAndDirection) {
    struct Case { int colour, group; float angle, speed, vx, vy; };
    const Case cases[] = {
        {0, 0, 0, 2, 0, -2},     {-1, 11, 90, 3, 3, 0},  {13, 1, 180, 1, 0, 1},
        {11, 11, 270, 4, -4, 0}, {-13, 11, 45, 2, 1.41421f, -1.41421f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colour);
        G.ClearParticles();
        G.ThrowParticle(100, 200, 30, c.colour, MyGame::ParticleDrift, c.angle, c.speed);
        const auto& p = First();
        EXPECT_EQ(p.Type, MyGame::ParticleDrift);
        EXPECT_GE(p.Frame, 12 * c.group);
        EXPECT_LE(p.Frame, 12 * c.group + 11);
        EXPECT_NEAR(p.VX, c.vx, 1e-4);
        EXPECT_NEAR(p.VY, c.vy, 1e-4);
        EXPECT_EQ(p.X, 100);
        EXPECT_EQ(p.Alpha, 1.5f);
        EXPECT_EQ(p.Ink, 30);
    }
}

TEST_F(Particles, RandomNumbersAreDrawnInAFixedOrder) {
    struct Case { int type; bool floor; };
    for (const Case& c : {Case{MyGame::ParticleDrift, false}, Case{MyGame::ParticleBounce, true}}) {
        SCOPED_TRACE(c.type);
        G.ClearParticles();
        G.SeedRnd(77);
        G.ThrowParticle(10, 20, 0, 2, c.type, 0, 1);
        G.SeedRnd(77);
        const float rot = G.Rnd(0, 360), spin = G.Rnd(-2, 2);
        const float floor = c.floor ? 20 + G.Rnd(12, 20) : spin;
        const int frame = 24 + G.Rand(0, 11);
        const auto& p = First();
        EXPECT_EQ(p.Rot, rot);
        EXPECT_EQ(p.Spin, floor);
        EXPECT_EQ(p.Frame, frame);
        EXPECT_EQ(p.Type, c.type);
    }
}

TEST_F(Particles, AFullTableTakesNoMoreAndDrawsNoRandomNumbers) {
    for (auto& p : G.Particles) p.Type = MyGame::ParticleFall;
    const int draws = jRand_Count;
    G.ThrowParticle(1, 2, 3, 4, MyGame::ParticleDrift, 0, 1);
    EXPECT_EQ(jRand_Count, draws);
    for (const auto& p : G.Particles) ASSERT_EQ(p.Type, MyGame::ParticleFall);
    // Points still count without a popup.
    G.Score = 0;
    G.Gimme(50, 10, 10);
    EXPECT_EQ(G.Score, 50);
    for (const auto& p : G.Particles) ASSERT_EQ(p.Type, MyGame::ParticleFall);
}

TEST_F(Particles, ASparkIsDrawnFor76UpdatesOpaqueAtFirstThenFading) {
    G.ThrowParticle(400, 300, 120, 1, MyGame::ParticleDrift, 90, 1);
    const float spin = First().Spin;
    float rot = First().Rot;
    int drawn = 0;
    std::vector<double> alphas;
    for (int n = 1; n <= 100; n++) {
        Step();
        const auto sparks = Images(ImgParticles);
        if (sparks.empty()) continue;
        drawn++;
        alphas.push_back(sparks[0][FieldColourA]);
        EXPECT_NEAR(ScreenX(sparks[0]), 400 + n, 1e-3);
        rot = std::fmod(rot + spin, 360.0f);
        EXPECT_NEAR(sparks[0][FieldRotation], rot, 1e-3);
        EXPECT_FLOAT_EQ(SizeOf(sparks[0]), 0.5f);
    }
    EXPECT_EQ(drawn, 76);
    EXPECT_EQ(alphas.front(), 255);
    EXPECT_EQ(alphas[24], 255);
    EXPECT_LT(alphas[30], 255);
    EXPECT_LT(alphas.back(), 10);
    EXPECT_EQ(First().Type, 0);
}

TEST_F(Particles, FallingSparksGainAQuarterUnitOfSpeedPerUpdate) {
    G.ThrowParticle(400, 100, 0, 0, MyGame::ParticleFall, 90, 0);
    for (int n = 1; n <= 10; n++) {
        Step();
        ASSERT_FLOAT_EQ(First().VY, 0.25f * n);
    }
}

TEST_F(Particles, BouncingSparksAreSentUpFromBelowTheirFloorUntilTheyFade) {
    G.ThrowParticle(400, 100, 0, 0, MyGame::ParticleBounce, 0, 0);
    const float floor = First().Spin;
    EXPECT_TRUE(floor >= 112 && floor <= 120);
    int bounces = 0;
    while (First().Type != 0) {
        const float y = First().Y, vy = First().VY;
        Step();
        if (First().Type == 0) break;
        ASSERT_FLOAT_EQ(First().Y, y + vy) << "the bounce does not move it back";
        if (First().Y > floor) {
            bounces++;
            ASSERT_TRUE(First().VY <= -2 && First().VY >= -5) << First().VY;
        } else {
            ASSERT_FLOAT_EQ(First().VY, vy + 0.25f);
        }
        ASSERT_EQ(First().Spin, floor);
    }
    EXPECT_GE(bounces, 2);
}

TEST_F(Particles, ABouncingSparkTurnsByItsSideSpeedNotByItsFloor) {
    G.ThrowParticle(400, 100, 0, 0, MyGame::ParticleBounce, 90, 1.5f);
    float rot = First().Rot;
    for (int n = 1; n <= 5; n++) {
        SCOPED_TRACE(n);
        Step();
        rot = std::fmod(rot + 1.5f, 360.0f);
        const auto sparks = Images(ImgParticles);
        ASSERT_EQ(sparks.size(), 1u);
        EXPECT_NEAR(sparks[0][FieldRotation], rot, 1e-3);
    }
}

TEST_F(Particles, AScorePopupShowsItsNumberRisingInItsHueFor31Updates) {
    G.Score = 0;
    G.Gimme(50, 300, 200, 240);
    EXPECT_EQ(G.Score, 50);
    EXPECT_EQ(First().Type, MyGame::ParticlePopup);
    float y = 200, step = 0;
    int shown = 0;
    for (int n = 0; n < 40; n++) {
        Step();
        if (!Drew("50")) continue;
        shown++;
        EXPECT_TRUE(Images(ImgParticles).empty()) << "a popup is no sprite";
        const auto glyphs = Images(FontMain);
        ASSERT_EQ(glyphs.size(), 2u);
        EXPECT_EQ(glyphs[0][FieldColourA + 1], 0);    // hue 240: blue
        EXPECT_EQ(glyphs[0][FieldColourA + 3], 255);
        EXPECT_NEAR(ScreenY(glyphs[0]), y, 1e-3);
        EXPECT_FLOAT_EQ(SizeOf(glyphs[0]), 0.5f);
        step -= 0.05f;   // rising ever faster
        y += step;
    }
    EXPECT_EQ(shown, 31);
    G.Gimme(10, 0, 0);
    EXPECT_EQ(First().Ink, 60) << "plain points pop up in hue 60";
}

TEST_F(Particles, ParticlesRunOverThePauseScreenToo) {
    G.GameState = StatePlay;
    G.Paused = 1;
    G.ThrowParticle(400, 300, 0, 0, MyGame::ParticleDrift, 90, 2);
    Step();
    EXPECT_FLOAT_EQ(First().X, 402);
}

TEST_F(Particles, TheRippleRingReplacesItsOldestAndSizesByKind) {
    G.RippleNext = 0;
    for (int n = 0; n < 50; n++) G.DoRipple(static_cast<float>(n), 0, MyGame::RippleSmall);
    EXPECT_EQ(G.RippleNext, 0);
    EXPECT_EQ(G.Ripples[1].X, 0) << "the first ripple went into slot 1";
    EXPECT_EQ(G.Ripples[0].X, 49);
    G.DoRipple(50, 0, MyGame::RippleSmall);
    EXPECT_EQ(G.Ripples[1].X, 50) << "the 51st overwrites the first";

    struct Case { int type; float sizeLow, sizeHigh, growth; };
    const Case cases[] = {
        {MyGame::RippleSmall, 0.15f, 0.3f, 0.02f},
        {MyGame::RippleGem, 0.15f, 0.3f, 0.004f},
        {MyGame::RippleBlast, 1, 1, 0.01f},
        {7, 0.15f, 0.3f, 0.02f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        G.DoRipple(5, 6, c.type);
        const auto& r = G.Ripples[G.RippleNext];
        EXPECT_EQ(r.Alpha, 1);
        EXPECT_EQ(r.Y, 6);
        EXPECT_GE(r.Size, c.sizeLow);
        EXPECT_LE(r.Size, c.sizeHigh);
        EXPECT_FLOAT_EQ(r.Growth, c.growth);
    }
}

TEST_F(Particles, ResetStarsScattersUpTo260MotesAndLeavesTheRest) {
    for (auto& m : G.Motes) m = MyGame::Mote{7, -999, -999, 5, 9, 0, 0, {0, 0, 0}};
    G.ResetStars(100);
    for (int i = 0; i < MyGame::MoteStorage; i++) {
        SCOPED_TRACE(i);
        const auto& m = G.Motes[i];
        ASSERT_EQ(m.VY, 9) << "VY is left alone";
        if (i >= 100) {
            ASSERT_EQ(m.X, -999);
            continue;
        }
        ASSERT_TRUE(m.X >= -128 && m.X <= 928 && m.Y >= -128 && m.Y <= 728);
        ASSERT_TRUE(m.VX >= 0.25f && m.VX <= 1);
        ASSERT_TRUE(m.Frame >= 0 && m.Frame <= 11 && m.Frame == std::floor(m.Frame));
        ASSERT_TRUE(m.Angle >= 0 && m.Angle <= 360 && m.Spin >= -3 && m.Spin <= 3);
    }
    G.ResetStars(1000);
    for (const auto& m : G.Motes) ASSERT_NE(m.X, -999);
}
