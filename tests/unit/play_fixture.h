// Fixture of the play tests: the game screen with the play pictures counted as loaded (so
// their draw calls record), the play sounds loaded from the generated data folder, a seeded
// random stream, and helpers to start a run, place objects and read back images and sounds.
#pragma once

#include <filesystem>
#include <vector>

#include "fake_al.h"
#include "game_fixture.h"

class PlayScreen : public GameScreen {
protected:
    static constexpr int PlaySlots[] = {ImgGfx, ImgRipple, ImgRippleB, ImgIcons, ImgParticles, ImgOptions};
    static constexpr int IconCell = 64;
    static constexpr int Seed = 4242;
    static constexpr int FontGlyphs = 96;
    static constexpr int ScreenCentreX = 400, ScreenCentreY = 300;
    int savedFont = 0;
    char savedHome[sizeof(VornCore::home)] = "";

    void SetUp() override {
        GameScreen::SetUp();
        // Text from the game's font slot, so glyphs never pass for play pictures.
        savedFont = ASys.FontImage;
        ASys.iFrames[ASys.FontImage] = -1;
        ASys.FontImage = FontMain;
        ASys.iFrames[FontMain] = FontGlyphs;
        for (int slot : PlaySlots) ASys.iFrames[slot] = 1;
        // The centre of the 800 x 600 screen as a render leaves it, for pointer positions.
        rw2 = ScreenCentreX;
        rh2 = ScreenCentreY;
        ASys.offx = ScreenCentreX;
        ASys.offy = ScreenCentreY;
        ASys.iFramesSquare[ImgIcons] = IconCell;
        std::snprintf(savedHome, sizeof savedHome, "%s", G.home);
        const std::filesystem::path data = BRINDLEWICK_DATA_DIR;
        ASSERT_TRUE(std::filesystem::is_directory(data))
            << "the generated data folder " << data << " is missing: build the game_data target first";
        std::snprintf(G.home, sizeof G.home, "%s", data.parent_path().parent_path().c_str());
        testing::internal::CaptureStdout();
        for (int sfx : {SfxGem, SfxBigGem, SfxBlast, SfxBomb}) G.LoadSFX(sfx);
        testing::internal::GetCapturedStdout();
        G.SeedRnd(Seed);
        G.PointerMode = 0;
        G.OnlineScoresValid = 0;
        G.ScreenshotMode = 0;
    }
    void TearDown() override {
        for (int slot : PlaySlots) ASys.iFrames[slot] = -1;
        ASys.iFramesSquare[ImgIcons] = 0;
        G.StopMusic();
        GameScreen::TearDown();
        ASys.FontImage = savedFont;
        std::snprintf(G.home, sizeof G.home, "%s", savedHome);
    }

    // Starts a run of the difficulty the way the title screen does: one update of StateStartRun.
    void StartRun(int mode = 2) {
        G.GameMode = mode;
        G.GameState = StateStartRun;
        Step();
    }

    // Puts an object of the kind into the slot, standing still at full opacity.
    MyGame::GameObject& Put(int slot, int type, float x, float y, float alpha = 1) {
        MyGame::GameObject& o = G.Objects[slot];
        o = MyGame::GameObject{};
        o.Type = static_cast<float>(type);
        o.X = x;
        o.Y = y;
        o.Alpha = alpha;
        return o;
    }
    // The same at the creature's head, where the next update's head still touches it.
    MyGame::GameObject& PutAtHead(int slot, int type) { return Put(slot, type, G.Player.X, G.Player.Y); }

    // Image records of the last update drawn from the slot (of the frame, when one is given).
    std::vector<const double*> Images(int slot, int frame = -1) const {
        std::vector<const double*> out;
        for (int i = 0; i < RecordCount(); i++) {
            const double* r = Record(i);
            if (r[FieldCode] == CmdImage && r[FieldSlot] == slot && (frame < 0 || r[FieldFrame] == frame))
                out.push_back(r);
        }
        return out;
    }
    // A record's position on the virtual screen.
    static float ScreenX(const double* r) { return static_cast<float>(r[FieldX] + rw2); }
    static float ScreenY(const double* r) { return static_cast<float>(r[FieldY] + rh2); }
    // A record's draw size (1 = the picture's own size).
    static float SizeOf(const double* r) { return static_cast<float>(r[FieldW] * ViewScale / ASys.ImageZoom); }

    // Sound effects started so far (every source's plays) and the slot and pitch of the last.
    int SoundsPlayed() const {
        int n = 0;
        for (const auto& s : FakeAl.sources) n += s.second.plays;
        return n;
    }
    int LastSound() const { return ALsourcebuffer[ALChannel]; }
    float LastPitch() const { return FakeAl.sources.at(ALsource[ALChannel]).pitch; }
};
