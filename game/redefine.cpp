// The controller redefinition screen.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::RedefineKeys() {}
