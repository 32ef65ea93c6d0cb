// The credits: the built-in lines and the scrolling credits screen.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::AddCredits(std::string) {}
void MyGame::AddDefaultCredits() {}
void MyGame::Credits() {}
