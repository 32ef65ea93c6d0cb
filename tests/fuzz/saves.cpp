// Fuzz target: the settings file and the score file read by the game's Load. The input is the
// two files one after the other: its first 4,496 bytes (the settings file's length) become
// "Settings.sav", the rest the score file. A settings file that sets an online name makes
// Load's score exchange try a loopback port where nothing listens.
#include "game_support.h"

namespace {
constexpr size_t SettingsBytes = 4496;   // 100 options and 1,024 bindings of 4 bytes
constexpr const char* NoServer = "127.0.0.1:1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MyGame& g = fuzz::LaunchedGame();
    setenv(ScoreHostVariable, NoServer, 1);
    const size_t settings = std::min(size, SettingsBytes);
    fuzz::WriteInput(MyGame::SettingsFile, data, settings);
    fuzz::WriteInput(g.GameSaveFile(), data + settings, size - settings);
    g.Load();
    return 0;
}
