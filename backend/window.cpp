// The backend object ASys, its start-up (GLFW, window, OpenGL context, OpenAL device), the
// window (re)creation, the numbered log and the shutdown.
#include "Vorn_glfw3.h"

VornSys ASys;

GLFWwindow* window = nullptr;
int isFullscreen = 0;
char GameTitleSys[1024];
std::vector<unsigned char> WhiteBlock;
char TempstrSys[1024];
int DebugMessages = 0;
std::string KeyName[KeyNames];
