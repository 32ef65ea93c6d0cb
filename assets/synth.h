// synth.h - the sound generator's building blocks: a PCM buffer and its 16-bit WAV
// writer, oscillators, envelopes, filters and level helpers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bw {

// Interleaved float samples, -1..1.
struct Pcm {
    int rate = 44100;
    int channels = 1;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
};

// A RIFF WAVE file: the "fmt " chunk (16 bytes, PCM) right after "WAVE", then "data" with
// 16-bit little-endian samples, as the game's loader reads it.
bool writeWav16(const std::string& path, const Pcm& pcm);

constexpr float TwoPi = 6.28318530717959f;

float midiHz(float note);                  // 69 = A4 = 440 Hz
float sine(double phaseCycles);            // sin of a phase counted in cycles
float polyBlepSaw(double phase, double step);  // band-limited saw, phase in cycles (0..1)

// Attack then exponential decay, 0 before t = 0.
float pluck(float t, float attack, float decay);
// Linear attack, hold at 1 until `gate`, then exponential release.
float gated(float t, float attack, float gate, float release);

// Voices shared by the effects and the music, t in seconds from the note's start.
// A frequency-modulation bell: `ratio` sets the colour (3.5 glassy, 2 soft keys).
float bell(float t, float hz, float ratio, float brightness, float decay);
// A wooden mallet tone with a short bright strike.
float marimba(float t, float hz, float decay);

// One-pole low-pass / high-pass.
struct OnePole {
    float coefficient = 0, state = 0;
    void cutoff(float hz, float rate);
    float lowpass(float x);
    float highpass(float x);
};

// State-variable filter (low-pass and band-pass outputs), cutoff may change per sample.
struct Svf {
    float low = 0, band = 0;
    void run(float x, float hz, float resonance, float rate);
};

// White noise from a seeded generator (reproducible).
class Noise {
public:
    explicit Noise(unsigned long long seed) : state_(seed * 2654435761ull + 1) {}
    float next();

private:
    unsigned long long state_;
};

// Scales the samples so the loudest reaches `peak`.
void normalise(std::vector<float>& samples, float peak);
// Linear fades at the start and the end, so a sound starts and stops without a click.
void fadeEnds(std::vector<float>& samples, int rate, float fadeIn, float fadeOut);

}  // namespace bw
