// Fuzz target: an Ogg Vorbis music file started as a looping stream and serviced for a few
// main-loop passes, through the header check, the decoder of its channel count (stb_vorbis,
// or libvorbisfile and the stereo mix) and the OpenAL fake.
#include "fuzz_support.h"

namespace {
constexpr int StreamPasses = 12;   // enough to prime the queue and rewind a short file
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OpenFakeAudioDevice();
    const std::string path = fuzz::WriteInput("music.ogg", data, size);
    ASys.PlayMusic_Ogg_Sys(path.c_str(), 1);
    fuzz::PlayStream(StreamPasses);
    return 0;
}
