// Frame time of the renderer on a full draw list (rectangles, ovals, lines and sprites of one
// 16-pixel sheet) beside the same number of raw immediate-mode textured quads, on the real
// OpenGL of the machine (Xvfb and llvmpipe under `make bench`).
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "Vorn_glfw3.h"

namespace {

constexpr int Records = DrawListRecords;   // a full draw list
constexpr int SheetSlot = 0;
constexpr int SpriteSize = 16, CellPitch = SpriteSize + 8, SheetSide = 128, SheetFrames = 16;
constexpr int CellsPerRow = SheetSide / CellPitch;
constexpr int RunLength = 8;               // records of one kind in a row before the next kind

double RendererMs = 0, RawMs = 0;          // ms per frame of the last run of each benchmark

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

// A full list of short runs of rectangles, ovals, lines (quads, as the core draws them) and
// sprites spread over the screen.
void FillList() {
    for (int n = 0; n < Records; ++n) {
        double* r = ASys.Draw + n * DrawFields;
        for (int f = 0; f < DrawFields; ++f) r[f] = 0;
        const double x = (n * 37) % 760 - 380, y = (n * 53) % 560 - 280;
        static constexpr int Kinds[4] = {CmdRect, CmdOval, CmdQuad, CmdImage};
        const int kind = Kinds[(n / RunLength) % 4];
        r[FieldCode] = kind;
        r[FieldX] = x;
        r[FieldY] = y;
        r[FieldW] = 12;
        r[FieldH] = -12;
        if (kind == CmdQuad) {
            const double corners[8] = {x, y, x + 20, y + 2, x + 20, y + 4, x, y + 2};
            for (int c = 0; c < 8; ++c) r[1 + c] = corners[c];
        }
        if (kind == CmdImage) {
            r[FieldW] = 1;
            r[FieldH] = -1;
            r[FieldSlot] = SheetSlot;
            r[FieldFrame] = n % SheetFrames;
        }
        const double colour[8] = {255, 200, 120, 40, 160, 40, 120, 200};
        for (int c = 0; c < 8; ++c) r[FieldColourA + c] = colour[c];
        r[FieldRotation] = n % 90;
    }
    ASys.DrawTo = Records;
    ASys.RenderBuffer();
    ASys.DrawTo = 0;
}

double MsPerFrame(std::chrono::steady_clock::duration total, benchmark::IterationCount frames) {
    return std::chrono::duration<double, std::milli>(total).count() / static_cast<double>(frames);
}

void BM_RendererFullList(benchmark::State& state) {
    FillSheet();
    FillList();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        ASys.RenderSys(0);
        glFinish();
    }
    RendererMs = MsPerFrame(std::chrono::steady_clock::now() - start, state.iterations());
    state.counters["polys"] = ASys.PolyCount;
    state.counters["records"] = ASys.ObjCount;
}

// The same number of textured quads sent straight to OpenGL: one upload, one batch.
void BM_RawTexturedQuads(benchmark::State& state) {
    FillSheet();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        glViewport(0, 0, ASys.CanvasWidth, ASys.CanvasHeight);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, 4, SheetSide, SheetSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, Image[SheetSlot].data());
        glPushMatrix();
        glScalef(2 / ASys.VirtualWidth, -2 * ASys.Aspect / ASys.VirtualWidth, 1);
        glBegin(GL_TRIANGLES);
        for (int n = 0; n < Records; ++n) {
            const float x = static_cast<float>((n * 37) % 760 - 380), y = static_cast<float>((n * 53) % 560 - 280);
            const float h = 12;
            const float px[4] = {x - h, x + h, x + h, x - h}, py[4] = {y + h, y + h, y - h, y - h};
            const double s[4] = {0, 0.1875, 0.1875, 0}, t[4] = {0.1875, 0.1875, 0, 0};
            for (int v : {0, 1, 2, 0, 2, 3}) {
                glTexCoord2d(s[v], t[v]);
                glColor4ub(200, 120, 40, 255);
                glVertex2f(px[v], py[v]);
            }
        }
        glEnd();
        glPopMatrix();
        glfwSwapBuffers(window);
        glFinish();
    }
    RawMs = MsPerFrame(std::chrono::steady_clock::now() - start, state.iterations());
}

BENCHMARK(BM_RendererFullList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawTexturedQuads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ASys.SysInit("Renderer Bench");
    if (!window) {
        std::fprintf(stderr, "bench_renderer: no window (is there an X display?)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("renderer, full list of %d records: %.3f ms per frame\n", Records, RendererMs);
    std::printf("raw immediate-mode textured quads, %d of them: %.3f ms per frame\n", Records, RawMs);
    if (RawMs > 0) std::printf("ratio renderer / raw quads: %.2f\n", RendererMs / RawMs);
    ASys.Close();
    return 0;
}
