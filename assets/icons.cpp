// icons.cpp - the menu pictures: "icons" (64-pixel round buttons: pause/resume, quit, the
// two counter-turning halves of the options gear, credits, and the backdrop tile) and
// "options" (32-pixel row icons, the back arrow and the lives icon).
#include <cmath>
#include <vector>

#include "canvas.h"
#include "gen.h"
#include "rng.h"
#include "sheet.h"

namespace bw {

namespace {

constexpr float Pi = 3.14159265358979f;

// A white symbol over a soft dark drop shadow, so it reads on light and dark alike.
Canvas withShadow(const Canvas& symbol, float blur, int offset, float strength) {
    Canvas out(symbol.width(), symbol.height());
    out.paste(symbol.tinted(Colour{0, 0, 0.05f, strength}).blurred(blur), offset, offset);
    out.paste(symbol, 0, 0);
    return out;
}

// ---- icons: 64-pixel cells ------------------------------------------------------------

// A glossy round button in two colours (top and bottom) carrying a white symbol.
Canvas roundButton(Colour top, Colour bottom, const Canvas& symbol) {
    Canvas c(64, 64);
    c.fill(shape::circle(32, 32, 30.5f), mix(bottom, grey(0), 0.6f));
    c.fill(shape::circle(32, 32, 28.5f), linear(32, 4, top, 32, 60, bottom));
    c.fill(shape::ring(32, 32, 27.5f, 1.0f), fade(grey(1.0f), 0.25f), Blend::Atop);
    c.fill(shape::ellipse(32, 19, 21, 12), linear(32, 7, grey(1.0f, 0.45f), 32, 31, grey(1.0f, 0.05f)), Blend::Atop);
    c.paste(withShadow(symbol, 2.5f, 2, 0.55f), 0, 0);
    return c;
}

Canvas pauseSymbol() {
    // A play triangle and pause bars side by side: the same frame pauses play and resumes it.
    Canvas s(64, 64);
    s.fill(shape::grow(shape::polygon({{17, 20}, {33, 32}, {17, 44}}), 1.2f), grey(1.0f));
    s.fill(shape::box(39.5f, 32, 2.6f, 12, 1.2f), grey(1.0f));
    s.fill(shape::box(47.5f, 32, 2.6f, 12, 1.2f), grey(1.0f));
    return s;
}

Canvas quitSymbol() {
    Canvas s(64, 64);
    s.fill(shape::unite(shape::segment(21, 21, 43, 43, 4.2f), shape::segment(43, 21, 21, 43, 4.2f)), grey(1.0f));
    return s;
}

Canvas creditsSymbol() {
    Canvas s(64, 64);
    s.fill(shape::grow(shape::star(32, 33, 17, 7.5f, 5, 0), 1.0f), grey(1.0f));
    return s;
}

// A toothed wheel: `teeth` teeth reaching out to `outer`, body to `body`, a hole of `hole`.
Shape gearShape(float body, float outer, float hole, int teeth, float toothHalfWidth) {
    Shape s = shape::circle(32, 32, body);
    for (int i = 0; i < teeth; ++i) {
        float deg = 360.0f * i / teeth;
        float mid = (body + outer) / 2;
        Shape tooth = shape::box(32, 32 - mid, toothHalfWidth, (outer - body) / 2 + 0.8f, 1.2f);
        s = shape::unite(s, shape::rotated(tooth, 32, 32, deg));
    }
    return shape::subtract(s, shape::circle(32, 32, hole));
}

// The outer half of the options gear: a steel ring with ten teeth around a wide hole.
Canvas gearOuter() {
    Canvas c(64, 64);
    Shape g = gearShape(23, 29.5f, 16.2f, 10, 3.6f);
    c.fill(shape::grow(g, 1.0f), grey(0.15f));
    c.fill(g, linear(14, 6, grey(0.98f), 50, 58, grey(0.55f)));
    c.fill(shape::ring(32, 32, 19.5f, 1.0f), grey(0.4f, 0.6f), Blend::Atop);
    return c;
}

// The inner half: a brass wheel with seven teeth that turns inside the outer ring.
Canvas gearInner() {
    Canvas c(64, 64);
    Shape g = gearShape(10.5f, 14.6f, 4.0f, 7, 2.3f);
    c.fill(shape::grow(g, 0.9f), rgb(60, 40, 0));
    c.fill(g, linear(22, 20, rgb(255, 235, 150), 42, 44, rgb(200, 140, 30)));
    c.fill(shape::ring(32, 32, 6.8f, 0.8f), rgb(120, 80, 10, 0.7f), Blend::Atop);
    return c;
}

// The backdrop tile: white waves and bubbles that repeat seamlessly every 64 pixels; the
// menu backdrop copies it 16 x 16 times and draws it faintly over a turning colour.
Canvas backdropTile() {
    Canvas c(64, 64);
    const float period = 64.0f;
    for (int row = 0; row < 2; ++row) {
        float base = 16.0f + 32.0f * row;
        float phase = row * Pi;
        Shape wave{[=](float x, float y) {
                       float k = 2 * Pi / period;
                       float f = base + 4.0f * std::sin(k * x + phase);
                       float slope = 4.0f * k * std::cos(k * x + phase);
                       return std::fabs(y - f) / std::sqrt(1 + slope * slope) - 1.3f;
                   },
                   0, base - 7, period, base + 7};
        c.fill(wave, grey(1.0f, 0.7f));
    }
    Rng rng(0xb0b);
    for (int i = 0; i < 7; ++i) {
        float r = rng.range(1.5f, 4.0f);
        float x = rng.range(0, period), y = rng.range(0, period);
        c.fillWrapped(shape::ring(x, y, r, 0.7f), solid(grey(1.0f, 0.6f)));
        c.fillWrapped(shape::circle(x - r * 0.35f, y - r * 0.35f, 0.8f), solid(grey(1.0f, 0.7f)));
    }
    return c;
}

bool writeIconSheet(const std::string& dir) {
    const PictureSpec& spec = IconSheet;
    Canvas sheet = blankPicture(spec);
    placeFrame(sheet, spec, IconPause, roundButton(rgb(110, 200, 255), rgb(20, 80, 190), pauseSymbol()));
    placeFrame(sheet, spec, IconQuit, roundButton(rgb(255, 120, 110), rgb(170, 20, 35), quitSymbol()));
    placeFrame(sheet, spec, IconGearOuter, gearOuter());
    placeFrame(sheet, spec, IconGearInner, gearInner());
    placeFrame(sheet, spec, IconCredits, roundButton(rgb(210, 150, 255), rgb(90, 30, 170), creditsSymbol()));
    placeFrame(sheet, spec, IconBackdropTile, backdropTile());
    return savePicture(dir, spec, sheet);
}

// ---- options: 32-pixel cells, white symbols for the option rows -------------------

Canvas backArrow() {
    Canvas s(32, 32);
    Shape head = shape::polygon({{4, 16}, {15, 5}, {15, 27}});
    s.fill(shape::grow(shape::unite(head, shape::box(20, 16, 8, 4.5f, 1.5f)), 0.8f), grey(1.0f));
    return s;
}

Canvas speaker() {
    Canvas s(32, 32);
    s.fill(shape::box(7.5f, 16, 3.5f, 4.5f, 1.0f), grey(1.0f));
    s.fill(shape::polygon({{9, 11.5f}, {17, 5}, {17, 27}, {9, 20.5f}}), grey(1.0f));
    Shape right = shape::box(28, 16, 8, 14);
    s.fill(shape::intersect(shape::ring(17, 16, 5.5f, 1.3f), right), grey(1.0f));
    s.fill(shape::intersect(shape::ring(17, 16, 10, 1.4f), right), grey(1.0f));
    return s;
}

Canvas musicNote() {
    Canvas s(32, 32);
    s.fill(shape::rotated(shape::ellipse(10, 24, 4, 3), 10, 24, -20), grey(1.0f));
    s.fill(shape::rotated(shape::ellipse(23, 21, 4, 3), 23, 21, -20), grey(1.0f));
    s.fill(shape::segment(13.4f, 23, 13.4f, 7, 1.1f), grey(1.0f));
    s.fill(shape::segment(26.4f, 20, 26.4f, 4, 1.1f), grey(1.0f));
    s.fill(shape::polygon({{12.3f, 6}, {27.5f, 3}, {27.5f, 8}, {12.3f, 11}}), grey(1.0f));
    return s;
}

Canvas screen() {
    Canvas s(32, 32);
    s.fill(shape::subtract(shape::box(16, 14, 13, 9.5f, 2.0f), shape::box(16, 14, 10, 6.5f, 0.5f)), grey(1.0f));
    s.fill(shape::box(16, 25, 2, 2.5f), grey(1.0f));
    s.fill(shape::box(16, 28, 7, 1.3f, 1.0f), grey(1.0f));
    // Corner marks inside the screen: full screen.
    const float c[4][2] = {{9.5f, 10}, {22.5f, 10}, {9.5f, 18}, {22.5f, 18}};
    for (const auto& p : c) {
        float sx = p[0] < 16 ? 1.0f : -1.0f, sy = p[1] < 14 ? 1.0f : -1.0f;
        s.fill(shape::segment(p[0], p[1], p[0] + 3.5f * sx, p[1], 0.8f), grey(1.0f));
        s.fill(shape::segment(p[0], p[1], p[0], p[1] + 2.5f * sy, 0.8f), grey(1.0f));
    }
    return s;
}

Canvas barChart() {
    Canvas s(32, 32);
    const float heights[4] = {7, 12, 9, 18};
    for (int i = 0; i < 4; ++i) {
        float x = 7.5f + 6 * i;
        s.fill(shape::box(x, 26 - heights[i] / 2, 2.3f, heights[i] / 2, 0.6f), grey(1.0f));
    }
    s.fill(shape::box(16, 28, 13, 1.0f), grey(1.0f));
    return s;
}

Canvas gamepad() {
    Canvas s(32, 32);
    Shape body = shape::unite(shape::box(16, 15, 13, 6.5f, 5.0f),
                              shape::unite(shape::circle(7.5f, 21, 4.5f), shape::circle(24.5f, 21, 4.5f)));
    s.fill(body, grey(1.0f));
    Shape pad = shape::unite(shape::box(9, 15.5f, 3.8f, 1.2f), shape::box(9, 15.5f, 1.2f, 3.8f));
    s.fill(pad, grey(1.0f), Blend::Erase);
    s.fill(shape::circle(21.5f, 13.5f, 1.7f), grey(1.0f), Blend::Erase);
    s.fill(shape::circle(25, 17, 1.7f), grey(1.0f), Blend::Erase);
    return s;
}

Canvas invertStick() {
    Canvas s(32, 32);
    s.fill(shape::ring(11.5f, 16, 7.5f, 1.4f), grey(1.0f));
    s.fill(shape::circle(11.5f, 16, 3.5f), grey(1.0f));
    s.fill(shape::segment(25, 8, 25, 24, 1.3f), grey(1.0f));
    s.fill(shape::polygon({{25, 2.5f}, {30, 9}, {20, 9}}), grey(1.0f));
    s.fill(shape::polygon({{25, 29.5f}, {30, 23}, {20, 23}}), grey(1.0f));
    return s;
}

Canvas person() {
    Canvas s(32, 32);
    s.fill(shape::circle(16, 10, 6), grey(1.0f));
    s.fill(shape::intersect(shape::ellipse(16, 29, 12, 11), shape::box(16, 23, 14, 5.5f)), grey(1.0f));
    return s;
}

Canvas snail() {
    Canvas s(32, 32);
    s.fill(shape::segment(5, 25, 27, 25, 3.0f), grey(1.0f));
    s.fill(shape::segment(7, 23, 4.5f, 13, 0.9f), grey(1.0f));
    s.fill(shape::segment(9, 23, 9.5f, 12, 0.9f), grey(1.0f));
    s.fill(shape::circle(4.5f, 12.5f, 1.6f), grey(1.0f));
    s.fill(shape::circle(9.5f, 11.5f, 1.6f), grey(1.0f));
    s.fill(shape::circle(19, 15.5f, 9), grey(1.0f));
    s.fill(shape::ring(19.5f, 15.5f, 5.3f, 0.9f), grey(1.0f), Blend::Erase);
    s.fill(shape::ring(20, 15.5f, 2.0f, 0.8f), grey(1.0f), Blend::Erase);
    return s;
}

// The lives icon of the play screen's top row: the creature's head, in its own green.
Canvas livesIcon() {
    Canvas c(32, 32);
    c.fill(shape::circle(16, 17, 12.5f), rgb(10, 50, 15));
    c.fill(shape::circle(16, 17, 11.2f), radial(13, 12, 15, rgb(190, 255, 170), rgb(40, 140, 50)));
    c.fill(shape::ellipse(13, 10.5f, 5, 2.6f), grey(1.0f, 0.5f), Blend::Atop);
    for (float ex : {11.5f, 20.5f}) {
        c.fill(shape::circle(ex, 15.5f, 3.4f), grey(1.0f));
        c.fill(shape::circle(ex + 0.8f, 16, 1.7f), rgb(10, 20, 10));
    }
    Shape smile = shape::intersect(shape::ring(16, 19, 5.5f, 1.0f), shape::box(16, 24, 6, 3));
    c.fill(smile, rgb(10, 50, 15));
    return c;
}

bool writeOptionSheet(const std::string& dir) {
    const PictureSpec& spec = OptionSheet;
    Canvas sheet = blankPicture(spec);
    struct Entry {
        int frame;
        Canvas (*draw)();
    };
    const Entry symbols[] = {{OptBack, backArrow},         {OptSfxVolume, speaker}, {OptMusicVolume, musicNote},
                             {OptScreen, screen},          {OptStats, barChart},    {OptController, gamepad},
                             {OptInvertY, invertStick},    {OptOnlineName, person}, {OptLessMotion, snail}};
    for (const Entry& e : symbols) placeFrame(sheet, spec, e.frame, withShadow(e.draw(), 1.3f, 1, 0.7f));
    placeFrame(sheet, spec, OptLives, livesIcon());
    return savePicture(dir, spec, sheet);
}

}  // namespace

bool writeIcons(const std::string& dir) {
    bool ok = writeIconSheet(dir);
    ok = writeOptionSheet(dir) && ok;
    return ok;
}

}  // namespace bw
