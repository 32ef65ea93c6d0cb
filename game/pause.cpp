// The pause screen: Quit, Resume and Options.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::PauseMenu() {}
