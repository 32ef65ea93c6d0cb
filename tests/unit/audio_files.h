// Sound files made by the tests themselves: RIFF WAV files built chunk by chunk (so a test
// can add, drop, repeat or break chunks) and a small Ogg Vorbis file encoded with libvorbisenc.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "file_scratch.h"

namespace audio_files {

using Bytes = std::vector<unsigned char>;

inline void PutLE(Bytes& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void PutTag(Bytes& b, const std::string& tag) { b.insert(b.end(), tag.begin(), tag.end()); }

struct Chunk {
    std::string tag;
    Bytes body;
    int64_t size = -1;   // the size field written; -1 writes the body's real size
};

// The body of a "fmt " chunk; extra bytes make the longer form some writers use.
inline Bytes FmtBody(int channels, int rate, int bits, int format = 1, int extra = 0) {
    Bytes b;
    int block = channels * (bits / 8);
    PutLE(b, static_cast<uint32_t>(format), 2);
    PutLE(b, static_cast<uint32_t>(channels), 2);
    PutLE(b, static_cast<uint32_t>(rate), 4);
    PutLE(b, static_cast<uint32_t>(rate * block), 4);
    PutLE(b, static_cast<uint32_t>(block), 2);
    PutLE(b, static_cast<uint32_t>(bits), 2);
    for (int i = 0; i < extra; ++i) b.push_back(0);
    return b;
}

// n bytes of a pattern that differs from block to block, so a test can tell them apart.
inline Bytes Pattern(size_t n, int seed = 0) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 7 + i / 997 + seed * 31) % 251);
    return b;
}

inline Bytes Riff(const std::vector<Chunk>& chunks) {
    Bytes body;
    PutTag(body, "WAVE");
    for (const Chunk& c : chunks) {
        PutTag(body, c.tag);
        PutLE(body, static_cast<uint32_t>(c.size < 0 ? static_cast<int64_t>(c.body.size()) : c.size), 4);
        body.insert(body.end(), c.body.begin(), c.body.end());
    }
    Bytes file;
    PutTag(file, "RIFF");
    PutLE(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

inline Bytes SimpleWav(int channels, int rate, int bits, const Bytes& data) {
    return Riff({{"fmt ", FmtBody(channels, rate, bits)}, {"data", data}});
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// An Ogg Vorbis file of a sine tone: seconds long, at rate, with channels.
inline Bytes OggTone(int channels, int rate, double seconds, double hz = 440) {
    Bytes out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.3f) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_page og;
    ogg_packet op, header, comments, codebooks;
    auto writePage = [&]() {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og)) writePage();

    const int total = static_cast<int>(seconds * rate);
    const int step = 1024;
    auto drain = [&]() {
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) writePage();
            }
        }
    };
    for (int done = 0; done < total; done += step) {
        int n = std::min(step, total - done);
        float** buf = vorbis_analysis_buffer(&vd, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buf[c][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * hz * (done + i) / rate));
        vorbis_analysis_wrote(&vd, n);
        drain();
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &og)) writePage();

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// 16-bit PCM of a sine tone, interleaved over the channels.
inline Bytes Tone16(int channels, int rate, double seconds, double hz = 440, double amplitude = 0.5) {
    Bytes b;
    const int frames = static_cast<int>(seconds * rate);
    for (int i = 0; i < frames; ++i) {
        auto v = static_cast<int16_t>(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate));
        for (int c = 0; c < channels; ++c) PutLE(b, static_cast<uint16_t>(v), 2);
    }
    return b;
}

}  // namespace audio_files
