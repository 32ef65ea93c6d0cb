// The title screen between runs: the background with the logo, the credit line, the row of
// four round buttons (Credits, Quit, Start, Options) and the difficulty list beside the
// scoreboard panel. Keys, pads and pointers all drive it; every action is latched.
#include "MyGame.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// Credit line in the bottom-right corner.
constexpr const char* CreditLine = "Game Title : Wickfish";
constexpr float CreditSize = 0.8f, CreditInsetX = 8, CreditInsetY = 16;


// Logical inputs read as pressed above InputPressed and as released below InputReleased.
// The difficulty list's repeat counts every direction as released below this level.
constexpr float RepeatReleaseLevel = 0.25f;

// Background: the clear colour eases to dark blue; two ripple layers turn against each other.
constexpr float BackRed = 0, BackGreen = 0, BackBlue = 80, BackFade = 8;
constexpr float RippleAlpha = 0.2f, RippleSize = 2.25f;
constexpr float RippleTurnA = 200, RippleTurnB = 228;   // ms per degree of each layer
// Logo: a 1024 x 512 picture fitted into the screen, its top edge kept 16 units down.
constexpr float LogoWidth = 1024, LogoHeight = 512, LogoMarginX = 32, LogoMarginY = 196;
constexpr float LogoTop = 16;
constexpr float LogoZoomMin = 1, LogoZoomMax = 2;
constexpr float LogoZoomStep = 0.1f, LogoZoomStill = 5;   // per update; extra with less motion

// The button row: all buttons centred ButtonRowRise above the bottom edge.
constexpr float ButtonRowRise = 96;
constexpr float ButtonEdgeX = 52;                   // Credits and Options from the side edges
constexpr float QuitOffsetX = 160, QuitMinX = 128;  // Quit left of Start, never nearer the edge
constexpr float PointerReach = 16;                  // pointers react this far outside a button
constexpr float IconCell = 32;                      // icon draw size = radius / IconCell
constexpr float LabelExtraSize = 0.25f;
constexpr int IconQuit = 1, IconGearA = 3, IconGearB = 4, IconCredits = 5;
constexpr float QuitSize = 1, QuitSizeSelected = 1.5f;
constexpr float StartArrowScale = 0.85f, StartArrowShift = 0.25f, StartArrowTurn = 90;
constexpr int FullTurn = 360;

struct TitleButton {
    int cursor, left, right;
    float radius, radiusSelected, label, labelSelected;
    const char* caption;   // nullptr: no label
};
// In the order they are handled; Left/Right give the row's neighbours and wrap at both ends.
constexpr TitleButton TitleButtons[] = {
    {MyGame::CursorStart, MyGame::CursorQuit, MyGame::CursorOptions, 64, 80, 0.5f, 0.75f, "Start"},
    {MyGame::CursorQuit, MyGame::CursorCredits, MyGame::CursorStart, 32, 48, 0, 0, nullptr},
    {MyGame::CursorOptions, MyGame::CursorStart, MyGame::CursorCredits, 32, 48, 0.5f, 0.75f, "Options"},
    {MyGame::CursorCredits, MyGame::CursorOptions, MyGame::CursorQuit, 32, 48, 0.5f, 0.75f, "Credits"},
};

// The difficulty list.
constexpr const char* DifficultyChoices = "Easy|Normal|Hard";
constexpr char ChoiceSeparator = '|';
constexpr int ListSpacing = 46, PortraitSpacing = 58;
constexpr float ListRise = 128, PortraitRise = 180, PortraitTargetLift = 64;
constexpr float ListSize = 1.0f, PortraitSize = 1.2f, CurrentSizeScale = 1.3f;
constexpr float ScrollEase = 4;
constexpr float ChoiceTextX = 100, CurrentIndentX = 32;
constexpr float RowBoxX = 228, RowBoxW = 256, RowBoxH = 32;
constexpr float RowArrowX = 116, RowArrowW = 32, RowArrowH = 16, RowArrowTurn = 90;
constexpr float FadeStart = 1.2f, ShownRange = 2.4f;   // in row spacings from the centre line
constexpr float RowAlpha = 0.3f, CurrentRowAlpha = 0.7f;
// Saturation and value of each row's hue: its box, its arrow and its text.
constexpr float BoxSat = 0.5f, BoxValue = 0.5f, ArrowSat = 0.5f, ArrowValue = 1;
constexpr float TextSat = 0.8f, TextValue = 1.5f;
constexpr float ChoiceHues[] = {220, 120, 0};
constexpr int LaterHueBase = 4, LaterHueStep = 50;   // hue of choice i >= 3: (i + 4) * 50
// Held directions step at once, then after 24, 18, 12 and 6 updates, then every 3.
constexpr int RepeatFirst = 24, RepeatShrink = 6, RepeatFloor = 2, RepeatFastest = 3;
constexpr float PitchUp = 1.2f, PitchDown = 0.8f, PitchMove = 1.0f;
// The back arrow in the top-left corner.
constexpr float BackArrowX = 32, BackArrowY = 32, BackArrowSide = 64, BackArrowSize = 2;
constexpr int BackArrowFrame = 0;
constexpr float BackArrowAlpha = 0.75f;

// KeyLatch slots of the title screen.
constexpr int LatchMove = 5;      // row: Left/Right step; list: repeat countdown
constexpr int LatchRepeat = 6;    // list: current repeat interval
constexpr int LatchConfirm = 10;
constexpr int LatchBack = 11;
constexpr int LatchEscape = 99;
// TouchLatch slot of the list's click.
constexpr int LatchClick = 0;

bool Pressed(float v) { return v > InputPressed; }
bool Released(float v) { return v < InputReleased; }

float ChoiceHue(int i) {
    if (i < static_cast<int>(std::size(ChoiceHues))) return ChoiceHues[i];
    return static_cast<float>((i + LaterHueBase) * LaterHueStep);
}

}  // namespace

void MyGame::DoMenu() {
    Menu_Background();

    ResetDraw();
    SetSize(CreditSize);
    Text(ScreenWidth - CreditInsetX, ScreenHeight - CreditInsetY, CreditLine, AlignRight);
    ResetDraw();

    const bool still = Option[OptLessMotion] == 1;
    if (MenuStage == 0) {
        LogoZoom -= LogoZoomStep;
        if (still) LogoZoom -= LogoZoomStill;
        Menu_Start();
        // The panel starts from its first page, slid out, whenever the list opens.
        ScorePage = 0;
        ScoreTimer = 0;
        ScoreSlide = 0;
    }
    // Read again: Start switches to the list, which already runs in the same update.
    if (MenuStage == 1) {
        LogoZoom += LogoZoomStep;
        if (still) LogoZoom += LogoZoomStill;
        Menu_Default(DifficultyChoices);
        DisplayScoreboard();
    }
}

void MyGame::Menu_Background() {
    const float w = ScreenWidth, h = ScreenHeight;
    FadeCLS(BackRed, BackGreen, BackBlue, BackFade);

    ResetDraw();
    Alpha(RippleAlpha);
    SetSize(RippleSize);
    SetRot(-(Mills() / RippleTurnA));
    DrawImg(ImgRippleB, w / 2, h / 2, 0);
    SetSize(RippleSize);
    SetRot(Mills() / RippleTurnB);
    DrawImg(ImgRippleB, w / 2, h / 2, 0);

    ResetDraw();
    LogoZoom = std::clamp(LogoZoom, LogoZoomMin, LogoZoomMax);
    float s = (w - LogoMarginX) / LogoWidth;
    if (s * LogoHeight > h - LogoMarginY) s = (h - LogoMarginY) / LogoHeight;
    s /= LogoZoom;
    SetSize(s);
    SetRot(0);
    DrawImg(ImgLogo, w / 2, LogoHeight / 2 * s + LogoTop, 0);
    ResetDraw();
}

void MyGame::Menu_Start() {
    const float w = ScreenWidth, h = ScreenHeight;
    const float y = h - ButtonRowRise;

    if (PlayKey(PlayEscape) == 0) KeyLatch[LatchEscape] = 0;
    else if (KeyLatch[LatchEscape] == 0) GameBreak = 1;

    const bool swap = Option[OptSwapButtons] == 1;
    const bool button1 = Pressed(Joy(InputButton1)) || Pressed(Joy(InputStart));
    const bool button2 = Pressed(Joy(InputButton2));
    const bool confirm = swap ? button2 : button1;
    const bool back = swap ? button1 : button2;   // only releases its latch: the row has no back

    for (const TitleButton& b : TitleButtons) {
        ResetDraw();
        const bool selected = MenuCursor == b.cursor;
        const float r = selected ? b.radiusSelected : b.radius;
        const float t = selected ? b.labelSelected : b.label;
        float x = 0;
        switch (b.cursor) {
            case CursorStart:
                x = w / 2;
                SetGradient(100, 255, 100, t, 0, 150, 0, t);
                Circle(x, y, r);
                SetRot(StartArrowTurn);
                SetGradient(120, 255, 120, t, 80, 180, 80, t);
                Tri_Fix(x, y, StartArrowScale * r, StartArrowScale * r, StartArrowShift);
                break;
            case CursorQuit:
                x = std::max(w / 2 - QuitOffsetX, QuitMinX);
                SetSize(selected ? QuitSizeSelected : QuitSize);
                DrawImg(ImgIcons, x, y, IconQuit);
                break;
            case CursorOptions:
                x = w - ButtonEdgeX;
                if (selected) GearAngle = (GearAngle + 1) % FullTurn;
                SetSize(r / IconCell);
                SetCol(255, 255, 255, 1);
                SetRot(-GearAngle);
                DrawImg(ImgIcons, x, y, IconGearA);
                SetRot(GearAngle);
                DrawImg(ImgIcons, x, y, IconGearB);
                break;
            case CursorCredits:
                x = ButtonEdgeX;
                SetSize(r / IconCell);
                DrawImg(ImgIcons, x, y, IconCredits);
                break;
        }
        if (b.caption) {
            ResetDraw();
            SetSize(t + LabelExtraSize);
            Text(x, y + r, b.caption, AlignCentre);
        }

        const int p = MouseIn_Radius(x, y, r + PointerReach);
        if (selected) {
            // Left is read first; its step locks the keys, so Right held with it waits.
            for (const auto& [input, next] : {std::pair{InputLeft, b.left}, std::pair{InputRight, b.right}}) {
                if (Pressed(Joy(input)) && KeyLatch[LatchMove] == 0) {
                    LockKeys();
                    MenuCursor = next;
                    PlaySFX(SfxMove, PitchMove);
                }
            }
            if (confirm && KeyLatch[LatchConfirm] == 0) ActivateTitleButton(b.cursor);
        }
        // A tap on the selected button activates it; a tap elsewhere only selects.
        if (p >= 1 && TouchDown(p - 1) != 0) {
            if (MenuCursor == b.cursor && TouchLatch[p] == 0) ActivateTitleButton(b.cursor);
            if (MenuCursor != b.cursor && TouchLatch[p] == 0) {
                MenuCursor = b.cursor;
                LockKeys();
                PlaySFX(SfxMove, PitchMove);
            }
        }
    }

    if (!confirm) KeyLatch[LatchConfirm] = 0;
    // The list that Start opens in this very update goes back on InputButton2 or InputStart;
    // its latch stays set while either is held, or a pad's Start (or the swapped confirm)
    // would open the list and close it again in the same update.
    if (!back && !Pressed(Joy(InputButton2)) && !Pressed(Joy(InputStart))) KeyLatch[LatchBack] = 0;
    if (Released(Joy(InputLeft)) && Released(Joy(InputRight))) KeyLatch[LatchMove] = 0;
    for (int i = 0; i < PointerCount; i++)
        if (TouchDown(i) == 0) TouchLatch[i + 1] = 0;
}

void MyGame::ActivateTitleButton(int cursor) {
    switch (cursor) {
        case CursorStart:
            MenuStage = 1;
            LockKeys();
            PlaySFX(SfxConfirm, PitchMove);
            break;
        case CursorQuit:
            GameBreak = 1;
            break;
        case CursorOptions:
            MenuScreen = ScreenOptions;
            OptionCursor = 0;
            OptionScroll = 0;
            LockKeys();
            Option[OptDebugStats] = DebugMode;
            PlaySFX(SfxConfirm);
            break;
        case CursorCredits:
            MenuScreen = ScreenCredits;
            LockKeys();
            PlaySFX(SfxConfirm);
            break;
    }
}

void MyGame::Menu_Default(std::string choices) {
    const float w = ScreenWidth, h = ScreenHeight;
    const int n = SplitCount(choices, ChoiceSeparator);
    const int k = Option[OptBoard];

    float centre = h - ListRise;
    int spacing = ListSpacing;
    float size = ListSize;
    float target = (h - ListRise) - (k - 1) * ListSpacing;
    if (h > w) {   // portrait
        centre = h - PortraitRise;
        spacing = PortraitSpacing;
        size = PortraitSize;
        target -= PortraitTargetLift;
    }

    if (MouseAny == 0) TouchLatch[LatchClick] = 0;
    ChoiceScroll -= (ChoiceScroll - target) / ScrollEase;

    ResetDraw();
    bool confirm = false;
    for (int i = 0; i < n; i++) {
        SetSize(size);
        float textX = ChoiceTextX;
        const float y = ChoiceScroll + i * spacing;
        const float hue = ChoiceHue(i);
        const float d = Abs(centre - y);
        const float fadeFrom = FadeStart * spacing;
        const float fade = d > fadeFrom ? 1 - (d - fadeFrom) / fadeFrom : 1;
        if (d >= ShownRange * spacing) continue;

        InkRot(hue, BoxSat, BoxValue);
        Alpha(i + 1 == Option[OptBoard] ? CurrentRowAlpha : RowAlpha * fade);
        Rect(RowBoxX, y, RowBoxW, RowBoxH);

        if (MouseIn_Centered(RowBoxX, y, RowBoxW, RowBoxH) != 0 && MouseAny > 0 &&
            TouchLatch[LatchClick] == 0) {
            TouchLatch[LatchClick] = 1;
            if (i + 1 != Option[OptBoard]) {
                // A tap on another choice makes it current; a tap on the current one starts.
                PlaySFX(SfxConfirm);
                Option[OptBoard] = i + 1;
                ScorePage = 0;
                ScoreTimer = 0;
            } else {
                confirm = true;
            }
        }

        SetRot(RowArrowTurn);
        InkRot(hue, ArrowSat, ArrowValue);
        Alpha(RowAlpha * fade);
        Tri(RowArrowX, y, RowArrowW, RowArrowH);

        if (i + 1 == Option[OptBoard]) {
            textX += CurrentIndentX;
            SetSize(CurrentSizeScale * size);
        }
        SetRot(0);
        InkRot(hue, TextSat, TextValue);
        Alpha(fade);
        Text(textX, y, Trim(Split(choices, ChoiceSeparator, i + 1)), AlignLeft);
    }

    // Confirm by key. Escape is bound to InputStart by default: it goes back below instead.
    const bool confirmKeys = Pressed(Joy(InputButton1)) || Pressed(Joy(InputStart));
    if (Released(Joy(InputButton1)) && Released(Joy(InputStart))) KeyLatch[LatchConfirm] = 0;
    if (confirmKeys && PlayKey(PlayEscape) == 0 && KeyLatch[LatchConfirm] == 0) {
        LockKeys();
        confirm = true;
    }

    // Held directions repeat, faster the longer they are held.
    int& countdown = KeyLatch[LatchMove];
    int& interval = KeyLatch[LatchRepeat];
    countdown -= 1;
    if (interval <= RepeatFloor) interval = RepeatFastest;
    if (countdown < 0) countdown = 0;
    if (Joy(InputUp) < RepeatReleaseLevel && Joy(InputRight) < RepeatReleaseLevel &&
        Joy(InputDown) < RepeatReleaseLevel && Joy(InputLeft) < RepeatReleaseLevel) {
        countdown = 0;
        interval = RepeatFirst;
    }
    struct Step { bool held; int by; float pitch; };
    const Step steps[] = {
        {Pressed(Joy(InputUp)) || Pressed(Joy(InputLeft)), -1, PitchUp},
        {Pressed(Joy(InputDown)) || Pressed(Joy(InputRight)), +1, PitchDown},
    };
    for (const Step& s : steps) {
        if (!s.held || countdown != 0) continue;
        countdown = interval;
        interval -= RepeatShrink;
        Option[OptBoard] += s.by;
        PlaySFX(SfxMove, s.pitch);
        ScorePage = 0;
        ScoreTimer = 0;
    }
    if (Option[OptBoard] < 1) Option[OptBoard] = n;
    if (Option[OptBoard] > n) Option[OptBoard] = 1;

    if (confirm) {
        PlaySFX(SfxConfirm);
        GameState = StateStartRun;
        GameMode = Option[OptBoard];
        PointerMode = 1;
        if (confirmKeys) {   // started by a key or pad: park the mouse cursor out of the way
            PointerMode = 0;
            BumpCursor();
        }
    }

    ResetDraw();
    SetSize(BackArrowSize);
    SetCol(255, 200, 200, BackArrowAlpha);
    DrawImg(ImgOptions, BackArrowX, BackArrowY, BackArrowFrame);
    if (MouseIn_Centered(BackArrowX, BackArrowY, BackArrowSide, BackArrowSide) != 0 && MouseAny > 0 &&
        TouchLatch[LatchClick] == 0) {
        MenuStage = 0;
        LockKeys();
        PlaySFX(SfxConfirm);
    }
    const float backKeys = std::max(Joy(InputButton2), Joy(InputStart));
    if (Released(backKeys)) KeyLatch[LatchBack] = 0;
    if (Pressed(backKeys) && KeyLatch[LatchBack] == 0) {
        MenuStage = 0;
        LockKeys();
        PlaySFX(SfxConfirm);
    }
}
