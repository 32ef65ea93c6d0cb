// The backend's input poll through the GLFW fake: key groups and framework flags, focus and
// quit, the mouse pointer and its mapping, pads becoming ready, and the logical inputs
// computed from bindings and sticks.
#include <algorithm>
#include <climits>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "input_fixture.h"

namespace {

// Every button code the poll set to something other than 0, except focus.
std::set<int> SetButtons() {
    std::set<int> codes;
    for (int i = 0; i < ButtonCodes; ++i)
        if (i != FlagFocus && ASys.Button[i] != 0) codes.insert(i);
    return codes;
}

}  // namespace

using InputPoll = InputTest;

TEST_F(InputPoll, EachKeySetsExactlyItsGroups) {
    struct Case {
        int key;
        std::set<int> codes;
    };
    const std::vector<Case> cases = {
        {GLFW_KEY_UP, {PlayUp}},          {GLFW_KEY_W, {PlayUp}},           {GLFW_KEY_KP_8, {PlayUp}},
        {GLFW_KEY_LEFT, {PlayLeft}},      {GLFW_KEY_A, {PlayLeft}},         {GLFW_KEY_KP_4, {PlayLeft}},
        {GLFW_KEY_RIGHT, {PlayRight}},    {GLFW_KEY_D, {PlayRight}},        {GLFW_KEY_KP_6, {PlayRight}},
        {GLFW_KEY_DOWN, {PlayDown}},      {GLFW_KEY_S, {PlayDown}},         {GLFW_KEY_KP_5, {PlayDown}},
        {GLFW_KEY_KP_2, {PlayDown}},      {GLFW_KEY_Z, {PlayFire1}},        {GLFW_KEY_J, {PlayFire1}},
        {GLFW_KEY_SPACE, {PlayFire1}},    {GLFW_KEY_ENTER, {PlayFire1, PlayEnter}},
        {GLFW_KEY_KP_7, {PlayFire1}},     {GLFW_KEY_X, {PlayFire2}},        {GLFW_KEY_K, {PlayFire2}},
        {GLFW_KEY_LEFT_CONTROL, {PlayFire2}}, {GLFW_KEY_RIGHT_CONTROL, {PlayFire2}},
        {GLFW_KEY_KP_9, {PlayFire2}},     {GLFW_KEY_C, {PlayFire3}},        {GLFW_KEY_L, {PlayFire3}},
        {GLFW_KEY_LEFT_SHIFT, {PlayFire3}}, {GLFW_KEY_RIGHT_SHIFT, {PlayFire3}},
        {GLFW_KEY_V, {PlayFire4}},        {GLFW_KEY_I, {PlayFire4}},        {GLFW_KEY_LEFT_ALT, {PlayFire4}},
        {GLFW_KEY_RIGHT_ALT, {PlayFire4}}, {GLFW_KEY_B, {PlayFire5}},       {GLFW_KEY_U, {PlayFire5}},
        {GLFW_KEY_N, {PlayFire6}},        {GLFW_KEY_O, {PlayFire6}},        {GLFW_KEY_F1, {FlagF1}},
        {GLFW_KEY_F2, {FlagF2}},          {GLFW_KEY_F10, {FlagF10}},        {GLFW_KEY_ESCAPE, {PlayEscape}},
        {GLFW_KEY_F4, {FlagQuit}},        {GLFW_KEY_KP_ENTER, {}},          {GLFW_KEY_Q, {}},
        {GLFW_KEY_F3, {}},                {GLFW_KEY_1, {}},
    };
    for (const Case& c : cases) {
        FakeGlfw.keys[c.key] = true;
        ASys.PollInputB(0);
        EXPECT_EQ(SetButtons(), c.codes) << "key " << c.key;
        FakeGlfw.keys[c.key] = false;
    }
    ASys.PollInputB(0);
    EXPECT_TRUE(SetButtons().empty()) << "flags must be rebuilt, not kept, once keys are released";
}

TEST_F(InputPoll, FocusIsMinusOneOrOneAndCloseRequestQuits) {
    struct Case {
        bool focused, shouldClose;
        int focus, quit;
    };
    const Case cases[] = {{true, false, 1, 0}, {false, false, -1, 0}, {true, true, 1, 1}, {false, true, -1, 1}};
    for (const Case& c : cases) {
        FakeGlfw.focused = c.focused;
        FakeGlfw.shouldClose = c.shouldClose;
        ASys.PollInputB(0);
        EXPECT_EQ(ASys.Button[FlagFocus], c.focus);
        EXPECT_EQ(ASys.Button[FlagQuit], c.quit);
    }
}

TEST_F(InputPoll, PollWithoutWindowAsksToQuitInsteadOfReadingIt) {
    window = nullptr;
    ASys.Button[PlayUp] = 1;
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.Button[PlayUp], 0);
    EXPECT_EQ(ASys.Button[FlagFocus], -1);
    EXPECT_EQ(ASys.Button[FlagQuit], 1);
}

TEST_F(InputPoll, FlushKeysClearsAllButTheLastEntry) {
    for (int& b : ASys.Button) b = 7;
    ASys.FlushKeys();
    for (int i = 0; i < PolledButtons; ++i) EXPECT_EQ(ASys.Button[i], 0) << i;
    EXPECT_EQ(ASys.Button[ButtonCodes - 1], 7);
}

TEST_F(InputPoll, PointerFieldsOverAPress) {
    // Window 800 x 600 on an 800-unit screen centred at (400, 300): one pixel is one unit.
    struct Case {
        bool left, right;
        double cx, cy;
        float x, y, prevX, prevY, held, moveX, moveY;
    };
    const Case polls[] = {
        {false, false, 100, 50, 100, 50, -100, -100, 0, 0, 0},   // button up
        {false, false, 100, 50, 100, 50, -100, -100, 0, 0, 0},   // still up, not moved
        {true, false, 100, 50, 100, 50, 100, 50, 1, 0, 0},       // first poll of a click
        {false, false, 100, 50, 100, 50, -100, -100, 0, 0, 0},   // up again
        // First poll of a press: the previous position is the last poll's, so a cursor
        // that moved since then reports that movement.
        {true, false, 110, 60, 110, 60, 100, 50, 1, 10, 10},
        {true, true, 130, 55, 130, 55, 110, 60, 2, 20, -5},      // second poll: the movement
        {true, false, 130, 55, 130, 55, 130, 55, 3, 0, 0},       // held still
        {false, false, 200, 80, 200, 80, -100, -100, 0, 0, 0},   // released
    };
    int n = 0;
    for (const Case& c : polls) {
        FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_LEFT] = c.left;
        FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_RIGHT] = c.right;
        FakeGlfw.cursorX = c.cx;
        FakeGlfw.cursorY = c.cy;
        ASys.PollInputB(0);
        SCOPED_TRACE("poll " + std::to_string(n++));
        EXPECT_FLOAT_EQ(Pointer(PointerX), c.x);
        EXPECT_FLOAT_EQ(Pointer(PointerY), c.y);
        EXPECT_FLOAT_EQ(Pointer(PointerPrevX), c.prevX);
        EXPECT_FLOAT_EQ(Pointer(PointerPrevY), c.prevY);
        EXPECT_FLOAT_EQ(Pointer(PointerLeft), c.left ? 1 : 0);
        EXPECT_FLOAT_EQ(Pointer(PointerRight), c.right ? 1 : 0);
        EXPECT_FLOAT_EQ(Pointer(PointerHeld), c.held);
        EXPECT_FLOAT_EQ(Pointer(PointerMoveX), c.moveX);
        EXPECT_FLOAT_EQ(Pointer(PointerMoveY), c.moveY);
    }
    for (int i = PointerFields; i < PointerCount * PointerFields; ++i) EXPECT_EQ(ASys.Touch[i], 0) << i;
}

TEST_F(InputPoll, CursorLeftOfTheScreenGivesNegativeXAndNoMovement) {
    FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_LEFT] = true;
    FakeGlfw.cursorX = 10;
    FakeGlfw.cursorY = 300;
    ASys.PollInputB(0);
    ASys.offx = 0;   // the visible screen's centre moved: x now lies left of the screen
    FakeGlfw.cursorX = 20;
    ASys.PollInputB(0);
    EXPECT_FLOAT_EQ(Pointer(PointerX), -380);
    ASys.PollInputB(0);
    EXPECT_FLOAT_EQ(Pointer(PointerPrevX), -380);
    EXPECT_FLOAT_EQ(Pointer(PointerMoveX), 0);
    EXPECT_FLOAT_EQ(Pointer(PointerMoveY), 0);
}

TEST_F(InputPoll, MouseMapsWindowCoordinatesOntoTheVirtualScreen) {
    struct Case {
        const char* what;
        int windowW, windowH;       // glfwGetWindowSize (cursor coordinates)
        int canvasW, canvasH;       // framebuffer size, as the last render stored it
        float virtualWidth, offx, offy;
        double cx, cy;
        float x, y;
    };
    const Case cases[] = {
        {"centre maps to centre", 800, 600, 800, 600, 800, 400, 300, 400, 300, 400, 300},
        {"top left corner", 800, 600, 800, 600, 800, 400, 300, 0, 0, 0, 0},
        {"half-size window", 400, 300, 400, 300, 800, 400, 300, 300, 150, 600, 300},
        {"portrait, 512 units", 600, 800, 600, 800, 512, 256, 341.33f, 0, 400, 0, 341.33f},
        // HiDPI: the framebuffer is twice the window; the cursor still comes in window units.
        {"HiDPI centre", 800, 600, 1600, 1200, 800, 400, 300, 400, 300, 400, 300},
        {"HiDPI corner", 800, 600, 1600, 1200, 800, 400, 300, 800, 600, 800, 600},
        {"HiDPI quarter", 800, 600, 1600, 1200, 800, 400, 300, 200, 150, 200, 150},
    };
    for (const Case& c : cases) {
        FakeGlfw.windowWidth = c.windowW;
        FakeGlfw.windowHeight = c.windowH;
        FakeGlfw.framebufferWidth = c.canvasW;
        FakeGlfw.framebufferHeight = c.canvasH;
        ASys.CanvasWidth = c.canvasW;
        ASys.CanvasHeight = c.canvasH;
        ASys.VirtualWidth = c.virtualWidth;
        ASys.offx = c.offx;
        ASys.offy = c.offy;
        FakeGlfw.cursorX = c.cx;
        FakeGlfw.cursorY = c.cy;
        ASys.PollInputB(0);
        EXPECT_NEAR(Pointer(PointerX), c.x, 0.01) << c.what;
        EXPECT_NEAR(Pointer(PointerY), c.y, 0.01) << c.what;
    }
}

TEST_F(InputPoll, BumpCursorParksRightOfTheWindowInWindowCoordinates) {
    FakeGlfw.windowWidth = 800;
    FakeGlfw.windowHeight = 601;
    ASys.CanvasWidth = 1600;   // HiDPI framebuffer: not the unit glfwSetCursorPos takes
    ASys.CanvasHeight = 1202;
    ASys.BumpCursorSys();
    EXPECT_EQ(FakeGlfw.cursorSets, 1);
    EXPECT_EQ(FakeGlfw.cursorX, 816);
    EXPECT_EQ(FakeGlfw.cursorY, 300);
}

TEST_F(InputPoll, PadBecomesReadyOnlyOnceCentredAndSaysSoOnce) {
    FakeJoystick& js = FakeGlfw.joysticks[1];
    js.present = true;
    js.name = "Test Pad";
    js.axes = {0.35f, 0, 0, 0};
    js.buttons.assign(12, GLFW_RELEASE);
    struct Step {
        const char* what;
        bool present;
        std::vector<float> axes;
        int pressed;   // button held, or -1
        float ready, presentFlag;
        bool message;
    };
    const Step steps[] = {
        {"stick resting off centre", true, {0.35f, 0, 0, 0}, -1, 0, 1, false},
        {"button held", true, {0, 0, 0, 0}, 3, 0, 1, false},
        {"axis 3 below -0.3", true, {0, 0, 0, -0.31f}, -1, 0, 1, false},
        {"centred (axis 4 does not count)", true, {0, 0.3f, -0.3f, 0, 1}, -1, 1, 1, true},
        {"pushed again", true, {0.9f, 0, 0, 0}, -1, 1, 1, false},
        {"unplugged", false, {0, 0, 0, 0}, -1, 1, 0, false},
        {"plugged in again", true, {0.9f, 0, 0, 0}, -1, 1, 1, false},
    };
    for (const Step& s : steps) {
        js.present = s.present;
        js.axes = s.axes;
        js.buttons.assign(12, GLFW_RELEASE);
        if (s.pressed >= 0) js.buttons[s.pressed] = GLFW_PRESS;
        testing::internal::CaptureStdout();
        ASys.PollInputB(0);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(PadEntry(1, PadReady), s.ready) << s.what;
        EXPECT_EQ(PadEntry(1, PadPresent), s.presentFlag) << s.what;
        EXPECT_EQ(out, s.message ? "\n\n--=--\nController ID 'Test Pad'\n--=--\n\n" : "") << s.what;
    }
    EXPECT_EQ(PadEntry(0, PadPresent), 0);
}

TEST_F(InputPoll, PadEntriesAndFlip) {
    FakeJoystick& js = FakeGlfw.joysticks[2];
    js.present = true;
    js.axes = {0.1f, 0.2f, -0.1f, -0.2f, 0.7f};
    js.buttons.assign(14, GLFW_RELEASE);
    ASys.PollInputB(1);
    const float flipped[] = {0.1f, -0.2f, -0.1f, 0.2f, 0.7f};
    for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(PadEntry(2, PadAxisBase + k), flipped[k]) << k;
    js.buttons[12] = GLFW_PRESS;
    ASys.PollInputB(0);
    const float plain[] = {0.1f, 0.2f, -0.1f, -0.2f, 0.7f};
    for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(PadEntry(2, PadAxisBase + k), plain[k]) << k;
    EXPECT_EQ(PadEntry(2, 12), 1);
    EXPECT_EQ(PadEntry(2, 11), 0);
    // A pad with fewer axes than before reads the missing ones as 0.
    js.axes = {0.1f};
    ASys.PollInputB(1);
    EXPECT_FLOAT_EQ(PadEntry(2, PadAxisBase + 3), 0);
    EXPECT_FLOAT_EQ(PadEntry(2, PadAxisBase + 4), 0);
}

TEST_F(InputPoll, PadWithMoreThan45AxesAndButtonsStaysInItsRecord) {
    FakeJoystick& js = FakeGlfw.joysticks[0];
    js.present = true;
    js.axes.assign(60, 0.0f);
    js.axes[50] = 0.9f;   // would land in entry 100, the next pad, if not capped
    js.buttons.assign(60, GLFW_RELEASE);
    js.buttons[48] = GLFW_PRESS;   // would land in the ready flag's neighbourhood
    ASys.PollInputB(0);
    EXPECT_EQ(PadEntry(0, PadReady), 1);
    for (int n = 45; n < 50; ++n) EXPECT_EQ(PadEntry(0, n), 0) << n;
    for (int n = 0; n < PadFields; ++n) EXPECT_EQ(PadEntry(1, n), 0) << n;
}

TEST_F(InputPoll, BoundInputsTakeKeysAndPadValues) {
    ReadyPad(0);
    ASys.DefineKey(InputButton1, 500);       // pad 0 button 0
    ASys.DefineKey(InputButton1, 90);        // Z
    ASys.DefineKey(InputStart, 553);         // pad 0 axis 3
    struct Case {
        const char* what;
        float axis2, axis3;
        bool button0, z;
        float button1Value, startValue;
    };
    const Case cases[] = {
        {"nothing", 0, 0, false, false, 0, 0},
        {"axis at -0.8 gives -0.8", 0.9f, -0.8f, false, false, 0, -0.8f},
        {"axis at 0.6 gives 0.6", 0, 0.6f, false, false, 0, 0.6f},
        {"axis at 0.2 gives 0", 0, 0.2f, false, false, 0, 0},
        {"axis at -0.2 gives 0", 0, -0.2f, false, false, 0, 0},
        {"pad button", 0, 0, true, false, 1, 0},
        {"key", 0, 0, false, true, 1, 0},
        {"key and pad button", 0, 0, true, true, 1, 0},
    };
    for (const Case& c : cases) {
        FakeGlfw.joysticks[0].axes = {0, 0, c.axis2, c.axis3};
        FakeGlfw.joysticks[0].buttons[0] = c.button0 ? GLFW_PRESS : GLFW_RELEASE;
        FakeGlfw.keys[GLFW_KEY_Z] = c.z;
        ASys.PollInputB(0);
        EXPECT_FLOAT_EQ(ASys.Keyv[InputButton1], c.button1Value) << c.what;
        EXPECT_FLOAT_EQ(ASys.Keyv[InputStart], c.startValue) << c.what;
    }
}

TEST_F(InputPoll, HeldKeyWinsOverABoundAxisInEitherRowOrder) {
    ReadyPad(0);
    struct Case {
        std::vector<int> codes;   // defined in this order: the last is the newest
    };
    const Case cases[] = {{{551, 265}}, {{265, 551}}};
    for (const Case& c : cases) {
        ASys.ClearKeys();
        for (int code : c.codes) ASys.DefineKey(InputDown, code);
        FakeGlfw.joysticks[0].axes = {0, -0.8f, 0, 0};
        FakeGlfw.keys[GLFW_KEY_UP] = true;
        ASys.PollInputB(0);
        EXPECT_FLOAT_EQ(ASys.Keyv[InputDown], 1) << c.codes[0];
        FakeGlfw.keys[GLFW_KEY_UP] = false;
        ASys.PollInputB(0);
        // Stick 1 is active too: its down candidate (-0.8) does not beat the bound -0.8.
        EXPECT_FLOAT_EQ(ASys.Keyv[InputDown], -0.8f) << c.codes[0];
    }
}

TEST_F(InputPoll, SticksFeedTheirFourInputs) {
    ReadyPad(3);
    struct Case {
        const char* what;
        std::vector<float> axes;
        int flip;
        float values[8];   // InputUp .. InputLeft2
    };
    const Case cases[] = {
        {"stick 1 right with a wobble", {0.9f, 0.1f, 0, 0}, 0, {0, 0.9f, 0.1f, 0, 0, 0, 0, 0}},
        {"stick 1 up-left", {-0.5f, -0.6f, 0, 0}, 0, {0.6f, 0, 0, 0.5f, 0, 0, 0, 0}},
        {"stick 1 inside the dead zone", {0.25f, -0.2f, 0, 0}, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"stick 2 down-right", {0, 0, 0.3f, 0.8f}, 0, {0, 0, 0, 0, 0, 0.3f, 0.8f, 0}},
        {"stick 2 down, flipped to up", {0, 0, 0, 0.8f}, 1, {0, 0, 0, 0, 0.8f, 0, 0, 0}},
        {"stick 1 up, flipped to down", {0, -0.7f, 0, 0}, 1, {0, 0, 0.7f, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        FakeGlfw.joysticks[3].axes = c.axes;
        ASys.PollInputB(c.flip);
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(ASys.Keyv[i], c.values[i], 1e-6) << c.what << ", input " << i;
    }
}

TEST_F(InputPoll, PadThatIsNotReadyFeedsNothing) {
    ASys.DefineKey(InputButton1, 600);
    FakeJoystick& js = FakeGlfw.joysticks[1];
    js.present = true;
    js.axes = {0.9f, 0, 0, 0};   // never at rest
    js.buttons.assign(12, GLFW_RELEASE);
    js.buttons[0] = GLFW_PRESS;
    ASys.PollInputB(0);
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.Keyv[InputRight], 0);
    EXPECT_EQ(ASys.Keyv[InputButton1], 0);
}

TEST_F(InputPoll, DefineKeyMovesCodesKeepsOneBindingPerPadAnd16Rows) {
    ASys.DefineKey(InputLeft, 262);
    ASys.DefineKey(InputRight, 262);
    EXPECT_EQ(ASys.redef[BindLastRow][InputRight], 262);
    for (int r = 0; r < BindRows; ++r) EXPECT_NE(ASys.redef[r][InputLeft], 262) << r;

    ASys.DefineKey(InputButton1, 600);   // pad 1 button 0
    ASys.DefineKey(InputButton1, 500);   // pad 0 button 0
    ASys.DefineKey(InputButton1, 90);
    ASys.DefineKey(InputButton1, 502);   // pad 0 button 2 replaces 500
    const int expected[] = {600, 0, 90, 502};   // rows 60..63: 500 moved out, 502 newest
    for (int k = 0; k < 4; ++k) EXPECT_EQ(ASys.redef[60 + k][InputButton1], expected[k]) << 60 + k;
    EXPECT_EQ(ASys.redef[59][InputButton1], 0);

    ASys.ClearKeys();
    for (int k = 0; k < 17; ++k) ASys.DefineKey(InputUp, 40 + k);
    for (int r = BindFirstRow; r <= BindLastRow; ++r) EXPECT_EQ(ASys.redef[r][InputUp], 41 + r - BindFirstRow) << r;
    for (int r = 0; r < BindFirstRow; ++r) EXPECT_EQ(ASys.redef[r][InputUp], 0) << r;
}

TEST_F(InputPoll, AnyIntCodeStaysWithinTheTables) {
    // Codes as a damaged settings file may hold them.
    const int codes[] = {INT_MIN, -100000, -501, -1, 0, 899, 898, 900, 999, 1000, 1050, 4999, 100000, INT_MAX};
    ReadyPad(0);
    ReadyPad(3);
    for (int code : codes) {
        ASys.ClearKeys();
        ASys.DefineKey(InputButton2, code);
        ASys.DefineKey(InputButton2 + 100, 90);   // an input out of range is ignored
        ASys.DefineKey(-1, 90);
        EXPECT_EQ(ASys.redef[BindLastRow][InputButton2], code);
        ASys.PollInputB(0);
        EXPECT_EQ(ASys.Keyv[InputButton2], 0) << code;
        const std::string name = ASys.ButtonName(code);
        if (code == 898 || code == 899)
            EXPECT_EQ(name, code == 898 ? "Joy 4 Axis 48" : "Joy 4 Axis 49");
        else
            EXPECT_EQ(name, "N/A") << code;
    }
    // The pad's ready and present flags are not bindable entries.
    EXPECT_EQ(PadEntry(3, PadReady), 1);
}

TEST_F(InputPoll, AnyKeyCapturesNewPressesOnly) {
    ReadyPad(2);
    FakeGlfw.keys[GLFW_KEY_SPACE] = true;
    EXPECT_EQ(ASys.AnyKey(), GLFW_KEY_SPACE);
    EXPECT_EQ(ASys.AnyKey(), GLFW_KEY_SPACE) << "the captured key is not flagged";
    ASys.LockAll();
    EXPECT_EQ(ASys.AnyKey(), -1) << "held since LockAll";
    FakeGlfw.keys[GLFW_KEY_SPACE] = false;
    EXPECT_EQ(ASys.AnyKey(), -1);
    FakeGlfw.keys[GLFW_KEY_SPACE] = true;
    EXPECT_EQ(ASys.AnyKey(), GLFW_KEY_SPACE);

    FakeGlfw.keys[GLFW_KEY_SPACE] = false;
    FakeGlfw.keys[GLFW_KEY_MENU] = true;     // the highest key code
    EXPECT_EQ(ASys.AnyKey(), GLFW_KEY_MENU);
    FakeGlfw.keys[GLFW_KEY_MENU] = false;

    // Pads: sticks are never captured; buttons are, and LockAll covers them too.
    FakeGlfw.joysticks[2].axes = {1, -1, 1, -1};
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.AnyKey(), -1);
    FakeGlfw.joysticks[2].buttons[7] = GLFW_PRESS;
    ASys.PollInputB(0);
    ASys.LockAll();
    EXPECT_EQ(ASys.AnyKey(), -1) << "held since LockAll";
    FakeGlfw.joysticks[2].buttons[7] = GLFW_RELEASE;
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.AnyKey(), -1);
    FakeGlfw.joysticks[2].buttons[7] = GLFW_PRESS;
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.AnyKey(), 707);
}

TEST_F(InputPoll, ButtonNameForKeysAndPads) {
    struct KeepNames {
        std::vector<std::string> saved{std::begin(KeyName), std::end(KeyName)};
        ~KeepNames() { std::copy(saved.begin(), saved.end(), std::begin(KeyName)); }
    } keep;
    for (std::string& name : KeyName) name = "???";
    KeyName[GLFW_KEY_UP] = "Up";
    FakeJoystick& js = FakeGlfw.joysticks[0];
    js.present = true;
    js.axes = {0.9f, 0, 0, 0};   // present, not ready
    ASys.PollInputB(0);
    struct Case {
        int code;
        std::string name;
    };
    const std::vector<Case> unready = {
        {0, "N/A"}, {GLFW_KEY_UP, "[ Up ]"}, {58, "[ ??? ]"}, {1, "[ ??? ]"}, {349, "[ ??? ]"},
        {350, "N/A"}, {499, "N/A"}, {-265, "N/A"}, {512, "N/A"}, {751, "N/A"},
    };
    for (const Case& c : unready) EXPECT_EQ(ASys.ButtonName(c.code), c.name) << c.code;
    js.axes = {0, 0, 0, 0};
    ReadyPad(2);
    const std::vector<Case> ready = {
        {500, "Joy 1 Button 0"}, {512, "Joy 1 Button 12"}, {549, "Joy 1 Button 49"},
        {550, "Joy 1 Axis 0"},   {751, "Joy 3 Axis 1"},    {601, "N/A"}, {807, "N/A"},
    };
    for (const Case& c : ready) EXPECT_EQ(ASys.ButtonName(c.code), c.name) << c.code;
    FakeGlfw.joysticks[2].present = false;
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.ButtonName(751), "N/A") << "unplugged pad";
}

TEST_F(InputPoll, ButtonAndValueReads) {
    FakeGlfw.keys[GLFW_KEY_ESCAPE] = true;
    ASys.PollInputB(0);
    EXPECT_EQ(ASys.IsBut(PlayEscape), 1);
    EXPECT_EQ(ASys.IsBut(PlayEnter), 0);
    ASys.Keyv[2 * LogicalInputs + 3] = 0.5f;
    EXPECT_FLOAT_EQ(ASys.vKey(35), 0.5f);
    EXPECT_FLOAT_EQ(ASys.vKey(3, 2), 0.5f);
}
