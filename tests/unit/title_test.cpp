// The title screen: the button row's keys, wrap and pointer taps, confirm and back with and
// without swapped buttons, Escape on both stages, the difficulty list with its repeat and
// wrap, starting a run, and the logo zoom.
#include "menu_screens.h"

namespace {

// Centres of the four title buttons on the fixture's 800 x 600 screen.
constexpr float RowY = 600 - 96;
struct ButtonAt { int cursor; float x; };
constexpr ButtonAt Buttons[] = {
    {MyGame::CursorCredits, 52}, {MyGame::CursorQuit, 240}, {MyGame::CursorStart, 400}, {MyGame::CursorOptions, 748},
};
// The difficulty list on the same screen once its scroll has settled: row i of choice k sits at
// (600 - 128) - (k - 1) * 46 + i * 46, its box 256 x 32 around x = 228.
constexpr float RowX = 228;
float ChoiceY(int current, int row) { return 472 - (current - 1) * 46 + row * 46; }

}  // namespace

class TitleScreen : public MenuScreens {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        Fresh();
    }
    // Back to the title's button row with nothing held: also between the cases of a table.
    void Fresh() {
        Settle();
        G.GameState = StateMenu;
        G.Option[OptBoard] = 2;
        G.Option[OptSwapButtons] = 0;
        G.Option[OptLessMotion] = 0;
        ClearLatches();
        G.GameBreak = 0;
        G.MenuStage = 0;
        G.MenuCursor = MyGame::CursorStart;
        G.LogoZoom = 1;
        G.ChoiceScroll = 0;
        G.GameMode = 0;
        G.PointerMode = -1;
        G.ScorePage = G.ScoreTimer = G.ScoreSlide = 0;
        G.OnlineScoresValid = 0;
        G.GameOverTimer = 0;
        G.OptionCursor = G.OptionScroll = 7;
        for (int slot : Pictures) ASys.iFrames[slot] = 1;
    }
    static constexpr int Pictures[] = {ImgRippleB, ImgIcons, ImgOptions, ImgLogo};

    void TearDown() override {
        for (int slot : Pictures) ASys.iFrames[slot] = -1;
        GameScreen::TearDown();
    }
    // The y of the logo's centre in the last update.
    double LogoY() const {
        for (int i = 0; i < RecordCount(); i++)
            if (Record(i)[FieldCode] == CmdImage && Record(i)[FieldSlot] == ImgLogo) return Record(i)[FieldY] + rh2;
        return -1;
    }

    // Opens the difficulty list on the given choice and lets its scroll settle.
    void OpenList(int board) {
        G.MenuStage = 1;
        G.Option[OptBoard] = board;
        G.ChoiceScroll = ChoiceY(board, 0);
        Step();
    }
};

TEST_F(TitleScreen, LeftAndRightStepAlongTheRowAndWrapAtBothEnds) {
    struct Case { int from; int key; int to; };
    const Case cases[] = {
        {MyGame::CursorCredits, GLFW_KEY_LEFT, MyGame::CursorOptions},
        {MyGame::CursorCredits, GLFW_KEY_RIGHT, MyGame::CursorQuit},
        {MyGame::CursorQuit, GLFW_KEY_LEFT, MyGame::CursorCredits},
        {MyGame::CursorQuit, GLFW_KEY_RIGHT, MyGame::CursorStart},
        {MyGame::CursorStart, GLFW_KEY_LEFT, MyGame::CursorQuit},
        {MyGame::CursorStart, GLFW_KEY_RIGHT, MyGame::CursorOptions},
        {MyGame::CursorOptions, GLFW_KEY_LEFT, MyGame::CursorStart},
        {MyGame::CursorOptions, GLFW_KEY_RIGHT, MyGame::CursorCredits},
        {MyGame::CursorOptions, GLFW_KEY_D, MyGame::CursorCredits},   // a second binding of Right
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " key " << c.key);
        G.MenuCursor = c.from;
        Tap(c.key, 20);   // held for 20 updates: one step only
        EXPECT_EQ(G.MenuCursor, c.to);
        EXPECT_EQ(G.MenuStage, 0);
        EXPECT_EQ(G.MenuScreen, ScreenNone);
        EXPECT_EQ(G.GameBreak, 0);
    }
}

TEST_F(TitleScreen, ConfirmActivatesTheSelectedButton) {
    for (const ButtonAt& b : Buttons) {
        SCOPED_TRACE(b.cursor);
        Fresh();
        G.DebugMode = 1;
        G.MenuCursor = b.cursor;
        Hold(GLFW_KEY_ENTER);
        Step();
        EXPECT_EQ(G.MenuStage, b.cursor == MyGame::CursorStart ? 1 : 0);
        EXPECT_EQ(G.GameBreak, b.cursor == MyGame::CursorQuit ? 1 : 0);
        const int screen = b.cursor == MyGame::CursorOptions ? ScreenOptions
                           : b.cursor == MyGame::CursorCredits ? ScreenCredits
                                                               : ScreenNone;
        EXPECT_EQ(G.MenuScreen, screen);
        if (b.cursor == MyGame::CursorOptions) {
            EXPECT_EQ(G.OptionCursor, 0);
            // Reset to 0; the options screen's first update, in this same update, has already
            // moved its first row 16 units down into view.
            EXPECT_EQ(G.OptionScroll, 16);
            EXPECT_EQ(G.Option[OptDebugStats], 1);   // taken from the F1 overlay's state
        }
        EXPECT_EQ(G.GameState, StateMenu);
    }
}

TEST_F(TitleScreen, ConfirmAndBackFollowTheSwapOption) {
    // Which inputs start from the row (Start selected); Escape also quits, so it is left out.
    struct Case { int swap; int key; bool opens; };
    const Case cases[] = {
        {0, GLFW_KEY_ENTER, true}, {0, GLFW_KEY_Z, true}, {0, GLFW_KEY_X, false},
        {1, GLFW_KEY_ENTER, false}, {1, GLFW_KEY_Z, false}, {1, GLFW_KEY_X, true},
        {1, GLFW_KEY_LEFT_CONTROL, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "swap " << c.swap << " key " << c.key);
        Fresh();
        G.Option[OptSwapButtons] = c.swap;
        Tap(c.key);
        EXPECT_EQ(G.MenuStage, c.opens ? 1 : 0);
        EXPECT_EQ(G.GameState, StateMenu);   // opening the list does not start a run
    }
}

TEST_F(TitleScreen, SwapOptionLeavesTheListAlone) {
    G.Option[OptSwapButtons] = 1;
    OpenList(2);
    Tap(GLFW_KEY_ENTER);
    EXPECT_EQ(G.GameState, StatePlay);   // the run started in the updates after the press
    EXPECT_EQ(G.GameMode, 2);
}

TEST_F(TitleScreen, ConfirmHeldFromTheRowDoesNotAlsoStartARun) {
    Hold(GLFW_KEY_ENTER);
    for (int i = 0; i < 30; i++) Step();
    EXPECT_EQ(G.MenuStage, 1);
    EXPECT_EQ(G.GameState, StateMenu);
    Hold(GLFW_KEY_ENTER, false);
    Step();
    Tap(GLFW_KEY_ENTER);
    EXPECT_EQ(G.GameState, StatePlay);   // the run started in the updates after the press
}

TEST_F(TitleScreen, EscapeQuitsFromTheRowWhicheverButtonIsSelected) {
    for (const ButtonAt& b : Buttons) {
        SCOPED_TRACE(b.cursor);
        Fresh();
        G.MenuCursor = b.cursor;
        Hold(GLFW_KEY_ESCAPE);
        Step();
        EXPECT_EQ(G.GameBreak, 1);
    }
}

TEST_F(TitleScreen, EscapeHeldFromAnotherScreenQuitsOnlyAfterARelease) {
    G.LockKeys();
    Hold(GLFW_KEY_ESCAPE);
    for (int i = 0; i < 20; i++) Step();
    EXPECT_EQ(G.GameBreak, 0);
    Hold(GLFW_KEY_ESCAPE, false);
    Step();
    EXPECT_EQ(G.GameBreak, 0);
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.GameBreak, 1);
}

TEST_F(TitleScreen, EscapeOnTheListGoesBackAndQuitsOnlyOnASecondPress) {
    OpenList(2);
    Hold(GLFW_KEY_ESCAPE);
    for (int i = 0; i < 20; i++) Step();
    EXPECT_EQ(G.MenuStage, 0);
    EXPECT_EQ(G.GameState, StateMenu);   // Escape is bound to Start, but never confirms the list
    EXPECT_EQ(G.GameBreak, 0);
    Hold(GLFW_KEY_ESCAPE, false);
    Step();
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.GameBreak, 1);
}

TEST_F(TitleScreen, BackInputAndBackArrowReturnToTheRow) {
    OpenList(2);
    Tap(GLFW_KEY_X);
    EXPECT_EQ(G.MenuStage, 0);

    OpenList(2);
    Click(32, 32);
    EXPECT_EQ(G.MenuStage, 0);
    EXPECT_EQ(G.MenuCursor, MyGame::CursorStart);   // the release on the row selected nothing
}

TEST_F(TitleScreen, APointerTapSelectsAndASecondTapActivates) {
    for (const ButtonAt& b : Buttons) {
        if (b.cursor == MyGame::CursorStart) continue;
        SCOPED_TRACE(b.cursor);
        Fresh();
        MouseAt(b.x, RowY);
        MouseButton(true);
        for (int i = 0; i < 10; i++) Step();   // held on: selected only, never activated
        EXPECT_EQ(G.MenuCursor, b.cursor);
        EXPECT_EQ(G.MenuScreen, ScreenNone);
        EXPECT_EQ(G.GameBreak, 0);
        MouseButton(false);
        Step();
        MouseButton(true);
        Step();
        const bool acted = G.MenuScreen != ScreenNone || G.GameBreak == 1;
        EXPECT_TRUE(acted);
    }
}

TEST_F(TitleScreen, ATapOnTheSelectedStartOpensTheList) {
    Click(400, RowY - 70);   // inside the selected Start's reach (radius 80 + 16)
    EXPECT_EQ(G.MenuStage, 1);
    EXPECT_EQ(G.MenuCursor, MyGame::CursorStart);
}

TEST_F(TitleScreen, PointersOutsideEveryButtonDoNothing) {
    Click(600, RowY);
    Click(400, 200);
    EXPECT_EQ(G.MenuCursor, MyGame::CursorStart);
    EXPECT_EQ(G.MenuStage, 0);
}

TEST_F(TitleScreen, UpAndDownOnTheListWrap) {
    struct Case { int from; int key; int to; };
    const Case cases[] = {
        {2, GLFW_KEY_UP, 1},   {1, GLFW_KEY_UP, 3},   {1, GLFW_KEY_LEFT, 3}, {3, GLFW_KEY_DOWN, 1},
        {3, GLFW_KEY_RIGHT, 1}, {2, GLFW_KEY_DOWN, 3}, {2, GLFW_KEY_W, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " key " << c.key);
        OpenList(c.from);
        Tap(c.key, 1);
        EXPECT_EQ(G.Option[OptBoard], c.to);
        EXPECT_EQ(G.GameState, StateMenu);
        EXPECT_EQ(G.MenuStage, 1);
    }
}

TEST_F(TitleScreen, AHeldDirectionRepeatsFasterAndFaster) {
    OpenList(1);
    Hold(GLFW_KEY_DOWN);
    std::vector<int> steps;
    int board = G.Option[OptBoard];
    for (int update = 0; update < 70; update++) {
        Step();
        if (G.Option[OptBoard] != board) steps.push_back(update);
        board = G.Option[OptBoard];
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 24, 42, 54, 60, 63, 66, 69}));
}

TEST_F(TitleScreen, ABoardOutsideTheListIsWrappedInItsFirstUpdate) {
    struct Case { int stored; int wrapped; };
    const Case cases[] = {{0, 3}, {-5, 3}, {4, 1}, {99, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        G.MenuStage = 1;
        G.Option[OptBoard] = c.stored;
        Step();
        EXPECT_EQ(G.Option[OptBoard], c.wrapped);
    }
}

TEST_F(TitleScreen, ConfirmingAChoiceStartsARunOfIt) {
    struct Case { int board; int key; };
    const Case cases[] = {{1, GLFW_KEY_ENTER}, {2, GLFW_KEY_SPACE}, {3, GLFW_KEY_Z}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.board);
        Fresh();
        OpenList(c.board);
        const int cursorMoves = FakeGlfw.cursorSets;
        Hold(c.key);
        Step();
        EXPECT_EQ(G.GameState, StateStartRun);
        EXPECT_EQ(G.GameMode, c.board);
        EXPECT_EQ(G.PointerMode, 0);                        // started by a key
        EXPECT_GT(FakeGlfw.cursorSets, cursorMoves);       // the cursor is parked outside
    }
}

TEST_F(TitleScreen, ATapSelectsAChoiceAndASecondTapStartsIt) {
    OpenList(2);
    Click(RowX, ChoiceY(2, 0));   // "Easy": becomes the current choice only
    EXPECT_EQ(G.Option[OptBoard], 1);
    EXPECT_EQ(G.GameState, StateMenu);
    EXPECT_EQ(G.ScorePage, 0);
    for (int i = 0; i < 40; i++) Step();   // the list scrolls "Easy" onto the centre line

    MouseAt(RowX, ChoiceY(1, 0));
    MouseButton(true);
    EXPECT_TRUE(StepUntil([&] { return G.GameState == StateStartRun; }, 3));
    EXPECT_EQ(G.GameMode, 1);
    EXPECT_EQ(G.PointerMode, 1);   // started by a pointer
}

TEST_F(TitleScreen, TheLogoShrinksOnTheListAndGrowsBackOnTheRow) {
    // The logo's top edge stays 16 down: its centre is at 256 * scale + 16, scale 0.75 at full
    // size on this screen and half that on the list.
    constexpr double FullY = 208, HalfY = 112;
    struct Case { int lessMotion; int updates; };
    const Case cases[] = {{0, 10}, {1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lessMotion);
        Fresh();
        G.Option[OptLessMotion] = c.lessMotion;
        Step();
        EXPECT_DOUBLE_EQ(LogoY(), FullY);
        G.MenuStage = 1;
        for (int i = 0; i < c.updates; i++) Step();
        EXPECT_GT(LogoY(), HalfY);   // the zoom of an update is drawn in the next one
        Step();
        EXPECT_DOUBLE_EQ(LogoY(), HalfY);
        for (int i = 0; i < 5; i++) Step();
        EXPECT_DOUBLE_EQ(LogoY(), HalfY);
        G.MenuStage = 0;
        for (int i = 0; i <= c.updates; i++) Step();
        EXPECT_DOUBLE_EQ(LogoY(), FullY);
    }
}

TEST_F(TitleScreen, BothStagesDrawTheCreditLineAndTheListItsChoices) {
    Step();
    EXPECT_TRUE(Drew("Game Title : Wickfish"));
    EXPECT_TRUE(Drew("Start"));
    EXPECT_FALSE(Drew("Normal"));
    OpenList(2);
    EXPECT_TRUE(Drew("Game Title : Wickfish"));
    EXPECT_TRUE(Drew("Easy"));
    EXPECT_TRUE(Drew("Normal"));
    EXPECT_TRUE(Drew("Hard"));
    EXPECT_TRUE(Drew("Top 5"));   // the scoreboard panel beside the list
}

TEST_F(TitleScreen, APadsStartOpensTheListAndThenStartsTheRun) {
    FakeJoystick& pad = FakeGlfw.joysticks[0];
    pad.present = true;
    pad.axes = {0, 0, 0, 0};
    pad.buttons.assign(14, GLFW_RELEASE);
    Step();   // a pad found at rest becomes usable
    constexpr int PadStart = 7;
    auto pressStart = [&] {
        pad.buttons[PadStart] = GLFW_PRESS;
        for (int i = 0; i < 3; i++) Step();
        pad.buttons[PadStart] = GLFW_RELEASE;
        for (int i = 0; i < 3; i++) Step();
    };
    pressStart();
    EXPECT_EQ(G.MenuStage, 1);   // the list stays open although Start also means back there
    EXPECT_EQ(G.GameState, StateMenu);
    pressStart();
    EXPECT_EQ(G.GameState, StatePlay);   // the run started in the updates after the press
    EXPECT_EQ(G.GameMode, 2);
    EXPECT_EQ(G.PointerMode, 0);
}

TEST_F(TitleScreen, OptionsAndCreditsCloseBackToTheSameButtonWithoutQuitting) {
    const int cursors[] = {MyGame::CursorOptions, MyGame::CursorCredits};
    for (int cursor : cursors) {
        SCOPED_TRACE(cursor);
        Fresh();
        G.MenuCursor = cursor;
        Tap(GLFW_KEY_ENTER);
        EXPECT_NE(G.MenuScreen, ScreenNone);
        EXPECT_TRUE(StepUntil([&] {
            Tap(GLFW_KEY_ESCAPE);
            return G.MenuScreen == ScreenNone;
        }, 10));
        for (int i = 0; i < 5; i++) Step();
        EXPECT_EQ(G.GameBreak, 0);   // the Escape that closed the overlay does not quit
        EXPECT_EQ(G.MenuStage, 0);
        EXPECT_EQ(G.MenuCursor, cursor);
        EXPECT_TRUE(Drew("Game Title : Wickfish"));
    }
}
