// The two random number generators: the seeded, table-driven stream (SeedRnd, Rnd, Rand)
// that the game uses for everything it randomises, and the clock-mixed one (tRnd, tRand)
// used for sound pitch, which reads the stream's accumulator but never moves the stream.
#include "VornCore.h"
#include "scramble_table.h"

#include <cmath>
#include <cstdint>
#include <limits>

int jRand_Seed = 0;
int jRand_Count = 0;
int jRand_Bit = 0;
int jRand_Plus = 0;
int jRand_Out = 0;
int jRand_tSeed = 0;

namespace {
constexpr int RndTableSize = 256;          // entries of jRand_Txt
constexpr int RndCountStep = 7;            // jRand_Count grows by this on every draw
constexpr int RndPlusModFirst = 13817278;  // remainders of the accumulator's two steps
constexpr int RndPlusModSecond = 15215178;
constexpr int RndOutModFirst = 371716;     // remainders of the output's two steps
constexpr int RndOutModSecond = 1310725;   // raw outputs are 0 .. RndOutModSecond - 1
constexpr int RndOutShiftFirst = 16;
constexpr int RndOutShiftSecond = 1024;
constexpr int RndClockOffset = 37171;      // added to the second clock read of tRnd
constexpr int RndClockSeedStep = 7;        // weight of tRnd's counter in its last step
constexpr double RandTop = 0.9999;         // widens Rnd's range so Rand reaches b

// Remainder that is never negative. The sums are worked in 64 bits, so for the seeds the
// system uses (from the clock) every value equals the 32-bit one; beyond that (negative
// seeds, the last stretch before the step counter wraps) table indexes stay in 0..255 and
// outputs in range instead of overflowing.
int64_t Wrap(int64_t v, int64_t m) {
    const int64_t r = v % m;
    return r < 0 ? r + m : r;
}

int64_t Table(int64_t i) { return static_cast<signed char>(jRand_Txt[Wrap(i, RndTableSize)]); }

float Scale(float a, float b, int64_t out) {
    const float f = static_cast<float>(out) / static_cast<float>(RndOutModSecond);
    return a + (b - a) * f;
}

float RandTopOf(float b) { return static_cast<float>(static_cast<double>(b) + RandTop); }
}  // namespace

void VornCore::SeedRnd() { SeedRnd(Mills()); }

void VornCore::SeedRnd(int s) {
    jRand_Seed = s;
    jRand_Bit = static_cast<int>(Wrap(s, RndTableSize));
    jRand_Plus = s / RndTableSize + GameNum;
    jRand_Count = 0;
    jRand_Out = 0;
}

float VornCore::Rnd(float a, float b) {
    int64_t count = static_cast<int64_t>(jRand_Count) + RndCountStep;
    if (count > std::numeric_limits<int32_t>::max()) count = 0;
    int64_t bit = Wrap(jRand_Bit + static_cast<int64_t>(jRand_Plus), RndTableSize);
    int64_t plus = Wrap(Table(bit) + count + jRand_Plus, RndPlusModFirst);
    bit = Wrap(bit + plus, RndTableSize);
    plus = Wrap(Table(bit) + plus + jRand_Seed, RndPlusModSecond);
    bit = Wrap(bit + plus + count, RndTableSize);
    int64_t out = Table(bit) + Table(count);
    out = Wrap(out * RndOutShiftFirst + bit + count, RndOutModFirst);
    out = Wrap(out * RndOutShiftSecond + plus, RndOutModSecond);
    jRand_Count = static_cast<int>(count);
    jRand_Bit = static_cast<int>(bit);
    jRand_Plus = static_cast<int>(plus);
    jRand_Out = static_cast<int>(out);
    return Scale(a, b, out);
}

float VornCore::Rnd(float x) { return Rnd(0, x); }

int VornCore::Rand(float a, float b) { return static_cast<int>(std::floor(Rnd(a, RandTopOf(b)))); }

int VornCore::Rand(float x) { return Rand(0, x); }

// Mixes two clock reads and the stream's accumulator with its own counter; of the seeded
// stream it only reads jRand_Plus.
float VornCore::tRnd(float a, float b) {
    const int64_t tSeed = static_cast<int64_t>(jRand_tSeed) + 1;
    jRand_tSeed = static_cast<int>(static_cast<uint32_t>(tSeed));
    const int64_t c = Mills();
    int64_t d = static_cast<int64_t>(Mills()) + RndClockOffset;
    int64_t p = jRand_Plus;
    d = Wrap(c + d + p + p, RndTableSize);
    p = Wrap(Table(d) + c + p, RndPlusModFirst);
    d = Wrap(d + p, RndTableSize);
    p = Wrap(Table(d) + p + tSeed, RndPlusModSecond);
    d = Wrap(d + p + c, RndTableSize);
    int64_t o = Table(d) + tSeed + Table(c);
    o = Wrap(o * RndOutShiftFirst + d + c, RndOutModFirst);
    o = Wrap(o * RndOutShiftSecond + p + RndClockSeedStep * tSeed, RndOutModSecond);
    return Scale(a, b, o);
}

float VornCore::tRnd(float x) { return tRnd(0, x); }

int VornCore::tRand(float a, float b) { return static_cast<int>(std::floor(tRnd(a, RandTopOf(b)))); }

int VornCore::tRand(float x) { return tRand(0, x); }
