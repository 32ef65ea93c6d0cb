// The options screen: a scrollable immediate-mode list of sliders, toggles and action rows,
// laid out again from the top in every update, with its cursor, taps, mouse drag and exits.
#include "MyGame.h"

#include <algorithm>
#include <utility>

namespace {

// Input levels: a logical input counts as pressed above InputPressed, released below
// InputReleased.

// KeyLatch slots of this screen.
constexpr int LatchUpDown = 0;     // Up/Down step
constexpr int LatchRow = 2;        // row acted (1), list being dragged (-1), free (0)
constexpr int LatchLeftRight = 5;  // slider step, also set by every toggle activation
constexpr int LatchBack = 15;      // Back/Select
constexpr int LatchEscape = 99;    // Escape: the press that opened this screen does not close it
constexpr int LatchDragging = -1;

// Layout, in virtual units: the pen starts at ListTop; a label takes 2 x LabelHalf, a row
// RowAdvance.
constexpr int ListTop = 64;
constexpr int LabelHalf = 28, RowAdvance = 86;
constexpr int LabelIndent = 224;
constexpr float LabelSize = 0.7f;
// Rows are drawn and tappable while their y lies in -DrawAbove .. H + DrawBelow (exclusive).
constexpr int DrawAbove = 127, DrawBelow = 128;
// The selected row is kept in the band ScrollBand .. H - ScrollBand, ScrollStep units an update.
constexpr int ScrollBand = 80, ScrollStep = 16;
// The row box: inside BoxW x BoxH, border BoxBorder wider; the selected one lifted and grown.
constexpr int BoxW = 400, BoxH = 32, BoxBorder = 4, ShadowOffset = 1;
constexpr int SelectedLift = 8, SelectedGrow = 6;
constexpr float SelectedValue = 0.35f, PlainValue = 0.15f, ShadowAlpha = 0.5f;
constexpr int IconX = 182, CaptionX = 196, CaptionY = 28;
constexpr float CaptionSize = 0.75f;
// Slider ticks spread over SliderSpan units, the first one step right of -SliderSpan / 2.
constexpr float SliderSpan = 320;
constexpr int CornerSquare = 8;
constexpr float CursorPitch = 1.5f, SliderPitch = 1.0f;

constexpr int VolumeMax = 10, OverscanMax = 10;

// Icons: frames of ImgOptions.
constexpr int IconBack = 0, IconSfx = 1, IconMusic = 2, IconScreen = 3, IconDebug = 6;
constexpr int IconController = 7, IconInvert = 8, IconName = 10, IconMotion = 11;

constexpr int NoOption = -1;    // AddToggleOption: an action row
constexpr int Activated = 1, NotActivated = -1;

}  // namespace

void MyGame::Options() {
    AddPlatBG();
    ResetDraw();
    OptionY = ListTop;
    OptionRowCount = 0;

    OptionsList();

    ResetDraw();
    if (Joy(InputUp) < InputReleased && Joy(InputDown) < InputReleased) KeyLatch[LatchUpDown] = 0;
    if (Joy(InputLeft) < InputReleased && Joy(InputRight) < InputReleased) KeyLatch[LatchLeftRight] = 0;

    // The rows ran first, so a confirm and a move in one update act on the row selected before.
    if (Joy(InputUp) > InputPressed && KeyLatch[LatchUpDown] == 0) {
        KeyLatch[LatchUpDown] = 1;
        OptionCursor -= 1;
        PlaySFX(SfxMove, CursorPitch);
    }
    if (Joy(InputDown) > InputPressed && KeyLatch[LatchUpDown] == 0) {
        KeyLatch[LatchUpDown] = 1;
        OptionCursor += 1;
        PlaySFX(SfxMove, CursorPitch);
    }
    OptionCursor = std::clamp(OptionCursor, 0, std::max(OptionRowCount - 1, 0));

    // Back/Select leaves and is the one exit that sends the scores.
    if (Joy(InputBack) < InputReleased) KeyLatch[LatchBack] = 0;
    if (Joy(InputBack) > InputPressed && KeyLatch[LatchBack] == 0) {
        MenuScreen = ScreenNone;
        LockKeys();
        Save();
        PlaySFX(SfxConfirm);
        SendScores(0);
    }

    for (int i = 0; i < PointerCount; i++)
        if (!TouchDown(i)) TouchLatch[1 + i] = 0;

    // A press that no row took drags the list by the mouse's vertical movement.
    if (MouseAny > 0 && KeyLatch[LatchRow] <= 0) {
        if (KeyLatch[LatchRow] == 0) DragLastY = static_cast<int>(MouseY());
        KeyLatch[LatchRow] = LatchDragging;
        OptionScroll = static_cast<int>(MouseY() - DragLastY + OptionScroll);
        DragLastY = static_cast<int>(MouseY());
    }
}

void MyGame::OptionsList() {
    // Escape leaves once it has been released since the screen opened, so the press that
    // left the name or controller screen (or opened this one) does not leave this one too.
    if (PlayKey(PlayEscape) == 0) KeyLatch[LatchEscape] = 0;
    if (PlayKey(PlayEscape) && KeyLatch[LatchEscape] == 0) {
        KeyLatch[LatchEscape] = 1;
        MenuScreen = ScreenNone;
        LockKeys();
        Save();
    }

    if (AddToggleOption(NoOption, IconBack, "Back", "Return", "Return") == Activated) {
        MenuScreen = ScreenNone;
        LockKeys();
        Save();
    }

    AddOptionLabel("Sound");
    AddLinearOption(OptSFXVol, IconSfx, "SFX Volume", VolumeMax);
    AddLinearOption(OptMusicVol, IconMusic, "Music Volume", VolumeMax);

    AddOptionLabel("Player");
    const std::string name = ShowName();
    if (AddToggleOption(NoOption, IconName, "Online Name", name, name) == Activated) {
        MenuScreen = ScreenName;
        LockKeys();
        Save();
        OptionCursor = 0;   // the name entry's character cursor starts on the first box
    }

    AddOptionLabel("Screen");
    if (AddToggleOption(NoOption, IconScreen, "Fullscreen [F11]", "Switch", "Switch") == Activated) {
        FlipFullscreen();
        LockKeys();
        Save();
    }
    AddToggleOption(OptLessMotion, IconMotion, "Motion Reduction", "Normal", "Less Motion");
    AddLinearOption(OptOverscan, IconScreen, "Overscan", OverscanMax);

    AddOptionLabel("Input");
    if (AddToggleOption(NoOption, IconController, "Controller", "Define", "Define") == Activated) {
        MenuScreen = ScreenKeys;
        RedefineRow = -1;
        RedefineColumn = 0;
        LockKeys();
        Save();
    }
    AddToggleOption(OptInvertY, IconInvert, "Invert Thumbstick Y", "Normal", "Inverted");

    AddOptionLabel("System");
    if (AddToggleOption(OptDebugStats, IconDebug, "Debug Stats [F1]", "Off", "On") == Activated)
        DebugMode = Option[OptDebugStats];

    ResetDraw();
    const float w = ScreenWidth, h = ScreenHeight;
    Rect(0, 0, CornerSquare, CornerSquare);
    Rect(0, h, CornerSquare, CornerSquare);
    Rect(w, 0, CornerSquare, CornerSquare);
    Rect(w, h, CornerSquare, CornerSquare);
}

void MyGame::AddOptionLabel(std::string caption) {
    const int x = static_cast<int>(ScreenWidth / 2) - LabelIndent;
    const int y = OptionY + OptionScroll;
    OptionY += LabelHalf;
    if (y >= -DrawAbove && y < ScreenHeight + DrawBelow) {
        // Drawn in the white the rows leave behind.
        SetSize(LabelSize);
        Text(x, y, caption, AlignLeft);
        SetSize(1);
    }
    OptionY += LabelHalf;
}

MyGame::OptionRowBox MyGame::BeginOptionRow(int icon, const std::string& caption) {
    OptionRowBox row;
    row.cx = static_cast<int>(ScreenWidth / 2);
    row.y = OptionY + OptionScroll;
    const bool selected = OptionRowSelected();

    // Bring the selected row back into the band; this moves the rows after it at once.
    if (selected) {
        if (row.y < ScrollBand) OptionScroll += ScrollStep;
        if (row.y > ScreenHeight - ScrollBand) OptionScroll -= ScrollStep;
    }

    row.drawn = row.y >= -DrawAbove && row.y < ScreenHeight + DrawBelow;
    row.tapped = false;
    if (!row.drawn) return row;

    SetCol(0, 0, 0);
    Alpha(ShadowAlpha);
    Rect(row.cx + ShadowOffset, row.y + ShadowOffset, BoxW + BoxBorder, BoxH + BoxBorder);
    Alpha(1);

    int grow = 0;
    float value = PlainValue;
    if (selected) {
        row.cx -= SelectedLift;
        row.y -= SelectedLift;
        grow = SelectedGrow;
        value = SelectedValue;
    }
    row.tapped = MouseIn_Centered(row.cx, row.y, BoxW, BoxH) && TouchDown();

    InkRot(OptionY);
    Rect(row.cx, row.y, BoxW + BoxBorder + grow, BoxH + BoxBorder + grow);
    InkRot(OptionY, 1, value);
    Rect(row.cx, row.y, BoxW, BoxH);

    SetCol(255, 255, 255, 1);
    DrawImg(ImgOptions, row.cx - IconX, row.y, icon);
    SetSize(CaptionSize);
    Text(row.cx - CaptionX, row.y - CaptionY, caption, AlignLeft);
    SetSize(1);
    return row;
}

bool MyGame::OptionConfirmHeld() {
    return Joy(InputButton1) > InputPressed || PlayKeyAll(PlayEnter) != 0 || Joy(InputButton2) > InputPressed;
}

// A tap on an unselected row only selects it; the row latch keeps the same press from acting.
void MyGame::SelectOptionRowByTap(const OptionRowBox& row) {
    if (!OptionRowSelected() && row.tapped && KeyLatch[LatchRow] == 0) {
        KeyLatch[LatchRow] = 1;
        OptionCursor = OptionRowCount;
        PlaySFX(SfxMove, CursorPitch);
    }
}

void MyGame::ReleaseOptionRowLatch() {
    if (!(Joy(InputButton1) > InputPressed) && PlayKeyAll(PlayEnter) == 0 && Joy(InputButton2) < InputReleased &&
        MouseDown() == 0)
        KeyLatch[LatchRow] = 0;
}

void MyGame::EndOptionRow() {
    OptionY += RowAdvance;
    OptionRowCount += 1;
}

int MyGame::AddLinearOption(int option, int icon, std::string caption, int max) {
    const OptionRowBox row = BeginOptionRow(icon, caption);
    int& value = Option[option];

    if (row.drawn) {
        const float step = SliderSpan / (max + 1);
        for (int i = 0; i <= max; i++) {
            const float tickX = row.cx - SliderSpan / 2 + step * (i + 1);
            Text(tickX, row.y, ".", AlignCentre);
            if (row.tapped && OptionRowSelected() && KeyLatch[LatchRow] == 0 &&
                MouseIn_Centered(tickX, row.y, step, BoxH)) {
                if (value != i) PlaySFX(SfxMove, SliderPitch);
                value = i;
            }
            if (value == i) Text(tickX, row.y, "|", AlignCentre);
        }
    }

    // Confirm flips between off and full.
    if (OptionConfirmHeld() && KeyLatch[LatchRow] == 0 && OptionRowSelected()) {
        value = value > 0 ? 0 : max;
        KeyLatch[LatchRow] = 1;
        PlaySFX(SfxMove, SliderPitch);
    }
    // Left is read first; a step sets the latch, so Right held with it waits for a release.
    for (const auto& [input, by] : {std::pair{InputLeft, -1}, std::pair{InputRight, +1}}) {
        const int next = value + by;
        if (Joy(input) > InputPressed && OptionRowSelected() && KeyLatch[LatchLeftRight] == 0 && next >= 0 &&
            next <= max) {
            value = next;
            KeyLatch[LatchLeftRight] = 1;
            PlaySFX(SfxMove, SliderPitch);
        }
    }

    SelectOptionRowByTap(row);
    ReleaseOptionRowLatch();
    EndOptionRow();
    return NotActivated;
}

int MyGame::AddToggleOption(int option, int icon, std::string caption, std::string text0, std::string text1) {
    const OptionRowBox row = BeginOptionRow(icon, caption);
    const bool action = option == NoOption;

    if (row.drawn) {
        const int value = action ? 0 : Option[option];
        if (value == 0) Text(row.cx, row.y, text0, AlignCentre);
        if (value == 1) Text(row.cx, row.y, text1, AlignCentre);
    }

    SelectOptionRowByTap(row);
    ReleaseOptionRowLatch();

    int result = NotActivated;
    if (OptionRowSelected() && (OptionConfirmHeld() || row.tapped) && KeyLatch[LatchRow] == 0) {
        KeyLatch[LatchRow] = 1;
        KeyLatch[LatchLeftRight] = 1;
        if (!action) Option[option] = 1 - Option[option];
        PlaySFX(SfxConfirm);
        result = Activated;
    }
    EndOptionRow();
    return result;
}
