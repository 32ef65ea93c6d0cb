// The audio test fixture: the OpenAL fake opened the way start-up opens the real device
// (32 sources, four music buffers), the backend's sound and music state as at start-up, and
// the captured log.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "Vorn_glfw3.h"
#include "audio_device.h"
#include "audio_files.h"
#include "fakes.h"

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        OpenFakeAudioDevice();
        dir = ScratchDirForTest();
        ::testing::internal::CaptureStdout();
        capturing = true;
    }
    void TearDown() override {
        ASys.StopMusicSys();
        if (capturing) log += ::testing::internal::GetCapturedStdout();
        capturing = false;
        // The capture also took the failure messages: show them with the log around them.
        if (HasFailure()) std::fputs(log.c_str(), stdout);
        ALctx = nullptr;
        ALdev = nullptr;
    }
    // Everything logged since the test started.
    const std::string& Log() {
        if (capturing) {
            log += ::testing::internal::GetCapturedStdout();
            ::testing::internal::CaptureStdout();
        }
        return log;
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string Write(const std::string& name, const audio_files::Bytes& bytes) {
        audio_files::WriteBytes(Path(name), bytes);
        return Path(name);
    }
    FakeAlSource& Src(int n) { return FakeAl.sources[ALsource[n]]; }
    FakeAlBuffer& SlotBuffer(int slot) { return FakeAl.buffers[ALbuffer[slot]]; }

    std::string dir;
    std::string log;
    bool capturing = false;
};
