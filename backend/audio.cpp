// Sound effects and streamed music through OpenAL: the device, context, sources and buffers
// opened at start-up, the WAV loader of the sound slots, effect playback over sources 0..30
// and the WAV or Ogg Vorbis stream queued through four buffers on source 31. The files are
// read with audio_wav.cpp and audio_ogg.cpp; stb_vorbis decodes mono and stereo music.
#include "Vorn_glfw3.h"

#include <AL/al.h>
#include <AL/alc.h>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_decoders.h"

using namespace vorn_audio;

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

// The open stream: its file, the Ogg decoder reading from it (stb_vorbis for mono and stereo,
// libvorbisfile and the mix for more channels), and for a WAV stream the byte range of its
// data chunk (the stream starts and loops at MusicFileBegin).
static FILE* MusicFile = nullptr;
static stb_vorbis* OggFile = nullptr;
static std::unique_ptr<MixedOgg> OggMixed;
static long MusicFileBegin = 0;
static long MusicFileEnd = 0;

namespace {

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
// rewinds and goes on in the same block, so no block at the seam is short or empty. It
// rewinds once per block at most: a multichannel rewind opens the file's headers anew, and a
// file far shorter than a block (or one that ends in a damaged link soon after its start)
// would otherwise reopen them hundreds of times in one refill; its blocks are short instead.
// Nothing right after the rewind means the file decodes nothing from its start (or no longer
// can): decodesNothing, and the block holds what came before.
int FillOggBlock(short* out, int wanted, int channels, bool& decodesNothing) {
    int frames = 0;
    bool rewound = false;
    int sinceRewind = 0;
    for (;;) {
        const int got = DecodeOgg(out + frames * channels, wanted - frames, channels);
        frames += got;
        sinceRewind += got;
        if (ASys.MusicLoop != 1 || frames == wanted) return frames;
        if (got > 0) continue;   // a short decode: the decoder goes on from there
        if (rewound) {
            decodesNothing = sinceRewind == 0;
            return frames;
        }
        RewindOgg();
        rewound = true;
        sinceRewind = 0;
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

// The end of a refill step: a stream that reached its end rewinds (WAV; a looping Ogg stream
// rewinds inside its block) or ends; the settings are applied and a source that ran dry is
// started again.
void FinishMusicStep(bool atEnd, ALint state) {
    if (atEnd) {
        if (ASys.MusicLoop != 1)
            EndStream();
        else
            std::fseek(MusicFile, MusicFileBegin, SEEK_SET);
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
    // A rate OpenAL refuses (0, or the field's top bit set) would log a refusal on every
    // refill, and one past the highest music is made at would play it as a burst: refused
    // once, here, as an Ogg stream's is. The field is logged as it stands.
    if (!MusicRatePlays(fmt.rate)) {
        Debuglog(fstrSys("Error Opening Wave - %u Hz", static_cast<unsigned>(fmt.rate)));
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
    // Both decoders read this same field: checked once here, it is the rate of either, and
    // only this checked value goes to OpenAL.
    if (!MusicRatePlays(headerRate)) {
        Debuglog(fstrSys("Error Opening Ogg - %li Hz", headerRate));
        MusicPlaying = MusicNone;
        return;
    }
    std::rewind(file.get());
    if (channels <= OggMaxChannels) {
        int error = 0;
        OggFile = stb_vorbis_open_file(file.get(), 0, &error, nullptr);
        if (OggFile) channels = std::min(stb_vorbis_get_info(OggFile).channels, OggMaxChannels);
    } else {
        auto mixed = std::make_unique<MixedOgg>();
        if (mixed->Open(file.get())) {
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
    MusicBufferStats[MusicStatRate] = static_cast<int>(headerRate);
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
