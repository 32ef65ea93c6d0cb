// The credits: the table of credit lines with the game's built-in credits, and the credits
// screen that scrolls them up with a perspective stretch and a fade over a web of moving
// coloured lines, with the play count and screen sizes in the right-hand corners.
#include "MyGame.h"

#include <algorithm>
#include <cmath>

namespace {

// The built-in credits: seven sections, each closed by the separator line.
constexpr const char* DefaultCredits[] = {
    // opening
    "Another game by", "", "the Brindlewick developers", "", "-=-=-",
    // framework
    "Coded In", "C++17 with GLFW, OpenGL and OpenAL", "using Ostrel's", "VornFrame", "Framework",
    "-=-=-",
    // graphics
    "Graphics", "", "Mostly by", "the Brindlewick developers", "", "using", "",
    "our own picture generator", "on Debian GNU/Linux", "", "FreeType and LodePNG", "on Debian GNU/Linux",
    "-=-=-",
    // font
    "Font", "", "DejaVu Sans Bold", "by", "the DejaVu fonts team", "-=-=-",
    // audio
    "Audio", "", "Sound Effects", "created with", "our own sound generator", "", "Tweaked with",
    "hand-tuned synth code", "-=-=-",
    // music
    "Music", "", "Created with", "our own music generator", "and libvorbis on Debian", "-=-=-",
    // thanks
    "Special Thanks", "", "Lode Vandevenne", "(LodePNG)", "", "and", "", "Sean Barrett", "(stb_vorbis)", "",
    "Thanks for all the Feedback!", "", "The Mesa developers", "Mesa 3D", "", "Thanks for the many",
    "GLFW, OpenAL Soft", "FreeType and DejaVu fonts", "", "And a great big hello", "to everyone at",
    "debian.org", "", "Thanks for sticking around", "and putting up with", "all my ranting!", "-=-=-",
};

constexpr int LastLineIndex = MyGame::CreditLineCount - 1;

// Exit latches: keys and pad, then one per pointer.
constexpr int LatchExit = 15, TouchLatchFirstPointer = 1;

// Scrolling, in virtual-screen units per update.
constexpr float ScrollStep = 0.75f, ScrollFastExtra = 1.5f;
constexpr float LineSpacing = 36;        // units between two lines before the stretch
constexpr int LinesBelowCentre = 4;      // line 0 starts this many lines below the centre
constexpr int WrapExtraLines = 8;        // the scroll wraps once it passes (8 + last index) lines
// Fade and stretch: alpha falls with the distance from the centre; the stretch grows with it.
constexpr float FadeFull = 3, FadePerUnit = 0.0225f, StretchPerUnit = 0.01f, StretchMin = 0.5f;
constexpr float LineTextSize = 1.4f;

// The web of moving lines: 40 lines, hues 10 degrees apart, reaching 400 units out.
constexpr int WebIndexEnd = 80, WebIndexStep = 2;
constexpr float WebHuePerIndex = 5, WebReach = 400, WebThickness = 2, WebRate = 0.025f;
constexpr float WebFromPhase = 30, WebFromYRate = 1.6f, WebToXPhase = 120, WebToXTime = 2;
constexpr float WebToYRate = 1.3f, WebToYPhase = 60;

// Colours of the credit lines: hues turning with the line number.
constexpr float TopBase = 190, BottomBase = 255, ColourSwing = 150;
constexpr float TopHueStep = 20, BottomHueStep = 30, GreenPhase = 120, BluePhase = 240;

// Corner texts.
constexpr float CornerSize = 0.75f, CornerMargin = 24, CornerLine = 24;

}  // namespace

void MyGame::AddCredits(std::string line) {
    if (CreditCount >= LastLineIndex) return;   // the table is full: the line is dropped
    CreditCount++;
    CreditScroll = 0;
    CreditLines[CreditCount] = std::move(line);
}

void MyGame::AddDefaultCredits() {
    CreditCount = -1;
    for (const char* line : DefaultCredits) AddCredits(line);
}

void MyGame::Credits() {
    const float W = ScreenWidth, H = ScreenHeight;

    AddPlatBG();
    ResetDraw();

    // Leaving: Start, Back, Button 1 or 2, Escape or Return, or a tap anywhere; one press
    // leaves once, and a press held on entry waits for its release.
    auto leave = [&] {
        MenuScreen = ScreenNone;
        LockKeys();
        PlaySFX(SfxConfirm);
    };
    const float start = Joy(InputStart), back = Joy(InputBack);
    const float fire1 = Joy(InputButton1), fire2 = Joy(InputButton2);
    if (start < InputReleased && back < InputReleased && fire1 < InputReleased && fire2 < InputReleased)
        KeyLatch[LatchExit] = 0;
    if ((start > InputPressed || fire1 > InputPressed || back > InputPressed || fire2 > InputPressed ||
         PlayKey(PlayEscape) || PlayKey(PlayEnter)) &&
        KeyLatch[LatchExit] == 0)
        leave();
    for (int i = 0; i < PointerCount; i++) {
        int& latch = TouchLatch[TouchLatchFirstPointer + i];
        if (!TouchDown(i))
            latch = 0;
        else if (latch == 0)
            leave();
    }

    // Scroll up, faster while a direction is held; start again from below once the last line
    // has left the top.
    CreditScroll -= ScrollStep;
    if (Joy(InputUp) > InputPressed || Joy(InputRight) > InputPressed || Joy(InputDown) > InputPressed ||
        Joy(InputLeft) > InputPressed)
        CreditScroll -= ScrollFastExtra;
    if (CreditScroll < -LineSpacing * (WrapExtraLines + CreditCount)) CreditScroll = 0;

    // The web of lines, turning with the clock whatever the update rate.
    SetSize(LineTextSize);
    Thick(WebThickness);
    const double t = Mills();
    for (int i = 0; i < WebIndexEnd; i += WebIndexStep) {
        InkRot(WebHuePerIndex * i);
        const double from = WebRate * (WebFromPhase * i + t);
        const double toX = WebRate * (WebToXPhase * i + WebToXTime * t);
        const double toY = WebRate * (WebToYPhase * i + t);
        Line(W / 2 + WebReach * Sin(static_cast<float>(from)),
             H / 2 + WebReach * Cos(static_cast<float>(WebFromYRate * from)),
             W / 2 + WebReach * Sin(static_cast<float>(toX)),
             H / 2 + WebReach * Cos(static_cast<float>(WebToYRate * toY)));
    }

    // The lines: faded by their distance from the centre and spread apart towards the edges.
    for (int i = 0; i <= CreditCount; i++) {
        const float d = LineSpacing * (i + LinesBelowCentre) + CreditScroll;
        const float a = std::min(FadeFull - FadePerUnit * std::fabs(d), 1.0f);
        if (a <= 0) continue;
        const float s = std::max(StretchPerUnit * std::fabs(d), StretchMin);
        const float y = H / 2 + 2 * s * d;
        const float top = TopHueStep * i, bottom = BottomHueStep * i;
        SetGradient(TopBase + ColourSwing * Sin(top), TopBase + ColourSwing * Sin(top + GreenPhase),
                    TopBase + ColourSwing * Sin(top + BluePhase), a,
                    BottomBase + ColourSwing * Sin(bottom), BottomBase + ColourSwing * Sin(bottom + GreenPhase),
                    BottomBase + ColourSwing * Sin(bottom + BluePhase), a);
        SetSize(LineTextSize);
        Text(W / 2, y, CreditLines[i], AlignCentre);
    }

    // Corner texts.
    ResetDraw();
    SetSize(CornerSize);
    const float x = W - CornerMargin;
    Text(x, CornerMargin, fstr("Plays %i", Option[OptPlays]), AlignRight);
    Text(x, H - 2 * CornerLine, fstr("Real %ix%i", RealW, RealH), AlignRight);
    Text(x, H - CornerLine, fstr("Virtual %ix%i", static_cast<int>(W), static_cast<int>(H)), AlignRight);
}
