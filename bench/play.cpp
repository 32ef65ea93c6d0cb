// Time of one update of play with a full field: 512 objects (gems, hazards, regrown gems,
// pickups), 256 live particles and 250 motes, the creature swimming and steering. Runs
// without a window: the update only appends draw records and reads the input tables.
#include <benchmark/benchmark.h>

#include "MyGame.h"
#include "play_field.h"

namespace {

constexpr int Seed = 556;
constexpr int DrawnSlots[] = {ImgGfx, ImgRipple, ImgRippleB, ImgIcons, ImgParticles, ImgOptions, FontMain};

// One update of play: the play screen and then the particles, as the state machine runs them.
void BM_PlayUpdateFullField(benchmark::State& state) {
    MyGame& g = ThisGame;
    g.SeedRnd(Seed);
    g.ScreenWidth = 800;
    g.ScreenHeight = 600;
    g.dt = 1;
    playfield::StartFullRun(g);   // every object is walked, none is eaten
    for (auto _ : state) {
        playfield::LiveParticles(g);
        ASys.DrawTo = 0;
        g.DoGame();
        g.DoParticles();
        benchmark::DoNotOptimize(ASys.DrawTo);
    }
    state.counters["records"] = ASys.DrawTo;
}
BENCHMARK(BM_PlayUpdateFullField)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    ASys.VirtualWidth = 800;
    ASys.ImageZoom = 1;
    ViewScale = 2 / ASys.VirtualWidth;
    for (int slot : DrawnSlots) ASys.iFrames[slot] = 1;
    ASys.FontImage = FontMain;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
