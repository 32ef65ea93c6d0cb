// The asset loader (one step of its table per update behind the animated loading screen)
// and the scrolling backdrop that the menu overlays draw behind themselves.
// A file that cannot be read leaves its slot empty; the step still counts and loading goes on.
#include "MyGame.h"

namespace {

// What one loading step does.
enum class StepKind { Font, Image, Sound, Jingle, Buffer, Backdrop };

struct LoadStep {
    int step;
    StepKind kind;
    int slot;
    const char* file;   // picture name (Font, Image)
    int size;           // sprite cell (Image), buffer side (Buffer)
};

constexpr int BackdropSide = 1024;
constexpr float JinglePitch = 1.0f;

// Steps not listed load nothing and only give the loading animation time.
constexpr LoadStep LoadSteps[] = {
    {1, StepKind::Font, FontMain, "entplain.png", FontCell},
    {2, StepKind::Image, ImgVornLogo, "VornLogo", 32},
    {3, StepKind::Sound, SfxJingle, nullptr, 0},
    {4, StepKind::Jingle, SfxJingle, nullptr, 0},
    {43, StepKind::Image, ImgIcons, "icons", 64},
    {44, StepKind::Image, ImgParticles, "particles", 32},
    {45, StepKind::Sound, SfxSpare, nullptr, 0},
    {46, StepKind::Image, ImgOptions, "options", 32},
    {47, StepKind::Sound, SfxMove, nullptr, 0},
    {48, StepKind::Sound, SfxConfirm, nullptr, 0},
    {49, StepKind::Image, ImgMenu, "menu", 504},
    {50, StepKind::Image, ImgLogo, "logo", 1024},
    {51, StepKind::Buffer, ImgBackdrop, nullptr, BackdropSide},
    {52, StepKind::Backdrop, ImgBackdrop, nullptr, 0},
    {60, StepKind::Image, ImgGfx, "gfx", 16},
    {61, StepKind::Image, ImgRipple, "ripple", 128},
    {62, StepKind::Sound, SfxGem, nullptr, 0},
    {63, StepKind::Sound, SfxBigGem, nullptr, 0},
    {64, StepKind::Sound, SfxBlast, nullptr, 0},
    {65, StepKind::Sound, SfxBomb, nullptr, 0},
    {66, StepKind::Image, ImgRippleB, "rippleb", 512},
};

const LoadStep* StepAt(int step) {
    for (const LoadStep& s : LoadSteps)
        if (s.step == step) return &s;
    return nullptr;
}

// Loading screen: the framework logo assembled from its 25 x 25 cells, 16 units apart.
constexpr int LogoCells = 25;
constexpr float LogoPitch = 16;
constexpr float LogoHalfWidth = 200;
constexpr float LogoRise = 400;        // units a cell rises per unit of its size wave
constexpr int LogoPhaseStep = 6;       // degrees of phase per loading step
constexpr float LogoShowFrom = 0.5f;   // a cell shows once its size wave reaches this
constexpr int LogoSettledPhase = 135;  // past this phase a cell stays in place at LogoShowFrom
constexpr int LogoFirstStep = 5;       // the logo shows once LoadTo is above this
constexpr float LoadingTextRise = 32;
constexpr float LoadingFadeStart = 1.5f, LoadingFadeSteps = 60;

// Backdrop: the icon sheet's tile copied 16 x 16 times into the buffer; the two copies on
// screen scroll one unit every 32 ms and jump back every tile.
constexpr int BackdropTiles = 16, BackdropTile = 64, BackdropTileFrame = 8;
constexpr int BackdropHueMs = 64;
constexpr float BackdropLow = 0, BackdropHigh = 50;
constexpr float BackdropAlpha = 0.3f;
constexpr int BackdropScrollMs = 32;
}  // namespace

void MyGame::Loader() {
    const LoadStep* step = StepAt(LoadTo);
    if (step) {
        switch (step->kind) {
            case StepKind::Font: LoadFont(step->slot, step->file); break;
            case StepKind::Image: LoadImg(step->slot, step->file, step->size); break;
            case StepKind::Sound: LoadSFX(step->slot); break;
            case StepKind::Jingle: PlaySFX(step->slot, JinglePitch); break;
            case StepKind::Buffer: CreateBuffer(step->slot, step->size); break;
            case StepKind::Backdrop: MakePlatBG(); break;
        }
    }
    LoadTo += 1;
    LoadingScreen();
    if (LoadTo > LoaderLastStep && !step) LoadTo = 0;
}

void MyGame::LoadingScreen() {
    const int L = LoadTo;
    const float W = ScreenWidth, H = ScreenHeight;
    CLS(40, 0, 80);
    CLSGradient(40, 0, 80, 1, 80, 0, 40, 1);
    ResetDraw();
    if (L > LogoFirstStep) {
        for (int j = 0; j < LogoCells; j++) {
            for (int i = 0; i < LogoCells; i++) {
                const int phase = LogoPhaseStep * L - i - j;
                float s = Sin(static_cast<float>(phase));
                if (phase > LogoSettledPhase) s = LogoShowFrom;
                if (s < LogoShowFrom) continue;
                SetSize(s);
                DrawImg(ImgVornLogo, W / 2 - LogoHalfWidth + LogoPitch * i, H / 2 - LogoRise * s + LogoPitch * j,
                        LogoCells * j + i);
            }
        }
    }
    SetBlend(BlendAlpha);
    ResetDraw();
    Alpha(LoadingFadeStart - L / LoadingFadeSteps);
    Text(W / 2, H - LoadingTextRise, "Loading...", AlignCentre);
}

void MyGame::MakePlatBG() {
    for (int i = 0; i < BackdropTiles; i++)
        for (int j = 0; j < BackdropTiles; j++)
            BufferTile(ImgBackdrop, ImgIcons, BackdropTile * i, BackdropTile * j, BackdropTileFrame);
}

void MyGame::AddPlatBG() {
    const float W = ScreenWidth, H = ScreenHeight;
    SetCLSRot(static_cast<float>(Mills() / BackdropHueMs), BackdropLow, BackdropHigh);
    ResetDraw();
    SetAlpha(BackdropAlpha);
    int s = (Mills() / BackdropScrollMs) % BackdropTile;
    if (s < 0) s += BackdropTile;
    const float half = BackdropSide / 2;
    DrawImg(ImgBackdrop, W / 2, H / 2 - s - half, 0);
    DrawImg(ImgBackdrop, W / 2, H / 2 - s + half, 0);
}
