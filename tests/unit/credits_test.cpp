// Credits: the built-in table and its limit, the scroll and its wrap, where and how opaque
// the lines stand at given scroll positions, the corner texts, and leaving by each input.
#include <GLFW/glfw3.h>

#include "game_fixture.h"

namespace {

class CreditsScreen : public GameScreen {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        G.AddDefaultCredits();
        Open();
    }
    void TearDown() override {
        G.AddDefaultCredits();
        GameScreen::TearDown();
    }
    void Open() {
        G.MenuScreen = ScreenCredits;
        G.LockKeys();
    }
    // One update that draws with the scroll at exactly `scroll` (the update first moves it).
    void DrawAtScroll(float scroll) {
        G.CreditScroll = scroll + 0.75f;
        Step();
        ASSERT_FLOAT_EQ(G.CreditScroll, scroll);
    }
    const DrawnLine* LineWith(const std::string& text) {
        lines = TextLines();
        for (const DrawnLine& l : lines)
            if (l.text == text) return &l;
        return nullptr;
    }
    std::vector<DrawnLine> lines;
};

TEST_F(CreditsScreen, BuiltInCreditsAreSevenSectionsOfSeventyTwoLines) {
    EXPECT_EQ(G.CreditCount, 71);
    EXPECT_EQ(G.CreditScroll, 0);
    std::vector<int> separators;
    for (int i = 0; i <= G.CreditCount; i++)
        if (G.CreditLines[i] == "-=-=-") separators.push_back(i + 1);
    EXPECT_EQ(separators, (std::vector<int>{5, 11, 24, 30, 39, 45, 72}));
    struct Case { int line; const char* text; };
    const Case fixed[] = {
        {1, "Another game by"}, {6, "Coded In"},      {8, "using Ostrel's"}, {9, "VornFrame"},
        {12, "Graphics"},       {14, "Mostly by"},    {25, "Font"},          {27, "DejaVu Sans Bold"},
        {31, "Audio"},          {37, "Tweaked with"}, {40, "Music"},         {46, "Special Thanks"},
        {56, "Thanks for all the Feedback!"},         {71, "all my ranting!"},
    };
    for (const Case& c : fixed) EXPECT_EQ(G.CreditLines[c.line - 1], c.text) << "line " << c.line;
}

TEST_F(CreditsScreen, AddingRestartsTheScrollAndAFullTableDropsTheLine) {
    G.CreditScroll = -500;
    G.AddCredits("one more");
    EXPECT_EQ(G.CreditCount, 72);
    EXPECT_EQ(G.CreditLines[72], "one more");
    EXPECT_EQ(G.CreditScroll, 0);

    while (G.CreditCount < MyGame::CreditLineCount - 1) G.AddCredits("filler");
    G.AddCredits("too many");
    EXPECT_EQ(G.CreditCount, MyGame::CreditLineCount - 1);
    EXPECT_EQ(G.CreditLines[MyGame::CreditLineCount - 1], "filler");

    G.AddDefaultCredits();   // empties the table first
    EXPECT_EQ(G.CreditCount, 71);
}

TEST_F(CreditsScreen, ScrollWrapsOnceTheLastLineHasLeft) {
    struct Case { const char* name; int key; int lastUnwrapped; };
    const Case cases[] = {
        {"no direction", GLFW_KEY_UNKNOWN, 3792},   // 0.75 per update down to -2844
        {"direction held", GLFW_KEY_LEFT, 1264},   // 2.25 per update
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        G.CreditScroll = 0;
        if (c.key != GLFW_KEY_UNKNOWN) Hold(c.key);
        for (int i = 0; i < c.lastUnwrapped; i++) Step();
        EXPECT_FLOAT_EQ(G.CreditScroll, -2844);   // reached, not passed: no wrap yet
        Step();
        EXPECT_EQ(G.CreditScroll, 0);
        ReleaseAll();
    }
}

TEST_F(CreditsScreen, LinesFadeAndStretchAwayFromTheCentre) {
    const float mid = G.ScreenHeight / 2;
    struct Case { float scroll; bool shown; float y; float alpha; };
    // Line 0 ("Another game by") lies 144 units below the centre at scroll 0.
    const Case cases[] = {
        {0, false, 0, 0},
        {-10, false, 0, 0},                                        // d = 134: alpha below 0
        {-11, true, mid + 0.02f * 133 * 133, 255 * (3 - 0.0225f * 133)},
        {-144, true, mid, 255},                                   // at the centre
        {-144 + 50, true, mid + 50, 255},                         // one unit per unit near the centre
        {-144 + 88.8889f, true, mid + 0.02f * 88.8889f * 88.8889f, 255},
        {-144 - 88.8889f, true, mid - 0.02f * 88.8889f * 88.8889f, 255},
        {-144 + 111.1111f, true, mid + 0.02f * 111.1111f * 111.1111f, 127.5f},
        {-144 - 111.1111f, true, mid - 0.02f * 111.1111f * 111.1111f, 127.5f},
        {-144 - 134, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scroll);
        DrawAtScroll(c.scroll);
        const DrawnLine* line = LineWith("Another game by");
        ASSERT_EQ(line != nullptr, c.shown);
        if (!line) continue;
        EXPECT_NEAR(line->y, c.y, 0.05);
        EXPECT_NEAR(line->alpha, c.alpha, 0.1);
    }
}

TEST_F(CreditsScreen, CornersShowPlaysAndScreenSizes) {
    G.Option[OptPlays] = 17;
    G.RealW = 1024;
    G.RealH = 768;
    G.ScreenHeight = 600.7f;
    Step();
    EXPECT_TRUE(Drew("Plays 17"));
    EXPECT_TRUE(Drew("Real 1024x768"));
    EXPECT_TRUE(Drew("Virtual 800x600"));
}

TEST_F(CreditsScreen, FortyColouredLinesMoveWithTheClock) {
    auto lineQuads = [&] {
        std::vector<std::vector<double>> quads;
        for (int i = 0; i < RecordCount(); i++)
            if (Record(i)[FieldCode] == CmdQuad) quads.emplace_back(Record(i) + FieldX, Record(i) + FieldX + 8);
        return quads;
    };
    Step();
    auto before = lineQuads();
    EXPECT_EQ(before.size(), 40u);
    Now += 1000;
    Step();
    EXPECT_NE(lineQuads(), before);
}

TEST_F(CreditsScreen, EachInputLeavesButOnlyAfterItsPressOnEntryIsReleased) {
    struct Case { const char* name; int key; bool mouse; int padButton; };
    const Case cases[] = {
        {"Start", GLFW_KEY_G, false, -1},    // G bound to Start below
        {"Back/Select", GLFW_KEY_BACKSPACE, false, -1},
        {"Button 1", GLFW_KEY_Z, false, -1},
        {"Button 2", GLFW_KEY_X, false, -1},
        {"Escape", GLFW_KEY_ESCAPE, false, -1},
        {"Return", GLFW_KEY_ENTER, false, -1},
        {"pointer", GLFW_KEY_UNKNOWN, true, -1},
        {"pad Back", GLFW_KEY_UNKNOWN, false, 6},
    };
    G.SetKey(InputStart, GLFW_KEY_G);
    FakeGlfw.joysticks[0].present = true;
    FakeGlfw.joysticks[0].axes.assign(4, 0.0f);
    FakeGlfw.joysticks[0].buttons.assign(16, 0);
    MouseAt(300, 200);
    Step();   // the pad is seen at rest: ready from now on
    auto press = [&](const Case& c, bool down) {
        if (c.key != GLFW_KEY_UNKNOWN) Hold(c.key, down);
        if (c.mouse) MouseButton(down);
        if (c.padButton >= 0) FakeGlfw.joysticks[0].buttons[c.padButton] = down;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        press(c, true);
        Open();   // opened with the input still held
        for (int i = 0; i < 3; i++) Step();
        EXPECT_EQ(G.MenuScreen, ScreenCredits);
        press(c, false);
        Step();
        EXPECT_EQ(G.MenuScreen, ScreenCredits);
        press(c, true);
        Step();
        EXPECT_EQ(G.MenuScreen, ScreenNone);
        EXPECT_EQ(G.KeyLatch[15], 1);   // every latch set, so the press acts once
        press(c, false);
        Step();
    }
}

}  // namespace
