// Shared start of the title, pause, scoreboard and options tests: the game fixture with a way
// back to a quiet state between the cases of a table, and a mouse click.
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
    // A mouse press at (x, y) held for a few updates, then released for a few.
    void Click(float x, float y) {
        MouseAt(x, y);
        MouseButton(true);
        for (int i = 0; i < 3; i++) Step();
        MouseButton(false);
        for (int i = 0; i < 3; i++) Step();
    }
    void ClearLatches() {
        std::fill(G.KeyLatch, G.KeyLatch + MyGame::LatchCount, 0);
        std::fill(G.TouchLatch, G.TouchLatch + MyGame::LatchCount, 0);
    }
};
