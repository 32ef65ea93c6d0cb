// Ogg Vorbis music: the check of a file's three headers with libogg and libvorbis before any
// decoder reads it, and the decoder of 3 to 8 channels (libvorbisfile) with its mix down to
// stereo; stb_vorbis, which decodes mono and stereo, is driven from audio.cpp.
#include "audio_decoders.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vorn_audio {

namespace {

// ---- stereo mix of 3 to 8 channels ----
// In the channel order Vorbis defines for each count: fronts to their own side at 1; the
// centre, side and rear pairs, and a lone rear centre, at -3 dB (to both sides for a centre);
// LFE left out. The weights are then scaled so that the fuller side sums to 1: full-scale
// input in every channel at once reaches full scale and no further, so the mix never clips.

constexpr float MinusThreeDb = 0.70710678f;

enum class Speaker { FrontLeft, FrontRight, Centre, SideLeft, SideRight, RearLeft, RearRight, RearCentre, Lfe };

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

}  // namespace

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

bool MixedOgg::Open(FILE* f) {
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

int MixedOgg::Decode(short* out, int frames) {
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

void MixedOgg::Rewind() {
    Close();
    ended = false;
    const int wanted = channels;
    const long wantedRate = rate;
    if (Open(source) && (channels != wanted || rate != wantedRate)) ended = true;
}

void MixedOgg::Close() {
    if (open) ov_clear(&file);
    open = false;
}

}  // namespace vorn_audio
