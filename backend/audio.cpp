// Sound effects and streamed music through OpenAL: the device, context, sources and buffers
// opened at start-up, the WAV loader of the sound slots, effect playback over sources 0..30
// and the WAV or Ogg Vorbis stream queued through four buffers on source 31. An Ogg file's
// headers are checked with libogg and libvorbis first; stb_vorbis decodes mono and stereo
// music, libvorbisfile music of 3 to 8 channels, which is mixed down to stereo here.
#include "Vorn_glfw3.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#define OV_EXCLUDE_STATIC_CALLBACKS   // its stdio callback tables go unused: ours are below
#include <vorbis/vorbisfile.h>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

ALCdevice* ALdev = nullptr;
ALCcontext* ALctx = nullptr;
unsigned int ALsource[32];
unsigned int MusicBuffer[MusicBuffers];
unsigned int ALbuffer[SoundSlots];
int ALbufferActive[SoundSlots];

// No source holds a slot before its first effect. A constant, so it holds before any code runs.
constexpr std::array<int, AudioSources> NoSlotOnAnySource = [] {
    std::array<int, AudioSources> sources{};
    for (int& s : sources) s = NoSlot;
    return sources;
}();
std::array<int, AudioSources> ALsourcebuffer = NoSlotOnAnySource;
int ALChannel = 0;
int SFXData[SoundSlots][SfxFields];
int MusicBufferTick = 0;
int MusicBufferStats[MusicStatsCount];

namespace {

constexpr int WavFormatPCM = 1;
constexpr int WavFormatFields = 16;    // bytes of the PCM fields of a "fmt " chunk
constexpr int OggMaxChannels = 2;      // channels stb_vorbis decodes a stream with, at most
constexpr int OggMixMaxChannels = 8;   // the most channels Vorbis gives an order to
// The highest sample rate music may have: the highest audio hardware and formats use
// (libvorbisenc itself encodes at most 200 kHz). A rate field above it is damage: with its top
// bit set it reads as a negative int, which OpenAL refuses on every block, and a huge positive
// one would play the music as a burst far too short. A rate of 0 OpenAL refuses as well.
constexpr long OggMaxRate = 384000;

// ---- stereo mix of 3 to 8 channels ----
// In the channel order Vorbis defines for each count: fronts to their own side at 1; the
// centre, side and rear pairs, and a lone rear centre, at -3 dB (to both sides for a centre);
// LFE left out. The weights are then scaled so that the fuller side sums to 1: full-scale
// input in every channel at once reaches full scale and no further, so the mix never clips.

constexpr float MinusThreeDb = 0.70710678f;

enum class Speaker { FrontLeft, FrontRight, Centre, SideLeft, SideRight, RearLeft, RearRight, RearCentre, Lfe };

struct StereoGain {
    float left = 0, right = 0;
};

constexpr StereoGain SpeakerGain(Speaker s) {
    switch (s) {
        case Speaker::FrontLeft: return {1, 0};
        case Speaker::FrontRight: return {0, 1};
        case Speaker::Centre:
        case Speaker::RearCentre: return {MinusThreeDb, MinusThreeDb};
        case Speaker::SideLeft:
        case Speaker::RearLeft: return {MinusThreeDb, 0};
        case Speaker::SideRight:
        case Speaker::RearRight: return {0, MinusThreeDb};
        case Speaker::Lfe: break;
    }
    return {0, 0};
}

struct SpeakerLayout {
    int channels;
    std::array<Speaker, OggMixMaxChannels> speakers;
};

using S = Speaker;
constexpr SpeakerLayout VorbisLayouts[] = {
    {3, {S::FrontLeft, S::Centre, S::FrontRight}},
    {4, {S::FrontLeft, S::FrontRight, S::RearLeft, S::RearRight}},
    {5, {S::FrontLeft, S::Centre, S::FrontRight, S::RearLeft, S::RearRight}},
    {6, {S::FrontLeft, S::Centre, S::FrontRight, S::RearLeft, S::RearRight, S::Lfe}},
    {7, {S::FrontLeft, S::Centre, S::FrontRight, S::SideLeft, S::SideRight, S::RearCentre, S::Lfe}},
    {8, {S::FrontLeft, S::Centre, S::FrontRight, S::SideLeft, S::SideRight, S::RearLeft, S::RearRight, S::Lfe}},
};

using StereoMix = std::array<StereoGain, OggMixMaxChannels>;

// The scaled weights of each channel of a layout with this many channels (3..8).
StereoMix MixFor(int channels) {
    StereoMix mix{};
    float left = 0, right = 0;
    for (const SpeakerLayout& layout : VorbisLayouts) {
        if (layout.channels != channels) continue;
        for (int c = 0; c < channels; ++c) {
            mix[c] = SpeakerGain(layout.speakers[c]);
            left += mix[c].left;
            right += mix[c].right;
        }
    }
    const float fuller = std::max(left, right);
    if (fuller > 0)
        for (StereoGain& g : mix) g = {g.left / fuller, g.right / fuller};
    return mix;
}

short ToSample(float v) {
    const float s = v * 32767.0f;
    if (s >= 32767.0f) return 32767;
    if (s <= -32768.0f) return -32768;
    if (s != s) return 0;   // NaN from a damaged packet
    return static_cast<short>(std::lrint(s));
}

void MixToStereo(float* const* pcm, int channels, long frames, const StereoMix& mix, short* out) {
    for (long i = 0; i < frames; ++i) {
        float left = 0, right = 0;
        for (int c = 0; c < channels; ++c) {
            left += pcm[c][i] * mix[c].left;
            right += pcm[c][i] * mix[c].right;
        }
        out[2 * i] = ToSample(left);
        out[2 * i + 1] = ToSample(right);
    }
}

// libvorbisfile reads the stream's own stdio file front to back, as a stream: it never seeks,
// so it does not scan a chained file's links when it opens it (where 1.3.7 leaks on a damaged
// link's headers). The file is closed with the music stream, not by the library.
size_t OvRead(void* to, size_t size, size_t count, void* file) {
    return std::fread(to, size, count, static_cast<FILE*>(file));
}
constexpr ov_callbacks OvStreamCallbacks = {OvRead, nullptr, nullptr, nullptr};

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
    bool Open(FILE* f) {
        source = f;
        std::rewind(f);
        open = ov_open_callbacks(f, &file, nullptr, 0, OvStreamCallbacks) == 0;
        const vorbis_info* info = open ? ov_info(&file, -1) : nullptr;
        if (!info || info->channels <= OggMaxChannels || info->channels > OggMixMaxChannels) {
            Close();
            return false;
        }
        channels = info->channels;
        rate = info->rate;
        mix = MixFor(channels);
        return true;
    }
    int Rate() const { return static_cast<int>(rate); }

    // Decodes and mixes up to frames stereo frames into out; fewer at the end of the stream,
    // and 0 once it has ended.
    int Decode(short* out, int frames) {
        int done = 0;
        while (open && !ended && done < frames) {
            float** pcm = nullptr;
            const long got = ov_read_float(&file, &pcm, frames - done, nullptr);
            // A gap in the data, or the seam where the next link begins: decoding goes on.
            if (got == OV_HOLE) continue;
            if (got <= 0) {   // the end of the file, or an error
                ended = true;
                break;
            }
            const vorbis_info* info = ov_info(&file, -1);
            if (!info || info->channels != channels || info->rate != rate) {
                ended = true;
                break;
            }
            MixToStereo(pcm, channels, got, mix, out + 2 * done);
            done += static_cast<int>(got);
        }
        return done;
    }
    // Back to the start, as a new decoder on the same file (a file that no longer opens, or
    // opens in another format, decodes nothing more).
    void Rewind() {
        Close();
        ended = false;
        const int wanted = channels;
        const long wantedRate = rate;
        if (Open(source) && (channels != wanted || rate != wantedRate)) ended = true;
    }

private:
    void Close() {
        if (open) ov_clear(&file);
        open = false;
    }

    FILE* source = nullptr;
    OggVorbis_File file{};
    bool open = false;
    int channels = 0;
    long rate = 0;
    StereoMix mix{};
    bool ended = false;   // the end, an error or a link in another format was reached
};

}  // namespace

// The open stream: its file, the Ogg decoder reading from it (stb_vorbis for mono and stereo,
// libvorbisfile and the mix for more channels), and for a WAV stream the byte range of its
// data chunk (the stream starts and loops at MusicFileBegin).
static FILE* MusicFile = nullptr;
static stb_vorbis* OggFile = nullptr;
static std::unique_ptr<MixedOgg> OggMixed;
static long MusicFileBegin = 0;
static long MusicFileEnd = 0;

namespace {

// ---- WAV chunk readers ----

char TagText[5];

const char* readTag(FILE* f) {
    if (std::fread(TagText, 1, 4, f) != 4) {
        TagText[0] = 0;
        return TagText;
    }
    TagText[4] = 0;
    return TagText;
}

int readInt(FILE* f) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return MissingNumber;
    return static_cast<int>(static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
                            static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24);
}

int readShort(FILE* f) {
    unsigned char b[2];
    if (std::fread(b, 1, 2, f) != 2) return MissingNumber;
    return b[0] | b[1] << 8;
}

long FileSize(FILE* f) {
    long at = std::ftell(f);
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, at, SEEK_SET);
    return size;
}

long BytesLeft(FILE* f) { return FileSize(f) - std::ftell(f); }

// A chunk size the file can hold from here on; a size cut off by the end of the file reads
// as MissingNumber and is refused like any other negative one.
bool ChunkFits(FILE* f, int size) {
    if (size >= 0 && size <= BytesLeft(f)) return true;
    if (size == MissingNumber)
        ASys.Debuglog("Wave Chunk Size Missing");
    else
        ASys.Debuglog(ASys.fstrSys("Wave Chunk Too Large %i", size));
    return false;
}

// Skips n bytes (already checked to lie within the file).
void skipBytes(FILE* f, int n) { std::fseek(f, n, SEEK_CUR); }

// RIFF pads a chunk of odd size with one zero byte, which sox and ffmpeg write. Some writers
// leave it out; a chunk tag never starts with a zero byte, so the byte after an odd chunk is
// skipped only when it is zero.
void SkipPadByte(FILE* f, int size) {
    if (size % 2 == 0) return;
    const int c = std::fgetc(f);
    if (c != 0 && c != EOF) std::fseek(f, -1, SEEK_CUR);
}

struct WavFormat {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int bytesPerSample = 0;
};

void LogBadFormat(const WavFormat& fmt) {
    ASys.Debuglog(ASys.fstrSys("Bad Wave Format %i channels %i bits", fmt.channels, fmt.bits));
}

// How a header read ended: refused by a test that logs nothing itself (not RIFF, not WAVE,
// no "fmt " chunk first, not PCM), or by one that logged why.
enum class WavHeader { Read, Refused, RefusedAndLogged };

// "RIFF", "WAVE", then directly a PCM "fmt " chunk. Leaves the file after the format chunk.
// A header without channels or with fewer than 8 bits per sample is refused.
WavHeader ReadWavHeader(FILE* f, WavFormat& fmt) {
    if (std::strcmp(readTag(f), "RIFF") != 0) return WavHeader::Refused;
    readInt(f);  // RIFF size
    if (std::strcmp(readTag(f), "WAVE") != 0) return WavHeader::Refused;
    if (std::strcmp(readTag(f), "fmt ") != 0) return WavHeader::Refused;
    int fmtSize = readInt(f);
    if (readShort(f) != WavFormatPCM) return WavHeader::Refused;
    fmt.channels = readShort(f);
    fmt.rate = readInt(f);
    readInt(f);    // byte rate
    readShort(f);  // block align
    fmt.bits = readShort(f);
    if (fmt.channels <= 0 || fmt.bits < 8) {
        LogBadFormat(fmt);
        return WavHeader::RefusedAndLogged;
    }
    fmt.bytesPerSample = fmt.bits / 8;
    if (fmtSize > WavFormatFields) {
        if (!ChunkFits(f, fmtSize - WavFormatFields)) return WavHeader::RefusedAndLogged;
        skipBytes(f, fmtSize - WavFormatFields);
        SkipPadByte(f, fmtSize);
    }
    return WavHeader::Read;
}

// The chunks after the format chunk, one at a time, for the effect loader and the music
// stream alike. Each step starts after the chunk before (its body and pad byte), however much
// of that body the caller read.
class ChunkWalker {
public:
    explicit ChunkWalker(FILE* f) : file(f) {}
    // The next chunk's tag and size, with the file at its body. False at the end of the file
    // or on a size the file cannot hold (logged).
    bool Next(char tag[5], int& size) {
        if (body >= 0) {
            std::fseek(file, body + bodySize, SEEK_SET);
            SkipPadByte(file, bodySize);
        }
        const char* t = readTag(file);
        if (!t[0]) return false;
        std::memcpy(tag, t, 5);
        size = readInt(file);
        if (!ChunkFits(file, size)) return false;
        body = std::ftell(file);
        bodySize = size;
        return true;
    }

private:
    FILE* file;
    long body = -1;   // where the current chunk's body starts; -1 before the first chunk
    int bodySize = 0;
};

int AlFormat(int bytesPerSample, int channels) {
    if (bytesPerSample == 1 && channels == 1) return AL_FORMAT_MONO8;
    if (bytesPerSample == 1 && channels == 2) return AL_FORMAT_STEREO8;
    if (bytesPerSample == 2 && channels == 1) return AL_FORMAT_MONO16;
    if (bytesPerSample == 2 && channels == 2) return AL_FORMAT_STEREO16;
    return 0;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// ---- Ogg header check ----
// stb_vorbis trusts the lengths in a comment header: a vendor length, comment count or comment
// length that runs past its packet makes it write before a buffer, free pointers it never set,
// or allocate and loop for gigabytes. So the three headers are first read with the reference
// libraries, page by page as the decoder will read them, and a file they refuse never reaches
// the decoder.

constexpr size_t OggReadBytes = 4096;            // read from the file per step
constexpr long OggHeaderBytesLimit = 16 << 20;   // the headers (comments included) end before this
constexpr int VorbisHeaders = 3;                 // identification, comments, codebooks
constexpr int VorbisCommentHeader = 1;           // its index among the three
constexpr size_t VorbisPacketTag = 7;            // a header's type byte and "vorbis"
constexpr size_t CommentLengthBytes = 4;         // each length field, least significant byte first

// Reads one length field at `at` when the packet still holds it.
bool ReadCommentLength(const unsigned char* packet, size_t size, size_t& at, uint32_t& value) {
    if (size - at < CommentLengthBytes) return false;
    value = static_cast<uint32_t>(packet[at]) | static_cast<uint32_t>(packet[at + 1]) << 8 |
            static_cast<uint32_t>(packet[at + 2]) << 16 | static_cast<uint32_t>(packet[at + 3]) << 24;
    at += CommentLengthBytes;
    return true;
}

// The vendor text, the comment count (every comment takes at least its length field), each
// comment and the framing byte after them all lie inside the comment packet.
bool CommentsFitPacket(const unsigned char* packet, size_t size) {
    size_t at = VorbisPacketTag;
    uint32_t vendor = 0, count = 0;
    if (size < at || !ReadCommentLength(packet, size, at, vendor) || vendor > size - at) return false;
    at += vendor;
    if (!ReadCommentLength(packet, size, at, count) || count > (size - at) / CommentLengthBytes) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!ReadCommentLength(packet, size, at, length) || length > size - at) return false;
        at += length;
    }
    return at < size;
}

// The reference libraries' reading state, released however the check ends.
struct OggHeaderReader {
    ogg_sync_state sync;
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    bool streaming = false;
    OggHeaderReader() {
        ogg_sync_init(&sync);
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~OggHeaderReader() {
        if (streaming) ogg_stream_clear(&stream);
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
        ogg_sync_clear(&sync);
    }
    OggHeaderReader(const OggHeaderReader&) = delete;
    OggHeaderReader& operator=(const OggHeaderReader&) = delete;
};

// True when the file starts with the three Vorbis headers as the decoder reads them: whole
// pages with good checksums from the first byte on (no bytes skipped), all of the logical
// stream the first page begins, none missing in between, each header accepted by libvorbis
// and the comment header's lengths inside its packet. Reads only as far as the headers go;
// gives the stream's channel count and sample rate (the unsigned 32-bit field as it stands).
bool OggHeadersSound(FILE* f, int& channels, long& rate) {
    OggHeaderReader r;
    int headers = 0;
    long read = 0;
    while (headers < VorbisHeaders) {
        ogg_page page;
        const long seek = ogg_sync_pageseek(&r.sync, &page);
        if (seek < 0) return false;
        if (seek == 0) {
            if (read >= OggHeaderBytesLimit) return false;
            char* buffer = ogg_sync_buffer(&r.sync, OggReadBytes);
            const size_t got = buffer ? std::fread(buffer, 1, OggReadBytes, f) : 0;
            if (got == 0) return false;
            ogg_sync_wrote(&r.sync, static_cast<long>(got));
            read += static_cast<long>(got);
            continue;
        }
        if (!r.streaming) {
            if (!ogg_page_bos(&page)) return false;
            ogg_stream_init(&r.stream, ogg_page_serialno(&page));
            r.streaming = true;
        } else if (ogg_page_serialno(&page) != r.stream.serialno) {
            return false;
        }
        if (ogg_stream_pagein(&r.stream, &page) != 0) return false;
        ogg_packet packet;
        int out = 0;
        while (headers < VorbisHeaders && (out = ogg_stream_packetout(&r.stream, &packet)) != 0) {
            if (out < 0) return false;
            const size_t size = packet.bytes > 0 ? static_cast<size_t>(packet.bytes) : 0;
            if (headers == VorbisCommentHeader && !CommentsFitPacket(packet.packet, size)) return false;
            if (vorbis_synthesis_headerin(&r.info, &r.comment, &packet) != 0) return false;
            ++headers;
        }
    }
    channels = r.info.channels;
    rate = r.info.rate;
    return true;
}

// ---- music stream helpers ----

ALuint MusicSourceName() { return ALsource[MusicSource]; }

void CloseMusicFiles() {
    if (OggFile) stb_vorbis_close(OggFile);
    OggFile = nullptr;
    OggMixed.reset();
    if (MusicFile) std::fclose(MusicFile);
    MusicFile = nullptr;
}

// The stream is over: its file and decoder are closed, the queued buffers still play out.
void EndStream() {
    ASys.MusicPlaying = MusicNone;
    CloseMusicFiles();
}

// Up to frames frames of the Ogg stream into out, interleaved over the queued channels;
// fewer only at the end of the stream.
int DecodeOgg(short* out, int frames, int channels) {
    if (OggMixed) return OggMixed->Decode(out, frames);
    return stb_vorbis_get_samples_short_interleaved(OggFile, channels, out, frames * channels);
}

void RewindOgg() {
    if (OggFile) stb_vorbis_seek_start(OggFile);
    if (OggMixed) OggMixed->Rewind();
}

// Fills one block of wanted frames of the Ogg stream and gives the frames it holds. Played
// once, that is one decode: short at the end, then empty. Looping, decoding goes on until the
// block is full; a decode that brings nothing is the end of the file, where the stream
// rewinds and goes on in the same block, so no block at the seam is short or empty. Nothing
// again right after a rewind means the file decodes nothing from its start (or no longer
// can): decodesNothing, and the block holds what came before.
int FillOggBlock(short* out, int wanted, int channels, bool& decodesNothing) {
    int frames = 0;
    bool rewound = false;
    for (;;) {
        const int got = DecodeOgg(out + frames * channels, wanted - frames, channels);
        frames += got;
        if (ASys.MusicLoop != 1 || frames == wanted) return frames;
        if (got > 0) {
            rewound = false;
        } else if (rewound) {
            decodesNothing = true;
            return frames;
        } else {
            RewindOgg();
            rewound = true;
        }
    }
}

// Stops the music source and takes every queued buffer off it (a stopped source counts all
// of them as played, so each unqueue succeeds).
void EmptyMusicSource() {
    ALuint src = MusicSourceName();
    alSourceStop(src);
    ALint queued = 0;
    alGetSourcei(src, AL_BUFFERS_QUEUED, &queued);
    for (int i = 0; i < std::min<int>(queued, MusicBuffers); ++i) {
        ALuint done = 0;
        alSourceUnqueueBuffers(src, 1, &done);
    }
}

void ApplyMusicSettings() {
    ALuint src = MusicSourceName();
    alSourcef(src, AL_PITCH, ASys.MusicSet[MusicPitchSet]);
    alSourcef(src, AL_GAIN, ASys.MusicSet[MusicVolumeSet] * ASys.MusicVolB);
    const ALfloat pos[3] = {-ASys.MusicSet[MusicPanSet], 0, 0};
    alSourcefv(src, AL_POSITION, pos);
}

// Puts one block on the queue in MusicBuffer[MusicBufferTo]. Once the four buffers are
// primed, the oldest played buffer on the queue is that one: it comes off first.
void QueueMusicBlock(const void* data, int bytes) {
    ALuint src = MusicSourceName();
    ALuint buf = MusicBuffer[ASys.MusicBufferTo];
    alGetError();
    if (MusicBufferTick > 0) {
        ALuint done = 0;
        alSourceUnqueueBuffers(src, 1, &done);
    }
    alBufferData(buf, MusicBufferStats[MusicStatFormat], data, bytes, MusicBufferStats[MusicStatRate]);
    alSourceQueueBuffers(src, 1, &buf);
    ASys.MusicBufferTo = (ASys.MusicBufferTo + 1) % MusicBuffers;
    MusicBufferTick++;
    ALenum err = alGetError();
    if (err != AL_NO_ERROR) ASys.Debuglog(ASys.fstrSys("Buffer Error %i", err));
}

// The first half of a refill step: false when the queue is full and primed.
bool MusicNeedsBlock(ALint& state) {
    ALuint src = MusicSourceName();
    ALint processed = 0;
    state = 0;
    alGetSourcei(src, AL_BUFFERS_PROCESSED, &processed);
    alGetSourcei(src, AL_SOURCE_STATE, &state);
    return processed > 0 || MusicBufferTick <= 0;
}

// The end of a refill step: a stream that reached its end rewinds or ends; the settings are
// applied and a source that ran dry is started again.
void FinishMusicStep(bool atEnd, ALint state) {
    if (atEnd) {
        if (ASys.MusicLoop != 1)
            EndStream();
        else if (ASys.MusicPlaying == MusicWav)
            std::fseek(MusicFile, MusicFileBegin, SEEK_SET);
        else if (ASys.MusicPlaying == MusicOgg)
            RewindOgg();
    }
    ApplyMusicSettings();
    if (state != AL_PLAYING) alSourcePlay(MusicSourceName());
}

// Common start of both stream kinds: the old stream is silenced and released.
void BeginStream(int loop) {
    EmptyMusicSource();
    CloseMusicFiles();
    ASys.MusicBufferTo = 0;
    ASys.MusicLoop = loop;
}

// Common end of both stream kinds once the file is open and its format known.
void StartStream(int kind, const char* errorText) {
    ASys.MusicSet[MusicPitchSet] = 1;
    ASys.MusicSet[MusicVolumeSet] = 1;
    ASys.MusicSet[MusicPanSet] = 0;
    MusicBufferTick = MusicPrimeTick;
    ASys.MusicBufferTo = 0;
    ASys.MusicPlaying = kind;
    if (kind == MusicWav) ASys.BufferMusic_Wav_Sys();
    if (kind == MusicOgg) ASys.BufferMusic_Ogg_Sys();
    alSourcePlay(MusicSourceName());
    if (alGetError() != AL_NO_ERROR) std::fputs(errorText, stderr);
}

}  // namespace

void VornSys::GetWAV(int slot, const char* path) {
    if (!ALctx || slot < 0 || slot >= SoundSlots) return;
    alGetError();
    for (int s = 0; s < AudioSources; ++s) {
        if (ALsourcebuffer[s] != slot) continue;
        Debuglog(fstrSys("Freeing Buffer %i", s));
        alSourceStop(ALsource[s]);
        ALsourcebuffer[s] = NoSlot;
        alSourcei(ALsource[s], AL_BUFFER, 0);  // detach, so the buffer can be deleted
    }
    ALenum err = alGetError();
    if (err != AL_NO_ERROR) Debuglog(fstrSys("Source->Buffer Error %i", err));
    if (ALbufferActive[slot] == 1) {
        alDeleteBuffers(1, &ALbuffer[slot]);
        ALbufferActive[slot] = 0;
        err = alGetError();
        if (err != AL_NO_ERROR) Debuglog(fstrSys("Delete Buffer Error %i", err));
    }
    alGenBuffers(1, &ALbuffer[slot]);
    ALbufferActive[slot] = 1;
    err = alGetError();
    if (err != AL_NO_ERROR) Debuglog(fstrSys("Generate Buffer Error %i", err));

    FileHandle file(std::fopen(path, "rb"));
    if (!file) {
        Debuglog("Error Opening Wave");
        return;
    }
    FILE* f = file.get();
    WavFormat fmt;
    const WavHeader header = ReadWavHeader(f, fmt);
    if (header == WavHeader::Refused) Debuglog("Error Reading Wave Header");
    if (header != WavHeader::Read) return;
    ChunkWalker chunks(f);
    char tag[5];
    int size = 0;
    while (chunks.Next(tag, size)) {
        if (std::strcmp(tag, "data") != 0) continue;
        std::vector<unsigned char> block(static_cast<size_t>(size));
        if (std::fread(block.data(), 1, block.size(), f) != block.size()) continue;
        int* data = SFXData[slot];
        data[SfxBytes] = size;
        data[SfxFrames] = size / (fmt.channels * fmt.bytesPerSample);
        data[SfxChannels] = fmt.channels;
        data[SfxBytesPerSample] = fmt.bytesPerSample;
        data[SfxRate] = fmt.rate;
        alBufferData(ALbuffer[slot], AlFormat(fmt.bytesPerSample, fmt.channels), block.data(), size, fmt.rate);
        Debuglog(fstrSys("     Load %i bytes", size));
        err = alGetError();
        if (err != AL_NO_ERROR) Debuglog(fstrSys("Post Error %i", err));
    }
}

void VornSys::PlayWAV(int slot, float pitch, float volume, float pan, int loop) {
    if (!ALctx || slot < 0 || slot >= SoundSlots || ALbufferActive[slot] != 1) return;
    ALChannel = (ALChannel + 1) % SfxSources;
    ALuint src = ALsource[ALChannel];
    ALsourcebuffer[ALChannel] = slot;
    alSourceStop(src);
    alSourcei(src, AL_BUFFER, static_cast<ALint>(ALbuffer[slot]));
    alSourcef(src, AL_PITCH, std::clamp(pitch, SfxPitchMin, SfxPitchMax));
    alSourcef(src, AL_GAIN, std::clamp(volume, 0.0f, 1.0f));
    const ALfloat pos[3] = {-std::clamp(pan, -1.0f, 1.0f), 0, 0};
    alSourcefv(src, AL_POSITION, pos);
    alSourcei(src, AL_LOOPING, loop == 1 ? AL_TRUE : AL_FALSE);
    alSourcePlay(src);
}

void VornSys::PlayMusic_Wav_Sys(const char* path, int loop) {
    if (!ALctx) {
        MusicPlaying = MusicNone;
        return;
    }
    BeginStream(loop);
    FileHandle file(std::fopen(path, "rb"));
    WavFormat fmt;
    bool found = false;
    if (file && ReadWavHeader(file.get(), fmt) == WavHeader::Read) {
        ChunkWalker chunks(file.get());
        char tag[5];
        int size = 0;
        while (!found && chunks.Next(tag, size)) {
            if (std::strcmp(tag, "data") != 0) continue;
            found = true;
            MusicFileBegin = std::ftell(file.get());
            MusicFileEnd = MusicFileBegin + size;
        }
    }
    // OpenAL refuses every block of a format it has no name for: such a stream would only
    // log a refusal on every refill, so it does not start.
    const int format = found ? AlFormat(fmt.bytesPerSample, fmt.channels) : 0;
    if (found && format == 0) {
        LogBadFormat(fmt);
        found = false;
    }
    if (!found) {
        Debuglog(fstrSys("Error Opening Wave - %s", path));
        MusicPlaying = MusicNone;
        return;
    }
    MusicFile = file.release();
    MusicBufferStats[MusicStatFormat] = format;
    MusicBufferStats[MusicStatRate] = fmt.rate;
    StartStream(MusicWav, "Error Opening WAV stream :(\n");
}

void VornSys::PlayMusic_Ogg_Sys(const char* path, int loop) {
    if (!ALctx) {
        MusicPlaying = MusicNone;
        return;
    }
    BeginStream(loop);
    FileHandle file(std::fopen(path, "rb"));
    int channels = 0;
    long headerRate = 0;
    if (!file || !OggHeadersSound(file.get(), channels, headerRate)) {
        Debuglog("Error Opening Ogg");
        MusicPlaying = MusicNone;
        return;
    }
    // Beyond 8 channels Vorbis defines no order, so no channel is known to be left or right
    // (the common ones are ambisonic or application-defined): such a file is refused, once,
    // as a WAV stream OpenAL cannot play is, rather than played as a guess.
    if (channels > OggMixMaxChannels) {
        Debuglog(fstrSys("Error Opening Ogg - %i channels", channels));
        MusicPlaying = MusicNone;
        return;
    }
    // Both decoders read this same field: checked once here, it holds for either.
    if (headerRate <= 0 || headerRate > OggMaxRate) {
        Debuglog(fstrSys("Error Opening Ogg - %li Hz", headerRate));
        MusicPlaying = MusicNone;
        return;
    }
    std::rewind(file.get());
    int rate = 0;
    if (channels <= OggMaxChannels) {
        int error = 0;
        OggFile = stb_vorbis_open_file(file.get(), 0, &error, nullptr);
        if (OggFile) {
            const stb_vorbis_info info = stb_vorbis_get_info(OggFile);
            channels = std::min(info.channels, OggMaxChannels);
            rate = static_cast<int>(info.sample_rate);
        }
    } else {
        auto mixed = std::make_unique<MixedOgg>();
        if (mixed->Open(file.get())) {
            rate = mixed->Rate();
            channels = OggMaxChannels;   // what goes on the queue
            OggMixed = std::move(mixed);
        }
    }
    if (!OggFile && !OggMixed) {
        Debuglog("Error Opening Ogg");
        MusicPlaying = MusicNone;
        return;
    }
    MusicFile = file.release();
    MusicBufferStats[MusicStatFormat] = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    MusicBufferStats[MusicStatChannels] = channels;
    MusicBufferStats[MusicStatRate] = rate;
    StartStream(MusicOgg, "Error Opening OGG stream :(\n");
}

void VornSys::BufferMusic_Wav_Sys() {
    ALint state = 0;
    if (!ALctx || MusicPlaying != MusicWav || !MusicNeedsBlock(state)) return;
    long left = MusicFileEnd - std::ftell(MusicFile);
    std::vector<unsigned char> block(MusicBlockBytes);
    size_t want = static_cast<size_t>(std::clamp<long>(left, 0, MusicBlockBytes));
    size_t got = std::fread(block.data(), 1, want, MusicFile);
    if (got == static_cast<size_t>(MusicBlockBytes)) QueueMusicBlock(block.data(), MusicBlockBytes);
    bool atEnd = got < static_cast<size_t>(MusicBlockBytes) || std::ftell(MusicFile) >= MusicFileEnd;
    FinishMusicStep(atEnd, state);
}

// A looping stream rewinds inside its block (FillOggBlock). One whose file decodes nothing
// from its start gives up there, once, rather than reopen the file at every refill.
void VornSys::BufferMusic_Ogg_Sys() {
    ALint state = 0;
    if (!ALctx || MusicPlaying != MusicOgg || !MusicNeedsBlock(state)) return;
    std::vector<short> block(OggBlockSamples);
    const int channels = std::max(MusicBufferStats[MusicStatChannels], 1);
    bool decodesNothing = false;
    const int frames = FillOggBlock(block.data(), OggBlockSamples / channels, channels, decodesNothing);
    QueueMusicBlock(block.data(), frames * channels * static_cast<int>(sizeof(short)));
    if (decodesNothing) {
        Debuglog("Error Decoding Ogg");
        EndStream();
    }
    FinishMusicStep(MusicLoop != 1 && frames == 0, state);
}

void VornSys::StopMusicSys() {
    MusicPlaying = MusicNone;
    MusicBufferTo = 0;
    CloseMusicFiles();
    if (!ALctx) return;
    EmptyMusicSource();
    alSourceStop(MusicSourceName());
}

void VornSys::HandleMusicSys() {
    if (!ALctx) return;
    if (MusicPlaying == MusicWav) BufferMusic_Wav_Sys();
    if (MusicPlaying == MusicOgg) BufferMusic_Ogg_Sys();
    ApplyMusicSettings();
}
