// sheet.cpp - placing cells into sprite sheets and saving the finished pictures.
#include "sheet.h"

#include <cstdio>

namespace bw {

Canvas blankPicture(const PictureSpec& spec) { return Canvas(spec.cell * spec.columns, spec.cell * spec.rows); }

void placeFrame(Canvas& sheet, const PictureSpec& spec, int frame, const Canvas& cell) {
    int x = (frame % spec.columns) * spec.cell;
    int y = (frame / spec.columns) * spec.cell;
    sheet.paste(cell, x, y);
}

bool savePicture(const std::string& dir, const PictureSpec& spec, const Canvas& picture) {
    std::string path = dir + "/" + spec.file;
    if (picture.width() != spec.cell * spec.columns || picture.height() != spec.cell * spec.rows ||
        !picture.savePng(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace bw
