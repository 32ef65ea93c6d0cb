// Shared start of the title, pause and scoreboard tests: the game fixture with a way back to
// a quiet state between the cases of a table.
#pragma once

#include "game_fixture.h"

class MenuScreens : public GameScreen {
protected:
    // Lets go of every key and the mouse, runs one update in a state that draws nothing, so no
    // input is left from before, and one render, which sets up the virtual screen the pointers
    // are mapped with.
    void Settle() {
        ReleaseAll();
        MouseAt(0, 0);
        G.GameState = -1;
        G.MenuScreen = ScreenNone;
        Step();
        G.Render();
    }
    void ClearLatches() {
        std::fill(G.KeyLatch, G.KeyLatch + MyGame::LatchCount, 0);
        std::fill(G.TouchLatch, G.TouchLatch + MyGame::LatchCount, 0);
    }
};
