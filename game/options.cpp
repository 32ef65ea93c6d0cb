// The options screen and its rows.
// Not built yet: the main loop already calls these, so they exist with empty bodies.
#include "MyGame.h"

void MyGame::Options() {}
void MyGame::OptionsList() {}
void MyGame::AddOptionLabel(std::string) {}
int MyGame::AddLinearOption(int, int, std::string, int) { return -1; }
int MyGame::AddToggleOption(int, int, std::string, std::string, std::string) { return -1; }
