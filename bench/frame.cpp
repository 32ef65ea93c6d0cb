// Whole frames of the game on the real OpenGL of the machine (Xvfb and llvmpipe under
// `make bench`): one update, one render (to glFinish) and the music service of a loop pass,
// on the title screen and in play with a full field, after the real asset loader has run.
// Texture uploads are counted by wrapping glTexImage2D and glTexSubImage2D at link time.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "MyGame.h"
#include "Vorn_glfw3.h"
#include "play_field.h"
#include "quiet_stdout.h"

namespace {
long long Uploads = 0, UploadBytes = 0;
constexpr int BytesPerTexel = 4;   // every slot is uploaded as 8-bit RGBA
}  // namespace

extern "C" {
void __real_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                         GLint border, GLenum format, GLenum type, const void* pixels);
void __real_glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                            GLenum format, GLenum type, const void* pixels);

void __wrap_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                         GLint border, GLenum format, GLenum type, const void* pixels) {
    Uploads++;
    UploadBytes += static_cast<long long>(width) * height * BytesPerTexel;
    __real_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}
void __wrap_glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                            GLenum format, GLenum type, const void* pixels) {
    Uploads++;
    UploadBytes += static_cast<long long>(width) * height * BytesPerTexel;
    __real_glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Seed = 556;
constexpr int WarmFrames = 30;     // frames before timing: the first uploads of every slot
constexpr double DeadlineMs = MyGame::UpdateIntervalMs;
constexpr double BytesPerMB = 1024.0 * 1024.0;

MyGame& G = ThisGame;

// What the timed frames of one benchmark came to, per frame.
struct Figures {
    double updateMs = 0, renderMs = 0, uploads = 0, uploadMB = 0;
    int records = 0;
    double FrameMs() const { return updateMs + renderMs; }
};
Figures TitleFigures, PlayFigures;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One pass of the loop with both deadlines due: update, render, music.
void Frame(Clock::duration& update, Clock::duration& render) {
    const auto start = Clock::now();
    G.Update();
    const auto updated = Clock::now();
    G.Render();
    glFinish();
    G.MusicHandler();
    render += Clock::now() - updated;
    update += updated - start;
}

// Runs the benchmark's frames, `before` ahead of each (untimed work that keeps the screen's
// content steady, such as refilling the particles).
template <class Before> void TimeFrames(benchmark::State& state, Figures& out, Before before) {
    Clock::duration update{}, render{};
    for (int i = 0; i < WarmFrames; i++) {
        before();
        Frame(update, render);
    }
    update = render = {};
    const long long uploads = Uploads, bytes = UploadBytes;
    for (auto _ : state) {
        state.PauseTiming();
        before();
        state.ResumeTiming();
        Frame(update, render);
    }
    const double frames = static_cast<double>(state.iterations());
    out.updateMs = Ms(update) / frames;
    out.renderMs = Ms(render) / frames;
    out.uploads = static_cast<double>(Uploads - uploads) / frames;
    out.uploadMB = static_cast<double>(UploadBytes - bytes) / BytesPerMB / frames;
    out.records = DrawToRT;
    state.counters["update_ms"] = out.updateMs;
    state.counters["render_ms"] = out.renderMs;
    state.counters["uploads"] = out.uploads;
    state.counters["records"] = out.records;
}

void BM_TitleFrame(benchmark::State& state) {
    G.GameState = StateMenu;
    G.MenuStage = 0;
    G.FlushGame();
    TimeFrames(state, TitleFigures, [] {});
}
BENCHMARK(BM_TitleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlayFrameFullField(benchmark::State& state) {
    playfield::StartFullRun(G);
    TimeFrames(state, PlayFigures, [] { playfield::LiveParticles(G); });
    G.StopMusic();
    G.GameState = StateMenu;
}
BENCHMARK(BM_PlayFrameFullField)->Unit(benchmark::kMillisecond)->UseRealTime();

// The game as its launch leaves it, then the asset loader run to its end, frame by frame.
bool StartGame() {
    QuietStdout quiet;
    const std::filesystem::path data = BRINDLEWICK_DATA_DIR;   // <home>/Data/556
    std::snprintf(G.home, sizeof G.home, "%s", data.parent_path().parent_path().c_str());
    G.StartUp(false);
    if (!window) return false;
    G.SeedRnd(Seed);
    Clock::duration update{}, render{};
    while (G.LoadTo != 0) Frame(update, render);
    return true;
}

void Report(const char* name, const Figures& f) {
    std::printf("%s: %.2f ms per frame (update %.2f, render %.2f), %.1f uploads (%.2f MB) per frame, "
                "%d records; %.0f frames a second at most, %.2f x the %.0f ms deadline\n",
                name, f.FrameMs(), f.updateMs, f.renderMs, f.uploads, f.uploadMB, f.records,
                f.FrameMs() > 0 ? 1000 / f.FrameMs() : 0.0, f.FrameMs() / DeadlineMs, DeadlineMs);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!StartGame()) {
        std::fprintf(stderr, "bench_frame: no window (is there an X display?)\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Report("title screen", TitleFigures);
    Report("play, full field", PlayFigures);
    {
        QuietStdout quiet;
        G.Terminate();
    }
    return 0;
}
