// typeface.cpp - FreeType glyph and text rendering into coverage masks, with an
// optional outline grown by FreeType's stroker.
#include "typeface.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace bw {

namespace {

constexpr float FixedOne = 65536.0f;  // 16.16 fixed point
constexpr float SubPixels = 64.0f;    // 26.6 fixed point

FT_Face asFace(void* f) { return static_cast<FT_Face>(f); }

}  // namespace

TypeFace::TypeFace(const std::string& path) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) return;
    face_ = face;
}

TypeFace::~TypeFace() {
    if (face_) FT_Done_Face(asFace(face_));
    if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

float TypeFace::ascender(float pixelSize) const {
    FT_Face f = asFace(face_);
    return pixelSize * f->ascender / static_cast<float>(f->units_per_EM);
}

float TypeFace::capHeight(float pixelSize) {
    Glyph g;
    if (!glyph('H', pixelSize, 1.0f, 0.0f, g)) return pixelSize * 0.73f;
    return static_cast<float>(g.top);
}

bool TypeFace::glyph(unsigned long code, float pixelSize, float xScale, float stroke, Glyph& out) {
    if (!face_) return false;
    FT_Face face = asFace(face_);
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * SubPixels)), 72, 72);
    FT_Matrix m = {static_cast<FT_Fixed>(std::lround(xScale * FixedOne)), 0, 0, static_cast<FT_Fixed>(FixedOne)};
    FT_Set_Transform(face, &m, nullptr);
    bool plain = xScale == 1.0f && stroke <= 0;
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (plain ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING);
    if (FT_Load_Char(face, code, flags) != 0) return false;
    out.advance = face->glyph->advance.x / SubPixels;

    FT_Glyph g = nullptr;
    if (FT_Get_Glyph(face->glyph, &g) != 0) return false;
    if (stroke > 0) {
        FT_Stroker stroker = nullptr;
        FT_Stroker_New(static_cast<FT_Library>(library_), &stroker);
        FT_Stroker_Set(stroker, static_cast<FT_Fixed>(std::lround(stroke * SubPixels)), FT_STROKER_LINECAP_ROUND,
                       FT_STROKER_LINEJOIN_ROUND, 0);
        FT_Glyph_StrokeBorder(&g, stroker, 0, 1);
        FT_Stroker_Done(stroker);
    }
    if (FT_Glyph_To_Bitmap(&g, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0) {
        FT_Done_Glyph(g);
        return false;
    }
    FT_BitmapGlyph bg = reinterpret_cast<FT_BitmapGlyph>(g);
    const FT_Bitmap& bm = bg->bitmap;
    out.left = bg->left;
    out.top = bg->top;
    out.mask = Mask(static_cast<int>(bm.width), static_cast<int>(bm.rows));
    for (unsigned y = 0; y < bm.rows; ++y)
        for (unsigned x = 0; x < bm.width; ++x)
            out.mask.v[y * bm.width + x] = bm.buffer[static_cast<int>(y) * bm.pitch + static_cast<int>(x)] / 255.0f;
    FT_Done_Glyph(g);
    FT_Set_Transform(face, nullptr, nullptr);
    return true;
}

TypeFace::Line TypeFace::line(const std::string& text, float pixelSize, float stroke, float tracking, int pad) {
    Line result;
    if (!face_) return result;
    FT_Face face = asFace(face_);
    // Lay the text out unstroked, so every stroke width shares one layout.
    struct Placed {
        Glyph g;
        float pen;
    };
    std::vector<Placed> placed;
    float pen = 0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        Glyph plain;
        if (!glyph(ch, pixelSize, 1.0f, 0.0f, plain)) continue;
        FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k);
            pen += k.x / SubPixels;
        }
        previous = index;
        Glyph drawn;
        if (stroke > 0) {
            if (!glyph(ch, pixelSize, 1.0f, stroke, drawn)) continue;
        } else {
            drawn = plain;
        }
        placed.push_back({drawn, pen});
        pen += plain.advance + tracking;
    }
    // Size the mask from the unstroked extent plus the pad, so strokes up to the pad fit.
    float asc = ascender(pixelSize);
    int height = static_cast<int>(std::ceil(asc + pixelSize * 0.3f)) + 2 * pad;
    int width = static_cast<int>(std::ceil(pen)) + 2 * pad;
    result.baseline = pad + static_cast<int>(std::ceil(asc));
    result.mask = Mask(width, height);
    for (const Placed& p : placed) {
        int ox = pad + static_cast<int>(std::lround(p.pen)) + p.g.left;
        int oy = result.baseline - p.g.top;
        for (int y = 0; y < p.g.mask.h; ++y) {
            for (int x = 0; x < p.g.mask.w; ++x) {
                int tx = ox + x, ty = oy + y;
                if (tx < 0 || ty < 0 || tx >= width || ty >= height) continue;
                float& d = result.mask.v[static_cast<size_t>(ty) * width + tx];
                float s = p.g.mask.v[static_cast<size_t>(y) * p.g.mask.w + x];
                d = d + s - d * s;
            }
        }
    }
    return result;
}

}  // namespace bw
