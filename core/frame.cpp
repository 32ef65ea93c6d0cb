// Framework start-up and shutdown, the frame pipeline (end of update, render) with the
// virtual-screen geometry, the millisecond clock, the idle sleeps and the log forwarders.
#include "VornCore.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

int GameStartTime = 0;
int RenderCountLive = 0;
int rw2 = 0, rh2 = 0;
int iBump = 0;
// The backend starts with an 800-unit screen, so the first update (before any render) lays
// out with the same scale the first render will confirm.
float ViewScale = 2.0f / LandscapeWidth;

static void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }
void (*RestSource)(int ms) = SleepMs;
void (*RestUntilSource)(long long clockMs) = SysSleepUntilMs;

namespace {
constexpr const char* BannerDashes = "-=-=-=-=-=-=-=-=-";
constexpr int StatsX = 8;            // statistics line: left edge
constexpr int StatsAboveBottom = 8;  // and distance above the bottom of the window
constexpr int ShownAsFull = 59;      // a rate of 59 is shown (and kept) as 60

// A rate sample closes after a second, or at once when the clock went back a second.
bool RateWindowOver(int now, int start) {
    return now >= start + RateWindowMs || now <= start - RateWindowMs;
}

// Aspect is only meaningful once a render has read a framebuffer of non-zero size.
bool AspectUsable() { return ASys.Aspect > 0 && std::isfinite(ASys.Aspect); }
}  // namespace

void VornCore::Begin(int num, std::string title) {
    puts("\n-=-=-=-=-=-=-=-=-");
    puts("VornFrame - v0.95 - small games on a small framework");
    GameStartTime = static_cast<int>(SysClockMs());
    Active = 1;
    GameNum = num;
    MixJoy = 1;
    DebugToggle = 0;
    DebugMode = 1;
    ScreenshotToggle = 0;
    ScreenshotMode = 0;
    snprintf(GameTitle, sizeof GameTitle, "%s", title.c_str());
    ASys.SysInit(GameTitle);
    SeedRnd();
}

void VornCore::Terminate() {
    ASys.Close();
    int t = Mills();
    printf("Runtime : %d:%02d\n", (t / 1000) / 60, (t / 1000) % 60);
    puts("Farewell happy gamer");
    printf("%s\n\n", BannerDashes);
    fflush(stdout);
}

void VornCore::BufferGame() {
    if (DebugMode == 1) {
        ResetDraw();
        SetSize(0.5);
        if (UpdateCount == ShownAsFull) UpdateCount = ShownAsFull + 1;
        if (RenderCount == ShownAsFull) RenderCount = ShownAsFull + 1;
        if (AspectUsable()) {
            float bottom = ASys.VirtualWidth / ASys.Aspect;
            if (iBump == BumpTop) bottom -= BumpBand;
            Text(StatsX, bottom - StatsAboveBottom,
                 fstr("Update %ifps - Render %ifps - Polys %i", UpdateCount, RenderCount, PolyCountR));
        }
    }
    ASys.RenderBuffer();
    PolyCountR = ASys.PolyCount;
    ASys.DrawTo = 0;
    ASys.CurBlend = BlendAlpha;
    DrawListFullLogged = 0;
}

void VornCore::RenderGame(float& width, float& height) {
    RenderCountLive += 1;
    if (RateWindowOver(Mills(), RenderSec)) {
        RenderSec = Mills();
        RenderCount = RenderCountLive;
        RenderCountLive = 0;
    }
    ASys.RenderSys(Overscan);
    // A minimised window (framebuffer height 0) has no aspect: keep the last layout.
    if (!AspectUsable()) return;

    width = ASys.VirtualWidth;
    rw2 = static_cast<int>(width / 2);
    height = ASys.VirtualWidth / ASys.Aspect;
    rh2 = static_cast<int>(height / 2);

    // The width for the next render and update: portrait windows get the narrower screen.
    ASys.VirtualWidth = LandscapeWidth;
    ASys.ImageZoom = 1.0f;
    if (height > width) {
        ASys.VirtualWidth = PortraitWidth;
        ASys.ImageZoom = LandscapeWidth / PortraitWidth;
    }

    iBump = 0;
    if (height > 2 * width) {
        iBump = BumpTop;
        height -= BumpBand;
        rh2 -= BumpBand;
    }
    if (width > 2 * height) {
        iBump = BumpLeft;
        width -= BumpBand;
        rw2 -= BumpBand;
    }
    ASys.offx = static_cast<float>(rw2);
    ASys.offy = static_cast<float>(rh2);
    jscrWide = static_cast<int>(width);
    jscrHigh = static_cast<int>(height);
    RealW = ASys.CanvasWidth;
    RealH = ASys.CanvasHeight;
    ViewScale = 2 / ASys.VirtualWidth;
}

void VornCore::FlipFullscreen() { ASys.FlipFull(); }

int VornCore::Mills() { return static_cast<int>(SysClockMs() - GameStartTime); }

int VornCore::StartTick() { return GameStartTime; }

void VornCore::SetNum(int n) {
    GameStartTime = static_cast<int>(SysClockMs());
    GameNum = n;
    Rescramble();
}

int VornCore::GetNum() { return GameNum; }

int VornCore::Print(const char* text) {
    ASys.Debuglog(text);
    return 1;
}
int VornCore::Debuglog(const char* text) { return Print(text); }
int VornCore::DebugLog(const char* text) { return Print(text); }
int VornCore::Debug(const char* text) { return Print(text); }

void VornCore::Rest(int ms) {
    if (ms < 1 || ms > RestMaxMs) return;
    RestSource(ms);
}

// Sleeps until Mills() reads mills, at most RestMaxMs; returns at once when it already does.
// Unlike Rest it wakes on the first tick of that millisecond, not part of the way into it.
void VornCore::RestUntil(int mills) {
    const int now = Mills();
    if (mills <= now) return;
    RestUntilSource(GameStartTime + static_cast<long long>(std::min(mills, now + RestMaxMs)));
}
