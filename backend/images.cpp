// The image slot table: CPU-side RGBA pixels per slot with the numbers the renderer needs to
// cut frames out of it; PNG loading, screen grabs, screenshots and offscreen buffers.
#include "Vorn_glfw3.h"

std::vector<unsigned char> Image[ImageSlots];
std::vector<unsigned char> ImageBlur[ImageSlots];
int iFramesW[ImageSlots];
float iFramesWz[ImageSlots];
int iSize[ImageSlots];
