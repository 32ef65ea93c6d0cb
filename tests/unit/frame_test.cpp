// Framework start-up and shutdown, the clock, the idle sleeps, the log forwarders, the end of
// an update (statistics line, hand-over) and the virtual-screen geometry of a render.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "VornCore.h"
#include "fakes.h"
#include "game_fixture.h"

namespace {
VornCore Core;
long long Now = 0;
long long TestClock() { return Now; }
std::vector<int> Sleeps;
void TestSleep(int ms) { Sleeps.push_back(ms); }

constexpr long long PastByMs = 100;   // how far behind the clock the "already past" target lies
constexpr double PastReturnsWithinMs = 25;   // far below any real sleep, room for a busy machine

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        Sleeps.clear();
        Now = 50000;
        testing::internal::CaptureStdout();
        Core.Begin(556, "Brindlewick");
        banner = testing::internal::GetCapturedStdout();
        Core.DebugMode = 0;
    }
    void TearDown() override {
        ASys.DrawTo = 0;
    }
    HeldClock heldClock{TestClock, TestSleep};
    std::string banner;
};
}  // namespace

TEST_F(Frame, BeginPrintsTheBannerAndSetsTheFlags) {
    EXPECT_EQ(banner.rfind("\n-=-=-=-=-=-=-=-=-\nVornFrame - v0.95", 0), 0u) << banner;
    EXPECT_NE(banner.find("> Opened Window\n"), std::string::npos);
    EXPECT_EQ(Core.Active, 1);
    EXPECT_EQ(Core.GameNum, 556);
    EXPECT_EQ(Core.MixJoy, 1);
    EXPECT_EQ(Core.ScreenshotMode, 0);
    EXPECT_STREQ(Core.GameTitle, "Brindlewick");
    EXPECT_EQ(FakeGlfw.windows.back().title, "Brindlewick");
    EXPECT_EQ(Core.Mills(), 0);
    Now += 250;
    EXPECT_EQ(Core.Mills(), 250);
    EXPECT_EQ(Core.StartTick(), 50000);
}

TEST_F(Frame, ClockIsAnIntOfWallMillisecondsFromProcessStart) {
    static_assert(std::is_same_v<decltype(Core.StartTick()), int>);
    static_assert(std::is_same_v<decltype(Core.Mills()), int>);
    // The real clock starts with the process, so its readings and StartTick fit an int
    // however long the machine has been up.
    const long long real = heldClock.savedClock();
    EXPECT_GE(real, 0);
    EXPECT_LE(real, std::numeric_limits<int>::max());
}

TEST_F(Frame, SetNumRestartsTheClock) {
    Now += 7000;
    Core.SetNum(12);
    EXPECT_EQ(Core.GetNum(), 12);
    EXPECT_EQ(Core.Mills(), 0);
    Now += 40;
    EXPECT_EQ(Core.Mills(), 40);
}

TEST_F(Frame, TerminatePrintsTheRunTimeAndFarewell) {
    Now += 125400;
    testing::internal::CaptureStdout();
    Core.Terminate();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Closing OpenGL Window\nRuntime : 2:05\nFarewell happy gamer\n-=-=-=-=-=-=-=-=-\n\n"),
              std::string::npos) << out;
    EXPECT_TRUE(FakeGlfw.terminated);
}

TEST_F(Frame, RestSleepsOnlyBetweenOneAnd999Ms) {
    for (int ms : {150, 1, 999, 0, -5, 1000, 5000}) Core.Rest(ms);
    EXPECT_EQ(Sleeps, (std::vector<int>{150, 1, 999}));
}

TEST_F(Frame, RestUntilSleepsTheMillisecondsLeftAtMost999) {
    for (int mills : {150, 1, 999, 0, -5, 1000, 5000}) Core.RestUntil(mills);   // Mills() is 0
    EXPECT_EQ(Sleeps, (std::vector<int>{150, 1, 999, 999, 999}));
}

TEST_F(Frame, TheRealSleepUntilAClockValueNeverWakesEarly) {
    const long long target = heldClock.savedClock() + 20;
    heldClock.savedUntil(target);
    EXPECT_GE(heldClock.savedClock(), target);
    // A time already past: back at once. The call is timed alone; the bound leaves room for a
    // busy machine's scheduling and still fails any real sleep.
    const auto before = std::chrono::steady_clock::now();
    heldClock.savedUntil(heldClock.savedClock() - PastByMs);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took.count(), PastReturnsWithinMs);
}

TEST_F(Frame, FourLogNamesGiveNumberedLines) {
    testing::internal::CaptureStdout();
    int before = DebugMessages;
    EXPECT_EQ(Core.Print("a"), 1);
    EXPECT_EQ(Core.Debuglog("a"), 1);
    EXPECT_EQ(Core.DebugLog("a"), 1);
    EXPECT_EQ(Core.Debug("a"), 1);
    std::string out = testing::internal::GetCapturedStdout();
    std::string expected;
    for (int i = 1; i <= 4; i++) expected += std::string(ASys.fstrSys("% 8i> a\n", before + i));
    EXPECT_EQ(out, expected);
}

TEST_F(Frame, RenderGameLaysOutTheVirtualScreen) {
    struct Case {
        const char* name;
        int fbw, fbh;
        float startWidth;   // VirtualWidth before the render
        float width, height;
        int rw2, rh2, bump;
        float nextWidth, zoom;
    };
    const Case cases[] = {
        {"1280x720", 1280, 720, 800, 800, 450, 400, 225, 0, 800, 1},
        {"600x800 first render after the turn", 600, 800, 800, 800, 1066.667f, 400, 533, 0, 512, 1.5625f},
        {"600x800 from then on", 600, 800, 512, 512, 682.667f, 256, 341, 0, 512, 1.5625f},
        {"300x700 loses 32 at the top", 300, 700, 512, 512, 1162.667f, 256, 565, 1, 512, 1.5625f},
        {"1920x600 loses 32 at the left", 1920, 600, 800, 768, 250, 368, 125, 2, 800, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGlfw.framebufferWidth = c.fbw;
        FakeGlfw.framebufferHeight = c.fbh;
        ASys.VirtualWidth = c.startWidth;
        float w = 0, h = 0;
        Core.RenderGame(w, h);
        EXPECT_FLOAT_EQ(w, c.width);
        EXPECT_NEAR(h, c.height, 0.01);
        EXPECT_EQ(rw2, c.rw2);
        EXPECT_EQ(rh2, c.rh2);
        EXPECT_EQ(iBump, c.bump);
        EXPECT_EQ(ASys.offx, c.rw2);
        EXPECT_EQ(ASys.offy, c.rh2);
        EXPECT_EQ(Core.jscrWide, static_cast<int>(c.width));
        EXPECT_EQ(Core.jscrHigh, static_cast<int>(c.height));
        EXPECT_EQ(Core.RealW, c.fbw);
        EXPECT_EQ(Core.RealH, c.fbh);
        EXPECT_EQ(ASys.VirtualWidth, c.nextWidth);
        EXPECT_FLOAT_EQ(ASys.ImageZoom, c.zoom);
        EXPECT_FLOAT_EQ(ViewScale, 2 / c.nextWidth);
    }
}

TEST_F(Frame, PortraitSwitchReachesTheGameOneRenderLate) {
    FakeGlfw.framebufferWidth = 600;
    FakeGlfw.framebufferHeight = 800;
    float w = 0, h = 0;
    Core.RenderGame(w, h);
    EXPECT_EQ(w, 800);
    Core.RenderGame(w, h);
    EXPECT_EQ(w, 512);
    EXPECT_FLOAT_EQ(ViewScale, 0.00390625f);
    FakeGlfw.framebufferWidth = 1280;
    FakeGlfw.framebufferHeight = 720;
    Core.RenderGame(w, h);
    EXPECT_EQ(w, 512);   // still the portrait width, back to 800 from the next render
    EXPECT_EQ(ASys.VirtualWidth, 800);
    Core.RenderGame(w, h);
    EXPECT_EQ(w, 800);
}

TEST_F(Frame, MinimisedWindowKeepsTheLastLayout) {
    FakeGlfw.framebufferWidth = 1280;
    FakeGlfw.framebufferHeight = 720;
    float w = 0, h = 0;
    Core.RenderGame(w, h);
    FakeGlfw.framebufferWidth = 0;
    FakeGlfw.framebufferHeight = 0;
    float w2 = 1, h2 = 1;
    Core.RenderGame(w2, h2);
    EXPECT_EQ(w2, w);
    EXPECT_EQ(h2, h);
    EXPECT_EQ(rh2, 225);
}

TEST_F(Frame, RenderRateIsSampledOncePerSecond) {
    float w, h;
    Core.RenderSec = Core.Mills();
    RenderCountLive = 0;
    for (int i = 0; i < 30; i++) {
        Now += 40;   // 30 renders over 1.2 s: the sample closes at the 25th
        Core.RenderGame(w, h);
    }
    EXPECT_EQ(Core.RenderCount, 25);
    EXPECT_EQ(RenderCountLive, 5);
    Now -= 5000;   // the clock went back: the sample closes at once
    Core.RenderGame(w, h);
    EXPECT_EQ(Core.RenderCount, 6);
}

TEST_F(Frame, BufferGameHandsOverAndEmptiesTheList) {
    Core.ResetDraw();
    Core.SetBlend(BlendAdd);
    Core.Rect(10, 10, 5);
    ASys.PolyCount = 77;
    Core.BufferGame();
    EXPECT_EQ(DrawToRT, 2);
    EXPECT_EQ(DrawR[DrawFields + FieldCode], CmdRect);
    EXPECT_EQ(ASys.DrawTo, 0);
    EXPECT_EQ(ASys.CurBlend, BlendAlpha);
    EXPECT_EQ(Core.PolyCountR, 77);
}

TEST_F(Frame, StatisticsLineShowsFiftyNineAsSixty) {
    struct Case { int debug, count, shown; };
    const Case cases[] = {{1, 59, 60}, {1, 58, 58}, {0, 59, 59}, {1, 61, 61}};
    ASys.iFrames[ASys.FontImage] = 96;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        Core.DebugMode = c.debug;
        Core.UpdateCount = c.count;
        Core.RenderCount = c.count;
        Core.BufferGame();
        EXPECT_EQ(Core.UpdateCount, c.shown);
        EXPECT_EQ(Core.RenderCount, c.shown);
    }
    ASys.iFrames[ASys.FontImage] = -1;
}

TEST_F(Frame, StatisticsLineSitsEightUnitsAboveTheBottom) {
    struct Case { int fbw, fbh; float width, y; };
    const Case cases[] = {{1280, 720, 800, 442}, {300, 700, 512, 1154.667f}};
    ASys.iFrames[ASys.FontImage] = 96;   // a font in the slot, so the glyphs are drawn
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fbw);
        FakeGlfw.framebufferWidth = c.fbw;
        FakeGlfw.framebufferHeight = c.fbh;
        ASys.VirtualWidth = c.width;
        float w, h;
        Core.RenderGame(w, h);
        Core.DebugMode = 1;
        Core.BufferGame();
        ASSERT_GT(DrawToRT, 0);
        EXPECT_EQ(DrawR[FieldCode], CmdImage);
        EXPECT_NEAR(DrawR[FieldY] + rh2, c.y, 0.01);
        EXPECT_FLOAT_EQ(ASys.DrawSet[DsScaleX] * ViewScale, 0.5f);
    }
    ASys.iFrames[ASys.FontImage] = -1;
}
