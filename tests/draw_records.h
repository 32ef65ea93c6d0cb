// Draw-list records for the renderer's tests: a shape from its points and two colours, a
// blend record, and the hand-over of a list of them to the render copy.
#pragma once

#include <algorithm>
#include <array>
#include <vector>

#include "Vorn_glfw3.h"

using DrawRecord = std::array<double, DrawFields>;

// A record of the code with points from field 1 on and colours A and B (alpha, red, green, blue).
inline DrawRecord ShapeRecord(int code, const std::vector<double>& points, const std::array<double, 4>& a,
                              const std::array<double, 4>& b) {
    DrawRecord r{};
    r[FieldCode] = code;
    std::copy(points.begin(), points.end(), r.begin() + FieldX);
    std::copy(a.begin(), a.end(), r.begin() + FieldColourA);
    std::copy(b.begin(), b.end(), r.begin() + FieldColourB);
    return r;
}

inline DrawRecord BlendRecord(double mode) {
    DrawRecord r{};
    r[FieldCode] = CmdBlend;
    r[FieldX] = mode;  // the mode sits in field 1
    return r;
}

// Writes the records into the draw list and hands it over to the renderer.
inline void HandOver(const std::vector<DrawRecord>& list) {
    for (size_t i = 0; i < list.size(); ++i) std::copy(list[i].begin(), list[i].end(), ASys.Draw + i * DrawFields);
    ASys.DrawTo = static_cast<int>(list.size());
    ASys.RenderBuffer();
}
