// The default control bindings, installed once at launch before the settings file replays
// the player's own: keyboard keys first, then the same layout for each of the four pads.
#include "MyGame.h"

#include <GLFW/glfw3.h>

namespace {

struct Binding {
    int input, code;
};

// Keyboard defaults in the order they are added; each becomes its input's newest binding.
constexpr Binding KeyBindings[] = {
    {InputUp, GLFW_KEY_UP},           {InputRight, GLFW_KEY_RIGHT},       {InputDown, GLFW_KEY_DOWN},
    {InputLeft, GLFW_KEY_LEFT},       {InputUp, GLFW_KEY_KP_8},           {InputRight, GLFW_KEY_KP_6},
    {InputDown, GLFW_KEY_KP_5},       {InputLeft, GLFW_KEY_KP_4},         {InputButton1, GLFW_KEY_Z},
    {InputButton2, GLFW_KEY_X},       {InputButton3, GLFW_KEY_C},         {InputButton4, GLFW_KEY_V},
    {InputLeftShoulder, GLFW_KEY_B},  {InputRightShoulder, GLFW_KEY_N},   {InputUp, GLFW_KEY_W},
    {InputRight, GLFW_KEY_D},         {InputDown, GLFW_KEY_S},            {InputLeft, GLFW_KEY_A},
    {InputButton1, GLFW_KEY_K},       {InputButton2, GLFW_KEY_L},         {InputButton3, GLFW_KEY_J},
    {InputButton4, GLFW_KEY_I},       {InputLeftShoulder, GLFW_KEY_U},    {InputRightShoulder, GLFW_KEY_O},
    {InputButton1, GLFW_KEY_SPACE},   {InputButton1, GLFW_KEY_ENTER},     {InputButton1, GLFW_KEY_KP_ENTER},
    {InputButton2, GLFW_KEY_LEFT_CONTROL}, {InputButton2, GLFW_KEY_RIGHT_CONTROL},
    {InputButton3, GLFW_KEY_LEFT_ALT},     {InputButton3, GLFW_KEY_RIGHT_ALT},
    {InputButton4, GLFW_KEY_LEFT_SHIFT},   {InputButton4, GLFW_KEY_RIGHT_SHIFT},
    {InputStart, GLFW_KEY_ESCAPE},    {InputBack, GLFW_KEY_BACKSPACE},
};

// Pad defaults as pad entries (GLFW's numbering of an XInput pad): the d-pad, the four face
// buttons, the shoulders, start and back.
constexpr Binding PadBindings[] = {
    {InputUp, 10},          {InputRight, 11},        {InputDown, 12},    {InputLeft, 13},
    {InputButton1, 0},      {InputButton2, 1},       {InputButton3, 2},  {InputButton4, 3},
    {InputLeftShoulder, 4}, {InputRightShoulder, 5}, {InputStart, 7},    {InputBack, 6},
};

}  // namespace

void MyGame::KeyDefaults() {
    for (const Binding& b : KeyBindings) SetKey(b.input, b.code);
    for (int pad = 0; pad < PadCount; ++pad) {
        const int base = (pad + PadCodeFirstPad) * PadCodeStride;
        for (const Binding& b : PadBindings) SetKey(b.input, base + b.code);
    }
}
