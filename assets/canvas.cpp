// canvas.cpp - the generator's RGBA drawing surface: colour helpers, signed distance
// shapes, blending, blur and the PNG writer.
#include "canvas.h"

#include <lodepng.h>

#include <algorithm>
#include <cmath>

namespace bw {

namespace {

constexpr float Pi = 3.14159265358979f;
constexpr float DegToRad = Pi / 180.0f;

// The loader turns these colours transparent (red and blue above 250 with green at most
// 4, or green and blue above 250 with red at most 4).
constexpr int KeyHigh = 251;
constexpr int KeyLow = 4;

float length(float x, float y) { return std::sqrt(x * x + y * y); }

Shape make(std::function<float(float, float)> d, float x0, float y0, float x1, float y1) {
    return Shape{std::move(d), x0, y0, x1, y1};
}

}  // namespace

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float smoothstep(float edge0, float edge1, float v) {
    float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Colour rgb(int r, int g, int b, float a) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Colour grey(float v, float a) { return {v, v, v, a}; }

Colour hsv(float hueDegrees, float saturation, float value, float a) {
    float h = std::fmod(hueDegrees, 360.0f);
    if (h < 0) h += 360.0f;
    h /= 60.0f;
    int sector = static_cast<int>(h);
    float f = h - sector;
    float p = value * (1 - saturation);
    float q = value * (1 - saturation * f);
    float t = value * (1 - saturation * (1 - f));
    switch (sector) {
        case 0: return {value, t, p, a};
        case 1: return {q, value, p, a};
        case 2: return {p, value, t, a};
        case 3: return {p, q, value, a};
        case 4: return {t, p, value, a};
        default: return {value, p, q, a};
    }
}

Colour mix(Colour from, Colour to, float t) {
    t = clamp01(t);
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
            from.a + (to.a - from.a) * t};
}

Colour fade(Colour c, float alphaFactor) { return {c.r, c.g, c.b, c.a * alphaFactor}; }

Paint solid(Colour c) {
    return [c](float, float) { return c; };
}

Paint linear(float x0, float y0, Colour c0, float x1, float y1, Colour c1) {
    float dx = x1 - x0, dy = y1 - y0;
    float len2 = dx * dx + dy * dy;
    if (len2 <= 0) len2 = 1;
    return [=](float x, float y) { return mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / len2); };
}

Paint radial(float cx, float cy, float radius, Colour inner, Colour outer) {
    return [=](float x, float y) { return mix(inner, outer, length(x - cx, y - cy) / radius); };
}

std::vector<Point> ringPoints(float cx, float cy, float r, int count, float rotationDeg) {
    std::vector<Point> pts;
    for (int i = 0; i < count; ++i) {
        float a = (rotationDeg + 360.0f * i / count) * DegToRad;
        pts.push_back({cx + std::sin(a) * r, cy - std::cos(a) * r});
    }
    return pts;
}

namespace shape {

Shape circle(float cx, float cy, float r) {
    return make([=](float x, float y) { return length(x - cx, y - cy) - r; }, cx - r - 1, cy - r - 1,
                cx + r + 1, cy + r + 1);
}

Shape ellipse(float cx, float cy, float rx, float ry) {
    return make(
        [=](float x, float y) {
            float px = (x - cx), py = (y - cy);
            float k0 = length(px / rx, py / ry);
            float k1 = length(px / (rx * rx), py / (ry * ry));
            if (k1 <= 1e-6f) return -std::min(rx, ry);
            return k0 * (k0 - 1.0f) / k1;
        },
        cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1);
}

Shape ring(float cx, float cy, float r, float halfWidth) {
    float outer = r + halfWidth + 1;
    return make([=](float x, float y) { return std::fabs(length(x - cx, y - cy) - r) - halfWidth; },
                cx - outer, cy - outer, cx + outer, cy + outer);
}

Shape box(float cx, float cy, float halfW, float halfH, float corner) {
    return make(
        [=](float x, float y) {
            float qx = std::fabs(x - cx) - halfW + corner;
            float qy = std::fabs(y - cy) - halfH + corner;
            float outside = length(std::max(qx, 0.0f), std::max(qy, 0.0f));
            return outside + std::min(std::max(qx, qy), 0.0f) - corner;
        },
        cx - halfW - 1, cy - halfH - 1, cx + halfW + 1, cy + halfH + 1);
}

Shape segment(float x0, float y0, float x1, float y1, float halfWidth) {
    float ex = x1 - x0, ey = y1 - y0;
    float len2 = std::max(ex * ex + ey * ey, 1e-9f);
    return make(
        [=](float x, float y) {
            float wx = x - x0, wy = y - y0;
            float t = std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f);
            return length(wx - ex * t, wy - ey * t) - halfWidth;
        },
        std::min(x0, x1) - halfWidth - 1, std::min(y0, y1) - halfWidth - 1, std::max(x0, x1) + halfWidth + 1,
        std::max(y0, y1) + halfWidth + 1);
}

Shape polygon(std::vector<Point> pts) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (const Point& p : pts) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    return make(
        [pts](float x, float y) {
            // Distance to the nearest edge, negative inside by the even-odd rule.
            float best = 1e18f;
            bool inside = false;
            size_t n = pts.size();
            for (size_t i = 0, j = n - 1; i < n; j = i++) {
                float ex = pts[j].x - pts[i].x, ey = pts[j].y - pts[i].y;
                float wx = x - pts[i].x, wy = y - pts[i].y;
                float len2 = std::max(ex * ex + ey * ey, 1e-9f);
                float t = std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f);
                float bx = wx - ex * t, by = wy - ey * t;
                best = std::min(best, bx * bx + by * by);
                bool c1 = y >= pts[i].y, c2 = y < pts[j].y, c3 = ex * wy > ey * wx;
                if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) inside = !inside;
            }
            float d = std::sqrt(best);
            return inside ? -d : d;
        },
        x0 - 1, y0 - 1, x1 + 1, y1 + 1);
}

Shape star(float cx, float cy, float outer, float inner, int points, float rotationDeg) {
    std::vector<Point> pts;
    std::vector<Point> tips = ringPoints(cx, cy, outer, points, rotationDeg);
    std::vector<Point> dips = ringPoints(cx, cy, inner, points, rotationDeg + 180.0f / points);
    for (int i = 0; i < points; ++i) {
        pts.push_back(tips[i]);
        pts.push_back(dips[i]);
    }
    return polygon(pts);
}

Shape regular(float cx, float cy, float r, int sides, float rotationDeg) {
    return polygon(ringPoints(cx, cy, r, sides, rotationDeg));
}

Shape unite(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    return make([=](float x, float y) { return std::min(da(x, y), db(x, y)); }, std::min(a.x0, b.x0),
                std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1));
}

Shape intersect(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    return make([=](float x, float y) { return std::max(da(x, y), db(x, y)); }, std::max(a.x0, b.x0),
                std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1));
}

Shape subtract(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    return make([=](float x, float y) { return std::max(da(x, y), -db(x, y)); }, a.x0, a.y0, a.x1, a.y1);
}

Shape grow(const Shape& s, float by) {
    auto d = s.distance;
    return make([=](float x, float y) { return d(x, y) - by; }, s.x0 - by, s.y0 - by, s.x1 + by, s.y1 + by);
}

Shape moved(const Shape& s, float dx, float dy) {
    auto d = s.distance;
    return make([=](float x, float y) { return d(x - dx, y - dy); }, s.x0 + dx, s.y0 + dy, s.x1 + dx,
                s.y1 + dy);
}

Shape rotated(const Shape& s, float cx, float cy, float degrees) {
    auto d = s.distance;
    float c = std::cos(degrees * DegToRad), sn = std::sin(degrees * DegToRad);
    // Bounding box of the turned box.
    float bx0 = 1e9f, by0 = 1e9f, bx1 = -1e9f, by1 = -1e9f;
    const float xs[2] = {s.x0, s.x1}, ys[2] = {s.y0, s.y1};
    for (float x : xs) {
        for (float y : ys) {
            float rx = cx + (x - cx) * c - (y - cy) * sn;
            float ry = cy + (x - cx) * sn + (y - cy) * c;
            bx0 = std::min(bx0, rx);
            by0 = std::min(by0, ry);
            bx1 = std::max(bx1, rx);
            by1 = std::max(by1, ry);
        }
    }
    return make(
        [=](float x, float y) {
            float px = x - cx, py = y - cy;
            return d(cx + px * c + py * sn, cy - px * sn + py * c);
        },
        bx0, by0, bx1, by1);
}

}  // namespace shape

Canvas::Canvas(int width, int height)
    : w_(width), h_(height), px_(static_cast<size_t>(width) * height) {}

void Canvas::blendPixel(int x, int y, Colour c, float coverage, Blend mode) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float sa = clamp01(c.a * coverage);
    if (sa <= 0) return;
    Colour& d = px_[static_cast<size_t>(y) * w_ + x];
    switch (mode) {
        case Blend::Over:
            d.r = c.r * sa + d.r * (1 - sa);
            d.g = c.g * sa + d.g * (1 - sa);
            d.b = c.b * sa + d.b * (1 - sa);
            d.a = sa + d.a * (1 - sa);
            break;
        case Blend::Add:
            d.r += c.r * sa;
            d.g += c.g * sa;
            d.b += c.b * sa;
            d.a = std::min(1.0f, d.a + sa * std::max({c.r, c.g, c.b}));
            break;
        case Blend::Atop:
            d.r = c.r * sa * d.a + d.r * (1 - sa);
            d.g = c.g * sa * d.a + d.g * (1 - sa);
            d.b = c.b * sa * d.a + d.b * (1 - sa);
            break;
        case Blend::Erase:
            d.r *= 1 - sa;
            d.g *= 1 - sa;
            d.b *= 1 - sa;
            d.a *= 1 - sa;
            break;
    }
}

void Canvas::fill(const Shape& s, const Paint& paint, Blend mode, float opacity) {
    int x0 = std::max(0, static_cast<int>(std::floor(s.x0)));
    int y0 = std::max(0, static_cast<int>(std::floor(s.y0)));
    int x1 = std::min(w_ - 1, static_cast<int>(std::ceil(s.x1)));
    int y1 = std::min(h_ - 1, static_cast<int>(std::ceil(s.y1)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = clamp01(0.5f - s.distance(px, py));
            if (cov > 0) blendPixel(x, y, paint(px, py), cov * opacity, mode);
        }
    }
}

void Canvas::fill(const Shape& s, Colour c, Blend mode, float opacity) { fill(s, solid(c), mode, opacity); }

void Canvas::fillWrapped(const Shape& s, const Paint& paint, Blend mode, float opacity) {
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            float dx = static_cast<float>(i * w_), dy = static_cast<float>(j * h_);
            Shape m = shape::moved(s, dx, dy);
            if (m.x1 < 0 || m.y1 < 0 || m.x0 > w_ || m.y0 > h_) continue;
            Paint p = [paint, dx, dy](float x, float y) { return paint(x - dx, y - dy); };
            fill(m, p, mode, opacity);
        }
    }
}

void Canvas::fillMask(const Mask& m, int dx, int dy, const Paint& paint, Blend mode, float opacity) {
    for (int y = 0; y < m.h; ++y) {
        for (int x = 0; x < m.w; ++x) {
            float cov = m.v[static_cast<size_t>(y) * m.w + x];
            if (cov > 0) blendPixel(x + dx, y + dy, paint(x + dx + 0.5f, y + dy + 0.5f), cov * opacity, mode);
        }
    }
}

void Canvas::shade(const Paint& paint, Blend mode) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) blendPixel(x, y, paint(x + 0.5f, y + 0.5f), 1.0f, mode);
}

void Canvas::paste(const Canvas& src, int dx, int dy, Blend mode, float opacity) {
    for (int y = 0; y < src.h_; ++y) {
        for (int x = 0; x < src.w_; ++x) {
            Colour c = src.at(x, y);
            if (c.a > 0) blendPixel(x + dx, y + dy, c, opacity, mode);
        }
    }
}

Canvas Canvas::blurred(float radius) const {
    // Three box passes each way approximate a gaussian of about this radius.
    int r = std::max(1, static_cast<int>(std::lround(radius / 1.7f)));
    Canvas out = *this;
    std::vector<Colour> line;
    auto pass = [&](int count, int length, auto index) {
        line.resize(length);
        for (int k = 0; k < count; ++k) {
            for (int i = 0; i < length; ++i) line[i] = out.px_[index(k, i)];
            Colour sum;
            for (int i = -r; i <= r; ++i) {
                if (i < 0 || i >= length) continue;
                sum.r += line[i].r, sum.g += line[i].g, sum.b += line[i].b, sum.a += line[i].a;
            }
            float norm = 1.0f / (2 * r + 1);
            for (int i = 0; i < length; ++i) {
                out.px_[index(k, i)] = {sum.r * norm, sum.g * norm, sum.b * norm, sum.a * norm};
                int add = i + r + 1, drop = i - r;
                if (add < length) sum.r += line[add].r, sum.g += line[add].g, sum.b += line[add].b, sum.a += line[add].a;
                if (drop >= 0) sum.r -= line[drop].r, sum.g -= line[drop].g, sum.b -= line[drop].b, sum.a -= line[drop].a;
            }
        }
    };
    for (int n = 0; n < 3; ++n) {
        pass(h_, w_, [this](int row, int i) { return static_cast<size_t>(row) * w_ + i; });
        pass(w_, h_, [this](int col, int i) { return static_cast<size_t>(i) * w_ + col; });
    }
    for (Colour& c : out.px_) c = {std::max(c.r, 0.0f), std::max(c.g, 0.0f), std::max(c.b, 0.0f), clamp01(c.a)};
    return out;
}

Canvas Canvas::tinted(Colour c) const {
    Canvas out(w_, h_);
    for (size_t i = 0; i < px_.size(); ++i) {
        float a = px_[i].a * c.a;
        out.px_[i] = {c.r * a, c.g * a, c.b * a, a};
    }
    return out;
}

Mask Canvas::alpha() const {
    Mask m(w_, h_);
    for (size_t i = 0; i < px_.size(); ++i) m.v[i] = px_[i].a;
    return m;
}

Colour Canvas::at(int x, int y) const {
    const Colour& p = px_[static_cast<size_t>(y) * w_ + x];
    if (p.a <= 0) return {0, 0, 0, 0};
    return {clamp01(p.r / p.a), clamp01(p.g / p.a), clamp01(p.b / p.a), clamp01(p.a)};
}

std::vector<unsigned char> Canvas::rgba8() const {
    std::vector<unsigned char> out(px_.size() * 4);
    auto byte = [](float v) { return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f)); };
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            Colour c = at(x, y);
            unsigned char* o = &out[(static_cast<size_t>(y) * w_ + x) * 4];
            o[3] = byte(c.a);
            if (o[3] == 0) continue;
            o[0] = byte(c.r), o[1] = byte(c.g), o[2] = byte(c.b);
        }
    }
    // Give transparent pixels the colour of their visible neighbours.
    std::vector<unsigned char> bled = out;
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            unsigned char* o = &bled[(static_cast<size_t>(y) * w_ + x) * 4];
            if (o[3] != 0) continue;
            int n = 0, sum[3] = {0, 0, 0};
            for (int j = -1; j <= 1; ++j) {
                for (int i = -1; i <= 1; ++i) {
                    int nx = x + i, ny = y + j;
                    if ((i == 0 && j == 0) || nx < 0 || ny < 0 || nx >= w_ || ny >= h_) continue;
                    const unsigned char* q = &out[(static_cast<size_t>(ny) * w_ + nx) * 4];
                    if (q[3] == 0) continue;
                    ++n;
                    for (int k = 0; k < 3; ++k) sum[k] += q[k];
                }
            }
            for (int k = 0; k < 3; ++k) o[k] = static_cast<unsigned char>(n ? sum[k] / n : 0);
        }
    }
    for (size_t i = 0; i < bled.size(); i += 4) {
        unsigned char* o = &bled[i];
        if (o[0] >= KeyHigh && o[1] <= KeyLow && o[2] >= KeyHigh) o[1] = KeyLow + 1;
        if (o[0] <= KeyLow && o[1] >= KeyHigh && o[2] >= KeyHigh) o[0] = KeyLow + 1;
    }
    return bled;
}

bool Canvas::savePng(const std::string& path) const {
    std::vector<unsigned char> pixels = rgba8();
    unsigned error = lodepng::encode(path, pixels, static_cast<unsigned>(w_), static_cast<unsigned>(h_));
    return error == 0;
}

}  // namespace bw
