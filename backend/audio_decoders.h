// What the sound code of audio.cpp reads its files with: the WAV header and chunk readers
// (audio_wav.cpp), and the Ogg Vorbis header check and the decoder of 3 to 8 channels mixed
// down to stereo (audio_ogg.cpp). Internal to the backend.
#pragma once

#include <vorbis/codec.h>
#define OV_EXCLUDE_STATIC_CALLBACKS   // its stdio callback tables go unused: ours are in audio_ogg.cpp
#include <vorbis/vorbisfile.h>

#include <array>
#include <cstdio>
#include <memory>

namespace vorn_audio {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// The highest sample rate music may have, WAV or Ogg: the highest audio hardware and formats
// use (libvorbisenc itself encodes at most 200 kHz). A rate field above it is damage: with its
// top bit set it reads as a negative int, which OpenAL refuses on every block, and a huge
// positive one would play the music as a burst far too short. A rate of 0 OpenAL refuses as
// well. Such a stream is refused when it opens, with one line.
constexpr long MusicMaxRate = 384000;

inline bool MusicRatePlays(long rate) { return rate > 0 && rate <= MusicMaxRate; }

// ---- WAV (audio_wav.cpp) ----

struct WavFormat {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int bytesPerSample = 0;
};

void LogBadFormat(const WavFormat& fmt);

// How a header read ended: refused by a test that logs nothing itself (not RIFF, not WAVE,
// no "fmt " chunk first, not PCM), or by one that logged why.
enum class WavHeader { Read, Refused, RefusedAndLogged };

// "RIFF", "WAVE", then directly a PCM "fmt " chunk. Leaves the file after the format chunk.
// A header without channels or with fewer than 8 bits per sample is refused.
WavHeader ReadWavHeader(FILE* f, WavFormat& fmt);

// The chunks after the format chunk, one at a time, for the effect loader and the music
// stream alike. Each step starts after the chunk before (its body and pad byte), however much
// of that body the caller read.
class ChunkWalker {
public:
    explicit ChunkWalker(FILE* f) : file(f) {}
    // The next chunk's tag and size, with the file at its body. False at the end of the file
    // or on a size the file cannot hold (logged).
    bool Next(char tag[5], int& size);

private:
    FILE* file;
    long body = -1;   // where the current chunk's body starts; -1 before the first chunk
    int bodySize = 0;
};

// The OpenAL format of PCM samples of this size and channel count; 0 where it has none.
int AlFormat(int bytesPerSample, int channels);

// ---- Ogg Vorbis (audio_ogg.cpp) ----

constexpr int OggMaxChannels = 2;      // channels stb_vorbis decodes a stream with, at most
constexpr int OggMixMaxChannels = 8;   // the most channels Vorbis gives an order to

// True when the file starts with the three Vorbis headers as the decoder reads them: whole
// pages with good checksums from the first byte on (no bytes skipped), all of the logical
// stream the first page begins, none missing in between, each header accepted by libvorbis
// and the comment header's lengths inside its packet. Reads only as far as the headers go;
// gives the stream's channel count and sample rate (the unsigned 32-bit field as it stands).
bool OggHeadersSound(FILE* f, int& channels, long& rate);

struct StereoGain {
    float left = 0, right = 0;
};
using StereoMix = std::array<StereoGain, OggMixMaxChannels>;

// A stream of 3 to 8 channels: libvorbisfile's decoder on the music file and the mix of its
// layout. Chained links keep playing while they have the first link's channels and rate; the
// first link in another format ends the stream there, as the end of the file would. So does
// an error of the decoder (a link whose headers it rejects, a read that fails): once it has
// reported one, it is not asked for more until it is opened anew, since libvorbis may then
// decode from a half-set-up link and divide by zero.
class MixedOgg {
public:
    MixedOgg() = default;
    MixedOgg(const MixedOgg&) = delete;
    MixedOgg& operator=(const MixedOgg&) = delete;
    ~MixedOgg() { Close(); }

    // Opens the decoder at the file's first byte; true when it has a layout this mixes.
    bool Open(FILE* f);
    // Decodes and mixes up to frames stereo frames into out; fewer at the end of the stream,
    // and 0 once it has ended.
    int Decode(short* out, int frames);
    // Back to the start, as a new decoder on the same file (a file that no longer opens, or
    // opens in another format, decodes nothing more).
    void Rewind();

private:
    void Close();

    FILE* source = nullptr;
    OggVorbis_File file{};
    bool open = false;
    int channels = 0;
    long rate = 0;
    StereoMix mix{};
    bool ended = false;   // the end, an error or a link in another format was reached
};

}  // namespace vorn_audio
