// Launch, the paced main loop, one update and one render, the state dispatch, the end-of-run
// banner, the input latches and the game's option table with its defaults.
#include "MyGame.h"

#include <algorithm>
#include <cstring>

MyGame ThisGame;

namespace {
// The scramble keyword of the game's score records.
constexpr const char* ScrambleKeyword = "Steer thA loNGs craft pasTRes thehilLS to WIN B55 at TW7 coves";

constexpr int BoardsPerGame = 3;
constexpr int GameVersionNumber = 1;
constexpr int HomeMax = sizeof(VornCore::home) - 1;

struct OptionDefault { int index, value; };
constexpr OptionDefault OptionDefaults[] = {
    {OptSFXVol, 7}, {OptMusicVol, 7}, {OptInvertY, 1}, {OptBoard, 2},
};
constexpr float VolumeSteps = 10;     // volume options count tenths
constexpr float OverscanSteps = 50;   // overscan option / 50 = fraction of the screen

struct BannerWords { int reason; const char* first; const char* second; };
constexpr BannerWords BannerTable[] = {
    {MyGame::EndQuit, "Quit", "Game"},
    {MyGame::EndLevelComplete, "Level", "Complete"},
    {MyGame::EndWellDone, "Well", "Done"},
    {MyGame::EndTimeUp, "Time", "Up"},
    {MyGame::EndWorldComplete, "World", "Complete"},
    {MyGame::EndBirdieSaved, "Birdie", "Saved"},
};
constexpr BannerWords BannerDefault = {MyGame::EndDeath, "Game", "Over"};

const BannerWords& WordsFor(int reason) {
    for (const auto& w : BannerTable)
        if (w.reason == reason) return w;
    return BannerDefault;
}

// End banner geometry: square sides are multiples of p, words stand 24 units off the middle.
constexpr float BannerGrowMax = 120, BannerSpinRate = 3, BannerFadeRate = 3;
constexpr float BannerAlphaMax = 0.4f, BannerAlphaBase = 0.1f, BannerAlphaRamp = 80;
constexpr float StillGrow = 240, StillSpin = 360;   // Motion Reduction: full size at once
constexpr float SquareOuter = 12, SquareMiddle = 10, SquareInner = 8;
constexpr float WordSize = 1.5f, WordOffsetY = 24, WordSlideStart = 20, WordSlideSpeed = 32;
constexpr float FirstWordX = 0.4f, SecondWordX = 0.6f;

// A deadline is due once the clock has reached it, or when it lies so far ahead that the
// clock must have gone back.
bool Due(int now, int deadline) { return now >= deadline || now < deadline - MyGame::ClockBackMs; }
}  // namespace

void MyGame::Launch(const char* path) {
    strcpy(home, ".");
    const char* cut = nullptr;
    for (const char* c = path; *c; c++)
        if (*c == '/' || *c == '\\') cut = c;
    if (cut) {
        int n = std::min(static_cast<int>(cut - path), HomeMax);
        memcpy(home, path, n);
        home[n] = 0;
    }

    StartUp(true);
    GameLoop();
    Save();
}

void MyGame::StartUp(bool readFiles) {
    Begin(GameNumber, GameName);
    GameVersion = GameVersionNumber;
    BoardCount = BoardsPerGame;
    SetKeyword(ScrambleKeyword);
    Smooth(0);

    DefaultOptions();
    KeyDefaults();
    if (readFiles) Load();
    AddDefaultCredits();
    DebugMode = Option[OptDebugStats];

    LoadTo = 1;
    GameState = StateMenu;
    GameMode = 0;
    MenuStage = 0;
    MenuScreen = ScreenNone;
    LogoZoom = 1.0f;
    FlushGame();
    NextUpdate = 0;
    NextRender = 0;
}

void MyGame::GameLoop() {
    GameBreak = 0;
    while (GameBreak == 0) KeepAlive();
    Terminate();
}

void MyGame::DefaultOptions() {
    std::fill(Option, Option + OptionCount, 0);
    for (const auto& d : OptionDefaults) Option[d.index] = d.value;
}

void MyGame::KeepAlive() {
    SFXVol = Option[OptSFXVol] / VolumeSteps;
    MusicVol = Option[OptMusicVol] / VolumeSteps;
    Overscan = Option[OptOverscan] / OverscanSteps;

    if (Active == 1) {
        // Deadlines restart from the clock, so a late pass never queues up extra updates.
        int interval = Paused == 1 ? PausedIntervalMs : UpdateIntervalMs;
        RestUntilDue();
        if (Due(Mills(), NextUpdate)) { NextUpdate = Mills() + interval; Update(); }
        if (Due(Mills(), NextRender)) { NextRender = Mills() + interval; Render(); }
        if (Paused == 0) MusicHandler();
        if (Active > 0) return;
    }

    // Unfocused (also when this pass's update has just lost the focus): only poll, so the
    // return of the focus is seen, keep rendering, and sleep.
    if (Mills() > NextUpdate) { NextUpdate += UnfocusedIntervalMs; PollInput(Option[OptInvertY]); }
    if (Mills() < NextUpdate - ClockBackMs) {
        NextUpdate = Mills() + UnfocusedIntervalMs;
        PollInput(Option[OptInvertY]);
    }
    if (Mills() > NextRender) { NextRender += UnfocusedIntervalMs; Render(); }
    if (Mills() < NextRender - ClockBackMs) { NextRender = Mills() + UnfocusedIntervalMs; Render(); }
    Rest(UnfocusedIntervalMs);
}

// A focused pass that finds neither deadline due sleeps until the nearer one, never past it,
// instead of coming round again at once: between its steps the loop rests rather than spins.
void MyGame::RestUntilDue() {
    const int now = Mills();
    if (Due(now, NextUpdate) || Due(now, NextRender)) return;
    RestUntil(std::min(NextUpdate, NextRender));
}

void MyGame::Update() {
    MouseAny = mdall();   // before the poll: screens read the previous poll's pointer state
    LastUpdateTime = UpdateTime;
    UpdateTime = Mills();
    float delta = static_cast<float>(UpdateTime - LastUpdateTime);
    if (delta > MaxDeltaMs) delta = MaxDeltaMs;
    if (delta < MinDeltaMs) delta = MinDeltaMs;
    dt = static_cast<float>(delta / FrameMs);

    PollInput(Option[OptInvertY]);
    ResetDraw();
    if (LoadTo >= 1) {
        Loader();
    } else {
        LoopTarget();
        EndBanner();
    }
    BufferGame();
}

void MyGame::Render() { RenderGame(ScreenWidth, ScreenHeight); }

void MyGame::LoopTarget() {
    if (MenuScreen == ScreenNone) {
        switch (GameState) {
            case StateMenu: DoMenu(); break;
            case StateToMenu: LoadMenu(); break;
            case StatePlay:
                if (Paused == 0) { DoGame(); Ingame(); }
                if (Paused == 1) PauseMenu();   // read again: the update that pauses shows it
                break;
            case StateStartRun: LoadGame(); break;
            default: break;
        }
    }
    // Each read afresh: an overlay opened earlier in this update already runs now.
    if (MenuScreen == ScreenOptions) Options();
    if (MenuScreen == ScreenCredits) Credits();
    if (MenuScreen == ScreenKeys) RedefineKeys();
    if (MenuScreen == ScreenName) EnterYourName();
    DoParticles();
}

void MyGame::EndBanner() {
    if (GameOver != 0) {
        GameOverTimer += dt;
        if (GameOverTimer > BannerTimeout) GameState = StateToMenu;
    }
    if (GameOver == 0 && GameOverTimer > 0) {
        GameOverTimer -= BannerFadeRate * dt;
        if (GameOverTimer < 0) GameOverTimer = 0;
    }
    if (GameOverTimer <= 0) return;

    ResetDraw();
    float t = GameOverTimer;
    float p = std::min(2 * t, BannerGrowMax);
    float r = BannerSpinRate * t;
    float a = std::min(t / BannerAlphaRamp + BannerAlphaBase, BannerAlphaMax);
    float cy = ScreenHeight / 2;
    bool still = Option[OptLessMotion] == 1;
    if (still) { p = StillGrow; r = StillSpin; a = BannerAlphaMax; }

    LockKeys();
    KeyLatch[BannerLatch] = BannerLatchHold;
    const BannerWords& words = WordsFor(GameOverReason);

    // Once the run end is no longer pending the squares keep turning the same way.
    float spin = GameOver != 0 ? r : StillSpin - r;
    float cx = ScreenWidth / 2;
    SetCol(128, 128, 0, a);
    SetRot(spin);
    Rect(cx, cy, SquareOuter * p);
    SetCol(128, 64, 0, a);
    SetRot(-spin);
    Rect(cx, cy, SquareMiddle * p);
    SetCol(0, 0, 0, a);
    SetRot(0);
    Rect(cx, cy, SquareInner * p);

    ResetDraw();
    SetSize(WordSize);
    float s = std::min((t - WordSlideStart) * WordSlideSpeed, 0.0f);
    if (still) s = 0;
    Text(FirstWordX * ScreenWidth - s, cy - WordOffsetY, words.first, AlignCentre);
    Text(SecondWordX * ScreenWidth + s, cy + WordOffsetY, words.second, AlignCentre);
}

void MyGame::EndGame(int reason) {
    if (GameOver != 0) return;   // the first end of a run wins
    GameOver = reason;
    GameOverReason = reason;
    GameOverTimer = 0;
}

void MyGame::LoadMenu() {
    HandleDefaultScoreboards();
    Save();
    StopMusic();
    PlaySFX(SfxJingle, 1.0f);
    GameOver = 0;
    GameState = StateMenu;
}

void MyGame::FlushGame() {
    Paused = 0;
    GameOver = 0;
    GameOverTimer = 0;
    ClearObjects();
    ClearPlayer();
    ClearMotes();
    ResetStars(MenuMotes);
    ClearParticles();
}

void MyGame::LockKeys() {
    std::fill(KeyLatch, KeyLatch + LatchCount, 1);
    std::fill(TouchLatch, TouchLatch + LatchCount, 1);
}

void Heartbeat() { ThisGame.KeepAlive(); }
