// Loading sprite sheets into image slots: the largest sheet of the data folder (the loading
// screen's 25 x 25 logo), a synthetic 40-cell sheet with a texture above 2048, and PNG
// decoding alone, so the share of colour keying, packing and bleed shows.
#include <benchmark/benchmark.h>
#include <lodepng.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Vorn_glfw3.h"
#include "quiet_stdout.h"

namespace {

std::string DataFile(const char* name) { return std::string(BRINDLEWICK_DATA_DIR) + "/" + name; }

// A 2240 x 56 sheet of forty 56-pixel sprites with some key-coloured pixels.
std::string WideSheet() {
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "bench_images_wide.png").string();
        const unsigned w = 2240, h = 56;
        std::vector<unsigned char> px(w * h * 4);
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x) {
                unsigned char* q = &px[(y * w + x) * 4];
                bool key = (x + y) % 7 == 0;
                q[0] = key ? 255 : static_cast<unsigned char>(x);
                q[1] = key ? 0 : static_cast<unsigned char>(y * 4);
                q[2] = key ? 255 : 90;
                q[3] = (x % 56 < 4) ? 0 : 255;
            }
        lodepng::encode(p, px, w, h);
        return p;
    }();
    return path;
}

void Load(benchmark::State& state, const std::string& path, unsigned size) {
    ASys.VirtualWidth = 800;
    if (!std::filesystem::exists(path)) {
        state.SkipWithError(("missing " + path).c_str());
        return;
    }
    {
        QuietStdout quiet;
        for (auto _ : state) {
            ASys.GetPNG(1, path.c_str(), size);
            benchmark::DoNotOptimize(Image[1].data());
        }
    }
    if (ASys.iFrames[1] < 1) state.SkipWithError("the sheet did not load");
    state.counters["frames"] = ASys.iFrames[1];
    state.counters["side"] = iSize[1];
}

void BM_LoadLogoSheet(benchmark::State& state) { Load(state, DataFile("VornLogo.png"), 32); }
void BM_LoadWideSheet(benchmark::State& state) { Load(state, WideSheet(), 56); }

void BM_DecodeLogoOnly(benchmark::State& state) {
    const std::string path = DataFile("VornLogo.png");
    std::vector<unsigned char> px;
    unsigned w = 0, h = 0;
    for (auto _ : state) {
        if (lodepng::decode(px, w, h, path) != 0) {
            state.SkipWithError(("cannot decode " + path).c_str());
            break;
        }
        benchmark::DoNotOptimize(px.data());
    }
}

}  // namespace

BENCHMARK(BM_LoadLogoSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLogoOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWideSheet)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
