// Shared fixture of the game-screen tests: ThisGame started on the fakes as launch starts it
// (without reading files; loading done), a test clock the test moves by hand, an 800 x 600
// screen, a scratch home folder per test, and helpers to hold keys, move and press the
// mouse, run updates and read the draw records of the last update.
#pragma once

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "MyGame.h"
#include "fakes.h"
#include "launch_defaults.h"

// Puts a test's clock and idle sleep in place of the framework's for as long as it lives, and
// keeps the ones it replaced. A sleep until a clock value becomes the test's sleep for the
// milliseconds left until it.
struct HeldClock {
    HeldClock(long long (*clock)(), void (*sleep)(int))
        : savedClock(SysClockSource), savedSleep(RestSource), savedUntil(RestUntilSource), savedHeld(held) {
        SysClockSource = clock;
        RestSource = sleep;
        RestUntilSource = SleepUntil;
        held = sleep;
    }
    ~HeldClock() {
        SysClockSource = savedClock;
        RestSource = savedSleep;
        RestUntilSource = savedUntil;
        held = savedHeld;
    }
    HeldClock(const HeldClock&) = delete;
    HeldClock& operator=(const HeldClock&) = delete;
    long long (*const savedClock)();
    void (*const savedSleep)(int);
    void (*const savedUntil)(long long);
    void (*const savedHeld)(int);

private:
    static inline void (*held)(int) = nullptr;
    static void SleepUntil(long long clockMs) { held(static_cast<int>(clockMs - SysClockMs())); }
};

class GameScreen : public ::testing::Test {
protected:
    static inline long long Now = 0;
    static long long TestClock() { return Now; }
    static void TestSleep(int ms) { Now += ms; }

    MyGame& G = ThisGame;

    void SetUp() override {
        ResetFakes();
        Now = 100000;
        ClearBindings();   // those an earlier test left; a launch starts with none
        G.ScreenWidth = 800;   // before the start, whose FlushGame scatters the motes over it
        G.ScreenHeight = 600;
        testing::internal::CaptureStdout();
        G.StartUp(false);
        testing::internal::GetCapturedStdout();
        UseScratchHome();
        G.LoadTo = 0;   // the screens run as after the loader
        G.UpdateTime = 0;
        ASys.DrawTo = 0;
        DrawToRT = 0;
        ASys.iFrames[ASys.FontImage] = 96;   // a font in the slot, so text is drawn
    }
    void TearDown() override {
        ASys.DrawTo = 0;
        ASys.iFrames[ASys.FontImage] = -1;
    }

    // A fresh home folder of this test's own, so the files a screen saves land there and
    // tests running side by side never share them.
    void UseScratchHome() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        home = std::filesystem::path(BRINDLEWICK_TEST_TMP) / "screens" /
               (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home);
        std::snprintf(G.home, sizeof G.home, "%s", home.c_str());
    }
    std::filesystem::path home;

    // The options and bindings of a launch before the settings are read.
    void LaunchDefaults() { InstallLaunchDefaults(G); }

    // Input as the next poll sees it.
    void Hold(int glfwKey, bool down = true) { FakeGlfw.keys[glfwKey] = down; }
    void ReleaseAll() {
        std::memset(FakeGlfw.keys, 0, sizeof FakeGlfw.keys);
        std::memset(FakeGlfw.mouseButtons, 0, sizeof FakeGlfw.mouseButtons);
    }
    // The mouse at a virtual-screen position (the window is 800 x 600, one pixel a unit).
    void MouseAt(double x, double y) {
        FakeGlfw.cursorX = x;
        FakeGlfw.cursorY = y;
    }
    void MouseButton(bool down) { FakeGlfw.mouseButtons[GLFW_MOUSE_BUTTON_LEFT] = down; }

    // One update of the game, 16 ms after the previous one; the records it drew are in DrawR.
    void Step(int ms = 16) {
        Now += ms;
        G.Update();
    }
    // Updates until the condition holds or the count runs out; tells whether it held.
    template <class F> bool StepUntil(F done, int maxUpdates = 600) {
        for (int i = 0; i < maxUpdates; i++) {
            if (done()) return true;
            Step();
        }
        return done();
    }
    // Holds a key for a few updates, then lets it go for a few, as a player taps it.
    void Tap(int glfwKey, int held = 3, int released = 3) {
        Hold(glfwKey);
        for (int i = 0; i < held; i++) Step();
        Hold(glfwKey, false);
        for (int i = 0; i < released; i++) Step();
    }

    // The records of the last update's draw list (handed to the renderer by BufferGame).
    int RecordCount() const { return DrawToRT; }
    const double* Record(int i) const { return DrawR + i * DrawFields; }
    // The text of every glyph record drawn from the font slot, in drawing order.
    std::string DrawnText() const {
        std::string s;
        for (int i = 0; i < DrawToRT; i++) {
            const double* rec = Record(i);
            if (rec[FieldCode] == CmdImage && rec[FieldSlot] == ASys.FontImage)
                s += static_cast<char>(rec[FieldFrame] + FontFirstChar);
        }
        return s;
    }
    bool Drew(const std::string& text) const { return DrawnText().find(text) != std::string::npos; }
    // One drawn line of text: glyph records that follow each other at the same y, with the
    // screen position of its first glyph and that glyph's colour A (alpha 0..255 first).
    struct DrawnLine {
        std::string text;
        double x, y;
        double alpha, red, green, blue;
    };
    std::vector<DrawnLine> TextLines() const {
        std::vector<DrawnLine> lines;
        bool open = false;
        for (int i = 0; i < DrawToRT; i++) {
            const double* rec = Record(i);
            if (rec[FieldCode] != CmdImage || rec[FieldSlot] != ASys.FontImage) { open = false; continue; }
            const double y = rec[FieldY] + rh2;
            if (!open || lines.back().y != y) {
                const double* c = rec + FieldColourA;
                lines.push_back({"", rec[FieldX] + rw2, y, c[0], c[1], c[2], c[3]});
                open = true;
            }
            lines.back().text += static_cast<char>(rec[FieldFrame] + FontFirstChar);
        }
        return lines;
    }

private:
    HeldClock heldClock{TestClock, TestSleep};
};
