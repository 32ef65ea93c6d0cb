// sounds.cpp - the eight sound effects, synthesised: a spare bubble (01), gem (02), big
// gem (03), death and blast (04), bomb pickup and countdown tick (05), the jingle (95),
// menu confirm (98) and menu cursor move (99); 16-bit mono WAV files.
#include <cmath>
#include <functional>
#include <vector>

#include "gen.h"
#include "synth.h"

namespace bw {

namespace {

constexpr float Rate = static_cast<float>(SampleRate);

// Renders `seconds` of a voice given as a function of time.
std::vector<float> render(float seconds, const std::function<float(float t)>& voice) {
    std::vector<float> out(static_cast<size_t>(seconds * Rate));
    for (size_t i = 0; i < out.size(); ++i) out[i] = voice(static_cast<float>(i) / Rate);
    return out;
}

// 01, never played by the game: a small rising bubble.
std::vector<float> bubble() {
    double phase = 0;
    return render(0.16f, [&](float t) {
        float hz = 320.0f + 900.0f * std::min(t / 0.09f, 1.0f);
        phase += hz / Rate;
        return sine(phase) * pluck(t, 0.004f, 0.05f);
    });
}

// 02, a gem eaten: two quick bright bell notes a fifth apart.
std::vector<float> gem() {
    Noise noise(2);
    OnePole hp;
    hp.cutoff(6000, Rate);
    return render(0.45f, [&](float t) {
        float v = bell(t, midiHz(88), 2.0f, 1.2f, 0.12f) + 0.9f * bell(t - 0.065f, midiHz(95), 2.0f, 1.0f, 0.16f);
        v += 0.25f * hp.highpass(noise.next()) * pluck(t, 0.001f, 0.015f);
        return v;
    });
}

// 03, a big gem eaten: a shimmering arpeggio up two octaves.
std::vector<float> bigGem() {
    const float notes[] = {72, 76, 79, 84, 88};
    return render(0.95f, [&](float t) {
        float v = 0;
        for (int i = 0; i < 5; ++i) {
            float start = 0.05f * i;
            float hz = midiHz(notes[i]);
            v += bell(t - start, hz, 3.5f, 0.8f, 0.3f) * 0.6f;
            v += bell(t - start, hz * 1.004f, 2.0f, 0.6f, 0.35f) * 0.4f;
        }
        return v;
    });
}

// 04, death and bomb blast: a noise burst closing down from bright to dark over a falling
// thump, with crackle. The blast plays it at 2.3 to 2.8 times the speed.
std::vector<float> blast() {
    Noise noise(4), crackle(44);
    Svf filter;
    double thump = 0;
    float spark = 0;
    std::vector<float> out = render(1.3f, [&](float t) {
        float cutoff = 200.0f + 5000.0f * std::exp(-t / 0.18f);
        filter.run(noise.next(), cutoff, 0.9f, Rate);
        float body = filter.low * pluck(t, 0.002f, 0.32f);
        float hz = 35.0f + 110.0f * std::exp(-t / 0.08f);
        thump += hz / Rate;
        float sub = sine(thump) * pluck(t, 0.003f, 0.22f);
        if (crackle.next() > 0.9965f - 0.003f * std::exp(-t / 0.3f)) spark = crackle.next();
        spark *= 0.93f;
        return body * 1.3f + sub * 0.9f + spark * 0.5f * std::exp(-t / 0.4f);
    });
    return out;
}

// 05, bomb pickup and the countdown tick: a short metallic tick over a low knock. The
// countdown plays it ever higher as the bomb runs down.
std::vector<float> tick() {
    Noise noise(5);
    return render(0.14f, [&](float t) {
        float metal = (sine(1250.0 * t) + 0.6f * sine(1870.0 * t) + 0.3f * sine(3150.0 * t)) * pluck(t, 0.0008f, 0.03f);
        float knock = sine(420.0 * t) * pluck(t, 0.001f, 0.02f);
        float click = noise.next() * pluck(t, 0.0002f, 0.002f);
        return metal * 0.6f + knock * 0.7f + click * 0.4f;
    });
}

// 95, the jingle at loading and on every return to the title: a little mallet phrase over
// a plucked bass, ending on a bell chord.
std::vector<float> jingle() {
    struct Note {
        float start, midi, decay;
    };
    const Note melody[] = {{0.00f, 74, 0.2f}, {0.10f, 77, 0.2f}, {0.20f, 81, 0.2f}, {0.30f, 84, 0.25f},
                           {0.45f, 81, 0.25f}, {0.60f, 86, 0.7f}};
    const Note bass[] = {{0.0f, 50, 0.25f}, {0.30f, 45, 0.25f}, {0.60f, 50, 0.6f}};
    const float chord[] = {74, 77, 81, 86};
    return render(1.9f, [&](float t) {
        float v = 0;
        for (const Note& n : melody) v += marimba(t - n.start, midiHz(n.midi), n.decay) * 0.55f;
        for (const Note& n : bass) {
            float hz = midiHz(n.midi);
            float u = t - n.start;
            v += (sine(hz * u) + 0.3f * sine(2.0 * hz * u)) * pluck(u, 0.004f, n.decay) * 0.45f;
        }
        for (float m : chord) v += bell(t - 0.6f, midiHz(m + 12), 3.5f, 0.6f, 0.5f) * 0.14f;
        // A soft echo of the phrase.
        for (const Note& n : melody) v += marimba(t - n.start - 0.18f, midiHz(n.midi), n.decay) * 0.15f;
        return v;
    });
}

// 98, menu confirm: two rising soft square-ish notes.
std::vector<float> confirm() {
    auto tone = [](float u, float hz) {
        if (u < 0) return 0.0f;
        return (sine(hz * u) + 0.3f * sine(3.0 * hz * u) + 0.12f * sine(5.0 * hz * u)) * pluck(u, 0.002f, 0.06f);
    };
    return render(0.3f, [&](float t) { return tone(t, midiHz(81)) * 0.8f + tone(t - 0.07f, midiHz(88)); });
}

// 99, menu cursor move: one short soft blip.
std::vector<float> move() {
    double phase = 0;
    return render(0.07f, [&](float t) {
        float hz = 900.0f + 300.0f * std::min(t / 0.03f, 1.0f);
        phase += hz / Rate;
        return sine(phase) * pluck(t, 0.001f, 0.018f);
    });
}

struct Effect {
    int number;
    std::vector<float> (*make)();
    float peak;     // loudest sample, 0..1
    float fadeOut;  // seconds
};

}  // namespace

bool writeSounds(const std::string& dir) {
    const Effect effects[] = {
        {SfxSpare, bubble, 0.7f, 0.02f},  {SfxGem, gem, 0.8f, 0.08f},         {SfxBigGem, bigGem, 0.8f, 0.15f},
        {SfxBlast, blast, 0.95f, 0.3f},   {SfxBomb, tick, 0.75f, 0.03f},      {SfxJingle, jingle, 0.85f, 0.3f},
        {SfxConfirm, confirm, 0.7f, 0.05f}, {SfxMove, move, 0.5f, 0.02f},
    };
    bool ok = true;
    for (const Effect& e : effects) {
        Pcm pcm;
        pcm.rate = SampleRate;
        pcm.channels = 1;
        pcm.samples = e.make();
        normalise(pcm.samples, e.peak);
        fadeEnds(pcm.samples, SampleRate, 0.0005f, e.fadeOut);
        ok = writeWav16(dir + "/" + soundFileName(e.number), pcm) && ok;
    }
    return ok;
}

}  // namespace bw
