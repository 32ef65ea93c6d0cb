// The controller redefinition screen: a gamepad picture drawn from shapes with a grid cursor
// over the logical inputs, capture of the next new press as an input's newest binding, the
// binding list, live stick boxes, a six-second controller test and "Save" back to Options.
#include "MyGame.h"

#include <cstdio>

namespace {

// Grid rows: the two buttons above the rows of the pad picture.
constexpr int RowSave = -2, RowTest = -1, RowLast = 4;
// What a grid cell selects besides a logical input.
constexpr int SelectTest = -1, SelectSave = -2;
constexpr int NoInput = -3;   // a picture element that shows no input

// Logical input of each cell of the pad rows 0..4; NoInput beyond a row's last column.
constexpr int PadRows = 5, PadColumns = 4;
constexpr int GridInputs[PadRows][PadColumns] = {
    {InputLeftShoulder, InputRightShoulder, NoInput, NoInput},
    {InputUp, InputButton4, NoInput, NoInput},
    {InputLeft, InputRight, InputButton3, InputButton2},
    {InputDown, InputButton1, NoInput, NoInput},
    {InputBack, InputStart, NoInput, NoInput},
};

int LastColumn(int row) {
    if (row < 0) return 0;
    int last = 0;
    while (last + 1 < PadColumns && GridInputs[row][last + 1] != NoInput) last++;
    return last;
}

// Latches: navigation, and the capture state.
constexpr int LatchNavigate = 0, LatchCapture = 66;
constexpr int CaptureIdle = 0, CaptureWaitRelease = 1, CaptureRunning = 2;
constexpr int CaptureIgnoredSteps = 2;   // capture steps whose result is ignored
constexpr int TimerStart = 359;          // frames of a capture or a test (about six seconds)


// Layout: the pad picture's centre is (W/2, H - PadFromBottom).
constexpr float PadFromBottom = 112;
constexpr float ListAbovePad = 128, ListX = 8, ListStep = 24, ListSize = 0.8f;
constexpr float CaptureTextSize = 2, CaptureTextOffset = 48;
constexpr float ButtonW = 200, ButtonH = 32, TestAbovePad = 160, SaveAbovePad = 200;
constexpr float CountdownSize = 2, CountdownRadius = 48, CountdownDot = 6;
constexpr int FramesPerSecond = 60;
constexpr float DegreesPerFrame = 360.0f / FramesPerSecond;
constexpr float StickBoxX = 160, StickBoxAbovePad = 160, StickBoxHalf = 32, StickDot = 6;
constexpr float StickBoxAlpha = 0.15f;

struct Rgb {
    float r, g, b;
};
constexpr Rgb StickDotColour = {255, 100, 100};
constexpr Rgb CountdownDotColour = {100, 255, 100}, CountdownNumberColour = {255, 100, 100};

// The two buttons above the picture.
struct ScreenButton {
    int select;
    const char* label;
    float abovePad;
    Rgb labelTop, labelBottom;
};
constexpr Rgb ButtonTop = {0, 120, 120}, ButtonBottom = {0, 60, 120}, ButtonSelected = {0, 100, 200};
constexpr ScreenButton Buttons[] = {
    {SelectTest, "Test", TestAbovePad, {255, 255, 0}, {255, 0, 0}},
    {SelectSave, "Save", SaveAbovePad, {255, 255, 0}, {255, 128, 0}},
};

// The pad picture, drawn in this order. Sizes are radii for circles, sides for squares and
// rectangles, s for triangles; a selected shoulder also grows to its selected size.
enum class Shape { Circle, Square, Box, Triangle };
struct PadElement {
    int input;
    float dx, dy;
    Shape shape;
    float size, pressedSize, selectedSize;
    Rgb colour, selectedColour;
    float rotation;          // triangles only
    const char* label;       // face buttons: their number, drawn over the circle
    Rgb labelColour;
};
constexpr Rgb Grey = {170, 170, 170}, ShoulderGrey = {140, 140, 140}, Dark = {40, 40, 40};
constexpr Rgb ShoulderSelected = {40, 120, 200}, DarkSelected = {40, 140, 200};
constexpr float BodyW = 290, BodyH = 190;
constexpr float TriangleAspect = 0.667f, StartRotation = 90, BackRotation = -90;
constexpr PadElement PadPicture[] = {
    {InputLeftShoulder, -153, -16, Shape::Circle, 96, 100, 102, ShoulderGrey, ShoulderSelected, 0, nullptr, {}},
    {InputRightShoulder, 153, -16, Shape::Circle, 96, 100, 102, ShoulderGrey, ShoulderSelected, 0, nullptr, {}},
    {NoInput, 0, -5, Shape::Box, 0, 0, 0, Grey, Grey, 0, nullptr, {}},
    {NoInput, -150, 0, Shape::Circle, 100, 100, 100, Grey, Grey, 0, nullptr, {}},
    {NoInput, 150, 0, Shape::Circle, 100, 100, 100, Grey, Grey, 0, nullptr, {}},
    {NoInput, -150, 0, Shape::Square, 40, 40, 40, Dark, Dark, 0, nullptr, {}},
    {InputUp, -150, -40, Shape::Square, 40, 50, 0, Dark, DarkSelected, 0, nullptr, {}},
    {InputRight, -110, 0, Shape::Square, 40, 50, 0, Dark, DarkSelected, 0, nullptr, {}},
    {InputDown, -150, 40, Shape::Square, 40, 50, 0, Dark, DarkSelected, 0, nullptr, {}},
    {InputLeft, -190, 0, Shape::Square, 40, 50, 0, Dark, DarkSelected, 0, nullptr, {}},
    {InputButton1, 150, 40, Shape::Circle, 24, 32, 0, {0, 40, 0}, {0, 140, 0}, 0, "1", {0, 60, 0}},
    {InputButton2, 190, 0, Shape::Circle, 24, 32, 0, {40, 0, 0}, {140, 0, 0}, 0, "2", {60, 0, 0}},
    {InputButton3, 110, 0, Shape::Circle, 24, 32, 0, {40, 40, 0}, {140, 140, 0}, 0, "3", {60, 60, 0}},
    {InputButton4, 150, -40, Shape::Circle, 24, 32, 0, {0, 40, 40}, {0, 140, 140}, 0, "4", {0, 60, 60}},
    {InputStart, 26, 52, Shape::Triangle, 24, 32, 0, Dark, DarkSelected, StartRotation, nullptr, {}},
    {InputBack, -26, 52, Shape::Triangle, 24, 32, 0, Dark, DarkSelected, BackRotation, nullptr, {}},
};
constexpr float LabelDx = -2, LabelDy = 2;
constexpr Rgb LabelSelected = {40, 140, 200};

// Captions shown while a capture waits for a press.
const char* Caption(int input) {
    switch (input) {
        case InputUp: return "Up";
        case InputRight: return "Right";
        case InputDown: return "Down";
        case InputLeft: return "Left";
        case InputButton1: return "Button 1";
        case InputButton2: return "Button 2";
        case InputButton3: return "Button 3";
        case InputButton4: return "Button 4";
        case InputLeftShoulder: return "Left Shoulder";
        case InputRightShoulder: return "Right Shoulder";
        case InputStart: return "Start";
        case InputBack: return "Back/Select";
        default: return "";
    }
}

constexpr const char* NoName = "N/A";

}  // namespace

void MyGame::RedefineKeys() {
    const float W = ScreenWidth, H = ScreenHeight;
    const float cx = W / 2, cy = H - PadFromBottom;

    AddPlatBG();
    ResetDraw();

    // The cursor: rows wrap, columns stop at the row's edges.
    if (RedefineRow < RowSave) RedefineRow = RowLast;
    if (RedefineRow > RowLast) RedefineRow = RowSave;
    if (RedefineColumn < 0) RedefineColumn = 0;
    if (RedefineColumn > LastColumn(RedefineRow)) RedefineColumn = LastColumn(RedefineRow);
    int selected = RedefineRow == RowSave  ? SelectSave
                   : RedefineRow == RowTest ? SelectTest
                                            : GridInputs[RedefineRow][RedefineColumn];

    // The pad picture, live.
    for (const PadElement& e : PadPicture) {
        const bool pressed = e.input != NoInput && Joy(e.input) > InputPressed;
        const bool isSelected = e.input != NoInput && e.input == selected;
        float size = pressed ? e.pressedSize : e.size;
        if (isSelected && e.selectedSize > 0) size = e.selectedSize;
        const Rgb& c = isSelected ? e.selectedColour : e.colour;
        const float x = cx + e.dx, y = cy + e.dy;
        SetCol(c.r, c.g, c.b, 1);
        switch (e.shape) {
            case Shape::Circle: Circle(x, y, size); break;
            case Shape::Square: Rect(x, y, size); break;
            case Shape::Box: Rect(x, y, BodyW, BodyH); break;
            case Shape::Triangle:
                SetRot(e.rotation);
                Tri(x, y, size, TriangleAspect * size);
                break;
        }
        if (e.label) {
            const Rgb& l = isSelected ? LabelSelected : e.labelColour;
            SetCol(l.r, l.g, l.b, 1);
            Text(x + LabelDx, y + LabelDy, e.label, AlignCentre);
        }
    }

    // A running capture: the first steps only lock what is held; then the first new press
    // becomes the selected input's newest binding.
    int& capture = KeyLatch[LatchCapture];
    if (capture == CaptureWaitRelease && !PlayKeyAll(PlayFire1)) capture = CaptureIdle;
    if (capture == CaptureRunning) {
        const int code = GetKey();
        CaptureDelay--;
        if (CaptureDelay >= 0) LockForGet();
        if (code > 0 && CaptureDelay < 0) {
            capture = CaptureIdle;
            std::printf("Button Caught %i\n", code);
            std::fflush(stdout);
            SetKey(selected, code);
        }
        CaptureTimer--;
        if (CaptureTimer < 0) capture = CaptureIdle;
        ResetDraw();
        SetSize(CaptureTextSize);
        Text(W / 2, H / 2 - CaptureTextOffset, "Hit button for", AlignCentre);
        Text(W / 2, H / 2 + CaptureTextOffset, Caption(selected), AlignCentre);
    }
    if (capture == CaptureIdle) CaptureTimer = 0;

    // Navigation with the fixed key groups, so the screen works whatever the bindings are.
    if (capture == CaptureIdle && TestTimer == 0 && CaptureTimer == 0) {
        int& latch = KeyLatch[LatchNavigate];
        const bool up = PlayKeyAll(PlayUp), down = PlayKeyAll(PlayDown);
        const bool left = PlayKeyAll(PlayLeft), right = PlayKeyAll(PlayRight);
        const bool fire = PlayKeyAll(PlayFire1);
        if (!up && !left && !right && !down && !fire) latch = 0;
        if (up && latch == 0) { RedefineRow--; latch = 1; }
        if (down && latch == 0) { RedefineRow++; latch = 1; }
        if (left && latch == 0) { RedefineColumn--; latch = 1; }
        if (right && latch == 0) { RedefineColumn++; latch = 1; }
        if (fire && latch == 0) {
            latch = 1;
            if (selected >= 0) {
                CaptureDelay = CaptureIgnoredSteps;
                capture = CaptureRunning;
                CaptureTimer = TimerStart;
            } else if (selected == SelectTest) {
                TestTimer = TimerStart;
            } else {
                MenuScreen = ScreenOptions;
                Save();
                LockKeys();
            }
        }

        ResetDraw();
        for (const ScreenButton& b : Buttons) {
            const float y = cy - b.abovePad;
            if (b.select == selected)
                SetCol(ButtonSelected.r, ButtonSelected.g, ButtonSelected.b, 1);
            else
                SetGradient(ButtonTop.r, ButtonTop.g, ButtonTop.b, 1, ButtonBottom.r, ButtonBottom.g,
                            ButtonBottom.b, 1);
            Rect(cx, y, ButtonW, ButtonH);
            SetGradient(b.labelTop.r, b.labelTop.g, b.labelTop.b, 1, b.labelBottom.r, b.labelBottom.g,
                        b.labelBottom.b, 1);
            Text(cx, y, b.label, AlignCentre);
        }
    }

    // The selected input's bindings, newest lowest; bindings of pads not ready take no line.
    float y = cy - ListAbovePad;
    ResetDraw();
    SetSize(ListSize);
    if (selected >= 0) {
        for (int row = BindLastRow; row >= 0; row--) {
            const int code = KeyValue(selected, row);
            if (code <= 0) continue;
            const std::string name = KeyName(code);
            if (name == NoName) continue;
            Text(ListX, y, name, AlignLeft);
            y -= ListStep;
        }
    }

    // Countdowns: a dot going round once a second and the whole seconds left.
    auto countdown = [&](int n) {
        ResetDraw();
        SetSize(CountdownSize);
        const float a = static_cast<float>(n % FramesPerSecond) * DegreesPerFrame;
        SetCol(CountdownDotColour.r, CountdownDotColour.g, CountdownDotColour.b, 1);
        Circle(W / 2 + Sin(a) * CountdownRadius, H / 2 - Cos(a) * CountdownRadius, CountdownDot);
        SetCol(CountdownNumberColour.r, CountdownNumberColour.g, CountdownNumberColour.b, 1);
        Text(W / 2, H / 2, fstr("%i", n / FramesPerSecond), AlignCentre);
    };
    TestTimer--;
    if (TestTimer > 0) countdown(TestTimer);
    if (CaptureTimer > 0) countdown(CaptureTimer);
    if (TestTimer < 0) TestTimer = 0;
    if (CaptureTimer < 0) CaptureTimer = 0;

    // Stick boxes: the first stick's logical inputs on the left, the second stick's on the right.
    ResetDraw();
    SetCol(255, 255, 255, StickBoxAlpha);
    for (float side : {-StickBoxX, StickBoxX}) {
        Circle(cx + side, cy - StickBoxAbovePad, StickBoxHalf);
        Rect(cx + side, cy - StickBoxAbovePad, 2 * StickBoxHalf);
    }
    SetCol(StickDotColour.r, StickDotColour.g, StickDotColour.b, 1);
    Rect(cx - StickBoxX + (Joy(InputRight) - Joy(InputLeft)) * StickBoxHalf,
         cy - StickBoxAbovePad + (Joy(InputDown) - Joy(InputUp)) * StickBoxHalf, StickDot);
    Rect(cx + StickBoxX + (Joy(InputRight2) - Joy(InputLeft2)) * StickBoxHalf,
         cy - StickBoxAbovePad + (Joy(InputDown2) - Joy(InputUp2)) * StickBoxHalf, StickDot);
    SetRot(0);
}
