// Sound files made by the tests themselves: RIFF WAV files built chunk by chunk (so a test
// can add, drop, repeat, pad or break chunks) and small Ogg Vorbis files of any signal and
// channel count encoded with libvorbisenc.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "file_scratch.h"
#include "ogg_pages.h"

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

// The body of a "fmt " chunk; extra bytes make the longer form some writers use. The rate is
// the unsigned field as written, so a test can set its top bit.
inline Bytes FmtBody(int channels, uint32_t rate, int bits, int format = 1, int extra = 0) {
    Bytes b;
    int block = channels * (bits / 8);
    PutLE(b, static_cast<uint32_t>(format), 2);
    PutLE(b, static_cast<uint32_t>(channels), 2);
    PutLE(b, rate, 4);
    PutLE(b, rate * static_cast<uint32_t>(block), 4);
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

// RIFF pads a chunk of odd size with one zero byte after its body: PadOdd writes it, as sox
// and ffmpeg do; NoPad leaves it out, as some other writers do.
enum class Padding { NoPad, PadOdd };

inline Bytes Riff(const std::vector<Chunk>& chunks, Padding padding = Padding::NoPad) {
    Bytes body;
    PutTag(body, "WAVE");
    for (const Chunk& c : chunks) {
        PutTag(body, c.tag);
        PutLE(body, static_cast<uint32_t>(c.size < 0 ? static_cast<int64_t>(c.body.size()) : c.size), 4);
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (padding == Padding::PadOdd && c.body.size() % 2 == 1) body.push_back(0);
    }
    Bytes file;
    PutTag(file, "RIFF");
    PutLE(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

inline Bytes SimpleWav(int channels, uint32_t rate, int bits, const Bytes& data) {
    return Riff({{"fmt ", FmtBody(channels, rate, bits)}, {"data", data}});
}

// The body of a "LIST" chunk of type "INFO": each text with its terminating zero in a
// sub-chunk of its own. padTexts pads an odd sub-chunk as ffmpeg does; without it the
// list itself can come out odd-sized.
inline Bytes ListInfo(const std::vector<std::pair<std::string, std::string>>& texts, bool padTexts) {
    Bytes b;
    PutTag(b, "INFO");
    for (const auto& [tag, text] : texts) {
        PutTag(b, tag);
        PutLE(b, static_cast<uint32_t>(text.size() + 1), 4);
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
        if (padTexts && (text.size() + 1) % 2 == 1) b.push_back(0);
    }
    return b;
}

// The body of a broadcast-wave "bext" chunk as ffmpeg writes it: 602 bytes of fixed fields
// (description, originator, dates, UMID, reserved), then the coding history and its zero.
constexpr size_t BextFixedBytes = 602;
inline Bytes Bext(const std::string& codingHistory) {
    Bytes b(BextFixedBytes, 0);
    b.insert(b.end(), codingHistory.begin(), codingHistory.end());
    b.push_back(0);
    return b;
}

struct NamedFile {
    std::string name;
    Bytes bytes;
};

// WAV files with odd-sized chunks before their data, each padded with the zero byte RIFF asks
// for, shaped as real tools write them: a 3-byte "note" chunk; a 33-byte "LIST" INFO chunk
// whose software text is not padded inside it; ffmpeg's 605-byte "bext" chunk (the coding
// history "ab") before its even "LIST"; and two odd chunks in a row.
inline std::vector<NamedFile> PaddedWavs(const Bytes& fmt, const Bytes& data) {
    const Bytes note = {'a', 'b', 0};
    const Bytes list33 = ListInfo({{"ISFT", "Lavf59.27.100, mixed"}}, false);
    const Bytes ffmpegList = ListInfo({{"ISFT", "Lavf59.27.100"}}, true);
    return {
        {"note_3.wav", Riff({{"fmt ", fmt}, {"note", note}, {"data", data}}, Padding::PadOdd)},
        {"list_33.wav", Riff({{"fmt ", fmt}, {"LIST", list33}, {"data", data}}, Padding::PadOdd)},
        {"bext_605.wav",
         Riff({{"fmt ", fmt}, {"bext", Bext("ab")}, {"LIST", ffmpegList}, {"data", data}}, Padding::PadOdd)},
        {"note_then_list.wav",
         Riff({{"fmt ", fmt}, {"note", note}, {"LIST", list33}, {"data", data}}, Padding::PadOdd)},
    };
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The three Vorbis header packets (identification, comments, codebooks) as an encoder makes
// them; a test may change, cut or drop them before they go into the file.
using HeaderPackets = std::vector<Bytes>;
using HeaderEdit = std::function<void(HeaderPackets&)>;

// One sample of a signal, -1..1, for a channel at a frame.
using Signal = std::function<double(int channel, int frame)>;

// An Ogg Vorbis file of frames of a signal, at rate, with channels, in a logical stream with
// the given serial number. The header packets pass through edit on their way into the file;
// the pages around them are whole, with good checksums, like those of a file crafted to get
// past a page reader.
inline Bytes OggEncode(int channels, int rate, int frames, const Signal& signal, const HeaderEdit& edit = {},
                       int serial = 1) {
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
    ogg_stream_init(&os, serial);
    ogg_page og;
    ogg_packet op, header, comments, codebooks;
    auto writePage = [&]() {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    HeaderPackets headers;
    for (const ogg_packet* p : {&header, &comments, &codebooks})
        headers.emplace_back(p->packet, p->packet + p->bytes);
    if (edit) edit(headers);
    // As an encoder lays them out: the identification packet alone on the first page, the
    // others from the second page on, audio from a fresh page.
    for (size_t i = 0; i < headers.size(); ++i) {
        ogg_packet p{};
        p.packet = headers[i].data();
        p.bytes = static_cast<long>(headers[i].size());
        p.b_o_s = i == 0;
        p.packetno = static_cast<ogg_int64_t>(i);
        ogg_stream_packetin(&os, &p);
        if (i == 0)
            while (ogg_stream_flush(&os, &og)) writePage();
    }
    while (ogg_stream_flush(&os, &og)) writePage();

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
    for (int done = 0; done < frames; done += step) {
        int n = std::min(step, frames - done);
        float** buf = vorbis_analysis_buffer(&vd, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) buf[c][i] = static_cast<float>(signal(c, done + i));
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

// A sine tone of amplitude 0.5: seconds long, at rate, with channels. channelGains scales the
// tone in each channel (missing entries: 1), so a test can tell the channels apart.
inline Bytes OggTone(int channels, int rate, double seconds, double hz = 440, const HeaderEdit& edit = {},
                     const std::vector<double>& channelGains = {}) {
    return OggEncode(
        channels, rate, static_cast<int>(seconds * rate),
        [&](int c, int i) {
            const double gain = c < static_cast<int>(channelGains.size()) ? channelGains[c] : 1;
            return gain * 0.5 * std::sin(2 * M_PI * hz * i / rate);
        },
        edit);
}

// Where the audio of an Ogg file from OggEncode begins: the first byte of the first page
// after the header pages (those of granule position 0). The file's size when it has no audio.
inline size_t OggAudioStart(const Bytes& ogg) {
    size_t at = 0;
    while (at < ogg.size()) {
        const unsigned char* page = ogg.data() + at;
        const size_t length = ogg_pages::OggPageLength(page, ogg.size() - at);
        if (length == 0) break;
        uint64_t granule = 0;
        for (size_t i = 0; i < 8; ++i) granule |= static_cast<uint64_t>(page[ogg_pages::OggPageGranuleAt + i]) << (8 * i);
        if (granule != 0) return at;
        at += length;
    }
    return ogg.size();
}

// A comment header packet: the vendor text, then the comments, each with the length field
// written in front of it; a length given in lengths (where not -1) is written instead of the
// real one, so a test can make a field run past the packet.
struct CommentField {
    std::string text;
    int64_t length = -1;
};
inline Bytes CommentPacket(const CommentField& vendor, const std::vector<CommentField>& comments,
                           int64_t count = -1, bool framing = true) {
    Bytes b = {3, 'v', 'o', 'r', 'b', 'i', 's'};
    auto field = [&b](const CommentField& f) {
        PutLE(b, static_cast<uint32_t>(f.length < 0 ? static_cast<int64_t>(f.text.size()) : f.length), 4);
        b.insert(b.end(), f.text.begin(), f.text.end());
    };
    field(vendor);
    PutLE(b, static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(comments.size()) : count), 4);
    for (const CommentField& c : comments) field(c);
    if (framing) b.push_back(1);
    return b;
}

// Short Ogg files whose headers are damaged the ways a crafted or broken file is: comment
// fields whose lengths or count run past their packet, cut or missing packets, a cut file and
// a page whose checksum no longer fits. Each is refused before decoding; the lengths here are
// the ones that make an unchecked comment reader write before its buffer, free pointers it
// never set, or allocate and loop for gigabytes.
inline std::vector<NamedFile> DamagedOggs(int channels = 1, int rate = 8000) {
    const double seconds = 0.25;
    auto withComments = [&](Bytes packet) {
        return OggTone(channels, rate, seconds, 440, [packet](HeaderPackets& h) { h.at(1) = packet; });
    };
    auto cut = [&](size_t packet, size_t keep) {
        return OggTone(channels, rate, seconds, 440, [packet, keep](HeaderPackets& h) { h.at(packet).resize(keep); });
    };
    std::vector<NamedFile> files = {
        {"vendor_huge.ogg", withComments(CommentPacket({"brindle", 0x7ffffff0}, {}))},
        {"vendor_minus_one.ogg", withComments(CommentPacket({"brindle", 0xffffffff}, {}))},
        {"vendor_past_packet.ogg", withComments(CommentPacket({"brindle", 100}, {}))},
        {"count_huge.ogg", withComments(CommentPacket({"brindle"}, {}, 0x0fffffff))},
        {"count_past_packet.ogg", withComments(CommentPacket({"brindle"}, {{"TITLE=Tide"}}, 100))},
        {"comment_minus_sixteen.ogg", withComments(CommentPacket({"brindle"}, {{"A=1", 0xfffffff0}, {"B=2"}}, 40))},
        {"comment_past_packet.ogg", withComments(CommentPacket({"brindle"}, {{"TITLE=Tide", 5000}}))},
        {"comment_cut.ogg", cut(1, 13)},
        {"identification_cut.ogg", cut(0, 20)},
        {"setup_cut.ogg", OggTone(channels, rate, seconds, 440, [](HeaderPackets& h) { h.at(2).resize(h[2].size() / 2); })},
        {"setup_missing.ogg", OggTone(channels, rate, seconds, 440, [](HeaderPackets& h) { h.pop_back(); })},
    };
    // Cut after the first page and a few bytes of the second.
    Bytes whole = OggTone(channels, rate, seconds);
    files.push_back({"file_cut.ogg", Bytes(whole.begin(), whole.begin() + 80)});
    // The vendor length of the comment page raised without mending the page's checksum: a
    // page reader that checks it skips the page, one that does not reads a huge length.
    Bytes badSum = whole;
    const size_t secondPage = 58;   // 27 + 1 lacing byte + 30 bytes of identification
    const size_t lacing = badSum.at(secondPage + 26);
    badSum.at(secondPage + 27 + lacing + 10) = 0x7f;   // the high byte of the vendor length
    files.push_back({"checksum_wrong.ogg", badSum});
    return files;
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

// ---- measuring decoded sound ----

using Stereo = std::vector<int16_t>;   // interleaved left, right

// Root mean square of one channel of interleaved stereo frames [from, to), full scale 1.
inline double ChannelRms(const Stereo& stereo, int channel, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, stereo.size() / 2);
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += std::pow(stereo[2 * i + channel] / 32768.0, 2);
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

// The amplitude of the frequency hz in one channel over frames [from, to) (a single-bin
// DFT): a sine of amplitude a at hz gives about a, a sine at another pitch next to nothing.
inline double ToneAmplitude(const Stereo& stereo, int channel, double hz, int rate, size_t from, size_t to) {
    double re = 0, im = 0;
    for (size_t i = from; i < to; ++i) {
        const double x = stereo[2 * i + channel] / 32768.0;
        re += x * std::cos(2 * M_PI * hz * static_cast<double>(i) / rate);
        im += x * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
    }
    return to > from ? 2 * std::hypot(re, im) / static_cast<double>(to - from) : 0;
}

}  // namespace audio_files
