// The asset loader, the loading screen and the scrolling backdrop.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::Loader() {}
void MyGame::LoadingScreen() {}
void MyGame::MakePlatBG() {}
void MyGame::AddPlatBG() {}
