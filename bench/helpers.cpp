// Calls per second of two helpers the game uses on every update: a draw of the seeded
// random stream (Rnd, Rand) and printf-style formatting into the Tempstr ring (fstr).
#include <benchmark/benchmark.h>

#include <memory>

#include "VornCore.h"

namespace {
constexpr int BenchSeed = 12345;
constexpr int BenchGameNum = 556;

std::unique_ptr<VornCore> MakeCore() {
    auto core = std::make_unique<VornCore>();
    core->GameNum = BenchGameNum;
    core->SeedRnd(BenchSeed);
    return core;
}

void BM_Rnd(benchmark::State& state) {
    auto core = MakeCore();
    for (auto _ : state) benchmark::DoNotOptimize(core->Rnd(0, 100));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Rnd);

void BM_Rand(benchmark::State& state) {
    auto core = MakeCore();
    for (auto _ : state) benchmark::DoNotOptimize(core->Rand(1, 6));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Rand);

void BM_fstrShort(benchmark::State& state) {
    auto core = MakeCore();
    int n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(core->fstr("Score %i", n++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_fstrShort);

void BM_fstrMixed(benchmark::State& state) {
    auto core = MakeCore();
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            core->fstr("Update %ifps - Render %ifps - Polys %i %s %.2f", n, n + 1, n * 7, "text", n * 0.5));
        n++;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_fstrMixed);
}  // namespace

BENCHMARK_MAIN();
