// motifs.h - drawings that appear both as small sprites and in the big logo pictures:
// faceted gems, the creature's beads and bubbles, at any size and place on a canvas.
#pragma once

#include "canvas.h"

namespace bw {

struct GemColours {
    Colour base, light, dark;
};

// The small gem is sapphire blue, the big gem gold; the logo shows both.
extern const GemColours SmallGemColours;
extern const GemColours BigGemColours;

// A gem seen from above: facets shaded toward a light at the top left, a flat table, a
// dark outline and a sparkle.
void drawGem(Canvas& c, float cx, float cy, float radius, int sides, const GemColours& colours, float rotation);

// One bead of the creature's body: a shaded ball with a darker rim and a highlight.
void drawBead(Canvas& c, float cx, float cy, float radius, Colour light, Colour dark, Colour rim);

// A bubble: a faint disc with a bright rim and a shine.
void drawBubble(Canvas& c, float cx, float cy, float radius, float alpha);

}  // namespace bw
