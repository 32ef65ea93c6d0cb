// The OpenAL fake opened the way start-up opens the real device (32 sources, four music
// buffers), with the backend's sound and music state as at start-up. Shared by the audio
// tests and the audio fuzz targets.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <iterator>

#include "Vorn_glfw3.h"
#include "fakes.h"

inline void OpenFakeAudioDevice() {
    ResetFakes();
    std::fill(std::begin(ALsourcebuffer), std::end(ALsourcebuffer), NoSlot);
    std::fill(std::begin(ALbufferActive), std::end(ALbufferActive), 0);
    ALChannel = 0;
    ASys.MusicPlaying = MusicNone;
    ASys.MusicVolB = 1;
    ALdev = alcOpenDevice(nullptr);
    ALctx = alcCreateContext(ALdev, nullptr);
    alcMakeContextCurrent(ALctx);
    alGenSources(AudioSources, ALsource);
    for (unsigned int& b : MusicBuffer) alGenBuffers(1, &b);
}
