// The game: class MyGame (derived from the framework core) and its one object ThisGame.
// Launch, the paced main loop and state machine, and every screen of the game.
#pragma once

#include <string>

#include "VornCore.h"

// ---- game-wide constants -----------------------------------------------------------------
constexpr int GameNumber = 556;
constexpr const char* GameName = "Brindlewick";

// Main states (GameState).
constexpr int StateMenu = 0, StateToMenu = 1, StatePlay = 10, StateStartRun = 11;
// Overlay screens (MenuScreen).
constexpr int ScreenNone = 0, ScreenOptions = 1, ScreenCredits = 2, ScreenKeys = 3, ScreenName = 4;

// Options (index into Option).
constexpr int OptionCount = 200;
constexpr int OptSFXVol = 0, OptMusicVol = 1, OptInvertY = 10, OptSwapButtons = 13;
constexpr int OptOverscan = 20, OptDebugStats = 22, OptLessMotion = 23;
constexpr int OptUserDate = 24, OptUserTime = 25, OptUserRand = 26, OptUserCheck = 27;
constexpr int OptOnlineName = 50;   // 50..55
constexpr int OptPlays = 100, OptBoard = 101;
constexpr int OptSaveUserDate = 124, OptSaveUserTime = 125, OptSaveUserRand = 126, OptSaveUserCheck = 127;

class MyGame : public VornCore {
public:
    // ---- launch, loop, state machine, end-of-run banner (loop.cpp) ----
    int GameState;
    int MenuScreen;
    int Paused;
    int GameOver;
    int GameOverReason;
    float GameOverTimer;
    float dt;
    int LastUpdateTime, UpdateTime;
    int MouseAny;
    int KeyLatch[100];
    int TouchLatch[100];
    int Option[OptionCount];
    float ScreenWidth, ScreenHeight;

    void Launch(const char* path);
    void GameLoop();
    void KeepAlive();
    void Update();
    void Render();
    void LoopTarget();
    void EndBanner();
    void EndGame(int reason);
    void LoadMenu();
    void LockKeys();
    void FlushGame();

    // Pacing of the main loop, in milliseconds.
    static constexpr int UpdateIntervalMs = 16;       // focused
    static constexpr int PausedIntervalMs = 32;       // focused and paused
    static constexpr int UnfocusedIntervalMs = 150;   // unfocused: poll, render, sleep
    static constexpr int ClockBackMs = 10000;         // a deadline this far ahead: the clock went back
    // Frame delta clamps and the length of one 60 Hz update.
    static constexpr float MinDeltaMs = 5, MaxDeltaMs = 128;
    static constexpr double FrameMs = 16.666666666666668;
    // End-of-run reasons (EndGame, GameOverReason).
    static constexpr int EndQuit = -1, EndDeath = 1, EndLevelComplete = 2, EndWellDone = 3;
    static constexpr int EndTimeUp = 4, EndWorldComplete = 5, EndBirdieSaved = 6;
    static constexpr float BannerTimeout = 120;  // GameOverTimer at which the run returns to the title
    static constexpr int BannerLatch = 5, BannerLatchHold = 50;  // KeyLatch entry the banner holds
    static constexpr int LatchCount = 100;
    static constexpr int MenuMotes = 100;        // motes seeded by FlushGame

    // Methods still to come: the loop already calls them; until their screens are built they
    // are defined with empty bodies in pending.cpp (each declared in its screen's section).
    //   asset loader:              Loader
    //   play screen:               DoGame, Ingame, LoadGame, ClearPlayer
    //   play objects:              ClearObjects
    //   particles, ripples, motes: DoParticles, ResetStars, ClearMotes, ClearParticles
    //   settings and score files:  Load, Save
    //   scoreboards:               HandleDefaultScoreboards
    //   title screen:              DoMenu
    //   options screen:            Options
    //   controller redefinition:   RedefineKeys
    //   name entry:                EnterYourName
    //   credits:                   Credits, AddDefaultCredits
    //   pause screen:              PauseMenu

    // ---- asset loader, loading screen, backdrop (loader.cpp) ----
    static constexpr int SfxJingle = 95;
    void Loader();

    // ---- play screen (play.cpp) ----
    void DoGame();
    void Ingame();
    void LoadGame();
    void ClearPlayer();   // zeroes the player block (FlushGame)

    // ---- play objects (objects.cpp) ----
    void ClearObjects();  // zeroes the whole Objects area (FlushGame)

    // ---- particles, ripples, motes (particles.cpp) ----
    void DoParticles();
    void ResetStars(int count);
    void ClearMotes();      // zeroes the mote table (FlushGame)
    void ClearParticles();  // zeroes the Particles table (FlushGame)

    // ---- settings and score files (saves.cpp) ----
    void Load();
    void Save();

    // ---- scoreboards and online scores (scores.cpp) ----
    int BoardCount;
    void HandleDefaultScoreboards();

    // ---- title and difficulty screens (title.cpp) ----
    int MenuStage;
    float LogoZoom;
    int GameMode;
    void DoMenu();

    // ---- options screen (options.cpp) ----
    void Options();

    // ---- controller redefinition, default bindings (redefine.cpp, bindings.cpp) ----
    void KeyDefaults();
    void RedefineKeys();

    // ---- name entry (name_entry.cpp) ----
    void EnterYourName();

    // ---- credits (credits.cpp) ----
    void AddDefaultCredits();
    void Credits();

    // ---- pause screen (pause.cpp) ----
    void PauseMenu();
};

extern MyGame ThisGame;

// One pass of the main loop of ThisGame.
void Heartbeat();
