// The in-play score display: score, next local place, lives.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::DefaultScoreDisplay(int) {}
