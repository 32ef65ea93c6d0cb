// The image slot table: CPU-side RGBA pixels per slot with the numbers the renderer needs to
// cut frames out of it; PNG loading (single images and repacked sprite sheets), screen grabs,
// PNG screenshots and offscreen buffers edited texel by texel.
#include "Vorn_glfw3.h"

#include <GL/gl.h>
#include <lodepng.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

std::vector<unsigned char> Image[ImageSlots];
std::vector<unsigned char> ImageBlur[ImageSlots];
int iFramesW[ImageSlots];
float iFramesWz[ImageSlots];
int iSize[ImageSlots];
unsigned long long ImageChanges[ImageSlots];

void MarkImageChanged(int slot) {
    if (slot >= 0 && slot < ImageSlots) ++ImageChanges[slot];
}

namespace {

constexpr int Channels = 4;               // RGBA, one byte each
constexpr int Opaque = 255;
constexpr int ChannelMax = 255;

size_t TexelBytes(size_t w, size_t h) { return w * h * Channels; }

// Near magenta or near cyan: the two colours a picture uses for "no pixel here".
bool IsColourKey(const unsigned char* p) {
    const bool full_r = p[0] > ColourKeyHigh, full_g = p[1] > ColourKeyHigh, full_b = p[2] > ColourKeyHigh;
    const bool empty_r = p[0] <= ColourKeyLow, empty_g = p[1] <= ColourKeyLow;
    return (full_r && empty_g && full_b) || (empty_r && full_g && full_b);
}

// The texel (x, y) of a slot's square, or nullptr outside it or outside the pixels the slot
// actually holds (slot 100's array may have been resized to the window by a screenshot).
unsigned char* Texel(int slot, int x, int y) {
    const int s = iSize[slot];
    if (x < 0 || y < 0 || x >= s || y >= s) return nullptr;
    const size_t at = TexelBytes(static_cast<size_t>(y) * s + x, 1);
    if (at + Channels > Image[slot].size()) return nullptr;
    return &Image[slot][at];
}

// A colour channel given as a float: below 0 (or not a number) is 0, above 255 is 255, then
// truncated.
unsigned char ClampChannel(float v) {
    if (!(v > 0)) return 0;
    if (v > ChannelMax) return ChannelMax;
    return static_cast<unsigned char>(v);
}

unsigned char ClampChannel(int v) { return static_cast<unsigned char>(std::clamp(v, 0, ChannelMax)); }

// Gives a slot's two pixel arrays the size of a side x side square, every byte 0.
void ClearSquare(int slot, int side) {
    Image[slot].assign(TexelBytes(side, side), 0);
    ImageBlur[slot].assign(TexelBytes(side, side), 0);
    MarkImageChanged(slot);
}

// Reads a whole PNG file, refusing one that is missing, unreadable, not a PNG, or whose header
// promises a picture too large to hold, before anything is decoded.
bool ReadPng(const char* path, std::vector<unsigned char>& pixels, unsigned& w, unsigned& h) {
    std::ifstream in(path ? path : "", std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff length = in.tellg();
    // Compressed data never needs more bytes than the raw pixels of the largest picture.
    if (length <= 0 || static_cast<unsigned long long>(length) > PngMaxPixels * Channels) return false;
    std::vector<unsigned char> file(static_cast<size_t>(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(file.data()), length)) return false;

    lodepng::State state;
    if (lodepng_inspect(&w, &h, &state, file.data(), file.size()) != 0) return false;
    if (w == 0 || h == 0 || w > PngMaxSide || h > PngMaxSide ||
        static_cast<unsigned long long>(w) * h > PngMaxPixels)
        return false;
    // The decoder's defaults are what the slots hold: RGBA, 8 bits per channel.
    return lodepng::decode(pixels, w, h, state, file) == 0 && pixels.size() == TexelBytes(w, h);
}

// A sheet's texture side from its width in cells: columns x pitch raised to a power of two
// (at least 64) while that stays within 2048, otherwise as computed.
int SheetSide(int columns, int pitch) {
    const long long side = static_cast<long long>(columns) * pitch;
    if (side > SheetMaxPow2Side) return static_cast<int>(std::min<long long>(side, TextureMaxSide + 1LL));
    int p = SheetMinSide;
    while (p < side) p *= 2;
    return p;
}

// How many whole cells of a pitch fit into a square of a side.
long long CellsThatFit(int side, int pitch) {
    const long long per_row = side / pitch;
    return per_row * per_row;
}

// Below 2048 the next power of two, above it one more column and row of cells.
int GrowSide(int side, int pitch) { return side < SheetMaxPow2Side ? side * 2 : side + pitch; }

void LoadSingleImage(int slot, const std::vector<unsigned char>& png, int w, int h, int size) {
    ClearSquare(slot, size);
    const int cols = std::min(w, size), rows = std::min(h, size);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            const unsigned char* src = &png[TexelBytes(static_cast<size_t>(y) * w + x, 1)];
            if (IsColourKey(src)) continue;   // stays transparent black
            std::copy(src, src + Channels, &Image[slot][TexelBytes(static_cast<size_t>(y) * size + x, 1)]);
        }
    }
    ASys.Debuglog(ASys.fstrSys("    Loaded %ix%i Image", size, size));
    ASys.iFrames[slot] = 1;
    iFramesW[slot] = size;
    iFramesWz[slot] = 1.0f;
    iSize[slot] = size;
    ASys.iFramesSquare[slot] = size;
    ASys.iSizeScaled[slot] = size / ASys.VirtualWidth;
}

// Fully transparent texels take the mean colour of their visible neighbours, so that
// filtering at a sprite's edge blends towards its own colours, not towards black.
void Bleed(int slot, int side) {
    std::vector<unsigned char>& img = Image[slot];
    auto at = [side](int x, int y) { return TexelBytes(static_cast<size_t>(y) * side + x, 1); };
    for (int y = 1; y < side - 1; ++y) {
        for (int x = 1; x < side - 1; ++x) {
            unsigned char* t = &img[at(x, y)];
            if (t[3] != 0) continue;
            int sum[3] = {0, 0, 0}, n = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const unsigned char* o = &img[at(x + dx, y + dy)];
                    if ((dx == 0 && dy == 0) || o[3] == 0) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += o[c];
                    ++n;
                }
            }
            for (int c = 0; c < 3; ++c) t[c] = static_cast<unsigned char>(n ? sum[c] / n : 0);
        }
    }
}

// A sheet wider than one cell: every whole size x size cell is copied, in frame order, into a
// square texture of pitch x pitch cells with a transparent border of 4 texels round each
// sprite. A square too small for all the cells (a sheet with more rows than columns) grows;
// past the largest texture the cells that do not fit are dropped and logged.
void LoadSheet(int slot, std::vector<unsigned char>& png, int w, int h, int size) {
    for (size_t i = 0; i < png.size(); i += Channels)
        if (IsColourKey(&png[i])) png[i + 3] = 0;

    const int pitch = size + SpritePitchExtra;
    const int columns = w / size, rows = h / size;
    const long long frames = static_cast<long long>(columns) * rows;
    int side = SheetSide(columns, pitch);
    while (CellsThatFit(side, pitch) < frames && GrowSide(side, pitch) <= TextureMaxSide) side = GrowSide(side, pitch);
    side = std::min(side, TextureMaxSide);
    const int per_row = side / pitch;
    const long long kept = std::min<long long>(frames, CellsThatFit(side, pitch));

    ASys.Debuglog(ASys.fstrSys("    Loaded Spritesheet of %i x %ix%i sprites", columns * rows, size, size));
    if (kept < frames)
        ASys.Debuglog(ASys.fstrSys("    Spritesheet too large: kept %lli of %lli sprites", kept, frames));
    ClearSquare(slot, side);
    ASys.iFrames[slot] = static_cast<int>(kept);
    iFramesW[slot] = per_row;
    iFramesWz[slot] = static_cast<float>(pitch) / side;
    iSize[slot] = side;
    ASys.iFramesSquare[slot] = size;
    ASys.iSizeScaled[slot] = pitch / ASys.VirtualWidth;

    for (long long k = 0; k < kept; ++k) {
        const int src_x = static_cast<int>(k % columns) * size, src_y = static_cast<int>(k / columns) * size;
        const int dst_x = static_cast<int>(k % per_row) * pitch + SpriteBorder;
        const int dst_y = static_cast<int>(k / per_row) * pitch + SpriteBorder;
        for (int j = 0; j < size; ++j) {
            const unsigned char* src = &png[TexelBytes(static_cast<size_t>(src_y + j) * w + src_x, 1)];
            std::copy(src, src + TexelBytes(size, 1),
                      &Image[slot][TexelBytes(static_cast<size_t>(dst_y + j) * side + dst_x, 1)]);
        }
    }
    Bleed(slot, side);
}

// Reads the window's pixels (bottom row first) into the scratch slot.
void ReadWindow(int w, int h) {
    Image[ImgScratch].resize(TexelBytes(w, h));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, Image[ImgScratch].data());
    MarkImageChanged(ImgScratch);
}

// Copies a w x h part of the scratch slot, starting at its column x0 and row y0 counted from
// the top, upright and opaque into a slot whose rows are pitch texels long, at (ox, oy).
void CopyUpright(int slot, int pitch, int ox, int oy, int x0, int y0, int w, int h, int window_w, int window_h) {
    for (int y = 0; y < h; ++y) {
        const int src_row = window_h - 1 - (y0 + y);
        const unsigned char* src = &Image[ImgScratch][TexelBytes(static_cast<size_t>(src_row) * window_w + x0, 1)];
        unsigned char* dst = &Image[slot][TexelBytes(static_cast<size_t>(oy + y) * pitch + ox, 1)];
        for (int x = 0; x < w; ++x, src += Channels, dst += Channels) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = Opaque;
        }
    }
    MarkImageChanged(slot);
}

// Slot 100 takes the whole window, upright and opaque.
void WindowToScreenshotSlot() {
    const int w = std::max(ASys.CanvasWidth, 0), h = std::max(ASys.CanvasHeight, 0);
    Image[ImgScreenshot].resize(TexelBytes(w, h));
    ReadWindow(w, h);
    CopyUpright(ImgScreenshot, w, 0, 0, 0, 0, w, h, w, h);
}

}  // namespace

// ---- PNG files -------------------------------------------------------------------------------

void VornSys::GetPNG(int slot, const char* path, unsigned int size) {
    if (slot < 0 || slot >= ImgLoadable) {
        std::fputs("Image number out of bounds", stdout);
        return;
    }
    iFrames[slot] = -1;
    std::vector<unsigned char> png;
    unsigned w = 0, h = 0;
    // A cell size of 0 has no cells, and none may make a texture larger than the largest.
    if (size < 1 || size > static_cast<unsigned>(TextureMaxSide) || !ReadPng(path, png, w, h)) {
        Debuglog("OMGERRORZ");
        return;
    }
    if (w <= size)
        LoadSingleImage(slot, png, static_cast<int>(w), static_cast<int>(h), static_cast<int>(size));
    else
        LoadSheet(slot, png, static_cast<int>(w), static_cast<int>(h), static_cast<int>(size));
}

void VornSys::SavePNG(const char* path, int slot, unsigned int width, unsigned int height) {
    Debuglog(fstrSys("Saving Image - %ix%i  to %s", width, height, path));
    static const std::vector<unsigned char> NoPixels;
    // The encoder refuses pixels fewer than width x height, so a short slot is reported too.
    const std::vector<unsigned char>& pixels = (slot >= 0 && slot < ImageSlots) ? Image[slot] : NoPixels;
    // Encoded in memory and written as a save is, so a full disk or a folder that cannot be
    // written leaves no cut-off picture; that failure has the encoder's own number for a file
    // it cannot write.
    constexpr unsigned FileNotWritten = 79;
    std::vector<unsigned char> png;
    unsigned error = lodepng::encode(png, pixels, width, height);
    if (!error && !ReplaceFileWith(path, png)) error = FileNotWritten;
    if (error) Debuglog(fstrSys("The image save didn't work.  All the images are unsaved!! %i", error));
}

// ---- screen grabs ----------------------------------------------------------------------------

void VornSys::GrabBuffer() {
    const int w = std::max(CanvasWidth, 0), h = std::max(CanvasHeight, 0);
    const int m = std::max(w, h);
    int side = GrabMinSide;
    while (side < m && side < GrabMaxSide) side *= 2;

    iFrames[ImgGrab] = 1;
    Image[ImgScratch].resize(TexelBytes(w, h));
    Image[ImgGrab].resize(TexelBytes(side, side));
    iFramesW[ImgGrab] = side;
    iFramesWz[ImgGrab] = 1.0f;
    iSize[ImgGrab] = side;
    iSizeScaled[ImgGrab] = w > 0 ? static_cast<float>(side) / w : 0.0f;
    ReadWindow(w, h);

    // A window larger than the square gives its centred part.
    const int cw = std::min(w, side), ch = std::min(h, side);
    CopyUpright(ImgGrab, side, side / 2 - cw / 2, side / 2 - ch / 2, (w - cw) / 2, (h - ch) / 2, cw, ch, w, h);
}

void VornSys::ScreenToBuffer() { WindowToScreenshotSlot(); }

void VornSys::Screenshot() {
    WindowToScreenshotSlot();
    SavePNG(ScreenshotName, ImgScreenshot, std::max(CanvasWidth, 0), std::max(CanvasHeight, 0));
}

// ---- offscreen buffers -----------------------------------------------------------------------

void VornSys::Buffer_Create(int slot, int side) {
    if (slot < 0 || slot >= ImgCreatable) return;
    if (side < 0 || side > TextureMaxSide) return;   // no square of that side can be held
    ClearSquare(slot, side);
    iFrames[slot] = 1;
    iFramesW[slot] = side;
    iFramesWz[slot] = 1.0f;
    iSize[slot] = side;
    iFramesSquare[slot] = side;
    iSizeScaled[slot] = side / VirtualWidth;
    Buffer_Fill(slot, 0, 0, 0, 0);
}

void VornSys::Buffer_Fill(int slot, int red, int green, int blue, int alpha) {
    if (slot < 0 || slot >= ImageSlots || iSize[slot] <= 0) return;
    const unsigned char colour[Channels] = {ClampChannel(red), ClampChannel(green), ClampChannel(blue),
                                            ClampChannel(alpha)};
    const size_t bytes = std::min(TexelBytes(iSize[slot], iSize[slot]), Image[slot].size());
    for (size_t i = 0; i + Channels <= bytes; i += Channels) std::copy(colour, colour + Channels, &Image[slot][i]);
    MarkImageChanged(slot);
}

void VornSys::Buffer_Plot(int slot, float x, float y, float red, float green, float blue, float alpha) {
    if (slot < 0 || slot >= ImageSlots || iSize[slot] < 1) return;
    const float s = static_cast<float>(iSize[slot]);
    // Compared as floats first, so huge or undefined coordinates never reach an integer.
    const float fx = std::floor(x), fy = std::floor(y);
    if (!(fx >= 0 && fx < s && fy >= 0 && fy < s)) return;
    unsigned char* t = Texel(slot, static_cast<int>(fx), static_cast<int>(fy));
    if (!t) return;
    t[0] = ClampChannel(red);
    t[1] = ClampChannel(green);
    t[2] = ClampChannel(blue);
    t[3] = ClampChannel(alpha);
    MarkImageChanged(slot);
}

void VornSys::Buffer_Line(int slot, float x1, float y1, float x2, float y2, float red, float green, float blue,
                          float alpha) {
    if (slot < 0 || slot >= ImageSlots || iSize[slot] < 1) return;
    const float s = static_cast<float>(iSize[slot]);
    // One pass: a texel for every whole step u from a's start (truncated) while u < b's end,
    // the other coordinate on the line. Steps outside the square plot nothing, so the loop
    // runs over the part of the range inside it only.
    auto pass = [&](float a1, float b1, float a2, float b2, bool columns) {
        if (a1 > a2) {
            std::swap(a1, a2);
            std::swap(b1, b2);
        }
        if (!(a1 < s) || !(a2 > 0)) return;
        const float slope = (b2 - b1) / (a2 - a1);
        for (int u = a1 > 0 ? static_cast<int>(a1) : 0; u < a2 && u < s; ++u) {
            const float v = slope * (static_cast<float>(u) - a1) + b1;
            if (columns)
                Buffer_Plot(slot, static_cast<float>(u), v, red, green, blue, alpha);
            else
                Buffer_Plot(slot, v, static_cast<float>(u), red, green, blue, alpha);
        }
    };
    pass(x1, y1, x2, y2, true);
    pass(y1, x1, y2, x2, false);
}

void VornSys::Buffer_Tile(int destination, int source, float x, float y, int frame) {
    if (destination < 0 || destination >= ImageSlots || source < 0 || source >= ImageSlots) return;
    if (iSize[destination] <= 0 || iSize[source] <= 0) return;
    if (frame < 0 || frame >= iFrames[source] || iFramesW[source] <= 0) return;
    const int c = iFramesSquare[source];
    const int pitch = c + SpritePitchExtra;
    const int sx = (frame % iFramesW[source]) * pitch + SpriteBorder;
    const int sy = (frame / iFramesW[source]) * pitch + SpriteBorder;
    for (int j = 0; j < c; ++j) {
        // Each destination coordinate is truncated on its own, as a float until it is known to
        // lie inside the square.
        const float ty = std::trunc(y + j);
        if (!(ty >= 0 && ty < iSize[destination])) continue;
        for (int i = 0; i < c; ++i) {
            const float tx = std::trunc(x + i);
            if (!(tx >= 0 && tx < iSize[destination])) continue;
            const unsigned char* from = Texel(source, sx + i, sy + j);
            unsigned char* to = Texel(destination, static_cast<int>(tx), static_cast<int>(ty));
            if (!from || !to || from[3] == 0) continue;
            std::copy(from, from + Channels, to);
        }
    }
    MarkImageChanged(destination);
}
