// The pause screen that stands in for play while a run is paused: Quit, Resume and Options in
// a row near the bottom, chosen with left/right and any confirm input, or clicked; the row
// slides off the screen after a while without input and comes back on the next one.
#include "MyGame.h"

#include <algorithm>

namespace {

constexpr float ClearHueMs = 32;          // the dim clear colour turns one degree per 32 ms
constexpr float ClearLow = 0, ClearHigh = 40;
constexpr float TitleX = 100, TitleY = 100;
constexpr float RowRise = 128;            // the row's centre above the bottom edge
constexpr int IdleUpdates = 360;          // updates without input before the row slides away
constexpr int SlideIn = 64, SlideOut = 4, SlideMax = 480;
constexpr float SizeNormal = 1, SizeSelected = 1.5f;
constexpr int IconResume = 0, IconQuit = 1, IconGearA = 3, IconGearB = 4;
constexpr int FullTurn = 360;
constexpr float ConfirmPitch = 1.0f;
constexpr int LatchMove = 1, LatchConfirm = 10;
constexpr int MousePointer = 1;           // PointerIndex of the mouse: Button() reports it as 1

// Any of these four logical inputs confirms the selected button.
constexpr int ConfirmInputs[] = {InputButton1, InputButton2, InputBack, InputStart};

struct PauseButton {
    int cursor, icon;
    float quarters;   // x in quarters of the screen width
};
// In the order they are handled.
constexpr PauseButton PauseButtons[] = {
    {MyGame::PauseResume, IconResume, 2},
    {MyGame::PauseQuit, IconQuit, 1},
    {MyGame::PauseOptions, IconGearA, 3},
};

struct CursorStep {
    int input, by;
};
constexpr CursorStep CursorSteps[] = {{InputRight, +1}, {InputLeft, -1}};

}  // namespace

void MyGame::PauseMenu() {
    ResetDraw();
    SetCLSRot(Mills() / ClearHueMs, ClearLow, ClearHigh);
    Text(TitleX, TitleY, "Paused!");

    const int y = static_cast<int>(ScreenHeight - RowRise + PauseSlide);
    PauseIdle -= 1;
    if (PauseIdle >= -(IdleUpdates - 1)) PauseSlide -= SlideIn;
    else PauseSlide += SlideOut;
    PauseSlide = std::clamp(PauseSlide, 0, SlideMax);
    if (MouseAny > 0) PauseIdle = 0;

    ResetDraw();
    bool confirmHeld = false, confirmReleased = true;
    for (int input : ConfirmInputs) {
        confirmHeld = confirmHeld || Joy(input) > InputPressed;
        confirmReleased = confirmReleased && Joy(input) < InputReleased;
    }
    if (confirmReleased) KeyLatch[LatchConfirm] = 0;

    for (const PauseButton& b : PauseButtons) {
        SetSize(PauseCursor == b.cursor ? SizeSelected : SizeNormal);
        const float x = ScreenWidth * b.quarters / 4;
        int r;
        if (b.cursor == PauseOptions) {
            GearAngle = (GearAngle + 1) % FullTurn;
            SetRot(-GearAngle);
            r = Button(ImgIcons, x, y, IconGearA);
            SetRot(GearAngle);
            DrawImg(ImgIcons, x, y, IconGearB);
        } else {
            r = Button(ImgIcons, x, y, b.icon);
        }
        // The latch is read afresh for each button: an activation locks it.
        if (confirmHeld && KeyLatch[LatchConfirm] == 0 && PauseCursor == b.cursor) {
            r = MousePointer;
            PauseIdle = 0;
        }
        if (r == MousePointer) ActivatePauseButton(b.cursor);
    }

    // Right is read first; its step sets the latch, so Left held with it waits for a release.
    for (const CursorStep& s : CursorSteps) {
        if (KeyLatch[LatchMove] == 0 && Joy(s.input) > InputPressed) {
            KeyLatch[LatchMove] = 1;
            PauseCursor += s.by;
            PlaySFX(SfxMove);
            PauseIdle = 0;
        }
    }
    if (PauseCursor < PauseQuit) PauseCursor = PauseOptions;
    if (PauseCursor > PauseOptions) PauseCursor = PauseQuit;
    if (Joy(InputLeft) < InputReleased && Joy(InputRight) < InputReleased) KeyLatch[LatchMove] = 0;
}

void MyGame::ActivatePauseButton(int cursor) {
    switch (cursor) {
        case PauseQuit:
            Paused = 0;
            PlaySFX(SfxConfirm, ConfirmPitch);
            LockKeys();
            EndGame(EndQuit);   // play goes on under the "Quit" / "Game" banner, then the title
            break;
        case PauseResume:
            Paused = 0;
            PlaySFX(SfxConfirm, ConfirmPitch);
            LockKeys();
            break;
        case PauseOptions:
            MenuScreen = ScreenOptions;   // the options screen opens over this one
            PlaySFX(SfxConfirm, ConfirmPitch);
            LockKeys();
            break;
    }
}
