// The framework core: class VornCore, the game-facing API a game class derives from.
// Start-up and shutdown, the frame pipeline and virtual screen, drawing, images and text,
// sound, input, files and URLs, strings, clock, maths and random numbers.
#pragma once

#include <array>
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
    void Begin(int num, std::string title);
    void Terminate();
    void BufferGame();
    void RenderGame(float& width, float& height);
    void FlipFullscreen();
    int Mills();
    int StartTick();
    void SetNum(int n);
    int GetNum();
    int Print(const char* text);
    int Debuglog(const char* text);
    int DebugLog(const char* text);
    int Debug(const char* text);
    void Rest(int ms);
    void RestUntil(int mills);

    // ---- draw state and shapes (draw.cpp) ----
    void ResetDraw();
    void SetSize(float s);
    void SetSize(float sx, float sy);
    void SetRot(float degrees);
    void SetLineThickness(float t);
    void Width(float t);
    void Thick(float t);
    void SetLineWidth(float t);
    void SetLineThick(float t);
    void Smooth(int on);
    void SetSmooth(int on);
    void SetFont(int slot);
    void SetCol(float r, float g, float b);
    void SetCol(float r, float g, float b, float a);
    void SetGradient(float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2);
    void SetAlpha(float a);
    void Alpha(float a);
    void Ink(int n);
    void InkRot(float h);
    void InkRot(float h, float s);
    void InkRot(float h, float s, float v);
    void HSV2RGB(double h, double s, double v);
    void SetBlend(int mode);
    void CLS(float r, float g, float b);
    void SetCLS(float r, float g, float b);
    void FadeCLS(float r, float g, float b, float divisor);
    void SetCLSRot(float hue, float low, float high);
    void CLSGradient(float r1, float g1, float b1, float a1, float r2, float g2, float b2, float a2);
    void Rect(float x, float y, float w, float h);
    void Rect(float x, float y, float s);
    void Plot(float x, float y);
    void Rect_UL(float x, float y, float w, float h);
    void Rect_UL(float x, float y, float s);
    void Quad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
    void Line(float x1, float y1, float x2, float y2);
    void Oval(float x, float y, float w, float h);
    void Oval(float x, float y, float r);
    void Circle(float x, float y, float r);
    void Oval_UL(float x, float y, float w, float h);
    void Oval_UL(float x, float y, float r);
    void Circle_UL(float x, float y, float r);
    void Fan(float x, float y, float r);
    void FullTri(float x1, float y1, float x2, float y2, float x3, float y3);
    void Tri(float x, float y, float w, float h);
    void Tri_Fix(float x, float y, float w, float h, float shift);

    // ---- images, text, buffers (images.cpp) ----
    void LoadImg(int slot, std::string name, int size);
    void LoadFont(int slot, std::string name);
    void DrawImg(int slot, float x, float y);
    void DrawImg(int slot, float x, float y, int frame);
    void DrawBlur(int slot, float x, float y);
    void DrawBlur(int slot, float x, float y, int frame);
    void QuadImg(int slot, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                 int frame);
    void DrawBuffer();
    void Text(float x, float y, std::string s);
    void Text(float x, float y, std::string s, float align);
    void Text(float x, float y, std::string s, float align, float extra);
    void Text(float x, float y, char c);
    void Text(float x, float y, char c, float align);
    void Text(float x, float y, char c, float align, float extra);
    float StringWidth(std::string s);
    float StringWidth(char c);
    float CharWidth(char c);
    void CreateBuffer(int slot, int side);
    void BufferCLS(int slot);
    void BufferFill(int slot, int red, int green, int blue, int alpha);
    void BufferLine(int slot, float x1, float y1, float x2, float y2);
    void BufferPlot(int slot, float x, float y);
    void BufferTile(int destination, int source, float x, float y, int frame);
    void SetWindow(int width, int height);
    void TakeScreenshot();
    void CopyBuffer();

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
    int Button(int slot, float x, float y, int frame);
    void BumpCursor();
    void SetScreenshotName();

    // ---- sound and music (sound.cpp) ----
    void LoadSFX(int slot);
    void LoadSFX(int slot, std::string name);
    void PlaySFX(int slot);
    void PlaySFX(int slot, float pitch);
    void PlaySFX(int slot, float pitch, float volume);
    void PlaySFX(int slot, float pitch, float volume, float pan);
    void PlaySFX(int slot, float pitch, float volume, float pan, int loop);
    void MusicPitch(float pitch);
    void MusicVolume(float volume);
    void MusicPan(float pan);
    void PlayMusic(std::string name);
    void PlayMusic(std::string name, int loop);
    void StopMusic();
    void MusicHandler();

    // ---- file access and URL fetch (files.cpp) ----
    // User files live in home: WriteFile and ReadFile open home + "/" + name.
    int WriteFile(std::string name);
    int ReadFile(std::string name);
    void WriteInt(int value);
    void WriteByte(char value);
    void WriteLine(std::string text);
    void WriteString(std::string text);
    int ReadInt();
    int ReadByte();
    std::string ReadLine();
    int ReadString();                 // copies the line into the next Tempstr, returns its index
    int FilePos();
    void FileSeek(int offset);
    void CloseFile();
    int OpenBrowser(std::string address);  // the opener's exit status
    std::string MyName();
    // Fetches host + "/" + path + data escaped with the framework's tokens; the payload.
    std::string GetURL(std::string host, std::string path, std::string data);
    std::string ScoreHost();          // where the score exchange goes (ScoreServerHost)

    // ---- strings, encodings, checksums, scrambling (strings.cpp) ----
    // printf-style text in the next buffer of the Tempstr ring; valid for 29 more ring uses.
    char* fstr(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same, returning the number of characters kept in the buffer.
    int tstr(const char* format, ...) __attribute__((format(printf, 2, 3)));
    char* nth(int n);                        // 1st, 2nd, 3rd, 4th, ... 11th, 21st
    std::string Hex(int n);                  // "%X"
    int HexToInt(const std::string& s);      // base 16, clamped to the int range
    std::string Bin(int n);                  // "%u": the value as unsigned decimal
    int BinToInt(const std::string& s);      // base 2, clamped to the int range
    int StrToInt(const std::string& s);      // decimal, clamped to the int range
    int ToInt(const std::string& s);         // the same as StrToInt
    char Char64(int n);                      // symbol of n mod 64: _ - 0..9 A..Z a..z
    char Char64b(int n);                     // the same with a space for 0
    int Int64(char c);                       // inverse of Char64, 0..63
    std::string Char64x4(long n);            // bits 0..23 as four symbols, lowest first
    int Int64x4(const char* s);              // four symbols back to 0..16,777,215
    int SixDigitString(const std::string& s);            // up to six letters to a number
    std::string SixDigitString(long a);                  // 30 bits as six letters
    std::string SixDigitString(long a, long b);          // twelve letters
    std::string SixDigitString(long a, long b, long c);  // eighteen letters
    std::string Left(const std::string& s, int n);
    std::string Mid(const std::string& s, int start, int n);
    std::string Right(const std::string& s, int n);
    std::string LeftPad(const std::string& s, unsigned n, char c);
    std::string RightPad(const std::string& s, unsigned n, char c);
    std::string Trim(const std::string& s);
    std::string Strip(const std::string& s);
    std::string iniLeft(const std::string& s);   // text before the first '=', or NotFound
    std::string iniRight(const std::string& s);  // text after the first '=', or NotFound
    std::string Split(const std::string& s, char sep, int n);  // field n from 1, or NotFound
    int SplitCount(const std::string& s, char sep);
    int Checksum(const std::string& s, int seed);  // 0..3716
    int Checksum(const std::string& s);            // seeded with GameNum
    std::string Tovcrunch(const std::string& s);   // run-length packing
    std::string Tovucrunch(const std::string& s);  // its inverse
    void SetTitle(const std::string& title);
    std::string GetTitle();
    void SetKeyword(const std::string& keyword);
    void Rescramble();
    std::string ScrambleTxt(const std::string& s);
    std::string UnscrambleTxt(const std::string& s);

    // ---- calendar, maths, random numbers, geometry (maths.cpp) ----
    // The calendar reads the local time from CalendarClock afresh on every call.
    int Date_Day();
    int Date_Month();
    int Date_Year();
    int Time_Hour();
    int Time_Minute();
    int Time_Second();
    std::string Date_str();        // 07/03/2019
    std::string Time_str();        // 09:05:03
    std::string DateTime_str();    // 07/03/2019 09:05:03
    std::string DateTime_file();   // 07-03-2019_09-05-03
    std::string DateTime_fileb();  // 2019-03-07_09-05-03
    float Sin(float a);
    float Cos(float a);
    float Mod(float a, float b);
    float Abs(float a);
    int Abs(int a);
    float Atan2(float a, float b);
    float Atan2(float x1, float y1, float x2, float y2);  // direction from 1 to 2
    float aTan2(float a, float b);
    float aTan2(float x1, float y1, float x2, float y2);
    float Dist(float x1, float y1, float x2, float y2);
    float Pyth(float a, float b);
    void SeedRnd();
    void SeedRnd(int s);
    float Rnd(float a, float b);
    float Rnd(float x);
    int Rand(float a, float b);
    int Rand(float x);
    float tRnd(float a, float b);
    float tRnd(float x);
    int tRand(float a, float b);
    int tRand(float x);
    int SpiralAt(int x, int y, int w, int h);
    float WhichWayDoIGo(float from, float to, float lo, float hi);
    float WhichWayDoIGo(float from, float to);
    int Collide_Point_Circle(float px, float py, float cx, float cy, float r);
    int Collide_Circle_Circle(float x1, float y1, float r1, float x2, float y2, float r2);
    int Collide_Line_Line(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                          float y4);
    int Collide_Rect_Rect(float x1, float y1, float w1, float h1, float x2, float y2, float w2,
                          float h2);
    int Collide_Rect_Rect_Complex(float x1, float y1, float w1, float h1, float x2, float y2,
                                  float w2, float h2);
};

// ---- core globals: clock, rates, virtual screen (frame.cpp) ----
constexpr float LandscapeWidth = 800;     // virtual screen width, window wider than tall
constexpr float PortraitWidth = 512;      // virtual screen width, window taller than wide
constexpr int BumpBand = 32;              // units taken off a screen more than twice as long
constexpr int BumpTop = 1, BumpLeft = 2;  // iBump: which side lost the band
constexpr int RateWindowMs = 1000;        // length of an update or render rate sample
constexpr int RestMaxMs = 999;            // Rest sleeps 1..RestMaxMs milliseconds
extern int GameStartTime;                 // SysClockMs() at Begin or SetNum: origin of Mills
extern int RenderCountLive;               // renders counted in the current rate sample
extern int rw2, rh2;                      // centre of the visible virtual screen, in units
extern int iBump;                         // 0, BumpTop or BumpLeft
extern float ViewScale;                   // 2 / VirtualWidth
// The sleep behind Rest (milliseconds). Tests may point it at their own clock.
extern void (*RestSource)(int ms);
// The sleep behind RestUntil: until SysClockMs() reads clockMs. Tests may point it at their own.
extern void (*RestUntilSource)(long long clockMs);

// ---- draw (draw.cpp) ----
// Copies the 16 DrawState floats into fields 10..25 of the record whose field 0 is Draw[first].
void Getdef(int first);
// Every enqueuer takes its record here. NextRecord reserves the next record of Draw and
// returns its field 0, or nullptr once the list holds DrawListRecords: the record is dropped
// and "Draw List Full" is logged once per update. NewRecord also writes the code and copies
// the draw state into the record.
double* NextRecord();
double* NewRecord(int code);
// Set once "Draw List Full" has been logged in this update; BufferGame clears it.
extern int DrawListFullLogged;

// ---- images and text (images.cpp) ----
constexpr int FontCell = 32;              // a font is a sheet of 32 x 32 cells
constexpr int FontFirstChar = 32;         // frame n is the glyph of character n + 32
constexpr int FontLastChar = 127;         // the last code with a fontw entry that text reads
constexpr int FontwEntries = 136;
// Advance of character n + 32 in font pixels, plus 1 (0 where the font has no glyph).
extern const std::array<int, FontwEntries> fontw;

// ---- input (input.cpp) ----
extern int UpdateCountLive;     // polls counted in the current rate sample
extern int DebugToggle;         // F1 edge latch
extern int ScreenshotToggle;    // F2 edge latch

// ---- sound (sound.cpp) ----
constexpr float SfxPitchLow = 0.8f, SfxPitchHigh = 1.2f;   // random pitch of a plain PlaySFX
constexpr float MusicPitchMin = 0.25f, MusicPitchMax = 4.0f;

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
// The calendar's source of the current time: time(nullptr) unless a test sets its own.
extern long long (*CalendarClock)();
constexpr float NoColPoint = -3717;   // LastColPointX/Y when there is no meeting point
