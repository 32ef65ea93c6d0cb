// The renderer beside a raw immediate-mode loop that draws exactly the same triangles, with the
// same batch boundaries and the same texture bound per batch, in one process and one window:
// interleaved rounds, glFinish before every clock read, the median ms per frame of each side
// and their ratio (and the median of the ratios of the two frames of each round, steadier on a
// busy machine), per scene (sprites of one sheet, rotated sprites, rectangles, lines, ovals,
// sprites alternating with shapes). Each scene is a full draw list.
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Vorn_glfw3.h"

namespace {

constexpr int Records = DrawListRecords;   // a full draw list
constexpr int SheetSlot = 0;
constexpr int SpriteSize = 16, CellPitch = SpriteSize + 8, SheetSide = 128, SheetFrames = 16;
constexpr int CellsPerRow = SheetSide / CellPitch;
constexpr int Rounds = 31;                 // timed rounds per scene (odd: one middle value)
constexpr int WarmUpRounds = 2;
constexpr double SpriteScale = 400;        // the core's default size: a 16-pixel sprite 24 units wide

enum class Scene { Sprites, RotatedSprites, Rectangles, Lines, Ovals, Mixed };
struct SceneInfo {
    Scene scene;
    const char* name;
};
constexpr SceneInfo Scenes[] = {
    {Scene::Sprites, "sprites"},       {Scene::RotatedSprites, "rotated_sprites"},
    {Scene::Rectangles, "rectangles"}, {Scene::Lines, "lines"},
    {Scene::Ovals, "ovals"},           {Scene::Mixed, "sprites_and_shapes"},
};

// ---- the scenes as draw records ------------------------------------------------------------

// Slot 0 as a packed sheet of 16-pixel sprites, 16 frames on a 128-texel texture.
void FillSheet() {
    ASys.iFrames[SheetSlot] = SheetFrames;
    iFramesW[SheetSlot] = CellsPerRow;
    iFramesWz[SheetSlot] = static_cast<float>(CellPitch) / SheetSide;
    iSize[SheetSlot] = SheetSide;
    ASys.iSizeScaled[SheetSlot] = CellPitch / ASys.VirtualWidth;
    Image[SheetSlot].resize(SheetSide * SheetSide * 4);
    for (size_t i = 0; i < Image[SheetSlot].size(); ++i) Image[SheetSlot][i] = static_cast<unsigned char>(i * 37);
    ImageBlur[SheetSlot].assign(Image[SheetSlot].size(), 0);
}

void Sprite(double* r, int n, bool rotated) {
    r[FieldCode] = CmdImage;
    r[FieldW] = SpriteScale;
    r[FieldH] = -SpriteScale;
    r[FieldSlot] = SheetSlot;
    r[FieldFrame] = n % SheetFrames;
    r[FieldRotation] = rotated ? 1 + n % 359 : 0;
}

void Shape(double* r, int code, double x, double y) {
    r[FieldCode] = code;
    r[FieldW] = 14;
    r[FieldH] = -10;
    if (code == CmdQuad) {   // a line, as the core draws it: a thin quad
        const double corners[8] = {x, y, x + 30, y + 9, x + 29, y + 11, x - 1, y + 2};
        for (int c = 0; c < 8; ++c) r[FieldX + c] = corners[c];
    }
}

// Record n of a scene, spread over the screen.
void SceneRecord(Scene scene, int n, double* r) {
    for (int f = 0; f < DrawFields; ++f) r[f] = 0;
    const double x = (n * 37) % 760 - 380, y = (n * 53) % 560 - 280;
    r[FieldX] = x;
    r[FieldY] = y;
    const double colour[8] = {255, 200, 120, 40, 160, 40, 120, 200};
    for (int c = 0; c < 8; ++c) r[FieldColourA + c] = colour[c];
    static constexpr int MixedShapes[3] = {CmdRect, CmdOval, CmdQuad};
    switch (scene) {
        case Scene::Sprites: Sprite(r, n, false); break;
        case Scene::RotatedSprites: Sprite(r, n, true); break;
        case Scene::Rectangles: Shape(r, CmdRect, x, y); break;
        case Scene::Lines: Shape(r, CmdQuad, x, y); break;
        case Scene::Ovals: Shape(r, CmdOval, x, y); break;
        case Scene::Mixed:
            if (n % 2 == 0) Sprite(r, n, n % 4 == 0);
            else Shape(r, MixedShapes[(n / 2) % 3], x, y);
            break;
    }
}

// Puts a scene's full list into the render copy.
void LoadScene(Scene scene) {
    for (int n = 0; n < Records; ++n) SceneRecord(scene, n, ASys.Draw + n * DrawFields);
    ASys.DrawTo = Records;
    ASys.RenderBuffer();
    ASys.DrawTo = 0;
}

// ---- the raw side: the same triangles, computed here from the records ----------------------

struct RawVertex {
    double s, t;
    GLubyte rgba[4];
    float x, y;
};

struct RawBatch {
    GLuint texture;
    std::vector<RawVertex> vertices;
};

GLuint RawWhite = 0, RawSheet = 0;   // the raw side's own texture objects

struct Corner {
    float x, y;
    double s, t;
};

void Colour(const double* c, GLubyte (&out)[4]) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<GLubyte>(static_cast<int>(c[(i + 1) % 4]) & 0xFF);
}

void Push(std::vector<RawVertex>& v, const Corner& p, const GLubyte (&c)[4]) {
    v.push_back({p.s, p.t, {c[0], c[1], c[2], c[3]}, p.x, p.y});
}

// Two triangles P1 P2 P3, P1 P3 P4; P1 and P2 in colour A, P3 and P4 in colour B.
void Four(std::vector<RawVertex>& v, const double* r, const Corner (&p)[4]) {
    GLubyte a[4], b[4];
    Colour(r + FieldColourA, a);
    Colour(r + FieldColourB, b);
    Push(v, p[0], a);
    Push(v, p[1], a);
    Push(v, p[2], b);
    Push(v, p[0], a);
    Push(v, p[2], b);
    Push(v, p[3], b);
}

void Centred(std::vector<RawVertex>& v, const double* r, float hw, float hh, const double (&tex)[4][2]) {
    const float x = static_cast<float>(r[FieldX]), y = static_cast<float>(r[FieldY]);
    const float off[4][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
    const float a = static_cast<float>(r[FieldRotation] * RenderDegToRad);
    Corner p[4];
    for (int i = 0; i < 4; ++i) {
        float dx = off[i][0], dy = off[i][1];
        if (r[FieldRotation] != 0) {
            const float rx = dx * std::cos(a) - dy * std::sin(a);
            dy = dy * std::cos(a) + dx * std::sin(a);
            dx = rx;
        }
        p[i] = {x + dx, y + dy, tex[i][0], tex[i][1]};
    }
    Four(v, r, p);
}

// The vertices of one record; returns the shapes it adds to its batch.
int RawRecord(const double* r, std::vector<RawVertex>& v) {
    static constexpr double Unit[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int code = static_cast<int>(r[FieldCode]);
    if (code == CmdRect) {
        Centred(v, r, static_cast<float>(r[FieldW] * 0.5), static_cast<float>(r[FieldH] * 0.5), Unit);
    } else if (code == CmdQuad) {
        Corner p[4];
        for (int i = 0; i < 4; ++i)
            p[i] = {static_cast<float>(r[FieldX + 2 * i]), static_cast<float>(r[FieldY + 2 * i]), Unit[i][0], Unit[i][1]};
        Four(v, r, p);
    } else if (code == CmdOval) {
        const float x = static_cast<float>(r[FieldX]), y = static_cast<float>(r[FieldY]);
        const float hw = static_cast<float>(r[FieldW] * 0.5), hh = static_cast<float>(r[FieldH] * 0.5);
        GLubyte a[4], b[4];
        Colour(r + FieldColourA, a);
        Colour(r + FieldColourB, b);
        auto rim = [&](int degrees, double s, double t) {
            const float rad = static_cast<float>(degrees * RenderDegToRad);
            return Corner{x + std::sin(rad) * hw, y - std::cos(rad) * hh, s, t};
        };
        for (int i = 0; i < WedgeCount; ++i) {
            Push(v, {x, y, 0, 0}, a);
            Push(v, rim(10 * i, 1, 0), b);
            Push(v, rim(10 * i + 10, 1, 1), b);
        }
        return WedgeCount;
    } else if (code == CmdImage) {
        const int f = static_cast<int>(r[FieldFrame]);
        const double z = iFramesWz[SheetSlot];
        const double s0 = z * (f % iFramesW[SheetSlot]), t0 = z * (f / iFramesW[SheetSlot]);
        const double tex[4][2] = {{s0, t0 + z}, {s0 + z, t0 + z}, {s0 + z, t0}, {s0, t0}};
        const float scale = ASys.iSizeScaled[SheetSlot];
        Centred(v, r, static_cast<float>(r[FieldW] * scale), static_cast<float>(r[FieldH] * scale), tex);
    }
    return 1;
}

// The render copy as batches: a new one where the texture changes or the open one holds more
// than the batch limit of shapes.
std::vector<RawBatch> RawScene() {
    std::vector<RawBatch> batches;
    int shapes = 0;
    for (int n = 0; n < DrawToRT; ++n) {
        const double* r = DrawR + n * DrawFields;
        const GLuint texture = static_cast<int>(r[FieldCode]) == CmdImage ? RawSheet : RawWhite;
        if (batches.empty() || batches.back().texture != texture || shapes > BatchShapeLimit) {
            batches.push_back({texture, {}});
            shapes = 0;
        }
        shapes += RawRecord(r, batches.back().vertices);
    }
    return batches;
}

void MakeRawTextures() {
    auto make = [](GLuint& name, int side, const unsigned char* pixels) {
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    };
    make(RawWhite, WhiteBlockSide, WhiteBlock.data());
    make(RawSheet, SheetSide, Image[SheetSlot].data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

// One frame with the renderer's frame set-up, its batches sent straight to OpenGL.
void RawFrame(const std::vector<RawBatch>& batches) {
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    glViewport(0, 0, width, height);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glScalef(2 / ASys.VirtualWidth, -2 * ASys.Aspect / ASys.VirtualWidth, 1);
    for (const RawBatch& b : batches) {
        glBindTexture(GL_TEXTURE_2D, b.texture);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBegin(GL_TRIANGLES);
        for (const RawVertex& v : b.vertices) {
            glTexCoord2d(v.s, v.t);
            glColor4ub(v.rgba[0], v.rgba[1], v.rgba[2], v.rgba[3]);
            glVertex2f(v.x, v.y);
        }
        glEnd();
    }
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);   // leave the default texture bound, as found
    glfwSwapInterval(1);
    glfwSwapBuffers(window);
    glfwPollEvents();
}

// ---- timing --------------------------------------------------------------------------------

template <typename Draw>
double FrameMs(Draw draw) {
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    draw();
    glFinish();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The frame just shown (Mesa keeps the back buffer's contents after the swap).
std::vector<unsigned char> ReadFrame() {
    std::vector<unsigned char> pixels(static_cast<size_t>(ASys.CanvasWidth) * ASys.CanvasHeight * 4);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, ASys.CanvasWidth, ASys.CanvasHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

struct Result {
    std::string name;
    double rendererMs, rawMs, pairedRatio;
    long long triangles, batches;
    bool samePixels;
};
std::vector<Result> Results;

void BM_Scene(benchmark::State& state, SceneInfo info) {
    LoadScene(info.scene);
    const std::vector<RawBatch> raw = RawScene();
    long long triangles = 0;
    for (const RawBatch& b : raw) triangles += static_cast<long long>(b.vertices.size()) / 3;

    auto renderer = [] { ASys.RenderSys(0); };
    auto direct = [&raw] { RawFrame(raw); };
    renderer();
    const std::vector<unsigned char> mine = ReadFrame();
    direct();
    const bool same = ReadFrame() == mine && ASys.PolyCount == triangles;
    for (int i = 0; i < WarmUpRounds; ++i) {
        FrameMs(renderer);
        FrameMs(direct);
    }

    std::vector<double> rendererMs, rawMs, ratios;
    int round = 0;
    for (auto _ : state) {
        // Alternate which side goes first, so neither always follows the other.
        if (round++ % 2 == 0) {
            rendererMs.push_back(FrameMs(renderer));
            rawMs.push_back(FrameMs(direct));
        } else {
            rawMs.push_back(FrameMs(direct));
            rendererMs.push_back(FrameMs(renderer));
        }
        ratios.push_back(rendererMs.back() / rawMs.back());
        state.SetIterationTime(rendererMs.back() / 1000);
    }
    const double r = Median(rendererMs), d = Median(rawMs);
    state.counters["renderer_ms"] = r;
    state.counters["raw_ms"] = d;
    state.counters["ratio"] = d > 0 ? r / d : 0;
    state.counters["paired_ratio"] = Median(ratios);
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["batches"] = static_cast<double>(raw.size());
    Results.push_back({info.name, r, d, Median(ratios), triangles, static_cast<long long>(raw.size()), same});
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ASys.SysInit("Renderer Bench");
    if (!window) {
        std::fprintf(stderr, "bench_renderer: no window (is there an X display?)\n");
        return 1;
    }
    for (float& f : ASys.DrawSet) f = 0;
    ASys.DrawSet[DsClearDivisor] = 1;
    FillSheet();
    MakeRawTextures();
    for (const SceneInfo& s : Scenes)
        benchmark::RegisterBenchmark(("BM_Renderer/" + std::string(s.name)).c_str(), BM_Scene, s)
            ->Iterations(Rounds)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nmedian ms per frame, %d records a frame, %d interleaved rounds\n", Records, Rounds);
    std::printf("%-20s %10s %10s %7s %7s %10s %8s  %s\n", "scene", "renderer", "raw loop", "ratio", "paired",
                "triangles", "batches", "pixels");
    for (const Result& r : Results)
        std::printf("%-20s %10.3f %10.3f %7.3f %7.3f %10lld %8lld  %s\n", r.name.c_str(), r.rendererMs, r.rawMs,
                    r.rawMs > 0 ? r.rendererMs / r.rawMs : 0, r.pairedRatio, r.triangles, r.batches,
                    r.samePixels ? "same" : "DIFFERENT");
    ASys.Close();
    return 0;
}
