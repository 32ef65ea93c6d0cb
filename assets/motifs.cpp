// motifs.cpp - gems, creature beads and bubbles drawn at any size.
#include "motifs.h"

#include <cmath>
#include <vector>

namespace bw {

const GemColours SmallGemColours{rgb(40, 150, 240), rgb(190, 240, 255), rgb(10, 40, 110)};
const GemColours BigGemColours{rgb(250, 180, 30), rgb(255, 250, 190), rgb(120, 60, 0)};

void drawGem(Canvas& c, float cx, float cy, float radius, int sides, const GemColours& k, float rotation) {
    std::vector<Point> outer = ringPoints(cx, cy, radius, sides, rotation);
    std::vector<Point> table = ringPoints(cx, cy, radius * 0.5f, sides, rotation);
    float outline = std::max(0.6f, radius * 0.08f);
    c.fill(shape::grow(shape::polygon(outer), outline), k.dark);
    for (int i = 0; i < sides; ++i) {
        int j = (i + 1) % sides;
        float mx = (outer[i].x + outer[j].x) / 2 - cx, my = (outer[i].y + outer[j].y) / 2 - cy;
        float facing = (-mx - my) / (std::sqrt(mx * mx + my * my) * std::sqrt(2.0f));  // 1 toward the light
        Colour shade = facing > 0 ? mix(k.base, k.light, facing) : mix(k.base, k.dark, -facing * 0.8f);
        c.fill(shape::polygon({outer[i], outer[j], table[j], table[i]}), shade);
    }
    c.fill(shape::polygon(table), linear(cx - radius, cy - radius, k.light, cx + radius, cy + radius, k.base));
    float s = radius * 0.42f;
    c.fill(shape::star(cx - radius * 0.35f, cy - radius * 0.35f, s, s * 0.23f, 4, 0), grey(1.0f, 0.95f));
}

void drawBead(Canvas& c, float cx, float cy, float radius, Colour light, Colour dark, Colour rim) {
    c.fill(shape::circle(cx, cy, radius), radial(cx - radius * 0.22f, cy - radius * 0.3f, radius * 1.2f, light, dark));
    c.fill(shape::ring(cx, cy, radius - radius * 0.07f, radius * 0.1f), rim, Blend::Atop);
    c.fill(shape::ellipse(cx - radius * 0.27f, cy - radius * 0.38f, radius * 0.35f, radius * 0.23f),
           grey(1.0f, 0.8f), Blend::Atop);
}

void drawBubble(Canvas& c, float cx, float cy, float radius, float alpha) {
    c.fill(shape::circle(cx, cy, radius), grey(1.0f, 0.12f * alpha));
    c.fill(shape::ring(cx, cy, radius, std::max(0.6f, radius * 0.09f)), grey(1.0f, 0.8f * alpha));
    c.fill(shape::ellipse(cx - radius * 0.4f, cy - radius * 0.4f, radius * 0.28f, radius * 0.18f),
           grey(1.0f, 0.9f * alpha));
}

}  // namespace bw
