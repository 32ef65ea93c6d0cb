// Recording stand-in for fixed-function OpenGL: every vertex with its texture coordinate and
// colour, every batch start with its bound texture and filters, texture objects made, bound,
// uploaded and deleted, blend functions, clears, matrices and modes.
#pragma once

#include <vector>

struct FakeVertex {
    double s, t;                      // glTexCoord2d
    unsigned char r, g, b, a;         // glColor4ub
    float x, y;                       // glVertex2f
};

struct FakeUpload {
    int width, height;
    int internalFormat, format, type;
    std::vector<unsigned char> pixels;  // a copy of what was sent
    int minFilter, magFilter;           // the filters set before it
    int batch;                          // index of the batch it belongs to (the next glBegin)
    unsigned texture;                   // the texture object bound (0: the default texture)
};

struct FakeBatch {
    int mode;                         // glBegin mode
    int upload;                       // index into uploads of the last upload into the bound texture, or -1
    unsigned texture;                 // texture object bound at glBegin (0: the default texture)
    int minFilter, magFilter;         // filters last set before glBegin
    int blendSrc, blendDst;           // blend function in force at glBegin
    std::vector<FakeVertex> vertices;
    bool ended = false;
};

struct FakeGlState {
    // Recorded.
    std::vector<FakeBatch> batches;
    std::vector<FakeUpload> uploads;
    std::vector<std::pair<int, int>> blendFuncs;   // every glBlendFunc
    std::vector<int> enabled, disabled;           // glEnable / glDisable caps
    std::vector<std::vector<float>> clearColours; // glClearColor
    int clears = 0;
    std::vector<std::vector<float>> scales;       // glScalef
    int pushes = 0, pops = 0;
    std::vector<int> polygonModes;                // glPolygonMode mode argument
    std::vector<std::vector<int>> viewports;
    int minFilter = 0, magFilter = 0;
    std::vector<unsigned> generated;              // every name glGenTextures gave, in order
    std::vector<unsigned> deleted;                // every name passed to glDeleteTextures
    std::vector<unsigned> binds;                  // every glBindTexture name
    unsigned bound = 0;                           // the texture bound now
    int blendSrc = 0, blendDst = 0;
    int openBatch = -1;                           // index of the batch between glBegin and glEnd
    int unbalancedEnds = 0;                       // glEnd without glBegin
    std::vector<std::vector<int>> readPixelsCalls; // x, y, w, h, format, type

    // Set by tests: what glReadPixels returns, RGBA, bottom row first, of this width.
    std::vector<unsigned char> framebuffer;
    int framebufferWidth = 0, framebufferHeight = 0;

    // Pending texture coordinate and colour for the next vertex.
    double s = 0, t = 0;
    unsigned char r = 255, g = 255, b = 255, a = 255;
};

extern FakeGlState FakeGl;

// All vertices of every batch, in order.
std::vector<FakeVertex> FakeGlVertices();
