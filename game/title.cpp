// The title screen: background, logo, button row and the difficulty list.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::DoMenu() {}
void MyGame::Menu_Background() {}
void MyGame::Menu_Start() {}
void MyGame::Menu_Default(std::string) {}
