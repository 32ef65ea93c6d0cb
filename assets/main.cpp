// main.cpp - the brindlewick-assets program: writes the game's data folder (pictures,
// font, sounds and music) into the folder named on the command line.
#include <cstdio>

#include "gen.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATA_FOLDER FONT.ttf\n", argc > 0 ? argv[0] : "brindlewick-assets");
        return 2;
    }
    if (!bw::generateDataFolder(argv[1], argv[2])) {
        std::fprintf(stderr, "the data folder %s is incomplete\n", argv[1]);
        return 1;
    }
    return 0;
}
