// Backend start-up, window (re)creation, shutdown, the numbered log, the formatting buffer,
// the key names and the GLFW error callback, through the GLFW, GL and OpenAL fakes.
#include <AL/al.h>
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Vorn_glfw3.h"
#include "fakes.h"

namespace {

// Runs f and returns what it printed on standard output.
template <typename F>
std::string Logged(F f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        window = nullptr;
        isFullscreen = 0;
        ALdev = nullptr;
        ALctx = nullptr;
        for (int s = 0; s < SoundSlots; ++s) ALbufferActive[s] = 0;
    }
    void TearDown() override { window = nullptr; }

    // Runs SysInit and returns what it printed.
    std::string Init(const char* title = "Brindlewick") {
        return Logged([&] { ASys.SysInit(title); });
    }
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

bool HasLine(const std::string& log, const std::string& text) { return log.find("> " + text + "\n") != std::string::npos; }

}  // namespace

TEST_F(Window, SysInitOpensASmallWindowThenTheRealOneWithAudio) {
    ASys.Button[FlagQuit] = 1;
    ASys.Touch[5] = 3;
    ASys.Joy[7] = 2;
    const std::string log = Init("Brindlewick");
    EXPECT_STREQ(GameTitleSys, "Brindlewick");
    EXPECT_TRUE(FakeGlfw.initialised);
    EXPECT_NE(FakeGlfw.errorCallback, nullptr);
    ASSERT_EQ(FakeGlfw.windows.size(), 2u);
    EXPECT_EQ(FakeGlfw.windows[0].width, 256);
    EXPECT_EQ(FakeGlfw.windows[0].height, 128);
    EXPECT_TRUE(FakeGlfw.windows[0].destroyed);
    EXPECT_EQ(FakeGlfw.windows[1].width, 800);
    EXPECT_EQ(FakeGlfw.windows[1].height, 600);
    EXPECT_EQ(FakeGlfw.windows[1].title, "Brindlewick");
    EXPECT_FALSE(FakeGlfw.windows[1].destroyed);
    EXPECT_EQ(FakeGlfw.current, 1);
    EXPECT_EQ(Count(log, "> Opened Window\n"), 2);
    // Audio comes between the two windows.
    EXPECT_LT(log.find("Opened Window"), log.find("OpenAL Audio Engaged!"));
    EXPECT_LT(log.find("OpenAL Audio Engaged!"), log.rfind("Opened Window"));
    EXPECT_EQ(FakeAl.sourceOrder.size(), 32u);
    EXPECT_EQ(FakeAl.buffers.size(), 4u);
    EXPECT_TRUE(FakeAl.contextCurrent);
    const float position[3] = {0, 0, 1}, orientation[6] = {0, 0, 1, 0, 1, 0};
    EXPECT_TRUE(std::equal(position, position + 3, FakeAl.listenerPosition));
    EXPECT_TRUE(std::equal(orientation, orientation + 6, FakeAl.listenerOrientation));
    // The start-up state of the backend.
    EXPECT_EQ(ASys.VirtualWidth, 800);
    EXPECT_EQ(ASys.ImageZoom, 1);
    EXPECT_EQ(WhiteBlock, std::vector<unsigned char>(256, 255));
    EXPECT_EQ(ASys.Button[FlagQuit], 0);
    EXPECT_EQ(ASys.Touch[5], 0);
    EXPECT_EQ(ASys.Joy[7], 0);
    EXPECT_EQ(ASys.iFrames[0], -1);
    EXPECT_EQ(ASys.iFrames[99], -1);
    EXPECT_EQ(ASys.CanvasWidth, 800);
    EXPECT_EQ(ASys.CanvasHeight, 600);
    EXPECT_EQ(KeyName[GLFW_KEY_A], "A");
}

TEST_F(Window, SysInitCarriesOnThroughEachAudioFailure) {
    struct Case {
        const char* name;
        bool deviceFails, contextFails;
        int error;
        const char* line;
        size_t sources;
    } cases[] = {
        {"no device", true, false, 0, "Audio Device Error", 0},
        {"no context", false, true, 0, "Audio Context Issue", 0},
        {"buffer error", false, false, AL_INVALID_VALUE, "Error with Audio Buffers", 32},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeAl.deviceFails = c.deviceFails;
        FakeAl.contextFails = c.contextFails;
        FakeAl.pendingError = c.error;
        const std::string log = Init();
        EXPECT_TRUE(HasLine(log, c.line)) << c.name << "\n" << log;
        EXPECT_EQ(FakeAl.sourceOrder.size(), c.sources) << c.name;
        EXPECT_EQ(c.error != 0, HasLine(log, "OpenAL Audio Engaged!")) << c.name;
        // The real window still opens.
        const int live = FakeGlfwLiveWindow();
        ASSERT_GE(live, 0) << c.name;
        EXPECT_EQ(FakeGlfw.windows[live].width, 800) << c.name;
        EXPECT_EQ(FakeGlfw.windows[live].height, 600) << c.name;
        EXPECT_EQ(Count(log, "> Opened Window\n"), 2) << c.name;
    }
}

TEST_F(Window, SysInitLogsAFailedGlfwStartAndCarriesOn) {
    FakeGlfw.initFails = true;
    const std::string log = Init();
    EXPECT_TRUE(HasLine(log, "Initialisation Failed"));
    EXPECT_LT(log.find("Initialisation Failed"), log.find("Opened Window"));
    EXPECT_EQ(KeyName[GLFW_KEY_SPACE], "Space");
}

TEST_F(Window, FailedWindowLogsErrorrzAndLeavesNothingToCrashOn) {
    FakeGlfw.createFails = true;
    const std::string log = Init();
    EXPECT_EQ(Count(log, "> ERRORRZ\n"), 2);
    EXPECT_EQ(Count(log, "Opened Window"), 0);
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(FakeGlfw.inputModes.empty());
    EXPECT_TRUE(FakeGl.viewports.empty());
    // The renderer has nothing to draw on and leaves the libraries alone.
    ASys.RenderSys(0);
    EXPECT_EQ(FakeGlfw.swaps, 0);
    EXPECT_EQ(FakeGl.clears, 0);
    // Shutdown still works.
    Logged([] { ASys.Close(); });
    EXPECT_TRUE(FakeGlfw.terminated);
}

TEST_F(Window, SetScreenAsksForAnOpenGl2ContextAndPollableInput) {
    const std::string log = Logged([] { ASys.SetScreen(640, 480); });
    EXPECT_TRUE(HasLine(log, "Opened Window"));
    const std::vector<std::pair<int, int>> hints = {{GLFW_CONTEXT_VERSION_MAJOR, 2}, {GLFW_CONTEXT_VERSION_MINOR, 0}};
    EXPECT_EQ(FakeGlfw.hints, hints);  // no profile hint: 2.0 comes as a compatibility context
    const std::vector<std::pair<int, int>> modes = {
        {GLFW_CURSOR, GLFW_CURSOR_NORMAL}, {GLFW_STICKY_KEYS, 0}, {GLFW_STICKY_MOUSE_BUTTONS, 0}};
    EXPECT_EQ(FakeGlfw.inputModes, modes);
    EXPECT_EQ(FakeGl.viewports.back(), (std::vector<int>{0, 0, 640, 480}));
    EXPECT_EQ(FakeGlfw.current, FakeGlfwLiveWindow());
}

TEST_F(Window, WindowsAreCentredOnThePrimaryMonitor) {
    struct Case {
        int monitorW, monitorH, width, height, x, y;
    } cases[] = {{1920, 1080, 800, 600, 560, 240}, {1280, 1024, 801, 601, 240, 212}, {1920, 1080, 256, 128, 832, 476}};
    for (const Case& c : cases) {
        SetUp();
        FakeGlfw.monitorWidth = c.monitorW;
        FakeGlfw.monitorHeight = c.monitorH;
        Logged([&] { ASys.SetScreen(c.width, c.height); });
        const FakeWindowRecord& w = FakeGlfw.windows.at(FakeGlfwLiveWindow());
        EXPECT_EQ(w.posX, c.x) << c.width;
        EXPECT_EQ(w.posY, c.y) << c.width;
        EXPECT_FALSE(w.fullscreen);
    }
}

TEST_F(Window, FlipFullTwiceReturnsToACentredWindow) {
    const std::string fullLog = Logged([] {
        ASys.SetScreen(1000, 700);
        ASys.FlipFull();
    });
    EXPECT_EQ(isFullscreen, 1);
    EXPECT_TRUE(HasLine(fullLog, "Opened Fullscreen"));
    const FakeWindowRecord& full = FakeGlfw.windows.at(FakeGlfwLiveWindow());
    EXPECT_TRUE(full.fullscreen);
    EXPECT_EQ(full.width, 1920);
    EXPECT_EQ(full.height, 1080);
    // The requested size stands until a render reads the framebuffer.
    EXPECT_EQ(ASys.CanvasWidth, 800);
    EXPECT_EQ(ASys.CanvasHeight, 600);
    ASys.RenderSys(0);
    EXPECT_EQ(ASys.CanvasWidth, 1920);
    EXPECT_EQ(ASys.CanvasHeight, 1080);

    Logged([] { ASys.FlipFull(); });
    EXPECT_EQ(isFullscreen, 0);
    EXPECT_EQ(std::count_if(FakeGlfw.windows.begin(), FakeGlfw.windows.end(),
                            [](const FakeWindowRecord& w) { return !w.destroyed; }),
              1);
    const FakeWindowRecord& back = FakeGlfw.windows.at(FakeGlfwLiveWindow());
    EXPECT_FALSE(back.fullscreen);
    EXPECT_EQ(back.width, 800);
    EXPECT_EQ(back.height, 600);
    EXPECT_EQ(back.posX, 560);
    EXPECT_EQ(back.posY, 240);
}

TEST_F(Window, CloseReleasesAudioThenWindowAndGlfw) {
    Init();
    unsigned int names[2];
    alGenBuffers(2, names);
    ALbuffer[3] = names[0];
    ALbufferActive[3] = 1;
    ALbuffer[104] = names[1];
    ALbufferActive[104] = 1;
    const std::string log = Logged([] { ASys.Close(); });
    EXPECT_TRUE(FakeAl.buffers[names[0]].deleted);
    EXPECT_TRUE(FakeAl.buffers[names[1]].deleted);
    EXPECT_EQ(ALbufferActive[3], 0);
    EXPECT_EQ(ALbufferActive[104], 0);
    EXPECT_FALSE(FakeAl.contextCurrent);
    EXPECT_TRUE(FakeAl.contextDestroyed);
    EXPECT_TRUE(FakeAl.deviceClosed);
    EXPECT_EQ(FakeGlfwLiveWindow(), -1);
    EXPECT_TRUE(FakeGlfw.terminated);
    EXPECT_LT(log.find("> Closing OpenAL Audio\n"), log.find("> Closing OpenGL Window\n"));
    EXPECT_NE(log.find("> Closing OpenGL Window\n"), std::string::npos);
}

TEST_F(Window, CloseWithoutAudioDeviceStillClosesTheWindow) {
    FakeAl.deviceFails = true;
    Init();
    Logged([] { ASys.Close(); });
    EXPECT_FALSE(FakeAl.contextDestroyed);
    EXPECT_FALSE(FakeAl.deviceClosed);
    EXPECT_EQ(FakeGlfwLiveWindow(), -1);
    EXPECT_TRUE(FakeGlfw.terminated);
}

TEST_F(Window, KeyNamesCoverThePrintableKeys) {
    Init();
    struct Case {
        int code;
        const char* name;
    } cases[] = {
        {32, "Space"}, {39, "'"}, {44, ","}, {45, "-"}, {46, "."}, {47, "/"}, {48, "0"}, {57, "9"}, {59, ";"},
        {61, "="}, {65, "A"}, {90, "Z"}, {91, "["}, {92, "\\"}, {93, "]"}, {96, "`"},
        {256, "Escape"}, {257, "Return"}, {262, "Right"}, {265, "Up"}, {266, "Page Up"}, {269, "End"},
        {280, "Caps Lock"}, {283, "Print Screen"}, {284, "Pause"}, {290, "F1"}, {299, "F10"}, {314, "F25"},
        {320, "Num 0"}, {329, "Num 9"}, {330, "Num ."}, {335, "Num Enter"}, {336, "Num ="},
        {340, "Left Shift"}, {343, "Left Super"}, {346, "Right Alt"}, {348, "Menu"},
        // Codes without a name.
        {0, "???"}, {31, "???"}, {58, "???"}, {60, "???"}, {97, "???"}, {161, "???"}, {162, "???"},
        {270, "???"}, {285, "???"}, {315, "???"}, {337, "???"}, {349, "???"},
    };
    for (const Case& c : cases) EXPECT_EQ(KeyName[c.code], c.name) << c.code;
}

TEST_F(Window, LogLinesAreNumberedInAnEightCharacterField) {
    struct Case {
        int before;
        const char* text;
        const char* line;
    } cases[] = {
        {0, "first", "       1> first\n"},
        {11, "Load Settings", "      12> Load Settings\n"},
        {12345677, "x", " 12345678> x\n"},
        {123456788, "y", " 123456789> y\n"},
        {5, "", "       6> \n"},
    };
    for (const Case& c : cases) {
        DebugMessages = c.before;
        EXPECT_EQ(Logged([&] { ASys.Debuglog(c.text); }), c.line);
        EXPECT_EQ(DebugMessages, c.before + 1);
    }
}

TEST_F(Window, FstrSysFormatsIntoTheSharedBufferWithinItsSize) {
    char* out = ASys.fstrSys("Missing Image %i", 7);
    EXPECT_EQ(out, TempstrSys);
    EXPECT_STREQ(out, "Missing Image 7");
    // A shorter text leaves no tail of the longer one.
    ASys.fstrSys("%s", "ab");
    EXPECT_STREQ(TempstrSys, "ab");
    EXPECT_EQ(TempstrSys[5], 0);
    // Overlong results are cut at 1,023 characters.
    const std::string longText(5000, 'q');
    ASys.fstrSys("%s%s", longText.c_str(), "tail");
    EXPECT_EQ(std::strlen(TempstrSys), 1023u);
    EXPECT_EQ(TempstrSys[1022], 'q');
}

TEST_F(Window, ErrorCallbackPrintsToStandardError) {
    testing::internal::CaptureStderr();
    error_callback(65544, "X11: Failed to open display");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: X11: Failed to open display\n");
}
