// Fuzz target: a PNG file loaded into image slots as the game loads pictures: as one image
// (wide cells) and as a sprite sheet of small cells.
#include "fuzz_support.h"

namespace {
constexpr int Slot = 3;
constexpr unsigned CellSizes[] = {16, 64, 256};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::WriteInput("picture.png", data, size);
    for (unsigned cell : CellSizes) ASys.GetPNG(Slot, path.c_str(), cell);
    return 0;
}
