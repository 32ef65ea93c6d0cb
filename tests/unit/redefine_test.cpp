// Controller redefinition screen: the grid cursor, capture of keys and pad buttons as an
// input's newest binding, the binding list, the pad picture and stick boxes, the controller
// test's countdown and time-out, and "Save" back to Options.
#include <GLFW/glfw3.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "game_fixture.h"

namespace {

constexpr int CaptureLatch = 66;
constexpr int CaptureIdle = 0, CaptureWaitRelease = 1, CaptureRunning = 2;
constexpr int RowSave = -2, RowTest = -1;
constexpr int OptionsInSettings = 100;

class RedefineScreen : public GameScreen {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        // As the Options screen opens it: cursor on "Test", every latch set.
        G.MenuScreen = ScreenKeys;
        G.RedefineRow = RowTest;
        G.RedefineColumn = 0;
        G.CaptureTimer = G.TestTimer = G.CaptureDelay = 0;
        G.LockKeys();
    }
    void Select(int row, int column) {
        G.RedefineRow = row;
        G.RedefineColumn = column;
    }
    float Cx() const { return G.ScreenWidth / 2; }
    float Cy() const { return G.ScreenHeight - 112; }

    // The input's bindings, newest first.
    std::vector<int> Bindings(int input) {
        std::vector<int> codes;
        for (int row = BindLastRow; row >= BindFirstRow; row--)
            if (int c = G.KeyValue(input, row)) codes.push_back(c);
        return codes;
    }
    static bool Has(const std::vector<int>& codes, int code) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    }
    // A pad connected at rest; the next poll makes it ready.
    void ConnectPad(int pad) {
        FakeGlfw.joysticks[pad].present = true;
        FakeGlfw.joysticks[pad].axes.assign(4, 0.0f);
        FakeGlfw.joysticks[pad].buttons.assign(16, 0);
    }
    // Starts a capture over the selected input with the fire key, then lets the key go.
    void StartCapture() {
        Hold(GLFW_KEY_SPACE);
        Step();
        ASSERT_EQ(G.KeyLatch[CaptureLatch], CaptureRunning);
        Hold(GLFW_KEY_SPACE, false);
    }
    // One update with standard output captured; the "Button Caught" lines it printed.
    std::string StepPrinting() {
        testing::internal::CaptureStdout();
        Step();
        return CaughtLines(testing::internal::GetCapturedStdout());
    }
    static std::string CaughtLines(const std::string& out) {
        std::string lines;
        size_t at = 0;
        while (at < out.size()) {
            size_t end = out.find('\n', at);
            end = end == std::string::npos ? out.size() : end + 1;
            if (out.compare(at, 13, "Button Caught") == 0) lines += out.substr(at, end - at);
            at = end;
        }
        return lines;
    }
    // The first record of a kind whose centre is at (x, y) on screen.
    const double* ShapeAt(int code, float x, float y) const {
        for (int i = 0; i < RecordCount(); i++) {
            const double* r = Record(i);
            if (r[FieldCode] == code && std::fabs(r[FieldX] + rw2 - x) < 0.01 &&
                std::fabs(r[FieldY] + rh2 - y) < 0.01)
                return r;
        }
        return nullptr;
    }
    std::string CountdownShown() const {
        for (const DrawnLine& l : TextLines())
            if (l.red == 255 && l.green == 100 && l.blue == 100) return l.text;
        return "";
    }
};

TEST_F(RedefineScreen, CursorWrapsVerticallyAndStopsAtTheRowEdges) {
    struct Case { const char* name; int row, column, key, toRow, toColumn; };
    const Case cases[] = {
        {"Save, Up: Back/Start row", RowSave, 0, GLFW_KEY_UP, 4, 0},
        {"Back/Start row, Down: Save", 4, 0, GLFW_KEY_DOWN, RowSave, 0},
        {"Button 2, Up: Button 4", 2, 3, GLFW_KEY_UP, 1, 1},
        {"Button 4, Up: Right Shoulder", 1, 1, GLFW_KEY_UP, 0, 1},
        {"Right Shoulder, Up: Test", 0, 1, GLFW_KEY_UP, RowTest, 0},
        {"Test, Down: Left Shoulder", RowTest, 0, GLFW_KEY_DOWN, 0, 0},
        {"Left, Left: stays", 2, 0, GLFW_KEY_LEFT, 2, 0},
        {"Button 2, Right: stays", 2, 3, GLFW_KEY_RIGHT, 2, 3},
        {"Right, Right: Button 3", 2, 1, GLFW_KEY_RIGHT, 2, 2},
    };
    Step();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(c.row, c.column);
        Tap(c.key);
        EXPECT_EQ(G.RedefineRow, c.toRow);
        EXPECT_EQ(G.RedefineColumn, c.toColumn);
    }
}

TEST_F(RedefineScreen, OnePressMakesOneMoveAndUpWinsOverDown) {
    Step();
    Select(2, 0);
    Hold(GLFW_KEY_UP);
    Hold(GLFW_KEY_DOWN);
    for (int i = 0; i < 10; i++) Step();
    EXPECT_EQ(G.RedefineRow, 1);
}

TEST_F(RedefineScreen, FireHeldOnEntryStartsNothingUntilReleased) {
    Select(2, 3);
    Hold(GLFW_KEY_SPACE);
    for (int i = 0; i < 5; i++) Step();
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureWaitRelease);
    EXPECT_EQ(G.CaptureTimer, 0);
    Hold(GLFW_KEY_SPACE, false);
    Step();
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureIdle);
    StartCapture();
    EXPECT_EQ(G.CaptureTimer, 359);
}

TEST_F(RedefineScreen, CapturedKeyBecomesTheNewestBindingAndIsPrinted) {
    Step();
    Select(2, 3);   // Button 2
    Step();
    const std::vector<int> before = Bindings(InputButton2);
    StartCapture();
    // The first two steps only lock what is held; a key counts once a step has seen it up.
    for (int i = 0; i < 3; i++) Step();
    EXPECT_TRUE(Drew("Hit button for"));
    EXPECT_TRUE(Drew("Button 2"));
    EXPECT_FALSE(Drew("Save"));   // the buttons are hidden while a capture runs

    Hold(GLFW_KEY_G);
    const std::string printed = StepPrinting();
    EXPECT_EQ(printed, "Button Caught 71\n");
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureIdle);
    std::vector<int> expected = {GLFW_KEY_G};
    expected.insert(expected.end(), before.begin(), before.end());
    EXPECT_EQ(Bindings(InputButton2), expected);
}

TEST_F(RedefineScreen, KeyHeldAtTheStartIsCaughtOnlyWhenPressedAgain) {
    Step();
    Select(2, 3);
    Step();
    Hold(GLFW_KEY_SPACE);
    Step();   // the fire key starts the capture
    ASSERT_EQ(G.KeyLatch[CaptureLatch], CaptureRunning);
    std::string printed;
    for (int i = 0; i < 6; i++) printed += StepPrinting();
    EXPECT_EQ(printed, "");
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureRunning);

    Hold(GLFW_KEY_SPACE, false);
    Step();
    Hold(GLFW_KEY_SPACE);
    EXPECT_EQ(StepPrinting(), "Button Caught 32\n");
    EXPECT_EQ(Bindings(InputButton2).front(), GLFW_KEY_SPACE);
    EXPECT_FALSE(Has(Bindings(InputButton1), GLFW_KEY_SPACE));   // moved, not copied

    // Still held: the catch does not start a new capture.
    for (int i = 0; i < 5; i++) Step();
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureIdle);
    EXPECT_EQ(G.CaptureTimer, 0);
    Hold(GLFW_KEY_SPACE, false);
    Step();
    StartCapture();
}

TEST_F(RedefineScreen, PadButtonReplacesTheSamePadsOlderBinding) {
    ConnectPad(0);
    ConnectPad(1);
    Step();   // both pads seen at rest: ready
    Select(3, 1);   // Button 1
    Step();
    StartCapture();
    for (int i = 0; i < 3; i++) Step();
    FakeGlfw.joysticks[0].buttons[2] = 1;
    EXPECT_EQ(StepPrinting(), "Button Caught 502\n");

    const std::vector<int> button1 = Bindings(InputButton1);
    EXPECT_EQ(button1.front(), 502);
    EXPECT_FALSE(Has(button1, 500));   // pad 0's old button is gone from this input
    for (int kept : {600, 700, 800, GLFW_KEY_Z, GLFW_KEY_SPACE}) EXPECT_TRUE(Has(button1, kept)) << kept;
    EXPECT_FALSE(Has(Bindings(InputButton3), 502));
    FakeGlfw.joysticks[0].buttons[2] = 0;
    Step();
    EXPECT_TRUE(Drew("Joy 1 Button 2"));
}

TEST_F(RedefineScreen, BindingListStandsNewestLowestAndSkipsPadsNotReady) {
    struct Case { const char* name; bool pad; std::vector<int> bottomUp; };
    const Case cases[] = {
        {"no pad", false, {GLFW_KEY_KP_ENTER, GLFW_KEY_ENTER, GLFW_KEY_SPACE, GLFW_KEY_K, GLFW_KEY_Z}},
        {"pad 0 ready", true, {500, GLFW_KEY_KP_ENTER, GLFW_KEY_ENTER, GLFW_KEY_SPACE, GLFW_KEY_K, GLFW_KEY_Z}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.pad) ConnectPad(0);
        Select(3, 1);   // Button 1
        Step();
        Step();
        std::vector<DrawnLine> list;
        for (const DrawnLine& l : TextLines())
            if (l.x < 40) list.push_back(l);
        ASSERT_EQ(list.size(), c.bottomUp.size());
        for (size_t i = 0; i < list.size(); i++) {
            EXPECT_EQ(list[i].text, G.KeyName(c.bottomUp[i]));
            EXPECT_FLOAT_EQ(list[i].y, Cy() - 128 - 24 * static_cast<float>(i));
        }
        if (c.pad) {
            EXPECT_EQ(list[0].text, "Joy 1 Button 0");
        }
    }
}

TEST_F(RedefineScreen, TestModeCountsDownForSixSecondsThenNavigationReturns) {
    Step();
    Hold(GLFW_KEY_SPACE);
    Step();   // "Test" selected on entry
    Hold(GLFW_KEY_SPACE, false);
    EXPECT_EQ(G.TestTimer, 358);

    std::string shown;
    Hold(GLFW_KEY_DOWN);   // ignored while the test runs
    for (int i = 0; i < 357; i++) {
        Step();
        std::string n = CountdownShown();
        if (shown.empty() || shown.back() != n[0]) shown += n;
        ASSERT_FALSE(Drew("Test"));   // the buttons are hidden during the test
    }
    EXPECT_EQ(shown, "543210");
    EXPECT_EQ(G.TestTimer, 1);
    EXPECT_EQ(G.RedefineRow, RowTest);
    Hold(GLFW_KEY_DOWN, false);
    Step();
    EXPECT_EQ(G.TestTimer, 0);
    EXPECT_EQ(CountdownShown(), "");
    Step();   // navigation sees every key up again
    Tap(GLFW_KEY_DOWN);
    EXPECT_EQ(G.RedefineRow, 0);
    EXPECT_TRUE(Drew("Test"));
}

TEST_F(RedefineScreen, CaptureTimesOutWithoutChangingAnyBinding) {
    Step();
    Select(0, 0);
    Step();
    const std::vector<int> before = Bindings(InputLeftShoulder);
    StartCapture();
    testing::internal::CaptureStdout();
    for (int i = 0; i < 359; i++) Step();
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureRunning);
    Step();
    EXPECT_EQ(CaughtLines(testing::internal::GetCapturedStdout()), "");
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureIdle);
    EXPECT_EQ(G.CaptureTimer, 0);
    EXPECT_EQ(Bindings(InputLeftShoulder), before);
    Tap(GLFW_KEY_DOWN);   // navigation is back
    EXPECT_EQ(G.RedefineRow, 1);
}

TEST_F(RedefineScreen, SaveWritesTheBindingsAndReturnsToOptionsWithEveryLatchSet) {
    G.SetKey(InputButton1, GLFW_KEY_G);   // as a capture leaves it
    Step();
    Select(RowSave, 0);
    Step();
    Hold(GLFW_KEY_SPACE);
    Step();
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
    EXPECT_EQ(G.KeyLatch[CaptureLatch], CaptureWaitRelease);
    EXPECT_TRUE(std::all_of(G.KeyLatch, G.KeyLatch + MyGame::LatchCount, [](int l) { return l == 1; }));

    // Settings.sav: options 0..99, then each input's 64 binding rows, 4-byte little-endian ints.
    std::ifstream in(home / "Settings.sav", std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t at = 4 * (OptionsInSettings + InputButton1 * BindRows + BindLastRow);
    ASSERT_GE(bytes.size(), at + 4);
    EXPECT_EQ(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24, GLFW_KEY_G);
}

TEST_F(RedefineScreen, PadPictureShowsPressedAndSelectedInputs) {
    struct Case { const char* name; int row, column, key; float dx, dy, radius; float r, g, b; };
    const Case cases[] = {
        {"Button 2 selected", 2, 3, GLFW_KEY_UNKNOWN, 190, 0, 24, 140, 0, 0},
        {"Button 1 pressed", 2, 3, GLFW_KEY_K, 150, 40, 32, 0, 40, 0},
        {"left shoulder selected", 0, 0, GLFW_KEY_UNKNOWN, -153, -16, 102, 40, 120, 200},
        {"left shoulder selected and pressed", 0, 0, GLFW_KEY_U, -153, -16, 102, 40, 120, 200},
        {"left shoulder pressed", 4, 0, GLFW_KEY_U, -153, -16, 100, 140, 140, 140},
        {"left shoulder at rest", 4, 0, GLFW_KEY_UNKNOWN, -153, -16, 96, 140, 140, 140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(c.row, c.column);
        if (c.key != GLFW_KEY_UNKNOWN) Hold(c.key);
        Step();
        const double* oval = ShapeAt(CmdOval, Cx() + c.dx, Cy() + c.dy);
        ASSERT_NE(oval, nullptr);
        EXPECT_FLOAT_EQ(oval[FieldW], 2 * c.radius);
        EXPECT_EQ(oval[FieldColourA + 1], c.r);
        EXPECT_EQ(oval[FieldColourA + 2], c.g);
        EXPECT_EQ(oval[FieldColourA + 3], c.b);
        ReleaseAll();
    }
    Select(2, 3);
    Step();
    for (const DrawnLine& l : TextLines())
        if (l.text == "2") {
            EXPECT_EQ(std::vector<double>({l.red, l.green, l.blue}), std::vector<double>({40, 140, 200}));
        }
}

TEST_F(RedefineScreen, StickBoxesFollowBothSticks) {
    struct Case { const char* name; int key; std::vector<float> axes; float leftDx, leftDy, rightDx, rightDy; };
    const Case cases[] = {
        {"at rest", GLFW_KEY_UNKNOWN, {0, 0, 0, 0}, 0, 0, 0, 0},
        {"Right key", GLFW_KEY_RIGHT, {0, 0, 0, 0}, 32, 0, 0, 0},
        {"Up key", GLFW_KEY_UP, {0, 0, 0, 0}, 0, -32, 0, 0},
        {"second stick right", GLFW_KEY_UNKNOWN, {0, 0, 0.8f, 0}, 0, 0, 0.8f * 32, 0},
        {"second stick down", GLFW_KEY_UNKNOWN, {0, 0, 0, -0.5f}, 0, 0, 0, 0.5f * 32},   // axis 3 inverted
    };
    ConnectPad(0);
    Step();   // the pad is seen at rest: ready
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGlfw.joysticks[0].axes = c.axes;
        if (c.key != GLFW_KEY_UNKNOWN) Hold(c.key);
        Step();
        std::vector<std::pair<double, double>> dots;
        for (int i = 0; i < RecordCount(); i++) {
            const double* r = Record(i);
            if (r[FieldCode] == CmdRect && r[FieldW] == 6 && r[FieldColourA + 1] == 255 && r[FieldColourA + 2] == 100)
                dots.emplace_back(r[FieldX] + rw2, r[FieldY] + rh2);
        }
        ASSERT_EQ(dots.size(), 2u);
        EXPECT_NEAR(dots[0].first, Cx() - 160 + c.leftDx, 1e-3);
        EXPECT_NEAR(dots[0].second, Cy() - 160 + c.leftDy, 1e-3);
        EXPECT_NEAR(dots[1].first, Cx() + 160 + c.rightDx, 1e-3);
        EXPECT_NEAR(dots[1].second, Cy() - 160 + c.rightDy, 1e-3);
        ReleaseAll();
    }
}

}  // namespace
