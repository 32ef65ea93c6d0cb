// font.cpp - the bitmap font "entplain.png": DejaVu Sans Bold glyphs, white with alpha,
// one per 32-pixel cell, each fitted into its advance box so that text laid out with
// the font width table looks evenly spaced.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "canvas.h"
#include "gen.h"
#include "sheet.h"
#include "typeface.h"

namespace bw {

namespace {

constexpr float GlyphPixelSize = 21.0f;
constexpr float CellCentre = 16.0f;
constexpr int InkMargin = 1;     // free pixels kept between a glyph's ink and its box edge
constexpr float MinSqueeze = 0.6f;

// Renders one character into a cell: ink centred in the advance box that starts at
// FontBoxLeft and is `advance` pixels wide, squeezed across when it would not fit;
// capitals are centred on the cell's middle row.
Canvas drawGlyph(TypeFace& face, int cellSize, char ch, int advance, int baseline) {
    Canvas cell(cellSize, cellSize);
    TypeFace::Glyph g;
    if (!face.glyph(static_cast<unsigned char>(ch), GlyphPixelSize, 1.0f, 0.0f, g) || g.mask.w == 0) return cell;
    int room = std::max(1, advance - 2 * InkMargin);
    if (advance <= 6) room = advance - 1;  // the thinnest marks may touch one edge
    if (g.mask.w > room) {
        float squeeze = std::max(MinSqueeze, static_cast<float>(room) / g.mask.w);
        // FreeType's bitmaps round outward; shrink until the ink really fits.
        for (int tries = 0; tries < 6; ++tries) {
            TypeFace::Glyph s;
            if (!face.glyph(static_cast<unsigned char>(ch), GlyphPixelSize, squeeze, 0.0f, s)) break;
            g = s;
            if (g.mask.w <= room || squeeze <= MinSqueeze) break;
            squeeze = std::max(MinSqueeze, squeeze * 0.96f);
        }
    }
    float boxLeft = static_cast<float>(FontBoxLeft);
    int x = static_cast<int>(std::lround(boxLeft + (advance - g.mask.w) / 2.0f));
    int y = baseline - g.top;
    cell.fillMask(g.mask, x, y, solid({1, 1, 1, 1}));
    return cell;
}

}  // namespace

bool writeFont(const std::string& dir, const std::string& fontPath) {
    TypeFace face(fontPath);
    if (!face.ok()) {
        std::fprintf(stderr, "cannot open the font %s\n", fontPath.c_str());
        return false;
    }
    const PictureSpec& spec = FontSheet;
    Canvas sheet = blankPicture(spec);
    float cap = face.capHeight(GlyphPixelSize);
    int baseline = static_cast<int>(std::lround(CellCentre + cap / 2.0f));
    for (int code = FontFirstChar; code <= FontLastChar; ++code) {
        int frame = code - FontFirstChar;
        placeFrame(sheet, spec, frame, drawGlyph(face, spec.cell, static_cast<char>(code), FontWidths[frame] - 1, baseline));
    }
    return savePicture(dir, spec, sheet);
}

}  // namespace bw
