// The backend object ASys, its start-up (GLFW, window, OpenGL context, OpenAL device), the
// window (re)creation, the numbered log, the formatting buffer, the key-name table and the
// shutdown.
#include "Vorn_glfw3.h"

#include <GLFW/glfw3.h>
#include <AL/al.h>
#include <AL/alc.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

VornSys ASys;

GLFWwindow* window = nullptr;
int isFullscreen = 0;
char GameTitleSys[1024];
std::vector<unsigned char> WhiteBlock;
char TempstrSys[1024];
int DebugMessages = 0;
std::string KeyName[KeyNames];

namespace {

constexpr int WhiteBlockBytes = WhiteBlockSide * WhiteBlockSide * 4;
constexpr int SourceCount = 32;            // 31 effect sources and the music source
constexpr int ContextMajor = 2, ContextMinor = 0;  // an OpenGL 2.0 (compatibility) context
constexpr int TempstrSysClear = 1023;      // bytes of TempstrSys zeroed before formatting

// Keys whose name is the character they type.
constexpr const char* CharacterKeys = "',-./0123456789;=ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]`";

struct NamedRun {
    int first;                              // key code of the first name
    std::initializer_list<const char*> names;
};

void BuildKeyNames() {
    for (std::string& name : KeyName) name = "???";
    KeyName[GLFW_KEY_SPACE] = "Space";
    for (const char* c = CharacterKeys; *c; ++c) KeyName[static_cast<unsigned char>(*c)] = std::string(1, *c);
    const NamedRun runs[] = {
        {GLFW_KEY_ESCAPE, {"Escape", "Return", "Tab", "Backspace", "Insert", "Delete", "Right", "Left", "Down",
                           "Up", "Page Up", "Page Down", "Home", "End"}},
        {GLFW_KEY_CAPS_LOCK, {"Caps Lock", "Scroll Lock", "Num Lock", "Print Screen", "Pause"}},
        {GLFW_KEY_KP_DECIMAL, {"Num .", "Num /", "Num *", "Num -", "Num +", "Num Enter", "Num ="}},
        {GLFW_KEY_LEFT_SHIFT, {"Left Shift", "Left Ctrl", "Left Alt", "Left Super", "Right Shift", "Right Ctrl",
                               "Right Alt", "Right Super", "Menu"}},
    };
    for (const NamedRun& run : runs) {
        int code = run.first;
        for (const char* name : run.names) KeyName[code++] = name;
    }
    for (int f = GLFW_KEY_F1; f <= GLFW_KEY_F25; ++f) KeyName[f] = "F" + std::to_string(f - GLFW_KEY_F1 + 1);
    for (int n = GLFW_KEY_KP_0; n <= GLFW_KEY_KP_9; ++n) KeyName[n] = "Num " + std::to_string(n - GLFW_KEY_KP_0);
}

// Opens the default OpenAL device and context with the sources, the music buffers and the
// listener; each failure is logged and leaves the rest of the audio unset.
void OpenAudio() {
    ALctx = nullptr;
    ALdev = alcOpenDevice(nullptr);
    if (!ALdev) {
        ASys.Debuglog("Audio Device Error");
        return;
    }
    ALctx = alcCreateContext(ALdev, nullptr);
    alcMakeContextCurrent(ALctx);
    if (!ALctx) {
        ASys.Debuglog("Audio Context Issue");
        return;
    }
    ASys.Debuglog("OpenAL Audio Engaged!");
    alGenSources(SourceCount, ALsource);
    for (unsigned int& buffer : MusicBuffer) alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) ASys.Debuglog("Error with Audio Buffers");
    const ALfloat orientation[6] = {0, 0, 1, 0, 1, 0};  // "at", then "up"
    alListener3f(AL_POSITION, 0, 0, 1);
    alListener3f(AL_VELOCITY, 0, 0, 0);
    alListenerfv(AL_ORIENTATION, orientation);
}

}  // namespace

void error_callback(int, const char* description) { std::fprintf(stderr, "Error: %s\n", description ? description : ""); }

void VornSys::SysInit(const char* title) {
    std::snprintf(GameTitleSys, sizeof GameTitleSys, "%s", title ? title : "");
    FlushKeys();
    VirtualWidth = StartVirtualWidth;
    ImageZoom = 1;
    if (!glfwInit()) Debuglog("Initialisation Failed");
    glfwSetErrorCallback(error_callback);
    WhiteBlock.assign(WhiteBlockBytes, 255);
    std::memset(Button, 0, sizeof Button);
    std::memset(Touch, 0, sizeof Touch);
    for (int slot = 0; slot < ImageSlotsDrawn; ++slot) iFrames[slot] = -1;
    std::memset(Joy, 0, sizeof Joy);
    isFullscreen = 0;
    SetScreen(StartWindowWidth, StartWindowHeight);
    OpenAudio();
    SetScreen(WindowWidth, WindowHeight);
    BuildKeyNames();
}

void VornSys::SetScreen(int width, int height) {
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, ContextMajor);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, ContextMinor);
    // The textures go with the old context; the renderer makes them again in the new one.
    ForgetTextures();
    if (window) glfwDestroyWindow(window);
    window = nullptr;
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (isFullscreen == 1 && mode) {
        window = glfwCreateWindow(mode->width, mode->height, GameTitleSys, monitor, nullptr);
        if (window) Debuglog("Opened Fullscreen");
    } else {
        // Windowed, centred on the primary monitor (also the fallback when no monitor is known).
        window = glfwCreateWindow(width, height, GameTitleSys, nullptr, nullptr);
        if (window && mode) glfwSetWindowPos(window, mode->width / 2 - width / 2, mode->height / 2 - height / 2);
        if (window) Debuglog("Opened Window");
    }
    CanvasWidth = width;
    CanvasHeight = height;
    if (!window) {
        // Without a window the renderer and the poll skip every call that needs one.
        Debuglog("ERRORRZ");
        return;
    }
    glfwMakeContextCurrent(window);
    glViewport(0, 0, CanvasWidth, CanvasHeight);
    glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, 0);
    glfwSetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS, 0);
}

void VornSys::FlipFull() {
    isFullscreen = 1 - isFullscreen;
    SetScreen(WindowWidth, WindowHeight);
}

void VornSys::HiResRender() { glfwMakeContextCurrent(window); }

void VornSys::Force1920() {}

void VornSys::Close() {
    Debuglog("Closing OpenAL Audio");
    StopMusicSys();   // the music stream ends first: source emptied, decoder and file closed
    for (int slot = 0; slot < SoundSlots; ++slot) {
        if (ALbufferActive[slot] != 1) continue;
        alDeleteBuffers(1, &ALbuffer[slot]);
        ALbufferActive[slot] = 0;
    }
    alcMakeContextCurrent(nullptr);
    if (ALctx) alcDestroyContext(ALctx);
    if (ALdev) alcCloseDevice(ALdev);
    ALctx = nullptr;
    ALdev = nullptr;
    Debuglog("Closing OpenGL Window");
    // Deleted while their context is still current; without a window there is only the record.
    if (window)
        DeleteTextures();
    else
        ForgetTextures();
    if (window) glfwDestroyWindow(window);
    window = nullptr;
    glfwTerminate();
}

char* VornSys::fstrSys(const char* format, ...) {
    std::memset(TempstrSys, 0, TempstrSysClear);
    va_list args;
    va_start(args, format);
    std::vsnprintf(TempstrSys, sizeof TempstrSys, format, args);
    va_end(args);
    return TempstrSys;
}

void VornSys::Debuglog(const char* text) {
    ++DebugMessages;
    std::printf("% 8i> %s\n", DebugMessages, text ? text : "");
    std::fflush(stdout);
}
