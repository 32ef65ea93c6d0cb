// Geometry helpers of the core: the square spiral walk over a grid and the collision
// tests between points, circles, segments and centred rectangles (touching collides).
#include "VornCore.h"

// Numbers the cells of the grid 1..w x 1..h along a clockwise square spiral from the
// centre (centre, the cell above, then right, down, left and up around each ring) and
// returns the number of cell (x, y), or 0 when the walk leaves the grid before reaching it.
int VornCore::SpiralAt(int x, int y, int w, int h) {
    auto inside = [&](int cx, int cy) { return cx >= 1 && cx <= w && cy >= 1 && cy <= h; };
    if (!inside(x, y)) return 0;
    enum Heading { Up, Right, Down, Left };
    const int centreX = (w + 1) / 2;
    const int centreY = (h + 1) / 2;
    int px = centreX;
    int py = centreY;
    int step = 1;
    int ring = 0;
    Heading heading = Up;
    while (inside(px, py)) {
        if (px == x && py == y) return step;
        switch (heading) {
        case Up:
            if (--py < centreY - ring) {
                ring++;
                heading = Right;
            }
            break;
        case Right:
            if (++px == centreX + ring) heading = Down;
            break;
        case Down:
            if (++py == centreY + ring) heading = Left;
            break;
        case Left:
            if (--px == centreX - ring) heading = Up;
            break;
        }
        step++;
    }
    return 0;
}

int VornCore::Collide_Point_Circle(float px, float py, float cx, float cy, float r) {
    LastColPointX = LastColPointY = NoColPoint;
    const float dx = px - cx;
    const float dy = py - cy;
    return r * r >= dx * dx + dy * dy ? 1 : 0;
}

int VornCore::Collide_Circle_Circle(float x1, float y1, float r1, float x2, float y2, float r2) {
    return Collide_Point_Circle(x1, y1, x2, y2, r1 + r2);
}

// Segment 1-2 against segment 3-4; parallel and zero-length segments never meet.
int VornCore::Collide_Line_Line(float x1, float y1, float x2, float y2, float x3, float y3,
                                float x4, float y4) {
    LastColPointX = LastColPointY = NoColPoint;
    const float den = (y4 - y3) * (x2 - x1) - (x4 - x3) * (y2 - y1);
    if (den == 0) return 0;
    const float ua = ((x4 - x3) * (y1 - y3) - (y4 - y3) * (x1 - x3)) / den;
    const float ub = ((x2 - x1) * (y1 - y3) - (y2 - y1) * (x1 - x3)) / den;
    if (ua < 0 || ua > 1 || ub < 0 || ub > 1) return 0;
    LastColPointX = x1 + (x2 - x1) * ua;
    LastColPointY = y1 + (y2 - y1) * ua;
    return 1;
}

namespace {
// A centred rectangle as its left and top edges and its size.
struct Box {
    float left, top, w, h;
    Box(float x, float y, float width, float height)
        : left(x - width / 2), top(y - height / 2), w(width), h(height) {}
};

bool Within(float v, float from, float size) { return v >= from && v <= from + size; }

// One of b's vertical edges within a's horizontal span and one of b's horizontal edges
// within a's vertical span.
bool EdgeInside(const Box& a, const Box& b) {
    const bool acrossX = Within(b.left, a.left, a.w) || Within(b.left + b.w, a.left, a.w);
    const bool acrossY = Within(b.top, a.top, a.h) || Within(b.top + b.h, a.top, a.h);
    return acrossX && acrossY;
}
}  // namespace

int VornCore::Collide_Rect_Rect(float x1, float y1, float w1, float h1, float x2, float y2,
                                float w2, float h2) {
    const Box a(x1, y1, w1, h1);
    const Box b(x2, y2, w2, h2);
    return (b.left + b.w >= a.left && a.left + a.w >= b.left && b.top + b.h >= a.top &&
            a.top + a.h >= b.top)
               ? 1
               : 0;
}

// Misses two rectangles that cross like a plus sign, with no edge of either inside the
// other's span on both axes.
int VornCore::Collide_Rect_Rect_Complex(float x1, float y1, float w1, float h1, float x2,
                                        float y2, float w2, float h2) {
    const Box a(x1, y1, w1, h1);
    const Box b(x2, y2, w2, h2);
    return (EdgeInside(a, b) || EdgeInside(b, a)) ? 1 : 0;
}
