// The options and control bindings that launch installs before the game reads its files.
// Shared by the game-screen tests and the game's fuzz targets.
#pragma once

#include <algorithm>
#include <cstring>

#include "MyGame.h"

inline void InstallLaunchDefaults(MyGame& g) {
    std::fill(g.Option, g.Option + OptionCount, 0);
    g.Option[OptSFXVol] = 7;
    g.Option[OptMusicVol] = 7;
    g.Option[OptInvertY] = 1;
    g.Option[OptBoard] = 2;
    std::memset(ASys.redef, 0, sizeof ASys.redef);
    g.KeyDefaults();
}
