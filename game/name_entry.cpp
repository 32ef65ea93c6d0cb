// The online name: twelve 6-bit symbol codes packed two to an option in OptOnlineName, its
// text for the scoreboard and the score exchange, and the name entry screen that edits it.
#include "MyGame.h"

namespace {

constexpr int CodeBits = 6, CodeMask = (1 << CodeBits) - 1, SymbolCount = 1 << CodeBits;
constexpr int OddShift = 8;   // odd characters sit in bits 8..13, even ones in bits 0..5
constexpr const char* EnterYourNameText = "Enter Your Name";   // heading, and the text of no name

// Input levels of this screen.
constexpr float WheelAbove = 0.3f, StepAbove = 0.4f;

// KeyLatch slots of this screen.
constexpr int LatchWheelWait = 0;      // updates until the held wheel steps again
constexpr int LatchLeftRight = 1;
constexpr int LatchWheelInterval = 2;  // the next wait; shrinks while the wheel is held
constexpr int LatchButtons = 11;       // Button 1, Button 2 and the exits

// Wheel repeat: first wait FirstWait, each next one WaitShrink shorter, never below MinWait.
constexpr int FirstWait = 30, WaitShrink = 8, MinWait = 2;

// Layout: boxes BoxSpacing apart, the first FirstBoxX left of the middle; the wheel shows
// WheelReach symbols above and below the box, WheelSpacing apart.
constexpr float FirstBoxX = 220, BoxSpacing = 40, BoxW = 36, BoxH = 64;
constexpr int WheelReach = 4;
constexpr float WheelSpacing = 64, WheelAlpha = 0.7f, BoxAlpha = 0.5f;
constexpr float TitleY = 32, TitleSize = 1.5f;

constexpr float UpPitch = 0.5f, DownPitch = 0.6f, RightPitch = 1.2f, LeftPitch = 0.8f;
constexpr float CopyPitch = 1.5f, BlankPitch = 0.5f;

// Up and Down turn the wheel of the selected box one symbol back or on.
struct WheelStep {
    int input, by;
    float pitch;
};
constexpr WheelStep WheelSteps[] = {{InputUp, -1, UpPitch}, {InputDown, +1, DownPitch}};

}  // namespace

int MyGame::NameCode(int i) {
    if (i < 0 || i >= NameLength) return 0;
    const int packed = Option[OptOnlineName + i / 2];
    return (i % 2 ? packed >> OddShift : packed) & CodeMask;
}

void MyGame::SetNameCode(int i, int code) {
    // A character outside the name has no option to write; the neighbours stay as they are.
    if (i < 0 || i >= NameLength) return;
    const int first = i - i % 2;
    int even = NameCode(first), odd = NameCode(first + 1);
    (i % 2 ? odd : even) = code & CodeMask;
    Option[OptOnlineName + i / 2] = (odd << OddShift) + even;
}

bool MyGame::HasOnlineName() {
    for (int i = 0; i < NameLength; i++)
        if (NameCode(i) != 0) return true;
    return false;
}

std::string MyGame::ShowName() {
    if (!HasOnlineName()) return EnterYourNameText;
    std::string name;
    for (int i = 0; i < NameLength; i++) name += Char64b(NameCode(i));
    return name;
}

void MyGame::EnterYourName() {
    const float w = ScreenWidth, h = ScreenHeight;

    AddPlatBG();
    ResetDraw();
    SetGradient(255, 255, 64, 1, 255, 128, 64, 1);
    SetSize(TitleSize);
    Text(w / 2, TitleY, EnterYourNameText, AlignCentre);
    ResetDraw();

    for (int i = 0; i < NameLength; i++) {
        const float x = w / 2 - FirstBoxX + BoxSpacing * i, y = h / 2;
        const bool selected = i == OptionCursor;
        int c = NameCode(i);

        if (selected)
            SetCol(0, 128, 0);
        else
            SetCol(0, 0, 0);
        Alpha(BoxAlpha);
        Rect(x, y, BoxW, BoxH);
        SetCol(255, 255, 255, 1);
        Text(x, y, fstr("%c", Char64b(c)), AlignCentre);
        Alpha(WheelAlpha);
        if (!selected) continue;

        for (int j = -WheelReach; j <= WheelReach; j++)
            Text(x, y + WheelSpacing * j, fstr("%c", Char64b(c + j)), AlignCentre);
        // Up is read first; its step starts the wait, so Down held with it does not step too.
        for (const WheelStep& s : WheelSteps) {
            if (Joy(s.input) > WheelAbove && KeyLatch[LatchWheelWait] <= 0) {
                c = (c + SymbolCount + s.by) % SymbolCount;
                KeyLatch[LatchWheelWait] = KeyLatch[LatchWheelInterval];
                KeyLatch[LatchWheelInterval] -= WaitShrink;
                PlaySFX(SfxMove, s.pitch);
            }
        }
        SetNameCode(i, c);
    }

    if (KeyLatch[LatchWheelWait] > 0) KeyLatch[LatchWheelWait] -= 1;
    if (KeyLatch[LatchWheelInterval] <= 1) KeyLatch[LatchWheelInterval] = MinWait;
    if (Joy(InputUp) < InputReleased && Joy(InputDown) < InputReleased) {
        KeyLatch[LatchWheelWait] = 0;
        KeyLatch[LatchWheelInterval] = FirstWait;
    }

    if (Joy(InputRight) < InputReleased && Joy(InputLeft) < InputReleased) KeyLatch[LatchLeftRight] = 0;
    if (Joy(InputRight) > StepAbove && KeyLatch[LatchLeftRight] == 0) {
        KeyLatch[LatchLeftRight] = 1;
        OptionCursor = (OptionCursor + 1) % NameLength;
        PlaySFX(SfxConfirm, RightPitch);
    }
    if (Joy(InputLeft) > StepAbove && KeyLatch[LatchLeftRight] == 0) {
        KeyLatch[LatchLeftRight] = 1;
        OptionCursor = (OptionCursor + NameLength - 1) % NameLength;
        PlaySFX(SfxConfirm, LeftPitch);
    }

    if (Joy(InputButton1) < InputReleased && Joy(InputButton2) < InputReleased &&
        PlayKey(PlayEscape) < InputReleased && PlayKey(PlayEnter) < InputReleased)
        KeyLatch[LatchButtons] = 0;
    // Button 1 copies the symbol into the next box; Return is left to the exit below.
    if (Joy(InputButton1) > StepAbove && PlayKey(PlayEnter) < InputPressed && KeyLatch[LatchButtons] == 0 &&
        OptionCursor <= NameLength - 2) {
        const int c = NameCode(OptionCursor);
        KeyLatch[LatchButtons] = 1;
        OptionCursor += 1;
        SetNameCode(OptionCursor, c);
        PlaySFX(SfxConfirm, CopyPitch);
    }
    if (Joy(InputButton2) > StepAbove && KeyLatch[LatchButtons] == 0) {
        SetNameCode(OptionCursor, 0);
        if (OptionCursor > 0) OptionCursor -= 1;
        KeyLatch[LatchButtons] = 1;
        PlaySFX(SfxConfirm, BlankPitch);
    }
    // The name is already in the options; the options screen saves it when it is left.
    if ((Joy(InputButton3) > StepAbove || Joy(InputButton4) > StepAbove || PlayKey(PlayEscape) > InputPressed ||
         PlayKey(PlayEnter) != 0) &&
        KeyLatch[LatchButtons] == 0) {
        OptionCursor = 0;
        MenuScreen = ScreenOptions;
        LockKeys();
    }
}
