// Program entry: hands the program's own path (its folder is the home folder) to the game,
// which runs until the player quits.
#include "MyGame.h"

int main(int argc, char** argv) {
    ThisGame.Launch(argc > 0 && argv[0] ? argv[0] : ".");
    return 0;
}
