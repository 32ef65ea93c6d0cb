// The full play field of the play benchmarks: 512 objects (gems, hazards, regrown gems,
// pickups) on a grid over the screen, and every particle alive.
#pragma once

#include "MyGame.h"

namespace playfield {

constexpr int GridColumns = 32;   // objects on a 32 x 16 grid over the screen
constexpr float GridPitchX = 24, GridPitchY = 36, GridLeft = 20, GridTop = 20;
constexpr int Kinds[] = {MyGame::ObjGem, MyGame::ObjHazard, MyGame::ObjRegrowing, MyGame::ObjBigGem,
                         MyGame::ObjBombPickup};

inline void FullField(MyGame& g) {
    for (int i = 0; i < MyGame::ObjectSlots; i++) {
        MyGame::GameObject& o = g.Objects[i];
        o = MyGame::GameObject{};
        o.Type = static_cast<float>(Kinds[i % 5]);
        o.X = GridLeft + GridPitchX * (i % GridColumns);
        o.Y = GridTop + GridPitchY * static_cast<float>(i / GridColumns);
        o.Alpha = 1;
    }
}

// Refills the particle table: call before every update, as particles die.
inline void LiveParticles(MyGame& g) {
    for (int i = 0; i < MyGame::ParticleCount; i++) {
        MyGame::Particle& p = g.Particles[i];
        if (p.Type == MyGame::ParticleFree) g.ThrowParticle(400, 300, 120, i, MyGame::ParticleDrift, i * 1.4f, 1);
        p.Alpha = 1.5f;
    }
}

// A run started on difficulty 2 with the field full; the creature is dead, so nothing it
// touches is eaten and the field stays full for every update.
inline void StartFullRun(MyGame& g) {
    g.GameMode = 2;
    g.LoadGame();
    FullField(g);
    g.Player.Dead = 1;
}

}  // namespace playfield
