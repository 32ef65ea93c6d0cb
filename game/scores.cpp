// The local scoreboards and the scoreboard panel of the difficulty list.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::HandleDefaultScoreboards() {}
void MyGame::DisplayScoreboard() {}
