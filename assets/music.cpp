// music.cpp - the play music "wombats.ogg": 16 bars in D minor at 120 beats per minute
// (pad, plucked bass, bell arpeggio, lead and light drums), rendered as an exact loop
// (every tail and echo wraps round to the start) and encoded with libvorbisenc.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "gen.h"
#include "synth.h"

namespace bw {

namespace {

constexpr float Rate = static_cast<float>(SampleRate);
constexpr float BeatSeconds = 60.0f / MusicBeatsPerMinute;
constexpr size_t LoopFrames = static_cast<size_t>(MusicLoopSamples);
constexpr int OggSerial = 0x0b71d1e;
constexpr float VorbisQuality = 0.4f;
constexpr int EncodeChunk = 4096;

// A stereo loop: writing past the end goes on at the start, so nothing is cut at the seam.
struct Loop {
    std::vector<float> left = std::vector<float>(LoopFrames), right = std::vector<float>(LoopFrames);

    // Adds a voice (a function of seconds since its start) of `seconds` length from
    // `beat`, placed by pan (-1 left .. 1 right).
    void add(float beat, float seconds, float gain, float pan, const std::function<float(float)>& voice) {
        size_t start = static_cast<size_t>(std::lround(beat * MusicBeatSamples)) % LoopFrames;
        size_t count = static_cast<size_t>(seconds * Rate);
        float gl = gain * std::cos((pan + 1) * 0.25f * 3.14159265f);
        float gr = gain * std::sin((pan + 1) * 0.25f * 3.14159265f);
        for (size_t i = 0; i < count; ++i) {
            float v = voice(static_cast<float>(i) / Rate);
            size_t at = (start + i) % LoopFrames;
            left[at] += v * gl;
            right[at] += v * gr;
        }
    }
};

// ---- the score ------------------------------------------------------------------------

struct Chord {
    float bass;
    float pad[4];
};
// Dm9, Bbmaj7, Gm7, A: one chord a bar, four times over.
const Chord Chords[4] = {{38, {53, 57, 60, 64}}, {34, {53, 57, 62, 65}}, {31, {53, 58, 62, 65}}, {33, {52, 57, 61, 64}}};

struct Note {
    float beat, midi, length;
};
// The lead, bars 5 to 12 (beats counted from bar 5).
const Note Melody[] = {
    {0, 69, 1},    {1, 72, 0.5f}, {1.5f, 74, 1.5f}, {3, 77, 1},     {4, 76, 1.5f},  {5.5f, 74, 0.5f}, {6, 72, 1},
    {7, 69, 1},    {8, 67, 1},    {9, 69, 0.5f},    {9.5f, 70, 0.5f}, {10, 74, 2},  {12, 73, 1},      {13, 76, 1},
    {14, 69, 2},   {16, 74, 0.5f}, {16.5f, 77, 0.5f}, {17, 81, 1.5f}, {18.5f, 79, 0.5f}, {19, 77, 1},   {20, 74, 1.5f},
    {21.5f, 77, 0.5f}, {22, 76, 1}, {23, 74, 1},    {24, 70, 1},    {25, 74, 1},    {26, 79, 1.5f},   {27.5f, 77, 0.5f},
    {28, 76, 1},   {29, 73, 1},   {30, 74, 2}};

// ---- instruments ----------------------------------------------------------------------

// Soft pad: three detuned band-limited saws through two low-pass stages.
std::function<float(float)> padVoice(float hz, float seconds, float detune) {
    struct State {
        double phase[3] = {0, 0.33, 0.67};
        OnePole a, b;
    };
    auto st = std::make_shared<State>();
    st->a.cutoff(900, Rate);
    st->b.cutoff(1400, Rate);
    return [=](float t) {
        float v = 0;
        const float spread[3] = {1.0f - detune, 1.0f, 1.0f + detune};
        for (int k = 0; k < 3; ++k) {
            double step = hz * spread[k] / Rate;
            st->phase[k] += step;
            v += polyBlepSaw(st->phase[k], step);
        }
        v = st->b.lowpass(st->a.lowpass(v / 3));
        return v * gated(t, 0.35f, seconds - 0.6f, 0.35f);
    };
}

float bassVoice(float t, float hz) {
    float v = sine(static_cast<double>(hz) * t) + 0.45f * sine(2.0 * hz * t) + 0.2f * sine(3.0 * hz * t);
    return std::tanh(v * 1.3f) * pluck(t, 0.004f, 0.28f);
}

float leadVoice(float t, float hz, float length) {
    float vibrato = t > 0.15f ? 0.004f * std::sin(TwoPi * 5.0f * t) : 0.0f;
    double phase = static_cast<double>(hz) * t * (1.0 + vibrato);
    float v = sine(phase) + 0.18f * sine(3.0 * phase) + 0.08f * sine(2.0 * phase);
    return v * gated(t, 0.02f, length, 0.12f);
}

float kick(float t) {
    // The pitch falls from 158 Hz to 48 Hz; its phase integrated in closed form.
    double phase = 48.0 * t + 110.0 * 0.035 * (1.0 - std::exp(-t / 0.035));
    return sine(phase) * pluck(t, 0.001f, 0.16f);
}

std::function<float(float)> noiseHit(unsigned long long seed, float cutoff, bool high, float decay) {
    struct State {
        Noise noise;
        OnePole filter;
        explicit State(unsigned long long s) : noise(s) {}
    };
    auto st = std::make_shared<State>(seed);
    st->filter.cutoff(cutoff, Rate);
    return [=](float t) {
        float n = st->noise.next();
        float v = high ? st->filter.highpass(n) : st->filter.lowpass(n);
        return v * pluck(t, 0.0008f, decay);
    };
}

std::function<float(float)> snare(unsigned long long seed) {
    auto body = noiseHit(seed, 1800, true, 0.09f);
    return [=](float t) { return body(t) + 0.5f * sine(190.0 * t) * pluck(t, 0.001f, 0.05f); };
}

// ---- arrangement ----------------------------------------------------------------------

void renderScore(Loop& dry, Loop& echoed) {
    const int beatsPerBar = MusicBeatsPerBar;
    unsigned long long seed = 1;
    for (int bar = 0; bar < MusicBars; ++bar) {
        const Chord& ch = Chords[bar % 4];
        float barBeat = static_cast<float>(bar * beatsPerBar);
        bool full = bar >= 4;

        // Pad: the chord held for the bar, its tail running into the next.
        for (int k = 0; k < 4; ++k) {
            float hz = midiHz(ch.pad[k]);
            float pan = -0.6f + 0.4f * k;
            dry.add(barBeat, BeatSeconds * beatsPerBar + 0.8f, 0.11f, pan,
                    padVoice(hz, BeatSeconds * beatsPerBar + 0.3f, 0.004f + 0.001f * k));
        }

        // Bass: eighth notes on root and octave.
        const float pattern[8] = {0, -1, 0, 12, -1, 0, 12, 0};
        for (int e = 0; e < 8; ++e) {
            if (pattern[e] < 0) continue;
            float hz = midiHz(ch.bass + 12 + pattern[e]);
            float gain = (e == 0 ? 0.34f : 0.24f) * (full ? 1.0f : 0.8f);
            dry.add(barBeat + 0.5f * e, 0.6f, gain, 0.0f, [hz](float t) { return bassVoice(t, hz); });
        }

        // Bell arpeggio over the chord, an octave up, into the echo.
        const int order[8] = {0, 2, 1, 3, 2, 0, 3, 1};
        for (int e = 0; e < 8; ++e) {
            float midi = ch.pad[order[e]] + 12 + ((bar % 8) >= 4 && e >= 4 ? 12 : 0);
            float hz = midiHz(midi);
            echoed.add(barBeat + 0.5f * e, 0.9f, 0.085f, e % 2 ? 0.45f : -0.45f,
                       [hz](float t) { return bell(t, hz, 2.0f, 0.9f, 0.35f); });
        }

        // Drums.
        for (int beat = 0; beat < beatsPerBar; ++beat) {
            float b = barBeat + beat;
            if (beat % 2 == 0) dry.add(b, 0.5f, full ? 0.55f : 0.35f, 0.0f, kick);
            if (full && beat % 2 == 1) dry.add(b, 0.3f, 0.16f, 0.1f, snare(++seed));
            for (int h = 0; h < 2; ++h) {
                float gain = (h == 1 ? 0.07f : 0.045f) * (full ? 1.0f : 0.7f);
                float decay = (h == 1 && beat == 3) ? 0.09f : 0.025f;
                dry.add(b + 0.5f * h, 0.25f, gain, -0.25f, noiseHit(++seed, 7000, true, decay));
            }
            for (int s = 0; s < 4; ++s)
                dry.add(b + 0.25f * s, 0.1f, 0.025f, 0.35f, noiseHit(++seed, 9000, true, 0.012f));
        }
        if (full && bar % 4 == 3) dry.add(barBeat + 3.5f, 0.5f, 0.4f, 0.0f, kick);
        if (bar == MusicBars - 1) {
            for (int r = 0; r < 4; ++r) dry.add(barBeat + 3.0f + 0.25f * r, 0.3f, 0.06f + 0.03f * r, -0.1f, snare(++seed));
        }
    }

    // The lead, bars 5 to 12.
    const float leadStart = 4.0f * beatsPerBar;
    for (const Note& n : Melody) {
        float hz = midiHz(n.midi);
        float length = n.length * BeatSeconds;
        echoed.add(leadStart + n.beat, length + 0.6f, 0.16f, 0.1f,
                   [hz, length](float t) { return leadVoice(t, hz, length * 0.92f); });
    }
}

// A ping-pong echo run round the loop twice, so the echoes that fall past the end are
// heard at the start, as they are when the music loops.
void addEcho(const Loop& in, Loop& out, float beats, float feedback, float wet) {
    size_t delay = static_cast<size_t>(std::lround(beats * MusicBeatSamples));
    std::vector<float> dl(delay, 0.0f), dr(delay, 0.0f);
    size_t pos = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < LoopFrames; ++i) {
            float el = dl[pos], er = dr[pos];
            dl[pos] = in.right[i] + er * feedback;
            dr[pos] = in.left[i] + el * feedback;
            pos = (pos + 1) % delay;
            if (pass == 1) {
                out.left[i] += in.left[i] + el * wet;
                out.right[i] += in.right[i] + er * wet;
            }
        }
    }
}

Pcm renderMusic() {
    Loop dry, echoed, mix;
    renderScore(dry, echoed);
    addEcho(echoed, mix, 0.75f, 0.38f, 0.45f);
    Pcm pcm;
    pcm.rate = SampleRate;
    pcm.channels = 2;
    pcm.samples.resize(LoopFrames * 2);
    for (size_t i = 0; i < LoopFrames; ++i) {
        pcm.samples[2 * i] = std::tanh((mix.left[i] + dry.left[i]) * 1.1f);
        pcm.samples[2 * i + 1] = std::tanh((mix.right[i] + dry.right[i]) * 1.1f);
    }
    normalise(pcm.samples, 0.89f);
    return pcm;
}

// ---- Ogg Vorbis -------------------------------------------------------------------------

bool writeOgg(const std::string& path, const Pcm& pcm) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = true;
    auto writePage = [&](const ogg_page& page) {
        ok = std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), f) ==
                 static_cast<size_t>(page.header_len) && ok;
        ok = std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), f) == static_cast<size_t>(page.body_len) && ok;
    };

    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, pcm.channels, pcm.rate, VorbisQuality) != 0) {
        std::fprintf(stderr, "the Vorbis encoder refused %d channels at %d Hz\n", pcm.channels, pcm.rate);
        vorbis_info_clear(&info);
        std::fclose(f);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "Wombats");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, OggSerial);

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) writePage(page);

    auto drain = [&]() {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) writePage(page);
            }
        }
    };
    size_t frames = pcm.frames();
    for (size_t at = 0; at < frames; at += EncodeChunk) {
        int n = static_cast<int>(std::min<size_t>(EncodeChunk, frames - at));
        float** buffer = vorbis_analysis_buffer(&dsp, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < pcm.channels; ++c)
                buffer[c][i] = pcm.samples[(at + static_cast<size_t>(i)) * pcm.channels + static_cast<size_t>(c)];
        vorbis_analysis_wrote(&dsp, n);
        drain();
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page) != 0) writePage(page);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

bool writeMusic(const std::string& dir) { return writeOgg(dir + "/audio/" + MusicFile, renderMusic()); }

}  // namespace bw
