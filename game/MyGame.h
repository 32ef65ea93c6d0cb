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

    // ---- asset loader, loading screen, backdrop (loader.cpp) ----

    // ---- play screen (play.cpp) ----

    // ---- play objects (objects.cpp) ----

    // ---- particles, ripples, motes (particles.cpp) ----

    // ---- settings and score files (saves.cpp) ----

    // ---- scoreboards and online scores (scores.cpp) ----

    // ---- title and difficulty screens (title.cpp) ----

    // ---- options screen (options.cpp) ----

    // ---- controller redefinition, default bindings (redefine.cpp, bindings.cpp) ----
    void KeyDefaults();

    // ---- name entry (name_entry.cpp) ----

    // ---- credits (credits.cpp) ----

    // ---- pause screen (pause.cpp) ----
};

extern MyGame ThisGame;
