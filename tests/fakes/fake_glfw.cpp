// Recording stand-in for GLFW: implements the GLFW functions the backend calls on top of
// FakeGlfw, a plain state block a test sets and reads.
#include "fake_glfw.h"

#include <GLFW/glfw3.h>

#include <cstdint>

FakeGlfwState FakeGlfw;

namespace {
// Window handles are 1 + the index of the record, cast to a pointer.
GLFWwindow* HandleOf(int index) { return reinterpret_cast<GLFWwindow*>(static_cast<intptr_t>(index + 1)); }
int IndexOf(GLFWwindow* w) { return static_cast<int>(reinterpret_cast<intptr_t>(w)) - 1; }
bool Valid(GLFWwindow* w) {
    int i = IndexOf(w);
    return i >= 0 && i < static_cast<int>(FakeGlfw.windows.size()) && !FakeGlfw.windows[i].destroyed;
}
GLFWmonitor* const FakeMonitor = reinterpret_cast<GLFWmonitor*>(static_cast<intptr_t>(0x100));
GLFWvidmode FakeMode;
}  // namespace

int FakeGlfwLiveWindow() {
    for (int i = static_cast<int>(FakeGlfw.windows.size()) - 1; i >= 0; --i)
        if (!FakeGlfw.windows[i].destroyed) return i;
    return -1;
}

extern "C" {

int glfwInit(void) {
    if (FakeGlfw.initFails) return GLFW_FALSE;
    FakeGlfw.initialised = true;
    return GLFW_TRUE;
}
void glfwTerminate(void) { FakeGlfw.terminated = true; }
GLFWerrorfun glfwSetErrorCallback(GLFWerrorfun cb) {
    GLFWerrorfun old = FakeGlfw.errorCallback;
    FakeGlfw.errorCallback = cb;
    return old;
}
double glfwGetTime(void) { return FakeGlfw.time; }
void glfwWindowHint(int hint, int value) { FakeGlfw.hints.push_back({hint, value}); }

GLFWwindow* glfwCreateWindow(int width, int height, const char* title, GLFWmonitor* monitor, GLFWwindow*) {
    if (FakeGlfw.createFails) return nullptr;
    FakeGlfw.windows.push_back({width, height, monitor != nullptr, title ? title : "", false, 0, 0});
    return HandleOf(static_cast<int>(FakeGlfw.windows.size()) - 1);
}
void glfwDestroyWindow(GLFWwindow* w) {
    if (Valid(w)) FakeGlfw.windows[IndexOf(w)].destroyed = true;
}
void glfwSetWindowPos(GLFWwindow* w, int x, int y) {
    if (Valid(w)) {
        FakeGlfw.windows[IndexOf(w)].posX = x;
        FakeGlfw.windows[IndexOf(w)].posY = y;
    }
}
void glfwMakeContextCurrent(GLFWwindow* w) { FakeGlfw.current = w ? IndexOf(w) : -1; }
GLFWwindow* glfwGetCurrentContext(void) { return FakeGlfw.current >= 0 ? HandleOf(FakeGlfw.current) : nullptr; }
void glfwSwapInterval(int interval) { FakeGlfw.swapInterval = interval; }
void glfwSwapBuffers(GLFWwindow*) { FakeGlfw.swaps++; }
void glfwPollEvents(void) { FakeGlfw.polls++; }
void glfwSetInputMode(GLFWwindow*, int mode, int value) { FakeGlfw.inputModes.push_back({mode, value}); }
int glfwWindowShouldClose(GLFWwindow*) { return FakeGlfw.shouldClose ? GLFW_TRUE : GLFW_FALSE; }
void glfwSetWindowShouldClose(GLFWwindow*, int value) { FakeGlfw.shouldClose = value != 0; }

void glfwGetFramebufferSize(GLFWwindow* w, int* width, int* height) {
    int fw = FakeGlfw.framebufferWidth, fh = FakeGlfw.framebufferHeight;
    if (Valid(w)) {
        const FakeWindowRecord& r = FakeGlfw.windows[IndexOf(w)];
        if (fw < 0) fw = r.fullscreen ? FakeGlfw.monitorWidth : r.width;
        if (fh < 0) fh = r.fullscreen ? FakeGlfw.monitorHeight : r.height;
    }
    if (width) *width = fw < 0 ? 0 : fw;
    if (height) *height = fh < 0 ? 0 : fh;
}
void glfwGetWindowSize(GLFWwindow* w, int* width, int* height) {
    int ww = FakeGlfw.windowWidth, wh = FakeGlfw.windowHeight;
    if (Valid(w)) {
        const FakeWindowRecord& r = FakeGlfw.windows[IndexOf(w)];
        if (ww < 0) ww = r.fullscreen ? FakeGlfw.monitorWidth : r.width;
        if (wh < 0) wh = r.fullscreen ? FakeGlfw.monitorHeight : r.height;
    }
    if (width) *width = ww < 0 ? 0 : ww;
    if (height) *height = wh < 0 ? 0 : wh;
}
int glfwGetWindowAttrib(GLFWwindow*, int attrib) {
    if (attrib == GLFW_FOCUSED) return FakeGlfw.focused ? GLFW_TRUE : GLFW_FALSE;
    return 0;
}

GLFWmonitor* glfwGetPrimaryMonitor(void) { return FakeMonitor; }
const GLFWvidmode* glfwGetVideoMode(GLFWmonitor*) {
    FakeMode.width = FakeGlfw.monitorWidth;
    FakeMode.height = FakeGlfw.monitorHeight;
    FakeMode.redBits = FakeMode.greenBits = FakeMode.blueBits = 8;
    FakeMode.refreshRate = 60;
    return &FakeMode;
}

int glfwGetKey(GLFWwindow*, int key) {
    return key >= 0 && key < 512 && FakeGlfw.keys[key] ? GLFW_PRESS : GLFW_RELEASE;
}
int glfwGetMouseButton(GLFWwindow*, int button) {
    return button >= 0 && button < 8 && FakeGlfw.mouseButtons[button] ? GLFW_PRESS : GLFW_RELEASE;
}
void glfwGetCursorPos(GLFWwindow*, double* x, double* y) {
    if (x) *x = FakeGlfw.cursorX;
    if (y) *y = FakeGlfw.cursorY;
}

void glfwSetCursorPos(GLFWwindow*, double x, double y) {
    FakeGlfw.cursorX = x;
    FakeGlfw.cursorY = y;
    FakeGlfw.cursorSets++;
}

int glfwJoystickPresent(int jid) {
    return jid >= 0 && jid < 16 && FakeGlfw.joysticks[jid].present ? GLFW_TRUE : GLFW_FALSE;
}
const char* glfwGetJoystickName(int jid) {
    if (!glfwJoystickPresent(jid)) return nullptr;
    return FakeGlfw.joysticks[jid].name.c_str();
}
const float* glfwGetJoystickAxes(int jid, int* count) {
    if (!glfwJoystickPresent(jid)) {
        if (count) *count = 0;
        return nullptr;
    }
    if (count) *count = static_cast<int>(FakeGlfw.joysticks[jid].axes.size());
    return FakeGlfw.joysticks[jid].axes.data();
}
const unsigned char* glfwGetJoystickButtons(int jid, int* count) {
    if (!glfwJoystickPresent(jid)) {
        if (count) *count = 0;
        return nullptr;
    }
    if (count) *count = static_cast<int>(FakeGlfw.joysticks[jid].buttons.size());
    return FakeGlfw.joysticks[jid].buttons.data();
}

}  // extern "C"
