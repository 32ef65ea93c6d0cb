// Particles (sparks and floating score popups), the ring of water ripples and the drifting
// motes: creating them, and the per-update run of the particles on every screen.
// The play screen moves and draws the motes and ripples itself.
#include "MyGame.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int ColourGroups = 12, FramesPerGroup = 12;
constexpr float BirthAlpha = 1.5f;
constexpr float SpinMax = 2;
constexpr float BounceFloorLow = 12, BounceFloorHigh = 20;
constexpr float FullTurn = 360;
constexpr float ParticleSize = 0.5f;
constexpr float SparkFade = 0.02f, PopupFade = 0.05f;
constexpr float Gravity = 0.25f;
constexpr float BounceLow = 2, BounceHigh = 5;
constexpr float PopupLift = 0.05f;

constexpr float RippleBirthAlpha = 1;
constexpr float RippleSizeLow = 0.15f, RippleSizeHigh = 0.3f;
constexpr float RippleGrowth = 0.02f, RippleGemGrowth = 0.004f, RippleBlastGrowth = 0.01f;
constexpr float RippleBlastSize = 1;

constexpr float MoteBorder = 128;
constexpr float MoteDriftLow = 0.25f, MoteDriftHigh = 1;
constexpr float MoteSpinMax = 3;
}  // namespace

void MyGame::ThrowParticle(float x, float y, float ink, int colour, int type, float angle, float speed) {
    int group = colour % ColourGroups;
    if (group < 0) group += ColourGroups;
    Particle* p = FreeParticle();
    if (!p) return;
    p->Type = static_cast<float>(type);
    p->X = x;
    p->Y = y;
    p->VX = Sin(angle) * speed;
    p->VY = -Cos(angle) * speed;
    p->Rot = Rnd(0, FullTurn);
    p->Spin = Rnd(-SpinMax, SpinMax);
    if (type == ParticleBounce) p->Spin = y + Rnd(BounceFloorLow, BounceFloorHigh);
    p->Alpha = BirthAlpha;
    p->Ink = ink;
    p->Frame = static_cast<float>(FramesPerGroup * group + Rand(0, FramesPerGroup - 1));
}

MyGame::Particle* MyGame::FreeParticle() {
    Particle* p = std::find_if(Particles, Particles + ParticleCount,
                               [](const Particle& q) { return q.Type == ParticleFree; });
    return p == Particles + ParticleCount ? nullptr : p;
}

void MyGame::DoParticles() {
    ResetDraw();
    SetSize(ParticleSize);
    for (Particle& p : Particles) {
        if (p.Type <= ParticleFree) continue;
        const int type = static_cast<int>(p.Type);
        p.X += p.VX;
        p.Y += p.VY;
        if (type != ParticleBounce) p.Rot = Mod(p.Rot + p.Spin, FullTurn);
        float fade = SparkFade;
        if (type == ParticleFall) p.VY += Gravity;
        if (type == ParticleBounce) {
            p.Rot = Mod(p.Rot + p.VX, FullTurn);
            p.VY += Gravity;
            if (p.Y > p.Spin) p.VY = -Rnd(BounceLow, BounceHigh);
        }
        InkRot(p.Ink);
        Alpha(p.Alpha);
        SetRot(p.Rot);
        if (p.Type < ParticleNoSprite) DrawImg(ImgParticles, p.X, p.Y, static_cast<int>(p.Frame));
        if (type == ParticlePopup) {
            p.VY -= PopupLift;
            Text(p.X, p.Y, fstr("%i", static_cast<int>(p.Frame)), AlignCentre);
            fade = PopupFade;
        }
        p.Alpha -= fade;
        if (p.Alpha < 0) p.Type = ParticleFree;
    }
}

void MyGame::DoRipple(float x, float y, int type) {
    RippleNext = (RippleNext + 1) % RippleCount;
    if (RippleNext < 0) RippleNext += RippleCount;
    Ripple& r = Ripples[RippleNext];
    r.Alpha = RippleBirthAlpha;
    r.X = x;
    r.Y = y;
    r.Size = Rnd(RippleSizeLow, RippleSizeHigh);
    r.Growth = RippleGrowth;
    if (type == RippleGem) r.Growth = RippleGemGrowth;
    if (type == RippleBlast) {
        r.Growth = RippleBlastGrowth;
        r.Size = RippleBlastSize;
    }
}

void MyGame::ResetStars(int count) {
    const int n = std::min(count, MoteStorage);
    for (int i = 0; i < n; i++) {
        Mote& m = Motes[i];
        m.Frame = static_cast<float>(Rand(0, FramesPerGroup - 1));
        m.X = Rnd(-MoteBorder, ScreenWidth + MoteBorder);
        m.Y = Rnd(-MoteBorder, ScreenHeight + MoteBorder);
        m.VX = Rnd(MoteDriftLow, MoteDriftHigh);
        m.Angle = Rnd(0, FullTurn);
        m.Spin = Rnd(-MoteSpinMax, MoteSpinMax);
    }
}

void MyGame::ClearMotes() { std::memset(Motes, 0, sizeof Motes); }
void MyGame::ClearParticles() { std::memset(Particles, 0, sizeof Particles); }
