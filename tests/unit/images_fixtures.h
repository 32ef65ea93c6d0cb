// Small helpers of the image-slot tests: PNG fixtures written with LodePNG into the test
// scratch folder, the slot table put back to its start-up state, texels read out of a slot.
#pragma once

#include <gtest/gtest.h>
#include <lodepng.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "Vorn_glfw3.h"

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

inline std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// A folder below the scratch folder, created if needed.
inline std::string TmpDir(const std::string& sub = "images") {
    std::string dir = BRINDLEWICK_TEST_TMP;
    mkdir(dir.c_str(), 0755);
    dir += "/" + sub;
    mkdir(dir.c_str(), 0755);
    return dir;
}

// The RGBA bytes of a w x h picture whose pixel (x, y) is paint(x, y).
inline std::vector<unsigned char> Pixels(int w, int h, const std::function<Rgba(int, int)>& paint) {
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba c = paint(x, y);
            unsigned char* p = &px[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
        }
    return px;
}

// Writes a PNG into the scratch folder and returns its path.
inline std::string WritePng(const std::string& name, int w, int h, const std::function<Rgba(int, int)>& paint) {
    std::string path = TmpDir() + "/" + name;
    EXPECT_EQ(lodepng::encode(path, Pixels(w, h, paint), w, h), 0u) << path;
    return path;
}

// The slot table as SysInit leaves it: 0..99 empty, 100..104 with no frames, no pixels.
inline void ResetImageSlots() {
    for (int s = 0; s < ImageSlots; ++s) {
        ASys.iFrames[s] = s < 100 ? -1 : 0;
        ASys.iSizeScaled[s] = 0;
        ASys.iFramesSquare[s] = 0;
        iFramesW[s] = 0;
        iFramesWz[s] = 0;
        iSize[s] = 0;
        Image[s].clear();
        ImageBlur[s].clear();
    }
    ASys.VirtualWidth = 800;
    ASys.ImageZoom = 1;
}

// Texel (x, y) of a slot's square texture.
inline Rgba TexelOf(int slot, int x, int y) {
    size_t at = (static_cast<size_t>(y) * iSize[slot] + x) * 4;
    if (at + 4 > Image[slot].size()) {
        ADD_FAILURE() << "texel (" << x << ", " << y << ") outside slot " << slot;
        return {-1, -1, -1, -1};
    }
    const unsigned char* p = &Image[slot][at];
    return {p[0], p[1], p[2], p[3]};
}

// What a piece of code prints to standard output (the numbered log among it).
inline std::string Captured(const std::function<void()>& run) {
    testing::internal::CaptureStdout();
    run();
    return testing::internal::GetCapturedStdout();
}

// Whether the log holds the line exactly (after its number).
inline bool HasLogLine(const std::string& out, const std::string& text) {
    return out.find("> " + text + "\n") != std::string::npos;
}
