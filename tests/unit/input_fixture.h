// Shared set-up of the input tests: fresh fakes, a live fake window, empty input tables and
// an 800-unit virtual screen on an 800 x 600 window centred at (400, 300).
#pragma once

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstring>

#include "VornCore.h"
#include "fakes.h"

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFakes();
        window = glfwCreateWindow(800, 600, "input", nullptr, nullptr);
        std::memset(ASys.Button, 0, sizeof ASys.Button);
        std::memset(ASys.Touch, 0, sizeof ASys.Touch);
        std::memset(ASys.Joy, 0, sizeof ASys.Joy);
        std::memset(ASys.redef, 0, sizeof ASys.redef);
        std::memset(ASys.Keyv, 0, sizeof ASys.Keyv);
        std::memset(ignorePress, 0, sizeof ignorePress);
        ASys.VirtualWidth = 800;
        ASys.CanvasWidth = 800;
        ASys.CanvasHeight = 600;
        ASys.offx = 400;
        ASys.offy = 300;
    }
    void TearDown() override { window = nullptr; }

    // A connected pad with four centred axes and twelve released buttons, made ready by one
    // poll.
    void ReadyPad(int pad) {
        FakeGlfw.joysticks[pad].present = true;
        FakeGlfw.joysticks[pad].axes.assign(4, 0.0f);
        FakeGlfw.joysticks[pad].buttons.assign(14, GLFW_RELEASE);
        testing::internal::CaptureStdout();   // the "Controller ID" lines
        ASys.PollInputB(0);
        testing::internal::GetCapturedStdout();
    }
    float& PadEntry(int pad, int n) { return ASys.Joy[pad * PadFields + n]; }
    float Pointer(int field) { return ASys.Touch[field]; }
};
