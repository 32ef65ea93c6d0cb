// The options and control bindings that launch installs before the game reads its files.
// Shared by the game-screen tests and the game's fuzz targets.
#pragma once

#include <cstring>

#include "MyGame.h"

// Every binding cleared, as a launch finds them before the defaults go in.
inline void ClearBindings() { std::memset(ASys.redef, 0, sizeof ASys.redef); }

inline void InstallLaunchDefaults(MyGame& g) {
    g.DefaultOptions();
    ClearBindings();
    g.KeyDefaults();
}
