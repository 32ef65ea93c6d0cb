// Program entry: hands the program's own path to the game.
#include "MyGame.h"

int main(int, char**) { return 0; }
