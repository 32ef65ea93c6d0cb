// The play objects: gems, hazards, bomb pickups, their walk and spawning.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::ClearObjects() {}
