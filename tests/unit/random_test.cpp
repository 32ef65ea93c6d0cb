// Tests of the seeded random stream (its exact integer steps, determinism and ranges, the
// seeds outside the usual range) and of the clock-mixed generator, which must never move
// the seeded stream.
#include <climits>
#include <set>
#include <vector>

#include "helpers_fixture.h"

namespace {
long long FakeNow = 0;
long long FakeClock() { return FakeNow; }
}  // namespace

class Random : public CoreHelpers {
protected:
    void SetUp() override {
        CoreHelpers::SetUp();
        SysClockSource = FakeClock;
        GameStartTime = 0;
        FakeNow = 5000;
    }

    std::vector<float> Draws(int seed, int n) {
        core->SeedRnd(seed);
        std::vector<float> out;
        for (int i = 0; i < n; i++) out.push_back(core->Rnd(1));
        return out;
    }
};

TEST_F(Random, StreamFollowsItsIntegerSteps) {
    // Raw output, table index, accumulator and counter after each of the first draws,
    // worked out separately from the table and the steps, with game number 556.
    struct Step { int out, bit, plus, count; };
    struct Case { int seed; Step steps[4]; };
    const Case cases[] = {
        {0, {{263893, 154, 735, 7}, {394095, 50, 889, 14}, {1070133, 207, 1082, 21}, {537836, 192, 1270, 28}}},
        {1000, {{1284782, 62, 1715, 7}, {401243, 119, 2917, 14}, {1017866, 201, 4111, 21}, {380071, 50, 5297, 28}}},
        {123456, {{311022, 159, 124664, 7}, {882124, 205, 248278, 14}, {151766, 212, 371936, 21}, {179149, 255, 495580, 28}}},
    };
    for (const auto& c : cases) {
        core->SeedRnd(c.seed);
        EXPECT_EQ(jRand_Seed, c.seed);
        for (const auto& s : c.steps) {
            const float v = core->Rnd(0, 1);
            EXPECT_EQ(jRand_Out, s.out) << c.seed;
            EXPECT_EQ(jRand_Bit, s.bit) << c.seed;
            EXPECT_EQ(jRand_Plus, s.plus) << c.seed;
            EXPECT_EQ(jRand_Count, s.count) << c.seed;
            EXPECT_FLOAT_EQ(v, static_cast<float>(s.out) / 1310725.0f);
        }
    }
}

TEST_F(Random, SeedingSetsTheStartState) {
    core->SeedRnd(1000);
    EXPECT_EQ(jRand_Bit, 1000 % 256);
    EXPECT_EQ(jRand_Plus, 1000 / 256 + 556);
    EXPECT_EQ(jRand_Count, 0);
    EXPECT_EQ(jRand_Out, 0);
    FakeNow = 12345;
    GameStartTime = 45;
    core->SeedRnd();   // from Mills
    EXPECT_EQ(jRand_Seed, 12300);
}

TEST_F(Random, SameSeedSameSequenceAndTheGameNumberMatters) {
    EXPECT_EQ(Draws(777, 50), Draws(777, 50));
    EXPECT_NE(Draws(777, 50), Draws(778, 50));
    const auto first = Draws(777, 50);
    core->GameNum = 557;
    EXPECT_NE(Draws(777, 50), first);
}

TEST_F(Random, ValuesStayInTheirRanges) {
    core->SeedRnd(31337);
    std::set<int> faces;
    for (int i = 0; i < 20000; i++) {
        const int r = core->Rand(1, 6);
        ASSERT_TRUE(r >= 1 && r <= 6) << r;
        faces.insert(r);
        const float f = core->Rnd(-3, 8);
        ASSERT_TRUE(f >= -3 && f < 8) << f;
        EXPECT_EQ(core->Rnd(5, 5), 5);
        const int k = core->Rand(9);
        ASSERT_TRUE(k >= 0 && k <= 9) << k;
    }
    EXPECT_EQ(faces.size(), 6u);
    EXPECT_LE(core->Rnd(10), 10);
}

TEST_F(Random, SeedsOutsideTheUsualRangeStayInRangeAndRepeat) {
    // Negative seeds, the largest seeds and the counter's wrap-around keep every table
    // index in 0..255 and every value in range.
    const int seeds[] = {-1, -255, -256, -1000000, INT_MIN, INT_MAX, 2000000000};
    for (int seed : seeds) {
        const auto first = Draws(seed, 200);
        EXPECT_EQ(Draws(seed, 200), first) << seed;
        core->SeedRnd(seed);
        for (int i = 0; i < 2000; i++) {
            const float v = core->Rnd(1);
            ASSERT_TRUE(v >= 0 && v < 1) << seed;
            ASSERT_TRUE(jRand_Bit >= 0 && jRand_Bit < 256) << seed;
            ASSERT_TRUE(jRand_Plus >= 0 && jRand_Out >= 0) << seed;
        }
    }
    core->SeedRnd(5);
    jRand_Count = INT_MAX - 10;
    for (int i = 0; i < 10; i++) {
        const float v = core->Rnd(1);
        ASSERT_TRUE(v >= 0 && v < 1);
        ASSERT_TRUE(jRand_Bit >= 0 && jRand_Bit < 256);
    }
    EXPECT_LT(jRand_Count, 100);   // passed the limit and started again from 0
}

TEST_F(Random, ClockMixedDrawsNeverMoveTheSeededStream) {
    const auto plain = Draws(4242, 40);
    core->SeedRnd(4242);
    std::vector<float> mixed;
    for (int i = 0; i < 40; i++) {
        const int seed = jRand_Seed, count = jRand_Count, bit = jRand_Bit, plus = jRand_Plus,
                  out = jRand_Out;
        FakeNow += 17;
        core->tRnd(1);
        core->tRand(3, 9);
        EXPECT_EQ(jRand_Seed, seed);
        EXPECT_EQ(jRand_Count, count);
        EXPECT_EQ(jRand_Bit, bit);
        EXPECT_EQ(jRand_Plus, plus);
        EXPECT_EQ(jRand_Out, out);
        mixed.push_back(core->Rnd(1));
    }
    EXPECT_EQ(mixed, plain);
    EXPECT_EQ(jRand_tSeed, 80);
}

TEST_F(Random, ClockMixedStepsAndRange) {
    // Mills 5000, accumulator 556, counter 0 then 1: raw outputs 928315 and 716355.
    jRand_Plus = 556;
    EXPECT_FLOAT_EQ(core->tRnd(0, 1), 928315 / 1310725.0f);
    EXPECT_FLOAT_EQ(core->tRnd(0, 1), 716355 / 1310725.0f);
    EXPECT_EQ(jRand_tSeed, 2);

    const long long clocks[] = {0, 1, 86400000, 1100000000LL, 3000000000LL};
    for (long long now : clocks) {
        FakeNow = now;
        for (int i = 0; i < 500; i++) {
            const int r = core->tRand(2, 4);
            ASSERT_TRUE(r >= 2 && r <= 4) << now;
            const float f = core->tRnd(0.5f);
            ASSERT_TRUE(f >= 0 && f < 0.5f) << now;
        }
    }
    jRand_tSeed = INT_MAX;
    EXPECT_GE(core->tRnd(1), 0);
}
