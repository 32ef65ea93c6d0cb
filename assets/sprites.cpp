// sprites.cpp - the play screen's pictures: "gfx" (creature segment, gems, hazard and its
// blink, bomb pickup, regrown gem), "particles" (12 colour groups of sparks and motes),
// "ripple" (one ring) and "rippleb" (a seamless layer of water light).
#include <algorithm>
#include <cmath>
#include <vector>

#include "canvas.h"
#include "gen.h"
#include "motifs.h"
#include "rng.h"
#include "sheet.h"

namespace bw {

namespace {

constexpr float Pi = 3.14159265358979f;

// ---- gfx: 16-pixel cells, drawn at size 1 unless the play screen scales them --------

// The creature's body segment, drawn tinted green (head lighter) and stretched along its
// heading: a light grey bead with a darker rim, so the tint keeps its shading.
Canvas trailSegment() {
    Canvas c(16, 16);
    drawBead(c, 8, 8, 6.8f, grey(1.0f), grey(0.45f), grey(0.3f, 0.7f));
    return c;
}

Canvas gem(float radius, int sides, const GemColours& colours, float rotation) {
    Canvas c(16, 16);
    drawGem(c, 8, 8, radius, sides, colours, rotation);
    return c;
}

// The red hazard (drawn tinted red): a spiky urchin in greys with two angry eyes. The
// blink frame turns the spikes a little, brightens the core and closes the eyes.
Canvas hazard(bool blink) {
    Canvas c(16, 16);
    const float cx = 8, cy = 8;
    Shape spikes = shape::star(cx, cy, blink ? 7.9f : 7.5f, blink ? 3.9f : 4.4f, 10, blink ? 18.0f : 0.0f);
    c.fill(shape::grow(spikes, 0.5f), grey(0.25f));
    c.fill(spikes, radial(cx, cy, 7.5f, grey(1.0f), grey(0.55f)));
    c.fill(shape::circle(cx, cy, 4.6f), radial(cx - 1.2f, cy - 1.2f, 5.5f, grey(1.0f), grey(blink ? 0.9f : 0.7f)));
    if (blink) {
        c.fill(shape::segment(5.2f, 8.2f, 7.0f, 8.2f, 0.55f), grey(0.1f));
        c.fill(shape::segment(9.0f, 8.2f, 10.8f, 8.2f, 0.55f), grey(0.1f));
    } else {
        c.fill(shape::circle(6.1f, 8.2f, 1.15f), grey(0.08f));
        c.fill(shape::circle(9.9f, 8.2f, 1.15f), grey(0.08f));
        c.fill(shape::segment(4.9f, 6.0f, 7.2f, 7.0f, 0.45f), grey(0.1f));   // brows
        c.fill(shape::segment(11.1f, 6.0f, 8.8f, 7.0f, 0.45f), grey(0.1f));
    }
    return c;
}

// The regrown gem: a dark violet thorn crystal with a dim glowing heart, deadly to touch.
Canvas regrowing() {
    Canvas c(16, 16);
    const float cx = 8, cy = 8;
    Shape thorns = shape::star(cx, cy, 7.6f, 2.6f, 6, 0);
    Shape small = shape::star(cx, cy, 5.0f, 2.2f, 6, 30);
    c.fill(shape::grow(shape::unite(thorns, small), 0.6f), rgb(25, 8, 40));
    c.fill(thorns, radial(cx, cy, 7.6f, rgb(200, 120, 240), rgb(70, 25, 110)));
    c.fill(small, radial(cx, cy, 5.0f, rgb(230, 170, 250), rgb(110, 40, 150)));
    c.fill(shape::circle(cx, cy, 2.0f), radial(cx, cy, 2.0f, rgb(255, 230, 255), rgb(200, 90, 220)));
    return c;
}

// The bomb pickup: a round dark bomb with a shine, a brass cap, a fuse and its spark.
Canvas bomb() {
    Canvas c(16, 16);
    c.fill(shape::circle(7.2f, 9.2f, 6.0f), rgb(10, 10, 20));
    c.fill(shape::circle(7.2f, 9.2f, 5.4f), radial(5.6f, 7.4f, 7.0f, rgb(110, 120, 160), rgb(25, 25, 45)));
    c.fill(shape::ellipse(5.4f, 7.2f, 1.6f, 1.1f), grey(1.0f, 0.8f));
    c.fill(shape::rotated(shape::box(10.6f, 4.9f, 1.7f, 1.2f, 0.3f), 10.6f, 4.9f, 45), rgb(200, 160, 60));
    c.fill(shape::segment(11.4f, 4.1f, 12.6f, 3.1f, 0.5f), rgb(150, 110, 70));
    c.fill(shape::circle(13.0f, 2.9f, 2.9f), radial(13.0f, 2.9f, 2.9f, rgb(255, 230, 120), rgb(255, 120, 0, 0)));
    c.fill(shape::star(13.0f, 2.9f, 2.9f, 0.7f, 4, 0), rgb(255, 255, 220));
    return c;
}

bool writeGfx(const std::string& dir) {
    const PictureSpec& spec = GfxSheet;
    Canvas sheet = blankPicture(spec);
    placeFrame(sheet, spec, GfxTrail, trailSegment());
    placeFrame(sheet, spec, GfxGem, gem(6.2f, 8, SmallGemColours, 22.5f));
    placeFrame(sheet, spec, GfxBigGem, gem(7.6f, 6, BigGemColours, 0.0f));
    placeFrame(sheet, spec, GfxHazard, hazard(false));
    placeFrame(sheet, spec, GfxHazardBlink, hazard(true));
    placeFrame(sheet, spec, GfxBombPickup, bomb());
    placeFrame(sheet, spec, GfxRegrowing, regrowing());
    return savePicture(dir, spec, sheet);
}

// ---- particles: 32-pixel cells, 12 colour groups x 12 shapes -------------------------

// The group's colour: group 0 is white (the background motes), the others light tints
// around the colour wheel. The game tints every particle with a saturated hue, so light
// colours keep the sparks bright whatever the tint.
Colour groupColour(int group) {
    if (group == 0) return grey(1.0f);
    return hsv(360.0f * (group - 1) / (ParticleGroups - 1), 0.4f, 1.0f);
}

Canvas particle(int group, int kind) {
    Canvas c(32, 32);
    const float cx = 16, cy = 16;
    Colour tint = groupColour(group);
    Colour core = mix(tint, grey(1.0f), 0.6f);
    Colour clear = fade(tint, 0.0f);
    auto glow = [&](float r, float strength) {
        c.fill(shape::circle(cx, cy, r), radial(cx, cy, r, fade(tint, strength), clear));
    };
    switch (kind) {
        case 0:  // soft round glow
            glow(13, 0.9f);
            c.fill(shape::circle(cx, cy, 4), radial(cx, cy, 4, core, fade(core, 0)));
            break;
        case 1:  // bright dot with a halo
            glow(10, 0.6f);
            c.fill(shape::circle(cx, cy, 4.5f), radial(cx - 1, cy - 1, 5, core, tint));
            break;
        case 2:  // small speck
            glow(6, 0.7f);
            c.fill(shape::circle(cx, cy, 2.2f), core);
            break;
        case 3:  // four-pointed sparkle
            glow(9, 0.5f);
            c.fill(shape::star(cx, cy, 14, 2.2f, 4, 0), radial(cx, cy, 14, core, fade(tint, 0.3f)));
            break;
        case 4:  // small turned sparkle
            glow(7, 0.5f);
            c.fill(shape::star(cx, cy, 9, 1.8f, 4, 45), radial(cx, cy, 9, core, fade(tint, 0.4f)));
            break;
        case 5:  // five-pointed star
            glow(12, 0.35f);
            c.fill(shape::star(cx, cy, 11, 4.8f, 5, 0), radial(cx, cy - 2, 12, core, tint));
            c.fill(shape::grow(shape::star(cx, cy, 11, 4.8f, 5, 0), 0.3f), fade(grey(1.0f), 0.5f), Blend::Atop);
            break;
        case 6:  // bubble ring with a shine
            c.fill(shape::circle(cx, cy, 9), fade(tint, 0.15f));
            c.fill(shape::ring(cx, cy, 9, 1.3f), tint);
            c.fill(shape::ellipse(cx - 3.5f, cy - 4, 2.5f, 1.6f), core);
            break;
        case 7:  // diamond shard
            glow(9, 0.4f);
            c.fill(shape::polygon({{cx, cy - 12}, {cx + 5, cy}, {cx, cy + 12}, {cx - 5, cy}}),
                   linear(cx - 5, cy - 12, core, cx + 5, cy + 12, tint));
            break;
        case 8:  // streak
            c.fill(shape::segment(cx, cy - 12, cx, cy + 12, 3.5f), fade(tint, 0.35f));
            c.fill(shape::segment(cx, cy - 11, cx, cy + 11, 1.5f), linear(cx, cy - 11, core, cx, cy + 11, tint));
            break;
        case 9:  // cluster of three beads
            for (int i = 0; i < 3; ++i) {
                float a = (90.0f + 120.0f * i) * Pi / 180.0f;
                float x = cx + std::cos(a) * 6, y = cy + std::sin(a) * 6;
                c.fill(shape::circle(x, y, 5), radial(x, y, 5, fade(tint, 0.5f), clear));
                c.fill(shape::circle(x, y, 2.6f), core);
            }
            break;
        case 10:  // triangle chip
            glow(9, 0.35f);
            c.fill(shape::regular(cx, cy, 9, 3, 10), linear(cx - 8, cy - 8, core, cx + 8, cy + 8, tint));
            break;
        default:  // six-armed flake
            glow(10, 0.35f);
            for (int i = 0; i < 3; ++i) {
                float a = (60.0f * i) * Pi / 180.0f;
                float dx = std::sin(a) * 11, dy = std::cos(a) * 11;
                c.fill(shape::segment(cx - dx, cy - dy, cx + dx, cy + dy, 1.3f), core);
            }
            c.fill(shape::circle(cx, cy, 2.5f), grey(1.0f));
            break;
    }
    return c;
}

bool writeParticles(const std::string& dir) {
    const PictureSpec& spec = ParticleSheet;
    Canvas sheet = blankPicture(spec);
    for (int g = 0; g < ParticleGroups; ++g)
        for (int k = 0; k < ParticleShapes; ++k) placeFrame(sheet, spec, g * ParticleShapes + k, particle(g, k));
    return savePicture(dir, spec, sheet);
}

// ---- ripple: one ring spreading on the water, white so the game's alpha fades it -----

bool writeRipple(const std::string& dir) {
    const PictureSpec& spec = RipplePicture;
    const float c = spec.cell / 2.0f;
    Canvas ring(spec.cell, spec.cell);
    ring.fill(shape::ring(c, c, 57, 2.2f), grey(1.0f));
    Canvas glow = ring.blurred(5.0f);
    Canvas pic(spec.cell, spec.cell);
    pic.paste(glow, 0, 0, Blend::Over, 0.9f);
    pic.fill(shape::ring(c, c, 48, 1.2f), grey(1.0f, 0.35f));
    pic.fill(shape::ring(c, c, 40, 0.8f), grey(1.0f, 0.15f));
    pic.paste(ring, 0, 0);
    return savePicture(dir, spec, pic);
}

// ---- rippleb: caustic light, seamless in both directions -----------------------------

// Distance to the nearest and second nearest feature point of a periodic cell noise with
// `cells` x `cells` cells over the picture, one random point per cell.
struct CellNoise {
    int cells;
    std::vector<Point> points;  // in cell units, inside their own cell

    CellNoise(int count, Rng& rng) : cells(count) {
        for (int i = 0; i < count * count; ++i) points.push_back({rng.range(0.1f, 0.9f), rng.range(0.1f, 0.9f)});
    }

    // x and y in 0..1 of the picture; returns F2 - F1 in cell units.
    float edge(float x, float y) const {
        float px = x * cells, py = y * cells;
        int ix = static_cast<int>(std::floor(px)), iy = static_cast<int>(std::floor(py));
        float f1 = 1e9f, f2 = 1e9f;
        for (int j = -2; j <= 2; ++j) {
            for (int i = -2; i <= 2; ++i) {
                int cx = ix + i, cy = iy + j;
                int wx = ((cx % cells) + cells) % cells, wy = ((cy % cells) + cells) % cells;
                const Point& p = points[static_cast<size_t>(wy) * cells + wx];
                float dx = cx + p.x - px, dy = cy + p.y - py;
                float d = std::sqrt(dx * dx + dy * dy);
                if (d < f1) {
                    f2 = f1;
                    f1 = d;
                } else if (d < f2) {
                    f2 = d;
                }
            }
        }
        return f2 - f1;
    }
};

bool writeWater(const std::string& dir) {
    const PictureSpec& spec = WaterPicture;
    const float size = static_cast<float>(spec.cell);
    Rng rng(0x5a7e12);
    CellNoise big(6, rng), small(11, rng);
    Canvas pic(spec.cell, spec.cell);
    // Whole-number frequencies keep the warp and the shimmer seamless.
    float phase[6];
    for (float& p : phase) p = rng.range(0, 2 * Pi);
    auto wave = [&](float u, float v, int a, int b, int k) { return std::sin(2 * Pi * (a * u + b * v) + phase[k]); };
    pic.shade([&](float x, float y) {
        float u = x / size, v = y / size;
        float wu = u + 0.035f * wave(u, v, 2, 3, 0) + 0.02f * wave(u, v, -3, 1, 1);
        float wv = v + 0.035f * wave(u, v, 3, -2, 2) + 0.02f * wave(u, v, 1, 4, 3);
        float web = std::pow(1.0f - smoothstep(0.0f, 0.12f, big.edge(wu, wv)), 2.5f);
        float fine = std::pow(1.0f - smoothstep(0.0f, 0.18f, small.edge(wv, wu)), 3.0f);
        float shimmer = 0.65f + 0.35f * wave(u, v, 1, 2, 4) * wave(u, v, -2, 1, 5);
        float light = clamp01((web * 0.9f + fine * 0.4f) * shimmer);
        return Colour{0.85f, 0.96f, 1.0f, light};
    });
    return savePicture(dir, spec, pic);
}

}  // namespace

bool writeSprites(const std::string& dir) {
    bool ok = writeGfx(dir);
    ok = writeParticles(dir) && ok;
    ok = writeRipple(dir) && ok;
    ok = writeWater(dir) && ok;
    return ok;
}

}  // namespace bw
