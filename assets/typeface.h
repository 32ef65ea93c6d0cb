// typeface.h - FreeType glyph and text rendering into coverage masks, for the bitmap
// font sheet and the titles of the logos.
#pragma once

#include <string>

#include "canvas.h"

namespace bw {

class TypeFace {
public:
    explicit TypeFace(const std::string& path);
    ~TypeFace();
    TypeFace(const TypeFace&) = delete;
    TypeFace& operator=(const TypeFace&) = delete;

    bool ok() const { return face_ != nullptr; }

    // One rendered glyph: its coverage, where its top-left pixel lies relative to the pen
    // on the baseline (left to the right, top upward), and the pen advance in pixels.
    struct Glyph {
        Mask mask;
        int left = 0, top = 0;
        float advance = 0;
    };

    // Renders a character at a pixel size, squeezed across by xScale; a stroke above 0
    // grows the outline by that many pixels (a border for titles). Hinting is used for
    // plain, unsqueezed glyphs so small text stays crisp.
    bool glyph(unsigned long code, float pixelSize, float xScale, float stroke, Glyph& out);

    // A line of text as one mask with `pad` free pixels on every side; the baseline of
    // the text is at row `baseline`. Masks rendered with the same text, size and pad
    // line up whatever the stroke, so a border and its fill can be drawn separately.
    struct Line {
        Mask mask;
        int baseline = 0;
    };
    Line line(const std::string& text, float pixelSize, float stroke, float tracking, int pad);

    float ascender(float pixelSize) const;
    float capHeight(float pixelSize);

private:
    void* library_ = nullptr;  // FT_Library
    void* face_ = nullptr;     // FT_Face
};

}  // namespace bw
