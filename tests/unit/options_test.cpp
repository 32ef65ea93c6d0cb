// The options screen through its inputs: the rows in order, the cursor, slider steps and
// bounds, toggles, taps that select and then act, dragging the list, auto-scroll and the
// action rows with the ways of leaving.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "menu_screens.h"

namespace {

// Rows as OptionCursor counts them.
constexpr int RowBack = 0, RowSfx = 1, RowMusic = 2, RowName = 3, RowFullscreen = 4, RowMotion = 5;
constexpr int RowOverscan = 6, RowController = 7, RowInvert = 8, RowDebug = 9, RowCount = 10;
// Unscrolled y of each row, in the same order.
constexpr int RowPenY[RowCount] = {64, 206, 292, 434, 576, 662, 748, 890, 976, 1118};
constexpr int RowLift = 8;   // the selected row is drawn this far up and left
constexpr int LatchRow = 2;
constexpr int OptionIcons = 12;

class OptionsScreen : public MenuScreens {
protected:
    void SetUp() override {
        GameScreen::SetUp();
        Settle();   // nothing underneath: a closed options screen leaves an empty update
        ASys.iFrames[ImgOptions] = OptionIcons;
        fullscreenBefore = isFullscreen;
        std::fill(std::begin(ALbufferActive), std::end(ALbufferActive), 1);   // every effect plays
    }
    void TearDown() override {
        std::fill(std::begin(ALbufferActive), std::end(ALbufferActive), 0);
        ASys.iFrames[ImgOptions] = -1;
        if (isFullscreen != fullscreenBefore) G.FlipFullscreen();
        GameScreen::TearDown();
    }
    // Opens the screen as the title does and lets the opening latches go.
    void Open(int cursor = 0, int scroll = 0) {
        G.MenuScreen = ScreenOptions;
        G.OptionCursor = cursor;
        G.OptionScroll = scroll;
        G.LockKeys();
        ReleaseAll();
        Step();
    }
    // Where the mouse must be to press a row box (its middle) in the next update.
    float RowY(int row) const {
        return RowPenY[row] + G.OptionScroll - (G.OptionCursor == row ? RowLift : 0);
    }
    float RowX(int row) const { return G.ScreenWidth / 2 - (G.OptionCursor == row ? RowLift : 0); }
    void ClickRow(int row) { Click(RowX(row), RowY(row)); }
    int fullscreenBefore = 0;

    // The effect started last, as its slot and pitch; slot -1 when none since ForgetSounds.
    struct Sound {
        int slot;
        float pitch;
    };
    void ForgetSounds() { std::fill(std::begin(ALsourcebuffer), std::end(ALsourcebuffer), -1); }
    Sound LastSound() {
        const int slot = ALsourcebuffer[ALChannel];
        return {slot, slot < 0 ? 0.0f : FakeAl.sources[ALsource[ALChannel]].pitch};
    }
    // One update of this screen alone with a key held, so a screen it opens does not run yet.
    void OptionsUpdateHolding(int key) {
        Hold(key);
        Now += 16;
        G.MouseAny = G.mdall();
        G.PollInput(G.Option[OptInvertY]);
        G.Options();
    }
};

// The text drawn contains every piece in order.
void ExpectInOrder(const std::string& drawn, const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const auto& p : pieces) {
        size_t found = drawn.find(p, at);
        EXPECT_NE(found, std::string::npos) << "\"" << p << "\" missing after position " << at;
        if (found == std::string::npos) return;
        at = found + p.size();
    }
}

TEST_F(OptionsScreen, ShowsEveryRowWithItsValueInOrder) {
    G.ScreenHeight = 1400;   // tall enough for the whole list
    Open();
    ExpectInOrder(DrawnText(), {"Back", "Return", "Sound", "SFX Volume", "Music Volume", "Player",
                                "Online Name", "Enter Your Name", "Screen", "Fullscreen [F11]", "Switch",
                                "Motion Reduction", "Normal", "Overscan", "Input", "Controller", "Define",
                                "Invert Thumbstick Y", "Inverted", "System", "Debug Stats [F1]", "Off"});
    EXPECT_EQ(G.OptionRowCount, RowCount);
    EXPECT_EQ(G.OptionY, 1204);
}

TEST_F(OptionsScreen, OffScreenRowsAreNotDrawnButTheSelectedOneStillTakesKeys) {
    Open(RowDebug);   // "Debug Stats [F1]" lies far below the 600-unit screen
    EXPECT_FALSE(Drew("Debug Stats"));
    Tap(GLFW_KEY_Z);
    EXPECT_EQ(G.Option[OptDebugStats], 1);
    EXPECT_EQ(G.DebugMode, 1);
}

TEST_F(OptionsScreen, CursorStepsOncePerPressAndStopsAtBothEnds) {
    struct Case {
        const char* name;
        int start, key, presses, expected;
    };
    const Case cases[] = {
        {"down from the first row", RowBack, GLFW_KEY_DOWN, 1, RowSfx},
        {"up from a middle row", RowOverscan, GLFW_KEY_UP, 2, RowFullscreen},
        {"up on the first row does not wrap", RowBack, GLFW_KEY_UP, 1, RowBack},
        {"down on the last row does not wrap", RowDebug, GLFW_KEY_DOWN, 1, RowDebug},
        {"down past the end stays on the last row", RowController, GLFW_KEY_DOWN, 5, RowDebug},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.start);
        for (int i = 0; i < c.presses; i++) Tap(c.key);
        EXPECT_EQ(G.OptionCursor, c.expected);
    }
    // A held key moves one row, however long it is held.
    Open(RowSfx);
    Hold(GLFW_KEY_DOWN);
    for (int i = 0; i < 60; i++) Step();
    EXPECT_EQ(G.OptionCursor, RowMusic);
}

TEST_F(OptionsScreen, SlidersStepWithinTheirBoundsAndConfirmFlipsBetweenOffAndFull) {
    struct Row {
        int row, option;
    };
    const Row rows[] = {{RowSfx, OptSFXVol}, {RowMusic, OptMusicVol}, {RowOverscan, OptOverscan}};
    struct Case {
        const char* name;
        int start, key, presses, expected;
    };
    const Case cases[] = {
        {"left steps down", 5, GLFW_KEY_LEFT, 2, 3},
        {"right steps up", 5, GLFW_KEY_RIGHT, 3, 8},
        {"left stops at 0", 1, GLFW_KEY_LEFT, 3, 0},
        {"right stops at 10", 9, GLFW_KEY_RIGHT, 3, 10},
        {"confirm at 0 gives full", 0, GLFW_KEY_Z, 1, 10},
        {"confirm above 0 gives off", 4, GLFW_KEY_ENTER, 1, 0},
        {"button 2 confirms too", 10, GLFW_KEY_X, 1, 0},
    };
    for (const auto& r : rows) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", row " + std::to_string(r.row));
            G.Option[r.option] = c.start;
            Open(r.row);
            for (int i = 0; i < c.presses; i++) Tap(c.key);
            EXPECT_EQ(G.Option[r.option], c.expected);
        }
    }
    // Left held for a second steps once; a slider that is not selected ignores the keys.
    G.Option[OptSFXVol] = 7;
    G.Option[OptMusicVol] = 7;
    Open(RowSfx);
    Hold(GLFW_KEY_LEFT);
    for (int i = 0; i < 60; i++) Step();
    EXPECT_EQ(G.Option[OptSFXVol], 6);
    EXPECT_EQ(G.Option[OptMusicVol], 7);
}

TEST_F(OptionsScreen, TogglesFlipTheirOptionAndOnlyDebugStatsReachesTheOverlay) {
    struct Case {
        int row, option;
        bool drivesDebugMode;
        const char* shownOn;
    };
    const Case cases[] = {
        {RowMotion, OptLessMotion, false, "Less Motion"},
        {RowInvert, OptInvertY, false, "Normal"},   // starts inverted (1), the default
        {RowDebug, OptDebugStats, true, "On"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        const int before = G.Option[c.option];
        G.DebugMode = 0;
        Open(c.row);
        Tap(GLFW_KEY_ENTER);
        EXPECT_EQ(G.Option[c.option], 1 - before);
        EXPECT_EQ(G.DebugMode, c.drivesDebugMode ? 1 : 0);
        EXPECT_TRUE(Drew(c.shownOn));
        EXPECT_EQ(G.MenuScreen, ScreenOptions);
        Tap(GLFW_KEY_Z);
        EXPECT_EQ(G.Option[c.option], before);
        EXPECT_EQ(G.DebugMode, 0);
    }
}

TEST_F(OptionsScreen, ATapSelectsARowAndTheNextTapActivatesIt) {
    Open(RowFullscreen, -300);   // "Motion Reduction" in the middle of the screen
    const int scroll = G.OptionScroll;
    ClickRow(RowMotion);
    EXPECT_EQ(G.OptionCursor, RowMotion);
    EXPECT_EQ(G.Option[OptLessMotion], 0);
    ClickRow(RowMotion);
    EXPECT_EQ(G.Option[OptLessMotion], 1);
    EXPECT_EQ(G.OptionScroll, scroll);   // the taps did not drag the list
    ClickRow(RowMotion);
    EXPECT_EQ(G.Option[OptLessMotion], 0);

    // On a selected slider the press sets the value of the tick under the pointer.
    ClickRow(RowMusic);
    EXPECT_EQ(G.OptionCursor, RowMusic);
    EXPECT_EQ(G.Option[OptMusicVol], 7);
    const float step = 320.0f / 11;
    Click(RowX(RowMusic) - 160 + step * 3, RowY(RowMusic));
    EXPECT_EQ(G.Option[OptMusicVol], 2);
    Click(RowX(RowMusic) + 160, RowY(RowMusic));
    EXPECT_EQ(G.Option[OptMusicVol], 10);
}

TEST_F(OptionsScreen, DraggingOnEmptySpaceScrollsTheListByTheMouseMovement) {
    // The drag starts in the second update of the press, the first in which the press counts
    // as already down; from there the list follows the mouse in whole units.
    struct Case {
        const char* name;
        std::vector<float> path;   // mouse y in the updates after those two
        int expected;              // scroll change
    };
    const Case cases[] = {
        {"down", {310, 320, 340}, 40},
        {"up", {290, 270, 250}, -50},
        {"there and back", {360, 240, 280}, -20},
        {"fractions are cut", {310.75f, 320.5f}, 20},
        {"a press without movement", {300, 300}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(RowName);   // its row stays inside the band for these moves, so no auto-scroll
        const int start = G.OptionScroll;
        MouseAt(40, 300);   // left of every row box
        MouseButton(true);
        Step();
        Step();
        for (float y : c.path) {
            MouseAt(40, y);
            Step();
        }
        MouseButton(false);
        Step();
        Step();
        EXPECT_EQ(G.OptionScroll - start, c.expected);
        EXPECT_EQ(G.KeyLatch[LatchRow], 0);
        EXPECT_EQ(G.OptionCursor, RowName);
    }
}

TEST_F(OptionsScreen, TheSelectedRowIsScrolledBackIntoTheBand) {
    // The last row, far below a 600-unit screen, comes up 16 units an update until its y is at
    // most 520, and there the list stops.
    Open(RowDebug);
    ASSERT_TRUE(StepUntil([&] { return RowPenY[RowDebug] + G.OptionScroll <= 520; }));
    const int settled = G.OptionScroll;
    EXPECT_EQ(settled, -608);
    for (int i = 0; i < 10; i++) Step();
    EXPECT_EQ(G.OptionScroll, settled);
    EXPECT_TRUE(Drew("Debug Stats [F1]"));

    // Dragged away, the selected row creeps back.
    MouseAt(40, 100);
    MouseButton(true);
    Step();
    Step();
    MouseAt(40, 400);
    Step();
    EXPECT_GT(G.OptionScroll, settled + 200);
    MouseButton(false);
    const auto rowY = [&] { return RowPenY[RowDebug] + G.OptionScroll; };
    ASSERT_TRUE(StepUntil([&] { return rowY() <= 520; }));
    EXPECT_GT(rowY(), 520 - 16);
}

TEST_F(OptionsScreen, MovesPlayTheMoveSoundAndActivationsTheConfirmSound) {
    struct Case {
        const char* name;
        int cursor, key;
        int slot;
        float low, high;   // pitch range
    };
    const Case cases[] = {
        {"cursor down", RowSfx, GLFW_KEY_DOWN, SfxMove, 1.5f, 1.5f},
        {"slider step", RowSfx, GLFW_KEY_LEFT, SfxMove, 1.0f, 1.0f},
        {"slider confirm", RowMusic, GLFW_KEY_Z, SfxMove, 1.0f, 1.0f},
        {"toggle", RowMotion, GLFW_KEY_Z, SfxConfirm, 0.8f, 1.2f},
        {"Back/Select", RowSfx, GLFW_KEY_BACKSPACE, SfxConfirm, 0.8f, 1.2f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.cursor);
        ForgetSounds();
        Tap(c.key);
        const Sound s = LastSound();
        EXPECT_EQ(s.slot, c.slot);
        EXPECT_GE(s.pitch, c.low);
        EXPECT_LE(s.pitch, c.high);
    }
    // Selecting by tap plays the cursor's move.
    Open(RowBack);
    ForgetSounds();
    ClickRow(RowSfx);
    EXPECT_EQ(LastSound().slot, SfxMove);
    EXPECT_EQ(LastSound().pitch, 1.5f);
}

TEST_F(OptionsScreen, TheOnlineNameRowOpensNameEntryOnItsFirstBox) {
    Open(RowName);
    Tap(GLFW_KEY_Z);
    EXPECT_EQ(G.MenuScreen, ScreenName);
    EXPECT_EQ(G.OptionCursor, 0);
    EXPECT_TRUE(Drew("Enter Your Name"));
}

TEST_F(OptionsScreen, TheControllerRowStartsTheRedefinitionFromItsTop) {
    Open(RowController);
    G.RedefineRow = 5;
    G.RedefineColumn = 3;
    OptionsUpdateHolding(GLFW_KEY_Z);
    EXPECT_EQ(G.MenuScreen, ScreenKeys);
    EXPECT_EQ(G.RedefineRow, -1);
    EXPECT_EQ(G.RedefineColumn, 0);
}

TEST_F(OptionsScreen, TheFullscreenRowSwitchesEachTimeItIsUsed) {
    const int before = isFullscreen;
    Open(RowFullscreen);
    Tap(GLFW_KEY_Z);
    EXPECT_EQ(isFullscreen, 1 - before);
    Tap(GLFW_KEY_Z);
    EXPECT_EQ(isFullscreen, before);
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
}

// The options as the settings file in the home folder holds them (empty without a file).
std::vector<int> SavedOptions(const std::string& home) {
    std::ifstream f(home + "/Settings.sav", std::ios::binary);
    std::vector<int> options(100);
    if (!f.read(reinterpret_cast<char*>(options.data()), options.size() * sizeof(int))) return {};
    return options;
}

TEST_F(OptionsScreen, ActionRowsAndExitsSaveTheSettingsAndOnlyBackSelectSendsTheScores) {
    struct Case {
        const char* name;
        int cursor, key;
        int screen;   // MenuScreen after the press
        bool saves, sends;
    };
    const Case cases[] = {
        {"the Back row", RowBack, GLFW_KEY_ENTER, ScreenNone, true, false},
        {"Escape", RowMusic, GLFW_KEY_ESCAPE, ScreenNone, true, false},
        {"Back/Select", RowMusic, GLFW_KEY_BACKSPACE, ScreenNone, true, true},
        {"the Online Name row", RowName, GLFW_KEY_Z, ScreenName, true, false},
        {"the Controller row", RowController, GLFW_KEY_Z, ScreenKeys, true, false},
        {"the Fullscreen row stays", RowFullscreen, GLFW_KEY_Z, ScreenOptions, true, false},
        {"a slider step", RowMusic, GLFW_KEY_LEFT, ScreenOptions, false, false},
        {"a toggle", RowMotion, GLFW_KEY_Z, ScreenOptions, false, false},
    };
    const std::string dir = home.string();   // the test's own home folder
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir + "/Settings.sav");
        G.Option[OptMusicVol] = 3;
        Open(c.cursor);
        G.TouchLatch[0] = 0;
        G.OnlineScoresValid = 1;   // a score exchange starts by clearing it (no name: no request)
        OptionsUpdateHolding(c.key);
        ReleaseAll();
        EXPECT_EQ(G.MenuScreen, c.screen);
        EXPECT_EQ(G.OnlineScoresValid, c.sends ? 0 : 1);
        // Every action and way out also runs LockKeys: this latch the screen never clears.
        EXPECT_EQ(G.TouchLatch[0], c.saves ? 1 : 0);
        const std::vector<int> saved = SavedOptions(dir);
        if (c.saves) {
            ASSERT_EQ(saved.size(), 100u);
            EXPECT_EQ(saved[OptMusicVol], G.Option[OptMusicVol]);
        } else {
            EXPECT_TRUE(saved.empty());
        }
    }
}

// The Escape that left the name screen (or opened this one) is still held when the options
// screen runs: it must not leave this screen too; a new press does.
TEST_F(OptionsScreen, AnEscapeHeldOnOpeningLeavesOnlyOnceReleasedAndPressedAgain) {
    Hold(GLFW_KEY_ESCAPE);
    Step();
    G.MenuScreen = ScreenOptions;
    G.LockKeys();
    for (int i = 0; i < 5; i++) Step();
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
    Hold(GLFW_KEY_ESCAPE, false);
    Step();
    EXPECT_EQ(G.MenuScreen, ScreenOptions);
    Hold(GLFW_KEY_ESCAPE);
    Step();
    EXPECT_EQ(G.MenuScreen, ScreenNone);
}

}  // namespace
