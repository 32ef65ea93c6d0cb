// Launch, the paced main loop, one update and one render, the state dispatch and the
// end-of-run banner.
#include "MyGame.h"

MyGame ThisGame;
