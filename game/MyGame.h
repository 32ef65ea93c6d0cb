// The game: class MyGame (derived from the framework core) and its one object ThisGame.
// Launch, the paced main loop and state machine, and every screen of the game.
#pragma once

#include <string>

#include "VornCore.h"

// ---- game-wide constants -----------------------------------------------------------------
constexpr int GameNumber = 556;
constexpr const char* GameName = "Brindlewick";

// Image slots of the game's pictures and font, and its sound slots (filled by the loader).
constexpr int ImgGfx = 0, ImgRipple = 5, ImgRippleB = 6;
constexpr int ImgIcons = 50, FontMain = 51, ImgOptions = 52, ImgMenu = 53, ImgLogo = 54;
constexpr int ImgParticles = 55, ImgBackdrop = 56, ImgVornLogo = 60;
constexpr int SfxSpare = 1, SfxGem = 2, SfxBigGem = 3, SfxBlast = 4, SfxBomb = 5;
constexpr int SfxJingle = 95, SfxConfirm = 98, SfxMove = 99;
constexpr const char* GameMusic = "wombats.ogg";

// Screens read a logical input as pressed above InputPressed and as released below
// InputReleased.
constexpr float InputPressed = 0.5f, InputReleased = 0.3f;
// The align argument of Text: the text starts, is centred or ends at x.
constexpr float AlignLeft = 0, AlignCentre = 1, AlignRight = 2;

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
    // Launch up to its main loop: the framework begun, nearest-pixel sampling, options and
    // bindings at their defaults, the settings and score files read with their score exchange
    // (only when readFiles: the screen tests and the frame benchmark, which start the game
    // with it too, leave files and server alone), the credits, the loader at its first step
    // and the title screen first.
    void StartUp(bool readFiles);
    void DefaultOptions();   // every option to the value launch gives it before the files are read
    void GameLoop();
    void KeepAlive();
    void RestUntilDue();
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

    // ---- asset loader, loading screen, backdrop (loader.cpp) ----
    void Loader();
    void LoadingScreen();
    void MakePlatBG();
    void AddPlatBG();
    // Loading runs one step per update; above this step the first step that loads nothing
    // ends it (LoadTo = 0).
    static constexpr int LoaderLastStep = 60;

    // ---- play screen (play.cpp) and the in-play score display (hud.cpp) ----
    struct PlayerRecord {
        float X, Y, Speed, Length, Angle, TurnRate, Dead, BombTick, BombTimer, SpawnCount;
    };
    struct RipplePushRecord {
        float X, Y, Strength;
    };
    struct WaterLayer {
        float X, Y, VX, VY, TargetVX, TargetVY;
    };
    static constexpr int TrailPoints = 333;
    PlayerRecord Player;
    float Score, Lives, ShownScore;
    RipplePushRecord RipplePush;
    WaterLayer WaterA, WaterB;
    float PlayerTrail[TrailPoints][3];
    void DoGame();
    void Ingame();
    void LoadGame();
    void Bomb(float x, float y);
    void Gimme(int points, float x, float y);
    void Gimme(int points, float x, float y, float hue);
    // count drifting sparks at (x, y) in random hues, colour groups, directions and speeds.
    void ThrowSparks(float x, float y, int count, float hueLow, float hueHigh, float speedLow, float speedHigh);
    void ClearPlayer();   // zeroes the player block (FlushGame)
    void DefaultScoreDisplay(int mode);
    // The play area runs from PlayMargin to the screen size less PlayMargin and wraps.
    static constexpr float PlayMargin = 8;
    void WrapOnPlayArea(float& x, float& y);
    static constexpr int TrailHead = 301;   // the point that takes the head every update
    static constexpr float NoPush = -1;     // RipplePush.X at or below this: no push
    static constexpr float BombFuse = 240;  // dt units from a bomb's pickup to its blast

    // ---- play objects (objects.cpp) ----
    struct GameObject {
        float Type, X, Y, VX, VY, Angle, Spare1, Speed, Spare2, Alpha;
    };
    static constexpr int ObjectStorage = 1025, ObjectSlots = 512;
    GameObject Objects[ObjectStorage];
    void ClearObjects();  // zeroes the whole Objects area (FlushGame)
    // Object kinds (GameObject::Type); the kind is also the sprite frame in ImgGfx.
    static constexpr int ObjFree = 0, ObjGem = 1, ObjBigGem = 2, ObjHazard = 3, ObjBombPickup = 4;
    static constexpr int ObjRegrowing = 91;
    static constexpr int FrameHazardBlink = 90;
    static constexpr int SpawnCycle = 20;   // SpawnCount runs 1..20, 0, 1, ...
    // One walk over slots 0..ObjectSlots-1: move, wrap, draw, touch, home. Returns whether a
    // fatal touch happened; freeSlot gets the highest slot that was free (-1: none).
    bool ObjectWalk(int& freeSlot);
    // The spawn chance of one update, then SpawnObject into the free slot.
    void SpawnObjects(int freeSlot);
    // Fills the slot with the next kind of the spawn cycle at a grid place away from the head.
    void SpawnObject(int slot);
    int SpawnKind(int count, int mode) const;

    // ---- particles, ripples, motes (particles.cpp) ----
    struct Particle {
        float Type, X, Y, VX, VY, Rot, Spin, Alpha, Ink, Frame;
    };
    struct Ripple {
        float Alpha, X, Y, Size, Growth, Spare[5];
    };
    struct Mote {
        float Frame, X, Y, VX, VY, Angle, Spin, Spare[3];
    };
    static constexpr int ParticleCount = 256, RippleCount = 50, MoteStorage = 260, PlayMotes = 250;
    // Particle kinds (Particle::Type); kinds from ParticleNoSprite on are not drawn as sprites.
    static constexpr int ParticleFree = 0, ParticleDrift = 1, ParticleFall = 2, ParticleBounce = 3;
    static constexpr int ParticleNoSprite = 90, ParticlePopup = 99;
    // Ripple kinds of DoRipple.
    static constexpr int RippleSmall = 1, RippleGem = 2, RippleBlast = 3;
    Particle Particles[ParticleCount];
    Ripple Ripples[RippleCount];
    int RippleNext;
    Mote Motes[MoteStorage];
    void ThrowParticle(float x, float y, float ink, int colour, int type, float angle, float speed);
    Particle* FreeParticle();   // the first free record, or nullptr when all are live
    void DoParticles();
    void DoRipple(float x, float y, int type);
    void ResetStars(int count);
    void ClearMotes();      // zeroes the mote table (FlushGame)
    void ClearParticles();  // zeroes the Particles table (FlushGame)

    // ---- settings and score files (saves.cpp) ----
    // "Settings.sav": Option[0..99] and the bindings. The score file (GameSaveFile):
    // Option[100..199], their check, and ScoreTable with a running check after every block.
    static constexpr const char* SettingsFile = "Settings.sav";
    void Load();
    void Save();
    std::string GameSaveFile();   // "Save_<game number>_<title>.sav", the title made file-safe

    // ---- scoreboards (scores.cpp) and the online score exchange (online.cpp) ----
    static constexpr int ScoreEntries = 22000, OnlineNameBytes = 16;
    int ScoreTable[ScoreEntries];
    int OnlineScore[ScoreEntries];
    char OnlineName[ScoreEntries][OnlineNameBytes];
    int OnlineScoresValid;
    int BoardCount;
    int ScorePage, ScoreTimer, ScoreSlide;
    void HandleDefaultScoreboards();
    void DisplayScoreboard();
    // Board b owns ScoreTable entries BoardStride * b .. + 9: the Top 5, then the Last 5.
    static constexpr int BoardStride = 20, BoardPlaces = 5, LastFive = 5;
    static constexpr int PageTop = 0, PageLast = 1, PageOnline = 2;
    // First ScoreTable entry of board b, or -1 when the board lies outside the table.
    static int BoardBase(int board);
    void SendScores(int reason);

    // ---- title and difficulty screens (title.cpp) ----
    int MenuStage;
    int MenuCursor;
    float LogoZoom;
    float ChoiceScroll;
    int GearAngle;   // shared with the pause screen
    int PointerMode;
    int GameMode;
    void DoMenu();
    void Menu_Background();
    void Menu_Start();
    void Menu_Default(std::string choices);
    void ActivateTitleButton(int cursor);
    // MenuCursor values of the four title buttons, left to right.
    static constexpr int CursorCredits = -2, CursorQuit = -1, CursorStart = 0, CursorOptions = 1;

    // ---- options screen (options.cpp) ----
    int OptionY, OptionScroll, OptionCursor, OptionRowCount, DragLastY;
    void Options();
    void OptionsList();
    void AddOptionLabel(std::string caption);
    int AddLinearOption(int option, int icon, std::string caption, int max);
    int AddToggleOption(int option, int icon, std::string caption, std::string text0, std::string text1);
    // One row box of this update: where it stands after the selection shift, whether it is on
    // screen (drawn and tappable) and whether the mouse presses on it. Shared by the slider,
    // toggle and action rows.
    struct OptionRowBox {
        int cx, y;
        bool drawn, tapped;
    };
    OptionRowBox BeginOptionRow(int icon, const std::string& caption);
    bool OptionRowSelected() const { return OptionCursor == OptionRowCount; }
    bool OptionConfirmHeld();
    void SelectOptionRowByTap(const OptionRowBox& row);
    void ReleaseOptionRowLatch();
    void EndOptionRow();

    // ---- controller redefinition, default bindings (redefine.cpp, bindings.cpp) ----
    int RedefineRow, RedefineColumn, CaptureDelay, CaptureTimer, TestTimer;
    void KeyDefaults();
    void RedefineKeys();

    // ---- name entry and the online name (name_entry.cpp) ----
    static constexpr int NameLength = 12;     // characters, two per option from OptOnlineName
    std::string ShowName();
    void EnterYourName();
    int NameCode(int i);                      // 6-bit code of character i (0..11)
    bool HasOnlineName();                     // any of the twelve codes set
    void SetNameCode(int i, int code);        // rewrites the whole option of character i

    // ---- credits (credits.cpp) ----
    static constexpr int CreditLineCount = 1024;
    std::string CreditLines[CreditLineCount];
    int CreditCount = -1;
    float CreditScroll;
    void AddCredits(std::string line);
    void AddDefaultCredits();
    void Credits();

    // ---- pause screen (pause.cpp) ----
    int PauseCursor, PauseSlide, PauseIdle;
    void PauseMenu();
    void ActivatePauseButton(int cursor);
    // PauseCursor values of the three pause buttons, left to right.
    static constexpr int PauseQuit = 0, PauseResume = 1, PauseOptions = 2;
};

extern MyGame ThisGame;

// One pass of the main loop of ThisGame.
void Heartbeat();
