// Time of one update of play with a full field: 512 objects (gems, hazards, regrown gems,
// pickups), 256 live particles and 250 motes, the creature swimming and steering. Runs
// without a window: the update only appends draw records and reads the input tables.
#include <benchmark/benchmark.h>

#include "MyGame.h"

namespace {

constexpr int Seed = 556;
constexpr int GridColumns = 32;   // objects on a 32 x 16 grid over the screen
constexpr float GridPitchX = 24, GridPitchY = 36, GridLeft = 20, GridTop = 20;
constexpr int Kinds[] = {MyGame::ObjGem, MyGame::ObjHazard, MyGame::ObjRegrowing, MyGame::ObjBigGem,
                         MyGame::ObjBombPickup};
constexpr int DrawnSlots[] = {ImgGfx, ImgRipple, ImgRippleB, ImgIcons, ImgParticles, ImgOptions, FontMain};

void FullField(MyGame& g) {
    for (int i = 0; i < MyGame::ObjectSlots; i++) {
        MyGame::GameObject& o = g.Objects[i];
        o = MyGame::GameObject{};
        o.Type = static_cast<float>(Kinds[i % 5]);
        o.X = GridLeft + GridPitchX * (i % GridColumns);
        o.Y = GridTop + GridPitchY * static_cast<float>(i / GridColumns);
        o.Alpha = 1;
    }
}

void LiveParticles(MyGame& g) {
    for (int i = 0; i < MyGame::ParticleCount; i++) {
        MyGame::Particle& p = g.Particles[i];
        if (p.Type == MyGame::ParticleFree) g.ThrowParticle(400, 300, 120, i, MyGame::ParticleDrift, i * 1.4f, 1);
        p.Alpha = 1.5f;
    }
}

// One update of play: the play screen and then the particles, as the state machine runs them.
void BM_PlayUpdateFullField(benchmark::State& state) {
    MyGame& g = ThisGame;
    g.SeedRnd(Seed);
    g.ScreenWidth = 800;
    g.ScreenHeight = 600;
    g.dt = 1;
    g.GameMode = 2;
    g.LoadGame();
    FullField(g);
    g.Player.Dead = 1;   // the field stays full: every object is walked, none is eaten
    for (auto _ : state) {
        LiveParticles(g);
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
