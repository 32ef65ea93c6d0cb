// The game's spine: launch, the paced main loop (focused, paused, unfocused, clock going
// back, the rest between deadlines), the speed factor of an update, the end-of-run banner and EndGame's first-wins rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "MyGame.h"
#include "fakes.h"
#include "file_scratch.h"
#include "play_fixture.h"

namespace {
long long Now = 0;
long long TestClock() { return Now; }
std::vector<int> Sleeps;
// The loop's idle sleep passes the time on the test clock.
void TestSleep(int ms) {
    Sleeps.push_back(ms);
    Now += ms;
}

MyGame& G = ThisGame;

class Loop : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        Sleeps.clear();
        Now = 100000;
        testing::internal::CaptureStdout();
        G.Begin(556, "Brindlewick");
        testing::internal::GetCapturedStdout();
        // The return to the title saves: into a scratch home, never the root of an empty home.
        std::memcpy(savedHome, G.home, sizeof savedHome);
        std::snprintf(G.home, sizeof G.home, "%s", ScratchDirForTest().c_str());
        std::fill(G.Option, G.Option + OptionCount, 0);
        G.DebugMode = 0;
        G.LoadTo = 0;
        G.GameState = -1;   // a state that runs nothing
        G.MenuScreen = ScreenNone;
        G.Paused = 0;
        G.GameOver = G.GameOverReason = 0;
        G.GameOverTimer = 0;
        G.Active = 1;
        G.NextUpdate = G.NextRender = 0;
        G.UpdateTime = 0;
        G.ScreenWidth = 800;
        G.ScreenHeight = 600;
        rw2 = 400;
        rh2 = 300;
        ASys.DrawTo = 0;
        ASys.iFrames[ASys.FontImage] = 96;   // a font in the slot, so text is drawn
    }
    void TearDown() override {
        ASys.DrawTo = 0;
        ASys.iFrames[ASys.FontImage] = -1;
        std::memcpy(G.home, savedHome, sizeof savedHome);
    }

    // One loop pass at the given Mills(); tells whether an update and a render ran in it.
    struct PassResult { bool updated, rendered; int polls; };
    PassResult PassAt(int mills) {
        Now = G.StartTick() + mills;
        return Pass();
    }
    PassResult Pass() {
        G.UpdateTime = -1;
        G.UpdateSec = G.Mills();   // keep the poll-rate window open, so the live count only grows
        int swaps = FakeGlfw.swaps, polls = UpdateCountLive;
        G.KeepAlive();
        return {G.UpdateTime != -1, FakeGlfw.swaps > swaps, UpdateCountLive - polls};
    }

    HeldClock heldClock{TestClock, TestSleep};
    char savedHome[sizeof(VornCore::home)] = "";
};

// The banner's records: the squares first, then the glyphs of each word by their row.
struct Banner {
    std::vector<const double*> squares;
    std::map<double, std::string> words;        // by record y
    std::map<double, double> firstGlyphX;       // by record y
};
Banner ReadBanner() {
    Banner b;
    for (int i = 0; i < ASys.DrawTo; i++) {
        const double* rec = ASys.Draw + i * DrawFields;
        if (rec[FieldCode] == CmdRect) {
            b.squares.push_back(rec);
        } else if (rec[FieldCode] == CmdImage) {
            double y = rec[FieldY];
            if (!b.words.count(y)) b.firstGlyphX[y] = rec[FieldX];
            b.words[y] += static_cast<char>(rec[FieldFrame] + 32);
        }
    }
    return b;
}
}  // namespace

TEST_F(Loop, FocusedPacingRunsUpdatesAndRendersOnTheirDeadlines) {
    struct Step { int at, paused; bool music; int nextUpdate; };
    const Step steps[] = {
        {0, 0, true, 16},
        {16, 0, true, 32},
        {40, 0, true, 56},    // late: the deadline restarts from the clock
        {56, 1, false, 88},   // paused: every 32 ms, music not serviced
        {88, 1, false, 120},
    };
    G.Option[OptMusicVol] = 5;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.at);
        G.Paused = s.paused;
        ASys.MusicVolB = 0;
        PassResult r = PassAt(s.at);
        EXPECT_TRUE(r.updated);
        EXPECT_TRUE(r.rendered);
        EXPECT_EQ(G.NextUpdate, s.nextUpdate);
        EXPECT_EQ(G.NextRender, s.nextUpdate);
        EXPECT_EQ(ASys.MusicVolB, s.music ? 0.5f : 0);
    }
    EXPECT_TRUE(Sleeps.empty()) << "a pass with a deadline due never sleeps";
}

TEST_F(Loop, APassBetweenDeadlinesSleepsUntilTheNearerOne) {
    struct Case { const char* what; int nextUpdate, nextRender, at, paused, sleep; bool update, render; };
    const Case cases[] = {
        {"both due together", 16, 16, 10, 0, 6, true, true},
        {"the render first", 20, 16, 10, 0, 6, false, true},
        {"the update first", 16, 25, 15, 0, 1, true, false},
        {"paused", 88, 88, 60, 1, 28, true, true},
        {"one already due", 16, 30, 16, 0, 0, true, false},
        {"the clock went back", 20500, 40, 10, 0, 0, true, false},
        {"a second or more ahead", 10500, 10500, 500, 0, 999, false, false},   // never past it
    };
    G.Option[OptMusicVol] = 5;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sleeps.clear();
        G.Paused = c.paused;
        G.NextUpdate = c.nextUpdate;
        G.NextRender = c.nextRender;
        ASys.MusicVolB = 0;
        PassResult r = PassAt(c.at);
        EXPECT_EQ(Sleeps, c.sleep ? std::vector<int>{c.sleep} : std::vector<int>{});
        EXPECT_EQ(r.updated, c.update);
        EXPECT_EQ(r.rendered, c.render);
        if (c.update) {
            EXPECT_EQ(G.UpdateTime, c.at + c.sleep);
        }
        EXPECT_EQ(ASys.MusicVolB, c.paused ? 0 : 0.5f) << "the pass goes on to the music as before";
    }
}

// About a second of the focused loop with the render and update deadlines apart, renders that take
// time (one of them longer than a frame) and a pause halfway: once with a rest that takes no
// time, so the loop spins through every millisecond as it did before it slept, once with the
// real rest. Both run every update and every render at the same clock value.
namespace {
constexpr int RenderCostMs = 3, LongRender = 20, LongRenderCostMs = 40;
constexpr size_t StepsRun = 120;   // updates and renders: a little under a second
int SwapsBefore = 0;
long long CostlyClock() {
    const int renders = FakeGlfw.swaps - SwapsBefore;
    return Now + RenderCostMs * renders + (renders >= LongRender ? LongRenderCostMs - RenderCostMs : 0);
}
void NoRest(int) {}
int SleepsOffTheDeadline = 0;
void SleepToTheDeadline(int ms) {
    Sleeps.push_back(ms);
    Now += ms;
    if (G.Mills() != std::min(G.NextUpdate, G.NextRender)) SleepsOffTheDeadline++;
}
}  // namespace

TEST_F(Loop, TheRestingLoopRunsItsStepsAtTheSameClockValuesAsTheSpinningOne) {
    struct Run { std::vector<std::pair<char, int>> steps; int passes = 0, idlePasses = 0, unserviced = 0; };
    auto run = [&](void (*rest)(int)) {
        HeldClock clock{CostlyClock, rest};
        SwapsBefore = FakeGlfw.swaps;
        Now = G.StartTick();
        G.Paused = 0;
        G.NextUpdate = 0;
        G.NextRender = 5;
        G.Option[OptMusicVol] = 5;
        Run r;
        while (r.steps.size() < StepsRun) {
            G.UpdateTime = -1;
            const int swaps = FakeGlfw.swaps;
            ASys.MusicVolB = 0;
            const int paused = G.Paused;
            G.KeepAlive();
            r.passes++;
            const bool updated = G.UpdateTime != -1, rendered = FakeGlfw.swaps > swaps;
            if (updated) r.steps.push_back({'U', G.UpdateTime});
            if (rendered) r.steps.push_back({'R', G.NextRender - (paused ? MyGame::PausedIntervalMs : MyGame::UpdateIntervalMs)});
            if (paused == 0 && ASys.MusicVolB != 0.5f) r.unserviced++;
            if (!updated && !rendered) {
                r.idlePasses++;
                Now++;   // a pass of the spinning loop: the clock moves on while it comes round
            }
            // The game pauses itself in an update, and resumes in one.
            if (updated && G.UpdateTime >= 400 && G.UpdateTime < 700) G.Paused = 1;
            if (updated && G.UpdateTime >= 700) G.Paused = 0;
        }
        r.steps.resize(StepsRun);   // a pass may have run a second step
        return r;
    };
    const Run spinning = run(NoRest);
    Sleeps.clear();
    SleepsOffTheDeadline = 0;
    const Run resting = run(SleepToTheDeadline);

    EXPECT_EQ(resting.steps, spinning.steps);
    using Steps = std::vector<std::pair<char, int>>;
    const Steps first = {{'U', 0}, {'R', 5}, {'U', 16}, {'R', 21}, {'U', 32}, {'R', 37}};
    EXPECT_EQ(Steps(spinning.steps.begin(), spinning.steps.begin() + 6), first);
    EXPECT_GT(spinning.idlePasses, 500) << "the spinning loop comes round every millisecond";
    EXPECT_EQ(resting.idlePasses, 0) << "every pass of the resting loop runs a step";
    EXPECT_EQ(SleepsOffTheDeadline, 0) << "every sleep ends on the nearer deadline";
    EXPECT_EQ(static_cast<int>(Sleeps.size()), resting.passes - 2)
        << "only the first pass and the one after the long render find a step due";
    EXPECT_EQ(resting.unserviced, 0) << "the music is serviced on every pass that is not paused";
}

TEST_F(Loop, EveryPassCopiesTheVolumeAndOverscanOptions) {
    G.Option[OptSFXVol] = 3;
    G.Option[OptMusicVol] = 10;
    G.Option[OptOverscan] = 10;
    PassAt(0);
    EXPECT_FLOAT_EQ(G.SFXVol, 0.3f);
    EXPECT_FLOAT_EQ(G.MusicVol, 1.0f);
    EXPECT_FLOAT_EQ(G.Overscan, 0.2f);
}

TEST_F(Loop, ADeadlineMoreThanTenSecondsAheadMeansTheClockWentBack) {
    struct Case { int ahead; bool runs; };
    const Case cases[] = {{20000, true}, {10001, true}, {10000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ahead);
        G.NextUpdate = G.NextRender = 500 + c.ahead;
        PassResult r = PassAt(500);
        EXPECT_EQ(r.updated, c.runs);
        EXPECT_EQ(r.rendered, c.runs);
        if (c.runs) {
            EXPECT_EQ(G.NextUpdate, 516);
        }
    }
}

TEST_F(Loop, UnfocusedLoopPollsRendersAndRests) {
    FakeGlfw.focused = false;
    G.Active = -1;
    G.NextUpdate = G.NextRender = 1000;

    PassResult r = PassAt(1000);   // not strictly later: nothing due, only the rest
    EXPECT_FALSE(r.updated);
    EXPECT_FALSE(r.rendered);
    EXPECT_EQ(r.polls, 0);
    EXPECT_EQ(Sleeps, std::vector<int>{150});

    r = Pass();   // 150 ms later
    EXPECT_FALSE(r.updated);
    EXPECT_TRUE(r.rendered);
    EXPECT_EQ(r.polls, 1);
    EXPECT_EQ(G.NextUpdate, 1150);   // advanced by 150, not restarted from the clock
    EXPECT_EQ(G.NextRender, 1150);
    EXPECT_EQ(Sleeps.size(), 2u);

    G.NextUpdate = G.NextRender = G.Mills() + 20000;   // the clock went back
    r = Pass();
    EXPECT_EQ(r.polls, 1);
    EXPECT_TRUE(r.rendered);
    EXPECT_EQ(G.NextUpdate, G.Mills());   // restarted at the clock + 150, then the rest took 150

    FakeGlfw.focused = true;   // the next poll sees the focus; the pass after it updates
    G.NextUpdate = G.NextRender = 0;
    Pass();
    EXPECT_EQ(G.Active, 1);
    G.NextUpdate = G.NextRender = 0;
    EXPECT_TRUE(Pass().updated);
}

TEST_F(Loop, LosingTheFocusDuringAnUpdateRestsInTheSamePass) {
    FakeGlfw.focused = false;
    PassResult r = PassAt(0);
    EXPECT_TRUE(r.updated);
    EXPECT_TRUE(r.rendered);
    EXPECT_EQ(G.Active, -1);
    EXPECT_EQ(Sleeps, std::vector<int>{150});
    r = Pass();   // no update until a poll sees the focus again
    EXPECT_FALSE(r.updated);
    EXPECT_EQ(r.polls, 1);
    EXPECT_EQ(G.NextUpdate, 16 + 150);
}

TEST_F(Loop, SpeedFactorIsTheClampedDelta) {
    struct Case { int last, delta; float dt; };
    const Case cases[] = {
        {0, 100000, 7.68f},   // the first update measures from 0
        {500, 2, 0.3f}, {500, 5, 0.3f}, {500, 16, 0.96f}, {500, 64, 3.84f},
        {500, 128, 7.68f}, {500, 1000, 7.68f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delta);
        G.UpdateTime = c.last;
        Now = G.StartTick() + c.last + c.delta;
        G.Update();
        EXPECT_EQ(G.LastUpdateTime, c.last);
        EXPECT_EQ(G.UpdateTime, c.last + c.delta);
        EXPECT_NEAR(G.dt, c.dt, 1e-5);
    }
}

TEST_F(Loop, MouseAnyIsReadBeforeThePoll) {
    ASys.Touch[5] = 1;   // the left button was down at the previous poll
    G.Update();
    EXPECT_EQ(G.MouseAny, 1);
    EXPECT_EQ(G.mdall(), 0);   // this poll sees it released
    G.Update();
    EXPECT_EQ(G.MouseAny, 0);
}

TEST_F(Loop, LoadingRunsNothingElseOfTheGame) {
    G.LoadTo = 1;
    G.GameState = StateToMenu;
    G.GameOver = 1;
    G.GameOverTimer = 5;
    G.ClearParticles();
    G.ThrowParticle(100, 100, 0, 0, MyGame::ParticleDrift, 90, 2);
    G.Update();
    EXPECT_EQ(G.GameState, StateToMenu);
    EXPECT_EQ(G.GameOverTimer, 5);
    EXPECT_EQ(G.Particles[0].X, 100) << "particles wait while assets load";
    G.LoadTo = 0;
    G.Update();
    EXPECT_EQ(G.GameState, StateMenu);   // LoadMenu's one update
    EXPECT_EQ(G.GameOver, 0);
}

TEST_F(Loop, FirstEndOfARunWinsUntilTheTitle) {
    G.EndGame(MyGame::EndDeath);
    G.GameOverTimer = 30;
    G.EndGame(MyGame::EndQuit);
    EXPECT_EQ(G.GameOver, MyGame::EndDeath);
    EXPECT_EQ(G.GameOverReason, MyGame::EndDeath);
    EXPECT_EQ(G.GameOverTimer, 30);

    G.GameState = StateToMenu;
    G.LoopTarget();
    EXPECT_EQ(G.GameState, StateMenu);
    EXPECT_EQ(G.GameOver, 0);
    EXPECT_EQ(G.GameOverReason, MyGame::EndDeath);   // the fading banner keeps its words
    EXPECT_EQ(G.GameOverTimer, 30);
    G.EndGame(MyGame::EndQuit);
    EXPECT_EQ(G.GameOver, MyGame::EndQuit);
    EXPECT_EQ(G.GameOverTimer, 0);
}

TEST_F(Loop, BannerWordsByReason) {
    struct Case { int reason; const char* first; const char* second; };
    const Case cases[] = {
        {-1, "Quit", "Game"}, {1, "Game", "Over"}, {2, "Level", "Complete"}, {3, "Well", "Done"},
        {4, "Time", "Up"}, {5, "World", "Complete"}, {6, "Birdie", "Saved"}, {7, "Game", "Over"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ASys.DrawTo = 0;
        G.GameOver = 0;
        G.EndGame(c.reason);
        G.GameOverTimer = 50;
        G.dt = 0;
        G.EndBanner();
        Banner b = ReadBanner();
        EXPECT_EQ(b.squares.size(), 3u);
        EXPECT_EQ(b.words[300 - 24 - rh2], c.first);
        EXPECT_EQ(b.words[300 + 24 - rh2], c.second);
    }
}

TEST_F(Loop, BannerGrowsSpinsAndSlidesIn) {
    G.EndGame(MyGame::EndDeath);
    G.GameOverTimer = 9;
    G.dt = 1;
    G.EndBanner();   // t = 10
    Banner b = ReadBanner();
    ASSERT_EQ(b.squares.size(), 3u);
    const float sides[] = {240, 200, 160}, spins[] = {30, -30, 0};
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(b.squares[i][FieldW], sides[i], 1e-3);
        EXPECT_NEAR(b.squares[i][FieldH], -sides[i], 1e-3);
        EXPECT_NEAR(b.squares[i][FieldRotation], spins[i], 1e-3);
        EXPECT_NEAR(b.squares[i][FieldColourA], 0.225 * 255, 1e-3);
        EXPECT_EQ(b.squares[i][FieldX], 0);
        EXPECT_EQ(b.squares[i][FieldY], 0);
    }
    EXPECT_EQ(b.squares[0][FieldColourA + 2], 128);   // (128, 128, 0)
    EXPECT_EQ(b.squares[1][FieldColourA + 2], 64);    // (128, 64, 0)
    EXPECT_EQ(b.squares[2][FieldColourA + 1], 0);     // black

    // At t = 30 the words stand in place: at t = 10 they were 320 units out.
    double first10 = b.firstGlyphX[-24], second10 = b.firstGlyphX[24];
    ASys.DrawTo = 0;
    G.GameOverTimer = 29;
    G.EndBanner();
    b = ReadBanner();
    EXPECT_NEAR(first10 - b.firstGlyphX[-24], 320, 1e-3);
    EXPECT_NEAR(second10 - b.firstGlyphX[24], -320, 1e-3);
    EXPECT_NEAR(b.squares[0][FieldW], 12 * 60, 1e-3);
    EXPECT_NEAR(b.squares[0][FieldColourA], 0.4 * 255, 1e-3);

    // Fading out: the timer falls three times as fast and the squares turn on the same way.
    G.GameOver = 0;
    G.GameOverTimer = 30;
    ASys.DrawTo = 0;
    G.EndBanner();
    EXPECT_FLOAT_EQ(G.GameOverTimer, 27);
    b = ReadBanner();
    EXPECT_NEAR(b.squares[0][FieldRotation], 360 - 81, 1e-3);
    EXPECT_NEAR(b.squares[1][FieldRotation], -(360 - 81), 1e-3);
}

TEST_F(Loop, LessMotionShowsTheBannerAtFullSizeAtOnce) {
    G.Option[OptLessMotion] = 1;
    G.EndGame(MyGame::EndDeath);
    G.dt = 1;
    G.EndBanner();   // t = 1
    Banner b = ReadBanner();
    ASSERT_EQ(b.squares.size(), 3u);
    const float sides[] = {2880, 2400, 1920}, spins[] = {360, -360, 0};
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(b.squares[i][FieldW], sides[i], 1e-3);
        EXPECT_NEAR(b.squares[i][FieldRotation], spins[i], 1e-3);
        EXPECT_NEAR(b.squares[i][FieldColourA], 0.4 * 255, 1e-3);
    }
    double first1 = b.firstGlyphX[-24];
    ASys.DrawTo = 0;
    G.GameOverTimer = 49;
    G.EndBanner();
    EXPECT_NEAR(ReadBanner().firstGlyphX[-24], first1, 1e-3);   // no slide
}

TEST_F(Loop, BannerLocksTheLatchesAndEndsTheRun) {
    G.KeyLatch[0] = 0;
    G.TouchLatch[3] = 0;
    G.GameState = StatePlay;
    G.EndGame(MyGame::EndDeath);
    G.GameOverTimer = 119;
    G.dt = 1;
    G.EndBanner();
    EXPECT_EQ(G.GameState, StatePlay);   // 120 is not above 120
    EXPECT_EQ(G.KeyLatch[0], 1);
    EXPECT_EQ(G.KeyLatch[5], 50);
    EXPECT_EQ(G.TouchLatch[3], 1);
    G.EndBanner();
    EXPECT_EQ(G.GameState, StateToMenu);

    G.GameOver = 0;
    G.GameOverTimer = 2;
    G.dt = 1;
    ASys.DrawTo = 0;
    G.EndBanner();
    EXPECT_EQ(G.GameOverTimer, 0);   // not below 0, and nothing drawn
    EXPECT_EQ(ASys.DrawTo, 0);
}

TEST_F(Loop, FlushGameClearsPauseBannerAndPlayTablesAndSeeds100Motes) {
    G.Paused = 1;
    G.GameOver = 1;
    G.GameOverTimer = 40;
    // Every table of play filled with leftovers of a run.
    std::memset(G.Objects, 0x41, sizeof G.Objects);
    std::memset(&G.Player, 0x41, sizeof G.Player);
    G.Score = G.Lives = G.ShownScore = 9;
    std::memset(&G.RipplePush, 0x41, sizeof G.RipplePush);
    std::memset(&G.WaterA, 0x41, sizeof G.WaterA);
    std::memset(&G.WaterB, 0x41, sizeof G.WaterB);
    std::memset(G.Motes, 0x41, sizeof G.Motes);
    std::memset(G.Particles, 0x41, sizeof G.Particles);
    G.FlushGame();
    EXPECT_EQ(G.Paused, 0);
    EXPECT_EQ(G.GameOver, 0);
    EXPECT_EQ(G.GameOverTimer, 0);

    auto zero = [](const void* p, size_t n) {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
    };
    EXPECT_TRUE(zero(G.Objects, sizeof G.Objects)) << "the whole storage, past the 512 play slots too";
    EXPECT_TRUE(zero(&G.Player, sizeof G.Player));
    EXPECT_EQ(G.Score + G.Lives + G.ShownScore, 0);
    EXPECT_TRUE(zero(&G.RipplePush, sizeof G.RipplePush));
    EXPECT_TRUE(zero(&G.WaterA, sizeof G.WaterA));
    EXPECT_TRUE(zero(&G.WaterB, sizeof G.WaterB));
    EXPECT_TRUE(zero(G.Particles, sizeof G.Particles));
    // The mote table is emptied, then the first 100 are scattered over the screen and its border.
    for (int i = 0; i < MyGame::MoteStorage; i++) {
        SCOPED_TRACE(i);
        const MyGame::Mote& m = G.Motes[i];
        ASSERT_EQ(m.VY, 0);
        if (i >= MyGame::MenuMotes) {
            ASSERT_TRUE(zero(&m, sizeof m));
            continue;
        }
        ASSERT_TRUE(m.X >= -128 && m.X <= 928 && m.Y >= -128 && m.Y <= 728) << m.X << "," << m.Y;
        ASSERT_TRUE(m.VX >= 0.25f && m.VX <= 1);
    }
}

TEST_F(Loop, LaunchRunsUntilTheCloseRequestThenSaysFarewell) {
    struct Case { std::string path, home; };
    // A folder longer than the home buffer is cut to the 4,099 characters that fit.
    const std::string deep = "/" + std::string(5000, 'd');
    const Case cases[] = {
        {"/opt/games/brindlewick", "/opt/games"}, {"brindlewick", "."}, {".", "."}, {"", "."},
        {"C:\\Games\\bw.exe", "C:\\Games"}, {"a/b\\c/game", "a/b\\c"},
        {deep + "/brindlewick", deep.substr(0, sizeof(VornCore::home) - 1)},
    };
    // A home of "." reads and writes the save files in the working folder: a scratch one.
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(ScratchDirForTest());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 40));
        ResetFakes();
        FakeGlfw.shouldClose = true;   // the first poll asks to quit
        G.Option[OptDebugStats] = 1;
        testing::internal::CaptureStdout();
        G.Launch(c.path.c_str());
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(G.home, c.home);
        EXPECT_NE(out.find("VornFrame - v0.95"), std::string::npos);
        EXPECT_NE(out.find("Farewell happy gamer\n"), std::string::npos) << out;
        EXPECT_TRUE(FakeGlfw.terminated);
        EXPECT_EQ(G.GameBreak, 1);
        EXPECT_EQ(G.Option[OptSFXVol], 7);
        EXPECT_EQ(G.Option[OptMusicVol], 7);
        EXPECT_EQ(G.Option[OptInvertY], 1);
        EXPECT_EQ(G.Option[OptBoard], 2);
        EXPECT_EQ(G.Option[OptDebugStats], 0);
        EXPECT_EQ(G.DebugMode, 0);
        EXPECT_EQ(G.GameVersion, 1);
        EXPECT_EQ(G.BoardCount, 3);
        EXPECT_EQ(G.LoadTo, 2);   // loading starts at step 1; the one update ran it
        EXPECT_EQ(G.GameState, StateMenu);
        EXPECT_EQ(G.MenuScreen, ScreenNone);
        EXPECT_EQ(G.LogoZoom, 1.0f);
        EXPECT_STREQ(G.GameTitle, "Brindlewick");
        EXPECT_EQ(G.KeyValue(InputUp, 63) != 0, true);   // the default bindings are in
    }
    std::filesystem::current_path(workingFolder);
}

// The state dispatch on a started run: the screen each update runs, what an open overlay
// freezes, and the one update that returns to the title.
class Dispatch : public PlayScreen {
protected:
    void SetUp() override {
        PlayScreen::SetUp();
        testing::internal::CaptureStdout();
        G.LoadSFX(SfxJingle);
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(Dispatch, TheUpdateInWhichPlayPausesAlreadyShowsThePauseScreen) {
    StartRun();
    Step();
    EXPECT_FALSE(Drew("Paused!"));
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.Paused, 1);
    EXPECT_TRUE(Drew("Paused!"));
}

TEST_F(Dispatch, AnOverlayFreezesTheMainStateWhileTheParticlesRunOn) {
    StartRun();
    Step();
    G.Paused = 1;
    G.MenuScreen = ScreenOptions;   // opened from the pause screen
    MyGame::Particle* spark = G.FreeParticle();
    ASSERT_NE(spark, nullptr);
    G.ThrowParticle(400, 300, 0, 0, MyGame::ParticleDrift, 90, 2);
    Step();
    EXPECT_FALSE(Drew("Paused!")) << "the pause screen waits under the overlay";
    EXPECT_FLOAT_EQ(spark->X, 402) << "particles run over every overlay";
    G.MenuScreen = ScreenNone;   // the overlay closes: back to the pause screen
    Step();
    EXPECT_TRUE(Drew("Paused!"));
    EXPECT_EQ(G.Paused, 1);

    // The return to the title waits for the overlay too.
    G.GameState = StateToMenu;
    G.MenuScreen = ScreenCredits;
    Step();
    EXPECT_EQ(G.GameState, StateToMenu);
}

TEST_F(Dispatch, TheReturnToTheTitleRecordsSavesStopsTheMusicAndPlaysTheJingle) {
    testing::internal::CaptureStdout();
    G.PlayMusic(GameMusic);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(ASys.MusicPlaying, MusicOgg);
    const std::filesystem::path home = ScratchDirForTest();
    std::snprintf(G.home, sizeof G.home, "%s", home.c_str());
    int* board = G.ScoreTable + MyGame::BoardBase(G.Option[OptBoard]);
    const std::vector<int> kept(board, board + 10);
    const std::vector<int> before = {500, 400, 300, 200, 100, 1, 2, 3, 4, 5};
    std::copy(before.begin(), before.end(), board);
    G.Score = 50;
    G.GameState = StateToMenu;   // the banner has just run out
    G.GameOver = G.GameOverReason = MyGame::EndDeath;
    G.GameOverTimer = 121;
    const int sounds = SoundsPlayed();
    Step();
    const std::vector<int> after(board, board + 10);
    std::copy(kept.begin(), kept.end(), board);

    EXPECT_EQ(G.GameState, StateMenu);
    EXPECT_EQ(G.GameOver, 0);
    EXPECT_EQ(after, (std::vector<int>{500, 400, 300, 200, 100, 50, 1, 2, 3, 4})) << "the run is on the Last 5";
    EXPECT_TRUE(std::filesystem::exists(home / MyGame::SettingsFile));
    EXPECT_TRUE(std::filesystem::exists(home / G.GameSaveFile()));
    EXPECT_EQ(ASys.MusicPlaying, MusicNone);
    EXPECT_EQ(SoundsPlayed(), sounds + 1);
    EXPECT_EQ(LastSound(), SfxJingle);
    EXPECT_EQ(LastPitch(), 1);
    // The banner keeps its words and fades out over the title screen.
    EXPECT_EQ(G.GameOverReason, MyGame::EndDeath);
    EXPECT_NEAR(G.GameOverTimer, 121 - 3 * G.dt, 1e-4);
    EXPECT_TRUE(Drew("Game"));
    EXPECT_TRUE(Drew("Over"));
}
