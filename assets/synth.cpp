// synth.cpp - oscillators, envelopes, filters, level helpers and the 16-bit WAV writer.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace bw {

namespace {

void put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xff));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
}

void put32(std::vector<unsigned char>& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void putTag(std::vector<unsigned char>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

constexpr unsigned PcmFormat = 1;
constexpr unsigned BitsPerSample = 16;
constexpr uint32_t FormatChunkSize = 16;

}  // namespace

bool writeWav16(const std::string& path, const Pcm& pcm) {
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.samples.size() * 2);
    const unsigned blockAlign = static_cast<unsigned>(pcm.channels) * BitsPerSample / 8;
    std::vector<unsigned char> out;
    putTag(out, "RIFF");
    put32(out, 4 + 8 + FormatChunkSize + 8 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, FormatChunkSize);
    put16(out, PcmFormat);
    put16(out, static_cast<unsigned>(pcm.channels));
    put32(out, static_cast<uint32_t>(pcm.rate));
    put32(out, static_cast<uint32_t>(pcm.rate) * blockAlign);
    put16(out, blockAlign);
    put16(out, BitsPerSample);
    putTag(out, "data");
    put32(out, dataBytes);
    for (float s : pcm.samples) {
        long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
        put16(out, static_cast<unsigned>(static_cast<uint16_t>(static_cast<int16_t>(v))));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

float midiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

float sine(double phaseCycles) {
    double frac = phaseCycles - std::floor(phaseCycles);
    return static_cast<float>(std::sin(frac * 6.283185307179586));
}

float polyBlepSaw(double phase, double step) {
    double t = phase - std::floor(phase);
    double v = 2.0 * t - 1.0;
    if (t < step) {
        double x = t / step;
        v -= x + x - x * x - 1.0;
    } else if (t > 1.0 - step) {
        double x = (t - 1.0) / step;
        v -= x * x + x + x + 1.0;
    }
    return static_cast<float>(v);
}

float pluck(float t, float attack, float decay) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / decay);
}

float gated(float t, float attack, float gate, float release) {
    if (t < 0) return 0;
    float level = t < attack ? t / attack : 1.0f;
    if (t > gate) level *= std::exp(-(t - gate) / release);
    return level;
}

float bell(float t, float hz, float ratio, float brightness, float decay) {
    if (t < 0) return 0;
    float index = brightness * std::exp(-t / (decay * 0.4f));
    double modulator = std::sin(6.283185307179586 * ratio * hz * t) * index;
    return static_cast<float>(std::sin(6.283185307179586 * hz * t + modulator)) * pluck(t, 0.002f, decay);
}

float marimba(float t, float hz, float decay) {
    if (t < 0) return 0;
    float strike = sine(4.0 * hz * t) * 0.3f * std::exp(-t / 0.025f);
    return (sine(static_cast<double>(hz) * t) + strike) * pluck(t, 0.0015f, decay);
}

void OnePole::cutoff(float hz, float rate) { coefficient = 1.0f - std::exp(-TwoPi * hz / rate); }

float OnePole::lowpass(float x) {
    state += coefficient * (x - state);
    return state;
}

float OnePole::highpass(float x) { return x - lowpass(x); }

void Svf::run(float x, float hz, float resonance, float rate) {
    float f = 2.0f * std::sin(3.14159265f * std::min(hz, rate / 6.0f) / rate);
    float q = 1.0f / std::max(resonance, 0.5f);
    low += f * band;
    float high = x - low - q * band;
    band += f * high;
}

float Noise::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<float>((state_ >> 40) & 0xffffff) / 8388608.0f - 1.0f;
}

void normalise(std::vector<float>& samples, float peak) {
    float most = 0;
    for (float s : samples) most = std::max(most, std::fabs(s));
    if (most <= 0) return;
    float k = peak / most;
    for (float& s : samples) s *= k;
}

void fadeEnds(std::vector<float>& samples, int rate, float fadeIn, float fadeOut) {
    size_t half = samples.size() / 2;
    size_t in = std::min(half, static_cast<size_t>(fadeIn * rate));
    size_t out = std::min(half, static_cast<size_t>(fadeOut * rate));
    for (size_t i = 0; i < in; ++i) samples[i] *= static_cast<float>(i) / in;
    for (size_t i = 0; i < out; ++i) samples[samples.size() - 1 - i] *= static_cast<float>(i) / out;
}

}  // namespace bw
