// Shared by the fuzz targets that go through the game: ThisGame started once on the fakes as
// launch starts it, the launch defaults put back before every input, and a home folder in
// the scratch folder.
#pragma once

#include <cstdlib>
#include <cstring>

#include "MyGame.h"
#include "fuzz_support.h"
#include "launch_defaults.h"

namespace fuzz {

constexpr int LaunchBoards = 3;
// The online name "BR" (two six-bit codes in the first name entry).
constexpr int NameCodes = 13 | (29 << 8);

// Starts the framework once; every later call only restores the launch defaults (options and
// bindings) and clears the online tables, so inputs do not leak into each other.
inline MyGame& LaunchedGame() {
    static const bool started = [] {
        ResetFakes();
        ThisGame.Begin(GameNumber, GameName);
        ThisGame.BoardCount = LaunchBoards;
        std::snprintf(ThisGame.home, sizeof ThisGame.home, "%s", ScratchDir().c_str());
        return true;
    }();
    (void)started;
    MyGame& g = ThisGame;
    InstallLaunchDefaults(g);
    std::memset(g.OnlineName, 0, sizeof g.OnlineName);
    std::memset(g.OnlineScore, 0, sizeof g.OnlineScore);
    g.OnlineScoresValid = 0;
    return g;
}

}  // namespace fuzz
