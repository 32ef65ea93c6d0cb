// The core's input API on top of the backend poll: F1/F2 latches, quit and focus, the fixed
// key groups mixed with pads, bindings through the core, direct pad reads and pointers.
#include <memory>
#include <string>
#include <vector>

#include "input_fixture.h"

namespace {

class InputApi : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        core = std::make_unique<VornCore>();
        core->MixJoy = 1;
        core->DebugMode = 1;
        std::strcpy(core->home, ".");
        core->GameNum = GameNumber;
        DebugToggle = 0;
        ScreenshotToggle = 0;
        UpdateCountLive = 0;
    }
    static constexpr int GameNumber = 556;
    std::unique_ptr<VornCore> core;
};

}  // namespace

TEST_F(InputApi, F1AndF2FlipOncePerPress) {
    struct Step {
        bool f1, f2;
        int debug, screenshot;
    };
    const Step steps[] = {
        {true, false, 0, 0}, {true, false, 0, 0}, {true, true, 0, 1}, {false, true, 0, 1},
        {false, false, 0, 1}, {true, false, 1, 1}, {false, true, 1, 0},
    };
    int n = 0;
    for (const Step& s : steps) {
        FakeGlfw.keys[GLFW_KEY_F1] = s.f1;
        FakeGlfw.keys[GLFW_KEY_F2] = s.f2;
        core->PollInput(0);
        EXPECT_EQ(core->DebugMode, s.debug) << "poll " << n;
        EXPECT_EQ(core->ScreenshotMode, s.screenshot) << "poll " << n;
        ++n;
    }
}

TEST_F(InputApi, QuitAndFocus) {
    struct Case {
        bool focused, shouldClose, f4;
        int active, gameBreak;
    };
    const Case cases[] = {
        {true, false, false, 1, 0}, {false, false, false, -1, 0},
        {true, true, false, 1, 1},  {false, false, true, -1, 1},
    };
    for (const Case& c : cases) {
        core->GameBreak = 0;
        FakeGlfw.focused = c.focused;
        FakeGlfw.shouldClose = c.shouldClose;
        FakeGlfw.keys[GLFW_KEY_F4] = c.f4;
        core->PollInput(0);
        EXPECT_EQ(core->Active, c.active);
        EXPECT_EQ(core->GameBreak, c.gameBreak);
    }
    core->GameBreak = 1;
    FakeGlfw.shouldClose = false;
    FakeGlfw.keys[GLFW_KEY_F4] = false;
    core->PollInput(0);
    EXPECT_EQ(core->GameBreak, 1) << "the poll never clears the quit request";
}

TEST_F(InputApi, PlayKeyMixesUsablePads) {
    ReadyPad(1);
    struct Case {
        const char* what;
        int code;
        int button;          // pad button held, or -1
        float axis0, axis1;
        int flip;
        int expected;
    };
    const Case cases[] = {
        {"up by d-pad", PlayUp, 10, 0, 0, 0, 1},
        {"up by stick", PlayUp, -1, 0, -0.6f, 0, 1},
        {"up by stick, exactly -0.5", PlayUp, -1, 0, -0.5f, 0, 0},
        {"up by stick pushed down, flipped", PlayUp, -1, 0, 0.6f, 1, 1},
        {"left by d-pad", PlayLeft, 13, 0, 0, 0, 1},
        {"left by stick", PlayLeft, -1, -0.7f, 0, 0, 1},
        {"right by d-pad", PlayRight, 11, 0, 0, 0, 1},
        {"right by stick", PlayRight, -1, 0.51f, 0, 0, 1},
        {"right with the stick left", PlayRight, -1, -0.9f, 0, 0, 0},
        {"down by d-pad", PlayDown, 12, 0, 0, 0, 1},
        {"down by stick", PlayDown, -1, 0, 0.9f, 0, 1},
        {"fire 1", PlayFire1, 0, 0, 0, 0, 1},
        {"fire 2", PlayFire2, 1, 0, 0, 0, 1},
        {"fire 3", PlayFire3, 2, 0, 0, 0, 1},
        {"fire 4", PlayFire4, 3, 0, 0, 0, 1},
        {"fire 5", PlayFire5, 4, 0, 0, 0, 1},
        {"fire 6", PlayFire6, 5, 0, 0, 0, 1},
        {"enter is start", PlayEnter, 7, 0, 0, 0, 1},
        {"escape is back", PlayEscape, 6, 0, 0, 0, 1},
        {"enter is not back", PlayEnter, 6, 0, 0, 0, 0},
        {"fire 1 is not button 1", PlayFire1, 1, 0, 0, 0, 0},
        {"stick moves no fire group", PlayFire1, -1, 0.9f, 0.9f, 0, 0},
    };
    for (const Case& c : cases) {
        FakeJoystick& js = FakeGlfw.joysticks[1];
        js.axes = {c.axis0, c.axis1, 0, 0};
        js.buttons.assign(14, GLFW_RELEASE);
        if (c.button >= 0) js.buttons[c.button] = GLFW_PRESS;
        core->PollInput(c.flip);
        EXPECT_EQ(core->PlayKey(c.code), c.expected) << c.what;
        EXPECT_EQ(core->PlayKeyAll(c.code), c.expected) << c.what;
    }
}

TEST_F(InputApi, PadsThatAreNotUsableOrNotMixedAddNothing) {
    FakeJoystick& js = FakeGlfw.joysticks[0];
    js.present = true;
    js.axes = {0, -0.9f, 0, 0};   // never at rest: present, not ready
    js.buttons.assign(14, GLFW_RELEASE);
    js.buttons[7] = GLFW_PRESS;
    core->PollInput(0);
    EXPECT_EQ(core->PlayKey(PlayUp), 0);
    EXPECT_EQ(core->PlayKey(PlayEnter), 0);
    EXPECT_EQ(core->JoyDown(7), 0);
    EXPECT_EQ(core->JoyAxis(1), 0);
    EXPECT_EQ(core->StickY(), 0);

    ReadyPad(2);
    FakeGlfw.joysticks[2].buttons[7] = GLFW_PRESS;
    core->PollInput(0);
    EXPECT_EQ(core->PlayKey(PlayEnter), 1);
    core->MixJoy = 0;
    EXPECT_EQ(core->PlayKey(PlayEnter), 0);
    FakeGlfw.keys[GLFW_KEY_ENTER] = true;
    core->PollInput(0);
    EXPECT_EQ(core->PlayKey(PlayEnter), 1);
    EXPECT_EQ(core->PlayKey(FlagFocus), 1) << "codes without a pad condition read the flag";
}

TEST_F(InputApi, DirectPadReads) {
    ReadyPad(0);
    ReadyPad(3);
    FakeGlfw.joysticks[0].axes = {0.7f, 0.2f, 0, 0};
    FakeGlfw.joysticks[3].axes = {0.6f, -0.5f, 0, 0.4f};
    FakeGlfw.joysticks[3].buttons[2] = GLFW_PRESS;
    core->PollInput(1);
    EXPECT_NEAR(core->StickX(), 1.3f, 1e-6);
    EXPECT_NEAR(core->StickY(), -0.2f + 0.5f, 1e-6) << "after the Y flip";
    EXPECT_FLOAT_EQ(core->JoyAxis(0), 0.7f);
    EXPECT_FLOAT_EQ(core->JoyAxis(3, 3), -0.4f);
    EXPECT_EQ(core->JoyDown(2), 0);
    EXPECT_EQ(core->JoyDown(2, 3), 1);
    EXPECT_EQ(core->JoyDown(2, 1), 0);
}

TEST_F(InputApi, BindingsThroughTheCore) {
    core->SetKey(InputLeft, 263);
    core->SetKey(InputLeft, 65);
    EXPECT_EQ(core->KeyValue(InputLeft, 63), 65);
    EXPECT_EQ(core->KeyValue(InputLeft, 62), 263);
    EXPECT_EQ(core->KeyValue(InputLeft, 0), 0);
    FakeGlfw.keys[GLFW_KEY_A] = true;
    core->PollInput(0);
    EXPECT_EQ(core->Joy(InputLeft), 1);
    EXPECT_EQ(core->Joy(InputRight), 0);
    EXPECT_EQ(core->Joy(100), 0);
    core->LockForGet();
    EXPECT_EQ(core->GetKey(), -1);
    FakeGlfw.keys[GLFW_KEY_A] = false;
    EXPECT_EQ(core->GetKey(), -1);
    FakeGlfw.keys[GLFW_KEY_A] = true;
    EXPECT_EQ(core->GetKey(), GLFW_KEY_A);
    EXPECT_EQ(core->KeyName(0), "N/A");
    core->FlushKeys();
    EXPECT_EQ(core->KeyValue(InputLeft, 63), 0);
    core->PollInput(0);
    EXPECT_EQ(core->Joy(InputLeft), 0);
}

TEST_F(InputApi, PointerReadsAndAnyDown) {
    FakeGlfw.cursorX = 120;
    FakeGlfw.cursorY = 80;
    core->PollInput(0);
    EXPECT_FLOAT_EQ(core->MouseX(), 120);
    EXPECT_FLOAT_EQ(core->TouchY(0), 80);
    EXPECT_EQ(core->MouseDown(), 0);
    EXPECT_EQ(core->mdall(), 0);
    FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_LEFT] = true;
    FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_RIGHT] = true;
    core->PollInput(0);
    core->PollInput(0);
    EXPECT_EQ(core->TouchDown(), 1);
    EXPECT_EQ(core->MouseDown_Alt(), 1);
    EXPECT_EQ(core->MouseHeld(), 2);
    EXPECT_EQ(core->TouchHeld(0), 2);
    EXPECT_EQ(core->mdall(), 1);
    EXPECT_EQ(core->MouseX(5), 0) << "pointers other than the mouse stay empty";
    ASys.Touch[7 * PointerFields + PointerLeft] = 1;
    FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_LEFT] = false;
    core->PollInput(0);
    EXPECT_EQ(core->mdall(), 1) << "any pointer counts";
}

TEST_F(InputApi, HitTestsIncludeEdgesAndSkipPointersAtTheOrigin) {
    struct Case {
        const char* what;
        float px, py;
        int rect, centred, radius;   // MouseIn(0,0,100,100), _Centered(50,50,100,100), _Radius(50,50,50)
    };
    const Case cases[] = {
        {"far corner", 100, 100, 1, 1, 0},
        {"inside", 50, 50, 1, 1, 1},
        {"radius edge", 50, 100, 1, 1, 1},
        {"origin counts as absent", 0, 0, 0, 0, 0},
        {"on the left edge", 0, 50, 1, 1, 1},
        {"just outside", 100.5f, 50, 0, 0, 0},
        {"left of and above the screen", -5, -5, 0, 0, 0},
    };
    for (const Case& c : cases) {
        ASys.Touch[PointerX] = c.px;
        ASys.Touch[PointerY] = c.py;
        EXPECT_EQ(core->MouseIn(0, 0, 100, 100), c.rect) << c.what;
        EXPECT_EQ(core->MouseIn_Centered(50, 50, 100, 100), c.centred) << c.what;
        EXPECT_EQ(core->MouseIn_Radius(50, 50, 50), c.radius) << c.what;
    }
    ASys.Touch[PointerX] = 0;
    ASys.Touch[PointerY] = 0;
    ASys.Touch[4 * PointerFields + PointerX] = 10;
    ASys.Touch[4 * PointerFields + PointerY] = 10;
    EXPECT_EQ(core->MouseIn(0, 0, 20, 20), 5) << "the pointer index is one more than its number";
}

TEST_F(InputApi, BumpCursorParksTheCursor) {
    core->BumpCursor();
    EXPECT_EQ(FakeGlfw.cursorX, 816);
    EXPECT_EQ(FakeGlfw.cursorY, 300);
}
