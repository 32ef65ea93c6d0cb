// The play objects: gems, big gems, homing hazards, bomb pickups and the regrown gems that
// eaten gems leave. One walk per update over the 512 play slots (move, wrap, blink, draw,
// touch, home) and the spawning of one new object now and then.
#include "MyGame.h"

#include <cstring>

namespace {
// Touch radii by kind.
constexpr float GemTouch = 16, BigGemTouch = 24, SmallTouch = 12;
constexpr float TouchAlpha = 0.5f;      // an object reacts to touches only above this alpha
constexpr float RegrowthStep = 0.01f;   // alpha a regrown gem gains per update

// Hazards blink for 350 ms of every 750 and flash for 50 ms of every 1000, 20 ms later per slot.
constexpr int SlotPhaseMs = 20;
constexpr int BlinkPeriodMs = 750, BlinkOnMs = 349;
constexpr int FlashPeriodMs = 1000, FlashOnMs = 49;

// Homing: velocity steps toward the head, up to about one unit per dt.
constexpr float HomingStep = 0.025f, HomingMax = 1;

// Points and the creature's reaction to what it eats.
constexpr int GemPoints = 10, BigGemPoints = 50;
constexpr float GemGrowth = 0.2f, BigGemGrowth = 1;
constexpr float BigGemTurn = 160, BigGemSlowdown = 0.3f;
constexpr float BigGemTurnRate = 1;  // a big gem drops the steering back to its slowest rate
constexpr float GemPush = 0.01f, BigGemPush = 0.02f;
constexpr float BombFirstTick = 210;

// Spawning: 2 chances in 100 per update, on a 16-unit grid at least 128 units from the head.
constexpr float SpawnChance = 2, SpawnRoll = 100;
constexpr float SpawnGrid = 16, SpawnBorderCells = 2, SpawnEdge = 32;
constexpr float SpawnAwayFromHead = 128;
// A place search on a screen too small to hold such a cell gives up after this many tries.
constexpr int SpawnTriesMax = 100000;
// The spawn cycle: big gems at counts 4, 9, 14, 19 (Easy, Normal), hazards at 5 and 15
// (Normal) or 3, 9 and 15 (Hard), the bomb pickup at 11.
constexpr int BigGemEvery = 5, BigGemAt = 4;
constexpr int NormalHazardEvery = 10, NormalHazardAt = 5;
constexpr int HardHazardEvery = 6, HardHazardAt = 3;
constexpr int BombPickupAt = 11;
constexpr int ModeNormal = 2, ModeHard = 3;
}  // namespace

void MyGame::ClearObjects() { std::memset(Objects, 0, sizeof Objects); }

bool MyGame::ObjectWalk(int& freeSlot) {
    ResetDraw();
    const float sign = Rand(0, 1) == 0 ? -1.0f : 1.0f;   // shared by every big gem eaten now
    bool fatal = false;
    freeSlot = -1;
    for (int i = 0; i < ObjectSlots; i++) {
        GameObject& o = Objects[i];
        if (o.Type == ObjFree) freeSlot = i;
        if (o.Type <= ObjFree) continue;

        o.X += Sin(o.Angle) * o.Speed * dt;
        o.Y -= Cos(o.Angle) * o.Speed * dt;
        o.X += o.VX * dt;
        o.Y += o.VY * dt;
        WrapOnPlayArea(o.X, o.Y);

        const int phase = Mills() + SlotPhaseMs * i;
        int frame = static_cast<int>(o.Type);
        if (frame == ObjHazard && phase % BlinkPeriodMs <= BlinkOnMs) frame = FrameHazardBlink;
        if (frame == ObjRegrowing) o.Alpha += RegrowthStep;
        if (o.Alpha > TouchAlpha) o.Alpha = 1;
        SetCol(255, 255, 255, 1);
        if (frame == ObjHazard) {
            if (phase % FlashPeriodMs <= FlashOnMs)
                SetCol(220, 220, 140);
            else
                SetCol(255, 100, 100);
        }
        Alpha(o.Alpha);
        SetRot(o.Angle);
        DrawImg(ImgGfx, o.X, o.Y, frame);

        const float d = Dist(Player.X, Player.Y, o.X, o.Y);
        if (Player.Dead == 0) {
            auto touched = [&](int kind, float radius) {
                return o.Type == kind && d < radius && o.Alpha > TouchAlpha;
            };
            // A deadly touch kills without a bomb and sets the carried bomb off with one.
            auto deadly = [&]() {
                if (Player.BombTimer == 0) fatal = true;
                if (Player.BombTimer > 0) Bomb(Player.X, Player.Y);
            };
            if (touched(ObjGem, GemTouch)) {
                o.Type = ObjRegrowing;
                o.Alpha = 0;
                Gimme(GemPoints, o.X, o.Y);
                Player.Length += GemGrowth;
                DoRipple(o.X, o.Y, RippleGem);
                PlaySFX(SfxGem);
                RipplePush = {o.X, o.Y, GemPush};
            }
            if (touched(ObjBigGem, BigGemTouch)) {
                o.Type = ObjFree;
                Gimme(BigGemPoints, o.X, o.Y);
                Player.Length += BigGemGrowth;
                Player.Angle += BigGemTurn * sign;
                Player.Speed *= BigGemSlowdown;
                DoRipple(o.X, o.Y, RippleSmall);
                Player.TurnRate = BigGemTurnRate;
                PlaySFX(SfxBigGem);
                RipplePush = {o.X, o.Y, BigGemPush};
            }
            if (touched(ObjHazard, SmallTouch)) deadly();
            if (touched(ObjBombPickup, SmallTouch) && Player.BombTimer == 0) {
                Player.BombTimer = BombFuse;
                Player.BombTick = BombFirstTick;
                PlaySFX(SfxBomb);
                o.Type = ObjFree;
            }
            if (touched(ObjRegrowing, SmallTouch)) deadly();
        }

        if (o.Type == ObjHazard) {
            const float hx = WhichWayDoIGo(o.X, Player.X, PlayMargin, ScreenWidth - PlayMargin);
            if (hx < 0 && o.VX > -HomingMax) o.VX -= HomingStep;
            if (hx > 0 && o.VX < HomingMax) o.VX += HomingStep;
            const float hy = WhichWayDoIGo(o.Y, Player.Y, PlayMargin, ScreenHeight - PlayMargin);
            if (hy < 0 && o.VY > -HomingMax) o.VY -= HomingStep;
            if (hy > 0 && o.VY < HomingMax) o.VY += HomingStep;
        }
    }
    return fatal;
}

void MyGame::SpawnObjects(int freeSlot) {
    const float r = Rnd(0, SpawnRoll);
    if (r < SpawnChance && freeSlot >= 0 && freeSlot < ObjectSlots) SpawnObject(freeSlot);
}

int MyGame::SpawnKind(int count, int mode) const {
    int kind = ObjGem;
    if (count % BigGemEvery == BigGemAt && mode <= ModeNormal) kind = ObjBigGem;
    if (mode == ModeNormal && count % NormalHazardEvery == NormalHazardAt) kind = ObjHazard;
    if (mode == ModeHard && count % HardHazardEvery == HardHazardAt) kind = ObjHazard;
    if (count == BombPickupAt) kind = ObjBombPickup;
    return kind;
}

void MyGame::SpawnObject(int slot) {
    Player.SpawnCount += 1;
    if (Player.SpawnCount > SpawnCycle) Player.SpawnCount = 0;
    const int kind = SpawnKind(static_cast<int>(Player.SpawnCount), GameMode);

    float gx = 0, gy = 0;
    int tries = 0;
    do {
        if (++tries > SpawnTriesMax) {
            Debuglog("No Room To Spawn");
            return;
        }
        gx = SpawnGrid * Rand(SpawnBorderCells, (ScreenWidth - SpawnEdge) / SpawnGrid);
        gy = SpawnGrid * Rand(SpawnBorderCells, (ScreenHeight - SpawnEdge) / SpawnGrid);
    } while (Dist(Player.X, Player.Y, gx, gy) < SpawnAwayFromHead);

    GameObject& o = Objects[slot];
    o = GameObject{};
    o.Type = static_cast<float>(kind);
    o.X = gx;
    o.Y = gy;
    o.Alpha = 1;
}
