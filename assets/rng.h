// rng.h - the generator's own seeded random numbers (SplitMix64), so every picture and
// sound comes out the same on every run and with every standard library.
#pragma once

#include <cstdint>

namespace bw {

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    float unit() { return static_cast<float>(next() >> 40) / static_cast<float>(1ull << 24); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    // Uniform in [-1, 1), for noise.
    float signedUnit() { return unit() * 2.0f - 1.0f; }

private:
    uint64_t state_;
};

}  // namespace bw
