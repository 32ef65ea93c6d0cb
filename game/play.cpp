// The play screen: the creature, the water layers, the bomb, death and the run start.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::DoGame() {}
void MyGame::Ingame() {}
void MyGame::LoadGame() {}
void MyGame::Bomb(float, float) {}
void MyGame::Gimme(int, float, float) {}
void MyGame::ClearPlayer() {}
