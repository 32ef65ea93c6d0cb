// The game's default bindings: the rows they leave in the binding table, and that the
// defaults steer the game from keys and from a ready pad.
#include <memory>
#include <vector>

#include "MyGame.h"
#include "input_fixture.h"

using InputDefaults = InputTest;

TEST_F(InputDefaults, DefaultBindingRowsNewestFirst) {
    auto game = std::make_unique<MyGame>();
    game->KeyDefaults();
    struct Case {
        int input;
        std::vector<int> rows;   // row 63 downward
    };
    const Case cases[] = {
        {InputUp, {810, 710, 610, 510, 87, 328, 265}},
        {InputRight, {811, 711, 611, 511, 68, 326, 262}},
        {InputDown, {812, 712, 612, 512, 83, 325, 264}},
        {InputLeft, {813, 713, 613, 513, 65, 324, 263}},
        {InputUp2, {}}, {InputRight2, {}}, {InputDown2, {}}, {InputLeft2, {}},
        {InputStart, {807, 707, 607, 507, 256}},
        {InputBack, {806, 706, 606, 506, 259}},
        {InputButton1, {800, 700, 600, 500, 335, 257, 32, 75, 90}},
        {InputButton2, {801, 701, 601, 501, 345, 341, 76, 88}},
        {InputButton3, {802, 702, 602, 502, 346, 342, 74, 67}},
        {InputButton4, {803, 703, 603, 503, 344, 340, 73, 86}},
        {InputLeftShoulder, {804, 704, 604, 504, 85, 66}},
        {InputRightShoulder, {805, 705, 605, 505, 79, 78}},
    };
    for (const Case& c : cases) {
        for (int row = 0; row < BindRows; ++row) {
            const int k = BindLastRow - row;
            const int expected = k < static_cast<int>(c.rows.size()) ? c.rows[k] : 0;
            EXPECT_EQ(game->KeyValue(c.input, row), expected) << "input " << c.input << " row " << row;
        }
    }
}

TEST_F(InputDefaults, DefaultsSteerFromKeysAndPads) {
    auto game = std::make_unique<MyGame>();
    game->KeyDefaults();
    ReadyPad(1);
    struct Case {
        const char* what;
        int key;        // held key, or 0
        int button;     // pad 1 button held, or -1
        int input;
    };
    const Case cases[] = {
        {"W", GLFW_KEY_W, -1, InputUp},           {"keypad 5", GLFW_KEY_KP_5, -1, InputDown},
        {"keypad Enter", GLFW_KEY_KP_ENTER, -1, InputButton1}, {"Escape", GLFW_KEY_ESCAPE, -1, InputStart},
        {"Backspace", GLFW_KEY_BACKSPACE, -1, InputBack},      {"right Alt", GLFW_KEY_RIGHT_ALT, -1, InputButton3},
        {"pad d-pad left", 0, 13, InputLeft},      {"pad button 3", 0, 3, InputButton4},
        {"pad start", 0, 7, InputStart},           {"pad back", 0, 6, InputBack},
    };
    for (const Case& c : cases) {
        if (c.key) FakeGlfw.keys[c.key] = true;
        if (c.button >= 0) FakeGlfw.joysticks[1].buttons[c.button] = GLFW_PRESS;
        game->PollInput(0);
        for (int i = 0; i < LogicalInputs; ++i)
            EXPECT_EQ(game->Joy(i), i == c.input ? 1 : 0) << c.what << ", input " << i;
        if (c.key) FakeGlfw.keys[c.key] = false;
        if (c.button >= 0) FakeGlfw.joysticks[1].buttons[c.button] = GLFW_RELEASE;
    }
}
