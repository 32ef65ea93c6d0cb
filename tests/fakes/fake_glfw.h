// Recording stand-in for GLFW: the state a test sets (time, keys, mouse, focus, joysticks,
// framebuffer and monitor sizes) and the calls the backend made (windows, hints, swaps).
#pragma once

#include <string>
#include <vector>

struct FakeWindowRecord {
    int width, height;
    bool fullscreen;
    std::string title;
    bool destroyed;
    int posX, posY;
};

struct FakeJoystick {
    bool present = false;
    std::string name = "Fake Pad";
    std::vector<float> axes;
    std::vector<unsigned char> buttons;
};

struct FakeGlfwState {
    // Set by tests.
    bool initFails = false;
    bool createFails = false;
    double time = 0;                 // glfwGetTime
    int monitorWidth = 1920, monitorHeight = 1080;
    int framebufferWidth = -1, framebufferHeight = -1;  // -1: the window's own size
    int windowWidth = -1, windowHeight = -1;            // -1: the window's own size
    bool keys[512] = {};             // GLFW key codes 0..348
    bool mouseButtons[8] = {};
    double cursorX = 0, cursorY = 0;
    bool focused = true;
    bool shouldClose = false;
    FakeJoystick joysticks[16];

    // Recorded.
    std::vector<FakeWindowRecord> windows;   // every window created, in order
    int current = -1;                        // index of the window made current
    std::vector<std::pair<int, int>> hints;
    int swapInterval = -1;
    int swaps = 0;
    int polls = 0;
    bool initialised = false;
    bool terminated = false;
    void (*errorCallback)(int, const char*) = nullptr;
    std::vector<std::pair<int, int>> inputModes;
    int cursorSets = 0;                      // glfwSetCursorPos calls (they move cursorX/Y)
};

extern FakeGlfwState FakeGlfw;

// Index of the live window in FakeGlfw.windows, or -1.
int FakeGlfwLiveWindow();
