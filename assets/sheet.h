// sheet.h - helpers that put drawn cells into a sprite sheet laid out as the game's
// loader cuts it (cells left to right, rows top to bottom) and save finished pictures.
#pragma once

#include <string>

#include "canvas.h"
#include "gen.h"

namespace bw {

// A blank picture of the sheet's full size (columns x rows cells).
Canvas blankPicture(const PictureSpec& spec);

// Copies a cell-sized canvas into frame `frame` of the sheet.
void placeFrame(Canvas& sheet, const PictureSpec& spec, int frame, const Canvas& cell);

// Writes the picture to dir/spec.file; reports a failure on standard error.
bool savePicture(const std::string& dir, const PictureSpec& spec, const Canvas& picture);

}  // namespace bw
