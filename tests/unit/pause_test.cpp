// The pause screen: left/right with wrap, the four confirm inputs on each button, the latch
// of the press that paused, mouse clicks, the row sliding away after a while and back on
// input, and the slower pacing of the loop while paused.
#include "menu_screens.h"

namespace {

// The row on the fixture's 800 x 600 screen: y = 600 - 128, at a quarter, half and three
// quarters of the width.
constexpr float RowY = 472;
struct PauseButtonAt { int cursor; float x; };
constexpr PauseButtonAt PauseButtons[] = {
    {MyGame::PauseQuit, 200}, {MyGame::PauseResume, 400}, {MyGame::PauseOptions, 600},
};
constexpr int IconSide = 64;   // sprite cell of the icons: the size Button() reacts to
constexpr int ResumeIcon = 0;

}  // namespace

class PauseScreen : public MenuScreens {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        ASys.iFrames[ImgIcons] = 1;
        ASys.iFramesSquare[ImgIcons] = IconSide;
        Fresh();
    }
    void TearDown() override {
        ASys.iFrames[ImgIcons] = -1;
        ASys.iFramesSquare[ImgIcons] = 0;
        GameScreen::TearDown();
    }
    // A run just paused as play pauses it: Resume selected and every latch set.
    void Fresh() {
        Settle();
        G.GameState = StatePlay;
        G.Paused = 1;
        G.PauseCursor = MyGame::PauseResume;
        G.GameOver = 0;
        G.GameOverReason = 0;
        G.GameOverTimer = 0;
        G.LockKeys();
        Step();
        ClearLatches();
        G.PauseSlide = 0;
        G.PauseIdle = 0;
    }
    // The y at which the last update drew the Resume button.
    double ResumeY() const {
        for (int i = 0; i < RecordCount(); i++) {
            const double* r = Record(i);
            if (r[FieldCode] == CmdImage && r[FieldSlot] == ImgIcons && r[FieldFrame] == ResumeIcon)
                return r[FieldY] + rh2;
        }
        return -1;
    }
    void ExpectActivated(int cursor) {
        switch (cursor) {
            case MyGame::PauseResume:
                EXPECT_EQ(G.Paused, 0);
                EXPECT_EQ(G.GameOver, 0);
                break;
            case MyGame::PauseQuit:   // play goes on under the "Quit" / "Game" banner
                EXPECT_EQ(G.Paused, 0);
                EXPECT_EQ(G.GameOver, MyGame::EndQuit);
                EXPECT_EQ(G.GameOverReason, MyGame::EndQuit);
                break;
            case MyGame::PauseOptions:   // the options screen opens over the pause screen
                EXPECT_EQ(G.MenuScreen, ScreenOptions);
                EXPECT_EQ(G.Paused, 1);
                EXPECT_EQ(G.GameOver, 0);
                break;
        }
        EXPECT_EQ(G.GameState, StatePlay);
    }
};

TEST_F(PauseScreen, DrawsItsTitleAndTheRow) {
    Step();
    EXPECT_TRUE(Drew("Paused!"));
    EXPECT_DOUBLE_EQ(ResumeY(), RowY);
}

TEST_F(PauseScreen, LeftAndRightMoveOncePerPressAndWrap) {
    struct Case { int from; int key; int to; };
    const Case cases[] = {
        {MyGame::PauseQuit, GLFW_KEY_RIGHT, MyGame::PauseResume},
        {MyGame::PauseResume, GLFW_KEY_RIGHT, MyGame::PauseOptions},
        {MyGame::PauseOptions, GLFW_KEY_RIGHT, MyGame::PauseQuit},
        {MyGame::PauseQuit, GLFW_KEY_LEFT, MyGame::PauseOptions},
        {MyGame::PauseResume, GLFW_KEY_LEFT, MyGame::PauseQuit},
        {MyGame::PauseOptions, GLFW_KEY_LEFT, MyGame::PauseResume},
        {MyGame::PauseResume, GLFW_KEY_A, MyGame::PauseQuit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " key " << c.key);
        Fresh();
        G.PauseCursor = c.from;
        Tap(c.key, 20);   // held for 20 updates: one move only
        EXPECT_EQ(G.PauseCursor, c.to);
        EXPECT_EQ(G.Paused, 1);
    }
}

TEST_F(PauseScreen, EachConfirmInputActivatesTheSelectedButton) {
    const int keys[] = {GLFW_KEY_Z, GLFW_KEY_ENTER, GLFW_KEY_X, GLFW_KEY_BACKSPACE, GLFW_KEY_ESCAPE};
    for (int key : keys) {
        for (const PauseButtonAt& b : PauseButtons) {
            SCOPED_TRACE(testing::Message() << "key " << key << " button " << b.cursor);
            Fresh();
            G.PauseCursor = b.cursor;
            Hold(key);
            Step();
            ExpectActivated(b.cursor);
        }
    }
}

TEST_F(PauseScreen, ThePressThatPausedActsOnlyAfterEveryConfirmIsReleased) {
    G.LockKeys();
    Hold(GLFW_KEY_ESCAPE);
    Hold(GLFW_KEY_Z);
    for (int i = 0; i < 20; i++) Step();
    Hold(GLFW_KEY_ESCAPE, false);   // Z still held: the latch stays
    for (int i = 0; i < 5; i++) Step();
    EXPECT_EQ(G.Paused, 1);
    Hold(GLFW_KEY_Z, false);
    Step();
    EXPECT_EQ(G.Paused, 1);
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.Paused, 0);
}

TEST_F(PauseScreen, AClickActivatesAnyButtonAtOnce) {
    for (const PauseButtonAt& b : PauseButtons) {
        SCOPED_TRACE(b.cursor);
        Fresh();
        G.PauseCursor = b.cursor == MyGame::PauseResume ? MyGame::PauseQuit : MyGame::PauseResume;
        MouseAt(b.x, RowY);
        Step();   // hovering does nothing
        EXPECT_EQ(G.Paused, 1);
        EXPECT_EQ(G.MenuScreen, ScreenNone);
        MouseButton(true);
        Step();
        ExpectActivated(b.cursor);
    }
}

TEST_F(PauseScreen, TheRowSlidesAwayWhenIdleAndComesBackOnInput) {
    constexpr int IdleLimit = 360, SlideOut = 4, SlideIn = 64, SlideMax = 480;
    for (int i = 1; i < IdleLimit; i++) Step();
    EXPECT_EQ(G.PauseSlide, 0);
    Step();
    EXPECT_EQ(G.PauseSlide, SlideOut);
    Step();
    EXPECT_DOUBLE_EQ(ResumeY(), RowY + SlideOut);   // drawn with the previous update's slide
    for (int i = 0; i < 200; i++) Step();
    EXPECT_EQ(G.PauseSlide, SlideMax);

    struct Case { const char* what; bool mouse; };
    const Case cases[] = {{"a right press", false}, {"a mouse press", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < IdleLimit + 200; i++) Step();
        ASSERT_EQ(G.PauseSlide, SlideMax);
        if (c.mouse) {
            MouseAt(700, 100);   // away from every button
            MouseButton(true);
        } else {
            Hold(GLFW_KEY_RIGHT);
        }
        EXPECT_TRUE(StepUntil([&] { return G.PauseSlide < SlideMax; }, 3));
        ReleaseAll();
        EXPECT_EQ(G.PauseSlide, SlideMax - SlideIn);
        Step();
        EXPECT_EQ(G.PauseSlide, SlideMax - 2 * SlideIn);
        for (int i = 0; i < 10; i++) Step();
        EXPECT_EQ(G.PauseSlide, 0);
        EXPECT_EQ(G.Paused, 1);
    }
}

TEST_F(PauseScreen, UpdatesComeEvery32MsWhilePausedAnd16Otherwise) {
    struct Case { int paused; int updates; };
    const Case cases[] = {{1, 20}, {0, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paused);
        Fresh();
        G.Paused = c.paused;
        G.NextUpdate = G.NextRender = 0;
        Now += 1;   // past the fixture's last update
        // 640 ms of the loop: a pass between deadlines sleeps on the test clock until the next.
        int updates = 0, last = G.UpdateTime;
        const int end = G.Mills() + 640;
        for (int pass = 0; pass < 640 && G.Mills() < end; pass++) {
            G.KeepAlive();
            if (G.UpdateTime != last && G.UpdateTime < end) updates++;
            last = G.UpdateTime;
            Now += 1;
        }
        EXPECT_EQ(updates, c.updates);
    }
}

TEST_F(PauseScreen, OptionsOpenOverThePauseScreenAndCloseBackToIt) {
    G.PauseCursor = MyGame::PauseOptions;
    Tap(GLFW_KEY_Z);
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
    EXPECT_FALSE(Drew("Paused!"));   // the options screen stands alone
    EXPECT_TRUE(StepUntil([&] {
        Tap(GLFW_KEY_ESCAPE);
        return G.MenuScreen == ScreenNone;
    }, 10));
    Step();
    EXPECT_EQ(G.Paused, 1);
    EXPECT_EQ(G.GameState, StatePlay);
    EXPECT_TRUE(Drew("Paused!"));
}
