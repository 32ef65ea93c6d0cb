// The play screen: the start of a run, one update of play in its fixed order (backdrop,
// motes, ripples, the creature and its trail, the bomb, the objects, death, the water
// layers, the HUD), the pause button and keys, the blast and the points with their popups.
#include "MyGame.h"

#include <algorithm>
#include <cstring>

namespace {
// Run start.
constexpr float StartX = 0.2f, StartY = 0.5f;   // fractions of the screen
constexpr float StartLength = 10, StartAngle = 90;
constexpr int StartLives = 3;
constexpr float WaterSpan = 1024;                // water layer offsets wrap on 0..1024
constexpr float WaterDriftMax = 0.3f;
constexpr float TrailOffscreen = -512;

// Backdrop.
constexpr float BackdropMargin = 256;
constexpr float BackdropAlpha = 0.4f;
constexpr float ClearFade = 8;

// Motes.
constexpr float MoteSize = 0.3f, MoteAlpha = 0.15f;
constexpr float MoteDriftX = 0.15f, MoteDriftY = 0.075f, MoteDamping = 0.98f;
constexpr float PushRadius = 128, PushScale = 0.2f;
constexpr float WakeRadius = 45, WakeStrength = 0.01f;
constexpr float MoteWrapMargin = 8;
constexpr float NoPushX = -100;

// Ripples.
constexpr float RippleFade = 0.05f, RippleGrowLow = 0.3f, RippleGrowHigh = 1, RippleSizeMax = 4;
constexpr float RippleAlphaScale = 0.5f;

// The creature.
constexpr float Acceleration = 0.1f, SpeedMax = 5;
constexpr float BoostPress = 0.4f, BoostShare = 0.5f;
constexpr float TurnGrowth = 0.01f, TurnRateMax = 4, TurnRateReleased = 1;
constexpr float TrailScaleX = 0.8f, TrailScaleY = 1.3f;
constexpr int TrailSpacing = 3;          // a segment every third point
constexpr int TrailHeadColourFrom = 299;
constexpr int TrailBodyFrame = 0;

// The bomb.
// BombFuse is the fuse a pickup lights (objects.cpp); the tick pitch rises over it.
constexpr float BombTickStep = 20, BombPitchTop = 2;
constexpr float BombGoesOff = 1;
constexpr float BlastRadius = 128;
constexpr float BlastPitchLow = 2.3f, BlastPitchHigh = 2.8f, BlastVolume = 0.5f;
constexpr float BlastPush = 0.03f;
constexpr int BlastPoints = 5, BlastSparks = 8;
constexpr float BlastHueLow = 80, BlastHueHigh = 180, BlastSpeedLow = 1, BlastSpeedHigh = 2;

// Death.
constexpr int DeathSparks = 100;
constexpr float DeathHueLow = 0, DeathHueHigh = 30, DeathSpeedLow = 2, DeathSpeedHigh = 5;
constexpr float DeathPush = 0.04f;
constexpr int SparkGroupLow = 1, SparkGroupHigh = 4;

// Water layers.
constexpr float WaterEase = 128, WaterRetarget = 500;
constexpr float WaterSize = 2, WaterAlpha = 0.1f, WaterBTurn = 90;

// Pause button and the popup hue of plain points.
constexpr int PauseButtonFrame = 0;
constexpr float PauseButtonX = 32, PauseButtonY = 32;
constexpr float PauseButtonAlpha = 0.4f;
constexpr int PauseLatch = 98;
constexpr float PopupHue = 60, PopupAlpha = 1.5f;
constexpr int HudWithLives = 1;

constexpr float FullTurn = 360;
}  // namespace

void MyGame::ClearPlayer() {
    std::memset(&Player, 0, sizeof Player);
    Score = Lives = ShownScore = 0;
    std::memset(&RipplePush, 0, sizeof RipplePush);
    std::memset(&WaterA, 0, sizeof WaterA);
    std::memset(&WaterB, 0, sizeof WaterB);
}

namespace {
// Wraps v into low..high: a value past one edge comes back in by the width of the range.
void WrapInto(float& v, float low, float high) {
    const float span = high - low;
    if (v < low) v += span;
    if (v > high) v -= span;
}
}  // namespace

void MyGame::WrapOnPlayArea(float& x, float& y) {
    WrapInto(x, PlayMargin, ScreenWidth - PlayMargin);
    WrapInto(y, PlayMargin, ScreenHeight - PlayMargin);
}

void MyGame::LoadGame() {
    FlushGame();
    Option[OptPlays] += 1;
    ResetStars(PlayMotes);
    Player.X = ScreenWidth * StartX;
    Player.Y = ScreenHeight * StartY;
    Player.Speed = 0;
    Player.Length = StartLength;
    Player.Angle = StartAngle;
    for (WaterLayer* w : {&WaterA, &WaterB}) {
        w->X = Rnd(0, WaterSpan);
        w->Y = Rnd(0, WaterSpan);
    }
    for (WaterLayer* w : {&WaterA, &WaterB}) {
        w->TargetVX = Rnd(-WaterDriftMax, WaterDriftMax);
        w->TargetVY = Rnd(-WaterDriftMax, WaterDriftMax);
        w->VX = w->TargetVX;
        w->VY = w->TargetVY;
    }
    Lives = StartLives;
    for (Ripple& r : Ripples) r.Alpha = 0;
    RippleNext = 0;
    for (int i = 0; i < PlayMotes; i++) Motes[i].VX = Motes[i].VY = 0;
    PlayMusic(GameMusic);
    for (auto& point : PlayerTrail) std::fill(point, point + 3, TrailOffscreen);
    GameState = StatePlay;
}

void MyGame::DoGame() {
    // Backdrop.
    FadeCLS(0, 0, 40, ClearFade);
    SetGradient(0, 0, 80, BackdropAlpha, 0, 0, 0, BackdropAlpha);
    Rect(ScreenWidth / 2, ScreenHeight / 2, ScreenWidth + BackdropMargin, ScreenHeight + BackdropMargin);

    // Background motes, pushed by last update's ripple push and by the creature's wake.
    ResetDraw();
    SetSize(MoteSize);
    Alpha(MoteAlpha);
    for (int i = 0; i < PlayMotes; i++) {
        Mote& m = Motes[i];
        m.X += m.VX;
        m.Y += m.VY;
        m.X += MoteDriftX;
        m.Y -= MoteDriftY;
        m.VX *= MoteDamping;
        m.VY *= MoteDamping;
        if (RipplePush.X > NoPush) {
            const float d = Dist(RipplePush.X, RipplePush.Y, m.X, m.Y);
            if (d < PushRadius) {
                const float f = d * RipplePush.Strength;
                const float a = Atan2(RipplePush.X, RipplePush.Y, m.X, m.Y);
                m.VX += Sin(a) * f * PushScale;
                m.VY -= Cos(a) * f * PushScale;
            }
        }
        if (Abs(m.X - Player.X) < WakeRadius && Abs(m.Y - Player.Y) < WakeRadius) {
            const float d = Dist(Player.X, Player.Y, m.X, m.Y);
            if (d < WakeRadius) {
                const float f = d * WakeStrength;
                m.VX += Sin(Player.Angle) * f * PushScale;
                m.VY -= Cos(Player.Angle) * f * PushScale;
            }
        }
        WrapInto(m.X, -MoteWrapMargin, ScreenWidth + MoteWrapMargin);
        WrapInto(m.Y, -MoteWrapMargin, ScreenHeight + MoteWrapMargin);
        DrawImg(ImgParticles, m.X, m.Y, static_cast<int>(m.Frame));
    }
    ResetDraw();
    RipplePush.X = NoPushX;

    // Ripples.
    for (Ripple& r : Ripples) {
        if (r.Alpha <= 0) continue;
        r.Alpha -= RippleFade;
        r.Size = std::min(r.Size + Rnd(RippleGrowLow, RippleGrowHigh) * r.Growth, RippleSizeMax);
        SetSize(r.Size);
        Alpha(r.Alpha * RippleAlphaScale);
        DrawImg(ImgRipple, r.X, r.Y, 0);
    }

    // The creature moves and steers, dead or alive.
    ResetDraw();
    Player.Speed = std::min(Player.Speed + Acceleration, SpeedMax);
    Player.X += Sin(Player.Angle) * dt * Player.Speed;
    Player.Y -= Cos(Player.Angle) * dt * Player.Speed;
    WrapOnPlayArea(Player.X, Player.Y);
    if (Joy(InputButton1) > BoostPress) {
        Player.X += Sin(Player.Angle) * dt * Player.Speed * BoostShare;
        Player.Y -= Cos(Player.Angle) * dt * Player.Speed * BoostShare;
    }
    Player.TurnRate = std::min(Player.TurnRate + TurnGrowth, TurnRateMax);
    if (Joy(InputRight) < InputReleased && Joy(InputLeft) < InputReleased) Player.TurnRate = TurnRateReleased;
    Player.Angle += (Joy(InputRight) - Joy(InputLeft)) * dt * Player.Speed * Player.TurnRate;

    // The trail: point TrailHead takes the head, every point moves down one place, and every
    // third of the newest 3 x Length points is drawn, the newest in the head colour.
    ResetDraw();
    SetSize(TrailScaleX, TrailScaleY);
    if (Player.Dead == 0) {
        PlayerTrail[TrailHead][0] = Player.X;
        PlayerTrail[TrailHead][1] = Player.Y;
        PlayerTrail[TrailHead][2] = Player.Angle;
        SetCol(50, 125, 50, 1);
        for (int i = 0; i < TrailHead; i++) {
            std::copy(PlayerTrail[i + 1], PlayerTrail[i + 1] + 3, PlayerTrail[i]);
            if (i == TrailHeadColourFrom) {
                if (Player.BombTimer > 0)
                    SetCol(255, 180, 100);
                else
                    SetCol(180, 255, 180);
            }
            if (i % TrailSpacing == 0 && i > (TrailHead - 1) - TrailSpacing * Player.Length) {
                SetRot(PlayerTrail[i][2]);
                DrawImg(ImgGfx, PlayerTrail[i][0], PlayerTrail[i][1], TrailBodyFrame);
            }
        }
    }

    // The bomb countdown: ticks rising in pitch, the boost button sets it off at once.
    ResetDraw();
    if (Player.BombTimer > 0) {
        Player.BombTimer -= dt;
        if (Player.BombTimer < Player.BombTick) {
            Player.BombTick -= BombTickStep;
            PlaySFX(SfxBomb, BombPitchTop - Player.BombTimer / BombFuse);
        }
        if (Joy(InputButton1) > InputReleased) Player.BombTimer = 0;
        if (Player.BombTimer < BombGoesOff) {
            Bomb(Player.X, Player.Y);
            Player.BombTimer = 0;
        }
    }
    if (Player.BombTimer < 0) Player.BombTimer = 0;

    int freeSlot = -1;
    const bool fatal = ObjectWalk(freeSlot);
    SpawnObjects(freeSlot);

    if (fatal && GameOver == 0) {
        PlaySFX(SfxBlast);
        Player.Dead = 1;
        ThrowSparks(Player.X, Player.Y, DeathSparks, DeathHueLow, DeathHueHigh, DeathSpeedLow, DeathSpeedHigh);
        StopMusic();
        EndGame(EndDeath);
        RipplePush = {Player.X, Player.Y, DeathPush};
    }

    if (Joy(InputButton2) > InputReleased) DoRipple(Player.X, Player.Y, RippleSmall);

    // The two water layers drift, ease toward new drifts now and then, and are drawn over
    // everything of play but the HUD.
    for (WaterLayer* w : {&WaterA, &WaterB}) {
        w->X += w->VX;
        w->Y += w->VY;
        WrapInto(w->X, 0, WaterSpan);
        WrapInto(w->Y, 0, WaterSpan);
        w->VX -= (w->VX - w->TargetVX) / WaterEase;
        w->VY -= (w->VY - w->TargetVY) / WaterEase;
    }
    for (float* target : {&WaterA.TargetVX, &WaterA.TargetVY, &WaterB.TargetVX, &WaterB.TargetVY})
        if (Rnd(0, WaterRetarget) < 1) *target = Rnd(-WaterDriftMax, WaterDriftMax);
    ResetDraw();
    SetSize(WaterSize);
    Alpha(WaterAlpha);
    for (WaterLayer* w : {&WaterA, &WaterB}) {
        if (w == &WaterB) SetRot(WaterBTurn);
        for (int i = -1; i <= 1; i++)
            for (int j = -1; j <= 1; j++) DrawImg(ImgRippleB, w->X + WaterSpan * i, w->Y + WaterSpan * j, 0);
    }

    DefaultScoreDisplay(HudWithLives);
}

void MyGame::Ingame() {
    ResetDraw();
    SetSize(1);
    SetCol(255, 255, 255, PointerMode == 0 ? 0 : PauseButtonAlpha);
    const int pointer = Button(ImgIcons, PauseButtonX, PauseButtonY, PauseButtonFrame);
    if (pointer > 0) {
        Paused = 1;
        LockKeys();
        PauseCursor = 1;
    }
    if (PlayKey(PlayEnter) == 0 && Joy(InputStart) < InputReleased) KeyLatch[PauseLatch] = 0;
    if ((PlayKey(PlayEscape) || Joy(InputStart) > InputPressed) && KeyLatch[PauseLatch] == 0) {
        Paused = 1;
        PauseCursor = 1;
        LockKeys();
    }
}

void MyGame::Bomb(float x, float y) {
    DoRipple(x, y, RippleBlast);
    PlaySFX(SfxBlast, Rnd(BlastPitchLow, BlastPitchHigh), BlastVolume);
    Player.BombTimer = 0;
    RipplePush = {x, y, BlastPush};
    for (int i = 0; i < ObjectSlots; i++) {
        GameObject& o = Objects[i];
        if (o.Type <= ObjFree || Dist(x, y, o.X, o.Y) >= BlastRadius) continue;
        o.Type = ObjFree;
        Gimme(BlastPoints, o.X, o.Y);
        DoRipple(o.X, o.Y, RippleSmall);
        ThrowSparks(o.X, o.Y, BlastSparks, BlastHueLow, BlastHueHigh, BlastSpeedLow, BlastSpeedHigh);
    }
}

void MyGame::ThrowSparks(float x, float y, int count, float hueLow, float hueHigh, float speedLow, float speedHigh) {
    for (int i = 0; i < count; i++) {
        const float hue = static_cast<float>(Rand(hueLow, hueHigh));
        const int group = Rand(SparkGroupLow, SparkGroupHigh);
        const float angle = Rnd(0, FullTurn);
        ThrowParticle(x, y, hue, group, ParticleDrift, angle, Rnd(speedLow, speedHigh));
    }
}

void MyGame::Gimme(int points, float x, float y) { Gimme(points, x, y, PopupHue); }

void MyGame::Gimme(int points, float x, float y, float hue) {
    Score += points;
    Particle* p = FreeParticle();
    if (!p) return;
    *p = Particle{};
    p->Type = ParticlePopup;
    p->X = x;
    p->Y = y;
    p->Alpha = PopupAlpha;
    p->Ink = hue;
    p->Frame = static_cast<float>(points);
}
