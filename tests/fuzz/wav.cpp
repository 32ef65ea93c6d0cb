// Fuzz target: a WAV file loaded into a sound slot and played, then started as a looping music
// stream and serviced for a few main-loop passes, through the OpenAL fake.
#include "fuzz_support.h"

namespace {
constexpr int StreamPasses = 12;
constexpr int Slot = 7;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OpenFakeAudioDevice();
    const std::string path = fuzz::WriteInput("sound.wav", data, size);
    ASys.GetWAV(Slot, path.c_str());
    ASys.PlayWAV(Slot, 1, 1, 0, 0);
    ASys.PlayMusic_Wav_Sys(path.c_str(), 1);
    fuzz::PlayStream(StreamPasses);
    return 0;
}
