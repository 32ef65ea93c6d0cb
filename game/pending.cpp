// Game methods the main loop already calls whose screens are not built yet: each does
// nothing for now. A screen's own file replaces its group here when it lands.
#include "MyGame.h"

// asset loader
void MyGame::Loader() {}

// play screen
void MyGame::DoGame() {}
void MyGame::Ingame() {}
void MyGame::LoadGame() {}
void MyGame::ClearPlayer() {}

// play objects
void MyGame::ClearObjects() {}

// particles, ripples, motes
void MyGame::DoParticles() {}
void MyGame::ResetStars(int) {}
void MyGame::ClearMotes() {}
void MyGame::ClearParticles() {}

// settings and score files
void MyGame::Load() {}
void MyGame::Save() {}

// scoreboards
void MyGame::HandleDefaultScoreboards() {}

// title screen
void MyGame::DoMenu() {}

// options screen
void MyGame::Options() {}

// controller redefinition
void MyGame::RedefineKeys() {}

// name entry
void MyGame::EnterYourName() {}

// credits
void MyGame::AddDefaultCredits() {}
void MyGame::Credits() {}

// pause screen
void MyGame::PauseMenu() {}
