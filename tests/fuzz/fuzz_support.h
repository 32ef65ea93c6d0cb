// Shared by the fuzz targets: a scratch folder of this process (removed at exit), the input
// written into a file there, and music stream passes; the audio targets open the OpenAL fake
// afresh for every input (audio_device.h), so no input sees what the last one left.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio_device.h"

namespace fuzz {

// The folder every file of this process goes to, below TMPDIR (or /tmp).
inline const std::string& ScratchDir() {
    static const std::string dir = [] {
        const std::filesystem::path p =
            std::filesystem::temp_directory_path() / ("brindlewick-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        static const std::string removeAtExit = p.string();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return p.string();
    }();
    return dir;
}

// Writes bytes to name in the scratch folder and returns its path.
inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchDir() + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

// Main-loop passes of a music stream, each after the player used up one buffer.
inline void PlayStream(int passes) {
    for (int pass = 0; pass < passes && ASys.MusicPlaying != MusicNone; ++pass) {
        FakeAlPlayBuffers(ALsource[MusicSource], 1);
        ASys.HandleMusicSys();
    }
    ASys.StopMusicSys();
}

}  // namespace fuzz
