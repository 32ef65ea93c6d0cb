// The framework core: class VornCore, the game-facing API a game class derives from.
// Start-up and shutdown, the frame pipeline and virtual screen, drawing, images and text,
// sound, input, files and URLs, strings, clock, maths and random numbers.
#pragma once

#include <string>

#include "Vorn_glfw3.h"

// ---- values shared by the core ----------------------------------------------------------
constexpr int TempstrCount = 30;          // buffers in the Tempstr ring
constexpr int TempstrSize = 16384;        // bytes per ring buffer
constexpr const char* NotFound = "-=+=-"; // result of a missing field or key

class VornCore {
public:
    // ---- data members, in declaration order ----
    char GameTitle[1024];
    int GameNum;
    int GameVersion;
    char GameKey[1024];
    signed char GameScramble[64];
    float SFXVol;
    float MusicVol;
    char Tempstr[TempstrCount][TempstrSize];
    int UpdateSec;
    int UpdateCount;
    int RenderSec;
    int RenderCount;
    int PolyCountR;
    int Active;
    int NextUpdate;
    int NextRender;
    int GameBreak;
    int LoadTo;
    int DebugMode;
    int ScreenshotMode;
    int MixJoy;
    int RealW, RealH;
    int jscrWide, jscrHigh;
    char home[4100];
    float Overscan;
    float LastColPointX, LastColPointY;

    // ---- start-up, shutdown, frame pipeline, clock, log (frame.cpp) ----

    // ---- draw state and shapes (draw.cpp) ----

    // ---- images, text, buffers (images.cpp) ----

    // ---- input (input.cpp) ----
    void PollInput(int invertY);
    int PlayKey(int code);
    int PlayKeyAll(int code);
    float Joy(int n);
    void SetKey(int input, int code);
    int KeyValue(int input, int row);
    void FlushKeys();
    void LockForGet();
    int GetKey();
    std::string KeyName(int code);
    int JoyDown(int b);
    int JoyDown(int b, int pad);
    float JoyAxis(int a);
    float JoyAxis(int a, int pad);
    float StickX();
    float StickY();
    float MouseX();
    float MouseX(int i);
    float MouseY();
    float MouseY(int i);
    int MouseDown();
    int MouseDown(int i);
    int MouseDown_Alt();
    int MouseDown_Alt(int i);
    int MouseHeld();
    int MouseHeld(int i);
    float TouchX();
    float TouchX(int i);
    float TouchY();
    float TouchY(int i);
    int TouchDown();
    int TouchDown(int i);
    int TouchDown_Alt();
    int TouchDown_Alt(int i);
    int TouchHeld();
    int TouchHeld(int i);
    int mdall();
    int MouseIn(float x, float y, float w, float h);
    int MouseIn_Centered(float x, float y, float w, float h);
    int MouseIn_Radius(float x, float y, float r);
    void BumpCursor();

    // ---- sound and music (sound.cpp) ----

    // ---- file access and URL fetch (files.cpp) ----

    // ---- strings, encodings, checksums, scrambling (strings.cpp) ----

    // ---- calendar, maths, random numbers, geometry (maths.cpp) ----
};

// ---- core globals: clock, rates, virtual screen (frame.cpp) ----

// ---- draw (draw.cpp) ----

// ---- images and text (images.cpp) ----

// ---- input (input.cpp) ----
extern int UpdateCountLive;     // polls counted in the current second
extern int DebugToggle;         // F1 edge latch
extern int ScreenshotToggle;    // F2 edge latch
constexpr int UpdateRateWindowMs = 1000;

// ---- sound (sound.cpp) ----

// ---- strings (strings.cpp) ----

// ---- maths and random numbers (maths.cpp) ----
