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
    int Mills();

    // ---- draw state and shapes (draw.cpp) ----

    // ---- images, text, buffers (images.cpp) ----

    // ---- input (input.cpp) ----

    // ---- sound and music (sound.cpp) ----

    // ---- file access and URL fetch (files.cpp) ----

    // ---- strings, encodings, checksums, scrambling (strings.cpp) ----
    // printf-style text in the next buffer of the Tempstr ring; valid for 29 more ring uses.
    char* fstr(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same, returning the number of characters kept in the buffer.
    int tstr(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetKeyword(const std::string& keyword);
    void Rescramble();

    // ---- calendar, maths, random numbers, geometry (maths.cpp) ----
    float Sin(float a);
    float Cos(float a);
    void SeedRnd();
    void SeedRnd(int s);
    float Rnd(float a, float b);
    float Rnd(float x);
    int Rand(float a, float b);
    int Rand(float x);
};

// ---- core globals: clock, rates, virtual screen (frame.cpp) ----

// ---- draw (draw.cpp) ----

// ---- images and text (images.cpp) ----

// ---- input (input.cpp) ----

// ---- sound (sound.cpp) ----

// ---- strings (strings.cpp) ----
extern int TempstrUse;   // the Tempstr buffer used last

// ---- maths and random numbers (maths.cpp) ----
// State of the seeded stream (Rnd, Rand) and the counter of the clock-mixed one (tRnd).
extern int jRand_Seed;
extern int jRand_Count;
extern int jRand_Bit;
extern int jRand_Plus;
extern int jRand_Out;
extern int jRand_tSeed;
