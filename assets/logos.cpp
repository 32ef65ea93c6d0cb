// logos.cpp - the big pictures: the game logo "logo" (the title "Brindlewick" over the
// creature, gems and bubbles), the framework badge "VornLogo" that the loading screen
// assembles from its 25 x 25 cells, and the unused menu panel "menu".
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "canvas.h"
#include "gen.h"
#include "motifs.h"
#include "rng.h"
#include "sheet.h"
#include "typeface.h"

namespace bw {

namespace {

constexpr float Pi = 3.14159265358979f;

// A vertical gradient through several colour stops at y positions (ascending).
Paint verticalStops(std::vector<std::pair<float, Colour>> stops) {
    return [stops](float, float y) {
        if (y <= stops.front().first) return stops.front().second;
        for (size_t i = 1; i < stops.size(); ++i) {
            if (y <= stops[i].first) {
                float t = (y - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
                return mix(stops[i - 1].second, stops[i].second, t);
            }
        }
        return stops.back().second;
    };
}

// The mask with every column moved down by shift(x) pixels (linear between rows): the
// title's gentle wave.
Mask waved(const Mask& m, float amplitude, float wavelength, float phase) {
    Mask out(m.w, m.h);
    for (int x = 0; x < m.w; ++x) {
        float shift = amplitude * std::sin(2 * Pi * x / wavelength + phase);
        for (int y = 0; y < m.h; ++y) {
            float sy = y - shift;
            int y0 = static_cast<int>(std::floor(sy));
            float t = sy - y0;
            out.v[static_cast<size_t>(y) * m.w + x] = m.at(x, y0) * (1 - t) + m.at(x, y0 + 1) * t;
        }
    }
    return out;
}

// Text drawn as a title: drop shadow, dark border, light inner rim, gradient fill with a
// gloss on its upper half. (x, baseline) is where the text's pen starts.
struct TitleStyle {
    float size;
    float border;       // pixels of the dark border
    float rim;          // pixels of the light rim inside the border
    Colour borderColour, rimColour;
    std::vector<std::pair<float, Colour>> fill;  // stops, in rows relative to the baseline
    float wave;         // amplitude of the wave, 0 for straight text
};

void drawTitle(Canvas& c, TypeFace& face, const std::string& text, const TitleStyle& st, float centreX,
               float baselineY) {
    int pad = static_cast<int>(std::ceil(st.border + 24));
    auto layer = [&](float stroke) {
        TypeFace::Line l = face.line(text, st.size, stroke, st.size * 0.01f, pad);
        if (st.wave > 0) l.mask = waved(l.mask, st.wave, static_cast<float>(l.mask.w) * 0.9f, 0.6f);
        return l;
    };
    TypeFace::Line plain = layer(0), border = layer(st.border), rim = layer(st.rim);
    int ox = static_cast<int>(std::lround(centreX - plain.mask.w / 2.0f));
    int oy = static_cast<int>(std::lround(baselineY)) - plain.baseline;
    float base = baselineY;

    Canvas shadow(c.width(), c.height());
    shadow.fillMask(border.mask, ox, oy + static_cast<int>(st.border * 0.7f), solid(Colour{0, 0.02f, 0.1f, 0.75f}));
    c.paste(shadow.blurred(st.border * 0.9f), 0, 0);
    c.fillMask(border.mask, ox, oy, linear(0, base - st.size, st.borderColour, 0, base + st.size * 0.2f,
                                          mix(st.borderColour, grey(0), 0.5f)));
    c.fillMask(rim.mask, ox, oy, solid(st.rimColour));

    std::vector<std::pair<float, Colour>> stops;
    for (const auto& s : st.fill) stops.push_back({base + s.first, s.second});
    Canvas body(c.width(), c.height());
    body.fillMask(plain.mask, ox, oy, verticalStops(stops));
    // Gloss: a soft light band over the upper half of the letters.
    float glossTop = base - st.size * 0.8f, glossBottom = base - st.size * 0.38f;
    body.shade([&](float, float y) {
                   if (y < glossTop || y > glossBottom) return Colour{1, 1, 1, 0};
                   return grey(1.0f, 0.35f * (1 - (y - glossTop) / (glossBottom - glossTop)));
               },
               Blend::Atop);
    c.paste(body, 0, 0);
}

// ---- logo ------------------------------------------------------------------------------

// The creature swimming along a wave below the title: beads growing from the tail to the
// head, the head with eyes.
void drawCreature(Canvas& c, float top) {
    const int beads = 24;
    struct Bead {
        float x, y, r;
    };
    std::vector<Bead> body;
    for (int i = 0; i < beads; ++i) {
        float t = static_cast<float>(i) / (beads - 1);
        float x = 150 + 700 * t;
        float y = top + 395 + 38 * std::sin(t * 2.3f * Pi + 0.4f);
        body.push_back({x, y, 9 + 17 * t});
    }
    for (int i = 0; i < beads - 1; ++i) {
        const Bead& b = body[i];
        drawBead(c, b.x, b.y, b.r + 2, rgb(20, 70, 30), rgb(10, 40, 15), rgb(5, 20, 5));
        drawBead(c, b.x, b.y, b.r, rgb(150, 245, 140), rgb(40, 130, 50), rgb(20, 80, 30, 0.8f));
    }
    const Bead& h = body.back();
    float hr = h.r + 8;
    drawBead(c, h.x + 14, h.y, hr + 3, rgb(20, 70, 30), rgb(10, 40, 15), rgb(5, 20, 5));
    drawBead(c, h.x + 14, h.y, hr, rgb(200, 255, 190), rgb(60, 160, 60), rgb(20, 80, 30, 0.8f));
    for (float dy : {-13.0f, 13.0f}) {
        float ex = h.x + 28, ey = h.y + dy;
        c.fill(shape::circle(ex, ey, 9), grey(1.0f));
        c.fill(shape::circle(ex + 3, ey, 4.8f), rgb(10, 25, 15));
        c.fill(shape::circle(ex + 1.5f, ey - 2, 1.6f), grey(1.0f));
    }
    Shape smile = shape::intersect(shape::ring(h.x + 30, h.y, 20, 2.2f), shape::box(h.x + 46, h.y, 8, 12));
    c.fill(smile, rgb(15, 60, 20));
}

bool writeLogo(const std::string& dir, TypeFace& face) {
    const PictureSpec& spec = LogoPicture;
    Canvas pic = blankPicture(spec);
    const float top = static_cast<float>(LogoBandTop);
    const float w = static_cast<float>(spec.cell);

    // A soft glow of water light behind everything.
    pic.fill(shape::ellipse(w / 2, top + 250, 500, 220),
             radial(w / 2, top + 250, 500, Colour{0.3f, 0.8f, 1.0f, 0.28f}, Colour{0.3f, 0.8f, 1.0f, 0.0f}));

    Rng rng(0x10605);
    for (int i = 0; i < 26; ++i) {
        float r = rng.range(5, 17);
        float x = i % 2 ? rng.range(20, 200) : rng.range(824, 1004);
        float y = top + rng.range(30, 480);
        drawBubble(pic, x, y, r, rng.range(0.5f, 1.0f));
    }

    drawCreature(pic, top);
    drawGem(pic, 240, top + 330, 26, 8, SmallGemColours, 22.5f);
    drawGem(pic, 780, top + 462, 22, 8, SmallGemColours, 22.5f);
    drawGem(pic, 95, top + 420, 34, 6, BigGemColours, 0);

    // Fit the title into 940 pixels across.
    float size = 200;
    TypeFace::Line probe = face.line("Brindlewick", size, 0, size * 0.01f, 0);
    size = std::min(size, size * 940.0f / static_cast<float>(probe.mask.w));
    TitleStyle st{size,
                  size * 0.085f,
                  size * 0.035f,
                  rgb(15, 40, 95),
                  rgb(150, 240, 255),
                  {{-size * 0.75f, rgb(235, 255, 245)},
                   {-size * 0.4f, rgb(120, 235, 200)},
                   {-size * 0.1f, rgb(40, 175, 190)},
                   {size * 0.2f, rgb(20, 95, 170)}},
                  size * 0.05f};
    drawTitle(pic, face, "Brindlewick", st, w / 2, top + 250);

    // A few sparkles on the letters.
    const Point sparkles[] = {{300, top + 118}, {655, top + 100}, {880, top + 150}};
    for (const Point& p : sparkles) {
        pic.fill(shape::circle(p.x, p.y, 16), radial(p.x, p.y, 16, grey(1.0f, 0.6f), grey(1.0f, 0.0f)));
        pic.fill(shape::star(p.x, p.y, 22, 3.0f, 4, 0), grey(1.0f, 0.95f));
    }
    return savePicture(dir, spec, pic);
}

// ---- VornLogo --------------------------------------------------------------------------

// The framework's badge: a gold ring around a deep violet disc with a bevelled "V" and a
// ribbon carrying the framework's name. The loading screen shows it at half size.
bool writeVornLogo(const std::string& dir, TypeFace& face) {
    const PictureSpec& spec = VornLogoSheet;
    Canvas pic = blankPicture(spec);
    const float cx = pic.width() / 2.0f, cy = pic.height() / 2.0f;

    pic.fill(shape::circle(cx, cy + 10, 392), Colour{0, 0, 0, 0.35f});
    pic.fill(shape::circle(cx, cy, 390), rgb(70, 40, 5));
    pic.fill(shape::circle(cx, cy, 384), linear(cx - 300, cy - 300, rgb(255, 235, 140), cx + 300, cy + 300,
                                               rgb(190, 110, 20)));
    pic.fill(shape::circle(cx, cy, 352), rgb(60, 30, 5));
    pic.fill(shape::circle(cx, cy, 346), radial(cx, cy - 80, 420, rgb(85, 55, 170), rgb(20, 10, 55)));
    // Studs around the ring.
    for (const Point& p : ringPoints(cx, cy, 368, 24, 7.5f))
        pic.fill(shape::circle(p.x, p.y, 6), radial(p.x - 2, p.y - 2, 8, rgb(255, 250, 210), rgb(170, 100, 20)));

    // The V, with its left half lit and its right half in shade.
    std::vector<Point> v = {{175, 170}, {300, 170}, {400, 440}, {500, 170}, {625, 170}, {445, 600}, {355, 600}};
    Shape vShape = shape::polygon(v);
    pic.fill(shape::moved(shape::grow(vShape, 14), 0, 12), Colour{0, 0, 0.05f, 0.55f});
    pic.fill(shape::grow(vShape, 12), rgb(60, 25, 0));
    pic.fill(vShape, linear(cx, 170, rgb(255, 215, 90), cx, 600, rgb(235, 120, 20)));
    Shape leftHalf = shape::polygon({{175, 170}, {300, 170}, {400, 440}, {400, 600}, {355, 600}});
    pic.fill(leftHalf, Colour{1, 1, 0.85f, 0.35f}, Blend::Atop);
    pic.fill(shape::grow(shape::polygon({{192, 182}, {290, 182}, {300, 210}, {205, 210}}), 1), Colour{1, 1, 1, 0.5f},
             Blend::Atop);

    // Ribbon across the lower part with the name on it.
    Shape ribbon = shape::polygon({{70, 585}, {730, 585}, {700, 640}, {730, 695}, {70, 695}, {100, 640}});
    pic.fill(shape::moved(ribbon, 0, 10), Colour{0, 0, 0.05f, 0.5f});
    pic.fill(shape::grow(ribbon, 6), rgb(90, 10, 20));
    pic.fill(ribbon, linear(0, 585, rgb(240, 70, 80), 0, 695, rgb(150, 20, 40)));
    pic.fill(shape::box(cx, 598, 330, 6), Colour{1, 1, 1, 0.25f}, Blend::Atop);

    float size = 80;
    TypeFace::Line probe = face.line("VORNFRAME", size, 0, size * 0.06f, 0);
    size = std::min(size, size * 500.0f / static_cast<float>(probe.mask.w));
    int pad = 12;
    TypeFace::Line text = face.line("VORNFRAME", size, 0, size * 0.06f, pad);
    TypeFace::Line edge = face.line("VORNFRAME", size, 4.0f, size * 0.06f, pad);
    float cap = face.capHeight(size);
    int ox = static_cast<int>(std::lround(cx - text.mask.w / 2.0f));
    int oy = static_cast<int>(std::lround(640 + cap / 2)) - text.baseline;
    pic.fillMask(edge.mask, ox, oy, solid(rgb(70, 5, 15)));
    pic.fillMask(text.mask, ox, oy, linear(0, 600, rgb(255, 255, 255), 0, 680, rgb(255, 220, 200)));

    // Sparkles above the V.
    const Point stars[] = {{400, 150}, {270, 110}, {530, 110}};
    for (const Point& p : stars) pic.fill(shape::star(p.x, p.y, p.x == 400 ? 34 : 20, 5, 4, 0), rgb(255, 250, 210));
    return savePicture(dir, spec, pic);
}

// ---- menu ------------------------------------------------------------------------------

// A translucent rounded panel; the game loads it but draws nothing from it.
bool writeMenu(const std::string& dir) {
    const PictureSpec& spec = MenuPicture;
    Canvas pic = blankPicture(spec);
    float c = spec.cell / 2.0f;
    pic.fill(shape::box(c, c, c - 2, c - 2, 40), rgb(150, 220, 255, 0.9f));
    pic.fill(shape::box(c, c, c - 8, c - 8, 34), linear(0, 0, rgb(20, 50, 110, 0.85f), 0, spec.cell * 1.0f,
                                                       rgb(5, 15, 50, 0.85f)));
    return savePicture(dir, spec, pic);
}

}  // namespace

bool writeLogos(const std::string& dir, const std::string& fontPath) {
    TypeFace face(fontPath);
    if (!face.ok()) {
        std::fprintf(stderr, "cannot open the font %s\n", fontPath.c_str());
        return false;
    }
    bool ok = writeLogo(dir, face);
    ok = writeVornLogo(dir, face) && ok;
    ok = writeMenu(dir) && ok;
    return ok;
}

}  // namespace bw
