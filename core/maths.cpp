// Maths helpers of the core in degrees (0 up, clockwise): sine and cosine, remainders and
// absolute values, the direction between points, distances, and the signed step along a
// wrapping range.
#include "VornCore.h"

#include <climits>
#include <cmath>

namespace {
// Degrees to radians multiplies by the first, radians to degrees divides by the second;
// the two differ on purpose, so a right angle reads back as 90.0015.
constexpr double DegToRad = 0.0174532925;
constexpr double RadToDegDivisor = 0.017453;
constexpr float FullTurnLast = 359;   // headings run 0..359 and wrap
}  // namespace

float VornCore::Sin(float a) { return static_cast<float>(std::sin(a * DegToRad)); }

float VornCore::Cos(float a) { return static_cast<float>(std::cos(a * DegToRad)); }

float VornCore::Mod(float a, float b) { return std::fmod(a, b); }

float VornCore::Abs(float a) { return a < 0 ? -a : a; }

// The most negative int has no positive counterpart; it gives the largest int.
int VornCore::Abs(int a) {
    if (a == INT_MIN) return INT_MAX;
    return a < 0 ? -a : a;
}

float VornCore::Atan2(float a, float b) {
    return static_cast<float>(std::atan2(a, b) / RadToDegDivisor);
}

// 0 when point 2 lies above point 1, 90 to its right, -180..180.
float VornCore::Atan2(float x1, float y1, float x2, float y2) { return Atan2(x2 - x1, y1 - y2); }

float VornCore::aTan2(float a, float b) { return Atan2(a, b); }

float VornCore::aTan2(float x1, float y1, float x2, float y2) { return Atan2(x1, y1, x2, y2); }

float VornCore::Dist(float x1, float y1, float x2, float y2) {
    const double dx = static_cast<double>(x1) - x2;
    const double dy = static_cast<double>(y1) - y2;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

float VornCore::Pyth(float a, float b) { return Dist(a, b, 0, 0); }

// The signed step from `from` to `to` on the range lo..hi that wraps after hi. With lo = 0
// it is the shortest turn (an exact half turn counts as backwards); any other lo is carried
// in the result as an offset.
float VornCore::WhichWayDoIGo(float from, float to, float lo, float hi) {
    const float range = (hi - lo) + 1;
    auto wrap = [&](float v) {
        const float r = Mod(v, range);
        return r < 0 ? r + range : r;
    };
    const float f = wrap(from);
    const float t = wrap(to);
    const float o = lo + wrap(t - f);
    return o > lo + (hi - lo) / 2 ? o - range : o;
}

float VornCore::WhichWayDoIGo(float from, float to) { return WhichWayDoIGo(from, to, 0, FullTurnLast); }
