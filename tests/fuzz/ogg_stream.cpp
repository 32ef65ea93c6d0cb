// Fuzz target: an Ogg Vorbis music file started as a looping stream and serviced for a few
// main-loop passes, through the header check, the decoder of its channel count (stb_vorbis,
// or libvorbisfile and the stereo mix) and the OpenAL fake.
#include "fuzz_support.h"
#include "ogg_pages.h"

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

#ifdef BRINDLEWICK_LIBFUZZER
// Under libFuzzer a mutation would break the CRC of the page it touches, and the page reader
// would drop that page before any decoder saw the changed bytes. After libFuzzer's own
// mutation every whole page gets its CRC recomputed, so the decoders read what was mutated;
// one mutation in CrcKeptOneIn keeps the CRCs as they came out, so the page reader's skipping
// of damaged pages is fuzzed too. The replay plays its files as they are.
namespace {
constexpr unsigned CrcKeptOneIn = 16;
}

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % CrcKeptOneIn != 0) ogg_pages::SealOggPages(data, size);
    return size;
}
#endif
