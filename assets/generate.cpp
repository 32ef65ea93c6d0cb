// generate.cpp - runs every part of the data-folder generator into one folder.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "gen.h"

namespace bw {

std::string soundFileName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "audio/%02d.wav", number);
    return name;
}

bool generateDataFolder(const std::string& dir, const std::string& fontPath) {
    std::error_code ec;
    std::filesystem::create_directories(dir + "/audio", ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s/audio: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    bool ok = true;
    ok = writeFont(dir, fontPath) && ok;
    ok = writeLogos(dir, fontPath) && ok;
    ok = writeSprites(dir) && ok;
    ok = writeIcons(dir) && ok;
    ok = writeSounds(dir) && ok;
    ok = writeMusic(dir) && ok;
    return ok;
}

}  // namespace bw
