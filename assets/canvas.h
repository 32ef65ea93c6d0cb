// canvas.h - the generator's RGBA drawing surface: antialiased shapes given as signed
// distance functions, paints (solid colours and gradients), blend modes, blur, coverage
// masks and PNG output through LodePNG.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bw {

// Straight (not premultiplied) colour, every channel 0..1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 0;
};

Colour rgb(int r, int g, int b, float a = 1.0f);
Colour grey(float v, float a = 1.0f);
Colour hsv(float hueDegrees, float saturation, float value, float a = 1.0f);
Colour mix(Colour from, Colour to, float t);
Colour fade(Colour c, float alphaFactor);

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);

// A paint gives the colour at a point of the canvas (pixel units, y down).
using Paint = std::function<Colour(float x, float y)>;
Paint solid(Colour c);
Paint linear(float x0, float y0, Colour c0, float x1, float y1, Colour c1);
Paint radial(float cx, float cy, float radius, Colour inner, Colour outer);

struct Point {
    float x, y;
};

// A shape is a signed distance in pixels (negative inside) plus a bounding box that
// holds every point with a distance below 1, so fills only visit the pixels nearby.
struct Shape {
    std::function<float(float x, float y)> distance;
    float x0, y0, x1, y1;
};

namespace shape {
Shape circle(float cx, float cy, float r);
Shape ellipse(float cx, float cy, float rx, float ry);
Shape ring(float cx, float cy, float r, float halfWidth);
Shape box(float cx, float cy, float halfW, float halfH, float corner = 0);
Shape segment(float x0, float y0, float x1, float y1, float halfWidth);
Shape polygon(std::vector<Point> points);
Shape star(float cx, float cy, float outer, float inner, int points, float rotationDeg);
Shape regular(float cx, float cy, float r, int sides, float rotationDeg);
Shape unite(const Shape& a, const Shape& b);
Shape intersect(const Shape& a, const Shape& b);
Shape subtract(const Shape& a, const Shape& b);
Shape grow(const Shape& s, float by);
Shape moved(const Shape& s, float dx, float dy);
Shape rotated(const Shape& s, float cx, float cy, float degrees);
}  // namespace shape

// Points of a regular star or polygon, shared by the polygon shapes and the callers
// that need the corners themselves (facets of gems).
std::vector<Point> ringPoints(float cx, float cy, float r, int count, float rotationDeg);

// Coverage values 0..1 of a w x h area.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), v(static_cast<size_t>(width) * height, 0.0f) {}
    float at(int x, int y) const {
        return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : v[static_cast<size_t>(y) * w + x];
    }
};

enum class Blend {
    Over,     // normal painting
    Add,      // light added to what is there
    Atop,     // painting only where the canvas already has alpha, keeping that alpha
    Erase,    // cutting away alpha
};

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return w_; }
    int height() const { return h_; }

    void fill(const Shape& s, const Paint& paint, Blend mode = Blend::Over, float opacity = 1.0f);
    void fill(const Shape& s, Colour c, Blend mode = Blend::Over, float opacity = 1.0f);
    // Fills the shape and its copies moved by the canvas size, for seamless tiles.
    void fillWrapped(const Shape& s, const Paint& paint, Blend mode = Blend::Over, float opacity = 1.0f);
    void fillMask(const Mask& m, int dx, int dy, const Paint& paint, Blend mode = Blend::Over,
                  float opacity = 1.0f);
    // Paints every pixel from a function of the pixel centre (procedural textures).
    void shade(const Paint& paint, Blend mode = Blend::Over);

    // Draws another canvas over this one with its top-left corner at (dx, dy).
    void paste(const Canvas& src, int dx, int dy, Blend mode = Blend::Over, float opacity = 1.0f);

    Canvas blurred(float radius) const;
    Canvas tinted(Colour c) const;   // same alpha, every pixel in colour c (c.a scales alpha)
    Mask alpha() const;

    Colour at(int x, int y) const;   // straight colour of a pixel
    void blendPixel(int x, int y, Colour c, float coverage, Blend mode);

    // 8-bit straight RGBA, top row first. Fully transparent pixels take the mean colour
    // of their visible neighbours (no dark fringes when filtered), and no visible pixel
    // is left on the loader's magenta or cyan colour key.
    std::vector<unsigned char> rgba8() const;
    bool savePng(const std::string& path) const;

private:
    int w_, h_;
    std::vector<Colour> px_;  // premultiplied
};

}  // namespace bw
