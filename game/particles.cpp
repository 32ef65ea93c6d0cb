// Particles, score popups, the ripple ring and the drifting motes.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::DoParticles() {}
void MyGame::ResetStars(int) {}
void MyGame::ClearMotes() {}
void MyGame::ClearParticles() {}
